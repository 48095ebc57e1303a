// The key stores against a real Secret Service (GNOME Keyring on the private session bus
// that scripts/test.sh starts), checked from outside with secret-tool.
#include "AwaitTask.h"
#include "Platform/Keyring/QtKeychainSecretStore.h"
#include "Services/Command/CloudAPIKeychainStore.h"
#include "TestPaths.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QProcess>
#include <QTest>

using namespace sorvane;
using namespace sorvane::testing;

namespace {

struct Lookup {
    bool found = false;
    QString secret;
};

// What secret-tool finds under the attributes QtKeychain gives an item.
Lookup lookUp(const QString &service, const QString &account)
{
    QProcess tool;
    tool.start(QStringLiteral("secret-tool"),
               {QStringLiteral("lookup"), QStringLiteral("server"), service, QStringLiteral("user"), account});
    if (!tool.waitForFinished(10000))
        return {};
    return {tool.exitStatus() == QProcess::NormalExit && tool.exitCode() == 0,
            QString::fromUtf8(tool.readAllStandardOutput())};
}

int itemCount(const QString &service, const QString &account)
{
    QProcess tool;
    tool.start(QStringLiteral("secret-tool"), {QStringLiteral("search"), QStringLiteral("--all"), QStringLiteral("server"),
                                               service, QStringLiteral("user"), account});
    tool.waitForFinished(10000);
    // Each item is printed as a block that starts with its path in brackets ("[/1]").
    int count = 0;
    for (const QByteArray &line : tool.readAllStandardOutput().split('\n'))
        if (line.startsWith('[') && line.endsWith(']'))
            ++count;
    return count;
}

} // namespace

class CloudAPIKeyringTest : public QObject {
    Q_OBJECT

    std::shared_ptr<SecretStore> m_keyring = std::make_shared<QtKeychainSecretStore>();
    std::optional<CloudAPIKeychainStore> m_openAI;
    std::optional<CloudAPIKeychainStore> m_gemini;

private Q_SLOTS:
    void initTestCase()
    {
        const auto bus = QDBusConnection::sessionBus();
        if (!bus.isConnected() || !bus.interface()->isServiceRegistered(QStringLiteral("org.freedesktop.secrets"))) {
            const QString reason = QStringLiteral("no Secret Service on the session bus (run through scripts/test.sh, "
                                                  "which starts gnome-keyring-daemon)");
            if (qEnvironmentVariable("SORVANE_TEST_KEYRING") == QLatin1String("required"))
                QFAIL(qPrintable(reason));
            exitSkipped(reason);
        }
        m_openAI = CloudAPIKeychainStore::forProvider(AgentWritingProvider::OpenAI, m_keyring);
        m_gemini = CloudAPIKeychainStore::forProvider(AgentWritingProvider::Gemini, m_keyring);
    }

    void init()
    {
        QVERIFY(awaitTask(m_openAI->remove()));
        QVERIFY(awaitTask(m_gemini->remove()));
        QVERIFY(!lookUp(m_openAI->service(), m_openAI->account()).found);
    }

    void saveReplaceLoadRemove()
    {
        const QString service = m_openAI->service();
        const QString account = m_openAI->account();

        QVERIFY(awaitTask(m_openAI->save(QStringLiteral("  sk-first-key-0000000000\n"))));
        QCOMPARE(lookUp(service, account).secret, QStringLiteral("sk-first-key-0000000000"));

        QVERIFY(awaitTask(m_openAI->save(QStringLiteral("sk-second-key-000000000"))));
        QCOMPARE(lookUp(service, account).secret, QStringLiteral("sk-second-key-000000000"));
        QCOMPARE(itemCount(service, account), 1); // replaced, not added beside the first

        auto loaded = awaitTask(m_openAI->load());
        QVERIFY(loaded);
        QCOMPARE(loaded.value(), std::optional<QString>(QStringLiteral("sk-second-key-000000000")));

        // Another provider's key is a separate item.
        QVERIFY(awaitTask(m_gemini->save(QStringLiteral("gemini-key-000000000000"))));
        QVERIFY(awaitTask(m_openAI->remove()));
        QVERIFY(!lookUp(service, account).found);
        QCOMPARE(lookUp(m_gemini->service(), m_gemini->account()).secret, QStringLiteral("gemini-key-000000000000"));

        loaded = awaitTask(m_openAI->load());
        QVERIFY(loaded);
        QVERIFY(!loaded.value());
        // Removing what is no longer there is still done.
        QVERIFY(awaitTask(m_openAI->remove()));
    }

    void theLegacyKeyMovesOver()
    {
        const QString legacy = *m_openAI->legacyService();
        const QString account = m_openAI->account();
        const auto seeded = awaitTask(m_keyring->write(legacy, account, "  sk-legacy-key-00000000000\n"));
        QCOMPARE(seeded.kind, SecretStore::Status::Kind::Success);

        const auto loaded = awaitTask(m_openAI->load());
        QVERIFY(loaded);
        QCOMPARE(loaded.value(), std::optional<QString>(QStringLiteral("sk-legacy-key-00000000000")));
        QCOMPARE(lookUp(m_openAI->service(), account).secret, QStringLiteral("sk-legacy-key-00000000000"));
        // The earlier item stays until the key is removed, and then both go.
        QVERIFY(lookUp(legacy, account).found);
        QVERIFY(awaitTask(m_openAI->remove()));
        QVERIFY(!lookUp(legacy, account).found);
        QVERIFY(!lookUp(m_openAI->service(), account).found);
    }

    void cleanupTestCase()
    {
        if (m_openAI) {
            awaitTask(m_openAI->remove());
            awaitTask(m_gemini->remove());
        }
    }
};

QTEST_GUILESS_MAIN(CloudAPIKeyringTest)
#include "tst_cloud_api_keyring.moc"
