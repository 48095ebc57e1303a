#pragma once

#include "Platform/SecretStore.h"

namespace sorvane {

// The system keyring through QtKeychain: the Secret Service (GNOME Keyring, KeePassXC...)
// or KWallet, whichever the desktop provides. There is never a plain-file fallback: with
// no keyring every operation fails and nothing is written anywhere else.
class QtKeychainSecretStore final : public SecretStore {
public:
    QCoro::Task<ReadResult> read(QString service, QString account) override;
    QCoro::Task<Status> write(QString service, QString account, QByteArray data) override;
    QCoro::Task<Status> remove(QString service, QString account) override;
};

} // namespace sorvane
