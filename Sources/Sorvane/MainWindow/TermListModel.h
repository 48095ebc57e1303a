#pragma once

#include "MainWindow/KeyedListModel.h"

#include <QStringList>

namespace sorvane {

struct TermRow {
    QString term;
    const QString &key() const { return term; }
    friend bool operator==(const TermRow &, const TermRow &) = default;
};

// A list of distinct texts (the vocabulary) as a list model that follows each new
// list by row insertions and removals, so an added term appears in its place.
class TermListModel : public KeyedListModel<TermRow> {
    Q_OBJECT
    Q_PROPERTY(QStringList terms READ terms WRITE setTerms NOTIFY termsChanged)
    Q_PROPERTY(int count READ count NOTIFY termsChanged)

public:
    enum Role { TermRole = Qt::UserRole + 1 };
    using KeyedListModel<TermRow>::KeyedListModel;

    QStringList terms() const;
    // Repeated texts are shown once.
    void setTerms(const QStringList &terms);
    int count() const { return rowCount(); }

    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

Q_SIGNALS:
    void termsChanged();
};

} // namespace sorvane
