#include "QtKeychainSecretStore.h"

#include <qt6keychain/keychain.h>

#include <QCoroDBusPendingCall>
#include <QCoroSignal>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <memory>

namespace sorvane {

namespace {

// QtKeychain may still touch a finished job right after emitting `finished`, so a job
// is only ever released through the event loop.
struct DeleteLater {
    void operator()(QObject *object) const { object->deleteLater(); }
};
template <typename Job>
using JobHandle = std::unique_ptr<Job, DeleteLater>;

template <typename Job>
JobHandle<Job> makeJob(const QString &service, const QString &account)
{
    JobHandle<Job> job(new Job(service));
    job->setAutoDelete(false);
    job->setKey(account);
    // Said explicitly although it is QtKeychain's default: without a keyring the key
    // must not end up in a plain settings file.
    job->setInsecureFallback(false);
    return job;
}

// Job::start() only queues the job, so the wait below is in place before `finished`.
QCoro::Task<SecretStore::Status> run(QKeychain::Job *job)
{
    job->start();
    co_await qCoro(job, &QKeychain::Job::finished);
    switch (job->error()) {
    case QKeychain::NoError:
        co_return SecretStore::Status::success();
    case QKeychain::EntryNotFound:
        co_return SecretStore::Status::itemNotFound();
    default:
        co_return SecretStore::Status::failed(qint32(job->error()), job->errorString());
    }
}

using Attributes = QMap<QString, QString>;

// Whether the Secret Service holds the item of `service` and `account` in a locked
// collection. QtKeychain cannot tell such an item from none: when the unlock prompt is
// dismissed (or the desktop has no prompter) a read finds "no item" and a removal
// removes nothing, both without an error. The items QtKeychain writes carry the service
// as "server" and the account as "user". Only a running Secret Service is asked, and
// any failure to ask counts as "no".
QCoro::Task<bool> lockedItemExists(QString service, QString account)
{
    static const QMetaType registered = qDBusRegisterMetaType<Attributes>();
    Q_UNUSED(registered);
    QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.secrets"),
                                                       QStringLiteral("/org/freedesktop/secrets"),
                                                       QStringLiteral("org.freedesktop.Secret.Service"),
                                                       QStringLiteral("SearchItems"));
    call.setAutoStartService(false);
    call << QVariant::fromValue(Attributes{{QStringLiteral("server"), service}, {QStringLiteral("user"), account}});
    // A named call: temporaries in a co_await expression are not safe with every compiler.
    const QDBusPendingCall pending = QDBusConnection::sessionBus().asyncCall(call, 10000);
    const QDBusMessage answer = co_await pending;
    if (answer.type() != QDBusMessage::ReplyMessage || answer.arguments().size() != 2)
        co_return false;
    const auto locked = qdbus_cast<QList<QDBusObjectPath>>(answer.arguments().at(1));
    co_return !locked.isEmpty();
}

SecretStore::Status lockedKeyring()
{
    return SecretStore::Status::failed(qint32(QKeychain::AccessDenied), QStringLiteral("The keyring is locked."));
}

} // namespace

QCoro::Task<SecretStore::ReadResult> QtKeychainSecretStore::read(QString service, QString account)
{
    auto job = makeJob<QKeychain::ReadPasswordJob>(service, account);
    ReadResult result;
    result.status = co_await run(job.get());
    if (result.status.kind == Status::Kind::Success)
        result.data = job->binaryData();
    // A key behind a locked keyring is not a missing key. (Each task is made in a
    // statement of its own and then awaited: GCC 12 destroys some temporaries of an
    // awaited call twice.)
    if (result.status.kind == Status::Kind::ItemNotFound) {
        auto asking = lockedItemExists(service, account);
        if (co_await std::move(asking))
            result.status = lockedKeyring();
    }
    co_return result;
}

QCoro::Task<SecretStore::Status> QtKeychainSecretStore::write(QString service, QString account, QByteArray data)
{
    auto job = makeJob<QKeychain::WritePasswordJob>(service, account);
    // Stored as text (not base64) so that other keyring tools show the key as it is.
    job->setTextData(QString::fromUtf8(data));
    co_return co_await run(job.get());
}

QCoro::Task<SecretStore::Status> QtKeychainSecretStore::remove(QString service, QString account)
{
    auto job = makeJob<QKeychain::DeletePasswordJob>(service, account);
    const Status status = co_await run(job.get());
    if (status.kind == Status::Kind::Failed)
        co_return status;
    // A key still there behind a locked keyring was not removed.
    auto asking = lockedItemExists(service, account);
    if (co_await std::move(asking))
        co_return lockedKeyring();
    co_return status;
}

} // namespace sorvane
