#include "ScreenshotScenes.h"
#include "TestAppState.h"

#include <QTemporaryDir>

using namespace sorvane;
using namespace sorvane::test;
using namespace sorvane::testing;

namespace {

// The Shortcuts and Behaviour areas as the settings screen scrolls them, over a state.
struct AreaPicture {
    QTemporaryDir home;
    std::unique_ptr<TestAppState> t;
    AreaPicture()
    {
        qputenv("XDG_DATA_HOME", home.filePath("data").toUtf8());
        qputenv("XDG_CONFIG_HOME", home.filePath("config").toUtf8());
        t = std::make_unique<TestAppState>();
    }
};

QByteArray areaScene(const char *area, int height)
{
    return QByteArray(R"(
import QtQuick
import Sorvane
Rectangle {
    width: 760
    height: )") + QByteArray::number(height) + R"(
    color: Colors.windowBackground
    )" + area + R"( { x: 40; y: 8; width: 680 }
}
)";
}

std::shared_ptr<void> shortcutsScene(QmlScene &scene, bool refused)
{
    auto picture = std::make_shared<AreaPicture>();
    if (refused)
        picture->t->fakes.hotKeys->takenElsewhere.append({49, HotKeyModifier::Option});
    AppState &state = picture->t->build();
    state.addPromptProfile();
    AgentSettings settings = state.agentSettings();
    settings.promptProfiles[0].name = QStringLiteral("Slack");
    settings.promptProfiles[0].prompt = QStringLiteral("Casual tone for the team, short sentences.");
    settings.promptProfiles[0].shortcut = {0x28, QStringLiteral("K"), false, true, true, false};
    state.setAgentSettings(settings);
    if (!refused)
        state.setPushToTalkShortcut(state.toggleShortcut()); // two alike: the conflict text
    scene.setContextProperty(QStringLiteral("appState"), &state);
    scene.load(areaScene("ShortcutsArea", 1240));
    return picture;
}

std::shared_ptr<void> behaviourScene(QmlScene &scene, bool pasteOff, int provider, int appearance)
{
    auto picture = std::make_shared<AreaPicture>();
    AppState &state = picture->t->build();
    state.setAutomaticPaste(!pasteOff);
    AgentSettings settings = state.agentSettings();
    settings.writingProvider = AgentWritingProvider(provider);
    settings.openAIReasoningEffort = AgentReasoningEffort::Minimal;
    state.setAgentSettings(settings);
    state.setOverlayAppearance(OverlayAppearance(appearance));
    state.setVocabulary({QStringLiteral("Sorvane"), QStringLiteral("Qt")});
    scene.setContextProperty(QStringLiteral("appState"), &state);
    scene.load(areaScene("BehaviourArea", 1780));
    return picture;
}

QList<ScreenshotScene> settingsAreaScenes()
{
    return {
        {QStringLiteral("shortcuts-area"), [](QmlScene &scene) { return shortcutsScene(scene, false); }},
        {QStringLiteral("shortcuts-area-refused"), [](QmlScene &scene) { return shortcutsScene(scene, true); }},
        {QStringLiteral("behaviour-area"),
         [](QmlScene &scene) { return behaviourScene(scene, false, int(AgentWritingProvider::OpenAI), 1); }},
        {QStringLiteral("behaviour-area-paste-off-dark"),
         [](QmlScene &scene) { return behaviourScene(scene, true, int(AgentWritingProvider::Local), 2); }},
    };
}

} // namespace

SORVANE_SCREENSHOTS(settingsAreaScenes);
