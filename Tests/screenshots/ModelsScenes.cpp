// The Models screen, its two picker sheets in each row state, the removal dialog, every
// page of the first-run set-up and the move prompt's removable-drive sentence, over the
// real application state with fake desktop services and a loopback model server.
#include "FakeShellControllers.h"
#include "LoopbackHttpServer.h"
#include "ScreenshotScenes.h"
#include "TestAppState.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QTemporaryDir>

using namespace sorvane;
using namespace sorvane::test;
using namespace sorvane::testing;

namespace {

// The window at its default size, less its menu bar.
const QSize windowSize(1160, 700 - 30);

// Everything a picture keeps alive: the state, its folders and the model server.
struct ModelsPicture {
    QTemporaryDir home;
    LoopbackHttpServer server;
    std::unique_ptr<TestAppState> t;
    FakeApplicationLocation location;
    FakeUpdates updates;

    ModelsPicture()
    {
        qputenv("XDG_DATA_HOME", home.filePath("data").toUtf8());
        qputenv("XDG_CONFIG_HOME", home.filePath("config").toUtf8());
        server.listen();
        t = std::make_unique<TestAppState>();
        t->speechCatalog.clear();
        for (SpeechModel model : SpeechModel::catalog()) {
            model.url = server.url(QStringLiteral("/models/") + model.fileName);
            t->speechCatalog.append(model);
        }
    }

    // A download that stops at `fraction` of its bytes and stays there.
    void serveStalled(const QString &path, double fraction)
    {
        LoopbackHttpServer::Response response;
        response.body = QByteArray(100 * 1024, 'm');
        response.chunkSize = 1024;
        response.stallAfter = qint64(fraction * response.body.size());
        server.route(path, response);
    }

    AppState &build(const QStringList &present = {QStringLiteral("pocket")}, bool complete = true)
    {
        for (const QString &id : present)
            t->placeSpeechModelFile(id);
        AppState &state = t->build();
        state.setSelectedModelID(QStringLiteral("pocket"));
        state.setOnboardingComplete(complete);
        state.setSelectedSection(AppSection::Models);
        return state;
    }

    void waitForProgress(ModelDownloadStore &store, const QString &id, double atLeast)
    {
        QSignalSpy progress(&store, &ModelDownloadStore::progressChanged);
        for (int i = 0; i < 200 && store.progress().value(id, 0) < atLeast; ++i)
            progress.wait(100);
    }

    void showRoot(QmlScene &scene)
    {
        scene.setContextProperty(QStringLiteral("appState"), &t->state());
        scene.setContextProperty(QStringLiteral("fakeLocation"), &location);
        scene.setContextProperty(QStringLiteral("updater"), &updates);
        scene.load("import Sorvane\nRootView { applicationLocation: fakeLocation; updates: updater }", windowSize);
    }

    QObject *find(QmlScene &scene, const char *name) { return QmlScene::findObject(scene.root(), QString::fromLatin1(name)); }

    // The Models screen with a sheet open.
    void openSheet(QmlScene &scene, const char *sheet)
    {
        showRoot(scene);
        if (QObject *models = find(scene, "modelsView"))
            models->setProperty("sheet", QString::fromLatin1(sheet));
    }

    void settle(QmlScene &scene)
    {
        QSignalSpy frame(scene.window(), &QQuickWindow::frameSwapped);
        scene.window()->update();
        frame.wait(2000);
    }
};

// A local writing model of the test's own, served from the loopback server.
void writeCustomWritingModel(ModelsPicture &picture)
{
    const QByteArray body(100 * 1024, 'w');
    LoopbackHttpServer::Response response;
    response.body = body;
    response.chunkSize = 1024;
    response.stallAfter = 63 * 1024;
    picture.server.route(QStringLiteral("/w/model.gguf"), response);
    AgentModelDescriptor model;
    model.id = QStringLiteral("my-writer");
    model.name = QStringLiteral("House Style Writer");
    model.officialName = QStringLiteral("HouseStyle 7B Q4_K_M");
    model.organization = QStringLiteral("Your team");
    model.detail = QStringLiteral("Fine-tuned on the team's style guide.");
    model.sizeLabel = QStringLiteral("4.4 GB");
    model.license = QStringLiteral("Apache-2.0");
    model.sourceRevision = QString(40, QLatin1Char('a'));
    model.provider = AgentModelProvider::LlamaCPP;
    model.isCustom = true;
    model.artifacts = {{QStringLiteral("model.gguf"), picture.server.url(QStringLiteral("/w/model.gguf")), body.size(),
                        QString::fromLatin1(QCryptographicHash::hash(body, QCryptographicHash::Sha256).toHex()),
                        AgentModelArtifact::Role::Model}};
    QFile file(picture.t->folder.filePath(QStringLiteral("custom-agent-models.json")));
    if (file.open(QIODevice::WriteOnly))
        file.write(QJsonDocument(QJsonArray{model.toJson()}).toJson());
}

void placeWritingModel(AppState &state, const QString &id)
{
    const auto model = state.agentModelStore().descriptor(id);
    if (!model)
        return;
    QDir folder(state.agentModelStore().modelFolder(*model));
    folder.mkpath(QStringLiteral("."));
    for (const AgentModelArtifact &artifact : model->artifacts) {
        QFile part(folder.filePath(artifact.fileName));
        part.open(QIODevice::WriteOnly);
    }
    state.agentModelStore().recheck();
}

using Picture = std::shared_ptr<ModelsPicture>;

ScreenshotScene scene(const char *name, std::function<void(ModelsPicture &, QmlScene &)> build)
{
    return {QString::fromLatin1(name), [build](QmlScene &qml) -> std::shared_ptr<void> {
                auto picture = std::make_shared<ModelsPicture>();
                build(*picture, qml);
                return picture;
            }};
}

QList<ScreenshotScene> modelsScenes()
{
    return {
        scene("models-screen", [](ModelsPicture &p, QmlScene &qml) {
            p.build();
            p.showRoot(qml);
        }),
        scene("models-screen-cloud-and-missing", [](ModelsPicture &p, QmlScene &qml) {
            AppState &state = p.build({});
            state.setSelectedModelID(QStringLiteral("studio"));
            state.selectWritingModel(QStringLiteral("gemini-flash"));
            state.setErrorResolution(ErrorResolution(QStringLiteral("Download the selected speech model first."),
                                                     ErrorResolutionDestination::dictationModels()));
            p.showRoot(qml);
        }),
        scene("models-screen-nothing-selected", [](ModelsPicture &p, QmlScene &qml) {
            AppState &state = p.build({});
            state.setSelectedModelID(QString());
            AgentSettings settings = state.agentSettings();
            settings.selectedModelID = QStringLiteral("gone-model");
            state.setAgentSettings(settings);
            p.showRoot(qml);
        }),
        scene("models-speech-sheet", [](ModelsPicture &p, QmlScene &qml) {
            AppState &state = p.build({QStringLiteral("pocket"), QStringLiteral("balanced")});
            p.serveStalled(QStringLiteral("/models/") + SpeechModel::find(QStringLiteral("studio"))->fileName, 0.42);
            state.downloadSpeechModelThenSelect(QStringLiteral("studio"));
            p.waitForProgress(state.modelStore(), QStringLiteral("studio"), 0.4);
            p.openSheet(qml, "speech");
        }),
        scene("models-speech-sheet-selected-missing", [](ModelsPicture &p, QmlScene &qml) {
            AppState &state = p.build({QStringLiteral("pocket")});
            state.setSelectedModelID(QStringLiteral("swift"));
            p.openSheet(qml, "speech");
            if (QObject *sheet = p.find(qml, "speechModelSheet"))
                sheet->setProperty("errorMessage", QStringLiteral("The server answered the download with HTTP status "
                                                                  "404. Check the connection and press Get again."));
        }),
        scene("models-speech-removal", [](ModelsPicture &p, QmlScene &qml) {
            p.build({QStringLiteral("pocket"), QStringLiteral("velocity")});
            p.openSheet(qml, "speech");
            p.settle(qml);
            if (QObject *sheet = p.find(qml, "speechModelSheet"))
                QMetaObject::invokeMethod(sheet, "askToRemove", Q_ARG(QVariant, QStringLiteral("velocity")),
                                          Q_ARG(QVariant, QStringLiteral("Velocity")));
        }),
        scene("models-writing-sheet", [](ModelsPicture &p, QmlScene &qml) {
            writeCustomWritingModel(p);
            AppState &state = p.build();
            placeWritingModel(state, QStringLiteral("qwen3-4b-q4"));
            state.downloadWritingModelThenSelect(QStringLiteral("my-writer"));
            p.waitForProgress(state.agentModelStore(), QStringLiteral("my-writer"), 0.5);
            p.openSheet(qml, "writing");
        }),
        scene("models-writing-sheet-cloud", [](ModelsPicture &p, QmlScene &qml) {
            writeCustomWritingModel(p);
            AppState &state = p.build();
            placeWritingModel(state, QStringLiteral("qwen3-4b-q4"));
            state.downloadWritingModelThenSelect(QStringLiteral("my-writer"));
            p.waitForProgress(state.agentModelStore(), QStringLiteral("my-writer"), 0.5);
            state.selectWritingModel(QStringLiteral("mistral-small"));
            p.openSheet(qml, "writing");
            p.settle(qml);
            if (QObject *list = p.find(qml, "sheetRows"))
                QMetaObject::invokeMethod(list, "positionViewAtEnd");
        }),
        scene("models-writing-sheet-local-download", [](ModelsPicture &p, QmlScene &qml) {
            writeCustomWritingModel(p);
            AppState &state = p.build();
            placeWritingModel(state, QStringLiteral("gemma4-e2b-q4"));
            state.downloadWritingModelThenSelect(QStringLiteral("my-writer"));
            p.waitForProgress(state.agentModelStore(), QStringLiteral("my-writer"), 0.5);
            p.openSheet(qml, "writing");
            p.settle(qml);
            // The local section's end: the custom model's download.
            if (QObject *list = p.find(qml, "sheetRows"))
                QMetaObject::invokeMethod(list, "positionViewAtIndex", Q_ARG(int, 9), Q_ARG(int, 2 /* End */));
        }),
        scene("onboarding-welcome", [](ModelsPicture &p, QmlScene &qml) {
            p.build({QStringLiteral("pocket")}, false);
            p.showRoot(qml);
        }),
        scene("onboarding-microphone", [](ModelsPicture &p, QmlScene &qml) {
            p.t->permissions.microphone = false;
            p.build({QStringLiteral("pocket")}, false);
            p.showRoot(qml);
            if (QObject *view = p.find(qml, "onboardingView"))
                view->setProperty("step", 1);
        }),
        scene("onboarding-microphone-ready", [](ModelsPicture &p, QmlScene &qml) {
            p.build({QStringLiteral("pocket")}, false);
            p.showRoot(qml);
            if (QObject *view = p.find(qml, "onboardingView"))
                view->setProperty("step", 1);
        }),
        scene("onboarding-accessibility", [](ModelsPicture &p, QmlScene &qml) {
            p.t->permissions.accessibility = false;
            p.build({QStringLiteral("pocket")}, false);
            p.showRoot(qml);
            if (QObject *view = p.find(qml, "onboardingView"))
                view->setProperty("step", 2);
        }),
        scene("onboarding-models", [](ModelsPicture &p, QmlScene &qml) {
            p.build({QStringLiteral("pocket"), QStringLiteral("swift")}, false);
            p.showRoot(qml);
            if (QObject *view = p.find(qml, "onboardingView"))
                view->setProperty("step", 3);
        }),
        scene("onboarding-models-downloading", [](ModelsPicture &p, QmlScene &qml) {
            AppState &state = p.build({QStringLiteral("pocket")}, false);
            p.serveStalled(QStringLiteral("/models/") + SpeechModel::find(QStringLiteral("velocity"))->fileName, 0.29);
            state.prepareSpeechModelForOnboarding(QStringLiteral("velocity"));
            p.waitForProgress(state.modelStore(), QStringLiteral("velocity"), 0.28);
            p.showRoot(qml);
            if (QObject *view = p.find(qml, "onboardingView")) {
                view->setProperty("step", 3);
                view->setProperty("chosenModelID", QStringLiteral("velocity"));
            }
        }),
        scene("onboarding-models-error", [](ModelsPicture &p, QmlScene &qml) {
            AppState &state = p.build({QStringLiteral("pocket")}, false);
            LoopbackHttpServer::Response portal;
            portal.body = "<!DOCTYPE html><html><body>Sign in</body></html>";
            p.server.route(QStringLiteral("/models/") + SpeechModel::find(QStringLiteral("studio"))->fileName, portal);
            QSignalSpy error(&state, &AppState::preferredSpeechModelDownloadErrorChanged);
            state.prepareSpeechModelForOnboarding(QStringLiteral("studio"));
            for (int i = 0; i < 100 && state.property("preferredSpeechModelDownloadError").isNull(); ++i)
                error.wait(100);
            p.showRoot(qml);
            if (QObject *view = p.find(qml, "onboardingView")) {
                view->setProperty("step", 3);
                view->setProperty("chosenModelID", QStringLiteral("studio"));
            }
        }),
        scene("move-prompt-removable-drive", [](ModelsPicture &p, QmlScene &qml) {
            p.location.due = true;
            p.location.sentence = QStringLiteral("Sorvane is currently running from a removable drive.");
            p.build();
            p.showRoot(qml);
        }),
    };
}

} // namespace

SORVANE_SCREENSHOTS(modelsScenes);
