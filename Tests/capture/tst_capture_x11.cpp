// Capture and paste against a real Qt window on the test session's X display, with a
// window manager and the accessibility bus (scripts/test.sh starts them).
#include "AwaitTask.h"
#include "Shared/AppPaths.h"
#include "Platform/DesktopPlatform.h"
#include "Services/Command/AgentContextCaptureService.h"
#include "Services/Command/AgentPasteCoordinator.h"
#include "Services/Shared/PasteboardSnapshot.h"
#include "TestPaths.h"

#include <QCoroTask>
#include <QEventLoop>
#include <QFileInfo>
#include <QImageReader>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

// Last: Xlib defines names that clash with Qt's.
#include <X11/Xlib.h>

using namespace sorvane;
using namespace sorvane::testing;

namespace {


// "a😀b brave world" with "brave" selected: the selection starts after a character
// that takes two UTF-16 units.
const QString fixtureText = QStringLiteral("a\U0001F600b brave world");
constexpr int selectionStart = 5;
constexpr int selectionLength = 5;

// One fixture window in its own process.
class Fixture {
public:
    bool start()
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        environment.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
        process.setProcessEnvironment(environment);
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QObject::connect(&process, &QProcess::readyReadStandardOutput, [this] {
            while (process.canReadLine())
                lines.append(QString::fromUtf8(process.readLine()).trimmed());
        });
        process.start(testProgram(QStringLiteral("capture-fixture")),
                      {fixtureText, QString::number(selectionStart), QString::number(selectionLength)});
        if (!process.waitForStarted(5000))
            return false;
        return waitFor(QStringLiteral("ready "), [this](const QString &line) {
            const QStringList parts = line.split(QLatin1Char(' '));
            window = parts.value(1).toULongLong();
            size = QSize(parts.value(2).toInt(), parts.value(3).toInt());
        });
    }

    ~Fixture()
    {
        process.kill();
        process.waitForFinished(3000);
    }

    bool waitFor(const QString &prefix, const std::function<void(const QString &)> &take = {})
    {
        QDeadlineTimer deadline(10000);
        while (!deadline.hasExpired()) {
            for (qsizetype i = 0; i < lines.size(); ++i) {
                if (lines.at(i).startsWith(prefix)) {
                    const QString line = lines.takeAt(i);
                    if (take)
                        take(line);
                    return true;
                }
            }
            QTest::qWait(20);
        }
        return false;
    }

    // The field's text, once it has changed to `expected`.
    bool waitForText(const QString &expected)
    {
        QDeadlineTimer deadline(10000);
        while (!deadline.hasExpired()) {
            if (waitForTextQuickly(expected))
                return true;
            QTest::qWait(20);
        }
        return false;
    }

    // Whether the field has already reported `text`, without waiting.
    bool waitForTextQuickly(const QString &expected)
    {
        QString last;
        while (waitForQuick(QStringLiteral("text "), last)) {
            const QJsonArray array = QJsonDocument::fromJson("[" + last.mid(5).toUtf8() + "]").array();
            lastText = array.at(0).toString();
            if (lastText == expected)
                return true;
        }
        return false;
    }

    qint64 pid() const { return process.processId(); }

    QProcess process;
    QStringList lines;
    quint64 window = 0;
    QSize size;
    QString lastText;

private:
    bool waitForQuick(const QString &prefix, QString &line)
    {
        for (qsizetype i = 0; i < lines.size(); ++i)
            if (lines.at(i).startsWith(prefix)) {
                line = lines.takeAt(i);
                return true;
            }
        return false;
    }
};

// What another program reads from the clipboard (xclip), while our event loop serves it.
QString clipboardSeenByXclip(const QString &format = {})
{
    QProcess xclip;
    QSignalSpy finished(&xclip, &QProcess::finished);
    QStringList arguments{QStringLiteral("-o"), QStringLiteral("-selection"), QStringLiteral("clipboard")};
    if (!format.isEmpty())
        arguments << QStringLiteral("-t") << format;
    xclip.start(QStringLiteral("xclip"), arguments);
    if (!xclip.waitForStarted(5000) || !finished.wait(10000))
        return QStringLiteral("<xclip failed>");
    return QString::fromUtf8(xclip.readAllStandardOutput());
}

} // namespace

class CaptureX11Test : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<DesktopPlatform> platform;
    std::unique_ptr<AgentContextCaptureService> service;
    std::unique_ptr<QTemporaryDir> home;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(QFileInfo::exists(testProgram(QStringLiteral("capture-fixture"))), "the fixture program is not built");
        // The fixture's desktop file in the data home gives its name for people.
        home = temporaryDataHome();
        QVERIFY(writeFile(home->filePath(QStringLiteral("applications/test-capture-fixture.desktop")),
                          "[Desktop Entry]\nType=Application\nName=Capture Fixture\nExec=capture-fixture\n"
                          "StartupWMClass=capture-fixture\n"));
        platform = DesktopPlatform::forDesktop();
        // The fixture on a busy machine may take longer than the usual wait to answer a copy.
        auto options = AgentContextCaptureService::defaultOptions();
        options.copyWait = std::chrono::seconds(10);
        service = std::make_unique<AgentContextCaptureService>(platform->capture(), options);
        // What the "Allow" action does: switch the accessibility bus on, then check.
        QVERIFY2(platform->accessibility().requestTrust(),
                 "accessibility is not available: is the AT-SPI bus running and XTest present?");
        QVERIFY(platform->windowCapture().isAccessGranted());
    }
    void cleanupTestCase()
    {
        service.reset();
        platform.reset();
    }
    // A failed check must not leave keys held on the shared display.
    void cleanup()
    {
        QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("keyup"), QStringLiteral("F8"), QStringLiteral("Alt_L")});
    }

    void targetAndSelectionByAccessibility()
    {
        Fixture fixture;
        QVERIFY2(fixture.start(), "the fixture window did not become active");

        AgentTargetSnapshot target;
        QTRY_VERIFY_WITH_TIMEOUT((target = service->captureTarget()).focusedElement.has_value(), 10000);
        QVERIFY(target.application);
        QCOMPARE(target.application->processId, fixture.pid());
        QCOMPARE(target.application->window, fixture.window);
        QCOMPARE(target.applicationName, QStringLiteral("Capture Fixture"));
        QCOMPARE(target.selectedRange, std::optional(TextRange{selectionStart, selectionLength}));
        QVERIFY(service->exactText(QStringLiteral("brave"), target));

        const auto text = awaitTask(service->selectedText(target));
        QCOMPARE(text, std::optional<QString>(QStringLiteral("brave")));
    }

    void selectionByCopyPutsTheClipboardBack()
    {
        Fixture fixture;
        QVERIFY2(fixture.start(), "the fixture window did not become active");
        platform->clipboard().setText(QStringLiteral("before the copy"));

        AgentTargetSnapshot target = service->captureTarget();
        target.focusedElement.reset(); // as for an application that shows nothing to accessibility
        const qint64 changes = platform->clipboard().changeCount();
        const auto text = awaitTask(service->selectedText(target));
        QCOMPARE(text, std::optional<QString>(QStringLiteral("brave")));
        // Cleared, filled by the fixture, and put back: at least three changes.
        QVERIFY(platform->clipboard().changeCount() >= changes + 3);
        QCOMPARE(clipboardSeenByXclip(), QStringLiteral("before the copy"));
    }

    // Another program's clipboard, in a format other than text, is copied and put back whole.
    void foreignClipboardComesBackWhole()
    {
        const qint64 changes = platform->clipboard().changeCount();
        QCOMPARE(QProcess::execute(QStringLiteral("sh"),
                                   {QStringLiteral("-c"),
                                    QStringLiteral("printf '<i>rich</i>' | xclip -selection clipboard -t text/html -i")}),
                 0);
        QTRY_VERIFY_WITH_TIMEOUT(platform->clipboard().changeCount() > changes, 10000);
        const PasteboardSnapshot saved = PasteboardSnapshot::capture(platform->clipboard());
        QCOMPARE(saved.items.size(), 1);
        QCOMPARE(saved.items.first().value(QStringLiteral("text/html")), QByteArray("<i>rich</i>"));

        platform->clipboard().setText(QStringLiteral("something else"));
        saved.restore(platform->clipboard());
        QCOMPARE(clipboardSeenByXclip(QStringLiteral("text/html")), QStringLiteral("<i>rich</i>"));
    }

    void pasteIntoABackgroundWindowAndReplaceTheAnswer()
    {
        Fixture fixture;
        QVERIFY2(fixture.start(), "the fixture window did not become active");
        AgentTargetSnapshot target;
        QTRY_VERIFY_WITH_TIMEOUT((target = service->captureTarget()).selectedRange.has_value(), 10000);

        // Another window comes in front before the answer is ready.
        Fixture other;
        QVERIFY2(other.start(), "the second fixture window did not become active");
        QTRY_COMPARE_WITH_TIMEOUT(service->captureTarget().application->processId, other.pid(), 10000);

        platform->clipboard().setText(QStringLiteral("the user's clipboard"));
        const qint64 fetches = platform->clipboard().fetchCount();
        AgentPasteCoordinator coordinator(*service, platform->clipboard());
        AgentSettings settings;
        settings.copyResult = false;
        const QString answer = QStringLiteral("bold");
        QCOMPARE(awaitTask(coordinator.deliver(answer, settings, target, {})), (AgentDeliveryResult{true, false, false}));
        QVERIFY2(fixture.waitForText(QStringLiteral("a\U0001F600b bold world")), qPrintable(fixture.lastText));
        QVERIFY(platform->clipboard().fetchCount() > fetches); // the fixture asked us for the answer
        QCOMPARE(clipboardSeenByXclip(), QStringLiteral("the user's clipboard"));
        QCOMPARE(coordinator.lastTarget()->selectedRange, std::optional(TextRange{selectionStart, 4}));

        // A refinement finds the answer where it was pasted and replaces it.
        const auto refined = awaitTask(
            coordinator.deliver(QStringLiteral("brilliant"), settings, *coordinator.lastTarget(), answer));
        QCOMPARE(refined, (AgentDeliveryResult{true, true, false}));
        QVERIFY2(fixture.waitForText(QStringLiteral("a\U0001F600b brilliant world")), qPrintable(fixture.lastText));
        QCOMPARE(clipboardSeenByXclip(), QStringLiteral("the user's clipboard"));
    }

    // A shortcut the user still holds keeps the keyboard grabbed: the paste waits for
    // its key to come up, and lets go of the modifiers still held (Alt+Ctrl+V is no paste).
    void pasteWaitsForTheHeldShortcut()
    {
        Fixture fixture;
        QVERIFY2(fixture.start(), "the fixture window did not become active");
        const AgentTargetSnapshot target = service->captureTarget();
        platform->clipboard().setText(QStringLiteral("held"));

        QVERIFY(QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("keydown"), QStringLiteral("Alt_L"), QStringLiteral("F8")}) == 0);
        // Let go while the paste waits. Run to its end before the loop goes on, so the
        // wait sees the key up however long a busy machine takes to start xdotool.
        QTimer::singleShot(300, [] { QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("keyup"), QStringLiteral("F8")}); });
        QVERIFY(awaitTask(service->paste(target.application)));
        QVERIFY2(fixture.waitForText(QStringLiteral("a\U0001F600b held world")), qPrintable(fixture.lastText));

        // Never let go: nothing is sent.
        QVERIFY(QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("keydown"), QStringLiteral("F8")}) == 0);
        const bool sent = awaitTask(service->paste(target.application));
        QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("keyup"), QStringLiteral("F8"), QStringLiteral("Alt_L")});
        QVERIFY(!sent);
        QTest::qWait(200);
        QVERIFY(!fixture.waitForTextQuickly(QStringLiteral("a\U0001F600b heldheld world")));
    }

    void screenshotHasTheWindowsSize()
    {
        Fixture fixture;
        QVERIFY2(fixture.start(), "the fixture window did not become active");
        const auto context = awaitTask(service->capture(false, true));
        QVERIFY2(context.ok(), context.ok() ? "" : qPrintable(context.error().message()));
        QCOMPARE(context.value().attachments.size(), 1);
        const AgentContextAttachment &shot = context.value().attachments.first();
        QCOMPARE(shot.displayName, QStringLiteral("Capture Fixture window"));
        QImageReader reader(*shot.filePath);
        QCOMPARE(reader.format(), QByteArray("png"));
        QCOMPARE(reader.size(), fixture.size);
        QVERIFY(reader.read().pixelColor(10, 10).isValid());
    }
};

// Checked before the application object exists: without a display, Qt's X11 platform
// would end the program instead of letting it report the test as skipped.
int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") || qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        exitSkipped(QStringLiteral("needs an X display and a session bus (run through scripts/test.sh)"));
    if (Display *display = XOpenDisplay(nullptr))
        XCloseDisplay(display);
    else
        exitSkipped(QStringLiteral("the X display cannot be reached"));
    QGuiApplication app(argc, argv);
    CaptureX11Test test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_capture_x11.moc"
