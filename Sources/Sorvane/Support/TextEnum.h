#pragma once

#include <QList>
#include <QString>
#include <array>
#include <optional>
#include <utility>

namespace sorvane {

// Enumerations stored or exchanged by a text value follow one pattern:
//   QString toText(Enum)                 -- the exact text value
//   fromText<Enum>(text)                 -- exact, case-sensitive; any other text is no value
//   allCases<Enum>()                     -- every case, in declaration order
// Each enumeration specialises the two templates next to its own declaration.
template <typename Enum> std::optional<Enum> fromText(const QString &text);
template <typename Enum> QList<Enum> allCases();

// A fixed table of {case, text} pairs, in declaration order.
template <typename Enum, std::size_t N>
using TextTable = std::array<std::pair<Enum, const char *>, N>;

// Helpers that implement the three functions from such a table.
template <typename Enum, typename Table>
std::optional<Enum> fromTextTable(const Table &table, const QString &text)
{
    for (const auto &[value, valueText] : table)
        if (text == QLatin1String(valueText))
            return value;
    return std::nullopt;
}

template <typename Enum, typename Table>
QString toTextTable(const Table &table, Enum value)
{
    for (const auto &[item, text] : table)
        if (item == value)
            return QString::fromUtf8(text);
    return {};
}

template <typename Enum, typename Table>
QList<Enum> casesOfTable(const Table &table)
{
    QList<Enum> cases;
    for (const auto &entry : table)
        cases.append(entry.first);
    return cases;
}

} // namespace sorvane
