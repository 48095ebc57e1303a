#pragma once

#include "SorvaneAgent/AgentRequest.h"
#include "SorvaneAgent/BridgeRunner.h"
#include "SorvaneAgent/ChatPrompt.h"
#include "SorvaneAgent/EventOutput.h"
#include "SorvaneAgent/LlamaServer.h"

#include <QByteArray>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QTimer>

#include <chrono>
#include <deque>
#include <optional>

class QSocketNotifier;

namespace sorvane::agent {

class ChatStream;

// The Command runtime: reads request lines from its input until end of file and answers each
// "run" and "continue", one at a time and in order, with event lines on its output.
class AgentRuntime : public QObject {
    Q_OBJECT
public:
    struct Limits {
        // Longest wait for a cloud provider to accept the request: it must answer before the
        // application's 30-second limit for reaching "generating".
        std::chrono::milliseconds firstByte = std::chrono::seconds(25);
        // Longest a local model may take to load for one request.
        std::chrono::milliseconds modelLoad = std::chrono::seconds(25);
        // Longest one request may take from start to answer; the application waits 120 s.
        std::chrono::milliseconds request = std::chrono::seconds(110);

        // The defaults, or SORVANE_AGENT_FIRST_BYTE_TIMEOUT_MS, SORVANE_AGENT_MODEL_LOAD_TIMEOUT_MS
        // and SORVANE_AGENT_REQUEST_TIMEOUT_MS where set.
        static Limits fromEnvironment();
    };

    AgentRuntime(int inputFd, int outputFd, Limits limits, QObject *parent = nullptr);
    ~AgentRuntime() override;

    void start();
    // Drops the work in hand and what is queued, stops what it started, then says ended().
    void stop();

    // The longest answer asked of a local model, in tokens: half its context, at most this.
    static constexpr int maxLocalAnswerTokens = 4096;

Q_SIGNALS:
    // The input ended, what it asked for was answered, and everything the runtime started has
    // been stopped.
    void ended();

private:
    struct Job {
        AgentRequest request;
        QString modelName;
        ChatPrompt prompt;
        bool keepTurns = false;
        bool generating = false;
    };

    void readInput();
    void takeLines();
    void endOfInput();
    void scheduleNext();
    void serveNext();
    void begin(AgentRequest request);
    void changeTurns(const AgentRequest &request);
    void runCloud();
    void runLocal();
    void runOnDevice();
    void stream(ChatStream *chat);
    void markGenerating();
    void complete(const QString &answer);
    void fail(const QString &message, const QString &code = {});
    void stopWork();
    // At the end of input with nothing more to serve: stop.
    void stopIfDone();

    int m_inputFd;
    EventOutput m_output;
    Limits m_limits;
    QSocketNotifier *m_notifier = nullptr;
    QByteArray m_inputBuffer;
    bool m_skippingLine = false; // the rest of an overlong line is being dropped
    bool m_stopped = false; // by the end of input or a stop()
    bool m_inputEnded = false; // what was read is still served, then the runtime stops
    std::deque<QByteArray> m_lines;
    std::optional<Job> m_job;
    bool m_nextScheduled = false;
    // Conversations one of whose turns could not be saved: their kept turns are not all
    // there are, so they cannot be continued.
    QSet<QString> m_incompleteConversations;

    QNetworkAccessManager m_network;
    LlamaServer m_llama;
    BridgeRunner m_bridge;
    QPointer<ChatStream> m_stream;
    QTimer m_deadline;
};

} // namespace sorvane::agent
