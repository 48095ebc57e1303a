#pragma once

#include "Services/Shell/LoginItemController.h"

#include <QObject>
#include <QtQml/qqmlregistration.h>

namespace sorvane {

// The "Open at login" row's controller, made with the Behaviour area and gone with it,
// so a refusal it reports stays until the next try or the next settings screen.
class LoginItem : public LoginItemController {
    Q_OBJECT
    QML_ELEMENT
public:
    explicit LoginItem(QObject *parent = nullptr) : LoginItemController(QString(), QString(), parent) {}
};

// The desktop's light or dark preference for QML (the overlay preview's "Automatic"),
// from the program's one colour-scheme reader.
class DesktopAppearance : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(bool dark READ isDark NOTIFY changed)
public:
    explicit DesktopAppearance(QObject *parent = nullptr);
    bool isDark() const;
Q_SIGNALS:
    void changed();
};

} // namespace sorvane
