#pragma once

// Fakes of the system services behind target capture, for tests. One text field in
// one application stands for "the target": the accessibility fake reads it, and the
// keystroke fake makes it copy and paste through the clipboard fake, the way a real
// application answers Ctrl+C and Ctrl+V.

#include "AwaitTask.h"
#include "Platform/CapturePlatform.h"

#include <QCoroTask>
#include <QEventLoop>
#include <QTimer>
#include <functional>

namespace sorvane::testing {

// The target's text field.
struct FakeTextField {
    QString value;
    TextRange selection;

    QString selectedText() const { return value.mid(selection.location, selection.length); }
    void replaceSelection(const QString &text)
    {
        value.replace(selection.location, selection.length, text);
        selection = TextRange{selection.location + text.size(), 0};
    }
};

class FakeClipboard final : public SystemClipboard {
public:
    qint64 changeCount() const override { return m_changeCount; }
    QList<ClipboardItem> items() override { return m_items; }
    std::optional<QString> text() override
    {
        if (m_items.isEmpty() || !m_items.first().contains(QStringLiteral("text/plain")))
            return std::nullopt;
        return QString::fromUtf8(m_items.first().value(QStringLiteral("text/plain")));
    }
    void clear() override
    {
        m_items.clear();
        m_ours = false;
        changedNow();
    }
    void write(const QList<ClipboardItem> &items) override
    {
        m_items = items.mid(0, 1);
        m_ours = true;
        changedNow();
    }
    void setText(const QString &text) override
    {
        m_items = {ClipboardItem{{QStringLiteral("text/plain"), text.toUtf8()}}};
        m_ours = true;
        changedNow();
        if (managerReadsEveryWrite)
            QTimer::singleShot(10, this, [this] { fetchByOtherProgram(); });
    }
    qint64 fetchCount() const override { return m_fetchCount; }

    // Another program puts data on the clipboard.
    void writeByOtherProgram(const QList<ClipboardItem> &items)
    {
        m_items = items;
        m_ours = false;
        changedNow();
    }
    // Another program reads the plain text (counted as a fetch while it is ours).
    std::optional<QString> fetchByOtherProgram()
    {
        const auto value = text();
        if (m_ours) {
            ++m_fetchCount;
            QTimer::singleShot(0, this, [this] { Q_EMIT fetched(); });
        }
        return value;
    }

    // A clipboard manager that reads whatever we put on the clipboard as soon as it
    // hears of the change.
    bool managerReadsEveryWrite = false;

private:
    void changedNow()
    {
        ++m_changeCount;
        Q_EMIT changed();
    }
    QList<ClipboardItem> m_items;
    qint64 m_changeCount = 0;
    qint64 m_fetchCount = 0;
    bool m_ours = false;
};

class FakeAccessibility final : public Accessibility {
public:
    explicit FakeAccessibility(FakeTextField &field) : m_field(field) {}

    bool isTrusted() override { return trusted; }
    bool requestTrust() override { return trusted = grantsTrust; }
    std::optional<AccessibleElement> focusedElement(qint64) override { return focused; }
    std::optional<qint64> processId(const AccessibleElement &) override { return elementProcess; }
    std::optional<TextRange> selectedRange(const AccessibleElement &) override
    {
        if (!hasText)
            return std::nullopt;
        return m_field.selection;
    }
    std::optional<QString> selectedText(const AccessibleElement &) override
    {
        if (reportedSelectedText)
            return reportedSelectedText;
        if (!hasText)
            return std::nullopt;
        return m_field.selectedText();
    }
    std::optional<QString> value(const AccessibleElement &) override
    {
        if (!hasText)
            return std::nullopt;
        return m_field.value;
    }
    bool setSelectedRange(const AccessibleElement &, TextRange range) override
    {
        selectionRequests.append(range);
        if (!selectionSettable)
            return false;
        m_field.selection = range;
        return true;
    }

    bool trusted = true;
    bool grantsTrust = true;
    std::optional<AccessibleElement> focused = AccessibleElement{QStringLiteral(":1.5"), QStringLiteral("/field")};
    std::optional<qint64> elementProcess = 100;
    bool hasText = true;
    // What the element says is selected, when it says something else than the field
    // (some applications report the empty text for a selection they have).
    std::optional<QString> reportedSelectedText;
    bool selectionSettable = true;
    QList<TextRange> selectionRequests;

private:
    FakeTextField &m_field;
};

class FakeWindowSystem final : public WindowSystem {
public:
    std::optional<RunningApplication> frontmostApplication() override { return frontmost; }
    std::optional<RunningApplication> applicationForProcess(qint64 processId) override
    {
        for (const RunningApplication &application : applications)
            if (application.processId == processId)
                return application;
        return std::nullopt;
    }
    bool isRunning(const RunningApplication &application) override
    {
        return !quitProcesses.contains(application.processId);
    }
    void requestActivation(const RunningApplication &application) override
    {
        activationRequests.append(application);
        if (activationWorks)
            frontmost = application;
    }
    QList<WindowInfo> windowsFrontToBack() override { return windows; }

    QList<RunningApplication> applications;
    std::optional<RunningApplication> frontmost;
    QList<qint64> quitProcesses;
    bool activationWorks = true;
    QList<RunningApplication> activationRequests;
    QList<WindowInfo> windows;
};

class FakeKeystrokes final : public KeystrokeSender {
public:
    bool isAvailable() override { return true; }
    QCoro::Task<bool> send(KeyChord chord) override
    {
        sent.append(chord);
        if (!delivers)
            co_return false;
        if (onSend)
            onSend(chord);
        co_return true;
    }

    bool delivers = true;
    std::function<void(const KeyChord &)> onSend;
    QList<KeyChord> sent;
};

class FakeWindowCapture final : public WindowCapture {
public:
    bool isAccessGranted() override { return granted; }
    bool requestAccess() override
    {
        ++accessRequests;
        return granted;
    }
    std::optional<QImage> grab(quint64 window, QSize size) override
    {
        grabbedWindow = window;
        requestedSize = size;
        if (!works)
            return std::nullopt;
        QImage image(size, QImage::Format_RGB32);
        image.fill(Qt::darkCyan);
        return image;
    }

    bool granted = true;
    bool works = true;
    int accessRequests = 0;
    quint64 grabbedWindow = 0;
    QSize requestedSize;
};

// The fakes wired together: the target application (process 100, window 0x100) with
// its field, and a second application (process 200) that is in front unless a test
// says otherwise.
struct FakeDesktop {
    FakeTextField field;
    FakeAccessibility *accessibility;
    FakeWindowSystem *windows;
    FakeKeystrokes *keystrokes;
    FakeClipboard *clipboard;
    FakeWindowCapture *capture;
    RunningApplication target;
    RunningApplication other;

    // Copy and paste keystrokes are answered by the application in front.
    bool targetAnswersCopy = true;
    bool targetAnswersPaste = true;
    // What the target's copy puts on the clipboard; by default its selected text.
    std::optional<QList<ClipboardItem>> copyProduces;
    // The target reads the clipboard this long after the paste keystroke; 0 = at once.
    int pasteFetchDelayMs = 0;

    CapturePlatform makePlatform()
    {
        CapturePlatform platform;
        auto a = std::make_unique<FakeAccessibility>(field);
        auto w = std::make_unique<FakeWindowSystem>();
        auto k = std::make_unique<FakeKeystrokes>();
        auto c = std::make_unique<FakeClipboard>();
        auto s = std::make_unique<FakeWindowCapture>();
        accessibility = a.get();
        windows = w.get();
        keystrokes = k.get();
        clipboard = c.get();
        capture = s.get();

        target.processId = 100;
        target.name = QStringLiteral("Fixture");
        target.window = 0x100;
        target.windowClass = QStringLiteral("Fixture");
        target.windowInstance = QStringLiteral("fixture");
        other.processId = 200;
        other.name = QStringLiteral("Other");
        other.window = 0x200;
        other.windowClass = QStringLiteral("Other");
        windows->applications = {target, other};
        windows->frontmost = target;
        field.value = QStringLiteral("Hello brave new world");
        field.selection = TextRange{6, 5};

        keystrokes->onSend = [this](const KeyChord &chord) {
            const bool targetInFront = windows->frontmost && windows->frontmost->processId == target.processId;
            if (!targetInFront)
                return;
            if (chord.key == QLatin1String("c") && targetAnswersCopy) {
                clipboard->writeByOtherProgram(copyProduces.value_or(QList<ClipboardItem>{
                    ClipboardItem{{QStringLiteral("text/plain"), field.selectedText().toUtf8()}}}));
            } else if (chord.key == QLatin1String("v") && targetAnswersPaste) {
                const auto paste = [this] {
                    if (const auto text = clipboard->fetchByOtherProgram())
                        field.replaceSelection(*text);
                };
                if (pasteFetchDelayMs == 0)
                    paste();
                else
                    QTimer::singleShot(pasteFetchDelayMs, clipboard, paste);
            }
        };

        platform.accessibility = std::move(a);
        platform.windowSystem = std::move(w);
        platform.keystrokes = std::move(k);
        platform.clipboard = std::move(c);
        platform.windowCapture = std::move(s);
        return platform;
    }
};


inline ClipboardItem textItem(const QString &text)
{
    return ClipboardItem{{QStringLiteral("text/plain"), text.toUtf8()}};
}

} // namespace sorvane::testing
