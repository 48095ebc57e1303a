// Without any keyring the key stores fail, and the key is not kept anywhere else.
#include "AwaitTask.h"
#include "Platform/Keyring/QtKeychainSecretStore.h"
#include "Services/Command/CloudAPIKeychainStore.h"
#include "TestPaths.h"

#include <QDir>
#include <QTest>

using namespace sorvane;
using namespace sorvane::testing;

class CloudAPINoKeyringTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void nothingFallsBackToAFile()
    {
        const QString home = QDir::homePath();
        QVERIFY(home.contains(QLatin1String("test-home"))); // never the real home
        const QStringList before = treeOf(home);

        const auto store = *CloudAPIKeychainStore::forProvider(AgentWritingProvider::Mistral,
                                                               std::make_shared<QtKeychainSecretStore>());
        const auto saved = awaitTask(store.save(QStringLiteral("mistral-key-0000000000000")));
        QVERIFY(!saved);
        QCOMPARE(saved.error().kind(), CloudAPIKeychainError::Kind::OperationFailed);
        QVERIFY(saved.error().message().startsWith(
            QLatin1String("The Mistral API key could not be updated in the system keyring")));

        const auto loaded = awaitTask(store.load());
        QVERIFY(!loaded);
        QCOMPARE(treeOf(home), before);
    }
};

QTEST_GUILESS_MAIN(CloudAPINoKeyringTest)
#include "tst_cloud_api_no_keyring.moc"
