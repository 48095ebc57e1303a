#include "Services/HistoryStore.h"

#include "AppPaths.h"
#include "Support/SafePath.h"
#include "Support/StoredJson.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <algorithm>
#include <cmath>
#include <numeric>

namespace sorvane {

HistoryStore::Options HistoryStore::defaultOptions()
{
    return {AppPaths::history(), AppPaths::recordings(), [] { return QDateTime::currentDateTimeUtc(); }};
}

HistoryStore::HistoryStore(Options options, QObject *parent)
    : QObject(parent), m_path(std::move(options.path)), m_recordingsFolder(std::move(options.recordingsFolder)),
      m_clock(std::move(options.clock))
{
    (void)AppPaths::prepare();
    load();
}

void HistoryStore::load()
{
    QFile file(m_path);
    if (!file.exists())
        return;
    const auto fail = [this] { m_unreadableFileOnDisk = true; };
    if (!file.open(QIODevice::ReadOnly))
        return fail();
    const auto document = storedjson::parseDocument(file.readAll());
    if (!document || !document->isArray())
        return fail();
    const QJsonArray array = document->array();
    QList<HistoryItem> items;
    items.reserve(array.size());
    for (const QJsonValue &value : array) {
        auto item = HistoryItem::fromJson(value);
        if (!item)
            return fail(); // one bad record fails the whole file
        items.append(std::move(*item));
    }
    QList<qsizetype> order(items.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&](qsizetype a, qsizetype b) { return items.at(a).createdAt > items.at(b).createdAt; });
    m_items.reserve(items.size());
    for (qsizetype index : std::as_const(order)) {
        const QJsonObject stored = array.at(index).toObject();
        m_encoded.append(HistoryItem::isWrittenForm(stored) ? stored : items.at(index).toJson());
        m_items.append(std::move(items[index]));
    }
}

HistoryStore::~HistoryStore() = default;

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
    if (m_unreadableFileOnDisk) {
        // Keep what could not be read for the user instead of overwriting it;
        // when even that fails, the old file stays and this save waits.
        if (QFileInfo::exists(m_path) && !storedjson::moveAside(m_path))
            return;
        m_unreadableFileOnDisk = false;
    }
    // A copy that the writing thread reads while this list changes on.
    m_writer.write([path = m_path, records = m_encoded] {
        (void)storedjson::writeFileAtomically(path, storedjson::encode(records));
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
    double seconds = 0;
    for (const HistoryItem &item : m_items)
        if (item.createdAt > since)
            seconds += item.duration;
    return static_cast<int>(std::round(seconds / 60.0));
}

} // namespace sorvane
