#pragma once

#include <QDBusConnection>
#include <QObject>

namespace sorvane {

// One running copy per session: the first copy owns the session-bus name
// com.sorvane.local; a later one asks it to bring its main window forward and ends.
// Two copies would register the same global shortcuts and overwrite each other's
// history, settings and conversations.
class SingleInstance : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.sorvane.local")

public:
    static constexpr auto serviceName = "com.sorvane.local";
    static constexpr auto objectPath = "/com/sorvane/local";

    enum class Claim {
        First,     // this copy owns the name and answers later copies
        HandedOff, // another copy runs and was asked to come forward: end now
        NoBus,     // no session bus: nothing can be checked, run anyway
    };

    explicit SingleInstance(const QDBusConnection &bus = QDBusConnection::sessionBus(), QObject *parent = nullptr);
    ~SingleInstance() override;

    // Takes the name, or hands over to the copy that has it (waiting at most a few
    // seconds for its answer).
    Claim claim();

public Q_SLOTS:
    // Called over the bus by a later copy.
    Q_SCRIPTABLE void Activate();

Q_SIGNALS:
    void activationRequested();

private:
    bool askOwnerToActivate();

    QDBusConnection m_bus;
    bool m_owner = false;
};

} // namespace sorvane
