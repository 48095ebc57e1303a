#pragma once

#include "Platform/WindowSystem.h"

namespace sorvane::testing {

// The running applications and windows as the test sets them.
class FakeWindowSystem final : public WindowSystem {
public:
    std::optional<RunningApplication> frontmostApplication() override { return frontmost; }
    std::optional<RunningApplication> applicationForProcess(qint64 processId) override
    {
        for (const RunningApplication &application : applications)
            if (application.processId == processId)
                return application;
        return std::nullopt;
    }
    bool isRunning(const RunningApplication &application) override
    {
        return !quitProcesses.contains(application.processId);
    }
    void requestActivation(const RunningApplication &application) override
    {
        activationRequests.append(application);
        if (activationWorks)
            frontmost = application;
    }
    QList<WindowInfo> windowsFrontToBack() override { return windows; }

    QList<RunningApplication> applications;
    std::optional<RunningApplication> frontmost;
    QList<qint64> quitProcesses;
    bool activationWorks = true;
    QList<RunningApplication> activationRequests;
    QList<WindowInfo> windows;
};

} // namespace sorvane::testing
