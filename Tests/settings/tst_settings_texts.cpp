#include "Settings/SettingsTexts.h"

#include <QTest>

using namespace sorvane;

Q_DECLARE_METATYPE(sorvane::AgentWritingProvider)
Q_DECLARE_METATYPE(sorvane::ErrorResolutionDestination::Kind)

// The texts and choices of the settings screens.
class SettingsTextsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void buildLabelJoinsVersionAndBuild_data()
    {
        QTest::addColumn<QString>("shortVersion");
        QTest::addColumn<QString>("build");
        QTest::addColumn<QString>("label");
        QTest::newRow("version alone") << "1.2" << "" << "1.2";
        QTest::newRow("with a build") << "1.2" << "45" << "1.2 (45)";
        QTest::newRow("build equal to version") << "1.2" << "1.2" << "1.2";
        QTest::newRow("no version") << "" << "45" << QString::fromUtf8("\u2014 (45)");
        QTest::newRow("blank version") << "  " << "45" << QString::fromUtf8("\u2014 (45)");
        QTest::newRow("neither") << "" << "" << QString::fromUtf8("\u2014");
    }
    void buildLabelJoinsVersionAndBuild()
    {
        QFETCH(QString, shortVersion);
        QFETCH(QString, build);
        QFETCH(QString, label);
        QCOMPARE(SettingsTexts::buildLabel(shortVersion, build), label);
    }

    void keyRowSaysWhatTheKeyringKnows_data()
    {
        QTest::addColumn<AgentWritingProvider>("provider");
        QTest::addColumn<bool>("configured");
        QTest::addColumn<bool>("loaded");
        QTest::addColumn<QString>("loadError");
        QTest::addColumn<QString>("detail");
        const QString saved = QString::fromUtf8("Saved in the system keyring \u00b7 ready for Command");
        const QString waiting = QString::fromUtf8("Waiting for the system keyring\u2026");
        QTest::newRow("stored") << AgentWritingProvider::OpenAI << true << true << "" << saved;
        QTest::newRow("saved while loading") << AgentWritingProvider::Gemini << true << false << "" << saved;
        QTest::newRow("missing") << AgentWritingProvider::Mistral << false << true << "" << "Required for Mistral writing models";
        // A locked keyring is not an empty one.
        QTest::newRow("keyring not answered") << AgentWritingProvider::OpenAI << false << false << "" << waiting;
        QTest::newRow("keyring failed") << AgentWritingProvider::Gemini << false << true << "The keyring is locked."
                                        << "The keyring is locked.";
    }
    void keyRowSaysWhatTheKeyringKnows()
    {
        QFETCH(AgentWritingProvider, provider);
        QFETCH(bool, configured);
        QFETCH(bool, loaded);
        QFETCH(QString, loadError);
        QFETCH(QString, detail);
        QCOMPARE(SettingsTexts::keyRowDetail(provider, configured, loaded, loadError), detail);
    }

    void keyRowButtonAndField()
    {
        QCOMPARE(SettingsTexts::keyRowButtonTitle(true, true), QStringLiteral("Close"));
        QCOMPARE(SettingsTexts::keyRowButtonTitle(true, false), QStringLiteral("Close"));
        QCOMPARE(SettingsTexts::keyRowButtonTitle(false, true), QStringLiteral("Replace"));
        QCOMPARE(SettingsTexts::keyRowButtonTitle(false, false), QStringLiteral("Add"));
        QCOMPARE(SettingsTexts::keyFieldPlaceholder(AgentWritingProvider::OpenAI, false),
                 QString::fromUtf8("Paste your OpenAI API key (sk-\u2026)"));
        QCOMPARE(SettingsTexts::keyFieldPlaceholder(AgentWritingProvider::Gemini, false), QStringLiteral("Paste your Gemini API key"));
        QCOMPARE(SettingsTexts::keyFieldPlaceholder(AgentWritingProvider::Mistral, true),
                 QStringLiteral("Paste a new key to replace the saved key"));
    }

    void saveNeedsMoreThanSpacesAndNoRunningJob_data()
    {
        QTest::addColumn<QString>("draft");
        QTest::addColumn<bool>("pending");
        QTest::addColumn<bool>("can");
        QTest::newRow("empty") << "" << false << false;
        QTest::newRow("spaces and newlines") << " \n\t \r\n" << false << false;
        QTest::newRow("a key") << "sk-abc" << false << true;
        QTest::newRow("a key with spaces around") << "  sk-abc\n" << false << true;
        QTest::newRow("a key while a job runs") << "sk-abc" << true << false;
    }
    void saveNeedsMoreThanSpacesAndNoRunningJob()
    {
        QFETCH(QString, draft);
        QFETCH(bool, pending);
        QFETCH(bool, can);
        QCOMPARE(SettingsTexts::canSaveKey(draft, pending), can);
    }

    void keyPagesAreTheProvidersOwn()
    {
        QCOMPARE(SettingsTexts::keyManagementPage(AgentWritingProvider::OpenAI), QUrl("https://platform.openai.com/api-keys"));
        QCOMPARE(SettingsTexts::keyManagementPage(AgentWritingProvider::Gemini), QUrl("https://aistudio.google.com/app/apikey"));
        QCOMPARE(SettingsTexts::keyManagementPage(AgentWritingProvider::Mistral), QUrl("https://console.mistral.ai/api-keys"));
        QVERIFY(SettingsTexts::keyManagementPage(AgentWritingProvider::Local).isEmpty());
    }

    void bannerDestinations_data()
    {
        QTest::addColumn<ErrorResolutionDestination::Kind>("kind");
        QTest::addColumn<bool>("shown");
        QTest::addColumn<bool>("clearedBySave");
        QTest::addColumn<bool>("inBehaviour");
        using Kind = ErrorResolutionDestination::Kind;
        QTest::newRow("key") << Kind::ApiKeys << true << true << false;
        QTest::newRow("permissions") << Kind::Permissions << true << false << false;
        QTest::newRow("speech models") << Kind::DictationModels << false << false << false;
        QTest::newRow("writing models") << Kind::CommandModels << false << false << false;
        QTest::newRow("Command settings") << Kind::CommandSettings << false << false << true;
    }
    void bannerDestinations()
    {
        QFETCH(ErrorResolutionDestination::Kind, kind);
        QFETCH(bool, shown);
        QFETCH(bool, clearedBySave);
        QFETCH(bool, inBehaviour);
        ErrorResolutionDestination destination = ErrorResolutionDestination::permissions();
        switch (kind) {
        case ErrorResolutionDestination::Kind::ApiKeys: destination = ErrorResolutionDestination::apiKeys(AgentWritingProvider::Gemini); break;
        case ErrorResolutionDestination::Kind::DictationModels: destination = ErrorResolutionDestination::dictationModels(); break;
        case ErrorResolutionDestination::Kind::CommandModels: destination = ErrorResolutionDestination::commandModels(); break;
        case ErrorResolutionDestination::Kind::CommandSettings: destination = ErrorResolutionDestination::commandSettings(); break;
        case ErrorResolutionDestination::Kind::Permissions: break;
        }
        const ErrorResolution resolution(QStringLiteral("Something failed."), destination);
        QCOMPARE(SettingsTexts::accountShowsBanner(resolution), shown);
        QCOMPARE(SettingsTexts::savingKeyClearsBanner(resolution), clearedBySave);
        QCOMPARE(SettingsTexts::behaviourShowsBanner(resolution), inBehaviour);
        QVERIFY(!SettingsTexts::accountShowsBanner(std::nullopt));
        QVERIFY(!SettingsTexts::behaviourShowsBanner(std::nullopt));
        QVERIFY(!SettingsTexts::savingKeyClearsBanner(std::nullopt));
    }

    void removalTitleNamesTheProvider()
    {
        QCOMPARE(SettingsTexts::removalTitle(AgentWritingProvider::Mistral), QStringLiteral("Remove the Mistral API key?"));
        QCOMPARE(SettingsTexts::removalTitle(std::nullopt), QStringLiteral("Remove the cloud API key?"));
    }
};

QTEST_GUILESS_MAIN(SettingsTextsTest)
#include "tst_settings_texts.moc"
