#pragma once

#include <QList>
#include <QString>
#include <array>
#include <optional>
#include <span>
#include <utility>

namespace sorvane {

// Enumerations stored or exchanged by a text value declare one trait next to their own
// declaration, and define its table beside their code:
//   template <> struct EnumText<Enum> { static TextEntries<Enum> table(); };
// The table lists every case in declaration order with its exact text. From it:
//   toText(value)          -- the exact text value
//   fromText<Enum>(text)   -- exact, case-sensitive; any other text is no value
//   allCases<Enum>()       -- every case, in declaration order
template <typename Enum>
struct EnumText;

template <typename Enum>
using TextEntries = std::span<const std::pair<Enum, const char *>>;

// A fixed table of {case, text} pairs, in declaration order.
template <typename Enum, std::size_t N>
using TextTable = std::array<std::pair<Enum, const char *>, N>;

template <typename Enum>
concept TextEnumeration = std::is_enum_v<Enum> && requires {
    { EnumText<Enum>::table() } -> std::convertible_to<TextEntries<Enum>>;
};

template <TextEnumeration Enum>
QString toText(Enum value)
{
    for (const auto &[item, text] : EnumText<Enum>::table())
        if (item == value)
            return QString::fromUtf8(text);
    return {};
}

template <TextEnumeration Enum>
std::optional<Enum> fromText(const QString &text)
{
    for (const auto &[value, valueText] : EnumText<Enum>::table())
        if (text == QLatin1String(valueText))
            return value;
    return std::nullopt;
}

template <TextEnumeration Enum>
QList<Enum> allCases()
{
    QList<Enum> cases;
    for (const auto &entry : EnumText<Enum>::table())
        cases.append(entry.first);
    return cases;
}

} // namespace sorvane
