#pragma once

#include "Dictation/SpeechModel.h"

#include <QStringList>
#include <optional>

namespace sorvane {

// The custom vocabulary's rules: terms are trimmed, kept once whatever their letter
// case, and sorted by the locale's case-insensitive order.
namespace Vocabulary {

// The list with the term added, or none when the term is blank after trimming or is
// already there in some letter case.
std::optional<QStringList> adding(const QStringList &terms, const QString &term);
// The list without every entry exactly equal to the term.
QStringList removing(const QStringList &terms, const QString &term);
// Whether "Add term" is offered: the text has something besides spaces and tabs.
bool canAdd(const QString &fieldText);
// The sentence under the editor's title, which depends on the selected model's engine.
QString behaviourSentence(const SpeechModel *selectedModel);

} // namespace Vocabulary
} // namespace sorvane
