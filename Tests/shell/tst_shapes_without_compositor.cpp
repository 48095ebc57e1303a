#include "Overlay/OverlayClock.h"
#include "Overlay/OverlayPanelController.h"
#include "Overlay/OverlayX11.h"
#include "Panels/AgentResultPanelController.h"
#include "Services/Command/AgentConversationStore.h"
#include "TestAppState.h"

#include <QQuickWindow>
#include <QTest>

// Xlib last: its macros break the Qt headers.
#include <X11/Xlib.h>
#include <X11/extensions/shape.h>

using namespace sorvane;

namespace {

constexpr int wait = 20000;

} // namespace

// The overlay and the result toast on a display without a compositing manager are cut
// to their rounded outline (their transparent corners would draw black), and follow a
// compositor that comes and goes while they are shown.
class ShapesWithoutCompositorTest : public QObject {
    Q_OBJECT

    Display *display = nullptr;
    Atom compositorSelection = None;
    std::unique_ptr<testing::TestAppState> t;

    // The window's drawn shape as the X server has it.
    QRegion serverShape(WId window)
    {
        XSync(display, False);
        int count = 0, ordering = 0;
        XRectangle *rects = XShapeGetRectangles(display, Window(window), ShapeBounding, &count, &ordering);
        QRegion region;
        for (int i = 0; i < count; ++i)
            region += QRect(rects[i].x, rects[i].y, rects[i].width, rects[i].height);
        if (rects)
            XFree(rects);
        return region;
    }

    // A stand-in compositor: the owner of the compositing manager's selection.
    Window startCompositor()
    {
        const Window owner = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
        XSetSelectionOwner(display, compositorSelection, owner, CurrentTime);
        XSync(display, False);
        return owner;
    }

    void stopCompositor(Window owner)
    {
        XDestroyWindow(display, owner);
        XSync(display, False);
    }

    // Shaped to its outline: the corner is cut, `inside` is drawn, on the server too.
    void checkShaped(QWindow *window, QPoint inside)
    {
        QTRY_VERIFY_WITH_TIMEOUT(!window->mask().isEmpty(), wait);
        QVERIFY(window->mask().contains(inside));
        QVERIFY(!window->mask().contains(QPoint(1, 1)));
        QTRY_VERIFY_WITH_TIMEOUT(!serverShape(window->winId()).contains(QPoint(1, 1)), wait);
        QVERIFY(serverShape(window->winId()).contains(inside));
    }

    void checkWhole(QWindow *window)
    {
        QTRY_VERIFY_WITH_TIMEOUT(window->mask().isEmpty(), wait);
        QTRY_VERIFY_WITH_TIMEOUT(serverShape(window->winId()).contains(QPoint(1, 1)), wait);
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY") || !OverlayX11::isAvailable()) {
            if (qEnvironmentVariableIsSet("SORVANE_TEST_SESSION"))
                QFAIL("the test session has no X display");
            QSKIP("needs an X display (run through scripts/test.sh)");
        }
        display = XOpenDisplay(nullptr);
        QVERIFY(display);
        const QByteArray name = "_NET_WM_CM_S" + QByteArray::number(DefaultScreen(display));
        compositorSelection = XInternAtom(display, name.constData(), False);
        // The test display runs none: that is the case under test.
        QCOMPARE(XGetSelectionOwner(display, compositorSelection), Window(None));
        t = std::make_unique<testing::TestAppState>();
        t->build();
    }

    void cleanupTestCase()
    {
        t.reset();
        if (display)
            XCloseDisplay(display);
    }

    void overlayIsCutToItsPillAndFollowsTheCompositor()
    {
        OverlayClock clock;
        OverlayPanelController overlay(t->state(), t->state().defaults(), OverlayPanelController::Options{&clock, false});
        t->state().setStatus(CaptureStatus::recording());
        overlay.show();
        QVERIFY(QTest::qWaitForWindowExposed(overlay.window(), wait));
        const QPoint inside = overlay.pillRect().center();
        checkShaped(overlay.window(), inside);
        if (QTest::currentTestFailed())
            return;

        const Window compositor = startCompositor();
        checkWhole(overlay.window());
        stopCompositor(compositor);
        if (QTest::currentTestFailed())
            return;
        checkShaped(overlay.window(), inside);
        overlay.hide();
        t->state().setStatus(CaptureStatus::idle());
    }

    void resultToastIsCutToItsCardAndFollowsTheCompositor()
    {
        AgentResultPanelController panel(t->state());
        const QUuid id = QUuid::createUuid();
        t->agentConversationStore->createConversation(id, QStringLiteral("Shorter, please"), {}, QStringLiteral("Mail"));
        panel.showResult(id);
        QQuickWindow *toast = panel.toastWindow();
        QVERIFY(toast);
        QVERIFY(QTest::qWaitForWindowExposed(toast, wait));
        const QPoint inside(toast->width() / 2, toast->height() / 2);
        checkShaped(toast, inside);
        if (QTest::currentTestFailed())
            return;

        const Window compositor = startCompositor();
        checkWhole(toast);
        stopCompositor(compositor);
        if (QTest::currentTestFailed())
            return;
        checkShaped(toast, inside);
        panel.hideResult();
    }
};

QTEST_MAIN(ShapesWithoutCompositorTest)
#include "tst_shapes_without_compositor.moc"
