#include "SettingsScreens.h"

#include "BuildConfig.h"
#include "MainWindow/MainWindowLayout.h"
#include "Services/Command/CloudAPIKeychainStore.h"
#include "Settings/SettingsTexts.h"

namespace sorvane {

QVariantList SettingsScreens::keyProviders()
{
    QVariantList list;
    for (const auto provider : SettingsTexts::keyProviders())
        list.append(int(provider));
    return list;
}

QStringList SettingsScreens::areaTitles()
{
    return {QStringLiteral("Shortcuts"), QStringLiteral("Behaviour"), QStringLiteral("Account")};
}

QString SettingsScreens::buildLabel()
{
    return SettingsTexts::buildLabel(QStringLiteral(SORVANE_VERSION), QStringLiteral(SORVANE_BUILD));
}

QString SettingsScreens::providerName(int provider) { return providerDisplayName(AgentWritingProvider(provider)); }

QString SettingsScreens::keyRowDetail(int provider, bool configured, bool keysLoaded, const QString &loadError)
{
    return SettingsTexts::keyRowDetail(AgentWritingProvider(provider), configured, keysLoaded, loadError);
}

QString SettingsScreens::keyRowButtonTitle(bool open, bool configured) { return SettingsTexts::keyRowButtonTitle(open, configured); }

QString SettingsScreens::keyFieldPlaceholder(int provider, bool configured)
{
    return SettingsTexts::keyFieldPlaceholder(AgentWritingProvider(provider), configured);
}

QUrl SettingsScreens::keyManagementPage(int provider) { return SettingsTexts::keyManagementPage(AgentWritingProvider(provider)); }

bool SettingsScreens::canSaveKey(const QString &draft, bool pending) { return SettingsTexts::canSaveKey(draft, pending); }

bool SettingsScreens::accountShowsBanner(const QVariant &resolution)
{
    if (resolution.metaType() != QMetaType::fromType<ErrorResolution>())
        return false;
    return SettingsTexts::accountShowsBanner(resolution.value<ErrorResolution>());
}

bool SettingsScreens::behaviourShowsBanner(const QVariant &resolution)
{
    if (resolution.metaType() != QMetaType::fromType<ErrorResolution>())
        return false;
    return SettingsTexts::behaviourShowsBanner(resolution.value<ErrorResolution>());
}

QString SettingsScreens::permissionDetail(bool granted) { return SettingsTexts::permissionDetail(granted); }
QString SettingsScreens::updatesDetail(bool configured) { return SettingsTexts::updatesDetail(configured); }
QString SettingsScreens::tabAccessibilityValue(bool selected) { return MainWindowLayout::sectionAccessibilityValue(selected); }

} // namespace sorvane
