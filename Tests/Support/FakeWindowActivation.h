#pragma once

#include "Platform/WindowActivation.h"

#include <QStringList>

namespace sorvane::testing {

// Logs "activate" and "raise"; `hasMainWindow` false plays a program with only panels.
class FakeWindowActivation final : public WindowActivation {
public:
    bool hasMainWindow = true;
    QStringList calls;

    void activateApplication() override { calls.append(QStringLiteral("activate")); }
    bool raiseMainWindow() override
    {
        calls.append(hasMainWindow ? QStringLiteral("raise") : QStringLiteral("raise (none)"));
        return hasMainWindow;
    }
};

} // namespace sorvane::testing
