#include "Services/Command/AgentTextRangeVerifier.h"

namespace sorvane::AgentTextRangeVerifier {

bool matches(const QString &expected, const QString &value, TextRange range)
{
    if (range.location < 0 || range.length != expected.size())
        return false;
    if (qint64(value.size()) - range.length < range.location)
        return false;
    return QStringView(value).mid(range.location, range.length) == expected;
}

} // namespace sorvane::AgentTextRangeVerifier
