#pragma once

#include <QString>

namespace sorvane {

// Counting and cutting text by user-perceived characters (grapheme clusters), so an
// emoji, a flag or a letter with combining marks counts once and is never split.
int userPerceivedLength(const QString &text);
QString userPerceivedPrefix(const QString &text, int count);

} // namespace sorvane
