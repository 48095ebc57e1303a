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
    load();
}

void HistoryStore::load()
{
    const std::optional<QByteArray> bytes = m_file.read();
    if (!bytes)
        return;
    const auto fail = [this] { m_file.markUnreadable(); };
    const auto document = storedjson::parseDocument(*bytes);
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
        m_encoded.append(HistoryItem::isWrittenForm(stored) ? stored : rewritten(stored, items.at(index)));
        m_items.append(std::move(items[index]));
    }
}

HistoryStore::~HistoryStore() = default;

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
    m_encoded.prepend(kept.toJson());
    Q_EMIT itemsChanged();
    save(write);
}

void HistoryStore::waitForWrites()
{
    m_writer.waitForWrites();
}

void HistoryStore::save(Write write)
{
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
