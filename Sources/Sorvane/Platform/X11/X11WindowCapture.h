#pragma once

#include "Platform/WindowCapture.h"

namespace sorvane {

// Window images read from the X server through the toolkit's own connection. X11
// asks no permission: access is there whenever the program runs on an X display.
class X11WindowCapture final : public WindowCapture {
public:
    bool isAccessGranted() override;
    bool requestAccess() override;
    std::optional<QImage> grab(quint64 window, QSize size) override;
};

} // namespace sorvane
