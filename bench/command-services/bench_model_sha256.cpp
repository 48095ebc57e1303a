// Verifies a 1 GiB file the way the writing-model store does and compares the speed
// with sha256sum on the same file (both read it from the page cache after a warm-up).
//   bench_model_sha256 [size in MiB, default 1024]
#include "Support/Sha256.h"
#include "BenchTools.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <functional>

using namespace sorvane;

namespace {

bool writeTestFile(const QString &path, qint64 mebibytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QByteArray chunk(1 << 20, Qt::Uninitialized);
    quint64 state = 0x9e3779b97f4a7c15ull;
    for (qint64 i = 0; i < mebibytes; ++i) {
        auto *words = reinterpret_cast<quint64 *>(chunk.data());
        for (qsizetype w = 0; w < chunk.size() / qsizetype(sizeof(quint64)); ++w) {
            state ^= state << 13;
            state ^= state >> 7;
            state ^= state << 17;
            words[w] = state;
        }
        if (file.write(chunk) != chunk.size())
            return false;
    }
    return file.flush();
}

QString sha256sum(const QString &path)
{
    QProcess tool;
    tool.start(QStringLiteral("sha256sum"), {path});
    if (!tool.waitForFinished(-1) || tool.exitCode() != 0)
        return {};
    return QString::fromLatin1(tool.readAllStandardOutput().left(64));
}

// The best of `runs` timings, in seconds.
double best(int runs, const std::function<QString()> &work, QString *digest)
{
    double fastest = 1e9;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        *digest = work();
        fastest = std::min(fastest, timer.nsecsElapsed() / 1e9);
    }
    return fastest;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const qint64 mebibytes = argc > 1 ? QByteArray(argv[1]).toLongLong() : 1024;
    QTemporaryDir folder; // removed, with the file, on every way out
    if (!folder.isValid() || mebibytes <= 0) {
        std::fprintf(stderr, "cannot make a temporary folder\n");
        return 1;
    }
    const QString path = folder.filePath(QStringLiteral("model.gguf"));
    std::printf("writing %lld MiB to %s\n", (long long)mebibytes, qPrintable(path));
    if (!writeTestFile(path, mebibytes)) {
        std::fprintf(stderr, "cannot write the test file\n");
        return 1;
    }
    const double megabytes = mebibytes * 1.048576;

    QString reference = sha256sum(path); // warm-up: the file is in the page cache from here on
    if (reference.isEmpty()) {
        std::fprintf(stderr, "sha256sum is not available\n");
        return 1;
    }
    QString digest;
    const double toolSeconds = best(3, [&] { return sha256sum(path); }, &digest);
    const double ourSeconds = best(3, [&] {
        const auto result = Sha256::ofFile(path);
        return result ? result.value() : QString();
    }, &digest);
    const bool same = digest == reference;
    QString qtDigest;
    const double qtSeconds = best(1, [&] {
        QFile file(path);
        file.open(QIODevice::ReadOnly);
        QCryptographicHash hash(QCryptographicHash::Sha256);
        hash.addData(&file);
        return QString::fromLatin1(hash.result().toHex());
    }, &qtDigest);

    std::printf("sha256sum:                  %7.3f s  %8.1f MB/s\n", toolSeconds, megabytes / toolSeconds);
    std::printf("model store (OpenSSL):      %7.3f s  %8.1f MB/s  digest %s\n", ourSeconds, megabytes / ourSeconds,
                same ? "matches" : "DIFFERS");
    std::printf("QCryptographicHash (ref.):  %7.3f s  %8.1f MB/s\n", qtSeconds, megabytes / qtSeconds);
    const double ratio = toolSeconds / ourSeconds;
    std::printf("speed relative to sha256sum: %.0f %% (aim: at least 90 %%)\n", ratio * 100);
    // Best of three runs each.
    bench::printFigure("SHA-256 of a model file, best of 3", {megabytes / ourSeconds}, "MB/s", ">= 90 % of sha256sum",
                       QStringLiteral("sha256sum %1 MB/s").arg(megabytes / toolSeconds, 0, 'f', 0));
    return same && ratio >= 0.9 ? 0 : 1;
}
