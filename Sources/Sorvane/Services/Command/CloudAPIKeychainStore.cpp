#include "Services/Command/CloudAPIKeychainStore.h"

#include <QStringDecoder>

namespace sorvane {

QString providerDisplayName(AgentWritingProvider provider)
{
    switch (provider) {
    case AgentWritingProvider::Local: return QStringLiteral("Local");
    case AgentWritingProvider::OpenAI: return QStringLiteral("OpenAI");
    case AgentWritingProvider::Gemini: return QStringLiteral("Gemini");
    case AgentWritingProvider::Mistral: return QStringLiteral("Mistral");
    }
    return {};
}

QString CloudAPIKeychainError::message() const
{
    const QString name = providerDisplayName(m_provider);
    switch (m_kind) {
    case Kind::InvalidKey:
        if (m_provider == AgentWritingProvider::OpenAI)
            return QStringLiteral("Enter a valid OpenAI API key beginning with sk-.");
        return QStringLiteral("Enter a valid ") + name + QStringLiteral(" API key.");
    case Kind::OperationFailed:
        if (!m_systemMessage.isEmpty())
            return QStringLiteral("The ") + name + QStringLiteral(" API key could not be updated in the system keyring: ")
                + m_systemMessage;
        return QStringLiteral("The ") + name + QStringLiteral(" API key could not be updated in the system keyring.");
    }
    return {};
}

CloudAPIKeychainStore::CloudAPIKeychainStore(AgentWritingProvider provider, QString service,
                                             std::optional<QString> legacyService, QString account,
                                             std::shared_ptr<SecretStore> backend)
    : m_provider(provider), m_service(std::move(service)), m_legacyService(std::move(legacyService)),
      m_account(std::move(account)), m_backend(std::move(backend))
{
}

std::optional<CloudAPIKeychainStore> CloudAPIKeychainStore::forProvider(AgentWritingProvider provider,
                                                                        std::shared_ptr<SecretStore> backend)
{
    switch (provider) {
    case AgentWritingProvider::Local:
        return std::nullopt;
    case AgentWritingProvider::OpenAI:
        return CloudAPIKeychainStore(provider, QStringLiteral("com.sorvane.local.openai-api"),
                                     QStringLiteral("com.brivel.plus.openai-api"), QStringLiteral("OPENAI_API_KEY"),
                                     std::move(backend));
    case AgentWritingProvider::Gemini:
        return CloudAPIKeychainStore(provider, QStringLiteral("com.sorvane.local.gemini-api"), std::nullopt,
                                     QStringLiteral("GEMINI_API_KEY"), std::move(backend));
    case AgentWritingProvider::Mistral:
        return CloudAPIKeychainStore(provider, QStringLiteral("com.sorvane.local.mistral-api"), std::nullopt,
                                     QStringLiteral("MISTRAL_API_KEY"), std::move(backend));
    }
    return std::nullopt;
}

std::optional<QString> CloudAPIKeychainStore::validatedKey(AgentWritingProvider provider, const QString &key)
{
    // QString::trimmed() takes off white space and line breaks alike.
    const QString trimmed = key.trimmed();
    if (provider == AgentWritingProvider::Local || trimmed.size() < 20)
        return std::nullopt;
    for (const QChar c : trimmed)
        if (c.isSpace())
            return std::nullopt;
    if (provider == AgentWritingProvider::OpenAI && !trimmed.startsWith(QLatin1String("sk-")))
        return std::nullopt;
    return trimmed;
}

CloudAPIKeychainStore::Outcome<Done> CloudAPIKeychainStore::save(QString key) const
{
    return saveKey(*this, std::move(key));
}

CloudAPIKeychainStore::Outcome<Done> CloudAPIKeychainStore::remove() const
{
    return removeKey(*this);
}

CloudAPIKeychainStore::Outcome<std::optional<QString>> CloudAPIKeychainStore::load() const
{
    return loadKey(*this);
}

CloudAPIKeychainStore::Outcome<Done> CloudAPIKeychainStore::saveKey(CloudAPIKeychainStore store, QString key)
{
    const auto valid = validatedKey(store.m_provider, key);
    if (!valid)
        co_return CloudAPIKeychainError::invalidKey(store.m_provider);
    // The legacy service is never written.
    const auto status = co_await store.m_backend->write(store.m_service, store.m_account, valid->toUtf8());
    if (status.kind != SecretStore::Status::Kind::Success)
        co_return CloudAPIKeychainError::operationFailed(store.m_provider, status.code, status.message);
    co_return Done{};
}

CloudAPIKeychainStore::Outcome<Done> CloudAPIKeychainStore::removeFrom(CloudAPIKeychainStore store, QString service)
{
    const auto status = co_await store.m_backend->remove(service, store.m_account);
    if (status.kind == SecretStore::Status::Kind::Failed)
        co_return CloudAPIKeychainError::operationFailed(store.m_provider, status.code, status.message);
    co_return Done{};
}

CloudAPIKeychainStore::Outcome<Done> CloudAPIKeychainStore::removeKey(CloudAPIKeychainStore store)
{
    // A failure on the current item leaves the legacy one alone.
    auto current = co_await removeFrom(store, store.m_service);
    if (!current || !store.m_legacyService)
        co_return current;
    co_return co_await removeFrom(store, *store.m_legacyService);
}

CloudAPIKeychainStore::Outcome<std::optional<QString>> CloudAPIKeychainStore::loadFrom(CloudAPIKeychainStore store,
                                                                                       QString service)
{
    const auto read = co_await store.m_backend->read(service, store.m_account);
    switch (read.status.kind) {
    case SecretStore::Status::Kind::ItemNotFound:
        co_return std::optional<QString>();
    case SecretStore::Status::Kind::Failed:
        co_return CloudAPIKeychainError::operationFailed(store.m_provider, read.status.code, read.status.message);
    case SecretStore::Status::Kind::Success:
        break;
    }
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder(read.data);
    // An item without usable text is a failure of its own, reported with the success status.
    if (decoder.hasError() || text.isEmpty())
        co_return CloudAPIKeychainError::operationFailed(store.m_provider, 0);
    // Keys are checked when saved, but the keyring is anyone's to write: a line break or
    // another control character in a key would end its request header and start another.
    for (const QChar c : text.trimmed()) {
        if (c.category() == QChar::Other_Control)
            co_return CloudAPIKeychainError::invalidKey(store.m_provider);
    }
    co_return std::optional<QString>(text);
}

CloudAPIKeychainStore::Outcome<std::optional<QString>> CloudAPIKeychainStore::loadKey(CloudAPIKeychainStore store)
{
    auto current = co_await loadFrom(store, store.m_service);
    if (!current || current.value() || !store.m_legacyService)
        co_return current;
    auto legacy = co_await loadFrom(store, *store.m_legacyService);
    if (!legacy || !legacy.value())
        co_return legacy;
    // The earlier product's key moves to the current service; the legacy item stays
    // until the next removal. The caller gets the key as it now stands in the keyring.
    const QString key = *legacy.value();
    const auto saved = co_await saveKey(store, key);
    if (!saved)
        co_return saved.error();
    co_return std::optional<QString>(key.trimmed());
}

} // namespace sorvane
