#include "MainWindow/TermListModel.h"

#include <QSet>

namespace sorvane {

QStringList TermListModel::terms() const
{
    QStringList result;
    for (const TermRow &row : rows())
        result.append(row.term);
    return result;
}

void TermListModel::setTerms(const QStringList &terms)
{
    QList<TermRow> next;
    QSet<QString> seen;
    for (const QString &term : terms)
        if (!seen.contains(term)) {
            seen.insert(term);
            next.append({term});
        }
    if (next == rows())
        return;
    replaceRows(next);
    Q_EMIT termsChanged();
}

QVariant TermListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() < 0 || index.row() >= rowCount())
        return {};
    if (role == TermRole || role == Qt::DisplayRole)
        return rows().at(index.row()).term;
    return {};
}

QHash<int, QByteArray> TermListModel::roleNames() const
{
    return {{TermRole, "term"}};
}

} // namespace sorvane
