// The search for the focused element over a tree in memory: its order, what it does
// not enter, and the time and element limits that end it.
#include "Platform/DBus/FocusSearch.h"

#include <QHash>
#include <QTest>

using namespace sorvane;
using namespace std::chrono_literals;

namespace {

constexpr quint64 showing = quint64(1) << atspistate::showing;
constexpr quint64 focused = quint64(1) << atspistate::focused;

AccessibleElement element(const QString &path)
{
    return {QStringLiteral(":1.9"), path};
}

// Every element shows and has three children ("/w" -> "/w/0", "/w/1", "/w/2") down to
// `depth` levels below the window, or without end. Each element asked about is counted.
struct Tree {
    int depth = -1;
    QHash<QString, quint64> statesByPath;
    int visited = 0;

    AccessibleTreeReader reader()
    {
        return {[this](const AccessibleElement &e) -> std::optional<quint64> {
                    ++visited;
                    return statesByPath.value(e.path, showing);
                },
                [this](const AccessibleElement &e) -> std::optional<QList<AccessibleElement>> {
                    if (depth >= 0 && e.path.count(QLatin1Char('/')) > depth)
                        return QList<AccessibleElement>{};
                    return QList<AccessibleElement>{element(e.path + QStringLiteral("/0")),
                                                    element(e.path + QStringLiteral("/1")),
                                                    element(e.path + QStringLiteral("/2"))};
                }};
    }
};

} // namespace

class FocusSearchTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void findsTheFocusedElement_data()
    {
        // Focused are /w/0/1 and /w/1/2; the first one found wins.
        QTest::addColumn<quint64>("firstChildStates");
        QTest::addColumn<QString>("found");
        QTest::newRow("depth first") << showing << "/w/0/1";
        QTest::newRow("not showing") << quint64(0) << "/w/1/2";
        QTest::newRow("defunct") << (showing | (quint64(1) << atspistate::defunct)) << "/w/1/2";
        QTest::newRow("manages descendants") << (showing | (quint64(1) << atspistate::managesDescendants)) << "/w/1/2";
    }

    void findsTheFocusedElement()
    {
        QFETCH(quint64, firstChildStates);
        QFETCH(QString, found);
        Tree tree{2};
        tree.statesByPath.insert(QStringLiteral("/w/0"), firstChildStates);
        tree.statesByPath.insert(QStringLiteral("/w/0/1"), showing | focused);
        tree.statesByPath.insert(QStringLiteral("/w/1/2"), showing | focused);
        FocusSearchLimit limit(1h, 4000);
        QCOMPARE(searchFocusedElement(element(QStringLiteral("/w")), tree.reader(), limit), std::optional(element(found)));
    }

    void theElementLimitEndsTheSearch()
    {
        Tree tree;
        FocusSearchLimit limit(1h, 25);
        QCOMPARE(searchFocusedElement(element(QStringLiteral("/w")), tree.reader(), limit), std::nullopt);
        QCOMPARE(tree.visited, 25);
        QVERIFY(limit.isExhausted());
        // The limit is shared: the next window is not searched at all.
        QCOMPARE(searchFocusedElement(element(QStringLiteral("/v")), tree.reader(), limit), std::nullopt);
        QCOMPARE(tree.visited, 25);
    }

    void theTimeLimitEndsTheSearch()
    {
        // A tree too large to search to its end: only the time limit can stop it.
        Tree tree;
        FocusSearchLimit expired(0ms, std::numeric_limits<int>::max());
        QCOMPARE(searchFocusedElement(element(QStringLiteral("/w")), tree.reader(), expired), std::nullopt);
        QCOMPARE(tree.visited, 0);

        FocusSearchLimit shortTime(50ms, std::numeric_limits<int>::max());
        QCOMPARE(searchFocusedElement(element(QStringLiteral("/w")), tree.reader(), shortTime), std::nullopt);
        QVERIFY(shortTime.isExhausted());
        QVERIFY(tree.visited > 0);
    }
};

QTEST_APPLESS_MAIN(FocusSearchTest)
#include "tst_focus_search.moc"
