// The main window at its default size: home, history and the vocabulary editor, over
// the real application state with fake desktop services.
#include "FakeShellControllers.h"
#include "ScreenshotScenes.h"
#include "Support/StoredJson.h"
#include "TestAppState.h"

#include <QDir>
#include <QJsonArray>
#include <QTemporaryDir>

using namespace sorvane;
using namespace sorvane::test;
using namespace sorvane::testing;

namespace {

// The window at its default size, less its menu bar.
const QSize windowSize(1160, 700 - 30);
// The smallest window, less its menu bar.
const QSize minimumContentSize(1060, 660 - 30);

// Everything a picture keeps alive: the state and its private folders.
struct MainWindowPicture {
    QTemporaryDir home;
    std::unique_ptr<TestAppState> t;
    FakeApplicationLocation location;
    FakeUpdates updates;

    MainWindowPicture()
    {
        // The state prepares its data folders at start: keep them out of the user's.
        qputenv("XDG_DATA_HOME", home.filePath("data").toUtf8());
        qputenv("XDG_CONFIG_HOME", home.filePath("config").toUtf8());
        t = std::make_unique<TestAppState>();
    }

    AppState &build(bool settled = true)
    {
        if (settled)
            t->placeSpeechModelFile(QStringLiteral("pocket"));
        AppState &state = t->build();
        if (settled)
            state.setSelectedModelID(QStringLiteral("pocket"));
        state.setOnboardingComplete(true);
        return state;
    }

    void show(QmlScene &scene, QSize size = windowSize)
    {
        scene.setContextProperty(QStringLiteral("appState"), &t->state());
        scene.setContextProperty(QStringLiteral("location"), &location);
        scene.setContextProperty(QStringLiteral("updater"), &updates);
        scene.load("import Sorvane\nRootView { applicationLocation: location; updates: updater }", size);
    }
};

QString folderFile(const TestAppState &t, const char *name)
{
    return t.folder.filePath(QString::fromLatin1(name));
}

// 30 entries: dictations and conversations from today back over three weeks.
void writeMixedHistory(TestAppState &t)
{
    const QStringList said = {
        QStringLiteral("Remind Priya that the design review moved to Thursday at ten, and ask whether the new "
                       "onboarding copy is ready for the translators."),
        QStringLiteral("Grocery list: oat milk, two lemons, basil, the good olive oil, and something for Sunday."),
        QStringLiteral("The release notes should say that history search now covers Command conversations too."),
        QStringLiteral("Call the dentist back before five."),
        QStringLiteral("Draft for the team: we are moving the stand-up to 9:45 so that the Berlin office can join "
                       "without skipping breakfast. If that clashes with anything, tell me by Friday and we will "
                       "find another slot. Thanks for your patience while we sort out the calendar; the new rota "
                       "will be in the shared folder by the end of the week."),
    };
    const QStringList apps = {QStringLiteral("Mail"), QStringLiteral("Notes"), QString(), QStringLiteral("Firefox")};
    const QDateTime now = QDateTime::currentDateTimeUtc();
    QJsonArray items;
    for (int i = 0; i < 20; ++i) {
        HistoryItem item = HistoryItem::make(now.addSecs(-i * 3600 * 9 - 600), said[i % said.size()], 3.5 + i * 4.2,
                                             i % 3 ? QStringLiteral("pocket") : QStringLiteral("balanced"));
        items.append(item.toJson());
    }
    storedjson::writeFileAtomically(folderFile(t, "history.json"), storedjson::encode(items));

    QJsonArray conversations;
    for (int i = 0; i < 10; ++i) {
        const QDateTime at = now.addSecs(-i * 3600 * 17 - 1200);
        AgentConversation c;
        c.id = QUuid::createUuid();
        c.title = QStringLiteral("Make this friendlier");
        c.createdAt = at.addSecs(-300);
        c.updatedAt = at;
        c.targetApplicationName = apps[i % apps.size()];
        c.messages.append({QUuid::createUuid(), AgentMessageRole::User, QStringLiteral("Make this friendlier"), at, {}});
        c.messages.append({QUuid::createUuid(), AgentMessageRole::Assistant,
                           QStringLiteral("Hi all, quick heads-up: the stand-up moves to 9:45 from Monday so "
                                          "Berlin can join. Shout if that does not work for you!"),
                           at, {}});
        if (i % 3 == 1)
            c.messages.append({QUuid::createUuid(), AgentMessageRole::User, QStringLiteral("Shorter"), at, {}});
        conversations.append(c.toJson());
    }
    storedjson::writeFileAtomically(folderFile(t, "conversations.json"), storedjson::encode(conversations));
}

QList<ScreenshotScene> mainWindowScenes()
{
    return {
        {QStringLiteral("main-home"), [](QmlScene &scene) -> std::shared_ptr<void> {
             auto picture = std::make_shared<MainWindowPicture>();
             picture->build();
             picture->show(scene);
             return picture;
         }},
        {QStringLiteral("main-home-minimum"), [](QmlScene &scene) -> std::shared_ptr<void> {
             auto picture = std::make_shared<MainWindowPicture>();
             picture->build();
             picture->show(scene, minimumContentSize);
             return picture;
         }},
        {QStringLiteral("main-home-needs-you-minimum"), [](QmlScene &scene) -> std::shared_ptr<void> {
             auto picture = std::make_shared<MainWindowPicture>();
             picture->t->permissions.microphone = false;
             picture->t->permissions.accessibility = false;
             AppState &state = picture->build(false);
             AgentSettings settings = state.agentSettings();
             settings.writingProvider = AgentWritingProvider::Gemini;
             state.setAgentSettings(settings);
             picture->show(scene, minimumContentSize);
             return picture;
         }},
        {QStringLiteral("main-home-needs-you"), [](QmlScene &scene) -> std::shared_ptr<void> {
             auto picture = std::make_shared<MainWindowPicture>();
             picture->t->permissions.microphone = false;
             picture->t->permissions.accessibility = false;
             AppState &state = picture->build(false);
             AgentSettings settings = state.agentSettings();
             settings.writingProvider = AgentWritingProvider::Gemini;
             state.setAgentSettings(settings);
             picture->updates.setLabel(QStringLiteral("Downloading 42%"));
             picture->show(scene);
             return picture;
         }},
        {QStringLiteral("main-history-empty"), [](QmlScene &scene) -> std::shared_ptr<void> {
             auto picture = std::make_shared<MainWindowPicture>();
             picture->build().setSelectedSection(AppSection::History);
             picture->show(scene);
             return picture;
         }},
        {QStringLiteral("main-history"), [](QmlScene &scene) -> std::shared_ptr<void> {
             auto picture = std::make_shared<MainWindowPicture>();
             writeMixedHistory(*picture->t);
             picture->build().setSelectedSection(AppSection::History);
             picture->show(scene);
             return picture;
         }},
        {QStringLiteral("main-history-no-match"), [](QmlScene &scene) -> std::shared_ptr<void> {
             auto picture = std::make_shared<MainWindowPicture>();
             writeMixedHistory(*picture->t);
             picture->build().setSelectedSection(AppSection::History);
             picture->show(scene);
             if (QObject *history = QmlScene::findObject(scene.root(), QStringLiteral("historyView")))
                 history->setProperty("search", QStringLiteral("zebra crossing"));
             return picture;
         }},
        {QStringLiteral("main-vocabulary"), [](QmlScene &scene) -> std::shared_ptr<void> {
             auto picture = std::make_shared<MainWindowPicture>();
             AppState &state = picture->build();
             for (const char *term : {"Sorvane", "whisper.cpp", "Kubernetes", "Priya Raghunathan", "PostgreSQL",
                                      "K8s", "Zürich office", "OKRs"})
                 state.addVocabulary(QString::fromUtf8(term));
             state.setSelectedSection(AppSection::Settings);
             picture->show(scene);
             if (QObject *settings = QmlScene::findObject(scene.root(), QStringLiteral("settingsView")))
                 settings->property("screen").value<QObject *>()->setProperty("showsVocabulary", true);
             return picture;
         }},
        {QStringLiteral("main-first-run"), [](QmlScene &scene) -> std::shared_ptr<void> {
             auto picture = std::make_shared<MainWindowPicture>();
             picture->t->build();
             picture->show(scene);
             return picture;
         }},
        {QStringLiteral("main-move-prompt"), [](QmlScene &scene) -> std::shared_ptr<void> {
             auto picture = std::make_shared<MainWindowPicture>();
             picture->location.due = true;
             picture->build();
             picture->show(scene);
             return picture;
         }},
    };
}

} // namespace

SORVANE_SCREENSHOTS(mainWindowScenes);
