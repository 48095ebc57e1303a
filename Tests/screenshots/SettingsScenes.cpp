// The settings screen in the main window: each tab, and the Account area's rows in each
// of their states, over the real application state with fake desktop services.
#include "FakeShellControllers.h"
#include "ScreenshotScenes.h"
#include "State/APIKeyOperations.h"
#include "TestAppState.h"

#include <QEventLoop>
#include <QQuickItem>
#include <QTemporaryDir>
#include <QTimer>

using namespace sorvane;
using namespace sorvane::test;
using namespace sorvane::testing;

namespace {

// The window at its default size, less its menu bar.
const QSize windowSize(1160, 700 - 30);
// Tall enough for the whole Account area.
const QSize tallSize(1160, 1240);
const QString openAIKey = QStringLiteral("sk-test-0123456789abcdef");

struct SettingsPicture {
    QTemporaryDir home;
    std::unique_ptr<TestAppState> t;
    FakeApplicationLocation location;
    FakeUpdates updates;

    SettingsPicture()
    {
        qputenv("XDG_DATA_HOME", home.filePath("data").toUtf8());
        qputenv("XDG_CONFIG_HOME", home.filePath("config").toUtf8());
        t = std::make_unique<TestAppState>();
    }

    AppState &build(SettingsArea area)
    {
        t->placeSpeechModelFile(QStringLiteral("pocket"));
        AppState &state = t->build();
        state.setSelectedModelID(QStringLiteral("pocket"));
        state.setOnboardingComplete(true);
        state.setSelectedSettingsArea(area);
        state.setSelectedSection(AppSection::Settings);
        return state;
    }

    void show(QmlScene &scene, QSize size = windowSize)
    {
        scene.setContextProperty(QStringLiteral("appState"), &t->state());
        scene.setContextProperty(QStringLiteral("location"), &location);
        scene.setContextProperty(QStringLiteral("updater"), &updates);
        scene.load("import Sorvane\nRootView { applicationLocation: location; updates: updater }", size);
    }

    static QObject *screen(QmlScene &scene)
    {
        QObject *view = QmlScene::findObject(scene.root(), QStringLiteral("settingsView"));
        return view ? view->property("screen").value<QObject *>() : nullptr;
    }
};

// Lets animations (the highlight's fade, a row opening) reach their end.
void letAnimationsEnd()
{
    QEventLoop loop;
    QTimer::singleShot(450, &loop, &QEventLoop::quit);
    loop.exec();
}

ScreenshotScene settingsScene(const char *name, SettingsArea area, QSize size,
                              std::function<void(SettingsPicture &, QmlScene &)> prepare = {},
                              std::function<void(SettingsPicture &, QmlScene &)> after = {})
{
    return {QString::fromLatin1(name), [=](QmlScene &scene) -> std::shared_ptr<void> {
                auto picture = std::make_shared<SettingsPicture>();
                if (prepare)
                    prepare(*picture, scene);
                picture->build(area);
                picture->show(scene, size);
                if (after)
                    after(*picture, scene);
                letAnimationsEnd();
                return picture;
            }};
}

QList<ScreenshotScene> settingsScenes()
{
    return {
        settingsScene("settings-shortcuts", SettingsArea::Shortcuts, windowSize),
        settingsScene("settings-behaviour", SettingsArea::Behaviour, windowSize),
        // A conversations file that could not be read: its notice leads here.
        settingsScene("settings-behaviour-notice", SettingsArea::Behaviour, windowSize, {},
                      [](SettingsPicture &p, QmlScene &) {
                          p.t->state().setErrorResolution(ErrorResolution(
                              QStringLiteral("The conversations file could not be read. It was set aside as "
                                             "\u201c/home/user/.local/share/Sorvane/Agent/conversations.json.unreadable-"
                                             "20261211T071500Z\u201d."),
                              ErrorResolutionDestination::commandSettings()));
                      }),
        settingsScene("settings-account", SettingsArea::Account, windowSize),
        // No key yet, the microphone and screen recording not granted.
        settingsScene("settings-account-full", SettingsArea::Account, tallSize, [](SettingsPicture &p, QmlScene &) {
            p.t->permissions.microphone = false;
            p.t->permissions.screenRecording = false;
        }),
        // The OpenAI row open with a key typed; Gemini saved; a refused Mistral key's message.
        settingsScene(
            "settings-account-rows", SettingsArea::Account, tallSize,
            [](SettingsPicture &p, QmlScene &) {
                p.t->fakes.secretStore->items.insert(
                    {QStringLiteral("com.sorvane.local.gemini-api"), QStringLiteral("GEMINI_API_KEY")},
                    QByteArray("AIza-test-0123456789abcdef"));
            },
            [](SettingsPicture &p, QmlScene &scene) {
                QObject *screen = SettingsPicture::screen(scene);
                QMetaObject::invokeMethod(screen, "toggleRow", Q_ARG(int, int(AgentWritingProvider::OpenAI)));
                QMetaObject::invokeMethod(screen, "setDraft", Q_ARG(int, int(AgentWritingProvider::OpenAI)),
                                          Q_ARG(QString, openAIKey));
                (void)p;
            }),
        settingsScene("settings-account-saved", SettingsArea::Account, tallSize, {},
                      [](SettingsPicture &p, QmlScene &scene) {
                          p.t->state().setErrorResolution(
                              ErrorResolution(QStringLiteral("Add an OpenAI API key in the Account settings, then try the Command again."),
                                              ErrorResolutionDestination::apiKeys(AgentWritingProvider::OpenAI)));
                          QObject *screen = SettingsPicture::screen(scene);
                          QMetaObject::invokeMethod(screen, "toggleRow", Q_ARG(int, int(AgentWritingProvider::OpenAI)));
                          QMetaObject::invokeMethod(screen, "setDraft", Q_ARG(int, int(AgentWritingProvider::OpenAI)),
                                                    Q_ARG(QString, openAIKey));
                          QMetaObject::invokeMethod(screen, "saveKey", Q_ARG(int, int(AgentWritingProvider::OpenAI)));
                      }),
        settingsScene("settings-account-refused", SettingsArea::Account, tallSize, {},
                      [](SettingsPicture &, QmlScene &scene) {
                          QObject *screen = SettingsPicture::screen(scene);
                          const int mistral = int(AgentWritingProvider::Mistral);
                          QMetaObject::invokeMethod(screen, "toggleRow", Q_ARG(int, mistral));
                          QMetaObject::invokeMethod(screen, "setDraft", Q_ARG(int, mistral), Q_ARG(QString, QStringLiteral("short")));
                          QMetaObject::invokeMethod(screen, "saveKey", Q_ARG(int, mistral));
                      }),
        // The keyring has not answered yet, and a permission banner waits.
        settingsScene(
            "settings-account-waiting", SettingsArea::Account, tallSize,
            [](SettingsPicture &p, QmlScene &) { p.t->lockKeyring(); },
            [](SettingsPicture &p, QmlScene &) {
                p.t->state().setErrorResolution(ErrorResolution(
                    QStringLiteral("Sorvane needs the microphone to record. Allow it below, then try again."),
                    ErrorResolutionDestination::permissions()));
            }),
        settingsScene("settings-account-keyring-error", SettingsArea::Account, tallSize, [](SettingsPicture &p, QmlScene &) {
            p.t->fakes.secretStore->failures.insert(QStringLiteral("read com.sorvane.local.openai-api"),
                                                    SecretStore::Status::failed(9, QStringLiteral("No keyring is running.")));
        }),
        settingsScene("settings-account-highlight", SettingsArea::Shortcuts, windowSize, {},
                      [](SettingsPicture &p, QmlScene &) { p.t->state().requestPermissionAttention(); }),
        settingsScene("settings-removal-dialog", SettingsArea::Account, windowSize,
                      [](SettingsPicture &p, QmlScene &) {
                          p.t->fakes.secretStore->items.insert(
                              {QStringLiteral("com.sorvane.local.openai-api"), QStringLiteral("OPENAI_API_KEY")}, openAIKey.toUtf8());
                      },
                      [](SettingsPicture &, QmlScene &scene) {
                          QObject *screen = SettingsPicture::screen(scene);
                          QMetaObject::invokeMethod(screen, "toggleRow", Q_ARG(int, int(AgentWritingProvider::OpenAI)));
                          QMetaObject::invokeMethod(screen, "requestRemoval", Q_ARG(int, int(AgentWritingProvider::OpenAI)));
                      }),
        {QStringLiteral("settings-rows-kit"), [](QmlScene &scene) -> std::shared_ptr<void> {
             scene.load(R"qml(
import QtQuick
import QtQuick.Layouts
import Sorvane

Rectangle {
    width: 760
    height: 940
    color: Colors.sorvaneBrightPaper
    ColumnLayout {
        x: 40; y: 24; width: 680
        spacing: 0
        SettingsRow { Layout.fillWidth: true; title: "Paste automatically"; detail: "Pastes the text where the cursor was."; KitSwitch { value: true } }
        SettingsRow { Layout.fillWidth: true; title: "Restore the clipboard"; detail: "Puts back what the clipboard held before."; KitSwitch { value: false } }
        SettingsRow { Layout.fillWidth: true; title: "Not available"; detail: "A switch that cannot change now."; KitSwitch { value: true; enabled: false } }
        SettingsRow {
            Layout.fillWidth: true; title: "Reasoning effort"
            detail: "How hard the cloud model thinks before it answers. A long detail line wraps onto as many lines as it needs and never pushes the control out of the row."
            KitPicker { model: ["Automatic", "Low", "Medium", "High"]; selectedIndex: 2 }
        }
        SettingsRow { Layout.fillWidth: true; title: "Restore after"; detail: "Seconds before the clipboard is put back."; KitStepper { from: 1; to: 30; current: 3; suffix: "s" } }
        SettingsRow { Layout.fillWidth: true; title: "At the lower bound"; detail: "The minus fades at the smallest value."; KitStepper { from: 1; to: 30; current: 1; suffix: "s" } }
        SettingsRow { Layout.fillWidth: true; title: "Vocabulary"; detail: "No spelling hints yet"
            BorderedRowButton { title: "Edit"; buttonHeight: 40; horizontalPadding: 18; cornerRadius: 11; fontSize: 14 } }
        SettingsRow { Layout.fillWidth: true; title: "Version"; detail: "0.1.0 (1)" }
        KitMaskedField { Layout.fillWidth: true; Layout.topMargin: 16; placeholder: "Paste your OpenAI API key (sk-…)" }
        KitMaskedField { Layout.fillWidth: true; Layout.topMargin: 12; text: "sk-test-0123456789" }
    }
}
)qml");
             return nullptr;
         }},
    };
}

} // namespace

SORVANE_SCREENSHOTS(settingsScenes);
