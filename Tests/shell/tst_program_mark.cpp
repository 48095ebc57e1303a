#include "Kit/Palette.h"
#include "Kit/ProgramMark.h"
#include "TestPaths.h"

#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QTest>

using namespace sorvane;
using namespace sorvane::testing;

namespace {

QString share()
{
    return buildDirectory() + QStringLiteral("/share");
}

QByteArray hex(const QColor &colour)
{
    return colour.name(QColor::HexRgb).toLatin1();
}

} // namespace

// One mark for the program: the installed bitmaps are the drawn mark, the scalable icon
// has the kit's colours, and the desktop entry names that icon.
class ProgramMarkTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void bitmapsAreTheDrawnMark_data()
    {
        QTest::addColumn<int>("size");
        for (const int size : {16, 24, 32, 48, 64, 128, 256, 512})
            QTest::addRow("%d", size) << size;
    }
    void bitmapsAreTheDrawnMark()
    {
        QFETCH(int, size);
        const QString file = share() + QStringLiteral("/icons/hicolor/%1x%1/apps/com.sorvane.local.png").arg(size);
        QImage installed(file);
        QVERIFY2(!installed.isNull(), qPrintable(file));
        QCOMPARE(installed.size(), QSize(size, size));
        const QImage drawn = ProgramMark::image(size);
        QCOMPARE(installed.convertToFormat(QImage::Format_ARGB32), drawn.convertToFormat(QImage::Format_ARGB32));
        // Ink tile with a transparent margin, a signal bar through the middle.
        QCOMPARE(qAlpha(drawn.pixel(0, 0)), 0);
        const QColor tile = drawn.pixelColor(size / 2, qMax(1, size / 8) + qMax(1, size / 16));
        QCOMPARE(tile.name(), Palette::sorvane().name());
        // The bars are thinner than a pixel at the smallest sizes: their colour is blended there.
        if (size >= 48)
            QCOMPARE(drawn.pixelColor(size / 2, size / 2).name(), Palette::sorvaneSignal().name());
    }

    void scalableIconHasTheKitsColours()
    {
        QFile svg(share() + QStringLiteral("/icons/hicolor/scalable/apps/com.sorvane.local.svg"));
        QVERIFY(svg.open(QIODevice::ReadOnly));
        const QByteArray text = svg.readAll();
        QVERIFY2(text.contains(hex(Palette::sorvane())), text.constData());
        QVERIFY2(text.contains(hex(Palette::sorvaneSignal())), text.constData());
        QVERIFY(!text.contains("Gradient"));
        QVERIFY(QFile::exists(share() + QStringLiteral("/icons/hicolor/symbolic/apps/com.sorvane.local-symbolic.svg")));
    }

    void desktopEntryNamesTheIcon()
    {
        QFile entry(share() + QStringLiteral("/applications/com.sorvane.local.desktop"));
        QVERIFY(entry.open(QIODevice::ReadOnly));
        QVERIFY(entry.readAll().split('\n').contains("Icon=com.sorvane.local"));
    }

    void windowIconIsTheMark()
    {
        const QIcon icon = ProgramMark::icon();
        QVERIFY(!icon.isNull());
        const QImage shown = icon.pixmap(64, 64).toImage();
        QCOMPARE(shown.pixelColor(32, 32).name(), Palette::sorvaneSignal().name());
    }
};

QTEST_MAIN(ProgramMarkTest)
#include "tst_program_mark.moc"
