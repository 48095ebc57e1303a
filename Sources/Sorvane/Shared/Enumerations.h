#pragma once

#include <QObject>

// The enumerations that screens show or set, declared in one meta-object namespace so
// that QML can name their values (Sorvane.AgentPhase.Generating, say) once the screens
// side registers `sorvane::staticMetaObject`. Their text values and helpers stay in
// the headers that own them (DictationTypes.h, AgentPhase.h, ...).
namespace sorvane {
Q_NAMESPACE

enum class AppSection { Home, History, Models, Settings };
Q_ENUM_NS(AppSection)

enum class SettingsArea { Shortcuts, Behaviour, Account };
Q_ENUM_NS(SettingsArea)

enum class OverlayAppearance { Automatic, Light, Dark };
Q_ENUM_NS(OverlayAppearance)

enum class OverlaySize { Classic, Mini };
Q_ENUM_NS(OverlaySize)

enum class CompletionSound { SoftPop, GlassChime, GentleTap };
Q_ENUM_NS(CompletionSound)

enum class PermissionAttention { Microphone, Accessibility, MicrophoneAndAccessibility };
Q_ENUM_NS(PermissionAttention)

// The state of the Command flow, shared by the application state, the overlay and the
// runtime events. Text values, in order: "idle", "listening", "transcribing",
// "loadingModel", "generating", "completed", "cancelled", "error".
enum class AgentPhase { Idle, Listening, Transcribing, LoadingModel, Generating, Completed, Cancelled, Error };
Q_ENUM_NS(AgentPhase)

// Where Command writes: the local models (on-device or downloaded) or one of the cloud APIs.
// Text values "local", "openAI", "gemini", "mistral".
enum class AgentWritingProvider { Local, OpenAI, Gemini, Mistral };
Q_ENUM_NS(AgentWritingProvider)

// How hard a cloud model should think. Text values, in order: "automatic", "none",
// "minimal", "low", "medium", "high", "xhigh", "max". The "none" case is NoEffort
// because Xlib defines None as a macro.
enum class AgentReasoningEffort { Automatic, NoEffort, Minimal, Low, Medium, High, XHigh, Max };
Q_ENUM_NS(AgentReasoningEffort)

} // namespace sorvane
