#include "Services/Shell/Updater/Updater.h"

#include "Services/Shared/FileDownload.h"
#include "Services/Shell/Updater/Ed25519Signature.h"
#include "Platform/ChildProcess.h"

#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QProcess>

namespace sorvane {

namespace {

// A feed is a few kilobytes; anything far beyond that is not one.
constexpr qint64 maximumFeedSize = 4 * 1024 * 1024;

bool isSecure(const QUrl &url)
{
    return url.isValid() && url.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0
        && !url.host().isEmpty();
}

} // namespace

Updater::Updater(Configuration configuration, UpdateUserDriver *driver, UpdaterDelegate *delegate, QObject *parent)
    : QObject(parent), m_configuration(std::move(configuration)), m_driver(driver), m_delegate(delegate),
      m_network(std::make_unique<QNetworkAccessManager>())
{
    m_checkTimer.setSingleShot(true);
    connect(&m_checkTimer, &QTimer::timeout, this, [this] {
        if (canCheckForUpdates())
            checkForUpdatesInBackground();
        scheduleNextCheck();
    });
}

Updater::~Updater()
{
    m_download.reset();
    if (m_feedReply) {
        m_feedReply->disconnect(this);
        m_feedReply->abort();
        delete m_feedReply;
    }
    if (m_session)
        removeDownloadedFile();
}

Result<Done, QString> Updater::start()
{
    if (m_started)
        return Done{};
    if (!isSecure(m_configuration.feedUrl))
        return QStringLiteral("The update feed is not a secure web address.");
    auto key = Ed25519Signature::decodePublicKey(m_configuration.publicKey);
    if (!key)
        return key.error();
    m_rawKey = key.value();
    m_started = true;
    Q_EMIT canCheckForUpdatesChanged();
    scheduleNextCheck();
    return Done{};
}

void Updater::setAutomaticallyChecksForUpdates(bool on)
{
    if (m_automaticChecks == on)
        return;
    m_automaticChecks = on;
    Q_EMIT automaticallyChecksForUpdatesChanged();
    scheduleNextCheck();
}

void Updater::setAutomaticallyDownloadsUpdates(bool on)
{
    if (m_automaticDownloads == on)
        return;
    m_automaticDownloads = on;
    Q_EMIT automaticallyDownloadsUpdatesChanged();
}

void Updater::scheduleNextCheck()
{
    m_checkTimer.stop();
    if (!m_started || !m_automaticChecks)
        return;
    m_checkTimer.start(m_lastSessionId == 0 ? m_configuration.firstCheckDelay : m_configuration.checkInterval);
}

void Updater::checkForUpdates()
{
    beginSession(true);
}

void Updater::checkForUpdatesInBackground()
{
    beginSession(false);
}

template <typename... Args>
std::function<void(Args...)> Updater::inSession(std::function<void(Args...)> action)
{
    // A driver's late answer, or one for an earlier session, does nothing.
    QPointer<Updater> self(this);
    const quint64 id = m_session ? m_session->id : 0;
    auto used = std::make_shared<bool>(false);
    return [self, id, used, action = std::move(action)](Args... args) {
        if (!self || *used || !self->m_session || self->m_session->id != id)
            return;
        *used = true;
        action(args...);
    };
}

void Updater::beginSession(bool userInitiated)
{
    if (!canCheckForUpdates())
        return;
    m_session = Session{++m_lastSessionId, userInitiated, false, {}, {}};
    Q_EMIT canCheckForUpdatesChanged();
    if (userInitiated)
        m_driver->showUserInitiatedUpdateCheck(inSession<>(std::function<void()>([this] { endSession(); })));
    if (!m_session)
        return;

    QNetworkRequest request(m_configuration.feedUrl);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setTransferTimeout(int(m_configuration.transferTimeout.count()));
    m_feedReply = m_network->get(request);
    connect(m_feedReply, &QNetworkReply::downloadProgress, this, [this](qint64 received, qint64) {
        if (received > maximumFeedSize && m_feedReply)
            m_feedReply->abort();
    });
    connect(m_feedReply, &QNetworkReply::finished, this, &Updater::feedFinished);
}

void Updater::feedFinished()
{
    QNetworkReply *reply = m_feedReply;
    if (!reply)
        return;
    m_feedReply = nullptr;
    reply->deleteLater();
    if (!m_session)
        return; // the check was cancelled
    const bool shown = m_session->userInitiated;
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (status.isValid() && (status.toInt() < 200 || status.toInt() > 299))
        return failSession(QStringLiteral("The update feed could not be loaded (HTTP status %1).").arg(status.toInt()),
                           shown);
    if (reply->error() != QNetworkReply::NoError)
        return failSession(QStringLiteral("The update feed could not be loaded: %1").arg(reply->errorString()), shown);
    if (!isSecure(reply->url()))
        return failSession(QStringLiteral("The update feed was not served over a secure connection."), shown);
    const QByteArray body = reply->readAll();
    if (body.size() > maximumFeedSize)
        return failSession(QStringLiteral("The update feed is too large."), shown);

    auto items = parseAppcast(body);
    if (!items)
        return failSession(items.error(), shown);
    auto update = newestUpdate(items.value(), m_configuration.currentVersion);
    if (!update) {
        if (shown) {
            m_driver->showUpdateNotFound(QStringLiteral("You\u2019re up to date."),
                                         inSession<>(std::function<void()>([this] { endSession(); })));
        } else {
            endSession();
        }
        return;
    }
    m_session->item = *update;
    m_delegate->updaterDidFindValidUpdate(*update);
    if (!m_session)
        return;
    if (!shown && m_automaticDownloads) {
        m_session->silentDownload = true;
        startDownload();
        return;
    }
    offer(UpdateStage::NotDownloaded);
}

void Updater::offer(UpdateStage stage)
{
    m_driver->showUpdateFound(*m_session->item, stage,
                              inSession<UpdateChoice>(std::function<void(UpdateChoice)>(
                                  [this](UpdateChoice choice) { answerOffer(choice); })));
}

void Updater::answerOffer(UpdateChoice choice)
{
    if (choice == UpdateChoice::Dismiss)
        return endSession();
    if (!m_session->downloadedPath.isEmpty())
        return install();
    startDownload();
}

void Updater::startDownload()
{
    const AppcastItem item = *m_session->item;
    const bool shown = !m_session->silentDownload;
    if (!isSecure(item.url))
        return failSession(QStringLiteral("The update is not offered over a secure connection."), shown, true);
    if (item.length <= 0)
        return failSession(QStringLiteral("The update feed does not say how large the update is."), shown, true);
    if (m_configuration.targetPath.isEmpty())
        return failSession(QStringLiteral("This copy of Sorvane was installed by the system; update it the same way."),
                           shown, true);

    if (shown) {
        m_driver->showDownloadInitiated(inSession<>(std::function<void()>([this] {
            m_download.reset(); // removes the partial file
            endSession();
        })));
        if (!m_session)
            return;
        m_driver->showDownloadDidReceiveExpectedContentLength(static_cast<quint64>(item.length));
    }
    FileDownload::Options options;
    // Beside the image, so that installing is one rename on one file system.
    options.folder = QFileInfo(m_configuration.targetPath).absolutePath();
    options.transferTimeout = m_configuration.transferTimeout;
    m_downloadReceived = 0;
    m_downloadTooLong = false;
    m_download = std::make_unique<FileDownload>(m_network.get(), item.url, options);
    connect(m_download.get(), &FileDownload::progress, this,
            [this](qint64 received, qint64) { downloadProgress(received); });
    connect(m_download.get(), &FileDownload::finished, this, &Updater::downloadFinished, Qt::QueuedConnection);
    m_download->start();
}

void Updater::downloadProgress(qint64 received)
{
    if (!m_session || !m_session->item)
        return;
    if (received > m_session->item->length) {
        m_downloadTooLong = true;
        m_download->abort();
        return;
    }
    const qint64 delta = received - m_downloadReceived;
    m_downloadReceived = received;
    if (!m_session->silentDownload && delta > 0)
        m_driver->showDownloadDidReceiveData(static_cast<quint64>(delta));
}

void Updater::downloadFinished()
{
    if (!m_download || !m_session)
        return;
    const FileDownload::Outcome outcome = *m_download->outcome();
    m_download.reset();
    const bool shown = !m_session->silentDownload;
    const qint64 expected = m_session->item->length;
    if (m_downloadTooLong)
        return failSession(QStringLiteral("The update is larger than the feed announced."), shown, true);
    if (!outcome)
        return failSession(outcome.error().message(), shown, true);
    m_session->downloadedPath = outcome.value().path;
    if (outcome.value().size != expected)
        return failSession(QStringLiteral("The update is %1 bytes, but the feed announced %2.")
                               .arg(outcome.value().size)
                               .arg(expected),
                           shown, true);

    if (shown)
        m_driver->showDownloadDidStartExtractingUpdate();
    if (!m_session)
        return;
    auto verified = Ed25519Signature::verifyFile(m_rawKey, m_session->item->edSignature, m_session->downloadedPath);
    if (!verified)
        return failSession(verified.error(), shown, true);
    if (shown) {
        m_driver->showExtractionReceivedProgress(1.0);
        if (!m_session)
            return;
        askToInstall();
    } else {
        m_session->silentDownload = false;
        offer(UpdateStage::Downloaded);
    }
}

void Updater::askToInstall()
{
    m_driver->showReadyToInstallAndRelaunch(inSession<UpdateChoice>(std::function<void(UpdateChoice)>(
        [this](UpdateChoice choice) {
            if (choice == UpdateChoice::Install)
                install();
            else
                endSession();
        })));
}

void Updater::install()
{
    const AppcastItem item = *m_session->item;
    m_delegate->updaterWillInstallUpdate(item);
    if (!m_session)
        return;
    m_driver->showInstallingUpdate();
    if (!m_session)
        return;
    const QString target = m_configuration.targetPath;
    const QString downloaded = m_session->downloadedPath;
    // The new image keeps the old one's permissions (it must stay executable).
    const QFile::Permissions permissions = QFileInfo::exists(target)
        ? QFile::permissions(target)
        : QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup
            | QFile::ReadOther | QFile::ExeOther;
    if (!QFile::setPermissions(downloaded, permissions))
        return failSession(QStringLiteral("The update could not be made executable."), true);
    auto moved = FileDownload::moveIntoPlace(downloaded, target);
    if (!moved)
        return failSession(moved.error().message(), true);
    m_session->downloadedPath.clear();
    m_delegate->updaterWillRelaunchApplication();
    endSession();
    Q_EMIT relaunchRequested(target);
}

void Updater::failSession(const QString &message, bool shown, bool downloadFailure)
{
    if (!m_session)
        return;
    m_download.reset();
    removeDownloadedFile();
    if (downloadFailure && m_session->item)
        m_delegate->updaterFailedToDownloadUpdate(*m_session->item, message);
    if (!m_session)
        return;
    if (shown)
        m_driver->showUpdaterError(message, inSession<>(std::function<void()>([this] { endSession(); })));
    else
        endSession();
}

void Updater::endSession()
{
    if (!m_session)
        return;
    m_download.reset();
    if (m_feedReply) {
        QNetworkReply *reply = m_feedReply;
        m_feedReply = nullptr;
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
    removeDownloadedFile();
    m_session.reset();
    m_driver->dismissUpdateInstallation();
    Q_EMIT canCheckForUpdatesChanged();
}

void Updater::removeDownloadedFile()
{
    if (m_session && !m_session->downloadedPath.isEmpty()) {
        QFile::remove(m_session->downloadedPath);
        m_session->downloadedPath.clear();
    }
}

bool Updater::relaunchAfterExit(const QString &program, qint64 pid)
{
    // The waiter outlives us; it starts the new image only once this process is gone,
    // so the new copy does not find the old one still holding the single-instance name.
    const QString script = QStringLiteral(
        "while kill -0 \"$1\" 2>/dev/null; do sleep 0.1; done; exec \"$2\"");
    return startDetachedChild(QStringLiteral("/bin/sh"),
                              {QStringLiteral("-c"), script, QStringLiteral("sorvane-relaunch"),
                               QString::number(pid), program});
}

} // namespace sorvane
