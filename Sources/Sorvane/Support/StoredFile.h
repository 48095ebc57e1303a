#pragma once

#include <QByteArray>
#include <QLoggingCategory>
#include <QString>
#include <optional>

namespace sorvane {

Q_DECLARE_LOGGING_CATEGORY(lcStoredFiles)

// One stored file of the program, read once and rewritten whole on every save. A file
// whose content could not be read is never lost: it is moved aside before the first
// write ("<path>.unreadable-<UTC time>"), and while it cannot be moved nothing is
// written over it (the next save tries again). Each step is said in the log.
class StoredFile {
public:
    // `description` names the file in the log ("history", "settings").
    StoredFile(QString path, QString description);

    const QString &path() const { return m_path; }

    // The file's bytes; nothing when there is no file, or when it cannot be opened (it
    // then counts as unreadable).
    std::optional<QByteArray> read();
    // The content read is not what the file should hold: keep it aside before writing.
    void markUnreadable();
    bool isUnreadable() const { return m_unreadable; }

    // Replaces the file atomically, after moving an unreadable one aside. False when
    // nothing was written.
    bool write(const QByteArray &bytes);

private:
    QString m_path;
    QString m_description;
    bool m_unreadable = false;
};

} // namespace sorvane
