#pragma once

#include "Support/Result.h"
#include "Services/Shell/Updater/Appcast.h"
#include "Services/Shell/Updater/UpdateUserDriver.h"

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUrl>
#include <chrono>
#include <memory>
#include <optional>

class QNetworkAccessManager;
class QNetworkReply;

namespace sorvane {

class FileDownload;

// The program's own updater: reads the update feed over HTTPS, offers the newest
// release newer than this build, downloads its portable image over HTTPS (exactly
// the announced number of bytes), checks its Ed25519 signature over the whole file,
// renames it over the running image in one step and asks for a relaunch once this
// process has ended. One session (check, offer, download, install) runs at a time;
// every step is shown through the user driver. Nothing touches the installed image
// unless the whole file arrived and its signature holds.
class Updater : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool canCheckForUpdates READ canCheckForUpdates NOTIFY canCheckForUpdatesChanged)
    Q_PROPERTY(bool automaticallyChecksForUpdates READ automaticallyChecksForUpdates WRITE
                   setAutomaticallyChecksForUpdates NOTIFY automaticallyChecksForUpdatesChanged)
    Q_PROPERTY(bool automaticallyDownloadsUpdates READ automaticallyDownloadsUpdates WRITE
                   setAutomaticallyDownloadsUpdates NOTIFY automaticallyDownloadsUpdatesChanged)

public:
    struct Configuration {
        QUrl feedUrl;
        QByteArray publicKey;   // base64 text
        QString currentVersion; // this build
        QString targetPath;     // the portable image replaced by an update; empty when there is none
        std::chrono::milliseconds checkInterval = std::chrono::hours(24);
        // The first automatic check after start.
        std::chrono::milliseconds firstCheckDelay = std::chrono::minutes(1);
        std::chrono::milliseconds transferTimeout = std::chrono::seconds(60);
    };

    Updater(Configuration configuration, UpdateUserDriver *driver, UpdaterDelegate *delegate,
            QObject *parent = nullptr);
    ~Updater() override;

    // Checks the configuration and, with automatic checks on, schedules them.
    Result<Done, QString> start();
    bool isStarted() const { return m_started; }

    // A check the user asked for: every outcome, nothing found included, is shown.
    void checkForUpdates();
    // A check of the updater's own: only a found update is shown.
    void checkForUpdatesInBackground();

    bool canCheckForUpdates() const { return m_started && !m_session; }
    bool sessionInProgress() const { return m_session.has_value(); }

    bool automaticallyChecksForUpdates() const { return m_automaticChecks; }
    void setAutomaticallyChecksForUpdates(bool on);
    bool automaticallyDownloadsUpdates() const { return m_automaticDownloads; }
    void setAutomaticallyDownloadsUpdates(bool on);

    // Starts a detached waiter that runs `program` once process `pid` has ended.
    static bool relaunchAfterExit(const QString &program, qint64 pid);

Q_SIGNALS:
    void canCheckForUpdatesChanged();
    void automaticallyChecksForUpdatesChanged();
    void automaticallyDownloadsUpdatesChanged();
    // The new image is in place: the program should end now and be started again.
    void relaunchRequested(const QString &program);

private:
    struct Session {
        quint64 id = 0;
        bool userInitiated = false;
        bool silentDownload = false; // automatic download before the offer
        std::optional<AppcastItem> item;
        QString downloadedPath;
    };

    void beginSession(bool userInitiated);
    void feedFinished();
    void offer(UpdateStage stage);
    void answerOffer(UpdateChoice choice);
    void startDownload();
    void downloadProgress(qint64 received);
    void downloadFinished();
    void askToInstall();
    void install();
    void failSession(const QString &message, bool shown, bool downloadFailure = false);
    void endSession();
    void removeDownloadedFile();
    void scheduleNextCheck();
    template <typename... Args>
    std::function<void(Args...)> inSession(std::function<void(Args...)> action);

    Configuration m_configuration;
    UpdateUserDriver *m_driver;
    UpdaterDelegate *m_delegate;
    std::unique_ptr<QNetworkAccessManager> m_network;
    QByteArray m_rawKey;
    bool m_started = false;
    bool m_automaticChecks = false;
    bool m_automaticDownloads = false;
    QTimer m_checkTimer;
    std::optional<Session> m_session;
    quint64 m_lastSessionId = 0;
    QPointer<QNetworkReply> m_feedReply;
    std::unique_ptr<FileDownload> m_download;
    qint64 m_downloadReceived = 0;
    bool m_downloadTooLong = false;
};

} // namespace sorvane
