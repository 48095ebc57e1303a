#pragma once

#include "Command/AgentConversation.h"
#include "Shared/Enumerations.h"

#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <QUuid>
#include <optional>

namespace sorvane::AgentPanelRules {

// The toast's size and its distance from the top-right corner of the screen's free area.
inline constexpr QSize toastSize{350, 116};
inline constexpr int toastMargin = 18;
// The conversation window's first and smallest sizes.
inline constexpr QSize conversationSize{560, 680};
inline constexpr QSize conversationMinimumSize{440, 520};

// Where the toast's top-left corner goes in `available` (a screen's free area, Qt's
// top-down coordinates).
QPoint toastTopLeft(const QRect &available, QSize toast = toastSize);
// Which of the screens (by their geometries) the toast goes on: the one holding the
// active window's centre, else the primary one; -1 when there is no screen.
int toastScreenIndex(const QList<QRect> &screenGeometries, int primaryIndex, std::optional<QPoint> activeWindowCentre);
// Where a window of `size` goes to sit in the middle of `available`.
QPoint centredTopLeft(const QRect &available, QSize size);

bool usesDarkAppearance(OverlayAppearance appearance, bool systemPrefersDark);

// Transcribing, loading the model and writing: a run of the conversation is under way.
bool isBusy(AgentPhase phase);
// "Transcribing", "Loading model", "Writing"; empty for the other phases.
QString phaseWord(AgentPhase phase);
QString senderLabel(AgentMessageRole role);

// The follow-up can be sent: it has words, a conversation is shown, and no run is under
// way or listening (a text sent then would be refused and lost).
bool canSend(const QString &followUp, AgentPhase phase, bool conversationShown);

// The streamed answer shows as an extra bubble under the stored ones: only under the
// conversation that runs, while it runs, and not once its answer is stored.
bool showsStreamingBubble(AgentPhase phase, const std::optional<QUuid> &shownConversation,
                          const std::optional<QUuid> &runningConversation, const QString &streamedText,
                          const QList<AgentMessage> &storedMessages);


} // namespace sorvane::AgentPanelRules
