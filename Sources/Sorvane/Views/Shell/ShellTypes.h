#pragma once

#include "Services/Shell/LoginItemController.h"

#include <QtQml/qqmlregistration.h>

namespace sorvane {

// The settings screen makes its own login-item controller, one per screen.
class LoginItemControllerItem : public LoginItemController {
    Q_OBJECT
    QML_NAMED_ELEMENT(LoginItemController)
public:
    explicit LoginItemControllerItem(QObject *parent = nullptr) : LoginItemController(QString(), QString(), parent) {}
};

} // namespace sorvane
