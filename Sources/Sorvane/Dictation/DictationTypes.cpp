#include "Dictation/DictationTypes.h"

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

TextEntries<AppSection> EnumText<AppSection>::table() { return appSections; }
TextEntries<SettingsArea> EnumText<SettingsArea>::table() { return settingsAreas; }
TextEntries<OverlayAppearance> EnumText<OverlayAppearance>::table() { return overlayAppearances; }
TextEntries<OverlaySize> EnumText<OverlaySize>::table() { return overlaySizes; }
TextEntries<CompletionSound> EnumText<CompletionSound>::table() { return completionSounds; }

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
