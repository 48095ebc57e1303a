#pragma once

#include "Shared/Enumerations.h"
#include "Support/TextEnum.h"

#include <QMetaType>
#include <QObject>

namespace sorvane {

// The Dictation state shown by the overlay, the tray menu and the home screen.
// A value type for QML: `status.kind` (Sorvane.CaptureStatus.Recording, ...) and `status.text`.
class CaptureStatus {
    Q_GADGET
    Q_PROPERTY(Kind kind READ kind CONSTANT)
    Q_PROPERTY(QString text READ text CONSTANT)
public:
    enum class Kind { Success, Error, Idle, Recording, Processing };
    Q_ENUM(Kind)

    static CaptureStatus success(QString text) { return {Kind::Success, std::move(text)}; }
    static CaptureStatus error(QString message) { return {Kind::Error, std::move(message)}; }
    static CaptureStatus idle() { return {Kind::Idle, {}}; }
    static CaptureStatus recording() { return {Kind::Recording, {}}; }
    static CaptureStatus processing() { return {Kind::Processing, {}}; }

    CaptureStatus() = default;
    Kind kind() const { return m_kind; }
    // The text of a success or the message of an error; empty otherwise.
    const QString &text() const { return m_text; }

    friend bool operator==(const CaptureStatus &, const CaptureStatus &) = default;

private:
    CaptureStatus(Kind kind, QString text) : m_kind(kind), m_text(std::move(text)) {}
    Kind m_kind = Kind::Idle;
    QString m_text;
};

// AppSection, SettingsArea, OverlayAppearance, OverlaySize, CompletionSound and
// PermissionAttention are declared in Enumerations.h.

// Text values: exact, case-sensitive; any other text is no value.
template <> struct EnumText<AppSection> { static TextEntries<AppSection> table(); };
template <> struct EnumText<SettingsArea> { static TextEntries<SettingsArea> table(); };
template <> struct EnumText<OverlayAppearance> { static TextEntries<OverlayAppearance> table(); };
template <> struct EnumText<OverlaySize> { static TextEntries<OverlaySize> table(); };
template <> struct EnumText<CompletionSound> { static TextEntries<CompletionSound> table(); };


// Every case, in declaration order.

// The Dictation errors and their fixed messages.
class SorvaneError {
public:
    enum class Kind { TranscriptionFailed, NoModel, RecorderUnavailable, EmptyTranscript, MissingEngine };

    static SorvaneError transcriptionFailed(QString detail) { return {Kind::TranscriptionFailed, std::move(detail)}; }
    static SorvaneError noModel() { return {Kind::NoModel, {}}; }
    static SorvaneError recorderUnavailable() { return {Kind::RecorderUnavailable, {}}; }
    static SorvaneError emptyTranscript() { return {Kind::EmptyTranscript, {}}; }
    static SorvaneError missingEngine() { return {Kind::MissingEngine, {}}; }

    Kind kind() const { return m_kind; }
    const QString &detail() const { return m_detail; }
    QString message() const;

    friend bool operator==(const SorvaneError &, const SorvaneError &) = default;

private:
    SorvaneError(Kind kind, QString detail) : m_kind(kind), m_detail(std::move(detail)) {}
    Kind m_kind;
    QString m_detail;
};

} // namespace sorvane

Q_DECLARE_METATYPE(sorvane::CaptureStatus)
