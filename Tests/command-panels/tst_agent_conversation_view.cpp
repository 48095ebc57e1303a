#include "PanelHarness.h"


#include <QSignalSpy>

using namespace sorvane;
using namespace sorvane::testing;
using namespace std::chrono_literals;

namespace {

AgentSettings imageModelSettings(const AppState &state)
{
    AgentSettings settings = state.agentSettings();
    settings.writingProvider = AgentWritingProvider::OpenAI;
    settings.selectedOpenAIModelID = QStringLiteral("openai-luna");
    return settings;
}

int countShown(QQuickItem *under, const QString &name)
{
    int count = 0;
    const auto visit = [&](auto &self, QQuickItem *item) -> void {
        if (!item->isVisible())
            return;
        if (item->objectName() == name)
            ++count;
        for (QQuickItem *child : item->childItems())
            self(self, child);
    };
    visit(visit, under);
    return count;
}

} // namespace

class AgentConversationViewTest : public QObject {
    Q_OBJECT

    // The window open on a conversation with one turn.
    struct Open {
        PanelHarness h;
        QUuid id;
        AgentConversationViewModel *model = nullptr;
        QQuickWindow *window = nullptr;

        Open()
        {
            AppState &state = h.build();
            id = h.addConversation(QStringLiteral("Reply to Ana"), QStringLiteral("Dear Ana, thank you."));
            state.openAgentConversation(id);
            model = h.panel->conversationModel();
            window = h.panel->conversationWindow();
        }
        int bubbles() const { return countShown(window->contentItem(), QStringLiteral("messageBubble")); }
        int streamingBubbles() const { return countShown(window->contentItem(), QStringLiteral("streamingBubble")); }
    };

private Q_SLOTS:
    void showsTheConversationsTurns()
    {
        Open o;
        QVERIFY(QTest::qWaitForWindowExposed(o.window));
        QCOMPARE(o.h.conversationItem(QStringLiteral("conversationTitle"))->property("text").toString(),
                 QStringLiteral("Reply to Ana"));
        QCOMPARE(o.h.conversationItem(QStringLiteral("conversationTarget"))->property("text").toString(),
                 QStringLiteral("Text Editor"));
        QTRY_COMPARE_WITH_TIMEOUT(o.bubbles(), 2, 10000);
        QCOMPARE(o.model->messages()->data(o.model->messages()->index(0), AgentMessageListModel::SenderRole),
                 QVariant(QStringLiteral("YOU")));
        QCOMPARE(o.model->messages()->data(o.model->messages()->index(1), AgentMessageListModel::SenderRole),
                 QVariant(QStringLiteral("SORVANE")));
        QVERIFY(!PanelHarness::isShown(o.h.conversationItem(QStringLiteral("busyLabel"))));
        QVERIFY(!PanelHarness::isShown(o.h.conversationItem(QStringLiteral("conversationUnavailable"))));
    }

    void attachmentsShowAsChips()
    {
        PanelHarness h;
        AppState &state = h.build();
        const QUuid id = QUuid::createUuid();
        AgentContextAttachment quote;
        quote.id = QUuid::createUuid();
        quote.kind = AgentAttachmentKind::SelectedText;
        quote.displayName = QStringLiteral("Selected text");
        quote.text = QStringLiteral("Hello");
        quote.createdAt = QDateTime::currentDateTimeUtc();
        h.store().createConversation(id, QStringLiteral("Shorter"), {quote}, QStringLiteral("Mail"));
        state.openAgentConversation(id);
        QQuickWindow *window = h.panel->conversationWindow();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QTRY_COMPARE_WITH_TIMEOUT(countShown(window->contentItem(), QStringLiteral("attachmentChip")), 1, 10000);
        const QVariantList chips =
            h.panel->conversationModel()->messages()->data(h.panel->conversationModel()->messages()->index(0),
                                                          AgentMessageListModel::AttachmentsRole).toList();
        QCOMPARE(chips.size(), 1);
        QCOMPARE(chips[0].toMap().value(QStringLiteral("symbol")).toString(), QStringLiteral("text.quote"));
        QCOMPARE(chips[0].toMap().value(QStringLiteral("displayName")).toString(), QStringLiteral("Selected text"));
    }

    void streamsTheAnswerAsOneMoreBubbleThenShowsItOnce()
    {
        Open o;
        AppState &state = o.h.state();
        QVERIFY(QTest::qWaitForWindowExposed(o.window));
        // A follow-up run of the shown conversation.
        o.h.store().addUserMessage(QStringLiteral("Shorter"), {}, o.id);
        state.setAgentPhase(AgentPhase::LoadingModel);
        QVERIFY(o.model->isBusy());
        QTRY_VERIFY_WITH_TIMEOUT(PanelHarness::isShown(o.h.conversationItem(QStringLiteral("busyLabel"))), 10000);
        QCOMPARE(o.h.conversationItem(QStringLiteral("busyLabelText"))->property("text").toString(),
                 QStringLiteral("Loading model"));
        state.setAgentPhase(AgentPhase::Generating);
        QCOMPARE(o.h.conversationItem(QStringLiteral("busyLabelText"))->property("text").toString(),
                 QStringLiteral("Writing"));
        QCOMPARE(o.streamingBubbles(), 0);

        state.setAgentStreamedText(QStringLiteral("Thanks"));
        state.setAgentStreamedText(QStringLiteral("Thanks, Ana"));
        QTRY_COMPARE_WITH_TIMEOUT(o.streamingBubbles(), 1, 10000);
        QCOMPARE(o.bubbles(), 3);
        QTRY_COMPARE_WITH_TIMEOUT(o.h.conversationItem(QStringLiteral("streamingBubble"))->property("text").toString(),
                                  QStringLiteral("Thanks, Ana"), 10000);
        QVERIFY(!o.model->isSendEnabled());

        // The flow stores the answer and then delivers it while still busy.
        o.h.store().addAssistantMessage(QStringLiteral("Thanks, Ana"), o.id);
        QTRY_COMPARE_WITH_TIMEOUT(o.streamingBubbles(), 0, 10000);
        QCOMPARE(o.bubbles(), 4);
        state.setAgentPhase(AgentPhase::Completed);
        QCOMPARE(o.streamingBubbles(), 0);
        QCOMPARE(o.bubbles(), 4);
        QVERIFY(!PanelHarness::isShown(o.h.conversationItem(QStringLiteral("busyLabel"))));
    }

    void theStreamShowsOnlyUnderTheRunningConversation()
    {
        Open o;
        AppState &state = o.h.state();
        state.setAgentPhase(AgentPhase::LoadingModel);
        state.setAgentPhase(AgentPhase::Generating);
        state.setAgentStreamedText(QStringLiteral("Thanks"));
        o.model->flushStream();
        QVERIFY(o.model->messages()->hasStreamedBubble());

        // The user opens another conversation from the history meanwhile.
        const QUuid other = o.h.addConversation(QStringLiteral("Summarise"), QStringLiteral("In short"));
        state.openAgentConversation(other);
        o.model->flushStream();
        QVERIFY(!o.model->messages()->hasStreamedBubble());
        QVERIFY(!o.model->isBusy());
        QCOMPARE(o.model->runningConversationID(), std::optional(o.id));
        QVERIFY(!o.model->isSendEnabled());
        // And back.
        state.openAgentConversation(o.id);
        o.model->flushStream();
        QVERIFY(o.model->messages()->hasStreamedBubble());
        QVERIFY(o.model->isBusy());
    }

    void streamedRedrawsAreGathered()
    {
        Open o;
        AppState &state = o.h.state();
        o.model->setStreamInterval(200ms);
        state.setAgentPhase(AgentPhase::LoadingModel);
        state.setAgentPhase(AgentPhase::Generating);
        state.setAgentStreamedText(QStringLiteral("a"));
        o.model->flushStream();
        QSignalSpy changes(o.model->messages(), &QAbstractItemModel::dataChanged);
        QSignalSpy streamed(&state, &AppState::agentStreamedTextChanged);
        for (int i = 0; i < 50; ++i)
            state.appendAgentStreamedText(QStringLiteral("b"));
        state.appendAgentStreamedText(QString());
        QCOMPARE(streamed.count(), 50);
        QCOMPARE(changes.count(), 0);
        QVERIFY(changes.wait(20000));
        QCOMPARE(changes.count(), 1);
        QCOMPARE(o.model->messages()->streamedText(), QStringLiteral("a") + QString(50, QLatin1Char('b')));
    }

    void deletingTheConversationShowsTheUnavailableView()
    {
        Open o;
        QVERIFY(QTest::qWaitForWindowExposed(o.window));
        QVERIFY(o.model->isAvailable());
        o.h.store().deleteConversation(o.id);
        QVERIFY(!o.model->isAvailable());
        QQuickItem *missing = o.h.conversationItem(QStringLiteral("conversationUnavailable"));
        QTRY_VERIFY_WITH_TIMEOUT(PanelHarness::isShown(missing), 10000);
        QVERIFY(!PanelHarness::isShown(o.h.conversationItem(QStringLiteral("conversationContent"))));
        const QStringList texts{QStringLiteral("Conversation unavailable"), QStringLiteral("It may have been deleted.")};
        QStringList shown;
        for (QQuickItem *child : missing->childItems())
            if (child->property("text").isValid())
                shown << child->property("text").toString();
        QCOMPARE(shown, texts);
    }

    void ctrlEnterSendsTheFollowUpAndClearsTheField()
    {
        Open o;
        QVERIFY(QTest::qWaitForWindowActive(o.window));
        QQuickItem *field = o.h.conversationItem(QStringLiteral("followUpField"));
        QVERIFY(field);
        field->forceActiveFocus();
        QTRY_VERIFY_WITH_TIMEOUT(field->hasActiveFocus(), 10000);
        for (const char key : QByteArrayLiteral("Make it shorter"))
            QTest::keyClick(o.window, key);
        QTRY_COMPARE_WITH_TIMEOUT(o.model->followUp(), QStringLiteral("Make it shorter"), 10000);
        QVERIFY(o.h.conversationItem(QStringLiteral("sendButton"))->isEnabled());

        QTest::keyClick(o.window, Qt::Key_Return, Qt::ControlModifier);
        QCOMPARE(o.model->followUp(), QString());
        QCOMPARE(field->property("text").toString(), QString());
        const auto conversation = o.h.store().conversation(o.id);
        QVERIFY(conversation);
        QCOMPARE(conversation->messages.size(), 3);
        QCOMPARE(conversation->messages.last().text, QStringLiteral("Make it shorter"));
        QCOMPARE(conversation->messages.last().role, AgentMessageRole::User);
    }

    void aBlankFollowUpIsNotSent()
    {
        Open o;
        QVERIFY(QTest::qWaitForWindowActive(o.window));
        o.model->setFollowUp(QStringLiteral("  \n  "));
        QVERIFY(!o.h.conversationItem(QStringLiteral("sendButton"))->isEnabled());
        QQuickItem *field = o.h.conversationItem(QStringLiteral("followUpField"));
        field->forceActiveFocus();
        QTest::keyClick(o.window, Qt::Key_Return, Qt::ControlModifier);
        QCOMPARE(o.h.store().conversation(o.id)->messages.size(), 2);
    }

    void theSendButtonSendsToTheShownConversation()
    {
        Open o;
        QVERIFY(QTest::qWaitForWindowExposed(o.window));
        o.model->setFollowUp(QStringLiteral("  More formal  "));
        PanelHarness::click(o.h.conversationItem(QStringLiteral("sendButton")));
        QTRY_COMPARE_WITH_TIMEOUT(o.h.store().conversation(o.id)->messages.size(), 3, 10000);
        QCOMPARE(o.h.store().conversation(o.id)->messages.last().text, QStringLiteral("More formal"));
        QCOMPARE(o.model->followUp(), QString());
    }

    void aFollowUpTypedWhileListeningIsKept()
    {
        Open o;
        AppState &state = o.h.state();
        o.model->setFollowUp(QStringLiteral("Shorter"));
        state.setAgentPhase(AgentPhase::Listening);
        QVERIFY(!o.model->isSendEnabled());
        QVERIFY(!o.h.conversationItem(QStringLiteral("sendButton"))->isEnabled());
        o.model->submit();
        QCOMPARE(o.model->followUp(), QStringLiteral("Shorter"));
        QCOMPARE(o.h.store().conversation(o.id)->messages.size(), 2);
        state.setAgentPhase(AgentPhase::Cancelled);
        QVERIFY(o.model->isSendEnabled());
    }

    void theMicrophoneShowsStopWhileListening()
    {
        Open o;
        QQuickItem *mic = o.h.conversationItem(QStringLiteral("micButton"));
        QCOMPARE(mic->property("symbol").toString(), QStringLiteral("mic.fill"));
        o.h.state().setAgentPhase(AgentPhase::Listening);
        QCOMPARE(mic->property("symbol").toString(), QStringLiteral("stop.fill"));
    }

    void theCameraShowsOnlyForModelsThatTakeImages()
    {
        Open o;
        AppState &state = o.h.state();
        QVERIFY(!PanelHarness::isShown(o.h.conversationItem(QStringLiteral("cameraButton"))));
        state.setAgentSettings(imageModelSettings(state));
        QVERIFY(o.model->isCameraShown());
        QTRY_VERIFY_WITH_TIMEOUT(PanelHarness::isShown(o.h.conversationItem(QStringLiteral("cameraButton"))), 10000);
    }

};

QTEST_MAIN(AgentConversationViewTest)
#include "tst_agent_conversation_view.moc"
