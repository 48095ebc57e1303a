#pragma once

#include "Shared/Enumerations.h"
#include "Shared/ErrorResolution.h"

#include <QString>
#include <QUrl>
#include <optional>

namespace sorvane::SettingsTexts {

// The version as the Account area shows it: the short version, or an em dash without
// one, then " (build)" when the build number says something the short version does not
// ("1.2", "1.2 (45)", "— (45)").
QString buildLabel(const QString &shortVersion, const QString &build);

// The cloud providers in the order of their key rows.
QList<AgentWritingProvider> keyProviders();

// The Command model a provider's saved key makes active, and its name when the
// catalogue has none.
QString defaultModelID(AgentWritingProvider provider);

// The key row's detail line. Until the keyring has answered it says so, and a keyring
// that could not be read says why: neither is a missing key.
QString keyRowDetail(AgentWritingProvider provider, bool configured, bool keysLoaded, const QString &loadError);
// The row's button: "Close" while open, else "Replace" with a stored key and "Add" without.
QString keyRowButtonTitle(bool open, bool configured);
QString keyFieldPlaceholder(AgentWritingProvider provider, bool configured);
// The provider's page for creating and managing keys.
QUrl keyManagementPage(AgentWritingProvider provider);

// Whether "Save key" can be pressed: something besides spaces and newlines is typed,
// and no keyring job of that provider is still running.
bool canSaveKey(const QString &draft, bool pending);

QString savedMessage(const QString &modelName);
QString removedMessage();

// The title of the removal confirmation, for the provider awaiting it (or none).
QString removalTitle(std::optional<AgentWritingProvider> provider);

// Whether the Account area shows a banner for a resolution with this destination:
// only for keys and permissions.
bool accountShowsBanner(const std::optional<ErrorResolution> &resolution);
// Whether the Behaviour area shows it: a failure that leads to the Command settings
// (a stored file of those settings or of the conversations that could not be read or
// saved among them) would otherwise be shown by no screen of the main window.
bool behaviourShowsBanner(const std::optional<ErrorResolution> &resolution);
// Whether saving a key settles the banner: only a key's banner does.
bool savingKeyClearsBanner(const std::optional<ErrorResolution> &resolution);

QString permissionDetail(bool granted);
QString updatesDetail(bool configured);

} // namespace sorvane::SettingsTexts
