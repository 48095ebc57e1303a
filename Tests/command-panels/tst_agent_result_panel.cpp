#include "PanelHarness.h"

#include <QElapsedTimer>
#include <QScreen>
#include <QSignalSpy>

using namespace sorvane;
using namespace sorvane::testing;
using namespace std::chrono_literals;

class AgentResultPanelTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void windowsAreMadeOnFirstUse()
    {
        PanelHarness h;
        h.build();
        QVERIFY(h.panel);
        QVERIFY(!h.panel->toastWindow());
        QVERIFY(!h.panel->conversationWindow());
        QVERIFY(!h.panel->isConversationPanelVisible());
    }

    void toastShowsAtTheTopRightWithoutTakingFocus()
    {
        PanelHarness h;
        h.build();
        const QUuid id = h.addConversation(QStringLiteral("Reply to Ana"), QStringLiteral("Dear Ana"));
        h.panel->showResult(id);
        QQuickWindow *toast = h.panel->toastWindow();
        QVERIFY(toast);
        QVERIFY(toast->isVisible());
        QCOMPARE(toast->size(), QSize(350, 116));
        const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
        QCOMPARE(toast->position(), QPoint(available.right() + 1 - 350 - 18, available.top() + 18));
        QVERIFY(toast->flags().testFlag(Qt::WindowDoesNotAcceptFocus));
        QVERIFY(toast->flags().testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(toast->flags().testFlag(Qt::FramelessWindowHint));
        QCOMPARE(toast->flags() & Qt::WindowType_Mask, Qt::Tool);
        QVERIFY(h.panel->isHideScheduled());
        QCOMPARE(h.panel->resultConversationID(), std::optional(id));
    }

    void toastHidesByItselfAndASecondShowRestartsTheWait()
    {
        PanelHarness h;
        const auto delay = 1500ms;
        h.options.toastHideDelay = delay;
        h.build();
        const QUuid id = h.addConversation(QStringLiteral("Reply"), QStringLiteral("Answer"));
        h.panel->showResult(id);
        QQuickWindow *toast = h.panel->toastWindow();

        // Two thirds into the wait, the toast is shown again.
        QTimer later;
        later.setSingleShot(true);
        QSignalSpy laterSpy(&later, &QTimer::timeout);
        later.start(1000ms);
        QVERIFY(laterSpy.wait(20000));
        QVERIFY(toast->isVisible());
        h.panel->showResult(id);
        QElapsedTimer sinceSecondShow;
        sinceSecondShow.start();

        QTRY_VERIFY_WITH_TIMEOUT(!toast->isVisible(), 20000);
        // Without the restart it would have gone 500 ms after the second show; a timer
        // may fire a little early, never a whole third early.
        QVERIFY2(sinceSecondShow.elapsed() >= 1400, qPrintable(QString::number(sinceSecondShow.elapsed())));
        QVERIFY(!h.panel->isHideScheduled());
    }

    void pointerOverTheToastHoldsTheHideBack()
    {
        PanelHarness h;
        h.options.toastHideDelay = 300ms;
        h.build();
        h.panel->showResult(h.addConversation(QStringLiteral("Reply"), QStringLiteral("Answer")));
        QQuickWindow *toast = h.panel->toastWindow();
        QVERIFY(QTest::qWaitForWindowExposed(toast));

        // A real pointer move over the card, through the view's hover handling.
        QTest::mouseMove(toast, QPoint(175, 58));
        QTRY_VERIFY_WITH_TIMEOUT(!h.panel->isHideScheduled(), 10000);
        QVERIFY(toast->isVisible());
        // A show while the pointer is over it does not start the wait either.
        h.panel->showResult(*h.panel->resultConversationID());
        QVERIFY(!h.panel->isHideScheduled());

        // The pointer leaves: the whole wait starts again and then the toast goes.
        h.panel->setToastHovered(false);
        QVERIFY(h.panel->isHideScheduled());
        QTRY_VERIFY_WITH_TIMEOUT(!toast->isVisible(), 20000);
    }

    void hideOnAHiddenToastChangesNothing()
    {
        PanelHarness h;
        h.build();
        h.panel->hideResult();
        QVERIFY(!h.panel->toastWindow());
        QVERIFY(!h.panel->isHideScheduled());
        h.panel->showResult(h.addConversation(QStringLiteral("Reply"), QStringLiteral("Answer")));
        h.panel->hideResult();
        h.panel->hideResult();
        QVERIFY(!h.panel->toastWindow()->isVisible());
        QVERIFY(!h.panel->isHideScheduled());
    }

    void openOpensTheConversationOfTheRunThatFinished()
    {
        PanelHarness h;
        AppState &state = h.build();
        const QUuid finished = h.addConversation(QStringLiteral("Reply to Ana"), QStringLiteral("Dear Ana"));
        const QUuid other = h.addConversation(QStringLiteral("Summarise"), QStringLiteral("In short"));
        h.panel->showResult(finished);
        // Something else became active before the click.
        state.setActiveAgentConversationID(other);
        QVERIFY(QTest::qWaitForWindowExposed(h.panel->toastWindow()));

        PanelHarness::click(h.toastItem(QStringLiteral("toastOpenButton")));
        QTRY_VERIFY_WITH_TIMEOUT(h.panel->isConversationPanelVisible(), 10000);
        QCOMPARE(state.activeAgentConversationID(), std::optional(finished));
        QVERIFY(state.agentPanelVisible());
        QVERIFY(!h.panel->toastWindow()->isVisible());
        QCOMPARE(h.t.windows.calls, QStringList{QStringLiteral("activate")});
        QCOMPARE(h.panel->conversationModel()->title(), QStringLiteral("Reply to Ana"));
    }

    void dismissAndCloseHideTheToast_data()
    {
        QTest::addColumn<QString>("button");
        QTest::newRow("dismiss") << QStringLiteral("toastDismissButton");
        QTest::newRow("close") << QStringLiteral("toastCloseButton");
    }
    void dismissAndCloseHideTheToast()
    {
        QFETCH(QString, button);
        PanelHarness h;
        AppState &state = h.build();
        const QUuid id = h.addConversation(QStringLiteral("Reply"), QStringLiteral("Answer"));
        h.panel->showResult(id);
        QVERIFY(QTest::qWaitForWindowExposed(h.panel->toastWindow()));
        PanelHarness::click(h.toastItem(button));
        QTRY_VERIFY_WITH_TIMEOUT(!h.panel->toastWindow()->isVisible(), 10000);
        QVERIFY(!h.panel->isHideScheduled());
        QVERIFY(!state.agentPanelVisible());
        QVERIFY(!h.panel->conversationWindow());
    }

    void pasteShowsOnlyWhenNeeded()
    {
        PanelHarness h;
        AppState &state = h.build();
        h.panel->showResult(h.addConversation(QStringLiteral("Reply"), QStringLiteral("Dear Ana")));
        QVERIFY(QTest::qWaitForWindowExposed(h.panel->toastWindow()));
        QQuickItem *paste = h.toastItem(QStringLiteral("toastPasteButton"));
        QVERIFY(paste);
        QVERIFY(!paste->isVisible());
        state.setAgentResultNeedsPaste(true);
        QVERIFY(paste->isVisible());
        // At the right end of the action row.
        QQuickItem *dismiss = h.toastItem(QStringLiteral("toastDismissButton"));
        QVERIFY(paste->mapToScene(QPointF(0, 0)).x() > dismiss->mapToScene(QPointF(dismiss->width(), 0)).x());
        QCOMPARE(paste->mapToScene(QPointF(paste->width(), 0)).x(), 4.0 + 342.0 - 13.0);
    }

    void toastShowsTheResultOnOneLine()
    {
        PanelHarness h;
        AppState &state = h.build();
        state.setAgentResultText(QString(400, QLatin1Char('w')));
        h.panel->showResult(h.addConversation(QStringLiteral("Reply"), QStringLiteral("Answer")));
        QQuickItem *text = h.toastItem(QStringLiteral("toastResultText"));
        QVERIFY(text);
        QCOMPARE(text->property("lineCount").toInt(), 1);
        QVERIFY(text->property("truncated").toBool());
        QVERIFY(text->mapToScene(QPointF(text->width(), 0)).x() <= 350);
    }

    void toastFollowsTheOverlayAppearance()
    {
        PanelHarness h;
        bool systemDark = false;
        h.options.systemPrefersDark = [&systemDark] { return systemDark; };
        AppState &state = h.build();
        state.setOverlayAppearance(OverlayAppearance::Light);
        h.panel->showResult(h.addConversation(QStringLiteral("Reply"), QStringLiteral("Answer")));
        QQuickItem *card = h.toastItem(QStringLiteral("toastCard"));
        QCOMPARE(card->property("fill").value<QColor>(), QColor::fromRgbF(1, 1, 1, 0.98f));
        state.setOverlayAppearance(OverlayAppearance::Dark);
        QCOMPARE(card->property("fill").value<QColor>(), QColor::fromRgbF(0, 0, 0, 0.95f));
        systemDark = true;
        state.setOverlayAppearance(OverlayAppearance::Automatic);
        QVERIFY(h.panel->usesDarkAppearance());
        QCOMPARE(card->property("fill").value<QColor>(), QColor::fromRgbF(0, 0, 0, 0.95f));
    }

    void conversationWindowIsANormalWindow()
    {
        PanelHarness h;
        AppState &state = h.build();
        state.openAgentConversation(h.addConversation(QStringLiteral("Reply"), QStringLiteral("Answer")));
        QQuickWindow *window = h.panel->conversationWindow();
        QVERIFY(window);
        QCOMPARE(window->title(), QStringLiteral("Sorvane \u2014 Command"));
        QCOMPARE(window->flags() & Qt::WindowType_Mask, Qt::Window);
        QVERIFY(!window->flags().testFlag(Qt::WindowDoesNotAcceptFocus));
        QCOMPARE(window->size(), QSize(560, 680));
        QCOMPARE(window->minimumSize(), QSize(440, 520));
        QVERIFY(window->isVisible());
        const QRect available = window->screen()->availableGeometry();
        QCOMPARE(window->position(), QPoint(available.x() + (available.width() - 560) / 2,
                                            available.y() + (available.height() - 680) / 2));
    }

    void closingTheWindowTellsTheState()
    {
        PanelHarness h;
        AppState &state = h.build();
        const QUuid first = h.addConversation(QStringLiteral("Reply"), QStringLiteral("Answer"));
        state.openAgentConversation(first);
        QQuickWindow *window = h.panel->conversationWindow();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QVERIFY(state.agentPanelVisible());

        // Hiding for another reason is not a close.
        window->hide();
        QVERIFY(state.agentPanelVisible());
        state.openAgentConversation(first);
        QVERIFY(window->isVisible());

        QSignalSpy spy(&state, &AppState::agentPanelVisibleChanged);
        QVERIFY(window->close());
        QCOMPARE(spy.count(), 1);
        QVERIFY(!state.agentPanelVisible());
        QVERIFY(!window->isVisible());
        // The same window comes back, in the centre again.
        window->setPosition(10, 10);
        state.openAgentConversation(first);
        QCOMPARE(h.panel->conversationWindow(), window);
        QVERIFY(window->isVisible());
        QVERIFY(window->position() != QPoint(10, 10));
    }

    void openingAnotherConversationKeepsTheWindowsPlace()
    {
        PanelHarness h;
        AppState &state = h.build();
        state.openAgentConversation(h.addConversation(QStringLiteral("Reply"), QStringLiteral("Answer")));
        QQuickWindow *window = h.panel->conversationWindow();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        window->setPosition(40, 60);
        state.openAgentConversation(h.addConversation(QStringLiteral("Summarise"), QStringLiteral("In short")));
        QCOMPARE(window->position(), QPoint(40, 60));
        QCOMPARE(h.panel->conversationModel()->title(), QStringLiteral("Summarise"));
    }

    void openingRestoresAMinimizedWindow()
    {
        PanelHarness h;
        AppState &state = h.build();
        const QUuid id = h.addConversation(QStringLiteral("Reply"), QStringLiteral("Answer"));
        state.openAgentConversation(id);
        QQuickWindow *window = h.panel->conversationWindow();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        window->setWindowStates(Qt::WindowMinimized);
        QTRY_VERIFY_WITH_TIMEOUT(window->windowStates().testFlag(Qt::WindowMinimized), 10000);
        state.openAgentConversation(id);
        QVERIFY(!window->windowStates().testFlag(Qt::WindowMinimized));
        QVERIFY(window->isVisible());
    }

    void openingAConversationHidesTheToast()
    {
        PanelHarness h;
        AppState &state = h.build();
        const QUuid id = h.addConversation(QStringLiteral("Reply"), QStringLiteral("Answer"));
        h.panel->showResult(id);
        QVERIFY(h.panel->toastWindow()->isVisible());
        state.openAgentConversation(id);
        QVERIFY(!h.panel->toastWindow()->isVisible());
        QVERIFY(!h.panel->isHideScheduled());
    }
};

QTEST_MAIN(AgentResultPanelTest)
#include "tst_agent_result_panel.moc"
