#pragma once

#include "Services/Shell/Updater/UpdateUserDriver.h"

#include <QObject>
#include <QString>
#include <functional>

namespace sorvane {

// What the update window shows in each of its states.
struct UpdateWindowTexts {
    QString title;
    QString message;
    QString primaryButton;   // empty: no such button
    QString secondaryButton; // empty: no such button
    bool showsProgress = false;
    friend bool operator==(const UpdateWindowTexts &, const UpdateWindowTexts &) = default;
};

// The update window's own state, the program's standard user driver: every step of
// the updater becomes one state of the window, and the window's buttons answer the
// updater's questions. The screen is a small QML window bound to this object; it is
// made when `focusRequested` first asks for it.
class UpdateWindowModel : public QObject, public UpdateUserDriver {
    Q_OBJECT
    Q_PROPERTY(QString stage READ stageText NOTIFY changed)
    Q_PROPERTY(QString title READ title NOTIFY changed)
    Q_PROPERTY(QString message READ message NOTIFY changed)
    Q_PROPERTY(QString primaryButton READ primaryButton NOTIFY changed)
    Q_PROPERTY(QString secondaryButton READ secondaryButton NOTIFY changed)
    Q_PROPERTY(bool showsProgress READ showsProgress NOTIFY changed)
    // 0 to 1, or -1 while the size is unknown.
    Q_PROPERTY(double progress READ progress NOTIFY changed)
    Q_PROPERTY(bool active READ isActive NOTIFY changed)

public:
    enum class Stage { Hidden, Checking, Found, NotFound, Error, Downloading, Extracting, ReadyToInstall, Installing, Installed };

    explicit UpdateWindowModel(QString currentVersion, QObject *parent = nullptr);

    // The texts of a state (a plain function, so every state is checked by a table).
    static UpdateWindowTexts textsFor(Stage stage, UpdateStage foundStage, const QString &version,
                                      const QString &currentVersion, const QString &message);

    Stage stage() const { return m_stage; }
    QString stageText() const;
    QString title() const { return texts().title; }
    QString message() const { return texts().message; }
    QString primaryButton() const { return texts().primaryButton; }
    QString secondaryButton() const { return texts().secondaryButton; }
    bool showsProgress() const { return texts().showsProgress; }
    double progress() const;
    // Something is on show (an update session is in the window).
    bool isActive() const { return m_stage != Stage::Hidden; }

    // The window's buttons, and its close button (the same as the secondary one, or
    // the only one when there is one).
    Q_INVOKABLE void choosePrimary();
    Q_INVOKABLE void chooseSecondary();
    Q_INVOKABLE void closeWindow();

    // Asks the shell to bring the window up (it is made on first use).
    void showUpdateInFocus();

    void showUserInitiatedUpdateCheck(std::function<void()> cancellation) override;
    void showUpdateFound(const AppcastItem &item, UpdateStage stage, std::function<void(UpdateChoice)> reply) override;
    void showUpdateNotFound(const QString &message, std::function<void()> acknowledgement) override;
    void showUpdaterError(const QString &message, std::function<void()> acknowledgement) override;
    void showDownloadInitiated(std::function<void()> cancellation) override;
    void showDownloadDidReceiveExpectedContentLength(quint64 length) override;
    void showDownloadDidReceiveData(quint64 length) override;
    void showDownloadDidStartExtractingUpdate() override;
    void showExtractionReceivedProgress(double fraction) override;
    void showReadyToInstallAndRelaunch(std::function<void(UpdateChoice)> reply) override;
    void showInstallingUpdate() override;
    void showUpdateInstalledAndRelaunched(bool relaunched, std::function<void()> acknowledgement) override;
    void dismissUpdateInstallation() override;

Q_SIGNALS:
    void changed();
    void focusRequested();
    void closeRequested();

private:
    UpdateWindowTexts texts() const;
    void enter(Stage stage, bool focus);
    void clearAnswers();

    QString m_currentVersion;
    Stage m_stage = Stage::Hidden;
    UpdateStage m_foundStage = UpdateStage::NotDownloaded;
    QString m_version;
    QString m_message;
    quint64 m_expected = 0;
    quint64 m_received = 0;
    std::function<void()> m_cancel;              // checking, downloading
    std::function<void()> m_acknowledge;         // not found, error, installed
    std::function<void(UpdateChoice)> m_reply;   // found, ready to install
};

} // namespace sorvane
