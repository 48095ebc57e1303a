#include "HistoryItem.h"

#include "SpeechModel.h"
#include "StoredJson.h"

#include <cmath>

namespace sorvane {

HistoryItem HistoryItem::make(QDateTime createdAt, QString text, double duration, QString modelID)
{
    return HistoryItem{QUuid::createUuid(), std::move(createdAt), std::move(text), duration, std::move(modelID), {}};
}

QString HistoryItem::modelName() const
{
    for (const SpeechModel &model : SpeechModel::catalog())
        if (model.id == modelID)
            return model.name;
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

} // namespace sorvane
