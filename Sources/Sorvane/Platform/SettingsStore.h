#pragma once

#include "Support/StoredFile.h"

#include <QByteArray>
#include <QJsonObject>
#include <QMap>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <variant>

namespace sorvane {

// One stored setting. The kinds are kept apart because readers decide by the
// stored kind ("when it is a Bool ...").
using SettingValue = std::variant<bool, qint64, double, QString, QStringList, QByteArray>;

// The program's user settings: one value per key.
class SettingsStore {
public:
    virtual ~SettingsStore() = default;

    virtual std::optional<SettingValue> value(const QString &key) const = 0;
    virtual void setValue(const QString &key, const SettingValue &value) = 0;
    virtual void remove(const QString &key) = 0;
    virtual QStringList keys() const = 0;

    bool contains(const QString &key) const { return value(key).has_value(); }

    // Gets a sentence for the user when the settings could not be saved (once for a run
    // of failures) or an unreadable settings file was set aside.
    using Notice = std::function<void(const QString &message)>;
    virtual void setNotice(Notice notice) { m_notice = std::move(notice); }

protected:
    void tell(const QString &message) const
    {
        if (m_notice)
            m_notice(message);
    }

public:

    // Each gives the value only when it is stored with exactly that kind.
    std::optional<bool> boolValue(const QString &key) const { return as<bool>(key); }
    std::optional<qint64> integerValue(const QString &key) const { return as<qint64>(key); }
    std::optional<double> doubleValue(const QString &key) const { return as<double>(key); }
    std::optional<QString> stringValue(const QString &key) const { return as<QString>(key); }
    std::optional<QStringList> stringListValue(const QString &key) const { return as<QStringList>(key); }
    std::optional<QByteArray> bytesValue(const QString &key) const { return as<QByteArray>(key); }

private:
    Notice m_notice;

    template <typename T>
    std::optional<T> as(const QString &key) const
    {
        const auto stored = value(key);
        if (stored && std::holds_alternative<T>(*stored))
            return std::get<T>(*stored);
        return std::nullopt;
    }
};

// Settings kept in one JSON file, rewritten atomically on every change.
// Each value is stored as an object naming its kind: {"bool": true}, {"int": 3},
// {"double": 0.5}, {"string": "a"}, {"strings": ["a"]}, {"bytes": "<base64>"}.
class JsonFileSettingsStore final : public SettingsStore {
public:
    enum class Mode { ReadWrite, ReadOnly };
    explicit JsonFileSettingsStore(QString path, Mode mode = Mode::ReadWrite);

    // $XDG_CONFIG_HOME/Sorvane/settings.json
    static QString defaultPath();
    // The earlier product's settings, read once for migration.
    static QString legacyPath();

    const QString &path() const { return m_file.path(); }

    std::optional<SettingValue> value(const QString &key) const override;
    void setValue(const QString &key, const SettingValue &value) override;
    void remove(const QString &key) override;
    QStringList keys() const override;

    // What a settings file holds: the values, and the entries of a kind this version
    // does not know (written by a newer one, say), kept as they were.
    struct Contents {
        QMap<QString, SettingValue> values;
        QJsonObject unknownEntries;
    };

    // An unknown entry is written back unchanged unless a value of the same key replaces it.
    static QByteArray encode(const QMap<QString, SettingValue> &values, const QJsonObject &unknownEntries = {});
    // Nothing when the bytes are no settings file.
    static std::optional<Contents> decodeContents(const QByteArray &bytes);
    // The values alone: entries of an unknown kind are left out.
    static std::optional<QMap<QString, SettingValue>> decode(const QByteArray &bytes);

private:
    void save();

    StoredFile m_file;
    Mode m_mode;
    QMap<QString, SettingValue> m_values;
    QJsonObject m_unknownEntries;
};

} // namespace sorvane
