#include "Shared/AppPaths.h"
#include "TestPaths.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace sorvane;
using namespace sorvane::testing;

namespace {

const QStringList workingFolders = {
    QStringLiteral("Sorvane/"), QStringLiteral("Sorvane/Agent/"), QStringLiteral("Sorvane/Agent/Attachments/"),
    QStringLiteral("Sorvane/AgentModels/"), QStringLiteral("Sorvane/Models/"), QStringLiteral("Sorvane/Recordings/"),
    QStringLiteral("Sorvane/TemporaryRecordings/")};

QStringList withWorkingFolders(QStringList entries)
{
    for (const QString &folder : workingFolders)
        if (!entries.contains(folder))
            entries.append(folder);
    entries.sort();
    return entries;
}

} // namespace

class AppPathsTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        m_home.reset(new QTemporaryDir);
        useDataHome(m_home->path());
    }

    void locationsSitUnderTheDataHome()
    {
        const QString root = m_home->path() + QStringLiteral("/Sorvane");
        QCOMPARE(AppPaths::root(), root);
        QCOMPARE(AppPaths::history(), root + QStringLiteral("/history.json"));
        QCOMPARE(AppPaths::agentConversations(), root + QStringLiteral("/Agent/conversations.json"));
        QCOMPARE(AppPaths::agentSessions(), root + QStringLiteral("/Agent/sessions.sqlite"));
        QCOMPARE(AppPaths::customAgentModels(), root + QStringLiteral("/Agent/custom-models.json"));
        QCOMPARE(AppPaths::agentAttachments(), root + QStringLiteral("/Agent/Attachments"));
    }

    // Files are given as "path=content"; folders end in "/"; "link->target" makes a symbolic link.
    void prepareMigratesTheEarlierFolder_data()
    {
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<QStringList>("after");
        QTest::addColumn<QStringList>("contents");

        QTest::newRow("neither folder") << QStringList{} << withWorkingFolders({}) << QStringList{};

        QTest::newRow("only the earlier folder moves whole")
            << QStringList{"Brivel Plus/history.json=old", "Brivel Plus/Models/a.bin=A"}
            << withWorkingFolders({"Sorvane/history.json", "Sorvane/Models/a.bin"})
            << QStringList{"Sorvane/history.json=old", "Sorvane/Models/a.bin=A"};

        QTest::newRow("both hold history.json: the new one stays, the old one is kept")
            << QStringList{"Brivel Plus/history.json=old", "Sorvane/history.json=new"}
            << withWorkingFolders({"Brivel Plus/", "Brivel Plus/history.json", "Sorvane/history.json"})
            << QStringList{"Sorvane/history.json=new", "Brivel Plus/history.json=old"};

        QTest::newRow("folders merge and the emptied earlier folder goes")
            << QStringList{"Brivel Plus/Models/a.bin=A", "Sorvane/Models/b.bin=B"}
            << withWorkingFolders({"Sorvane/Models/a.bin", "Sorvane/Models/b.bin"})
            << QStringList{"Sorvane/Models/a.bin=A", "Sorvane/Models/b.bin=B"};

        QTest::newRow("a folder whose name is taken by a file stays behind")
            << QStringList{"Brivel Plus/Extras/r.wav=R", "Sorvane/Extras=file"}
            << withWorkingFolders({"Brivel Plus/", "Brivel Plus/Extras/", "Brivel Plus/Extras/r.wav", "Sorvane/Extras"})
            << QStringList{"Brivel Plus/Extras/r.wav=R", "Sorvane/Extras=file"};

        QTest::newRow("hidden files move too")
            << QStringList{"Brivel Plus/.hidden=h", "Sorvane/"}
            << withWorkingFolders({"Sorvane/.hidden"})
            << QStringList{"Sorvane/.hidden=h"};

        QTest::newRow("a linked folder moves as a link")
            << QStringList{"Elsewhere/keep.txt=k", "Brivel Plus/Models->../Elsewhere", "Sorvane/"}
            << withWorkingFolders({"Elsewhere/", "Elsewhere/keep.txt", "Sorvane/Models"}).filter(
                   QRegularExpression(QStringLiteral("^(?!Sorvane/Models/$)")))
            << QStringList{"Elsewhere/keep.txt=k"};

        QTest::newRow("a linked folder is never merged into")
            << QStringList{"Elsewhere/keep.txt=k", "Brivel Plus/Models->../Elsewhere", "Sorvane/Models/b.bin=B"}
            << withWorkingFolders({"Brivel Plus/", "Brivel Plus/Models", "Elsewhere/", "Elsewhere/keep.txt",
                                   "Sorvane/Models/b.bin"})
            << QStringList{"Elsewhere/keep.txt=k", "Sorvane/Models/b.bin=B"};
    }

    void prepareMigratesTheEarlierFolder()
    {
        QFETCH(QStringList, before);
        QFETCH(QStringList, after);
        QFETCH(QStringList, contents);
        const QString home = m_home->path() + QLatin1Char('/');
        for (const QString &entry : before) {
            if (entry.contains(QStringLiteral("->"))) {
                const QStringList parts = entry.split(QStringLiteral("->"));
                QDir().mkpath(QFileInfo(home + parts[0]).absolutePath());
                QVERIFY(QFile::link(parts[1], home + parts[0]));
            } else if (entry.endsWith(QLatin1Char('/'))) {
                QVERIFY(QDir().mkpath(home + entry));
            } else {
                const QStringList parts = entry.split(QLatin1Char('='));
                QVERIFY(writeFile(home + parts[0], parts[1].toUtf8()));
            }
        }

        const auto prepared = AppPaths::prepare();
        QVERIFY2(prepared.ok(), prepared.ok() ? "" : qPrintable(prepared.error()));

        // Links show without a trailing "/": they were moved or left as links.
        QCOMPARE(treeOf(m_home->path()), after);
        for (const QString &entry : contents) {
            const QStringList parts = entry.split(QLatin1Char('='));
            QCOMPARE(QString::fromUtf8(readFile(home + parts[0])), parts[1]);
        }
    }

    void prepareIsRepeatable()
    {
        QVERIFY(AppPaths::prepare().ok());
        QVERIFY(writeFile(AppPaths::history(), "[]"));
        QVERIFY(AppPaths::prepare().ok());
        QCOMPARE(readFile(AppPaths::history()), QByteArray("[]"));
    }

    void aFailedCreationIsReported()
    {
        // The root's place is taken by a file: no folder can be made below it.
        QVERIFY(writeFile(m_home->path() + QStringLiteral("/Sorvane"), "x"));
        const auto prepared = AppPaths::prepare();
        QVERIFY(!prepared.ok());
        QVERIFY(prepared.error().contains(QStringLiteral("Models")));
    }

private:
    std::unique_ptr<QTemporaryDir> m_home;
};

QTEST_GUILESS_MAIN(AppPathsTest)
#include "tst_app_paths.moc"
