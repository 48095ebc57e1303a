#pragma once

#include "Command/AgentSettings.h"
#include "Services/Command/AgentContextCaptureService.h"

#include <QCoroTask>
#include <QObject>
#include <chrono>
#include <optional>

namespace sorvane {

// What a delivery of an answer did.
struct AgentDeliveryResult {
    bool pasted = false;
    bool replacedPrevious = false; // only with pasted, for a refinement
    bool needsPaste = false;       // a paste was wanted but the answer was left on the clipboard

    friend bool operator==(const AgentDeliveryResult &, const AgentDeliveryResult &) = default;
};

// Delivers a finished Command answer: onto the clipboard and into the target as the
// Command settings say, and remembers where it went so a refinement of the same
// conversation can replace the earlier answer in place. Main thread only.
class AgentPasteCoordinator : public QObject {
    Q_OBJECT
public:
    // `clipboard` is the platform's one clipboard; both must outlive the coordinator.
    AgentPasteCoordinator(AgentContextCaptureService &contextCapture, SystemClipboard &clipboard,
                          QObject *parent = nullptr);

    // Where the last delivery went. After a paste into a selection it covers exactly
    // the pasted answer, so that a refinement can check and replace it.
    const std::optional<AgentTargetSnapshot> &lastTarget() const { return m_lastTarget; }

    // `replacing`: the conversation's last pasted text when the answer refines it.
    QCoro::Task<AgentDeliveryResult> deliver(QString answer, AgentSettings settings, AgentTargetSnapshot target,
                                             std::optional<QString> replacing);

    // Clears the clipboard and puts the text on it as plain text.
    void copyToClipboard(const QString &text);

    // With copying off, the user's clipboard comes back once the target has fetched the
    // pasted answer, or after this long when it never asks.
    static constexpr std::chrono::milliseconds pasteFetchWait{2000};

private:
    QCoro::Task<void> waitUntilFetched(qint64 fetchesBeforeKeystroke);

    AgentContextCaptureService &m_contextCapture;
    SystemClipboard &m_clipboard;
    std::optional<AgentTargetSnapshot> m_lastTarget;
};

} // namespace sorvane
