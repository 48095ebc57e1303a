#include "ModelScreens.h"

#include "MainWindow/ModelSheetRules.h"
#include "MainWindow/OnboardingRules.h"
#include "Shared/ErrorResolution.h"
#include "Shared/KeyboardShortcutSetting.h"
#include "State/AppState.h"

namespace sorvane {

using ModelSheetRules::TrailingControl;

int ModelScreens::progressControl() { return int(TrailingControl::Progress); }
int ModelScreens::activeControl() { return int(TrailingControl::Active); }
int ModelScreens::keyControl() { return int(TrailingControl::Key); }
int ModelScreens::useControl() { return int(TrailingControl::Use); }
int ModelScreens::getControl() { return int(TrailingControl::Get); }
QString ModelScreens::speechSheetNote() { return ModelSheetRules::speechSheetNote(); }
QString ModelScreens::writingSheetNote() { return ModelSheetRules::writingSheetNote(); }
int ModelScreens::onboardingSteps() { return OnboardingRules::stepCount; }

QString ModelScreens::speechFact(AppState *state)
{
    if (!state)
        return ModelSheetRules::speechFact(nullptr, false);
    const auto model = state->selectedModel();
    return ModelSheetRules::speechFact(model ? &*model : nullptr, model && state->modelStore().isPresent(*model));
}

QString ModelScreens::writingFact(AppState *state)
{
    if (!state)
        return ModelSheetRules::writingFact(std::nullopt, false);
    const auto model = state->selectedAgentModel();
    return ModelSheetRules::writingFact(model, model && state->agentModelStore().isAvailable(*model));
}

QString ModelScreens::writingLocationTag(const QVariant &writingModel)
{
    std::optional<AgentModelDescriptor> model;
    if (!writingModel.isNull() && writingModel.canConvert<AgentModelDescriptor>())
        model = writingModel.value<AgentModelDescriptor>();
    return ModelSheetRules::locationTag(model);
}

QString ModelScreens::speechLocationTag() { return ModelSheetRules::onThisComputerTag(); }

QVariantList ModelScreens::speechRatings(const QVariant &speechModel)
{
    if (speechModel.isNull() || !speechModel.canConvert<SpeechModel>())
        return {0, 0};
    const auto model = speechModel.value<SpeechModel>();
    return {model.speedRating(), model.qualityRating()};
}

QVariantList ModelScreens::writingRatings(const QVariant &writingModel)
{
    if (writingModel.isNull() || !writingModel.canConvert<AgentModelDescriptor>())
        return {0, 0};
    const auto model = writingModel.value<AgentModelDescriptor>();
    return {model.speedRating(), model.qualityRating()};
}

bool ModelScreens::showsErrorBanner(const QVariant &errorResolution)
{
    if (errorResolution.isNull() || !errorResolution.canConvert<ErrorResolution>())
        return false;
    const auto kind = errorResolution.value<ErrorResolution>().destination.kind();
    return kind == ErrorResolutionDestination::Kind::DictationModels
        || kind == ErrorResolutionDestination::Kind::CommandModels;
}

QVariantMap ModelScreens::footerMessage(const QString &sheetError, const QVariant &onboardingError, const QString &note)
{
    std::optional<QString> onboarding;
    if (!onboardingError.isNull() && onboardingError.isValid())
        onboarding = onboardingError.toString();
    const auto message = ModelSheetRules::footerMessage(
        sheetError.isEmpty() ? std::nullopt : std::optional<QString>(sheetError), onboarding, note);
    return {{QStringLiteral("text"), message.text}, {QStringLiteral("isError"), message.isError}};
}

QString ModelScreens::removalTitle(const QString &modelName)
{
    return ModelSheetRules::removalTitle(modelName.isEmpty() ? std::nullopt : std::optional<QString>(modelName));
}

QString ModelScreens::percentText(double progress) { return ModelSheetRules::percentText(progress); }

QVariantMap ModelScreens::onboardingFooter(int step, bool hasChosenModel)
{
    const auto footer = OnboardingRules::footer(step, hasChosenModel);
    return {{QStringLiteral("showsBack"), footer.showsBack},
            {QStringLiteral("primaryTitle"), footer.primaryTitle},
            {QStringLiteral("primaryIcon"), footer.primaryIcon},
            {QStringLiteral("finishes"), footer.finishes},
            {QStringLiteral("primaryEnabled"), footer.primaryEnabled}};
}

QVariantList ModelScreens::onboardingDots(int step)
{
    QVariantList dots;
    for (const auto &dot : OnboardingRules::dots(step))
        dots.append(QVariantMap{{QStringLiteral("wide"), dot.wide}, {QStringLiteral("filled"), dot.filled}});
    return dots;
}

int ModelScreens::onboardingPage(int step) { return int(OnboardingRules::pageFor(step)); }

QVariantMap ModelScreens::permissionPage(bool microphone, bool granted)
{
    const auto page = microphone ? OnboardingRules::microphonePage(granted) : OnboardingRules::accessibilityPage(granted);
    return {{QStringLiteral("number"), page.number},           {QStringLiteral("icon"), page.icon},
            {QStringLiteral("title"), page.title},             {QStringLiteral("explanation"), page.explanation},
            {QStringLiteral("buttonTitle"), page.buttonTitle}, {QStringLiteral("buttonIcon"), page.buttonIcon},
            {QStringLiteral("buttonEnabled"), page.buttonEnabled}};
}

QVariantMap ModelScreens::onboardingStatus(AppState *state, const QString &chosenModelID)
{
    if (!state)
        return {};
    const ModelStore &store = state->modelStore();
    std::optional<QString> chosenName;
    for (const SpeechModel &model : store.catalog())
        if (model.id == chosenModelID)
            chosenName = model.name;
    std::optional<QString> selectedName;
    if (const auto selected = state->selectedModel())
        selectedName = selected->name;
    const QVariant error = state->property("preferredSpeechModelDownloadError");
    const auto line = OnboardingRules::statusLine(
        error.isNull() ? std::nullopt : std::optional<QString>(error.toString()), chosenName,
        store.activeDownloads().contains(chosenModelID), store.progress().value(chosenModelID, 0.0), selectedName);
    QString kind = QStringLiteral("default");
    if (line.kind == OnboardingRules::StatusLine::Kind::Error)
        kind = QStringLiteral("error");
    else if (line.kind == OnboardingRules::StatusLine::Kind::Downloading)
        kind = QStringLiteral("downloading");
    return {{QStringLiteral("kind"), kind},
            {QStringLiteral("text"), line.text},
            {QStringLiteral("progress"), store.progress().value(chosenModelID, 0.0)}};
}

bool ModelScreens::isCatalogSpeechModel(AppState *state, const QString &modelID)
{
    return state && state->catalogModel(modelID).has_value();
}

QString ModelScreens::shortcutLabel(const QVariant &shortcut, const QString &role)
{
    return shortcut.value<KeyboardShortcutSetting>().displayName() + QStringLiteral(" \u00b7 ") + role;
}

} // namespace sorvane
