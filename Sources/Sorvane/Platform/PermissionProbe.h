#pragma once

namespace sorvane {

// The three grants Dictation and Command depend on, as this desktop has them:
// microphone = an audio input device exists; accessibility = XTest is present and the
// AT-SPI bus is enabled; screen recording = a window grab works. Reading never asks
// the user anything.
class PermissionProbe {
public:
    virtual ~PermissionProbe() = default;
    virtual bool microphoneGranted() = 0;
    virtual bool accessibilityGranted() = 0;
    virtual bool screenRecordingGranted() = 0;

    // What asking amounts to here: the microphone is re-checked (there is nothing to
    // grant); accessibility turns the AT-SPI bus on and re-checks; screen recording
    // tries a grab. Each returns the grant afterwards.
    virtual bool requestMicrophone() = 0;
    virtual bool requestAccessibility() = 0;
    virtual bool requestScreenRecording() = 0;
};

} // namespace sorvane
