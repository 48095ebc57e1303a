#include "Services/Dictation/HistoryStore.h"

#include "Shared/AppPaths.h"
#include "Support/SafePath.h"
#include "Support/StoredJson.h"

#include <QFile>
#include <QFileInfo>
#include <QtConcurrent/QtConcurrentRun>
#include <QJsonArray>
#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

namespace sorvane {

HistoryStore::Options HistoryStore::defaultOptions()
{
    return {AppPaths::history(), AppPaths::recordings(), [] { return QDateTime::currentDateTimeUtc(); }};
}

HistoryStore::HistoryStore(Options options, QObject *parent)
    : QObject(parent), m_file(std::move(options.path), QStringLiteral("history")), m_recordingsFolder(std::move(options.recordingsFolder)),
      m_clock(std::move(options.clock))
{
    (void)AppPaths::prepare();
    if (!options.loadInBackground) {
        take(read(m_file.path()));
        return;
    }
    connect(&m_loading, &QFutureWatcher<Loaded>::finished, this, [this] {
        if (!m_loaded) // waitForLoad() may have taken it already
            take(m_loading.result());
    });
    m_loading.setFuture(QtConcurrent::run(&HistoryStore::read, m_file.path()));
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
        loaded.encoded.append(HistoryItem::isWrittenForm(stored) ? stored : items.at(index).toJson());
        loaded.items.append(std::move(items[index]));
    }
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
        // What was dictated while the file was read is newer than all of it.
        m_items.append(std::move(result.items));
        for (const QJsonValue &stored : std::as_const(result.encoded))
            m_encoded.append(stored);
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
    m_loading.waitForFinished();
    take(m_loading.result());
}

HistoryStore::~HistoryStore()
{
    // What was dictated before the file was read is written with it, not lost.
    if (!m_loaded && m_saveWhenLoaded)
        waitForLoad();
}

void HistoryStore::insert(const HistoryItem &item, Write write)
{
    m_items.prepend(item);
    m_encoded.prepend(item.toJson());
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
    m_writer.write([file = &m_file, records = m_encoded] { (void)file->write(storedjson::encode(records)); });
    if (write == Write::Now)
        m_writer.waitForWrites();
}

void HistoryStore::deleteItem(const HistoryItem &item)
{
    qsizetype removed = 0;
    for (qsizetype i = m_items.size() - 1; i >= 0; --i) {
        if (m_items.at(i).id == item.id) {
            m_items.removeAt(i);
            m_encoded.removeAt(i);
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
