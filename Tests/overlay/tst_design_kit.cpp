#include "Kit/Fonts.h"
#include "Kit/Palette.h"
#include "QmlScene.h"

#include <QAccessible>
#include <QSignalSpy>
#include <QTest>

using namespace sorvane;
using sorvane::test::QmlScene;

class DesignKitTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QVERIFY2(Fonts::load(), qPrintable(Fonts::searchFolders().join(u' '))); }

    void paletteHoldsTheSevenColours_data()
    {
        QTest::addColumn<QString>("member");
        QTest::addColumn<QColor>("expected");
        QTest::newRow("ink") << "sorvane" << QColor::fromRgbF(0.04f, 0.04f, 0.038f);
        QTest::newRow("signal") << "sorvaneSignal" << QColor::fromRgbF(0.875f, 1.0f, 0.263f);
        QTest::newRow("paper") << "sorvanePaper" << QColor::fromRgbF(0.949f, 0.941f, 0.914f);
        QTest::newRow("bright paper") << "sorvaneBrightPaper" << QColor::fromRgbF(0.984f, 0.98f, 0.961f);
        QTest::newRow("muted") << "sorvaneMuted" << QColor::fromRgbF(0.408f, 0.404f, 0.376f);
        QTest::newRow("body") << "sorvaneBody" << QColor::fromRgbF(0.227f, 0.224f, 0.204f);
        QTest::newRow("error") << "sorvaneError" << QColor::fromRgbF(0.76f, 0.18f, 0.14f);
    }
    void paletteHoldsTheSevenColours()
    {
        QFETCH(QString, member);
        QFETCH(QColor, expected);
        // What QML reads is what C++ reads.
        QmlScene scene;
        const QByteArray qml = "import QtQuick\nimport Sorvane\nItem { property color value: Colors." + member.toUtf8() + " }";
        QVERIFY2(scene.load(qml, QSize(10, 10)), scene.errors());
        const QColor fromQml = scene.root()->property("value").value<QColor>();
        QCOMPARE(fromQml, expected);
        QCOMPARE(fromQml.alphaF(), 1.0f);
        Palette palette;
        QCOMPARE(palette.property(member.toLatin1()).value<QColor>(), expected);
    }

    void primaryButtonIconTrailsAndQuietButtonIconLeads()
    {
        QmlScene scene;
        QVERIFY2(scene.load("import QtQuick\nimport Sorvane\nRow {\n"
                            " PrimaryButton { objectName: 'primary'; title: 'Download'; iconName: 'arrow.right' }\n"
                            " QuietButton { objectName: 'quiet'; title: 'Later'; iconName: 'xmark' }\n"
                            " PrimaryButton { objectName: 'plain'; title: 'Continue' }\n}"),
                 scene.errors());
        auto *primary = scene.find("primary");
        auto *primaryTitle = primary->findChild<QQuickItem *>("title");
        auto *primaryIcon = primary->findChild<QQuickItem *>("icon");
        QVERIFY(primaryIcon->isVisible());
        QVERIFY(primaryIcon->x() > primaryTitle->x());
        QCOMPARE(primary->height(), 42.0);
        auto *quiet = scene.find("quiet");
        QVERIFY(quiet->findChild<QQuickItem *>("icon")->x() < quiet->findChild<QQuickItem *>("title")->x());
        QCOMPARE(quiet->height(), 38.0);
        QVERIFY(!scene.find("plain")->findChild<QQuickItem *>("icon")->isVisible());
    }

    void longTitlesWidenButtonsInsteadOfWrapping()
    {
        QmlScene scene;
        QVERIFY2(scene.load("import QtQuick\nimport Sorvane\nRow {\n"
                            " PrimaryButton { objectName: 'short'; title: 'Go' }\n"
                            " PrimaryButton { objectName: 'long'; title: 'Download the balanced speech model now' }\n}"),
                 scene.errors());
        auto *shortButton = scene.find("short");
        auto *longButton = scene.find("long");
        QVERIFY(longButton->width() > shortButton->width() + 150);
        QCOMPARE(longButton->height(), 42.0);
        auto *title = longButton->findChild<QQuickItem *>("title");
        QCOMPARE(title->property("lineCount").toInt(), 1);
        QCOMPARE(longButton->width(), title->width() + 36);
    }

    void disabledPrimaryButtonDoesNotReact()
    {
        QmlScene scene;
        QVERIFY2(scene.load("import QtQuick\nimport Sorvane\nPrimaryButton { title: 'Save'; disabled: true }"),
                 scene.errors());
        QSignalSpy clicks(scene.root(), SIGNAL(clicked()));
        QTest::mouseClick(scene.window(), Qt::LeftButton, {}, scene.root()->boundingRect().center().toPoint());
        QCOMPARE(clicks.count(), 0);
        scene.root()->setProperty("disabled", false);
        QTest::mouseClick(scene.window(), Qt::LeftButton, {}, scene.root()->boundingRect().center().toPoint());
        QTRY_COMPARE_WITH_TIMEOUT(clicks.count(), 1, 10000);
    }

    void borderedRowButtonTakesClicksOnItsWholeRectangle()
    {
        QmlScene scene;
        QVERIFY2(scene.load("import QtQuick\nimport Sorvane\nBorderedRowButton { title: 'Use'; buttonHeight: 28;"
                            " horizontalPadding: 20; cornerRadius: 7; fontSize: 11 }"),
                 scene.errors());
        QCOMPARE(scene.root()->height(), 28.0);
        QSignalSpy clicks(scene.root(), SIGNAL(clicked()));
        QTest::mouseClick(scene.window(), Qt::LeftButton, {}, QPoint(3, 3));
        QTRY_COMPARE_WITH_TIMEOUT(clicks.count(), 1, 10000);
        scene.root()->setProperty("disabled", true);
        QCOMPARE(scene.root()->opacity(), 0.42);
    }

    void eyebrowShowsCapitals()
    {
        QmlScene scene;
        QVERIFY2(scene.load("import Sorvane\nEyebrow { text: 'Needs you'; size: 9; tracking: 1.1 }"), scene.errors());
        QCOMPARE(scene.read("eyebrowText", "text").toString(), QStringLiteral("NEEDS YOU"));
    }

    void ratingMeterFillsItsSteps_data()
    {
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("filled");
        QTest::newRow("none") << 0 << 0;
        QTest::newRow("negative") << -2 << 0;
        QTest::newRow("three") << 3 << 3;
        QTest::newRow("five") << 5 << 5;
        QTest::newRow("above five") << 9 << 5;
    }
    void ratingMeterFillsItsSteps()
    {
        QFETCH(int, value);
        QFETCH(int, filled);
        QmlScene scene;
        QVERIFY2(scene.load("import Sorvane\nRatingMeter { label: 'Speed'; value: " + QByteArray::number(value) + " }"),
                 scene.errors());
        int count = 0;
        for (int i = 0; i < 5; ++i)
            count += scene.read(QStringLiteral("ratingBar%1").arg(i), "filled").toBool() ? 1 : 0;
        QCOMPARE(count, filled);
    }

    void ratingMeterWithoutLabelHasOnlyTheBars()
    {
        QmlScene scene;
        QVERIFY2(scene.load("import Sorvane\nRatingMeter { label: 'Quality'; value: 4; showsLabel: false }"),
                 scene.errors());
        QVERIFY(!scene.isShown(QStringLiteral("ratingLabel")));
        QVERIFY(scene.isShown(QStringLiteral("ratingBar0")));
        // The label still names the meter for assistive technology and in its help.
        QCOMPARE(scene.root()->property("accessibleLabel").toString(),
                 QStringLiteral("Quality, 4 out of 5 relative to available models"));
        QCOMPARE(scene.root()->property("helpText").toString(),
                 QStringLiteral("Quality: 4 out of 5 relative to the models in Sorvane"));
    }

    void ratingMeterIsOneAccessibleElement()
    {
        QAccessible::setActive(true);
        QmlScene scene;
        QVERIFY2(scene.load("import Sorvane\nRatingMeter { label: 'Speed'; value: 4 }"), scene.errors());
        QAccessibleInterface *meter = QAccessible::queryAccessibleInterface(scene.root());
        QVERIFY(meter);
        QCOMPARE(meter->text(QAccessible::Name), QStringLiteral("Speed, 4 out of 5 relative to available models"));
        // Its label and bars are not read out a second time.
        QCOMPARE(meter->childCount(), 0);
        QAccessible::setActive(false);
    }

    void statusDotHasARingOnlyWhenActive()
    {
        QmlScene scene;
        QVERIFY2(scene.load("import Sorvane\nStatusDot { size: 8 }"), scene.errors());
        QCOMPARE(scene.root()->property("stroke").value<QColor>().alpha(), 0);
        scene.root()->setProperty("active", true);
        QCOMPARE(scene.root()->property("fill").value<QColor>(), Palette::sorvaneSignal());
        QVERIFY(scene.root()->property("stroke").value<QColor>().alpha() > 0);
    }

    void modelGlyphScalesWithItsSize()
    {
        QmlScene scene;
        QVERIFY2(scene.load("import Sorvane\nModelGlyph { modelId: 'velocity'; size: 40 }"), scene.errors());
        QCOMPARE(scene.root()->width(), 40.0);
        QCOMPARE(scene.read("glyphBackground", "radius").toDouble(), 12.0);
        QCOMPARE(scene.read("glyphSymbol", "size").toDouble(), 16.0);
        QCOMPARE(scene.read("glyphSymbol", "name").toString(), QStringLiteral("bird.fill"));
        QCOMPARE(scene.read("glyphSymbol", "color").value<QColor>(), Palette::rgb(0.2, 0.57, 0.82));
    }

    void bannerKeepsTwoLinesAndItsDismissButton()
    {
        QmlScene scene;
        QVERIFY2(scene.load("import Sorvane\nErrorResolutionBanner { message: '" + QByteArray("word ").repeated(80)
                                + "' }",
                            QSize(420, 80)),
                 scene.errors());
        QSignalSpy dismissed(scene.root(), SIGNAL(dismiss()));
        QCOMPARE(scene.read("message", "lineCount").toInt(), 2);
        auto *message = scene.find("message");
        auto *button = scene.find("dismissButton");
        const qreal messageRight = message->mapToItem(scene.root(), QPointF(message->width(), 0)).x();
        const qreal buttonLeft = button->mapToItem(scene.root(), QPointF(0, 0)).x();
        QVERIFY2(buttonLeft - messageRight >= 12, qPrintable(QStringLiteral("%1 %2").arg(messageRight).arg(buttonLeft)));
        const QPointF centre = button->mapToScene(button->boundingRect().center());
        QTest::mouseClick(scene.window(), Qt::LeftButton, {}, centre.toPoint());
        QTRY_COMPARE_WITH_TIMEOUT(dismissed.count(), 1, 10000);
    }

    void bannerKeepsAShortMessageOnOneLineWhereItHasRoom()
    {
        QmlScene scene;
        QVERIFY2(scene.load("import Sorvane\nErrorResolutionBanner { message: 'Download the selected speech model first.' }",
                            QSize(750, 60)),
                 scene.errors());
        auto *message = scene.find("message");
        QTRY_COMPARE_WITH_TIMEOUT(scene.read("message", "lineCount").toInt(), 1, 10000);
        QVERIFY(message->width() >= message->implicitWidth());
    }

    void halfSizesKeepTheirFraction()
    {
        const QFont half = Fonts::font(12.5, QFont::DemiBold);
        const QFont whole = Fonts::font(12, QFont::DemiBold);
        QVERIFY(half.pointSizeF() > whole.pointSizeF());
        QCOMPARE(half.family(), QStringLiteral("Inter"));
        QCOMPARE(QFontInfo(half).family(), QStringLiteral("Inter"));
    }
};

QTEST_MAIN(DesignKitTest)
#include "tst_design_kit.moc"
