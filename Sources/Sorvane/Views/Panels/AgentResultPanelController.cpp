#include "AgentResultPanelController.h"

#include "AgentConversationViewModel.h"
#include "AgentPanelRules.h"
#include "State/AppState.h"
#include "Overlay/DesktopColorScheme.h"
#include "Overlay/OverlayX11.h"
#include "Shell/X11SelectionOwner.h"
#include "ViewsModule.h"

#include <QEvent>
#include <QPointer>
#include <QGuiApplication>
#include <QQmlComponent>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickItem>
#include <QPainterPath>
#include <QQuickItem>
#include <QQuickWindow>
#include <QScreen>

namespace sorvane {

AgentResultPanelController::AgentResultPanelController(AppState &state, Options options)
    : m_state(state), m_options(std::move(options))
{
    m_hideTimer.setSingleShot(true);
    m_hideTimer.setInterval(m_options.toastHideDelay);
    connect(&m_hideTimer, &QTimer::timeout, this, &AgentResultPanelController::hideResult);
    connect(&state, &AppState::overlayAppearanceChanged, this, &AgentResultPanelController::appearanceChanged);
    if (!m_options.activeWindowCentre)
        m_options.activeWindowCentre = [] { return OverlayX11::activeWindowCentre(); };
    m_compositor = std::make_unique<X11SelectionOwner>(QByteArrayLiteral("_NET_WM_CM_S"));
    connect(m_compositor.get(), &X11SelectionOwner::ownerChanged, this, [this] {
        if (m_toast && m_toast->isVisible())
            applyToastShape();
    });
    if (!m_options.systemPrefersDark) {
        DesktopColorScheme &scheme = DesktopColorScheme::shared();
        connect(&scheme, &DesktopColorScheme::changed, this, &AgentResultPanelController::appearanceChanged);
        m_options.systemPrefersDark = [scheme = QPointer<DesktopColorScheme>(&scheme)] {
            return scheme && scheme->isDark();
        };
    }
}

AgentResultPanelController::AgentResultPanelController(AppState &state) : AgentResultPanelController(state, Options{})
{
}

AgentResultPanelController::~AgentResultPanelController()
{
    // The windows' items go before the engine and the models they bind to.
    m_toast.reset();
    m_conversation.reset();
}

std::function<std::unique_ptr<AgentResultPresenter>(AppState &)> AgentResultPanelController::factory()
{
    return [](AppState &state) -> std::unique_ptr<AgentResultPresenter> {
        return std::make_unique<AgentResultPanelController>(state);
    };
}

QQmlEngine &AgentResultPanelController::engine()
{
    if (!m_engine) {
        views::initialise();
        m_engine = std::make_unique<QQmlEngine>();
        views::prepareEngine(*m_engine);
        m_conversationModel = std::make_unique<AgentConversationViewModel>(m_state);
        m_engine->rootContext()->setContextProperty(QStringLiteral("appState"), &m_state);
        m_engine->rootContext()->setContextProperty(QStringLiteral("resultPanel"), this);
        m_engine->rootContext()->setContextProperty(QStringLiteral("conversationModel"), m_conversationModel.get());
    }
    return *m_engine;
}

std::unique_ptr<QQuickWindow> AgentResultPanelController::makeWindow(const char *qml, bool transparent)
{
    QQmlEngine &qmlEngine = engine();
    auto window = std::make_unique<QQuickWindow>();
    if (transparent) {
        QSurfaceFormat format = window->format();
        format.setAlphaBufferSize(8);
        window->setFormat(format);
        window->setColor(Qt::transparent);
    }
    QQmlComponent component(&qmlEngine);
    component.setData(QByteArray("import Sorvane\n") + qml + " {}\n", QUrl(QStringLiteral("qrc:/sorvane/panels.qml")));
    QObject *object = component.create();
    auto *item = qobject_cast<QQuickItem *>(object);
    if (!item) {
        qWarning("Command panel could not be made: %s", qPrintable(component.errorString()));
        delete object;
        return window;
    }
    item->setParent(window.get());
    item->setParentItem(window->contentItem());
    item->setSize(window->size());
    QQuickItem *content = window->contentItem();
    connect(content, &QQuickItem::widthChanged, item, [item, content] { item->setWidth(content->width()); });
    connect(content, &QQuickItem::heightChanged, item, [item, content] { item->setHeight(content->height()); });
    return window;
}

void AgentResultPanelController::ensureToast()
{
    if (m_toast)
        return;
    m_toast = makeWindow("AgentResultToast", true);
    m_toast->setObjectName(QStringLiteral("agentResultToastWindow"));
    // Like the overlay: above everything, out of the task bar, never focused.
    m_toast->setFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus);
    m_toast->resize(AgentPanelRules::toastSize);
    m_toast->setMinimumSize(AgentPanelRules::toastSize);
    m_toast->setMaximumSize(AgentPanelRules::toastSize);
    connect(m_toast.get(), &QWindow::visibleChanged, this, &AgentResultPanelController::toastShownChanged);
}

void AgentResultPanelController::ensureConversationWindow()
{
    if (m_conversation)
        return;
    m_conversation = makeWindow("AgentConversationPanelView", false);
    m_conversation->setObjectName(QStringLiteral("agentConversationWindow"));
    m_conversation->setFlags(Qt::Window);
    m_conversation->setTitle(QString::fromUtf8(conversationTitle));
    m_conversation->resize(AgentPanelRules::conversationSize);
    m_conversation->setMinimumSize(AgentPanelRules::conversationMinimumSize);
    m_conversation->installEventFilter(this);
}

QScreen *AgentResultPanelController::preferredScreen() const
{
    const QList<QScreen *> screens = QGuiApplication::screens();
    QList<QRect> geometries;
    for (QScreen *screen : screens)
        geometries.append(screen->geometry());
    const int primary = int(screens.indexOf(QGuiApplication::primaryScreen()));
    const std::optional<QPoint> centre = m_options.activeWindowCentre ? m_options.activeWindowCentre() : std::nullopt;
    const int index = AgentPanelRules::toastScreenIndex(geometries, primary, centre);
    return index >= 0 ? screens[index] : nullptr;
}

void AgentResultPanelController::showResult(const QUuid &conversationId)
{
    QScreen *screen = preferredScreen();
    if (!screen)
        return;
    ensureToast();
    m_resultConversation = conversationId;
    m_toast->setScreen(screen);
    m_toast->setPosition(AgentPanelRules::toastTopLeft(screen->availableGeometry(), m_toast->size()));
    if (!m_toast->isVisible()) {
        // The window manager forgets the hints when a window is unmapped.
        m_toast->create();
        OverlayX11::applyHints(*m_toast);
        applyToastShape();
        m_toast->setVisible(true);
    }
    if (OverlayX11::isAvailable())
        m_toast->raise();
    m_hideTimer.stop();
    if (!m_toastHovered)
        m_hideTimer.start();
}

void AgentResultPanelController::applyToastShape()
{
    if (!m_toast || !OverlayX11::isAvailable())
        return;
    if (OverlayX11::compositorRunning()) {
        m_toast->setMask(QRegion());
        return;
    }
    // The toast's item belongs to the window (see makeWindow), its card to the item.
    const auto *card = m_toast->findChild<QQuickItem *>(QStringLiteral("toastCard"));
    if (!card)
        return;
    const qreal radius = card->property("radius").toReal();
    QPainterPath path;
    path.addRoundedRect(QRectF(card->mapToScene(QPointF(0, 0)), card->size()), radius, radius);
    m_toast->setMask(QRegion(path.toFillPolygon().toPolygon()));
}

void AgentResultPanelController::hideResult()
{
    m_hideTimer.stop();
    if (m_toast)
        m_toast->hide();
    m_toastHovered = false;
}

void AgentResultPanelController::setToastHovered(bool hovered)
{
    if (hovered == m_toastHovered)
        return;
    m_toastHovered = hovered;
    if (hovered)
        m_hideTimer.stop();
    else if (isToastShown())
        m_hideTimer.start();
}

bool AgentResultPanelController::isToastShown() const
{
    return m_toast && m_toast->isVisible();
}

void AgentResultPanelController::openResult()
{
    // The run that finished, not whatever is active by the time of the click.
    const std::optional<QUuid> id = m_resultConversation ? m_resultConversation : m_state.activeAgentConversationID();
    if (id)
        m_state.openAgentConversation(*id);
}

void AgentResultPanelController::pasteResult()
{
    m_state.pasteAgentResult();
}

bool AgentResultPanelController::usesDarkAppearance() const
{
    const bool systemDark = m_options.systemPrefersDark && m_options.systemPrefersDark();
    return AgentPanelRules::usesDarkAppearance(m_state.overlayAppearance(), systemDark);
}

bool AgentResultPanelController::isConversationPanelVisible() const
{
    return m_conversation && m_conversation->isVisible();
}

void AgentResultPanelController::centreConversationPanel()
{
    ensureConversationWindow();
    QScreen *screen = preferredScreen();
    if (!screen)
        return;
    m_conversation->setScreen(screen);
    m_conversation->setPosition(AgentPanelRules::centredTopLeft(screen->availableGeometry(), m_conversation->size()));
}

void AgentResultPanelController::presentConversationPanel()
{
    ensureConversationWindow();
    if (m_conversation->windowStates() & Qt::WindowMinimized)
        m_conversation->setWindowStates(m_conversation->windowStates() & ~Qt::WindowMinimized);
    m_conversation->show();
    m_conversation->raise();
    m_conversation->requestActivate();
}

bool AgentResultPanelController::eventFilter(QObject *watched, QEvent *event)
{
    // Closing by any means (the close button, the window manager, Alt+F4) comes here;
    // hiding for other reasons does not.
    if (watched == m_conversation.get() && event->type() == QEvent::Close)
        m_state.setAgentPanelVisible(false);
    return QObject::eventFilter(watched, event);
}

} // namespace sorvane
