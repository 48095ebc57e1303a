#include "Shared/AppPaths.h"
#include "FakeAudioInput.h"
#include "FakePlatform.h"
#include "Services/Dictation/AudioRecorder.h"
#include "TestPaths.h"
#include "WavFile.h"

#include <QDir>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <memory>

using namespace sorvane;
using namespace sorvane::testing;

namespace {

QVector<qint16> squareWave(qsizetype count, qint16 amplitude)
{
    QVector<qint16> samples(count);
    for (qsizetype i = 0; i < count; ++i)
        samples[i] = (i / 8) % 2 ? amplitude : qint16(-amplitude);
    return samples;
}

QStringList temporaryRecordings()
{
    return QDir(AppPaths::temporaryRecordings())
        .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

const QList<double> resting(AudioRecorder::sampleCount, AudioRecorder::restingSample);

} // namespace

class AudioRecorderTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        m_home = temporaryDataHome();
        m_ownedInput = std::make_unique<FakeAudioInput>();
        m_input = m_ownedInput.get();
        m_recorder = std::make_unique<AudioRecorder>(*m_input);
    }

    void cleanup()
    {
        m_recorder.reset();
        m_input = nullptr;
        m_ownedInput.reset();
    }

    // The input belongs to the platform, which outlives every recorder made on it.
    void theInputStaysThePlatforms()
    {
        FakePlatform fakes;
        const QPointer<AudioInput> input(&fakes.platform->audioInput());
        {
            AudioRecorder recorder(fakes.platform->audioInput());
            QVERIFY(recorder.start());
            fakes.audioInput->pushSamples(squareWave(320, 1000));
            recorder.cancel();
        }
        QVERIFY(input);
        QCOMPARE(input->parent(), nullptr);
        AudioRecorder next(fakes.platform->audioInput());
        QVERIFY(next.start());
        QVERIFY(fakes.audioInput->running);
        next.cancel();
    }

    void levelFollowsThePowerCurve_data()
    {
        QTest::addColumn<double>("decibels");
        QTest::addColumn<double>("level");
        QTest::newRow("-55 dB is the floor") << -55.0 << 0.015;
        QTest::newRow("below -55 dB stays at the floor") << -90.0 << 0.015;
        QTest::newRow("silence") << -160.0 << 0.015;
        QTest::newRow("-7 dB is full scale") << -7.0 << 1.0;
        QTest::newRow("above -7 dB stays full") << -1.0 << 1.0;
        QTest::newRow("0 dB") << 0.0 << 1.0;
        QTest::newRow("-31 dB is half way, bent") << -31.0 << 0.34151;
        // The bent curve drops below the floor at about -51.8 dB.
        QTest::newRow("curve under the floor") << -52.0 << 0.015;
        QTest::newRow("curve just above the floor") << -50.2 << 0.02818;
        QTest::newRow("-43 dB") << -43.0 << 0.11663;
    }

    void levelFollowsThePowerCurve()
    {
        QFETCH(double, decibels);
        QFETCH(double, level);
        QVERIFY2(std::abs(AudioRecorder::levelForPower(decibels) - level) < 1e-4,
                 qPrintable(QString::number(AudioRecorder::levelForPower(decibels))));
    }

    void averagePowerOfKnownSignals()
    {
        QCOMPARE(AudioRecorder::averagePower(nullptr, 0), -160.0);
        const QVector<qint16> silence(1600, 0);
        QCOMPARE(AudioRecorder::averagePower(silence.constData(), silence.size()), -160.0);
        const QVector<qint16> loud = squareWave(1600, 32767);
        QVERIFY(std::abs(AudioRecorder::averagePower(loud.constData(), loud.size())) < 0.001);
        // A sine at half of full scale: 20 log10(0.5 / sqrt 2) = -9.03 dB.
        QVector<qint16> sine(16000);
        for (int i = 0; i < sine.size(); ++i)
            sine[i] = qint16(std::lround(16384 * std::sin(2 * M_PI * 440 * i / 16000.0)));
        QVERIFY(std::abs(AudioRecorder::averagePower(sine.constData(), sine.size()) + 9.031) < 0.01);
    }

    void meterShowsWhatTheDeviceDelivers()
    {
        QVERIFY(m_recorder->start());
        QCOMPARE(m_recorder->level(), AudioRecorder::restingSample);
        QCOMPARE(m_recorder->samples(), resting);

        // A square wave of an eighth of full scale is -18.06 dB.
        m_input->pushSamples(squareWave(1600, 4096));
        const double expected = std::pow((-18.0618 + 55) / 48, 1.55);
        QTRY_VERIFY(std::abs(m_recorder->level() - expected) < 1e-3);
        QCOMPARE(m_recorder->samples().last(), m_recorder->level());
    }

    void samplesKeepTheLastTwentyLevels()
    {
        QSignalSpy levels(m_recorder.get(), &AudioRecorder::levelChanged);
        // Each tick sees a louder signal than the one before, so every level differs.
        int step = 0;
        connect(m_recorder.get(), &AudioRecorder::levelChanged, m_input,
                [&] { m_input->pushSamples(squareWave(1600, qint16(500 + 1200 * ++step))); });
        QVERIFY(m_recorder->start());
        levels.clear();
        QTRY_VERIFY_WITH_TIMEOUT(levels.size() >= 25, 10000);
        m_recorder->stop();

        QList<double> ticks;
        for (int i = 0; i < 25; ++i)
            ticks.append(levels.at(i).at(0).toDouble());
        QCOMPARE(m_recorder->samples().size(), AudioRecorder::sampleCount);
        QCOMPARE(m_recorder->samples(), ticks.mid(5));
        QVERIFY(ticks.at(24) > ticks.at(5));
        QCOMPARE(m_recorder->level(), 0.0);
    }

    void stoppedFileIsPcmWavWithTheSamples()
    {
        QElapsedTimer clock;
        clock.start();
        const auto started = m_recorder->start();
        QVERIFY(started);
        const QString path = started.value();
        QCOMPARE(QFileInfo(path).absolutePath(), AppPaths::temporaryRecordings());

        // Deliveries that split a sample in two must not shift the rest by a byte.
        QVector<qint16> sent;
        for (int i = 0; i < 16003; ++i)
            sent.append(qint16(i * 7 - 30000));
        QByteArray bytes;
        for (qint16 sample : sent) {
            bytes.append(char(sample & 0xff));
            bytes.append(char((quint16(sample) >> 8) & 0xff));
        }
        m_input->push(bytes.left(1001));
        m_input->push(bytes.mid(1001, 3));
        m_input->push(bytes.mid(1004));

        const auto finished = m_recorder->stop();
        const double elapsed = clock.elapsed() / 1000.0;
        QVERIFY(finished);
        QCOMPARE(finished->path, path);
        QVERIFY(finished->duration >= 0 && finished->duration <= elapsed);
        QVERIFY(!m_input->running);

        const auto wav = WavFile::read(path);
        QVERIFY(wav);
        QCOMPARE(wav->formatTag, quint16(1));
        QCOMPARE(wav->channels, quint16(1));
        QCOMPARE(wav->sampleRate, 16000u);
        QCOMPARE(wav->byteRate, 32000u);
        QCOMPARE(wav->blockAlign, quint16(2));
        QCOMPARE(wav->bitsPerSample, quint16(16));
        QCOMPARE(wav->dataSize, quint32(sent.size() * 2));
        QCOMPARE(wav->riffSize, quint32(36 + sent.size() * 2));
        QCOMPARE(wav->fileSize, qint64(44 + sent.size() * 2));
        QCOMPARE(wav->samples, sent);
    }

    void stopTwiceGivesNothingTheSecondTime()
    {
        QVERIFY(m_recorder->start());
        m_input->pushSamples(squareWave(320, 1000));
        const auto first = m_recorder->stop();
        QVERIFY(first);
        QVERIFY(!m_recorder->stop());
        QVERIFY(QFileInfo::exists(first->path));
        // The file belongs to the caller now; a stray cancel leaves it alone.
        m_recorder->cancel();
        QVERIFY(QFileInfo::exists(first->path));
    }

    void stopWithoutRecordingGivesNothing()
    {
        QVERIFY(!m_recorder->stop());
        QCOMPARE(m_input->starts, 0);
    }

    void cancelDeletesTheFileAndResetsTheMeter()
    {
        const auto started = m_recorder->start();
        QVERIFY(started);
        m_input->pushSamples(squareWave(1600, 8000));
        QTRY_VERIFY(m_recorder->level() > 0.5);
        m_recorder->cancel();
        QVERIFY(!QFileInfo::exists(started.value()));
        QVERIFY(!m_recorder->isRecording());
        QVERIFY(!m_input->running);
        QCOMPARE(m_recorder->level(), 0.0);
        QCOMPARE(m_recorder->samples(), resting);
        QVERIFY(!m_recorder->stop());
        QVERIFY(temporaryRecordings().isEmpty());
    }

    void deviceThatCannotStartLeavesNothing_data()
    {
        QTest::addColumn<bool>("deviceExists");
        QTest::addColumn<bool>("refuses");
        QTest::newRow("no input device") << false << false;
        QTest::newRow("device refuses to open") << true << true;
    }

    void deviceThatCannotStartLeavesNothing()
    {
        QFETCH(bool, deviceExists);
        QFETCH(bool, refuses);
        m_input->deviceExists = deviceExists;
        if (refuses)
            m_input->startFailure = QStringLiteral("busy");
        const auto started = m_recorder->start();
        QVERIFY(!started);
        QCOMPARE(started.error().kind(), RecorderError::Kind::Unavailable);
        QCOMPARE(started.error().message(), QStringLiteral("Sorvane could not access the microphone."));
        QVERIFY(!m_recorder->isRecording());
        QVERIFY(!m_recorder->stop());
        QVERIFY(temporaryRecordings().isEmpty());
        QCOMPARE(m_recorder->level(), 0.0);
    }

    void foldersThatCannotBeMadeGiveTheFileSystemError()
    {
        const QString blocker = m_home->filePath(QStringLiteral("blocker"));
        QVERIFY(writeFile(blocker, "not a folder"));
        useDataHome(blocker);
        const auto started = m_recorder->start();
        QVERIFY(!started);
        QCOMPARE(started.error().kind(), RecorderError::Kind::FileSystem);
        QVERIFY(!started.error().message().isEmpty());
        QCOMPARE(m_input->starts, 0);
    }

    void deviceFailingWhileRecordingEndsTheRecording()
    {
        QSignalSpy failures(m_recorder.get(), &AudioRecorder::failed);
        const auto started = m_recorder->start();
        QVERIFY(started);
        m_input->pushSamples(squareWave(3200, 8000));
        QTRY_VERIFY(m_recorder->level() > 0.5);

        m_input->breakDown(QStringLiteral("unplugged"));
        QCOMPARE(failures.size(), 1);
        const auto error = failures.at(0).at(0).value<RecorderError>();
        QCOMPARE(error.kind(), RecorderError::Kind::Unavailable);
        QCOMPARE(error.message(), QStringLiteral("Sorvane could not access the microphone."));
        QVERIFY(!QFileInfo::exists(started.value()));
        QVERIFY(temporaryRecordings().isEmpty());
        QVERIFY(!m_recorder->isRecording());
        QVERIFY(!m_recorder->stop());
        QCOMPARE(m_recorder->level(), 0.0);
        QCOMPARE(m_recorder->samples(), resting);

        // The recorder is usable again afterwards.
        QVERIFY(m_recorder->start());
        QVERIFY(m_recorder->stop());
    }

    void eachRecordingGetsItsOwnFile()
    {
        const QRegularExpression name(QStringLiteral("^[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\\.wav$"));
        const auto first = m_recorder->start();
        QVERIFY(first);
        QVERIFY(m_recorder->stop());
        const auto second = m_recorder->start();
        QVERIFY(second);
        QVERIFY(m_recorder->stop());
        QVERIFY(first.value() != second.value());
        QVERIFY(name.match(QFileInfo(first.value()).fileName()).hasMatch());
        QVERIFY(name.match(QFileInfo(second.value()).fileName()).hasMatch());
    }

    void cleanupRemovesEveryLeftover()
    {
        QVERIFY(AppPaths::prepare());
        const QString folder = AppPaths::temporaryRecordings();
        const QString outside = m_home->filePath(QStringLiteral("keep.wav"));
        QVERIFY(writeFile(outside, "mine"));
        QVERIFY(writeFile(folder + QStringLiteral("/A.wav"), "a"));
        QVERIFY(writeFile(folder + QStringLiteral("/.hidden"), "h"));
        QVERIFY(writeFile(folder + QStringLiteral("/nested/B.wav"), "b"));
        QVERIFY(QFile::link(outside, folder + QStringLiteral("/link.wav")));
        QVERIFY(QFile::link(m_home->path(), folder + QStringLiteral("/folder-link")));

        AudioRecorder::cleanupTemporaryRecordings();
        QVERIFY(temporaryRecordings().isEmpty());
        QVERIFY(QFileInfo(folder).isDir());
        QCOMPARE(readFile(outside), QByteArray("mine"));
    }

private:
    std::unique_ptr<QTemporaryDir> m_home;
    std::unique_ptr<FakeAudioInput> m_ownedInput;
    FakeAudioInput *m_input = nullptr;
    std::unique_ptr<AudioRecorder> m_recorder;
};

QTEST_GUILESS_MAIN(AudioRecorderTest)
#include "tst_audio_recorder.moc"
