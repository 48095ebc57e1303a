#include "Services/Shell/HotKeyManager.h"

#include <limits>

namespace sorvane {

HotKeyManager::HotKeyManager(HotKeyBackend &backend, QObject *parent) : QObject(parent), m_backend(&backend)
{
}

HotKeyManager::~HotKeyManager()
{
    unregister();
}

HotKeyModifiers HotKeyManager::modifiers(const KeyboardShortcutSetting &shortcut)
{
    HotKeyModifiers mask;
    mask.setFlag(HotKeyModifier::Command, shortcut.command);
    mask.setFlag(HotKeyModifier::Shift, shortcut.shift);
    mask.setFlag(HotKeyModifier::Option, shortcut.option);
    mask.setFlag(HotKeyModifier::Control, shortcut.control);
    return mask;
}

void HotKeyManager::registerShortcuts(const KeyboardShortcutSetting &toggle, const KeyboardShortcutSetting &pushToTalk,
                                      const KeyboardShortcutSetting &agent,
                                      const std::optional<KeyboardShortcutSetting> &agentScreenshot,
                                      const QList<KeyboardShortcutSetting> &profiles,
                                      const KeyboardShortcutSetting &cancel)
{
    m_cancelShortcut = cancel;
    if (m_suspended)
        return;
    unregister();
    installHandler();
    m_refusedNow.clear();
    m_toggleHotKey = registerHotKey(toggle, ToggleId);
    m_pushToTalkHotKey = registerHotKey(pushToTalk, PushToTalkId);
    m_agentHotKey = registerHotKey(agent, AgentId);
    if (agentScreenshot)
        m_agentScreenshotHotKey = registerHotKey(*agentScreenshot, AgentScreenshotId);
    // A refused profile leaves no entry; the ones after it keep the identifiers of their own index.
    for (qsizetype i = 0; i < profiles.size(); ++i)
        if (auto reference = registerHotKey(profiles[i], ProfileIdBase + quint32(i)))
            m_profileHotKeys.append(*reference);
    // A cancel registration refused earlier stays on record until the next registerCancel().
    if (m_refused.contains(CancelId))
        m_refusedNow.insert(CancelId, m_refused.value(CancelId));
    setRefused(m_refusedNow);
}

void HotKeyManager::registerCancel()
{
    release(m_cancelHotKey);
    if (m_suspended)
        return;
    // Registered without a handler, the grab would swallow the key and do nothing.
    installHandler();
    m_refusedNow = m_refused;
    m_refusedNow.remove(CancelId);
    m_cancelHotKey = registerHotKey(m_cancelShortcut, CancelId);
    setRefused(m_refusedNow);
}

void HotKeyManager::unregisterCancel()
{
    release(m_cancelHotKey);
    auto refused = m_refused;
    refused.remove(CancelId);
    setRefused(refused);
}

void HotKeyManager::setSuspended(bool suspended)
{
    m_suspended = suspended;
    if (suspended)
        unregister();
}

QSet<KeyboardShortcutSetting> HotKeyManager::refusedShortcuts() const
{
    QSet<KeyboardShortcutSetting> shortcuts;
    for (const Refusal &refusal : m_refused)
        shortcuts.insert(refusal.shortcut);
    return shortcuts;
}

QString HotKeyManager::refusalReason(const KeyboardShortcutSetting &shortcut) const
{
    // A combination held under another of our own ids is a conflict, which the settings
    // tell once for all; the row itself says nothing.
    for (const Refusal &refusal : m_refused)
        if (refusal.shortcut == shortcut && refusal.error.kind() != HotKeyError::Kind::AlreadyRegistered)
            return refusalReason(refusal.error);
    return {};
}

QString HotKeyManager::refusalReason(HotKeyError error)
{
    switch (error.kind()) {
    case HotKeyError::Kind::Unavailable:
        return QStringLiteral("Needs an X11 session");
    case HotKeyError::Kind::UnknownKey:
        return QStringLiteral("Not a key of this keyboard");
    case HotKeyError::Kind::AlreadyRegistered:
        return QStringLiteral("Already used by another shortcut");
    case HotKeyError::Kind::TakenByAnotherClient:
        return QStringLiteral("In use by another program");
    }
    return {};
}

void HotKeyManager::setRefused(QMap<quint32, Refusal> refused)
{
    const bool changed = m_refused != refused;
    m_refused = std::move(refused);
    if (changed)
        Q_EMIT refusedShortcutsChanged();
}

void HotKeyManager::unregister()
{
    release(m_toggleHotKey);
    release(m_pushToTalkHotKey);
    release(m_agentHotKey);
    release(m_agentScreenshotHotKey);
    for (const HotKeyReference &reference : std::as_const(m_profileHotKeys))
        m_backend->unregisterHotKey(reference);
    m_profileHotKeys.clear();
    release(m_cancelHotKey);
    if (m_handler) {
        disconnect(m_handler);
        m_handler = {};
    }
}

void HotKeyManager::installHandler()
{
    if (!m_handler)
        m_handler = connect(m_backend, &HotKeyBackend::hotKeyEvent, this, &HotKeyManager::handle);
}

void HotKeyManager::handle(quint32 id, HotKeyEventKind kind)
{
    // Delivered on a later turn of the main loop; a manager destroyed meanwhile
    // takes the pending call with it.
    QMetaObject::invokeMethod(
        this, [this, id, kind] { deliver(id, kind); }, Qt::QueuedConnection);
}

void HotKeyManager::deliver(quint32 id, HotKeyEventKind kind) const
{
    // Copies, so a callback may replace itself while it runs.
    auto call = [](const std::function<void()> &callback) {
        if (auto copy = callback)
            copy();
    };
    if (kind == HotKeyEventKind::Released) {
        if (id == PushToTalkId)
            call(onPushToTalkEnded);
        return;
    }
    switch (id) {
    case ToggleId:
        call(onToggle);
        return;
    case PushToTalkId:
        call(onPushToTalkBegan);
        return;
    case CancelId:
        call(onCancel);
        return;
    case AgentId:
        call(onAgentToggle);
        return;
    case AgentScreenshotId:
        call(onAgentScreenshotToggle);
        return;
    default:
        break;
    }
    if (id >= ProfileIdBase && id - ProfileIdBase <= quint32(std::numeric_limits<int>::max())) {
        if (auto callback = onAgentProfileToggle)
            callback(int(id - ProfileIdBase));
    }
}

std::optional<HotKeyReference> HotKeyManager::registerHotKey(const KeyboardShortcutSetting &shortcut, quint32 id)
{
    auto result = m_backend->registerHotKey(shortcut.keyCode, modifiers(shortcut), id);
    if (!result) {
        // The default toggle, Alt+Space, is the window menu of many window managers:
        // say so plainly, since nothing else tells the user why the key does nothing.
        qCInfo(lcHotKeys).noquote() << "The shortcut" << shortcut.displayName()
                                    << "was refused:" << result.error().message();
        m_refusedNow.insert(id, Refusal{shortcut, result.error()});
        return std::nullopt;
    }
    return result.value();
}

void HotKeyManager::release(std::optional<HotKeyReference> &slot)
{
    if (!slot)
        return;
    m_backend->unregisterHotKey(*slot);
    slot.reset();
}

} // namespace sorvane
