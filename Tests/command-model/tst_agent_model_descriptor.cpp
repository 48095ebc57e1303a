#include "TestPaths.h"
#include "Command/AgentModelDescriptor.h"
#include "BuildConfig.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <algorithm>
#include <QSet>
#include <QTest>

using namespace sorvane;
using namespace sorvane::testing;

namespace {

// A complete local custom model as it would stand in the custom-models file.
// ("\/" keeps moc, which reads "//" inside a raw string as a comment, out of trouble.)
QJsonObject customModelJson()
{
    return objectFrom(R"({
        "id": "my-model", "name": "Mine", "officialName": "My Model 7B", "organization": "Me",
        "detail": "A model of my own.", "sizeLabel": "4 GB", "license": "MIT", "sourceRevision": "v1",
        "provider": "llamaCPP", "capabilities": {"text": true, "images": false},
        "artifacts": [{"fileName": "mine.gguf", "url": "https:\/\/example.test/mine.gguf",
                       "byteSize": 4000000000, "sha256": "00ff", "role": "model"}],
        "isCustom": true, "recommendedFor16GB": false, "minimumMemoryGB": 8, "recommendedMemoryGB": 16
    })");
}

QJsonObject withArtifactField(QJsonObject model, const QString &key, const QJsonValue &value)
{
    QJsonArray artifacts = model.value(QStringLiteral("artifacts")).toArray();
    QJsonObject artifact = artifacts.at(0).toObject();
    if (value.isUndefined())
        artifact.remove(key);
    else
        artifact.insert(key, value);
    artifacts[0] = artifact;
    model.insert(QStringLiteral("artifacts"), artifacts);
    return model;
}

const AgentModelDescriptor &catalogEntry(const QString &id)
{
    for (const AgentModelDescriptor &model : AgentModelDescriptor::catalog())
        if (model.id == id)
            return model;
    qFatal("no catalogue entry %s", qPrintable(id));
}

} // namespace

class AgentModelDescriptorTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void shownTextsUseThisSystemsWording()
    {
        // Only the stored id and provider of the on-device entry keep the maker's name.
        for (const AgentModelDescriptor &model : AgentModelDescriptor::catalog()) {
            for (const QString &text : {model.name, model.officialName, model.organization, model.detail,
                                        model.sizeLabel, model.license, model.sourceRevision}) {
                QVERIFY2(!text.contains(QLatin1String("macOS")) && !text.contains(QLatin1String("Apple"))
                             && !text.contains(QLatin1String("Mac ")),
                         qPrintable(model.id + QLatin1String(": ") + text));
            }
        }
        const auto onDevice = std::find_if(AgentModelDescriptor::catalog().begin(), AgentModelDescriptor::catalog().end(),
                                           [](const auto &model) { return model.id == QLatin1String("apple-system"); });
        QVERIFY(onDevice != AgentModelDescriptor::catalog().end());
        QCOMPARE(onDevice->sourceRevision, QStringLiteral("On-device model of the system"));
    }

    void catalogueHoldsTheFourteenModelsInOrder()
    {
        QStringList ids;
        for (const AgentModelDescriptor &model : AgentModelDescriptor::catalog())
            ids.append(model.id);
        QCOMPARE(ids, (QStringList{"apple-system", "qwen3-4b-q4", "qwen25-vl-3b-q4", "deepseek-r1-15b-q4",
                                   "gemma4-e2b-q4", "gemma4-e4b-q4", "muse-glimmer-30b", "openai-luna",
                                   "openai-terra", "openai-sol", "gemini-flash", "gemini-flash-lite",
                                   "mistral-small", "mistral-medium"}));
        QCOMPARE(QSet<QString>(ids.begin(), ids.end()).size(), ids.size());
        // Built once: every call hands out the same list.
        QCOMPARE(&AgentModelDescriptor::catalog(), &AgentModelDescriptor::catalog());
    }

    void everyEntryIsBuiltInAndTakesText()
    {
        for (const AgentModelDescriptor &model : AgentModelDescriptor::catalog()) {
            QVERIFY2(model.capabilities.text, qPrintable(model.id));
            QVERIFY2(!model.isCustom, qPrintable(model.id));
            QVERIFY2(!model.name.isEmpty() && !model.detail.isEmpty() && !model.sizeLabel.isEmpty(),
                     qPrintable(model.id));
        }
    }

    void localModelsCarryTheirFiles()
    {
        const QRegularExpression digest(QStringLiteral("^[0-9a-f]{64}$"));
        const QRegularExpression revision(QStringLiteral("^[0-9a-f]{40}$"));
        int local = 0;
        for (const AgentModelDescriptor &model : AgentModelDescriptor::catalog()) {
            if (model.provider != AgentModelProvider::LlamaCPP) {
                QVERIFY2(model.artifacts.isEmpty(), qPrintable(model.id));
                QVERIFY2(!model.minimumMemoryGB && !model.recommendedMemoryGB, qPrintable(model.id));
                continue;
            }
            ++local;
            QVERIFY2(revision.match(model.sourceRevision).hasMatch(), qPrintable(model.id));
            QVERIFY2(model.modelArtifact().has_value(), qPrintable(model.id));
            QCOMPARE(model.projectorArtifact().has_value(), model.capabilities.images);
            QVERIFY2(model.minimumMemoryGB && model.recommendedMemoryGB, qPrintable(model.id));
            QVERIFY(*model.minimumMemoryGB <= *model.recommendedMemoryGB);
            for (const AgentModelArtifact &artifact : model.artifacts) {
                QVERIFY2(digest.match(artifact.sha256).hasMatch(), qPrintable(artifact.fileName));
                QVERIFY(artifact.byteSize > 0);
                QCOMPARE(artifact.url.scheme(), QStringLiteral("https"));
                const QString expectedTail = QStringLiteral("/resolve/") + model.sourceRevision + QLatin1Char('/')
                    + artifact.fileName + QStringLiteral("?download=true");
                QVERIFY2(artifact.url.toString().endsWith(expectedTail), qPrintable(artifact.url.toString()));
                QVERIFY2(artifact.url.toString().startsWith(QStringLiteral(SORVANE_MODEL_HOST "/")),
                         qPrintable(artifact.url.toString()));
            }
        }
        QCOMPARE(local, 6);
    }

    void repositoriesAndOwnersPerEntry_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("repository");
        QTest::newRow("qwen writer") << "qwen3-4b-q4" << SORVANE_WRITING_MODEL_OWNER "/Qwen3-4B-GGUF";
        QTest::newRow("qwen vision") << "qwen25-vl-3b-q4" << SORVANE_WRITING_MODEL_OWNER "/Qwen2.5-VL-3B-Instruct-GGUF";
        QTest::newRow("deepseek") << "deepseek-r1-15b-q4"
                                  << SORVANE_WRITING_MODEL_OWNER "/DeepSeek-R1-Distill-Qwen-1.5B-Q4_0-GGUF";
        QTest::newRow("gemma e2b") << "gemma4-e2b-q4" << SORVANE_WRITING_MODEL_OWNER "/gemma-4-E2B-it-GGUF";
        QTest::newRow("gemma e4b") << "gemma4-e4b-q4" << SORVANE_WRITING_MODEL_OWNER "/gemma-4-E4B-it-GGUF";
        QTest::newRow("muse") << "muse-glimmer-30b" << SORVANE_MUSE_MODEL_OWNER "/Muse-Glimmer-30B-GGUF";
    }

    void repositoriesAndOwnersPerEntry()
    {
        QFETCH(QString, id);
        QFETCH(QString, repository);
        for (const AgentModelArtifact &artifact : catalogEntry(id).artifacts)
            QVERIFY2(artifact.url.toString().startsWith(QStringLiteral(SORVANE_MODEL_HOST "/") + repository
                                                        + QStringLiteral("/resolve/")),
                     qPrintable(artifact.url.toString()));
    }

    void theOnDeviceEntryUsesThisSystemsWording()
    {
        const AgentModelDescriptor &model = AgentModelDescriptor::catalog().first();
        QCOMPARE(model.id, QStringLiteral("apple-system"));
        QCOMPARE(model.provider, AgentModelProvider::AppleSystem);
        QCOMPARE(model.name, QStringLiteral("On-Device"));
        QCOMPARE(model.organization, QStringLiteral("System"));
        for (const AgentModelDescriptor &entry : AgentModelDescriptor::catalog())
            QVERIFY2(!entry.detail.contains(QStringLiteral("Mac")), qPrintable(entry.detail));
    }

    void artifactsOfTheVisionEntryInOrder()
    {
        const AgentModelDescriptor &gemma = catalogEntry(QStringLiteral("gemma4-e4b-q4"));
        QCOMPARE(gemma.artifacts.size(), 2);
        QCOMPARE(gemma.modelArtifact()->fileName, QStringLiteral("gemma-4-E4B-it-Q4_0.gguf"));
        QCOMPARE(gemma.modelArtifact()->byteSize, Q_INT64_C(4590807392));
        QCOMPARE(gemma.projectorArtifact()->fileName, QStringLiteral("mmproj-gemma-4-E4B-it-Q8_0.gguf"));
        QCOMPARE(catalogEntry(QStringLiteral("muse-glimmer-30b")).modelArtifact()->byteSize, Q_INT64_C(16756681056));
    }

    void firstArtifactOfARoleWins()
    {
        AgentModelDescriptor model = catalogEntry(QStringLiteral("openai-luna"));
        QVERIFY(!model.modelArtifact());
        QVERIFY(!model.projectorArtifact());
        const AgentModelArtifact first{QStringLiteral("a.gguf"), QUrl(QStringLiteral("https://h/a")), 1,
                                       QString(64, QLatin1Char('a')), AgentModelArtifact::Role::Model};
        AgentModelArtifact second = first;
        second.fileName = QStringLiteral("b.gguf");
        model.artifacts = {first, second};
        QCOMPARE(model.modelArtifact()->fileName, QStringLiteral("a.gguf"));
        QVERIFY(!model.projectorArtifact());
    }

    void ratings_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<int>("speed");
        QTest::addColumn<int>("quality");
        QTest::newRow("on-device") << "apple-system" << 4 << 3;
        QTest::newRow("deepseek") << "deepseek-r1-15b-q4" << 2 << 4;
        QTest::newRow("gemma e2b") << "gemma4-e2b-q4" << 4 << 2;
        QTest::newRow("muse") << "muse-glimmer-30b" << 1 << 5;
        QTest::newRow("sol") << "openai-sol" << 2 << 5;
        QTest::newRow("gemini flash") << "gemini-flash" << 4 << 4;
        QTest::newRow("mistral medium") << "mistral-medium" << 3 << 4;
        QTest::newRow("custom") << "my-model" << 3 << 3;
        QTest::newRow("case matters") << "Apple-System" << 3 << 3;
    }

    void ratings()
    {
        QFETCH(QString, id);
        QFETCH(int, speed);
        QFETCH(int, quality);
        AgentModelDescriptor model;
        model.id = id;
        QCOMPARE(model.speedRating(), speed);
        QCOMPARE(model.qualityRating(), quality);
    }

    void noEntryRatesFiveForSpeed()
    {
        for (const AgentModelDescriptor &model : AgentModelDescriptor::catalog()) {
            QVERIFY(model.speedRating() >= 1 && model.speedRating() <= 4);
            QVERIFY(model.qualityRating() >= 1 && model.qualityRating() <= 5);
        }
    }

    void catalogueRoundTripsThroughJson()
    {
        for (const AgentModelDescriptor &model : AgentModelDescriptor::catalog()) {
            const QJsonObject json = model.toJson();
            const auto decoded = AgentModelDescriptor::fromJson(json);
            QVERIFY2(decoded.has_value(), qPrintable(model.id));
            QCOMPARE(*decoded, model);
        }
    }

    void cloudEntryEncoding()
    {
        const QJsonObject json = catalogEntry(QStringLiteral("openai-luna")).toJson();
        QVERIFY(!json.contains(QStringLiteral("minimumMemoryGB")));
        QVERIFY(!json.contains(QStringLiteral("recommendedMemoryGB")));
        QCOMPARE(json.value(QStringLiteral("artifacts")), QJsonValue(QJsonArray()));
        QCOMPARE(json.value(QStringLiteral("provider")).toString(), QStringLiteral("openAI"));
        QCOMPARE(json.value(QStringLiteral("capabilities")).toObject(),
                 objectFrom(R"({"text": true, "images": true})"));
        QCOMPARE(json.size(), 13);
    }

    void localEntryEncoding()
    {
        const QJsonObject json = catalogEntry(QStringLiteral("qwen25-vl-3b-q4")).toJson();
        QCOMPARE(json.value(QStringLiteral("minimumMemoryGB")).toInt(), 8);
        QCOMPARE(json.value(QStringLiteral("recommendedMemoryGB")).toInt(), 16);
        const QJsonObject projector = json.value(QStringLiteral("artifacts")).toArray().at(1).toObject();
        QCOMPARE(projector.value(QStringLiteral("role")).toString(), QStringLiteral("visionProjector"));
        QCOMPARE(projector.value(QStringLiteral("byteSize")).toInteger(), 844757728);
        QVERIFY(projector.value(QStringLiteral("url")).isString());
        QCOMPARE(projector.keys(), (QStringList{"byteSize", "fileName", "role", "sha256", "url"}));
    }

    void decodingCustomModels_data()
    {
        QTest::addColumn<QJsonObject>("json");
        QTest::addColumn<bool>("decodes");
        const QJsonObject complete = customModelJson();
        auto without = [&](const char *key) {
            QJsonObject object = complete;
            object.remove(QLatin1String(key));
            return object;
        };
        auto with = [&](const char *key, const QJsonValue &value) {
            QJsonObject object = complete;
            object.insert(QLatin1String(key), value);
            return object;
        };
        QTest::newRow("complete") << complete << true;
        QTest::newRow("no memory figures") << without("minimumMemoryGB") << true;
        QTest::newRow("null memory figure") << with("recommendedMemoryGB", QJsonValue::Null) << true;
        QTest::newRow("no isCustom") << without("isCustom") << false;
        QTest::newRow("no recommendedFor16GB") << without("recommendedFor16GB") << false;
        QTest::newRow("no detail") << without("detail") << false;
        QTest::newRow("no license") << without("license") << false;
        QTest::newRow("no artifacts") << without("artifacts") << false;
        QTest::newRow("no capabilities") << without("capabilities") << false;
        QTest::newRow("capabilities without images") << with("capabilities", objectFrom(R"({"text": true})")) << false;
        QTest::newRow("unknown provider") << with("provider", QStringLiteral("llamacpp")) << false;
        QTest::newRow("memory as text") << with("minimumMemoryGB", QStringLiteral("8")) << false;
        QTest::newRow("fractional memory") << with("minimumMemoryGB", 7.5) << false;
        QTest::newRow("empty id") << with("id", QString()) << false;
        QTest::newRow("dot id") << with("id", QStringLiteral(".")) << false;
        QTest::newRow("parent id") << with("id", QStringLiteral("..")) << false;
        QTest::newRow("id with a slash") << with("id", QStringLiteral("../Models")) << false;
        QTest::newRow("id with a NUL") << with("id", QString(QStringLiteral("a") + QChar(u'\0') + QStringLiteral("b"))) << false;
        QTest::newRow("id with spaces and dots") << with("id", QStringLiteral("my model v1.2")) << true;
        QTest::newRow("artifact without sha256") << withArtifactField(complete, "sha256", QJsonValue::Undefined) << false;
        QTest::newRow("artifact without role") << withArtifactField(complete, "role", QJsonValue::Undefined) << false;
        QTest::newRow("unknown artifact role") << withArtifactField(complete, "role", QStringLiteral("projector")) << false;
        QTest::newRow("artifact size as text") << withArtifactField(complete, "byteSize", QStringLiteral("1")) << false;
        QTest::newRow("artifact without url") << withArtifactField(complete, "url", QJsonValue::Undefined) << false;
        QTest::newRow("artifact with a broken url") << withArtifactField(complete, "url", QStringLiteral("https://exa mple/x")) << false;
        QTest::newRow("artifact in a parent folder") << withArtifactField(complete, "fileName", QStringLiteral("../x.gguf")) << false;
        QTest::newRow("artifact named ..") << withArtifactField(complete, "fileName", QStringLiteral("..")) << false;
        QTest::newRow("artifact with an empty name") << withArtifactField(complete, "fileName", QString()) << false;
        QTest::newRow("absolute artifact path") << withArtifactField(complete, "fileName", QStringLiteral("/etc/passwd")) << false;
    }

    void decodingCustomModels()
    {
        QFETCH(QJsonObject, json);
        QFETCH(bool, decodes);
        QCOMPARE(AgentModelDescriptor::fromJson(json).has_value(), decodes);
    }

    void decodedCustomModelKeepsItsValues()
    {
        QJsonObject json = customModelJson();
        json.remove(QStringLiteral("recommendedMemoryGB"));
        const auto model = AgentModelDescriptor::fromJson(json);
        QVERIFY(model);
        QCOMPARE(model->provider, AgentModelProvider::LlamaCPP);
        QVERIFY(model->isCustom);
        QCOMPARE(model->minimumMemoryGB, std::optional<int>(8));
        QCOMPARE(model->recommendedMemoryGB, std::optional<int>());
        QCOMPARE(model->artifacts.size(), 1);
        QCOMPARE(model->artifacts[0].byteSize, Q_INT64_C(4000000000));
        QCOMPARE(model->artifacts[0].url, QUrl(QStringLiteral("https://example.test/mine.gguf")));
        QCOMPARE(AgentModelDescriptor::fromJson(model->toJson()), model);
    }

    void providerTexts()
    {
        QStringList texts;
        for (AgentModelProvider provider : allCases<AgentModelProvider>())
            texts.append(toText(provider));
        QCOMPARE(texts, (QStringList{"appleSystem", "llamaCPP", "openAI", "gemini", "mistral"}));
        for (AgentModelProvider provider : allCases<AgentModelProvider>())
            QCOMPARE(fromText<AgentModelProvider>(toText(provider)), provider);
        QVERIFY(!fromText<AgentModelProvider>(QStringLiteral("OpenAI")));
    }
};

QTEST_GUILESS_MAIN(AgentModelDescriptorTest)
#include "tst_agent_model_descriptor.moc"
