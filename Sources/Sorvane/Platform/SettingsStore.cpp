#include "Platform/SettingsStore.h"

#include "Support/StoredJson.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <cmath>

namespace sorvane {

namespace {

QJsonObject encodeValue(const SettingValue &value)
{
    struct Encoder {
        QJsonObject operator()(bool v) const { return {{QStringLiteral("bool"), v}}; }
        QJsonObject operator()(qint64 v) const { return {{QStringLiteral("int"), QString::number(v)}}; }
        QJsonObject operator()(double v) const { return {{QStringLiteral("double"), v}}; }
        QJsonObject operator()(const QString &v) const { return {{QStringLiteral("string"), v}}; }
        QJsonObject operator()(const QStringList &v) const
        {
            return {{QStringLiteral("strings"), QJsonArray::fromStringList(v)}};
        }
        QJsonObject operator()(const QByteArray &v) const
        {
            return {{QStringLiteral("bytes"), QString::fromLatin1(v.toBase64())}};
        }
    };
    return std::visit(Encoder{}, value);
}

std::optional<SettingValue> decodeValue(const QJsonValue &json)
{
    if (!json.isObject())
        return std::nullopt;
    const QJsonObject object = json.toObject();
    if (object.size() != 1)
        return std::nullopt;
    const QString kind = object.begin().key();
    const QJsonValue value = object.begin().value();
    if (kind == QLatin1String("bool") && value.isBool())
        return SettingValue(value.toBool());
    if (kind == QLatin1String("int") && value.isString()) {
        // Written as text so that every 64-bit value survives.
        bool ok = false;
        const qint64 number = value.toString().toLongLong(&ok);
        if (ok)
            return SettingValue(number);
        return std::nullopt;
    }
    if (kind == QLatin1String("double") && value.isDouble())
        return SettingValue(value.toDouble());
    if (kind == QLatin1String("string") && value.isString())
        return SettingValue(value.toString());
    if (kind == QLatin1String("strings") && value.isArray()) {
        QStringList list;
        for (const QJsonValue &item : value.toArray()) {
            if (!item.isString())
                return std::nullopt;
            list.append(item.toString());
        }
        return SettingValue(list);
    }
    if (kind == QLatin1String("bytes") && value.isString()) {
        const auto decoded = QByteArray::fromBase64Encoding(value.toString().toLatin1(),
                                                            QByteArray::AbortOnBase64DecodingErrors);
        if (decoded)
            return SettingValue(*decoded);
    }
    return std::nullopt;
}

} // namespace

JsonFileSettingsStore::JsonFileSettingsStore(QString path, Mode mode)
    : m_file(std::move(path), QStringLiteral("settings")), m_mode(mode)
{
    m_file.setNotice([this](const QString &message) { tell(message); });
    const std::optional<QByteArray> bytes = m_file.read();
    if (!bytes)
        return;
    if (auto contents = decodeContents(*bytes)) {
        m_values = std::move(contents->values);
        m_unknownEntries = std::move(contents->unknownEntries);
    } else
        m_file.markUnreadable();
}

QString JsonFileSettingsStore::defaultPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/Sorvane/settings.json");
}

QString JsonFileSettingsStore::legacyPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/Brivel Plus/settings.json");
}

std::optional<SettingValue> JsonFileSettingsStore::value(const QString &key) const
{
    const auto it = m_values.constFind(key);
    if (it == m_values.constEnd())
        return std::nullopt;
    return *it;
}

void JsonFileSettingsStore::setValue(const QString &key, const SettingValue &value)
{
    if (m_mode == Mode::ReadOnly)
        return;
    m_values.insert(key, value);
    m_unknownEntries.remove(key);
    save();
}

void JsonFileSettingsStore::remove(const QString &key)
{
    if (m_mode == Mode::ReadOnly || (!m_values.contains(key) && !m_unknownEntries.contains(key)))
        return;
    m_values.remove(key);
    m_unknownEntries.remove(key);
    save();
}

QStringList JsonFileSettingsStore::keys() const
{
    return m_values.keys();
}

QByteArray JsonFileSettingsStore::encode(const QMap<QString, SettingValue> &values, const QJsonObject &unknownEntries)
{
    QJsonObject object = unknownEntries;
    for (auto it = values.constBegin(); it != values.constEnd(); ++it)
        object.insert(it.key(), encodeValue(it.value()));
    return storedjson::encode(object);
}

std::optional<JsonFileSettingsStore::Contents> JsonFileSettingsStore::decodeContents(const QByteArray &bytes)
{
    const auto document = storedjson::parseDocument(bytes);
    if (!document || !document->isObject())
        return std::nullopt;
    Contents contents;
    const QJsonObject object = document->object();
    for (auto it = object.constBegin(); it != object.constEnd(); ++it) {
        if (auto value = decodeValue(it.value()))
            contents.values.insert(it.key(), *value);
        else
            contents.unknownEntries.insert(it.key(), it.value());
    }
    return contents;
}

std::optional<QMap<QString, SettingValue>> JsonFileSettingsStore::decode(const QByteArray &bytes)
{
    auto contents = decodeContents(bytes);
    if (!contents)
        return std::nullopt;
    return std::move(contents->values);
}

void JsonFileSettingsStore::save()
{
    // While an unreadable file cannot be moved aside, the change stays in memory and
    // the next one tries again.
    (void)m_file.write(encode(m_values, m_unknownEntries));
}

} // namespace sorvane
