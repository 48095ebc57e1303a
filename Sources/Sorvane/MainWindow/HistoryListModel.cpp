#include "MainWindow/HistoryListModel.h"

#include "Services/Command/AgentConversationStore.h"
#include "Services/Dictation/HistoryStore.h"

namespace sorvane {

HistoryListModel::HistoryListModel(QObject *parent)
    : KeyedListModel<HistoryEntry>(parent),
      m_now([] { return QDateTime::currentDateTime(); }),
      m_timeZone(QTimeZone::systemTimeZone())
{
}

HistoryListModel::HistoryListModel(HistoryStore *history, AgentConversationStore *conversations, QObject *parent)
    : HistoryListModel(parent)
{
    setHistoryStore(history);
    setConversationStore(conversations);
}

void HistoryListModel::setHistoryStore(HistoryStore *store)
{
    if (store == m_history)
        return;
    if (m_history)
        disconnect(m_history, nullptr, this, nullptr);
    m_history = store;
    if (m_history)
        connect(m_history, &HistoryStore::itemsChanged, this, &HistoryListModel::rebuild);
    rebuild();
    Q_EMIT storesChanged();
}

void HistoryListModel::setConversationStore(AgentConversationStore *store)
{
    if (store == m_conversations)
        return;
    if (m_conversations)
        disconnect(m_conversations, nullptr, this, nullptr);
    m_conversations = store;
    if (m_conversations)
        connect(m_conversations, &AgentConversationStore::conversationsChanged, this, &HistoryListModel::rebuild);
    rebuild();
    Q_EMIT storesChanged();
}

QVariant HistoryListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() < 0 || index.row() >= rowCount())
        return {};
    const HistoryEntry &entry = rows().at(index.row());
    switch (role) {
    case IdRole:
        return entry.id.toString(QUuid::WithoutBraces);
    case IsCommandRole:
        return entry.isCommand();
    case Qt::DisplayRole:
    case TextRole:
        return entry.text;
    case DetailRole:
        return entry.detail;
    case TimestampRole:
        return historyTimestampLabel(entry.date, m_now(), m_locale, m_timeZone);
    default:
        return {};
    }
}

QHash<int, QByteArray> HistoryListModel::roleNames() const
{
    return {{IdRole, "entryId"},
            {IsCommandRole, "isCommand"},
            {TextRole, "text"},
            {DetailRole, "detail"},
            {TimestampRole, "timestamp"}};
}

void HistoryListModel::setSearch(const QString &search)
{
    if (search == m_search)
        return;
    m_search = search;
    applyFilter();
    Q_EMIT searchChanged();
}

void HistoryListModel::setClock(Clock clock)
{
    m_now = std::move(clock);
    refreshTimestamps();
}

void HistoryListModel::setLocale(const QLocale &locale)
{
    m_locale = locale;
    refreshTimestamps();
}

void HistoryListModel::setTimeZone(const QTimeZone &timeZone)
{
    m_timeZone = timeZone;
    refreshTimestamps();
}

std::optional<HistoryEntry> HistoryListModel::entryAt(int row) const
{
    if (row < 0 || row >= rowCount())
        return std::nullopt;
    return rows().at(row);
}

int HistoryListModel::rowOf(const QString &id) const
{
    const QUuid uuid(id);
    for (qsizetype i = 0; i < rows().size(); ++i)
        if (rows()[i].id == uuid)
            return int(i);
    return -1;
}

void HistoryListModel::refreshTimestamps()
{
    refreshAllRows();
}

void HistoryListModel::rebuild()
{
    m_all = mergedHistoryEntries(m_history ? m_history->items() : QList<HistoryItem>{},
                                 m_conversations ? m_conversations->conversations() : QList<AgentConversation>{});
    applyFilter();
}

void HistoryListModel::applyFilter()
{
    const int before = rowCount();
    replaceRows(filteredHistoryEntries(m_all, m_search));
    if (rowCount() != before)
        Q_EMIT countChanged();
}

} // namespace sorvane
