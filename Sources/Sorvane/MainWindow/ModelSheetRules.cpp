#include "MainWindow/ModelSheetRules.h"

#include <algorithm>
#include <cmath>

namespace sorvane::ModelSheetRules {

namespace {

const QString dot = QStringLiteral(" \u00b7 ");
const QString shippedSpeechModelID = QStringLiteral("pocket");

QString modality(const AgentModelDescriptor &model)
{
    return model.capabilities.images ? QStringLiteral("text and images") : QStringLiteral("text only");
}

QString sizeOnDisk(const QString &sizeLabel, bool present)
{
    if (present)
        return sizeLabel + QStringLiteral(" on disk");
    return sizeLabel + dot + QStringLiteral("not downloaded");
}

} // namespace

QString controlTitle(TrailingControl control)
{
    switch (control) {
    case TrailingControl::Progress: return {};
    case TrailingControl::Active: return QStringLiteral("ACTIVE");
    case TrailingControl::Key: return QStringLiteral("Key");
    case TrailingControl::Use: return QStringLiteral("Use");
    case TrailingControl::Get: return QStringLiteral("Get");
    }
    return {};
}

QString speechFact(const SpeechModel *model, bool installed)
{
    if (!model)
        return QStringLiteral("Choose a speech model to start dictating");
    return model->officialName + dot + model->languageSummary + dot + sizeOnDisk(model->sizeLabel, installed);
}

QString writingFact(const std::optional<AgentModelDescriptor> &model, bool available)
{
    if (!model)
        return QStringLiteral("Choose a writing model for Command");
    switch (model->provider) {
    case AgentModelProvider::AppleSystem:
        return QStringLiteral("Built in") + dot + modality(*model) + dot + QStringLiteral("no download");
    case AgentModelProvider::LlamaCPP:
        return model->officialName + dot + modality(*model) + dot + sizeOnDisk(model->sizeLabel, available);
    case AgentModelProvider::OpenAI:
    case AgentModelProvider::Gemini:
    case AgentModelProvider::Mistral:
        return model->officialName + dot + modality(*model) + dot + model->organization + QStringLiteral(" API");
    }
    return {};
}

bool isCloud(AgentModelProvider provider)
{
    return provider == AgentModelProvider::OpenAI || provider == AgentModelProvider::Gemini
        || provider == AgentModelProvider::Mistral;
}

QString locationTag(const std::optional<AgentModelDescriptor> &writingModel)
{
    return writingModel && isCloud(writingModel->provider) ? viaAPITag() : onThisComputerTag();
}

int wholePercent(double progress)
{
    if (!std::isfinite(progress))
        return 0;
    // 0.29 × 100 is 28.999…96 in binary: cut only after the representation error.
    const double percent = std::floor(progress * 100.0 + 1e-7);
    return int(std::clamp(percent, 0.0, 100.0));
}

QString percentText(double progress)
{
    return QString::number(wholePercent(progress)) + QLatin1Char('%');
}

TrailingControl speechControl(bool downloading, bool selected, bool installed)
{
    if (downloading)
        return TrailingControl::Progress;
    if (selected && installed)
        return TrailingControl::Active;
    if (installed)
        return TrailingControl::Use;
    return TrailingControl::Get;
}

SpeechRow speechRow(const SpeechModel &model, bool installed, bool downloading, double progress, bool selected)
{
    SpeechRow row;
    row.installed = installed;
    row.downloading = downloading;
    row.progress = downloading ? std::clamp(progress, 0.0, 1.0) : 0.0;
    row.selected = selected;
    row.control = speechControl(downloading, selected, installed);
    row.status = installed ? QStringLiteral("DOWNLOADED") : QStringLiteral("DOWNLOAD");
    row.detail = model.languageSummary + dot + model.tier.toLower();
    row.removable = installed && model.id != shippedSpeechModelID;
    row.recommended = model.id == shippedSpeechModelID || model.id == QLatin1String("velocity");
    return row;
}

AgentWritingProvider keyProviderOf(AgentModelProvider provider)
{
    switch (provider) {
    case AgentModelProvider::OpenAI: return AgentWritingProvider::OpenAI;
    case AgentModelProvider::Gemini: return AgentWritingProvider::Gemini;
    case AgentModelProvider::Mistral: return AgentWritingProvider::Mistral;
    case AgentModelProvider::AppleSystem:
    case AgentModelProvider::LlamaCPP: return AgentWritingProvider::Local;
    }
    return AgentWritingProvider::Local;
}

TrailingControl writingControl(AgentModelProvider provider, bool downloading, bool selected, bool available,
                               bool keyMissing)
{
    if (downloading)
        return TrailingControl::Progress;
    // The on-device model has nothing to fetch: it counts as available whatever this
    // computer has, and its row says why a Command with it fails.
    if (provider == AgentModelProvider::AppleSystem)
        available = true;
    if (selected && (available || isCloud(provider)))
        return TrailingControl::Active;
    if (keyMissing)
        return TrailingControl::Key;
    if (available)
        return TrailingControl::Use;
    return TrailingControl::Get;
}

WritingRow writingRow(const AgentModelDescriptor &model, bool selected, bool downloading, double progress,
                      bool available, bool keyStored)
{
    WritingRow row;
    row.selected = selected;
    row.downloading = downloading;
    row.progress = downloading ? std::clamp(progress, 0.0, 1.0) : 0.0;
    row.available = model.provider == AgentModelProvider::AppleSystem || available;
    row.keyMissing = isCloud(model.provider) && !keyStored;
    row.keyProvider = keyProviderOf(model.provider);
    row.control = writingControl(model.provider, downloading, selected, row.available, row.keyMissing);
    switch (model.provider) {
    case AgentModelProvider::AppleSystem:
        row.status = QStringLiteral("BUILT IN");
        // Linux has no on-device model: say so before a Command fails with it.
        row.detail = QStringLiteral("No on-device model on this computer");
        break;
    case AgentModelProvider::LlamaCPP:
        row.status = row.available ? QStringLiteral("DOWNLOADED") : QStringLiteral("DOWNLOAD");
        row.detail = model.organization + dot + model.officialName;
        row.removable = row.available;
        break;
    case AgentModelProvider::OpenAI:
    case AgentModelProvider::Gemini:
    case AgentModelProvider::Mistral:
        row.status = row.keyMissing ? QStringLiteral("KEY NEEDED") : QStringLiteral("API READY");
        row.detail = model.organization + dot + model.officialName;
        break;
    }
    return row;
}

WritingSection sectionOf(AgentModelProvider provider)
{
    switch (provider) {
    case AgentModelProvider::AppleSystem: return WritingSection::BuiltIn;
    case AgentModelProvider::LlamaCPP: return WritingSection::Local;
    default: return WritingSection::Cloud;
    }
}

SectionHeader sectionHeader(WritingSection section)
{
    switch (section) {
    case WritingSection::BuiltIn:
        return {QStringLiteral("apple.logo"), QStringLiteral("Built into the system"),
                QStringLiteral("Private and ready without an extra download"), QStringLiteral("SYSTEM")};
    case WritingSection::Local:
        return {QStringLiteral("internaldrive"), QStringLiteral("Local downloads"),
                QStringLiteral("Private and available offline after download"), onThisComputerTag()};
    case WritingSection::Cloud:
        return {QStringLiteral("cloud"), QStringLiteral("Cloud API"),
                QStringLiteral("Uses your provider key and is billed by the provider"), viaAPITag()};
    }
    return {};
}

FooterMessage footerMessage(const std::optional<QString> &sheetError, const std::optional<QString> &onboardingError,
                            const QString &note)
{
    if (sheetError && !sheetError->isEmpty())
        return {*sheetError, true};
    if (onboardingError && !onboardingError->isEmpty())
        return {*onboardingError, true};
    return {note, false};
}

QString speechSheetNote() { return QStringLiteral("Downloaded models can be removed here."); }
QString writingSheetNote() { return QStringLiteral("Cloud models need a key in Settings \u203a Account."); }

QString removalTitle(const std::optional<QString> &modelName)
{
    return QStringLiteral("Remove ") + (modelName && !modelName->isEmpty() ? *modelName : QStringLiteral("model"))
        + QLatin1Char('?');
}

} // namespace sorvane::ModelSheetRules
