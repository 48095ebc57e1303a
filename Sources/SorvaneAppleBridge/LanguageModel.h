#pragma once

#include <QString>

namespace sorvane::bridge {

// What the system says about its on-device model. Reasons the bridge does not tell apart
// (including those a later system may add) are all `Unavailable`.
enum class ModelAvailability {
    Available,
    DeviceNotEligible,
    ModelNotReady,
    Unavailable,
};

// One answer of the model, or the description of why it gave none.
struct ModelAnswer {
    bool answered = false;
    QString text;
    QString error;

    static ModelAnswer success(QString text) { return {true, std::move(text), {}}; }
    static ModelAnswer failure(QString error) { return {false, {}, std::move(error)}; }
};

// The system's default on-device language model. One instance serves the availability test
// and the answer, so both speak of the same model.
class LanguageModel {
public:
    virtual ~LanguageModel() = default;

    // True when the model can answer now.
    virtual bool isAvailable() = 0;
    // Why it cannot; asked only after isAvailable() said false, and the state may have
    // changed in between.
    virtual ModelAvailability availability() = 0;
    // A fresh conversation with these instructions (passed as they are, also when empty),
    // asked once to answer the prompt with the model's own generation defaults.
    virtual ModelAnswer respond(const QString &instructions, const QString &prompt) = 0;
};

} // namespace sorvane::bridge
