#include "Kit/Fonts.h"
#include "FakeShellControllers.h"
#include "QmlScene.h"
#include "HistoryFixtures.h"
#include "AwaitTask.h"
#include "TestAppState.h"

#include <QPointer>
#include <QQuickItem>
#include <QSignalSpy>
#include <QTest>

using namespace sorvane;
using namespace sorvane::testing;
using sorvane::test::QmlScene;

namespace {

const QSize defaultSize(1160, 700);
const QSize minimumSize(1060, 660);

// Lets the window lay out and draw what changed, so a click lands where the item is now.
void settle(QmlScene &scene)
{
    QSignalSpy frame(scene.window(), &QQuickWindow::frameSwapped);
    scene.window()->update();
    frame.wait(5000);
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

void click(QmlScene &scene, QQuickItem *item)
{
    QVERIFY(item);
    scrollIntoView(scene, item);
    settle(scene);
    const QPoint at = item->mapToScene(item->boundingRect().center()).toPoint();
    QTest::mouseMove(scene.window(), at);
    QTest::mouseClick(scene.window(), Qt::LeftButton, {}, at);
}

void doubleClick(QmlScene &scene, QQuickItem *item, QPointF at = {})
{
    QVERIFY(item);
    settle(scene);
    const QPoint point = item->mapToScene(at.isNull() ? item->boundingRect().center() : at).toPoint();
    QTest::mouseDClick(scene.window(), Qt::LeftButton, {}, point);
}

QQuickItem *child(QQuickItem *under, const QString &name)
{
    return qobject_cast<QQuickItem *>(QmlScene::findObject(under, name));
}

QByteArray rootScene()
{
    return "import Sorvane\nRootView { applicationLocation: location; updates: updater }";
}

// A settled state: everything granted, the default speech model present, set up.
AppState &settled(TestAppState &t)
{
    t.placeSpeechModelFile(QStringLiteral("pocket"));
    AppState &state = t.isBuilt() ? t.state() : t.build();
    state.setSelectedModelID(QStringLiteral("pocket"));
    state.setOnboardingComplete(true);
    return state;
}

} // namespace

class MainWindowScreensTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QVERIFY(Fonts::load()); }

    void rootShowsTheSetUpUntilItIsComplete()
    {
        TestAppState t;
        t.placeSpeechModelFile(QStringLiteral("pocket"));
        t.build().setOnboardingComplete(false);
        FakeApplicationLocation location;
        FakeUpdates updater;
        QmlScene scene(&t.state());
        scene.setContextProperty("location", &location);
        scene.setContextProperty("updater", &updater);
        QVERIFY2(scene.load(rootScene(), defaultSize), scene.errors());
        QVERIFY(scene.find("onboardingView"));
        QVERIFY(!scene.find("sidebar"));

        // Walked to its end, it gives way to the shell.
        for (int step = 0; step < 3; ++step)
            click(scene, scene.find("primaryButton"));
        QTRY_VERIFY(scene.find("onboardingModelsPage"));
        click(scene, scene.find("primaryButton"));
        QTRY_VERIFY(scene.find("sidebar"));
        QVERIFY(t.state().onboardingComplete());
        QVERIFY(!scene.find("onboardingView"));
        QCOMPARE(scene.root()->property("color").value<QColor>(), QColor::fromRgbF(0.984f, 0.98f, 0.961f));
    }

    void rootRefreshesTheLocationEachTimeItIsShown()
    {
        TestAppState t;
        settled(t);
        FakeApplicationLocation location;
        location.due = true;
        FakeUpdates updater;
        QmlScene scene(&t.state());
        scene.setContextProperty("location", &location);
        scene.setContextProperty("updater", &updater);
        QVERIFY2(scene.load(rootScene(), defaultSize), scene.errors());
        QTRY_VERIFY(location.refreshes >= 1);
        QObject *prompt = scene.findObject(scene.root(), "movePrompt");
        QVERIFY(prompt);
        QTRY_VERIFY(prompt->property("opened").toBool());
        QVERIFY(scene.find("sidebar")); // the sheet lies over the shell

        // "Not Now" closes it; the next showing asks again.
        auto *notNow = qobject_cast<QQuickItem *>(QmlScene::findObject(prompt->property("contentItem").value<QObject *>(), "notNowButton"));
        click(scene, notNow);
        QTRY_VERIFY(!prompt->property("visible").toBool());
        QVERIFY(!location.shouldShowPrompt());

        const int before = location.refreshes;
        scene.window()->hide();
        QTRY_VERIFY(!scene.root()->property("screen").value<QObject *>());
        scene.window()->show();
        QTRY_COMPARE(location.refreshes, before + 1);
        QTRY_VERIFY(prompt->property("opened").toBool());
    }

    void movePromptButtonsShareOneLine()
    {
        TestAppState t;
        settled(t);
        FakeApplicationLocation location;
        location.due = true;
        FakeUpdates updater;
        QmlScene scene(&t.state());
        scene.setContextProperty("location", &location);
        scene.setContextProperty("updater", &updater);
        QVERIFY2(scene.load(rootScene(), defaultSize), scene.errors());
        QObject *prompt = scene.findObject(scene.root(), "movePrompt");
        QVERIFY(prompt);
        QTRY_VERIFY(prompt->property("opened").toBool());
        QObject *sheet = prompt->property("contentItem").value<QObject *>();
        auto centre = [&](const char *name) {
            auto *item = qobject_cast<QQuickItem *>(QmlScene::findObject(sheet, name));
            return item ? item->mapToScene(item->boundingRect().center()).y() : -1.0;
        };
        const qreal primary = centre("revealButton");
        QVERIFY(primary > 0);
        QCOMPARE(centre("notNowButton"), primary);
        QCOMPARE(centre("openApplicationsButton"), primary);
    }

    void hidingTheWindowDropsTheScreensViewState()
    {
        TestAppState t;
        settled(t);
        t.state().setSelectedSection(AppSection::History);
        FakeApplicationLocation location;
        FakeUpdates updater;
        QmlScene scene(&t.state());
        scene.setContextProperty("location", &location);
        scene.setContextProperty("updater", &updater);
        QVERIFY2(scene.load(rootScene(), defaultSize), scene.errors());
        QQuickItem *history = scene.find("historyView");
        QVERIFY(history);
        history->setProperty("search", "something");
        scene.window()->hide();
        QTRY_VERIFY(!scene.find("historyView"));
        scene.window()->show();
        QTRY_VERIFY(scene.find("historyView"));
        QCOMPARE(scene.read("historyView", "search").toString(), QString());
    }

    void shellSwitchesSections_data()
    {
        QTest::addColumn<QString>("row");
        QTest::addColumn<int>("section");
        QTest::addColumn<QString>("screen");
        QTest::newRow("History") << "sectionRow_History" << int(AppSection::History) << "historyView";
        QTest::newRow("Models") << "sectionRow_Models" << int(AppSection::Models) << "modelsView";
        QTest::newRow("Settings") << "sectionRow_Settings" << int(AppSection::Settings) << "settingsView";
        QTest::newRow("Home") << "sectionRow_Home" << int(AppSection::Home) << "homeView";
    }

    void shellSwitchesSections()
    {
        QFETCH(QString, row);
        QFETCH(int, section);
        QFETCH(QString, screen);
        TestAppState t;
        settled(t);
        t.state().setSelectedSection(section == int(AppSection::Home) ? AppSection::Settings : AppSection::Home);
        FakeUpdates updater;
        QmlScene scene(&t.state());
        scene.setContextProperty("updater", &updater);
        QVERIFY2(scene.load("import Sorvane\nMainShell { updates: updater }", defaultSize), scene.errors());

        // A click near the row's right end, far from its text, selects it too.
        QQuickItem *rowItem = scene.find(row);
        QVERIFY(rowItem);
        QTest::mouseClick(scene.window(), Qt::LeftButton, {},
                          rowItem->mapToScene(QPointF(rowItem->width() - 6, rowItem->height() / 2)).toPoint());
        QTRY_COMPARE(int(t.state().selectedSection()), section);
        QTRY_VERIFY(scene.find(screen));
        QCOMPARE(scene.read(row, "accessibilityValue").toString(), QStringLiteral("Selected"));
        for (const char *other : {"sectionRow_Home", "sectionRow_History", "sectionRow_Models", "sectionRow_Settings"})
            if (QLatin1String(other) != row)
                QCOMPARE(scene.read(other, "accessibilityValue").toString(), QStringLiteral("Not selected"));
    }

    void settingTheSectionFromOutsideSwitchesTheScreenAfresh()
    {
        TestAppState t;
        settled(t);
        FakeUpdates updater;
        QmlScene scene(&t.state());
        scene.setContextProperty("updater", &updater);
        QVERIFY2(scene.load("import Sorvane\nMainShell { updates: updater }", defaultSize), scene.errors());
        QVERIFY(scene.find("homeView"));
        t.state().setSelectedSection(AppSection::History);
        QTRY_VERIFY(scene.find("historyView"));
        QPointer<QQuickItem> first = scene.find("historyView");
        first->setProperty("search", "typed");
        t.state().setSelectedSection(AppSection::Home);
        QTRY_VERIFY(scene.find("homeView"));
        QTRY_VERIFY(first.isNull());
        t.state().setSelectedSection(AppSection::History);
        QTRY_VERIFY(scene.find("historyView"));
        QCOMPARE(scene.read("historyView", "search").toString(), QString());
        QCOMPARE(scene.read("sectionRow_History", "accessibilityValue").toString(), QStringLiteral("Selected"));
    }

    void updateRowFollowsTheUpdater()
    {
        TestAppState t;
        settled(t);
        FakeUpdates updater;
        QmlScene scene(&t.state());
        scene.setContextProperty("updater", &updater);
        QVERIFY2(scene.load("import Sorvane\nMainShell { updates: updater }", defaultSize), scene.errors());
        QVERIFY(!scene.isShown("updateRow"));
        QCOMPARE(scene.read("versionText", "text").toString(), QStringLiteral("0.1.0"));
        updater.setLabel(QStringLiteral("Update failed"));
        QTRY_VERIFY(scene.isShown("updateRow"));
        QCOMPARE(scene.read("updateLabel", "text").toString(), QStringLiteral("Update failed"));
        click(scene, scene.find("updateRow"));
        QTRY_COMPARE(updater.presentations, 1);
        updater.setLabel(QString());
        QTRY_VERIFY(!scene.isShown("updateRow"));
    }

    void homeWithNothingToAttendTo()
    {
        TestAppState t;
        settled(t);
        QmlScene scene(&t.state());
        QVERIFY2(scene.load("import Sorvane\nHomeView {}", QSize(907, 700)), scene.errors());
        QCOMPARE(scene.read("homeView", "attention").value<QObject *>()->property("count").toInt(), 0);
        QVERIFY(!scene.isShown("needsYou"));
        QCOMPARE(scene.read("readinessLabel", "shownText").toString(), QStringLiteral("READY"));
        QCOMPARE(scene.read("dictationButtonTitle", "text").toString(), QStringLiteral("Start dictation"));
        QCOMPARE(child(scene.find("modelFact"), "factValue")->property("text").toString(),
                 SpeechModel::find("pocket")->name);
        QCOMPARE(child(scene.find("weekFact"), "factValue")->property("text").toString(), QStringLiteral("0 minutes"));
        QCOMPARE(scene.read("shortcutText", "text").toString(), t.state().toggleShortcut().displayName());
    }

    void homeWithEveryKindOfItem()
    {
        TestAppState t;
        t.permissions.microphone = false;
        t.permissions.accessibility = false;
        t.build().setOnboardingComplete(true);
        AgentSettings settings = t.state().agentSettings();
        settings.writingProvider = AgentWritingProvider::OpenAI;
        t.state().setAgentSettings(settings);
        QmlScene scene(&t.state());
        QVERIFY2(scene.load("import Sorvane\nHomeView {}", QSize(907, 700)), scene.errors());
        QVERIFY(scene.isShown("needsYou"));
        QStringList shown;
        for (const char *id : {"accessibility", "microphone", "speech-model", "cloud-key-openAI"})
            if (scene.find(QStringLiteral("attention_") + QLatin1String(id)))
                shown << id;
        QCOMPARE(shown, (QStringList{"accessibility", "microphone", "speech-model", "cloud-key-openAI"}));
        QCOMPARE(scene.read("readinessLabel", "shownText").toString(), QStringLiteral("MODEL NEEDED"));

        click(scene, child(scene.find("attention_accessibility"), "attentionAction"));
        QTRY_COMPARE(t.permissions.calls.count("request accessibility"), 1);
        click(scene, child(scene.find("attention_speech-model"), "attentionAction"));
        QTRY_COMPARE(t.state().selectedSection(), AppSection::Models);
        click(scene, child(scene.find("attention_cloud-key-openAI"), "attentionAction"));
        QTRY_COMPARE(t.state().selectedSection(), AppSection::Settings);
        QCOMPARE(t.state().selectedSettingsArea(), SettingsArea::Account);
        QCOMPARE(t.state().selectedAPIKeyProvider(), AgentWritingProvider::OpenAI);

        // Granting and installing take their items away as they are published.
        t.state().setAccessibilityGranted(true);
        t.placeSpeechModelFile(QStringLiteral("pocket"));
        t.state().setSelectedModelID(QStringLiteral("pocket"));
        QTRY_VERIFY(!scene.find("attention_accessibility"));
        QTRY_VERIFY(!scene.find("attention_speech-model"));
        QVERIFY(scene.find("attention_microphone"));
    }

    // A new user was never allowed: "revoked" only once this run has seen the grant.
    void accessibilityIsRevokedOnlyAfterAGrantWasSeen()
    {
        TestAppState t;
        t.permissions.accessibility = false;
        t.build().setOnboardingComplete(true);
        QmlScene scene(&t.state());
        QVERIFY2(scene.load("import Sorvane\nHomeView {}", QSize(907, 700)), scene.errors());
        const auto title = [&] {
            QQuickItem *item = scene.find("attention_accessibility");
            return item ? child(item, "attentionTitle")->property("text").toString() : QString();
        };
        QTRY_COMPARE(title(), QStringLiteral("Accessibility access is off"));

        t.permissions.accessibility = true;
        t.state().refreshPermissions();
        QTRY_VERIFY(!scene.find("attention_accessibility"));
        t.permissions.accessibility = false;
        t.state().refreshPermissions();
        QTRY_COMPARE(title(), QStringLiteral("Accessibility access was revoked"));
    }

    void removingTheCloudKeyFallsBackToLocalWithoutAnItem()
    {
        TestAppState t;
        AppState &state = settled(t);
        QVERIFY(awaitTask(state.saveAPIKey(QStringLiteral("sk-test-0123456789abcdefghijklmnop"), AgentWritingProvider::OpenAI)));
        AgentSettings settings = state.agentSettings();
        settings.writingProvider = AgentWritingProvider::OpenAI;
        state.setAgentSettings(settings);
        QmlScene scene(&state);
        QVERIFY2(scene.load("import Sorvane\nHomeView {}", QSize(907, 700)), scene.errors());
        QVERIFY(!scene.find("attention_cloud-key-openAI"));

        // Removing the key switches Command back to the local provider: nothing to add.
        QVERIFY(awaitTask(state.removeAPIKey(AgentWritingProvider::OpenAI)));
        QCOMPARE(state.agentSettings().writingProvider, AgentWritingProvider::Local);
        QTRY_COMPARE(scene.read("homeView", "attention").value<QObject *>()->property("count").toInt(), 0);
        QVERIFY(!scene.find("attention_cloud-key-openAI"));
    }

    void historyEmptyAndWithEntries()
    {
        TestAppState t;
        settled(t);
        QmlScene scene(&t.state());
        QVERIFY2(scene.load("import Sorvane\nHistoryView {}", QSize(907, 700)), scene.errors());
        QCOMPARE(scene.read("emptyHeading", "text").toString(), QStringLiteral("Nothing here yet."));
        QCOMPARE(scene.read("emptyLine", "text").toString(),
                 "Press " + t.state().toggleShortcut().displayName() + " from any app to capture your first thought.");

        // A search over an empty history is still "No matches.".
        scene.root()->setProperty("search", "x");
        QTRY_COMPARE(scene.read("emptyHeading", "text").toString(), QStringLiteral("No matches."));
        scene.root()->setProperty("search", "");

        const QDateTime now = QDateTime::currentDateTimeUtc();
        t.historyStore->insert(dictation(1, now.addSecs(-120), "first words"));
        t.historyStore->insert(dictation(2, now.addSecs(-60), "second words"));
        t.agentConversationStore->createConversation(fixedId(3), QStringLiteral("Shorten this"), {}, QStringLiteral("Notes"));
        QTRY_VERIFY(scene.isShown("historyList"));
        QVERIFY(!scene.isShown("emptyState"));
        QTRY_VERIFY(scene.find("historyRow_2"));
        // The conversation was last changed now, after both dictations.
        QCOMPARE(child(scene.find("historyRow_0"), "entryText")->property("text").toString(), QStringLiteral("Shorten this"));
        QVERIFY(child(scene.find("historyRow_0"), "commandBadge")->isVisible());
        QCOMPARE(child(scene.find("historyRow_1"), "entryText")->property("text").toString(), QStringLiteral("second words"));
        QVERIFY(!child(scene.find("historyRow_1"), "commandBadge")->isVisible());

        scene.root()->setProperty("search", "zebra");
        QTRY_VERIFY(scene.isShown("emptyState"));
        QCOMPARE(scene.read("emptyHeading", "text").toString(), QStringLiteral("No matches."));
        QCOMPARE(scene.read("emptyLine", "text").toString(), QStringLiteral("Try a different word."));
        scene.root()->setProperty("search", "COMMAND");
        QTRY_COMPARE(scene.read("historyView", "model").value<QObject *>()->property("count").toInt(), 1);
        scene.root()->setProperty("search", "");
        QTRY_COMPARE(scene.read("historyView", "model").value<QObject *>()->property("count").toInt(), 3);
    }

    void historyCopiesThroughTheProgramsClipboard()
    {
        TestAppState t;
        settled(t);
        const QString longText = QStringLiteral("line one\nline two\nline three\nline four\nline five\nline six");
        t.historyStore->insert(dictation(1, QDateTime::currentDateTimeUtc(), longText));
        QmlScene scene(&t.state());
        QVERIFY2(scene.load("import Sorvane\nHistoryView {}", QSize(907, 700)), scene.errors());
        QTRY_VERIFY(scene.find("historyRow_0"));
        QQuickItem *row = scene.find("historyRow_0");
        // The row shows four lines at most.
        QQuickItem *text = child(row, "entryText");
        QVERIFY(text->parentItem()->height() < text->property("contentHeight").toReal());
        const qint64 before = (*t.fakes.clipboard).changeCount();
        click(scene, child(row, "copyButton"));
        QTRY_COMPARE((*t.fakes.clipboard).text().value_or(QString()), longText);
        QVERIFY((*t.fakes.clipboard).changeCount() > before);
    }

    void aQuickSecondDeleteDoesNotDeleteTheNextRow()
    {
        TestAppState t;
        settled(t);
        const QDateTime now = QDateTime::currentDateTimeUtc();
        for (int n = 1; n <= 3; ++n)
            t.historyStore->insert(dictation(n, now.addSecs(n)));
        QmlScene scene(&t.state());
        QVERIFY2(scene.load("import Sorvane\nHistoryView {}", QSize(907, 700)), scene.errors());
        QTRY_VERIFY(scene.find("historyRow_2"));
        settle(scene);
        const QPoint at = child(scene.find("historyRow_0"), "deleteButton")
                              ->mapToScene(QPointF(8, 8)).toPoint();
        QTest::mouseClick(scene.window(), Qt::LeftButton, {}, at);
        QTRY_COMPARE(t.historyStore->items().size(), qsizetype(2));
        // The next row is under the pointer now; the second click of the double click lands on it.
        QTest::mouseClick(scene.window(), Qt::LeftButton, {}, at);
        // The click is delivered and handled before mouseClick returns.
        QCOMPARE(t.historyStore->items().size(), qsizetype(2));
        QCOMPARE(t.historyStore->items().first().id, fixedId(2));
    }

    void doubleClickOpensAConversationAndDeleteLetsItGo()
    {
        TestAppState t;
        settled(t);
        t.agentConversationStore->createConversation(fixedId(7), QStringLiteral("Translate this"), {}, QString());
        QmlScene scene(&t.state());
        QVERIFY2(scene.load("import Sorvane\nHistoryView {}", QSize(907, 700)), scene.errors());
        QTRY_VERIFY(scene.find("historyRow_0"));
        QQuickItem *proper = child(scene.find("historyRow_0"), "rowProper");
        // On the text (which takes single clicks for its selection) and beside it.
        doubleClick(scene, child(scene.find("historyRow_0"), "entryText"), QPointF(10, 10));
        QTRY_COMPARE(t.state().activeAgentConversationID(), std::optional(fixedId(7)));
        t.state().setActiveAgentConversationID(std::nullopt);
        doubleClick(scene, proper, QPointF(proper->width() * 0.6, proper->height() - 8));
        QTRY_COMPARE(t.state().activeAgentConversationID(), std::optional(fixedId(7)));

        click(scene, child(scene.find("historyRow_0"), "deleteButton"));
        QTRY_VERIFY(t.agentConversationStore->conversations().isEmpty());
        QCOMPARE(t.state().activeAgentConversationID(), std::nullopt);
    }

    void vocabularyAddsAndRemoves()
    {
        TestAppState t;
        settled(t);
        QmlScene scene(&t.state());
        QVERIFY2(scene.load("import Sorvane\nVocabularyView {}", QSize(907, 700)), scene.errors());
        QVERIFY(scene.isShown("emptyHint"));
        QVERIFY(!scene.isShown("termList"));
        QVERIFY(scene.read("behaviourSentence", "text").toString().startsWith(SpeechModel::find("pocket")->name));

        QQuickItem *field = scene.find("termField");
        QVERIFY(child(field, "fieldPlaceholder")->isVisible());
        QVERIFY(child(field, "fieldPlaceholder")->height() > 0);
        QObject *input = field->property("input").value<QObject *>();
        input->setProperty("text", "   ");
        QVERIFY(!scene.read("addTermButton", "enabled").toBool());
        // Return is not blocked: it only empties the field.
        QMetaObject::invokeMethod(field, "submitted");
        QTRY_COMPARE(input->property("text").toString(), QString());
        QVERIFY(t.state().vocabulary().isEmpty());

        input->setProperty("text", "  Kubernetes ");
        QTRY_VERIFY(scene.read("addTermButton", "enabled").toBool());
        click(scene, scene.find("addTermButton"));
        QTRY_COMPARE(t.state().vocabulary(), QStringList{"Kubernetes"});
        QCOMPARE(input->property("text").toString(), QString());
        QTRY_VERIFY(scene.isShown("termList"));
        QVERIFY(!scene.isShown("emptyHint"));

        input->setProperty("text", "kubernetes");
        click(scene, scene.find("addTermButton"));
        QTRY_COMPARE(input->property("text").toString(), QString());
        QCOMPARE(t.state().vocabulary(), QStringList{"Kubernetes"});

        QTRY_VERIFY(scene.find("termRow_0"));
        QCOMPARE(child(scene.find("termRow_0"), "removeButton")->property("tooltip").toString(),
                 QStringLiteral("Remove Kubernetes"));
        click(scene, child(scene.find("termRow_0"), "removeButton"));
        QTRY_VERIFY(t.state().vocabulary().isEmpty());
        QTRY_VERIFY(scene.isShown("emptyHint"));
    }

    void vocabularySentenceFollowsTheEngine()
    {
        TestAppState t;
        settled(t);
        QmlScene scene(&t.state());
        QVERIFY2(scene.load("import Sorvane\nVocabularyView {}", QSize(907, 700)), scene.errors());
        t.state().setSelectedModelID(QStringLiteral("velocity"));
        QTRY_VERIFY(scene.read("behaviourSentence", "text").toString().startsWith("The Parakeet runtime"));
        QVERIFY(scene.read("behaviourSentence", "text").toString().endsWith("Terms stay on this computer."));
    }

    void nothingIsClippedAtEitherSize_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::newRow("minimum") << minimumSize;
        QTest::newRow("default") << defaultSize;
    }

    void nothingIsClippedAtEitherSize()
    {
        QFETCH(QSize, size);
        TestAppState t;
        t.permissions.microphone = false;
        settled(t);
        // The longest shortcut this desktop shows.
        KeyboardShortcutSetting longest = t.state().toggleShortcut();
        longest.command = longest.option = longest.control = longest.shift = true;
        t.state().setToggleShortcut(longest);
        t.historyStore->insert(dictation(1, QDateTime::currentDateTimeUtc().addDays(-40), "old words"));
        t.agentConversationStore->createConversation(fixedId(2), QStringLiteral("Ask"), {}, QStringLiteral("A very long application name indeed"));
        t.state().addVocabulary(QStringLiteral("A very long vocabulary term that goes on and on and on and on and on and on and on and on"));
        FakeUpdates updater;
        updater.setLabel(QStringLiteral("Downloading 100%"));
        QmlScene scene(&t.state());
        scene.setContextProperty("updater", &updater);
        QVERIFY2(scene.load("import Sorvane\nMainShell { updates: updater }", size), scene.errors());

        auto fits = [&](const QString &name) {
            QQuickItem *item = scene.find(name);
            QVERIFY2(item, qPrintable(name));
            const qreal natural = item->property("contentWidth").isValid() ? item->property("contentWidth").toReal()
                                                                           : item->implicitWidth();
            QVERIFY2(natural <= item->width() + 0.5,
                     qPrintable(QStringLiteral("%1: %2 > %3").arg(name).arg(natural).arg(item->width())));
        };

        // Home: the shortcut shrinks to its line; the item and its button keep their words.
        QTRY_VERIFY(scene.find("homeView"));
        fits("shortcutText");
        QVERIFY(scene.read("shortcutText", "truncated").toBool() == false);
        fits("attentionTitle");
        fits("attentionDetail");
        fits("attentionAction");
        QQuickItem *button = scene.find("dictationButton");
        QVERIFY(button->mapToItem(scene.find("contentArea"), QPointF(button->width(), 0)).x()
                <= scene.find("contentArea")->width() - 80 + 0.5);
        for (const char *row : {"sectionRow_Home", "sectionRow_History", "sectionRow_Models", "sectionRow_Settings"})
            QVERIFY(child(scene.find(row), "sectionTitle")->implicitWidth() <= scene.find(row)->width() - 28);
        fits("updateLabel");

        t.state().setSelectedSection(AppSection::History);
        QTRY_VERIFY(scene.find("historyRow_1"));
        QCOMPARE(scene.find("searchField")->width(), 260.0);
        for (const char *row : {"historyRow_0", "historyRow_1"}) {
            QQuickItem *stamp = child(scene.find(row), "timestamp");
            QVERIFY(stamp->implicitWidth() <= 120);
            QQuickItem *actions = child(scene.find(row), "rowActions");
            QVERIFY(actions->mapToItem(scene.find(row), QPointF(actions->width(), 0)).x() <= scene.find(row)->width() + 0.5);
        }

        t.state().setSelectedSettingsArea(SettingsArea::Behaviour);
        t.state().setSelectedSection(AppSection::Settings);
        QTRY_VERIFY(scene.find("editVocabulary"));
        click(scene, scene.find("editVocabulary"));
        QTRY_VERIFY(scene.find("termRow_0"));
        QCOMPARE(scene.find("termField")->width(), 340.0);
        fits("addTermButton");
        QQuickItem *term = child(scene.find("termRow_0"), "termText");
        QCOMPARE(term->property("lineCount").toInt(), 1);
        QQuickItem *remove = child(scene.find("termRow_0"), "removeButton");
        QVERIFY(remove->mapToItem(scene.find("termRow_0"), QPointF(remove->width(), 0)).x()
                >= scene.find("termRow_0")->width() - 0.5);
        click(scene, scene.find("backButton"));
        QTRY_VERIFY(scene.isShown("editVocabulary"));
    }
};

QTEST_MAIN(MainWindowScreensTest)
#include "tst_main_window_screens.moc"
