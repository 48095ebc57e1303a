#include "Support/StoredFile.h"

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

bool StoredFile::write(const QByteArray &bytes)
{
    if (m_unreadable && QFileInfo::exists(m_path)) {
        const auto aside = storedjson::moveAside(m_path);
        if (!aside) {
            qCWarning(lcStoredFiles).noquote() << "Could not move the unreadable" << m_description << "file" << m_path
                                               << "aside; the change is not saved";
            return false;
        }
        qCWarning(lcStoredFiles).noquote() << "Moved the unreadable" << m_description << "file to" << *aside;
    }
    m_unreadable = false;
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    QString error;
    if (!storedjson::writeFileAtomically(m_path, bytes, &error)) {
        qCWarning(lcStoredFiles).noquote() << "Could not save the" << m_description << "file" << m_path << ":" << error;
        return false;
    }
    return true;
}

} // namespace sorvane
