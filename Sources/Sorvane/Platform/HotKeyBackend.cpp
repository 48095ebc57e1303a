#include "Platform/HotKeyBackend.h"

namespace sorvane {

Q_LOGGING_CATEGORY(lcHotKeys, "sorvane.hotkeys")

QString HotKeyError::message() const
{
    switch (m_kind) {
    case Kind::Unavailable:
        return QStringLiteral("Global shortcuts need an X11 session.");
    case Kind::UnknownKey:
        return QStringLiteral("This key is not on the keyboard.");
    case Kind::AlreadyRegistered:
        return QStringLiteral("This shortcut is already in use by Sorvane.");
    case Kind::TakenByAnotherClient:
        return QStringLiteral("Another application already uses this shortcut.");
    }
    return {};
}

} // namespace sorvane
