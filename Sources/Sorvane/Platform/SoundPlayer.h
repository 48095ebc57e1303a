#pragma once

#include "Dictation/DictationTypes.h"

namespace sorvane {

// Plays the completion sounds ("Pop", "Glass", "Tink", our own short sounds shipped as
// resources). At most one plays: playing another stops the first.
class SoundPlayer {
public:
    virtual ~SoundPlayer() = default;
    // Plays the sound at `volume` (0 to 1); false when it cannot be loaded.
    virtual bool play(CompletionSound sound, double volume) = 0;
    virtual void stop() = 0;
    virtual bool isPlaying() const = 0;
    // The desktop's bell, for a sound that cannot be loaded.
    virtual void beep() = 0;

    // The resource name of each sound, by setting: "Pop", "Glass", "Tink".
    static const char *soundName(CompletionSound sound);
};

} // namespace sorvane
