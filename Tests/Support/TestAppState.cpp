#include "TestAppState.h"

#include "TestPaths.h"

#include <QCoroSignal>
#include <QDir>

namespace sorvane::testing {

// Settings writes go to the platform's memory store and into the shared log.
class LoggingSettingsStore final : public SettingsStore {
public:
    LoggingSettingsStore(SettingsStore &store, QStringList &log) : m_store(store), m_log(log) {}
    std::optional<SettingValue> value(const QString &key) const override { return m_store.value(key); }
    void setValue(const QString &key, const SettingValue &value) override
    {
        m_log.append(QStringLiteral("set ") + key);
        m_store.setValue(key, value);
    }
    void remove(const QString &key) override
    {
        m_log.append(QStringLiteral("remove ") + key);
        m_store.remove(key);
    }
    QStringList keys() const override { return m_store.keys(); }
    void setNotice(Notice notice) override { m_store.setNotice(std::move(notice)); }

private:
    SettingsStore &m_store;
    QStringList &m_log;
};

// Registrations go to the platform's fake backend and into the shared log.
class LoggingHotKeyBackend final : public HotKeyBackend {
public:
    LoggingHotKeyBackend(HotKeyBackend &backend, QStringList &log) : m_backend(backend), m_log(log)
    {
        connect(&backend, &HotKeyBackend::hotKeyEvent, this, &HotKeyBackend::hotKeyEvent);
    }
    Result<HotKeyReference, HotKeyError> registerHotKey(quint32 keyCode, HotKeyModifiers modifiers, quint32 id) override
    {
        m_log.append(QStringLiteral("hotkey +%1").arg(id));
        auto result = m_backend.registerHotKey(keyCode, modifiers, id);
        if (result)
            m_ids.insert(result.value().value, id);
        return result;
    }
    void unregisterHotKey(HotKeyReference reference) override
    {
        m_log.append(QStringLiteral("hotkey -%1").arg(m_ids.take(reference.value)));
        m_backend.unregisterHotKey(reference);
    }

private:
    HotKeyBackend &m_backend;
    QStringList &m_log;
    QHash<quint64, quint32> m_ids;
};

// The fake keyring behind a lock: while locked, reads wait for the unlock.
class GatedSecretStore final : public QObject, public SecretStore {
    Q_OBJECT
public:
    GatedSecretStore(std::shared_ptr<SecretStore> keyring, QStringList &log) : m_keyring(std::move(keyring)), m_log(log) {}

    bool locked = false;
    bool writesHeld = false;
    std::function<void(const QString &)> afterRead;
    void unlock()
    {
        locked = false;
        Q_EMIT unlocked();
    }
    void releaseWrites()
    {
        writesHeld = false;
        Q_EMIT writesReleased();
    }

    QCoro::Task<ReadResult> read(QString service, QString account) override
    {
        while (locked)
            co_await qCoro(this, &GatedSecretStore::unlocked);
        m_log.append(QStringLiteral("keyring read ") + service);
        auto read = m_keyring->read(service, account);
        auto result = co_await std::move(read);
        if (afterRead)
            afterRead(service);
        co_return result;
    }
    QCoro::Task<Status> write(QString service, QString account, QByteArray data) override
    {
        while (writesHeld)
            co_await qCoro(this, &GatedSecretStore::writesReleased);
        m_log.append(QStringLiteral("keyring write ") + service);
        co_return co_await m_keyring->write(service, account, data);
    }
    QCoro::Task<Status> remove(QString service, QString account) override
    {
        while (writesHeld)
            co_await qCoro(this, &GatedSecretStore::writesReleased);
        m_log.append(QStringLiteral("keyring remove ") + service);
        co_return co_await m_keyring->remove(service, account);
    }

Q_SIGNALS:
    void unlocked();
    void writesReleased();

private:
    std::shared_ptr<SecretStore> m_keyring;
    QStringList &m_log;
};

TestAppState::TestAppState()
{
    m_hotKeyBackend = std::make_unique<LoggingHotKeyBackend>(*fakes.hotKeys, log);
    m_keyring = std::make_shared<GatedSecretStore>(fakes.secretStore, log);
    runtimeExecutable = folder.filePath(QStringLiteral("no-runtime"));
    QDir().mkpath(modelsFolder());
}

TestAppState::~TestAppState()
{
    // The state goes first: it refers to everything below; then the services, which
    // refer to the logging fakes.
    m_state.reset();
    notifications.reset();
    runtime.reset();
    capture.reset();
    hotKeys.reset();
    whisper.reset();
    recorder.reset();
    agentConversationStore.reset();
    agentModelStore.reset();
    historyStore.reset();
    modelStore.reset();
}

QString TestAppState::modelsFolder() const { return folder.filePath(QStringLiteral("models")); }

void TestAppState::placeSpeechModelFile(const QString &modelID)
{
    const SpeechModel *model = SpeechModel::find(modelID);
    if (model)
        writeFile(QDir(modelsFolder()).filePath(model->fileName), QByteArrayLiteral("model"));
    if (modelStore) // a store that exists already hears of the new file through its revision
        Q_EMIT modelStore->revisionChanged();
}

void TestAppState::lockKeyring() { m_keyring->locked = true; }
void TestAppState::unlockKeyring() { m_keyring->unlock(); }
bool TestAppState::keyringLocked() const { return m_keyring->locked; }
void TestAppState::holdKeyringWrites() { m_keyring->writesHeld = true; }
void TestAppState::releaseKeyringWrites() { m_keyring->releaseWrites(); }
void TestAppState::afterKeyringRead(std::function<void(const QString &)> hook) { m_keyring->afterRead = std::move(hook); }

AppState &TestAppState::build()
{
    m_settings = std::make_unique<LoggingSettingsStore>(settingsOverride ? *settingsOverride : *fakes.settings, log);

    // The stores and services, in the order the state expects them made.
    ModelStore::Options models = ModelStore::defaultOptions();
    HistoryStore::Options history = HistoryStore::defaultOptions();
    AgentModelStore::Options agentModels = AgentModelStore::defaultOptions();
    AgentConversationStore::Options conversations = AgentConversationStore::defaultOptions();
    if (!storesAtDefaultLocations) {
        models.modelsDirectory = modelsFolder();
        models.bundledModel.reset();
        history.path = folder.filePath(QStringLiteral("history.json"));
        history.recordingsFolder = folder.filePath(QStringLiteral("recordings"));
        agentModels.modelsFolder = folder.filePath(QStringLiteral("agent-models"));
        agentModels.customModelsFile = folder.filePath(QStringLiteral("custom-agent-models.json"));
        conversations.filePath = folder.filePath(QStringLiteral("conversations.json"));
        conversations.attachmentsRoot = folder.filePath(QStringLiteral("attachments"));
    }
    conversations.loadInBackground = conversationsLoadInBackground;
    models.catalog = speechCatalog;
    modelStore = std::make_unique<ModelStore>(models);
    historyStore = std::make_unique<HistoryStore>(history);
    agentModelStore = std::make_unique<AgentModelStore>(agentModels);
    agentConversationStore = std::make_unique<AgentConversationStore>(conversations);

    recorder = std::make_unique<AudioRecorder>(*fakes.audioInput);
    whisper = std::make_unique<WhisperRunner>(engineLocator);
    hotKeys = std::make_unique<HotKeyManager>(*m_hotKeyBackend);
    capture = std::make_unique<AgentContextCaptureService>(fakes.platform->capture());
    AgentRuntimeService::Options runtimeOptions;
    runtimeOptions.executableOverride = runtimeExecutable;
    runtime = std::make_unique<AgentRuntimeService>(runtimeOptions);
    notifications = std::make_unique<AgentNotificationService>(*fakes.notifications);

    AppStateServices services{
        .timers = timers,
        .settings = *m_settings,
        .legacySettings = legacySettingsOverride ? legacySettingsOverride
                          : withLegacySettings   ? &legacySettings
                                                 : nullptr,
        .permissions = permissions,
        .modelStore = *modelStore,
        .historyStore = *historyStore,
        .agentModelStore = *agentModelStore,
        .agentConversationStore = *agentConversationStore,
        .recorder = *recorder,
        .whisper = *whisper,
        .hotKeys = *hotKeys,
        .capture = *capture,
        .clipboard = *fakes.clipboard,
        .keyring = m_keyring,
        .runtime = *runtime,
        .notifications = *notifications,
        .sounds = sounds,
        .windows = windows,
        .links = links,
        .makeOverlay = [this](AppState &) -> std::unique_ptr<OverlayPresenter> {
            auto presenter = std::make_unique<RecordingOverlayPresenter>();
            overlay = presenter.get();
            return presenter;
        },
        .makeResultPanel = [this](AppState &state) -> std::unique_ptr<AgentResultPresenter> {
            if (resultPanelFactory)
                return resultPanelFactory(state);
            auto presenter = std::make_unique<RecordingAgentResultPresenter>();
            resultPanel = presenter.get();
            return presenter;
        },
    };
    m_state = std::make_unique<AppState>(std::move(services));
    return *m_state;
}

} // namespace sorvane::testing

#include "TestAppState.moc"
