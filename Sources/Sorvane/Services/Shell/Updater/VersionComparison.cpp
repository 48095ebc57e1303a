#include "Services/Shell/Updater/VersionComparison.h"

#include <QList>

namespace sorvane {

namespace {

struct Component {
    bool isNumber = false;
    QString digits; // leading zeros removed, so longer means larger
    QString text;   // lower case
};

QList<Component> componentsOf(const QString &version)
{
    QList<Component> parts;
    const QString v = version.trimmed();
    qsizetype i = 0;
    while (i < v.size()) {
        const QChar c = v.at(i);
        if (c.isDigit()) {
            qsizetype end = i;
            while (end < v.size() && v.at(end).isDigit())
                ++end;
            QString digits = v.mid(i, end - i);
            while (digits.size() > 1 && digits.startsWith(QLatin1Char('0')))
                digits.remove(0, 1);
            parts.append({true, digits, {}});
            i = end;
        } else if (c.isLetter()) {
            qsizetype end = i;
            while (end < v.size() && v.at(end).isLetter())
                ++end;
            parts.append({false, {}, v.mid(i, end - i).toLower()});
            i = end;
        } else {
            ++i; // separators only divide components
        }
    }
    return parts;
}

int compareNumbers(const QString &a, const QString &b)
{
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    return a.compare(b);
}

} // namespace

int compareVersions(const QString &a, const QString &b)
{
    const QList<Component> left = componentsOf(a);
    const QList<Component> right = componentsOf(b);
    const qsizetype count = std::max(left.size(), right.size());
    for (qsizetype i = 0; i < count; ++i) {
        const bool haveLeft = i < left.size();
        const bool haveRight = i < right.size();
        // An absent component reads as 0 against a number and as a release (newer)
        // against a pre-release text.
        const Component l = haveLeft ? left.at(i) : Component{true, QStringLiteral("0"), {}};
        const Component r = haveRight ? right.at(i) : Component{true, QStringLiteral("0"), {}};
        if (l.isNumber && r.isNumber) {
            if (const int c = compareNumbers(l.digits, r.digits); c != 0)
                return c;
            continue;
        }
        if (!l.isNumber && !r.isNumber) {
            if (const int c = l.text.compare(r.text); c != 0)
                return c < 0 ? -1 : 1;
            continue;
        }
        // Text against a number: the text is a pre-release, older than the number
        // (also when the number is an absent 0: "1.2b" before "1.2").
        return l.isNumber ? 1 : -1;
    }
    return 0;
}

} // namespace sorvane
