#pragma once

#include "Platform/AudioInput.h"

#include <QVector>
#include <optional>

namespace sorvane::testing {

// An input device driven by the test: it delivers what push() is given while
// started, and can refuse to start or fail later on request.
class FakeAudioInput final : public AudioInput {
    Q_OBJECT
public:
    using AudioInput::AudioInput;

    bool hasInputDevice() const override { return deviceExists; }
    Result<Done, QString> start() override
    {
        ++starts;
        if (startFailure)
            return *startFailure;
        running = true;
        return Done{};
    }
    void stop() override
    {
        if (running)
            ++stops;
        running = false;
    }

    // Delivers raw bytes (only while started, like a real device).
    void push(const QByteArray &pcm)
    {
        if (running)
            Q_EMIT pcmReady(pcm);
    }
    void pushSamples(const QVector<qint16> &samples)
    {
        QByteArray bytes;
        bytes.reserve(samples.size() * 2);
        for (qint16 sample : samples) {
            bytes.append(static_cast<char>(sample & 0xff));
            bytes.append(static_cast<char>((static_cast<quint16>(sample) >> 8) & 0xff));
        }
        push(bytes);
    }
    // The device breaks while recording.
    void breakDown(const QString &reason)
    {
        running = false;
        Q_EMIT failed(reason);
    }

    bool deviceExists = true;
    std::optional<QString> startFailure;
    bool running = false;
    int starts = 0;
    int stops = 0;
};

} // namespace sorvane::testing
