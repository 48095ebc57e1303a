#include "Support/StoredJson.h"

#include <QJsonDocument>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTimeZone>
#include <cmath>

namespace sorvane::storedjson {

QString uuidText(const QUuid &id)
{
    return id.toString(QUuid::WithoutBraces).toUpper();
}

std::optional<QUuid> parseUuid(const QString &text)
{
    // Only the plain 36-character form is accepted, in either case.
    if (text.size() != 36)
        return std::nullopt;
    const QUuid id = QUuid::fromString(text);
    if (id.isNull() && text != QStringLiteral("00000000-0000-0000-0000-000000000000"))
        return std::nullopt;
    return id;
}

QString dateText(const QDateTime &date)
{
    QDateTime utc = date.toUTC();
    utc.setTime(QTime(utc.time().hour(), utc.time().minute(), utc.time().second()));
    return utc.toString(Qt::ISODate);
}

std::optional<QDateTime> parseDate(const QString &text)
{
    QDateTime date = QDateTime::fromString(text, Qt::ISODate);
    if (!date.isValid())
        date = QDateTime::fromString(text, Qt::ISODateWithMs);
    // A date without a zone is ambiguous; stored dates always carry one.
    if (!date.isValid() || date.timeSpec() == Qt::LocalTime)
        return std::nullopt;
    // Only a date that can be written back: an offset can carry a date past the year
    // 9999 (or before the year 1) in UTC, for which the writer has no text; such a date
    // would make the next save write a file that cannot be read.
    const QDateTime utc = date.toUTC();
    if (dateText(utc).isEmpty())
        return std::nullopt;
    return utc;
}

QByteArray encode(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Indented);
}

QByteArray encode(const QJsonArray &array)
{
    return QJsonDocument(array).toJson(QJsonDocument::Indented);
}

std::optional<QJsonDocument> parseDocument(const QByteArray &bytes)
{
    QJsonParseError error;
    QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || document.isNull())
        return std::nullopt;
    return document;
}

bool writeFileAtomically(const QString &path, const QByteArray &bytes, QString *error)
{
    QSaveFile file(path);
    const auto fail = [&file, error] {
        if (error)
            *error = file.errorString();
        file.cancelWriting();
        return false;
    };
    // Owner only, whatever the earlier file or the umask allowed. Unbuffered, so that a
    // full disk fails a write itself and the error says why (a failed flush at commit
    // only says "Unknown error").
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)
        || !file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner))
        return fail();
    // A write cut short by a full disk reports no error; the next one gives the reason.
    for (qsizetype written = 0; written < bytes.size();) {
        const qint64 count = file.write(bytes.constData() + written, bytes.size() - written);
        if (count <= 0)
            return fail();
        written += count;
    }
    if (!file.commit())
        return fail();
    return true;
}

std::optional<QString> moveAside(const QString &path)
{
    if (!QFileInfo::exists(path))
        return std::nullopt;
    const QString stamp = QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString aside = path + QStringLiteral(".unreadable-") + stamp;
    for (int n = 2; QFileInfo::exists(aside); ++n)
        aside = path + QStringLiteral(".unreadable-") + stamp + QLatin1Char('-') + QString::number(n);
    if (!QFile::rename(path, aside))
        return std::nullopt;
    return aside;
}

ObjectReader::ObjectReader(const QJsonValue &value)
{
    if (value.isObject())
        m_object = value.toObject();
    else
        fail(QString());
}

void ObjectReader::fail(const QString &key)
{
    if (m_ok)
        m_failedKey = key;
    m_ok = false;
}

bool ObjectReader::has(const QString &key) const
{
    return present(key).has_value();
}

std::optional<QJsonValue> ObjectReader::present(const QString &key) const
{
    const auto it = m_object.constFind(key);
    if (it == m_object.constEnd() || it->isNull() || it->isUndefined())
        return std::nullopt;
    return *it;
}

QString ObjectReader::string(const QString &key)
{
    if (auto value = optionalString(key))
        return *value;
    fail(key);
    return {};
}

bool ObjectReader::boolean(const QString &key)
{
    if (auto value = optionalBoolean(key))
        return *value;
    fail(key);
    return false;
}

double ObjectReader::number(const QString &key)
{
    if (auto value = optionalNumber(key))
        return *value;
    fail(key);
    return 0;
}

qint64 ObjectReader::integer(const QString &key)
{
    if (auto value = optionalInteger(key))
        return *value;
    fail(key);
    return 0;
}

QUuid ObjectReader::uuid(const QString &key)
{
    if (auto value = optionalUuid(key))
        return *value;
    fail(key);
    return {};
}

QDateTime ObjectReader::date(const QString &key)
{
    if (auto value = optionalDate(key))
        return *value;
    fail(key);
    return {};
}

QStringList ObjectReader::strings(const QString &key)
{
    const QJsonArray items = array(key);
    QStringList result;
    for (const QJsonValue &item : items) {
        if (!item.isString()) {
            fail(key);
            return {};
        }
        result.append(item.toString());
    }
    return result;
}

QJsonArray ObjectReader::array(const QString &key)
{
    if (auto value = optionalArray(key))
        return *value;
    fail(key);
    return {};
}

QJsonObject ObjectReader::object(const QString &key)
{
    if (auto value = optionalObject(key))
        return *value;
    fail(key);
    return {};
}

std::optional<QString> ObjectReader::optionalString(const QString &key)
{
    const auto value = present(key);
    if (!value)
        return std::nullopt;
    if (!value->isString()) {
        fail(key);
        return std::nullopt;
    }
    return value->toString();
}

std::optional<bool> ObjectReader::optionalBoolean(const QString &key)
{
    const auto value = present(key);
    if (!value)
        return std::nullopt;
    if (!value->isBool()) {
        fail(key);
        return std::nullopt;
    }
    return value->toBool();
}

std::optional<double> ObjectReader::optionalNumber(const QString &key)
{
    const auto value = present(key);
    if (!value)
        return std::nullopt;
    if (!value->isDouble()) {
        fail(key);
        return std::nullopt;
    }
    return value->toDouble();
}

std::optional<qint64> ObjectReader::optionalInteger(const QString &key)
{
    const auto number = optionalNumber(key);
    if (!number)
        return std::nullopt;
    // Whole numbers only, and within what a double holds exactly.
    if (std::trunc(*number) != *number || std::fabs(*number) > 9007199254740992.0) {
        fail(key);
        return std::nullopt;
    }
    return static_cast<qint64>(*number);
}

std::optional<QUuid> ObjectReader::optionalUuid(const QString &key)
{
    const auto text = optionalString(key);
    if (!text)
        return std::nullopt;
    if (auto id = parseUuid(*text))
        return id;
    fail(key);
    return std::nullopt;
}

std::optional<QDateTime> ObjectReader::optionalDate(const QString &key)
{
    const auto text = optionalString(key);
    if (!text)
        return std::nullopt;
    if (auto date = parseDate(*text))
        return date;
    fail(key);
    return std::nullopt;
}

std::optional<QJsonArray> ObjectReader::optionalArray(const QString &key)
{
    const auto value = present(key);
    if (!value)
        return std::nullopt;
    if (!value->isArray()) {
        fail(key);
        return std::nullopt;
    }
    return value->toArray();
}

std::optional<QJsonObject> ObjectReader::optionalObject(const QString &key)
{
    const auto value = present(key);
    if (!value)
        return std::nullopt;
    if (!value->isObject()) {
        fail(key);
        return std::nullopt;
    }
    return value->toObject();
}

} // namespace sorvane::storedjson
