// The state's model operations that outlive the sheets: download-then-select for speech
// and writing models, selection, removal, and the stores following the disk.
#include "LoopbackHttpServer.h"
#include "Models/ModelRows.h"
#include "TestAppState.h"
#include "TestPaths.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QTest>

using namespace sorvane;
using namespace sorvane::testing;
using ModelSheetRules::TrailingControl;

namespace {

QByteArray modelBytes(qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = char((i * 37 + 11) % 251);
    return bytes;
}

// Slow enough that the test acts while the bytes still arrive.
LoopbackHttpServer::Response slowFile(const QByteArray &body)
{
    LoopbackHttpServer::Response response;
    response.body = body;
    response.chunkSize = 2048;
    response.chunkDelay = 40;
    return response;
}

AgentModelDescriptor customLocalModel(const QString &id, const QUrl &url, const QByteArray &body)
{
    AgentModelDescriptor model;
    model.id = id;
    model.name = QStringLiteral("Custom ") + id;
    model.officialName = QStringLiteral("Custom Q4");
    model.organization = QStringLiteral("Tests");
    model.detail = QStringLiteral("A model for the tests.");
    model.sizeLabel = QStringLiteral("8 KB");
    model.license = QStringLiteral("MIT");
    model.sourceRevision = QString(40, QLatin1Char('a'));
    model.provider = AgentModelProvider::LlamaCPP;
    model.isCustom = true;
    model.artifacts = {{QStringLiteral("model.gguf"), url, body.size(),
                        QString::fromLatin1(QCryptographicHash::hash(body, QCryptographicHash::Sha256).toHex()),
                        AgentModelArtifact::Role::Model}};
    return model;
}

} // namespace

class ModelOperationsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<LoopbackHttpServer> m_server;

    // A state whose speech catalogue downloads from the test's server.
    void serveCatalogue(TestAppState &t)
    {
        t.speechCatalog.clear();
        for (SpeechModel model : SpeechModel::catalog()) {
            model.url = m_server->url(QStringLiteral("/models/") + model.fileName);
            t.speechCatalog.append(model);
        }
    }
    QString route(const SpeechModel &model) const { return QStringLiteral("/models/") + model.fileName; }
    static const SpeechModel &catalogue(const char *id) { return *SpeechModel::find(QString::fromLatin1(id)); }

private Q_SLOTS:
    void init()
    {
        m_server = std::make_unique<LoopbackHttpServer>();
        QVERIFY(m_server->listen());
    }

    void aDownloadSelectsItsModelWhenItEnds()
    {
        TestAppState t;
        serveCatalogue(t);
        t.placeSpeechModelFile(QStringLiteral("pocket"));
        const SpeechModel &swift = catalogue("swift");
        m_server->route(route(swift), slowFile(modelBytes(24 * 1024)));
        AppState &state = t.build();
        state.setSelectedModelID(QStringLiteral("pocket"));

        state.downloadSpeechModelThenSelect(swift.id);
        QVERIFY(state.modelStore().activeDownloads().contains(swift.id));
        QCOMPARE(state.selectedModelID(), QStringLiteral("pocket")); // not before the file is there
        QTRY_COMPARE_WITH_TIMEOUT(state.selectedModelID(), swift.id, 30000);
        QVERIFY(state.modelStore().isPresent(swift));
    }

    void aChoiceMadeDuringTheDownloadStays()
    {
        TestAppState t;
        serveCatalogue(t);
        t.placeSpeechModelFile(QStringLiteral("pocket"));
        t.placeSpeechModelFile(QStringLiteral("balanced"));
        const SpeechModel &swift = catalogue("swift");
        m_server->route(route(swift), slowFile(modelBytes(24 * 1024)));
        AppState &state = t.build();
        state.setSelectedModelID(QStringLiteral("pocket"));

        state.downloadSpeechModelThenSelect(swift.id);
        // "Use" on another model while the first still downloads.
        state.setSelectedModelID(QStringLiteral("balanced"));
        QSignalSpy active(&state.modelStore(), &ModelStore::activeDownloadsChanged);
        QTRY_VERIFY_WITH_TIMEOUT(!state.modelStore().activeDownloads().contains(swift.id), 30000);
        QVERIFY(state.modelStore().isPresent(swift));
        QCOMPARE(state.selectedModelID(), QStringLiteral("balanced"));
    }

    void getOnAFileAlreadyThereSelectsWithoutTheNetwork()
    {
        TestAppState t;
        serveCatalogue(t);
        t.placeSpeechModelFile(QStringLiteral("pocket"));
        AppState &state = t.build();
        state.setSelectedModelID(QStringLiteral("pocket"));
        // The file arrived (from outside) after the sheet drew "Get".
        t.placeSpeechModelFile(QStringLiteral("studio"));
        state.downloadSpeechModelThenSelect(QStringLiteral("studio"));
        QCOMPARE(state.selectedModelID(), QStringLiteral("studio"));
        QCOMPARE(m_server->requestCount(route(catalogue("studio"))), 0);
        QVERIFY(state.modelStore().activeDownloads().isEmpty());
    }

    void aFailedDownloadSaysWhyAndKeepsTheSelection_data()
    {
        QTest::addColumn<LoopbackHttpServer::Response>("response");
        QTest::addColumn<QString>("message");
        LoopbackHttpServer::Response missing;
        missing.status = 404;
        missing.body = "not here";
        QTest::newRow("HTTP error") << missing << "HTTP status 404";
        // A network's sign-in page answers every address with 200 and HTML.
        LoopbackHttpServer::Response portal;
        portal.body = "\n  <!DOCTYPE html><html><head><title>Sign in to the Wi-Fi</title></head><body></body></html>";
        QTest::newRow("captive portal") << portal << "web page instead of the model file";
    }
    void aFailedDownloadSaysWhyAndKeepsTheSelection()
    {
        QFETCH(LoopbackHttpServer::Response, response);
        QFETCH(QString, message);
        TestAppState t;
        serveCatalogue(t);
        t.placeSpeechModelFile(QStringLiteral("pocket"));
        const SpeechModel &velocity = catalogue("velocity");
        m_server->route(route(velocity), response);
        AppState &state = t.build();
        state.setSelectedModelID(QStringLiteral("pocket"));

        QSignalSpy failed(&state, &AppState::speechModelDownloadFailed);
        state.downloadSpeechModelThenSelect(velocity.id);
        QVERIFY(failed.wait(30000));
        QCOMPARE(failed.first().at(0).toString(), velocity.id);
        QVERIFY2(failed.first().at(1).toString().contains(message), qPrintable(failed.first().at(1).toString()));
        QCOMPARE(state.selectedModelID(), QStringLiteral("pocket"));
        // Nothing is left under any name.
        QCOMPARE(QDir(t.modelsFolder()).entryList(QDir::Files | QDir::Hidden), QStringList{"ggml-tiny.en-q5_1.bin"});
    }

    void theShippedModelIsNeverRemoved()
    {
        TestAppState t;
        t.placeSpeechModelFile(QStringLiteral("pocket"));
        AppState &state = t.build();
        SpeechModelRows rows;
        rows.setState(&state);
        QVERIFY(!rows.rowOf(QStringLiteral("pocket"))->removable);
        QVERIFY(state.removeModel(catalogue("pocket")));
        QVERIFY(state.modelStore().isPresent(catalogue("pocket")));
    }

    void removingTheSelectedModelFallsBackOnceTheFileIsGone()
    {
        TestAppState t;
        t.placeSpeechModelFile(QStringLiteral("pocket"));
        t.placeSpeechModelFile(QStringLiteral("swift"));
        AppState &state = t.build();
        state.setSelectedModelID(QStringLiteral("swift"));
        QVERIFY(state.removeModel(catalogue("swift")));
        QVERIFY(!state.modelStore().isPresent(catalogue("swift")));
        QCOMPARE(state.selectedModelID(), QStringLiteral("pocket"));
    }

    void aRemovalThatFailsKeepsTheFileAndTheChoice()
    {
        TestAppState t;
        t.placeSpeechModelFile(QStringLiteral("pocket"));
        // A folder in the model's place cannot be removed as a file.
        const QString path = QDir(t.modelsFolder()).filePath(catalogue("balanced").fileName);
        QVERIFY(QDir().mkpath(path + QStringLiteral("/inside")));
        AppState &state = t.build();
        state.setSelectedModelID(QStringLiteral("balanced"));
        QSignalSpy failed(&state, &AppState::speechModelRemovalFailed);
        state.removeModel(QStringLiteral("balanced"));
        QCOMPARE(failed.size(), 1);
        QVERIFY(!failed.first().first().toString().isEmpty());
        QCOMPARE(state.selectedModelID(), QStringLiteral("balanced"));
    }

    void aFileDeletedOutsideTurnsItsRowToGet()
    {
        TestAppState t;
        t.placeSpeechModelFile(QStringLiteral("pocket"));
        t.placeSpeechModelFile(QStringLiteral("swift"));
        AppState &state = t.build();
        state.setSelectedModelID(QStringLiteral("pocket"));
        SpeechModelRows rows;
        rows.setState(&state);
        rows.setSelectedID(state.selectedModelID());
        QCOMPARE(rows.rowOf(QStringLiteral("swift"))->control, TrailingControl::Use);

        QSignalSpy revision(&state.modelStore(), &ModelStore::revisionChanged);
        QVERIFY(QFile::remove(QDir(t.modelsFolder()).filePath(catalogue("swift").fileName)));
        QVERIFY(revision.wait(10000));
        QCOMPARE(rows.rowOf(QStringLiteral("swift"))->control, TrailingControl::Get);
        QCOMPARE(rows.rowOf(QStringLiteral("swift"))->status, QStringLiteral("DOWNLOAD"));

        // The selected model's file going too: Get, not a dead-end "ACTIVE".
        QVERIFY(QFile::remove(QDir(t.modelsFolder()).filePath(catalogue("pocket").fileName)));
        QTRY_COMPARE_WITH_TIMEOUT(rows.rowOf(QStringLiteral("pocket"))->control, TrailingControl::Get, 10000);
        QVERIFY(!state.canDictate());
    }

    // ---- Writing models ----

    void selectingACloudModelSetsOnlyItsProvidersField()
    {
        TestAppState t;
        AppState &state = t.build();
        const AgentSettings before = state.agentSettings();
        QSignalSpy changed(&state, &AppState::agentSettingsChanged);
        state.selectWritingModel(QStringLiteral("gemini-flash-lite"));
        QCOMPARE(changed.size(), 2); // the model's field, then the provider
        const AgentSettings after = state.agentSettings();
        QCOMPARE(after.selectedGeminiModelID, QStringLiteral("gemini-flash-lite"));
        QCOMPARE(after.writingProvider, AgentWritingProvider::Gemini);
        QCOMPARE(after.selectedModelID, before.selectedModelID);
        QCOMPARE(after.selectedOpenAIModelID, before.selectedOpenAIModelID);
        QCOMPARE(state.selectedAgentModel()->id, QStringLiteral("gemini-flash-lite"));
    }

    void aWritingDownloadSelectsItsModelUnlessAnotherWasChosen_data()
    {
        QTest::addColumn<bool>("chooseMeanwhile");
        QTest::newRow("nothing chosen meanwhile") << false;
        QTest::newRow("another chosen meanwhile") << true;
    }
    void aWritingDownloadSelectsItsModelUnlessAnotherWasChosen()
    {
        QFETCH(bool, chooseMeanwhile);
        const QByteArray body = modelBytes(20 * 1024);
        m_server->route(QStringLiteral("/w/model.gguf"), slowFile(body));
        const AgentModelDescriptor custom = customLocalModel(QStringLiteral("my-writer"),
                                                             m_server->url(QStringLiteral("/w/model.gguf")), body);
        TestAppState t;
        QFile file(t.folder.filePath(QStringLiteral("custom-agent-models.json")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QJsonDocument(QJsonArray{custom.toJson()}).toJson());
        file.close();
        AppState &state = t.build();
        QCOMPARE(state.selectedAgentModel()->id, QStringLiteral("apple-system"));

        state.downloadWritingModelThenSelect(custom.id);
        QVERIFY(state.agentModelStore().activeDownloads().contains(custom.id));
        if (chooseMeanwhile)
            state.selectWritingModel(QStringLiteral("mistral-small"));
        QTRY_VERIFY_WITH_TIMEOUT(state.agentModelStore().activeDownloads().isEmpty(), 30000);
        QVERIFY(state.agentModelStore().isAvailable(custom));
        QCOMPARE(state.selectedAgentModel()->id, chooseMeanwhile ? QStringLiteral("mistral-small") : custom.id);
    }

    void removingAWritingModelDecidesAtThatMoment_data()
    {
        QTest::addColumn<AgentWritingProvider>("provider");
        QTest::addColumn<QString>("localSelection");
        QTest::addColumn<QString>("localAfter");
        QTest::addColumn<QString>("selectedAfter");
        QTest::newRow("the selected local model") << AgentWritingProvider::Local << "qwen3-4b-q4" << "apple-system"
                                                  << "apple-system";
        QTest::newRow("another local model") << AgentWritingProvider::Local << "apple-system" << "apple-system"
                                             << "apple-system";
        // A cloud model is in use: only the local field falls back, the provider stays.
        QTest::newRow("local field, cloud in use") << AgentWritingProvider::OpenAI << "qwen3-4b-q4" << "apple-system"
                                                   << "openai-luna";
    }
    void removingAWritingModelDecidesAtThatMoment()
    {
        QFETCH(AgentWritingProvider, provider);
        QFETCH(QString, localSelection);
        QFETCH(QString, localAfter);
        QFETCH(QString, selectedAfter);
        TestAppState t;
        AppState &state = t.build();
        const AgentModelDescriptor qwen = *state.agentModelStore().descriptor(QStringLiteral("qwen3-4b-q4"));
        const QDir folder(state.agentModelStore().modelFolder(qwen));
        QVERIFY(folder.mkpath(QStringLiteral(".")));
        for (const AgentModelArtifact &artifact : qwen.artifacts) {
            QFile part(folder.filePath(artifact.fileName));
            QVERIFY(part.open(QIODevice::WriteOnly));
        }
        QVERIFY(state.agentModelStore().isAvailable(qwen));
        AgentSettings settings = state.agentSettings();
        settings.writingProvider = provider;
        settings.selectedModelID = localSelection;
        state.setAgentSettings(settings);

        state.removeWritingModel(qwen.id);
        QVERIFY(!state.agentModelStore().isAvailable(qwen));
        QCOMPARE(state.agentSettings().selectedModelID, localAfter);
        QCOMPARE(state.agentSettings().writingProvider, provider);
        QCOMPARE(state.selectedAgentModel()->id, selectedAfter);
    }

    void writingRowsListEverySectionInCatalogueOrder()
    {
        TestAppState t;
        AppState &state = t.build();
        WritingModelRows rows;
        rows.setState(&state);
        QStringList order;
        for (const WritingModelListRow &row : rows.rows())
            order << (row.isHeader ? row.header.tag : row.model.id);
        QStringList expected{QStringLiteral("SYSTEM")};
        for (const auto section : {ModelSheetRules::WritingSection::BuiltIn, ModelSheetRules::WritingSection::Local,
                                   ModelSheetRules::WritingSection::Cloud}) {
            if (section == ModelSheetRules::WritingSection::Local)
                expected << QStringLiteral("ON THIS COMPUTER");
            if (section == ModelSheetRules::WritingSection::Cloud)
                expected << QStringLiteral("VIA API");
            for (const AgentModelDescriptor &model : AgentModelDescriptor::catalog())
                if (ModelSheetRules::sectionOf(model.provider) == section)
                    expected << model.id;
        }
        QCOMPARE(order, expected);
        // The default Command model is the on-device one: selected, ACTIVE.
        QCOMPARE(rows.rowOf(QStringLiteral("apple-system"))->control, TrailingControl::Active);
        QCOMPARE(rows.rowOf(QStringLiteral("qwen3-4b-q4"))->control, TrailingControl::Get);
        QCOMPARE(rows.rowOf(QStringLiteral("openai-luna"))->control, TrailingControl::Key);
    }
};

QTEST_MAIN(ModelOperationsTest)
#include "tst_model_operations.moc"
