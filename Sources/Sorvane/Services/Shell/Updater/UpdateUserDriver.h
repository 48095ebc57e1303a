#pragma once

#include "Services/Shell/Updater/Appcast.h"

#include <QString>
#include <functional>

namespace sorvane {

// How far a found update already is when it is offered.
enum class UpdateStage { NotDownloaded, Downloaded, Installing };

// The user's answer to an offered update.
enum class UpdateChoice { Install, Dismiss };

// Everything the updater shows to the user goes through a user driver: the update
// window's model in the program, a recording fake in tests. Every callback handed to
// a driver is to be called once at most; a call that comes after its session ended
// does nothing.
class UpdateUserDriver {
public:
    virtual ~UpdateUserDriver() = default;

    virtual void showUserInitiatedUpdateCheck(std::function<void()> cancellation) = 0;
    virtual void showUpdateFound(const AppcastItem &item, UpdateStage stage, std::function<void(UpdateChoice)> reply) = 0;
    virtual void showUpdateNotFound(const QString &message, std::function<void()> acknowledgement) = 0;
    virtual void showUpdaterError(const QString &message, std::function<void()> acknowledgement) = 0;
    virtual void showDownloadInitiated(std::function<void()> cancellation) = 0;
    virtual void showDownloadDidReceiveExpectedContentLength(quint64 length) = 0;
    virtual void showDownloadDidReceiveData(quint64 length) = 0;
    virtual void showDownloadDidStartExtractingUpdate() = 0;
    virtual void showExtractionReceivedProgress(double fraction) = 0;
    virtual void showReadyToInstallAndRelaunch(std::function<void(UpdateChoice)> reply) = 0;
    virtual void showInstallingUpdate() = 0;
    virtual void showUpdateInstalledAndRelaunched(bool relaunched, std::function<void()> acknowledgement) = 0;
    // The session ended without the user's doing: the window closes.
    virtual void dismissUpdateInstallation() = 0;
};

// What the updater tells its owner at the points where the owner may act.
class UpdaterDelegate {
public:
    virtual ~UpdaterDelegate() = default;
    virtual void updaterDidFindValidUpdate(const AppcastItem &item) = 0;
    virtual void updaterFailedToDownloadUpdate(const AppcastItem &item, const QString &error) = 0;
    virtual void updaterWillInstallUpdate(const AppcastItem &item) = 0;
    virtual void updaterWillRelaunchApplication() = 0;
};

} // namespace sorvane
