#include "Dictation/TranscriptionProgressEstimator.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace sorvane {

double TranscriptionProgressEstimator::tick(double progress, SpeechEngine engine)
{
    const double remainder = cap - progress;
    const bool parakeet = engine == SpeechEngine::Parakeet;
    double share = 0.01;
    double smallest = parakeet ? 0.0008 : 0.0005;
    if (progress < 0.9) {
        share = parakeet ? 0.075 : 0.035;
        smallest = parakeet ? 0.012 : 0.006;
    }
    const double proposed = remainder * share;
    const double step = (remainder < 0 || proposed < smallest) ? smallest : proposed;
    return std::min(progress + step, cap);
}

namespace {

// "%d:%02d" of a whole, non-negative number of seconds. Minutes are not split into hours.
QString minutesAndSeconds(qint64 seconds)
{
    return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

// Values past what a 64-bit count of seconds holds are shown at that limit.
qint64 wholeSeconds(double rounded)
{
    if (!(rounded > 0))
        return 0; // also NaN
    if (rounded >= 9223372036854775807.0)
        return std::numeric_limits<qint64>::max();
    return static_cast<qint64>(rounded);
}

} // namespace

QString RecordingDurationFormatter::label(double seconds)
{
    if (!std::isfinite(seconds) || !(seconds > 0))
        return QStringLiteral("0:00");
    return minutesAndSeconds(wholeSeconds(std::floor(seconds)));
}

QString durationLabel(double seconds)
{
    return minutesAndSeconds(wholeSeconds(std::round(seconds)));
}

} // namespace sorvane
