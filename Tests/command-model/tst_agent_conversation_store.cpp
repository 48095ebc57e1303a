#include "Shared/AppPaths.h"
#include "Services/Command/AgentConversationStore.h"
#include "Support/StoredJson.h"
#include "TestPaths.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <unistd.h>

using namespace sorvane;
using namespace sorvane::testing;
using sorvane::testing::readFile;
using sorvane::testing::writeFile;

namespace {

QUuid uuid(int n)
{
    return QUuid::fromString(QStringLiteral("00000000-0000-4000-8000-%1").arg(n, 12, 10, QLatin1Char('0')));
}

QJsonArray fileArray(const QString &path)
{
    return QJsonDocument::fromJson(readFile(path)).array();
}

QList<QUuid> idsIn(const QList<AgentConversation> &conversations)
{
    QList<QUuid> ids;
    for (const AgentConversation &conversation : conversations)
        ids.append(conversation.id);
    return ids;
}

QList<QUuid> idsInFile(const QString &path)
{
    QList<QUuid> ids;
    for (const QJsonValue &item : fileArray(path))
        ids.append(QUuid::fromString(item.toObject().value(QStringLiteral("id")).toString()));
    return ids;
}

QByteArray storedConversation(int n, const char *updatedAt)
{
    return QStringLiteral(R"({"id": "%1", "title": "t%2", "createdAt": "2026-01-01T00:00:00Z",
        "updatedAt": "%3", "targetApplicationName": "", "messages": []})")
        .arg(storedjson::uuidText(uuid(n)))
        .arg(n)
        .arg(QLatin1String(updatedAt))
        .toUtf8();
}

const QString family = QStringLiteral("\U0001F468\u200D\U0001F469\u200D\U0001F467");

} // namespace

class AgentConversationStoreTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_file;
    QString m_root;
    QDateTime m_clock;

    std::unique_ptr<AgentConversationStore> makeStore(bool loadInBackground = false)
    {
        // Each reading of the clock is one second later than the one before.
        return std::make_unique<AgentConversationStore>(AgentConversationStore::Options{
            m_file, m_root, [this] { return m_clock = m_clock.addSecs(1); }, loadInBackground});
    }

    // The files beside the store's own, by name.
    QStringList filesInItsFolder() const
    {
        return QDir(QFileInfo(m_file).path()).entryList(QDir::Files);
    }

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        useDataHome(m_dir->filePath(QStringLiteral("data")));
        m_file = m_dir->filePath(QStringLiteral("Agent/conversations.json"));
        m_root = m_dir->filePath(QStringLiteral("Agent/Attachments"));
        m_clock = QDateTime(QDate(2026, 3, 1), QTime(9, 0, 0), Qt::UTC);
    }

    void startsEmptyAndWritesNothing()
    {
        auto store = makeStore();
        QVERIFY(store->conversations().isEmpty());
        QVERIFY(QFileInfo(m_root).isDir());
        QVERIFY(!QFile::exists(m_file));
    }

    void titles_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("title");
        const QString hundred = QString(50, QLatin1Char('a')) + QString(50, QLatin1Char('b'));
        QTest::newRow("blank") << QStringLiteral("  \n\t \n") << QStringLiteral("New conversation");
        QTest::newRow("empty") << QString() << QStringLiteral("New conversation");
        QTest::newRow("trimmed") << QStringLiteral("\n  Make it shorter  \n") << QStringLiteral("Make it shorter");
        QTest::newRow("long") << QStringLiteral("   ") + hundred << hundred.left(72);
        QTest::newRow("exactly 72") << QString(72, QLatin1Char('x')) << QString(72, QLatin1Char('x'));
        QTest::newRow("emoji at the cut") << QString(71, QLatin1Char('a')) + family + QStringLiteral("zzz")
                                          << QString(71, QLatin1Char('a')) + family;
        QTest::newRow("emoji past the cut") << QString(72, QLatin1Char('a')) + family
                                            << QString(72, QLatin1Char('a'));
        QTest::newRow("accent at the cut") << QString(71, QLatin1Char('a')) + QStringLiteral("e\u0301 and more")
                                           << QString(71, QLatin1Char('a')) + QStringLiteral("e\u0301");
    }

    void titles()
    {
        QFETCH(QString, message);
        QFETCH(QString, title);
        auto store = makeStore();
        store->createConversation(uuid(1), message, {}, QStringLiteral("Mail"));
        const AgentConversation stored = *store->conversation(uuid(1));
        QCOMPARE(stored.title, title);
        QCOMPARE(stored.messages.size(), 1);
        QCOMPARE(stored.messages[0].text, message); // the turn itself keeps the text as typed
        QCOMPARE(fileArray(m_file).at(0).toObject().value(QStringLiteral("title")).toString(), title);
    }

    void createdConversationsComeFirstAndReload()
    {
        AgentContextAttachment selected{QUuid::createUuid(), AgentAttachmentKind::SelectedText,
                                        QStringLiteral("Selected text"), QStringLiteral(" hello "), std::nullopt,
                                        QDateTime(QDate(2026, 3, 1), QTime(8, 0, 0), Qt::UTC)};
        {
            auto store = makeStore();
            QSignalSpy changed(store.get(), &AgentConversationStore::conversationsChanged);
            QCOMPARE(store->createConversation(uuid(1), QStringLiteral("first"), {selected}, QStringLiteral("Mail")),
                     uuid(1));
            store->createConversation(uuid(2), QStringLiteral("second"), {}, QString());
            QCOMPARE(changed.count(), 2);
            QCOMPARE(idsIn(store->conversations()), (QList<QUuid>{uuid(2), uuid(1)}));
            QCOMPARE(idsIn(store->property("conversations").value<QList<AgentConversation>>()),
                     (QList<QUuid>{uuid(2), uuid(1)}));
            const AgentConversation first = *store->conversation(uuid(1));
            QCOMPARE(first.createdAt, first.updatedAt);
            QCOMPARE(first.messages[0].createdAt, first.createdAt);
            QCOMPARE(first.messages[0].role, AgentMessageRole::User);
            QCOMPARE(first.targetApplicationName, QStringLiteral("Mail"));
            QVERIFY(!first.lastPastedText);
            QVERIFY(!store->conversation(uuid(3)));
        }
        QCOMPARE(idsInFile(m_file), (QList<QUuid>{uuid(2), uuid(1)}));
        auto reloaded = makeStore();
        QCOMPARE(idsIn(reloaded->conversations()), (QList<QUuid>{uuid(2), uuid(1)}));
        QCOMPARE(reloaded->conversation(uuid(1))->messages[0].attachments, QList<AgentContextAttachment>{selected});
    }

    void changesMoveAConversationToTheFront()
    {
        auto store = makeStore();
        store->createConversation(uuid(1), QStringLiteral("oldest"), {}, QString());
        store->createConversation(uuid(2), QStringLiteral("middle"), {}, QString());
        store->createConversation(uuid(3), QStringLiteral("newest"), {}, QString());

        store->addAssistantMessage(QStringLiteral("answer"), uuid(1));
        QCOMPARE(idsIn(store->conversations()), (QList<QUuid>{uuid(1), uuid(3), uuid(2)}));
        QCOMPARE(idsInFile(m_file), (QList<QUuid>{uuid(1), uuid(3), uuid(2)}));
        const AgentConversation answered = *store->conversation(uuid(1));
        const AgentMessage &answer = answered.messages.last();
        QCOMPARE(answer.role, AgentMessageRole::Assistant);
        QVERIFY(answer.attachments.isEmpty());
        QVERIFY(answer.createdAt < answered.updatedAt);

        const AgentContextAttachment shot{QUuid::createUuid(), AgentAttachmentKind::Screenshot,
                                          QStringLiteral("Mail window"), std::nullopt,
                                          m_root + QStringLiteral("/x.png"), m_clock};
        store->addUserMessage(QStringLiteral("shorter"), {shot}, uuid(2));
        QCOMPARE(idsIn(store->conversations()), (QList<QUuid>{uuid(2), uuid(1), uuid(3)}));
        QCOMPARE(store->conversation(uuid(2))->messages.last().attachments, QList<AgentContextAttachment>{shot});
        QCOMPARE(store->conversation(uuid(2))->messages.size(), 2);
    }

    void clearingThePastedTextRemovesItsKey()
    {
        auto store = makeStore();
        store->createConversation(uuid(1), QStringLiteral("one"), {}, QString());
        store->createConversation(uuid(2), QStringLiteral("two"), {}, QString());
        store->setLastPastedText(QStringLiteral("pasted"), uuid(1));
        QCOMPARE(fileArray(m_file).at(0).toObject().value(QStringLiteral("lastPastedText")).toString(),
                 QStringLiteral("pasted"));
        store->addAssistantMessage(QStringLiteral("x"), uuid(2));
        store->setLastPastedText(std::nullopt, uuid(1));
        QCOMPARE(idsIn(store->conversations()).first(), uuid(1));
        QVERIFY(!store->conversation(uuid(1))->lastPastedText);
        QVERIFY(!fileArray(m_file).at(0).toObject().contains(QStringLiteral("lastPastedText")));
    }

    void unknownIdsWriteNothing()
    {
        auto store = makeStore();
        store->createConversation(uuid(1), QStringLiteral("one"), {}, QString());
        const QList<AgentConversation> before = store->conversations();
        QVERIFY(QFile::remove(m_file));
        QSignalSpy changed(store.get(), &AgentConversationStore::conversationsChanged);
        store->addUserMessage(QStringLiteral("x"), {}, uuid(9));
        store->addAssistantMessage(QStringLiteral("x"), uuid(9));
        store->setLastPastedText(QStringLiteral("x"), uuid(9));
        QCOMPARE(store->conversations(), before);
        QCOMPARE(changed.count(), 0);
        QVERIFY(!QFile::exists(m_file));
    }

    void deletionRemovesTheConversationAndItsFolder()
    {
        auto store = makeStore();
        store->createConversation(uuid(1), QStringLiteral("one"), {}, QString());
        store->createConversation(uuid(2), QStringLiteral("two"), {}, QString());
        store->createConversation(uuid(3), QStringLiteral("three"), {}, QString());
        const QString folder = store->attachmentFolder(uuid(2));
        QCOMPARE(folder, m_root + QStringLiteral("/00000000-0000-4000-8000-000000000002"));
        QVERIFY(writeFile(folder + QStringLiteral("/shot.png"), "png"));
        QVERIFY(writeFile(folder + QStringLiteral("/inner/more.png"), "png"));
        const QString other = store->attachmentFolder(uuid(3));
        QVERIFY(writeFile(other + QStringLiteral("/keep.png"), "png"));

        store->deleteConversation(uuid(2));
        QCOMPARE(idsIn(store->conversations()), (QList<QUuid>{uuid(3), uuid(1)}));
        QCOMPARE(idsInFile(m_file), (QList<QUuid>{uuid(3), uuid(1)}));
        QVERIFY(!QFileInfo::exists(folder));
        QVERIFY(QFile::exists(other + QStringLiteral("/keep.png")));
    }

    void deletingAnUnknownIdStillWritesTheFile()
    {
        auto store = makeStore();
        store->createConversation(uuid(1), QStringLiteral("one"), {}, QString());
        const QByteArray content = readFile(m_file);
        QVERIFY(QFile::remove(m_file));
        store->deleteConversation(uuid(7)); // no such conversation, no folder
        QCOMPARE(readFile(m_file), content);
        QCOMPARE(store->conversations().size(), 1);
    }

    void deletionNeverFollowsALinkedFolder()
    {
        auto store = makeStore();
        store->createConversation(uuid(1), QStringLiteral("one"), {}, QString());
        const QString outside = m_dir->filePath(QStringLiteral("precious"));
        QVERIFY(writeFile(outside + QStringLiteral("/file.txt"), "keep me"));
        QVERIFY(QFile::link(outside, store->attachmentFolder(uuid(1))));
        store->deleteConversation(uuid(1));
        QCOMPARE(readFile(outside + QStringLiteral("/file.txt")), QByteArray("keep me"));
        QVERIFY(!QFileInfo(store->attachmentFolder(uuid(1))).isSymLink());
    }

    void attachmentFilesOnlyUnderTheAttachmentsFolder_data()
    {
        QTest::addColumn<QString>("relativePath");
        QTest::addColumn<bool>("usable");
        QTest::addColumn<QString>("resolvedPath"); // what is read, when not the path itself
        QTest::newRow("in a conversation folder") << "Agent/Attachments/C/shot.png" << true << "";
        QTest::newRow("pending") << "Agent/Attachments/pending/shot.png" << true << "";
        QTest::newRow("beside the folder") << "Agent/conversations.json" << false << "";
        QTest::newRow("climbing out") << "Agent/Attachments/C/../../conversations.json" << false << "";
        QTest::newRow("the folder itself") << "Agent/Attachments" << false << "";
        QTest::newRow("a look-alike folder") << "Agent/Attachments-old/shot.png" << false << "";
        QTest::newRow("a link pointing out") << "Agent/Attachments/C/link.png" << false << "";
        QTest::newRow("climbing out through a link") << "Agent/Attachments/out/../secret.txt" << false << "";
        QTest::newRow("a link leading nowhere") << "Agent/Attachments/C/dangling.png" << false << "";
        QTest::newRow("a link that stays inside") << "Agent/Attachments/again/shot.png" << true
                                                  << "Agent/Attachments/C/shot.png";
        QTest::newRow("no path") << "" << false << "";
    }

    void attachmentFilesOnlyUnderTheAttachmentsFolder()
    {
        QFETCH(QString, relativePath);
        QFETCH(bool, usable);
        QFETCH(QString, resolvedPath);
        auto store = makeStore();
        QVERIFY(writeFile(m_root + QStringLiteral("/C/shot.png"), "png"));
        QVERIFY(writeFile(m_dir->filePath(QStringLiteral("secret.txt")), "secret"));
        QVERIFY(QFile::link(m_dir->filePath(QStringLiteral("secret.txt")), m_root + QStringLiteral("/C/link.png")));
        // "out" leads to a folder outside whose parent holds a file of the same name as one inside.
        QVERIFY(writeFile(m_dir->filePath(QStringLiteral("Outside/secret.txt")), "outside"));
        QVERIFY(writeFile(m_root + QStringLiteral("/secret.txt"), "inside"));
        QVERIFY(QDir().mkpath(m_dir->filePath(QStringLiteral("Outside/inner"))));
        QVERIFY(QFile::link(m_dir->filePath(QStringLiteral("Outside/inner")), m_root + QStringLiteral("/out")));
        QVERIFY(QFile::link(m_dir->filePath(QStringLiteral("nowhere.png")), m_root + QStringLiteral("/C/dangling.png")));
        QVERIFY(QFile::link(m_root + QStringLiteral("/C"), m_root + QStringLiteral("/again")));
        AgentContextAttachment attachment{QUuid::createUuid(), AgentAttachmentKind::Screenshot,
                                          QStringLiteral("Application window"), std::nullopt, std::nullopt, m_clock};
        if (!relativePath.isEmpty())
            attachment.filePath = m_dir->filePath(relativePath);
        const auto file = store->attachmentFile(attachment);
        QCOMPARE(file.has_value(), usable);
        if (usable) {
            QCOMPARE(*file, m_dir->filePath(resolvedPath.isEmpty() ? relativePath : resolvedPath));
        }
        attachment.filePath = QStringLiteral("/etc/passwd");
        QVERIFY(!store->attachmentFile(attachment));
    }

    void loadingSortsStablyByLastChange()
    {
        const QByteArray file = "[" + storedConversation(1, "2026-01-02T00:00:00Z") + ","
            + storedConversation(2, "2026-01-03T00:00:00Z") + "," + storedConversation(3, "2026-01-02T00:00:00Z")
            + "," + storedConversation(4, "2026-01-02T00:00:00Z") + "]";
        QVERIFY(writeFile(m_file, file));
        auto store = makeStore();
        QCOMPARE(idsIn(store->conversations()), (QList<QUuid>{uuid(2), uuid(1), uuid(3), uuid(4)}));
        QCOMPARE(readFile(m_file), file); // nothing is written at start-up
    }

    void unreadableFileIsSetAsideBeforeTheFirstSave_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("not JSON") << QByteArray("[{\"id\": ");
        QTest::newRow("empty file") << QByteArray();
        QTest::newRow("an object") << QByteArray(R"({"conversations": []})");
        QTest::newRow("one bad record") << QByteArray("[" + storedConversation(1, "2026-01-02T00:00:00Z") + ","
                                                      + R"({"id": "nope"})" + "]");
        QTest::newRow("an unknown role") << QByteArray(QByteArray("[") + storedConversation(1, "2026-01-02T00:00:00Z")
                                                           .replace("\"messages\": []", R"("messages": [{"id": "00000000-0000-4000-8000-000000000009",
            "role": "system", "text": "x", "createdAt": "2026-01-02T00:00:00Z", "attachments": []}])")
                                                       + "]");
        // Read, this date could not be written back: the next save would lose the file.
        QTest::newRow("a date past the year 9999 in UTC")
            << QByteArray("[" + storedConversation(1, "2026-01-02T00:00:00Z") + ","
                          + storedConversation(2, "9999-12-31T23:59:59-14:00") + "]");
    }

    void unreadableFileIsSetAsideBeforeTheFirstSave()
    {
        QFETCH(QByteArray, content);
        QVERIFY(writeFile(m_file, content));
        auto store = makeStore();
        QVERIFY(store->conversations().isEmpty());
        QCOMPARE(readFile(m_file), content);

        store->createConversation(uuid(5), QStringLiteral("fresh"), {}, QString());
        QCOMPARE(idsInFile(m_file), QList<QUuid>{uuid(5)});
        const QStringList aside = QDir(QFileInfo(m_file).path())
                                      .entryList({QStringLiteral("conversations.json.unreadable-*")}, QDir::Files);
        QCOMPARE(aside.size(), 1);
        QCOMPARE(readFile(QFileInfo(m_file).path() + QLatin1Char('/') + aside.first()), content);

        // Only once: later changes replace the new file as usual.
        store->addAssistantMessage(QStringLiteral("answer"), uuid(5));
        QCOMPARE(QDir(QFileInfo(m_file).path())
                     .entryList({QStringLiteral("conversations.json.unreadable-*")}, QDir::Files)
                     .size(),
                 1);
    }

    // The program reads the file on a worker thread: what is started before it has been
    // read joins it, and nothing is written until it has been read.
    void aConversationStartedBeforeTheBackgroundLoadJoinsTheFile()
    {
        const QByteArray file = "[" + storedConversation(1, "2026-01-02T00:00:00Z") + ","
            + storedConversation(2, "2026-01-03T00:00:00Z") + "]";
        QVERIFY(writeFile(m_file, file));
        auto store = makeStore(true);
        QSignalSpy loaded(store.get(), &AgentConversationStore::loaded);
        QSignalSpy changed(store.get(), &AgentConversationStore::conversationsChanged);
        // The worker's result reaches the store through the event loop, which has not run.
        QVERIFY(!store->isLoaded());
        QVERIFY(!store->holdsEveryConversation());
        store->createConversation(uuid(3), QStringLiteral("new"), {}, QStringLiteral("Mail"));
        store->addAssistantMessage(QStringLiteral("answer"), uuid(3));
        store->setLastPastedText(QStringLiteral("answer"), uuid(3));
        QCOMPARE(idsIn(store->conversations()), QList<QUuid>{uuid(3)});
        QCOMPARE(readFile(m_file), file);

        QVERIFY(loaded.wait(20000));
        QVERIFY(store->holdsEveryConversation());
        QCOMPARE(idsIn(store->conversations()), (QList<QUuid>{uuid(3), uuid(2), uuid(1)}));
        QCOMPARE(changed.size(), 4);
        QCOMPARE(idsInFile(m_file), (QList<QUuid>{uuid(3), uuid(2), uuid(1)}));
        const AgentConversation kept = *makeStore()->conversation(uuid(3));
        QCOMPARE(kept.messages.size(), 2);
        QCOMPARE(kept.lastPastedText, std::optional(QStringLiteral("answer")));
        // Only the store's own file is there: no second copy beside it.
        QCOMPARE(filesInItsFolder(), QStringList{QStringLiteral("conversations.json")});
    }

    void aStoreGoneBeforeItsBackgroundLoadKeepsWhatWasStarted()
    {
        QVERIFY(writeFile(m_file, "[" + storedConversation(1, "2026-01-02T00:00:00Z") + "]"));
        auto store = makeStore(true);
        store->createConversation(uuid(2), QStringLiteral("new"), {}, QString());
        QVERIFY(!store->isLoaded());
        store.reset();
        QCOMPARE(idsInFile(m_file), (QList<QUuid>{uuid(2), uuid(1)}));
    }

    void aStoreGoneBeforeItsBackgroundLoadWithNoChangeWritesNothing()
    {
        const QByteArray file = "[" + storedConversation(1, "2026-01-02T00:00:00Z") + "]";
        QVERIFY(writeFile(m_file, file));
        makeStore(true).reset();
        QCOMPARE(readFile(m_file), file);
    }

    // Nobody can name a conversation of the file before it has been shown, but should
    // one be, the change waits for the file rather than being lost or losing it.
    void aChangeToAConversationNotYetReadWaitsForTheFile_data()
    {
        QTest::addColumn<bool>("deletion");
        QTest::newRow("an answer") << false;
        QTest::newRow("a deletion") << true;
    }

    void aChangeToAConversationNotYetReadWaitsForTheFile()
    {
        QFETCH(bool, deletion);
        QVERIFY(writeFile(m_file, "[" + storedConversation(1, "2026-01-02T00:00:00Z") + ","
                                      + storedConversation(2, "2026-01-03T00:00:00Z") + "]"));
        auto store = makeStore(true);
        QVERIFY(!store->isLoaded());
        if (deletion)
            store->deleteConversation(uuid(1));
        else
            store->addAssistantMessage(QStringLiteral("answer"), uuid(1));
        QVERIFY(store->isLoaded());
        const QList<QUuid> expected = deletion ? QList<QUuid>{uuid(2)} : QList<QUuid>{uuid(1), uuid(2)};
        QCOMPARE(idsIn(store->conversations()), expected);
        QCOMPARE(idsInFile(m_file), expected);
        if (!deletion)
            QCOMPARE(store->conversation(uuid(1))->messages.size(), 1);
    }

    void anUnreadableFileLoadedInTheBackgroundIsKeptAside()
    {
        const QByteArray content = "[{\"id\": 1}]";
        QVERIFY(writeFile(m_file, content));
        auto store = makeStore(true);
        // What was started meanwhile is saved once the file is known to be unreadable.
        store->createConversation(uuid(5), QStringLiteral("fresh"), {}, QString());
        bool heldEveryConversation = true;
        connect(store.get(), &AgentConversationStore::loaded, this,
                [&] { heldEveryConversation = store->holdsEveryConversation(); });
        store->waitForLoad();
        QVERIFY(!heldEveryConversation);
        QCOMPARE(idsIn(store->conversations()), QList<QUuid>{uuid(5)});
        QCOMPARE(idsInFile(m_file), QList<QUuid>{uuid(5)});
        const QStringList aside = QDir(QFileInfo(m_file).path())
                                      .entryList({QStringLiteral("conversations.json.unreadable-*")}, QDir::Files);
        QCOMPARE(aside.size(), 1);
        QCOMPARE(readFile(QFileInfo(m_file).path() + QLatin1Char('/') + aside.first()), content);
    }

    void anUnreadableFileThatCannotBeMovedIsKept()
    {
        if (::geteuid() == 0)
            QSKIP("file permissions do not bind the super-user");
        QVERIFY(writeFile(m_file, "not json"));
        auto store = makeStore();
        const QString folder = QFileInfo(m_file).path();
        QVERIFY(QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        store->createConversation(uuid(5), QStringLiteral("fresh"), {}, QString());
        QVERIFY(QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
        QCOMPARE(readFile(m_file), QByteArray("not json"));
        QCOMPARE(store->conversations().size(), 1); // memory keeps the change

        store->addAssistantMessage(QStringLiteral("answer"), uuid(5)); // now it can move
        QCOMPARE(idsInFile(m_file), QList<QUuid>{uuid(5)});
        QCOMPARE(QDir(folder).entryList({QStringLiteral("conversations.json.unreadable-*")}, QDir::Files).size(), 1);
    }
};

QTEST_GUILESS_MAIN(AgentConversationStoreTest)
#include "tst_agent_conversation_store.moc"
