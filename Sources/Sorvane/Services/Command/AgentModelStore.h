#pragma once

#include "Command/AgentModelDescriptor.h"
#include "Support/StoredFile.h"
#include "Command/AgentRuntimeError.h"
#include "Support/Result.h"
#include "Services/Shared/ModelDownloadStore.h"
#include "Services/Shared/FileDownload.h"

#include <QCoroTask>
#include <QHash>
#include <QJsonArray>
#include <QObject>
#include <QSet>
#include <QStringList>
#include <QVariantMap>
#include <chrono>

namespace sorvane {

// Why a writing model could not be downloaded or removed.
class AgentModelStoreError {
public:
    enum class Kind {
        UnsafeName,           // the model id or a file name is not one plain path component
        FileSystem,           // a folder or file could not be created, read, moved or removed
        Download,             // the transfer failed
        IntegrityCheckFailed, // the file that arrived does not have the expected SHA-256 (a Command
                              // error: AgentRuntimeError::modelImportFailed)
    };

    static AgentModelStoreError unsafeName(QString modelID) { return {Kind::UnsafeName, std::move(modelID), {}}; }
    static AgentModelStoreError fileSystem(QString detail) { return {Kind::FileSystem, std::move(detail), {}}; }
    static AgentModelStoreError download(DownloadError error) { return {Kind::Download, {}, std::move(error)}; }
    static AgentModelStoreError integrityCheckFailed(const QString &fileName)
    {
        AgentModelStoreError error(Kind::IntegrityCheckFailed, fileName, {});
        error.m_runtime = AgentRuntimeError::modelImportFailed(QStringLiteral("The downloaded ") + fileName
                                                               + QStringLiteral(" failed its integrity check."));
        return error;
    }

    Kind kind() const { return m_kind; }
    // The model id, the file name or the file system's message, by kind.
    const QString &detail() const { return m_detail; }
    const std::optional<DownloadError> &downloadError() const { return m_download; }
    // The Command error of an integrity failure.
    const std::optional<AgentRuntimeError> &runtimeError() const { return m_runtime; }
    QString message() const;

    friend bool operator==(const AgentModelStoreError &, const AgentModelStoreError &) = default;

private:
    AgentModelStoreError(Kind kind, QString detail, std::optional<DownloadError> download)
        : m_kind(kind), m_detail(std::move(detail)), m_download(std::move(download)) {}
    Kind m_kind;
    QString m_detail;
    std::optional<DownloadError> m_download;
    std::optional<AgentRuntimeError> m_runtime;
};

// The writing models: which descriptor an id names (the catalogue first, then the user's
// custom models), whether a model can run now, the download of a local model's files with
// progress and SHA-256 verification, their removal, and the custom-models file.
// Main thread only.
class AgentModelStore : public ModelDownloadStore {
    Q_OBJECT

public:
    struct Options {
        // Each local model's files lie in <modelsFolder>/<id>/.
        QString modelsFolder;
        QString customModelsFile;
        // How long a transfer may go without receiving a byte.
        std::chrono::milliseconds transferTimeout = std::chrono::seconds(60);
    };
    // AppPaths::agentModels() and AppPaths::customAgentModels().
    static Options defaultOptions();

    // Prepares the data folders (a failure is ignored) and loads the custom models.
    explicit AgentModelStore(Options options, QObject *parent = nullptr);

    const QList<AgentModelDescriptor> &customModels() const { return m_customModels; }

    // Exact, case-sensitive; a custom model that reuses a built-in id is never found.
    std::optional<AgentModelDescriptor> descriptor(const QString &id) const;
    // The on-device and cloud models always; a local model when all its files are there.
    bool isAvailable(const AgentModelDescriptor &descriptor) const;
    // Where a local model's files lie: <models folder>/<id>/.
    QString modelFolder(const AgentModelDescriptor &descriptor) const;

    // Fetches the missing or damaged files of a local model one after another. Files
    // already verified stay for the next attempt when a later one fails.
    QCoro::Task<Result<Done, AgentModelStoreError>> download(AgentModelDescriptor descriptor);
    // Removes a local model's folder (and a custom model's entry).
    Result<Done, AgentModelStoreError> remove(const AgentModelDescriptor &descriptor);

Q_SIGNALS:
    void customModelsChanged();
    // A sentence for the user: saving the custom models failed, or their unreadable
    // file was set aside.
    void fileNotice(const QString &message);

protected:
    QStringList presentModels() const override;

private:
    void loadCustomModels();
    void saveCustomModels();
    void removeLeftoverDownloads();

    QList<AgentModelDescriptor> m_customModels;
    // Entries of the custom-models file that are not listed (unreadable, or reusing an id
    // taken before them): written back as they were, so that a newer or hand-edited
    // entry is not lost on the next save.
    QJsonArray m_unreadableCustomEntries;
    StoredFile m_customModelsFile;
    Options m_options;
};

} // namespace sorvane
