#pragma once

#include "Platform/AudioInput.h"

#include <QByteArray>
#include <QList>
#include <QPointer>

class QAudioSource;
class QTimer;
class QIODevice;

namespace sorvane {

// The default input device through Qt Multimedia (PulseAudio or PipeWire's
// PulseAudio service underneath), which converts to our format for us. A source
// that goes away is not a failure there (the stream moves to another source); a
// lost sound server is, and Qt reports it as a stop with an error.
class QtAudioInput final : public AudioInput {
    Q_OBJECT
public:
    explicit QtAudioInput(QObject *parent = nullptr);
    ~QtAudioInput() override;

    bool hasInputDevice() const override;
    Result<Done, QString> start() override;
    void stop() override;

private:
    // Says `inputDevicesChanged` when the devices are no longer those last seen.
    void checkInputs();
    // The poll runs while no device is known, and only then.
    void pollWhileNone();
    void readAvailable();
    void fail(const QString &reason);

    QAudioSource *m_source = nullptr;
    QPointer<QIODevice> m_device;
    QList<QByteArray> m_knownInputs;
    QTimer *m_poll = nullptr;
};

} // namespace sorvane
