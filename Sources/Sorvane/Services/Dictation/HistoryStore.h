#pragma once

#include "Dictation/HistoryItem.h"
#include "Support/BackgroundTask.h"
#include "Support/BackgroundWriter.h"
#include "Support/StoredFile.h"

#include <QDateTime>
#include <QJsonArray>
#include <QList>
#include <QObject>
#include <functional>

namespace sorvane {

// The dictation history: every finished dictation, newest first, kept in one JSON
// file that is rewritten whole after each change. The program reads the file on a
// worker thread, so a long history never holds up the start: the list fills in when
// it has been read, after what was dictated meanwhile.
class HistoryStore : public QObject {
    Q_OBJECT
    Q_PROPERTY(int minutesThisWeek READ minutesThisWeek NOTIFY itemsChanged)
public:
    using Clock = std::function<QDateTime()>;

    struct Options {
        QString path;
        QString recordingsFolder;
        Clock clock;
        // Read the file on a worker thread, from the event loop's next turn, rather than in
        // the constructor.
        bool loadInBackground = false;
    };
    // AppPaths::history(), AppPaths::recordings() and the system clock (UTC), read in
    // the constructor.
    static Options defaultOptions();

    // Loads the history file, or starts loading it.
    explicit HistoryStore(Options options, QObject *parent = nullptr);

    // Waits for the saves still being written.
    ~HistoryStore() override;

    const QList<HistoryItem> &items() const { return m_items; }

    // How a save reaches the file. Either way saves land in the order they were made;
    // in the background the caller goes on at once (a long history takes tens of
    // milliseconds to encode and write), and a later save may supersede it.
    enum class Write { Now, InBackground };

    // Puts a new record at the top and saves.
    void insert(const HistoryItem &item, Write write = Write::Now);
    // Writes the whole list. A failure is told by fileNotice (once for a run of
    // failures); the list stays in memory and the next save writes all of it.
    void save(Write write = Write::Now);
    // Returns once every save made so far is on disk.
    void waitForWrites();
    // Removes every record with the item's identity, deletes its kept recording,
    // and saves.
    void deleteItem(const HistoryItem &item);

    // Minutes dictated in the last seven days, rounded to the nearest minute.
    int minutesThisWeek() const;

    // Whether the file has been read (at once, when not read in the background).
    bool isLoaded() const { return m_loaded; }
    // Returns once the file has been read and its records are in the list.
    void waitForLoad();

    const QString &path() const { return m_file.path(); }

    // The most text one record keeps; a longer text is cut there when it is added.
    static constexpr qsizetype maximumTextLength = 200000;

Q_SIGNALS:
    void itemsChanged();
    // A sentence for the user: a save failed (with the system's reason), or an
    // unreadable file was set aside (with where it lies). Always on the main thread.
    void fileNotice(const QString &message);
    // The file's records are in the list.
    void loaded();

private:
    // What reading the file gave: its records newest first, with their stored form.
    struct Loaded {
        enum class Outcome { Missing, Unreadable, Read } outcome = Outcome::Missing;
        QList<HistoryItem> items;
        QList<QJsonArray> encoded;
    };
    // Runs on any thread: it touches nothing of the store.
    static Loaded read(const QString &path);
    void take(Loaded loaded);

    StoredFile m_file;
    QString m_recordingsFolder;
    Clock m_clock;
    QList<HistoryItem> m_items;
    bool m_loaded = false;
    // A save asked for before the file was read waits for it, so the file's records
    // are never written over.
    bool m_saveWhenLoaded = false;
    BackgroundTask<Loaded> m_loading{this, [this](Loaded loaded) { take(std::move(loaded)); }};
    // The stored form of each item, in the same order, so a save encodes only what
    // changed since the load; keys a newer version wrote are kept in it. It is kept in
    // pieces of a few thousand records: a save's copy shares them, and an insert or a
    // removal copies at most one piece while the writer holds it, so neither costs more
    // with a longer history.
    QList<QJsonArray> m_encoded;
    // Declared last: destroyed first, so every write asked for has ended.
    BackgroundWriter m_writer;
};

} // namespace sorvane
