#pragma once

#include "Shared/KeyboardShortcutSetting.h"
#include "Shared/ShortcutRecording.h"

#include <QPointer>
#include <QQuickItem>
#include <QtQml/qqmlregistration.h>
#include <functional>

class QKeyEvent;

namespace sorvane {

class AppState;
class ShortcutCapture;

// One shortcut capture at a time across every recorder of the program: starting one
// ends any other, and the global hot keys stay suspended from the first start until
// no recorder captures any more (a hand-over between two recorders never resumes
// them, so the Dictation keys cannot start a Dictation mid-capture).
class ShortcutCaptureCoordinator : public QObject {
    Q_OBJECT
public:
    explicit ShortcutCaptureCoordinator(std::function<void(bool suspended)> suspend, QObject *parent = nullptr);
    // The coordinator of a state, made on first use; it suspends the state's hot keys.
    static ShortcutCaptureCoordinator &of(AppState &state);

    void begin(ShortcutCapture *capture);
    void end(ShortcutCapture *capture);
    ShortcutCapture *active() const { return m_active; }

private:
    std::function<void(bool)> m_suspend;
    QPointer<ShortcutCapture> m_active;
    bool m_suspended = false;
};

// The recorder's capture: while capturing it takes every key press of its own window
// (the main window), ShortcutOverride included, so Ctrl+Q does not quit and Tab does
// not move the focus, and turns the first acceptable press into a shortcut. It holds
// the focus meanwhile (it takes no input method, which would eat Ctrl+Space). The
// capture ends with nothing recorded when the window is deactivated or hidden, when
// the item goes, or when another recorder starts.
class ShortcutCapture : public QQuickItem {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(sorvane::AppState *stateObject READ appState WRITE setAppState NOTIFY appStateChanged)
    Q_PROPERTY(bool requiresModifier READ requiresModifier WRITE setRequiresModifier NOTIFY requiresModifierChanged)
    Q_PROPERTY(bool capturing READ isCapturing NOTIFY capturingChanged)
    Q_PROPERTY(QString validationMessage READ validationMessage NOTIFY validationMessageChanged)

public:
    explicit ShortcutCapture(QQuickItem *parent = nullptr);
    ~ShortcutCapture() override;

    AppState *appState() const { return m_state; }
    void setAppState(AppState *state);
    bool requiresModifier() const { return m_requiresModifier; }
    void setRequiresModifier(bool required);
    bool isCapturing() const { return m_capturing; }
    QString validationMessage() const { return m_validationMessage; }

    Q_INVOKABLE void start();
    Q_INVOKABLE void stop();
    Q_INVOKABLE void toggle();

    // Masks the recorder reads the modifiers with; from the display by default.
    std::function<ShortcutModifierMasks()> readMasks;
    std::function<quint32(quint32 xKeyCode)> readBaseKeySym;

Q_SIGNALS:
    void appStateChanged();
    void requiresModifierChanged();
    void capturingChanged();
    void validationMessageChanged();
    // A press was accepted; the capture has ended.
    void recorded(const sorvane::KeyboardShortcutSetting &shortcut);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void itemChange(ItemChange change, const ItemChangeData &value) override;

private:
    bool belongsToWindow(QObject *object) const;
    void handlePress(QKeyEvent *event);
    void setValidationMessage(const QString &message);
    enum class EndReason { Stopped, Clicked, Deactivated };
    void endCapture(EndReason reason);

    QPointer<AppState> m_state;
    bool m_requiresModifier = true;
    bool m_capturing = false;
    bool m_sawKey = false;
    QString m_validationMessage;
    QPointer<QQuickWindow> m_window;
    ShortcutModifierMasks m_masks;
    QMetaObject::Connection m_activeConnection;
    QMetaObject::Connection m_visibleConnection;
};

} // namespace sorvane
