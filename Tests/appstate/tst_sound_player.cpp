// The completion sounds play through Qt Multimedia on the test session's PulseAudio,
// into a sink of their own: the session's default sink feeds its microphone, which the
// recording tests listen to meanwhile.

#include "Platform/Multimedia/QtSoundPlayer.h"
#include "TestPaths.h"

#include <QAudioDevice>
#include <QFile>
#include <QMediaDevices>
#include <QProcess>
#include <QSignalSpy>
#include <QSoundEffect>
#include <QTest>

using namespace sorvane;
using namespace sorvane::testing;

class SoundPlayerTest : public QObject {
    Q_OBJECT

    QString m_module;

    static std::optional<QAudioDevice> soundTestSink()
    {
        for (const QAudioDevice &device : QMediaDevices::audioOutputs())
            if (device.description() == QLatin1String("Sorvane-sound-test"))
                return device;
        return std::nullopt;
    }

    static void playIntoTheTestSink(QtSoundPlayer &player)
    {
        for (const auto sound : allCases<CompletionSound>())
            if (QSoundEffect *effect = player.effect(sound))
                effect->setAudioDevice(*soundTestSink());
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (qEnvironmentVariable("SORVANE_TEST_PULSE_SINK").isEmpty()) {
            if (qEnvironmentVariableIsSet("SORVANE_TEST_PULSE_EXPECTED") || qEnvironmentVariableIsSet("CI"))
                QFAIL("The test session started no PulseAudio daemon (see scripts/test-session.d/pulseaudio.sh).");
            exitSkipped(QStringLiteral("no PulseAudio test sink; run through scripts/test.sh"));
        }
        QProcess pactl;
        pactl.start(QStringLiteral("pactl"), {QStringLiteral("load-module"), QStringLiteral("module-null-sink"),
                                              QStringLiteral("sink_name=sorvane_sound_player_test"),
                                              QStringLiteral("sink_properties=device.description=Sorvane-sound-test")});
        QVERIFY(pactl.waitForFinished(20000));
        QCOMPARE(pactl.exitCode(), 0);
        m_module = QString::fromUtf8(pactl.readAllStandardOutput()).trimmed();
        QTRY_VERIFY_WITH_TIMEOUT(soundTestSink().has_value(), 20000);
    }

    void cleanupTestCase()
    {
        if (!m_module.isEmpty())
            QProcess::execute(QStringLiteral("pactl"), {QStringLiteral("unload-module"), m_module});
    }

    void theSoundsShipAsResources_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("pop") << QStringLiteral("Pop");
        QTest::newRow("glass") << QStringLiteral("Glass");
        QTest::newRow("tink") << QStringLiteral("Tink");
    }

    void theSoundsShipAsResources()
    {
        QFETCH(QString, name);
        QFile file(QStringLiteral(":/sorvane/sounds/%1.wav").arg(name));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray header = file.read(44);
        QCOMPARE(header.left(4), QByteArrayLiteral("RIFF"));
        QCOMPARE(header.mid(8, 4), QByteArrayLiteral("WAVE"));
        // Short: under a second of 16-bit mono at 44.1 kHz.
        QVERIFY(file.size() > 44 + 2 * 4410);
        QVERIFY(file.size() < 44 + 2 * 44100);
    }

    void eachSoundPlaysToItsEnd_data()
    {
        QTest::addColumn<int>("sound");
        QTest::newRow("soft pop") << int(CompletionSound::SoftPop);
        QTest::newRow("glass chime") << int(CompletionSound::GlassChime);
        QTest::newRow("gentle tap") << int(CompletionSound::GentleTap);
    }

    void eachSoundPlaysToItsEnd()
    {
        QFETCH(int, sound);
        int bells = 0;
        QtSoundPlayer player([&] { ++bells; });
        playIntoTheTestSink(player);
        QSoundEffect *effect = player.effect(CompletionSound(sound));
        QVERIFY(effect);
        QTRY_COMPARE_WITH_TIMEOUT(effect->status(), QSoundEffect::Ready, 20000);

        QSignalSpy playing(effect, &QSoundEffect::playingChanged);
        QVERIFY(player.play(CompletionSound(sound), 0.55));
        QCOMPARE(effect->volume(), 0.55f);
        QTRY_VERIFY_WITH_TIMEOUT(playing.count() >= 1, 20000);
        QVERIFY(player.isPlaying() || playing.count() >= 2);
        // It ends by itself.
        QTRY_VERIFY_WITH_TIMEOUT(!effect->isPlaying(), 20000);
        QVERIFY(!player.isPlaying());
        QCOMPARE(bells, 0);
    }

    void anotherSoundStopsThePlayingOne()
    {
        QtSoundPlayer player({});
        playIntoTheTestSink(player);
        QSoundEffect *glass = player.effect(CompletionSound::GlassChime);
        QSoundEffect *tink = player.effect(CompletionSound::GentleTap);
        QTRY_COMPARE_WITH_TIMEOUT(glass->status(), QSoundEffect::Ready, 20000);
        QTRY_COMPARE_WITH_TIMEOUT(tink->status(), QSoundEffect::Ready, 20000);

        QVERIFY(player.play(CompletionSound::GlassChime, 0.55));
        QTRY_VERIFY_WITH_TIMEOUT(glass->isPlaying(), 20000);
        QVERIFY(player.play(CompletionSound::GentleTap, 0.55));
        QVERIFY(!glass->isPlaying());
        player.stop();
        QVERIFY(!tink->isPlaying());
        QVERIFY(!player.isPlaying());
    }
};

QTEST_GUILESS_MAIN(SoundPlayerTest)
#include "tst_sound_player.moc"
