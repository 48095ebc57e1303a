#pragma once

#include "MainWindow/KeyedListModel.h"
#include "MainWindow/HistoryEntry.h"
#include "Services/Command/AgentConversationStore.h"
#include "Services/Dictation/HistoryStore.h"

#include <QDateTime>
#include <QLocale>
#include <QPointer>
#include <QTimeZone>
#include <functional>

namespace sorvane {


// The history screen's list: the dictations and the Command conversations of the two
// stores in one column, newest first, narrowed by the search text. It follows both
// stores as they change, row by row.
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

Q_SIGNALS:
    void storesChanged();
    void searchChanged();
    void countChanged();

private:
    void rebuild();
    void applyFilter();

    QPointer<HistoryStore> m_history;
    QPointer<AgentConversationStore> m_conversations;
    QList<HistoryEntry> m_all;
    QString m_search;
    Clock m_now;
    QLocale m_locale;
    QTimeZone m_timeZone;
};

} // namespace sorvane
