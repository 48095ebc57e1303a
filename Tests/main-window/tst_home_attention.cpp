#include "MainWindow/HomeAttention.h"

#include <QTest>

using namespace sorvane;

Q_DECLARE_METATYPE(sorvane::AttentionInputs)

namespace {

// Everything in order: no item shows.
AttentionInputs allWell()
{
    AttentionInputs inputs;
    inputs.accessibilityGranted = true;
    inputs.microphoneGranted = true;
    inputs.speechModelSelected = true;
    inputs.selectedModelFileExists = true;
    inputs.selectedAgentModelProvider = AgentModelProvider::LlamaCPP;
    return inputs;
}

template <typename Change>
AttentionInputs with(Change change)
{
    AttentionInputs inputs = allWell();
    change(inputs);
    return inputs;
}

QStringList idsOf(const QList<AttentionItem> &items)
{
    QStringList ids;
    for (const AttentionItem &item : items)
        ids.append(item.id);
    return ids;
}

} // namespace

class HomeAttentionTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void whichItemsShow_data()
    {
        QTest::addColumn<AttentionInputs>("inputs");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("all well") << allWell() << QStringList{};
        QTest::newRow("on-device model") << with([](auto &i) { i.selectedAgentModelProvider = AgentModelProvider::AppleSystem; })
                                         << QStringList{};
        QTest::newRow("no Command model found") << with([](auto &i) { i.selectedAgentModelProvider.reset(); })
                                                << QStringList{};
        QTest::newRow("cloud model with its key")
            << with([](auto &i) {
                   i.selectedAgentModelProvider = AgentModelProvider::Gemini;
                   i.configuredCloudProviders = {AgentWritingProvider::Gemini};
               })
            << QStringList{};
        QTest::newRow("accessibility revoked") << with([](auto &i) { i.accessibilityGranted = false; })
                                               << QStringList{"accessibility"};
        QTest::newRow("microphone off") << with([](auto &i) { i.microphoneGranted = false; })
                                        << QStringList{"microphone"};
        QTest::newRow("no speech model selected") << with([](auto &i) { i.speechModelSelected = false; })
                                                  << QStringList{"speech-model"};
        QTest::newRow("selected model's file is gone") << with([](auto &i) { i.selectedModelFileExists = false; })
                                                       << QStringList{"speech-model"};
        QTest::newRow("onboarding download failed, model still pending")
            << with([](auto &i) {
                   i.onboardingModelPending = true;
                   i.preferredSpeechModelDownloadError = QStringLiteral("The network connection was lost.");
               })
            << QStringList{"speech-model"};
        QTest::newRow("download failed but another installed model was picked")
            << with([](auto &i) { i.preferredSpeechModelDownloadError = QStringLiteral("lost"); }) << QStringList{};
        QTest::newRow("pending download without a failure")
            << with([](auto &i) { i.onboardingModelPending = true; }) << QStringList{};
        QTest::newRow("OpenAI model without a key")
            << with([](auto &i) { i.selectedAgentModelProvider = AgentModelProvider::OpenAI; })
            << QStringList{"cloud-key-openAI"};
        QTest::newRow("Mistral model, only another provider has a key")
            << with([](auto &i) {
                   i.selectedAgentModelProvider = AgentModelProvider::Mistral;
                   i.configuredCloudProviders = {AgentWritingProvider::OpenAI};
               })
            << QStringList{"cloud-key-mistral"};
        QTest::newRow("no permissions and no speech model")
            << with([](auto &i) {
                   i.accessibilityGranted = false;
                   i.microphoneGranted = false;
                   i.speechModelSelected = false;
               })
            << QStringList{"accessibility", "microphone", "speech-model"};
        QTest::newRow("every kind, in the table's order")
            << with([](auto &i) {
                   i.accessibilityGranted = false;
                   i.microphoneGranted = false;
                   i.selectedModelFileExists = false;
                   i.selectedAgentModelProvider = AgentModelProvider::Gemini;
               })
            << QStringList{"accessibility", "microphone", "speech-model", "cloud-key-gemini"};
    }

    void whichItemsShow()
    {
        QFETCH(AttentionInputs, inputs);
        QFETCH(QStringList, expected);
        QCOMPARE(idsOf(HomeScreen::attentionItems(inputs)), expected);
    }

    void shortcutWordsFollowTheSession_data()
    {
        QTest::addColumn<bool>("available");
        QTest::addColumn<QString>("headline");
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("promise");
        QTest::newRow("X11") << true << "Alt+Space" << "Ctrl+Alt+Space"
                             << "Dictate into any app. Nothing leaves this computer.";
        QTest::newRow("Wayland") << false << "Shortcuts unavailable" << "Unavailable"
                                 << "Global shortcuts are unavailable in this Wayland session: start dictation "
                                    "below or from the tray menu. Nothing leaves this computer.";
    }
    void shortcutWordsFollowTheSession()
    {
        QFETCH(bool, available);
        QFETCH(QString, headline);
        QFETCH(QString, command);
        QFETCH(QString, promise);
        QCOMPARE(HomeScreen::shortcutHeadline(QStringLiteral("Alt+Space"), available), headline);
        QCOMPARE(HomeScreen::commandShortcutValue(QStringLiteral("Ctrl+Alt+Space"), available), command);
        QCOMPARE(HomeScreen::promiseLine(available), promise);
    }

    void itemTexts_data()
    {
        QTest::addColumn<AttentionInputs>("inputs");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("detail");
        QTest::addColumn<QString>("actionTitle");
        QTest::addColumn<int>("action");
        QTest::newRow("accessibility never granted") << with([](auto &i) { i.accessibilityGranted = false; })
                                                     << "Accessibility access is off"
                                                     << "Auto-paste is off until you allow it" << "Allow"
                                                     << int(AttentionAction::AllowAccessibility);
        QTest::newRow("accessibility revoked") << with([](auto &i) {
            i.accessibilityGranted = false;
            i.accessibilityGrantSeen = true;
        }) << "Accessibility access was revoked"
                                               << "Auto-paste is off until you allow it again" << "Allow"
                                               << int(AttentionAction::AllowAccessibility);
        QTest::newRow("microphone") << with([](auto &i) { i.microphoneGranted = false; }) << "Microphone access is off"
                                    << "Dictation cannot record" << "Allow" << int(AttentionAction::RequestMicrophone);
        QTest::newRow("speech model") << with([](auto &i) { i.speechModelSelected = false; })
                                      << "Speech model is missing" << "Dictation needs a model on this computer"
                                      << "Get" << int(AttentionAction::ShowModels);
        QTest::newRow("OpenAI") << with([](auto &i) { i.selectedAgentModelProvider = AgentModelProvider::OpenAI; })
                                << "OpenAI key is missing" << "The selected Command model needs it" << "Add key"
                                << int(AttentionAction::AddAPIKey);
        QTest::newRow("Gemini") << with([](auto &i) { i.selectedAgentModelProvider = AgentModelProvider::Gemini; })
                                << "Gemini key is missing" << "The selected Command model needs it" << "Add key"
                                << int(AttentionAction::AddAPIKey);
        QTest::newRow("Mistral") << with([](auto &i) { i.selectedAgentModelProvider = AgentModelProvider::Mistral; })
                                 << "Mistral key is missing" << "The selected Command model needs it" << "Add key"
                                 << int(AttentionAction::AddAPIKey);
    }

    void itemTexts()
    {
        QFETCH(AttentionInputs, inputs);
        QFETCH(QString, title);
        QFETCH(QString, detail);
        QFETCH(QString, actionTitle);
        QFETCH(int, action);
        const auto items = HomeScreen::attentionItems(inputs);
        QCOMPARE(items.size(), 1);
        QCOMPARE(items[0].title, title);
        QCOMPARE(items[0].detail, detail);
        QCOMPARE(items[0].actionTitle, actionTitle);
        QCOMPARE(int(items[0].action), action);
    }

    void keyItemNamesItsProvider()
    {
        const auto items = HomeScreen::attentionItems(
            with([](auto &i) { i.selectedAgentModelProvider = AgentModelProvider::Mistral; }));
        QCOMPARE(items.value(0).provider, std::optional(AgentWritingProvider::Mistral));
    }

    void readinessIgnoresEverythingButTheModel()
    {
        QCOMPARE(HomeScreen::readinessLabel(true), QStringLiteral("Ready"));
        QCOMPARE(HomeScreen::readinessLabel(false), QStringLiteral("Model needed"));
    }

    void weeklyMinutes_data()
    {
        QTest::addColumn<int>("minutes");
        QTest::addColumn<QString>("expected");
        QTest::newRow("zero") << 0 << "0 minutes";
        QTest::newRow("one") << 1 << "1 minute";
        QTest::newRow("two") << 2 << "2 minutes";
        QTest::newRow("many") << 125 << "125 minutes";
    }

    void weeklyMinutes()
    {
        QFETCH(int, minutes);
        QFETCH(QString, expected);
        QCOMPARE(HomeScreen::weeklyMinutesLabel(minutes), expected);
    }

    void dictationButton_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("expected");
        QTest::newRow("idle") << int(CaptureStatus::Kind::Idle) << "Start dictation";
        QTest::newRow("recording") << int(CaptureStatus::Kind::Recording) << "Finish dictation";
        QTest::newRow("processing") << int(CaptureStatus::Kind::Processing) << "Start dictation";
        QTest::newRow("success") << int(CaptureStatus::Kind::Success) << "Start dictation";
        QTest::newRow("error") << int(CaptureStatus::Kind::Error) << "Start dictation";
    }

    void dictationButton()
    {
        QFETCH(int, status);
        QFETCH(QString, expected);
        QCOMPARE(HomeScreen::dictationButtonTitle(CaptureStatus::Kind(status)), expected);
    }
};

QTEST_GUILESS_MAIN(HomeAttentionTest)
#include "tst_home_attention.moc"
