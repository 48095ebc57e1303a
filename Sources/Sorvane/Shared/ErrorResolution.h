#pragma once

#include "Command/AgentWritingProvider.h"

#include <QObject>
#include <QString>
#include <QUuid>

namespace sorvane {

// Where a failure the user can fix is fixed: the key row of one cloud provider, the
// speech-model choice, the writing-model choice, the Command settings or the permissions.
class ErrorResolutionDestination {
    Q_GADGET
public:
    enum class Kind { ApiKeys, DictationModels, CommandModels, CommandSettings, Permissions };
    Q_ENUM(Kind)

    // For value-type containers (QVariant, QML); a failure always names its destination.
    ErrorResolutionDestination() : ErrorResolutionDestination(Kind::Permissions) {}
    static ErrorResolutionDestination apiKeys(AgentWritingProvider provider) { return {Kind::ApiKeys, provider}; }
    static ErrorResolutionDestination dictationModels() { return {Kind::DictationModels}; }
    static ErrorResolutionDestination commandModels() { return {Kind::CommandModels}; }
    static ErrorResolutionDestination commandSettings() { return {Kind::CommandSettings}; }
    static ErrorResolutionDestination permissions() { return {Kind::Permissions}; }

    Kind kind() const { return m_kind; }
    // The provider of an ApiKeys destination; Local for every other kind.
    AgentWritingProvider provider() const { return m_provider; }

    friend bool operator==(const ErrorResolutionDestination &, const ErrorResolutionDestination &) = default;

private:
    ErrorResolutionDestination(Kind kind, AgentWritingProvider provider = AgentWritingProvider::Local)
        : m_kind(kind), m_provider(provider) {}
    Kind m_kind;
    AgentWritingProvider m_provider;
};

// One failure shown as a banner and as the overlay's error, with where to fix it.
// Each one made gets a fresh identity; two are the same banner when their ids match.
// A value type for QML: `id` (text), `message`, `destinationKind`, `destinationProvider`.
struct ErrorResolution {
    Q_GADGET
    Q_PROPERTY(QString id READ idText CONSTANT)
    Q_PROPERTY(QString message MEMBER message CONSTANT)
    Q_PROPERTY(sorvane::ErrorResolutionDestination::Kind destinationKind READ destinationKind CONSTANT)
    Q_PROPERTY(sorvane::AgentWritingProvider destinationProvider READ destinationProvider CONSTANT)
public:
    // For value-type containers (QVariant, QML): a null id and no message.
    ErrorResolution() = default;
    ErrorResolution(QString message, ErrorResolutionDestination destination)
        : id(QUuid::createUuid()), message(std::move(message)), destination(destination) {}
    ErrorResolution(QUuid id, QString message, ErrorResolutionDestination destination)
        : id(id), message(std::move(message)), destination(destination) {}

    QUuid id;
    QString message;
    ErrorResolutionDestination destination;

    QString idText() const { return id.toString(QUuid::WithoutBraces).toUpper(); }
    ErrorResolutionDestination::Kind destinationKind() const { return destination.kind(); }
    AgentWritingProvider destinationProvider() const { return destination.provider(); }

    friend bool operator==(const ErrorResolution &a, const ErrorResolution &b) { return a.id == b.id; }
};

} // namespace sorvane

Q_DECLARE_METATYPE(sorvane::ErrorResolution)
