#pragma once

#include "Platform/SystemLinks.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace sorvane {

// The desktop's settings pages: for the microphone, the first sound-settings program
// found on PATH (the desktop's own control centre, else a mixer that shows the input
// devices); there is no screen-recording page on this desktop.
class DesktopSystemLinks final : public SystemLinks {
public:
    struct Command {
        QString program;
        QStringList arguments;
    };

    bool open(Page page) override;

    // The command that would open a page, when such a program is installed.
    static std::optional<Command> commandFor(Page page);
};

} // namespace sorvane
