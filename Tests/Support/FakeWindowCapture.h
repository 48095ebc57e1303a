#pragma once

#include "Platform/WindowCapture.h"
#include <QImage>

namespace sorvane::testing {

// Window images of one colour, at the size asked for.
class FakeWindowCapture final : public WindowCapture {
public:
    bool isAccessGranted() override { return granted; }
    bool requestAccess() override
    {
        ++accessRequests;
        return granted;
    }
    std::optional<QImage> grab(quint64 window, QSize size) override
    {
        grabbedWindow = window;
        requestedSize = size;
        if (!works)
            return std::nullopt;
        QImage image(size, QImage::Format_RGB32);
        image.fill(Qt::darkCyan);
        return image;
    }

    bool granted = true;
    bool works = true;
    int accessRequests = 0;
    quint64 grabbedWindow = 0;
    QSize requestedSize;
};

} // namespace sorvane::testing
