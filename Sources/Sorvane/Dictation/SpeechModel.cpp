#include "Dictation/SpeechModel.h"

#include "BuildConfig.h"
#include "Shared/ModelHost.h"

namespace sorvane {

namespace {

constexpr TextTable<SpeechEngine, 2> engines{{
    {SpeechEngine::Whisper, "whisper"}, {SpeechEngine::Parakeet, "parakeet"}}};

struct DisplayRow {
    const char *id;
    int speed;
    int quality;
    AccentColor color;
    const char *symbol;
};

constexpr DisplayRow displayRows[] = {
    {"pocket", 5, 3, AccentColor::rgb(0.88, 0.58, 0.18), "hare.fill"},
    {"velocity", 5, 4, AccentColor::rgb(0.2, 0.57, 0.82), "bird.fill"},
    {"swift", 4, 4, AccentColor::rgb(0.86, 0.35, 0.31), "bolt.fill"},
    {"balanced", 3, 3, AccentColor::rgb(0.47, 0.4, 0.78), "globe.europe.africa.fill"},
    {"studio", 2, 5, AccentColor::rgb(0.55, 0.68, 0.12), "sparkles"},
};
constexpr DisplayRow otherId{"", 3, 3, AccentColor::secondary(), "waveform"};

const DisplayRow &displayRow(const QString &id)
{
    for (const DisplayRow &row : displayRows)
        if (id == QLatin1String(row.id))
            return row;
    return otherId;
}

QList<SpeechModel> buildCatalog()
{
    const QString host = modelHost();
    const QString whisperOwner = QStringLiteral(SORVANE_WHISPER_MODEL_OWNER);
    const QString whisperRepository = QStringLiteral("whisper.cpp");

    auto model = [&](const char *id, const char *name, const char *officialName, const char *organization,
                     const char *tier, const char *detail, const char *sizeLabel, qint64 byteSize,
                     const char *fileName, const QString &owner, const QString &repository, bool englishOnly,
                     const char *languages, const char *license, SpeechEngine engine, const char *accent) {
        const QString file = QString::fromUtf8(fileName);
        return SpeechModel{QString::fromUtf8(id), QString::fromUtf8(name), QString::fromUtf8(officialName),
                           QString::fromUtf8(organization), QString::fromUtf8(tier), QString::fromUtf8(detail),
                           QString::fromUtf8(sizeLabel), byteSize, file,
                           SpeechModel::downloadUrl(host, owner, repository, file), englishOnly,
                           QString::fromUtf8(languages), QString::fromUtf8(license), engine,
                           QString::fromUtf8(accent)};
    };

    return {
        model("pocket", "Pocket", "Whisper tiny.en Q5_1", "OpenAI", "Fastest English",
              "A tiny, instant English model for everyday notes and commands.", "31 MB", 32200000,
              "ggml-tiny.en-q5_1.bin", whisperOwner, whisperRepository, true, "English", "MIT",
              SpeechEngine::Whisper, "violet"),
        model("velocity", "Velocity", "Parakeet-TDT-0.6B-v3 Q4", "NVIDIA", "Fastest multilingual",
              "Very fast local dictation with punctuation across 25 European languages.", "356 MB", 356000000,
              "ggml-parakeet-tdt-0.6b-v3-q4_0.bin", QStringLiteral(SORVANE_PARAKEET_MODEL_OWNER),
              QStringLiteral("parakeet-GGUF"), false, "25 European languages", "CC BY 4.0",
              SpeechEngine::Parakeet, "blue"),
        model("swift", "Swift", "Distil-Whisper small.en", "Hugging Face", "Fast + accurate",
              "Distil-Whisper for fast, high-quality English dictation.", "322 MB", 337000000,
              "ggml-distil-small.en.bin", QStringLiteral(SORVANE_DISTIL_MODEL_OWNER),
              QStringLiteral("distil-small.en"), true, "English", "MIT", SpeechEngine::Whisper, "coral"),
        model("balanced", "Balanced", "Whisper small Q5_1", "OpenAI", "Multilingual",
              "A compact multilingual model for everyday use.", "181 MB", 190000000, "ggml-small-q5_1.bin",
              whisperOwner, whisperRepository, false, "99 languages", "MIT", SpeechEngine::Whisper, "blue"),
        model("studio", "Studio", "Whisper large-v3-turbo Q5_0", "OpenAI", "Best quality",
              "Large V3 Turbo, quantized for excellent multilingual accuracy.", "547 MB", 574000000,
              "ggml-large-v3-turbo-q5_0.bin", whisperOwner, whisperRepository, false, "99 languages", "MIT",
              SpeechEngine::Whisper, "mint"),
    };
}

} // namespace

TextEntries<SpeechEngine> EnumText<SpeechEngine>::table() { return engines; }

const QList<SpeechModel> &SpeechModel::catalog()
{
    static const QList<SpeechModel> models = buildCatalog();
    return models;
}

const SpeechModel *SpeechModel::find(const QString &id)
{
    for (const SpeechModel &model : catalog())
        if (model.id == id)
            return &model;
    return nullptr;
}

int SpeechModel::speedRating(const QString &id) { return displayRow(id).speed; }
int SpeechModel::qualityRating(const QString &id) { return displayRow(id).quality; }
AccentColor SpeechModel::accentColor(const QString &id) { return displayRow(id).color; }
QString SpeechModel::symbolName(const QString &id) { return QString::fromLatin1(displayRow(id).symbol); }

QUrl SpeechModel::downloadUrl(const QString &host, const QString &owner, const QString &repository,
                              const QString &fileName)
{
    QString base = host;
    while (base.endsWith(QLatin1Char('/')))
        base.chop(1);
    return QUrl(base + QLatin1Char('/') + owner + QLatin1Char('/') + repository + QStringLiteral("/resolve/main/")
                + fileName + QStringLiteral("?download=true"));
}

size_t qHash(const SpeechModel &m, size_t seed)
{
    return qHashMulti(seed, m.id, m.name, m.officialName, m.organization, m.tier, m.detail, m.sizeLabel,
                      m.byteSize, m.fileName, m.url, m.isEnglishOnly, m.languageSummary, m.license,
                      static_cast<int>(m.engine), m.accent);
}

} // namespace sorvane
