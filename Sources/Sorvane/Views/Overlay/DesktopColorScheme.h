#pragma once

#include <QDBusMessage>
#include <QObject>
#include <optional>

namespace sorvane {

// The desktop's light or dark preference, read from the desktop portal's
// org.freedesktop.appearance color-scheme and followed while it changes. Dark when
// the desktop states no preference or has no portal.
class DesktopColorScheme : public QObject {
    Q_OBJECT

public:
    explicit DesktopColorScheme(QObject *parent = nullptr);

    bool isDark() const { return m_dark; }
    // The portal's value: 0 no preference, 1 dark, 2 light.
    static bool isDarkScheme(std::optional<uint> value);

Q_SIGNALS:
    void changed();

private Q_SLOTS:
    // SettingChanged(namespace, key, value) of the portal.
    void settingChanged(const QDBusMessage &message);

private:
    void setScheme(std::optional<uint> value);

    bool m_dark = true;
};

} // namespace sorvane
