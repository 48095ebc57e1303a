#include "SettingsAreaRules.h"

#include <QTest>

using namespace sorvane;
using R = SettingsAreaRules;

class SettingsAreaRulesTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void dimming_data()
    {
        QTest::addColumn<bool>("paste");
        QTest::addColumn<bool>("restore");
        QTest::addColumn<bool>("switchEnabled");
        QTest::addColumn<bool>("stepperEnabled");
        QTest::newRow("paste off, restore on") << false << true << false << false;
        QTest::newRow("paste off, restore off") << false << false << false << false;
        QTest::newRow("paste on, restore off") << true << false << true << false;
        QTest::newRow("paste on, restore on") << true << true << true << true;
    }
    void dimming()
    {
        QFETCH(bool, paste);
        QFETCH(bool, restore);
        QFETCH(bool, switchEnabled);
        QFETCH(bool, stepperEnabled);
        QCOMPARE(R::restoreSwitchEnabled(paste), switchEnabled);
        QCOMPARE(R::restoreDelayEnabled(paste, restore), stepperEnabled);
        QCOMPARE(R::controlOpacity(stepperEnabled), stepperEnabled ? 1.0 : 0.46);
    }

    void reasoningRows_data()
    {
        QTest::addColumn<int>("provider");
        QTest::addColumn<bool>("shown");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QStringList>("options");
        QTest::newRow("local") << int(AgentWritingProvider::Local) << false << "Local thinking level" << QStringList{};
        QTest::newRow("OpenAI") << int(AgentWritingProvider::OpenAI) << true << "OpenAI thinking level"
                                << QStringList{"Automatic", "Instant", "Quick", "Balanced", "Thorough", "Deep", "Max"};
        QTest::newRow("Gemini") << int(AgentWritingProvider::Gemini) << true << "Gemini thinking level"
                                << QStringList{"Automatic", "Instant", "Quick", "Balanced", "Thorough"};
        QTest::newRow("Mistral") << int(AgentWritingProvider::Mistral) << true << "Mistral thinking level"
                                 << QStringList{"Automatic", "Instant", "Thorough"};
    }
    void reasoningRows()
    {
        QFETCH(int, provider);
        QFETCH(bool, shown);
        QFETCH(QString, title);
        QFETCH(QStringList, options);
        AgentSettings settings;
        settings.writingProvider = AgentWritingProvider(provider);
        QCOMPARE(R::showsReasoningRow(settings), shown);
        QCOMPARE(R::reasoningRowTitle(settings), title);
        QCOMPARE(R::reasoningOptionTitles(settings), options);
        QCOMPARE(R::reasoningSelectedIndex(settings), shown ? 0 : -1);
    }

    // A stored effort the provider does not offer selects nothing, still gives the
    // detail, and only an offered one replaces it.
    void anEffortNotOfferedSelectsNothing()
    {
        AgentSettings settings;
        settings.writingProvider = AgentWritingProvider::OpenAI;
        settings.openAIReasoningEffort = AgentReasoningEffort::Minimal;
        QCOMPARE(R::reasoningSelectedIndex(settings), -1);
        QCOMPARE(R::reasoningDetail(settings), QStringLiteral("No extra thinking \u2014 the fastest responses"));
        QCOMPARE(R::withReasoningChoice(settings, 9), settings);
        QCOMPARE(R::withReasoningChoice(settings, -1), settings);
        const AgentSettings chosen = R::withReasoningChoice(settings, 3);
        QCOMPARE(chosen.openAIReasoningEffort, AgentReasoningEffort::Medium);
        QCOMPARE(chosen.geminiReasoningEffort, settings.geminiReasoningEffort);
        QCOMPARE(R::reasoningSelectedIndex(chosen), 3);
        // Each provider keeps its own.
        AgentSettings gemini = chosen;
        gemini.writingProvider = AgentWritingProvider::Gemini;
        QCOMPARE(R::reasoningSelectedIndex(gemini), 0);
        QCOMPARE(R::withReasoningChoice(gemini, 1).geminiReasoningEffort, AgentReasoningEffort::Minimal);
        // Nothing to choose for the local models.
        AgentSettings local = chosen;
        local.writingProvider = AgentWritingProvider::Local;
        QCOMPARE(R::withReasoningChoice(local, 0), local);
    }

    void textsOfTheRows_data()
    {
        QTest::addColumn<QString>("actual");
        QTest::addColumn<QString>("expected");
        QTest::newRow("delay") << R::restoreDelayLabel(3) << "3 s";
        QTest::newRow("delay, spoken") << R::restoreDelayAccessibleValue(60) << "60 seconds";
        QTest::newRow("login, no message") << R::loginDetail(QString()) << "Start Sorvane automatically when you log in";
        QTest::newRow("login, refused") << R::loginDetail("The autostart folder is read-only.")
                                        << "The autostart folder is read-only.";
        QTest::newRow("no terms") << R::vocabularyDetail(0) << "No spelling hints yet";
        QTest::newRow("one term") << R::vocabularyDetail(1) << "1 term the recognizer should spell your way";
        QTest::newRow("two terms") << R::vocabularyDetail(2) << "2 terms the recognizer should spell your way";
        QTest::newRow("classic tile") << R::sizeAccessibleName(0) << "Classic overlay size";
        QTest::newRow("mini tile") << R::sizeAccessibleName(1) << "Mini overlay size";
        QTest::newRow("selected") << R::selectionAccessibleValue(true) << "Selected";
        QTest::newRow("not selected") << R::selectionAccessibleValue(false) << "Not selected";
    }
    void textsOfTheRows()
    {
        QFETCH(QString, actual);
        QFETCH(QString, expected);
        QCOMPARE(actual, expected);
    }

    void previewScheme_data()
    {
        QTest::addColumn<int>("appearance");
        QTest::addColumn<bool>("desktopDark");
        QTest::addColumn<bool>("dark");
        QTest::newRow("light on a dark desktop") << int(OverlayAppearance::Light) << true << false;
        QTest::newRow("dark on a light desktop") << int(OverlayAppearance::Dark) << false << true;
        QTest::newRow("automatic follows dark") << int(OverlayAppearance::Automatic) << true << true;
        QTest::newRow("automatic follows light") << int(OverlayAppearance::Automatic) << false << false;
    }
    void previewScheme()
    {
        QFETCH(int, appearance);
        QFETCH(bool, desktopDark);
        QFETCH(bool, dark);
        QCOMPARE(R::previewUsesDark(appearance, desktopDark), dark);
    }

    void theMiniPreviewCutsItsTallestBars()
    {
        QCOMPARE(R::previewBars(22), (QVariantList{4.0, 13.0, 7.0, 20.0, 10.0, 17.0, 6.0, 12.0, 5.0}));
        QCOMPARE(R::previewBars(17), (QVariantList{4.0, 13.0, 7.0, 17.0, 10.0, 17.0, 6.0, 12.0, 5.0}));
    }

    void atMostFiveProfiles()
    {
        AgentSettings settings;
        for (int i = 0; i < 4; ++i)
            settings.promptProfiles.append(AgentPromptProfile{QUuid::createUuid(), {}, {}, {}});
        QVERIFY(R::canAddProfile(settings));
        settings.promptProfiles.append(AgentPromptProfile{QUuid::createUuid(), {}, {}, {}});
        QVERIFY(!R::canAddProfile(settings));
    }
};

QTEST_APPLESS_MAIN(SettingsAreaRulesTest)
#include "tst_settings_area_rules.moc"
