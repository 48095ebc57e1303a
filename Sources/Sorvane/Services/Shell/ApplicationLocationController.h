#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QProcessEnvironment>
#include <QString>

namespace sorvane {

// Whether to ask the user to move the program where portable programs live
// (~/Applications or /opt). Only a portable image (run with $APPIMAGE set) can be
// moved at all; a packaged install never asks. The main window's root view shows the
// prompt while `shouldShowPrompt` is true and writes false when the user declines.
class ApplicationLocationController : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool shouldShowPrompt READ shouldShowPrompt WRITE setShouldShowPrompt NOTIFY shouldShowPromptChanged)
    // The running portable image, empty for a packaged install.
    Q_PROPERTY(QString applicationPath READ applicationPath CONSTANT)

public:
    static constexpr auto skipVariable = "SORVANE_SKIP_INSTALL_LOCATION_PROMPT";

    // The environment is captured here; nothing is computed until refresh().
    explicit ApplicationLocationController(const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment(),
                                           const QString &homeDirectory = QString(), QObject *parent = nullptr);

    bool shouldShowPrompt() const { return m_shouldShowPrompt; }
    void setShouldShowPrompt(bool show);
    QString applicationPath() const { return m_applicationPath; }

    // Recomputes the flag (and announces it even when it stays the same).
    Q_INVOKABLE void refresh();
    // Opens a file-manager window with the portable image selected, through
    // org.freedesktop.FileManager1; without one, opens the folder that holds it.
    Q_INVOKABLE void revealCurrentApplication();
    // The session bus, or another one (tests).
    void setBus(const QDBusConnection &bus) { m_bus = bus; }

    // Makes ~/Applications when it is missing and opens it in the file manager; false
    // when the folder could not be made.
    Q_INVOKABLE bool openApplicationsFolder();
    // The prompt's sentence about where the program runs now.
    Q_INVOKABLE QString locationSentence() const { return locationSentence(m_applicationPath); }
    static QString locationSentence(const QString &path);
    QString applicationsFolder() const;

    // True when `path` is ~/Applications or /opt or lies inside either, after following
    // links. A path that only starts with the same letters ("/optical/x") does not count.
    static bool isInstalledApplication(const QString &path, const QString &homeDirectory);

Q_SIGNALS:
    void shouldShowPromptChanged();

private:
    QProcessEnvironment m_environment;
    QString m_homeDirectory;
    QString m_applicationPath;
    bool m_shouldShowPrompt = false;
    QDBusConnection m_bus;
};

} // namespace sorvane
