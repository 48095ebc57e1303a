#include "Services/Dictation/WavFileWriter.h"

#include "Support/StoredFile.h"

#include <QtEndian>

namespace sorvane {

namespace {

constexpr qint64 largestData = 0xFFFFFFFFLL - (WavFileWriter::headerSize - 8);

void appendLittleEndian32(QByteArray &bytes, quint32 value)
{
    char buffer[4];
    qToLittleEndian(value, buffer);
    bytes.append(buffer, 4);
}

void appendLittleEndian16(QByteArray &bytes, quint16 value)
{
    char buffer[2];
    qToLittleEndian(value, buffer);
    bytes.append(buffer, 2);
}

} // namespace

WavFileWriter::WavFileWriter() : m_format(Format{}) {}
WavFileWriter::WavFileWriter(Format format) : m_format(format) {}

WavFileWriter::~WavFileWriter()
{
    if (m_file.isOpen())
        m_file.close();
}

QByteArray WavFileWriter::header(const Format &format, quint32 dataSize)
{
    const quint16 blockAlign = static_cast<quint16>(format.channelCount * format.bitsPerSample / 8);
    QByteArray bytes;
    bytes.reserve(headerSize);
    bytes.append("RIFF", 4);
    appendLittleEndian32(bytes, static_cast<quint32>(headerSize - 8 + dataSize));
    bytes.append("WAVE", 4);
    bytes.append("fmt ", 4);
    appendLittleEndian32(bytes, 16);
    appendLittleEndian16(bytes, 1); // integer PCM
    appendLittleEndian16(bytes, static_cast<quint16>(format.channelCount));
    appendLittleEndian32(bytes, static_cast<quint32>(format.sampleRate));
    appendLittleEndian32(bytes, static_cast<quint32>(format.sampleRate) * blockAlign);
    appendLittleEndian16(bytes, blockAlign);
    appendLittleEndian16(bytes, static_cast<quint16>(format.bitsPerSample));
    bytes.append("data", 4);
    appendLittleEndian32(bytes, dataSize);
    return bytes;
}

namespace {

// What the user reads: what failed and the system's reason.
QString failure(const QFile &file)
{
    return StoredFile::writeFailureMessage(QStringLiteral("recording"), file.errorString());
}

} // namespace

bool WavFileWriter::open(const QString &path, QString *error)
{
    m_path = path;
    m_dataSize = 0;
    m_file.setFileName(path);
    // Unbuffered: a full disk fails the write that meets it, with the system's reason.
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered,
                     QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
        if (error)
            *error = failure(m_file);
        return false;
    }
    const QByteArray bytes = header(m_format, 0);
    if (m_file.write(bytes) != bytes.size()) {
        if (error)
            *error = failure(m_file);
        discard();
        return false;
    }
    return true;
}

bool WavFileWriter::write(const char *data, qint64 size, QString *error)
{
    if (!m_file.isOpen()) {
        if (error)
            *error = QStringLiteral("The recording file is not open.");
        return false;
    }
    if (m_dataSize + size > largestData) {
        if (error)
            *error = QStringLiteral("The recording is too long for a WAV file.");
        return false;
    }
    if (m_file.write(data, size) != size) {
        if (error)
            *error = failure(m_file);
        return false;
    }
    m_dataSize += size;
    return true;
}

bool WavFileWriter::finish(QString *error)
{
    if (!m_file.isOpen()) {
        if (error)
            *error = QStringLiteral("The recording file is not open.");
        return false;
    }
    const QByteArray bytes = header(m_format, static_cast<quint32>(m_dataSize));
    const bool written = m_file.seek(0) && m_file.write(bytes) == bytes.size() && m_file.flush();
    if (!written && error)
        *error = failure(m_file);
    m_file.close();
    if (written && m_file.error() != QFileDevice::NoError) {
        if (error)
            *error = failure(m_file);
        return false;
    }
    return written;
}

void WavFileWriter::discard()
{
    if (m_file.isOpen())
        m_file.close();
    if (!m_path.isEmpty())
        QFile::remove(m_path);
}

} // namespace sorvane
