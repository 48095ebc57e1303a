#include "Shared/ErrorResolution.h"

#include <QTest>

using namespace sorvane;

class ErrorResolutionTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void resolutionsAreTheSameBannerByIdAlone()
    {
        const ErrorResolution first(QStringLiteral("No key"), ErrorResolutionDestination::apiKeys(AgentWritingProvider::Gemini));
        const ErrorResolution sameId(first.id, QStringLiteral("Another text"), ErrorResolutionDestination::permissions());
        QVERIFY(first == sameId);
        QVERIFY(!first.id.isNull());

        // Each one made has a fresh identity, even with the same message and destination.
        const ErrorResolution again(first.message, first.destination);
        QVERIFY(again != first);
    }

    void destinationsCompareByKindAndProvider()
    {
        using D = ErrorResolutionDestination;
        QVERIFY(D::apiKeys(AgentWritingProvider::Gemini) != D::apiKeys(AgentWritingProvider::Mistral));
        QVERIFY(D::apiKeys(AgentWritingProvider::OpenAI) == D::apiKeys(AgentWritingProvider::OpenAI));
        QVERIFY(D::dictationModels() == D::dictationModels());
        QVERIFY(D::dictationModels() != D::commandModels());
        QVERIFY(D::commandSettings() != D::permissions());
        QVERIFY(D::apiKeys(AgentWritingProvider::Local) != D::commandSettings());
        QCOMPARE(D::apiKeys(AgentWritingProvider::Mistral).provider(), AgentWritingProvider::Mistral);
        QCOMPARE(D::permissions().kind(), D::Kind::Permissions);
    }
};

QTEST_GUILESS_MAIN(ErrorResolutionTest)
#include "tst_error_resolution.moc"
