#pragma once

#include "SorvaneAgent/AgentRequest.h"

#include <QByteArray>
#include <QJsonArray>
#include <QList>
#include <QString>
#include <variant>

namespace sorvane::agent {

// One earlier turn of a conversation, as kept in the session store.
struct Turn {
    enum class Role { User, Assistant };
    Role role = Role::User;
    QString text;

    friend bool operator==(const Turn &, const Turn &) = default;
};

// What is sent to a writing model for one request: the trusted instructions, the earlier
// turns, and this turn's instruction with its context.
struct ChatPrompt {
    QString system;
    QList<Turn> history;
    // The instruction with the selected text as reference material; also what the session keeps.
    QString userText;
    // Screenshots as data: URLs of PNG images.
    QList<QByteArray> imageUrls;
};

// Fails with a user-facing message when an attached screenshot cannot be read.
std::variant<ChatPrompt, QString> buildPrompt(const AgentRequest &request, const QList<Turn> &history);

// The "messages" array of an OpenAI-style chat completion.
QJsonArray chatMessages(const ChatPrompt &prompt);

// One prompt text for a model that takes a single prompt (the on-device bridge): the earlier
// turns as a transcript, then this turn.
QString singlePrompt(const ChatPrompt &prompt);

} // namespace sorvane::agent
