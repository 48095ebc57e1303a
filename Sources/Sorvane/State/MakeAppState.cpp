#include "State/MakeAppState.h"

#include "Platform/DesktopPermissionProbe.h"
#include "Platform/DesktopPlatform.h"
#include "Platform/DesktopSystemLinks.h"
#include "Platform/Multimedia/QtSoundPlayer.h"
#include "Platform/QtWindowActivation.h"
#include "Platform/Timers.h"
#include "Services/Command/AgentNotificationService.h"
#include "Services/Command/AgentRuntimeService.h"
#include "Services/Shell/HotKeyManager.h"
#include "Services/Dictation/WhisperRunner.h"

#include <QFileInfo>

namespace sorvane {

namespace {
// The program reads its history and its conversations while the tray and the
// shortcuts come up.
template <typename Options>
Options backgroundLoaded(Options options)
{
    options.loadInBackground = true;
    return options;
}
} // namespace

// In construction order: the stores and services the state owns in the system's
// sense, each made once.
struct DesktopAppStateParts {
    DesktopAppStateParts(DesktopPlatform &platform, std::function<void()> bell)
        : sounds(std::move(bell)),
          permissions(platform.accessibility(), platform.windowCapture(), platform.audioInput()),
          legacySettings(QFileInfo::exists(JsonFileSettingsStore::legacyPath())
                             ? std::make_unique<JsonFileSettingsStore>(JsonFileSettingsStore::legacyPath(),
                                                                       JsonFileSettingsStore::Mode::ReadOnly)
                             : nullptr),
          modelStore(ModelStore::defaultOptions()),
          historyStore(backgroundLoaded(HistoryStore::defaultOptions())),
          agentModelStore(AgentModelStore::defaultOptions()),
          agentConversationStore(backgroundLoaded(AgentConversationStore::defaultOptions())),
          recorder(platform.audioInput()),
          hotKeys(platform.hotKeys()),
          capture(platform.capture()),
          notifications(platform.notifications())
    {
    }

    QtTimers timers;
    QtSoundPlayer sounds;
    DesktopPermissionProbe permissions;
    QtWindowActivation windows;
    DesktopSystemLinks links;
    std::unique_ptr<JsonFileSettingsStore> legacySettings;
    ModelStore modelStore;
    HistoryStore historyStore;
    AgentModelStore agentModelStore;
    AgentConversationStore agentConversationStore;
    AudioRecorder recorder;
    WhisperRunner whisper;
    HotKeyManager hotKeys;
    AgentContextCaptureService capture;
    AgentRuntimeService runtime;
    AgentNotificationService notifications;
};

DesktopAppState::DesktopAppState(DesktopPlatform &platform, Windows windows)
    : m_parts(std::make_unique<DesktopAppStateParts>(platform, std::move(windows.bell)))
{
    DesktopAppStateParts &p = *m_parts;
    m_state = std::make_unique<AppState>(AppStateServices{
        .timers = p.timers,
        .settings = platform.settings(),
        .legacySettings = p.legacySettings.get(),
        .permissions = p.permissions,
        .modelStore = p.modelStore,
        .historyStore = p.historyStore,
        .agentModelStore = p.agentModelStore,
        .agentConversationStore = p.agentConversationStore,
        .recorder = p.recorder,
        .whisper = p.whisper,
        .hotKeys = p.hotKeys,
        .capture = p.capture,
        .clipboard = platform.clipboard(),
        .keyring = platform.secretStore(),
        .runtime = p.runtime,
        .notifications = p.notifications,
        .sounds = p.sounds,
        .windows = windows.activation ? *windows.activation : static_cast<WindowActivation &>(p.windows),
        .links = p.links,
        .makeOverlay = std::move(windows.makeOverlay),
        .makeResultPanel = std::move(windows.makeResultPanel),
    });
}

// The state refers to every part, so it goes first.
DesktopAppState::~DesktopAppState() { m_state.reset(); }

std::unique_ptr<DesktopAppState> makeAppState(DesktopPlatform &platform, DesktopAppState::Windows windows)
{
    return std::make_unique<DesktopAppState>(platform, std::move(windows));
}

} // namespace sorvane
