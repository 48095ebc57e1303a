#pragma once

#include "Command/AgentConversation.h"
#include "Command/AgentModelDescriptor.h"
#include "Command/AgentPhase.h"
#include "Command/AgentRuntimeProtocol.h"
#include "Command/AgentSettings.h"
#include "Command/AgentWritingProvider.h"
#include "Shared/ErrorResolution.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QUuid>
#include <optional>

namespace sorvane {

class AgentCaptureError;

// The decisions of the Command flow that need no live state: what refuses a start,
// what the overlay says, how a request is built and how progress follows the phases.
// The application state feeds them its current values; the tests drive them by tables.
namespace AgentCommandRules {

// A Command that cannot start or run, with where the user can fix it.
struct Refusal {
    QString message;
    ErrorResolutionDestination destination;

    friend bool operator==(const Refusal &, const Refusal &) = default;
};

// What the checks before recording an instruction look at.
struct StartConditions {
    bool microphoneGranted = false;
    bool accessibilityGranted = false;
    AgentSettings settings;
    std::optional<AgentModelDescriptor> model; // the selected writing model
    bool includeScreenshot = false;
    bool cloudKeyConfigured = false; // for the model's cloud provider
    bool modelAvailable = false;     // every file of a local model is there
    bool speechModelAvailable = false;
};

// The first check that fails, in the order the user can best act on; nothing when
// the Command may start.
std::optional<Refusal> startRefusal(const StartConditions &conditions);

// Why Accessibility is needed for these settings.
QString accessibilityRequirementMessage(bool includeSelectedText, bool automaticPaste);

// The writing provider whose API key a model needs; nothing for local models.
std::optional<AgentWritingProvider> cloudProvider(AgentModelProvider provider);
// "Add your Gemini API key before using this model."
QString missingKeyMessage(AgentWritingProvider provider);

// The line under the phase while the instruction is spoken.
QString listeningDetail(const AgentSettings &settings, const std::optional<QUuid> &profileID, bool includeScreenshot);
// The line under the phase while the model loads or the cloud is reached.
QString loadingDetail(const AgentModelDescriptor &model);

// Where a failed capture sends the user: only a refused screen capture is a
// permission matter.
ErrorResolutionDestination captureFailureDestination(const AgentCaptureError &error);

// Where helper programs and files of a run are.
struct RunLocations {
    QString modelFolder; // where a local model's files lie
    std::optional<QString> llamaServer;
    std::optional<QString> appleBridge;
    QString sessions;
};

// One instruction of a conversation, as it goes to the runtime.
struct RunInput {
    QUuid requestID;
    QUuid conversationID;
    bool isContinuation = false;
    QString instruction;
    QList<AgentContextAttachment> attachments; // already in the conversation's folder
    std::optional<QUuid> profileID;
    std::optional<QString> cloudKey; // used for cloud models only
};

AgentRuntimeRequest runRequest(const RunInput &input, const AgentModelDescriptor &model,
                               const AgentSettings &settings, const RunLocations &locations);

// The progress once a phase event arrives.
double progressAfterPhase(double progress, AgentPhase phase);

// Moves each attachment's file that waits in `pendingFolder` into `folder` (made when
// missing) and points the attachment at its new place, moved or not. Any other file
// is never moved (a conversation's folder is deleted with it, and must not take the
// user's own files along); attachments without a file stay as they are. File errors
// are not reported: the run goes on without them.
QList<AgentContextAttachment> moveAttachments(const QList<AgentContextAttachment> &attachments, const QString &folder,
                                              const QString &pendingFolder);
// Whether the file lies directly in `pendingFolder`.
bool isPendingFile(const QString &path, const QString &pendingFolder);

} // namespace AgentCommandRules
} // namespace sorvane
