#pragma once

#include "Command/AgentSettings.h"
#include "MainWindow/KeyedListModel.h"

#include <QPointer>
#include <QtQml/qqmlregistration.h>

namespace sorvane {

class AppState;

struct PromptProfileRow {
    AgentPromptProfile profile;
    QUuid key() const { return profile.id; }
    friend bool operator==(const PromptProfileRow &, const PromptProfileRow &) = default;
};

// The Command profiles of the Shortcuts area, one row per profile keyed by its id: an
// edit changes its row in place, so the editors keep their focus and cursor while the
// user types (a list republished on every keystroke would rebuild them). Edits are
// written back into the state's Command settings at once.
class PromptProfileListModel : public KeyedListModel<PromptProfileRow> {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(sorvane::AppState *stateObject READ state WRITE setState NOTIFY stateChanged)
    Q_PROPERTY(int count READ count NOTIFY countChanged)

public:
    enum Role { IdRole = Qt::UserRole + 1, NameRole, PromptRole, ShortcutRole };

    explicit PromptProfileListModel(QObject *parent = nullptr);

    AppState *state() const { return m_state; }
    void setState(AppState *state);
    int count() const { return rowCount(); }

    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    Q_INVOKABLE void setName(const QString &id, const QString &name);
    Q_INVOKABLE void setPrompt(const QString &id, const QString &prompt);
    Q_INVOKABLE void setShortcut(const QString &id, const sorvane::KeyboardShortcutSetting &shortcut);
    Q_INVOKABLE void remove(const QString &id);

Q_SIGNALS:
    void stateChanged();
    void countChanged();

private:
    void reload();
    template <typename F>
    void edit(const QString &id, F &&change);

    QPointer<AppState> m_state;
    QMetaObject::Connection m_connection;
};

} // namespace sorvane
