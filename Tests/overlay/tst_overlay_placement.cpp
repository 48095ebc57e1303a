#include "Overlay/OverlayPlacement.h"

#include <QTest>
#include <limits>

using namespace sorvane;
using namespace sorvane::OverlayPlacement;

Q_DECLARE_METATYPE(sorvane::OverlayPlacement::Fractions)

class OverlayPlacementTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void defaultPlaceIsCentredBelowTheTop()
    {
        // A 1440 × 875 area: the 318 × 64 panel's bottom-left corner in upward
        // coordinates is (561, 739), that is its top 72 below the area's top.
        const QRectF area(0, 25, 1440, 875);
        const QPointF place = defaultOrigin(QSizeF(318, 64), area);
        QCOMPARE(place, QPointF(561, 97));
        QCOMPARE(area.bottom() - (place.y() + 64), 739.0);
    }

    void fractionsAndOrigins_data()
    {
        QTest::addColumn<QRectF>("area");
        QTest::addColumn<QRectF>("frame");
        QTest::addColumn<Fractions>("fractions");
        const QRectF area(0, 0, 1440, 900);
        QTest::newRow("top left") << area << QRectF(0, 0, 318, 64) << Fractions{0, 1};
        QTest::newRow("bottom right") << area << QRectF(1122, 836, 318, 64) << Fractions{1, 0};
        QTest::newRow("middle") << area << QRectF(561, 418, 318, 64) << Fractions{0.5, 0.5};
        QTest::newRow("a quarter up") << area << QRectF(0, 627, 318, 64) << Fractions{0, 0.25};
        // A second screen left of and above the primary one has negative coordinates.
        QTest::newRow("screen to the left") << QRectF(-1280, 0, 1280, 1024) << QRectF(-640 - 159, 960, 318, 64)
                                            << Fractions{0.5, 0};
        QTest::newRow("screen above") << QRectF(0, -1080, 1920, 1080) << QRectF(1602, -1080, 318, 64)
                                      << Fractions{1, 1};
    }
    void fractionsAndOrigins()
    {
        QFETCH(QRectF, area);
        QFETCH(QRectF, frame);
        QFETCH(Fractions, fractions);
        const Fractions found = relativePosition(frame, area);
        QCOMPARE(found.x, fractions.x);
        QCOMPARE(found.y, fractions.y);
        QCOMPARE(origin(fractions, frame.size(), area), frame.topLeft());
    }

    void outsideTheAreaClampsToItsEdges()
    {
        const QRectF area(0, 0, 1000, 800);
        const Fractions beyond = relativePosition(QRectF(2000, 2000, 100, 40), area);
        QCOMPARE(beyond.x, 1.0);
        QCOMPARE(beyond.y, 0.0);
        QCOMPARE(origin({1.7, -3}, QSizeF(100, 40), area), QPointF(900, 760));
    }

    void noFreeRoomGivesAHalf()
    {
        const QRectF area(0, 0, 300, 50);
        const Fractions fractions = relativePosition(QRectF(0, 0, 318, 64), area);
        QCOMPARE(fractions.x, 0.5);
        QCOMPARE(fractions.y, 0.5);
        // With no room the panel sits at the area's corner.
        QCOMPARE(origin(fractions, QSizeF(318, 64), area), QPointF(0, 0));
    }

    void smallerScreenKeepsTheEdges()
    {
        const Fractions rightBottom = relativePosition(QRectF(1122, 836, 318, 64), QRectF(0, 0, 1440, 900));
        QCOMPARE(origin(rightBottom, QSizeF(318, 64), QRectF(0, 0, 1024, 700)), QPointF(1024 - 318, 700 - 64));
    }

    void constrained_data()
    {
        QTest::addColumn<QRectF>("frame");
        QTest::addColumn<QPointF>("expected");
        QTest::newRow("inside stays") << QRectF(100, 100, 318, 64) << QPointF(100, 100);
        QTest::newRow("past the right") << QRectF(1300, 100, 318, 64) << QPointF(1122, 100);
        QTest::newRow("above the top") << QRectF(100, -50, 318, 64) << QPointF(100, 0);
        QTest::newRow("wider than the area") << QRectF(40, 100, 2000, 64) << QPointF(720 - 1000, 100);
    }
    void constrained()
    {
        QFETCH(QRectF, frame);
        QFETCH(QPointF, expected);
        QCOMPARE(constrainedOrigin(frame, QRectF(0, 0, 1440, 900)), expected);
    }

    void bestScreenTakesTheLargestOverlap()
    {
        const QList<QRectF> areas{QRectF(0, 0, 1000, 800), QRectF(1000, 0, 1000, 800)};
        QCOMPARE(bestScreen(QRectF(900, 10, 300, 50), areas), std::optional<int>(1));
        QCOMPARE(bestScreen(QRectF(850, 10, 300, 50), areas), std::optional<int>(0));
        // A tie goes to the screen listed first.
        QCOMPARE(bestScreen(QRectF(900, 10, 200, 50), areas), std::optional<int>(0));
        QCOMPARE(bestScreen(QRectF(5000, 10, 200, 50), areas), std::optional<int>());
        QCOMPARE(bestScreen(QRectF(0, 0, 10, 10), {}), std::optional<int>());
    }

    void storedFractionsMustBeFinite_data()
    {
        QTest::addColumn<std::optional<double>>("x");
        QTest::addColumn<std::optional<double>>("y");
        QTest::addColumn<bool>("present");
        const double nan = std::numeric_limits<double>::quiet_NaN();
        const double inf = std::numeric_limits<double>::infinity();
        QTest::newRow("both") << std::optional<double>(0.2) << std::optional<double>(0.7) << true;
        QTest::newRow("outside 0…1 is still a place") << std::optional<double>(3.0) << std::optional<double>(-1.0) << true;
        QTest::newRow("x only") << std::optional<double>(0.2) << std::optional<double>() << false;
        QTest::newRow("y only") << std::optional<double>() << std::optional<double>(0.2) << false;
        QTest::newRow("nan") << std::optional<double>(nan) << std::optional<double>(0.2) << false;
        QTest::newRow("infinity") << std::optional<double>(0.2) << std::optional<double>(inf) << false;
    }
    void storedFractionsMustBeFinite()
    {
        QFETCH(std::optional<double>, x);
        QFETCH(std::optional<double>, y);
        QFETCH(bool, present);
        QCOMPARE(storedFractions(x, y).has_value(), present);
    }

    void legacyOriginCountsUpFromThePrimaryBottom()
    {
        // Old origin (561, 739) on a 1440 × 900 primary screen: the panel's top is at
        // 900 − 739 − 64 = 97 in Qt's coordinates.
        QCOMPARE(legacyFrame(QPointF(561, 739), QSizeF(318, 64), QRectF(0, 0, 1440, 900)),
                 QRectF(561, 97, 318, 64));
    }
};

QTEST_GUILESS_MAIN(OverlayPlacementTest)
#include "tst_overlay_placement.moc"
