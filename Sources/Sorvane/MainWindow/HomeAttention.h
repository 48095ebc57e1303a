#pragma once

#include "Command/AgentModelDescriptor.h"
#include "Command/AgentWritingProvider.h"
#include "Dictation/DictationTypes.h"

#include <QList>
#include <QString>
#include <optional>

namespace sorvane {

// What the home screen's "Needs you" list reads of the application state.
struct AttentionInputs {
    bool accessibilityGranted = true;
    // It was granted earlier in this run: its absence now is a revocation.
    bool accessibilityGrantSeen = false;
    bool microphoneGranted = true;
    // A speech model chosen during onboarding is still being fetched.
    bool onboardingModelPending = false;
    std::optional<QString> preferredSpeechModelDownloadError;
    bool speechModelSelected = false;
    bool selectedModelFileExists = false;
    // Who runs the selected Command model; none when no model is found.
    std::optional<AgentModelProvider> selectedAgentModelProvider;
    QList<AgentWritingProvider> configuredCloudProviders;
};

enum class AttentionAction { AllowAccessibility, RequestMicrophone, ShowModels, AddAPIKey };

struct AttentionItem {
    QString id;
    QString title;
    QString detail;
    QString actionTitle;
    AttentionAction action = AttentionAction::ShowModels;
    // The provider whose key the "Add key" action opens.
    std::optional<AgentWritingProvider> provider;

    friend bool operator==(const AttentionItem &, const AttentionItem &) = default;
    const QString &key() const { return id; }
};

namespace HomeScreen {

// The items in their fixed order: accessibility, microphone, speech model, cloud key.
QList<AttentionItem> attentionItems(const AttentionInputs &inputs);
// Whether Dictation lacks a usable speech model. A failed onboarding download counts
// only while that model is still the one pending: once the user picks another
// model the failure is no longer theirs to fix.
bool speechModelMissing(const AttentionInputs &inputs);
// The cloud provider of the selected Command model when it has no key.
std::optional<AgentWritingProvider> missingCloudKeyProvider(const AttentionInputs &inputs);

// "Ready" or "Model needed".
QString readinessLabel(bool canDictate);
// "1 minute", "0 minutes", "12 minutes".
QString weeklyMinutesLabel(int minutes);
QString dictationButtonTitle(CaptureStatus::Kind status);
// The shortcut as Home names it: its display name, or that there is none to press where
// this session cannot have global shortcuts.
QString shortcutHeadline(const QString &displayName, bool globalShortcutsAvailable);
QString commandShortcutValue(const QString &displayName, bool globalShortcutsAvailable);
QString promiseLine(bool globalShortcutsAvailable);

} // namespace HomeScreen
} // namespace sorvane
