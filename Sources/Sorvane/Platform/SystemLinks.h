#pragma once

namespace sorvane {

// The desktop's settings pages that the permission rows point to. On this desktop the
// microphone page is the sound settings where such a program is installed; there is
// no screen-recording page, so opening it may do nothing.
class SystemLinks {
public:
    enum class Page { Microphone, ScreenRecording };
    virtual ~SystemLinks() = default;
    // False when the desktop has no such page.
    virtual bool open(Page page) = 0;
};

} // namespace sorvane
