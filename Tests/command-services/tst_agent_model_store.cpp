#include "Shared/AppPaths.h"
#include "AwaitTask.h"
#include "LoopbackHttpServer.h"
#include "Support/SafePath.h"
#include "Services/Command/AgentModelStore.h"
#include "TestPaths.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>

using namespace sorvane;
using namespace sorvane::testing;

namespace {

QByteArray bytesOf(char fill, int size)
{
    QByteArray bytes(size, fill);
    for (int i = 0; i < size; i += 97)
        bytes[i] = char(i % 251);
    return bytes;
}

QString digestOf(const QByteArray &bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

AgentModelArtifact artifactFor(const QString &fileName, const QByteArray &body, const QUrl &url,
                               AgentModelArtifact::Role role = AgentModelArtifact::Role::Model)
{
    return {fileName, url, body.size(), digestOf(body), role};
}

AgentModelDescriptor localModel(const QString &id, QList<AgentModelArtifact> artifacts, bool custom = true)
{
    AgentModelDescriptor model;
    model.id = id;
    model.name = QStringLiteral("Test model");
    model.officialName = QStringLiteral("Test Model Q4");
    model.organization = QStringLiteral("Tests");
    model.detail = QStringLiteral("A model for the tests.");
    model.sizeLabel = QStringLiteral("1 KB");
    model.license = QStringLiteral("MIT");
    model.sourceRevision = QString(40, QLatin1Char('a'));
    model.provider = AgentModelProvider::LlamaCPP;
    model.artifacts = std::move(artifacts);
    model.isCustom = custom;
    return model;
}

QString modelFolder(const AgentModelDescriptor &model)
{
    return AppPaths::agentModels() + QLatin1Char('/') + model.id;
}

QString filePath(const AgentModelDescriptor &model, const QString &fileName)
{
    return modelFolder(model) + QLatin1Char('/') + fileName;
}

} // namespace

class AgentModelStoreTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_home;
    std::unique_ptr<LoopbackHttpServer> m_server;

    // Serves `body` at `path`, paced in several chunks.
    QUrl serve(const QString &path, const QByteArray &body, LoopbackHttpServer::Response response = {})
    {
        response.body = body;
        response.chunkSize = std::max<qint64>(1, body.size() / 8);
        if (response.chunkDelay == 0)
            response.chunkDelay = 2;
        m_server->route(path, response);
        return m_server->url(path);
    }

    void writeCustomModels(const QByteArray &bytes) { QVERIFY(writeFile(AppPaths::customAgentModels(), bytes)); }

private Q_SLOTS:
    void init()
    {
        m_home = temporaryDataHome();
        m_server = std::make_unique<LoopbackHttpServer>();
        QVERIFY(m_server->listen());
    }

    void lookupAndAvailability()
    {
        const QByteArray body = bytesOf('w', 512);
        const auto custom = localModel(QStringLiteral("my-local"), {artifactFor("w.gguf", body, serve("/w", body))});
        auto clash = localModel(QStringLiteral("qwen3-4b-q4"), {});
        AgentModelDescriptor cloud = AgentModelDescriptor::catalog().at(7);
        cloud.id = QStringLiteral("my-cloud");
        cloud.isCustom = true;
        writeFile(filePath(custom, "w.gguf"), body);
        writeCustomModels(QJsonDocument(QJsonArray{custom.toJson(), clash.toJson(), cloud.toJson()}).toJson());

        AgentModelStore store(AgentModelStore::defaultOptions());
        QCOMPARE(store.customModels().size(), 2); // the clash has no files, so it is not loaded
        QCOMPARE(store.descriptor(QStringLiteral("my-local")), std::optional(custom));
        QCOMPARE(store.descriptor(QStringLiteral("my-cloud")), std::optional(cloud));
        QCOMPARE(store.descriptor(QStringLiteral("qwen3-4b-q4"))->name, QStringLiteral("Qwen Writer"));
        QVERIFY(!store.descriptor(QStringLiteral("Qwen3-4b-q4")));
        QVERIFY(!store.descriptor(QStringLiteral("nobody")));

        QVERIFY(store.isAvailable(*store.descriptor(QStringLiteral("apple-system"))));
        QVERIFY(store.isAvailable(*store.descriptor(QStringLiteral("gemini-flash"))));
        QVERIFY(store.isAvailable(custom));
        QVERIFY(!store.isAvailable(*store.descriptor(QStringLiteral("qwen3-4b-q4"))));
        QVERIFY(!store.isAvailable(localModel(QStringLiteral("no-files"), {})));
        auto halfThere = custom;
        halfThere.artifacts.append(artifactFor("p.gguf", body, serve("/p", body), AgentModelArtifact::Role::VisionProjector));
        QVERIFY(!store.isAvailable(halfThere));
    }

    void aValidFirstFileIsNotFetchedAgain()
    {
        const QByteArray first = bytesOf('a', 3000);
        const QByteArray second = bytesOf('b', 1000);
        // Slow enough for several progress reports (the network layer sends at most
        // about ten a second).
        LoopbackHttpServer::Response slow;
        slow.chunkDelay = 60;
        const auto model = localModel(QStringLiteral("two-files"),
                                      {artifactFor("weights.gguf", first, serve("/weights", first)),
                                       artifactFor("mmproj.gguf", second, serve("/mmproj", second, slow),
                                                   AgentModelArtifact::Role::VisionProjector)});
        QVERIFY(writeFile(filePath(model, "weights.gguf"), first));

        AgentModelStore store(AgentModelStore::defaultOptions());
        QList<double> seen;
        bool lastFileInPlaceAtOne = false;
        connect(&store, &AgentModelStore::progressChanged, this, [&] {
            if (!store.progress().contains(model.id))
                return;
            const double value = store.progress().value(model.id);
            seen.append(value);
            if (value == 1.0)
                lastFileInPlaceAtOne = QFile(filePath(model, "mmproj.gguf")).size() == second.size();
        });
        QSignalSpy revision(&store, &AgentModelStore::revisionChanged);

        auto task = store.download(model);
        QVERIFY(store.activeDownloads().contains(model.id));
        const auto result = awaitTask(std::move(task));
        QVERIFY2(result, qPrintable(result ? QString() : result.error().message()));

        QCOMPARE(m_server->requestCount("/weights"), 0);
        QCOMPARE(m_server->requestCount("/mmproj"), 1);
        QCOMPARE(readFile(filePath(model, "mmproj.gguf")), second);
        QCOMPARE(store.revision(), 1);
        QCOMPARE(revision.count(), 1);
        QVERIFY(store.progress().isEmpty());
        QVERIFY(store.activeDownloads().isEmpty());
        QVERIFY(store.isAvailable(model));
        QCOMPARE(QDir(modelFolder(model)).entryList(QDir::Files | QDir::Hidden),
                 (QStringList{"mmproj.gguf", "weights.gguf"}));

        // 0 first, then at least the present file's share once bytes arrive, rising, below 1
        // until the last file is in place.
        QVERIFY2(seen.size() >= 4, qPrintable(QString::number(seen.size())));
        QCOMPARE(seen.first(), 0.0);
        QCOMPARE(seen.last(), 1.0);
        QVERIFY(lastFileInPlaceAtOne);
        for (qsizetype i = 1; i + 1 < seen.size(); ++i) {
            QVERIFY2(seen[i] >= 0.75 && seen[i] <= 0.99, qPrintable(QString::number(seen[i])));
            QVERIFY(seen[i] >= seen[i - 1]);
        }
    }

    void aModelAlreadyThereIsLeftAlone()
    {
        const QByteArray body = bytesOf('c', 100);
        const auto model = localModel(QStringLiteral("present"), {artifactFor("c.gguf", body, serve("/c", body))});
        QVERIFY(writeFile(filePath(model, "c.gguf"), "whatever the content"));
        AgentModelStore store(AgentModelStore::defaultOptions());
        QSignalSpy active(&store, &AgentModelStore::activeDownloadsChanged);
        QVERIFY(awaitTask(store.download(model)));
        QVERIFY(awaitTask(store.download(AgentModelDescriptor::catalog().first())));
        QCOMPARE(active.count(), 0);
        QCOMPARE(store.revision(), 0);
        QCOMPARE(m_server->requestCount("/c"), 0);
    }

    void failuresLeaveNothingBehind_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("message");
        QTest::newRow("wrong bytes") << "corrupt" << "The downloaded second.gguf failed its integrity check.";
        QTest::newRow("digest in upper case") << "upper" << "The downloaded second.gguf failed its integrity check.";
        QTest::newRow("HTTP 404") << "404" << "The server answered the download with HTTP status 404.";
        QTest::newRow("HTTP 500") << "500" << "The server answered the download with HTTP status 500.";
        QTest::newRow("body cut short") << "short" << QString();
        QTest::newRow("stalled") << "stall" << "The download stalled and timed out.";
        QTest::newRow("nobody listening") << "refused" << QString();
    }

    void failuresLeaveNothingBehind()
    {
        QFETCH(QString, kind);
        QFETCH(QString, message);

        const QByteArray first = bytesOf('f', 2000);
        const QByteArray second = bytesOf('s', 4000);
        auto secondArtifact = artifactFor("second.gguf", second, m_server->url("/second"));
        LoopbackHttpServer::Response route;
        QByteArray served = second;
        if (kind == QLatin1String("corrupt"))
            served[100] = char(served[100] ^ 1);
        else if (kind == QLatin1String("upper"))
            secondArtifact.sha256 = secondArtifact.sha256.toUpper();
        else if (kind == QLatin1String("404") || kind == QLatin1String("500"))
            route.status = kind.toInt();
        else if (kind == QLatin1String("short"))
            route.announcedLength = second.size() + 1000;
        else if (kind == QLatin1String("stall"))
            route.stallAfter = 500;
        else if (kind == QLatin1String("refused")) {
            QTcpServer closed;
            QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
            secondArtifact.url = QUrl(QStringLiteral("http://127.0.0.1:%1/second").arg(closed.serverPort()));
        }
        serve("/second", served, route);
        const auto model = localModel(QStringLiteral("failing"),
                                      {artifactFor("first.gguf", first, serve("/first", first)), secondArtifact});

        auto options = AgentModelStore::defaultOptions();
        options.transferTimeout = std::chrono::milliseconds(400);
        AgentModelStore store(options);
        const auto result = awaitTask(store.download(model));
        QVERIFY(!result);
        if (!message.isEmpty())
            QCOMPARE(result.error().message(), message);
        else
            QCOMPARE(result.error().kind(), AgentModelStoreError::Kind::Download);
        if (kind == QLatin1String("corrupt") || kind == QLatin1String("upper")) {
            QCOMPARE(result.error().kind(), AgentModelStoreError::Kind::IntegrityCheckFailed);
            QCOMPARE(result.error().runtimeError(), std::optional(AgentRuntimeError::modelImportFailed(message)));
        }

        // Idle again; the verified first file stays for the next attempt, and nothing
        // else (no temporary file) is left in the folder.
        QVERIFY(store.activeDownloads().isEmpty());
        QVERIFY(store.progress().isEmpty());
        QCOMPARE(store.revision(), 0);
        QCOMPARE(QDir(modelFolder(model)).entryList(QDir::Files | QDir::Hidden | QDir::System),
                 QStringList{"first.gguf"});
        QCOMPARE(readFile(filePath(model, "first.gguf")), first);
    }

    void aDamagedFileIsFetchedAgain()
    {
        // Presence alone makes a model available, so a damaged file is only checked when
        // another file is missing and the model is downloaded again.
        const QByteArray weights = bytesOf('d', 5000);
        const QByteArray projector = bytesOf('p', 700);
        const auto model = localModel(QStringLiteral("damaged"),
                                      {artifactFor("d.gguf", weights, serve("/d", weights)),
                                       artifactFor("p.gguf", projector, serve("/p", projector))});
        QVERIFY(writeFile(filePath(model, "d.gguf"), weights.left(1000)));
        AgentModelStore store(AgentModelStore::defaultOptions());
        QVERIFY(awaitTask(store.download(model)));
        QCOMPARE(m_server->requestCount("/d"), 1);
        QCOMPARE(readFile(filePath(model, "d.gguf")), weights);
        QCOMPARE(readFile(filePath(model, "p.gguf")), projector);
    }

    void unsafeNamesAreRefused_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("fileName");
        QTest::newRow("id ..") << ".." << "m.gguf";
        QTest::newRow("id .") << "." << "m.gguf";
        QTest::newRow("id with a slash") << "../Agent" << "m.gguf";
        QTest::newRow("empty id") << "" << "m.gguf";
        QTest::newRow("file name ..") << "fine" << "..";
        QTest::newRow("file name with a slash") << "fine" << "../../custom-models.json";
    }

    void unsafeNamesAreRefused()
    {
        QFETCH(QString, id);
        QFETCH(QString, fileName);
        const QByteArray body = bytesOf('u', 300);
        const auto model = localModel(id, {artifactFor(fileName, body, serve("/u", body))});
        QVERIFY(writeFile(AppPaths::customAgentModels(), "[]"));
        AgentModelStore store(AgentModelStore::defaultOptions());
        const QStringList before = treeOf(AppPaths::root());
        QVERIFY(!store.isAvailable(model));
        const auto downloaded = awaitTask(store.download(model));
        QVERIFY(!downloaded);
        QCOMPARE(downloaded.error().kind(), AgentModelStoreError::Kind::UnsafeName);
        QCOMPARE(m_server->requestCount("/u"), 0);
        if (!isSafePathComponent(id)) {
            const auto removed = store.remove(model);
            QVERIFY(!removed);
            QCOMPARE(removed.error().kind(), AgentModelStoreError::Kind::UnsafeName);
            QCOMPARE(store.revision(), 0);
        }
        QCOMPARE(treeOf(AppPaths::root()), before);
    }

    void sizesAddingUpToNothing()
    {
        const QByteArray one = bytesOf('1', 800);
        const QByteArray two = bytesOf('2', 800);
        auto first = artifactFor("one.gguf", one, serve("/one", one));
        auto second = artifactFor("two.gguf", two, serve("/two", two));
        first.byteSize = 0;
        second.byteSize = 0;
        const auto model = localModel(QStringLiteral("zero"), {first, second});

        AgentModelStore store(AgentModelStore::defaultOptions());
        QList<double> seen;
        connect(&store, &AgentModelStore::progressChanged, this, [&] {
            if (store.progress().contains(model.id))
                seen.append(store.progress().value(model.id));
        });
        QVERIFY(awaitTask(store.download(model)));
        QVERIFY(store.isAvailable(model));
        QVERIFY(seen.size() >= 3);
        for (qsizetype i = 0; i < seen.size(); ++i) {
            QVERIFY2(std::isfinite(seen[i]) && seen[i] >= 0 && seen[i] <= 1, qPrintable(QString::number(seen[i])));
            if (i > 0)
                QVERIFY(seen[i] >= seen[i - 1]);
        }
        // Measured by files: half after the first one.
        QVERIFY(seen.contains(0.5));
        QCOMPARE(seen.last(), 1.0);
    }

    void removal()
    {
        const QByteArray body = bytesOf('r', 200);
        const auto custom = localModel(QStringLiteral("mine"), {artifactFor("r.gguf", body, serve("/r", body))});
        const auto other = localModel(QStringLiteral("other"), {artifactFor("o.gguf", body, serve("/o", body))});
        QVERIFY(writeFile(filePath(custom, "r.gguf"), body));
        QVERIFY(writeFile(filePath(other, "o.gguf"), body));
        writeCustomModels(QJsonDocument(QJsonArray{custom.toJson(), other.toJson()}).toJson());

        AgentModelStore store(AgentModelStore::defaultOptions());
        QCOMPARE(store.customModels().size(), 2);

        // The on-device and cloud models have nothing to remove.
        QVERIFY(store.remove(AgentModelDescriptor::catalog().first()));
        QVERIFY(store.remove(*store.descriptor(QStringLiteral("openai-sol"))));
        QCOMPARE(store.revision(), 0);

        // A catalogue model whose folder is missing: still a change for observers.
        QVERIFY(store.remove(*store.descriptor(QStringLiteral("qwen3-4b-q4"))));
        QCOMPARE(store.revision(), 1);

        QVERIFY(store.remove(custom));
        QCOMPARE(store.revision(), 2);
        QVERIFY(!QFileInfo::exists(modelFolder(custom)));
        QVERIFY(QFileInfo::exists(filePath(other, "o.gguf")));
        QCOMPARE(store.customModels(), QList<AgentModelDescriptor>{other});
        const auto saved = QJsonDocument::fromJson(readFile(AppPaths::customAgentModels()));
        QCOMPARE(saved.array(), QJsonArray{other.toJson()});
        QVERIFY(!readFile(AppPaths::customAgentModels()).contains('\n')); // written compactly
    }

    void aLinkedModelFolderLosesOnlyTheLink()
    {
        QTemporaryDir elsewhere;
        QVERIFY(writeFile(elsewhere.filePath("keep.gguf"), "precious"));
        const auto model = localModel(QStringLiteral("linked"), {});
        QVERIFY(QDir().mkpath(AppPaths::agentModels()));
        QVERIFY(QFile::link(elsewhere.path(), modelFolder(model)));
        AgentModelStore store(AgentModelStore::defaultOptions());
        QVERIFY(store.remove(model));
        QVERIFY(!QFileInfo(modelFolder(model)).isSymLink());
        QCOMPARE(readFile(elsewhere.filePath("keep.gguf")), QByteArray("precious"));
    }

    void customEntriesNotListedAreKeptOnSave()
    {
        const QByteArray body = bytesOf('k', 200);
        const auto good = localModel(QStringLiteral("good"), {artifactFor("k.gguf", body, serve("/k", body))});
        const auto gone = localModel(QStringLiteral("gone"), {artifactFor("g.gguf", body, serve("/g", body))});
        QVERIFY(writeFile(filePath(good, "k.gguf"), body));
        QJsonObject newer = good.toJson();
        newer.insert(QStringLiteral("id"), QStringLiteral("from-a-newer-version"));
        newer.insert(QStringLiteral("provider"), QStringLiteral("someNewProvider"));
        QJsonObject unsafe = good.toJson();
        unsafe.insert(QStringLiteral("id"), QStringLiteral(".."));
        // Ids that are taken, by the catalogue and by an entry before it.
        QJsonObject builtInId = good.toJson();
        builtInId.insert(QStringLiteral("id"), QStringLiteral("qwen3-4b-q4"));
        QJsonObject twice = good.toJson();
        twice.insert(QStringLiteral("name"), QStringLiteral("Good again"));
        writeCustomModels(
            QJsonDocument(QJsonArray{newer, good.toJson(), unsafe, gone.toJson(), builtInId, twice}).toJson());

        AgentModelStore store(AgentModelStore::defaultOptions());
        // The model whose files are gone stays listed, to be fetched again; the entries
        // reusing a taken id are not listed, so no second row acts on another's files.
        QCOMPARE(store.customModels(), (QList<AgentModelDescriptor>{good, gone}));
        QCOMPARE(store.descriptor(QStringLiteral("qwen3-4b-q4"))->isCustom, false);
        QVERIFY(store.remove(good)); // saves the file

        const QJsonArray saved = QJsonDocument::fromJson(readFile(AppPaths::customAgentModels())).array();
        // Every entry but the removed one survives the save.
        QCOMPARE(saved, (QJsonArray{gone.toJson(), newer, unsafe, builtInId, twice}));
        // And the entry named ".." never reached the file system.
        QVERIFY(QFileInfo::exists(AppPaths::agentData()));
    }

    void anUnreadableCustomFileIsSetAside()
    {
        writeCustomModels("[{ not json");
        AgentModelStore store(AgentModelStore::defaultOptions());
        QVERIFY(store.customModels().isEmpty());
        auto model = localModel(QStringLiteral("any"), {});
        QVERIFY(store.remove(model)); // a custom model: the file is saved
        QCOMPARE(readFile(AppPaths::customAgentModels()), QByteArray("[]"));
        const QStringList aside = QDir(AppPaths::agentData()).entryList({"custom-models.json.unreadable-*"});
        QCOMPARE(aside.size(), 1);
        QCOMPARE(readFile(AppPaths::agentData() + "/" + aside.first()), QByteArray("[{ not json"));
    }

    // No screen can add to or remove from an empty list: the store sets the file aside
    // by itself, and says so once its owner listens.
    void anUnreadableCustomFileIsSetAsideAndToldWithoutAChange()
    {
        writeCustomModels("[{ not json");
        AgentModelStore store(AgentModelStore::defaultOptions());
        QSignalSpy notices(&store, &AgentModelStore::fileNotice);
        QTRY_COMPARE(notices.size(), 1);
        const QStringList aside = QDir(AppPaths::agentData()).entryList({"custom-models.json.unreadable-*"});
        QCOMPARE(aside.size(), 1);
        const QString asidePath = AppPaths::agentData() + "/" + aside.first();
        QCOMPARE(readFile(asidePath), QByteArray("[{ not json"));
        QCOMPARE(notices.first().first().toString(),
                 QStringLiteral("The custom models file could not be read. It was set aside as \u201c%1\u201d.").arg(asidePath));
        QCOMPARE(readFile(AppPaths::customAgentModels()), QByteArray("[]"));
    }

    void anUnreadableCustomFileThatCannotBeMovedIsNotOverwritten()
    {
        // A name so long that no "<name>.unreadable-<time>" can stand beside it: the move
        // fails whoever runs the test.
        auto options = AgentModelStore::defaultOptions();
        options.customModelsFile = AppPaths::agentData() + QLatin1Char('/') + QString(240, QLatin1Char('c'));
        QVERIFY(writeFile(options.customModelsFile, "[{ not json"));
        AgentModelStore store(options);
        QVERIFY(store.remove(localModel(QStringLiteral("any"), {}))); // would save the file
        QCOMPARE(readFile(options.customModelsFile), QByteArray("[{ not json"));
        QCOMPARE(QDir(AppPaths::agentData()).entryList(QDir::Files).size(), 1);
    }

    void leftoverDownloadsAreClearedAtStart()
    {
        const auto model = localModel(QStringLiteral("interrupted"), {});
        QVERIFY(writeFile(filePath(model, ".weights.gguf.AbC123.download"), "partial"));
        QVERIFY(writeFile(filePath(model, "weights.gguf"), "kept"));
        AgentModelStore store(AgentModelStore::defaultOptions());
        QCOMPARE(QDir(modelFolder(model)).entryList(QDir::Files | QDir::Hidden),
                 QStringList{"weights.gguf"});
    }
};

QTEST_GUILESS_MAIN(AgentModelStoreTest)
#include "tst_agent_model_store.moc"
