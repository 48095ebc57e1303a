#include "Dictation/TranscriptionProgressEstimator.h"

#include <QTest>
#include <cmath>
#include <limits>

using namespace sorvane;

Q_DECLARE_METATYPE(sorvane::SpeechEngine)

class ProgressAndDurationsTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void tick_data()
    {
        QTest::addColumn<double>("progress");
        QTest::addColumn<SpeechEngine>("engine");
        QTest::addColumn<double>("next");
        const auto whisper = SpeechEngine::Whisper;
        const auto parakeet = SpeechEngine::Parakeet;
        QTest::newRow("whisper from 0") << 0.0 << whisper << 0.984 * 0.035;
        QTest::newRow("parakeet from 0") << 0.0 << parakeet << 0.984 * 0.075;
        QTest::newRow("whisper smallest step below 0.9") << 0.85 << whisper << 0.85 + 0.006;
        QTest::newRow("parakeet smallest step below 0.9") << 0.85 << parakeet << 0.85 + 0.012;
        QTest::newRow("whisper share below 0.9") << 0.5 << whisper << 0.5 + 0.484 * 0.035;
        QTest::newRow("whisper share at 0.9") << 0.9 << whisper << 0.9 + 0.0008400000000000006;
        QTest::newRow("parakeet share at 0.9") << 0.9 << parakeet << 0.9 + 0.0008400000000000006;
        QTest::newRow("whisper near the cap takes the smallest step") << 0.98 << whisper << 0.9805;
        QTest::newRow("parakeet near the cap takes the smallest step") << 0.98 << parakeet << 0.9808;
        QTest::newRow("whisper stops at the cap") << 0.9836 << whisper << 0.984;
        QTest::newRow("at the cap, whisper") << 0.984 << whisper << 0.984;
        QTest::newRow("at the cap, parakeet") << 0.984 << parakeet << 0.984;
        QTest::newRow("past the cap comes back to it") << 0.99 << parakeet << 0.984;
        QTest::newRow("past the cap, whisper") << 1.5 << whisper << 0.984;
    }

    void tick()
    {
        QFETCH(double, progress);
        QFETCH(SpeechEngine, engine);
        QFETCH(double, next);
        QVERIFY2(std::fabs(TranscriptionProgressEstimator::tick(progress, engine) - next) < 1e-12,
                 qPrintable(QString::number(TranscriptionProgressEstimator::tick(progress, engine), 'g', 17)));
    }

    void ticksRiseToTheCapAndStay()
    {
        for (SpeechEngine engine : {SpeechEngine::Whisper, SpeechEngine::Parakeet}) {
            double p = 0.02;
            for (int i = 0; i < 5000; ++i) {
                const double next = TranscriptionProgressEstimator::tick(p, engine);
                QVERIFY(next >= p);
                QVERIFY(next <= TranscriptionProgressEstimator::cap);
                p = next;
            }
            QCOMPARE(p, TranscriptionProgressEstimator::cap);
        }
    }

    void recordingLabel_data()
    {
        QTest::addColumn<double>("seconds");
        QTest::addColumn<QString>("label");
        QTest::newRow("zero") << 0.0 << "0:00";
        QTest::newRow("rounds down") << 59.99 << "0:59";
        QTest::newRow("a minute") << 60.0 << "1:00";
        QTest::newRow("seconds padded") << 65.4 << "1:05";
        QTest::newRow("no hours") << 3700.0 << "61:40";
        QTest::newRow("negative") << -3.0 << "0:00";
        QTest::newRow("infinite") << std::numeric_limits<double>::infinity() << "0:00";
        QTest::newRow("undefined") << std::numeric_limits<double>::quiet_NaN() << "0:00";
        QTest::newRow("below a second") << 0.7 << "0:00";
    }

    void recordingLabel()
    {
        QFETCH(double, seconds);
        QFETCH(QString, label);
        QCOMPARE(RecordingDurationFormatter::label(seconds), label);
    }

    void historyLabel_data()
    {
        QTest::addColumn<double>("seconds");
        QTest::addColumn<QString>("label");
        QTest::newRow("half rounds up") << 59.5 << "1:00";
        QTest::newRow("below half a second") << 0.4 << "0:00";
        QTest::newRow("no hours") << 3725.0 << "62:05";
        QTest::newRow("nearest second") << 7.49 << "0:07";
        QTest::newRow("negative is zero") << -5.0 << "0:00";
        QTest::newRow("negative half is zero") << -0.5 << "0:00";
        QTest::newRow("undefined is zero") << std::numeric_limits<double>::quiet_NaN() << "0:00";
        QTest::newRow("too large is capped") << 1e300 << "153722867280912930:07";
        QTest::newRow("infinite is capped") << std::numeric_limits<double>::infinity() << "153722867280912930:07";
    }

    void historyLabel()
    {
        QFETCH(double, seconds);
        QFETCH(QString, label);
        QCOMPARE(durationLabel(seconds), label);
    }
};

QTEST_GUILESS_MAIN(ProgressAndDurationsTest)
#include "tst_progress_and_durations.moc"
