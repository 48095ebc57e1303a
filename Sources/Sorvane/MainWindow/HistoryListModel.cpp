#include "MainWindow/HistoryListModel.h"

#include "Services/Command/AgentConversationStore.h"
#include "Services/Dictation/HistoryStore.h"

#include <algorithm>

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
        connect(m_history, &HistoryStore::itemsChanged, this, &HistoryListModel::historyChanged);
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

void HistoryListModel::historyChanged()
{
    if (!insertNewestDictation())
        rebuild();
}

// The usual change after a dictation: one new record at the top of the store. It goes
// in at its place by date without merging the whole history again.
bool HistoryListModel::insertNewestDictation()
{
    if (!m_history || m_mergeWanted)
        return false;
    const QList<HistoryItem> &items = m_history->items();
    if (items.size() != m_dictationCount + 1 || (m_dictationCount > 0 && items.at(1).id != m_newestDictation))
        return false;
    const HistoryEntry entry = HistoryEntry::fromDictation(items.first());
    // Dictations come before conversations of the same date, and the store's first
    // record before its others: the place is after every later entry.
    const auto place = std::partition_point(m_all.cbegin(), m_all.cend(),
                                            [&](const HistoryEntry &e) { return e.date > entry.date; });
    const qsizetype index = place - m_all.cbegin();
    m_all.insert(index, entry);
    ++m_allGeneration;
    m_dictationCount = items.size();
    m_newestDictation = entry.id;
    // Rows still being worked out are of the list before it: they are worked out again.
    if (isWorking() || !historyEntryMatches(entry, m_search))
        return true;
    qsizetype row = index;
    if (!m_search.isEmpty()) {
        row = 0;
        for (qsizetype i = 0; i < index; ++i)
            row += historyEntryMatches(m_all.at(i), m_search) ? 1 : 0;
    }
    insertRowAt(row, entry);
    Q_EMIT countChanged();
    return true;
}

void HistoryListModel::rebuild()
{
    ++m_storesGeneration;
    const qsizetype entries = (m_history ? m_history->items().size() : 0)
                              + (m_conversations ? m_conversations->conversations().size() : 0);
    if (isLong(entries)) {
        m_mergeWanted = true;
        return startWork();
    }
    m_mergeWanted = false;
    const QList<HistoryItem> items = m_history ? m_history->items() : QList<HistoryItem>{};
    m_all = mergedHistoryEntries(items, m_conversations ? m_conversations->conversations() : QList<AgentConversation>{});
    ++m_allGeneration;
    m_dictationCount = items.size();
    m_newestDictation = items.isEmpty() ? QUuid() : items.first().id;
    applyFilter();
}

void HistoryListModel::applyFilter()
{
    if (m_mergeWanted || (isLong(m_all.size()) && !m_search.isEmpty()))
        return startWork();
    // A worker's rows still on their way are checked against the list and the search
    // when they come, so they cannot undo this.
    showRows(filteredHistoryEntries(m_all, m_search));
}

void HistoryListModel::startWork()
{
    // Once the current changes are all in (a screen sets both stores one after the
    // other), and once the worker is free: its end starts the work again with what is
    // there then.
    if (m_workScheduled || m_work.isRunning())
        return;
    m_workScheduled = true;
    QMetaObject::invokeMethod(this, [this] {
        m_workScheduled = false;
        runWork();
    }, Qt::QueuedConnection);
}

void HistoryListModel::runWork()
{
    Work work;
    work.search = m_search;
    if (m_mergeWanted) {
        work.merged = true;
        work.generation = m_storesGeneration;
        const QList<HistoryItem> items = m_history ? m_history->items() : QList<HistoryItem>{};
        work.dictationCount = items.size();
        work.newestDictation = items.isEmpty() ? QUuid() : items.first().id;
        const QList<AgentConversation> conversations =
            m_conversations ? m_conversations->conversations() : QList<AgentConversation>{};
        m_work.start([work, items, conversations]() mutable {
            work.all = mergedHistoryEntries(items, conversations);
            work.rows = filteredHistoryEntries(work.all, work.search);
            return work;
        });
    } else {
        work.generation = m_allGeneration;
        m_work.start([work, all = m_all]() mutable {
            work.rows = filteredHistoryEntries(all, work.search);
            return work;
        });
    }
}

void HistoryListModel::workDone(Work work)
{
    if (work.merged) {
        if (work.generation != m_storesGeneration)
            return startWork(); // the stores changed again meanwhile
        m_mergeWanted = false;
        m_all = std::move(work.all);
        ++m_allGeneration;
        m_dictationCount = work.dictationCount;
        m_newestDictation = work.newestDictation;
    } else if (work.generation != m_allGeneration) {
        return applyFilter(); // a dictation came meanwhile
    }
    if (work.search != m_search)
        return applyFilter();
    showRows(work.rows);
    Q_EMIT rowsReady();
}

void HistoryListModel::showRows(const QList<HistoryEntry> &rows)
{
    const int before = rowCount();
    replaceRows(rows);
    if (rowCount() != before)
        Q_EMIT countChanged();
}

} // namespace sorvane
