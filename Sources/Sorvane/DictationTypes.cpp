#include "DictationTypes.h"

#include <array>
#include <utility>

namespace sorvane {

namespace {

template <typename Enum, std::size_t N>
using TextTable = std::array<std::pair<Enum, const char *>, N>;

constexpr TextTable<AppSection, 4> appSections{{
    {AppSection::Home, "Home"}, {AppSection::History, "History"},
    {AppSection::Models, "Models"}, {AppSection::Settings, "Settings"}}};
constexpr TextTable<SettingsArea, 3> settingsAreas{{
    {SettingsArea::Shortcuts, "Shortcuts"}, {SettingsArea::Behaviour, "Behaviour"},
    {SettingsArea::Account, "Account"}}};
constexpr TextTable<OverlayAppearance, 3> overlayAppearances{{
    {OverlayAppearance::Automatic, "Automatic"}, {OverlayAppearance::Light, "Light"},
    {OverlayAppearance::Dark, "Dark"}}};
constexpr TextTable<OverlaySize, 2> overlaySizes{{
    {OverlaySize::Classic, "Classic"}, {OverlaySize::Mini, "Mini"}}};
constexpr TextTable<CompletionSound, 3> completionSounds{{
    {CompletionSound::SoftPop, "Soft pop"}, {CompletionSound::GlassChime, "Glass chime"},
    {CompletionSound::GentleTap, "Gentle tap"}}};

template <typename Enum, std::size_t N>
QString textOf(const TextTable<Enum, N> &table, Enum value)
{
    for (const auto &[item, text] : table)
        if (item == value)
            return QString::fromUtf8(text);
    return {};
}

template <typename Enum, std::size_t N>
std::optional<Enum> valueOf(const TextTable<Enum, N> &table, const QString &text)
{
    for (const auto &[item, itemText] : table)
        if (text == QLatin1String(itemText))
            return item;
    return std::nullopt;
}

template <typename Enum, std::size_t N>
QList<Enum> casesOf(const TextTable<Enum, N> &table)
{
    QList<Enum> cases;
    for (const auto &entry : table)
        cases.append(entry.first);
    return cases;
}

} // namespace

QString toText(AppSection value) { return textOf(appSections, value); }
QString toText(SettingsArea value) { return textOf(settingsAreas, value); }
QString toText(OverlayAppearance value) { return textOf(overlayAppearances, value); }
QString toText(OverlaySize value) { return textOf(overlaySizes, value); }
QString toText(CompletionSound value) { return textOf(completionSounds, value); }

template <> std::optional<AppSection> fromText<AppSection>(const QString &t) { return valueOf(appSections, t); }
template <> std::optional<SettingsArea> fromText<SettingsArea>(const QString &t) { return valueOf(settingsAreas, t); }
template <> std::optional<OverlayAppearance> fromText<OverlayAppearance>(const QString &t) { return valueOf(overlayAppearances, t); }
template <> std::optional<OverlaySize> fromText<OverlaySize>(const QString &t) { return valueOf(overlaySizes, t); }
template <> std::optional<CompletionSound> fromText<CompletionSound>(const QString &t) { return valueOf(completionSounds, t); }

template <> QList<AppSection> allCases<AppSection>() { return casesOf(appSections); }
template <> QList<SettingsArea> allCases<SettingsArea>() { return casesOf(settingsAreas); }
template <> QList<OverlayAppearance> allCases<OverlayAppearance>() { return casesOf(overlayAppearances); }
template <> QList<OverlaySize> allCases<OverlaySize>() { return casesOf(overlaySizes); }
template <> QList<CompletionSound> allCases<CompletionSound>() { return casesOf(completionSounds); }

QString SorvaneError::message() const
{
    switch (m_kind) {
    case Kind::TranscriptionFailed:
        // An empty detail gets the generic text; a blank detail is shown as it is.
        return m_detail.isEmpty() ? QStringLiteral("The local transcription failed.") : m_detail;
    case Kind::NoModel:
        return QStringLiteral("Download and select a speech model first.");
    case Kind::RecorderUnavailable:
        return QStringLiteral("Sorvane could not access the microphone.");
    case Kind::EmptyTranscript:
        return QStringLiteral("No speech was detected.");
    case Kind::MissingEngine:
        return QStringLiteral("The bundled local speech engine is missing.");
    }
    return {};
}

} // namespace sorvane
