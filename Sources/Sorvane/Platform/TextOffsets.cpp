#include "TextOffsets.h"

#include <algorithm>

namespace sorvane {

namespace {

qint64 codePointCount(const QString &text)
{
    qint64 count = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            ++i;
        ++count;
    }
    return count;
}

} // namespace

TextOffsetUnit detectTextOffsetUnit(const QString &text, qint64 reportedCharacterCount, const QString &toolkitName)
{
    const qint64 points = codePointCount(text);
    if (points == text.size())
        return TextOffsetUnit::Utf16; // both units agree; nothing to convert
    if (reportedCharacterCount == text.size())
        return TextOffsetUnit::Utf16;
    if (reportedCharacterCount == points)
        return TextOffsetUnit::CodePoint;
    return toolkitName.compare(QLatin1String("Qt"), Qt::CaseInsensitive) == 0 ? TextOffsetUnit::Utf16
                                                                              : TextOffsetUnit::CodePoint;
}

qint64 toUtf16Offset(const QString &text, qint64 offset, TextOffsetUnit unit)
{
    if (offset <= 0)
        return 0;
    if (unit == TextOffsetUnit::Utf16)
        return std::min<qint64>(offset, text.size());
    qint64 index = 0;
    for (qint64 point = 0; point < offset && index < text.size(); ++point) {
        if (text.at(index).isHighSurrogate() && index + 1 < text.size() && text.at(index + 1).isLowSurrogate())
            index += 2;
        else
            index += 1;
    }
    return index;
}

qint64 fromUtf16Offset(const QString &text, qint64 utf16Offset, TextOffsetUnit unit)
{
    qint64 end = std::clamp<qint64>(utf16Offset, 0, text.size());
    if (end > 0 && end < text.size() && text.at(end).isLowSurrogate() && text.at(end - 1).isHighSurrogate())
        --end; // inside a pair: the character starts one unit earlier
    if (unit == TextOffsetUnit::Utf16)
        return end;
    return codePointCount(text.left(end));
}

} // namespace sorvane
