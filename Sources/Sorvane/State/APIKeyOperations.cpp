#include "State/APIKeyOperations.h"

#include "Services/Command/AgentModelStore.h"
#include "Services/Command/CloudAPIKeychainStore.h"
#include "Settings/SettingsTexts.h"
#include "State/AppState.h"

#include <QPointer>

namespace sorvane {

APIKeyOperations::APIKeyOperations(AppState &state, QObject *parent) : QObject(parent), m_state(state) {}

QVariantList APIKeyOperations::pendingProviders() const
{
    QVariantList list;
    for (const auto provider : SettingsTexts::keyProviders())
        if (m_pending.contains(provider))
            list.append(int(provider));
    return list;
}

bool APIKeyOperations::isPending(AgentWritingProvider provider) const { return m_pending.contains(provider); }

bool APIKeyOperations::save(AgentWritingProvider provider, const QString &key)
{
    if (!SettingsTexts::canSaveKey(key, isPending(provider)))
        return false;
    return enqueue({provider, false, key});
}

bool APIKeyOperations::remove(AgentWritingProvider provider)
{
    if (isPending(provider))
        return false;
    return enqueue({provider, true, {}});
}

bool APIKeyOperations::enqueue(Job job)
{
    if (job.provider == AgentWritingProvider::Local)
        return false;
    m_pending.insert(job.provider);
    m_queue.enqueue(std::move(job));
    Q_EMIT pendingChanged();
    runNext();
    return true;
}

void APIKeyOperations::runNext()
{
    if (m_running || m_queue.isEmpty())
        return;
    m_running = true;
    run(m_queue.dequeue());
}

QCoro::Task<void> APIKeyOperations::run(Job job)
{
    QPointer<APIKeyOperations> self(this);
    auto task = job.removal ? m_state.removeAPIKey(job.provider) : m_state.saveAPIKey(job.key, job.provider);
    const auto outcome = co_await std::move(task);
    if (!self)
        co_return;
    QString message;
    if (!outcome) {
        message = outcome.error().message();
    } else if (job.removal) {
        message = SettingsTexts::removedMessage();
    } else {
        applySaved(job.provider);
        message = SettingsTexts::savedMessage(defaultModelName(job.provider));
    }
    m_pending.remove(job.provider);
    m_running = false;
    Q_EMIT pendingChanged();
    Q_EMIT finished(job.provider, job.removal, outcome.ok(), message);
    if (self)
        runNext();
}

void APIKeyOperations::applySaved(AgentWritingProvider provider)
{
    // Two assignments, as a user choosing the model and then the provider would make.
    AgentSettings settings = m_state.agentSettings();
    const QString model = SettingsTexts::defaultModelID(provider);
    switch (provider) {
    case AgentWritingProvider::OpenAI: settings.selectedOpenAIModelID = model; break;
    case AgentWritingProvider::Gemini: settings.selectedGeminiModelID = model; break;
    case AgentWritingProvider::Mistral: settings.selectedMistralModelID = model; break;
    case AgentWritingProvider::Local: return;
    }
    m_state.setAgentSettings(settings);
    settings = m_state.agentSettings();
    settings.writingProvider = provider;
    m_state.setAgentSettings(settings);
    // Only a key's banner is settled by a saved key; a permission banner stays.
    if (SettingsTexts::savingKeyClearsBanner(m_state.errorResolution()))
        m_state.setErrorResolution(std::nullopt);
}

QString APIKeyOperations::defaultModelName(AgentWritingProvider provider) const
{
    if (const auto descriptor = m_state.agentModelStore().descriptor(SettingsTexts::defaultModelID(provider)))
        return descriptor->name;
    return providerDisplayName(provider);
}

QString APIKeyOperations::loadError(AgentWritingProvider provider) const
{
    const auto error = m_state.cloudKeyLoadError(provider);
    return error ? error->message() : QString();
}

} // namespace sorvane
