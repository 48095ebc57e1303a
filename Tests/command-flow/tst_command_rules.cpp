#include "Command/AgentCommandRules.h"
#include "Services/Command/AgentCaptureError.h"

#include <QDir>
#include <QFile>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

using namespace sorvane;
using namespace sorvane::AgentCommandRules;

Q_DECLARE_METATYPE(sorvane::AgentCommandRules::StartConditions)
Q_DECLARE_METATYPE(std::optional<sorvane::AgentCommandRules::Refusal>)

namespace {

AgentModelDescriptor model(AgentModelProvider provider, bool images = false, bool projector = false)
{
    AgentModelDescriptor descriptor;
    descriptor.id = QStringLiteral("tiny");
    descriptor.name = QStringLiteral("Tiny");
    descriptor.provider = provider;
    descriptor.capabilities.images = images;
    if (provider == AgentModelProvider::LlamaCPP) {
        AgentModelArtifact weights;
        weights.fileName = QStringLiteral("tiny.gguf");
        descriptor.artifacts.append(weights);
        if (projector) {
            AgentModelArtifact vision;
            vision.fileName = QStringLiteral("mmproj.gguf");
            vision.role = AgentModelArtifact::Role::VisionProjector;
            descriptor.artifacts.append(vision);
        }
    }
    return descriptor;
}

// Everything in place for a Command with a local model.
StartConditions ready()
{
    StartConditions c;
    c.microphoneGranted = true;
    c.accessibilityGranted = true;
    c.model = model(AgentModelProvider::LlamaCPP);
    c.cloudKeyConfigured = false;
    c.modelAvailable = true;
    c.speechModelAvailable = true;
    return c;
}

Refusal refusal(const char *message, ErrorResolutionDestination destination)
{
    return Refusal{QString::fromUtf8(message), destination};
}

RunLocations locations()
{
    return RunLocations{QStringLiteral("/data/AgentModels/tiny"), QStringLiteral("/lib/llama-server"), std::nullopt,
                        QStringLiteral("/data/Sessions")};
}

} // namespace

class CommandRulesTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void startRefusal_data()
    {
        QTest::addColumn<StartConditions>("conditions");
        QTest::addColumn<std::optional<Refusal>>("expected");

        QTest::newRow("ready") << ready() << std::optional<Refusal>();
        StartConditions c = ready();
        c.microphoneGranted = false;
        c.accessibilityGranted = false;
        QTest::newRow("microphone first")
            << c << std::optional(refusal("Microphone access is required.", ErrorResolutionDestination::permissions()));

        c = ready();
        c.accessibilityGranted = false;
        QTest::newRow("accessibility, both switches")
            << c
            << std::optional(refusal("Accessibility access is required for selected-text context and automatic paste.",
                                     ErrorResolutionDestination::permissions()));
        c.settings.automaticPaste = false;
        QTest::newRow("accessibility, selected text")
            << c
            << std::optional(refusal("Accessibility access is required to send selected text to Command.",
                                     ErrorResolutionDestination::permissions()));
        c.settings.automaticPaste = true;
        c.settings.includeSelectedText = false;
        QTest::newRow("accessibility, paste")
            << c
            << std::optional(refusal("Accessibility access is required for automatic paste.",
                                     ErrorResolutionDestination::permissions()));
        c.settings.automaticPaste = false;
        QTest::newRow("accessibility not needed") << c << std::optional<Refusal>();

        c = ready();
        c.model.reset();
        QTest::newRow("no writing model")
            << c << std::optional(refusal("Choose a writing model.", ErrorResolutionDestination::commandModels()));

        c = ready();
        c.includeScreenshot = true;
        QTest::newRow("screenshot with a text model")
            << c
            << std::optional(refusal("Switch to an image-capable model to include a screenshot.",
                                     ErrorResolutionDestination::commandModels()));
        c.model = model(AgentModelProvider::LlamaCPP, true);
        QTest::newRow("screenshot with an image model") << c << std::optional<Refusal>();

        c = ready();
        c.model = model(AgentModelProvider::Gemini);
        QTest::newRow("gemini without key")
            << c
            << std::optional(refusal("Add your Gemini API key before using this model.",
                                     ErrorResolutionDestination::apiKeys(AgentWritingProvider::Gemini)));
        c.model = model(AgentModelProvider::OpenAI);
        QTest::newRow("openai without key")
            << c
            << std::optional(refusal("Add your OpenAI API key before using this model.",
                                     ErrorResolutionDestination::apiKeys(AgentWritingProvider::OpenAI)));
        c.model = model(AgentModelProvider::Mistral);
        QTest::newRow("mistral without key")
            << c
            << std::optional(refusal("Add your Mistral API key before using this model.",
                                     ErrorResolutionDestination::apiKeys(AgentWritingProvider::Mistral)));
        c.cloudKeyConfigured = true;
        QTest::newRow("mistral with key") << c << std::optional<Refusal>();

        c = ready();
        c.cloudKeyConfigured = false;
        c.modelAvailable = false;
        QTest::newRow("local model not downloaded")
            << c << std::optional(refusal("Download Tiny before using it.", ErrorResolutionDestination::commandModels()));

        c = ready();
        c.speechModelAvailable = false;
        QTest::newRow("speech model missing")
            << c
            << std::optional(refusal("Download the selected speech model first.",
                                     ErrorResolutionDestination::dictationModels()));
    }
    void startRefusal()
    {
        QFETCH(StartConditions, conditions);
        QFETCH(std::optional<Refusal>, expected);
        const auto refused = AgentCommandRules::startRefusal(conditions);
        QCOMPARE(refused.has_value(), expected.has_value());
        if (expected) {
            QCOMPARE(refused->message, expected->message);
            QVERIFY(refused->destination == expected->destination);
        }
    }

    void listeningDetail()
    {
        AgentSettings settings;
        AgentPromptProfile blank{QUuid::createUuid(), QStringLiteral("  \n"), {}, {}};
        AgentPromptProfile email{QUuid::createUuid(), QStringLiteral(" Email "), {}, {}};
        settings.promptProfiles = {blank, email};
        QCOMPARE(AgentCommandRules::listeningDetail(settings, blank.id, false), QStringLiteral("Speak your writing instruction"));
        QCOMPARE(AgentCommandRules::listeningDetail(settings, blank.id, true), QStringLiteral("Window attached"));
        QCOMPARE(AgentCommandRules::listeningDetail(settings, email.id, true), QStringLiteral(" Email "));
        QCOMPARE(AgentCommandRules::listeningDetail(settings, QUuid::createUuid(), false),
                 QStringLiteral("Speak your writing instruction"));
        QCOMPARE(AgentCommandRules::listeningDetail(settings, std::nullopt, true), QStringLiteral("Window attached"));
    }

    void loadingDetail_data()
    {
        QTest::addColumn<AgentModelDescriptor>("descriptor");
        QTest::addColumn<QString>("expected");
        QTest::newRow("on-device") << model(AgentModelProvider::AppleSystem) << "Checking the on-device model";
        QTest::newRow("local") << model(AgentModelProvider::LlamaCPP) << "Loading Tiny";
        QTest::newRow("openai") << model(AgentModelProvider::OpenAI) << "Connecting to OpenAI · Tiny";
        QTest::newRow("gemini") << model(AgentModelProvider::Gemini) << "Connecting to Gemini · Tiny";
        QTest::newRow("mistral") << model(AgentModelProvider::Mistral) << "Connecting to Mistral · Tiny";
    }
    void loadingDetail()
    {
        QFETCH(AgentModelDescriptor, descriptor);
        QFETCH(QString, expected);
        QCOMPARE(AgentCommandRules::loadingDetail(descriptor), expected);
    }

    void captureFailureDestination()
    {
        QVERIFY(AgentCommandRules::captureFailureDestination(AgentCaptureError::screenRecordingDenied())
                == ErrorResolutionDestination::permissions());
        for (const AgentCaptureError &error :
             {AgentCaptureError::noQualifyingWindow(), AgentCaptureError::imageCaptureFailed(),
              AgentCaptureError::encodingFailed(), AgentCaptureError::folderCreationFailed(QStringLiteral("/x")),
              AgentCaptureError::writeFailed(QStringLiteral("disk full"))})
            QVERIFY(AgentCommandRules::captureFailureDestination(error) == ErrorResolutionDestination::commandSettings());
    }

    void runRequest_data()
    {
        QTest::addColumn<AgentModelDescriptor>("descriptor");
        QTest::addColumn<bool>("continuation");
        QTest::addColumn<QString>("modelPath");
        QTest::addColumn<QString>("projectorPath");
        QTest::addColumn<QString>("cloudKey");
        QTest::addColumn<QString>("effort");

        QTest::newRow("local run") << model(AgentModelProvider::LlamaCPP) << false << "/data/AgentModels/tiny/tiny.gguf"
                                   << "" << "" << "";
        QTest::newRow("local image model, continued")
            << model(AgentModelProvider::LlamaCPP, true, true) << true << "/data/AgentModels/tiny/tiny.gguf"
            << "/data/AgentModels/tiny/mmproj.gguf" << "" << "";
        QTest::newRow("projector of a text-only model unused")
            << model(AgentModelProvider::LlamaCPP, false, true) << false << "/data/AgentModels/tiny/tiny.gguf" << ""
            << "" << "";
        QTest::newRow("on-device") << model(AgentModelProvider::AppleSystem) << false << "" << "" << "" << "";
        QTest::newRow("openai") << model(AgentModelProvider::OpenAI) << false << "" << "" << "sk-test-key" << "high";
        QTest::newRow("gemini continued") << model(AgentModelProvider::Gemini) << true << "" << "" << "AIza-key" << "low";
        QTest::newRow("mistral") << model(AgentModelProvider::Mistral) << false << "" << "" << "m-key" << "automatic";
    }
    void runRequest()
    {
        QFETCH(AgentModelDescriptor, descriptor);
        QFETCH(bool, continuation);
        QFETCH(QString, modelPath);
        QFETCH(QString, projectorPath);
        QFETCH(QString, cloudKey);
        QFETCH(QString, effort);

        AgentSettings settings;
        settings.openAIReasoningEffort = AgentReasoningEffort::High;
        settings.geminiReasoningEffort = AgentReasoningEffort::Low;
        settings.personalContext = QString();
        const AgentPromptProfile profile{QUuid::createUuid(), QStringLiteral("Email"),
                                         QStringLiteral("Write as an email."), {}};
        settings.promptProfiles = {profile};

        RunInput input;
        input.requestID = QUuid::createUuid();
        input.conversationID = QUuid::createUuid();
        input.isContinuation = continuation;
        input.instruction = QStringLiteral("Shorter");
        AgentContextAttachment selected;
        selected.id = QUuid::createUuid();
        selected.text = QStringLiteral("the text");
        input.attachments = {selected};
        input.profileID = profile.id;
        // A key offered for a local model is never sent.
        input.cloudKey = cloudKey.isEmpty() ? QStringLiteral("stray-key") : cloudKey;

        const AgentRuntimeRequest request = AgentCommandRules::runRequest(input, descriptor, settings, locations());
        QCOMPARE(request.version, 1);
        QCOMPARE(request.requestID, input.requestID);
        QCOMPARE(request.command, continuation ? AgentProtocolCommand::Continue : AgentProtocolCommand::Run);
        QCOMPARE(request.conversationID, std::optional(input.conversationID));
        QVERIFY(request.model == descriptor);
        QCOMPARE(request.instruction, std::optional(QStringLiteral("Shorter")));
        QCOMPARE(request.trustedInstructions, std::optional(settings.composedTrustedInstructions(profile.id)));
        QVERIFY(request.trustedInstructions->contains(QStringLiteral("Write as an email.")));
        QVERIFY(request.attachments == input.attachments);
        QCOMPARE(request.modelPath.value_or(QString()), modelPath);
        QCOMPARE(request.modelPath.has_value(), !modelPath.isEmpty());
        QCOMPARE(request.projectorPath.value_or(QString()), projectorPath);
        QCOMPARE(request.projectorPath.has_value(), !projectorPath.isEmpty());
        QCOMPARE(request.llamaServerPath, std::optional(QStringLiteral("/lib/llama-server")));
        QVERIFY(!request.appleBridgePath);
        QCOMPARE(request.sessionPath, std::optional(QStringLiteral("/data/Sessions")));
        QCOMPARE(request.cloudAPIKey.value_or(QString()), cloudKey);
        QCOMPARE(request.cloudAPIKey.has_value(), !cloudKey.isEmpty());
        // The personal context goes even when empty.
        QCOMPARE(request.personalContext, std::optional(QString()));
        QVERIFY(request.toJson().contains(QStringLiteral("personalContext")));
        QCOMPARE(request.reasoningEffort ? toText(*request.reasoningEffort) : QString(), effort);
        QVERIFY(!request.ephemeralSession);
    }

    void regularPromptWithoutProfile()
    {
        AgentSettings settings;
        settings.regularCommandPrompt = QStringLiteral("Be brief.");
        RunInput input;
        input.requestID = QUuid::createUuid();
        input.conversationID = QUuid::createUuid();
        const auto request = AgentCommandRules::runRequest(input, model(AgentModelProvider::AppleSystem), settings, locations());
        QCOMPARE(request.trustedInstructions, std::optional(settings.composedTrustedInstructions(std::nullopt)));
        QVERIFY(request.trustedInstructions->contains(QStringLiteral("Be brief.")));
    }

    void progressAfterPhase_data()
    {
        QTest::addColumn<double>("before");
        QTest::addColumn<AgentPhase>("phase");
        QTest::addColumn<double>("after");
        QTest::newRow("generating raises") << 0.2 << AgentPhase::Generating << 0.38;
        QTest::newRow("generating keeps more") << 0.5 << AgentPhase::Generating << 0.5;
        QTest::newRow("loading raises") << 0.04 << AgentPhase::LoadingModel << 0.08;
        QTest::newRow("loading keeps more") << 0.2 << AgentPhase::LoadingModel << 0.2;
        QTest::newRow("completed") << 0.4 << AgentPhase::Completed << 1.0;
        QTest::newRow("other phases") << 0.3 << AgentPhase::Transcribing << 0.3;
    }
    void progressAfterPhase()
    {
        QFETCH(double, before);
        QFETCH(AgentPhase, phase);
        QFETCH(double, after);
        QCOMPARE(AgentCommandRules::progressAfterPhase(before, phase), after);
    }

    void moveAttachments()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString pending = dir.filePath(QStringLiteral("pending/shot.png"));
        QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("pending"))));
        QFile file(pending);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("png");
        file.close();

        AgentContextAttachment text;
        text.id = QUuid::createUuid();
        text.text = QStringLiteral("selected");
        AgentContextAttachment shot;
        shot.id = QUuid::createUuid();
        shot.kind = AgentAttachmentKind::Screenshot;
        shot.displayName = QStringLiteral("Window");
        shot.filePath = pending;
        AgentContextAttachment missing = shot;
        missing.id = QUuid::createUuid();
        missing.filePath = dir.filePath(QStringLiteral("pending/gone.png"));

        // A file of the user's own, elsewhere, named by an attachment.
        const QString own = dir.filePath(QStringLiteral("Documents/own.png"));
        QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("Documents"))));
        QFile ownFile(own);
        QVERIFY(ownFile.open(QIODevice::WriteOnly));
        ownFile.close();
        AgentContextAttachment foreign = shot;
        foreign.id = QUuid::createUuid();
        foreign.filePath = own;

        const QString pendingFolder = dir.filePath(QStringLiteral("pending"));
        const QString folder = dir.filePath(QStringLiteral("Attachments/conversation"));
        const auto moved = AgentCommandRules::moveAttachments({text, shot, missing, foreign}, folder, pendingFolder);
        QCOMPARE(moved.size(), 4);
        QVERIFY(moved[0] == text);
        QCOMPARE(moved[1].id, shot.id);
        QCOMPARE(moved[1].displayName, shot.displayName);
        QCOMPARE(moved[1].filePath, std::optional(QDir(folder).absoluteFilePath(QStringLiteral("shot.png"))));
        QVERIFY(QFile::exists(*moved[1].filePath));
        QVERIFY(!QFile::exists(pending));
        // A file that could not be moved is still pointed at its place in the folder.
        QCOMPARE(moved[2].filePath, std::optional(QDir(folder).absoluteFilePath(QStringLiteral("gone.png"))));
        // Never moved, so never deleted with the conversation.
        QVERIFY(moved[3] == foreign);
        QVERIFY(QFile::exists(own));
        QVERIFY(AgentCommandRules::moveAttachments({}, folder, pendingFolder).isEmpty());
    }
};

QTEST_GUILESS_MAIN(CommandRulesTest)
#include "tst_command_rules.moc"
