#include "Overlay/OverlayClock.h"
#include "Overlay/OverlayPanelController.h"
#include "Overlay/OverlayPlacement.h"
#include "Overlay/OverlayViewModel.h"
#include "Overlay/OverlayX11.h"
#include "Platform/SettingsStore.h"
#include "TestAppState.h"
#include "TestPaths.h"

#include <QProcess>
#include <QQuickWindow>
#include <QSignalSpy>
#include <QTest>

// Xlib last: its macros break the Qt headers.
#include "X11FocusFixture.h"
#include <X11/Xlib.h>
#include <X11/extensions/shape.h>

using namespace sorvane;

namespace {

QString xprop(WId window)
{
    return testing::toolOutput(QStringLiteral("xprop"),
                               {QStringLiteral("-id"), QString::number(window), QStringLiteral("_NET_WM_STATE"),
                                QStringLiteral("_NET_WM_WINDOW_TYPE"), QStringLiteral("_NET_WM_DESKTOP"),
                                QStringLiteral("WM_HINTS"), QStringLiteral("WM_STATE")});
}

void xdotool(const QStringList &arguments)
{
    testing::toolOutput(QStringLiteral("xdotool"), arguments);
}

} // namespace

class OverlayX11Test : public QObject {
    Q_OBJECT

    testing::X11FocusFixture x11;
    Display *display = nullptr;
    std::unique_ptr<testing::TestAppState> t;
    std::unique_ptr<OverlayClock> clock;
    std::unique_ptr<OverlayPanelController> controller;

    unsigned long focus() { return x11.focus(); }

    // The window's shape of `kind` (ShapeBounding, ShapeInput) as the X server has it.
    QRegion serverShape(WId window, int kind)
    {
        XSync(display, False);
        int count = 0, ordering = 0;
        XRectangle *rects = XShapeGetRectangles(display, Window(window), kind, &count, &ordering);
        QRegion region;
        for (int i = 0; i < count; ++i)
            region += QRect(rects[i].x, rects[i].y, rects[i].width, rects[i].height);
        if (rects)
            XFree(rects);
        return region;
    }

    // Where the X server has the window now (Qt's own idea may run ahead of it).
    QPoint serverPosition(WId window)
    {
        int x = 0, y = 0;
        Window child = None;
        XSync(display, False);
        XTranslateCoordinates(display, Window(window), DefaultRootWindow(display), 0, 0, &x, &y, &child);
        return QPoint(x, y);
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            testing::exitSkipped(QStringLiteral("needs an X display (run through scripts/test.sh)"));
        QVERIFY2(x11.start(), qPrintable(x11.error));
        display = x11.display;

        t = std::make_unique<testing::TestAppState>();
        t->build();
        clock = std::make_unique<OverlayClock>();
        controller = std::make_unique<OverlayPanelController>(
            t->state(), t->state().defaults(), OverlayPanelController::Options{clock.get(), false});
    }

    void cleanupTestCase()
    {
        controller.reset();
        clock.reset();
        t.reset();
        x11.stop();
        display = nullptr;
    }

    void hintsAreSetBeforeEveryShow()
    {
        for (int round = 0; round < 2; ++round) {
            controller->show();
            QVERIFY(QTest::qWaitForWindowExposed(controller->window(), 20000));
            const WId id = controller->window()->winId();
            QString props;
            // Window managers keep "on every desktop" their own way (openbox drops the
            // sticky state and keeps the all-desktops number).
            // The window manager rewrites the state list once it manages the window: wait
            // for the states it must keep rather than for the first sign of management.
            const auto managedWithStates = [&] {
                props = xprop(id);
                if (!props.contains(QLatin1String("window state: Normal")))
                    return false;
                for (const char *state : {"_NET_WM_STATE_ABOVE", "_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER"})
                    if (!props.contains(QLatin1String(state)))
                        return false;
                return true;
            };
            QTRY_VERIFY2_WITH_TIMEOUT(managedWithStates(), qPrintable(props), 20000);
            QVERIFY2(props.contains(QLatin1String("_NET_WM_WINDOW_TYPE(ATOM) = _NET_WM_WINDOW_TYPE_NOTIFICATION")),
                     qPrintable(props));
            QVERIFY2(props.contains(QLatin1String("_NET_WM_DESKTOP(CARDINAL) = 4294967295")), qPrintable(props));
            QVERIFY2(props.contains(QLatin1String("Client accepts input or input focus: False")), qPrintable(props));
            // The test display has no compositor: the window is cut to the pill, so its
            // transparent margins cannot draw black.
            if (!OverlayX11::compositorRunning()) {
                const QRegion mask = controller->window()->mask();
                QVERIFY(!mask.isEmpty());
                QVERIFY(mask.contains(controller->pillRect().center()));
                QVERIFY(!mask.contains(QPoint(1, 1)));
                const QRegion drawn = serverShape(id, ShapeBounding);
                QVERIFY(drawn.contains(controller->pillRect().center()));
                QVERIFY(!drawn.contains(QPoint(1, 1)));
            }
            // Clicks on the transparent margin go to the window below.
            const QRegion input = serverShape(id, ShapeInput);
            QVERIFY(input.contains(controller->pillRect().center()));
            QVERIFY(!input.contains(QPoint(1, 1)));
            controller->hide();
            QVERIFY(!controller->window());
        }
    }

    void focusStaysWithTheApplicationBeingDictatedInto()
    {
        const unsigned long before = focus();
        QVERIFY(before != None);
        AppState &state = t->state();
        controller->show();
        QVERIFY(QTest::qWaitForWindowExposed(controller->window(), 20000));
        // Let the window manager act on the new window before looking.
        QTRY_VERIFY_WITH_TIMEOUT(xprop(controller->window()->winId()).contains(QLatin1String("window state: Normal")),
                                 20000);
        XSync(display, False);
        QCOMPARE(focus(), before);
        state.setStatus(CaptureStatus::recording());
        clock->tick();
        state.setStatus(CaptureStatus::processing());
        state.setAgentPhase(AgentPhase::Generating);
        state.setStatus(CaptureStatus::idle()); // the Command layout: a resize while shown
        QTRY_COMPARE_WITH_TIMEOUT(controller->window()->size(), QSize(232, 48), 20000);
        QCoreApplication::processEvents();
        XSync(display, False);
        QCOMPARE(focus(), before);
        controller->hide();
        QCoreApplication::processEvents();
        XSync(display, False);
        QCOMPARE(focus(), before);
        state.setAgentPhase(AgentPhase::Idle);
    }

    void aDragSavesTheNewPlaceAndAProgrammaticMoveDoesNot()
    {
        SettingsStore &settings = t->state().defaults();
        controller->resetPosition();
        const unsigned long before = focus();
        QSignalSpy saved(controller.get(), &OverlayPanelController::positionSaved);
        controller->show();
        QQuickWindow *window = controller->window();
        QVERIFY(QTest::qWaitForWindowExposed(window, 20000));
        // Moves made by the controller itself are never saved.
        controller->show();
        controller->restorePosition(window->screen());
        QCoreApplication::processEvents();
        QCOMPARE(saved.count(), 0);
        QVERIFY(!settings.contains(QStringLiteral("overlayRelativeX")));

        // Showing may resize the window (keeping its centre) and then place it: the server
        // and Qt can agree on the interim place for a moment. Wait for the final one.
        const QPoint origin =
            OverlayPlacement::defaultOrigin(window->size(), window->screen()->availableGeometry()).toPoint();
        QTRY_COMPARE_WITH_TIMEOUT(window->position(), origin, 20000);
        QTRY_COMPARE_WITH_TIMEOUT(serverPosition(window->winId()), origin, 20000);
        const QPoint start = origin + controller->pillRect().center();
        xdotool({QStringLiteral("mousemove"), QString::number(start.x()), QString::number(start.y())});
        xdotool({QStringLiteral("mousedown"), QStringLiteral("1")});
        for (int step = 1; step <= 5; ++step)
            xdotool({QStringLiteral("mousemove"), QString::number(start.x() - step * 20),
                     QString::number(start.y() + step * 30)});
        xdotool({QStringLiteral("mouseup"), QStringLiteral("1")});
        QVERIFY(saved.wait(20000));
        QCOMPARE(saved.count(), 1);
        QTRY_COMPARE_WITH_TIMEOUT(window->position(), origin + QPoint(-100, 150), 20000);
        QTRY_COMPARE_WITH_TIMEOUT(serverPosition(window->winId()), window->position(), 20000);
        QVERIFY(settings.doubleValue(QStringLiteral("overlayRelativeX")).has_value());
        QVERIFY(settings.doubleValue(QStringLiteral("overlayRelativeY")).has_value());
        XSync(display, False);
        QCOMPARE(focus(), before);

        // A click, with a pixel of jitter, is one tap and takes no focus either.
        int taps = 0;
        controller->viewModel().setTapHandler([&] { ++taps; });
        const QPoint centre = window->position() + controller->pillRect().center();
        xdotool({QStringLiteral("mousemove"), QString::number(centre.x()), QString::number(centre.y())});
        xdotool({QStringLiteral("mousedown"), QStringLiteral("1")});
        xdotool({QStringLiteral("mousemove"), QString::number(centre.x() + 1), QString::number(centre.y() + 1)});
        xdotool({QStringLiteral("mouseup"), QStringLiteral("1")});
        QTRY_COMPARE_WITH_TIMEOUT(taps, 1, 20000);
        QCoreApplication::processEvents();
        QCOMPARE(taps, 1);
        QCOMPARE(saved.count(), 1);
        XSync(display, False);
        QCOMPARE(focus(), before);

        // Shown again, it comes back to where it was dragged.
        controller->hide();
        controller->show();
        QTRY_COMPARE_WITH_TIMEOUT(controller->window()->position(), origin + QPoint(-100, 150), 20000);
        controller->hide();
    }
};

QTEST_MAIN(OverlayX11Test)
#include "tst_overlay_x11.moc"
