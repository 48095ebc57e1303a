#include "Platform/DesktopSystemLinks.h"

#include <QProcess>
#include <QStandardPaths>

namespace sorvane {

bool DesktopSystemLinks::open(Page page)
{
    if (page != Page::Microphone)
        return false;
    const struct {
        const char *program;
        QStringList arguments;
    } candidates[] = {
        {"gnome-control-center", {QStringLiteral("sound")}},
        {"pavucontrol", {QStringLiteral("--tab=4")}},
        {"pavucontrol-qt", {}},
    };
    for (const auto &candidate : candidates) {
        const QString program = QStandardPaths::findExecutable(QString::fromLatin1(candidate.program));
        if (!program.isEmpty() && QProcess::startDetached(program, candidate.arguments))
            return true;
    }
    return false;
}

} // namespace sorvane
