#include "AgentConversationViewModel.h"

#include "AgentPanelRules.h"
#include "State/AppState.h"
#include "Services/Command/AgentConversationStore.h"

#include <QCoroTask>
#include <QFile>
#include <QPointer>

namespace sorvane {

namespace {

void deleteFiles(const QList<AgentContextAttachment> &attachments)
{
    for (const AgentContextAttachment &attachment : attachments)
        if (attachment.filePath)
            QFile::remove(*attachment.filePath);
}

} // namespace

AgentConversationViewModel::AgentConversationViewModel(AppState &state, QObject *parent)
    : QObject(parent), m_state(state)
{
    m_streamTimer.setSingleShot(true);
    m_streamTimer.setInterval(defaultStreamInterval);
    connect(&m_streamTimer, &QTimer::timeout, this, &AgentConversationViewModel::refreshStream);
    connect(&state, &AppState::agentStreamedTextChanged, this, [this] {
        if (!m_streamTimer.isActive())
            m_streamTimer.start();
    });
    connect(&state, &AppState::agentPhaseChanged, this, &AgentConversationViewModel::phaseChanged);
    connect(&state, &AppState::activeAgentConversationIDChanged, this,
            &AgentConversationViewModel::activeConversationChanged);
    connect(&state, &AppState::selectedAgentModelChanged, this, &AgentConversationViewModel::changed);
    connect(&state.agentConversationStore(), &AgentConversationStore::conversationsChanged, this,
            &AgentConversationViewModel::conversationsChanged);
    if (AgentPanelRules::isBusy(state.agentPhase()))
        m_runningConversation = state.activeAgentConversationID();
    activeConversationChanged();
}

AgentConversationViewModel::~AgentConversationViewModel()
{
    deleteFiles(m_attachments);
}

QString AgentConversationViewModel::title() const
{
    return m_conversation ? m_conversation->title : QString();
}

QString AgentConversationViewModel::targetApplicationName() const
{
    return m_conversation ? m_conversation->targetApplicationName : QString();
}

bool AgentConversationViewModel::isBusy() const
{
    return AgentPanelRules::isBusy(m_state.agentPhase()) && m_shown && m_shown == m_runningConversation;
}

QString AgentConversationViewModel::phaseWord() const
{
    return isBusy() ? AgentPanelRules::phaseWord(m_state.agentPhase()) : QString();
}

bool AgentConversationViewModel::isListening() const
{
    return m_state.agentPhase() == AgentPhase::Listening;
}

void AgentConversationViewModel::setFollowUp(const QString &text)
{
    if (text == m_followUp)
        return;
    m_followUp = text;
    Q_EMIT followUpChanged();
    refreshSendEnabled();
}

bool AgentConversationViewModel::isSendEnabled() const
{
    return AgentPanelRules::canSend(m_followUp, m_state.agentPhase(), isAvailable());
}

bool AgentConversationViewModel::isCameraShown() const
{
    const auto model = m_state.selectedAgentModel();
    return model && model->takesImages();
}

std::optional<QUuid> AgentConversationViewModel::shownConversationID() const
{
    return m_shown;
}

void AgentConversationViewModel::refreshSendEnabled()
{
    const bool enabled = isSendEnabled();
    if (enabled == m_sendEnabled)
        return;
    m_sendEnabled = enabled;
    Q_EMIT sendEnabledChanged();
}

void AgentConversationViewModel::phaseChanged()
{
    const AgentPhase phase = m_state.agentPhase();
    // The flow names the run's conversation as the active one just before the model
    // loads; a spoken follow-up belongs to the conversation it was started from, and a
    // new Command's recording to none yet.
    if (phase == AgentPhase::Listening)
        m_runningConversation = std::exchange(m_spokenFollowUpFor, std::nullopt);
    else if (phase == AgentPhase::LoadingModel)
        m_runningConversation = m_state.activeAgentConversationID();
    refreshStream();
    refreshSendEnabled();
    Q_EMIT changed();
}

void AgentConversationViewModel::conversationsChanged()
{
    m_conversation = m_shown ? m_state.agentConversationStore().conversation(*m_shown) : std::nullopt;
    m_messages.setMessages(m_conversation ? m_conversation->messages : QList<AgentMessage>());
    refreshStream();
    refreshSendEnabled();
    Q_EMIT changed();
}

void AgentConversationViewModel::activeConversationChanged()
{
    const std::optional<QUuid> shown = m_state.activeAgentConversationID();
    if (shown != m_shown) {
        m_shown = shown;
        // A draft's screenshot was of the other conversation's target.
        ++m_draftGeneration;
        setAttachments({}, true);
        if (!m_attachmentError.isEmpty()) {
            m_attachmentError.clear();
            Q_EMIT attachmentsChanged();
        }
    }
    conversationsChanged();
}

void AgentConversationViewModel::flushStream()
{
    m_streamTimer.stop();
    refreshStream();
}

void AgentConversationViewModel::refreshStream()
{
    m_streamTimer.stop();
    const QString &streamed = m_state.agentStreamedText();
    const bool shows = AgentPanelRules::showsStreamingBubble(m_state.agentPhase(), m_shown, m_runningConversation,
                                                             streamed, m_messages.messages());
    m_messages.setStreamedText(shows ? std::optional(streamed) : std::nullopt);
}

void AgentConversationViewModel::setAttachments(QList<AgentContextAttachment> attachments, bool deleteReplacedFiles)
{
    if (attachments == m_attachments)
        return;
    if (deleteReplacedFiles) {
        for (const AgentContextAttachment &old : std::as_const(m_attachments))
            if (!attachments.contains(old))
                deleteFiles({old});
    }
    m_attachments = std::move(attachments);
    Q_EMIT attachmentsChanged();
}

void AgentConversationViewModel::submit()
{
    if (!isSendEnabled())
        return;
    const QUuid id = *m_shown;
    const QString text = std::exchange(m_followUp, QString());
    const QList<AgentContextAttachment> attachments = std::exchange(m_attachments, {});
    ++m_draftGeneration;
    Q_EMIT followUpChanged();
    Q_EMIT attachmentsChanged();
    refreshSendEnabled();

    const auto countOf = [this, &id] {
        const auto conversation = m_state.agentConversationStore().conversation(id);
        return conversation ? conversation->messages.size() : -1;
    };
    const qsizetype before = countOf();
    const QPointer<AgentConversationViewModel> self(this);
    m_state.submitAgentFollowUp(text, attachments);
    if (!self)
        return;
    // Refused (for instance a run began meanwhile): the draft comes back rather than
    // being lost.
    if (countOf() == before) {
        if (m_followUp.isEmpty()) {
            m_followUp = text;
            Q_EMIT followUpChanged();
        }
        if (m_attachments.isEmpty() && m_shown == id)
            setAttachments(attachments, false);
        else
            deleteFiles(attachments);
        refreshSendEnabled();
    }
}

void AgentConversationViewModel::attachScreenshot()
{
    if (m_capturing)
        return;
    m_capturing = true;
    Q_EMIT attachmentsChanged();
    const quint64 generation = m_draftGeneration;
    const QPointer<AgentConversationViewModel> self(this);
    const QPointer<AppState> state(&m_state);
    [](QPointer<AgentConversationViewModel> self, QPointer<AppState> state, quint64 generation) -> QCoro::Task<void> {
        auto capturing = state->captureAgentScreenshotAttachment();
        const auto captured = co_await std::move(capturing);
        if (!self) {
            if (captured)
                deleteFiles({captured.value()});
            co_return;
        }
        self->m_capturing = false;
        if (generation != self->m_draftGeneration) {
            // Sent or switched meanwhile: this picture belongs to no draft.
            if (captured)
                deleteFiles({captured.value()});
        } else if (captured) {
            self->m_attachmentError.clear();
            self->setAttachments({captured.value()}, true);
        } else {
            self->m_attachmentError = captured.error();
        }
        Q_EMIT self->attachmentsChanged();
        Q_EMIT self->screenshotCaptureFinished();
    }(self, state, generation);
}

void AgentConversationViewModel::toggleSpokenFollowUp()
{
    if (m_state.agentPhase() != AgentPhase::Listening)
        m_spokenFollowUpFor = m_shown;
    m_state.startAgentFollowUpRecording();
}

void AgentConversationViewModel::copyLatest()
{
    if (m_shown)
        m_state.copyAgentAnswer(*m_shown);
}

void AgentConversationViewModel::paste()
{
    if (m_shown)
        m_state.pasteAgentAnswer(*m_shown);
}

} // namespace sorvane
