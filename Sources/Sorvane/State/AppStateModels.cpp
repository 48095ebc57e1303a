// What the model sheets ask of the state: downloads that select their model when they
// end (however long after the sheet closed), selection and removal of writing models.

#include "State/AppState.h"

#include "Command/AgentWritingProvider.h"
#include "MainWindow/ModelSheetRules.h"

#include <QPointer>

namespace sorvane {

namespace {

const QString onDeviceModelID = QStringLiteral("apple-system");

} // namespace

void AppState::downloadSpeechModelThenSelect(const QString &modelID)
{
    const auto model = catalogModel(modelID);
    if (!model)
        return;
    setPreferredSpeechModelDownloadError(std::nullopt);
    auto download = modelStore().startDownload(*model);
    selectSpeechModelWhenDownloaded(std::move(download), modelID, m_selectedModelID);
}

QCoro::Task<void> AppState::selectSpeechModelWhenDownloaded(std::shared_ptr<SpeechModelDownload> download,
                                                            QString modelID, QString selectionAtStart)
{
    const QPointer<AppState> self(this);
    auto waiting = SpeechModelDownload::wait(download);
    const auto outcome = co_await std::move(waiting);
    if (!self)
        co_return;
    if (!outcome) {
        Q_EMIT speechModelDownloadFailed(modelID, outcome.error().message());
        co_return;
    }
    // A choice made while the file arrived is the user's latest word: it stays.
    if (m_selectedModelID == selectionAtStart)
        setSelectedModelID(modelID);
}

std::optional<QString> AppState::selectedAgentModelID() const
{
    if (const auto model = selectedAgentModel())
        return model->id;
    return std::nullopt;
}

void AppState::selectWritingModel(const QString &modelID)
{
    const auto model = agentModelStore().descriptor(modelID);
    if (!model)
        return;
    const AgentWritingProvider provider = ModelSheetRules::keyProviderOf(model->provider);
    // Two assignments, each read fresh: the model's field first, then the provider.
    AgentSettings settings = m_agentSettings;
    switch (provider) {
    case AgentWritingProvider::Local: settings.selectedModelID = model->id; break;
    case AgentWritingProvider::OpenAI: settings.selectedOpenAIModelID = model->id; break;
    case AgentWritingProvider::Gemini: settings.selectedGeminiModelID = model->id; break;
    case AgentWritingProvider::Mistral: settings.selectedMistralModelID = model->id; break;
    }
    setAgentSettings(settings);
    settings = m_agentSettings;
    settings.writingProvider = provider;
    setAgentSettings(settings);
}

void AppState::downloadWritingModelThenSelect(const QString &modelID)
{
    const auto model = agentModelStore().descriptor(modelID);
    if (!model)
        return;
    // The running download of this model will select it; a second one would race it.
    if (agentModelStore().activeDownloads().contains(modelID))
        return;
    selectWritingModelWhenDownloaded(*model, selectedAgentModelID());
}

QCoro::Task<void> AppState::selectWritingModelWhenDownloaded(AgentModelDescriptor model,
                                                             std::optional<QString> selectionAtStart)
{
    const QPointer<AppState> self(this);
    auto downloading = agentModelStore().download(model);
    const auto outcome = co_await std::move(downloading);
    if (!self)
        co_return;
    if (!outcome) {
        Q_EMIT writingModelOperationFailed(model.id, outcome.error().message());
        co_return;
    }
    if (selectedAgentModelID() == selectionAtStart)
        selectWritingModel(model.id);
}

void AppState::removeWritingModel(const QString &modelID)
{
    const auto model = agentModelStore().descriptor(modelID);
    if (!model)
        return;
    const auto removed = agentModelStore().remove(*model);
    if (!removed) {
        Q_EMIT writingModelOperationFailed(modelID, removed.error().message());
        return;
    }
    // Decided now, not from the row as it was drawn: only the local selection falls back,
    // and the provider moves only when it was local.
    if (m_agentSettings.selectedModelID != modelID)
        return;
    const bool wasLocal = m_agentSettings.writingProvider == AgentWritingProvider::Local;
    AgentSettings settings = m_agentSettings;
    settings.selectedModelID = onDeviceModelID;
    setAgentSettings(settings);
    if (wasLocal) {
        settings = m_agentSettings;
        settings.writingProvider = AgentWritingProvider::Local;
        setAgentSettings(settings);
    }
}

} // namespace sorvane
