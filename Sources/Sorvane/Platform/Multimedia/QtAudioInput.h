#pragma once

#include "Platform/AudioInput.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>

class QAudioSource;
class QIODevice;

namespace sorvane {

// The default input device through Qt Multimedia (PulseAudio or PipeWire's
// PulseAudio service underneath), which converts to our format for us.
class QtAudioInput final : public AudioInput {
    Q_OBJECT
public:
    explicit QtAudioInput(QObject *parent = nullptr);
    ~QtAudioInput() override;

    bool hasInputDevice() const override;
    Result<Done, QString> start() override;
    void stop() override;

    // A device that delivers nothing for this long is taken as failed: some
    // back ends never report a source that went away.
    void setStallTimeout(int milliseconds) { m_stallTimeout = milliseconds; }

private:
    void readAvailable();
    void checkForStall();
    void fail(const QString &reason);

    QAudioSource *m_source = nullptr;
    QPointer<QIODevice> m_device;
    QTimer m_stallCheck;
    QElapsedTimer m_sinceData;
    int m_stallTimeout = 3000;
};

} // namespace sorvane
