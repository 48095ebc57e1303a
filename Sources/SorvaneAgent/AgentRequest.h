#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>
#include <variant>

namespace sorvane::agent {

// How a writing model is run, as the request's model descriptor names it.
enum class Provider { AppleSystem, LlamaCpp, OpenAI, Gemini, Mistral };

bool isCloud(Provider provider);

// What of the model descriptor the runtime uses.
struct ModelInfo {
    QString id;
    QString name;
    // For cloud models the identifier the provider's API knows the model by.
    QString officialName;
    Provider provider = Provider::AppleSystem;
    bool takesImages = false;
    // A local model's context size in tokens, where its descriptor names one.
    std::optional<int> contextTokens;
};

struct Attachment {
    enum class Kind { SelectedText, Screenshot };
    Kind kind = Kind::SelectedText;
    QString displayName;
    QString text;
    QString filePath;
};

// One request line, as far as the runtime serves it.
struct AgentRequest {
    // ForgetTurns removes the kept turns of the conversations named; KeepTurns removes those
    // of every conversation not named.
    enum class Command { Run, Continue, ForgetTurns, KeepTurns, Other };

    QString requestID; // as written; events carry it back unchanged
    Command command = Command::Run;
    QString conversationID;
    std::optional<ModelInfo> model;
    QString instruction;
    QString trustedInstructions;
    QList<Attachment> attachments;
    QString modelPath;
    QString projectorPath;
    QString llamaServerPath;
    QString appleBridgePath;
    QString sessionPath;
    QString cloudAPIKey;
    QString personalContext;
    QString reasoningEffort; // empty when absent
    bool ephemeralSession = false;
    QStringList conversationIDs; // of ForgetTurns and KeepTurns, in upper case
};

// A line that cannot be served: why, and the request id when one could be read.
struct RequestProblem {
    QString message;
    QString requestID;
};

// One line, without its newline. Unknown keys are ignored.
std::variant<AgentRequest, RequestProblem> decodeRequestLine(const QByteArray &line);

} // namespace sorvane::agent
