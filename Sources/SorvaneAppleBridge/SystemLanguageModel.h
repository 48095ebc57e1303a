#pragma once

#include "SorvaneAppleBridge/LanguageModel.h"

namespace sorvane::bridge {

// The system's on-device model on Linux. No system model exists here, so it reports the
// device as not eligible and never answers.
class SystemLanguageModel final : public LanguageModel {
public:
    bool isAvailable() override;
    ModelAvailability availability() override;
    ModelAnswer respond(const QString &instructions, const QString &prompt) override;
};

} // namespace sorvane::bridge
