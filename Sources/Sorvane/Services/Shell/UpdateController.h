#pragma once

#include "Services/Shell/Updater/UpdatePresentation.h"
#include "Services/Shell/Updater/UpdateWindowModel.h"
#include "Services/Shell/Updater/Updater.h"

#include <QObject>
#include <QString>
#include <memory>
#include <optional>

namespace sorvane {

class UpdateTrackingUserDriver;

// The program's update state: decides once whether updating is configured (a secure
// feed address and a signing key fixed at build time), owns the updater, mirrors its
// flags and follows every step of an update into one published `presentation`,
// which the window, the menus and the settings show.
class UpdateController : public QObject, public UpdaterDelegate {
    Q_OBJECT
    Q_PROPERTY(bool isConfigured READ isConfigured CONSTANT)
    Q_PROPERTY(bool canCheckForUpdates READ canCheckForUpdates NOTIFY canCheckForUpdatesChanged)
    Q_PROPERTY(bool automaticallyDownloadsUpdates READ automaticallyDownloadsUpdates WRITE
                   setAutomaticallyDownloadsUpdates NOTIFY automaticallyDownloadsUpdatesChanged)
    Q_PROPERTY(QString presentationLabel READ presentationLabel NOTIFY presentationChanged)
    Q_PROPERTY(bool presentationIsIdle READ presentationIsIdle NOTIFY presentationChanged)
    Q_PROPERTY(sorvane::UpdateWindowModel *window READ window CONSTANT)

public:
    struct Configuration {
        QString feedUrl;   // untrimmed, as built in
        QString publicKey; // base64, untrimmed
        QString currentVersion;
        QString targetPath; // the portable image, when the program runs as one
        std::chrono::milliseconds firstCheckDelay = std::chrono::minutes(1);
    };

    // The build's feed and key, this version, and $APPIMAGE.
    static Configuration buildConfiguration();
    // A feed that, trimmed, is a URL with the https scheme (any case) and a host, and
    // a key that is not blank.
    static bool isConfiguredBy(const QString &feedUrl, const QString &publicKey);

    explicit UpdateController(const Configuration &configuration, bool startingUpdater = true,
                              QObject *parent = nullptr);
    ~UpdateController() override;

    bool isConfigured() const { return m_isConfigured; }
    bool canCheckForUpdates() const { return m_canCheckForUpdates; }
    bool automaticallyDownloadsUpdates() const { return m_automaticallyDownloadsUpdates; }
    // Passed to the updater only when updating is configured.
    void setAutomaticallyDownloadsUpdates(bool on);

    UpdatePresentation presentation() const { return m_presentation; }
    QString presentationLabel() const { return m_presentation.label(); }
    bool presentationIsIdle() const { return m_presentation.kind == UpdatePresentation::Kind::Idle; }
    std::optional<QString> availableVersion() const { return m_availableVersion; }

    Updater *updater() const { return m_updater.get(); }
    UpdateWindowModel *window() const { return m_window.get(); }

    // "Check for Updates…" of either menu: only when a check is possible, it shows
    // "checking" and starts a check the user asked for.
    Q_INVOKABLE void checkForUpdatesFromMenu();
    // The window's update entry: starts a check while idle, brings the update window
    // forward while an update session runs, and otherwise (nothing on show) checks.
    Q_INVOKABLE void presentCurrentUpdate();

    // The tracking driver's observer calls (public for the driver only).
    void updateDriverFoundUpdate(const QString &version, UpdateStage stage);
    void updateDriverDidNotFindUpdate();
    void updateDriverFailed();
    void updateDriverStartedDownloading();
    void updateDriverReceivedExpectedContentLength(quint64 length);
    void updateDriverReceivedData(quint64 length);
    void updateDriverStartedExtracting();
    void updateDriverExtractionProgress(double fraction);
    void updateDriverReadyToInstall();
    void updateDriverStartedInstalling();
    void updateDriverFinishedInstalling();
    void updateDriverDismissed();

    // The updater's delegate calls.
    void updaterDidFindValidUpdate(const AppcastItem &item) override;
    void updaterFailedToDownloadUpdate(const AppcastItem &item, const QString &error) override;
    void updaterWillInstallUpdate(const AppcastItem &item) override;
    void updaterWillRelaunchApplication() override;

Q_SIGNALS:
    void canCheckForUpdatesChanged();
    void automaticallyDownloadsUpdatesChanged();
    void presentationChanged();
    // The new image is in place; the program should end and start again.
    void relaunchRequested(const QString &program);

private:

    void setPresentation(const UpdatePresentation &presentation);
    void refreshDownloadProgress();
    void mirrorCanCheck();

    bool m_isConfigured = false;
    bool m_canCheckForUpdates = false;
    bool m_automaticallyDownloadsUpdates = false;
    UpdatePresentation m_presentation;
    std::optional<QString> m_availableVersion;
    quint64 m_downloadedBytes = 0;
    quint64 m_expectedDownloadBytes = 0;
    std::unique_ptr<UpdateWindowModel> m_window;
    std::unique_ptr<UpdateTrackingUserDriver> m_userDriver;
    std::unique_ptr<Updater> m_updater;
};

} // namespace sorvane
