#pragma once

#include <QFile>
#include <QString>

namespace sorvane {

// Writes uncompressed PCM into a RIFF/WAVE file: a 44-byte header whose sizes are
// filled in by finish(), followed by the samples as given.
class WavFileWriter {
public:
    struct Format {
        int sampleRate = 16000;
        int channelCount = 1;
        int bitsPerSample = 16;
    };

    WavFileWriter();
    explicit WavFileWriter(Format format);
    ~WavFileWriter();
    WavFileWriter(const WavFileWriter &) = delete;
    WavFileWriter &operator=(const WavFileWriter &) = delete;

    // Creates a new file (an existing one is never replaced) and writes the header.
    bool open(const QString &path, QString *error = nullptr);
    bool isOpen() const { return m_file.isOpen(); }
    // Appends sample bytes. Fails when the file cannot take them or the data would
    // outgrow what the header's 32-bit sizes can describe.
    bool write(const char *data, qint64 size, QString *error = nullptr);
    // Fills in the sizes and closes the file.
    bool finish(QString *error = nullptr);
    // Closes and removes the file.
    void discard();

    qint64 dataSize() const { return m_dataSize; }
    const QString &path() const { return m_path; }

    static constexpr qint64 headerSize = 44;
    static QByteArray header(const Format &format, quint32 dataSize);

private:
    Format m_format;
    QFile m_file;
    QString m_path;
    qint64 m_dataSize = 0;
};

} // namespace sorvane
