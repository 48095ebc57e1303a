#pragma once

#include <QByteArray>
#include <QFile>
#include <QVector>
#include <QtEndian>
#include <optional>

namespace sorvane::testing {

// A WAV file read back independently of the writer: the header fields as stored,
// and the samples. Nothing when the file is not a 44-byte-header PCM WAV.
struct WavFile {
    quint32 riffSize = 0;
    quint16 formatTag = 0;
    quint16 channels = 0;
    quint32 sampleRate = 0;
    quint32 byteRate = 0;
    quint16 blockAlign = 0;
    quint16 bitsPerSample = 0;
    quint32 dataSize = 0;
    qint64 fileSize = 0;
    QVector<qint16> samples;

    double seconds() const { return sampleRate ? double(samples.size()) / sampleRate : 0; }

    static std::optional<WavFile> read(const QString &path)
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return std::nullopt;
        const QByteArray bytes = file.readAll();
        if (bytes.size() < 44 || !bytes.startsWith("RIFF") || bytes.mid(8, 8) != "WAVEfmt "
            || bytes.mid(36, 4) != "data")
            return std::nullopt;
        const auto u32 = [&](int at) { return qFromLittleEndian<quint32>(bytes.constData() + at); };
        const auto u16 = [&](int at) { return qFromLittleEndian<quint16>(bytes.constData() + at); };
        WavFile wav;
        wav.fileSize = bytes.size();
        wav.riffSize = u32(4);
        if (u32(16) != 16)
            return std::nullopt;
        wav.formatTag = u16(20);
        wav.channels = u16(22);
        wav.sampleRate = u32(24);
        wav.byteRate = u32(28);
        wav.blockAlign = u16(32);
        wav.bitsPerSample = u16(34);
        wav.dataSize = u32(40);
        const qsizetype available = (bytes.size() - 44) / 2;
        for (qsizetype i = 0; i < available; ++i)
            wav.samples.append(qFromLittleEndian<qint16>(bytes.constData() + 44 + 2 * i));
        return wav;
    }
};

} // namespace sorvane::testing
