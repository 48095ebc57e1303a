#include "AwaitTask.h"
#include "FakeSecretStore.h"
#include "Services/Command/CloudAPIKeychainStore.h"

#include <QCoroTask>
#include <QTest>

using namespace sorvane;
using namespace sorvane::testing;

namespace {

const QString openAIService = QStringLiteral("com.sorvane.local.openai-api");
const QString legacyService = QStringLiteral("com.brivel.plus.openai-api");
const QString openAIAccount = QStringLiteral("OPENAI_API_KEY");

struct Fixture {
    std::shared_ptr<FakeSecretStore> keyring = std::make_shared<FakeSecretStore>();
    CloudAPIKeychainStore store(AgentWritingProvider provider)
    {
        if (provider == AgentWritingProvider::Local) // never built by the program; checked all the same
            return CloudAPIKeychainStore(provider, QStringLiteral("local"), std::nullopt, QStringLiteral("LOCAL"), keyring);
        return *CloudAPIKeychainStore::forProvider(provider, keyring);
    }
};

template <typename T>
QString errorMessage(const Result<T, CloudAPIKeychainError> &result)
{
    return result ? QString() : result.error().message();
}

} // namespace

class CloudAPIKeysTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void theThreeStores()
    {
        auto keyring = std::make_shared<FakeSecretStore>();
        QVERIFY(!CloudAPIKeychainStore::forProvider(AgentWritingProvider::Local, keyring));
        const auto openAI = *CloudAPIKeychainStore::forProvider(AgentWritingProvider::OpenAI, keyring);
        QCOMPARE(openAI.service(), openAIService);
        QCOMPARE(openAI.legacyService(), std::optional<QString>(legacyService));
        QCOMPARE(openAI.account(), openAIAccount);
        const auto gemini = *CloudAPIKeychainStore::forProvider(AgentWritingProvider::Gemini, keyring);
        QCOMPARE(gemini.service(), QStringLiteral("com.sorvane.local.gemini-api"));
        QVERIFY(!gemini.legacyService());
        QCOMPARE(gemini.account(), QStringLiteral("GEMINI_API_KEY"));
        const auto mistral = *CloudAPIKeychainStore::forProvider(AgentWritingProvider::Mistral, keyring);
        QCOMPARE(mistral.service(), QStringLiteral("com.sorvane.local.mistral-api"));
        QVERIFY(!mistral.legacyService());
        QCOMPARE(mistral.account(), QStringLiteral("MISTRAL_API_KEY"));
    }

    void save_data()
    {
        QTest::addColumn<AgentWritingProvider>("provider");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("stored");  // what the keyring holds afterwards
        QTest::addColumn<QString>("message"); // the refusal, when there is one

        const QString letters17 = QStringLiteral("abcdefghijklmnopq");
        QTest::newRow("trimmed to 20") << AgentWritingProvider::OpenAI << "  sk-" + letters17 + "\n"
                                       << "sk-" + letters17 << QString();
        QTest::newRow("19 characters") << AgentWritingProvider::OpenAI << "sk-" + letters17.left(16) << QString()
                                       << "Enter a valid OpenAI API key beginning with sk-.";
        QTest::newRow("no sk- prefix") << AgentWritingProvider::OpenAI << QString(25, QLatin1Char('a')) << QString()
                                       << "Enter a valid OpenAI API key beginning with sk-.";
        QTest::newRow("upper-case prefix") << AgentWritingProvider::OpenAI << "SK-" + letters17 + "xyz" << QString()
                                           << "Enter a valid OpenAI API key beginning with sk-.";
        QTest::newRow("gemini 19") << AgentWritingProvider::Gemini << QString(19, QLatin1Char('g')) << QString()
                                   << "Enter a valid Gemini API key.";
        QTest::newRow("gemini 20, no prefix needed") << AgentWritingProvider::Gemini << QString(20, QLatin1Char('g'))
                                                     << QString(20, QLatin1Char('g')) << QString();
        QTest::newRow("space inside") << AgentWritingProvider::Mistral << "abcdefghij klmnopqrstuvwxyz" << QString()
                                      << "Enter a valid Mistral API key.";
        QTest::newRow("line break inside") << AgentWritingProvider::Mistral << "abcdefghij\nklmnopqrstuvwxyz"
                                           << QString() << "Enter a valid Mistral API key.";
        QTest::newRow("tab inside") << AgentWritingProvider::Gemini << "abcdefghij\tklmnopqrstuvwxyz" << QString()
                                    << "Enter a valid Gemini API key.";
        QTest::newRow("spaces only") << AgentWritingProvider::Gemini << QString(30, QLatin1Char(' ')) << QString()
                                     << "Enter a valid Gemini API key.";
        QTest::newRow("local provider") << AgentWritingProvider::Local << QString(30, QLatin1Char('k')) << QString()
                                        << "Enter a valid Local API key.";
    }

    void save()
    {
        QFETCH(AgentWritingProvider, provider);
        QFETCH(QString, key);
        QFETCH(QString, stored);
        QFETCH(QString, message);

        Fixture fixture;
        const auto store = fixture.store(provider);
        const auto result = awaitTask(store.save(key));
        QCOMPARE(errorMessage(result), message);
        if (message.isEmpty()) {
            QCOMPARE(fixture.keyring->calls, QStringList{"write " + store.service()});
            QCOMPARE(fixture.keyring->items.value({store.service(), store.account()}), stored.toUtf8());
        } else {
            QCOMPARE(result.error().kind(), CloudAPIKeychainError::Kind::InvalidKey);
            // Refused before the keyring is touched.
            QVERIFY(fixture.keyring->calls.isEmpty());
        }
    }

    void keyringFailures_data()
    {
        QTest::addColumn<QString>("operation"); // save, remove or load
        QTest::addColumn<QString>("failingCall");
        QTest::addColumn<QString>("systemMessage");
        QTest::addColumn<QString>("message");

        const QString withMessage = QStringLiteral("The Gemini API key could not be updated in the system keyring: "
                                                   "The collection is locked");
        const QString without = QStringLiteral("The Gemini API key could not be updated in the system keyring.");
        const QString gemini = QStringLiteral("com.sorvane.local.gemini-api");
        QTest::newRow("save, with message") << "save" << "write " + gemini << "The collection is locked" << withMessage;
        QTest::newRow("save, no message") << "save" << "write " + gemini << QString() << without;
        QTest::newRow("remove") << "remove" << "remove " + gemini << "The collection is locked" << withMessage;
        QTest::newRow("load") << "load" << "read " + gemini << QString() << without;
    }

    void keyringFailures()
    {
        QFETCH(QString, operation);
        QFETCH(QString, failingCall);
        QFETCH(QString, systemMessage);
        QFETCH(QString, message);

        Fixture fixture;
        const auto store = fixture.store(AgentWritingProvider::Gemini);
        fixture.keyring->items.insert({store.service(), store.account()}, "gemini-key-already-there");
        fixture.keyring->failures.insert(failingCall, SecretStore::Status::failed(5, systemMessage));

        CloudAPIKeychainError error = CloudAPIKeychainError::invalidKey(AgentWritingProvider::Local);
        if (operation == QLatin1String("save")) {
            const auto result = awaitTask(store.save(QStringLiteral("a-new-gemini-key-of-length")));
            QVERIFY(!result);
            error = result.error();
        } else if (operation == QLatin1String("remove")) {
            const auto result = awaitTask(store.remove());
            QVERIFY(!result);
            error = result.error();
        } else {
            const auto result = awaitTask(store.load());
            QVERIFY(!result);
            error = result.error();
        }
        QCOMPARE(error.kind(), CloudAPIKeychainError::Kind::OperationFailed);
        QCOMPARE(error.status(), 5);
        QCOMPARE(error.message(), message);
        // A refused change leaves the stored key as it was.
        QCOMPARE(fixture.keyring->items.value({store.service(), store.account()}), QByteArray("gemini-key-already-there"));
    }

    void removeClearsBothServices()
    {
        Fixture fixture;
        const auto store = fixture.store(AgentWritingProvider::OpenAI);
        fixture.keyring->items.insert({openAIService, openAIAccount}, "sk-current-key-000000000");
        fixture.keyring->items.insert({legacyService, openAIAccount}, "sk-legacy-key-0000000000");
        fixture.keyring->items.insert({openAIService, QStringLiteral("SOMEONE_ELSE")}, "kept");
        QVERIFY(awaitTask(store.remove()));
        QCOMPARE(fixture.keyring->items.keys(), (QList<FakeSecretStore::Item>{{openAIService, "SOMEONE_ELSE"}}));

        // Nothing left anywhere: still done.
        fixture.keyring->calls.clear();
        QVERIFY(awaitTask(store.remove()));
        QCOMPARE(fixture.keyring->calls, (QStringList{"remove " + openAIService, "remove " + legacyService}));
    }

    void aFailedRemoveKeepsTheLegacyItem()
    {
        Fixture fixture;
        const auto store = fixture.store(AgentWritingProvider::OpenAI);
        fixture.keyring->items.insert({legacyService, openAIAccount}, "sk-legacy-key-0000000000");
        fixture.keyring->failures.insert("remove " + openAIService, SecretStore::Status::failed(6));
        const auto result = awaitTask(store.remove());
        QCOMPARE(errorMessage(result), QStringLiteral("The OpenAI API key could not be updated in the system keyring."));
        QCOMPARE(fixture.keyring->calls, QStringList{"remove " + openAIService});
        QVERIFY(fixture.keyring->items.contains({legacyService, openAIAccount}));
    }

    void load_data()
    {
        QTest::addColumn<AgentWritingProvider>("provider");
        QTest::addColumn<QByteArray>("current"); // null: no item
        QTest::addColumn<QByteArray>("legacy");
        QTest::addColumn<QString>("loaded");     // null: nothing
        QTest::addColumn<QString>("message");    // the error, when there is one
        QTest::addColumn<QByteArray>("currentAfter");

        const QByteArray none;
        QTest::newRow("nothing anywhere") << AgentWritingProvider::OpenAI << none << none << QString() << QString()
                                          << none;
        QTest::newRow("current as stored") << AgentWritingProvider::OpenAI << QByteArray(" sk-stored-with-a-space  ")
                                           << QByteArray("sk-legacy-key-0000000000") << " sk-stored-with-a-space  "
                                           << QString() << QByteArray(" sk-stored-with-a-space  ");
        QTest::newRow("legacy moved, returned as saved")
            << AgentWritingProvider::OpenAI << none << QByteArray("  sk-legacy-key-0000000000\n")
            << "sk-legacy-key-0000000000" << QString() << QByteArray("sk-legacy-key-0000000000");
        QTest::newRow("legacy not a valid key") << AgentWritingProvider::OpenAI << none << QByteArray("legacy-key-without-prefix")
                                                << QString() << "Enter a valid OpenAI API key beginning with sk-." << none;
        QTest::newRow("empty item") << AgentWritingProvider::OpenAI << QByteArray("") << none << QString()
                                    << "The OpenAI API key could not be updated in the system keyring." << QByteArray("");
        QTest::newRow("not UTF-8") << AgentWritingProvider::Mistral << QByteArray("mistral-\xff\xfe-key-long-enough")
                                   << none << QString()
                                   << "The Mistral API key could not be updated in the system keyring."
                                   << QByteArray("mistral-\xff\xfe-key-long-enough");
        // Written to the keyring by something else: such a key would end its request header.
        QTest::newRow("a line break inside") << AgentWritingProvider::OpenAI
                                             << QByteArray("sk-stored-key-000000\r\nX-Injected: yes") << none << QString()
                                             << "Enter a valid OpenAI API key beginning with sk-."
                                             << QByteArray("sk-stored-key-000000\r\nX-Injected: yes");
        QTest::newRow("a control character") << AgentWritingProvider::Gemini << QByteArray("gemini-key\x01-long-enough-000")
                                             << none << QString() << "Enter a valid Gemini API key."
                                             << QByteArray("gemini-key\x01-long-enough-000");
        QTest::newRow("no legacy for gemini") << AgentWritingProvider::Gemini << none << QByteArray("a-legacy-gemini-key-000")
                                              << QString() << QString() << none;
    }

    void load()
    {
        QFETCH(AgentWritingProvider, provider);
        QFETCH(QByteArray, current);
        QFETCH(QByteArray, legacy);
        QFETCH(QString, loaded);
        QFETCH(QString, message);
        QFETCH(QByteArray, currentAfter);

        Fixture fixture;
        const auto store = fixture.store(provider);
        if (!current.isNull())
            fixture.keyring->items.insert({store.service(), store.account()}, current);
        if (!legacy.isNull())
            fixture.keyring->items.insert({legacyService, store.account()}, legacy);

        const auto result = awaitTask(store.load());
        QCOMPARE(errorMessage(result), message);
        if (result) {
            QCOMPARE(result.value().has_value(), !loaded.isNull());
            if (!loaded.isNull())
                QCOMPARE(*result.value(), loaded);
        } else if (current.isNull() == false) {
            QCOMPARE(result.error().status(), 0);
        }
        QCOMPARE(fixture.keyring->items.contains({store.service(), store.account()}), !currentAfter.isNull());
        QCOMPARE(fixture.keyring->items.value({store.service(), store.account()}), currentAfter);
        // The legacy item is never written or removed by a load.
        QCOMPARE(fixture.keyring->items.value({legacyService, store.account()}), legacy);
        QVERIFY(!fixture.keyring->calls.contains("write " + legacyService));
    }

    void aFailingLegacyReadIsReported()
    {
        Fixture fixture;
        const auto store = fixture.store(AgentWritingProvider::OpenAI);
        fixture.keyring->failures.insert("read " + legacyService, SecretStore::Status::failed(4, "Access denied"));
        const auto result = awaitTask(store.load());
        QCOMPARE(errorMessage(result),
                 QStringLiteral("The OpenAI API key could not be updated in the system keyring: Access denied"));
    }
};

QTEST_GUILESS_MAIN(CloudAPIKeysTest)
#include "tst_cloud_api_keys.moc"
