#include "SettingsAreaRules.h"

#include "Command/AgentModelDescriptor.h"
#include "State/AppState.h"

#include <algorithm>

namespace sorvane {

int SettingsAreaRules::minimumRestoreDelay() { return AppState::minimumClipboardRestoreDelay; }
int SettingsAreaRules::maximumRestoreDelay() { return AppState::maximumClipboardRestoreDelay; }

QString SettingsAreaRules::restoreDelayLabel(int seconds) { return QStringLiteral("%1 s").arg(seconds); }

QString SettingsAreaRules::restoreDelayAccessibleValue(int seconds) { return QStringLiteral("%1 seconds").arg(seconds); }

QString SettingsAreaRules::loginDetail(const QString &message)
{
    return message.isEmpty() ? QStringLiteral("Start Sorvane automatically when you log in") : message;
}

QString SettingsAreaRules::vocabularyDetail(int terms)
{
    if (terms <= 0)
        return QStringLiteral("No spelling hints yet");
    return QStringLiteral("%1 term%2 the recognizer should spell your way")
        .arg(terms)
        .arg(terms == 1 ? QString() : QStringLiteral("s"));
}

QList<AgentReasoningEffort> SettingsAreaRules::offeredEfforts(AgentWritingProvider provider)
{
    using E = AgentReasoningEffort;
    switch (provider) {
    case AgentWritingProvider::Local:
        return {};
    case AgentWritingProvider::OpenAI:
        return {E::Automatic, E::NoEffort, E::Low, E::Medium, E::High, E::XHigh, E::Max};
    case AgentWritingProvider::Gemini:
        return {E::Automatic, E::Minimal, E::Low, E::Medium, E::High};
    case AgentWritingProvider::Mistral:
        return {E::Automatic, E::NoEffort, E::High};
    }
    return {};
}

QString SettingsAreaRules::effortTitle(AgentReasoningEffort effort)
{
    switch (effort) {
    case AgentReasoningEffort::Automatic: return QStringLiteral("Automatic");
    case AgentReasoningEffort::NoEffort:
    case AgentReasoningEffort::Minimal: return QStringLiteral("Instant");
    case AgentReasoningEffort::Low: return QStringLiteral("Quick");
    case AgentReasoningEffort::Medium: return QStringLiteral("Balanced");
    case AgentReasoningEffort::High: return QStringLiteral("Thorough");
    case AgentReasoningEffort::XHigh: return QStringLiteral("Deep");
    case AgentReasoningEffort::Max: return QStringLiteral("Max");
    }
    return {};
}

QString SettingsAreaRules::providerName(AgentWritingProvider provider)
{
    switch (provider) {
    case AgentWritingProvider::Local: return QStringLiteral("Local");
    case AgentWritingProvider::OpenAI: return QStringLiteral("OpenAI");
    case AgentWritingProvider::Gemini: return QStringLiteral("Gemini");
    case AgentWritingProvider::Mistral: return QStringLiteral("Mistral");
    }
    return {};
}

AgentReasoningEffort SettingsAreaRules::currentEffort(const AgentSettings &settings)
{
    switch (settings.writingProvider) {
    case AgentWritingProvider::OpenAI: return settings.openAIReasoningEffort;
    case AgentWritingProvider::Gemini: return settings.geminiReasoningEffort;
    case AgentWritingProvider::Mistral: return settings.mistralReasoningEffort;
    case AgentWritingProvider::Local: break;
    }
    return AgentReasoningEffort::Automatic;
}

bool SettingsAreaRules::showsReasoningRow(const AgentSettings &settings)
{
    return settings.writingProvider != AgentWritingProvider::Local;
}

QString SettingsAreaRules::reasoningRowTitle(const AgentSettings &settings)
{
    return providerName(settings.writingProvider) + QStringLiteral(" thinking level");
}

QStringList SettingsAreaRules::reasoningOptionTitles(const AgentSettings &settings)
{
    QStringList titles;
    for (AgentReasoningEffort effort : offeredEfforts(settings.writingProvider))
        titles << effortTitle(effort);
    return titles;
}

int SettingsAreaRules::reasoningSelectedIndex(const AgentSettings &settings)
{
    return int(offeredEfforts(settings.writingProvider).indexOf(currentEffort(settings)));
}

QString SettingsAreaRules::reasoningDetail(const AgentSettings &settings)
{
    return detail(currentEffort(settings), settings.writingProvider);
}

AgentSettings SettingsAreaRules::withReasoningChoice(const AgentSettings &settings, int index)
{
    const auto offered = offeredEfforts(settings.writingProvider);
    AgentSettings changed = settings;
    if (index < 0 || index >= offered.size())
        return changed;
    const AgentReasoningEffort effort = offered.at(index);
    switch (settings.writingProvider) {
    case AgentWritingProvider::OpenAI: changed.openAIReasoningEffort = effort; break;
    case AgentWritingProvider::Gemini: changed.geminiReasoningEffort = effort; break;
    case AgentWritingProvider::Mistral: changed.mistralReasoningEffort = effort; break;
    case AgentWritingProvider::Local: break;
    }
    return changed;
}

AgentSettings SettingsAreaRules::withIncludeSelectedText(const AgentSettings &settings, bool on)
{
    AgentSettings changed = settings;
    changed.includeSelectedText = on;
    return changed;
}

AgentSettings SettingsAreaRules::withAutomaticPaste(const AgentSettings &settings, bool on)
{
    AgentSettings changed = settings;
    changed.automaticPaste = on;
    return changed;
}

AgentSettings SettingsAreaRules::withNotifyOnCompletion(const AgentSettings &settings, bool on)
{
    AgentSettings changed = settings;
    changed.notifyOnCompletion = on;
    return changed;
}

AgentSettings SettingsAreaRules::withRegularPrompt(const AgentSettings &settings, const QString &prompt)
{
    AgentSettings changed = settings;
    changed.regularCommandPrompt = prompt;
    return changed;
}

bool SettingsAreaRules::showsScreenshotShortcut(const QVariant &selectedAgentModel)
{
    if (selectedAgentModel.metaType() != QMetaType::fromType<AgentModelDescriptor>())
        return false;
    return selectedAgentModel.value<AgentModelDescriptor>().capabilities.images;
}

bool SettingsAreaRules::canAddProfile(const AgentSettings &settings)
{
    return settings.promptProfiles.size() < maximumProfiles();
}

QStringList SettingsAreaRules::appearanceTitles()
{
    return {QStringLiteral("Automatic"), QStringLiteral("Light"), QStringLiteral("Dark")};
}

QStringList SettingsAreaRules::soundTitles()
{
    return {QStringLiteral("Soft pop"), QStringLiteral("Glass chime"), QStringLiteral("Gentle tap")};
}

QString SettingsAreaRules::sizeTitle(int size)
{
    return OverlaySize(size) == OverlaySize::Mini ? QStringLiteral("Mini") : QStringLiteral("Classic");
}

bool SettingsAreaRules::previewUsesDark(int appearance, bool desktopDark)
{
    switch (OverlayAppearance(appearance)) {
    case OverlayAppearance::Light: return false;
    case OverlayAppearance::Dark: return true;
    case OverlayAppearance::Automatic: return desktopDark;
    }
    return false;
}

QVariantList SettingsAreaRules::previewBarHeights()
{
    return {4, 13, 7, 20, 10, 17, 6, 12, 5};
}

QVariantList SettingsAreaRules::previewBars(double maximumHeight)
{
    QVariantList bars;
    for (const QVariant &height : previewBarHeights())
        bars << std::min(height.toDouble(), maximumHeight);
    return bars;
}

} // namespace sorvane
