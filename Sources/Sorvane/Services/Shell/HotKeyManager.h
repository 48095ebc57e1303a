#pragma once

#include "Shared/KeyboardShortcutSetting.h"
#include "Platform/HotKeyBackend.h"

#include <QList>
#include <QMap>
#include <QSet>
#include <QMetaObject>
#include <QObject>
#include <functional>
#include <memory>
#include <optional>

namespace sorvane {

// The program's global shortcuts: registers them under fixed identifiers and
// turns their presses and releases into calls of plain callbacks, always on a
// later turn of the main loop (never inside the system's event dispatch). It
// knows nothing of Dictation or Command; its owner decides what is registered.
class HotKeyManager : public QObject {
    Q_OBJECT
public:
    // Identifiers of the registrations; prompt profile i is ProfileIdBase + i.
    enum Id : quint32 {
        ToggleId = 1,
        PushToTalkId = 2,
        CancelId = 3,
        AgentId = 4,
        AgentScreenshotId = 5,
        ProfileIdBase = 100,
    };

    // Uses the given backend (the platform's), which must outlive the manager.
    explicit HotKeyManager(HotKeyBackend &backend, QObject *parent = nullptr);
    // Removes every registration first.
    ~HotKeyManager() override;

    // Replaces every registration: toggle (1), push-to-talk (2), Command (4), the
    // Command-with-screenshot shortcut (5) when given, then each profile i as
    // 100 + i. A refused shortcut leaves its slot empty and the others are still
    // tried. The cancel shortcut is only remembered for registerCancel().
    void registerShortcuts(const KeyboardShortcutSetting &toggle, const KeyboardShortcutSetting &pushToTalk,
                           const KeyboardShortcutSetting &agent,
                           const std::optional<KeyboardShortcutSetting> &agentScreenshot,
                           const QList<KeyboardShortcutSetting> &profiles, const KeyboardShortcutSetting &cancel);
    // Registers the remembered cancel shortcut as 3, replacing an earlier one.
    void registerCancel();
    // Removes the cancel registration only.
    void unregisterCancel();
    // Removes every registration and stops delivering events.
    void unregister();
    // While suspended (a shortcut is being recorded) everything is unregistered and
    // nothing registers, the cancel shortcut included; the owner registers again
    // after resuming.
    void setSuspended(bool suspended);
    bool isSuspended() const { return m_suspended; }

    // Set by the owner at any time; read when an event is delivered.
    std::function<void()> onToggle;
    std::function<void()> onPushToTalkBegan;
    std::function<void()> onPushToTalkEnded;
    std::function<void()> onAgentToggle;
    std::function<void()> onAgentScreenshotToggle;
    std::function<void(int profileIndex)> onAgentProfileToggle;
    std::function<void()> onCancel;

Q_SIGNALS:
    void refusedShortcutsChanged();

public:
    // The registrations the system accepted.
    std::optional<HotKeyReference> toggleHotKey() const { return m_toggleHotKey; }
    std::optional<HotKeyReference> pushToTalkHotKey() const { return m_pushToTalkHotKey; }
    std::optional<HotKeyReference> agentHotKey() const { return m_agentHotKey; }
    std::optional<HotKeyReference> agentScreenshotHotKey() const { return m_agentScreenshotHotKey; }
    std::optional<HotKeyReference> cancelHotKey() const { return m_cancelHotKey; }
    const QList<HotKeyReference> &profileHotKeys() const { return m_profileHotKeys; }
    const KeyboardShortcutSetting &cancelShortcut() const { return m_cancelShortcut; }
    // The shortcuts the system refused when they were last registered (taken by the
    // window manager or another program, or already held under another id). Kept
    // while everything is unregistered; each registration replaces its own entry.
    QSet<KeyboardShortcutSetting> refusedShortcuts() const;
    // Why the system refused a shortcut, in a few words for its settings row ("In use
    // by another program"); empty for one that was not refused or only conflicts with
    // another of our own.
    QString refusalReason(const KeyboardShortcutSetting &shortcut) const;
    static QString refusalReason(HotKeyError error);

    // Command 0x0100, Shift 0x0200, Option 0x0800, Control 0x1000, for the flags that are set.
    static HotKeyModifiers modifiers(const KeyboardShortcutSetting &shortcut);

private:
    struct Refusal {
        KeyboardShortcutSetting shortcut;
        HotKeyError error = HotKeyError::Kind::TakenByAnotherClient;
        friend bool operator==(const Refusal &, const Refusal &) = default;
    };
    void installHandler();
    void handle(quint32 id, HotKeyEventKind kind);
    void deliver(quint32 id, HotKeyEventKind kind) const;
    std::optional<HotKeyReference> registerHotKey(const KeyboardShortcutSetting &shortcut, quint32 id);
    void setRefused(QMap<quint32, Refusal> refused);
    void release(std::optional<HotKeyReference> &slot);

    HotKeyBackend *m_backend = nullptr;

    std::optional<HotKeyReference> m_toggleHotKey;
    std::optional<HotKeyReference> m_pushToTalkHotKey;
    std::optional<HotKeyReference> m_agentHotKey;
    std::optional<HotKeyReference> m_agentScreenshotHotKey;
    std::optional<HotKeyReference> m_cancelHotKey;
    QList<HotKeyReference> m_profileHotKeys;
    QMetaObject::Connection m_handler;
    KeyboardShortcutSetting m_cancelShortcut{53, QStringLiteral("esc")};
    // Refused shortcuts by the id they were to be registered under.
    QMap<quint32, Refusal> m_refused;
    QMap<quint32, Refusal> m_refusedNow; // collected during one registration
    bool m_suspended = false;
};

} // namespace sorvane
