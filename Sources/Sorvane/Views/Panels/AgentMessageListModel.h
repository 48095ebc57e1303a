#pragma once

#include "Command/AgentConversation.h"

#include <QAbstractListModel>
#include <QtQml/qqmlregistration.h>
#include <optional>

namespace sorvane {

// The bubbles of the conversation window: the stored messages in their order and, while
// an answer streams in, one more assistant bubble at the end whose text grows. Growing
// the streamed text changes that one row only.
class AgentMessageListModel : public QAbstractListModel {
    Q_OBJECT
    QML_ANONYMOUS
    Q_PROPERTY(int count READ rowCount NOTIFY countChanged)

public:
    enum Role { SenderRole = Qt::UserRole + 1, TextRole, IsUserRole, AttachmentsRole, StreamingRole, MessageIdRole };

    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    // Replaces the stored messages (the streamed bubble stays as it is).
    void setMessages(const QList<AgentMessage> &messages);
    // Shows, updates or (with none) removes the streamed bubble.
    void setStreamedText(const std::optional<QString> &text);

    const QList<AgentMessage> &messages() const { return m_messages; }
    bool hasStreamedBubble() const { return m_streamed.has_value(); }
    const QString streamedText() const { return m_streamed.value_or(QString()); }

Q_SIGNALS:
    void countChanged();

private:
    QList<AgentMessage> m_messages;
    std::optional<QString> m_streamed;
};

} // namespace sorvane
