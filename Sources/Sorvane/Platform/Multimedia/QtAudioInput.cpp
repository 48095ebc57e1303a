#include "Platform/Multimedia/QtAudioInput.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSource>
#include <QMediaDevices>
#include <QTimer>

namespace sorvane {

namespace {

QAudioFormat recordingFormat()
{
    QAudioFormat format;
    format.setSampleRate(AudioInput::sampleRate);
    format.setChannelCount(AudioInput::channelCount);
    format.setSampleFormat(QAudioFormat::Int16);
    return format;
}

QString describe(QAudio::Error error)
{
    switch (error) {
    case QAudio::NoError:
        return {};
    case QAudio::OpenError:
        return QStringLiteral("The audio input device could not be opened.");
    case QAudio::IOError:
        return QStringLiteral("Reading from the audio input device failed.");
    case QAudio::UnderrunError:
        return QStringLiteral("The audio input device stopped delivering sound.");
    case QAudio::FatalError:
        return QStringLiteral("The audio input device is no longer usable.");
    }
    return QStringLiteral("The audio input device failed.");
}

QList<QByteArray> inputIds()
{
    QList<QByteArray> ids;
    for (const QAudioDevice &device : QMediaDevices::audioInputs())
        ids.append(device.id());
    return ids;
}

} // namespace

QtAudioInput::QtAudioInput(QObject *parent) : AudioInput(parent), m_knownInputs(inputIds())
{
    auto *devices = new QMediaDevices(this);
    connect(devices, &QMediaDevices::audioInputsChanged, this, &QtAudioInput::checkInputs);
    // Qt 6.4's PulseAudio backend keeps its list of devices current but does not say
    // when a device comes or goes. While there is none, the list is looked at every two
    // seconds, so that a microphone plugged in is seen; with one, an idle program wakes
    // for nothing (a device gone is found when the screens look again or a recording
    // starts).
    m_poll = new QTimer(this);
    m_poll->setTimerType(Qt::VeryCoarseTimer);
    m_poll->setInterval(std::chrono::seconds(2));
    connect(m_poll, &QTimer::timeout, this, &QtAudioInput::checkInputs);
    pollWhileNone();
}

void QtAudioInput::checkInputs()
{
    QList<QByteArray> inputs = inputIds();
    if (inputs == m_knownInputs)
        return;
    m_knownInputs = std::move(inputs);
    pollWhileNone();
    Q_EMIT inputDevicesChanged();
}

void QtAudioInput::pollWhileNone()
{
    if (m_knownInputs.isEmpty())
        m_poll->start();
    else
        m_poll->stop();
}

QtAudioInput::~QtAudioInput()
{
    stop();
}

bool QtAudioInput::hasInputDevice() const
{
    // Looked at afresh: what the screens are told also tells the poll whether to run.
    const_cast<QtAudioInput *>(this)->checkInputs();
    return !m_knownInputs.isEmpty();
}

Result<Done, QString> QtAudioInput::start()
{
    stop();
    const QAudioDevice device = QMediaDevices::defaultAudioInput();
    if (device.isNull())
        return QStringLiteral("No audio input device is available.");
    const QAudioFormat format = recordingFormat();
    if (!device.isFormatSupported(format))
        return QStringLiteral("The audio input device cannot record 16 kHz mono 16-bit sound.");

    m_source = new QAudioSource(device, format, this);
    connect(m_source, &QAudioSource::stateChanged, this, [this](QAudio::State state) {
        if (!m_source)
            return;
        // A stop we did not ask for, with an error, is a failed device.
        if (state == QAudio::StoppedState && m_source->error() != QAudio::NoError)
            fail(describe(m_source->error()));
    });
    m_device = m_source->start();
    if (!m_device || m_source->error() != QAudio::NoError) {
        const QString reason = m_source->error() != QAudio::NoError ? describe(m_source->error())
                                                                    : describe(QAudio::OpenError);
        stop();
        return reason;
    }
    connect(m_device, &QIODevice::readyRead, this, &QtAudioInput::readAvailable);
    return Done{};
}

void QtAudioInput::stop()
{
    if (m_device)
        disconnect(m_device, nullptr, this, nullptr);
    m_device = nullptr;
    if (m_source) {
        QAudioSource *source = m_source;
        m_source = nullptr;
        disconnect(source, nullptr, this, nullptr);
        source->stop();
        // This may run inside the source's own signal: let it finish first.
        source->deleteLater();
    }
}

void QtAudioInput::readAvailable()
{
    if (!m_device)
        return;
    const QByteArray pcm = m_device->readAll();
    if (pcm.isEmpty())
        return;
    Q_EMIT pcmReady(pcm);
}

void QtAudioInput::fail(const QString &reason)
{
    // Qt 6.4 crashes when it stops or deletes a PulseAudio source whose server
    // connection is gone, so a source that failed is let go of without either.
    // It is a small object and this happens once per lost sound server.
    if (m_device)
        disconnect(m_device, nullptr, this, nullptr);
    m_device = nullptr;
    if (m_source) {
        disconnect(m_source, nullptr, this, nullptr);
        m_source->setParent(nullptr);
        m_source = nullptr;
    }
    Q_EMIT failed(reason);
}

} // namespace sorvane
