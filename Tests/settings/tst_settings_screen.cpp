#include "Kit/Fonts.h"
#include "QmlScene.h"
#include "SettingsScreens.h"
#include "State/APIKeyOperations.h"
#include "TestAppState.h"

#include <QPointer>
#include <QQuickItem>
#include <QSignalSpy>
#include <QTest>

using namespace sorvane;
using namespace sorvane::testing;
using sorvane::test::QmlScene;

namespace {

const QSize screenSize(908, 760);
const QString openAIService = QStringLiteral("com.sorvane.local.openai-api");
const QString openAIKey = QStringLiteral("sk-test-0123456789abcdef");

// The updater's switch as the Account area reads it; `refuses` keeps its value.
class FakeUpdater : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isConfigured READ isConfigured CONSTANT)
    Q_PROPERTY(bool automaticallyDownloadsUpdates READ automaticallyDownloadsUpdates WRITE setAutomaticallyDownloadsUpdates
                   NOTIFY automaticallyDownloadsUpdatesChanged)
public:
    bool configured = false;
    bool refuses = false;
    int writes = 0;
    bool isConfigured() const { return configured; }
    bool automaticallyDownloadsUpdates() const { return m_on; }
    void setAutomaticallyDownloadsUpdates(bool on)
    {
        ++writes;
        if (refuses || m_on == on)
            return;
        m_on = on;
        Q_EMIT automaticallyDownloadsUpdatesChanged();
    }
Q_SIGNALS:
    void automaticallyDownloadsUpdatesChanged();

private:
    bool m_on = false;
};

void settle(QmlScene &scene)
{
    QSignalSpy frame(scene.window(), &QQuickWindow::frameSwapped);
    scene.window()->update();
    frame.wait(5000);
}

QQuickItem *child(QQuickItem *under, const QString &name)
{
    return under ? qobject_cast<QQuickItem *>(QmlScene::findObject(under, name)) : nullptr;
}

// Scrolls the nearest list or scroll view so that the item is in sight, as a user
// would before clicking it (the Behaviour area is longer than the window).
void scrollIntoView(QmlScene &scene, QQuickItem *item)
{
    for (QQuickItem *view = item->parentItem(); view; view = view->parentItem()) {
        if (!view->inherits("QQuickFlickable"))
            continue;
        const QRectF inView = item->mapRectToItem(view, item->boundingRect());
        if (inView.top() >= 0 && inView.bottom() <= view->height())
            return;
        const qreal contentY = view->property("contentY").toReal();
        view->setProperty("contentY", std::max(0.0, contentY + inView.top() - 24));
        return;
    }
    Q_UNUSED(scene);
}

void click(QmlScene &scene, QQuickItem *item, bool twice = false)
{
    QVERIFY(item);
    scrollIntoView(scene, item);
    settle(scene);
    const QPoint at = item->mapToScene(item->boundingRect().center()).toPoint();
    QTest::mouseMove(scene.window(), at);
    if (twice)
        QTest::mouseDClick(scene.window(), Qt::LeftButton, {}, at);
    else
        QTest::mouseClick(scene.window(), Qt::LeftButton, {}, at);
}

void type(QmlScene &scene, QQuickItem *input, const QString &text)
{
    QVERIFY(input);
    input->forceActiveFocus();
    QTRY_VERIFY(input->hasActiveFocus());
    for (const QChar c : text) {
        if (c == QLatin1Char('\n'))
            QTest::keyClick(scene.window(), Qt::Key_Return);
        else
            QTest::keyClick(scene.window(), c.toLatin1());
    }
}

struct Screen {
    TestAppState t;
    FakeUpdater updater;
    std::unique_ptr<QmlScene> scene;

    AppState &build()
    {
        AppState &state = t.isBuilt() ? t.state() : t.build();
        state.setOnboardingComplete(true);
        return state;
    }
    bool show()
    {
        scene = std::make_unique<QmlScene>(&t.state());
        scene->setContextProperty("updater", &updater);
        return scene->load("import Sorvane\nSettingsView { updates: updater }", screenSize);
    }
    QQuickItem *row(const QString &name) const { return scene->find(QStringLiteral("keyRow_") + name); }
    QQuickItem *inRow(const QString &name, const QString &part) const { return child(row(name), part); }
    QString rowDetail(const QString &name) const
    {
        return child(inRow(name, QStringLiteral("keyRowHeader")), QStringLiteral("rowDetail"))->property("text").toString();
    }
};

} // namespace

// The settings screen as the user sees and works it.
class SettingsScreenTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QVERIFY(Fonts::load()); }

    void tabsShowOneAreaAtATimeMadeAfresh()
    {
        Screen s;
        s.build();
        QVERIFY2(s.show(), s.scene->errors());
        QmlScene &scene = *s.scene;
        QCOMPARE(scene.read("settingsTitle", "text").toString(), QStringLiteral("Settings"));
        QVERIFY(scene.find("shortcutsArea"));
        const QStringList tabs{QStringLiteral("Shortcuts"), QStringLiteral("Behaviour"), QStringLiteral("Account")};
        auto barsShown = [&] {
            QStringList shown;
            for (const QString &tab : tabs)
                if (scene.isShown(QStringLiteral("tabBar_") + tab))
                    shown << tab;
            return shown;
        };
        QCOMPARE(barsShown(), QStringList{QStringLiteral("Shortcuts")});
        // Left to right in their order.
        QVERIFY(scene.find("tab_Shortcuts")->x() < scene.find("tab_Behaviour")->x());
        QVERIFY(scene.find("tab_Behaviour")->x() < scene.find("tab_Account")->x());

        click(scene, scene.find("tab_Account"));
        QTRY_VERIFY(scene.find("accountArea"));
        QCOMPARE(s.t.state().selectedSettingsArea(), SettingsArea::Account);
        QVERIFY(!scene.find("shortcutsArea"));
        QCOMPARE(barsShown(), QStringList{QStringLiteral("Account")});
        QPointer<QQuickItem> account = scene.find("accountArea");

        // One login-item controller for the screen, handed to each Behaviour area made.
        QObject *loginItem = scene.read("settingsView", "loginItem").value<QObject *>();
        QVERIFY(loginItem);
        click(scene, scene.find("tab_Behaviour"));
        QTRY_VERIFY(scene.find("behaviourArea"));
        QTRY_VERIFY(!account);
        QCOMPARE(scene.read("behaviourArea", "loginItem").value<QObject *>(), loginItem);
        click(scene, scene.find("tab_Account"));
        QTRY_VERIFY(scene.find("accountArea"));
    }

    void aNewUserSavesAndRemovesAKey()
    {
        Screen s;
        AppState &state = s.build();
        QTRY_VERIFY(state.cloudKeysLoaded());
        state.setSelectedSettingsArea(SettingsArea::Account);
        QVERIFY2(s.show(), s.scene->errors());
        QmlScene &scene = *s.scene;
        const QString name = QStringLiteral("OpenAI");
        QCOMPARE(s.rowDetail(name), QStringLiteral("Required for OpenAI writing models"));
        QCOMPARE(child(s.inRow(name, "keyRowButton"), "title")->property("text").toString(), QStringLiteral("Add"));
        QVERIFY(!scene.isShown("keyField"));

        click(scene, s.inRow(name, "keyRowButton"));
        QTRY_VERIFY(child(s.inRow(name, "keyEntry"), "keyField")->isVisible());
        QCOMPARE(child(s.inRow(name, "keyRowButton"), "title")->property("text").toString(), QStringLiteral("Close"));
        QVERIFY(!s.inRow(name, "removeKey")->isVisible());
        QQuickItem *save = s.inRow(name, "saveKey");
        QVERIFY(!save->isEnabled());

        QQuickItem *input = child(s.inRow(name, "keyField"), "maskedInput");
        type(scene, input, QStringLiteral("   "));
        QVERIFY(!save->isEnabled());
        type(scene, input, openAIKey + "\n");
        QTRY_VERIFY(save->isEnabled());
        click(scene, save);
        QTRY_COMPARE(child(s.row(name), "keyMessage")->property("text").toString(),
                     QStringLiteral("Saved securely. %1 is now the active Command model.")
                         .arg(state.apiKeys().defaultModelName(AgentWritingProvider::OpenAI)));
        QCOMPARE(s.t.fakes.secretStore->items.value({openAIService, QStringLiteral("OPENAI_API_KEY")}), openAIKey.toUtf8());
        QCOMPARE(input->property("text").toString(), QString());
        QCOMPARE(s.rowDetail(name), QString::fromUtf8("Saved in the system keyring \u00b7 ready for Command"));
        QCOMPARE(child(s.inRow(name, "keyRowButton"), "title")->property("text").toString(), QStringLiteral("Close"));
        QTRY_VERIFY(s.inRow(name, "removeKey")->isVisible());
        QCOMPARE(child(s.inRow(name, "keyField"), "maskedPlaceholder")->property("text").toString(),
                 QStringLiteral("Paste a new key to replace the saved key"));

        click(scene, s.inRow(name, "removeKey"));
        auto *dialog = scene.findObject(scene.root(), QStringLiteral("removalDialog"));
        QTRY_VERIFY(dialog->property("opened").toBool());
        auto *dialogContent = dialog->property("contentItem").value<QQuickItem *>();
        QCOMPARE(child(dialogContent, "removalTitle")->property("text").toString(), QStringLiteral("Remove the OpenAI API key?"));
        click(scene, child(dialogContent, "confirmRemoval"));
        QTRY_VERIFY(!dialog->property("visible").toBool());
        QTRY_COMPARE(child(s.row(name), "keyMessage")->property("text").toString(), QStringLiteral("Removed from the system keyring."));
        QVERIFY(!s.t.fakes.secretStore->items.contains({openAIService, QStringLiteral("OPENAI_API_KEY")}));
        QTRY_VERIFY(!s.inRow(name, "removeKey")->isVisible());
        QCOMPARE(s.rowDetail(name), QStringLiteral("Required for OpenAI writing models"));

        click(scene, s.inRow(name, "keyRowButton"));
        QTRY_VERIFY(!child(s.inRow(name, "keyEntry"), "keyField")->isVisible());
        QCOMPARE(child(s.inRow(name, "keyRowButton"), "title")->property("text").toString(), QStringLiteral("Add"));
    }

    void aDoubleClickOnSaveWritesOnce()
    {
        Screen s;
        AppState &state = s.build();
        QTRY_VERIFY(state.cloudKeysLoaded());
        state.openAPIKeySettings(AgentWritingProvider::OpenAI);
        QVERIFY2(s.show(), s.scene->errors());
        QmlScene &scene = *s.scene;
        QTRY_VERIFY(child(s.inRow("OpenAI", "keyEntry"), "keyField")->isVisible());
        type(scene, child(s.inRow("OpenAI", "keyField"), "maskedInput"), openAIKey);
        s.t.holdKeyringWrites();
        QSignalSpy finished(&state.apiKeys(), &APIKeyOperations::finished);
        click(scene, s.inRow("OpenAI", "saveKey"), true);
        QTRY_VERIFY(state.apiKeys().isPending(AgentWritingProvider::OpenAI));
        QTRY_VERIFY(!s.inRow("OpenAI", "saveKey")->isEnabled());
        s.t.releaseKeyringWrites();
        QTRY_COMPARE(finished.size(), 1);
        QCOMPARE(s.t.log.count(QStringLiteral("keyring write ") + openAIService), 1);
    }

    void aLockedKeyringIsNotAMissingKey()
    {
        Screen s;
        s.t.lockKeyring();
        AppState &state = s.build();
        state.setSelectedSettingsArea(SettingsArea::Account);
        QVERIFY2(s.show(), s.scene->errors());
        for (const char *name : {"OpenAI", "Gemini", "Mistral"})
            QCOMPARE(s.rowDetail(name), QString::fromUtf8("Waiting for the system keyring\u2026"));
        s.t.unlockKeyring();
        QTRY_COMPARE(s.rowDetail("Gemini"), QStringLiteral("Required for Gemini writing models"));
    }

    void bannerShowsForKeysAndPermissionsOnly_data()
    {
        QTest::addColumn<int>("destination");
        QTest::addColumn<bool>("shown");
        QTest::newRow("key") << 0 << true;
        QTest::newRow("permissions") << 1 << true;
        QTest::newRow("writing models") << 2 << false;
    }
    void bannerShowsForKeysAndPermissionsOnly()
    {
        QFETCH(int, destination);
        QFETCH(bool, shown);
        Screen s;
        AppState &state = s.build();
        const ErrorResolutionDestination where = destination == 0   ? ErrorResolutionDestination::apiKeys(AgentWritingProvider::Mistral)
                                                 : destination == 1 ? ErrorResolutionDestination::permissions()
                                                                    : ErrorResolutionDestination::commandModels();
        state.setErrorResolution(ErrorResolution(QStringLiteral("Why it failed."), where));
        state.setSelectedSettingsArea(SettingsArea::Account);
        QVERIFY2(s.show(), s.scene->errors());
        QCOMPARE(s.scene->isShown("accountBanner"), shown);
        if (!shown)
            return;
        // A key banner opens its row.
        QCOMPARE(child(s.inRow("Mistral", "keyEntry"), "keyField")->isVisible(), destination == 0);
        QQuickItem *dismiss = child(s.scene->find("accountBanner"), "dismissButton");
        QVERIFY(dismiss);
        click(*s.scene, dismiss);
        QTRY_VERIFY(!state.errorResolution());
        QTRY_VERIFY(!s.scene->isShown("accountBanner"));
    }

    void permissionRowsAskForWhatIsMissing()
    {
        Screen s;
        s.t.permissions.microphone = false;
        s.t.permissions.grantOnRequest = true;
        AppState &state = s.build();
        state.setSelectedSettingsArea(SettingsArea::Account);
        QVERIFY2(s.show(), s.scene->errors());
        QmlScene &scene = *s.scene;
        QQuickItem *microphone = scene.find("permission_Microphone");
        QQuickItem *accessibility = scene.find("permission_Accessibility");
        QCOMPARE(child(microphone, "rowDetail")->property("text").toString(), QStringLiteral("Required for the full workflow"));
        QCOMPARE(child(accessibility, "rowDetail")->property("text").toString(), QStringLiteral("Granted"));
        QVERIFY(child(accessibility, "permissionReady"));
        click(scene, child(microphone, "permissionAllow"));
        QTRY_VERIFY(state.microphoneGranted());
        QTRY_VERIFY(child(microphone, "permissionReady"));
        QCOMPARE(child(microphone, "rowDetail")->property("text").toString(), QStringLiteral("Granted"));
    }

    void updatesSwitchFollowsTheUpdater_data()
    {
        QTest::addColumn<bool>("configured");
        QTest::addColumn<bool>("refuses");
        QTest::newRow("not configured") << false << false;
        QTest::newRow("configured") << true << false;
        QTest::newRow("configured, change refused") << true << true;
    }
    void updatesSwitchFollowsTheUpdater()
    {
        QFETCH(bool, configured);
        QFETCH(bool, refuses);
        Screen s;
        s.updater.configured = configured;
        s.updater.refuses = refuses;
        s.build().setSelectedSettingsArea(SettingsArea::Account);
        QVERIFY2(s.show(), s.scene->errors());
        QmlScene &scene = *s.scene;
        QQuickItem *row = scene.find("updatesRow");
        QCOMPARE(child(row, "rowDetail")->property("text").toString(),
                 configured ? QStringLiteral("Sorvane checks once a day and downloads verified updates")
                            : QStringLiteral("The update feed URL still needs to be added for the public release."));
        QQuickItem *toggle = scene.find("updatesSwitch");
        QCOMPARE(toggle->isEnabled(), configured);
        if (!configured)
            return;
        // Scroll it into view, then flip it.
        auto *scroller = scene.find("settingsScroller");
        scroller->setProperty("contentY", std::max(0.0, scroller->property("contentHeight").toReal() - scroller->height()));
        click(scene, toggle);
        QTRY_COMPARE(s.updater.writes, 1);
        QCOMPARE(toggle->property("checked").toBool(), !refuses);
    }

    void versionRowShowsVersionAndBuild()
    {
        Screen s;
        s.build().setSelectedSettingsArea(SettingsArea::Account);
        QVERIFY2(s.show(), s.scene->errors());
        const QString label = child(s.scene->find("versionRow"), "rowDetail")->property("text").toString();
        QCOMPARE(label, SettingsScreens::buildLabel());
        QVERIFY(label.startsWith(QStringLiteral("0.1.0")));
        QVERIFY(!child(s.scene->find("versionRow"), "rowTrailing")->isVisible());
    }

    void vocabularyReplacesTheSettingsAndReturns()
    {
        Screen s;
        s.build().setSelectedSettingsArea(SettingsArea::Behaviour);
        QVERIFY2(s.show(), s.scene->errors());
        QmlScene &scene = *s.scene;
        // The Behaviour area is taller than the window: the scroll bar shows.
        QTRY_VERIFY(scene.isShown("settingsScrollBar"));
        click(scene, scene.find("editVocabulary"));
        QTRY_VERIFY(scene.find("vocabularyView"));
        QVERIFY(!scene.isShown("settingsContent"));
        QQuickItem *back = scene.find("backButton");
        QTRY_VERIFY(back->width() > 0);
        click(scene, back);
        QTRY_VERIFY(scene.isShown("settingsContent"));
        QVERIFY(!scene.read("vocabularyLoader", "item").value<QObject *>());
    }
};

QTEST_MAIN(SettingsScreenTest)
#include "tst_settings_screen.moc"
