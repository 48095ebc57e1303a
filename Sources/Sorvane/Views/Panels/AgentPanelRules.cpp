#include "AgentPanelRules.h"

namespace sorvane::AgentPanelRules {

QPoint toastTopLeft(const QRect &available, QSize toast)
{
    return {available.x() + available.width() - toast.width() - toastMargin, available.y() + toastMargin};
}

int toastScreenIndex(const QList<QRect> &screenGeometries, int primaryIndex, std::optional<QPoint> activeWindowCentre)
{
    if (screenGeometries.isEmpty())
        return -1;
    if (activeWindowCentre) {
        for (int i = 0; i < screenGeometries.size(); ++i)
            if (screenGeometries[i].contains(*activeWindowCentre))
                return i;
    }
    return primaryIndex >= 0 && primaryIndex < screenGeometries.size() ? primaryIndex : 0;
}

QPoint centredTopLeft(const QRect &available, QSize size)
{
    return {available.x() + (available.width() - size.width()) / 2,
            available.y() + (available.height() - size.height()) / 2};
}

bool usesDarkAppearance(OverlayAppearance appearance, bool systemPrefersDark)
{
    switch (appearance) {
    case OverlayAppearance::Dark: return true;
    case OverlayAppearance::Light: return false;
    case OverlayAppearance::Automatic: return systemPrefersDark;
    }
    return systemPrefersDark;
}

bool isBusy(AgentPhase phase)
{
    return phase == AgentPhase::Transcribing || phase == AgentPhase::LoadingModel || phase == AgentPhase::Generating;
}

QString phaseWord(AgentPhase phase)
{
    switch (phase) {
    case AgentPhase::Transcribing: return QStringLiteral("Transcribing");
    case AgentPhase::LoadingModel: return QStringLiteral("Loading model");
    case AgentPhase::Generating: return QStringLiteral("Writing");
    default: return {};
    }
}

QString senderLabel(AgentMessageRole role)
{
    return role == AgentMessageRole::User ? QStringLiteral("YOU") : QStringLiteral("SORVANE");
}

bool canSend(const QString &followUp, AgentPhase phase, bool conversationShown)
{
    return conversationShown && !followUp.trimmed().isEmpty() && !isBusy(phase) && phase != AgentPhase::Listening;
}

bool showsStreamingBubble(AgentPhase phase, const std::optional<QUuid> &shownConversation,
                          const std::optional<QUuid> &runningConversation, const QString &streamedText,
                          const QList<AgentMessage> &storedMessages)
{
    if (!isBusy(phase) || streamedText.isEmpty() || !shownConversation || shownConversation != runningConversation)
        return false;
    // The answer is stored before it is delivered, while the run still counts as busy.
    const bool stored = !storedMessages.isEmpty() && storedMessages.last().role == AgentMessageRole::Assistant
                        && storedMessages.last().text == streamedText;
    return !stored;
}

} // namespace sorvane::AgentPanelRules
