#pragma once

#include <QObject>
#include <QPointer>
#include <QProcess>
#include <QString>

namespace sorvane::agent {

// Asks the on-device model bridge for one answer: one JSON request in on its standard input,
// one JSON response out on its standard output.
class BridgeRunner : public QObject {
    Q_OBJECT
public:
    explicit BridgeRunner(QObject *parent = nullptr);
    ~BridgeRunner() override;

    // Reports answered() or failed() once, never before this returns.
    void start(const QString &program, const QString &instructions, const QString &prompt);
    // Ends the bridge; nothing more is reported.
    void abort();

Q_SIGNALS:
    void answered(const QString &text);
    void failed(const QString &message);

private:
    void finished();

    QPointer<QProcess> m_process;
};

} // namespace sorvane::agent
