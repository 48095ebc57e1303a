#include "DictationTypes.h"

namespace sorvane {

namespace {

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

} // namespace

QString toText(AppSection value) { return toTextTable(appSections, value); }
QString toText(SettingsArea value) { return toTextTable(settingsAreas, value); }
QString toText(OverlayAppearance value) { return toTextTable(overlayAppearances, value); }
QString toText(OverlaySize value) { return toTextTable(overlaySizes, value); }
QString toText(CompletionSound value) { return toTextTable(completionSounds, value); }

template <> std::optional<AppSection> fromText<AppSection>(const QString &t) { return fromTextTable<AppSection>(appSections, t); }
template <> std::optional<SettingsArea> fromText<SettingsArea>(const QString &t) { return fromTextTable<SettingsArea>(settingsAreas, t); }
template <> std::optional<OverlayAppearance> fromText<OverlayAppearance>(const QString &t) { return fromTextTable<OverlayAppearance>(overlayAppearances, t); }
template <> std::optional<OverlaySize> fromText<OverlaySize>(const QString &t) { return fromTextTable<OverlaySize>(overlaySizes, t); }
template <> std::optional<CompletionSound> fromText<CompletionSound>(const QString &t) { return fromTextTable<CompletionSound>(completionSounds, t); }

template <> QList<AppSection> allCases<AppSection>() { return casesOfTable<AppSection>(appSections); }
template <> QList<SettingsArea> allCases<SettingsArea>() { return casesOfTable<SettingsArea>(settingsAreas); }
template <> QList<OverlayAppearance> allCases<OverlayAppearance>() { return casesOfTable<OverlayAppearance>(overlayAppearances); }
template <> QList<OverlaySize> allCases<OverlaySize>() { return casesOfTable<OverlaySize>(overlaySizes); }
template <> QList<CompletionSound> allCases<CompletionSound>() { return casesOfTable<CompletionSound>(completionSounds); }

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
