// Under the test session's X display: the toast shows and is clicked while another
// program keeps the keyboard focus.
#include "Panels/AgentPanelRules.h"
#include "Panels/AgentResultPanelController.h"
#include "QmlScene.h"
#include "TestAppState.h"
#include "TestPaths.h"

#include <QProcess>
#include <QQuickItem>
#include <QQuickWindow>
#include <QScreen>
#include <QTest>

// Xlib last: its macros break the Qt headers.
#include "X11FocusFixture.h"
#include <X11/Xlib.h>

using namespace sorvane;

class AgentToastX11Test : public QObject {
    Q_OBJECT

    testing::X11FocusFixture x11;
    std::unique_ptr<testing::TestAppState> t;
    std::unique_ptr<AgentResultPanelController> panel;

    unsigned long focus() { return x11.focus(); }

private Q_SLOTS:
    void initTestCase()
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            testing::exitSkipped(QStringLiteral("needs an X display (run through scripts/test.sh)"));
        QVERIFY2(x11.start(), qPrintable(x11.error));

        t = std::make_unique<testing::TestAppState>();
        t->build();
        AgentResultPanelController::Options options;
        options.systemPrefersDark = [] { return false; };
        panel = std::make_unique<AgentResultPanelController>(t->state(), options);
    }

    void cleanupTestCase()
    {
        panel.reset();
        t.reset();
        x11.stop();
    }

    void theFixtureKeepsTheFocusWhileTheToastShowsAndIsClicked()
    {
        const unsigned long before = focus();
        const QUuid id = QUuid::createUuid();
        t->agentConversationStore->createConversation(id, QStringLiteral("Reply"), {}, QStringLiteral("Fixture"));
        t->state().setAgentResultText(QStringLiteral("Dear Ana, thank you."));
        panel->showResult(id);
        QQuickWindow *toast = panel->toastWindow();
        QVERIFY(QTest::qWaitForWindowExposed(toast, 20000));
        // Let the window manager act on the new window before looking.
        QTRY_VERIFY_WITH_TIMEOUT(testing::toolOutput(QStringLiteral("xprop"), {QStringLiteral("-id"),
                                                                             QString::number(toast->winId()),
                                                                             QStringLiteral("WM_STATE")})
                                     .contains(QLatin1String("window state: Normal")),
                                 20000);
        const QRect available = toast->screen()->availableGeometry();
        QCOMPARE(toast->position(), AgentPanelRules::toastTopLeft(available));
        QCOMPARE(focus(), before);
        QVERIFY(!toast->isActive());

        // A real click on "Dismiss", through the X server and the window manager.
        auto *dismiss = qobject_cast<QQuickItem *>(
            test::QmlScene::findObject(toast->contentItem(), QStringLiteral("toastDismissButton")));
        QVERIFY(dismiss);
        const QPoint target = toast->mapToGlobal(dismiss->mapToScene(QPointF(dismiss->width() / 2, dismiss->height() / 2)).toPoint());
        testing::toolOutput(QStringLiteral("xdotool"), {QStringLiteral("mousemove"), QString::number(target.x()),
                                                        QString::number(target.y()), QStringLiteral("click"),
                                                        QStringLiteral("1")});
        QTRY_VERIFY_WITH_TIMEOUT(!toast->isVisible(), 20000);
        QCOMPARE(focus(), before);
    }
};

QTEST_MAIN(AgentToastX11Test)
#include "tst_agent_toast_x11.moc"
