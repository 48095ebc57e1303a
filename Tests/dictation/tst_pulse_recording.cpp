#include "Shared/AppPaths.h"
#include "Platform/Multimedia/QtAudioInput.h"
#include "Services/Dictation/AudioRecorder.h"
#include "TestPaths.h"
#include "WavFile.h"

#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cmath>

using namespace sorvane;
using namespace sorvane::testing;

// Records from a real PulseAudio source while a known tone plays into the sink that
// feeds it. The test session (scripts/test-session.d/pulseaudio.sh) provides the
// daemon and names the sink in SORVANE_TEST_PULSE_SINK.
class PulseRecordingTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        m_sink = qEnvironmentVariable("SORVANE_TEST_PULSE_SINK");
        if (m_sink.isEmpty()) {
            if (qEnvironmentVariableIsSet("SORVANE_TEST_PULSE_EXPECTED") || qEnvironmentVariableIsSet("CI"))
                QFAIL("The test session started no PulseAudio daemon (see scripts/test-session.d/pulseaudio.sh).");
            exitSkipped(QStringLiteral("no PulseAudio test sink; run through scripts/test.sh"));
        }
        for (const char *tool : {"sox", "paplay"})
            if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
                QFAIL(qPrintable(QStringLiteral("%1 is not installed").arg(QLatin1String(tool))));
        QVERIFY(m_home.isValid());
        useDataHome(m_home.path());
    }

    void recordsTheToneAtSixteenKilohertzMono()
    {
        // Two seconds of 440 Hz at half of full scale, in the sink's own kind of format,
        // so the conversion to 16 kHz mono is Qt's and PulseAudio's work.
        const QString tone = m_home.filePath(QStringLiteral("tone.wav"));
        QCOMPARE(QProcess::execute(QStringLiteral("sox"),
                                   {QStringLiteral("-n"), QStringLiteral("-r"), QStringLiteral("44100"),
                                    QStringLiteral("-c"), QStringLiteral("2"), QStringLiteral("-b"),
                                    QStringLiteral("16"), tone, QStringLiteral("synth"), QStringLiteral("2"),
                                    QStringLiteral("sine"), QStringLiteral("440"), QStringLiteral("vol"),
                                    QStringLiteral("0.5")}),
                 0);

        QtAudioInput input;
        QVERIFY2(input.hasInputDevice(), "Qt lists no audio input");
        AudioRecorder recorder(input);
        QList<double> levels;
        connect(&recorder, &AudioRecorder::levelChanged, this, [&](double level) { levels.append(level); });
        QSignalSpy failures(&recorder, &AudioRecorder::failed);

        const auto started = recorder.start();
        QVERIFY2(started, started ? "" : qPrintable(started.error().message() + QLatin1Char(' ') + started.error().detail()));
        // A few ticks of silence first: the meter rests at its floor.
        QTRY_VERIFY_WITH_TIMEOUT(levels.size() >= 4, 5000);
        QVERIFY2(*std::max_element(levels.begin() + 1, levels.end()) <= 0.02, "the meter moved before the tone");
        const qsizetype quietTicks = levels.size();

        QProcess player;
        player.start(QStringLiteral("paplay"), {QStringLiteral("--device=") + m_sink, tone});
        QVERIFY(player.waitForStarted(5000));
        QSignalSpy playerDone(&player, &QProcess::finished);
        QVERIFY(playerDone.wait(15000));
        QCOMPARE(player.exitCode(), 0);

        const auto finished = recorder.stop();
        QVERIFY(failures.isEmpty());
        QVERIFY(finished);
        const double loudest = *std::max_element(levels.begin() + quietTicks, levels.end());
        QVERIFY2(loudest > 0.8, qPrintable(QStringLiteral("loudest level %1").arg(loudest)));

        const auto wav = WavFile::read(finished->path);
        QVERIFY(wav);
        QCOMPARE(wav->formatTag, quint16(1));
        QCOMPARE(wav->channels, quint16(1));
        QCOMPARE(wav->sampleRate, 16000u);
        QCOMPARE(wav->bitsPerSample, quint16(16));
        QCOMPARE(wav->dataSize, quint32(wav->samples.size() * 2));
        // The file holds the tone and about as much sound as the time recorded (what
        // is still in the sound server's buffers at the stop is not waited for).
        QVERIFY2(wav->seconds() >= 2.0, qPrintable(QString::number(wav->seconds())));
        QVERIFY2(std::abs(wav->seconds() - finished->duration) < 0.5,
                 qPrintable(QStringLiteral("%1 s of sound in %2 s").arg(wav->seconds()).arg(finished->duration)));

        // The loudest second is the tone: -9 dB, and 880 zero crossings a second.
        qsizetype best = 0;
        double bestPower = -200;
        for (qsizetype at = 0; at + 16000 <= wav->samples.size(); at += 1600) {
            const double power = AudioRecorder::averagePower(wav->samples.constData() + at, 16000);
            if (power > bestPower) {
                bestPower = power;
                best = at;
            }
        }
        QVERIFY2(std::abs(bestPower + 9.03) < 1.5, qPrintable(QStringLiteral("tone power %1 dB").arg(bestPower)));
        int crossings = 0;
        for (qsizetype i = best + 1; i < best + 16000; ++i)
            if ((wav->samples[i - 1] < 0) != (wav->samples[i] < 0))
                ++crossings;
        QVERIFY2(std::abs(crossings - 880) <= 10, qPrintable(QStringLiteral("%1 crossings").arg(crossings)));
    }

private:
    QString m_sink;
    QTemporaryDir m_home;
};

QTEST_GUILESS_MAIN(PulseRecordingTest)
#include "tst_pulse_recording.moc"
