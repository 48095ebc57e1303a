#include "Platform/SoundPlayer.h"

namespace sorvane {

const char *SoundPlayer::soundName(CompletionSound sound)
{
    switch (sound) {
    case CompletionSound::SoftPop: return "Pop";
    case CompletionSound::GlassChime: return "Glass";
    case CompletionSound::GentleTap: return "Tink";
    }
    return "Glass";
}

} // namespace sorvane
