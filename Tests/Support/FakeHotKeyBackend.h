#pragma once

#include "Platform/HotKeyBackend.h"

#include <QList>
#include <QStringList>
#include <algorithm>

namespace sorvane::testing {

// A hot-key system in memory: keeps what is registered, logs every call, refuses
// the combinations listed in `takenElsewhere` and any it already holds, and lets a
// test press registered keys or send any event it likes.
class FakeHotKeyBackend final : public HotKeyBackend {
public:
    struct Registration {
        quint64 reference;
        quint32 id;
        quint32 keyCode;
        HotKeyModifiers modifiers;
    };

    Result<HotKeyReference, HotKeyError> registerHotKey(quint32 keyCode, HotKeyModifiers modifiers,
                                                        quint32 id) override
    {
        log.append(QStringLiteral("+%1").arg(id));
        const auto sameKeys = [&](const auto &held) { return held.keyCode == keyCode && held.modifiers == modifiers; };
        if (std::any_of(takenElsewhere.begin(), takenElsewhere.end(), sameKeys))
            return HotKeyError(HotKeyError::Kind::TakenByAnotherClient);
        if (std::any_of(registrations.begin(), registrations.end(), sameKeys))
            return HotKeyError(HotKeyError::Kind::AlreadyRegistered);
        registrations.append({m_next, id, keyCode, modifiers});
        return HotKeyReference{m_next++};
    }

    void unregisterHotKey(HotKeyReference reference) override
    {
        const auto it = std::find_if(registrations.begin(), registrations.end(),
                                     [&](const Registration &r) { return r.reference == reference.value; });
        if (it == registrations.end()) {
            log.append(QStringLiteral("-unknown"));
            return;
        }
        log.append(QStringLiteral("-%1").arg(it->id));
        registrations.erase(it);
    }

    // Presses (or releases) the registered combination; false when nothing holds it.
    bool key(quint32 keyCode, HotKeyModifiers modifiers, HotKeyEventKind kind = HotKeyEventKind::Pressed)
    {
        for (const Registration &r : std::as_const(registrations)) {
            if (r.keyCode == keyCode && r.modifiers == modifiers) {
                Q_EMIT hotKeyEvent(r.id, kind);
                return true;
            }
        }
        return false;
    }

    void send(quint32 id, HotKeyEventKind kind) { Q_EMIT hotKeyEvent(id, kind); }

    const Registration *registration(quint32 id) const
    {
        for (const Registration &r : registrations)
            if (r.id == id)
                return &r;
        return nullptr;
    }

    QList<Registration> registrations;
    QStringList log;
    struct Combination {
        quint32 keyCode;
        HotKeyModifiers modifiers;
    };
    QList<Combination> takenElsewhere;

private:
    quint64 m_next = 1;
};

} // namespace sorvane::testing
