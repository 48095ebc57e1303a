#pragma once

#include "State/Presenters/OverlayPresenter.h"

#include <QStringList>

namespace sorvane::testing {

// Logs "show", "hide" and "resetPosition" and keeps whether the overlay is up.
class RecordingOverlayPresenter final : public OverlayPresenter {
public:
    QStringList calls;
    bool presented = false;

    void show() override
    {
        calls.append(QStringLiteral("show"));
        presented = true;
    }
    void hide() override
    {
        calls.append(QStringLiteral("hide"));
        presented = false;
    }
    bool isPresented() const override { return presented; }
    void resetPosition() override { calls.append(QStringLiteral("resetPosition")); }
};

} // namespace sorvane::testing
