// The program's own windows as a screen reader sees them, through the session's AT-SPI
// bus: the main window's buttons are found by their names and pressed that way, and
// the overlay says what it shows.
#include "RealApps.h"

#include <QStandardPaths>

using namespace sorvane;
using namespace sorvane::testing;

class AccessibleWindowsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> home;
    AtSpiClient screenReader;

private Q_SLOTS:
    void initTestCase()
    {
        if (!displayAndMicrophoneProvided())
            return;
        for (const char *tool : {"xdotool", "sox", "paplay", "pactl", "dbus-send"})
            QVERIFY2(!QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty(), tool);
        QVERIFY(accessibilityBusOn());
        QVERIFY(screenReader.connect());
    }

    // The Home screen's Dictation button, found by its name and pressed over the bus,
    // starts a recording; the overlay then says so, and the button's name follows.
    void mainWindowButtonsArePressedByName()
    {
        home = std::make_unique<QTemporaryDir>();
        QVERIFY(home->isValid());
        SorvaneProgram sorvane(*home);
        QVERIFY(sorvane.prepare());
        QVERIFY(sorvane.start(QStringLiteral("Hello from the screen reader.")));
        // A second start brings the running copy's window forward.
        QProcess second;
        second.setProcessEnvironment(sorvane.process.processEnvironment());
        second.start(buildDirectory() + QStringLiteral("/bin/sorvane"), {});
        QVERIFY(second.waitForFinished(30000));

        std::optional<AtSpiNode> application;
        QTRY_VERIFY_WITH_TIMEOUT((application = screenReader.application(QStringLiteral("Sorvane"))).has_value(), 30000);
        std::optional<AtSpiNode> start;
        QTRY_VERIFY_WITH_TIMEOUT((start = screenReader.button(*application, QStringLiteral("Start dictation"))).has_value(),
                                 30000);
        // The sidebar's sections are buttons with their names too.
        QVERIFY(screenReader.button(*application, QStringLiteral("History")).has_value());

        const int streamsBefore = recordingStreams();
        QVERIFY(streamsBefore >= 0);
        QVERIFY(screenReader.press(*start));
        QTRY_VERIFY_WITH_TIMEOUT(recordingStreams() > streamsBefore, 20000);
        QTRY_COMPARE_WITH_TIMEOUT(screenReader.nameStartingWith(*application, QStringLiteral("Listening. ")).isEmpty(),
                                  false, 20000);

        std::optional<AtSpiNode> finish;
        QTRY_VERIFY_WITH_TIMEOUT((finish = screenReader.button(*application, QStringLiteral("Finish dictation"))).has_value(),
                                 20000);
        QVERIFY(screenReader.press(*finish));
        QTRY_VERIFY_WITH_TIMEOUT(recordingStreams() == streamsBefore, 20000);
        QTRY_VERIFY_WITH_TIMEOUT(screenReader.button(*application, QStringLiteral("Start dictation")).has_value(), 30000);

        // The settings' area tabs are pressed the same way: Behaviour's switches show.
        std::optional<AtSpiNode> settings = screenReader.button(*application, QStringLiteral("Settings"));
        QVERIFY(settings);
        QVERIFY(screenReader.press(*settings));
        std::optional<AtSpiNode> behaviour;
        QTRY_VERIFY_WITH_TIMEOUT((behaviour = screenReader.button(*application, QStringLiteral("Behaviour"))).has_value(),
                                 20000);
        QVERIFY(screenReader.nameStartingWith(*application, QStringLiteral("Restore clipboard after paste")).isEmpty());
        QVERIFY(screenReader.press(*behaviour));
        QTRY_COMPARE_WITH_TIMEOUT(screenReader.nameStartingWith(*application, QStringLiteral("Restore clipboard after paste")),
                                  QStringLiteral("Restore clipboard after paste"), 20000);
    }
};

QTEST_GUILESS_MAIN(AccessibleWindowsTest)
#include "tst_accessible_windows.moc"
