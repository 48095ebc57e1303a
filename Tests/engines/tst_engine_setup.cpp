// The set-up's engine build (scripts/build-engines.sh) when a package cannot be had: it stops
// with a message naming the package and leaves no engine, built or half-built, behind. An
// `npm` of the test's own stands in for the registry.

#include "TestPaths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace sorvane::testing;

class EngineSetupTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void aPackageThatCannotBeHadStopsTheSetUp_data()
    {
        QTest::addColumn<QByteArray>("npm");     // the stand-in's script
        QTest::addColumn<QString>("message");    // what the set-up must say
        QTest::newRow("refused download")
            << QByteArray("echo 'npm error 404 Not Found' >&2\nexit 1\n")
            << QStringLiteral("could not download the npm package nodejs-whisper@0.3.1");
        QTest::newRow("nothing downloaded")
            << QByteArray("exit 0\n")
            << QStringLiteral("could not download the npm package nodejs-whisper@0.3.1");
        QTest::newRow("another tarball")
            << QByteArray("echo 'not the package' > nodejs-whisper-0.3.1.tgz\necho nodejs-whisper-0.3.1.tgz\n")
            << QStringLiteral("the npm package nodejs-whisper@0.3.1 is not the pinned one");
    }

    void aPackageThatCannotBeHadStopsTheSetUp()
    {
        QFETCH(QByteArray, npm);
        QFETCH(QString, message);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString bin = dir.filePath(QStringLiteral("bin"));
        const QString cache = dir.filePath(QStringLiteral("cache"));
        const QString build = dir.filePath(QStringLiteral("build"));
        QVERIFY(writeFile(bin + QStringLiteral("/npm"), "#!/bin/sh\n" + npm));
        QVERIFY(QFile::setPermissions(bin + QStringLiteral("/npm"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));

        QProcess setUp;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("PATH"), bin + QLatin1Char(':') + environment.value(QStringLiteral("PATH")));
        environment.insert(QStringLiteral("SORVANE_ENGINE_CACHE"), cache);
        setUp.setProcessEnvironment(environment);
        setUp.start(QStringLiteral("bash"), {testDataFile(QStringLiteral("../scripts/build-engines.sh")), build});
        QVERIFY(setUp.waitForFinished(120000));
        const QString said = QString::fromUtf8(setUp.readAllStandardError());
        QCOMPARE(setUp.exitStatus(), QProcess::NormalExit);
        QVERIFY(setUp.exitCode() != 0);
        QVERIFY2(said.contains(message), qPrintable(said));

        // Nothing the next run could take for a finished engine, and nothing installed.
        QCOMPARE(QDir(cache).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList());
        QVERIFY(!QFileInfo::exists(build + QStringLiteral("/libexec/sorvane/whisper-cli")));
        QVERIFY(!QFileInfo::exists(build + QStringLiteral("/libexec/sorvane/llama-server")));
    }
};

QTEST_GUILESS_MAIN(EngineSetupTest)
#include "tst_engine_setup.moc"
