#include "Support/StoredFile.h"

#include "Shared/AppPaths.h"
#include "Support/StoredJson.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace sorvane {

Q_LOGGING_CATEGORY(lcStoredFiles, "sorvane.storedfiles")

StoredFile::StoredFile(QString path, QString description)
    : m_path(std::move(path)), m_description(std::move(description))
{
}

std::optional<QByteArray> StoredFile::read()
{
    QFile file(m_path);
    if (!file.exists())
        return std::nullopt;
    if (!file.open(QIODevice::ReadOnly)) {
        qCWarning(lcStoredFiles).noquote() << "Could not open the" << m_description << "file" << m_path << ":"
                                           << file.errorString();
        markUnreadable();
        return std::nullopt;
    }
    return file.readAll();
}

void StoredFile::markUnreadable()
{
    if (!m_unreadable)
        qCWarning(lcStoredFiles).noquote() << "The" << m_description << "file" << m_path
                                           << "could not be read; it is kept aside before the next save";
    m_unreadable = true;
}

QString StoredFile::writeFailureMessage(const QString &description, const QString &reason)
{
    QString message = QStringLiteral("Could not save the %1: %2").arg(description, reason);
    if (!message.endsWith(QLatin1Char('.')))
        message += QLatin1Char('.');
    return message;
}

void StoredFile::failed(const QString &reason)
{
    // Said once for a run of failures: every save of a full disk fails alike.
    const bool first = m_lastError.isEmpty();
    m_lastError = reason.isEmpty() ? QStringLiteral("Unknown error") : reason;
    if (first && m_notice)
        m_notice(writeFailureMessage(m_description, m_lastError));
}

bool StoredFile::write(const QByteArray &bytes)
{
    if (m_unreadable && QFileInfo::exists(m_path)) {
        const auto aside = storedjson::moveAside(m_path);
        if (!aside) {
            qCWarning(lcStoredFiles).noquote() << "Could not move the unreadable" << m_description << "file" << m_path
                                               << "aside; the change is not saved";
            failed(QStringLiteral("the unreadable file could not be set aside"));
            return false;
        }
        qCWarning(lcStoredFiles).noquote() << "Moved the unreadable" << m_description << "file to" << *aside;
        if (m_notice)
            m_notice(QStringLiteral("The %1 file could not be read. It was set aside as \u201c%2\u201d.")
                         .arg(m_description, *aside));
    }
    m_unreadable = false;
    AppPaths::makePrivatePath(QFileInfo(m_path).absolutePath());
    QString error;
    if (!storedjson::writeFileAtomically(m_path, bytes, &error)) {
        qCWarning(lcStoredFiles).noquote() << "Could not save the" << m_description << "file" << m_path << ":" << error;
        failed(error);
        return false;
    }
    m_lastError.clear();
    return true;
}

} // namespace sorvane
