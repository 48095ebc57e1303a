#pragma once

#include <QString>

namespace sorvane {

// Offsets into an element's text. The program counts in UTF-16 code units (what
// QString indexes); accessibility toolkits are meant to count characters (code
// points), but some (Qt among them) report UTF-16 units. Every conversion between
// the two goes through these functions.
enum class TextOffsetUnit { Utf16, CodePoint };

// The unit an element uses, judged from the character count it reports for its
// whole text. When the count cannot tell (a text without surrogate pairs counts the
// same both ways, or a count that matches neither), the toolkit's habit decides.
TextOffsetUnit detectTextOffsetUnit(const QString &text, qint64 reportedCharacterCount, const QString &toolkitName);

// An offset in `unit` as a UTF-16 offset into `text`, clamped to 0..text.size().
qint64 toUtf16Offset(const QString &text, qint64 offset, TextOffsetUnit unit);

// A UTF-16 offset into `text` in `unit`, clamped to the text. An offset inside a
// surrogate pair counts as the start of its character.
qint64 fromUtf16Offset(const QString &text, qint64 utf16Offset, TextOffsetUnit unit);

} // namespace sorvane
