#pragma once

#include "Dictation/DictationTypes.h"
#include "Support/Result.h"
#include "Services/Dictation/WavFileWriter.h"

#include <chrono>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QVector>
#include <optional>

namespace sorvane {

class AudioInput;

// Why a recording could not be made: the microphone could not be used (shown as the
// Dictation error "Sorvane could not access the microphone."), or the recording
// folder or file could not be written (shown as the file system's own message).
class RecorderError {
public:
    enum class Kind { Unavailable, FileSystem };

    static RecorderError unavailable(QString reason = {}) { return {Kind::Unavailable, std::move(reason)}; }
    static RecorderError fileSystem(QString message) { return {Kind::FileSystem, std::move(message)}; }

    RecorderError() = default;
    Kind kind() const { return m_kind; }
    // The device's or file system's own description, for the log.
    const QString &detail() const { return m_detail; }
    QString message() const;

    friend bool operator==(const RecorderError &, const RecorderError &) = default;

private:
    RecorderError(Kind kind, QString detail) : m_kind(kind), m_detail(std::move(detail)) {}
    Kind m_kind = Kind::Unavailable;
    QString m_detail;
};

// A stopped recording, handed over to the caller, who deletes the file when done.
struct FinishedRecording {
    QString path;
    double duration = 0;
};

// Records the microphone into a temporary WAV file (16 kHz, mono, 16-bit) for one
// dictation or one spoken instruction, and publishes a smoothed input level and the
// last levels for the live waveform.
class AudioRecorder : public QObject {
    Q_OBJECT
    Q_PROPERTY(double level READ level NOTIFY levelChanged)
    Q_PROPERTY(QList<double> samples READ samples NOTIFY samplesChanged)
public:
    static constexpr int sampleCount = 20;
    static constexpr double restingSample = 0.025;
    static constexpr std::chrono::milliseconds meterInterval{100};

    // The input is the platform's: it must outlive the recorder.
    explicit AudioRecorder(AudioInput &input, QObject *parent = nullptr);
    ~AudioRecorder() override;

    // Starts a new recording and returns its file path.
    Result<QString, RecorderError> start();
    // Ends the recording and hands the file over; nothing when none is running.
    std::optional<FinishedRecording> stop();
    // Ends the recording and deletes its file.
    void cancel();
    bool isRecording() const { return m_recording; }

    double level() const { return m_level; }
    const QList<double> &samples() const { return m_samples; }

    // Deletes everything in the temporary-recordings folder (leftovers of recordings
    // that never stopped).
    static void cleanupTemporaryRecordings();

    // Average power in decibels (at most 0; -160 for silence or no samples).
    static double averagePower(const qint16 *samples, qsizetype count);
    // The displayed level for an average power in decibels.
    static double levelForPower(double decibels);

Q_SIGNALS:
    void levelChanged(double level);
    void samplesChanged();
    // A running recording ended by itself (the device failed, or the file could not
    // be written). Its file is gone and stop() returns nothing.
    void failed(const sorvane::RecorderError &error);
    // A microphone came or went.
    void inputDevicesChanged();

private:
    void receive(const QByteArray &pcm);
    void updateLevel();
    void abandon(const RecorderError &error);
    void resetMeter();
    void setLevel(double level);

    QPointer<AudioInput> m_input;
    WavFileWriter m_writer;
    QTimer m_meterTimer;
    QElapsedTimer m_startedAt;
    std::optional<QString> m_outputPath;
    bool m_recording = false;
    double m_level = 0;
    QList<double> m_samples;
    // The last meter window of samples (ring buffer), and a byte of a sample split
    // across two deliveries.
    QVector<qint16> m_window;
    qsizetype m_windowNext = 0;
    qsizetype m_windowFill = 0;
    std::optional<char> m_carry;
};

} // namespace sorvane

Q_DECLARE_METATYPE(sorvane::RecorderError)
