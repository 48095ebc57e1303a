#pragma once

#include "Support/Result.h"
#include "Services/Shared/FileDownload.h"
#include "Services/Shared/ModelDownloadStore.h"
#include "Dictation/SpeechModel.h"

#include <chrono>
#include <QCoroTask>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QVariantMap>
#include <memory>
#include <optional>

class QNetworkAccessManager;

namespace sorvane {

// One running download of one speech model. Everyone who asks for the same model
// while it runs gets the same object and may wait for its end.
class SpeechModelDownload : public QObject {
    Q_OBJECT
public:
    using Outcome = Result<Done, DownloadError>;

    explicit SpeechModelDownload(QString modelID) : m_modelID(std::move(modelID)) {}

    const QString &modelID() const { return m_modelID; }
    bool isFinished() const { return m_outcome.has_value(); }
    const std::optional<Outcome> &outcome() const { return m_outcome; }

    // Finishes at once when the download is already over.
    static QCoro::Task<Outcome> wait(std::shared_ptr<SpeechModelDownload> download);

    void finish(Outcome outcome);

Q_SIGNALS:
    void finished();

private:
    QString m_modelID;
    std::optional<Outcome> m_outcome;
};

// The speech models of the catalogue: which are present in the models folder,
// downloads with live progress, deletion, and the small English model that ships
// with the program, put in place at start.
class ModelStore : public ModelDownloadStore {
    Q_OBJECT
public:
    struct Options {
        QString modelsDirectory;
        QList<SpeechModel> catalog;
        // The shipped copy of the first catalogue model, when there is one.
        std::optional<QString> bundledModel;
        // Not owned; the store makes its own when none is given.
        QNetworkAccessManager *network = nullptr;
        // How long a download may go without data before it fails.
        std::chrono::milliseconds transferTimeout = std::chrono::seconds(60);
    };
    // AppPaths::models(), the full catalogue and the shipped model found by
    // ResourceLocator.
    static Options defaultOptions();

    explicit ModelStore(Options options, QObject *parent = nullptr);
    ~ModelStore() override;

    const QList<SpeechModel> &catalog() const { return m_catalog; }
    const QString &modelsDirectory() const { return m_modelsDirectory; }

    // modelsDirectory / the model's file name.
    QString filePath(const SpeechModel &model) const;
    // Tested on the file system every time.
    bool isPresent(const SpeechModel &model) const;

    // Starts fetching a model, or joins the download of it that is running. For a
    // model that is present already the result is finished, successfully.
    std::shared_ptr<SpeechModelDownload> startDownload(const SpeechModel &model);

    // Removes a model's file; an absent file is no error.
    Result<Done, QString> deleteModel(const SpeechModel &model);


protected:
    QStringList presentModels() const override;

private:
    void bootstrapBundledModel(const std::optional<QString> &source);
    void removeStaleTemporaryFiles();
    void performDownload(const SpeechModel &model, const std::shared_ptr<SpeechModelDownload> &handle);

    QString m_modelsDirectory;
    QList<SpeechModel> m_catalog;
    QPointer<QNetworkAccessManager> m_network;
    std::chrono::milliseconds m_transferTimeout;
    QHash<QString, std::shared_ptr<SpeechModelDownload>> m_downloads;
};

} // namespace sorvane
