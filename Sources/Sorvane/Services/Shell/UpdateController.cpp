#include "Services/Shell/UpdateController.h"

#include "BuildConfig.h"
#include "Services/Shell/Updater/UpdateWindowModel.h"

#include <QPointer>
#include <QProcessEnvironment>
#include <QUrl>

namespace sorvane {

// Records each step for the controller, then hands it on unchanged to the window's
// driver; it never answers the updater itself.
class UpdateTrackingUserDriver : public UpdateUserDriver {
public:
    UpdateTrackingUserDriver(UpdateWindowModel *standardDriver, UpdateController *observer)
        : m_standard(standardDriver), m_observer(observer)
    {
    }

    void showUserInitiatedUpdateCheck(std::function<void()> cancellation) override
    {
        m_standard->showUserInitiatedUpdateCheck(std::move(cancellation));
    }
    void showUpdateFound(const AppcastItem &item, UpdateStage stage, std::function<void(UpdateChoice)> reply) override
    {
        if (m_observer)
            m_observer->updateDriverFoundUpdate(item.displayVersion, stage);
        m_standard->showUpdateFound(item, stage, std::move(reply));
    }
    void showUpdateNotFound(const QString &message, std::function<void()> acknowledgement) override
    {
        if (m_observer)
            m_observer->updateDriverDidNotFindUpdate();
        m_standard->showUpdateNotFound(message, std::move(acknowledgement));
    }
    void showUpdaterError(const QString &message, std::function<void()> acknowledgement) override
    {
        if (m_observer)
            m_observer->updateDriverFailed();
        m_standard->showUpdaterError(message, std::move(acknowledgement));
    }
    void showDownloadInitiated(std::function<void()> cancellation) override
    {
        if (m_observer)
            m_observer->updateDriverStartedDownloading();
        m_standard->showDownloadInitiated(std::move(cancellation));
    }
    void showDownloadDidReceiveExpectedContentLength(quint64 length) override
    {
        if (m_observer)
            m_observer->updateDriverReceivedExpectedContentLength(length);
        m_standard->showDownloadDidReceiveExpectedContentLength(length);
    }
    void showDownloadDidReceiveData(quint64 length) override
    {
        if (m_observer)
            m_observer->updateDriverReceivedData(length);
        m_standard->showDownloadDidReceiveData(length);
    }
    void showDownloadDidStartExtractingUpdate() override
    {
        if (m_observer)
            m_observer->updateDriverStartedExtracting();
        m_standard->showDownloadDidStartExtractingUpdate();
    }
    void showExtractionReceivedProgress(double fraction) override
    {
        if (m_observer)
            m_observer->updateDriverExtractionProgress(fraction);
        m_standard->showExtractionReceivedProgress(fraction);
    }
    void showReadyToInstallAndRelaunch(std::function<void(UpdateChoice)> reply) override
    {
        if (m_observer)
            m_observer->updateDriverReadyToInstall();
        m_standard->showReadyToInstallAndRelaunch(std::move(reply));
    }
    void showInstallingUpdate() override
    {
        if (m_observer)
            m_observer->updateDriverStartedInstalling();
        m_standard->showInstallingUpdate();
    }
    void showUpdateInstalledAndRelaunched(bool relaunched, std::function<void()> acknowledgement) override
    {
        if (m_observer)
            m_observer->updateDriverFinishedInstalling();
        m_standard->showUpdateInstalledAndRelaunched(relaunched, std::move(acknowledgement));
    }
    void dismissUpdateInstallation() override
    {
        // A dismissed check or download must not leave the label on "checking".
        if (m_observer)
            m_observer->updateDriverDismissed();
        m_standard->dismissUpdateInstallation();
    }

private:
    UpdateWindowModel *m_standard;
    QPointer<UpdateController> m_observer;
};

UpdateController::Configuration UpdateController::buildConfiguration()
{
    Configuration configuration;
    configuration.feedUrl = QStringLiteral(SORVANE_FEED_URL);
    configuration.publicKey = QStringLiteral(SORVANE_PUBLIC_ED_KEY);
    configuration.currentVersion = QStringLiteral(SORVANE_VERSION);
    configuration.targetPath = QProcessEnvironment::systemEnvironment().value(QStringLiteral("APPIMAGE"));
    return configuration;
}

bool UpdateController::isConfiguredBy(const QString &feedUrl, const QString &publicKey)
{
    const QUrl url(feedUrl.trimmed(), QUrl::StrictMode);
    // An "https:" address without a host names no server.
    return url.isValid() && !url.scheme().isEmpty() && url.scheme().toLower() == QLatin1String("https")
        && !url.host().isEmpty() && !publicKey.trimmed().isEmpty();
}

UpdateController::UpdateController(const Configuration &configuration, bool startingUpdater, QObject *parent)
    : QObject(parent)
{
    m_isConfigured = isConfiguredBy(configuration.feedUrl, configuration.publicKey);
    m_window = std::make_unique<UpdateWindowModel>(configuration.currentVersion);
    m_userDriver = std::make_unique<UpdateTrackingUserDriver>(m_window.get(), this);

    Updater::Configuration updaterConfiguration;
    updaterConfiguration.feedUrl = QUrl(configuration.feedUrl.trimmed());
    updaterConfiguration.publicKey = configuration.publicKey.trimmed().toLatin1();
    updaterConfiguration.currentVersion = configuration.currentVersion;
    updaterConfiguration.targetPath = configuration.targetPath;
    updaterConfiguration.firstCheckDelay = configuration.firstCheckDelay;
    // Made whether or not updating is configured; started only when it is.
    m_updater = std::make_unique<Updater>(updaterConfiguration, m_userDriver.get(), this);
    connect(m_updater.get(), &Updater::relaunchRequested, this, &UpdateController::relaunchRequested);

    if (startingUpdater && m_isConfigured) {
        if (!m_updater->start())
            setPresentation(UpdatePresentation::failed());
    }
    if (m_isConfigured)
        m_updater->setAutomaticallyChecksForUpdates(true);
    mirrorCanCheck();
    m_automaticallyDownloadsUpdates = m_updater->automaticallyDownloadsUpdates();
    connect(m_updater.get(), &Updater::canCheckForUpdatesChanged, this, &UpdateController::mirrorCanCheck);
    connect(m_updater.get(), &Updater::automaticallyDownloadsUpdatesChanged, this, [this] {
        if (m_automaticallyDownloadsUpdates == m_updater->automaticallyDownloadsUpdates())
            return;
        m_automaticallyDownloadsUpdates = m_updater->automaticallyDownloadsUpdates();
        Q_EMIT automaticallyDownloadsUpdatesChanged();
    });
}

UpdateController::~UpdateController()
{
    // The updater goes first: it may still tell its driver that its session ended.
    m_updater.reset();
}

void UpdateController::mirrorCanCheck()
{
    const bool can = m_isConfigured && m_updater->canCheckForUpdates();
    if (can == m_canCheckForUpdates)
        return;
    m_canCheckForUpdates = can;
    Q_EMIT canCheckForUpdatesChanged();
}

void UpdateController::setAutomaticallyDownloadsUpdates(bool on)
{
    if (m_isConfigured)
        m_updater->setAutomaticallyDownloadsUpdates(on);
}

void UpdateController::setPresentation(const UpdatePresentation &presentation)
{
    if (m_presentation == presentation)
        return;
    m_presentation = presentation;
    Q_EMIT presentationChanged();
}

void UpdateController::checkForUpdatesFromMenu()
{
    if (!m_isConfigured || !m_updater->canCheckForUpdates())
        return;
    setPresentation(UpdatePresentation::checking());
    m_updater->checkForUpdates();
}

void UpdateController::presentCurrentUpdate()
{
    if (!m_isConfigured)
        return;
    if (m_presentation.kind == UpdatePresentation::Kind::Idle && m_updater->canCheckForUpdates()) {
        m_updater->checkForUpdates();
        return;
    }
    if (m_updater->sessionInProgress() && m_window->isActive()) {
        m_window->showUpdateInFocus();
        return;
    }
    // Nothing on show (the offer was put off, or the last attempt failed): a check
    // brings the current update, or the reason there is none, into the window.
    if (m_updater->canCheckForUpdates())
        m_updater->checkForUpdates();
}

void UpdateController::refreshDownloadProgress()
{
    std::optional<double> progress;
    if (m_expectedDownloadBytes != 0)
        progress = std::min(1.0, double(m_downloadedBytes) / double(m_expectedDownloadBytes));
    setPresentation(UpdatePresentation::downloading(m_availableVersion, progress));
}

void UpdateController::updaterDidFindValidUpdate(const AppcastItem &item)
{
    m_availableVersion = item.displayVersion;
    setPresentation(UpdatePresentation::available(item.displayVersion));
}

void UpdateController::updaterFailedToDownloadUpdate(const AppcastItem &, const QString &)
{
    setPresentation(UpdatePresentation::failed());
}

void UpdateController::updaterWillInstallUpdate(const AppcastItem &)
{
    setPresentation(UpdatePresentation::installing());
}

void UpdateController::updaterWillRelaunchApplication()
{
    setPresentation(UpdatePresentation::restarting());
}

void UpdateController::updateDriverFoundUpdate(const QString &version, UpdateStage stage)
{
    m_availableVersion = version;
    if (stage == UpdateStage::Downloaded || stage == UpdateStage::Installing)
        setPresentation(UpdatePresentation::readyToInstall(version));
    else
        setPresentation(UpdatePresentation::available(version));
}

void UpdateController::updateDriverDidNotFindUpdate()
{
    setPresentation(UpdatePresentation::idle());
}

void UpdateController::updateDriverFailed()
{
    setPresentation(UpdatePresentation::failed());
}

void UpdateController::updateDriverStartedDownloading()
{
    m_downloadedBytes = 0;
    m_expectedDownloadBytes = 0;
    setPresentation(UpdatePresentation::downloading(m_availableVersion, std::nullopt));
}

void UpdateController::updateDriverReceivedExpectedContentLength(quint64 length)
{
    m_expectedDownloadBytes = length;
    refreshDownloadProgress();
}

void UpdateController::updateDriverReceivedData(quint64 length)
{
    m_downloadedBytes += length;
    refreshDownloadProgress();
}

void UpdateController::updateDriverStartedExtracting()
{
    setPresentation(UpdatePresentation::preparing(m_availableVersion));
}

void UpdateController::updateDriverExtractionProgress(double)
{
    setPresentation(UpdatePresentation::preparing(m_availableVersion));
}

void UpdateController::updateDriverReadyToInstall()
{
    setPresentation(UpdatePresentation::readyToInstall(m_availableVersion));
}

void UpdateController::updateDriverStartedInstalling()
{
    setPresentation(UpdatePresentation::installing());
}

void UpdateController::updateDriverFinishedInstalling()
{
    setPresentation(UpdatePresentation::idle());
}

void UpdateController::updateDriverDismissed()
{
    using Kind = UpdatePresentation::Kind;
    switch (m_presentation.kind) {
    case Kind::Checking:
        setPresentation(UpdatePresentation::idle());
        break;
    case Kind::Downloading:
    case Kind::Preparing:
    case Kind::ReadyToInstall:
        setPresentation(m_availableVersion ? UpdatePresentation::available(*m_availableVersion)
                                           : UpdatePresentation::idle());
        break;
    default:
        break; // available, failed, installing, restarting and idle stay
    }
}

} // namespace sorvane
