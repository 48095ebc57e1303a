#include "SorvaneAgent/CloudProvider.h"

#include <QHash>

namespace sorvane::agent {

QString providerName(Provider provider)
{
    switch (provider) {
    case Provider::OpenAI:
        return QStringLiteral("OpenAI");
    case Provider::Gemini:
        return QStringLiteral("Gemini");
    case Provider::Mistral:
        return QStringLiteral("Mistral");
    case Provider::LlamaCpp:
        return QStringLiteral("llama-server");
    case Provider::AppleSystem:
        break;
    }
    return QStringLiteral("The on-device model");
}

QUrl chatCompletionsUrl(Provider provider)
{
    const char *variable = nullptr;
    QString base;
    switch (provider) {
    case Provider::OpenAI:
        variable = "SORVANE_AGENT_OPENAI_BASE_URL";
        base = QStringLiteral("https://api.openai.com/v1");
        break;
    case Provider::Gemini:
        // Gemini's OpenAI-compatible interface.
        variable = "SORVANE_AGENT_GEMINI_BASE_URL";
        base = QStringLiteral("https://generativelanguage.googleapis.com/v1beta/openai");
        break;
    case Provider::Mistral:
        variable = "SORVANE_AGENT_MISTRAL_BASE_URL";
        base = QStringLiteral("https://api.mistral.ai/v1");
        break;
    case Provider::AppleSystem:
    case Provider::LlamaCpp:
        return {};
    }
    const QString override = qEnvironmentVariable(variable);
    if (!override.isEmpty())
        base = override;
    while (base.endsWith(QLatin1Char('/')))
        base.chop(1);
    return QUrl(base + QStringLiteral("/chat/completions"));
}

std::optional<QString> providerReasoningEffort(Provider provider, const QString &effort)
{
    // OpenAI takes every level but "max"; its highest is "xhigh".
    static const QHash<QString, QString> openAI{
        {QStringLiteral("none"), QStringLiteral("none")},     {QStringLiteral("minimal"), QStringLiteral("minimal")},
        {QStringLiteral("low"), QStringLiteral("low")},       {QStringLiteral("medium"), QStringLiteral("medium")},
        {QStringLiteral("high"), QStringLiteral("high")},     {QStringLiteral("xhigh"), QStringLiteral("xhigh")},
        {QStringLiteral("max"), QStringLiteral("xhigh")},
    };
    // Gemini's OpenAI-compatible interface takes minimal to high; its current models cannot
    // stop thinking altogether, so "none" asks for the least.
    static const QHash<QString, QString> gemini{
        {QStringLiteral("none"), QStringLiteral("minimal")},  {QStringLiteral("minimal"), QStringLiteral("minimal")},
        {QStringLiteral("low"), QStringLiteral("low")},       {QStringLiteral("medium"), QStringLiteral("medium")},
        {QStringLiteral("high"), QStringLiteral("high")},     {QStringLiteral("xhigh"), QStringLiteral("high")},
        {QStringLiteral("max"), QStringLiteral("high")},
    };
    // Mistral's adjustable reasoning is either off ("none") or on ("high").
    static const QHash<QString, QString> mistral{
        {QStringLiteral("none"), QStringLiteral("none")},     {QStringLiteral("minimal"), QStringLiteral("none")},
        {QStringLiteral("low"), QStringLiteral("none")},      {QStringLiteral("medium"), QStringLiteral("high")},
        {QStringLiteral("high"), QStringLiteral("high")},     {QStringLiteral("xhigh"), QStringLiteral("high")},
        {QStringLiteral("max"), QStringLiteral("high")},
    };
    const QHash<QString, QString> *table = nullptr;
    switch (provider) {
    case Provider::OpenAI:
        table = &openAI;
        break;
    case Provider::Gemini:
        table = &gemini;
        break;
    case Provider::Mistral:
        table = &mistral;
        break;
    case Provider::AppleSystem:
    case Provider::LlamaCpp:
        return std::nullopt;
    }
    const auto found = table->constFind(effort);
    if (found == table->constEnd())
        return std::nullopt;
    return *found;
}

} // namespace sorvane::agent
