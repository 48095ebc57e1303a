#include "Command/AgentCompletionNotice.h"

namespace sorvane::AgentCompletionNotice {

QString body(bool pasted, bool copiedToClipboard, const QString &targetApplicationName)
{
    if (pasted) {
        // The name is used as it is, untrimmed; only an empty one drops the place.
        const QString place = targetApplicationName.isEmpty() ? QString() : QStringLiteral(" into ") + targetApplicationName;
        return QStringLiteral("Pasted") + place
            + (copiedToClipboard ? QStringLiteral(" and copied to the clipboard.") : QStringLiteral("."));
    }
    if (copiedToClipboard)
        return QStringLiteral("Copied to the clipboard \u2014 press Ctrl+V to paste.");
    return QStringLiteral("The result is ready in the Command panel.");
}

} // namespace sorvane::AgentCompletionNotice
