// The stores and the recorder on a file system that really fills: a small tmpfs is
// mounted over the test's data and settings folders in a mount namespace of this test
// program's own (made before any thread starts), so the mount is seen by nobody else and
// goes away with the program however it ends. It needs the right to mount (the suite
// runs as root on the test machines). Where mounting is refused, or with
// SORVANE_FULL_DISK_SHIM set, the program runs itself again with a preloaded shim whose
// writes into the folder fail with ENOSPC past a budget the test sets.
#include "Platform/SettingsStore.h"
#include "Shared/AppPaths.h"
#include "TestAppState.h"
#include "TestPaths.h"

#include <QGuiApplication>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QTest>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <cstring>
#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

using namespace sorvane;
using namespace sorvane::testing;

namespace {

const QString spokenText = QStringLiteral("every word of this dictation");
const RunningApplication editor{4242, QStringLiteral("Editor"), 77, QStringLiteral("editor"), QStringLiteral("editor")};

QString mountPoint;
QString smallDiskRefused;
// Under the shim: the file holding what may still be written.
QString budgetFile;

// Before QGuiApplication: a namespace is a thread's, and no other thread exists yet.
void prepareSmallDisk(char *argv[])
{
    if (const char *budget = std::getenv("SORVANE_ENOSPC_BUDGET_FILE")) {
        // Run again under the shim.
        budgetFile = QString::fromLocal8Bit(budget);
        mountPoint = QString::fromLocal8Bit(std::getenv("SORVANE_ENOSPC_FOLDER"));
        return;
    }
    char folder[] = "/tmp/sorvane-full-disk.XXXXXX";
    if (!::mkdtemp(folder)) {
        smallDiskRefused = QString::fromLocal8Bit(std::strerror(errno));
        return;
    }
    mountPoint = QString::fromLocal8Bit(folder);
    if (!std::getenv("SORVANE_FULL_DISK_SHIM") && ::unshare(CLONE_NEWNS) == 0
        && ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0
        && ::mount("tmpfs", folder, "tmpfs", 0, "size=2m,mode=0700") == 0)
        return;
    const std::string budget = std::string(folder) + ".budget";
    ::setenv("SORVANE_ENOSPC_BUDGET_FILE", budget.c_str(), 1);
    ::setenv("SORVANE_ENOSPC_FOLDER", folder, 1);
    ::setenv("LD_PRELOAD", SORVANE_ENOSPC_SHIM, 1);
    ::execv("/proc/self/exe", argv);
    smallDiskRefused = QStringLiteral("neither a tmpfs nor the shim: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
}

void setBudget(const QByteArray &bytes)
{
    QFile file(budgetFile);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(bytes);
}

// Fills the disk up, then frees `leave` bytes of it again.
void fillDisk(qint64 leave)
{
    if (!budgetFile.isEmpty())
        return setBudget(QByteArray::number(leave));
    const QString filler = mountPoint + QStringLiteral("/filler");
    const int fd = ::open(QFile::encodeName(filler).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const QByteArray block(64 * 1024, 'x');
    qint64 size = 0;
    for (;;) {
        const ssize_t written = ::write(fd, block.constData(), size_t(block.size()));
        if (written <= 0)
            break;
        size += written;
    }
    if (leave > 0)
        (void)::ftruncate(fd, std::max<qint64>(size - leave, 0));
    ::close(fd);
}

// Room again.
bool freeDisk()
{
    if (!budgetFile.isEmpty()) {
        setBudget("unlimited");
        return true;
    }
    return QFile::remove(mountPoint + QStringLiteral("/filler"));
}

QJsonArray historyOnDisk()
{
    return QJsonDocument::fromJson(readFile(AppPaths::history())).array();
}

} // namespace

class FullDiskTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TestAppState> t;

    TestAppState &fixture()
    {
        t = std::make_unique<TestAppState>();
        t->storesAtDefaultLocations = true;
        t->engineLocator = [](SpeechEngine) { return std::optional<QString>(testProgram(QStringLiteral("fake-speech-engine"))); };
        t->fakes.windowSystem->applications = {editor};
        t->fakes.windowSystem->frontmost = editor;
        return *t;
    }

    static bool finished(const AppState &state)
    {
        const auto kind = state.status().kind();
        return kind == CaptureStatus::Kind::Success || kind == CaptureStatus::Kind::Error;
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (!smallDiskRefused.isEmpty())
            QSKIP(qPrintable(smallDiskRefused));
        qInfo("the full disk: %s", budgetFile.isEmpty() ? "a tmpfs" : "the preloaded shim");
        QVERIFY(QFileInfo(testProgram(QStringLiteral("fake-speech-engine"))).isExecutable());
        qputenv("FAKE_SPEECH_ENGINE_TRANSCRIPT", spokenText.toUtf8());
    }

    void init()
    {
        if (!budgetFile.isEmpty())
            setBudget("unlimited");
        // Each test starts on an empty disk.
        for (const QString &name : QDir(mountPoint).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)) {
            const QString path = mountPoint + QLatin1Char('/') + name;
            QFileInfo(path).isDir() ? (void)QDir(path).removeRecursively() : (void)QFile::remove(path);
        }
        qputenv("XDG_DATA_HOME", QFile::encodeName(mountPoint + QStringLiteral("/data")));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(mountPoint + QStringLiteral("/config")));
        QVERIFY(AppPaths::prepare().ok());
        const SpeechModel *model = SpeechModel::find(QStringLiteral("pocket"));
        QVERIFY(writeFile(AppPaths::models() + QLatin1Char('/') + model->fileName, "model"));
    }

    void cleanup()
    {
        t.reset();
    }

    void cleanupTestCase()
    {
        if (!budgetFile.isEmpty()) {
            QDir(mountPoint).removeRecursively();
            QFile::remove(budgetFile);
        } else if (!mountPoint.isEmpty()) {
            ::umount2(QFile::encodeName(mountPoint).constData(), MNT_DETACH);
            ::rmdir(QFile::encodeName(mountPoint).constData());
        }
    }

    void aRecordingThatCannotBeWrittenIsToldWithTheSystemsReason()
    {
        AppState &state = fixture().build();
        fillDisk(0);
        state.toggleRecording();
        t->fakes.audioInput->pushSamples(QVector<qint16>(1600, 1200));
        QTRY_VERIFY(state.status().kind() == CaptureStatus::Kind::Error);
        const QString message = QStringLiteral("Could not save the recording: No space left on device.");
        QCOMPARE(state.status().text(), message);
        QVERIFY(state.errorResolution());
        QCOMPARE(state.errorResolution()->message, message);
        QCOMPARE(QDir(AppPaths::temporaryRecordings()).entryList(QDir::Files), QStringList());
    }

    void aTranscriptIsPastedAndKeptWhenTheHistoryCannotBeSaved()
    {
        // A history large enough that its new copy cannot fit, while a short recording does.
        QJsonArray earlier;
        for (int i = 0; i < 300; ++i)
            earlier.append(HistoryItem::make(QDateTime::currentDateTimeUtc().addSecs(-60 - i), QString(1000, QLatin1Char('w')), 1,
                                             QStringLiteral("pocket")).toJson());
        QVERIFY(writeFile(AppPaths::history(), QJsonDocument(earlier).toJson()));
        AppState &state = fixture().build();
        QCOMPARE(state.historyStore().items().size(), 300);
        fillDisk(128 * 1024);

        state.toggleRecording();
        t->fakes.audioInput->pushSamples(QVector<qint16>(1600, 1200));
        state.toggleRecording();
        QTRY_VERIFY_WITH_TIMEOUT(finished(state), 20000);
        QCOMPARE(state.status().kind(), CaptureStatus::Kind::Success);
        QCOMPARE(t->fakes.clipboard->text(), std::optional(spokenText));
        QTRY_VERIFY(state.errorResolution().has_value());
        QCOMPARE(state.errorResolution()->message, QStringLiteral("Could not save the history: No space left on device."));
        // Kept in memory; the file on disk is the earlier one, whole.
        QCOMPARE(state.historyStore().items().size(), 301);
        QCOMPARE(state.historyStore().items().first().text, spokenText);
        QCOMPARE(historyOnDisk().size(), 300);

        // Space again: the next save writes what memory kept too.
        QVERIFY(freeDisk());
        state.toggleRecording();
        t->fakes.audioInput->pushSamples(QVector<qint16>(1600, 1200));
        state.toggleRecording();
        QTRY_VERIFY_WITH_TIMEOUT(state.historyStore().items().size() == 302, 20000);
        state.historyStore().waitForWrites();
        const QJsonArray saved = historyOnDisk();
        QCOMPARE(saved.size(), 302);
        QCOMPARE(saved.at(0).toObject().value(QStringLiteral("text")).toString(), spokenText);
        QCOMPARE(saved.at(1).toObject().value(QStringLiteral("text")).toString(), spokenText);
    }

    void settingsThatCannotBeSavedAreToldOnceAndKept()
    {
        JsonFileSettingsStore settings(JsonFileSettingsStore::defaultPath());
        QStringList notices;
        settings.setNotice([&notices](const QString &message) { notices.append(message); });
        settings.setValue(QStringLiteral("overlaySize"), QStringLiteral("Mini"));
        fillDisk(0);
        settings.setValue(QStringLiteral("overlaySize"), QStringLiteral("Large"));
        settings.setValue(QStringLiteral("soundsEnabled"), false);
        QCOMPARE(notices, QStringList{QStringLiteral("Could not save the settings: No space left on device.")});
        QCOMPARE(settings.stringValue(QStringLiteral("overlaySize")), std::optional(QStringLiteral("Large")));
        QCOMPARE(JsonFileSettingsStore(JsonFileSettingsStore::defaultPath()).stringValue(QStringLiteral("overlaySize")),
                 std::optional(QStringLiteral("Mini")));
        QVERIFY(freeDisk());
        settings.setValue(QStringLiteral("vocabulary"), QStringList{QStringLiteral("Sorvane")});
        const JsonFileSettingsStore reread(JsonFileSettingsStore::defaultPath());
        QCOMPARE(reread.stringValue(QStringLiteral("overlaySize")), std::optional(QStringLiteral("Large")));
        QCOMPARE(reread.boolValue(QStringLiteral("soundsEnabled")), std::optional(false));
        QCOMPARE(notices.size(), 1);
    }
};

int main(int argc, char *argv[])
{
    prepareSmallDisk(argv);
    QGuiApplication app(argc, argv);
    FullDiskTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_full_disk.moc"
