// The key stores against a locked keyring: GNOME Keyring on a session bus of this test's
// own (the test runs under dbus-run-session), whose login keyring is locked once a key is
// stored. Nothing on that bus can show the unlock prompt, so every unlock is dismissed,
// as when the user dismisses the prompt.
#include "AwaitTask.h"
#include "Platform/Keyring/QtKeychainSecretStore.h"
#include "Services/Command/CloudAPIKeychainStore.h"
#include "TestPaths.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace sorvane;
using namespace sorvane::testing;

namespace {

const QString secrets = QStringLiteral("org.freedesktop.secrets");
const QString lockedMessage =
    QStringLiteral("The OpenAI API key could not be updated in the system keyring: The keyring is locked.");

QDBusMessage secretService(const QString &method, const QVariant &argument)
{
    QDBusMessage call = QDBusMessage::createMethodCall(secrets, QStringLiteral("/org/freedesktop/secrets"),
                                                       QStringLiteral("org.freedesktop.Secret.Service"), method);
    call << argument;
    return QDBusConnection::sessionBus().call(call, QDBus::Block, 20000);
}

// The items of the OpenAI key that the keyring holds locked.
int lockedItems(const CloudAPIKeychainStore &store)
{
    const QDBusMessage reply = secretService(
        QStringLiteral("SearchItems"),
        QVariant::fromValue(QMap<QString, QString>{{QStringLiteral("server"), store.service()},
                                                   {QStringLiteral("user"), store.account()}}));
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() != 2)
        return -1;
    return int(qdbus_cast<QList<QDBusObjectPath>>(reply.arguments().at(1)).size());
}

} // namespace

class LockedKeyringTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QProcess m_daemon;
    std::shared_ptr<SecretStore> m_keyring = std::make_shared<QtKeychainSecretStore>();
    std::optional<CloudAPIKeychainStore> m_openAI;

private Q_SLOTS:
    void initTestCase()
    {
        qDBusRegisterMetaType<QMap<QString, QString>>();
        QVERIFY(m_dir.isValid());
        const auto bus = QDBusConnection::sessionBus();
        QVERIFY2(bus.isConnected() && !bus.interface()->isServiceRegistered(secrets),
                 "not on a session bus of its own: the test runs under dbus-run-session");
        const QString runtime = m_dir.filePath(QStringLiteral("runtime"));
        QVERIFY(QDir().mkpath(runtime));
        QVERIFY(QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
        environment.insert(QStringLiteral("XDG_DATA_HOME"), m_dir.filePath(QStringLiteral("data")));
        m_daemon.setProcessEnvironment(environment);
        m_daemon.setProcessChannelMode(QProcess::ForwardedChannels);
        m_daemon.start(QStringLiteral("gnome-keyring-daemon"),
                       {QStringLiteral("--foreground"), QStringLiteral("--unlock"), QStringLiteral("--components=secrets")});
        QVERIFY2(m_daemon.waitForStarted(10000), "gnome-keyring-daemon is needed (package gnome-keyring)");
        m_daemon.write("login password");
        m_daemon.closeWriteChannel();
        QTRY_VERIFY_WITH_TIMEOUT(bus.interface()->isServiceRegistered(secrets), 20000);

        m_openAI = CloudAPIKeychainStore::forProvider(AgentWritingProvider::OpenAI, m_keyring);
        QVERIFY(awaitTask(m_openAI->save(QStringLiteral("sk-locked-key-0000000000"))));
        const auto stored = awaitTask(m_openAI->load());
        QVERIFY(stored && stored.value());
        const QDBusMessage locked = secretService(
            QStringLiteral("Lock"),
            QVariant::fromValue(QList<QDBusObjectPath>{QDBusObjectPath(QStringLiteral("/org/freedesktop/secrets/collection/login"))}));
        QCOMPARE(locked.type(), QDBusMessage::ReplyMessage);
        QCOMPARE(lockedItems(*m_openAI), 1);
    }

    void aKeyBehindTheLockIsNoMissingKey()
    {
        const auto loaded = awaitTask(m_openAI->load());
        QVERIFY(!loaded);
        QCOMPARE(loaded.error().message(), lockedMessage);
        // A provider with no key at all has none, locked or not.
        const auto gemini = CloudAPIKeychainStore::forProvider(AgentWritingProvider::Gemini, m_keyring);
        const auto none = awaitTask(gemini->load());
        QVERIFY(none);
        QVERIFY(!none.value());
    }

    void aKeyBehindTheLockIsNotRemoved()
    {
        const auto removed = awaitTask(m_openAI->remove());
        QVERIFY(!removed);
        QCOMPARE(removed.error().message(), lockedMessage);
        QCOMPARE(lockedItems(*m_openAI), 1);
    }

    void cleanupTestCase()
    {
        m_daemon.kill();
        m_daemon.waitForFinished(5000);
    }
};

QTEST_GUILESS_MAIN(LockedKeyringTest)
#include "tst_locked_keyring.moc"
