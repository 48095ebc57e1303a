#include "AgentReasoningEffort.h"

#include <QTest>

using namespace sorvane;

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
};

QTEST_GUILESS_MAIN(AgentSettingsTest)
#include "tst_agent_settings.moc"
