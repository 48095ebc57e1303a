#include "Services/Command/AgentPasteCoordinator.h"

#include "Services/Shared/PasteboardSnapshot.h"
#include "Support/SignalWait.h"


namespace sorvane {

AgentPasteCoordinator::AgentPasteCoordinator(AgentContextCaptureService &contextCapture, SystemClipboard &clipboard,
                                             QObject *parent)
    : QObject(parent), m_contextCapture(contextCapture), m_clipboard(clipboard)
{
}

void AgentPasteCoordinator::copyToClipboard(const QString &text)
{
    SystemClipboard &clipboard = m_clipboard;
    clipboard.clear();
    clipboard.setText(text);
}

QCoro::Task<AgentDeliveryResult> AgentPasteCoordinator::deliver(QString answer, AgentSettings settings,
                                                                AgentTargetSnapshot target,
                                                                std::optional<QString> replacing)
{
    SystemClipboard &clipboard = m_clipboard;

    if (replacing) {
        // The earlier answer is overwritten only where it still stands unchanged. It is
        // selected again only when a paste follows; otherwise the user's own selection
        // would be moved for nothing.
        const bool replaceable = settings.safelyReplaceRefinements && m_contextCapture.exactText(*replacing, target)
                                 && (!settings.automaticPaste || m_contextCapture.selectStoredRange(target));
        if (!replaceable) {
            copyToClipboard(answer);
            co_return AgentDeliveryResult{false, false, true};
        }
    }

    if (!settings.copyResult && !settings.automaticPaste) {
        m_lastTarget = target;
        co_return AgentDeliveryResult{};
    }

    // Only a paste with copying off puts the user's clipboard back. Reading it in full
    // asks its owner for every format, so it is not done for nothing.
    std::optional<PasteboardSnapshot> saved;
    if (!settings.copyResult)
        saved = PasteboardSnapshot::capture(clipboard);
    copyToClipboard(answer);
    const qint64 answerOnClipboard = clipboard.changeCount();
    if (!settings.automaticPaste) {
        m_lastTarget = target;
        co_return AgentDeliveryResult{};
    }

    qint64 fetchesBeforeKeystroke = clipboard.fetchCount();
    const bool pasted = co_await m_contextCapture.paste(
        target.application, [&clipboard, &fetchesBeforeKeystroke] { fetchesBeforeKeystroke = clipboard.fetchCount(); });
    if (!pasted) {
        m_lastTarget = target;
        co_return AgentDeliveryResult{false, false, true};
    }

    if (saved) {
        // The target reads the answer from us when it handles the keystroke; putting the
        // old clipboard back before that would paste the old text.
        co_await waitUntilFetched(fetchesBeforeKeystroke);
        if (clipboard.changeCount() == answerOnClipboard)
            saved->restore(clipboard);
    }

    AgentTargetSnapshot delivered = target;
    if (delivered.selectedRange)
        delivered.selectedRange = TextRange{delivered.selectedRange->location, qint64(answer.size())};
    m_lastTarget = delivered;
    co_return AgentDeliveryResult{true, replacing.has_value(), false};
}

QCoro::Task<void> AgentPasteCoordinator::waitUntilFetched(qint64 fetchesBeforeKeystroke)
{
    SystemClipboard &clipboard = m_clipboard;
    (void)co_await waitUntil(&clipboard, &SystemClipboard::fetched, pasteFetchWait,
                             [&clipboard, fetchesBeforeKeystroke] { return clipboard.fetchCount() != fetchesBeforeKeystroke; });
}

} // namespace sorvane
