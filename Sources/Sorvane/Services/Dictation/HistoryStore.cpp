#include "Services/Dictation/HistoryStore.h"

#include "Shared/AppPaths.h"
#include "Support/SafePath.h"
#include "Support/StoredJson.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

namespace sorvane {

namespace {

// The record as this version writes it, with the keys it does not know (a newer
// version's) kept as they were.
QJsonObject rewritten(const QJsonObject &stored, const HistoryItem &item)
{
    QJsonObject object = stored;
    for (const char *known : {"audioFileName", "createdAt", "duration", "id", "modelID", "text"})
        object.remove(QLatin1String(known));
    const QJsonObject written = item.toJson();
    for (auto it = written.constBegin(); it != written.constEnd(); ++it)
        object.insert(it.key(), it.value());
    return object;
}

// Records per piece of the stored form: small enough to copy in well under a
// millisecond, large enough that a million records make a few hundred pieces.
constexpr qsizetype recordsPerPiece = 4096;

void appendRecord(QList<QJsonArray> &pieces, const QJsonObject &record)
{
    if (pieces.isEmpty() || pieces.constLast().size() >= recordsPerPiece)
        pieces.append(QJsonArray());
    pieces.last().append(record);
}

void prependRecord(QList<QJsonArray> &pieces, const QJsonObject &record)
{
    if (pieces.isEmpty() || pieces.constFirst().size() >= recordsPerPiece)
        pieces.prepend(QJsonArray());
    pieces.first().prepend(record);
}

void removeRecord(QList<QJsonArray> &pieces, qsizetype index)
{
    for (qsizetype p = 0; p < pieces.size(); ++p) {
        const qsizetype size = pieces.at(p).size();
        if (index < size) {
            pieces[p].removeAt(index);
            if (pieces.at(p).isEmpty())
                pieces.removeAt(p);
            return;
        }
        index -= size;
    }
}

} // namespace

HistoryStore::Options HistoryStore::defaultOptions()
{
    return {AppPaths::history(), AppPaths::recordings(), [] { return QDateTime::currentDateTimeUtc(); }};
}

HistoryStore::HistoryStore(Options options, QObject *parent)
    : QObject(parent), m_file(std::move(options.path), QStringLiteral("history")), m_recordingsFolder(std::move(options.recordingsFolder)),
      m_clock(std::move(options.clock))
{
    // Saves run on the writer's thread; the signal is sent from the main loop.
    m_file.setNotice([this](const QString &message) {
        QMetaObject::invokeMethod(this, [this, message] { Q_EMIT fileNotice(message); }, Qt::QueuedConnection);
    });
    (void)AppPaths::prepare();
    if (!options.loadInBackground) {
        take(read(m_file.path()));
        return;
    }
    // From the loop's first turn: what the program starts with (its shortcuts, its tray
    // item, its runtime) comes first, and is not slowed by the read.
    m_loading.startOnNextTurn([this] { return !m_loaded; }, [path = m_file.path()] { return read(path); });
}

HistoryStore::Loaded HistoryStore::read(const QString &path)
{
    Loaded loaded;
    QFile file(path);
    if (!file.exists())
        return loaded;
    loaded.outcome = Loaded::Outcome::Unreadable;
    if (!file.open(QIODevice::ReadOnly)) {
        qCWarning(lcStoredFiles).noquote() << "Could not open the history file" << path << ":" << file.errorString();
        return loaded;
    }
    const auto document = storedjson::parseDocument(file.readAll());
    if (!document || !document->isArray())
        return loaded;
    const QJsonArray array = document->array();
    QList<HistoryItem> items;
    items.reserve(array.size());
    for (const QJsonValue &value : array) {
        auto item = HistoryItem::fromJson(value);
        if (!item)
            return loaded; // one bad record fails the whole file
        items.append(std::move(*item));
    }
    QList<qsizetype> order(items.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&](qsizetype a, qsizetype b) { return items.at(a).createdAt > items.at(b).createdAt; });
    loaded.items.reserve(items.size());
    for (qsizetype index : std::as_const(order)) {
        const QJsonObject stored = array.at(index).toObject();
        appendRecord(loaded.encoded, HistoryItem::isWrittenForm(stored) ? stored : rewritten(stored, items.at(index)));
        loaded.items.append(std::move(items[index]));
    }
    // Room at the front for the dictations to come: made here, not by the first insert
    // on the main thread (a list without it is copied whole to grow at the front).
    loaded.items.prepend(HistoryItem{});
    loaded.items.removeFirst();
    loaded.outcome = Loaded::Outcome::Read;
    return loaded;
}

void HistoryStore::take(Loaded result)
{
    m_loaded = true;
    if (result.outcome == Loaded::Outcome::Unreadable)
        m_file.markUnreadable();
    const bool read = !result.items.isEmpty();
    if (m_items.isEmpty()) {
        m_items = std::move(result.items);
        m_encoded = std::move(result.encoded);
    } else {
        // What was dictated while the file was read is newer than all of it. It goes in
        // front of the file's records, so they are not copied.
        for (auto item = m_items.crbegin(); item != m_items.crend(); ++item)
            result.items.prepend(*item);
        for (auto piece = m_encoded.crbegin(); piece != m_encoded.crend(); ++piece)
            result.encoded.prepend(*piece);
        m_items = std::move(result.items);
        m_encoded = std::move(result.encoded);
    }
    if (read)
        Q_EMIT itemsChanged();
    Q_EMIT loaded();
    if (m_saveWhenLoaded) {
        m_saveWhenLoaded = false;
        save(Write::InBackground);
    }
}

void HistoryStore::waitForLoad()
{
    if (m_loaded)
        return;
    take(m_loading.isRunning() ? m_loading.waitForResult() : read(m_file.path()));
}

HistoryStore::~HistoryStore()
{
    // What was dictated before the file was read is written with it, not lost.
    if (!m_loaded && m_saveWhenLoaded)
        waitForLoad();
}

void HistoryStore::insert(const HistoryItem &item, Write write)
{
    HistoryItem kept = item;
    // A runaway text must not make every later save of the history huge.
    if (kept.text.size() > maximumTextLength) {
        qsizetype cut = maximumTextLength;
        if (kept.text.at(cut - 1).isHighSurrogate())
            --cut;
        kept.text.truncate(cut);
    }
    m_items.prepend(kept);
    prependRecord(m_encoded, kept.toJson());
    Q_EMIT itemsChanged();
    save(write);
}

void HistoryStore::waitForWrites()
{
    m_writer.waitForWrites();
}

void HistoryStore::save(Write write)
{
    if (!m_loaded) {
        m_saveWhenLoaded = true;
        return;
    }
    // The writing thread encodes a copy while this list changes on. Writes run one at
    // a time, so the stored file is only ever touched by one of them.
    m_writer.write([file = &m_file, pieces = m_encoded] {
        QJsonArray records; // shares each record with the pieces
        for (const QJsonArray &piece : pieces)
            for (const QJsonValue &record : piece)
                records.append(record);
        (void)file->write(storedjson::encode(records));
    });
    if (write == Write::Now)
        m_writer.waitForWrites();
}

void HistoryStore::deleteItem(const HistoryItem &item)
{
    qsizetype removed = 0;
    for (qsizetype i = m_items.size() - 1; i >= 0; --i) {
        if (m_items.at(i).id == item.id) {
            m_items.removeAt(i);
            removeRecord(m_encoded, i);
            ++removed;
        }
    }
    // The name comes from the file: only a plain name inside the recordings folder
    // is ever used as a path.
    if (item.audioFileName && isSafePathComponent(*item.audioFileName))
        QFile::remove(m_recordingsFolder + QLatin1Char('/') + *item.audioFileName);
    if (removed > 0)
        Q_EMIT itemsChanged();
    save();
}

int HistoryStore::minutesThisWeek() const
{
    const QDateTime since = m_clock().addSecs(-604800);
    // Stored durations are not trusted: what is not a positive number counts as nothing,
    // and a total past what an int holds is shown at that limit.
    double seconds = 0;
    for (const HistoryItem &item : m_items)
        if (item.createdAt > since && std::isfinite(item.duration) && item.duration > 0)
            seconds += item.duration;
    const double minutes = std::round(seconds / 60.0);
    if (!(minutes < double(std::numeric_limits<int>::max())))
        return std::numeric_limits<int>::max();
    return static_cast<int>(minutes);
}

} // namespace sorvane
