#pragma once

#include <QMetaType>
#include <QString>
#include <optional>

namespace sorvane {

// Where an update stands, as the window, the menus and the settings show it.
struct UpdatePresentation {
    enum class Kind { Available, Downloading, Preparing, ReadyToInstall, Idle, Checking, Installing, Restarting, Failed };

    Kind kind = Kind::Idle;
    std::optional<QString> version; // available (always), downloading, preparing, ready to install
    std::optional<double> progress; // downloading only, 0 to 1

    static UpdatePresentation idle() { return {}; }
    static UpdatePresentation checking() { return {Kind::Checking, {}, {}}; }
    static UpdatePresentation available(QString version) { return {Kind::Available, std::move(version), {}}; }
    static UpdatePresentation downloading(std::optional<QString> version, std::optional<double> progress)
    {
        return {Kind::Downloading, std::move(version), progress};
    }
    static UpdatePresentation preparing(std::optional<QString> version) { return {Kind::Preparing, std::move(version), {}}; }
    static UpdatePresentation readyToInstall(std::optional<QString> version)
    {
        return {Kind::ReadyToInstall, std::move(version), {}};
    }
    static UpdatePresentation installing() { return {Kind::Installing, {}, {}}; }
    static UpdatePresentation restarting() { return {Kind::Restarting, {}, {}}; }
    static UpdatePresentation failed() { return {Kind::Failed, {}, {}}; }

    // The one-line text: "Update 1.2", "Downloading 13%", "Restart to update", ...
    QString label() const;

    friend bool operator==(const UpdatePresentation &, const UpdatePresentation &) = default;
};

// A download fraction as a whole percentage, halves rounded away from zero.
int wholePercent(double fraction);

} // namespace sorvane

Q_DECLARE_METATYPE(sorvane::UpdatePresentation)
