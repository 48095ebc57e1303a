#pragma once

#include <QDBusMessage>
#include <QObject>
#include <optional>

namespace sorvane {

// The desktop's light or dark preference, read from the desktop portal's
// org.freedesktop.appearance color-scheme and followed while it changes. Only a stated
// dark preference is dark: no preference, no portal or an unknown value is light.
// The overlay, the result toast, the tray item and the settings' overlay preview all
// read the one shared() instance.
class DesktopColorScheme : public QObject {
    Q_OBJECT

public:
    explicit DesktopColorScheme(QObject *parent = nullptr);
    // The program's one reader, made on first use and kept by the application.
    static DesktopColorScheme &shared();

    bool isDark() const { return m_dark; }
    // The portal's value as last read: 0 no preference, 1 dark, 2 light; none without one.
    std::optional<uint> scheme() const { return m_scheme; }
    // The portal's value: 0 no preference, 1 dark, 2 light.
    static bool isDarkScheme(std::optional<uint> value);

Q_SIGNALS:
    void changed();

private Q_SLOTS:
    // SettingChanged(namespace, key, value) of the portal.
    void settingChanged(const QDBusMessage &message);

private:
    void setScheme(std::optional<uint> value);

    bool m_dark = false;
    std::optional<uint> m_scheme;
};

} // namespace sorvane
