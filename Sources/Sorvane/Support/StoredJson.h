#pragma once

#include "Support/TextEnum.h"

#include <QByteArray>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUuid>
#include <optional>

namespace sorvane::storedjson {

// Identifiers are written in the upper-case UUID form, without braces.
QString uuidText(const QUuid &id);
std::optional<QUuid> parseUuid(const QString &text);

// Dates are ISO-8601 text in whole seconds, UTC ("2026-01-31T09:15:00Z"). The reader
// takes any zone or offset, and only dates that the writer can write back.
QString dateText(const QDateTime &date);
std::optional<QDateTime> parseDate(const QString &text);

// Stored files are pretty-printed with sorted keys (QJsonObject keeps its keys sorted).
QByteArray encode(const QJsonObject &object);
QByteArray encode(const QJsonArray &array);

// Parses bytes that must hold one JSON document; nothing when they don't.
std::optional<QJsonDocument> parseDocument(const QByteArray &bytes);

// Replaces the file with the complete new content (readable by its owner only), or
// leaves it untouched.
bool writeFileAtomically(const QString &path, const QByteArray &bytes, QString *error = nullptr);

// Moves a stored file that could not be read out of the way (to
// "<path>.unreadable-<UTC time>") so that the next save does not destroy it.
// Returns the new path, or nothing when there was no file or it could not be moved.
std::optional<QString> moveAside(const QString &path);

// The array of records, each written with its toJson().
template <typename Record>
QJsonArray recordArray(const QList<Record> &records)
{
    QJsonArray array;
    for (const Record &record : records)
        array.append(record.toJson());
    return array;
}

// Reads one JSON object strictly: a missing required key or a value of the wrong
// type marks the whole record as failed. Optional keys read as absent when missing
// or null; present with the wrong type they fail the record as well.
class ObjectReader {
public:
    explicit ObjectReader(const QJsonObject &object) : m_object(object) {}
    explicit ObjectReader(const QJsonValue &value);

    bool ok() const { return m_ok; }
    // The first key that failed, for diagnostics.
    const QString &failedKey() const { return m_failedKey; }
    void fail(const QString &key);
    bool has(const QString &key) const;
    const QJsonObject &object() const { return m_object; }

    QString string(const QString &key);
    bool boolean(const QString &key);
    double number(const QString &key);
    qint64 integer(const QString &key);
    QUuid uuid(const QString &key);
    QDateTime date(const QString &key);
    QStringList strings(const QString &key);
    QJsonArray array(const QString &key);
    QJsonObject object(const QString &key);

    std::optional<QString> optionalString(const QString &key);
    std::optional<bool> optionalBoolean(const QString &key);
    std::optional<double> optionalNumber(const QString &key);
    std::optional<qint64> optionalInteger(const QString &key);
    std::optional<QUuid> optionalUuid(const QString &key);
    std::optional<QDateTime> optionalDate(const QString &key);
    std::optional<QJsonArray> optionalArray(const QString &key);
    std::optional<QJsonObject> optionalObject(const QString &key);

    // An enumeration stored by its text value; an unknown text fails the record.
    template <TextEnumeration Enum>
    Enum enumeration(const QString &key)
    {
        const QString text = string(key);
        if (!m_ok)
            return Enum{};
        if (auto value = fromText<Enum>(text))
            return *value;
        fail(key);
        return Enum{};
    }

    template <TextEnumeration Enum>
    std::optional<Enum> optionalEnumeration(const QString &key)
    {
        const auto text = optionalString(key);
        if (!text)
            return std::nullopt;
        if (auto value = fromText<Enum>(*text))
            return value;
        fail(key);
        return std::nullopt;
    }

    // An array of records, each read with Record::fromJson; one that does not read
    // fails the key (and so the record holding the array).
    template <typename Record>
    QList<Record> records(const QString &key)
    {
        return decodedRecords<Record>(key, array(key)).value_or(QList<Record>());
    }

    template <typename Record>
    std::optional<QList<Record>> optionalRecords(const QString &key)
    {
        const auto items = optionalArray(key);
        if (!items)
            return std::nullopt;
        return decodedRecords<Record>(key, *items);
    }

private:
    template <typename Record>
    std::optional<QList<Record>> decodedRecords(const QString &key, const QJsonArray &items)
    {
        QList<Record> list;
        for (const QJsonValue &item : items) {
            auto record = Record::fromJson(item);
            if (!record) {
                fail(key);
                return std::nullopt;
            }
            list.append(std::move(*record));
        }
        return list;
    }

    std::optional<QJsonValue> present(const QString &key) const;
    QJsonObject m_object;
    bool m_ok = true;
    QString m_failedKey;
};

} // namespace sorvane::storedjson
