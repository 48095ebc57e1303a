#include "Platform/ResourceLocator.h"
#include "TestPaths.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTest>

#include <csignal>
#include <unistd.h>

using namespace sorvane;

namespace {

// What the bridge's standard output is connected to.
enum class Output {
    Pipe,       // read by us
    BrokenPipe, // a pipe whose reader has gone
    Closed,     // no descriptor at all
};

} // namespace

Q_DECLARE_METATYPE(Output)

// The built program, started the way its caller starts it.
class BridgeProgramTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        // Our own writes to a child that closed its input must not end this test.
        std::signal(SIGPIPE, SIG_IGN);
        const std::optional<QString> found = ResourceLocator::executable(QStringLiteral("SorvaneAppleBridge"));
        QVERIFY2(found, "SorvaneAppleBridge is not where the application looks for it");
        QCOMPARE(QFileInfo(*found).canonicalFilePath(),
                 QFileInfo(testing::buildDirectory() + QStringLiteral("/libexec/sorvane/SorvaneAppleBridge"))
                     .canonicalFilePath());
        m_program = *found;
    }

    void runsOnce_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<bool>("closeInput");
        QTest::addColumn<Output>("outputTo");
        QTest::addColumn<QByteArray>("output"); // checked when we read it

        const QByteArray request = R"({"instructions":"","prompt":"Hello"})";
        const QByteArray notEligible =
            R"({"ok":false,"error":"This computer is not eligible for the on-device model."})";
        QTest::newRow("nothing on standard input")
            << QByteArray() << false << Output::Pipe
            << QByteArray(R"({"ok":false,"error":"The request is empty."})");
        QTest::newRow("a request, no model here") << request << false << Output::Pipe << notEligible;
        QTest::newRow("standard input closed")
            << QByteArray() << true << Output::Pipe
            << QByteArray(R"({"ok":false,"error":"The request could not be read."})");
        QTest::newRow("reader gone, empty request") << QByteArray() << false << Output::BrokenPipe << QByteArray();
        QTest::newRow("reader gone, a request") << request << false << Output::BrokenPipe << QByteArray();
        QTest::newRow("standard output closed") << request << false << Output::Closed << QByteArray();
    }

    void runsOnce()
    {
        QFETCH(QByteArray, input);
        QFETCH(bool, closeInput);
        QFETCH(Output, outputTo);
        QFETCH(QByteArray, output);

        QProcess bridge;
        bridge.setProgram(m_program);
        // Runs in the child just before it starts: the signal disposition is inherited, so
        // the default is put back to show that the bridge itself ignores SIGPIPE.
        bridge.setChildProcessModifier([closeInput, outputTo] {
            struct sigaction action {};
            action.sa_handler = SIG_DFL;
            ::sigaction(SIGPIPE, &action, nullptr);
            if (closeInput)
                ::close(STDIN_FILENO);
            if (outputTo == Output::Closed) {
                ::close(STDOUT_FILENO);
            } else if (outputTo == Output::BrokenPipe) {
                int fds[2];
                if (::pipe(fds) == 0) {
                    ::close(fds[0]);
                    ::dup2(fds[1], STDOUT_FILENO);
                    ::close(fds[1]);
                }
            }
        });
        bridge.start();
        QVERIFY2(bridge.waitForStarted(), qPrintable(bridge.errorString()));
        if (!closeInput && !input.isEmpty())
            QCOMPARE(bridge.write(input), input.size());
        bridge.closeWriteChannel();
        QVERIFY2(bridge.waitForFinished(30000), "the bridge did not end");

        QCOMPARE(bridge.exitStatus(), QProcess::NormalExit);
        QCOMPARE(bridge.exitCode(), 1);
        QCOMPARE(bridge.readAllStandardError(), QByteArray());
        if (outputTo == Output::Pipe)
            QCOMPARE(bridge.readAllStandardOutput(), output);
    }

private:
    QString m_program;
};

QTEST_GUILESS_MAIN(BridgeProgramTest)
#include "tst_bridge_program.moc"
