// The keyed list's change from one list of rows to the next: the rows it ends with, and
// that a row present before and after keeps its index object (so a view keeps its
// delegate and its scroll position) unless the change is a reset.
#include "MainWindow/KeyedListModel.h"

#include <QAbstractItemModelTester>
#include <QPersistentModelIndex>
#include <QSignalSpy>
#include <QTest>

using namespace sorvane;

namespace {

struct Row {
    int id = 0;
    QString text;
    int key() const { return id; }
    friend bool operator==(const Row &, const Row &) = default;
};

class RowList : public KeyedListModel<Row> {
public:
    using KeyedListModel<Row>::KeyedListModel;
    using KeyedListModel<Row>::replaceRows;
    QVariant data(const QModelIndex &index, int role) const override
    {
        if (!index.isValid() || role != Qt::DisplayRole)
            return {};
        return rows().at(index.row()).text;
    }
};

QList<Row> rowsOf(const QList<int> &ids, const QString &text = QStringLiteral("row"))
{
    QList<Row> rows;
    for (int id : ids)
        rows.append({id, text + QString::number(id)});
    return rows;
}

QList<int> range(int from, int to, int step = 1)
{
    QList<int> ids;
    for (int id = from; id <= to; id += step)
        ids.append(id);
    return ids;
}

} // namespace

class KeyedListModelTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void changesIntoTheNextRows_data()
    {
        QTest::addColumn<QList<int>>("before");
        QTest::addColumn<QList<int>>("after");
        QTest::addColumn<bool>("reset");

        QTest::newRow("narrowed to a few runs") << range(1, 10) << QList<int>{1, 2, 5, 6, 10} << false;
        QTest::newRow("widened back") << QList<int>{1, 2, 5, 6, 10} << range(1, 10) << false;
        QTest::newRow("the same rows") << range(1, 6) << range(1, 6) << false;
        QTest::newRow("one moved to the top") << QList<int>{1, 2, 3, 4} << QList<int>{4, 1, 2, 3} << false;
        QTest::newRow("one gone, one new") << QList<int>{1, 2, 3, 4} << QList<int>{1, 3, 4, 9} << false;
        QTest::newRow("same length, other rows") << QList<int>{1, 2, 3} << QList<int>{4, 5, 6} << false;
        QTest::newRow("longer, other rows") << QList<int>{1, 2, 3} << QList<int>{4, 5, 6, 7} << false;
        QTest::newRow("widened, one gone") << QList<int>{1, 2, 3} << QList<int>{1, 3, 4, 5} << false;
        QTest::newRow("reversed") << range(1, 8) << QList<int>{8, 7, 6, 5, 4, 3, 2, 1} << false;
        QTest::newRow("a long list narrowed to every other row") << range(1, 1200) << range(1, 1200, 2) << true;
        QTest::newRow("and widened back") << range(1, 1200, 2) << range(1, 1200) << true;
        QTest::newRow("a long list narrowed to its first half") << range(1, 1200) << range(1, 600) << false;
    }

    void changesIntoTheNextRows()
    {
        QFETCH(QList<int>, before);
        QFETCH(QList<int>, after);
        QFETCH(bool, reset);

        RowList model;
        model.replaceRows(rowsOf(before));
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
        QList<QPersistentModelIndex> held;
        for (int row = 0; row < model.rowCount(); ++row)
            held.append(QPersistentModelIndex(model.index(row)));

        model.replaceRows(rowsOf(after));

        QCOMPARE(model.rows(), rowsOf(after));
        QCOMPARE(resets.size(), reset ? 1 : 0);
        if (reset)
            return;
        // A row that stayed in order among the others is the same row at its new place;
        // a row that left has no place any more.
        for (int i = 0; i < held.size(); ++i) {
            if (!held[i].isValid())
                continue;
            QCOMPARE(model.rows().at(held[i].row()).id, before.at(i));
        }
        int stayed = 0;
        for (const QPersistentModelIndex &index : held)
            stayed += index.isValid() ? 1 : 0;
        int common = 0;
        for (int id : before)
            common += after.contains(id) ? 1 : 0;
        QVERIFY(stayed <= common);
        if (std::is_sorted(after.begin(), after.end()) && std::is_sorted(before.begin(), before.end()))
            QCOMPARE(stayed, common); // in one order, every common row stays where it was
    }

    // A row whose content changed in place is a data change of that row alone.
    void changedContentIsADataChangeOfItsRow()
    {
        RowList model;
        model.replaceRows(rowsOf({1, 2, 3}));
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        QList<Row> next = rowsOf({1, 2, 3});
        next[1].text = QStringLiteral("edited");
        model.replaceRows(next);
        QCOMPARE(model.rows(), next);
        QCOMPARE(changed.size(), 1);
        QCOMPARE(changed.first().at(0).toModelIndex().row(), 1);
    }
};

QTEST_GUILESS_MAIN(KeyedListModelTest)
#include "tst_keyed_list_model.moc"
