#include "Shared/AppPaths.h"
#include "Platform/Multimedia/QtAudioInput.h"
#include "Services/Dictation/AudioRecorder.h"
#include "TestPaths.h"

#include <QDir>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <optional>

using namespace sorvane;
using namespace sorvane::testing;

// The sound server goes away in the middle of a recording. The test runs a PulseAudio
// daemon of its own for this (one process talks to one server, so it cannot share
// the test session's) and stops it while recording.
class PulseDeviceLossTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        const bool expected = qEnvironmentVariableIsSet("SORVANE_TEST_PULSE_EXPECTED") || qEnvironmentVariableIsSet("CI");
        if (QStandardPaths::findExecutable(QStringLiteral("pulseaudio")).isEmpty()
            || QStandardPaths::findExecutable(QStringLiteral("pactl")).isEmpty()) {
            if (expected)
                QFAIL("pulseaudio and pactl are needed (package pulseaudio, pulseaudio-utils)");
            exitSkipped(QStringLiteral("PulseAudio is not installed"));
        }
        QVERIFY(m_dir.isValid());
        useDataHome(m_dir.filePath(QStringLiteral("data")));

        const QString socket = m_dir.filePath(QStringLiteral("native"));
        const QString config = m_dir.filePath(QStringLiteral("daemon.pa"));
        QVERIFY(writeFile(config,
                          QStringLiteral("load-module module-native-protocol-unix auth-anonymous=1 socket=%1\n"
                                         "load-module module-null-sink sink_name=loss_sink\n"
                                         "load-module module-remap-source source_name=loss_mic master=loss_sink.monitor\n"
                                         "set-default-source loss_mic\n")
                              .arg(socket)
                              .toUtf8()));
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), m_dir.path());
        // Off the session bus: the session's own daemon holds the bus name there.
        environment.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
        environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("disabled:"));
        m_daemon.setProcessEnvironment(environment);
        m_daemon.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_daemon.start(QStringLiteral("pulseaudio"),
                       {QStringLiteral("--daemonize=no"), QStringLiteral("--exit-idle-time=-1"),
                        QStringLiteral("--use-pid-file=no"), QStringLiteral("-n"), QStringLiteral("-F"), config,
                        QStringLiteral("--log-level=error")});
        QVERIFY(m_daemon.waitForStarted(5000));
        m_server = QStringLiteral("unix:") + socket;
        QTRY_VERIFY_WITH_TIMEOUT(serverAnswers() || m_daemon.state() == QProcess::NotRunning, 10000);
        QVERIFY2(m_daemon.state() == QProcess::Running, "the PulseAudio daemon of the test ended at start");
        // Before anything in this process talks to a sound server.
        qputenv("PULSE_SERVER", m_server.toUtf8());
    }

    // A microphone plugged in while there is none is reported, once (Qt 6.4's PulseAudio
    // backend says nothing itself).
    void aMicrophonePluggedInIsReported()
    {
        // The server's microphone taken out for this case, and put back as it was.
        const auto modules = pactl({QStringLiteral("list"), QStringLiteral("short"), QStringLiteral("modules")});
        QVERIFY(modules);
        QByteArray microphone;
        for (const QByteArray &line : modules->split('\n'))
            if (line.contains("module-remap-source"))
                microphone = line.split('\t').value(0);
        QVERIFY(!microphone.isEmpty());
        QVERIFY(pactl({QStringLiteral("unload-module"), QString::fromUtf8(microphone)}));

        QtAudioInput input;
        QTRY_VERIFY_WITH_TIMEOUT(!input.hasInputDevice(), 10000);
        QSignalSpy changes(&input, &AudioInput::inputDevicesChanged);
        QVERIFY(pactl({QStringLiteral("load-module"), QStringLiteral("module-remap-source"),
                       QStringLiteral("source_name=loss_mic"), QStringLiteral("master=loss_sink.monitor")}));
        QVERIFY(pactl({QStringLiteral("set-default-source"), QStringLiteral("loss_mic")}));
        QVERIFY(changes.wait(10000));
        QVERIFY(input.hasInputDevice());
        QCOMPARE(changes.size(), 1);
    }

    void lostServerEndsTheRecordingWithoutAFile()
    {
        QtAudioInput input;
        QVERIFY(input.hasInputDevice());
        AudioRecorder recorder(input);
        QSignalSpy failures(&recorder, &AudioRecorder::failed);
        QSignalSpy ticks(&recorder, &AudioRecorder::samplesChanged);
        const auto started = recorder.start();
        QVERIFY(started);
        QVERIFY(QFileInfo::exists(started.value()));
        QTRY_VERIFY(ticks.size() >= 3);

        m_daemon.terminate();
        QVERIFY(failures.wait(10000));
        QCOMPARE(failures.size(), 1);
        QCOMPARE(failures.at(0).at(0).value<RecorderError>().message(),
                 QStringLiteral("Sorvane could not access the microphone."));
        QVERIFY(!QFileInfo::exists(started.value()));
        QVERIFY(QDir(AppPaths::temporaryRecordings()).isEmpty());
        QVERIFY(!recorder.isRecording());
        QVERIFY(!recorder.stop());
        QCOMPARE(recorder.level(), 0.0);
    }

    void cleanupTestCase()
    {
        if (m_daemon.state() != QProcess::NotRunning) {
            m_daemon.kill();
            m_daemon.waitForFinished(5000);
        }
    }

private:
    // pactl on the test's server; its output, or nothing when it failed.
    std::optional<QByteArray> pactl(const QStringList &arguments)
    {
        QProcess tool;
        tool.start(QStringLiteral("pactl"), QStringList{QStringLiteral("--server=") + m_server} + arguments);
        if (!tool.waitForFinished(10000) || tool.exitStatus() != QProcess::NormalExit || tool.exitCode() != 0)
            return std::nullopt;
        return tool.readAllStandardOutput();
    }

    bool serverAnswers()
    {
        QProcess pactl;
        pactl.setStandardOutputFile(QProcess::nullDevice());
        pactl.setStandardErrorFile(QProcess::nullDevice());
        pactl.start(QStringLiteral("pactl"), {QStringLiteral("--server=") + m_server, QStringLiteral("info")});
        return pactl.waitForFinished(5000) && pactl.exitStatus() == QProcess::NormalExit && pactl.exitCode() == 0;
    }

    QTemporaryDir m_dir;
    QProcess m_daemon;
    QString m_server;
};

QTEST_GUILESS_MAIN(PulseDeviceLossTest)
#include "tst_pulse_device_loss.moc"
