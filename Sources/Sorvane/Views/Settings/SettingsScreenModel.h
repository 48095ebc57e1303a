#pragma once

#include "Platform/Timers.h"
#include "Shared/Enumerations.h"

#include <QObject>
#include <QPointer>
#include <QVariant>
#include <QVariantMap>
#include <QtQml/qqmlregistration.h>
#include <memory>
#include <optional>

namespace sorvane {

class AppState;

// The state one settings screen shares between its areas, for as long as the screen
// exists: whether the vocabulary editor replaces the settings, the Account area's
// highlight, the open key row, the typed keys and each row's last message, and the key
// whose removal awaits confirmation. Keyring jobs run in the state (appState.apiKeys),
// so they finish when the screen is gone; a screen present at their end shows it.
class SettingsScreenModel : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QObject *state READ stateObject WRITE setStateObject NOTIFY stateChanged)
    Q_PROPERTY(bool showsVocabulary READ showsVocabulary WRITE setShowsVocabulary NOTIFY showsVocabularyChanged)
    Q_PROPERTY(bool highlightedPermissions READ highlightedPermissions NOTIFY highlightedPermissionsChanged)
    // The open key row's provider (a number), or null.
    Q_PROPERTY(QVariant expandedProvider READ expandedProviderValue NOTIFY expandedProviderChanged)
    // The provider whose removal awaits confirmation, or null; and the dialog's title.
    Q_PROPERTY(QVariant providerPendingKeyRemoval READ pendingRemovalValue NOTIFY providerPendingKeyRemovalChanged)
    Q_PROPERTY(QString removalTitle READ removalTitle NOTIFY providerPendingKeyRemovalChanged)
    // Keyed by the provider's number as text.
    Q_PROPERTY(QVariantMap drafts READ drafts NOTIFY draftsChanged)
    Q_PROPERTY(QVariantMap messages READ messages NOTIFY messagesChanged)

public:
    explicit SettingsScreenModel(QObject *parent = nullptr);
    ~SettingsScreenModel() override;

    static constexpr std::chrono::milliseconds highlightDuration{1800};

    AppState *state() const { return m_state; }
    void setState(AppState *state);
    bool showsVocabulary() const { return m_showsVocabulary; }
    void setShowsVocabulary(bool shows);
    bool highlightedPermissions() const { return m_highlightedPermissions; }
    std::optional<AgentWritingProvider> expandedProvider() const { return m_expandedProvider; }
    std::optional<AgentWritingProvider> providerPendingKeyRemoval() const { return m_pendingRemoval; }
    QString removalTitle() const;
    QVariant expandedProviderValue() const;
    QVariant pendingRemovalValue() const;
    QVariantMap drafts() const { return m_drafts; }
    QVariantMap messages() const { return m_messages; }
    QString draft(AgentWritingProvider provider) const;
    QString message(AgentWritingProvider provider) const;

    // What the screen does each time it is shown: permissions read again, a new
    // permission request honoured, the key row of a pending key banner opened, and a
    // waiting request for a key row honoured.
    Q_INVOKABLE void appear();
    // Opens the row, or closes it when it is the open one (which closes any other).
    Q_INVOKABLE void toggleRow(int provider);
    Q_INVOKABLE void setDraft(int provider, const QString &text);
    // Hands the typed key to the state; false when there is nothing to save or a job
    // of that provider is still running.
    Q_INVOKABLE bool saveKey(int provider);
    Q_INVOKABLE void requestRemoval(int provider);
    Q_INVOKABLE void confirmRemoval();
    Q_INVOKABLE void cancelRemoval();

Q_SIGNALS:
    void stateChanged();
    void showsVocabularyChanged();
    void highlightedPermissionsChanged();
    void expandedProviderChanged();
    void providerPendingKeyRemovalChanged();
    void draftsChanged();
    void messagesChanged();

private:
    QObject *stateObject() const;
    void setStateObject(QObject *object);
    void handlePermissionAttention();
    void takeKeyRowRequest();
    void setExpandedProvider(std::optional<AgentWritingProvider> provider);
    void setPendingRemoval(std::optional<AgentWritingProvider> provider);
    void setHighlighted(bool highlighted);
    void setMessage(AgentWritingProvider provider, const QString &text);
    void keyJobFinished(AgentWritingProvider provider, bool removal, bool succeeded, const QString &message);

    QPointer<AppState> m_state;
    QList<QMetaObject::Connection> m_connections;
    bool m_showsVocabulary = false;
    bool m_highlightedPermissions = false;
    std::unique_ptr<TimerHandle> m_highlightTask;
    std::optional<AgentWritingProvider> m_expandedProvider;
    std::optional<AgentWritingProvider> m_pendingRemoval;
    QVariantMap m_drafts;
    QVariantMap m_messages;
};

} // namespace sorvane
