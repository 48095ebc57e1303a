#include "Command/AgentCompletionNotice.h"

namespace sorvane::AgentCompletionNotice {

QString body(bool pasted, bool copiedToClipboard, const QString &targetApplicationName, const QString &pasteKeyName)
{
    if (pasted) {
        // The name is used as it is, untrimmed; only an empty one drops the place.
        const QString place = targetApplicationName.isEmpty() ? QString() : QStringLiteral(" into ") + targetApplicationName;
        return QStringLiteral("Pasted") + place
            + (copiedToClipboard ? QStringLiteral(" and copied to the clipboard.") : QStringLiteral("."));
    }
    if (copiedToClipboard)
        return pasteKeyName.isEmpty()
                   ? QStringLiteral("Copied to the clipboard.")
                   : QStringLiteral("Copied to the clipboard \u2014 press ") + pasteKeyName + QStringLiteral(" to paste.");
    return QStringLiteral("The result is ready in the Command panel.");
}

} // namespace sorvane::AgentCompletionNotice
