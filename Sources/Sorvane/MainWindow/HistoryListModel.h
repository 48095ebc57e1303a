#pragma once

#include "MainWindow/KeyedListModel.h"
#include "MainWindow/HistoryEntry.h"
#include "Services/Command/AgentConversationStore.h"
#include "Services/Dictation/HistoryStore.h"
#include "Support/BackgroundTask.h"

#include <QDateTime>
#include <QLocale>
#include <QPointer>
#include <QTimeZone>
#include <functional>

namespace sorvane {


// The history screen's list: the dictations and the Command conversations of the two
// stores in one column, newest first, narrowed by the search text. It follows both
// stores as they change, row by row: a new dictation at the top is one row inserted,
// whatever the length of the history. A search of a long history runs on a worker
// thread; its rows replace the list when it is done, and a newer search supersedes it.
class HistoryListModel : public KeyedListModel<HistoryEntry> {
    Q_OBJECT
    Q_PROPERTY(sorvane::HistoryStore *historyStore READ historyStore WRITE setHistoryStore NOTIFY storesChanged)
    Q_PROPERTY(sorvane::AgentConversationStore *conversationStore READ conversationStore WRITE setConversationStore NOTIFY storesChanged)
    Q_PROPERTY(QString search READ search WRITE setSearch NOTIFY searchChanged)
    Q_PROPERTY(int count READ count NOTIFY countChanged)

public:
    enum Role { IdRole = Qt::UserRole + 1, IsCommandRole, TextRole, DetailRole, TimestampRole };
    Q_ENUM(Role)

    using Clock = std::function<QDateTime()>;

    explicit HistoryListModel(QObject *parent = nullptr);
    HistoryListModel(HistoryStore *history, AgentConversationStore *conversations, QObject *parent = nullptr);

    HistoryStore *historyStore() const { return m_history; }
    void setHistoryStore(HistoryStore *store);
    AgentConversationStore *conversationStore() const { return m_conversations; }
    void setConversationStore(AgentConversationStore *store);

    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    const QString &search() const { return m_search; }
    void setSearch(const QString &search);
    int count() const { return rowCount(); }

    // The labels of the rows depend on "now", the locale and the time zone; tests fix them.
    void setClock(Clock clock);
    void setLocale(const QLocale &locale);
    void setTimeZone(const QTimeZone &timeZone);

    // The entry of a row; none for a row that does not exist.
    std::optional<HistoryEntry> entryAt(int row) const;
    Q_INVOKABLE int rowOf(const QString &id) const;
    // Reads every row's time label again (a new day may have begun since it was drawn).
    Q_INVOKABLE void refreshTimestamps();

    // Lists longer than this are merged and searched on a worker thread (tests lower it).
    static constexpr qsizetype defaultBackgroundSize = 4000;
    void setBackgroundSize(qsizetype entries) { m_backgroundSize = entries; }
    // Whether the rows are still being worked out.
    bool isWorking() const { return m_workScheduled || m_work.isRunning(); }

Q_SIGNALS:
    void storesChanged();
    void searchChanged();
    void countChanged();
    // Rows worked out on the worker thread are in the list.
    void rowsReady();

private:
    // What a worker works out: the merged list (when asked to merge the stores again)
    // and its rows under the search.
    struct Work {
        bool merged = false;
        quint64 generation = 0;
        QString search;
        QList<HistoryEntry> all;
        QList<HistoryEntry> rows;
        qsizetype dictationCount = 0;
        QUuid newestDictation;
    };

    void historyChanged();
    bool insertNewestDictation();
    void rebuild();
    void applyFilter();
    void startWork();
    void runWork();
    void workDone(Work work);
    void showRows(const QList<HistoryEntry> &rows);
    bool isLong(qsizetype entries) const { return entries > m_backgroundSize; }

    QPointer<HistoryStore> m_history;
    QPointer<AgentConversationStore> m_conversations;
    QList<HistoryEntry> m_all;
    // Moves with every change of m_all; a worker's rows of another one are worked out again.
    quint64 m_allGeneration = 0;
    // Moves with every change of the stores a merge has not seen yet.
    quint64 m_storesGeneration = 0;
    bool m_mergeWanted = false;
    // What of the history store m_all holds: its length and its first record.
    qsizetype m_dictationCount = 0;
    QUuid m_newestDictation;
    QString m_search;
    qsizetype m_backgroundSize = defaultBackgroundSize;
    BackgroundTask<Work> m_work{this, [this](Work work) { workDone(std::move(work)); }};
    bool m_workScheduled = false;
    Clock m_now;
    QLocale m_locale;
    QTimeZone m_timeZone;
};

} // namespace sorvane
