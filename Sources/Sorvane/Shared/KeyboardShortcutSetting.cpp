#include "Shared/KeyboardShortcutSetting.h"

#include "Platform/SettingsStore.h"
#include "Support/StoredJson.h"

#include <QHash>
#include <QHashFunctions>
#include <QJsonDocument>
#include <limits>

namespace sorvane {

QString KeyboardShortcutSetting::displayName() const
{
    QString text;
    if (control)
        text += QStringLiteral("Ctrl+");
    if (option)
        text += QStringLiteral("Alt+");
    if (shift)
        text += QStringLiteral("Shift+");
    if (command)
        text += QStringLiteral("Super+");
    return text + keyLabel;
}

QJsonObject KeyboardShortcutSetting::toJson() const
{
    return QJsonObject{
        {QStringLiteral("keyCode"), static_cast<qint64>(keyCode)},
        {QStringLiteral("keyLabel"), keyLabel},
        {QStringLiteral("command"), command},
        {QStringLiteral("option"), option},
        {QStringLiteral("control"), control},
        {QStringLiteral("shift"), shift},
    };
}

std::optional<KeyboardShortcutSetting> KeyboardShortcutSetting::fromJson(const QJsonValue &value)
{
    if (!value.isObject())
        return std::nullopt;
    storedjson::ObjectReader reader(value.toObject());
    KeyboardShortcutSetting shortcut;
    const qint64 code = reader.integer(QStringLiteral("keyCode"));
    shortcut.keyLabel = reader.string(QStringLiteral("keyLabel"));
    shortcut.command = reader.boolean(QStringLiteral("command"));
    shortcut.option = reader.boolean(QStringLiteral("option"));
    shortcut.control = reader.boolean(QStringLiteral("control"));
    shortcut.shift = reader.boolean(QStringLiteral("shift"));
    // The key code is an unsigned 32-bit field: a negative or larger number is no key.
    if (!reader.ok() || code < 0 || code > std::numeric_limits<quint32>::max())
        return std::nullopt;
    shortcut.keyCode = static_cast<quint32>(code);
    return shortcut;
}

void KeyboardShortcutSetting::save(SettingsStore &store, const QString &key) const
{
    store.setValue(key, QJsonDocument(toJson()).toJson(QJsonDocument::Compact));
}

KeyboardShortcutSetting KeyboardShortcutSetting::load(const SettingsStore &store, const QString &key,
                                                      const KeyboardShortcutSetting &fallback)
{
    const auto bytes = store.bytesValue(key);
    if (!bytes)
        return fallback;
    const auto document = storedjson::parseDocument(*bytes);
    if (!document || !document->isObject())
        return fallback;
    return fromJson(document->object()).value_or(fallback);
}

QSet<KeyboardShortcutSetting> KeyboardShortcutSetting::conflicts(const QList<KeyboardShortcutSetting> &shortcuts)
{
    QHash<KeyboardShortcutSetting, int> counts;
    for (const auto &shortcut : shortcuts)
        ++counts[shortcut];
    QSet<KeyboardShortcutSetting> repeated;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        if (it.value() > 1)
            repeated.insert(it.key());
    return repeated;
}

size_t qHash(const KeyboardShortcutSetting &shortcut, size_t seed) noexcept
{
    const int flags = (shortcut.command ? 1 : 0) | (shortcut.option ? 2 : 0) | (shortcut.control ? 4 : 0)
        | (shortcut.shift ? 8 : 0);
    return qHashMulti(seed, shortcut.keyCode, shortcut.keyLabel, flags);
}

} // namespace sorvane
