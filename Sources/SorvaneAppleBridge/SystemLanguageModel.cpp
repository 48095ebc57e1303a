#include "SorvaneAppleBridge/SystemLanguageModel.h"

#include "SorvaneAppleBridge/Bridge.h"

namespace sorvane::bridge {

bool SystemLanguageModel::isAvailable()
{
    return false;
}

ModelAvailability SystemLanguageModel::availability()
{
    return ModelAvailability::DeviceNotEligible;
}

ModelAnswer SystemLanguageModel::respond(const QString &, const QString &)
{
    // Only reached by a caller that skipped the availability test.
    return ModelAnswer::failure(unavailableMessage(availability()));
}

} // namespace sorvane::bridge
