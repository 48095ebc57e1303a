#pragma once

#include <QAbstractListModel>
#include <QHash>
#include <QList>
#include <type_traits>

namespace sorvane {

// A list model whose rows each have a key and that moves from one list of rows to
// the next by row removals, insertions and data changes, so a view keeps its scroll
// position, its delegates and its running edits. Only a change that would take many
// separate removals and insertions (a search that narrows a long list to every tenth
// row) is a reset: row by row it would cost the square of the length.
// Row is a value with `key()` returning a hashable key and operator==.
template <typename Row>
class KeyedListModel : public QAbstractListModel {
public:
    using QAbstractListModel::QAbstractListModel;

    static constexpr qsizetype maxRuns = 256;
    static constexpr qsizetype maxMovedRows = 4'000'000;

    int rowCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : int(m_rows.size()); }
    const QList<Row> &rows() const { return m_rows; }

protected:
    // Changes the rows into `next`. Rows that leave are removed, rows that keep their
    // order stay (with a data change when their content differs), rows that arrive or
    // change places are inserted.
    void replaceRows(const QList<Row> &next)
    {
        // The very rows shown already (a search cleared twice over a long list): nothing
        // to compare.
        if (m_rows.isSharedWith(next))
            return;
        // Filling an empty list, or emptying one: one run, nothing to match.
        if (m_rows.isEmpty() || next.isEmpty()) {
            if (!m_rows.isEmpty()) {
                beginRemoveRows({}, 0, int(m_rows.size()) - 1);
                m_rows.clear();
                endRemoveRows();
            } else if (!next.isEmpty()) {
                beginInsertRows({}, 0, int(next.size()) - 1);
                m_rows = next;
                endInsertRows();
            }
            return;
        }
        // Which rows stay, and how many separate removals and insertions the change takes.
        QList<bool> keep(m_rows.size(), false);
        qsizetype runs = 0;
        if (!planAsSubsequence(next, keep, runs))
            planByKeys(next, keep, runs);
        // Each run moves the rows after it: a long list affords fewer runs.
        if (runs > maxRuns || runs * (m_rows.size() + next.size()) > maxMovedRows) {
            beginResetModel();
            m_rows = next;
            endResetModel();
            return;
        }

        for (qsizetype end = m_rows.size() - 1; end >= 0;) {
            if (keep[end]) {
                --end;
                continue;
            }
            qsizetype first = end;
            while (first > 0 && !keep[first - 1])
                --first;
            beginRemoveRows({}, int(first), int(end));
            m_rows.remove(first, end - first + 1);
            endRemoveRows();
            end = first - 1;
        }

        // What is left is in the order of `next`: insert what is missing, in runs.
        qsizetype row = 0;
        for (qsizetype i = 0; i < next.size();) {
            if (row < m_rows.size() && m_rows[row].key() == next[i].key()) {
                if (!(m_rows[row] == next[i])) {
                    m_rows[row] = next[i];
                    const QModelIndex changed = index(int(row));
                    Q_EMIT dataChanged(changed, changed);
                }
                ++row;
                ++i;
                continue;
            }
            qsizetype runEnd = i;
            while (runEnd < next.size() && !(row < m_rows.size() && m_rows[row].key() == next[runEnd].key()))
                ++runEnd;
            beginInsertRows({}, int(row), int(row + (runEnd - i) - 1));
            m_rows.insert(row, runEnd - i, Row{});
            for (qsizetype k = i; k < runEnd; ++k)
                m_rows[row + (k - i)] = next[k];
            endInsertRows();
            row += runEnd - i;
            i = runEnd;
        }
    }

    // Puts one row in at `position` (0 … rowCount()): a single insertion, whatever the
    // length of the list.
    void insertRowAt(qsizetype position, const Row &row)
    {
        beginInsertRows({}, int(position), int(position));
        m_rows.insert(position, row);
        endInsertRows();
    }

    // Tells the views that every row's derived texts may read differently now.
    void refreshAllRows()
    {
        if (!m_rows.isEmpty())
            Q_EMIT dataChanged(index(0), index(int(m_rows.size()) - 1));
    }

private:
    // The usual changes of a search, found in one pass over both lists without an index:
    // a narrower search keeps some of the rows in their order (`next` is a subsequence of
    // the rows), a wider one brings rows back between them (the rows are a subsequence
    // of `next`). False when the change is neither.
    bool planAsSubsequence(const QList<Row> &next, QList<bool> &keep, qsizetype &runs) const
    {
        const bool narrowing = next.size() <= m_rows.size();
        const QList<Row> &longer = narrowing ? m_rows : next;
        const QList<Row> &shorter = narrowing ? next : m_rows;
        qsizetype matched = 0;
        QList<bool> inShorter(longer.size(), false);
        for (qsizetype i = 0; i < longer.size() && matched < shorter.size(); ++i) {
            if (longer[i].key() == shorter[matched].key()) {
                inShorter[i] = true;
                ++matched;
            }
        }
        if (matched != shorter.size())
            return false;
        // The rows of the longer list that the shorter one lacks leave (narrowing) or
        // arrive (widening), in runs.
        runs = 0;
        for (qsizetype i = 0; i < longer.size(); ++i)
            if (!inShorter[i] && (i == 0 || inShorter[i - 1]))
                ++runs;
        if (narrowing)
            keep = std::move(inShorter);
        else
            keep.fill(true);
        return true;
    }

    // Any other change: the rows still wanted and still in order among themselves stay,
    // found through an index of `next` by key.
    void planByKeys(const QList<Row> &next, QList<bool> &keep, qsizetype &runs) const
    {
        using Key = std::decay_t<decltype(std::declval<Row>().key())>;
        QHash<Key, qsizetype> nextIndex;
        nextIndex.reserve(next.size());
        for (qsizetype i = 0; i < next.size(); ++i)
            nextIndex.insert(next[i].key(), i);

        // Keep the rows that are still wanted and still in order among themselves;
        // every other row is removed.
        qsizetype lastKept = -1;
        for (qsizetype i = 0; i < m_rows.size(); ++i) {
            const auto found = nextIndex.constFind(m_rows[i].key());
            if (found != nextIndex.cend() && *found > lastKept) {
                keep[i] = true;
                lastKept = *found;
            }
        }
        runs = 0;
        QList<bool> arrives(next.size(), true);
        for (qsizetype i = 0; i < m_rows.size(); ++i) {
            if (keep[i])
                arrives[nextIndex.value(m_rows[i].key())] = false;
            else if (i == 0 || keep[i - 1])
                ++runs;
        }
        for (qsizetype i = 0; i < next.size(); ++i)
            if (arrives[i] && (i == 0 || !arrives[i - 1]))
                ++runs;
    }

    QList<Row> m_rows;
};

} // namespace sorvane
