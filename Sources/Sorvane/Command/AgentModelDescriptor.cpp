#include "Command/AgentModelDescriptor.h"

#include "Support/SafePath.h"
#include "Support/StoredJson.h"

#include <QJsonArray>
#include <limits>

namespace sorvane {

namespace {

constexpr TextTable<AgentModelProvider, 5> modelProviders{{
    {AgentModelProvider::AppleSystem, "appleSystem"}, {AgentModelProvider::LlamaCPP, "llamaCPP"},
    {AgentModelProvider::OpenAI, "openAI"}, {AgentModelProvider::Gemini, "gemini"},
    {AgentModelProvider::Mistral, "mistral"}}};

constexpr TextTable<AgentModelArtifact::Role, 2> artifactRoles{{
    {AgentModelArtifact::Role::Model, "model"},
    {AgentModelArtifact::Role::VisionProjector, "visionProjector"}}};

std::optional<AgentModelArtifact> firstWithRole(const QList<AgentModelArtifact> &artifacts,
                                                AgentModelArtifact::Role role)
{
    for (const AgentModelArtifact &artifact : artifacts)
        if (artifact.role == role)
            return artifact;
    return std::nullopt;
}

std::optional<int> optionalGigabytes(storedjson::ObjectReader &reader, const QString &key)
{
    const auto value = reader.optionalInteger(key);
    if (!value)
        return std::nullopt;
    if (*value < std::numeric_limits<int>::min() || *value > std::numeric_limits<int>::max()) {
        reader.fail(key);
        return std::nullopt;
    }
    return int(*value);
}

} // namespace

TextEntries<AgentModelProvider> EnumText<AgentModelProvider>::table() { return modelProviders; }

TextEntries<AgentModelArtifact::Role> EnumText<AgentModelArtifact::Role>::table() { return artifactRoles; }

QJsonObject AgentModelCapabilities::toJson() const
{
    return {{QStringLiteral("text"), text}, {QStringLiteral("images"), images}};
}

std::optional<AgentModelCapabilities> AgentModelCapabilities::fromJson(const QJsonValue &value)
{
    storedjson::ObjectReader reader(value);
    AgentModelCapabilities capabilities;
    capabilities.text = reader.boolean(QStringLiteral("text"));
    capabilities.images = reader.boolean(QStringLiteral("images"));
    if (!reader.ok())
        return std::nullopt;
    return capabilities;
}

QJsonObject AgentModelArtifact::toJson() const
{
    return {{QStringLiteral("fileName"), fileName},
            {QStringLiteral("url"), url.toString(QUrl::FullyEncoded)},
            {QStringLiteral("byteSize"), byteSize},
            {QStringLiteral("sha256"), sha256},
            {QStringLiteral("role"), toText(role)}};
}

std::optional<AgentModelArtifact> AgentModelArtifact::fromJson(const QJsonValue &value)
{
    storedjson::ObjectReader reader(value);
    AgentModelArtifact artifact;
    artifact.fileName = reader.string(QStringLiteral("fileName"));
    if (reader.ok() && !isSafePathComponent(artifact.fileName))
        reader.fail(QStringLiteral("fileName"));
    const QString url = reader.string(QStringLiteral("url"));
    artifact.url = QUrl(url, QUrl::StrictMode);
    if (reader.ok() && !artifact.url.isValid())
        reader.fail(QStringLiteral("url"));
    artifact.byteSize = reader.integer(QStringLiteral("byteSize"));
    artifact.sha256 = reader.string(QStringLiteral("sha256"));
    artifact.role = reader.enumeration<Role>(QStringLiteral("role"));
    if (!reader.ok())
        return std::nullopt;
    return artifact;
}

std::optional<AgentModelArtifact> AgentModelDescriptor::modelArtifact() const
{
    return firstWithRole(artifacts, AgentModelArtifact::Role::Model);
}

std::optional<AgentModelArtifact> AgentModelDescriptor::projectorArtifact() const
{
    return firstWithRole(artifacts, AgentModelArtifact::Role::VisionProjector);
}

QJsonObject AgentModelDescriptor::toJson() const
{
    QJsonObject object{{QStringLiteral("id"), id},
                       {QStringLiteral("name"), name},
                       {QStringLiteral("officialName"), officialName},
                       {QStringLiteral("organization"), organization},
                       {QStringLiteral("detail"), detail},
                       {QStringLiteral("sizeLabel"), sizeLabel},
                       {QStringLiteral("license"), license},
                       {QStringLiteral("sourceRevision"), sourceRevision},
                       {QStringLiteral("provider"), toText(provider)},
                       {QStringLiteral("capabilities"), capabilities.toJson()},
                       {QStringLiteral("artifacts"), storedjson::recordArray(artifacts)},
                       {QStringLiteral("isCustom"), isCustom},
                       {QStringLiteral("recommendedFor16GB"), recommendedFor16GB}};
    if (minimumMemoryGB)
        object.insert(QStringLiteral("minimumMemoryGB"), *minimumMemoryGB);
    if (recommendedMemoryGB)
        object.insert(QStringLiteral("recommendedMemoryGB"), *recommendedMemoryGB);
    return object;
}

std::optional<AgentModelDescriptor> AgentModelDescriptor::fromJson(const QJsonValue &value)
{
    storedjson::ObjectReader reader(value);
    AgentModelDescriptor model;
    model.id = reader.string(QStringLiteral("id"));
    if (reader.ok() && !isSafePathComponent(model.id))
        reader.fail(QStringLiteral("id"));
    model.name = reader.string(QStringLiteral("name"));
    model.officialName = reader.string(QStringLiteral("officialName"));
    model.organization = reader.string(QStringLiteral("organization"));
    model.detail = reader.string(QStringLiteral("detail"));
    model.sizeLabel = reader.string(QStringLiteral("sizeLabel"));
    model.license = reader.string(QStringLiteral("license"));
    model.sourceRevision = reader.string(QStringLiteral("sourceRevision"));
    model.provider = reader.enumeration<AgentModelProvider>(QStringLiteral("provider"));
    if (auto capabilities = AgentModelCapabilities::fromJson(reader.object(QStringLiteral("capabilities"))))
        model.capabilities = *capabilities;
    else
        reader.fail(QStringLiteral("capabilities"));
    model.artifacts = reader.records<AgentModelArtifact>(QStringLiteral("artifacts"));
    model.isCustom = reader.boolean(QStringLiteral("isCustom"));
    model.recommendedFor16GB = reader.boolean(QStringLiteral("recommendedFor16GB"));
    model.minimumMemoryGB = optionalGigabytes(reader, QStringLiteral("minimumMemoryGB"));
    model.recommendedMemoryGB = optionalGigabytes(reader, QStringLiteral("recommendedMemoryGB"));
    if (!reader.ok())
        return std::nullopt;
    return model;
}

} // namespace sorvane
