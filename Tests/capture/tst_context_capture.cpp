#include "Shared/AppPaths.h"
#include "FakeDesktop.h"
#include "Services/Command/AgentContextCaptureService.h"
#include "Services/Shared/PasteboardSnapshot.h"
#include "TestPaths.h"

#include <QCoroTask>
#include <QFileInfo>
#include <QImageReader>
#include <QTemporaryDir>
#include <QTest>

using namespace sorvane;
using namespace sorvane::testing;

namespace {

const QList<ClipboardItem> userClipboard = {ClipboardItem{{QStringLiteral("text/plain"), QByteArray("user text")},
                                                          {QStringLiteral("text/html"), QByteArray("<b>user</b>")}}};

} // namespace

class ContextCaptureTest : public QObject {
    Q_OBJECT
private:
    FakeDesktop desktop;
    std::unique_ptr<AgentContextCaptureService> service;
    std::unique_ptr<QTemporaryDir> home;

private Q_SLOTS:
    void init()
    {
        home = temporaryDataHome();
        desktop = FakeDesktop();
        service = std::make_unique<AgentContextCaptureService>(desktop.makePlatform());
        desktop.clipboard->writeByOtherProgram(userClipboard);
    }
    void cleanup() { service.reset(); }

    void targetSnapshot()
    {
        AgentTargetSnapshot snapshot = service->captureTarget();
        QCOMPARE(snapshot.application, std::optional(desktop.target));
        QCOMPARE(snapshot.applicationName, QStringLiteral("Fixture"));
        QCOMPARE(snapshot.focusedElement, desktop.accessibility->focused);
        QCOMPARE(snapshot.selectedRange, std::optional(TextRange{6, 5}));

        // A focused field in a window of another process names that process.
        desktop.accessibility->elementProcess = 200;
        snapshot = service->captureTarget();
        QCOMPARE(snapshot.application, std::optional(desktop.other));
        QCOMPARE(snapshot.applicationName, QStringLiteral("Other"));

        // A process with no window of its own: the application in front stays the target.
        desktop.accessibility->elementProcess = 300;
        QCOMPARE(service->captureTarget().application, std::optional(desktop.target));

        // An element without text: the element, and no range.
        desktop.accessibility->hasText = false;
        snapshot = service->captureTarget();
        QVERIFY(snapshot.focusedElement);
        QVERIFY(!snapshot.selectedRange);

        // Not trusted: the application in front only.
        desktop.accessibility->trusted = false;
        snapshot = service->captureTarget();
        QCOMPARE(snapshot.application, std::optional(desktop.target));
        QVERIFY(!snapshot.focusedElement);
        QVERIFY(!snapshot.selectedRange);

        // Nothing in front.
        desktop.windows->frontmost.reset();
        snapshot = service->captureTarget();
        QVERIFY(!snapshot.application);
        QCOMPARE(snapshot.applicationName, QString());
    }

    // How the selected text is found, and that the user's clipboard survives every way.
    void selectedTextAttachment_data()
    {
        QTest::addColumn<QString>("situation");
        QTest::addColumn<std::optional<QString>>("attached");
        QTest::addColumn<QList<KeyChord>>("keystrokes");

        const KeyChord copy{QStringLiteral("c"), true, false, false};
        const KeyChord terminalCopy{QStringLiteral("c"), true, true, false};
        using Text = std::optional<QString>;
        QTest::newRow("read by accessibility, untrimmed") << "spaced selection" << Text(" brave ") << QList<KeyChord>{};
        QTest::newRow("empty selection text: copy route") << "reported empty" << Text("brave") << QList<KeyChord>{copy};
        QTest::newRow("element without text: copy route") << "no text interface" << Text("brave") << QList<KeyChord>{copy};
        QTest::newRow("no focused element: copy route") << "no element" << Text("brave") << QList<KeyChord>{copy};
        QTest::newRow("terminal copies with shift") << "terminal" << Text("brave") << QList<KeyChord>{terminalCopy};
        QTest::newRow("whitespace only: no attachment") << "whitespace" << Text() << QList<KeyChord>{};
        QTest::newRow("copy gives an image only") << "image copy" << Text() << QList<KeyChord>{copy};
        QTest::newRow("copy ignored") << "copy ignored" << Text() << QList<KeyChord>{copy};
        QTest::newRow("keys still held") << "keys held" << Text() << QList<KeyChord>{copy};
        QTest::newRow("terminal without clipboard keys") << "xterm" << Text() << QList<KeyChord>{};
        QTest::newRow("not trusted") << "not trusted" << Text() << QList<KeyChord>{};
        QTest::newRow("target has quit") << "quit" << Text() << QList<KeyChord>{};
        QTest::newRow("target cannot be activated") << "no activation" << Text() << QList<KeyChord>{};
    }
    void selectedTextAttachment()
    {
        QFETCH(QString, situation);
        QFETCH(std::optional<QString>, attached);
        QFETCH(QList<KeyChord>, keystrokes);

        const auto copyRoute = [&] { desktop.accessibility->reportedSelectedText = QString(); };
        if (situation == "spaced selection") {
            desktop.field.value = QStringLiteral("Hello brave world");
            desktop.field.selection = {5, 7};
        } else if (situation == "reported empty") {
            copyRoute();
        } else if (situation == "no text interface") {
            desktop.accessibility->hasText = false;
        } else if (situation == "no element") {
            desktop.accessibility->focused.reset();
        } else if (situation == "terminal") {
            copyRoute();
            desktop.target.windowClass = QStringLiteral("kitty");
            desktop.windows->applications = {desktop.target};
            desktop.windows->frontmost = desktop.target;
        } else if (situation == "whitespace") {
            desktop.field.value = QStringLiteral("a \n\t b");
            desktop.field.selection = {1, 4};
        } else if (situation == "image copy") {
            copyRoute();
            desktop.copyProduces = QList<ClipboardItem>{ClipboardItem{{QStringLiteral("image/png"), QByteArray("PNG")}}};
        } else if (situation == "copy ignored") {
            copyRoute();
            desktop.targetAnswersCopy = false;
        } else if (situation == "keys held") {
            copyRoute();
            desktop.keystrokes->delivers = false;
        } else if (situation == "xterm") {
            copyRoute();
            desktop.target.windowClass = QStringLiteral("XTerm");
            desktop.windows->applications = {desktop.target};
            desktop.windows->frontmost = desktop.target;
        } else if (situation == "not trusted") {
            copyRoute();
            desktop.accessibility->trusted = false;
        } else if (situation == "quit") {
            copyRoute();
            desktop.windows->quitProcesses = {100};
        } else if (situation == "no activation") {
            copyRoute();
            desktop.windows->frontmost = desktop.other;
            desktop.windows->activationWorks = false;
        }

        const qint64 changesBefore = desktop.clipboard->changeCount();
        const auto context = awaitTask(service->capture(true, false));
        QVERIFY(context.ok());
        if (attached) {
            QCOMPARE(context.value().attachments.size(), 1);
            const AgentContextAttachment &attachment = context.value().attachments.first();
            QCOMPARE(attachment.kind, AgentAttachmentKind::SelectedText);
            QCOMPARE(attachment.displayName, QStringLiteral("Selected text"));
            QCOMPARE(attachment.text, attached);
            QVERIFY(!attachment.filePath);
            QVERIFY(!attachment.id.isNull());
            QVERIFY(attachment.createdAt.isValid());
        } else {
            QVERIFY(context.value().attachments.isEmpty());
        }
        QCOMPARE(desktop.keystrokes->sent, keystrokes);
        QCOMPARE(desktop.clipboard->items(), userClipboard);
        // Unless a copy was tried, the clipboard is not even touched.
        if (keystrokes.isEmpty())
            QCOMPARE(desktop.clipboard->changeCount(), changesBefore);
    }

    void copyRouteActivatesTheTargetFirst()
    {
        desktop.accessibility->focused.reset();
        desktop.windows->frontmost = desktop.other;
        AgentTargetSnapshot target;
        target.application = desktop.target;
        const auto copied = awaitTask(service->selectedText(target));
        QCOMPARE(desktop.windows->activationRequests, QList<RunningApplication>{desktop.target});
        QCOMPARE(copied, std::optional<QString>(QStringLiteral("brave")));
        QCOMPARE(desktop.clipboard->items(), userClipboard);
    }

    void screenshotAttachment()
    {
        desktop.windows->windows = {
            WindowInfo{0x200, 200, QRect(0, 0, 900, 700), true, false},
            WindowInfo{0x101, 100, QRect(0, 0, 1, 300), true, false},
            WindowInfo{0x100, 100, QRect(50, 60, 420, 120), true, false},
        };
        const auto context = awaitTask(service->capture(true, true));
        QVERIFY(context.ok());
        const auto &attachments = context.value().attachments;
        QCOMPARE(attachments.size(), 2);
        QCOMPARE(attachments.at(0).kind, AgentAttachmentKind::SelectedText);
        const AgentContextAttachment &shot = attachments.at(1);
        QCOMPARE(shot.kind, AgentAttachmentKind::Screenshot);
        QCOMPARE(shot.displayName, QStringLiteral("Fixture window"));
        QVERIFY(!shot.text);
        QCOMPARE(desktop.capture->grabbedWindow, quint64(0x100));

        const QFileInfo file(*shot.filePath);
        QCOMPARE(file.absolutePath(), AppPaths::agentAttachments() + QStringLiteral("/pending"));
        QVERIFY(QRegularExpression(QStringLiteral("^[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}\\.png$"))
                    .match(file.fileName())
                    .hasMatch());
        QImageReader reader(file.filePath());
        QCOMPARE(reader.format(), QByteArray("png"));
        QCOMPARE(reader.size(), QSize(420, 120));
    }

    void screenshotOfAWideWindowKeepsItsShape()
    {
        desktop.target.name.clear();
        desktop.windows->frontmost = desktop.target;
        desktop.windows->windows = {WindowInfo{0x100, 100, QRect(0, 0, 5000, 2500), true, false}};
        const auto context = awaitTask(service->capture(false, true));
        QVERIFY(context.ok());
        QCOMPARE(desktop.capture->requestedSize, QSize(4096, 2048));
        QCOMPARE(context.value().attachments.first().displayName, QStringLiteral("Application window"));
    }

    void screenshotFailures_data()
    {
        QTest::addColumn<QString>("situation");
        QTest::addColumn<AgentCaptureError>("error");

        QTest::newRow("no access") << "no access" << AgentCaptureError::screenRecordingDenied();
        QTest::newRow("no application") << "no application" << AgentCaptureError::noQualifyingWindow();
        QTest::newRow("only tiny or hidden windows") << "no window" << AgentCaptureError::noQualifyingWindow();
        QTest::newRow("image unreadable") << "grab fails" << AgentCaptureError::imageCaptureFailed();
    }
    void screenshotFailures()
    {
        QFETCH(QString, situation);
        QFETCH(AgentCaptureError, error);
        desktop.windows->windows = {WindowInfo{0x100, 100, QRect(0, 0, 300, 200), true, false}};
        if (situation == "no access") {
            desktop.capture->granted = false;
        } else if (situation == "no application") {
            desktop.windows->frontmost.reset();
            desktop.accessibility->focused.reset();
        } else if (situation == "no window") {
            desktop.windows->windows = {WindowInfo{0x100, 100, QRect(0, 0, 1, 200), true, false},
                                        WindowInfo{0x102, 100, QRect(0, 0, 300, 200), false, false}};
        } else if (situation == "grab fails") {
            desktop.capture->works = false;
        }
        const auto context = awaitTask(service->capture(true, true));
        QVERIFY(!context.ok());
        QCOMPARE(context.error(), error);
        QCOMPARE(desktop.capture->accessRequests, situation == "no access" ? 1 : 0);
        QVERIFY(!QFileInfo::exists(AppPaths::agentAttachments() + QStringLiteral("/pending"))
                || QDir(AppPaths::agentAttachments() + QStringLiteral("/pending")).isEmpty());
    }

    void screenshotFolderThatCannotBeMade()
    {
        desktop.windows->windows = {WindowInfo{0x100, 100, QRect(0, 0, 300, 200), true, false}};
        QVERIFY(writeFile(AppPaths::agentAttachments(), "in the way"));
        const auto context = awaitTask(service->capture(false, true));
        QVERIFY(!context.ok());
        QCOMPARE(context.error().kind(), AgentCaptureError::Kind::FolderCreationFailed);
    }

    void onlyTheDenialSpeaksOfPermission()
    {
        const QString denial = AgentCaptureError::screenRecordingDenied().message();
        QCOMPARE(denial, QStringLiteral("Screen Recording access is required for the screenshot shortcut."));
        QCOMPARE(AgentCaptureError::screenRecordingDenied().runtimeError(),
                 std::optional(AgentRuntimeError::screenRecordingDenied()));
        for (const AgentCaptureError &other :
             {AgentCaptureError::noQualifyingWindow(), AgentCaptureError::imageCaptureFailed(),
              AgentCaptureError::encodingFailed(), AgentCaptureError::folderCreationFailed(QStringLiteral("/x")),
              AgentCaptureError::writeFailed(QStringLiteral("disk full"))}) {
            QVERIFY(!other.message().isEmpty());
            QVERIFY(!other.runtimeError());
            QVERIFY2(!other.message().contains(QLatin1String("access")), qPrintable(other.message()));
        }
    }

    void paste_data()
    {
        QTest::addColumn<QString>("situation");
        QTest::addColumn<bool>("sent");
        QTest::addColumn<int>("activationRequests");
        QTest::addColumn<QList<KeyChord>>("keystrokes");

        const KeyChord paste{QStringLiteral("v"), true, false, false};
        QTest::newRow("already in front: no activation") << "front" << true << 0 << QList<KeyChord>{paste};
        QTest::newRow("behind: activated first") << "behind" << true << 1 << QList<KeyChord>{paste};
        QTest::newRow("terminal") << "terminal" << true << 0
                                  << QList<KeyChord>{KeyChord{QStringLiteral("v"), true, true, false}};
        QTest::newRow("not trusted") << "not trusted" << false << 0 << QList<KeyChord>{};
        QTest::newRow("target has quit") << "quit" << false << 0 << QList<KeyChord>{};
        QTest::newRow("no target") << "none" << false << 0 << QList<KeyChord>{};
        QTest::newRow("never comes to the front") << "stuck" << false << 1 << QList<KeyChord>{};
        QTest::newRow("keys still held") << "held" << false << 0 << QList<KeyChord>{paste};
    }
    void paste()
    {
        QFETCH(QString, situation);
        QFETCH(bool, sent);
        QFETCH(int, activationRequests);
        QFETCH(QList<KeyChord>, keystrokes);

        std::optional<RunningApplication> target = desktop.target;
        if (situation == "behind") {
            desktop.windows->frontmost = desktop.other;
        } else if (situation == "terminal") {
            target->windowInstance = QStringLiteral("gnome-terminal-server");
            desktop.windows->frontmost = target;
        } else if (situation == "not trusted") {
            desktop.accessibility->trusted = false;
        } else if (situation == "quit") {
            desktop.windows->quitProcesses = {100};
        } else if (situation == "none") {
            target.reset();
        } else if (situation == "stuck") {
            desktop.windows->frontmost = desktop.other;
            desktop.windows->activationWorks = false;
        } else if (situation == "held") {
            desktop.keystrokes->delivers = false;
        }
        bool hookRan = false;
        QCOMPARE(awaitTask(service->paste(target, [&] { hookRan = true; })), sent);
        QCOMPARE(desktop.windows->activationRequests.size(), activationRequests);
        QCOMPARE(desktop.keystrokes->sent, keystrokes);
        QCOMPARE(hookRan, !keystrokes.isEmpty());
    }

    void storedRangeCheckAndReselection()
    {
        AgentTargetSnapshot target = service->captureTarget();
        QVERIFY(service->exactText(QStringLiteral("brave"), target));
        QVERIFY(!service->exactText(QStringLiteral("grave"), target));
        QVERIFY(!service->exactText(QStringLiteral("brav"), target));

        desktop.field.value = QStringLiteral("Hello grave new world");
        QVERIFY(!service->exactText(QStringLiteral("brave"), target));

        desktop.field.selection = {0, 0};
        QVERIFY(service->selectStoredRange(target));
        QCOMPARE(desktop.field.selection, (TextRange{6, 5}));
        desktop.accessibility->selectionSettable = false;
        QVERIFY(!service->selectStoredRange(target));

        AgentTargetSnapshot withoutRange = target;
        withoutRange.selectedRange.reset();
        QVERIFY(!service->exactText(QStringLiteral("brave"), withoutRange));
        QVERIFY(!service->selectStoredRange(withoutRange));
        AgentTargetSnapshot withoutElement = target;
        withoutElement.focusedElement.reset();
        QVERIFY(!service->exactText(QStringLiteral("brave"), withoutElement));
        QVERIFY(!service->selectStoredRange(withoutElement));
        AgentTargetSnapshot negative = target;
        negative.selectedRange = TextRange{-1, 0};
        QVERIFY(!service->exactText(QString(), negative));
    }

    void clipboardSnapshotRoundTrip()
    {
        FakeClipboard &clipboard = *desktop.clipboard;
        const PasteboardSnapshot saved = PasteboardSnapshot::capture(clipboard);
        QCOMPARE(saved.items, userClipboard);
        clipboard.setText(QStringLiteral("other"));
        saved.restore(clipboard);
        QCOMPARE(clipboard.items(), userClipboard);

        // An empty clipboard comes back empty, but cleared: its change count moves.
        clipboard.clear();
        const PasteboardSnapshot empty = PasteboardSnapshot::capture(clipboard);
        QVERIFY(empty.items.isEmpty());
        clipboard.setText(QStringLiteral("x"));
        const qint64 before = clipboard.changeCount();
        empty.restore(clipboard);
        QVERIFY(clipboard.items().isEmpty());
        QVERIFY(clipboard.changeCount() > before);
    }
};

QTEST_GUILESS_MAIN(ContextCaptureTest)
#include "tst_context_capture.moc"
