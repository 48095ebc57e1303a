#pragma once

#include "Command/AgentReasoningEffort.h"
#include "Command/AgentWritingProvider.h"
#include "Shared/KeyboardShortcutSetting.h"

#include <QJsonObject>
#include <QList>
#include <QMetaType>
#include <QObject>
#include <QVariantList>
#include <QString>
#include <QUuid>
#include <optional>

namespace sorvane {

// A Command profile: an extra Command shortcut with instructions of its own.
// A value type for QML: `id` (text), `name`, `prompt`, `shortcut`.
struct AgentPromptProfile {
    Q_GADGET
    Q_PROPERTY(QString id READ idText)
    Q_PROPERTY(QString name MEMBER name)
    Q_PROPERTY(QString prompt MEMBER prompt)
    Q_PROPERTY(sorvane::KeyboardShortcutSetting shortcut MEMBER shortcut)
public:
    QUuid id;
    QString name;
    QString prompt;
    KeyboardShortcutSetting shortcut;

    friend bool operator==(const AgentPromptProfile &, const AgentPromptProfile &) = default;

    QString idText() const { return id.toString(QUuid::WithoutBraces).toUpper(); }

    QJsonObject toJson() const;
    // All four keys are required.
    static std::optional<AgentPromptProfile> fromJson(const QJsonValue &value);
};

// Everything the user sets for Command, stored as one JSON value.
// A value type for QML: every field is a property (the profiles as a list of
// AgentPromptProfile values); a screen changes a copy and assigns it back to
// `appState.agentSettings`, which saves it and re-registers the shortcuts.
struct AgentSettings {
    Q_GADGET
    Q_PROPERTY(sorvane::AgentWritingProvider writingProvider MEMBER writingProvider)
    Q_PROPERTY(QString selectedModelID MEMBER selectedModelID)
    Q_PROPERTY(QString selectedOpenAIModelID MEMBER selectedOpenAIModelID)
    Q_PROPERTY(QString selectedGeminiModelID MEMBER selectedGeminiModelID)
    Q_PROPERTY(QString selectedMistralModelID MEMBER selectedMistralModelID)
    Q_PROPERTY(sorvane::AgentReasoningEffort openAIReasoningEffort MEMBER openAIReasoningEffort)
    Q_PROPERTY(sorvane::AgentReasoningEffort geminiReasoningEffort MEMBER geminiReasoningEffort)
    Q_PROPERTY(sorvane::AgentReasoningEffort mistralReasoningEffort MEMBER mistralReasoningEffort)
    Q_PROPERTY(bool includeSelectedText MEMBER includeSelectedText)
    Q_PROPERTY(bool copyResult MEMBER copyResult)
    Q_PROPERTY(bool automaticPaste MEMBER automaticPaste)
    Q_PROPERTY(bool safelyReplaceRefinements MEMBER safelyReplaceRefinements)
    Q_PROPERTY(bool showCompletionNotification MEMBER showCompletionNotification)
    Q_PROPERTY(bool notifyOnCompletion MEMBER notifyOnCompletion)
    Q_PROPERTY(bool playCompletionSound MEMBER playCompletionSound)
    Q_PROPERTY(QString personalContext MEMBER personalContext)
    Q_PROPERTY(QString regularCommandPrompt MEMBER regularCommandPrompt)
    Q_PROPERTY(QString trustedInstructions MEMBER trustedInstructions)
    Q_PROPERTY(QVariantList promptProfiles READ promptProfileList WRITE setPromptProfileList)
public:
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

    // The profiles as QML sees them: a list of AgentPromptProfile values. Setting it
    // keeps only the entries that hold such a value.
    QVariantList promptProfileList() const;
    void setPromptProfileList(const QVariantList &profiles);

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
Q_DECLARE_METATYPE(sorvane::AgentPromptProfile)
