#pragma once

#include "AgentReasoningEffort.h"
#include "AgentWritingProvider.h"
#include "KeyboardShortcutSetting.h"

#include <QJsonObject>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QUuid>
#include <optional>

namespace sorvane {

// A Command profile: an extra Command shortcut with instructions of its own.
struct AgentPromptProfile {
    QUuid id;
    QString name;
    QString prompt;
    KeyboardShortcutSetting shortcut;

    friend bool operator==(const AgentPromptProfile &, const AgentPromptProfile &) = default;

    QJsonObject toJson() const;
    // All four keys are required.
    static std::optional<AgentPromptProfile> fromJson(const QJsonValue &value);
};

// Everything the user sets for Command, stored as one JSON value.
struct AgentSettings {
    AgentWritingProvider writingProvider = AgentWritingProvider::Local;
    QString selectedModelID = QStringLiteral("apple-system"); // the local or on-device model
    QString selectedOpenAIModelID = QStringLiteral("openai-luna");
    QString selectedGeminiModelID = QStringLiteral("gemini-flash");
    QString selectedMistralModelID = QStringLiteral("mistral-small");
    AgentReasoningEffort openAIReasoningEffort = AgentReasoningEffort::Automatic;
    AgentReasoningEffort geminiReasoningEffort = AgentReasoningEffort::Automatic;
    AgentReasoningEffort mistralReasoningEffort = AgentReasoningEffort::Automatic;
    bool includeSelectedText = true;
    bool copyResult = true;
    bool automaticPaste = true;
    bool safelyReplaceRefinements = true;
    bool showCompletionNotification = true; // the result toast
    bool notifyOnCompletion = true;         // the desktop notification
    bool playCompletionSound = true;        // kept, but the application-wide sound switch decides
    QString personalContext;
    QString regularCommandPrompt;
    QString trustedInstructions = defaultTrustedInstructions();
    QList<AgentPromptProfile> promptProfiles;

    friend bool operator==(const AgentSettings &, const AgentSettings &) = default;

    static AgentSettings defaults() { return {}; }
    static QString defaultTrustedInstructions();
    // The default of earlier versions; a stored copy of it is replaced on reading.
    static QString earlierDefaultTrustedInstructions();

    // Writes all nineteen keys.
    QJsonObject toJson() const;
    // Tolerant: every key is optional and a missing or null one takes its default.
    // A present value of the wrong type, an unknown enumeration text or an incomplete
    // profile fails the whole record.
    static std::optional<AgentSettings> fromJson(const QJsonValue &value);

    // The first profile with that id; nothing for no id or no match.
    std::optional<AgentPromptProfile> promptProfile(const std::optional<QUuid> &id) const;

    // The trusted instructions sent with a request: the base instructions, followed by
    // the regular Command prompt (no profile) or the profile's prompt, each in its own block.
    QString composedTrustedInstructions(const std::optional<QUuid> &profileID) const;
};

} // namespace sorvane

Q_DECLARE_METATYPE(sorvane::AgentSettings)
