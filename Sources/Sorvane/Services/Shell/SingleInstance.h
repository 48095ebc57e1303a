#pragma once

#include <QDBusConnection>
#include <QObject>
#include <memory>

class QLocalServer;
class QLockFile;

namespace sorvane {

// One running copy per session: the first copy owns the session-bus name
// com.sorvane.local; a later one asks it to bring its main window forward and ends.
// Two copies would register the same global shortcuts and overwrite each other's
// history, settings and conversations. Without a session bus the first copy holds a
// lock file in the runtime folder ($XDG_RUNTIME_DIR) and listens on a local socket
// beside it, and a later one asks over that socket instead.
class SingleInstance : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.sorvane.local")

public:
    static constexpr auto serviceName = "com.sorvane.local";
    static constexpr auto objectPath = "/com/sorvane/local";

    enum class Claim {
        First,     // this copy owns the name and answers later copies
        HandedOff, // another copy runs and was asked to come forward: end now
        NoBus,     // neither a session bus nor a runtime folder: nothing can be checked, run anyway
    };

    // `runtimeFolder` empty: the user's runtime folder ($XDG_RUNTIME_DIR).
    explicit SingleInstance(const QDBusConnection &bus = QDBusConnection::sessionBus(), QString runtimeFolder = {},
                            QObject *parent = nullptr);
    ~SingleInstance() override;

    // Takes the name, or hands over to the copy that has it (waiting at most a few
    // seconds for its answer).
    Claim claim();

    // The lock and the socket of the fallback, in the runtime folder.
    QString lockPath() const;
    QString socketPath() const;

public Q_SLOTS:
    // Called over the bus by a later copy.
    Q_SCRIPTABLE void Activate();

Q_SIGNALS:
    void activationRequested();

private:
    bool askOwnerToActivate();
    Claim claimByLock();
    bool askLockOwnerToActivate();
    void answerLocalConnections();

    QDBusConnection m_bus;
    QString m_runtimeFolder;
    bool m_owner = false;
    std::unique_ptr<QLockFile> m_lock;
    std::unique_ptr<QLocalServer> m_server;
};

} // namespace sorvane
