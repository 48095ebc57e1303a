#pragma once

#include <QJsonObject>
#include <QList>
#include <QMetaType>
#include <QObject>
#include <QSet>
#include <QString>
#include <optional>

namespace sorvane {

class SettingsStore;

// One global shortcut: a virtual key code, the label shown for the key and the
// four modifier flags. Key codes are the stored virtual key codes (49 is the space
// bar, 53 Escape); keys without one are stored as rawXKeyCodeBase + X key code
// (see Platform/VirtualKeyCodes.h).
// A value type for QML: its six fields and `displayName`; a screen changes a copy and
// assigns it back to the state's property.
struct KeyboardShortcutSetting {
    Q_GADGET
    Q_PROPERTY(quint32 keyCode MEMBER keyCode)
    Q_PROPERTY(QString keyLabel MEMBER keyLabel)
    Q_PROPERTY(bool command MEMBER command)
    Q_PROPERTY(bool option MEMBER option)
    Q_PROPERTY(bool control MEMBER control)
    Q_PROPERTY(bool shift MEMBER shift)
    Q_PROPERTY(QString displayName READ displayName)
public:
    quint32 keyCode = 0;
    QString keyLabel;
    bool command = false; // Super
    bool option = false;  // Alt
    bool control = false; // Ctrl
    bool shift = false;

    friend bool operator==(const KeyboardShortcutSetting &, const KeyboardShortcutSetting &) = default;

    // "Ctrl+", "Alt+", "Shift+", "Super+" for the flags that are set, always in
    // that order, then the key label: "Ctrl+Alt+Space", "Esc".
    QString displayName() const;

    // {"keyCode": n, "keyLabel": "...", "command": b, "option": b, "control": b, "shift": b}.
    QJsonObject toJson() const;
    // All six keys are required with their exact types; anything else is no value.
    static std::optional<KeyboardShortcutSetting> fromJson(const QJsonValue &value);

    // Stores the compact JSON bytes under the key.
    void save(SettingsStore &store, const QString &key) const;
    // The value stored under the key, or `fallback` when there is none, it is not
    // bytes or it cannot be decoded. Never writes.
    static KeyboardShortcutSetting load(const SettingsStore &store, const QString &key,
                                        const KeyboardShortcutSetting &fallback);

    // Every value that occurs more than once in the list (whole-value equality), once each.
    static QSet<KeyboardShortcutSetting> conflicts(const QList<KeyboardShortcutSetting> &shortcuts);
};

size_t qHash(const KeyboardShortcutSetting &shortcut, size_t seed = 0) noexcept;

} // namespace sorvane

Q_DECLARE_METATYPE(sorvane::KeyboardShortcutSetting)
