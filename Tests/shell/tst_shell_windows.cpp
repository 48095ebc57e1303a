#include "Services/Shell/ApplicationLocationController.h"
#include "Services/Shell/UpdateController.h"
#include "Services/Shell/Updater/UpdateWindowModel.h"
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
