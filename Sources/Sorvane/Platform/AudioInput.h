#pragma once

#include "Support/Result.h"

#include <QByteArray>
#include <QObject>
#include <QString>

namespace sorvane {

// The microphone as the recorder needs it: the default input device, delivering
// 16 kHz mono signed 16-bit little-endian PCM.
class AudioInput : public QObject {
    Q_OBJECT
public:
    static constexpr int sampleRate = 16000;
    static constexpr int channelCount = 1;
    static constexpr int bytesPerSample = 2;

    using QObject::QObject;

    // Whether any input device exists; on this system that is what "microphone
    // access granted" means.
    virtual bool hasInputDevice() const = 0;

    // Opens the default input device and starts delivering samples through
    // pcmReady(). The error text describes why the device could not be opened.
    virtual Result<Done, QString> start() = 0;

    // Stops delivering; no signal is emitted after it returns.
    virtual void stop() = 0;

Q_SIGNALS:
    void pcmReady(const QByteArray &pcm);
    // The device stopped working after a successful start. Delivery has ended.
    void failed(const QString &reason);
    // An input device came or went (hasInputDevice() may answer differently now).
    void inputDevicesChanged();
};

} // namespace sorvane
