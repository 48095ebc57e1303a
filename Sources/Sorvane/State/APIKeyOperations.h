#pragma once

#include "Shared/Enumerations.h"

#include <QCoroTask>
#include <QObject>
#include <QQueue>
#include <QSet>
#include <QString>
#include <QVariantList>

namespace sorvane {

class AppState;

// Saving and removing the cloud API keys for the settings screen. It belongs to the
// state, not to a screen: a job's follow-ups (the active Command model, the key banner)
// apply when the keyring answers even when the screen that asked is gone. One job per
// provider at a time, and the jobs of all providers run one after another.
//
// QML: `appState.apiKeys.save(provider, text)`, `pendingProviders.includes(provider)`,
// the end of each job through `finished`.
class APIKeyOperations : public QObject {
    Q_OBJECT
    Q_PROPERTY(QVariantList pendingProviders READ pendingProviders NOTIFY pendingChanged)
public:
    explicit APIKeyOperations(AppState &state, QObject *parent = nullptr);

    QVariantList pendingProviders() const;
    Q_INVOKABLE bool isPending(sorvane::AgentWritingProvider provider) const;

    // Stores the key as typed (the store trims it). False, and nothing happens, while a
    // job of that provider is pending or when the text holds only spaces and newlines.
    Q_INVOKABLE bool save(sorvane::AgentWritingProvider provider, const QString &key);
    // Removes the provider's key. False while a job of that provider is pending.
    Q_INVOKABLE bool remove(sorvane::AgentWritingProvider provider);

    // The name of the Command model a saved key makes active: its catalogue name, else
    // the provider's name.
    Q_INVOKABLE QString defaultModelName(sorvane::AgentWritingProvider provider) const;
    // Why the keyring could not be read at start for this provider; empty when it could.
    Q_INVOKABLE QString loadError(sorvane::AgentWritingProvider provider) const;

Q_SIGNALS:
    void pendingChanged();
    // `message` is what the key row shows: the success line or the failure's reason.
    void finished(sorvane::AgentWritingProvider provider, bool removal, bool succeeded, const QString &message);

private:
    struct Job {
        AgentWritingProvider provider;
        bool removal;
        QString key;
    };
    bool enqueue(Job job);
    void runNext();
    QCoro::Task<void> run(Job job);
    void applySaved(AgentWritingProvider provider);

    AppState &m_state;
    QQueue<Job> m_queue;
    QSet<AgentWritingProvider> m_pending;
    bool m_running = false;
};

} // namespace sorvane
