// The shell's pictures: the window's menus open, "About Sorvane", the program's icon at
// every installed size, and Home in a session without global shortcuts.
#include "ScreenshotScenes.h"
#include "TestAppState.h"
#include "Views/Shell/MainMenuModel.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

using namespace sorvane;
using namespace sorvane::test;
using namespace sorvane::testing;

namespace {

struct MenuPicture {
    QTemporaryDir home;
    std::unique_ptr<TestAppState> t;
    std::unique_ptr<MainMenuModel> menus;

    MenuPicture()
    {
        qputenv("XDG_DATA_HOME", home.filePath("data").toUtf8());
        qputenv("XDG_CONFIG_HOME", home.filePath("config").toUtf8());
        t = std::make_unique<TestAppState>();
        AppState &state = t->build();
        // The longest titles: a shortcut with every modifier.
        KeyboardShortcutSetting agent = state.agentShortcut();
        agent.shift = agent.control = agent.option = true;
        state.setAgentShortcut(agent);
        menus = std::make_unique<MainMenuModel>(&state, nullptr, nullptr);
    }
};

ScreenshotScene menuScene(const char *title)
{
    return {QStringLiteral("shell-menu-") + QString::fromLatin1(title).toLower(),
            [title](QmlScene &scene) -> std::shared_ptr<void> {
                auto picture = std::make_shared<MenuPicture>();
                scene.setContextProperty(QStringLiteral("appState"), &picture->t->state());
                scene.setContextProperty(QStringLiteral("shellMenus"), picture->menus.get());
                if (!scene.load("import QtQuick\nimport Sorvane\nRectangle {\n color: Colors.sorvaneBrightPaper\n"
                                " ShellMenuBar { width: parent.width; menuModel: shellMenus }\n}",
                                QSize(720, 240)))
                    return picture;
                if (QObject *menu = QmlScene::findObject(scene.root(), QStringLiteral("menu:") + QLatin1String(title)))
                    QMetaObject::invokeMethod(menu, "open");
                return picture;
            }};
}

// Restores the session type when the picture is done.
struct WaylandPicture {
    QByteArray session = qgetenv("XDG_SESSION_TYPE");
    QTemporaryDir home;
    std::unique_ptr<TestAppState> t;
    WaylandPicture()
    {
        qputenv("XDG_SESSION_TYPE", "wayland");
        qputenv("XDG_DATA_HOME", home.filePath("data").toUtf8());
        qputenv("XDG_CONFIG_HOME", home.filePath("config").toUtf8());
        t = std::make_unique<TestAppState>();
    }
    ~WaylandPicture() { qputenv("XDG_SESSION_TYPE", session); }
};

QList<ScreenshotScene> shellScenes()
{
    return {
        menuScene("Sorvane"),
        menuScene("Dictation"),
        menuScene("Command"),
        {QStringLiteral("shell-about"), [](QmlScene &scene) -> std::shared_ptr<void> {
             const QByteArray version = MainMenuModel::aboutVersion().toUtf8();
             scene.load("import QtQuick\nimport Sorvane\nRectangle {\n color: Colors.sorvanePaper\n"
                        " AboutPanel { x: (parent.width - width) / 2; y: 60; version: \"" + version + "\" }\n}",
                        QSize(520, 400));
             if (QObject *panel = QmlScene::findObject(scene.root(), QStringLiteral("aboutPanel")))
                 QMetaObject::invokeMethod(panel, "open");
             return nullptr;
         }},
        {QStringLiteral("shell-icon-sizes"), [](QmlScene &scene) -> std::shared_ptr<void> {
             // The bitmaps the build drew into its share/ folder, side by side on both papers.
             const QString icons = QDir(QCoreApplication::applicationDirPath())
                                       .absoluteFilePath(QStringLiteral("../share/icons/hicolor"));
             QByteArray qml = "import QtQuick\nimport Sorvane\nColumn {\n";
             // Light paper, and a dark panel's grey.
             for (const char *paper : {"Colors.sorvaneBrightPaper", "\"#3b3d40\""}) {
                 qml += " Rectangle { width: 1280; height: 560; color: " + QByteArray(paper) +
                        "\n  Row { anchors.centerIn: parent; spacing: 16\n";
                 for (const int size : {16, 24, 32, 48, 64, 128, 256, 512})
                     qml += "   Image { anchors.verticalCenter: parent.verticalCenter; source: \"file://"
                            + icons.toUtf8() + "/" + QByteArray::number(size) + "x" + QByteArray::number(size)
                            + "/apps/com.sorvane.local.png\" }\n";
                 qml += "  }\n }\n";
             }
             qml += "}\n";
             scene.load(qml, QSize(1280, 1120));
             return nullptr;
         }},
        {QStringLiteral("main-home-wayland"), [](QmlScene &scene) -> std::shared_ptr<void> {
             auto picture = std::make_shared<WaylandPicture>();
             picture->t->placeSpeechModelFile(QStringLiteral("pocket"));
             AppState &state = picture->t->build();
             state.setSelectedModelID(QStringLiteral("pocket"));
             state.setOnboardingComplete(true);
             scene.setContextProperty(QStringLiteral("appState"), &state);
             scene.load("import Sorvane\nRootView {}", QSize(1060, 630));
             return picture;
         }},
    };
}

} // namespace

SORVANE_SCREENSHOTS(shellScenes);
