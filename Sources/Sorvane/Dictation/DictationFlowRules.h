#pragma once

#include "Command/AgentModelDescriptor.h"
#include "Command/AgentRuntimeProtocol.h"
#include "Dictation/DictationTypes.h"

#include <QDateTime>
#include <QString>
#include <optional>

// The fixed rules of a dictation that the application state follows: which permission
// keeps it from starting, the texts it shows, and the request of the Smart Dictation
// cleanup. Plain functions, so each is checked on its own.
namespace sorvane::dictationflow {

// How long the overlay stays after each outcome, in seconds.
inline constexpr double permissionHideDelay = 6.0;
inline constexpr double modelMissingHideDelay = 2.2;
inline constexpr double recorderFailureHideDelay = 2.2;
inline constexpr double transcriptionFailureHideDelay = 2.8;
inline constexpr double successHideDelay = 1.25;
inline constexpr double cancelledCommandHideDelay = 0.5;
// The engine's own progress never takes the bar beyond this; the finish sets 1.
inline constexpr double engineProgressCap = 0.97;

// The permission that is missing, if any. Accessibility matters only for automatic paste.
std::optional<PermissionAttention> missingPermission(bool automaticPaste, bool microphoneGranted,
                                                     bool accessibilityGranted);
QString permissionMessage(PermissionAttention attention);

QString modelMissingStatus();  // "Choose a downloaded model."
QString modelMissingBanner();  // "Choose or download a Dictation model."

// The progress after an engine report: never backwards, never past the cap.
double progressAfterEngineReport(double current, double reported);

// The one-shot request that asks the on-device model to clean a transcript up.
AgentRuntimeRequest cleanupRequest(const QString &transcript, const AgentModelDescriptor &model,
                                   const QString &bridgePath, const QString &sessionPath, const QDateTime &now);
QString cleanupInstruction();
QString cleanupTrustedInstructions();
// The answer when it holds text, else the transcript as it was.
QString cleanedOrOriginal(const QString &transcript, const std::optional<QString> &answer);

} // namespace sorvane::dictationflow
