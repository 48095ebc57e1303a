#include "OverlayPanelController.h"

#include "State/AppState.h"
#include "OverlayClock.h"
#include "OverlayViewModel.h"
#include "OverlayX11.h"
#include "Shell/X11SelectionOwner.h"
#include "Platform/SettingsStore.h"
#include "ViewsModule.h"

#include <QCursor>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainterPath>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QScreen>
#include <QTimer>
#include <malloc.h>

namespace sorvane {

namespace P = OverlayPresentation;

OverlayPanelController::OverlayPanelController(AppState &state)
    : OverlayPanelController(state, state.defaults(), Options{})
{
}

OverlayPanelController::OverlayPanelController(AppState &state, SettingsStore &settings, Options options)
    : m_state(state), m_settings(settings)
{
    views::initialise();
    if (options.clock) {
        m_clock = options.clock;
    } else {
        m_ownClock = std::make_unique<OverlayClock>();
        m_clock = m_ownClock.get();
    }
    m_viewModel = std::make_unique<OverlayViewModel>(*m_clock);
    m_viewModel->setState(&state);
    if (options.followDesktopColorScheme)
        m_viewModel->followDesktopColorScheme();
    // A layout change while shown (recording → processing keeps the size, a Command
    // moving on from listening does not) resizes the window at once.
    connect(m_viewModel.get(), &OverlayViewModel::changed, this, [this] {
        if (m_presented && m_window && m_window->size() != P::panelSize(m_viewModel->inputs()))
            show();
    });
    buildWindow();
    m_compositor = std::make_unique<X11SelectionOwner>(QByteArrayLiteral("_NET_WM_CM_S"));
    connect(m_compositor.get(), &X11SelectionOwner::ownerChanged, this, [this] {
        if (m_window && m_window->isVisible())
            applyShape();
    });

    connect(qGuiApp, &QGuiApplication::screenAdded, this, [this](QScreen *screen) {
        watchScreen(screen);
        screensChanged();
    });
    connect(qGuiApp, &QGuiApplication::screenRemoved, this, &OverlayPanelController::screensChanged);
    connect(qGuiApp, &QGuiApplication::primaryScreenChanged, this, &OverlayPanelController::screensChanged);
    for (QScreen *screen : QGuiApplication::screens())
        watchScreen(screen);
}

OverlayPanelController::~OverlayPanelController()
{
    m_window.reset();
    m_engine.reset();
    dropRetired();
}

std::function<std::unique_ptr<OverlayPresenter>(AppState &)> OverlayPanelController::factory()
{
    return [](AppState &state) -> std::unique_ptr<OverlayPresenter> {
        return std::make_unique<OverlayPanelController>(state);
    };
}

void OverlayPanelController::buildWindow()
{
    m_engine = std::make_unique<QQmlEngine>();
    views::prepareEngine(*m_engine);
    m_window = std::make_unique<QQuickWindow>();
    m_window->setFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                       Qt::WindowDoesNotAcceptFocus | Qt::NoDropShadowWindowHint);
    m_window->setTitle(QStringLiteral("Sorvane overlay"));
    // Shown without activating, so the window manager does not hand it the focus.
    m_window->setProperty("_q_showWithoutActivating", true);
    QSurfaceFormat format = m_window->format();
    format.setAlphaBufferSize(8);
    m_window->setFormat(format);
    m_window->setColor(Qt::transparent);
    m_window->resize(P::panelSize(m_viewModel->inputs()));
    m_window->installEventFilter(this);

    QQmlComponent component(m_engine.get(), QUrl(QStringLiteral("qrc:/qt/qml/Sorvane/Overlay/OverlayView.qml")));
    QObject *created = component.createWithInitialProperties({{QStringLiteral("overlay"),
                                                               QVariant::fromValue(m_viewModel.get())}});
    auto *view = qobject_cast<QQuickItem *>(created);
    if (!view) {
        qWarning("sorvane: the overlay view could not be made: %s", qPrintable(component.errorString()));
        delete created;
        return;
    }
    view->setObjectName(QStringLiteral("overlayView"));
    view->setParentItem(m_window->contentItem());
    view->setParent(m_window.get());
}

QRect OverlayPanelController::pillRect() const
{
    const QSize size = P::panelSize(m_viewModel->inputs());
    return QRect(QPoint(4, 4), size - QSize(8, 8));
}

void OverlayPanelController::show()
{
    if (!m_window)
        buildWindow();
    QScreen *screen = preferredScreen();
    m_presented = true;
    m_clock->start();
    resizeForState();
    if (screen)
        restorePosition(screen);
    bringToFront();
}

void OverlayPanelController::hide()
{
    m_presented = false;
    m_pressed = false;
    m_dragging = false;
    m_clock->stop();
    if (!m_window)
        return;
    m_window->hide();
    // Hidden most of the time: a hidden overlay keeps no window, scene or script engine;
    // the next show makes them again within a frame or two. They go on a later turn, as
    // this may run inside one of the window's own events.
    m_retired.emplace_back(std::move(m_window), std::move(m_engine));
    QTimer::singleShot(0, this, &OverlayPanelController::dropRetired);
}

void OverlayPanelController::dropRetired()
{
    if (m_retired.empty())
        return;
    // Each window before its engine, whose objects it shows.
    for (auto &[window, engine] : m_retired) {
        window.reset();
        engine.reset();
    }
    m_retired.clear();
    // What the scene, the recording and the transcription freed goes back to the system
    // rather than staying in the heap.
    malloc_trim(0);
}

void OverlayPanelController::resizeForState()
{
    const QSize wanted = P::panelSize(m_viewModel->inputs());
    const QRect frame = m_window->geometry();
    if (frame.size() == wanted)
        return;
    // Keep the horizontal centre and the bottom edge.
    const int x = qRound(frame.x() + frame.width() * 0.5 - wanted.width() * 0.5);
    const int y = frame.y() + frame.height() - wanted.height();
    m_window->setGeometry(QRect(QPoint(x, y), wanted));
}

void OverlayPanelController::applyShape()
{
    QPainterPath path;
    const QRectF pill = pillRect();
    const qreal radius = m_viewModel->pillHeight() <= 40 ? pill.height() / 2 : 19;
    path.addRoundedRect(pill, radius, radius);
    const QRegion region(path.toFillPolygon().toPolygon());
    if (OverlayX11::isAvailable()) {
        OverlayX11::setInputShape(*m_window, region);
        // Without a compositor transparent pixels draw black: cut the window to the pill.
        m_window->setMask(OverlayX11::compositorRunning() ? QRegion() : region);
    }
}

void OverlayPanelController::bringToFront()
{
    if (!m_window)
        return;
    if (!m_window->isVisible()) {
        m_window->create();
        OverlayX11::applyHints(*m_window);
        // Cut to the pill before it is mapped, so that no first frame shows its margins.
        applyShape();
        m_window->setVisible(true);
    } else {
        applyShape();
    }
    if (OverlayX11::isAvailable())
        m_window->raise();
}

void OverlayPanelController::moveWindow(QPoint topLeft)
{
    m_window->setPosition(topLeft);
}

QScreen *OverlayPanelController::preferredScreen() const
{
    if (const auto centre = OverlayX11::activeWindowCentre()) {
        if (QScreen *screen = QGuiApplication::screenAt(*centre))
            return screen;
    }
    if (QScreen *screen = QGuiApplication::screenAt(QCursor::pos()))
        return screen;
    return QGuiApplication::primaryScreen();
}

void OverlayPanelController::restorePosition(QScreen *screen)
{
    if (!screen)
        return;
    std::optional<OverlayPlacement::Fractions> fractions = savedRelativePosition();
    if (!fractions)
        fractions = migrateLegacyPosition();
    const QRectF available = screen->availableGeometry();
    const QSizeF size = m_window->size();
    const QPointF origin = fractions ? OverlayPlacement::origin(*fractions, size, available)
                                     : OverlayPlacement::defaultOrigin(size, available);
    moveWindow(origin.toPoint());
}

void OverlayPanelController::resetPosition()
{
    clearSavedPosition();
    // A hidden overlay has no window: the next show places it at the default place.
    if (!m_window)
        return;
    QScreen *screen = preferredScreen();
    if (!screen)
        return;
    moveWindow(OverlayPlacement::defaultOrigin(m_window->size(), screen->availableGeometry()).toPoint());
    if (m_presented)
        bringToFront();
}

void OverlayPanelController::savePosition()
{
    const QRect frame = m_window->geometry();
    QScreen *screen = bestScreen(frame);
    if (!screen)
        screen = m_window->screen();
    if (!screen)
        return;
    saveRelativePosition(OverlayPlacement::relativePosition(frame, screen->availableGeometry()));
    Q_EMIT positionSaved();
}

namespace {
// A stored number, whichever numeric kind it was written with.
std::optional<double> storedNumber(const SettingsStore &settings, const char *key)
{
    const QString name = QString::fromLatin1(key);
    if (const auto value = settings.doubleValue(name))
        return value;
    if (const auto value = settings.integerValue(name))
        return double(*value);
    if (const auto value = settings.stringValue(name)) {
        bool ok = false;
        const double number = value->toDouble(&ok);
        if (ok)
            return number;
    }
    return std::nullopt;
}
} // namespace

std::optional<OverlayPlacement::Fractions> OverlayPanelController::savedRelativePosition() const
{
    return OverlayPlacement::storedFractions(storedNumber(m_settings, relativeXKey),
                                             storedNumber(m_settings, relativeYKey));
}

void OverlayPanelController::saveRelativePosition(OverlayPlacement::Fractions fractions)
{
    m_settings.setValue(QString::fromLatin1(relativeXKey), fractions.x);
    m_settings.setValue(QString::fromLatin1(relativeYKey), fractions.y);
    m_settings.remove(QString::fromLatin1(legacyOriginXKey));
    m_settings.remove(QString::fromLatin1(legacyOriginYKey));
}

void OverlayPanelController::clearSavedPosition()
{
    for (const char *key : {relativeXKey, relativeYKey, legacyOriginXKey, legacyOriginYKey})
        m_settings.remove(QString::fromLatin1(key));
}

std::optional<OverlayPlacement::Fractions> OverlayPanelController::migrateLegacyPosition()
{
    const QString xKey = QString::fromLatin1(legacyOriginXKey);
    const QString yKey = QString::fromLatin1(legacyOriginYKey);
    if (!m_settings.contains(xKey) || !m_settings.contains(yKey))
        return std::nullopt;
    const std::optional<double> x = storedNumber(m_settings, legacyOriginXKey);
    const std::optional<double> y = storedNumber(m_settings, legacyOriginYKey);
    m_settings.remove(xKey);
    m_settings.remove(yKey);
    QScreen *primary = QGuiApplication::primaryScreen();
    if (!x || !y || !std::isfinite(*x) || !std::isfinite(*y) || !primary)
        return std::nullopt;
    const QRectF oldFrame = OverlayPlacement::legacyFrame(QPointF(*x, *y), m_window->size(), primary->geometry());
    // In floating point: a damaged stored origin may lie beyond the range of int.
    QScreen *screen = bestScreen(oldFrame);
    if (!screen)
        return std::nullopt;
    const OverlayPlacement::Fractions fractions =
        OverlayPlacement::relativePosition(oldFrame, screen->availableGeometry());
    saveRelativePosition(fractions);
    return fractions;
}

QScreen *OverlayPanelController::bestScreen(const QRectF &rect) const
{
    const QList<QScreen *> screens = QGuiApplication::screens();
    QList<QRectF> areas;
    for (QScreen *screen : screens)
        areas << QRectF(screen->availableGeometry());
    const std::optional<int> best = OverlayPlacement::bestScreen(rect, areas);
    return best ? screens.at(*best) : nullptr;
}

void OverlayPanelController::watchScreen(QScreen *screen)
{
    connect(screen, &QScreen::availableGeometryChanged, this, &OverlayPanelController::screensChanged);
}

void OverlayPanelController::screensChanged()
{
    if (!m_presented)
        return;
    if (QScreen *screen = preferredScreen()) {
        restorePosition(screen);
    } else if (QScreen *best = bestScreen(m_window->geometry())) {
        moveWindow(OverlayPlacement::constrainedOrigin(m_window->geometry(), best->availableGeometry()).toPoint());
    }
    if (m_presented)
        bringToFront();
}

bool OverlayPanelController::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_window.get())
        return QObject::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() != Qt::LeftButton)
            return true;
        m_pressed = pillRect().contains(mouse->position().toPoint());
        m_dragging = false;
        m_pressCursor = mouse->globalPosition().toPoint();
        m_pressWindowPosition = m_window->position();
        return true;
    }
    case QEvent::MouseMove: {
        if (!m_pressed)
            return true;
        // The cursor's global position when the event happened: the window moves under
        // it (so window positions would drift), and events may be handled late (so the
        // cursor's position now may already be the one of a later event).
        const QPoint moved = static_cast<QMouseEvent *>(event)->globalPosition().toPoint() - m_pressCursor;
        if (!m_dragging && moved.manhattanLength() > dragThreshold)
            m_dragging = true;
        if (m_dragging)
            moveWindow(m_pressWindowPosition + moved);
        return true;
    }
    case QEvent::MouseButtonRelease: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() != Qt::LeftButton || !m_pressed)
            return true;
        m_pressed = false;
        if (m_dragging) {
            m_dragging = false;
            moveWindow(m_pressWindowPosition + (mouse->globalPosition().toPoint() - m_pressCursor));
            savePosition();
        } else {
            m_viewModel->tap();
        }
        return true;
    }
    case QEvent::MouseButtonDblClick:
        return true;
    default:
        return QObject::eventFilter(watched, event);
    }
}

} // namespace sorvane
