#include "Platform/DesktopSystemLinks.h"

#include "Platform/ChildProcess.h"

#include <QProcess>
#include <QStandardPaths>

namespace sorvane {

std::optional<DesktopSystemLinks::Command> DesktopSystemLinks::commandFor(Page page)
{
    if (page != Page::Microphone)
        return std::nullopt;
    // In the order a user of each desktop would expect.
    const Command candidates[] = {
        {QStringLiteral("gnome-control-center"), {QStringLiteral("sound")}},
        {QStringLiteral("systemsettings"), {QStringLiteral("kcm_pulseaudio")}},
        {QStringLiteral("pavucontrol-qt"), {QStringLiteral("--tab=4")}},
        {QStringLiteral("pavucontrol"), {QStringLiteral("--tab=4")}},
    };
    for (const Command &candidate : candidates) {
        const QString path = QStandardPaths::findExecutable(candidate.program);
        if (!path.isEmpty())
            return Command{path, candidate.arguments};
    }
    return std::nullopt;
}

bool DesktopSystemLinks::open(Page page)
{
    const auto command = commandFor(page);
    return command && startDetachedChild(command->program, command->arguments);
}

} // namespace sorvane
