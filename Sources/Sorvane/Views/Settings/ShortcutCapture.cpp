#include "ShortcutCapture.h"

#include "Platform/X11/X11KeyboardMap.h"
#include "State/AppState.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QQuickWindow>

namespace sorvane {

namespace {

// The display the keys come from: the toolkit's own connection on X11, else (the
// offscreen platform of the tests) one of our own on $DISPLAY, kept for the program's
// life. None without an X display: modifiers then read by the usual masks.
Display *keyboardDisplay()
{
    if (auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr)
        if (Display *display = x11->display())
            return display;
    static Display *own = qEnvironmentVariableIsEmpty("DISPLAY") ? nullptr : openKeyboardDisplay();
    return own;
}

} // namespace

// ---- Coordinator ----------------------------------------------------------------

ShortcutCaptureCoordinator::ShortcutCaptureCoordinator(std::function<void(bool)> suspend, QObject *parent)
    : QObject(parent), m_suspend(std::move(suspend))
{
}

ShortcutCaptureCoordinator &ShortcutCaptureCoordinator::of(AppState &state)
{
    if (auto *existing = state.findChild<ShortcutCaptureCoordinator *>(QString(), Qt::FindDirectChildrenOnly))
        return *existing;
    QPointer<AppState> owner(&state);
    return *new ShortcutCaptureCoordinator(
        [owner](bool suspended) {
            if (owner)
                owner->setHotKeysSuspended(suspended);
        },
        &state);
}

void ShortcutCaptureCoordinator::begin(ShortcutCapture *capture)
{
    const QPointer<ShortcutCapture> previous = m_active;
    m_active = capture;
    if (!m_suspended) {
        m_suspended = true;
        m_suspend(true);
    }
    // Ended after the hand-over, so its end does not resume the hot keys.
    if (previous && previous != capture)
        previous->stop();
}

void ShortcutCaptureCoordinator::end(ShortcutCapture *capture)
{
    if (m_active && m_active != capture)
        return;
    m_active = nullptr;
    if (m_suspended) {
        m_suspended = false;
        m_suspend(false);
    }
}

// ---- Capture --------------------------------------------------------------------

ShortcutCapture::ShortcutCapture(QQuickItem *parent) : QQuickItem(parent)
{
    // Focus without an input method: one would take Ctrl+Space and dead keys.
    setFlag(ItemAcceptsInputMethod, false);
    readMasks = [] {
        const X11ModifierMasks masks = readModifierMasks(keyboardDisplay());
        return ShortcutModifierMasks{masks.alt, masks.super, masks.altGr};
    };
    readBaseKeySym = [](quint32 xKeyCode) { return baseKeySymbol(keyboardDisplay(), xKeyCode); };
}

ShortcutCapture::~ShortcutCapture()
{
    stop();
}

void ShortcutCapture::setAppState(AppState *state)
{
    if (m_state == state)
        return;
    stop();
    m_state = state;
    Q_EMIT appStateChanged();
}

void ShortcutCapture::setRequiresModifier(bool required)
{
    if (m_requiresModifier == required)
        return;
    m_requiresModifier = required;
    Q_EMIT requiresModifierChanged();
}

void ShortcutCapture::toggle()
{
    if (m_capturing)
        endCapture(EndReason::Clicked);
    else
        start();
}

void ShortcutCapture::start()
{
    stop();
    QQuickWindow *w = window();
    if (!w)
        return;
    setValidationMessage(QString());
    m_window = w;
    m_sawKey = false;
    m_masks = readMasks ? readMasks() : ShortcutModifierMasks{};
    m_capturing = true;
    if (m_state)
        ShortcutCaptureCoordinator::of(*m_state).begin(this);
    qApp->installEventFilter(this);
    m_activeConnection = connect(w, &QWindow::activeChanged, this, [this] {
        if (m_window && !m_window->isActive())
            endCapture(EndReason::Deactivated);
    });
    m_visibleConnection = connect(w, &QWindow::visibleChanged, this, [this](bool visible) {
        if (!visible)
            endCapture(EndReason::Stopped);
    });
    forceActiveFocus(Qt::OtherFocusReason);
    Q_EMIT capturingChanged();
}

void ShortcutCapture::stop()
{
    endCapture(EndReason::Stopped);
}

void ShortcutCapture::endCapture(EndReason reason)
{
    if (!m_capturing)
        return;
    m_capturing = false;
    if (qApp)
        qApp->removeEventFilter(this);
    disconnect(m_activeConnection);
    disconnect(m_visibleConnection);
    m_window = nullptr;
    // Given up on without a key having arrived: the combination pressed most likely
    // never reached this program (the window manager's window menu takes Alt+Space and
    // the focus with it).
    if (reason != EndReason::Stopped && !m_sawKey && m_validationMessage.isEmpty())
        setValidationMessage(shortcutrecording::nothingSeenHint);
    if (m_state)
        ShortcutCaptureCoordinator::of(*m_state).end(this);
    Q_EMIT capturingChanged();
}

bool ShortcutCapture::belongsToWindow(QObject *object) const
{
    if (!m_window || !object)
        return false;
    if (object == m_window)
        return true;
    if (auto *item = qobject_cast<QQuickItem *>(object))
        return item->window() == m_window;
    return false;
}

bool ShortcutCapture::eventFilter(QObject *watched, QEvent *event)
{
    if (!m_capturing)
        return false;
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::ShortcutOverride && type != QEvent::KeyRelease)
        return false;
    // Keys of other windows (the conversation window) are theirs.
    if (!belongsToWindow(watched))
        return false;
    auto *key = static_cast<QKeyEvent *>(event);
    // Taking the override keeps the window's shortcuts (Ctrl+Q) from firing; the press
    // itself then comes as a KeyPress and is read there.
    if (type == QEvent::ShortcutOverride) {
        key->accept();
        return true;
    }
    // Read where the window receives it, before any item (or the focus chain's Tab) does.
    if (type == QEvent::KeyPress && watched == m_window)
        handlePress(key);
    key->accept();
    return true;
}

void ShortcutCapture::handlePress(QKeyEvent *event)
{
    ShortcutKeyPress press;
    press.xKeyCode = event->nativeScanCode();
    press.xModifiers = event->nativeModifiers();
    press.baseKeySym = readBaseKeySym ? readBaseKeySym(press.xKeyCode) : 0;
    press.autoRepeat = event->isAutoRepeat();
    const ShortcutKeyOutcome outcome = shortcutrecording::interpret(press, m_masks, m_requiresModifier);
    if (outcome.kind != ShortcutKeyOutcome::Kind::Ignore || press.autoRepeat)
        m_sawKey = true;
    switch (outcome.kind) {
    case ShortcutKeyOutcome::Kind::Ignore:
        return;
    case ShortcutKeyOutcome::Kind::Refuse:
        setValidationMessage(outcome.hint);
        if (m_state)
            m_state->beep();
        return;
    case ShortcutKeyOutcome::Kind::Record:
        stop();
        Q_EMIT recorded(outcome.shortcut);
        return;
    }
}

void ShortcutCapture::setValidationMessage(const QString &message)
{
    if (m_validationMessage == message)
        return;
    m_validationMessage = message;
    Q_EMIT validationMessageChanged();
}

void ShortcutCapture::itemChange(ItemChange change, const ItemChangeData &value)
{
    if ((change == ItemVisibleHasChanged && !value.boolValue) || change == ItemSceneChange)
        stop();
    QQuickItem::itemChange(change, value);
}

} // namespace sorvane
