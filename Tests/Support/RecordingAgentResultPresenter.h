#pragma once

#include "State/Presenters/AgentResultPresenter.h"

#include <QStringList>

namespace sorvane::testing {

// Logs "showResult <conversation id>", "hideResult", "centre" and "present".
class RecordingAgentResultPresenter final : public AgentResultPresenter {
public:
    QStringList calls;
    bool conversationPanelVisible = false;

    void showResult(const QUuid &conversationId) override
    {
        calls.append(QStringLiteral("showResult ") + conversationId.toString(QUuid::WithoutBraces).toUpper());
    }
    void hideResult() override { calls.append(QStringLiteral("hideResult")); }
    bool isConversationPanelVisible() const override { return conversationPanelVisible; }
    void centreConversationPanel() override { calls.append(QStringLiteral("centre")); }
    void presentConversationPanel() override
    {
        calls.append(QStringLiteral("present"));
        conversationPanelVisible = true;
    }
};

} // namespace sorvane::testing
