// In the X11 session, the program holds its global shortcuts from start to SIGTERM.

#include "Platform/HotKeyBackend.h"
#include "Platform/SettingsStore.h"
#include "Platform/X11/X11Connection.h"
#include "TestPaths.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

using namespace sorvane;
using namespace sorvane::testing;

namespace {

// Whether another client holds Alt+Space (the default Dictation toggle) right now.
bool altSpaceTakenElsewhere(HotKeyBackend &backend)
{
    auto registered = backend.registerHotKey(49, HotKeyModifier::Option, 1);
    if (registered) {
        backend.unregisterHotKey(registered.value());
        return false;
    }
    return registered.error().kind() == HotKeyError::Kind::TakenByAnotherClient;
}

} // namespace

class ProgramHotKeysTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        if (!x11PlatformProvided())
            return;
    }

    void holdsTheShortcutsWhileItRuns()
    {
        const auto backend = createSystemHotKeyBackend(X11Connection::open());
        QVERIFY(!altSpaceTakenElsewhere(*backend));

        QTemporaryDir folder;
        const QString agentLog = folder.filePath(QStringLiteral("agent.log"));
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("SORVANE_SORVANE_AGENT_PATH"), testProgram(QStringLiteral("fake-sorvane-agent")));
        environment.insert(QStringLiteral("SORVANE_FAKE_AGENT_LOG"), agentLog);
        program.setProcessEnvironment(environment);
        program.setProgram(buildDirectory() + QStringLiteral("/bin/sorvane"));
        program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        program.start();
        QVERIFY(program.waitForStarted(20000));
        // A failed check must not leave the program holding the keys for the next test.
        const auto stop = qScopeGuard([&] {
            program.kill();
            program.waitForFinished(10000);
        });

        // Registered at start: the runtime starts right after. Checked only then, since
        // a check is a grab, and a grab while the program registers takes the keys from it.
        QTRY_VERIFY_WITH_TIMEOUT(readFile(agentLog).contains("\"start\""), 20000);
        QVERIFY(altSpaceTakenElsewhere(*backend));

        program.terminate();
        QVERIFY(program.waitForFinished(20000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(!altSpaceTakenElsewhere(*backend), 20000);
    }
};

QTEST_MAIN(ProgramHotKeysTest)
#include "tst_program_hot_keys.moc"
