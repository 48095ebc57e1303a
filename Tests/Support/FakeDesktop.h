#pragma once

// Fakes of the system services behind target capture, wired together. One text field in
// one application stands for "the target": the accessibility fake reads it, and the
// keystroke fake makes it copy and paste through the clipboard fake, the way a real
// application answers Ctrl+C and Ctrl+V.

#include "AwaitTask.h"
#include "FakePlatform.h"

#include <QTimer>

namespace sorvane::testing {

// The fakes wired together: the target application (process 100, window 0x100) with
// its field, and a second application (process 200) that is in front unless a test
// says otherwise.
struct FakeDesktop {
    FakeTextField field;
    FakeAccessibility *accessibility = nullptr;
    FakeWindowSystem *windows = nullptr;
    FakeKeystrokes *keystrokes = nullptr;
    FakeClipboard *clipboard = nullptr;
    FakeClipboard *primary = nullptr; // the PRIMARY selection
    FakeWindowCapture *capture = nullptr;
    RunningApplication target;
    RunningApplication other;

    // Copy and paste keystrokes are answered by the application in front.
    bool targetAnswersCopy = true;
    bool targetAnswersPaste = true;
    // What the target's copy puts on the clipboard; by default its selected text.
    std::optional<QList<ClipboardItem>> copyProduces;
    // The target reads the clipboard this long after the paste keystroke; 0 = at once.
    int pasteFetchDelayMs = 0;

    // Every fake of the platform; made anew by each makePlatform().
    std::unique_ptr<FakePlatform> fakes;

    CapturePlatform makePlatform()
    {
        fakes = std::make_unique<FakePlatform>();
        attach(*fakes);
        return fakes->platform->capture();
    }

    // Wires the desktop into fakes that another owner keeps (a TestAppState's, say).
    void attach(FakePlatform &platform)
    {
        accessibility = platform.accessibility;
        accessibility->useField(field);
        windows = platform.windowSystem;
        keystrokes = platform.keystrokes;
        clipboard = platform.clipboard;
        primary = platform.primarySelection;
        capture = platform.windowCapture;

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
            } else if ((chord.key == QLatin1String("v") || (chord.key == QLatin1String("Insert") && chord.shift))
                       && targetAnswersPaste) {
                // Shift+Insert inserts PRIMARY, as xterm does.
                FakeClipboard *source = chord.key == QLatin1String("v") ? clipboard : primary;
                const auto paste = [this, source] {
                    if (const auto text = source->fetchByOtherProgram())
                        field.replaceSelection(*text);
                };
                if (pasteFetchDelayMs == 0)
                    paste();
                else
                    QTimer::singleShot(pasteFetchDelayMs, clipboard, paste);
            }
        };
    }
};


inline ClipboardItem textItem(const QString &text)
{
    return ClipboardItem{{QStringLiteral("text/plain"), text.toUtf8()}};
}

} // namespace sorvane::testing
