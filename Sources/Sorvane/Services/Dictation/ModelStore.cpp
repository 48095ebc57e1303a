#include "Services/Dictation/ModelStore.h"

#include "Shared/AppPaths.h"
#include "Platform/ResourceLocator.h"
#include "Support/SafePath.h"

#include <QCoroSignal>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <algorithm>

namespace sorvane {

QCoro::Task<SpeechModelDownload::Outcome> SpeechModelDownload::wait(std::shared_ptr<SpeechModelDownload> download)
{
    if (!download->isFinished())
        co_await qCoro(download.get(), &SpeechModelDownload::finished);
    co_return *download->outcome();
}

void SpeechModelDownload::finish(Outcome outcome)
{
    if (m_outcome)
        return;
    m_outcome = std::move(outcome);
    Q_EMIT finished();
}

ModelStore::Options ModelStore::defaultOptions()
{
    Options options;
    options.modelsDirectory = AppPaths::models();
    options.catalog = SpeechModel::catalog();
    options.bundledModel = ResourceLocator::file(SpeechModel::catalog().first().fileName);
    return options;
}

ModelStore::ModelStore(Options options, QObject *parent)
    : ModelDownloadStore(parent), m_modelsDirectory(std::move(options.modelsDirectory)), m_catalog(std::move(options.catalog)),
      m_network(options.network), m_transferTimeout(options.transferTimeout)
{
    if (!m_network)
        m_network = new QNetworkAccessManager(this);
    (void)AppPaths::prepare();
    QDir().mkpath(m_modelsDirectory);
    removeStaleTemporaryFiles();
    bootstrapBundledModel(options.bundledModel);
    watchFolders([this] { return QStringList{m_modelsDirectory}; });
}

QStringList ModelStore::presentModels() const
{
    QStringList present;
    for (const SpeechModel &model : m_catalog)
        if (isPresent(model))
            present.append(model.id);
    return present;
}

ModelStore::~ModelStore()
{
    // Whoever still waits learns that the download ended with the store.
    const auto downloads = std::exchange(m_downloads, {});
    for (const auto &download : downloads)
        download->finish(DownloadError::cancelled());
}

QString ModelStore::filePath(const SpeechModel &model) const
{
    return m_modelsDirectory + QLatin1Char('/') + model.fileName;
}

bool ModelStore::isPresent(const SpeechModel &model) const
{
    return isSafePathComponent(model.fileName) && QFileInfo::exists(filePath(model));
}

std::shared_ptr<SpeechModelDownload> ModelStore::startDownload(const SpeechModel &model)
{
    if (const auto running = m_downloads.value(model.id))
        return running;
    auto download = std::make_shared<SpeechModelDownload>(model.id);
    if (isPresent(model)) {
        download->finish(Done{});
        return download;
    }
    m_downloads.insert(model.id, download);
    performDownload(model, download);
    return download;
}

void ModelStore::performDownload(const SpeechModel &model, const std::shared_ptr<SpeechModelDownload> &handle)
{
    const QString id = model.id;
    beginDownload(id);

    const auto end = [this, id, handle](SpeechModelDownload::Outcome outcome) {
        if (outcome.ok())
            bumpRevision();
        m_downloads.remove(id);
        endDownload(id);
        handle->finish(std::move(outcome));
    };

    if (!isSafePathComponent(model.fileName))
        return end(DownloadError::fileSystem(QStringLiteral("The model has no usable file name.")));

    FileDownload::Options options;
    options.destination = filePath(model);
    options.folder = m_modelsDirectory;
    options.transferTimeout = m_transferTimeout;
    options.refuseWebPages = true;
    auto *download = new FileDownload(m_network, model.url, options, this);
    connect(download, &FileDownload::progress, this, [this, id](qint64 received, qint64 total) {
        // Without a length there is nothing to show; a late value never brings an
        // entry back.
        if (total >= 1)
            setDownloadProgress(id, double(received) / double(total));
    });
    connect(download, &FileDownload::finished, this, [download, end] {
        download->deleteLater();
        const auto &outcome = *download->outcome();
        if (outcome.ok())
            end(Done{});
        else
            end(outcome.error());
    });
    download->start();
}

Result<Done, QString> ModelStore::deleteModel(const SpeechModel &model)
{
    if (!isPresent(model))
        return Done{};
    QFile file(filePath(model));
    if (!file.remove())
        return file.errorString();
    bumpRevision();
    return Done{};
}

void ModelStore::bootstrapBundledModel(const std::optional<QString> &source)
{
    if (m_catalog.isEmpty())
        return;
    const SpeechModel &pocket = m_catalog.first();
    if (isPresent(pocket) || !source || !isSafePathComponent(pocket.fileName))
        return;
    // QFile::copy writes a temporary file and renames it, so a failed copy leaves
    // nothing under the model's name.
    (void)QFile::copy(*source, filePath(pocket));
    // The owner's only, as every file in the data folder.
    QFile::setPermissions(filePath(pocket), QFile::ReadOwner | QFile::WriteOwner);
    bumpRevision();
}

void ModelStore::removeStaleTemporaryFiles()
{
    // Left by downloads that were running when the program ended.
    QDir folder(m_modelsDirectory);
    const QStringList leftovers =
        folder.entryList({QStringLiteral(".*.download")}, QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &name : leftovers)
        folder.remove(name);
}

} // namespace sorvane
