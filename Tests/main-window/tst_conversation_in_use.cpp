#include "Command/AgentPhase.h"
#include "TestAppState.h"
#include "TestPaths.h"

#include <QSignalSpy>
#include <QTest>

using namespace sorvane;
using namespace sorvane::testing;

// A conversation that a Command is adding to is not deleted from under it, and the
// text the Command streams is marked as that conversation's.
class ConversationInUseTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void aRunningConversationIsNotDeleted()
    {
        TestAppState t;
        // The tests' stand-in runtime, told by the instruction to answer after a while.
        t.runtimeExecutable = testProgram(QStringLiteral("fake-sorvane-agent"));
        AppState &state = t.build();
        AgentConversationStore &store = *t.agentConversationStore;
        const QUuid running = store.createConversation(QUuid::createUuid(), QStringLiteral("Shorten this"), {}, QStringLiteral("Notes"));
        const QUuid other = store.createConversation(QUuid::createUuid(), QStringLiteral("Translate this"), {}, QStringLiteral("Mail"));
        state.setActiveAgentConversationID(running);
        QCOMPARE(state.agentWorkingConversationID(), std::nullopt);

        // A typed follow-up starts a run on the active conversation.
        QSignalSpy working(&state, &AppState::agentWorkingConversationIDChanged);
        state.submitAgentFollowUp(QStringLiteral("stream delay=1500"), QList<AgentContextAttachment>{});
        QVERIFY2(isRunInFlight(state.agentPhase()), qPrintable(state.agentPhaseDetail()));
        QCOMPARE(state.agentWorkingConversationID(), std::optional(running));
        QCOMPARE(state.property("agentWorkingConversationID").toString(), running.toString(QUuid::WithoutBraces).toUpper());
        QVERIFY(!working.isEmpty());

        // While it runs, the history cannot take it away; the window keeps showing it.
        QVERIFY(state.isAgentConversationInUse(running));
        QVERIFY(!state.deleteAgentConversation(running));
        QVERIFY(store.conversation(running).has_value());
        QCOMPARE(state.activeAgentConversationID(), std::optional(running));

        // Another conversation can go, and opening one does not make the run its own.
        QVERIFY(!state.isAgentConversationInUse(other));
        state.openAgentConversation(other);
        QCOMPARE(state.agentWorkingConversationID(), std::optional(running));
        QVERIFY(state.deleteAgentConversation(other));
        QVERIFY(!store.conversation(other).has_value());
        QCOMPARE(state.activeAgentConversationID(), std::nullopt);

        // Once the run has ended, it can be deleted.
        QTRY_VERIFY_WITH_TIMEOUT(!isRunInFlight(state.agentPhase()), 20000);
        QCOMPARE(state.agentPhase(), AgentPhase::Completed);
        QCOMPARE(state.agentWorkingConversationID(), std::nullopt);
        QVERIFY(state.deleteAgentConversation(running));
        QVERIFY(store.conversations().isEmpty());
    }

    void deletingTheShownConversationLetsTheWindowGoFirst()
    {
        TestAppState t;
        AppState &state = t.build();
        AgentConversationStore &store = *t.agentConversationStore;
        const QUuid id = store.createConversation(QUuid::createUuid(), QStringLiteral("Ask"), {}, QString());
        state.setActiveAgentConversationID(id);
        // When the window hears that it shows nothing, the conversation is still stored.
        bool storedWhenCleared = false;
        connect(&state, &AppState::activeAgentConversationIDChanged, this,
                [&] { storedWhenCleared = store.conversation(id).has_value(); });
        QVERIFY(state.deleteAgentConversation(id.toString(QUuid::WithoutBraces)));
        QVERIFY(storedWhenCleared);
        QVERIFY(store.conversations().isEmpty());
        QVERIFY(!state.deleteAgentConversation(QStringLiteral("not an id")));
    }
};

QTEST_GUILESS_MAIN(ConversationInUseTest)
#include "tst_conversation_in_use.moc"
