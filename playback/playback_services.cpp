#include "playback/playback_services.h"

#include "playback/timer.h"
#include "playback/wave_audio_device.h"

namespace vovozodo {

PlaybackServices PlaybackServices::system() {
    return {
        [] { return std::unique_ptr<SoundDevice>(std::make_unique<WaveAudioDevice>()); },
        [] { return std::unique_ptr<Timer>(std::make_unique<EventLoopTimer>()); },
    };
}

} // namespace vovozodo
