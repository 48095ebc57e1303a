#pragma once

#include "State/Presenters/AgentResultPresenter.h"

#include <QObject>
#include <QPoint>
#include <QTimer>
#include <QUuid>
#include <QtQml/qqmlregistration.h>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class QQmlEngine;
class QQuickWindow;
class QScreen;

namespace sorvane {

class X11SelectionOwner;

class AppState;
class AgentConversationViewModel;
class DesktopColorScheme;

// Owns Command's two windows beside the overlay, each made on first use: the result
// toast, a small frameless window at the top-right corner of the active window's
// screen that never takes the focus and hides itself after a while (not while the
// pointer is over it), and the conversation window, a normal top-level window whose
// closing only hides it and tells the state so. QML sees the controller as
// `resultPanel` and the conversation window's model as `conversationModel`.
class AgentResultPanelController : public QObject, public AgentResultPresenter {
    Q_OBJECT
    QML_ANONYMOUS
    Q_PROPERTY(bool usesDarkAppearance READ usesDarkAppearance NOTIFY appearanceChanged)

public:
    static constexpr auto conversationTitle = "Sorvane \u2014 Command";
    static constexpr std::chrono::milliseconds defaultToastHideDelay{5000};

    struct Options {
        std::chrono::milliseconds toastHideDelay = defaultToastHideDelay;
        // The centre of the desktop's active window in screen coordinates; none: unknown.
        // Unset: asked of the X11 window system.
        std::function<std::optional<QPoint>()> activeWindowCentre;
        // The desktop prefers a dark colour scheme (for the "Automatic" appearance).
        // Unset: the desktop portal's colour scheme, followed as it changes.
        std::function<bool()> systemPrefersDark;
    };

    AgentResultPanelController(AppState &state, Options options);
    explicit AgentResultPanelController(AppState &state);
    ~AgentResultPanelController() override;

    // What the state is given to make its panels on first use.
    static std::function<std::unique_ptr<AgentResultPresenter>(AppState &)> factory();

    // AgentResultPresenter
    void showResult(const QUuid &conversationId) override;
    Q_INVOKABLE void hideResult() override;
    bool isConversationPanelVisible() const override;
    void centreConversationPanel() override;
    void presentConversationPanel() override;

    // The toast's actions.
    Q_INVOKABLE void openResult();
    Q_INVOKABLE void pasteResult();
    // The pointer is over the toast: its automatic hide waits until it leaves.
    Q_INVOKABLE void setToastHovered(bool hovered);

    bool usesDarkAppearance() const;
    bool isToastShown() const;
    bool isHideScheduled() const { return m_hideTimer.isActive(); }
    // The conversation the toast's "Open" opens.
    const std::optional<QUuid> &resultConversationID() const { return m_resultConversation; }
    // Null until first used.
    QQuickWindow *toastWindow() const { return m_toast.get(); }
    QQuickWindow *conversationWindow() const { return m_conversation.get(); }
    AgentConversationViewModel *conversationModel() const { return m_conversationModel.get(); }
    // The screen the toast and a newly opened conversation window go on.
    QScreen *preferredScreen() const;

    // Makes the windows now (they are otherwise made when first shown).
    void ensureToast();
    // Without a compositor the toast's transparent corners would draw black: cut the
    // window to its card.
    void applyToastShape();
    void ensureConversationWindow();

Q_SIGNALS:
    void appearanceChanged();
    void toastShownChanged();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QQmlEngine &engine();
    std::unique_ptr<QQuickWindow> makeWindow(const char *qml, bool transparent);

    AppState &m_state;
    Options m_options;
    std::unique_ptr<AgentConversationViewModel> m_conversationModel;
    std::unique_ptr<QQmlEngine> m_engine;
    std::unique_ptr<QQuickWindow> m_toast;
    std::unique_ptr<X11SelectionOwner> m_compositor;
    std::unique_ptr<QQuickWindow> m_conversation;
    QTimer m_hideTimer;
    bool m_toastHovered = false;
    std::optional<QUuid> m_resultConversation;
};

} // namespace sorvane
