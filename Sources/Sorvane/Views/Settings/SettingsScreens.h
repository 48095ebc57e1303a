#pragma once

#include "Shared/Enumerations.h"

#include <QObject>
#include <QUrl>
#include <QVariant>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>

namespace sorvane {

// The texts and choices of the settings screens, for QML: each is one of the tested
// functions of the core. Providers and areas are their enumerations' numbers.
class SettingsScreens : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(QVariantList keyProviders READ keyProviders CONSTANT)
    Q_PROPERTY(QStringList areaTitles READ areaTitles CONSTANT)
    Q_PROPERTY(int shortcutsArea READ shortcutsArea CONSTANT)
    Q_PROPERTY(int behaviourArea READ behaviourArea CONSTANT)
    Q_PROPERTY(int accountArea READ accountArea CONSTANT)
    // This program's version and build, as the Account area shows them.
    Q_PROPERTY(QString buildLabel READ buildLabel CONSTANT)

public:
    using QObject::QObject;

    static QVariantList keyProviders();
    static QStringList areaTitles();
    static int shortcutsArea() { return int(SettingsArea::Shortcuts); }
    static int behaviourArea() { return int(SettingsArea::Behaviour); }
    static int accountArea() { return int(SettingsArea::Account); }
    static QString buildLabel();

    Q_INVOKABLE static QString providerName(int provider);
    Q_INVOKABLE static QString keyRowDetail(int provider, bool configured, bool keysLoaded, const QString &loadError);
    Q_INVOKABLE static QString keyRowButtonTitle(bool open, bool configured);
    Q_INVOKABLE static QString keyFieldPlaceholder(int provider, bool configured);
    Q_INVOKABLE static QUrl keyManagementPage(int provider);
    Q_INVOKABLE static bool canSaveKey(const QString &draft, bool pending);
    // Whether the Account area shows a banner for the state's errorResolution value.
    Q_INVOKABLE static bool accountShowsBanner(const QVariant &resolution);
    // Whether the Behaviour area shows one (a failure that leads to the Command settings).
    Q_INVOKABLE static bool behaviourShowsBanner(const QVariant &resolution);
    Q_INVOKABLE static QString permissionDetail(bool granted);
    Q_INVOKABLE static QString updatesDetail(bool configured);
    Q_INVOKABLE static QString tabAccessibilityValue(bool selected);
};

} // namespace sorvane
