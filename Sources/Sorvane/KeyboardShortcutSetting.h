#pragma once

#include "StoredJson.h"

#include <QJsonObject>
#include <QString>
#include <optional>

namespace sorvane {

// One global shortcut: the hardware key code with the label to show and four
// modifier flags. Two shortcuts that differ only in their label are different values.
struct KeyboardShortcutSetting {
    quint32 keyCode = 0;
    QString keyLabel;
    bool command = false;
    bool option = false;
    bool control = false;
    bool shift = false;

    friend bool operator==(const KeyboardShortcutSetting &, const KeyboardShortcutSetting &) = default;

    QJsonObject toJson() const
    {
        return QJsonObject{{QStringLiteral("keyCode"), qint64(keyCode)},
                           {QStringLiteral("keyLabel"), keyLabel},
                           {QStringLiteral("command"), command},
                           {QStringLiteral("option"), option},
                           {QStringLiteral("control"), control},
                           {QStringLiteral("shift"), shift}};
    }

    // All six keys are required; a missing or mistyped one makes the value unreadable.
    static std::optional<KeyboardShortcutSetting> fromJson(const QJsonValue &value)
    {
        storedjson::ObjectReader reader(value);
        KeyboardShortcutSetting shortcut;
        const qint64 keyCode = reader.integer(QStringLiteral("keyCode"));
        if (keyCode < 0 || keyCode > 0xFFFFFFFFLL)
            reader.fail(QStringLiteral("keyCode"));
        shortcut.keyCode = quint32(keyCode);
        shortcut.keyLabel = reader.string(QStringLiteral("keyLabel"));
        shortcut.command = reader.boolean(QStringLiteral("command"));
        shortcut.option = reader.boolean(QStringLiteral("option"));
        shortcut.control = reader.boolean(QStringLiteral("control"));
        shortcut.shift = reader.boolean(QStringLiteral("shift"));
        if (!reader.ok())
            return std::nullopt;
        return shortcut;
    }
};

} // namespace sorvane
