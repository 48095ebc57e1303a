#pragma once

#include "Platform/SecretStore.h"

#include <QMap>
#include <QPair>
#include <QStringList>

namespace sorvane::testing {

// An in-memory keyring that records what it was asked to do and can be told to fail.
class FakeSecretStore final : public SecretStore {
public:
    using Item = QPair<QString, QString>; // service, account

    QMap<Item, QByteArray> items;
    // Operations as "read <service>", "write <service>", "remove <service>".
    QStringList calls;
    // A status given back instead of doing the operation, keyed like `calls`.
    QMap<QString, Status> failures;

    QCoro::Task<ReadResult> read(QString service, QString account) override
    {
        const QString call = record(QStringLiteral("read"), service);
        if (failures.contains(call))
            co_return ReadResult{failures.value(call), {}};
        const auto found = items.constFind({service, account});
        if (found == items.cend())
            co_return ReadResult{Status::itemNotFound(), {}};
        co_return ReadResult{Status::success(), *found};
    }

    QCoro::Task<Status> write(QString service, QString account, QByteArray data) override
    {
        const QString call = record(QStringLiteral("write"), service);
        if (failures.contains(call))
            co_return failures.value(call);
        items.insert({service, account}, data);
        co_return Status::success();
    }

    QCoro::Task<Status> remove(QString service, QString account) override
    {
        const QString call = record(QStringLiteral("remove"), service);
        if (failures.contains(call))
            co_return failures.value(call);
        co_return items.remove({service, account}) ? Status::success() : Status::itemNotFound();
    }

private:
    QString record(const QString &operation, const QString &service)
    {
        const QString call = operation + QLatin1Char(' ') + service;
        calls.append(call);
        return call;
    }
};

} // namespace sorvane::testing
