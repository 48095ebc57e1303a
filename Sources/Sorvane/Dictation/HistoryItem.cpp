#include "Dictation/HistoryItem.h"

#include "Dictation/SpeechModel.h"
#include "Support/StoredJson.h"
#include "Dictation/TranscriptionProgressEstimator.h"

#include <cmath>

namespace sorvane {

HistoryItem HistoryItem::make(QDateTime createdAt, QString text, double duration, QString modelID)
{
    return HistoryItem{QUuid::createUuid(), std::move(createdAt), std::move(text), duration, std::move(modelID), {}};
}

QString HistoryItem::durationLabel() const
{
    return sorvane::durationLabel(duration);
}

QString HistoryItem::modelName() const
{
    if (const SpeechModel *model = SpeechModel::find(modelID))
        return model->name;
    return QStringLiteral("Local model");
}

QJsonObject HistoryItem::toJson() const
{
    QJsonObject object{
        {QStringLiteral("id"), storedjson::uuidText(id)},
        {QStringLiteral("createdAt"), storedjson::dateText(createdAt)},
        {QStringLiteral("text"), text},
        // JSON has no infinity or NaN; such a value would make the whole file unreadable.
        {QStringLiteral("duration"), std::isfinite(duration) ? duration : 0.0},
        {QStringLiteral("modelID"), modelID},
    };
    if (audioFileName)
        object.insert(QStringLiteral("audioFileName"), *audioFileName);
    return object;
}

std::optional<HistoryItem> HistoryItem::fromJson(const QJsonValue &value)
{
    storedjson::ObjectReader reader(value);
    HistoryItem item;
    item.id = reader.uuid(QStringLiteral("id"));
    item.createdAt = reader.date(QStringLiteral("createdAt"));
    item.text = reader.string(QStringLiteral("text"));
    item.duration = reader.number(QStringLiteral("duration"));
    item.modelID = reader.string(QStringLiteral("modelID"));
    item.audioFileName = reader.optionalString(QStringLiteral("audioFileName"));
    if (!reader.ok())
        return std::nullopt;
    return item;
}

bool HistoryItem::isWrittenForm(const QJsonObject &object)
{
    const qsizetype keys = object.contains(QStringLiteral("audioFileName")) ? 6 : 5;
    if (object.size() != keys)
        return false;
    // An absent file name is left out, never written as null.
    if (keys == 6 && !object.value(QStringLiteral("audioFileName")).isString())
        return false;
    const QString id = object.value(QStringLiteral("id")).toString();
    for (QChar c : id)
        if (c.isLower())
            return false;
    // "2026-01-31T09:15:00Z": 20 characters; anything longer has an offset or fractions.
    const QString date = object.value(QStringLiteral("createdAt")).toString();
    return date.size() == 20 && date.endsWith(QLatin1Char('Z')) && std::isfinite(object.value(QStringLiteral("duration")).toDouble());
}

} // namespace sorvane
