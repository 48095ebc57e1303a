#include "Shared/UserPerceivedText.h"

#include <QTextBoundaryFinder>

namespace sorvane {

int userPerceivedLength(const QString &text)
{
    if (text.isEmpty())
        return 0;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    int count = 0;
    while (finder.toNextBoundary() >= 0)
        ++count;
    return count;
}

QString userPerceivedPrefix(const QString &text, int count)
{
    if (count <= 0 || text.isEmpty())
        return {};
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    int seen = 0;
    for (qsizetype end = finder.toNextBoundary(); end >= 0; end = finder.toNextBoundary())
        if (++seen == count)
            return text.left(end);
    return text;
}

} // namespace sorvane
