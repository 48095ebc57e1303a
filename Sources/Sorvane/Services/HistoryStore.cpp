#include "Services/HistoryStore.h"

#include "AppPaths.h"
#include "SafePath.h"
#include "StoredJson.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <algorithm>
#include <cmath>

namespace sorvane {

HistoryStore::HistoryStore(QObject *parent)
    : HistoryStore(AppPaths::history(), AppPaths::recordings(), [] { return QDateTime::currentDateTimeUtc(); },
                   parent)
{
}

HistoryStore::HistoryStore(QString path, QString recordingsFolder, Clock clock, QObject *parent)
    : QObject(parent), m_path(std::move(path)), m_recordingsFolder(std::move(recordingsFolder)),
      m_clock(std::move(clock))
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
    std::stable_sort(items.begin(), items.end(),
                     [](const HistoryItem &a, const HistoryItem &b) { return a.createdAt > b.createdAt; });
    m_items = std::move(items);
}

void HistoryStore::insert(const HistoryItem &item)
{
    m_items.prepend(item);
    Q_EMIT itemsChanged();
    save();
}

void HistoryStore::save()
{
    if (m_unreadableFileOnDisk) {
        // Keep what could not be read for the user instead of overwriting it;
        // when even that fails, the old file stays and this save waits.
        if (QFileInfo::exists(m_path) && !storedjson::moveAside(m_path))
            return;
        m_unreadableFileOnDisk = false;
    }
    QJsonArray array;
    for (const HistoryItem &item : std::as_const(m_items))
        array.append(item.toJson());
    (void)storedjson::writeFileAtomically(m_path, storedjson::encode(array));
}

void HistoryStore::deleteItem(const HistoryItem &item)
{
    const auto removed = m_items.removeIf([&](const HistoryItem &each) { return each.id == item.id; });
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
