#pragma once

#include "Command/AgentConversation.h"
#include "AgentMessageListModel.h"

#include <QObject>
#include <QTimer>
#include <QtQml/qqmlregistration.h>
#include <chrono>
#include <optional>

namespace sorvane {

class AppState;

// What the conversation window shows and keeps: the shown conversation (the state's
// active one) with its bubbles and the answer streaming in, and the unsent follow-up
// with its screenshot. Everything shown belongs to the conversation on screen: the
// streamed bubble and the busy label only under the conversation that runs, the copy
// and paste of its own last answer, and a draft's screenshot is dropped (its file
// deleted) when another conversation is shown. Acts only through the state.
class AgentConversationViewModel : public QObject {
    Q_OBJECT
    QML_ANONYMOUS
    Q_PROPERTY(bool available READ isAvailable NOTIFY changed)
    Q_PROPERTY(QString title READ title NOTIFY changed)
    Q_PROPERTY(QString targetApplicationName READ targetApplicationName NOTIFY changed)
    Q_PROPERTY(bool busy READ isBusy NOTIFY changed)
    Q_PROPERTY(QString phaseWord READ phaseWord NOTIFY changed)
    Q_PROPERTY(bool listening READ isListening NOTIFY changed)
    Q_PROPERTY(sorvane::AgentMessageListModel *messages READ messages CONSTANT)
    Q_PROPERTY(QString followUp READ followUp WRITE setFollowUp NOTIFY followUpChanged)
    Q_PROPERTY(bool sendEnabled READ isSendEnabled NOTIFY sendEnabledChanged)
    Q_PROPERTY(bool cameraShown READ isCameraShown NOTIFY changed)
    Q_PROPERTY(bool cameraEnabled READ isCameraEnabled NOTIFY attachmentsChanged)
    Q_PROPERTY(bool screenshotAttached READ isScreenshotAttached NOTIFY attachmentsChanged)
    Q_PROPERTY(QString attachmentError READ attachmentError NOTIFY attachmentsChanged)

public:
    // Redraws of a streaming answer are gathered to one per interval.
    static constexpr std::chrono::milliseconds defaultStreamInterval{30};

    explicit AgentConversationViewModel(AppState &state, QObject *parent = nullptr);
    ~AgentConversationViewModel() override;

    bool isAvailable() const { return m_conversation.has_value(); }
    QString title() const;
    QString targetApplicationName() const;
    bool isBusy() const;
    QString phaseWord() const;
    bool isListening() const;
    AgentMessageListModel *messages() { return &m_messages; }
    const QString &followUp() const { return m_followUp; }
    void setFollowUp(const QString &text);
    bool isSendEnabled() const;
    bool isCameraShown() const;
    bool isCameraEnabled() const { return !m_capturing; }
    bool isScreenshotAttached() const { return !m_attachments.isEmpty(); }
    const QString &attachmentError() const { return m_attachmentError; }
    const QList<AgentContextAttachment> &attachments() const { return m_attachments; }
    std::optional<QUuid> shownConversationID() const;
    // The conversation whose run is under way, as this window knows it.
    const std::optional<QUuid> &runningConversationID() const { return m_runningConversation; }

    void setStreamInterval(std::chrono::milliseconds interval) { m_streamTimer.setInterval(interval); }
    // Applies a pending streamed text at once (what the next redraw would show).
    void flushStream();

    // Sends the typed follow-up with the screenshot; does nothing while it cannot be sent.
    Q_INVOKABLE void submit();
    // Captures the Command target's window as the one attachment of the next follow-up.
    Q_INVOKABLE void attachScreenshot();
    // Starts a spoken follow-up for the shown conversation, or stops and runs it.
    Q_INVOKABLE void toggleSpokenFollowUp();
    Q_INVOKABLE void copyLatest();
    Q_INVOKABLE void paste();

Q_SIGNALS:
    void changed();
    void followUpChanged();
    void sendEnabledChanged();
    void attachmentsChanged();
    // A screenshot capture ended (attached, failed or dropped).
    void screenshotCaptureFinished();

private:
    void phaseChanged();
    void conversationsChanged();
    void activeConversationChanged();
    void refreshStream();
    void setAttachments(QList<AgentContextAttachment> attachments, bool deleteReplacedFiles);
    void refreshSendEnabled();

    AppState &m_state;
    AgentMessageListModel m_messages;
    std::optional<AgentConversation> m_conversation;
    std::optional<QUuid> m_shown;
    std::optional<QUuid> m_runningConversation;
    // The conversation a spoken follow-up started from this window belongs to.
    std::optional<QUuid> m_spokenFollowUpFor;
    QTimer m_streamTimer;

    QString m_followUp;
    QList<AgentContextAttachment> m_attachments;
    QString m_attachmentError;
    bool m_capturing = false;
    // Raised by every send and every change of the shown conversation: a capture begun
    // before it is dropped.
    quint64 m_draftGeneration = 0;
    bool m_sendEnabled = false;
};

} // namespace sorvane
