#pragma once

#include "Command/AgentModelDescriptor.h"
#include "Command/AgentWritingProvider.h"
#include "Dictation/SpeechModel.h"

#include <QString>
#include <optional>

namespace sorvane {

// What the Models screen, its two picker sheets and the onboarding's model page show of
// one model: texts, tags and which control a row ends with. Plain functions of what is
// known about the model, so that every screen says the same thing.
namespace ModelSheetRules {

// The control at the end of a sheet row, by precedence: a running download's bar, the
// "ACTIVE" tag, "Key", "Use", "Get".
enum class TrailingControl { Progress, Active, Key, Use, Get };
QString controlTitle(TrailingControl control);

// The Models screen's fact lines. "on disk" only of files that are there.
QString speechFact(const SpeechModel *model, bool installed);
QString writingFact(const std::optional<AgentModelDescriptor> &model, bool available);

// The small dark tag of a block: "VIA API" for a cloud writing model, else "ON THIS COMPUTER".
QString locationTag(const std::optional<AgentModelDescriptor> &writingModel);
inline QString onThisComputerTag() { return QStringLiteral("ON THIS COMPUTER"); }
inline QString viaAPITag() { return QStringLiteral("VIA API"); }

// Whole percent of a fraction from 0 to 1, cut (0.999 is 99) but never below what the
// fraction says in decimals (0.29 is 29, not 28).
int wholePercent(double progress);
QString percentText(double progress);

// One speech model as every list of speech models shows it.
struct SpeechRow {
    bool installed = false;
    bool downloading = false;
    double progress = 0;
    bool selected = false;
    TrailingControl control = TrailingControl::Get;
    QString status;   // "DOWNLOADED" / "DOWNLOAD"
    QString detail;   // languages · tier in lower case
    bool removable = false; // installed and not the shipped model
    bool recommended = false;
    friend bool operator==(const SpeechRow &, const SpeechRow &) = default;
};
SpeechRow speechRow(const SpeechModel &model, bool installed, bool downloading, double progress, bool selected);
// A selected model whose file is missing offers Get: "ACTIVE" would leave no way to fetch it.
TrailingControl speechControl(bool downloading, bool selected, bool installed);

// One writing model as the writing-model sheet shows it.
struct WritingRow {
    bool selected = false;
    bool downloading = false;
    double progress = 0;
    bool available = false;
    bool keyMissing = false;
    TrailingControl control = TrailingControl::Get;
    QString status;
    QString detail;
    bool removable = false; // a local model whose files are there
    AgentWritingProvider keyProvider = AgentWritingProvider::Local;
    friend bool operator==(const WritingRow &, const WritingRow &) = default;
};
WritingRow writingRow(const AgentModelDescriptor &model, bool selected, bool downloading, double progress,
                      bool available, bool keyStored);
// The on-device model never offers Get; a selected local model whose files are gone does.
TrailingControl writingControl(AgentModelProvider provider, bool downloading, bool selected, bool available,
                               bool keyMissing);
AgentWritingProvider keyProviderOf(AgentModelProvider provider);
bool isCloud(AgentModelProvider provider);

// The writing-model sheet's sections, in order.
enum class WritingSection { BuiltIn, Local, Cloud };
WritingSection sectionOf(AgentModelProvider provider);
struct SectionHeader {
    QString icon;
    QString title;
    QString detail;
    QString tag;
};
SectionHeader sectionHeader(WritingSection section);

// The footer's message: the sheet's own error, then the onboarding's download error,
// then the sheet's note.
struct FooterMessage {
    QString text;
    bool isError = false;
    friend bool operator==(const FooterMessage &, const FooterMessage &) = default;
};
FooterMessage footerMessage(const std::optional<QString> &sheetError, const std::optional<QString> &onboardingError,
                            const QString &note);
QString speechSheetNote();
QString writingSheetNote();

// The removal dialog's title; "model" when no model is pending.
QString removalTitle(const std::optional<QString> &modelName);

} // namespace ModelSheetRules
} // namespace sorvane
