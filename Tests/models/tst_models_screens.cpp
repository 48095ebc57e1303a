// The Models screen, its picker sheets and the first-run set-up, offscreen over the real
// state with fake desktop services and a loopback model server.
#include "FakeShellControllers.h"
#include "Kit/Fonts.h"
#include "Kit/Palette.h"
#include "LoopbackHttpServer.h"
#include "QmlScene.h"
#include "TestAppState.h"

#include <QDir>
#include <QFile>
#include <QQmlComponent>
#include <QQuickItem>
#include <QSignalSpy>
#include <QTest>

using namespace sorvane;
using namespace sorvane::testing;
using sorvane::test::QmlScene;

namespace {

const QSize windowSize(1160, 700);

void settle(QmlScene &scene)
{
    QSignalSpy frame(scene.window(), &QQuickWindow::frameSwapped);
    scene.window()->update();
    frame.wait(5000);
}

void click(QmlScene &scene, QQuickItem *item)
{
    QVERIFY(item);
    settle(scene);
    const QPoint at = item->mapToScene(item->boundingRect().center()).toPoint();
    QTest::mouseMove(scene.window(), at);
    QTest::mouseClick(scene.window(), Qt::LeftButton, {}, at);
}

QQuickItem *under(QQuickItem *item, const QString &name)
{
    return item ? qobject_cast<QQuickItem *>(QmlScene::findObject(item, name)) : nullptr;
}

// The Popup's content (popups are not visual children of the scene's root).
QQuickItem *popupContent(QmlScene &scene, const QString &popupName)
{
    QObject *popup = QmlScene::findObject(scene.root(), popupName);
    return popup ? popup->property("contentItem").value<QQuickItem *>() : nullptr;
}

QByteArray slowBody() { return QByteArray(32 * 1024, 'm'); }

} // namespace

class ModelsScreensTest : public QObject {
    Q_OBJECT

    std::unique_ptr<LoopbackHttpServer> m_server;

    void serveCatalogue(TestAppState &t)
    {
        t.speechCatalog.clear();
        for (SpeechModel model : SpeechModel::catalog()) {
            model.url = m_server->url(QStringLiteral("/models/") + model.fileName);
            t.speechCatalog.append(model);
        }
    }
    void serveSlowly(const char *id)
    {
        LoopbackHttpServer::Response response;
        response.body = slowBody();
        response.chunkSize = 2048;
        response.chunkDelay = 60;
        m_server->route(QStringLiteral("/models/") + SpeechModel::find(QString::fromLatin1(id))->fileName, response);
    }
    AppState &settled(TestAppState &t)
    {
        serveCatalogue(t);
        t.placeSpeechModelFile(QStringLiteral("pocket"));
        AppState &state = t.build();
        state.setSelectedModelID(QStringLiteral("pocket"));
        state.setOnboardingComplete(true);
        return state;
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(Fonts::load()); }
    void init()
    {
        m_server = std::make_unique<LoopbackHttpServer>();
        QVERIFY(m_server->listen());
    }

    void modelsScreenShowsBothModels()
    {
        TestAppState t;
        AppState &state = settled(t);
        QmlScene scene(&state);
        QVERIFY2(scene.load("import Sorvane\nModelsView {}", windowSize), scene.errors());
        QQuickItem *speech = scene.find("speechBlock");
        QQuickItem *writing = scene.find("writingBlock");
        QCOMPARE(under(speech, "blockName")->property("text").toString(), QStringLiteral("Pocket"));
        QCOMPARE(under(speech, "blockFact")->property("text").toString(),
                 QStringLiteral("Whisper tiny.en Q5_1 · English · 31 MB on disk"));
        QCOMPARE(under(under(speech, "locationTag"), "markerText")->property("text").toString(),
                 QStringLiteral("ON THIS COMPUTER"));
        QCOMPARE(under(writing, "blockName")->property("text").toString(), QStringLiteral("On-Device"));
        QCOMPARE(under(writing, "blockFact")->property("text").toString(),
                 QStringLiteral("Built in · text only · no download"));

        // A cloud model: its tag says so.
        state.selectWritingModel(QStringLiteral("gemini-flash"));
        QTRY_COMPARE(under(under(writing, "locationTag"), "markerText")->property("text").toString(),
                     QStringLiteral("VIA API"));

        // No speech model at all.
        state.setSelectedModelID(QString());
        QTRY_COMPARE(under(speech, "blockName")->property("text").toString(), QStringLiteral("No model selected"));
        QCOMPARE(under(speech, "blockFact")->property("text").toString(),
                 QStringLiteral("Choose a speech model to start dictating"));
        QCOMPARE(under(under(speech, "speedMeter"), "ratingBar0")->property("fill").value<QColor>(),
                 under(under(speech, "speedMeter"), "ratingBar4")->property("fill").value<QColor>());
    }

    void theBannerShowsOnlyModelErrors()
    {
        TestAppState t;
        AppState &state = settled(t);
        QmlScene scene(&state);
        QVERIFY2(scene.load("import Sorvane\nModelsView {}", windowSize), scene.errors());
        state.setErrorResolution(ErrorResolution(QStringLiteral("Add a key."),
                                                 ErrorResolutionDestination::apiKeys(AgentWritingProvider::OpenAI)));
        QVERIFY(!scene.isShown("modelsBanner"));
        state.setErrorResolution(ErrorResolution(QStringLiteral("Download it."), ErrorResolutionDestination::commandModels()));
        QTRY_VERIFY(scene.isShown("modelsBanner"));
        QCOMPARE(scene.read("modelsBanner", "message").toString(), QStringLiteral("Download it."));
    }

    void getThenDoneStillSelectsTheModelUnlessUseCameBetween_data()
    {
        QTest::addColumn<bool>("useMeanwhile");
        QTest::newRow("sheet closed") << false;
        QTest::newRow("Use pressed meanwhile") << true;
    }
    void getThenDoneStillSelectsTheModelUnlessUseCameBetween()
    {
        QFETCH(bool, useMeanwhile);
        TestAppState t;
        t.placeSpeechModelFile(QStringLiteral("balanced"));
        AppState &state = settled(t);
        serveSlowly("studio");
        QmlScene scene(&state);
        QVERIFY2(scene.load("import Sorvane\nModelsView {}", windowSize), scene.errors());
        click(scene, under(scene.find("speechBlock"), "changeButton"));
        QTRY_VERIFY(popupContent(scene, "modelSheetPopup"));
        QQuickItem *sheet = nullptr;
        QTRY_VERIFY((sheet = under(popupContent(scene, "modelSheetPopup"), "speechModelSheet")));

        QQuickItem *studio = nullptr;
        QTRY_VERIFY((studio = under(sheet, "speechRow_studio")));
        QCOMPARE(under(studio, "rowAction")->property("title").toString(), QStringLiteral("Get"));
        click(scene, under(under(studio, "rowAction"), "actionButton"));
        QTRY_VERIFY(state.modelStore().activeDownloads().contains(QStringLiteral("studio")));
        QTRY_VERIFY(under(studio, "rowProgress")->isVisible());

        // The bar stays inside its slot.
        QQuickItem *slot = under(studio, "progressSlot");
        QQuickItem *bar = under(studio, "rowProgress");
        QVERIFY(slot->clip());
        QCOMPARE(slot->width(), under(studio, "controlSlot")->width());
        QVERIFY(bar->x() >= 0);
        QVERIFY(bar->x() + bar->width() <= slot->width());

        if (useMeanwhile) {
            QQuickItem *balanced = under(sheet, "speechRow_balanced");
            QCOMPARE(under(balanced, "rowAction")->property("title").toString(), QStringLiteral("Use"));
            click(scene, under(under(balanced, "rowAction"), "actionButton"));
            QTRY_COMPARE(state.selectedModelID(), QStringLiteral("balanced"));
        }
        click(scene, under(sheet, "doneButton"));
        QTRY_COMPARE(scene.read("modelsView", "sheet").toString(), QString());

        QTRY_VERIFY_WITH_TIMEOUT(state.modelStore().activeDownloads().isEmpty(), 30000);
        QVERIFY(state.modelStore().isPresent(*SpeechModel::find(QStringLiteral("studio"))));
        QCOMPARE(state.selectedModelID(), useMeanwhile ? QStringLiteral("balanced") : QStringLiteral("studio"));
    }

    void removalActsOnTheModelTheDialogWasOpenedFor()
    {
        TestAppState t;
        t.placeSpeechModelFile(QStringLiteral("swift"));
        AppState &state = settled(t);
        state.setSelectedModelID(QStringLiteral("swift"));
        QmlScene scene(&state);
        QVERIFY2(scene.load("import Sorvane\nSpeechModelSheet {}", QSize(900, 640)), scene.errors());
        QTRY_VERIFY(scene.find("speechRow_swift"));
        QCOMPARE(scene.find("speechRow_pocket")->property("menuTitle").toString(), QString()); // never removable
        QCOMPARE(scene.find("speechRow_swift")->property("menuTitle").toString(),
                 QStringLiteral("Remove downloaded model"));

        QVERIFY(QMetaObject::invokeMethod(scene.find("speechRow_swift"), "menuTriggered"));
        QObject *dialog = QmlScene::findObject(scene.root(), "removalDialog");
        QTRY_VERIFY(dialog->property("opened").toBool());
        QCOMPARE(dialog->property("title").toString(), QStringLiteral("Remove Swift?"));
        auto *content = dialog->property("contentItem").value<QQuickItem *>();
        click(scene, under(content, "confirmRemoval"));
        QTRY_VERIFY(!state.modelStore().isPresent(*SpeechModel::find(QStringLiteral("swift"))));
        QCOMPARE(state.selectedModelID(), QStringLiteral("pocket"));
        QTRY_VERIFY(!dialog->property("visible").toBool());
        QCOMPARE(dialog->property("title").toString(), QStringLiteral("Remove model?"));
        QCOMPARE(under(scene.find("speechRow_swift"), "rowAction")->property("title").toString(), QStringLiteral("Get"));
    }

    void aFailedDownloadShowsInTheFooter()
    {
        TestAppState t;
        AppState &state = settled(t);
        LoopbackHttpServer::Response gone;
        gone.status = 404;
        m_server->route(QStringLiteral("/models/") + SpeechModel::find(QStringLiteral("swift"))->fileName, gone);
        QmlScene scene(&state);
        QVERIFY2(scene.load("import Sorvane\nSpeechModelSheet {}", QSize(900, 640)), scene.errors());
        QCOMPARE(scene.read("sheetMessage", "text").toString(), QStringLiteral("Downloaded models can be removed here."));
        QTRY_VERIFY(scene.find("speechRow_swift"));
        click(scene, under(under(scene.find("speechRow_swift"), "rowAction"), "actionButton"));
        QTRY_VERIFY_WITH_TIMEOUT(scene.read("sheetMessage", "text").toString().contains("404"), 30000);
        QCOMPARE(scene.read("sheetMessage", "color").value<QColor>().rgb(), Palette::sorvaneError().rgb());
    }

    void writingSheetKeyLeadsToTheProvidersKey()
    {
        TestAppState t;
        AppState &state = settled(t);
        QmlScene scene(&state);
        QVERIFY2(scene.load("import Sorvane\nModelsView {}", windowSize), scene.errors());
        click(scene, under(scene.find("writingBlock"), "changeButton"));
        QQuickItem *sheet = nullptr;
        QTRY_VERIFY((sheet = under(popupContent(scene, "modelSheetPopup"), "writingModelSheet")));
        QTRY_VERIFY(under(sheet, "writingRow_apple-system"));
        QQuickItem *onDevice = under(sheet, "writingRow_apple-system");
        QCOMPARE(under(onDevice, "rowDetail")->property("text").toString(),
                 QStringLiteral("No on-device model on this computer"));
        QVERIFY(under(onDevice, "activeLabel")->isVisible());

        // "Use" on a cloud model would need a key: "Key" closes the sheet and opens it.
        QQuickItem *list = under(sheet, "sheetRows");
        auto *rows = qobject_cast<QAbstractItemModel *>(QmlScene::findObject(sheet, "writingRows"));
        QVERIFY(rows);
        int lunaIndex = -1;
        for (int i = 0; i < rows->rowCount(); ++i)
            if (rows->data(rows->index(i, 0), rows->roleNames().key("modelId")).toString() == "openai-luna")
                lunaIndex = i;
        QVERIFY(lunaIndex > 0);
        QMetaObject::invokeMethod(list, "positionViewAtIndex", Q_ARG(int, lunaIndex), Q_ARG(int, 3 /* Contain */));
        QQuickItem *luna = nullptr;
        QTRY_VERIFY((luna = under(sheet, "writingRow_openai-luna")));
        QVERIFY(luna);
        QCOMPARE(under(luna, "rowAction")->property("title").toString(), QStringLiteral("Key"));
        click(scene, under(under(luna, "rowAction"), "actionButton"));
        QTRY_COMPARE(scene.read("modelsView", "sheet").toString(), QString());
        QCOMPARE(state.selectedSection(), AppSection::Settings);
        QCOMPARE(state.selectedSettingsArea(), SettingsArea::Account);
        QCOMPARE(state.selectedAPIKeyProvider(), AgentWritingProvider::OpenAI);
    }

    void aDownloadedWritingModelIsRemovedFromItsMenuAtOnce()
    {
        TestAppState t;
        AppState &state = settled(t);
        const AgentModelDescriptor qwen = *state.agentModelStore().descriptor(QStringLiteral("qwen3-4b-q4"));
        const QDir folder(state.agentModelStore().modelFolder(qwen));
        QVERIFY(folder.mkpath(QStringLiteral(".")));
        for (const AgentModelArtifact &artifact : qwen.artifacts) {
            QFile part(folder.filePath(artifact.fileName));
            QVERIFY(part.open(QIODevice::WriteOnly));
        }
        state.selectWritingModel(qwen.id);
        QmlScene scene(&state);
        QVERIFY2(scene.load("import Sorvane\nWritingModelSheet {}", QSize(900, 640)), scene.errors());
        QQuickItem *row = nullptr;
        QTRY_VERIFY((row = scene.find("writingRow_qwen3-4b-q4")));
        QVERIFY(under(row, "activeLabel")->isVisible());
        QCOMPARE(row->property("menuTitle").toString(), QStringLiteral("Remove downloaded model"));
        QCOMPARE(scene.find("writingRow_apple-system")->property("menuTitle").toString(), QString()); // nothing to remove

        QVERIFY(QMetaObject::invokeMethod(row, "menuTriggered"));
        QVERIFY(!state.agentModelStore().isAvailable(qwen));
        // It was the Command model: the on-device model takes its place.
        QTRY_VERIFY(under(scene.find("writingRow_apple-system"), "activeLabel")->isVisible());
        QTRY_COMPARE(under(scene.find("writingRow_qwen3-4b-q4"), "rowAction")->property("title").toString(),
                     QStringLiteral("Get"));
        QCOMPARE(state.selectedAgentModel()->id, QStringLiteral("apple-system"));
    }

    void changeOpensTheWritingSheetAndDoneClosesIt()
    {
        TestAppState t;
        AppState &state = settled(t);
        QmlScene scene(&state);
        QVERIFY2(scene.load("import Sorvane\nModelsView {}", windowSize), scene.errors());
        QCOMPARE(scene.read("modelsView", "sheet").toString(), QString());
        click(scene, under(scene.find("writingBlock"), "changeButton"));
        QTRY_COMPARE(scene.read("modelsView", "sheet").toString(), QStringLiteral("writing"));
        QQuickItem *sheet = nullptr;
        QTRY_VERIFY((sheet = under(popupContent(scene, "modelSheetPopup"), "writingModelSheet")));
        click(scene, under(sheet, "doneButton"));
        QTRY_COMPARE(scene.read("modelsView", "sheet").toString(), QString());
        QTRY_VERIFY(!QmlScene::findObject(scene.root(), "modelSheetPopup")->property("visible").toBool());
    }

    void onboardingWalksToItsEnd()
    {
        TestAppState t;
        serveCatalogue(t);
        serveSlowly("velocity");
        t.placeSpeechModelFile(QStringLiteral("pocket"));
        t.permissions.microphone = false;
        t.permissions.accessibility = false;
        t.permissions.grantOnRequest = true;
        AppState &state = t.build();
        state.setSelectedModelID(QStringLiteral("pocket"));
        QmlScene scene(&state);
        QVERIFY2(scene.load("import Sorvane\nOnboardingView {}", windowSize), scene.errors());

        // Welcome: no Back, four dots, the shortcut as set now.
        QVERIFY(!scene.isShown("backButton"));
        QCOMPARE(scene.read("primaryButton", "title").toString(), QStringLiteral("Continue"));
        QVERIFY(scene.read("toggleShortcutLabel", "text").toString().endsWith(" · Toggle"));
        state.setToggleShortcut(shortcut(49, QStringLiteral("Space"), false, true, true));
        QTRY_COMPARE(scene.read("toggleShortcutLabel", "text").toString(), QStringLiteral("Ctrl+Shift+Space · Toggle"));

        click(scene, scene.find("primaryButton"));
        QTRY_VERIFY(scene.find("microphonePage"));
        QVERIFY(scene.isShown("backButton"));
        QCOMPARE(under(scene.find("microphonePage"), "permissionButton")->property("title").toString(),
                 QStringLiteral("Allow microphone"));
        click(scene, under(scene.find("microphonePage"), "permissionButton"));
        QTRY_COMPARE(under(scene.find("microphonePage"), "permissionButton")->property("title").toString(),
                     QStringLiteral("Microphone ready"));
        QVERIFY(under(scene.find("microphonePage"), "permissionButton")->property("disabled").toBool());

        click(scene, scene.find("primaryButton"));
        QTRY_VERIFY(scene.find("accessibilityPage"));
        QCOMPARE(scene.find("dot2")->width(), 24.0);
        QVERIFY(scene.read("dot2", "filled").toBool());
        QVERIFY(!scene.read("dot3", "filled").toBool());
        click(scene, under(scene.find("accessibilityPage"), "permissionButton"));
        QTRY_VERIFY(state.accessibilityGranted());

        click(scene, scene.find("primaryButton"));
        QTRY_VERIFY(scene.find("onboardingModelsPage"));
        QCOMPARE(scene.read("primaryButton", "title").toString(), QStringLiteral("Finish setup"));
        QVERIFY(scene.read("onboardingRow_pocket", "chosen").toBool());
        QCOMPARE(scene.read("onboardingStatus", "kind").toString(), QStringLiteral("default"));

        // A model not on this computer: its download starts, the line says so.
        click(scene, scene.find("onboardingRow_velocity"));
        QTRY_COMPARE(scene.read("onboardingStatus", "kind").toString(), QStringLiteral("downloading"));
        QVERIFY(scene.read("onboardingStatus", "text").toString().startsWith("Velocity is downloading · "));
        QVERIFY(scene.read("onboardingStatus", "text").toString().endsWith("Pocket stays active until it is ready."));
        QVERIFY(under(scene.find("onboardingRow_velocity"), "rowProgress")->isVisible());

        // Back and forth keeps the choice; Finish hands it over and the download goes on.
        click(scene, scene.find("backButton"));
        QTRY_VERIFY(scene.find("accessibilityPage"));
        click(scene, scene.find("primaryButton"));
        QTRY_VERIFY(scene.find("onboardingModelsPage"));
        QVERIFY(scene.read("onboardingRow_velocity", "chosen").toBool());
        click(scene, scene.find("primaryButton"));
        QTRY_VERIFY(state.onboardingComplete());
        QCOMPARE(state.selectedModelID(), QStringLiteral("pocket"));
        QTRY_COMPARE_WITH_TIMEOUT(state.selectedModelID(), QStringLiteral("velocity"), 30000);
    }

    void theSheetsFitTheSmallestWindow()
    {
        TestAppState t;
        AppState &state = settled(t);
        QmlScene scene(&state);
        // The main window's own minimum size.
        QQmlComponent windowComponent(&scene.engine(), QUrl(QStringLiteral("qrc:/qt/qml/Sorvane/Shell/MainWindow.qml")));
        std::unique_ptr<QObject> window(windowComponent.create());
        QVERIFY2(window, qPrintable(windowComponent.errorString()));
        const QSize minimum(window->property("minimumWidth").toInt(), window->property("minimumHeight").toInt());
        window.reset();

        FakeApplicationLocation location;
        FakeUpdates updater;
        scene.setContextProperty("location", &location);
        scene.setContextProperty("updater", &updater);
        state.setSelectedSection(AppSection::Models);
        QVERIFY2(scene.load("import Sorvane\nRootView { applicationLocation: location; updates: updater }", minimum),
                 scene.errors());
        for (const char *sheet : {"speech", "writing"}) {
            QObject *models = nullptr;
            QTRY_VERIFY((models = QmlScene::findObject(scene.root(), "modelsView")));
            models->setProperty("sheet", QString::fromLatin1(sheet));
            QQuickItem *content = nullptr;
            QTRY_VERIFY((content = popupContent(scene, "modelSheetPopup")) && content->height() > 0);
            QQuickItem *frame = under(content, QString::fromLatin1(sheet) + QStringLiteral("ModelSheet"));
            QVERIFY(frame);
            settle(scene);
            const QRectF placed = frame->mapRectToScene(frame->boundingRect());
            QCOMPARE(placed.size(), QSizeF(900, 640));
            QVERIFY2(placed.top() >= 0 && placed.bottom() <= minimum.height() && placed.left() >= 0
                         && placed.right() <= minimum.width(),
                     qPrintable(QStringLiteral("%1 x %2 at %3, %4").arg(placed.width()).arg(placed.height())
                                    .arg(placed.x()).arg(placed.y())));
            models->setProperty("sheet", QString());
        }
    }

    void theMicrophonePageTurnsReadyWhenADeviceAppears()
    {
        TestAppState t;
        AppState &state = settled(t);
        state.setOnboardingComplete(false);
        t.fakes.audioInput->deviceExists = false;
        t.permissions.microphone = false;
        state.refreshPermissions();
        QmlScene scene(&state);
        QVERIFY2(scene.load("import Sorvane\nOnboardingView { step: 1 }", windowSize), scene.errors());
        QQuickItem *button = nullptr;
        QTRY_VERIFY((button = under(scene.find("microphonePage"), "permissionButton")));
        QCOMPARE(button->property("title").toString(), QStringLiteral("Allow microphone"));

        // A headset plugged in while the page shows.
        t.permissions.microphone = true;
        Q_EMIT t.fakes.audioInput->inputDevicesChanged();
        QTRY_COMPARE(button->property("title").toString(), QStringLiteral("Microphone ready"));
        QVERIFY(state.microphoneGranted());
    }

    void movePromptSaysWhereTheProgramRuns()
    {
        TestAppState t;
        AppState &state = settled(t);
        FakeApplicationLocation location;
        location.sentence = QStringLiteral("Sorvane is currently running from a removable drive.");
        QmlScene scene(&state);
        scene.setContextProperty("fakeLocation", &location);
        QVERIFY2(scene.load("import Sorvane\nMoveToApplicationsView { location: fakeLocation }"), scene.errors());
        QVERIFY(scene.read("moveExplanation", "text").toString().startsWith(location.sentence + "\n"));
        click(scene, scene.find("openApplicationsButton"));
        QTRY_COMPARE(location.folderOpens, 1);
    }
};

QTEST_MAIN(ModelsScreensTest)
#include "tst_models_screens.moc"
