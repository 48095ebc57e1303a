#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <QUuid>
#include <optional>

namespace sorvane {

// One finished dictation, as the history shows and stores it.
struct HistoryItem {
    QUuid id;
    QDateTime createdAt;
    QString text;
    double duration = 0; // seconds of recording
    QString modelID;
    // A kept recording in the recordings folder; records made here never have one.
    std::optional<QString> audioFileName;

    friend bool operator==(const HistoryItem &, const HistoryItem &) = default;

    // A new record with a fresh identity.
    static HistoryItem make(QDateTime createdAt, QString text, double duration, QString modelID);

    // The name of the catalogue model that transcribed it, or "Local model".
    QString modelName() const;
    // The recording's length to the nearest second, "m:ss".
    QString durationLabel() const;

    // The stored form; keys "audioFileName" (only when present), "createdAt",
    // "duration", "id", "modelID", "text".
    QJsonObject toJson() const;
    // Every key except "audioFileName" is required.
    static std::optional<HistoryItem> fromJson(const QJsonValue &value);
    // Whether a stored object that decodes is exactly what toJson() writes for it
    // (no other keys, upper-case identity, date in whole seconds UTC), so it can be
    // written back as it is.
    static bool isWrittenForm(const QJsonObject &object);
};

} // namespace sorvane
