#pragma once

#include "Platform/WindowActivation.h"

namespace sorvane {

// Brings the program's main window forward among its top-level Qt windows: the first
// ordinary window (not a tool window such as the overlay, a popup or a tooltip), shown
// again when the user had closed it.
class QtWindowActivation final : public WindowActivation {
public:
    void activateApplication() override;
    bool raiseMainWindow() override;
};

} // namespace sorvane
