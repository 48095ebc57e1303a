#include "Services/Dictation/WhisperRunner.h"

#include "Platform/ChildProcess.h"
#include "Support/ProcessEnd.h"
#include "Platform/ResourceLocator.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QTextBoundaryFinder>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <coroutine>
#include <memory>
#include <csignal>
#include <sys/types.h>

namespace sorvane {

namespace {

// Bytes that are not valid UTF-8 count as no text at all.
std::optional<QString> decodeUtf8(const QByteArray &bytes)
{
    // Stateless: a sequence cut off at the end is an error too, not pending input.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

bool isLineBreak(QChar c)
{
    switch (c.unicode()) {
    case 0x0A: case 0x0B: case 0x0C: case 0x0D: case 0x85: case 0x2028: case 0x2029:
        return true;
    default:
        return false;
    }
}

// Lines split at every kind of line break (a CR LF pair counts once), empty ones dropped.
QStringList nonEmptyLines(const QString &text)
{
    QStringList lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i < text.size() && !isLineBreak(text.at(i)))
            continue;
        if (i > start)
            lines.append(text.mid(start, i - start));
        start = i + 1;
    }
    return lines;
}

QString trimmedBlanksAndTabs(QString text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    auto blank = [](QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); };
    while (begin < end && blank(text.at(begin)))
        ++begin;
    while (end > begin && blank(text.at(end - 1)))
        --end;
    return text.mid(begin, end - begin);
}

// A decimal number such as "40", "-3", "12.5" or "1e2"; never "inf" or "nan".
std::optional<double> parseDecimal(const QString &text)
{
    static const QRegularExpression decimal(QStringLiteral("^[+-]?(\\d+\\.?\\d*|\\.\\d+)([eE][+-]?\\d+)?$"));
    if (!decimal.match(text).hasMatch())
        return std::nullopt;
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

qsizetype graphemeCount(const QString &text)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype count = 0;
    while (finder.toNextBoundary() != -1)
        ++count;
    return count;
}

} // namespace

WhisperRunner::WhisperRunner() : m_locator(&WhisperRunner::locateEngine) {}

WhisperRunner::WhisperRunner(EngineLocator locator) : m_locator(std::move(locator)) {}

WhisperRunner::WhisperRunner(EngineLocator locator, Limits limits)
    : m_locator(std::move(locator)), m_limits(limits)
{
}

std::chrono::milliseconds WhisperRunner::Limits::timeLimit(double clipSeconds) const
{
    const double seconds = std::isfinite(clipSeconds) ? std::clamp(clipSeconds, 0.0, 86400.0) : 0.0;
    const auto scaled = std::chrono::milliseconds(qint64(seconds * timePerClipSecond * 1000));
    return std::max(timeFloor, scaled);
}

qsizetype WhisperRunner::Limits::transcriptLimit(double clipSeconds) const
{
    const double seconds = std::isfinite(clipSeconds) ? std::clamp(clipSeconds, 0.0, 86400.0) : 0.0;
    return transcriptFloorBytes + qsizetype(seconds * double(transcriptBytesPerClipSecond));
}

double WhisperRunner::clipSeconds(const QString &audioPath)
{
    QFile file(audioPath);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray header = file.read(44);
    const auto little32 = [&header](int at) {
        quint32 value = 0;
        for (int i = 3; i >= 0; --i)
            value = (value << 8) | static_cast<unsigned char>(header.at(at + i));
        return value;
    };
    if (header.size() == 44 && header.startsWith("RIFF") && header.mid(8, 4) == "WAVE") {
        const quint32 byteRate = little32(28);
        if (byteRate > 0)
            return double(std::max<qint64>(file.size() - 44, 0)) / byteRate;
    }
    // The recorder's own format: 16 kHz, mono, 16-bit.
    return double(file.size()) / 32000.0;
}

QString WhisperRunner::programName(SpeechEngine engine)
{
    return engine == SpeechEngine::Parakeet ? QStringLiteral("parakeet-cli") : QStringLiteral("whisper-cli");
}

std::optional<QString> WhisperRunner::locateEngine(SpeechEngine engine)
{
    // The engines are not part of Sorvane and not packaged, so one the user installed on PATH counts too.
    return ResourceLocator::executable(programName(engine), ResourceLocator::Search::BundleThenPath);
}

int WhisperRunner::threadCount(int processors)
{
    return std::min(std::max(processors - 2, 2), 8);
}

QStringList WhisperRunner::arguments(const SpeechModel &model, const QString &modelPath, const QString &audioPath,
                                     const QStringList &vocabulary, int threads)
{
    const QString threadText = QString::number(threads);
    if (model.engine == SpeechEngine::Parakeet) {
        return {QStringLiteral("--model"), modelPath, QStringLiteral("--file"), audioPath,
                QStringLiteral("--threads"), threadText, QStringLiteral("--no-prints")};
    }
    QStringList arguments{QStringLiteral("--model"), modelPath,
                          QStringLiteral("--file"), audioPath,
                          QStringLiteral("--no-timestamps"), QStringLiteral("--no-prints"),
                          QStringLiteral("--print-progress"),
                          QStringLiteral("--language"), model.isEnglishOnly ? QStringLiteral("en") : QStringLiteral("auto"),
                          QStringLiteral("--threads"), threadText,
                          QStringLiteral("--suppress-nst")};
    if (!vocabulary.isEmpty())
        arguments << QStringLiteral("--prompt") << vocabulary.join(QStringLiteral(", "));
    return arguments;
}

QProcessEnvironment WhisperRunner::engineEnvironment(QProcessEnvironment environment)
{
    environment = childEnvironment(std::move(environment));
    // OpenMP's worker threads spin while they wait by default, which on a desktop
    // where other programs want the processors slows a run down many times over.
    if (!environment.contains(QStringLiteral("OMP_WAIT_POLICY")))
        environment.insert(QStringLiteral("OMP_WAIT_POLICY"), QStringLiteral("passive"));
    return environment;
}

std::optional<double> WhisperRunner::latestWhisperProgress(const QByteArray &standardError)
{
    const auto text = decodeUtf8(standardError);
    if (!text)
        return std::nullopt;
    const QStringList lines = nonEmptyLines(*text);
    for (auto line = lines.crbegin(); line != lines.crend(); ++line) {
        if (!line->contains(QLatin1String("progress")))
            continue;
        const qsizetype equals = line->lastIndexOf(QLatin1Char('='));
        const qsizetype percent = line->lastIndexOf(QLatin1Char('%'));
        if (equals < 0 || percent < 0 || percent < equals)
            continue;
        if (auto value = parseDecimal(trimmedBlanksAndTabs(line->mid(equals + 1, percent - equals - 1))))
            return value;
    }
    return std::nullopt;
}

double WhisperRunner::progressFraction(double percent)
{
    return std::min(std::max(percent / 100.0, 0.02), 0.97);
}

QString WhisperRunner::failureDetail(const QByteArray &standardError)
{
    const QString text = decodeUtf8(standardError).value_or(QString());
    QStringList lines = text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    if (lines.size() > 2)
        lines = lines.mid(lines.size() - 2);
    return lines.join(QLatin1Char(' '));
}

std::optional<QString> WhisperRunner::reportedError(const QByteArray &standardError)
{
    const QString text = decodeUtf8(standardError).value_or(QString());
    const QStringList lines = nonEmptyLines(text);
    for (auto line = lines.crbegin(); line != lines.crend(); ++line) {
        const QString trimmed = line->trimmed();
        if (trimmed.startsWith(QLatin1String("error:")))
            return trimmed;
    }
    return std::nullopt;
}

QString WhisperRunner::normalizeVocabulary(const QString &text, const QStringList &vocabulary)
{
    QStringList terms = vocabulary;
    std::stable_sort(terms.begin(), terms.end(), [](const QString &a, const QString &b) {
        return graphemeCount(a) > graphemeCount(b);
    });

    QString result = text;
    for (const QString &term : std::as_const(terms)) {
        if (term.isEmpty())
            continue; // would match between every two non-letters and change nothing
        const QRegularExpression expression(
            QStringLiteral("(?<![\\p{L}\\p{N}])") + QRegularExpression::escape(term)
                + QStringLiteral("(?![\\p{L}\\p{N}])"),
            QRegularExpression::CaseInsensitiveOption | QRegularExpression::UseUnicodePropertiesOption);
        if (!expression.isValid())
            continue;
        // Built by hand so the term is inserted literally ("\1" or "$" stay as typed).
        QString replaced;
        qsizetype copiedUpTo = 0;
        auto matches = expression.globalMatch(result);
        while (matches.hasNext()) {
            const QRegularExpressionMatch match = matches.next();
            replaced += QStringView(result).mid(copiedUpTo, match.capturedStart() - copiedUpTo);
            replaced += term;
            copiedUpTo = match.capturedEnd();
        }
        replaced += QStringView(result).mid(copiedUpTo);
        result = replaced;
    }
    return result;
}

QCoro::Task<Result<QString, SorvaneError>> WhisperRunner::transcribe(QString audioPath, SpeechModel model,
                                                                     QString modelPath, QStringList vocabulary,
                                                                     ProgressCallback progress) const
{
    const std::optional<QString> program = m_locator ? m_locator(model.engine) : std::nullopt;
    if (!program)
        co_return SorvaneError::missingEngine();

    const bool reportsProgress = model.engine == SpeechEngine::Whisper;
    auto report = [&progress](double fraction) {
        if (progress)
            progress(fraction);
    };

    const double clip = clipSeconds(audioPath);
    const auto timeLimit = m_limits.timeLimit(clip);
    const qsizetype transcriptLimit = m_limits.transcriptLimit(clip);
    const qsizetype standardErrorLimit = m_limits.standardErrorBytes;

    QProcess process;
    process.setProgram(*program);
    process.setArguments(arguments(model, modelPath, audioPath, vocabulary, threadCount(QThread::idealThreadCount())));
    // The engine gets this program's standard input and working directory.
    process.setInputChannelMode(QProcess::ForwardedInputChannel);
    process.setProcessEnvironment(engineEnvironment(QProcessEnvironment::systemEnvironment()));
    // Its own process group, so that ending a run ends whatever the engine started too.
    endWithThisProgram(process, SIGKILL, [] { ::setpgid(0, 0); });

    enum class Stopped { No, TimeLimit, Flood };
    Stopped stopped = Stopped::No;
    auto stop = [&process, &stopped](Stopped reason) {
        if (stopped != Stopped::No)
            return;
        stopped = reason;
        if (const qint64 pid = process.processId(); pid > 0)
            ::kill(-pid_t(pid), SIGKILL);
    };

    QByteArray standardOutput;
    QByteArray standardError;
    auto readStandardOutput = [&] {
        const QByteArray chunk = process.readAllStandardOutput();
        if (stopped != Stopped::No)
            return;
        standardOutput += chunk;
        if (standardOutput.size() > transcriptLimit) {
            standardOutput.clear();
            stop(Stopped::Flood);
        }
    };
    auto readStandardError = [&] {
        const QByteArray chunk = process.readAllStandardError();
        if (chunk.isEmpty())
            return;
        standardError += chunk;
        if (standardError.size() > standardErrorLimit)
            standardError = standardError.right(standardErrorLimit);
        if (reportsProgress && stopped == Stopped::No) {
            if (auto percent = latestWhisperProgress(standardError))
                report(progressFraction(*percent));
        }
    };
    QObject::connect(&process, &QProcess::readyReadStandardOutput, &process, readStandardOutput);
    QObject::connect(&process, &QProcess::readyReadStandardError, &process, readStandardError);

    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &process, [&stop] { stop(Stopped::TimeLimit); });

    report(0.02);
    process.start(QIODevice::ReadOnly);
    if (process.state() != QProcess::NotRunning)
        deadline.start(timeLimit);
    co_await ProcessEnd(process);
    deadline.stop();
    if (process.error() == QProcess::FailedToStart)
        co_return SorvaneError::transcriptionFailed(process.errorString());

    readStandardOutput();
    readStandardError();
    process.disconnect();
    if (stopped == Stopped::TimeLimit) {
        const qint64 seconds = std::chrono::duration_cast<std::chrono::seconds>(timeLimit).count();
        if (seconds <= 0)
            co_return SorvaneError::transcriptionFailed(QStringLiteral("The speech engine did not finish in time and was stopped."));
        co_return SorvaneError::transcriptionFailed(
            (seconds == 1 ? QStringLiteral("The speech engine did not finish within %1 second and was stopped.")
                          : QStringLiteral("The speech engine did not finish within %1 seconds and was stopped."))
                .arg(seconds));
    }
    if (stopped == Stopped::Flood)
        co_return SorvaneError::transcriptionFailed(
            QStringLiteral("The speech engine gave far more text than the recording can hold and was stopped."));

    // Killed by a signal is a failure, whatever exit code the process object shows.
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        co_return SorvaneError::transcriptionFailed(failureDetail(standardError));

    const QString transcript = decodeUtf8(standardOutput).value_or(QString()).trimmed();
    if (transcript.isEmpty()) {
        // Some engine versions refuse an option or an unreadable file with an "error:"
        // line and status 0: that is a failure, not silence.
        if (auto error = reportedError(standardError))
            co_return SorvaneError::transcriptionFailed(*error);
        co_return SorvaneError::emptyTranscript();
    }
    co_return normalizeVocabulary(transcript, vocabulary);
}

} // namespace sorvane
