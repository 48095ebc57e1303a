#include "Services/Shell/ApplicationLocationController.h"
#include "Services/Shell/UpdateController.h"
#include "Services/Shell/Updater/UpdateWindowModel.h"
#include "Shared/ErrorResolution.h"
#include "TestAppState.h"
#include "Views/Shell/MainMenuModel.h"
#include "Views/Shell/ShellActions.h"
#include "Views/Shell/ShellWindows.h"
#include "Views/Shell/TrayController.h"
#include "Views/Shell/TrayGlyph.h"
#include "ViewsModule.h"

#include <QApplication>
#include <QQmlComponent>
#include <QQuickItem>
#include <QSignalSpy>
#include <QTest>

using namespace sorvane;
using namespace sorvane::testing;

namespace {

constexpr int wait = 20000;

QStringList entryTitles(const QVariantMap &group)
{
    QStringList titles;
    for (const QVariant &entry : group.value(QStringLiteral("entries")).toList()) {
        const QVariantMap map = entry.toMap();
        titles << (map.value(QStringLiteral("separator")).toBool() ? QStringLiteral("-")
                                                                    : map.value(QStringLiteral("title")).toString());
    }
    return titles;
}

QObject *findNamed(QObject *root, const QString &name)
{
    if (!root)
        return nullptr;
    if (root->objectName() == name)
        return root;
    if (QObject *found = root->findChild<QObject *>(name))
        return found;
    if (auto *window = qobject_cast<QQuickWindow *>(root))
        return findNamed(window->contentItem(), name);
    return nullptr;
}

} // namespace

// The shell's windows and menus in this process, over a state of fakes.
class ShellWindowsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TestAppState> t;
    std::unique_ptr<UpdateController> updates;
    std::unique_ptr<ApplicationLocationController> location;
    std::unique_ptr<ShellWindows> windows;
    std::unique_ptr<ShellActions> actions;
    std::unique_ptr<MainMenuModel> menus;

private Q_SLOTS:
    void initTestCase()
    {
        QApplication::setQuitOnLastWindowClosed(false);
        views::initialise();
    }

    void init()
    {
        t = std::make_unique<TestAppState>();
        AppState &state = t->build();
        updates = std::make_unique<UpdateController>(UpdateController::Configuration{{}, {}, QStringLiteral("1.0"), {}});
        location = std::make_unique<ApplicationLocationController>(QProcessEnvironment());
        windows = std::make_unique<ShellWindows>(updates.get(), location.get());
        actions = std::make_unique<ShellActions>(&state, updates.get(), [this] { windows->raiseMainWindow(); });
        menus = std::make_unique<MainMenuModel>(&state, updates.get(), actions.get());
        windows->setMenus(menus.get());
        windows->setState(&state);
    }

    void cleanup()
    {
        menus.reset();
        actions.reset();
        windows.reset();
        location.reset();
        updates.reset();
        t.reset();
    }

    void windowIsMadeOnFirstUse()
    {
        QVERIFY(!windows->mainWindow());
        QVERIFY(windows->raiseMainWindow());
        QQuickWindow *window = windows->mainWindow();
        QVERIFY(window);
        QTRY_VERIFY_WITH_TIMEOUT(window->isVisible(), wait);
        QCOMPARE(window->minimumSize(), QSize(1060, 660));
        QCOMPARE(window->size(), QSize(1160, 700));
        QCOMPARE(window->title(), QStringLiteral("Sorvane"));
        QVERIFY(findNamed(window, QStringLiteral("rootView")));
        QVERIFY(findNamed(window, QStringLiteral("menuBar")));
        // Raising again keeps the one window.
        QVERIFY(windows->raiseMainWindow());
        QCOMPARE(windows->mainWindow(), window);
    }

    void permissionsAreReadWhenTheWindowComesOnScreen()
    {
        t->permissions.calls.clear();
        QVERIFY(windows->raiseMainWindow());
        QTRY_VERIFY_WITH_TIMEOUT(t->permissions.calls.contains(QStringLiteral("read microphone")), wait);
        QVERIFY(t->permissions.calls.contains(QStringLiteral("read accessibility")));
        QVERIFY(t->permissions.calls.contains(QStringLiteral("read screenRecording")));
    }

    void closingHidesAndReleasesTheWindow()
    {
        QSignalSpy closed(windows.get(), &ShellWindows::mainWindowClosed);
        QVERIFY(windows->raiseMainWindow());
        QPointer<QQuickWindow> window = windows->mainWindow();
        QTRY_VERIFY_WITH_TIMEOUT(window->isVisible(), wait);
        QVERIFY(window->close());
        QTRY_COMPARE_WITH_TIMEOUT(closed.count(), 1, wait);
        QTRY_VERIFY_WITH_TIMEOUT(window.isNull(), wait);
        QVERIFY(!windows->mainWindow());
        // "Open Sorvane" makes it again.
        // The state's own window raising is a fake here; the shell's makes a new window.
        QVERIFY(windows->raiseMainWindow());
        QVERIFY(windows->mainWindow());
        QVERIFY(windows->mainWindow() != window.data());
    }

    // Where no tray item can bring the window back, the first close stays and says that
    // Sorvane keeps running and how to return; it is said once, remembered in the settings.
    void firstCloseWithoutATraySaysItKeepsRunning()
    {
        windows->setTrayAvailable([] { return false; });
        QSignalSpy closed(windows.get(), &ShellWindows::mainWindowClosed);
        QVERIFY(windows->raiseMainWindow());
        QPointer<QQuickWindow> window = windows->mainWindow();
        QTRY_VERIFY_WITH_TIMEOUT(window->isVisible(), wait);
        QVERIFY(!window->close());
        QVERIFY(window->isVisible());
        QObject *notice = findNamed(window, QStringLiteral("keepsRunningNotice"));
        QVERIFY(notice);
        QTRY_VERIFY_WITH_TIMEOUT(notice->property("opened").toBool(), wait);
        QCOMPARE(findNamed(window, QStringLiteral("keepsRunningTitle"))->property("text").toString(),
                 QStringLiteral("Sorvane keeps running"));
        const QString message = findNamed(window, QStringLiteral("keepsRunningMessage"))->property("text").toString();
        QVERIFY2(message.contains(QLatin1String("open Sorvane again")) && message.contains(QLatin1String("Quit Sorvane")),
                 qPrintable(message));
        QCOMPARE(t->state().defaults().boolValue(QStringLiteral("keepsRunningNoticeShown")), std::optional<bool>(true));

        // "Close Window" closes it now.
        QMetaObject::invokeMethod(findNamed(window, QStringLiteral("keepsRunningClose")), "clicked");
        QTRY_COMPARE_WITH_TIMEOUT(closed.count(), 1, wait);

        // Said once, also for a window made again.
        QVERIFY(windows->raiseMainWindow());
        window = windows->mainWindow();
        QTRY_VERIFY_WITH_TIMEOUT(window->isVisible(), wait);
        QVERIFY(window->close());
        QTRY_COMPARE_WITH_TIMEOUT(closed.count(), 2, wait);
    }

    void closeWithATraySaysNothing()
    {
        windows->setTrayAvailable([] { return true; });
        QSignalSpy closed(windows.get(), &ShellWindows::mainWindowClosed);
        QVERIFY(windows->raiseMainWindow());
        QPointer<QQuickWindow> window = windows->mainWindow();
        QTRY_VERIFY_WITH_TIMEOUT(window->isVisible(), wait);
        QVERIFY(window->close());
        QTRY_COMPARE_WITH_TIMEOUT(closed.count(), 1, wait);
        QVERIFY(!t->state().defaults().contains(QStringLiteral("keepsRunningNoticeShown")));
    }

    // Every menu is as wide as its longest title: no entry is cut short.
    void menusAreAsWideAsTheirLongestTitle()
    {
        KeyboardShortcutSetting shortcut = t->state().agentShortcut();
        shortcut.shift = true;
        shortcut.control = true;
        t->state().setAgentShortcut(shortcut);
        QVERIFY(windows->raiseMainWindow());
        QQuickWindow *window = windows->mainWindow();
        QTRY_VERIFY_WITH_TIMEOUT(window->isExposed(), wait);
        for (const char *title : {"Sorvane", "Dictation", "Command"}) {
            QObject *menu = nullptr;
            QTRY_VERIFY_WITH_TIMEOUT((menu = findNamed(window, QStringLiteral("menu:") + QLatin1String(title))), wait);
            QVERIFY(QMetaObject::invokeMethod(menu, "open"));
            QTRY_VERIFY_WITH_TIMEOUT(menu->property("opened").toBool(), wait);
            const int count = menu->property("count").toInt();
            QVERIFY(count > 0);
            int checked = 0;
            for (int i = 0; i < count; ++i) {
                QQuickItem *item = nullptr;
                QVERIFY(QMetaObject::invokeMethod(menu, "itemAt", Q_RETURN_ARG(QQuickItem *, item), Q_ARG(int, i)));
                if (!item || !item->isVisible())
                    continue;
                auto *text = item->findChild<QQuickItem *>(QStringLiteral("menuItemTitle"));
                QVERIFY(text);
                QVERIFY2(!text->property("truncated").toBool(),
                         qPrintable(item->property("text").toString() + QStringLiteral(" is cut short")));
                QVERIFY(item->width() >= item->implicitWidth());
                ++checked;
            }
            QVERIFY(checked > 0);
            QMetaObject::invokeMethod(menu, "close");
            QTRY_VERIFY_WITH_TIMEOUT(!menu->property("visible").toBool(), wait);
        }
    }

    // A click on the overlay's error opens the main window where the error is fixed.
    void overlayErrorOpensItsDestination_data()
    {
        QTest::addColumn<ErrorResolutionDestination>("destination");
        QTest::addColumn<int>("section");
        QTest::addColumn<int>("area");
        QTest::addColumn<int>("provider");
        QTest::addColumn<int>("attentionRequests");
        QTest::addColumn<QString>("screen");
        const int unchanged = -1;
        QTest::newRow("api keys") << ErrorResolutionDestination::apiKeys(AgentWritingProvider::Mistral)
                                  << int(AppSection::Settings) << int(SettingsArea::Account)
                                  << int(AgentWritingProvider::Mistral) << 0 << QStringLiteral("settingsView");
        QTest::newRow("dictation models") << ErrorResolutionDestination::dictationModels() << int(AppSection::Models)
                                          << unchanged << unchanged << 0 << QStringLiteral("modelsView");
        QTest::newRow("command models") << ErrorResolutionDestination::commandModels() << int(AppSection::Models)
                                        << unchanged << unchanged << 0 << QStringLiteral("modelsView");
        QTest::newRow("command settings") << ErrorResolutionDestination::commandSettings()
                                          << int(AppSection::Settings) << int(SettingsArea::Behaviour) << unchanged
                                          << 0 << QStringLiteral("settingsView");
        QTest::newRow("permissions") << ErrorResolutionDestination::permissions() << int(AppSection::Settings)
                                     << int(SettingsArea::Account) << unchanged << 1
                                     << QStringLiteral("settingsView");
    }
    void overlayErrorOpensItsDestination()
    {
        QFETCH(ErrorResolutionDestination, destination);
        QFETCH(int, section);
        QFETCH(int, area);
        QFETCH(int, provider);
        QFETCH(int, attentionRequests);
        QFETCH(QString, screen);
        AppState &state = t->state();
        state.setOnboardingComplete(true);
        state.setSelectedSection(AppSection::Home);
        const SettingsArea areaBefore = state.selectedSettingsArea();
        const AgentWritingProvider providerBefore = state.selectedAPIKeyProvider();
        const int requestsBefore = state.permissionAttentionRequest();
        const ErrorResolution error(QStringLiteral("Something to fix."), destination);
        state.setErrorResolution(error);
        t->windows.calls.clear();

        state.handleOverlayTap();

        QCOMPARE(int(state.selectedSection()), section);
        QCOMPARE(int(state.selectedSettingsArea()), area < 0 ? int(areaBefore) : area);
        QCOMPARE(int(state.selectedAPIKeyProvider()), provider < 0 ? int(providerBefore) : provider);
        QCOMPARE(state.permissionAttentionRequest(), requestsBefore + attentionRequests);
        // The banner stays for the screen to show.
        QCOMPARE(state.errorResolution(), std::optional<ErrorResolution>(error));
        QCOMPARE(t->windows.calls.count(QStringLiteral("raise")) + t->windows.calls.count(QStringLiteral("raise (none)")), 1);

        // The window the shell raises shows that section's screen.
        QVERIFY(windows->raiseMainWindow());
        QQuickWindow *window = windows->mainWindow();
        QTRY_VERIFY_WITH_TIMEOUT(window->isVisible(), wait);
        QObject *shell = nullptr;
        QTRY_VERIFY_WITH_TIMEOUT((shell = findNamed(window, QStringLiteral("mainShell"))), wait);
        QCOMPARE(shell->property("section").toInt(), section);
        QTRY_VERIFY_WITH_TIMEOUT(findNamed(window, QStringLiteral("sectionScreen"))
                                     && findNamed(window, QStringLiteral("sectionScreen"))->property("item").value<QObject *>(),
                                 wait);
        auto *shown = findNamed(window, QStringLiteral("sectionScreen"))->property("item").value<QObject *>();
        // The Models and Settings screens of this version are their placeholders.
        QCOMPARE(shown->objectName(), screen);
    }

    // Every screen fits the smallest window or scrolls: its last item can be brought
    // inside the window, below the menu bar.
    void screensFitTheSmallestWindow_data()
    {
        QTest::addColumn<bool>("onboarded");
        QTest::addColumn<int>("section");
        QTest::addColumn<QStringList>("lastItems");
        QTest::newRow("first run") << false << int(AppSection::Home) << QStringList{"primaryButton", "onboardingDots"};
        QTest::newRow("home") << true << int(AppSection::Home) << QStringList{"dictationButton", "versionText"};
        QTest::newRow("history") << true << int(AppSection::History) << QStringList{"emptyLine", "versionText"};
        QTest::newRow("models") << true << int(AppSection::Models) << QStringList{"modelsFooter", "versionText"};
        QTest::newRow("settings") << true << int(AppSection::Settings) << QStringList{"addProfile", "versionText"};
        QTest::newRow("vocabulary") << true << int(AppSection::Settings) << QStringList{"emptyHint", "addTermButton"};
    }
    void screensFitTheSmallestWindow()
    {
        QFETCH(bool, onboarded);
        QFETCH(int, section);
        QFETCH(QStringList, lastItems);
        AppState &state = t->state();
        // Everything Home can ask for at once makes it as long as it gets.
        t->permissions.microphone = false;
        t->permissions.accessibility = false;
        state.refreshPermissions();
        state.setOnboardingComplete(onboarded);
        state.setSelectedSection(AppSection(section));
        // Settings opens on its first area; the rows above may have left another one.
        state.setSelectedSettingsArea(SettingsArea::Shortcuts);
        QVERIFY(windows->raiseMainWindow());
        QQuickWindow *window = windows->mainWindow();
        window->resize(window->minimumSize());
        QTRY_COMPARE_WITH_TIMEOUT(window->size(), QSize(1060, 660), wait);
        QTRY_VERIFY_WITH_TIMEOUT(window->isExposed(), wait);
        // The vocabulary editor shows in the Settings section's place.
        if (QTest::currentDataTag() == QByteArrayLiteral("vocabulary")) {
            QObject *settings = nullptr;
            QTRY_VERIFY_WITH_TIMEOUT((settings = findNamed(window, QStringLiteral("settingsView"))), wait);
            settings->property("screen").value<QObject *>()->setProperty("showsVocabulary", true);
        }
        for (const QString &name : lastItems) {
            QQuickItem *item = nullptr;
            QTRY_VERIFY_WITH_TIMEOUT((item = qobject_cast<QQuickItem *>(findNamed(window, name))), wait);
            QTRY_VERIFY_WITH_TIMEOUT(item->height() > 0, wait);
            // A screen that scrolls is scrolled to its end first.
            QQuickItem *view = item->parentItem();
            while (view && !view->inherits("QQuickFlickable"))
                view = view->parentItem();
            qreal viewBottom = window->height();
            if (view) {
                const qreal end = view->property("contentHeight").toReal() - view->height();
                view->setProperty("contentY", std::max<qreal>(0, end));
                viewBottom = std::min(viewBottom, view->mapToScene(QPointF(0, view->height())).y());
            }
            const QPointF bottomRight = item->mapToScene(QPointF(item->width(), item->height()));
            QVERIFY2(bottomRight.y() <= viewBottom + 0.5 && bottomRight.x() <= window->width() + 0.5,
                     qPrintable(QStringLiteral("%1 ends at %2,%3 in a %4x%5 window")
                                    .arg(name)
                                    .arg(bottomRight.x())
                                    .arg(bottomRight.y())
                                    .arg(window->width())
                                    .arg(viewBottom)));
            QVERIFY(item->mapToScene(QPointF(0, 0)).y() >= 0);
        }
    }

    void menuBarFollowsTheState()
    {
        const QVariantList groups = menus->groups();
        QCOMPARE(groups.size(), 3);
        QCOMPARE(groups.at(0).toMap().value(QStringLiteral("title")).toString(), QStringLiteral("Sorvane"));
        const QString toggle = t->state().toggleShortcut().displayName();
        QCOMPARE(entryTitles(groups.at(1).toMap()),
                 (QStringList{"Start Dictation (" + toggle + ")",
                              "Cancel Dictation (" + t->state().cancelShortcut().displayName() + ")",
                              "Cancel Recording"}));
        // Only shown entries reach the screen: no screenshot entry without an image model.
        const bool images = t->state().selectedAgentModel() && t->state().selectedAgentModel()->takesImages();
        QCOMPARE(entryTitles(groups.at(2).toMap()).size(), images ? 3 : 2);

        QSignalSpy changed(menus.get(), &MainMenuModel::groupsChanged);
        KeyboardShortcutSetting shortcut = t->state().toggleShortcut();
        shortcut.keyCode = 0x28;
        shortcut.keyLabel = QStringLiteral("K");
        t->state().setToggleShortcut(shortcut);
        QVERIFY(changed.count() >= 1);
        QVERIFY(entryTitles(menus->groups().at(1).toMap()).first().endsWith(shortcut.displayName() + ")"));

        // The window's menu bar shows the same entries.
        QVERIFY(windows->raiseMainWindow());
        QQuickWindow *window = windows->mainWindow();
        QTRY_VERIFY_WITH_TIMEOUT(findNamed(window, QStringLiteral("menu:Dictation")), wait);
        QTRY_VERIFY_WITH_TIMEOUT(findNamed(window, QStringLiteral("menuItem:Start Dictation (") + shortcut.displayName()
                                                       + QStringLiteral(")")),
                                 wait);
        QVERIFY(findNamed(window, QStringLiteral("menuItem:Open Current Conversation")));
        QCOMPARE(findNamed(window, QStringLiteral("menuItem:Open Current Conversation"))->property("enabled").toBool(),
                 false);
        QCOMPARE(findNamed(window, QStringLiteral("menuItem:Check for Updates\u2026"))->property("enabled").toBool(),
                 false);
    }

    // "About Sorvane" opens over the window it was chosen in, with the version and build.
    void aboutShowsTheVersionInTheWindow()
    {
        QVERIFY(windows->raiseMainWindow());
        QPointer<QQuickWindow> window = windows->mainWindow();
        QTRY_VERIFY_WITH_TIMEOUT(window->isVisible(), wait);
        QObject *panel = findNamed(window, QStringLiteral("aboutPanel"));
        QVERIFY(panel);
        QVERIFY(!panel->property("opened").toBool());
        menus->trigger(int(MenuAction::About));
        QTRY_VERIFY_WITH_TIMEOUT(panel->property("opened").toBool(), wait);
        QCOMPARE(findNamed(window, QStringLiteral("aboutVersion"))->property("text").toString(),
                 QStringLiteral("Version ") + MainMenuModel::aboutVersion());
        QVERIFY(!MainMenuModel::aboutVersion().isEmpty());
        QMetaObject::invokeMethod(findNamed(window, QStringLiteral("aboutClose")), "clicked");
        QTRY_VERIFY_WITH_TIMEOUT(!panel->property("opened").toBool(), wait);
    }

    void menuActionsReachTheStateAtOnce()
    {
        menus->trigger(int(MenuAction::OpenApp));
        QCOMPARE(t->windows.calls.count(QStringLiteral("raise")), 1);
    }

    void trayActionsRunOnALaterTurn()
    {
        TrayController tray(false, actions.get());
        QAction *open = nullptr;
        QAction *check = nullptr;
        for (QAction *action : tray.menu().actions()) {
            if (action->text() == QLatin1String("Open Sorvane"))
                open = action;
            if (action->text() == QStringLiteral("Check for Updates\u2026"))
                check = action;
        }
        QVERIFY(open && check);
        QVERIFY(!check->isEnabled()); // no feed in this build
        const auto raises = [this] { return t->windows.calls.count(QStringLiteral("raise")); };
        const qsizetype before = raises();
        open->trigger();
        QCOMPARE(raises(), before); // not yet: on a later turn
        QTRY_COMPARE_WITH_TIMEOUT(raises(), before + 1, wait);
        // Without a feed the check does nothing at all.
        check->trigger();
        QCoreApplication::processEvents();
        QCOMPARE(updates->presentation(), UpdatePresentation::idle());
        QVERIFY(!tray.icon().icon().isNull());
    }

    void updateWindowIsMadeWhenAskedFor()
    {
        QVERIFY(!windows->updateWindow());
        updates->window()->showUpdaterError(QStringLiteral("The update feed has no channel."), [] {});
        QTRY_VERIFY_WITH_TIMEOUT(windows->updateWindow() && windows->updateWindow()->isVisible(), wait);
        QQuickWindow *window = windows->updateWindow();
        QCOMPARE(findNamed(window, QStringLiteral("updateTitle"))->property("text").toString(), QStringLiteral("Update failed"));
        QCOMPARE(findNamed(window, QStringLiteral("updateMessage"))->property("text").toString(),
                 QStringLiteral("The update feed has no channel."));
        QCOMPARE(findNamed(window, QStringLiteral("updatePrimaryButton"))->property("title").toString(), QStringLiteral("OK"));
        // Laid out across the window, not squeezed to nothing.
        QTRY_VERIFY_WITH_TIMEOUT(qobject_cast<QQuickItem *>(findNamed(window, QStringLiteral("updateMessage")))->width() >= 300,
                                 wait);
        updates->window()->dismissUpdateInstallation();
        QTRY_VERIFY_WITH_TIMEOUT(!window->isVisible(), wait);
    }

    void settingsScreenMakesItsOwnLoginItem()
    {
        QQmlComponent component(windows->engine());
        component.setData("import Sorvane\nLoginItemController {}", QUrl());
        std::unique_ptr<QObject> made(component.create());
        QVERIFY2(made, qPrintable(component.errorString()));
        QCOMPARE(made->property("isEnabled").toBool(), false);
        QCOMPARE(made->property("message").toString(), QString());
        QVERIFY(QMetaObject::invokeMethod(made.get(), "setEnabled", Q_ARG(bool, true)));
        QCOMPARE(made->property("isEnabled").toBool(), true);
        QVERIFY(QMetaObject::invokeMethod(made.get(), "setEnabled", Q_ARG(bool, false)));
        QCOMPARE(made->property("isEnabled").toBool(), false);
    }

    void glyphInks_data()
    {
        QTest::addColumn<int>("scheme");
        QTest::addColumn<QColor>("palette");
        QTest::addColumn<bool>("lightInk");
        QTest::newRow("dark desktop") << 1 << QColor(Qt::black) << true;
        QTest::newRow("light desktop") << 2 << QColor(Qt::white) << false;
        QTest::newRow("no preference, dark palette") << 0 << QColor(Qt::white) << true;
        QTest::newRow("no preference, light palette") << 0 << QColor(Qt::black) << false;
    }
    void glyphInks()
    {
        QFETCH(int, scheme);
        QFETCH(QColor, palette);
        QFETCH(bool, lightInk);
        const QColor ink = TrayGlyph::inkFor(scheme, palette);
        QCOMPARE(ink.lightness() > 128, lightInk);
        const QImage glyph = TrayGlyph::glyph(32, ink);
        // Painted in that ink at the rim, cut out at the middle bar, clear at the corner.
        QCOMPARE(glyph.pixelColor(16, 2).rgb(), ink.rgb());
        QCOMPARE(glyph.pixelColor(16, 16).alpha(), 0);
        QCOMPARE(glyph.pixelColor(0, 0).alpha(), 0);
    }
};

QTEST_MAIN(ShellWindowsTest)
#include "tst_shell_windows.moc"
