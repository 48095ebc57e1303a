#include "Kit/Fonts.h"
#include "QmlScene.h"

#include <QAccessible>
#include <QQuickItem>
#include <QSignalSpy>
#include <QTest>

using namespace sorvane;
using sorvane::test::QmlScene;

namespace {

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
    QTest::mouseClick(scene.window(), Qt::LeftButton, {}, at);
}

void press(QmlScene &scene, QQuickItem *item, Qt::Key key)
{
    QVERIFY(item);
    item->forceActiveFocus();
    QTRY_VERIFY(item->hasActiveFocus());
    QTest::keyClick(scene.window(), key);
}

// The item of this name among the visual children (a popup's entries are not the
// window's object children).
QQuickItem *itemNamed(QQuickItem *under, const char *name)
{
    if (under->objectName() == QLatin1String(name))
        return under;
    for (QQuickItem *child : under->childItems())
        if (QQuickItem *found = itemNamed(child, name))
            return found;
    return nullptr;
}

} // namespace

// The kit's setting controls show the owner's value, tell only the user's own changes,
// and go back to the owner's value when it refuses or clamps one.
class SettingsKitTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QVERIFY(Fonts::load()); }

    void switchTellsTheUsersFlipAndShowsTheOwnersValue_data()
    {
        QTest::addColumn<bool>("ownerAccepts");
        QTest::newRow("accepted") << true;
        QTest::newRow("refused") << false;
    }
    void switchTellsTheUsersFlipAndShowsTheOwnersValue()
    {
        QFETCH(bool, ownerAccepts);
        QmlScene scene;
        QVERIFY2(scene.load(QByteArray("import QtQuick\nimport Sorvane\n"
                                       "Item { width: 200; height: 80; property bool setting: false; property var told: []\n"
                                       "  KitSwitch { objectName: 'switch'; value: parent.setting\n"
                                       "    onUserToggled: (on) => { parent.told = parent.told.concat([on]); if (")
                                + (ownerAccepts ? "true" : "false") + ") parent.setting = on } } }"),
                 scene.errors());
        auto *control = scene.find("switch");
        QVERIFY(!control->property("checked").toBool());

        // A change of the owner's value is shown and is not the user's.
        scene.root()->setProperty("setting", true);
        QVERIFY(control->property("checked").toBool());
        scene.root()->setProperty("setting", false);
        QVERIFY(!control->property("checked").toBool());
        QCOMPARE(scene.root()->property("told").toList().size(), 0);

        click(scene, control);
        QTRY_COMPARE(scene.root()->property("told").toList().size(), 1);
        QCOMPARE(scene.root()->property("told").toList().first().toBool(), true);
        QCOMPARE(control->property("checked").toBool(), ownerAccepts);
        // It keeps following the owner afterwards.
        scene.root()->setProperty("setting", !ownerAccepts);
        QCOMPARE(control->property("checked").toBool(), !ownerAccepts);
    }

    void pickerTellsOnlyTheUsersChoice()
    {
        QmlScene scene;
        QVERIFY2(scene.load("import QtQuick\nimport Sorvane\n"
                            "Item { width: 300; height: 80; property int setting: 0; property var told: []\n"
                            "  KitPicker { objectName: 'picker'; model: ['Low', 'Medium', 'High']; selectedIndex: parent.setting\n"
                            "    onPicked: (i) => { parent.told = parent.told.concat([i]); parent.setting = Math.min(i, 1) } } }"),
                 scene.errors());
        auto *picker = scene.find("picker");
        QCOMPARE(picker->property("displayText").toString(), QStringLiteral("Low"));

        scene.root()->setProperty("setting", 2);
        QCOMPARE(picker->property("currentIndex").toInt(), 2);
        scene.root()->setProperty("setting", 0);
        QCOMPARE(scene.root()->property("told").toList().size(), 0);

        press(scene, picker, Qt::Key_Down);
        QTRY_COMPARE(scene.root()->property("told").toList().size(), 1);
        QCOMPARE(scene.root()->property("told").toList().at(0).toInt(), 1);
        QCOMPARE(picker->property("currentIndex").toInt(), 1);

        // The owner takes at most "Medium": a choice of "High" goes back.
        press(scene, picker, Qt::Key_Down);
        QTRY_COMPARE(scene.root()->property("told").toList().size(), 2);
        QCOMPARE(scene.root()->property("told").toList().at(1).toInt(), 2);
        QCOMPARE(picker->property("currentIndex").toInt(), 1);
        QCOMPARE(picker->property("displayText").toString(), QStringLiteral("Medium"));
    }

    // Assistive technology reads each entry of the open menu by its title and chooses it
    // with the entry's press action.
    void pickerEntriesAreNamedAndPressedThroughAccessibility()
    {
        QmlScene scene;
        QVERIFY2(scene.load("import QtQuick\nimport Sorvane\n"
                            "Item { width: 300; height: 200; property int setting: 0; property var told: []\n"
                            "  KitPicker { objectName: 'picker'; model: ['Light', 'Dark']; selectedIndex: parent.setting\n"
                            "    onPicked: (i) => { parent.told = parent.told.concat([i]); parent.setting = i } } }"),
                 scene.errors());
        auto *picker = scene.find("picker");
        click(scene, picker);
        QQuickItem *entry = nullptr;
        QTRY_VERIFY((entry = itemNamed(picker->window()->contentItem(), "pickerEntry_1")) && entry->isVisible());
        QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(entry);
        QVERIFY(accessible);
        QCOMPARE(accessible->text(QAccessible::Name), QStringLiteral("Dark"));
        QAccessibleActionInterface *actions = accessible->actionInterface();
        QVERIFY(actions);
        QVERIFY(actions->actionNames().contains(QAccessibleActionInterface::pressAction()));
        actions->doAction(QAccessibleActionInterface::pressAction());
        QTRY_COMPARE(scene.root()->property("told").toList().size(), 1);
        QCOMPARE(scene.root()->property("told").toList().first().toInt(), 1);
        QCOMPARE(picker->property("displayText").toString(), QStringLiteral("Dark"));
        QCOMPARE(QAccessible::queryAccessibleInterface(picker)->text(QAccessible::Description), QStringLiteral("Dark"));
    }

    void stepperGoesBackToAClampedValue()
    {
        QmlScene scene;
        QVERIFY2(scene.load("import QtQuick\nimport Sorvane\n"
                            "Item { width: 300; height: 80; property int setting: 2; property var told: []\n"
                            "  KitStepper { objectName: 'stepper'; from: 0; to: 10; current: parent.setting; suffix: 's'\n"
                            "    onStepped: (v) => { parent.told = parent.told.concat([v]); parent.setting = Math.min(v, 3) } } }"),
                 scene.errors());
        auto *stepper = scene.find("stepper");
        QCOMPARE(scene.read("stepperValue", "text").toString(), QStringLiteral("2 s"));
        scene.root()->setProperty("setting", 1);
        QCOMPARE(stepper->property("value").toInt(), 1);
        QCOMPARE(scene.root()->property("told").toList().size(), 0);

        click(scene, scene.find("stepperUp"));
        QTRY_COMPARE(scene.root()->property("told").toList().size(), 1);
        QCOMPARE(stepper->property("value").toInt(), 2);
        scene.root()->setProperty("setting", 3);
        click(scene, scene.find("stepperUp"));
        QTRY_COMPARE(scene.root()->property("told").toList().size(), 2);
        QCOMPARE(scene.root()->property("told").toList().at(1).toInt(), 4);
        QCOMPARE(stepper->property("value").toInt(), 3);
        QCOMPARE(scene.read("stepperValue", "text").toString(), QStringLiteral("3 s"));
    }

    void maskedFieldHidesTheTextAndIgnoresReturn()
    {
        QmlScene scene;
        QVERIFY2(scene.load("import QtQuick\nimport Sorvane\n"
                            "Item { width: 460; height: 60; property int accepted: 0\n"
                            "  KitMaskedField { objectName: 'field'; width: 420; placeholder: 'Paste your key'; accessibleName: 'Key' } }"),
                 scene.errors());
        auto *input = scene.find("maskedInput");
        QVERIFY(input);
        QVERIFY(scene.isShown("maskedPlaceholder"));
        QSignalSpy edited(scene.find("field"), SIGNAL(edited(QString)));
        input->forceActiveFocus();
        QTRY_VERIFY(input->hasActiveFocus());
        for (const char c : QByteArray("sk-12"))
            QTest::keyClick(scene.window(), c);
        QTRY_COMPARE(edited.size(), 5);
        QCOMPARE(edited.last().at(0).toString(), QStringLiteral("sk-12"));
        QCOMPARE(input->property("text").toString(), QStringLiteral("sk-12"));
        QVERIFY(input->property("displayText").toString() != QStringLiteral("sk-12"));
        QVERIFY(!scene.isShown("maskedPlaceholder"));
        QTest::keyClick(scene.window(), Qt::Key_Return);
        QCOMPARE(input->property("text").toString(), QStringLiteral("sk-12"));
    }

    void rowWrapsALongDetailAndKeepsItsControlBeside()
    {
        QmlScene scene;
        QVERIFY2(scene.load("import QtQuick\nimport QtQuick.Layouts\nimport Sorvane\n"
                            "ColumnLayout { width: 520; spacing: 0\n"
                            "  SettingsRow { objectName: 'short'; Layout.fillWidth: true; title: 'Version'; detail: '0.1.0' }\n"
                            "  SettingsRow { objectName: 'long'; Layout.fillWidth: true; title: 'Paste automatically'\n"
                            "    detail: 'A very long explanation of what this switch does, long enough that it has to wrap onto a second and a third line in a narrow window.'\n"
                            "    KitSwitch { objectName: 'control' } } }"),
                 scene.errors());
        settle(scene);
        auto *shortRow = scene.find("short");
        auto *longRow = scene.find("long");
        QVERIFY(shortRow && longRow);
        QVERIFY(!shortRow->property("hasTrailing").toBool());
        QVERIFY(longRow->property("hasTrailing").toBool());

        auto *detail = qobject_cast<QQuickItem *>(QmlScene::findObject(longRow, "rowDetail"));
        auto *title = qobject_cast<QQuickItem *>(QmlScene::findObject(longRow, "rowTitle"));
        auto *control = scene.find("control");
        QVERIFY(detail->property("lineCount").toInt() >= 2);
        QCOMPARE(title->property("lineCount").toInt(), 1);
        QVERIFY(longRow->height() > shortRow->height());

        const QRectF text = detail->mapRectToItem(longRow, detail->boundingRect());
        const QRectF box = control->mapRectToItem(longRow, control->boundingRect());
        QVERIFY2(box.left() - text.right() >= 12, qPrintable(QString::number(box.left() - text.right())));
        QVERIFY(box.right() <= longRow->width() + 0.5);
        // Centred beside the text block, which sits 24 below the top.
        auto *block = qobject_cast<QQuickItem *>(QmlScene::findObject(longRow, "rowText"));
        const QRectF blockBox = block->mapRectToItem(longRow, block->boundingRect());
        QVERIFY(qAbs(box.center().y() - blockBox.center().y()) <= 1);
        QCOMPARE(blockBox.top(), 24.0);

        // One line under each row, at its bottom edge.
        for (QQuickItem *row : {shortRow, longRow}) {
            auto *line = qobject_cast<QQuickItem *>(QmlScene::findObject(row, "rowLine"));
            QCOMPARE(line->height(), 1.0);
            QCOMPARE(line->mapRectToItem(row, line->boundingRect()).bottom(), row->height());
        }
    }
};

QTEST_MAIN(SettingsKitTest)
#include "tst_settings_kit.moc"
