#pragma once

#include "Command/AgentConversation.h"
#include "Platform/CapturePlatform.h"
#include "Support/Result.h"
#include "Services/Command/AgentCaptureError.h"

#include <QCoroTask>
#include <QObject>
#include <chrono>
#include <functional>
#include <optional>

namespace sorvane {

// Where a Command's answer or a dictation goes: the application in front, the
// element with keyboard focus, and what was selected there.
struct AgentTargetSnapshot {
    std::optional<RunningApplication> application;
    QString applicationName; // empty without an application or a name
    std::optional<AccessibleElement> focusedElement;
    std::optional<TextRange> selectedRange; // UTF-16 units of the element's value

    friend bool operator==(const AgentTargetSnapshot &, const AgentTargetSnapshot &) = default;
};

// The target with the context captured for one Command: at most the selected text,
// then the window screenshot, in that order.
struct AgentInvocationContext {
    AgentTargetSnapshot target;
    QList<AgentContextAttachment> attachments;

    friend bool operator==(const AgentInvocationContext &, const AgentInvocationContext &) = default;
};

// Reaches into the application the user works in: records the target, reads the
// selected text (by accessibility, else by a synthetic copy with the clipboard put
// back), takes the window screenshot into the pending attachments folder, brings the
// target back to the front and pastes into it. It keeps no state of its own: every
// operation works from its arguments and the live system. Main thread only; it must
// outlive the operations it has started, and the platform's services must outlive it.
class AgentContextCaptureService : public QObject {
    Q_OBJECT
public:
    struct Options {
        // Where screenshots wait until their conversation exists.
        QString pendingAttachmentsFolder;
        // How long a synthetic copy has to reach the clipboard.
        std::chrono::milliseconds copyWait{600};
    };
    // <AppPaths::agentAttachments()>/pending, and 600 ms for a copy.
    static Options defaultOptions();

    // With the default options.
    explicit AgentContextCaptureService(CapturePlatform platform, QObject *parent = nullptr);
    AgentContextCaptureService(CapturePlatform platform, Options options, QObject *parent = nullptr);
    ~AgentContextCaptureService() override;

    AgentTargetSnapshot captureTarget();

    // The target and the asked-for attachments. Only the screenshot can fail.
    QCoro::Task<Result<AgentInvocationContext, AgentCaptureError>> capture(bool includeSelectedText,
                                                                          bool includeScreenshot);

    // The target's selected text: by accessibility when it reports a non-empty one,
    // else by a synthetic copy. Absent when nothing could be read.
    QCoro::Task<std::optional<QString>> selectedText(AgentTargetSnapshot target);

    // Activates the application and sends the paste keystroke; true when it was sent.
    // `beforeKeystroke` runs just before the keystroke goes out. Into a window that
    // pastes PRIMARY, the clipboard's text is put on PRIMARY for the keystroke and the
    // earlier PRIMARY is put back once the window has read it (or after
    // primaryFetchWait), unless someone else took PRIMARY meanwhile.
    QCoro::Task<bool> paste(std::optional<RunningApplication> application, std::function<void()> beforeKeystroke = {});

    // Whether `text` still stands in the target element at its stored range.
    bool exactText(const QString &text, const AgentTargetSnapshot &target);
    // Selects the stored range in the target element again.
    bool selectStoredRange(const AgentTargetSnapshot &target);

    // Where window screenshots wait until their instruction is stored.
    const QString &pendingAttachmentsFolder() const { return m_options.pendingAttachmentsFolder; }

    // Activation checks the front application this often, this many times.
    static constexpr int activationChecks = 20;
    static constexpr std::chrono::milliseconds activationCheckInterval{25};
    // Around the paste keystroke: after activation, and after the keystroke.
    static constexpr std::chrono::milliseconds pasteSettle{75};
    static constexpr std::chrono::milliseconds pasteLand{150};
    static constexpr std::chrono::milliseconds primaryFetchWait{2000};

    // A screenshot of the application's front window into the pending attachments folder.
    QCoro::Task<Result<AgentContextAttachment, AgentCaptureError>>
    captureWindowScreenshot(std::optional<RunningApplication> application, QString applicationName);

private:
    QCoro::Task<bool> activate(std::optional<RunningApplication> application);
    QCoro::Task<std::optional<QString>> copySelection(RunningApplication application);

    CapturePlatform m_platform;
    Options m_options;
};

} // namespace sorvane
