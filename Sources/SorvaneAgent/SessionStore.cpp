#include "SorvaneAgent/SessionStore.h"

#include <QAtomicInteger>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace sorvane::agent {

namespace {

constexpr int schemaVersion = 1;

QString roleText(Turn::Role role)
{
    return role == Turn::Role::User ? QStringLiteral("user") : QStringLiteral("assistant");
}

} // namespace

// One open database for the length of one operation; Qt wants every query gone before the
// connection is removed, which the order of the members here ensures.
class SessionStore::Connection {
public:
    explicit Connection(const QString &path)
        : m_name(QStringLiteral("sorvane-session-%1").arg(nextNumber()))
    {
        QSqlDatabase database = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
        database.setDatabaseName(path);
        database.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=2000"));
        m_open = database.open();
    }
    ~Connection()
    {
        {
            QSqlDatabase database = QSqlDatabase::database(m_name, false);
            database.close();
        }
        QSqlDatabase::removeDatabase(m_name);
    }

    QSqlDatabase database() const { return QSqlDatabase::database(m_name, false); }

    // True when the file is a store of ours (or an empty database that can become one).
    bool isSound() const { return health() == Health::Sound; }

    enum class Health { Sound, Busy, Damaged };
    // A store another program holds locked for longer than the busy wait is not damaged.
    Health health() const
    {
        if (!m_open)
            return Health::Damaged;
        QSqlQuery query(database());
        const auto failed = [&query] {
            const QString code = query.lastError().nativeErrorCode();
            return code == QLatin1String("5") || code == QLatin1String("6") ? Health::Busy : Health::Damaged;
        };
        if (!query.exec(QStringLiteral("PRAGMA user_version")) || !query.next())
            return failed();
        if (query.value(0).toInt() > schemaVersion)
            return Health::Damaged;
        // A file that is not SQLite fails here, not at open.
        if (!query.exec(QStringLiteral("SELECT count(*) FROM sqlite_master")))
            return failed();
        return Health::Sound;
    }

    bool createSchema() const
    {
        QSqlQuery query(database());
        return query.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS turns ("
                                         "conversation_id TEXT NOT NULL, position INTEGER NOT NULL, "
                                         "role TEXT NOT NULL, text TEXT NOT NULL, created_at TEXT NOT NULL, "
                                         "PRIMARY KEY (conversation_id, position))")) &&
               query.exec(QStringLiteral("PRAGMA user_version = %1").arg(schemaVersion));
    }

    bool hasTurnsTable() const
    {
        QSqlQuery query(database());
        return query.exec(QStringLiteral("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'turns'")) &&
               query.next();
    }

private:
    static int nextNumber()
    {
        static QAtomicInteger<int> counter;
        return counter.fetchAndAddRelaxed(1);
    }

    QString m_name;
    bool m_open = false;
};

SessionStore::SessionStore(QString path) : m_path(std::move(path)) {}

std::optional<QString> SessionStore::setAsideIfUnreadable() const
{
    if (!QFileInfo::exists(m_path))
        return std::nullopt;
    {
        const Connection connection(m_path);
        if (connection.health() != Connection::Health::Damaged)
            return std::nullopt;
    }
    const QString stamp = QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString aside = m_path + QStringLiteral(".unreadable-") + stamp;
    for (int n = 2; QFileInfo::exists(aside); ++n)
        aside = m_path + QStringLiteral(".unreadable-") + stamp + QLatin1Char('-') + QString::number(n);
    if (!QFile::rename(m_path, aside))
        return std::nullopt;
    // What SQLite may have left beside it belongs to the damaged file, not to the new one.
    for (const char *suffix : {"-journal", "-wal", "-shm"})
        QFile::remove(m_path + QLatin1String(suffix));
    return QStringLiteral("Command's conversation store could not be read. It was moved to ") + aside +
           QStringLiteral(" and a new one was started; earlier Command conversations cannot be continued.");
}

QString SessionStore::problemMessage(const Connection &connection) const
{
    if (connection.health() == Connection::Health::Busy)
        return QStringLiteral("Command's conversation store is in use by another program. Try again in a moment: ") +
               m_path;
    return damagedMessage();
}

QString SessionStore::damagedMessage() const
{
    return QStringLiteral("Command's session file is damaged, so earlier turns cannot be used. "
                          "Start a new Command, or move the file away: ") +
           m_path;
}

std::variant<QList<Turn>, QString> SessionStore::turns(const QString &conversationID) const
{
    if (!QFileInfo::exists(m_path))
        return QList<Turn>{};
    const Connection connection(m_path);
    if (!connection.isSound())
        return problemMessage(connection);
    if (!connection.hasTurnsTable())
        return QList<Turn>{};
    QSqlQuery query(connection.database());
    query.prepare(QStringLiteral("SELECT role, text FROM turns WHERE conversation_id = ? ORDER BY position"));
    query.addBindValue(conversationID.toUpper());
    if (!query.exec())
        return damagedMessage();
    QList<Turn> turns;
    while (query.next()) {
        const QString role = query.value(0).toString();
        if (role != QLatin1String("user") && role != QLatin1String("assistant"))
            return damagedMessage();
        turns.append(Turn{role == QLatin1String("user") ? Turn::Role::User : Turn::Role::Assistant,
                          query.value(1).toString()});
    }
    return turns;
}

std::optional<QString> SessionStore::checkWritable() const
{
    if (!QFileInfo::exists(m_path))
        return std::nullopt;
    const Connection connection(m_path);
    if (!connection.isSound())
        return problemMessage(connection);
    return std::nullopt;
}

std::optional<QString> SessionStore::append(const QString &conversationID, const QList<Turn> &turns) const
{
    const QString cannotWrite = QStringLiteral("Command could not save this turn of the conversation: ") + m_path;
    if (!QDir().mkpath(QFileInfo(m_path).absolutePath()))
        return cannotWrite;
    const Connection connection(m_path);
    if (!connection.isSound())
        return problemMessage(connection);
    QSqlDatabase database = connection.database();
    if (!connection.createSchema() || !database.transaction())
        return cannotWrite;

    bool written = true;
    {
        QSqlQuery last(database);
        last.prepare(QStringLiteral("SELECT coalesce(max(position), -1) FROM turns WHERE conversation_id = ?"));
        last.addBindValue(conversationID.toUpper());
        written = last.exec() && last.next();
        int position = written ? last.value(0).toInt() + 1 : 0;
        const QString now = QDateTime::currentDateTimeUtc().toString(Qt::ISODate);
        QSqlQuery insert(database);
        insert.prepare(QStringLiteral("INSERT INTO turns (conversation_id, position, role, text, created_at) "
                                      "VALUES (?, ?, ?, ?, ?)"));
        for (const Turn &turn : turns) {
            if (!written)
                break;
            insert.addBindValue(conversationID.toUpper());
            insert.addBindValue(position++);
            insert.addBindValue(roleText(turn.role));
            insert.addBindValue(turn.text);
            insert.addBindValue(now);
            written = insert.exec();
        }
    }
    if (!written) {
        database.rollback();
        return cannotWrite;
    }
    return database.commit() ? std::nullopt : std::optional<QString>(cannotWrite);
}

std::optional<QString> SessionStore::remove(const QStringList &conversationIDs, bool keepNamed) const
{
    const QString cannotWrite = QStringLiteral("Command could not remove the turns of deleted conversations: ") + m_path;
    if (!QFileInfo::exists(m_path))
        return std::nullopt;
    const Connection connection(m_path);
    if (!connection.isSound())
        return problemMessage(connection);
    if (!connection.hasTurnsTable())
        return std::nullopt;
    QSqlDatabase database = connection.database();
    if (!database.transaction())
        return cannotWrite;
    bool removed = true;
    {
        // The named ones in a table of their own, so that a long list needs no long statement.
        QSqlQuery query(database);
        removed = query.exec(QStringLiteral("CREATE TEMP TABLE IF NOT EXISTS named (id TEXT PRIMARY KEY)")) &&
                  query.exec(QStringLiteral("DELETE FROM named"));
        QSqlQuery insert(database);
        insert.prepare(QStringLiteral("INSERT OR IGNORE INTO named (id) VALUES (?)"));
        for (const QString &id : conversationIDs) {
            if (!removed)
                break;
            insert.addBindValue(id.toUpper());
            removed = insert.exec();
        }
        if (removed)
            removed = query.exec(keepNamed
                                     ? QStringLiteral("DELETE FROM turns WHERE conversation_id NOT IN (SELECT id FROM named)")
                                     : QStringLiteral("DELETE FROM turns WHERE conversation_id IN (SELECT id FROM named)"));
    }
    if (!removed || !database.commit()) {
        database.rollback();
        return cannotWrite;
    }
    // The removed texts are not left readable in the file's free pages.
    QSqlQuery vacuum(database);
    vacuum.exec(QStringLiteral("VACUUM"));
    return std::nullopt;
}

} // namespace sorvane::agent
