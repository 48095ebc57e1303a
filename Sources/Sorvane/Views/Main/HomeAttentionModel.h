#pragma once

#include "State/AppState.h"
#include "MainWindow/HomeAttention.h"
#include "MainWindow/KeyedListModel.h"

#include <QPointer>
#include <QtQml/qqmlregistration.h>

namespace sorvane {

// The home screen's "Needs you" list over the application state: rebuilt whenever a
// value it depends on is published, row by row; each row's button runs its action.
class HomeAttentionModel : public KeyedListModel<AttentionItem> {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(sorvane::AppState *state READ state WRITE setState NOTIFY stateChanged)
    Q_PROPERTY(int count READ count NOTIFY countChanged)

public:
    enum Role { ItemIdRole = Qt::UserRole + 1, TitleRole, DetailRole, ActionTitleRole };

    explicit HomeAttentionModel(QObject *parent = nullptr);

    AppState *state() const { return m_state; }
    void setState(AppState *state);
    int count() const { return rowCount(); }

    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    // What the list reads of the state.
    static AttentionInputs inputsOf(const AppState &state);

    // Runs the action of the item with this id (the row's button).
    Q_INVOKABLE void activate(const QString &itemId);
    // Reads the state again: the model file's presence is a file-system test that no
    // signal announces.
    Q_INVOKABLE void refresh();

Q_SIGNALS:
    void stateChanged();
    void countChanged();

private:
    QPointer<AppState> m_state;
};

} // namespace sorvane
