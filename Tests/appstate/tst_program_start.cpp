// The program builds its state at start and ends cleanly on SIGTERM.

#include "Platform/SettingsStore.h"
#include "TestPaths.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTest>

using namespace sorvane;
using namespace sorvane::testing;

class ProgramStartTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void buildsTheStateAndEndsOnSigterm()
    {
        const QString settingsPath = JsonFileSettingsStore::defaultPath();
        QFile::remove(settingsPath);

        QProcess program;
        program.setProgram(buildDirectory() + QStringLiteral("/bin/sorvane"));
        program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        program.start();
        QVERIFY(program.waitForStarted(20000));

        // The state's start-up runs the settings migration, which marks itself in the file.
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(settingsPath), 20000);
        QTRY_VERIFY_WITH_TIMEOUT(JsonFileSettingsStore(settingsPath, JsonFileSettingsStore::Mode::ReadOnly)
                                     .boolValue(QStringLiteral("didMigrateProductIdentityToSorvane"))
                                     .value_or(false),
                                 20000);
        QCOMPARE(program.state(), QProcess::Running);

        program.terminate();
        QVERIFY(program.waitForFinished(20000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
    }
};

QTEST_GUILESS_MAIN(ProgramStartTest)
#include "tst_program_start.moc"
