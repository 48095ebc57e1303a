#include "MainWindow/Vocabulary.h"

#include <QCollator>
#include <algorithm>

namespace sorvane::Vocabulary {

std::optional<QStringList> adding(const QStringList &terms, const QString &term)
{
    const QString trimmed = term.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    for (const QString &existing : terms)
        if (existing.compare(trimmed, Qt::CaseInsensitive) == 0)
            return std::nullopt;
    QStringList next = terms;
    next.append(trimmed);
    // The user's order; a program run without a locale ("C") sorts as the common
    // (root) order does rather than by character codes.
    QLocale locale;
    if (locale.language() == QLocale::C)
        locale = QLocale(QLocale::English, QLocale::UnitedStates);
    QCollator collator(locale);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(next.begin(), next.end(),
                     [&](const QString &a, const QString &b) { return collator.compare(a, b) < 0; });
    return next;
}

QStringList removing(const QStringList &terms, const QString &term)
{
    QStringList next = terms;
    next.removeAll(term);
    return next;
}

bool canAdd(const QString &fieldText)
{
    return std::any_of(fieldText.cbegin(), fieldText.cend(),
                       [](QChar c) { return c.category() != QChar::Separator_Space && c != u'\t'; });
}

QString behaviourSentence(const SpeechModel *selectedModel)
{
    if (selectedModel && selectedModel->engine == SpeechEngine::Parakeet)
        return QStringLiteral("The Parakeet runtime has no vocabulary-prompt input, so Sorvane corrects the "
                              "capitalization of matching words after recognition. Terms stay on this computer.");
    return (selectedModel ? selectedModel->name : QStringLiteral("Whisper"))
           + QStringLiteral(" receives these terms before each dictation. They bias spelling but cannot "
                            "guarantee it, and they stay on this computer.");
}

} // namespace sorvane::Vocabulary
