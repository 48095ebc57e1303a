// The completion sounds play through Qt Multimedia on the test session's PulseAudio.

#include "Platform/Multimedia/QtSoundPlayer.h"
#include "TestPaths.h"

#include <QAudioDevice>
#include <QFile>
#include <QMediaDevices>
#include <QSignalSpy>
#include <QSoundEffect>
#include <QTest>

using namespace sorvane;
using namespace sorvane::testing;

class SoundPlayerTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        if (qEnvironmentVariable("SORVANE_TEST_PULSE_SINK").isEmpty()) {
            if (qEnvironmentVariableIsSet("SORVANE_TEST_PULSE_EXPECTED") || qEnvironmentVariableIsSet("CI"))
                QFAIL("The test session started no PulseAudio daemon (see scripts/test-session.d/pulseaudio.sh).");
            exitSkipped(QStringLiteral("no PulseAudio test sink; run through scripts/test.sh"));
        }
        QVERIFY(!QMediaDevices::audioOutputs().isEmpty());
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
