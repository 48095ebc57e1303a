#include "SorvaneAgent/ChatPrompt.h"

#include <QFile>
#include <QJsonObject>
#include <QRandomGenerator>

namespace sorvane::agent {

namespace {

QJsonObject textMessage(const char *role, const QString &text)
{
    return {{QStringLiteral("role"), QLatin1String(role)}, {QStringLiteral("content"), text}};
}

QString roleName(Turn::Role role)
{
    return role == Turn::Role::User ? QStringLiteral("user") : QStringLiteral("assistant");
}

// The tag around an untrusted text. The text must not hold the tag that closes it, or it could
// end its reference early and go on as if the user had said the rest; such a text gets a tag of
// its own, which it cannot have guessed.
QString referenceTag(const QString &text)
{
    QString tag = QStringLiteral("reference");
    while (text.contains(QStringLiteral("</") + tag, Qt::CaseInsensitive))
        tag = QStringLiteral("reference-") + QString::number(QRandomGenerator::global()->generate64(), 16);
    return tag;
}

// A name inside a reference's opening tag, such as "<application> window": a name holding a
// quote or an angle bracket must not end the tag, or the reference, and go on as the user.
QString attributeText(const QString &text)
{
    QString escaped = text.toHtmlEscaped(); // &, <, > and "
    escaped.replace(QLatin1Char('\''), QStringLiteral("&#39;"));
    escaped.replace(QLatin1Char('\n'), QLatin1Char(' '));
    escaped.replace(QLatin1Char('\r'), QLatin1Char(' '));
    return escaped;
}

} // namespace

std::variant<ChatPrompt, QString> buildPrompt(const AgentRequest &request, const QList<Turn> &history)
{
    ChatPrompt prompt;
    prompt.system = request.trustedInstructions;
    const QString personal = request.personalContext.trimmed();
    if (!personal.isEmpty()) {
        if (!prompt.system.isEmpty())
            prompt.system += QStringLiteral("\n\n");
        prompt.system += QStringLiteral("<personal_context>\nWhat the user has told you about themselves:\n") +
                         personal + QStringLiteral("\n</personal_context>");
    }
    prompt.history = history;

    // The instruction comes first and alone is trusted; captured context is marked as reference.
    prompt.userText = request.instruction;
    for (const Attachment &attachment : request.attachments) {
        if (attachment.kind == Attachment::Kind::SelectedText) {
            const QString tag = referenceTag(attachment.text);
            prompt.userText += QStringLiteral("\n\n<") + tag + QStringLiteral(" kind=\"selectedText\" name=\"") +
                               attributeText(attachment.displayName) + QStringLiteral("\">\n") + attachment.text + QStringLiteral("\n</") +
                               tag + QLatin1Char('>');
            continue;
        }
        prompt.userText += QStringLiteral("\n\n<reference kind=\"screenshot\" name=\"") +
                           attributeText(attachment.displayName) + QStringLiteral("\"/>");
        if (!request.model || !request.model->takesImages)
            continue;
        QFile file(attachment.filePath);
        if (attachment.filePath.isEmpty() || !file.open(QIODevice::ReadOnly))
            return QStringLiteral("The screenshot for this Command could not be read. Try the Command again.");
        prompt.imageUrls.append(QByteArrayLiteral("data:image/png;base64,") + file.readAll().toBase64());
    }
    return prompt;
}

QJsonArray chatMessages(const ChatPrompt &prompt)
{
    QJsonArray messages;
    if (!prompt.system.isEmpty())
        messages.append(textMessage("system", prompt.system));
    for (const Turn &turn : prompt.history)
        messages.append(QJsonObject{{QStringLiteral("role"), roleName(turn.role)}, {QStringLiteral("content"), turn.text}});
    if (prompt.imageUrls.isEmpty()) {
        messages.append(textMessage("user", prompt.userText));
        return messages;
    }
    QJsonArray parts{QJsonObject{{QStringLiteral("type"), QStringLiteral("text")}, {QStringLiteral("text"), prompt.userText}}};
    for (const QByteArray &url : prompt.imageUrls) {
        parts.append(QJsonObject{{QStringLiteral("type"), QStringLiteral("image_url")},
                                 {QStringLiteral("image_url"), QJsonObject{{QStringLiteral("url"), QString::fromLatin1(url)}}}});
    }
    messages.append(QJsonObject{{QStringLiteral("role"), QStringLiteral("user")}, {QStringLiteral("content"), parts}});
    return messages;
}

QString singlePrompt(const ChatPrompt &prompt)
{
    if (prompt.history.isEmpty())
        return prompt.userText;
    QString text = QStringLiteral("<earlier_turns>\n");
    for (const Turn &turn : prompt.history) {
        text += (turn.role == Turn::Role::User ? QStringLiteral("User: ") : QStringLiteral("Assistant: ")) + turn.text +
                QStringLiteral("\n\n");
    }
    return text + QStringLiteral("</earlier_turns>\n\n") + prompt.userText;
}

} // namespace sorvane::agent
