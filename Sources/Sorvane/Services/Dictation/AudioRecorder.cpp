#include "Services/Dictation/AudioRecorder.h"

#include "Shared/AppPaths.h"
#include "Platform/AudioInput.h"
#include "Support/StoredJson.h"

#include <QDir>
#include <QFileInfo>
#include <QUuid>
#include <algorithm>
#include <cmath>

namespace sorvane {

namespace {

constexpr double silence = -160.0;
constexpr qsizetype windowLength = AudioInput::sampleRate * AudioRecorder::meterInterval.count() / 1000;

QList<double> restingSamples()
{
    return QList<double>(AudioRecorder::sampleCount, AudioRecorder::restingSample);
}

} // namespace

QString RecorderError::message() const
{
    switch (m_kind) {
    case Kind::Unavailable:
        return SorvaneError::recorderUnavailable().message();
    case Kind::FileSystem:
        return m_detail;
    }
    return {};
}

AudioRecorder::AudioRecorder(AudioInput &input, QObject *parent)
    : QObject(parent), m_input(&input), m_samples(restingSamples()), m_window(windowLength, 0)
{
    qRegisterMetaType<sorvane::RecorderError>();
    connect(m_input, &AudioInput::pcmReady, this, &AudioRecorder::receive);
    connect(m_input, &AudioInput::inputDevicesChanged, this, &AudioRecorder::inputDevicesChanged);
    connect(m_input, &AudioInput::failed, this,
            [this](const QString &reason) { abandon(RecorderError::unavailable(reason)); });
    m_meterTimer.setInterval(meterInterval);
    connect(&m_meterTimer, &QTimer::timeout, this, &AudioRecorder::updateLevel);
}

AudioRecorder::~AudioRecorder()
{
    // A recording that nobody stopped is of no use to anyone.
    if (m_recording)
        cancel();
}

Result<QString, RecorderError> AudioRecorder::start()
{
    auto prepared = AppPaths::prepare();
    if (!prepared)
        return RecorderError::fileSystem(prepared.error());

    const QString path = AppPaths::temporaryRecordings() + QLatin1Char('/')
        + storedjson::uuidText(QUuid::createUuid()) + QStringLiteral(".wav");
    QString error;
    if (!m_writer.open(path, &error))
        return RecorderError::fileSystem(error);

    if (!m_input || !m_input->hasInputDevice()) {
        m_writer.discard();
        return RecorderError::unavailable(QStringLiteral("No audio input device is available."));
    }
    auto started = m_input->start();
    if (!started) {
        m_writer.discard();
        return RecorderError::unavailable(started.error());
    }

    m_recording = true;
    m_startedAt.start();
    m_outputPath = path;
    m_carry.reset();
    m_windowNext = 0;
    m_windowFill = 0;
    setLevel(restingSample);
    m_samples = restingSamples();
    Q_EMIT samplesChanged();
    m_meterTimer.start();
    return path;
}

std::optional<FinishedRecording> AudioRecorder::stop()
{
    if (!m_recording || !m_outputPath)
        return std::nullopt;
    const double duration = m_startedAt.isValid() ? std::max(0.0, m_startedAt.elapsed() / 1000.0) : 0.0;

    m_input->stop();
    m_meterTimer.stop();
    m_recording = false;
    m_startedAt.invalidate();
    setLevel(0);

    QString error;
    if (!m_writer.finish(&error)) {
        // A file with a wrong header would only fail later, in the speech engine.
        m_writer.discard();
        m_outputPath.reset();
        Q_EMIT failed(RecorderError::fileSystem(error));
        return std::nullopt;
    }
    // The file is the caller's now: a later cancel() must not delete it.
    FinishedRecording finished{*m_outputPath, duration};
    m_outputPath.reset();
    return finished;
}

void AudioRecorder::cancel()
{
    if (m_recording && m_input)
        m_input->stop();
    m_meterTimer.stop();
    m_recording = false;
    m_startedAt.invalidate();
    setLevel(0);
    m_samples = restingSamples();
    Q_EMIT samplesChanged();
    if (m_outputPath) {
        m_writer.discard();
        QFile::remove(*m_outputPath);
        m_outputPath.reset();
    }
}

void AudioRecorder::abandon(const RecorderError &error)
{
    if (!m_recording)
        return;
    cancel();
    Q_EMIT failed(error);
}

void AudioRecorder::receive(const QByteArray &pcm)
{
    if (!m_recording || pcm.isEmpty())
        return;

    // Only whole samples go to the file and the meter.
    QByteArray bytes;
    const char *data = pcm.constData();
    qsizetype size = pcm.size();
    if (m_carry) {
        bytes.reserve(size + 1);
        bytes.append(*m_carry);
        bytes.append(pcm);
        m_carry.reset();
        data = bytes.constData();
        size = bytes.size();
    }
    if (size % 2 != 0) {
        m_carry = data[size - 1];
        --size;
    }
    if (size == 0)
        return;

    QString error;
    if (!m_writer.write(data, size, &error)) {
        abandon(RecorderError::fileSystem(error));
        return;
    }

    const qsizetype count = size / 2;
    for (qsizetype i = 0; i < count; ++i) {
        const auto low = static_cast<unsigned char>(data[2 * i]);
        const auto high = static_cast<unsigned char>(data[2 * i + 1]);
        m_window[m_windowNext] = static_cast<qint16>(static_cast<quint16>(low | (high << 8)));
        m_windowNext = (m_windowNext + 1) % windowLength;
    }
    m_windowFill = std::min(windowLength, m_windowFill + count);
}

void AudioRecorder::updateLevel()
{
    if (!m_recording)
        return;
    double power = silence;
    if (m_windowFill > 0) {
        // The window is a ring; the order of its samples does not matter for power.
        power = averagePower(m_window.constData(), m_windowFill == windowLength ? windowLength : m_windowFill);
    }
    setLevel(levelForPower(power));
    m_samples.append(m_level);
    while (m_samples.size() > sampleCount)
        m_samples.removeFirst();
    Q_EMIT samplesChanged();
}

void AudioRecorder::setLevel(double level)
{
    m_level = level;
    Q_EMIT levelChanged(level);
}

double AudioRecorder::averagePower(const qint16 *samples, qsizetype count)
{
    if (count <= 0)
        return silence;
    double sumOfSquares = 0;
    for (qsizetype i = 0; i < count; ++i) {
        const double value = samples[i] / 32768.0;
        sumOfSquares += value * value;
    }
    const double meanSquare = sumOfSquares / static_cast<double>(count);
    if (meanSquare <= 0)
        return silence;
    return std::clamp(10.0 * std::log10(meanSquare), silence, 0.0);
}

double AudioRecorder::levelForPower(double decibels)
{
    double value = std::clamp((decibels + 55.0) / 48.0, 0.0, 1.0);
    value = std::pow(value, 1.55);
    value = std::max(value, 0.015);
    return std::min(value, 1.0);
}

void AudioRecorder::cleanupTemporaryRecordings()
{
    QDir folder(AppPaths::temporaryRecordings());
    if (!folder.exists())
        return;
    const QFileInfoList entries =
        folder.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo &entry : entries) {
        // A link is removed as a link; its target is none of our business.
        if (entry.isDir() && !entry.isSymLink())
            QDir(entry.filePath()).removeRecursively();
        else
            QFile::remove(entry.filePath());
    }
}

} // namespace sorvane
