#include "Services/Command/AgentContextCaptureService.h"

#include "Shared/AppPaths.h"
#include "Support/SignalWait.h"
#include "Services/Command/AgentTextRangeVerifier.h"
#include "Services/Shared/PasteboardSnapshot.h"
#include "Support/StoredJson.h"

#include <QBuffer>
#include <QCoroTimer>
#include <QDir>
#include <QUuid>

namespace sorvane {

AgentContextCaptureService::Options AgentContextCaptureService::defaultOptions()
{
    Options options;
    options.pendingAttachmentsFolder = AppPaths::agentAttachments() + QStringLiteral("/pending");
    return options;
}

AgentContextCaptureService::AgentContextCaptureService(CapturePlatform platform, QObject *parent)
    : AgentContextCaptureService(platform, defaultOptions(), parent)
{
}

AgentContextCaptureService::AgentContextCaptureService(CapturePlatform platform, Options options, QObject *parent)
    : QObject(parent), m_platform(platform), m_options(std::move(options))
{
}

AgentContextCaptureService::~AgentContextCaptureService() = default;

AgentTargetSnapshot AgentContextCaptureService::captureTarget()
{
    AgentTargetSnapshot snapshot;
    const std::optional<RunningApplication> frontmost = m_platform.windowSystem.frontmostApplication();
    snapshot.application = frontmost;

    std::optional<AccessibleElement> element;
    if (m_platform.accessibility.isTrusted())
        element = m_platform.accessibility.focusedElement(frontmost ? frontmost->processId : 0);
    if (element) {
        snapshot.focusedElement = element;
        // A focused field in another process's window names that process.
        if (const auto pid = m_platform.accessibility.processId(*element)) {
            if (frontmost && frontmost->processId == *pid)
                snapshot.application = frontmost;
            else if (auto owner = m_platform.windowSystem.applicationForProcess(*pid))
                snapshot.application = owner;
        }
        snapshot.selectedRange = m_platform.accessibility.selectedRange(*element);
    }
    snapshot.applicationName = snapshot.application ? snapshot.application->name : QString();
    return snapshot;
}

QCoro::Task<Result<AgentInvocationContext, AgentCaptureError>>
AgentContextCaptureService::capture(bool includeSelectedText, bool includeScreenshot)
{
    AgentInvocationContext context;
    context.target = captureTarget();
    if (includeSelectedText) {
        const std::optional<QString> text = co_await selectedText(context.target);
        if (text && !text->trimmed().isEmpty()) {
            AgentContextAttachment attachment;
            attachment.id = QUuid::createUuid();
            attachment.kind = AgentAttachmentKind::SelectedText;
            attachment.displayName = QStringLiteral("Selected text");
            attachment.text = *text;
            attachment.createdAt = QDateTime::currentDateTimeUtc();
            context.attachments.append(attachment);
        }
    }
    if (includeScreenshot) {
        auto screenshot = co_await captureWindowScreenshot(context.target.application, context.target.applicationName);
        if (!screenshot)
            co_return screenshot.error();
        context.attachments.append(std::move(screenshot).value());
    }
    co_return context;
}

QCoro::Task<std::optional<QString>> AgentContextCaptureService::selectedText(AgentTargetSnapshot target)
{
    if (target.focusedElement) {
        const std::optional<QString> text = m_platform.accessibility.selectedText(*target.focusedElement);
        if (text && !text->isEmpty())
            co_return text;
    }
    if (!m_platform.accessibility.isTrusted())
        co_return std::nullopt;
    if (!co_await activate(target.application))
        co_return std::nullopt;
    co_return co_await copySelection(*target.application);
}

QCoro::Task<std::optional<QString>> AgentContextCaptureService::copySelection(RunningApplication application)
{
    // Without a copy keystroke the user's clipboard is left alone: putting it back
    // would keep only the formats we could read.
    const auto chord = standardShortcut(StandardShortcut::Copy, application.windowClass, application.windowInstance);
    if (!chord)
        co_return std::nullopt;

    SystemClipboard &clipboard = m_platform.clipboard;
    const PasteboardSnapshot saved = PasteboardSnapshot::capture(clipboard);
    clipboard.clear();
    const qint64 clearedCount = clipboard.changeCount();

    std::optional<QString> copied;
    if (co_await m_platform.keystrokes.send(*chord)) {
        // The copy lands when the clipboard changes to something with text; a change
        // to other data only (an image) is waited past.
        (void)co_await waitUntil(&clipboard, &SystemClipboard::changed, m_options.copyWait, [&clipboard, clearedCount, &copied] {
            if (clipboard.changeCount() == clearedCount)
                return false;
            copied = clipboard.text();
            return copied.has_value();
        });
    }
    saved.restore(clipboard);
    co_return copied;
}

QCoro::Task<bool> AgentContextCaptureService::activate(std::optional<RunningApplication> application)
{
    if (!application || !m_platform.windowSystem.isRunning(*application))
        co_return false;
    const auto isFront = [this, &application] {
        const auto frontmost = m_platform.windowSystem.frontmostApplication();
        return frontmost && frontmost->isSameApplication(*application);
    };
    if (!isFront())
        m_platform.windowSystem.requestActivation(*application);
    for (int check = 0; check < activationChecks; ++check) {
        if (isFront())
            co_return true;
        co_await QCoro::sleepFor(activationCheckInterval);
    }
    co_return false;
}

QCoro::Task<bool> AgentContextCaptureService::paste(std::optional<RunningApplication> application,
                                                    std::function<void()> beforeKeystroke)
{
    if (!m_platform.accessibility.isTrusted())
        co_return false;
    if (!co_await activate(application))
        co_return false;
    co_await QCoro::sleepFor(pasteSettle);
    const auto chord = standardShortcut(StandardShortcut::Paste, application->windowClass, application->windowInstance);
    if (!chord)
        co_return false;

    // xterm and its kin insert PRIMARY, not the clipboard: the clipboard's text goes on
    // PRIMARY too for this one keystroke, and PRIMARY is given back once it was read.
    SystemClipboard &primary = m_platform.primarySelection;
    std::optional<PasteboardSnapshot> earlierPrimary;
    qint64 ourPrimary = 0;
    qint64 primaryFetches = 0;
    if (pastesPrimarySelection(application->windowClass, application->windowInstance)) {
        const std::optional<QString> text = m_platform.clipboard.text();
        if (!text)
            co_return false;
        earlierPrimary = PasteboardSnapshot::capture(primary);
        primary.clear();
        primary.setText(*text);
        ourPrimary = primary.changeCount();
        primaryFetches = primary.fetchCount();
    }
    // Under the clipboard's rule: only while PRIMARY still holds our text.
    const auto givePrimaryBack = [&primary, &earlierPrimary, ourPrimary] {
        if (earlierPrimary && primary.changeCount() == ourPrimary)
            earlierPrimary->restore(primary);
    };

    if (beforeKeystroke)
        beforeKeystroke();
    if (!co_await m_platform.keystrokes.send(*chord)) {
        givePrimaryBack();
        co_return false;
    }
    if (earlierPrimary) {
        // The terminal reads PRIMARY from us when it handles the keystroke; giving it
        // back before that would insert the earlier selection.
        (void)co_await waitUntil(&primary, &SystemClipboard::fetched, primaryFetchWait,
                                 [&primary, primaryFetches] { return primary.fetchCount() != primaryFetches; });
        givePrimaryBack();
    }
    co_await QCoro::sleepFor(pasteLand);
    co_return true;
}

bool AgentContextCaptureService::exactText(const QString &text, const AgentTargetSnapshot &target)
{
    if (!target.focusedElement || !target.selectedRange)
        return false;
    const TextRange range = *target.selectedRange;
    if (range.location < 0 || range.length != text.size())
        return false;
    const std::optional<QString> value = m_platform.accessibility.value(*target.focusedElement);
    return value && AgentTextRangeVerifier::matches(text, *value, range);
}

bool AgentContextCaptureService::selectStoredRange(const AgentTargetSnapshot &target)
{
    if (!target.focusedElement || !target.selectedRange)
        return false;
    return m_platform.accessibility.setSelectedRange(*target.focusedElement, *target.selectedRange);
}

QCoro::Task<Result<AgentContextAttachment, AgentCaptureError>>
AgentContextCaptureService::captureWindowScreenshot(std::optional<RunningApplication> application,
                                                    QString applicationName)
{
    WindowCapture &capture = m_platform.windowCapture;
    if (!capture.isAccessGranted()) {
        capture.requestAccess();
        co_return AgentCaptureError::screenRecordingDenied();
    }
    if (!application)
        co_return AgentCaptureError::noQualifyingWindow();
    const auto window = chooseCaptureWindow(m_platform.windowSystem.windowsFrontToBack(), *application);
    if (!window)
        co_return AgentCaptureError::noQualifyingWindow();

    const std::optional<QImage> image = capture.grab(window->id, screenshotPixelSize(window->geometry.size()));
    if (!image || image->isNull())
        co_return AgentCaptureError::imageCaptureFailed();

    const QString folder = m_options.pendingAttachmentsFolder;
    if (!QDir().mkpath(folder))
        co_return AgentCaptureError::folderCreationFailed(folder);

    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!image->save(&buffer, "PNG") || png.isEmpty())
        co_return AgentCaptureError::encodingFailed();

    const QString path = folder + QLatin1Char('/') + storedjson::uuidText(QUuid::createUuid()) + QStringLiteral(".png");
    QString writeError;
    if (!storedjson::writeFileAtomically(path, png, &writeError))
        co_return AgentCaptureError::writeFailed(writeError);

    AgentContextAttachment attachment;
    attachment.id = QUuid::createUuid();
    attachment.kind = AgentAttachmentKind::Screenshot;
    attachment.displayName =
        applicationName.isEmpty() ? QStringLiteral("Application window") : applicationName + QStringLiteral(" window");
    attachment.filePath = path;
    attachment.createdAt = QDateTime::currentDateTimeUtc();
    co_return attachment;
}

} // namespace sorvane
