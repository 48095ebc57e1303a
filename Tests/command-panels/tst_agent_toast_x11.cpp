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

#include <X11/Xlib.h>

using namespace sorvane;

namespace {

QString run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(20000))
        return {};
    return QString::fromUtf8(process.readAllStandardOutput());
}

} // namespace

class AgentToastX11Test : public QObject {
    Q_OBJECT

    Display *display = nullptr;
    QProcess fixture;
    std::unique_ptr<testing::TestAppState> t;
    std::unique_ptr<AgentResultPanelController> panel;

    unsigned long focus()
    {
        Window window = None;
        int revert = 0;
        XSync(display, False);
        XGetInputFocus(display, &window, &revert);
        return window;
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            testing::exitSkipped(QStringLiteral("needs an X display (run through scripts/test.sh)"));
        display = XOpenDisplay(nullptr);
        QVERIFY(display);
        fixture.start(testing::testProgram(QStringLiteral("capture-fixture")), {QStringLiteral("Focus stays here")});
        QVERIFY2(fixture.waitForStarted(20000), "the fixture did not start");
        QTRY_VERIFY_WITH_TIMEOUT(fixture.canReadLine(), 20000);
        QCOMPARE(fixture.readLine().trimmed().split(' ').value(0), QByteArray("ready"));
        QTRY_VERIFY_WITH_TIMEOUT(focus() != None && focus() != PointerRoot, 20000);

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
        if (fixture.state() != QProcess::NotRunning) {
            fixture.terminate();
            fixture.waitForFinished(10000);
        }
        if (display)
            XCloseDisplay(display);
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
        QTRY_VERIFY_WITH_TIMEOUT(run(QStringLiteral("xprop"), {QStringLiteral("-id"), QString::number(toast->winId()),
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
        run(QStringLiteral("xdotool"), {QStringLiteral("mousemove"), QString::number(target.x()), QString::number(target.y()),
                                         QStringLiteral("click"), QStringLiteral("1")});
        QTRY_VERIFY_WITH_TIMEOUT(!toast->isVisible(), 20000);
        QCOMPARE(focus(), before);
    }
};

QTEST_MAIN(AgentToastX11Test)
#include "tst_agent_toast_x11.moc"
