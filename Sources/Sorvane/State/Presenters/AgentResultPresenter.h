#pragma once

#include <QUuid>

namespace sorvane {

// What the application state needs of the Command result toast and the
// conversation window. The screens side implements it (AgentResultPanelController);
// tests use a recording fake. The state makes one on first use and keeps it.
class AgentResultPresenter {
public:
    virtual ~AgentResultPresenter() = default;
    // Shows the result toast for the run that finished in the given conversation
    // (its "Open" opens that one), and schedules its automatic hide.
    virtual void showResult(const QUuid &conversationId) = 0;
    virtual void hideResult() = 0;

    virtual bool isConversationPanelVisible() const = 0;
    // Centres the conversation window on its screen (used when it is not visible).
    virtual void centreConversationPanel() = 0;
    // Restores, raises and activates the conversation window.
    virtual void presentConversationPanel() = 0;
};

} // namespace sorvane
