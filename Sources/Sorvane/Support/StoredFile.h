#pragma once

#include <QByteArray>
#include <QLoggingCategory>
#include <QString>
#include <functional>
#include <optional>

namespace sorvane {

Q_DECLARE_LOGGING_CATEGORY(lcStoredFiles)

// One stored file of the program, read once and rewritten whole on every save, readable
// by its owner only (0600). A file whose content could not be read is never lost: it is
// moved aside before the first write ("<path>.unreadable-<UTC time>"), and while it cannot
// be moved nothing is written over it (the next save tries again). Each step is said in
// the log; what the user must know is also given to the notice.
class StoredFile {
public:
    // Gets a sentence for the user: the first failed write of a run of failures (with
    // the system's reason), and a file set aside as unreadable (with where it lies).
    // Called on the thread that writes.
    using Notice = std::function<void(const QString &message)>;

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

    void setNotice(Notice notice) { m_notice = std::move(notice); }
    // The system's reason of the last failed write, empty after a successful one.
    const QString &lastError() const { return m_lastError; }

    // "Could not save the history: No space left on device."
    static QString writeFailureMessage(const QString &description, const QString &reason);

private:
    void failed(const QString &reason);

    QString m_path;
    QString m_description;
    bool m_unreadable = false;
    QString m_lastError;
    Notice m_notice;
};

} // namespace sorvane
