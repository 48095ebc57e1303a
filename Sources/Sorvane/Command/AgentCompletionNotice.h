#pragma once

#include <QString>

namespace sorvane::AgentCompletionNotice {

// The body of the "Command finished" notification. `pasteKeyName` is the key that
// pastes the clipboard in the target; empty where none does.
QString body(bool pasted, bool copiedToClipboard, const QString &targetApplicationName,
             const QString &pasteKeyName = QStringLiteral("Ctrl+V"));

} // namespace sorvane::AgentCompletionNotice
