#include "Services/Shell/Updater/UpdateWindowModel.h"

#include <algorithm>

namespace sorvane {

UpdateWindowModel::UpdateWindowModel(QString currentVersion, QObject *parent)
    : QObject(parent), m_currentVersion(std::move(currentVersion))
{
}

UpdateWindowTexts UpdateWindowModel::textsFor(Stage stage, UpdateStage foundStage, const QString &version,
                                              const QString &currentVersion, const QString &message)
{
    switch (stage) {
    case Stage::Hidden:
        return {};
    case Stage::Checking:
        return {QStringLiteral("Checking for updates\u2026"), {}, {}, QStringLiteral("Cancel"), true};
    case Stage::Found:
        if (foundStage == UpdateStage::NotDownloaded)
            return {QStringLiteral("A new version of Sorvane is available"),
                    QStringLiteral("Sorvane %1 is now available \u2014 you have %2. Would you like to download it now?")
                        .arg(version, currentVersion),
                    QStringLiteral("Install Update"), QStringLiteral("Remind Me Later"), false};
        return {QStringLiteral("A new version of Sorvane is ready"),
                QStringLiteral("Sorvane %1 has been downloaded and is ready to use. Would you like to install it and "
                               "relaunch Sorvane now?")
                    .arg(version),
                QStringLiteral("Install and Relaunch"), QStringLiteral("Remind Me Later"), false};
    case Stage::NotFound:
        return {QStringLiteral("You\u2019re up to date"),
                QStringLiteral("Sorvane %1 is the newest version available.").arg(currentVersion),
                QStringLiteral("OK"), {}, false};
    case Stage::Error:
        return {QStringLiteral("Update failed"), message, QStringLiteral("OK"), {}, false};
    case Stage::Downloading:
        return {QStringLiteral("Downloading update\u2026"), {}, {}, QStringLiteral("Cancel"), true};
    case Stage::Extracting:
        return {QStringLiteral("Preparing update\u2026"), {}, {}, {}, true};
    case Stage::ReadyToInstall:
        return {QStringLiteral("Ready to install"),
                QStringLiteral("Sorvane %1 is ready. It is installed when Sorvane relaunches.").arg(version),
                QStringLiteral("Install and Relaunch"), QStringLiteral("Later"), false};
    case Stage::Installing:
        return {QStringLiteral("Installing update\u2026"), {}, {}, {}, true};
    case Stage::Installed:
        return {QStringLiteral("Sorvane was updated"),
                QStringLiteral("Sorvane is now at version %1.").arg(currentVersion), QStringLiteral("OK"), {}, false};
    }
    return {};
}

UpdateWindowTexts UpdateWindowModel::texts() const
{
    return textsFor(m_stage, m_foundStage, m_version, m_currentVersion, m_message);
}

QString UpdateWindowModel::stageText() const
{
    switch (m_stage) {
    case Stage::Hidden: return QStringLiteral("hidden");
    case Stage::Checking: return QStringLiteral("checking");
    case Stage::Found: return QStringLiteral("found");
    case Stage::NotFound: return QStringLiteral("notFound");
    case Stage::Error: return QStringLiteral("error");
    case Stage::Downloading: return QStringLiteral("downloading");
    case Stage::Extracting: return QStringLiteral("extracting");
    case Stage::ReadyToInstall: return QStringLiteral("readyToInstall");
    case Stage::Installing: return QStringLiteral("installing");
    case Stage::Installed: return QStringLiteral("installed");
    }
    return {};
}

double UpdateWindowModel::progress() const
{
    if (m_stage != Stage::Downloading || m_expected == 0)
        return -1;
    return std::min(1.0, double(m_received) / double(m_expected));
}

void UpdateWindowModel::clearAnswers()
{
    m_cancel = nullptr;
    m_acknowledge = nullptr;
    m_reply = nullptr;
}

void UpdateWindowModel::enter(Stage stage, bool focus)
{
    m_stage = stage;
    Q_EMIT changed();
    if (focus)
        Q_EMIT focusRequested();
}

void UpdateWindowModel::choosePrimary()
{
    // Each answer is taken out first: the updater may show the next step from inside it.
    if (auto reply = std::exchange(m_reply, nullptr)) {
        m_cancel = nullptr;
        return reply(UpdateChoice::Install);
    }
    if (auto acknowledge = std::exchange(m_acknowledge, nullptr))
        return acknowledge();
}

void UpdateWindowModel::chooseSecondary()
{
    if (auto reply = std::exchange(m_reply, nullptr))
        return reply(UpdateChoice::Dismiss);
    if (auto cancel = std::exchange(m_cancel, nullptr))
        return cancel();
}

void UpdateWindowModel::closeWindow()
{
    if (m_reply || m_cancel)
        return chooseSecondary();
    if (m_acknowledge)
        return choosePrimary();
    if (m_stage == Stage::Installed)
        enter(Stage::Hidden, false);
}

void UpdateWindowModel::showUpdateInFocus()
{
    if (isActive())
        Q_EMIT focusRequested();
}

void UpdateWindowModel::showUserInitiatedUpdateCheck(std::function<void()> cancellation)
{
    clearAnswers();
    m_cancel = std::move(cancellation);
    enter(Stage::Checking, true);
}

void UpdateWindowModel::showUpdateFound(const AppcastItem &item, UpdateStage stage,
                                        std::function<void(UpdateChoice)> reply)
{
    clearAnswers();
    m_version = item.displayVersion;
    m_foundStage = stage;
    m_reply = std::move(reply);
    enter(Stage::Found, true);
}

void UpdateWindowModel::showUpdateNotFound(const QString &message, std::function<void()> acknowledgement)
{
    clearAnswers();
    m_message = message;
    m_acknowledge = std::move(acknowledgement);
    enter(Stage::NotFound, true);
}

void UpdateWindowModel::showUpdaterError(const QString &message, std::function<void()> acknowledgement)
{
    clearAnswers();
    m_message = message;
    m_acknowledge = std::move(acknowledgement);
    enter(Stage::Error, true);
}

void UpdateWindowModel::showDownloadInitiated(std::function<void()> cancellation)
{
    clearAnswers();
    m_cancel = std::move(cancellation);
    m_expected = 0;
    m_received = 0;
    enter(Stage::Downloading, false);
}

void UpdateWindowModel::showDownloadDidReceiveExpectedContentLength(quint64 length)
{
    m_expected = length;
    Q_EMIT changed();
}

void UpdateWindowModel::showDownloadDidReceiveData(quint64 length)
{
    m_received += length;
    Q_EMIT changed();
}

void UpdateWindowModel::showDownloadDidStartExtractingUpdate()
{
    clearAnswers();
    enter(Stage::Extracting, false);
}

void UpdateWindowModel::showExtractionReceivedProgress(double)
{
}

void UpdateWindowModel::showReadyToInstallAndRelaunch(std::function<void(UpdateChoice)> reply)
{
    clearAnswers();
    m_reply = std::move(reply);
    enter(Stage::ReadyToInstall, true);
}

void UpdateWindowModel::showInstallingUpdate()
{
    clearAnswers();
    enter(Stage::Installing, false);
}

void UpdateWindowModel::showUpdateInstalledAndRelaunched(bool, std::function<void()> acknowledgement)
{
    clearAnswers();
    m_acknowledge = std::move(acknowledgement);
    enter(Stage::Installed, true);
}

void UpdateWindowModel::dismissUpdateInstallation()
{
    clearAnswers();
    if (m_stage == Stage::Hidden)
        return;
    enter(Stage::Hidden, false);
    Q_EMIT closeRequested();
}

} // namespace sorvane
