#pragma once

#include "Platform/SystemLinks.h"

namespace sorvane {

// The desktop's settings pages: the sound settings (GNOME's Sound panel, else the
// PulseAudio volume control on its input tab) for the microphone; none for screen
// recording, which an X11 desktop does not gate.
class DesktopSystemLinks final : public SystemLinks {
public:
    bool open(Page page) override;
};

} // namespace sorvane
