#pragma once

#include <QObject>
#include <QProcess>
#include <QTimer>
#include <coroutine>
#include <memory>

namespace sorvane {

// Suspends until the process has finished or has failed to start (a failed start is
// followed by no "finished"). The coroutine resumes from a fresh event, never inside the
// process's own signal, because it goes on to destroy the process.
class ProcessEnd {
public:
    explicit ProcessEnd(QProcess &process) : m_process(&process) {}

    bool await_ready() const { return m_process->state() == QProcess::NotRunning; }

    void await_suspend(std::coroutine_handle<> coroutine) const
    {
        // Shared by both handlers so that whichever comes first removes both.
        auto connections = std::make_shared<std::pair<QMetaObject::Connection, QMetaObject::Connection>>();
        auto resume = [connections, coroutine] {
            QObject::disconnect(connections->first);
            QObject::disconnect(connections->second);
            QTimer::singleShot(0, [coroutine] { coroutine.resume(); });
        };
        connections->first = QObject::connect(m_process, &QProcess::finished, resume);
        connections->second = QObject::connect(m_process, &QProcess::errorOccurred,
                                               [resume](QProcess::ProcessError error) {
                                                   if (error == QProcess::FailedToStart)
                                                       resume();
                                               });
    }

    void await_resume() const {}

private:
    QProcess *m_process;
};

} // namespace sorvane
