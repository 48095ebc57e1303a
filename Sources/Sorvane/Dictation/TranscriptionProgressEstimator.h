#pragma once

#include "Dictation/SpeechModel.h"

#include <QString>

namespace sorvane {

// The synthetic progress curve that keeps the overlay moving while the engine
// reports nothing of its own: each tick closes a share of the distance to the cap,
// never less than a smallest step, slowing sharply from 0.9 on.
namespace TranscriptionProgressEstimator {
inline constexpr double cap = 0.984;
double tick(double progress, SpeechEngine engine);
} // namespace TranscriptionProgressEstimator

// The running recording's elapsed time, whole seconds rounded down: "0:07", "61:40".
// Anything not finite or not above zero is "0:00".
namespace RecordingDurationFormatter {
QString label(double seconds);
} // namespace RecordingDurationFormatter

// A stored dictation's duration, rounded to the nearest second (halves away from
// zero) and never below zero: 59.5 gives "1:00", 3725 gives "62:05".
QString durationLabel(double seconds);

} // namespace sorvane
