#pragma once

#include "SorvaneAppleBridge/LanguageModel.h"

#include <QByteArray>
#include <QString>
#include <optional>
#include <variant>

namespace sorvane::bridge {

// The one request read from standard input. Both fields are required; other keys are ignored.
struct BridgeRequest {
    QString instructions;
    QString prompt;
};

// The one response written to standard output: "ok" with "text", or "ok" with "error".
struct BridgeResponse {
    bool ok = false;
    QString text;  // only when ok
    QString error; // only when not ok

    static BridgeResponse success(QString text) { return {true, std::move(text), {}}; }
    static BridgeResponse failure(QString error) { return {false, {}, std::move(error)}; }
};

// What one run writes and the status it exits with.
struct BridgeOutcome {
    QByteArray output;
    int exitStatus = 1;
};

// The request, or why it cannot be read.
std::variant<BridgeRequest, QString> decodeRequest(const QByteArray &input);

// Compact JSON with "ok" first and no trailing newline; nothing when the texts are not
// well-formed Unicode (a lone surrogate), which a strict reader would refuse.
std::optional<QByteArray> encodeResponse(const BridgeResponse &response);

// The message for a model that is not available, by the reason the system gives.
QString unavailableMessage(ModelAvailability availability);

// The whole decision of one run: request bytes in, response bytes and exit status out.
// The model is asked at most once, and only for a readable request while it is available.
BridgeOutcome answerRequest(const QByteArray &input, LanguageModel &model);

// One run over two file descriptors: read the request to end of file, answer it, write
// the response in one piece. Returns the exit status: 1 also when the write fails.
int runBridge(int inputFd, int outputFd, LanguageModel &model);

} // namespace sorvane::bridge
