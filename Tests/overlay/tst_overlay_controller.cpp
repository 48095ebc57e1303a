#include "Overlay/OverlayClock.h"
#include "Overlay/OverlayPanelController.h"
#include "Overlay/OverlayViewModel.h"
#include "Platform/SettingsStore.h"
#include "TestAppState.h"

#include <QGuiApplication>
#include <QQuickItem>
#include <QQuickWindow>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>

using namespace sorvane;

namespace {
const QString kX = QStringLiteral("overlayRelativeX");
const QString kY = QStringLiteral("overlayRelativeY");
const QString kOldX = QStringLiteral("overlayOriginX");
const QString kOldY = QStringLiteral("overlayOriginY");
} // namespace

// The controller on the offscreen platform: one screen, no window manager.
class OverlayControllerTest : public QObject {
    Q_OBJECT

    std::unique_ptr<testing::TestAppState> t;
    std::unique_ptr<OverlayClock> clock;
    std::unique_ptr<OverlayPanelController> controller;

    AppState &state() { return t->state(); }
    SettingsStore &settings() { return state().defaults(); }
    QRect available() const { return QGuiApplication::primaryScreen()->availableGeometry(); }
    void make()
    {
        clock = std::make_unique<OverlayClock>();
        controller = std::make_unique<OverlayPanelController>(
            state(), settings(), OverlayPanelController::Options{clock.get(), false});
    }
    // A new overlay shown, each tap on its pill counted in `taps`.
    QQuickWindow *showCountingTaps(int &taps)
    {
        make();
        controller->viewModel().setTapHandler([&taps] { ++taps; });
        controller->show();
        return controller->window();
    }
    QPoint defaultPlace(QSize size) const
    {
        return QPoint(available().center().x() + 1 - size.width() / 2, available().top() + 72);
    }

private Q_SLOTS:
    void init()
    {
        t = std::make_unique<testing::TestAppState>();
        t->build();
    }
    void cleanup()
    {
        controller.reset();
        clock.reset();
        t.reset();
    }

    void firstShowUsesTheDefaultPlace()
    {
        make();
        QVERIFY(!controller->isPresented());
        QVERIFY(!clock->isRunning());
        controller->show();
        QVERIFY(controller->isPresented());
        QVERIFY(controller->window()->isVisible());
        QCOMPARE(controller->window()->size(), QSize(318, 64));
        const QRect frame = controller->window()->geometry();
        QCOMPARE(frame.center().x() - available().center().x(), 0);
        QCOMPARE(frame.top(), available().top() + 72);
        // Placing is not the user's choice: nothing is remembered.
        QVERIFY(!settings().contains(kX));
        QVERIFY(clock->isRunning());
        controller->hide();
        QVERIFY(!controller->isPresented());
        // A hidden overlay keeps no window, and no timer runs.
        QVERIFY(!controller->window());
        QVERIFY(!clock->isRunning());
        // Shown again, it is made anew at the same place.
        controller->show();
        QVERIFY(controller->window()->isVisible());
        QCOMPARE(controller->window()->geometry(), frame);
        QVERIFY(controller->window()->findChild<QQuickItem *>(QStringLiteral("overlayView")));
    }

    void savedFractionsPlaceTheWindow()
    {
        settings().setValue(kX, 1.0);
        settings().setValue(kY, 0.0);
        make();
        controller->show();
        const QRect frame = controller->window()->geometry();
        QCOMPARE(frame.right(), available().right());
        QCOMPARE(frame.bottom(), available().bottom());
    }

    void damagedSavedPositionCountsAsAbsent_data()
    {
        QTest::addColumn<QVariant>("x");
        QTest::addColumn<QVariant>("y");
        QTest::newRow("nan") << QVariant(qQNaN()) << QVariant(0.5);
        QTest::newRow("infinite") << QVariant(0.5) << QVariant(qInf());
        QTest::newRow("x only") << QVariant(0.2) << QVariant();
    }
    void damagedSavedPositionCountsAsAbsent()
    {
        QFETCH(QVariant, x);
        QFETCH(QVariant, y);
        if (x.isValid())
            settings().setValue(kX, x.toDouble());
        if (y.isValid())
            settings().setValue(kY, y.toDouble());
        make();
        controller->show();
        const QPoint place = controller->window()->position();
        QCOMPARE(place.y(), available().top() + 72);
        QCOMPARE(controller->window()->geometry().center().x(), available().center().x());
    }

    void legacyOriginIsConvertedOnce()
    {
        // An old bottom-left origin 100 up from the bottom, 40 from the left.
        const QRect primary = QGuiApplication::primaryScreen()->geometry();
        settings().setValue(kOldX, 40.0);
        settings().setValue(kOldY, 100.0);
        make();
        controller->show();
        QVERIFY(!settings().contains(kOldX));
        QVERIFY(!settings().contains(kOldY));
        QVERIFY(settings().doubleValue(kX).has_value());
        QVERIFY(settings().doubleValue(kY).has_value());
        const QRect frame = controller->window()->geometry();
        QCOMPARE(frame.left(), 40);
        QCOMPARE(primary.bottom() + 1 - (frame.bottom() + 1), 100);
    }

    void legacyOriginOffEveryScreenIsDropped_data()
    {
        QTest::addColumn<double>("origin");
        QTest::newRow("far away") << 90000.0;
        // Beyond the range of int: a hand-edited or damaged value.
        QTest::newRow("beyond int") << 1e300;
        QTest::newRow("far below") << -1e300;
    }
    void legacyOriginOffEveryScreenIsDropped()
    {
        QFETCH(double, origin);
        settings().setValue(kOldX, origin);
        settings().setValue(kOldY, origin);
        make();
        controller->show();
        QVERIFY(!settings().contains(kOldX));
        QVERIFY(!settings().contains(kOldY));
        QVERIFY(!settings().contains(kX));
        QCOMPARE(controller->window()->position().y(), available().top() + 72);
    }

    void resetWhileHiddenClearsAndDoesNotShow()
    {
        settings().setValue(kX, 0.0);
        settings().setValue(kY, 0.0);
        settings().setValue(kOldX, 1.0);
        settings().setValue(kOldY, 1.0);
        make();
        controller->resetPosition();
        for (const QString &key : {kX, kY, kOldX, kOldY})
            QVERIFY2(!settings().contains(key), qPrintable(key));
        QVERIFY(!controller->isPresented());
        QVERIFY(!controller->window()->isVisible());
        QCOMPARE(controller->window()->position().y(), available().top() + 72);
    }

    void sizeFollowsTheLayoutAboutCentreAndBottom()
    {
        make();
        controller->show();
        const QRect before = controller->window()->geometry();
        // A Command past listening is the compact layout: the window shrinks at once.
        state().setAgentPhase(AgentPhase::Generating);
        QCOMPARE(controller->window()->size(), QSize(232, 48));
        QCOMPARE(controller->window()->geometry().center().x(), before.center().x());
        state().setAgentPhase(AgentPhase::Idle);
        state().setOverlaySize(OverlaySize::Mini);
        QCOMPARE(controller->window()->size(), QSize(160, 44));
        QVERIFY(!settings().contains(kX));
    }

    void aClickWithJitterIsOneTap()
    {
        int taps = 0;
        QQuickWindow *window = showCountingTaps(taps);
        QVERIFY(QTest::qWaitForWindowExposed(window));
        const QPoint centre = controller->pillRect().center();
        QTest::mouseClick(window, Qt::LeftButton, {}, centre);
        QTRY_COMPARE_WITH_TIMEOUT(taps, 1, 10000);
        // A press and release a few pixels apart is still a click, not a move.
        const QPoint origin = window->position();
        QTest::mousePress(window, Qt::LeftButton, {}, centre);
        QTest::mouseMove(window, centre + QPoint(2, 1));
        QTest::mouseRelease(window, Qt::LeftButton, {}, centre + QPoint(3, -1));
        QTRY_COMPARE_WITH_TIMEOUT(taps, 2, 10000);
        QCOMPARE(window->position(), origin);
        QVERIFY(!settings().contains(kX));
        // The transparent margin is not the pill.
        QTest::mouseClick(window, Qt::LeftButton, {}, QPoint(1, 1));
        QCoreApplication::processEvents();
        QCOMPARE(taps, 2);
    }

    void aDragMovesAndIsSavedOnRelease()
    {
        int taps = 0;
        QQuickWindow *window = showCountingTaps(taps);
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QSignalSpy saved(controller.get(), &OverlayPanelController::positionSaved);
        const QPoint origin = window->position();
        const QPoint globalStart = window->mapToGlobal(controller->pillRect().center());
        // Events at global places; the window moves under the pointer as it is dragged.
        auto local = [&](QPoint global) { return global - window->position(); };
        QTest::mousePress(window, Qt::LeftButton, {}, local(globalStart));
        QTest::mouseMove(window, local(globalStart + QPoint(-60, 80)));
        QCOMPARE(window->position(), origin + QPoint(-60, 80));
        QCOMPARE(saved.count(), 0);
        QTest::mouseRelease(window, Qt::LeftButton, {}, local(globalStart + QPoint(-70, 90)));
        QTRY_COMPARE_WITH_TIMEOUT(saved.count(), 1, 10000);
        QCOMPARE(taps, 0);
        QCOMPARE(window->position(), origin + QPoint(-70, 90));
        const double x = settings().doubleValue(kX).value_or(-1);
        const double y = settings().doubleValue(kY).value_or(-1);
        const QSize free = available().size() - window->size();
        QCOMPARE(qRound(x * free.width()), window->position().x() - available().left());
        QCOMPARE(qRound((1 - y) * free.height()), window->position().y() - available().top());
        // The next show puts it back there.
        controller->hide();
        controller->show();
        QCOMPARE(controller->window()->position(), origin + QPoint(-70, 90));
    }
};

QTEST_MAIN(OverlayControllerTest)
#include "tst_overlay_controller.moc"
