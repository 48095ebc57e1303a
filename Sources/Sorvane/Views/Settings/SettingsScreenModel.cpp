#include "SettingsScreenModel.h"

#include "Settings/SettingsTexts.h"
#include "State/APIKeyOperations.h"
#include "State/AppState.h"

namespace sorvane {

namespace {

QString keyOf(AgentWritingProvider provider) { return QString::number(int(provider)); }

std::optional<AgentWritingProvider> cloudProvider(int value)
{
    const auto provider = AgentWritingProvider(value);
    if (!SettingsTexts::keyProviders().contains(provider))
        return std::nullopt;
    return provider;
}

} // namespace

SettingsScreenModel::SettingsScreenModel(QObject *parent) : QObject(parent) {}

// The highlight's timer goes with its handle.
SettingsScreenModel::~SettingsScreenModel() = default;

QObject *SettingsScreenModel::stateObject() const { return m_state; }
void SettingsScreenModel::setStateObject(QObject *object) { setState(qobject_cast<AppState *>(object)); }

void SettingsScreenModel::setState(AppState *state)
{
    if (m_state == state)
        return;
    for (const auto &connection : std::as_const(m_connections))
        disconnect(connection);
    m_connections.clear();
    m_state = state;
    if (m_state) {
        m_connections << connect(m_state, &AppState::permissionAttentionRequestChanged, this,
                                 &SettingsScreenModel::handlePermissionAttention);
        m_connections << connect(m_state, &AppState::apiKeyRowRequested, this, &SettingsScreenModel::takeKeyRowRequest);
        m_connections << connect(&m_state->apiKeys(), &APIKeyOperations::finished, this,
                                 &SettingsScreenModel::keyJobFinished);
    }
    Q_EMIT stateChanged();
}

void SettingsScreenModel::setShowsVocabulary(bool shows)
{
    if (m_showsVocabulary == shows)
        return;
    m_showsVocabulary = shows;
    Q_EMIT showsVocabularyChanged();
}

QString SettingsScreenModel::removalTitle() const { return SettingsTexts::removalTitle(m_pendingRemoval); }

QString SettingsScreenModel::draft(AgentWritingProvider provider) const { return m_drafts.value(keyOf(provider)).toString(); }
QString SettingsScreenModel::message(AgentWritingProvider provider) const { return m_messages.value(keyOf(provider)).toString(); }

QVariant SettingsScreenModel::expandedProviderValue() const
{
    return m_expandedProvider ? QVariant(int(*m_expandedProvider)) : QVariant();
}

QVariant SettingsScreenModel::pendingRemovalValue() const
{
    return m_pendingRemoval ? QVariant(int(*m_pendingRemoval)) : QVariant();
}

void SettingsScreenModel::appear()
{
    if (!m_state)
        return;
    m_state->refreshPermissions();
    handlePermissionAttention();
    if (const auto &resolution = m_state->errorResolution();
        resolution && resolution->destination.kind() == ErrorResolutionDestination::Kind::ApiKeys
        && resolution->destination.provider() != AgentWritingProvider::Local)
        setExpandedProvider(resolution->destination.provider());
    takeKeyRowRequest();
}

void SettingsScreenModel::handlePermissionAttention()
{
    if (!m_state || !m_state->takePermissionAttentionRequest())
        return;
    m_highlightTask.reset();
    setShowsVocabulary(false);
    m_state->setSelectedSettingsArea(SettingsArea::Account);
    setHighlighted(true);
    m_highlightTask = m_state->timers().start(highlightDuration, [this] { setHighlighted(false); });
}

void SettingsScreenModel::takeKeyRowRequest()
{
    if (!m_state)
        return;
    const QVariant requested = m_state->takeAPIKeyRowRequest();
    if (!requested.isValid())
        return;
    setShowsVocabulary(false);
    setExpandedProvider(requested.value<AgentWritingProvider>());
}

void SettingsScreenModel::setHighlighted(bool highlighted)
{
    if (m_highlightedPermissions == highlighted)
        return;
    m_highlightedPermissions = highlighted;
    Q_EMIT highlightedPermissionsChanged();
}

void SettingsScreenModel::setExpandedProvider(std::optional<AgentWritingProvider> provider)
{
    if (m_expandedProvider == provider)
        return;
    m_expandedProvider = provider;
    Q_EMIT expandedProviderChanged();
}

void SettingsScreenModel::setPendingRemoval(std::optional<AgentWritingProvider> provider)
{
    if (m_pendingRemoval == provider)
        return;
    m_pendingRemoval = provider;
    Q_EMIT providerPendingKeyRemovalChanged();
}

void SettingsScreenModel::toggleRow(int value)
{
    const auto provider = cloudProvider(value);
    if (!provider)
        return;
    setExpandedProvider(m_expandedProvider == provider ? std::nullopt : provider);
}

void SettingsScreenModel::setDraft(int value, const QString &text)
{
    const auto provider = cloudProvider(value);
    if (!provider || draft(*provider) == text)
        return;
    m_drafts.insert(keyOf(*provider), text);
    Q_EMIT draftsChanged();
}

bool SettingsScreenModel::saveKey(int value)
{
    const auto provider = cloudProvider(value);
    if (!provider || !m_state)
        return false;
    return m_state->apiKeys().save(*provider, draft(*provider));
}

void SettingsScreenModel::requestRemoval(int value)
{
    if (const auto provider = cloudProvider(value))
        setPendingRemoval(provider);
}

void SettingsScreenModel::confirmRemoval()
{
    const auto provider = std::exchange(m_pendingRemoval, std::nullopt);
    if (!provider)
        return;
    Q_EMIT providerPendingKeyRemovalChanged();
    if (m_state)
        m_state->apiKeys().remove(*provider);
}

void SettingsScreenModel::cancelRemoval() { setPendingRemoval(std::nullopt); }

void SettingsScreenModel::setMessage(AgentWritingProvider provider, const QString &text)
{
    m_messages.insert(keyOf(provider), text);
    Q_EMIT messagesChanged();
}

void SettingsScreenModel::keyJobFinished(AgentWritingProvider provider, bool, bool succeeded, const QString &message)
{
    if (succeeded)
        setDraft(int(provider), QString());
    setMessage(provider, message);
}

} // namespace sorvane
