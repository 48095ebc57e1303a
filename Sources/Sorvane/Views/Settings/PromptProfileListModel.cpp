#include "PromptProfileListModel.h"

#include "State/AppState.h"

namespace sorvane {

PromptProfileListModel::PromptProfileListModel(QObject *parent) : KeyedListModel<PromptProfileRow>(parent)
{
    connect(this, &QAbstractItemModel::rowsInserted, this, &PromptProfileListModel::countChanged);
    connect(this, &QAbstractItemModel::rowsRemoved, this, &PromptProfileListModel::countChanged);
}

void PromptProfileListModel::setState(AppState *state)
{
    if (m_state == state)
        return;
    disconnect(m_connection);
    m_state = state;
    if (state)
        m_connection = connect(state, &AppState::agentSettingsChanged, this, &PromptProfileListModel::reload);
    reload();
    Q_EMIT stateChanged();
}

void PromptProfileListModel::reload()
{
    QList<PromptProfileRow> rows;
    if (m_state)
        for (const AgentPromptProfile &profile : m_state->agentSettings().promptProfiles)
            rows.append(PromptProfileRow{profile});
    replaceRows(rows);
}

QVariant PromptProfileListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rows().size())
        return {};
    const AgentPromptProfile &profile = rows().at(index.row()).profile;
    switch (role) {
    case IdRole: return profile.idText();
    case NameRole: return profile.name;
    case PromptRole: return profile.prompt;
    case ShortcutRole: return QVariant::fromValue(profile.shortcut);
    default: return {};
    }
}

QHash<int, QByteArray> PromptProfileListModel::roleNames() const
{
    return {{IdRole, "profileId"}, {NameRole, "name"}, {PromptRole, "prompt"}, {ShortcutRole, "shortcut"}};
}

template <typename F>
void PromptProfileListModel::edit(const QString &id, F &&change)
{
    if (!m_state)
        return;
    AgentSettings settings = m_state->agentSettings();
    const QUuid key(id);
    for (AgentPromptProfile &profile : settings.promptProfiles) {
        if (profile.id == key) {
            change(profile);
            m_state->setAgentSettings(settings);
            return;
        }
    }
}

void PromptProfileListModel::setName(const QString &id, const QString &name)
{
    edit(id, [&](AgentPromptProfile &profile) { profile.name = name; });
}

void PromptProfileListModel::setPrompt(const QString &id, const QString &prompt)
{
    edit(id, [&](AgentPromptProfile &profile) { profile.prompt = prompt; });
}

void PromptProfileListModel::setShortcut(const QString &id, const KeyboardShortcutSetting &shortcut)
{
    edit(id, [&](AgentPromptProfile &profile) { profile.shortcut = shortcut; });
}

void PromptProfileListModel::remove(const QString &id)
{
    if (!m_state)
        return;
    m_state->removePromptProfile(QUuid(id));
}

} // namespace sorvane
