#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <QCoroTask>

namespace sorvane {

// Where secrets (the cloud API keys) are kept: one item per service and account.
// The system keyring serves the program; tests use a fake. Every operation is
// asynchronous so that a slow keyring (or one waiting for the user to unlock it)
// never holds up the main loop.
class SecretStore {
public:
    // How one operation ended. A failure carries the backend's status code and, when
    // the backend has one, its own description of what went wrong.
    struct Status {
        enum class Kind { Success, ItemNotFound, Failed };
        Kind kind = Kind::Success;
        qint32 code = 0;
        QString message;

        static Status success() { return {}; }
        static Status itemNotFound() { return {Kind::ItemNotFound, 0, {}}; }
        static Status failed(qint32 code, QString message = {}) { return {Kind::Failed, code, std::move(message)}; }
        friend bool operator==(const Status &, const Status &) = default;
    };

    struct ReadResult {
        Status status;
        QByteArray data; // the item's bytes when the read succeeded
    };

    virtual ~SecretStore() = default;

    // Arguments are taken by value: the operations outlive the caller's frame.
    virtual QCoro::Task<ReadResult> read(QString service, QString account) = 0;
    // Adds the item, or replaces the data of the one already there.
    virtual QCoro::Task<Status> write(QString service, QString account, QByteArray data) = 0;
    virtual QCoro::Task<Status> remove(QString service, QString account) = 0;
};

} // namespace sorvane
