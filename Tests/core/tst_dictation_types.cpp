#include "Dictation/DictationTypes.h"

#include <QTest>

using namespace sorvane;

class DictationTypesTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void textValuesAreExact()
    {
        QCOMPARE(fromText<OverlayAppearance>(QStringLiteral("Automatic")), OverlayAppearance::Automatic);
        QVERIFY(!fromText<OverlayAppearance>(QStringLiteral("automatic")));
        QCOMPARE(fromText<CompletionSound>(QStringLiteral("Soft pop")), CompletionSound::SoftPop);
        QVERIFY(!fromText<CompletionSound>(QStringLiteral("Soft Pop")));
        QCOMPARE(fromText<OverlaySize>(QStringLiteral("Mini")), OverlaySize::Mini);
        QCOMPARE(fromText<SettingsArea>(QStringLiteral("Behaviour")), SettingsArea::Behaviour);
        QVERIFY(!fromText<AppSection>(QString()));
    }

    void casesRoundTripInOrder()
    {
        QStringList sections, sounds, areas;
        for (AppSection s : allCases<AppSection>()) {
            sections << toText(s);
            QCOMPARE(fromText<AppSection>(toText(s)), s);
        }
        for (CompletionSound s : allCases<CompletionSound>()) {
            sounds << toText(s);
            QCOMPARE(fromText<CompletionSound>(toText(s)), s);
        }
        for (SettingsArea a : allCases<SettingsArea>())
            areas << toText(a);
        QCOMPARE(sections, (QStringList{"Home", "History", "Models", "Settings"}));
        QCOMPARE(sounds, (QStringList{"Soft pop", "Glass chime", "Gentle tap"}));
        QCOMPARE(areas, (QStringList{"Shortcuts", "Behaviour", "Account"}));
        QCOMPARE(allCases<OverlayAppearance>().size(), 3);
        QCOMPARE(toText(OverlayAppearance::Dark), QStringLiteral("Dark"));
        QCOMPARE(toText(OverlaySize::Classic), QStringLiteral("Classic"));
    }

    void captureStatusEquality()
    {
        QVERIFY(CaptureStatus::success("a") == CaptureStatus::success("a"));
        QVERIFY(CaptureStatus::success("a") != CaptureStatus::success("b"));
        QVERIFY(CaptureStatus::success("a") != CaptureStatus::error("a"));
        QVERIFY(CaptureStatus::idle() == CaptureStatus());
        QVERIFY(CaptureStatus::recording() != CaptureStatus::processing());
    }

    void errorMessages_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("message");
        QTest::newRow("empty detail") << 0 << "The local transcription failed.";
        QTest::newRow("blank detail is kept") << 1 << " ";
        QTest::newRow("detail") << 2 << "error: bad file";
        QTest::newRow("no model") << 3 << "Download and select a speech model first.";
        QTest::newRow("recorder") << 4 << "Sorvane could not access the microphone.";
        QTest::newRow("empty transcript") << 5 << "No speech was detected.";
        QTest::newRow("missing engine") << 6 << "The bundled local speech engine is missing.";
    }

    void errorMessages()
    {
        QFETCH(int, index);
        QFETCH(QString, message);
        const SorvaneError errors[] = {
            SorvaneError::transcriptionFailed(QString()), SorvaneError::transcriptionFailed(QStringLiteral(" ")),
            SorvaneError::transcriptionFailed(QStringLiteral("error: bad file")), SorvaneError::noModel(),
            SorvaneError::recorderUnavailable(), SorvaneError::emptyTranscript(), SorvaneError::missingEngine()};
        QCOMPARE(errors[index].message(), message);
    }
};

QTEST_GUILESS_MAIN(DictationTypesTest)
#include "tst_dictation_types.moc"
