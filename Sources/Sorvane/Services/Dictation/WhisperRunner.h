#pragma once

#include "Dictation/DictationTypes.h"
#include "Support/Result.h"
#include "Dictation/SpeechModel.h"

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QCoroTask>
#include <chrono>
#include <functional>
#include <optional>

namespace sorvane {

// Runs the local speech engine (whisper-cli or parakeet-cli) on one recording and
// returns the transcript with the user's vocabulary spelled their way.
//
// The engine is a QProcess on the main loop: its pipes are read by the loop as data
// arrives, so nothing is shared between threads and no lock is needed. A run has a time
// limit and a cap on the text it reads, both derived from the clip's length; past either
// the engine's whole process group is ended. Abandoning the task does not stop the
// engine; the engine does end when this program dies.
class WhisperRunner {
public:
    // How long a run may take and how much text it may give, for a clip of a length.
    struct Limits {
        // No run is given less than this, however short the clip.
        std::chrono::milliseconds timeFloor{std::chrono::minutes(2)};
        // A slow computer and a large model still transcribe in a few times real time.
        double timePerClipSecond = 10;
        // Far beyond what a clip can say (speech is some 20 bytes a second): more is an
        // engine gone wrong, not a transcript.
        qsizetype transcriptFloorBytes = 64 * 1024;
        qsizetype transcriptBytesPerClipSecond = 1024;
        // What is kept of standard error: its end, where the failure is said.
        qsizetype standardErrorBytes = 64 * 1024;

        std::chrono::milliseconds timeLimit(double clipSeconds) const;
        qsizetype transcriptLimit(double clipSeconds) const;
    };

    // Called on the main thread with a fraction between 0 and 1.
    using ProgressCallback = std::function<void(double fraction)>;
    // Finds the program of an engine; nothing when it is not installed.
    using EngineLocator = std::function<std::optional<QString>(SpeechEngine)>;

    // Looks the engines up in the program's bundle folders, then on PATH
    // (SORVANE_WHISPER_CLI_PATH / SORVANE_PARAKEET_CLI_PATH win over both).
    WhisperRunner();
    explicit WhisperRunner(EngineLocator locator);
    WhisperRunner(EngineLocator locator, Limits limits);

    // Failures: missingEngine when the program is not found (nothing is started);
    // transcriptionFailed with the system's message when it cannot be launched, with
    // the engine's last lines of standard error when it fails, is killed by a signal, or
    // finishes without text after an "error:" line, and with what went wrong when it
    // passes its time limit or gives more text than the clip can hold; emptyTranscript
    // when it finishes without text.
    QCoro::Task<Result<QString, SorvaneError>> transcribe(QString audioPath, SpeechModel model, QString modelPath,
                                                          QStringList vocabulary,
                                                          ProgressCallback progress = {}) const;

    static QString programName(SpeechEngine engine);
    // The length of a recording in seconds, from its WAV header (from its size when it
    // has none); 0 when it cannot be read.
    static double clipSeconds(const QString &audioPath);
    static std::optional<QString> locateEngine(SpeechEngine engine);

    // Two fewer than the processors, at least 2 and at most 8.
    static int threadCount(int processors);
    static QStringList arguments(const SpeechModel &model, const QString &modelPath, const QString &audioPath,
                                 const QStringList &vocabulary, int threads);

    // The engine's environment: the given one without provider keys, with OpenMP's
    // threads told to sleep while they wait unless the user chose otherwise.
    static QProcessEnvironment engineEnvironment(QProcessEnvironment environment);

    // The last percentage of a "... progress = 40%" line in the engine's standard error.
    static std::optional<double> latestWhisperProgress(const QByteArray &standardError);
    // A percentage as the fraction shown while the engine runs: kept within 0.02 ... 0.97.
    static double progressFraction(double percent);

    // The text of a failed run: the last two non-empty lines of standard error, joined by a blank.
    static QString failureDetail(const QByteArray &standardError);
    // The last "error:" line of standard error; some engine versions exit 0 after one.
    static std::optional<QString> reportedError(const QByteArray &standardError);

    // Replaces every case-insensitive whole-word occurrence of each term (longest first)
    // by the term as the user spelled it.
    static QString normalizeVocabulary(const QString &text, const QStringList &vocabulary);

private:
    EngineLocator m_locator;
    Limits m_limits;
};

} // namespace sorvane
