#include "AgentMessageListModel.h"

#include "AgentPanelRules.h"

#include <QVariantMap>

namespace sorvane {

int AgentMessageListModel::rowCount(const QModelIndex &parent) const
{
    if (parent.isValid())
        return 0;
    return int(m_messages.size()) + (m_streamed ? 1 : 0);
}

QVariant AgentMessageListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() < 0 || index.row() >= rowCount())
        return {};
    const bool streamed = index.row() == m_messages.size();
    const AgentMessageRole sender = streamed ? AgentMessageRole::Assistant : m_messages[index.row()].role;
    switch (role) {
    case SenderRole: return AgentPanelRules::senderLabel(sender);
    case TextRole: return streamed ? *m_streamed : m_messages[index.row()].text;
    case IsUserRole: return sender == AgentMessageRole::User;
    case StreamingRole: return streamed;
    case MessageIdRole:
        return streamed ? QString() : m_messages[index.row()].id.toString(QUuid::WithoutBraces).toUpper();
    case AttachmentsRole: {
        QVariantList chips;
        if (!streamed) {
            for (const AgentContextAttachment &attachment : m_messages[index.row()].attachments) {
                chips.append(QVariantMap{
                    {QStringLiteral("displayName"), attachment.displayName},
                    {QStringLiteral("symbol"), attachment.isScreenshot() ? QStringLiteral("photo") : QStringLiteral("text.quote")},
                });
            }
        }
        return chips;
    }
    default: return {};
    }
}

QHash<int, QByteArray> AgentMessageListModel::roleNames() const
{
    return {{SenderRole, "sender"},       {TextRole, "text"},           {IsUserRole, "isUser"},
            {AttachmentsRole, "attachments"}, {StreamingRole, "streaming"}, {MessageIdRole, "messageId"}};
}

void AgentMessageListModel::setMessages(const QList<AgentMessage> &messages)
{
    if (messages == m_messages)
        return;
    const int before = rowCount();
    beginResetModel();
    m_messages = messages;
    endResetModel();
    if (rowCount() != before)
        Q_EMIT countChanged();
}

void AgentMessageListModel::setStreamedText(const std::optional<QString> &text)
{
    const int row = int(m_messages.size());
    if (text && m_streamed) {
        if (*text == *m_streamed)
            return;
        m_streamed = text;
        Q_EMIT dataChanged(index(row), index(row), {TextRole});
    } else if (text) {
        beginInsertRows({}, row, row);
        m_streamed = text;
        endInsertRows();
        Q_EMIT countChanged();
    } else if (m_streamed) {
        beginRemoveRows({}, row, row);
        m_streamed.reset();
        endRemoveRows();
        Q_EMIT countChanged();
    }
}

} // namespace sorvane
