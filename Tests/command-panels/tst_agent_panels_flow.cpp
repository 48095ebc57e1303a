// The panels on the real Command flow: the fake speech engine, the scripted fake
// runtime and the fake desktop of the Command flow's scenarios.
#include "../command-flow/CommandHarness.h"
#include "Panels/AgentConversationViewModel.h"
#include "Panels/AgentPanelRules.h"
#include "Panels/AgentResultPanelController.h"
#include "QmlScene.h"

#include <QFile>
#include <QGuiApplication>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSignalSpy>
#include <QTemporaryDir>

using namespace sorvane;
using namespace sorvane::testing;

namespace {

constexpr int runWait = 20000;

AgentSettings imageModelSettings(AgentSettings settings)
{
    settings.writingProvider = AgentWritingProvider::OpenAI;
    settings.selectedOpenAIModelID = QStringLiteral("openai-luna");
    return settings;
}

QQuickItem *itemIn(QQuickWindow *window, const QString &name)
{
    return qobject_cast<QQuickItem *>(test::QmlScene::findObject(window->contentItem(), name));
}

void click(QQuickItem *item)
{
    QVERIFY(item && item->isVisible());
    QTest::mouseClick(item->window(), Qt::LeftButton, Qt::NoModifier,
                      item->mapToScene(QPointF(item->width() / 2, item->height() / 2)).toPoint());
}

} // namespace

class AgentPanelsFlowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_logFolder;

    struct Flow {
        CommandHarness h;
        AgentResultPanelController *panel = nullptr;

        Flow()
        {
            QGuiApplication::setQuitOnLastWindowClosed(false);
            h.t.resultPanelFactory = [this](AppState &state) -> std::unique_ptr<AgentResultPresenter> {
                AgentResultPanelController::Options options;
                options.systemPrefersDark = [] { return false; };
                auto controller = std::make_unique<AgentResultPanelController>(state, options);
                panel = controller.get();
                return controller;
            };
        }
        AppState &start()
        {
            AppState &state = h.start();
            state.agentResultController();
            return state;
        }
        // A Command from the first press of its shortcut to its end.
        void runCommand(const QByteArray &transcript)
        {
            AppState &state = h.t.state();
            state.toggleAgentRecording(false, std::nullopt);
            QTRY_COMPARE_WITH_TIMEOUT(state.agentPhase(), AgentPhase::Listening, runWait);
            CommandHarness::willHear(transcript);
            state.toggleAgentRecording(false, std::nullopt);
            QTRY_COMPARE_WITH_TIMEOUT(state.agentPhase(), AgentPhase::Completed, runWait);
        }
    };

private Q_SLOTS:
    void init()
    {
        m_logFolder = std::make_unique<QTemporaryDir>();
        qputenv("SORVANE_FAKE_AGENT_LOG", m_logFolder->filePath(QStringLiteral("fake-agent.log")).toUtf8());
    }

    void aCommandShowsTheToastAndOpensItsConversation()
    {
        Flow f;
        AppState &state = f.start();
        f.runCommand("stream a reply");
        QVERIFY(f.panel->toastWindow());
        QTRY_VERIFY_WITH_TIMEOUT(f.panel->toastWindow()->isVisible(), runWait);
        QCOMPARE(itemIn(f.panel->toastWindow(), QStringLiteral("toastResultText"))->property("text").toString(),
                 QStringLiteral("Hello, world"));
        const QUuid id = *state.activeAgentConversationID();
        QCOMPARE(f.panel->resultConversationID(), std::optional(id));

        QVERIFY(QTest::qWaitForWindowExposed(f.panel->toastWindow()));
        click(itemIn(f.panel->toastWindow(), QStringLiteral("toastOpenButton")));
        QTRY_VERIFY_WITH_TIMEOUT(f.panel->isConversationPanelVisible(), runWait);
        AgentConversationViewModel *model = f.panel->conversationModel();
        QCOMPARE(model->messages()->rowCount(), 2);
        QVERIFY(!model->messages()->hasStreamedBubble());
        QCOMPARE(model->messages()->data(model->messages()->index(1), AgentMessageListModel::TextRole).toString(),
                 QStringLiteral("Hello, world"));
    }

    void aTypedFollowUpRunsInTheShownConversation()
    {
        Flow f;
        AppState &state = f.start();
        f.runCommand("stream a reply");
        const QUuid id = *state.activeAgentConversationID();
        state.openAgentConversation(id);
        AgentConversationViewModel *model = f.panel->conversationModel();
        model->setFollowUp(QStringLiteral("stream it shorter"));
        model->submit();
        // Busy at once: nothing can start in the gap before the run's first wait.
        QVERIFY(AgentPanelRules::isBusy(state.agentPhase()));
        QVERIFY(model->isBusy());
        QVERIFY(!model->isSendEnabled());
        QCOMPARE(model->followUp(), QString());
        QTRY_COMPARE_WITH_TIMEOUT(state.agentPhase(), AgentPhase::Completed, runWait);
        const auto conversation = f.h.t.agentConversationStore->conversation(id);
        QCOMPARE(conversation->messages.size(), 4);
        QCOMPARE(conversation->messages[2].text, QStringLiteral("stream it shorter"));
        model->flushStream();
        // The answer shows once, as its stored bubble.
        QCOMPARE(model->messages()->rowCount(), 4);
        QVERIFY(!model->messages()->hasStreamedBubble());
    }

    void pasteOnTheToastPastesOnce()
    {
        Flow f;
        AppState &state = f.start();
        f.runCommand("stream a reply");
        QTRY_VERIFY_WITH_TIMEOUT(f.panel->toastWindow() && f.panel->toastWindow()->isVisible(), runWait);
        state.setAgentResultNeedsPaste(true);
        const qsizetype sent = f.h.desktop.keystrokes->sent.size();
        QVERIFY(QTest::qWaitForWindowExposed(f.panel->toastWindow()));
        click(itemIn(f.panel->toastWindow(), QStringLiteral("toastPasteButton")));
        QTRY_VERIFY_WITH_TIMEOUT(!state.agentResultNeedsPaste(), runWait);
        QCOMPARE(f.h.desktop.keystrokes->sent.size(), sent + 1);
        QCOMPARE(f.h.desktop.clipboard->text(), std::optional(QStringLiteral("Hello, world")));
    }

    void copyLatestCopiesTheShownConversationsAnswer()
    {
        Flow f;
        AppState &state = f.start();
        f.runCommand("stream a reply");
        const QUuid older = QUuid::createUuid();
        f.h.t.agentConversationStore->createConversation(older, QStringLiteral("Summarise"), {}, QStringLiteral("Mail"));
        f.h.t.agentConversationStore->addAssistantMessage(QStringLiteral("In short"), older);
        state.openAgentConversation(older);
        f.panel->conversationModel()->copyLatest();
        QCOMPARE(f.h.desktop.clipboard->text(), std::optional(QStringLiteral("In short")));
        // The result of the last run is still what the toast pastes.
        QCOMPARE(state.agentResultText(), QStringLiteral("Hello, world"));
    }

    void theCameraAttachesTheCommandsTargetWindow()
    {
        Flow f;
        AppState &state = f.start();
        f.runCommand("stream a reply");
        state.setAgentSettings(imageModelSettings(state.agentSettings()));
        state.openAgentConversation(*state.activeAgentConversationID());
        // Opening the window made this program the front one, with a window of its own.
        const RunningApplication self{QCoreApplication::applicationPid(), QStringLiteral("Sorvane"), 0x999, {}, {}};
        f.h.desktop.windows->frontmost = self;
        f.h.desktop.windows->windows.prepend(WindowInfo{0x999, self.processId, QRect(0, 0, 560, 680), true, false});

        AgentConversationViewModel *model = f.panel->conversationModel();
        QSignalSpy finished(model, &AgentConversationViewModel::screenshotCaptureFinished);
        model->attachScreenshot();
        QVERIFY(finished.count() == 1 || finished.wait(runWait));
        QVERIFY2(model->attachmentError().isEmpty(), qPrintable(model->attachmentError()));
        QCOMPARE(f.h.desktop.capture->grabbedWindow, f.h.desktop.target.window);
        QVERIFY(model->isCameraEnabled());
        QCOMPARE(model->attachments().size(), 1);
        const QString first = model->attachments().first().filePathOrEmpty();
        QVERIFY(QFile::exists(first));

        // A second capture replaces the first, whose file goes at once.
        model->attachScreenshot();
        QVERIFY(finished.count() == 2 || finished.wait(runWait));
        QCOMPARE(model->attachments().size(), 1);
        const QString second = model->attachments().first().filePathOrEmpty();
        QVERIFY(second != first);
        QVERIFY(!QFile::exists(first));

        // Another conversation shown: the draft's screenshot goes, file and all.
        const QUuid other = QUuid::createUuid();
        f.h.t.agentConversationStore->createConversation(other, QStringLiteral("Summarise"), {}, QStringLiteral("Mail"));
        state.openAgentConversation(other);
        QVERIFY(model->attachments().isEmpty());
        QVERIFY(!QFile::exists(second));
    }

};

QTEST_MAIN(AgentPanelsFlowTest)
#include "tst_agent_panels_flow.moc"
