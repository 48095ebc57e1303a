#include "X11WindowCapture.h"

#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

namespace sorvane {

bool X11WindowCapture::isAccessGranted()
{
    return QGuiApplication::platformName() == QLatin1String("xcb") && QGuiApplication::primaryScreen();
}

bool X11WindowCapture::requestAccess()
{
    return isAccessGranted();
}

std::optional<QImage> X11WindowCapture::grab(quint64 window, QSize size)
{
    if (!isAccessGranted() || window == 0)
        return std::nullopt;
    QImage image = QGuiApplication::primaryScreen()->grabWindow(WId(window)).toImage();
    if (image.isNull())
        return std::nullopt;
    image.setDevicePixelRatio(1.0);
    if (size.isValid() && image.size() != size)
        image = image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return image;
}

} // namespace sorvane
