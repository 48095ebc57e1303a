// Which conversation a Command in progress works on, and deleting conversations that
// no Command is using.

#include "State/AppState.h"
#include "Services/Command/AgentRuntimeService.h"
#include "Shared/AppPaths.h"
#include "Support/StoredJson.h"

namespace sorvane {

std::optional<QUuid> AppState::agentWorkingConversationID() const
{
    if (!isRunInFlight(m_agentPhase) && !m_activeAgentRequestID)
        return std::nullopt;
    return m_agentWorkingConversationID;
}

bool AppState::isAgentConversationInUse(const QUuid &conversationID) const
{
    return agentWorkingConversationID() == conversationID;
}

bool AppState::deleteAgentConversation(const QUuid &conversationID)
{
    if (isAgentConversationInUse(conversationID))
        return false;
    // The conversation window lets go of it before it goes away.
    if (m_activeAgentConversationID == conversationID)
        setActiveAgentConversationID(std::nullopt);
    agentConversationStore().deleteConversation(conversationID);
    // The runtime's copy of its turns (selected text included) goes with it.
    agentRuntime().forgetTurns(AppPaths::agentSessions(), {conversationID});
    return true;
}

bool AppState::deleteAgentConversation(const QString &conversationID)
{
    const auto id = storedjson::parseUuid(conversationID);
    return id && deleteAgentConversation(*id);
}

QVariant AppState::agentWorkingConversationIDValue() const
{
    const auto id = agentWorkingConversationID();
    return id ? QVariant(storedjson::uuidText(*id)) : QVariant();
}

} // namespace sorvane
