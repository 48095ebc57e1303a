// The built-in writing models and their ratings.
#include "Command/AgentModelDescriptor.h"

#include "BuildConfig.h"
#include "Shared/ModelHost.h"

#include <QHash>

namespace sorvane {

namespace {

using Role = AgentModelArtifact::Role;

// Every address is host/owner/repository/resolve/<pinned revision>/<file>?download=true.
// The host and the owners are build configuration.
AgentModelArtifact artifact(const char *owner, const char *repository, const char *revision,
                            const char *fileName, qint64 byteSize, const char *sha256, Role role)
{
    const QString address = modelHost() + QLatin1Char('/') + QLatin1String(owner)
        + QLatin1Char('/') + QLatin1String(repository) + QStringLiteral("/resolve/") + QLatin1String(revision)
        + QLatin1Char('/') + QLatin1String(fileName) + QStringLiteral("?download=true");
    return {QString::fromUtf8(fileName), QUrl(address), byteSize, QString::fromLatin1(sha256), role};
}

struct Entry {
    const char *id;
    const char *name;
    const char *officialName;
    const char *organization;
    AgentModelProvider provider;
    bool images;
    const char *sizeLabel;
    const char *license;
    const char *sourceRevision;
    bool recommendedFor16GB;
    std::optional<int> minimumMemoryGB;
    std::optional<int> recommendedMemoryGB;
    const char *detail;
};

AgentModelDescriptor descriptor(const Entry &entry, QList<AgentModelArtifact> artifacts = {})
{
    AgentModelDescriptor model;
    model.id = QString::fromUtf8(entry.id);
    model.name = QString::fromUtf8(entry.name);
    model.officialName = QString::fromUtf8(entry.officialName);
    model.organization = QString::fromUtf8(entry.organization);
    model.detail = QString::fromUtf8(entry.detail);
    model.sizeLabel = QString::fromUtf8(entry.sizeLabel);
    model.license = QString::fromUtf8(entry.license);
    model.sourceRevision = QString::fromUtf8(entry.sourceRevision);
    model.provider = entry.provider;
    model.capabilities = {true, entry.images};
    model.artifacts = std::move(artifacts);
    model.isCustom = false;
    model.recommendedFor16GB = entry.recommendedFor16GB;
    model.minimumMemoryGB = entry.minimumMemoryGB;
    model.recommendedMemoryGB = entry.recommendedMemoryGB;
    return model;
}

QList<AgentModelDescriptor> buildCatalog()
{
    using P = AgentModelProvider;
    constexpr auto none = std::nullopt;
    const char *const owner = SORVANE_WRITING_MODEL_OWNER;
    const char *const museOwner = SORVANE_MUSE_MODEL_OWNER;

    const char *const qwenWriter = "2f3b082b1356a6123f7ed71e65aea340da25d53c";
    const char *const qwenVision = "5037fcf163dd95d1e41d1974465f0898ed108ca2";
    const char *const deepSeek = "fc9d48f477cfe8f983fa5e41557ecd47e619fef4";
    const char *const gemmaE2B = "b4243c156154b6dca9324415f8c7ccc098b4aed1";
    const char *const gemmaE4B = "b8093469224f83f5c38f691eb906c380e9e63114";
    const char *const muse = "a0532f7263ee67f1e0a5f5c5fdcd50dd62fc9aa4";

    return {
        descriptor({"apple-system", "On-Device", "SystemLanguageModel", "System", P::AppleSystem, false,
                    "Built in", "System", "On-device model of the system", true, none, none,
                    "The private system model built into the system. No extra download."}),
        descriptor({"qwen3-4b-q4", "Qwen Writer", "Qwen3 4B Q4_K_M", "Qwen", P::LlamaCPP, false, "2.5 GB",
                    "Apache 2.0", qwenWriter, true, 8, 16,
                    "A compact multilingual writing model with strong instruction following."},
                   {artifact(owner, "Qwen3-4B-GGUF", qwenWriter, "Qwen3-4B-Q4_K_M.gguf", 2497280640,
                             "ab27b9bfa375a178d6cba48f3ad892b94b7739659dcc7aae8058ce0ffed6b328", Role::Model)}),
        descriptor({"qwen25-vl-3b-q4", "Qwen Vision", "Qwen2.5-VL 3B Q4_K_M", "Qwen", P::LlamaCPP, true, "2.8 GB",
                    "Apache 2.0", qwenVision, true, 8, 16,
                    "A small multimodal model for writing with an attached app-window screenshot."},
                   {artifact(owner, "Qwen2.5-VL-3B-Instruct-GGUF", qwenVision, "Qwen2.5-VL-3B-Instruct-Q4_K_M.gguf",
                             1929901056, "d02fe9b69ad8cadbbd228e387667af66612c44bed29ffc8eb1e7caf9ac486c12",
                             Role::Model),
                    artifact(owner, "Qwen2.5-VL-3B-Instruct-GGUF", qwenVision,
                             "mmproj-Qwen2.5-VL-3B-Instruct-Q8_0.gguf", 844757728,
                             "980c9b2f78c04e6cff93d277ada09e768394f112d75db3b4e9dea8a69f9fb904",
                             Role::VisionProjector)}),
        descriptor({"deepseek-r1-15b-q4", "DeepSeek Compact", "DeepSeek R1 Distill Qwen 1.5B Q4", "DeepSeek",
                    P::LlamaCPP, false, "1.1 GB", "MIT", deepSeek, true, 8, 8,
                    "The smallest curated option for more deliberate rewriting tasks."},
                   {artifact(owner, "DeepSeek-R1-Distill-Qwen-1.5B-Q4_0-GGUF", deepSeek,
                             "deepseek-r1-distill-qwen-1.5b-q4_0.gguf", 1066227008,
                             "0d3f4820ee66ab44884b8176f17371eb1baa1d63df15740ffd5873d9e03e8978", Role::Model)}),
        descriptor({"gemma4-e2b-q4", "Gemma 4 E2B", "Gemma 4 E2B IT Q4_0", "Google", P::LlamaCPP, true, "3.4 GB",
                    "Apache 2.0", gemmaE2B, true, 8, 8,
                    "The fastest Gemma 4 option for responsive local writing and screenshots."},
                   {artifact(owner, "gemma-4-E2B-it-GGUF", gemmaE2B, "gemma-4-E2B-it-Q4_0.gguf", 2841481184,
                             "8e30dff3ac4c8434c49a7036fa15564bdbb6044e42bf04550bf1a096ad7e6a52", Role::Model),
                    artifact(owner, "gemma-4-E2B-it-GGUF", gemmaE2B, "mmproj-gemma-4-E2B-it-Q8_0.gguf", 557368064,
                             "9406f99c16d68cda4f1f0552192dcc99021ea1fc6d2fd50b1dc3ccf30d04b292",
                             Role::VisionProjector)}),
        descriptor({"gemma4-e4b-q4", "Gemma 4 E4B", "Gemma 4 E4B IT Q4_0", "Google", P::LlamaCPP, true, "5.2 GB",
                    "Apache 2.0", gemmaE4B, true, 8, 16,
                    "The higher-quality Gemma 4 edge model for capable local writing and screenshots."},
                   {artifact(owner, "gemma-4-E4B-it-GGUF", gemmaE4B, "gemma-4-E4B-it-Q4_0.gguf", 4590807392,
                             "a555b900214b477d8880e7832e0b8925e139b0159640036b09fe472b6f2097f2", Role::Model),
                    artifact(owner, "gemma-4-E4B-it-GGUF", gemmaE4B, "mmproj-gemma-4-E4B-it-Q8_0.gguf", 559874816,
                             "197f49a93027f9843772bd24a6a9e0be2a32a788de5a3def330e9c585d86edd1",
                             Role::VisionProjector)}),
        descriptor({"muse-glimmer-30b", "Muse Glimmer", "Muse Glimmer 30B K-Quant", "Meta", P::LlamaCPP, true,
                    "18.2 GB", "Apache 2.0", muse, false, 24, 32,
                    "Meta's strongest local writing and screenshot model. Built for computers with 24 GB of "
                    "memory or more."},
                   {artifact(museOwner, "Muse-Glimmer-30B-GGUF", muse, "muse-glimmer-30B-kquant-17gb.gguf",
                             16756681056, "7e9b74b7c8875e9e265695df9613bf6290f2392e479ce740495a129019c488d8",
                             Role::Model),
                    artifact(museOwner, "Muse-Glimmer-30B-GGUF", muse, "mmproj-kquant.gguf", 1400328928,
                             "f48b452316f9b213758e8659444029b961a24a07f99a1abb2a9f88b06f7c00c6",
                             Role::VisionProjector)}),
        descriptor({"openai-luna", "Luna", "gpt-5.6-luna", "OpenAI", P::OpenAI, true, "Paid API", "OpenAI API",
                    "GPT-5.6", false, none, none, "Fast, economical cloud writing for everyday drafts and edits."}),
        descriptor({"openai-terra", "Terra", "gpt-5.6-terra", "OpenAI", P::OpenAI, true, "Paid API", "OpenAI API",
                    "GPT-5.6", false, none, none, "Balanced cloud speed and quality for richer rewriting work."}),
        descriptor({"openai-sol", "Sol", "gpt-5.6-sol", "OpenAI", P::OpenAI, true, "Paid API", "OpenAI API",
                    "GPT-5.6", false, none, none,
                    "The quality-first cloud model for the most complex writing tasks."}),
        descriptor({"gemini-flash", "Gemini Flash", "gemini-3.6-flash", "Google", P::Gemini, true, "Paid API",
                    "Gemini API", "Gemini 3.6", false, none, none,
                    "Fast, capable cloud writing for agentic and multimodal tasks."}),
        descriptor({"gemini-flash-lite", "Gemini Flash-Lite", "gemini-3.5-flash-lite", "Google", P::Gemini, true,
                    "Paid API", "Gemini API", "Gemini 3.5", false, none, none,
                    "Google's fastest, lowest-cost cloud option for lighter writing tasks."}),
        descriptor({"mistral-small", "Mistral Small", "mistral-small-latest", "Mistral AI", P::Mistral, true,
                    "Paid API", "Mistral API", "Latest", false, none, none,
                    "Responsive multimodal cloud writing with adjustable reasoning."}),
        descriptor({"mistral-medium", "Mistral Medium", "mistral-medium-3-5", "Mistral AI", P::Mistral, true,
                    "Paid API", "Mistral API", "Mistral 3.5", false, none, none,
                    "Mistral's quality-first multimodal model for complex writing work."}),
    };
}

struct Rating {
    int speed;
    int quality;
};

const QHash<QString, Rating> &ratings()
{
    static const QHash<QString, Rating> table{
        {QStringLiteral("apple-system"), {4, 3}},     {QStringLiteral("qwen3-4b-q4"), {3, 3}},
        {QStringLiteral("qwen25-vl-3b-q4"), {3, 3}},  {QStringLiteral("deepseek-r1-15b-q4"), {2, 4}},
        {QStringLiteral("gemma4-e2b-q4"), {4, 2}},    {QStringLiteral("gemma4-e4b-q4"), {3, 4}},
        {QStringLiteral("muse-glimmer-30b"), {1, 5}}, {QStringLiteral("openai-luna"), {4, 3}},
        {QStringLiteral("openai-terra"), {3, 4}},     {QStringLiteral("openai-sol"), {2, 5}},
        {QStringLiteral("gemini-flash"), {4, 4}},     {QStringLiteral("gemini-flash-lite"), {4, 3}},
        {QStringLiteral("mistral-small"), {4, 3}},    {QStringLiteral("mistral-medium"), {3, 4}},
    };
    return table;
}

Rating ratingOf(const QString &id)
{
    return ratings().value(id, Rating{3, 3});
}

} // namespace

const QList<AgentModelDescriptor> &AgentModelDescriptor::catalog()
{
    static const QList<AgentModelDescriptor> models = buildCatalog();
    return models;
}

int AgentModelDescriptor::speedRating() const { return ratingOf(id).speed; }
int AgentModelDescriptor::qualityRating() const { return ratingOf(id).quality; }

} // namespace sorvane
