#include "Services/Command/AgentModelStore.h"

#include "Shared/AppPaths.h"
#include "Support/SafePath.h"
#include "Support/Sha256.h"
#include "Support/StoredJson.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QPointer>

#include <algorithm>

namespace sorvane {

QString AgentModelStoreError::message() const
{
    switch (m_kind) {
    case Kind::UnsafeName:
        return QStringLiteral("The model \u201c") + m_detail
            + QStringLiteral("\u201d has a name that cannot be used for its files.");
    case Kind::FileSystem:
        return m_detail;
    case Kind::Download:
        return m_download ? m_download->message() : QString();
    case Kind::IntegrityCheckFailed:
        return m_runtime ? m_runtime->message() : QString();
    }
    return {};
}

namespace {

// A local model's id and file names become paths (and a folder that is removed with
// everything in it), so each must be a single plain component.
bool hasSafeNames(const AgentModelDescriptor &descriptor)
{
    if (!isSafePathComponent(descriptor.id))
        return false;
    return std::all_of(descriptor.artifacts.cbegin(), descriptor.artifacts.cend(),
                       [](const AgentModelArtifact &artifact) { return isSafePathComponent(artifact.fileName); });
}

QString fileSystemMessage(const QString &what, const QString &path, const QString &reason = {})
{
    QString message = what + QStringLiteral(" \u201c") + path + QStringLiteral("\u201d");
    if (!reason.isEmpty())
        message += QStringLiteral(": ") + reason;
    return message + QLatin1Char('.');
}

// The hidden temporary files of downloads in progress.
const QString leftoverPattern = QStringLiteral(".*.download");

} // namespace

AgentModelStore::Options AgentModelStore::defaultOptions()
{
    Options options;
    options.modelsFolder = AppPaths::agentModels();
    options.customModelsFile = AppPaths::customAgentModels();
    return options;
}

AgentModelStore::AgentModelStore(Options options, QObject *parent)
    : ModelDownloadStore(parent), m_customModelsFile(options.customModelsFile, QStringLiteral("custom models")),
      m_options(std::move(options))
{
    m_customModelsFile.setNotice([this](const QString &message) { Q_EMIT fileNotice(message); });
    (void)AppPaths::prepare();
    removeLeftoverDownloads();
    loadCustomModels();
    // Files removed or put in place from outside change what is available.
    watchFolders([this] {
        QStringList folders{m_options.modelsFolder};
        QList<AgentModelDescriptor> all = AgentModelDescriptor::catalog();
        all.append(m_customModels);
        for (const AgentModelDescriptor &descriptor : all)
            if (descriptor.provider == AgentModelProvider::LlamaCPP && isSafePathComponent(descriptor.id))
                folders.append(modelFolder(descriptor));
        return folders;
    });
}

QStringList AgentModelStore::presentModels() const
{
    QStringList present;
    for (const auto *list : {&AgentModelDescriptor::catalog(), &m_customModels})
        for (const AgentModelDescriptor &descriptor : *list)
            if (descriptor.provider == AgentModelProvider::LlamaCPP && isAvailable(descriptor))
                present.append(descriptor.id);
    return present;
}

std::optional<AgentModelDescriptor> AgentModelStore::descriptor(const QString &id) const
{
    for (const auto *list : {&AgentModelDescriptor::catalog(), &m_customModels})
        for (const AgentModelDescriptor &descriptor : *list)
            if (descriptor.id == id)
                return descriptor;
    return std::nullopt;
}

QString AgentModelStore::modelFolder(const AgentModelDescriptor &descriptor) const
{
    return m_options.modelsFolder + QLatin1Char('/') + descriptor.id;
}

bool AgentModelStore::isAvailable(const AgentModelDescriptor &descriptor) const
{
    if (descriptor.provider != AgentModelProvider::LlamaCPP)
        return true;
    if (descriptor.artifacts.isEmpty() || !hasSafeNames(descriptor))
        return false;
    const QDir folder(modelFolder(descriptor));
    for (const AgentModelArtifact &artifact : descriptor.artifacts)
        if (!QFileInfo::exists(folder.filePath(artifact.fileName)))
            return false;
    return true;
}

QCoro::Task<Result<Done, AgentModelStoreError>> AgentModelStore::download(AgentModelDescriptor descriptor)
{
    if (descriptor.provider != AgentModelProvider::LlamaCPP || descriptor.artifacts.isEmpty())
        co_return Done{};
    if (!hasSafeNames(descriptor))
        co_return AgentModelStoreError::unsafeName(descriptor.id);
    if (isAvailable(descriptor))
        co_return Done{};

    // The store may go while files arrive: the download then runs to its end on its own
    // and only stops reporting to it.
    const QPointer<AgentModelStore> self(this);
    const QString id = descriptor.id;
    const std::chrono::milliseconds transferTimeout = m_options.transferTimeout;
    beginDownload(id);
    const auto fail = [&](AgentModelStoreError error) {
        if (self)
            self->endDownload(id);
        return error;
    };

    const QString folder = modelFolder(descriptor);
    if (!QDir().mkpath(folder))
        co_return fail(AgentModelStoreError::fileSystem(fileSystemMessage(QStringLiteral("Could not create"), folder)));

    // Shares by bytes; when the sizes add up to nothing, by number of files instead.
    qint64 total = 0;
    for (const AgentModelArtifact &artifact : descriptor.artifacts)
        total += std::max<qint64>(artifact.byteSize, 0);
    const int fileCount = int(descriptor.artifacts.size());
    qint64 completed = 0;
    int filesDone = 0;
    const auto overall = [&](qint64 currentBytes, double currentFraction) {
        if (total > 0)
            return double(completed + currentBytes) / double(total);
        return (filesDone + currentFraction) / fileCount;
    };

    for (const AgentModelArtifact &artifact : descriptor.artifacts) {
        const qint64 size = std::max<qint64>(artifact.byteSize, 0);
        const QString destination = QDir(folder).filePath(artifact.fileName);
        if (QFileInfo::exists(destination)) {
            const auto present = co_await Sha256::ofFileInBackground(destination);
            if (!present)
                co_return fail(AgentModelStoreError::fileSystem(
                    fileSystemMessage(QStringLiteral("Could not read"), destination, present.error().message)));
            if (present.value() == artifact.sha256) {
                completed += size;
                ++filesDone;
                continue;
            }
        }

        const auto reportProgress = [&, self](qint64 received, qint64 expected) {
            if (expected < 1 || !self)
                return;
            const double fraction = std::clamp(double(received) / double(expected), 0.0, 1.0);
            // Never 1 while bytes are still arriving: that is kept for the file in place.
            self->setDownloadProgress(id, std::min(0.99, overall(qint64(fraction * double(size)), fraction)));
        };
        // A network manager for each file, owned by this frame, so that a transfer never
        // outlives it (nor leaves its temporary file behind) when the store goes first.
        QNetworkAccessManager network;
        FileDownload::Options options;
        options.destination = destination;
        options.transferTimeout = transferTimeout;
        options.hash = QCryptographicHash::Sha256;
        // Compared exactly: a digest that differs only in letter case is a mismatch too.
        options.expectedHexDigest = artifact.sha256;
        // Streamed into a temporary file beside the destination and hashed on the way;
        // only a complete file with the right digest replaces what is there.
        const auto arrived = co_await downloadFile(&network, artifact.url, options, reportProgress);
        if (!arrived) {
            if (arrived.error().kind() == DownloadError::Kind::DigestMismatch)
                co_return fail(AgentModelStoreError::integrityCheckFailed(artifact.fileName));
            co_return fail(AgentModelStoreError::download(arrived.error()));
        }
        completed += size;
        ++filesDone;
        if (self)
            self->setDownloadProgress(id, overall(0, 0));
    }

    if (self) {
        self->bumpRevision();
        self->endDownload(id);
    }
    co_return Done{};
}

Result<Done, AgentModelStoreError> AgentModelStore::remove(const AgentModelDescriptor &descriptor)
{
    if (descriptor.provider != AgentModelProvider::LlamaCPP)
        return Done{};
    if (!isSafePathComponent(descriptor.id))
        return AgentModelStoreError::unsafeName(descriptor.id);

    const QString folder = modelFolder(descriptor);
    const QFileInfo info(folder);
    if (info.isSymLink()) {
        // Only the link is ours to remove, never what it points to.
        if (!QFile::remove(folder))
            return AgentModelStoreError::fileSystem(fileSystemMessage(QStringLiteral("Could not remove"), folder));
    } else if (info.exists()) {
        if (!QDir(folder).removeRecursively())
            return AgentModelStoreError::fileSystem(fileSystemMessage(QStringLiteral("Could not remove"), folder));
    }

    if (descriptor.isCustom) {
        const auto removed = m_customModels.removeIf(
            [&](const AgentModelDescriptor &custom) { return custom.id == descriptor.id; });
        if (removed > 0)
            Q_EMIT customModelsChanged();
        saveCustomModels();
    }
    bumpRevision();
    return Done{};
}

void AgentModelStore::removeLeftoverDownloads()
{
    // Downloads cut short by the end of the program leave their temporary files behind.
    QDirIterator folders(m_options.modelsFolder, QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks);
    while (folders.hasNext()) {
        const QDir folder(folders.next());
        for (const QString &name : folder.entryList({leftoverPattern}, QDir::Files | QDir::Hidden))
            QFile::remove(folder.filePath(name));
    }
}

void AgentModelStore::loadCustomModels()
{
    const std::optional<QByteArray> bytes = m_customModelsFile.read();
    if (!bytes)
        return;
    const auto document = storedjson::parseDocument(*bytes);
    if (!document || !document->isArray()) {
        m_customModelsFile.markUnreadable();
        // Nothing on screen can change an empty list, so no save would ever set the file
        // aside and tell the user: the first save is made now, once the loop runs (after
        // the owner has heard of the notice).
        QMetaObject::invokeMethod(this, &AgentModelStore::saveCustomModels, Qt::QueuedConnection);
        return;
    }
    QList<AgentModelDescriptor> models;
    for (const QJsonValue &entry : document->array()) {
        const auto descriptor = AgentModelDescriptor::fromJson(entry);
        if (!descriptor) {
            m_unreadableCustomEntries.append(entry);
            continue;
        }
        // An id that is taken would make a second row acting on the first one's files:
        // such an entry is kept in the file but not listed. A local model whose files
        // are gone stays listed, to be fetched again.
        const bool taken = std::any_of(AgentModelDescriptor::catalog().cbegin(), AgentModelDescriptor::catalog().cend(),
                                       [&](const AgentModelDescriptor &known) { return known.id == descriptor->id; })
            || std::any_of(models.cbegin(), models.cend(),
                           [&](const AgentModelDescriptor &known) { return known.id == descriptor->id; });
        if (taken) {
            m_unreadableCustomEntries.append(entry);
            continue;
        }
        models.append(*descriptor);
    }
    m_customModels = models;
    Q_EMIT customModelsChanged();
}

void AgentModelStore::saveCustomModels()
{
    QJsonArray entries;
    for (const AgentModelDescriptor &descriptor : m_customModels)
        entries.append(descriptor.toJson());
    for (const QJsonValue &entry : m_unreadableCustomEntries)
        entries.append(entry);
    (void)m_customModelsFile.write(QJsonDocument(entries).toJson(QJsonDocument::Compact));
}

} // namespace sorvane
