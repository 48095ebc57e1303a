#pragma once

#include <QString>

namespace sorvane::AgentCompletionNotice {

// The body of the "Command finished" notification.
QString body(bool pasted, bool copiedToClipboard, const QString &targetApplicationName);

} // namespace sorvane::AgentCompletionNotice
