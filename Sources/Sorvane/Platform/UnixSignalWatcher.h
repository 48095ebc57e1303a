#pragma once

#include <QObject>
#include <QSocketNotifier>

namespace sorvane {

// Turns SIGTERM, SIGINT and SIGHUP into a Qt signal on the main loop (the handler
// only writes one byte to a socket pair; everything else happens on the loop).
class UnixSignalWatcher : public QObject {
    Q_OBJECT
public:
    explicit UnixSignalWatcher(QObject *parent = nullptr);
    ~UnixSignalWatcher() override;

    // SIGPIPE would end the program when a child closes its pipe; writes report EPIPE instead.
    static void ignoreBrokenPipes();

Q_SIGNALS:
    void terminationRequested(int signalNumber);

private:
    QSocketNotifier *m_notifier = nullptr;
};

} // namespace sorvane
