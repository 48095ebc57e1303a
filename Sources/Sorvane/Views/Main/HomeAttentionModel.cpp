#include "HomeAttentionModel.h"

namespace sorvane {

HomeAttentionModel::HomeAttentionModel(QObject *parent) : KeyedListModel<AttentionItem>(parent) {}

void HomeAttentionModel::setState(AppState *state)
{
    if (state == m_state)
        return;
    if (m_state)
        disconnect(m_state, nullptr, this, nullptr);
    m_state = state;
    if (m_state) {
        for (auto signal : {&AppState::accessibilityGrantedChanged, &AppState::microphoneGrantedChanged,
                            &AppState::pendingPreferredSpeechModelIDChanged,
                            &AppState::preferredSpeechModelDownloadErrorChanged, &AppState::selectedModelChanged,
                            &AppState::selectedModelIDChanged, &AppState::canDictateChanged,
                            &AppState::selectedAgentModelChanged, &AppState::configuredCloudProvidersChanged,
                            &AppState::agentSettingsChanged})
            connect(m_state, signal, this, &HomeAttentionModel::refresh);
        connect(&m_state->modelStore(), &ModelStore::revisionChanged, this, &HomeAttentionModel::refresh);
    }
    refresh();
    Q_EMIT stateChanged();
}

AttentionInputs HomeAttentionModel::inputsOf(const AppState &state)
{
    AttentionInputs inputs;
    inputs.accessibilityGranted = state.accessibilityGranted();
    inputs.accessibilityGrantSeen = state.accessibilityGrantSeen();
    inputs.microphoneGranted = state.microphoneGranted();
    inputs.onboardingModelPending = state.pendingPreferredSpeechModelID().has_value();
    inputs.preferredSpeechModelDownloadError = state.preferredSpeechModelDownloadError();
    const std::optional<SpeechModel> model = state.selectedModel();
    inputs.speechModelSelected = model.has_value();
    inputs.selectedModelFileExists = model && state.modelStore().isPresent(*model);
    if (const auto agentModel = state.selectedAgentModel())
        inputs.selectedAgentModelProvider = agentModel->provider;
    inputs.configuredCloudProviders = state.configuredCloudProviders().values();
    return inputs;
}

void HomeAttentionModel::refresh()
{
    const int before = rowCount();
    replaceRows(m_state ? HomeScreen::attentionItems(inputsOf(*m_state)) : QList<AttentionItem>{});
    if (rowCount() != before)
        Q_EMIT countChanged();
}

void HomeAttentionModel::activate(const QString &itemId)
{
    if (!m_state)
        return;
    for (const AttentionItem &item : rows()) {
        if (item.id != itemId)
            continue;
        switch (item.action) {
        case AttentionAction::AllowAccessibility:
            m_state->requestAccessibility();
            break;
        case AttentionAction::RequestMicrophone:
            m_state->requestMicrophone();
            break;
        case AttentionAction::ShowModels:
            m_state->setSelectedSection(AppSection::Models);
            break;
        case AttentionAction::AddAPIKey:
            if (item.provider)
                m_state->openAPIKeySettings(*item.provider);
            break;
        }
        return;
    }
}

QVariant HomeAttentionModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() < 0 || index.row() >= rowCount())
        return {};
    const AttentionItem &item = rows().at(index.row());
    switch (role) {
    case ItemIdRole:
        return item.id;
    case Qt::DisplayRole:
    case TitleRole:
        return item.title;
    case DetailRole:
        return item.detail;
    case ActionTitleRole:
        return item.actionTitle;
    default:
        return {};
    }
}

QHash<int, QByteArray> HomeAttentionModel::roleNames() const
{
    return {{ItemIdRole, "itemId"}, {TitleRole, "title"}, {DetailRole, "detail"}, {ActionTitleRole, "actionTitle"}};
}

} // namespace sorvane
