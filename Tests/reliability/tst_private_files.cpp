#include "Platform/SettingsStore.h"
#include "Services/Command/AgentConversationStore.h"
#include "Services/Dictation/HistoryStore.h"
#include "Services/Dictation/WavFileWriter.h"
#include "Shared/AppPaths.h"
#include "Support/StoredJson.h"
#include "TestPaths.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <sys/stat.h>

using namespace sorvane;
using namespace sorvane::testing;

namespace {

int modeOf(const QString &path)
{
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return -1;
    return int(info.st_mode & 07777);
}

QString octal(int mode)
{
    return QString::number(mode, 8);
}

} // namespace

class PrivateFilesTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        // What a desktop session usually has: files readable by everyone unless we say otherwise.
        m_umask = ::umask(022);
        m_home = temporaryDataHome();
        m_config.reset(new QTemporaryDir);
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config->path()));
    }

    void cleanup()
    {
        ::umask(m_umask);
    }

    void newFoldersAndFilesAreTheOwnersOnly()
    {
        QVERIFY(AppPaths::prepare().ok());
        const QStringList folders{AppPaths::root(), AppPaths::models(), AppPaths::agentModels(), AppPaths::agentData(),
                                  AppPaths::agentAttachments(), AppPaths::recordings(), AppPaths::temporaryRecordings()};
        for (const QString &folder : folders)
            QCOMPARE(octal(modeOf(folder)), QStringLiteral("700"));

        HistoryStore history(HistoryStore::defaultOptions());
        history.insert(HistoryItem::make(QDateTime::currentDateTimeUtc(), QStringLiteral("every word"), 2, QStringLiteral("pocket")));
        AgentConversationStore conversations(AgentConversationStore::defaultOptions());
        conversations.createConversation(QUuid::createUuid(), QStringLiteral("Shorter"), {}, QStringLiteral("Editor"));
        JsonFileSettingsStore settings(JsonFileSettingsStore::defaultPath());
        settings.setValue(QStringLiteral("overlaySize"), QStringLiteral("Mini"));
        WavFileWriter recording;
        const QString recordingPath = AppPaths::temporaryRecordings() + QStringLiteral("/take.wav");
        QVERIFY(recording.open(recordingPath));
        QVERIFY(recording.finish());
        const QString screenshot = AppPaths::agentAttachments() + QStringLiteral("/screen.png");
        QVERIFY(storedjson::writeFileAtomically(screenshot, "png"));

        const QStringList files{AppPaths::history(), AppPaths::agentConversations(), JsonFileSettingsStore::defaultPath(),
                                recordingPath, screenshot};
        for (const QString &file : files)
            QCOMPARE(octal(modeOf(file)), QStringLiteral("600"));
        QCOMPARE(octal(modeOf(AppPaths::configRoot())), QStringLiteral("700"));
    }

    void aRewrittenFileIsTightened()
    {
        QVERIFY(writeFile(AppPaths::history(), "[]"));
        QVERIFY(QFile::setPermissions(AppPaths::history(), QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                                               | QFileDevice::ReadGroup | QFileDevice::ReadOther));
        HistoryStore history(HistoryStore::defaultOptions());
        history.insert(HistoryItem::make(QDateTime::currentDateTimeUtc(), QStringLiteral("text"), 1, QStringLiteral("pocket")));
        QCOMPARE(octal(modeOf(AppPaths::history())), QStringLiteral("600"));
    }

    void existingFoldersAndFilesAreTightenedAtStart()
    {
        const QString outside = m_home->filePath(QStringLiteral("shared.txt"));
        QVERIFY(writeFile(outside, "not ours"));
        QVERIFY(::chmod(QFile::encodeName(outside).constData(), 0644) == 0);
        QVERIFY(writeFile(AppPaths::history(), "[]"));
        QVERIFY(writeFile(AppPaths::agentAttachments() + QStringLiteral("/A/screen.png"), "png"));
        QVERIFY(writeFile(AppPaths::configRoot() + QStringLiteral("/settings.json"), "{}"));
        QVERIFY(QFile::link(outside, AppPaths::root() + QStringLiteral("/link")));
        const QStringList folders{AppPaths::root(), AppPaths::agentData(), AppPaths::agentAttachments(),
                                  AppPaths::agentAttachments() + QStringLiteral("/A"), AppPaths::configRoot()};
        const QStringList files{AppPaths::history(), AppPaths::agentAttachments() + QStringLiteral("/A/screen.png"),
                                AppPaths::configRoot() + QStringLiteral("/settings.json")};
        for (const QString &path : folders)
            QVERIFY(::chmod(QFile::encodeName(path).constData(), 0755) == 0);
        for (const QString &path : files)
            QVERIFY(::chmod(QFile::encodeName(path).constData(), 0644) == 0);

        AppPaths::secureAtStart();

        for (const QString &path : folders)
            QCOMPARE(octal(modeOf(path)), QStringLiteral("700"));
        for (const QString &path : files)
            QCOMPARE(octal(modeOf(path)), QStringLiteral("600"));
        // A link is left as it is, and what it points to too.
        QCOMPARE(octal(modeOf(outside)), QStringLiteral("644"));
    }

    void leftOverSaveCopiesAreRecognised_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("leftOver");
        QTest::newRow("history") << "history.json.AbCdEf" << true;
        QTest::newRow("conversations") << "conversations.json.qWeRtY" << true;
        QTest::newRow("custom models") << "custom-models.json.ZZZZZZ" << true;
        QTest::newRow("settings") << "settings.json.abc123" << true;
        QTest::newRow("the file itself") << "history.json" << false;
        QTest::newRow("a file set aside") << "history.json.unreadable-20260131-091500" << false;
        QTest::newRow("five characters") << "history.json.AbCdE" << false;
        QTest::newRow("seven characters") << "history.json.AbCdEfG" << false;
        QTest::newRow("not our name") << "notes.json.AbCdEf" << false;
        QTest::newRow("a prefix") << "myhistory.json.AbCdEf" << false;
    }

    void leftOverSaveCopiesAreRecognised()
    {
        QFETCH(QString, name);
        QFETCH(bool, leftOver);
        QCOMPARE(AppPaths::isLeftOverSaveCopy(name), leftOver);
    }

    void leftOverSaveCopiesAreRemovedAtStartOnlyInOurFolders()
    {
        const QStringList removed{AppPaths::root() + QStringLiteral("/history.json.AbCdEf"),
                                  AppPaths::agentData() + QStringLiteral("/conversations.json.GhIjKl"),
                                  AppPaths::agentData() + QStringLiteral("/custom-models.json.MnOpQr"),
                                  AppPaths::configRoot() + QStringLiteral("/settings.json.StUvWx")};
        const QStringList kept{AppPaths::history(), AppPaths::root() + QStringLiteral("/history.json.unreadable-20260131-091500"),
                               AppPaths::root() + QStringLiteral("/notes.json.AbCdEf"),
                               m_home->filePath(QStringLiteral("history.json.AbCdEf")),
                               m_config->filePath(QStringLiteral("settings.json.AbCdEf"))};
        for (const QString &path : removed + kept)
            QVERIFY(writeFile(path, "[]"));

        AppPaths::secureAtStart();

        for (const QString &path : removed)
            QVERIFY2(!QFile::exists(path), qPrintable(path));
        for (const QString &path : kept)
            QVERIFY2(QFile::exists(path), qPrintable(path));
    }

private:
    mode_t m_umask = 022;
    std::unique_ptr<QTemporaryDir> m_home;
    std::unique_ptr<QTemporaryDir> m_config;
};

QTEST_GUILESS_MAIN(PrivateFilesTest)
#include "tst_private_files.moc"
