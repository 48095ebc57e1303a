#include "TestPaths.h"
#include "Command/AgentReasoningEffort.h"
#include "Command/AgentSettings.h"
#include "Support/StoredJson.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>

using namespace sorvane;
using namespace sorvane::testing;

namespace {

const QByteArray profileJson = R"({"id": "11111111-2222-4333-8444-555555555555", "name": "Formal",
    "prompt": "Write formally.",
    "shortcut": {"keyCode": 18, "keyLabel": "1", "command": false, "option": true, "control": true, "shift": false}})";

QJsonObject withProfile(const QJsonObject &profile)
{
    return QJsonObject{{QStringLiteral("promptProfiles"), QJsonArray{profile}}};
}

QJsonObject profileWithout(const char *key)
{
    QJsonObject profile = objectFrom(profileJson);
    profile.remove(QLatin1String(key));
    return profile;
}

QJsonObject profileWithShortcutWithout(const char *key)
{
    QJsonObject profile = objectFrom(profileJson);
    QJsonObject shortcut = profile.value(QStringLiteral("shortcut")).toObject();
    shortcut.remove(QLatin1String(key));
    profile.insert(QStringLiteral("shortcut"), shortcut);
    return profile;
}

AgentPromptProfile profile(const char *id, const char *name, const char *prompt)
{
    return {QUuid::fromString(QLatin1String(id)), QString::fromUtf8(name), QString::fromUtf8(prompt),
            KeyboardShortcutSetting{18, QStringLiteral("1"), false, true, true, false}};
}

const char *const formalID = "11111111-2222-4333-8444-555555555555";
const char *const blankNameID = "22222222-2222-4333-8444-555555555555";
const char *const emptyPromptID = "33333333-2222-4333-8444-555555555555";
const char *const unknownID = "44444444-2222-4333-8444-555555555555";

const QString regularBlockHead = QStringLiteral(
    "\n\n<regular_command_prompt>\nThe user invoked the regular Command shortcut. Apply these additional "
    "trusted instructions from the user:\n");
const QString profileBlockHead = QStringLiteral(
    ">\nThe user invoked this request through a Command profile. Apply these additional trusted instructions "
    "from the user:\n");

} // namespace

class AgentSettingsTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void reasoningEffortTexts()
    {
        QStringList texts;
        for (AgentReasoningEffort effort : allCases<AgentReasoningEffort>())
            texts.append(toText(effort));
        QCOMPARE(texts, (QStringList{"automatic", "none", "minimal", "low", "medium", "high", "xhigh", "max"}));
        for (AgentReasoningEffort effort : allCases<AgentReasoningEffort>())
            QCOMPARE(fromText<AgentReasoningEffort>(toText(effort)), effort);
        QVERIFY(!fromText<AgentReasoningEffort>(QStringLiteral("extra-high")));
        QVERIFY(!fromText<AgentReasoningEffort>(QStringLiteral("None")));
    }

    void reasoningEffortDetails_data()
    {
        QTest::addColumn<AgentReasoningEffort>("effort");
        QTest::addColumn<AgentWritingProvider>("provider");
        QTest::addColumn<QString>("text");
        using E = AgentReasoningEffort;
        using P = AgentWritingProvider;
        QTest::newRow("automatic, local") << E::Automatic << P::Local << "Use the model's default behavior";
        QTest::newRow("automatic, openAI") << E::Automatic << P::OpenAI << "Low for Luna; Medium for Terra and Sol";
        QTest::newRow("automatic, gemini") << E::Automatic << P::Gemini
                                           << "Use the default thinking level for the selected Gemini model";
        QTest::newRow("automatic, mistral") << E::Automatic << P::Mistral << "Use Mistral's default reasoning behavior";
        const QString noThinking = QStringLiteral("No extra thinking \u2014 the fastest responses");
        QTest::newRow("none") << E::NoEffort << P::Gemini << noThinking;
        QTest::newRow("minimal") << E::Minimal << P::OpenAI << noThinking;
        QTest::newRow("low") << E::Low << P::Local << "A little thinking for everyday commands";
        QTest::newRow("medium") << E::Medium << P::Mistral << "Balanced thinking, speed, and cost";
        QTest::newRow("high") << E::High << P::OpenAI << "More thinking for difficult requests";
        QTest::newRow("xhigh") << E::XHigh << P::OpenAI << "Extended thinking for complex work";
        QTest::newRow("max") << E::Max << P::Gemini << "Everything the model has, for the hardest requests";
    }

    void reasoningEffortDetails()
    {
        QFETCH(AgentReasoningEffort, effort);
        QFETCH(AgentWritingProvider, provider);
        QFETCH(QString, text);
        QCOMPARE(detail(effort, provider), text);
        if (effort != AgentReasoningEffort::Automatic)
            for (AgentWritingProvider other : allCases<AgentWritingProvider>())
                QCOMPARE(detail(effort, other), text);
    }
    void defaults()
    {
        const AgentSettings settings = AgentSettings::defaults();
        QCOMPARE(settings.writingProvider, AgentWritingProvider::Local);
        QCOMPARE(settings.selectedModelID, QStringLiteral("apple-system"));
        QCOMPARE(settings.selectedOpenAIModelID, QStringLiteral("openai-luna"));
        QCOMPARE(settings.selectedGeminiModelID, QStringLiteral("gemini-flash"));
        QCOMPARE(settings.selectedMistralModelID, QStringLiteral("mistral-small"));
        QCOMPARE(settings.openAIReasoningEffort, AgentReasoningEffort::Automatic);
        QCOMPARE(settings.geminiReasoningEffort, AgentReasoningEffort::Automatic);
        QCOMPARE(settings.mistralReasoningEffort, AgentReasoningEffort::Automatic);
        QVERIFY(settings.includeSelectedText && settings.copyResult && settings.automaticPaste
                && settings.safelyReplaceRefinements && settings.showCompletionNotification
                && settings.notifyOnCompletion && settings.playCompletionSound);
        QVERIFY(settings.personalContext.isEmpty() && settings.regularCommandPrompt.isEmpty());
        QVERIFY(settings.promptProfiles.isEmpty());
        const QStringList lines = settings.trustedInstructions.split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 6);
        QCOMPARE(lines.first(), QStringLiteral("You power Command inside Sorvane."));
        QCOMPARE(lines.last(), QStringLiteral("For refinement turns, return the entire revised text, not a patch or commentary."));
        const QStringList earlier = AgentSettings::earlierDefaultTrustedInstructions().split(QLatin1Char('\n'));
        QCOMPARE(earlier.first(), QStringLiteral("You are the local writing agent inside Sorvane."));
        QCOMPARE(earlier.mid(1), lines.mid(1));
    }

    void tolerantDecoding_data()
    {
        QTest::addColumn<QJsonObject>("json");
        QTest::addColumn<bool>("decodes");
        QTest::addColumn<bool>("isDefault");
        QTest::newRow("empty object") << QJsonObject() << true << true;
        QTest::newRow("only the provider") << objectFrom(R"({"writingProvider": "local"})") << true << true;
        QTest::newRow("every key null") << objectFrom(R"({"writingProvider": null, "selectedModelID": null,
            "openAIReasoningEffort": null, "copyResult": null, "personalContext": null,
            "trustedInstructions": null, "promptProfiles": null})") << true << true;
        QTest::newRow("unknown keys ignored") << objectFrom(R"({"somethingNew": 3})") << true << true;
        QTest::newRow("earlier default instructions")
            << QJsonObject{{QStringLiteral("trustedInstructions"), AgentSettings::earlierDefaultTrustedInstructions()}}
            << true << true;
        QTest::newRow("a switch off") << objectFrom(R"({"automaticPaste": false})") << true << false;
        QTest::newRow("a profile") << withProfile(objectFrom(profileJson)) << true << false;
        QTest::newRow("switch as text") << objectFrom(R"({"copyResult": "true"})") << false << false;
        QTest::newRow("switch as number") << objectFrom(R"({"copyResult": 1})") << false << false;
        QTest::newRow("model id as number") << objectFrom(R"({"selectedModelID": 4})") << false << false;
        QTest::newRow("unknown provider") << objectFrom(R"({"writingProvider": "anthropic"})") << false << false;
        QTest::newRow("provider in the wrong case") << objectFrom(R"({"writingProvider": "OpenAI"})") << false << false;
        QTest::newRow("unknown effort") << objectFrom(R"({"geminiReasoningEffort": "extreme"})") << false << false;
        QTest::newRow("profiles as an object") << objectFrom(R"({"promptProfiles": {}})") << false << false;
        QTest::newRow("profile without a name") << withProfile(profileWithout("name")) << false << false;
        QTest::newRow("profile without a shortcut") << withProfile(profileWithout("shortcut")) << false << false;
        QTest::newRow("profile with a bad id") << withProfile(profileWithout("id")) << false << false;
        QTest::newRow("profile shortcut without shift") << withProfile(profileWithShortcutWithout("shift")) << false << false;
    }

    void tolerantDecoding()
    {
        QFETCH(QJsonObject, json);
        QFETCH(bool, decodes);
        QFETCH(bool, isDefault);
        const auto settings = AgentSettings::fromJson(json);
        QCOMPARE(settings.has_value(), decodes);
        if (settings)
            QCOMPARE(*settings == AgentSettings::defaults(), isDefault);
    }

    void editedInstructionsStayAsStored()
    {
        const QString edited = AgentSettings::earlierDefaultTrustedInstructions() + QLatin1Char(' ');
        const auto settings = AgentSettings::fromJson(QJsonObject{{QStringLiteral("trustedInstructions"), edited}});
        QVERIFY(settings);
        QCOMPARE(settings->trustedInstructions, edited);
        const auto empty = AgentSettings::fromJson(QJsonObject{{QStringLiteral("trustedInstructions"), QString()}});
        QVERIFY(empty);
        QCOMPARE(empty->trustedInstructions, QString());
    }

    void encodingRoundTrips()
    {
        AgentSettings settings;
        settings.writingProvider = AgentWritingProvider::Gemini;
        settings.selectedGeminiModelID = QStringLiteral("gemini-flash-lite");
        settings.geminiReasoningEffort = AgentReasoningEffort::NoEffort;
        settings.openAIReasoningEffort = AgentReasoningEffort::XHigh;
        settings.safelyReplaceRefinements = false;
        settings.playCompletionSound = false;
        settings.personalContext = QStringLiteral("I write in British English.");
        settings.promptProfiles = {profile(formalID, "Formal", "Write formally."),
                                   profile(blankNameID, "", "Shorter.")};
        const QJsonObject json = settings.toJson();
        QCOMPARE(json.size(), 19);
        QCOMPARE(json.value(QStringLiteral("writingProvider")).toString(), QStringLiteral("gemini"));
        QCOMPARE(json.value(QStringLiteral("geminiReasoningEffort")).toString(), QStringLiteral("none"));
        QCOMPARE(json.value(QStringLiteral("promptProfiles")).toArray().at(0).toObject(), objectFrom(profileJson));
        QCOMPARE(AgentSettings::fromJson(json), settings);
        // The stored value goes through the shared file encoding and back.
        const auto document = storedjson::parseDocument(storedjson::encode(json));
        QVERIFY(document);
        QCOMPARE(AgentSettings::fromJson(document->object()), settings);
        QCOMPARE(AgentSettings::defaults().toJson().size(), 19);
    }

    void promptProfileLookup()
    {
        AgentSettings settings;
        AgentPromptProfile second = profile(formalID, "Second", "Other.");
        settings.promptProfiles = {profile(formalID, "Formal", "Write formally."), second};
        QCOMPARE(settings.promptProfile(QUuid::fromString(QLatin1String(formalID)))->name, QStringLiteral("Formal"));
        QVERIFY(!settings.promptProfile(std::nullopt));
        QVERIFY(!settings.promptProfile(QUuid::fromString(QLatin1String(unknownID))));
    }

    void composedInstructions_data()
    {
        QTest::addColumn<QString>("trusted");
        QTest::addColumn<QString>("regular");
        QTest::addColumn<QString>("profileID");
        QTest::addColumn<QString>("expected");
        const QString base = QStringLiteral("Base.");
        QTest::newRow("no prompt at all") << base << QString() << QString() << base;
        QTest::newRow("blank regular prompt") << base << QStringLiteral(" \n\t ") << QString() << base;
        QTest::newRow("regular prompt, trimmed")
            << base << QStringLiteral("\n  Be brief.  \n") << QString()
            << base + regularBlockHead + QStringLiteral("Be brief.\n</regular_command_prompt>");
        QTest::newRow("empty base, regular prompt")
            << QString() << QStringLiteral("Be brief.") << QString()
            << regularBlockHead + QStringLiteral("Be brief.\n</regular_command_prompt>");
        QTest::newRow("base kept untrimmed")
            << QStringLiteral(" Base. \n") << QString() << QString() << QStringLiteral(" Base. \n");
        QTest::newRow("named profile")
            << base << QStringLiteral("Be brief.") << QString::fromLatin1(formalID)
            << base + QStringLiteral("\n\n<command_profile name=\"Formal <x>\"") + profileBlockHead
                   + QStringLiteral("Write formally.\n</command_profile>");
        QTest::newRow("profile with a blank name")
            << base << QString() << QString::fromLatin1(blankNameID)
            << base + QStringLiteral("\n\n<command_profile") + profileBlockHead
                   + QStringLiteral("Shorter.\n</command_profile>");
        QTest::newRow("profile with an empty prompt")
            << base << QStringLiteral("Be brief.") << QString::fromLatin1(emptyPromptID) << base;
        QTest::newRow("unknown profile") << base << QStringLiteral("Be brief.") << QString::fromLatin1(unknownID) << base;
    }

    void composedInstructions()
    {
        QFETCH(QString, trusted);
        QFETCH(QString, regular);
        QFETCH(QString, profileID);
        QFETCH(QString, expected);
        AgentSettings settings;
        settings.trustedInstructions = trusted;
        settings.regularCommandPrompt = regular;
        settings.promptProfiles = {profile(formalID, "  Formal <x> ", "  Write formally.\n"),
                                   profile(blankNameID, " \n ", "Shorter."),
                                   profile(emptyPromptID, "Empty", " \n ")};
        const std::optional<QUuid> id =
            profileID.isEmpty() ? std::nullopt : std::optional<QUuid>(QUuid::fromString(profileID));
        QCOMPARE(settings.composedTrustedInstructions(id), expected);
    }

    void shortcutJsonIsStrict()
    {
        const KeyboardShortcutSetting shortcut{49, QStringLiteral("Space"), true, false, true, false};
        QCOMPARE(KeyboardShortcutSetting::fromJson(shortcut.toJson()), shortcut);
        QJsonObject negative = shortcut.toJson();
        negative.insert(QStringLiteral("keyCode"), -1);
        QVERIFY(!KeyboardShortcutSetting::fromJson(negative));
        QJsonObject fraction = shortcut.toJson();
        fraction.insert(QStringLiteral("keyCode"), 49.5);
        QVERIFY(!KeyboardShortcutSetting::fromJson(fraction));
        QVERIFY(!KeyboardShortcutSetting::fromJson(QJsonValue(QStringLiteral("Space"))));
    }
};

QTEST_GUILESS_MAIN(AgentSettingsTest)
#include "tst_agent_settings.moc"
