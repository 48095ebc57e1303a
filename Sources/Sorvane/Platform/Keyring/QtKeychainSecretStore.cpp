#include "QtKeychainSecretStore.h"

#include <qt6keychain/keychain.h>

#include <QCoroSignal>
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

} // namespace

QCoro::Task<SecretStore::ReadResult> QtKeychainSecretStore::read(QString service, QString account)
{
    auto job = makeJob<QKeychain::ReadPasswordJob>(service, account);
    ReadResult result;
    result.status = co_await run(job.get());
    if (result.status.kind == Status::Kind::Success)
        result.data = job->binaryData();
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
    co_return co_await run(job.get());
}

} // namespace sorvane
