#pragma once

#include "BuildConfig.h"

#include <QList>
#include <QString>
#include <QUrl>

namespace sorvane {

// The engine that runs a speech model.
enum class SpeechEngine { Whisper, Parakeet };

// One downloadable speech model of the fixed catalogue.
struct SpeechModel {
    QString id;
    QString name;
    QString officialName;
    QString organization;
    QString tier;
    QString detail;
    QString sizeLabel;
    qint64 byteSize = 0;
    QString fileName;
    QUrl url;
    bool isEnglishOnly = false;
    QString languageSummary;
    QString license;
    SpeechEngine engine = SpeechEngine::Whisper;
    QString accent;

    friend bool operator==(const SpeechModel &, const SpeechModel &) = default;

    // The five models, in display order.
    static const QList<SpeechModel> &catalog()
    {
        static const QList<SpeechModel> models = [] {
            const auto entry = [](const char *id, const char *name, const char *fileName, const char *owner,
                                  const char *repository, SpeechEngine engine) {
                SpeechModel model;
                model.id = QString::fromLatin1(id);
                model.name = QString::fromLatin1(name);
                model.fileName = QString::fromLatin1(fileName);
                model.url = QUrl(QStringLiteral(SORVANE_MODEL_HOST "/") + QLatin1String(owner) + QLatin1Char('/')
                                 + QLatin1String(repository) + QStringLiteral("/resolve/main/") + model.fileName
                                 + QStringLiteral("?download=true"));
                model.engine = engine;
                return model;
            };
            return QList<SpeechModel>{
                entry("pocket", "Pocket", "ggml-tiny.en-q5_1.bin", SORVANE_SPEECH_MODEL_OWNER, "whisper.cpp",
                      SpeechEngine::Whisper),
                entry("velocity", "Velocity", "ggml-parakeet-tdt-0.6b-v3-q4_0.bin", SORVANE_PARAKEET_MODEL_OWNER,
                      "parakeet-GGUF", SpeechEngine::Parakeet),
                entry("swift", "Swift", "ggml-distil-small.en.bin", SORVANE_SPEECH_MODEL_OWNER, "distil-small.en",
                      SpeechEngine::Whisper),
                entry("balanced", "Balanced", "ggml-small-q5_1.bin", SORVANE_SPEECH_MODEL_OWNER, "whisper.cpp",
                      SpeechEngine::Whisper),
                entry("studio", "Studio", "ggml-large-v3-turbo-q5_0.bin", SORVANE_SPEECH_MODEL_OWNER, "whisper.cpp",
                      SpeechEngine::Whisper),
            };
        }();
        return models;
    }
};

} // namespace sorvane
