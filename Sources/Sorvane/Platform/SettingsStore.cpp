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
    : m_path(std::move(path)), m_mode(mode)
{
    QFile file(m_path);
    if (!file.exists())
        return;
    if (!file.open(QIODevice::ReadOnly)) {
        m_setAsideBeforeWrite = true;
        return;
    }
    if (auto values = decode(file.readAll()))
        m_values = *values;
    else
        m_setAsideBeforeWrite = true;
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
    save();
}

void JsonFileSettingsStore::remove(const QString &key)
{
    if (m_mode == Mode::ReadOnly || !m_values.contains(key))
        return;
    m_values.remove(key);
    save();
}

QStringList JsonFileSettingsStore::keys() const
{
    return m_values.keys();
}

QByteArray JsonFileSettingsStore::encode(const QMap<QString, SettingValue> &values)
{
    QJsonObject object;
    for (auto it = values.constBegin(); it != values.constEnd(); ++it)
        object.insert(it.key(), encodeValue(it.value()));
    return storedjson::encode(object);
}

std::optional<QMap<QString, SettingValue>> JsonFileSettingsStore::decode(const QByteArray &bytes)
{
    const auto document = storedjson::parseDocument(bytes);
    if (!document || !document->isObject())
        return std::nullopt;
    QMap<QString, SettingValue> values;
    const QJsonObject object = document->object();
    for (auto it = object.constBegin(); it != object.constEnd(); ++it) {
        if (auto value = decodeValue(it.value()))
            values.insert(it.key(), *value);
    }
    return values;
}

void JsonFileSettingsStore::save()
{
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    if (m_setAsideBeforeWrite) {
        // Keep what could not be read instead of overwriting it; while it cannot be
        // moved, the change stays in memory and the next one tries again.
        if (QFileInfo::exists(m_path) && !storedjson::moveAside(m_path))
            return;
        m_setAsideBeforeWrite = false;
    }
    storedjson::writeFileAtomically(m_path, encode(m_values));
}

} // namespace sorvane
