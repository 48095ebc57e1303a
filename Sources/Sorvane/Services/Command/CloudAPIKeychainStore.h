#pragma once

#include "Command/AgentWritingProvider.h"
#include "Platform/SecretStore.h"
#include "Support/Result.h"

#include <QCoroTask>
#include <QString>
#include <memory>
#include <optional>

namespace sorvane {

// Why a cloud API key could not be saved, read or removed, in words the settings
// screen shows.
class CloudAPIKeychainError {
public:
    enum class Kind { InvalidKey, OperationFailed };

    static CloudAPIKeychainError invalidKey(AgentWritingProvider provider) { return {Kind::InvalidKey, provider, 0, {}}; }
    // `status` is the keyring's code; `systemMessage` its own description, when it gave one.
    static CloudAPIKeychainError operationFailed(AgentWritingProvider provider, qint32 status, QString systemMessage = {})
    {
        return {Kind::OperationFailed, provider, status, std::move(systemMessage)};
    }

    Kind kind() const { return m_kind; }
    AgentWritingProvider provider() const { return m_provider; }
    qint32 status() const { return m_status; }
    const QString &systemMessage() const { return m_systemMessage; }
    QString message() const;

    friend bool operator==(const CloudAPIKeychainError &, const CloudAPIKeychainError &) = default;

private:
    CloudAPIKeychainError(Kind kind, AgentWritingProvider provider, qint32 status, QString systemMessage)
        : m_kind(kind), m_provider(provider), m_status(status), m_systemMessage(std::move(systemMessage)) {}
    Kind m_kind;
    AgentWritingProvider m_provider;
    qint32 m_status;
    QString m_systemMessage;
};

// The provider's name as the key messages show it ("Local", "OpenAI", "Gemini", "Mistral").
QString providerDisplayName(AgentWritingProvider provider);

// The API key of one cloud writing provider, kept in the system keyring (one item per
// service and account). Keys never go to files or settings. A value: copies share the
// keyring backend, and every operation keeps its own copy of the store while it runs.
class CloudAPIKeychainStore {
public:
    template <typename T>
    using Outcome = QCoro::Task<Result<T, CloudAPIKeychainError>>;

    CloudAPIKeychainStore(AgentWritingProvider provider, QString service, std::optional<QString> legacyService,
                          QString account, std::shared_ptr<SecretStore> backend);

    // The store of one cloud provider; nothing for the local provider, which has no key.
    static std::optional<CloudAPIKeychainStore> forProvider(AgentWritingProvider provider,
                                                            std::shared_ptr<SecretStore> backend);

    AgentWritingProvider provider() const { return m_provider; }
    const QString &service() const { return m_service; }
    const std::optional<QString> &legacyService() const { return m_legacyService; }
    const QString &account() const { return m_account; }

    // The key as it would be stored (trimmed), or nothing when it is not acceptable.
    static std::optional<QString> validatedKey(AgentWritingProvider provider, const QString &key);

    // Validates and stores the key under `service`; an invalid key never reaches the keyring.
    Outcome<Done> save(QString key) const;
    // Removes the key from `service` and then from `legacyService`; no item is no error.
    Outcome<Done> remove() const;
    // The key from `service`, or the one under `legacyService`, which is then saved under
    // `service` and returned as saved.
    Outcome<std::optional<QString>> load() const;

private:
    static Outcome<Done> saveKey(CloudAPIKeychainStore store, QString key);
    static Outcome<Done> removeKey(CloudAPIKeychainStore store);
    static Outcome<std::optional<QString>> loadKey(CloudAPIKeychainStore store);
    static Outcome<std::optional<QString>> loadFrom(CloudAPIKeychainStore store, QString service);
    static Outcome<Done> removeFrom(CloudAPIKeychainStore store, QString service);

    AgentWritingProvider m_provider;
    QString m_service;
    std::optional<QString> m_legacyService;
    QString m_account;
    std::shared_ptr<SecretStore> m_backend;
};

} // namespace sorvane
