#pragma once

#include <functional>
#include <memory>

namespace vovozodo {

class SoundDevice;
class Timer;

// What the main window needs from the platform for playback; tests provide
// fakes so they can raise device events and fire timer ticks by hand.
struct PlaybackServices {
    std::function<std::unique_ptr<SoundDevice>()> createSoundDevice;
    std::function<std::unique_ptr<Timer>()> createTimer;

    // The real wave-audio device and event-loop timers.
    static PlaybackServices system();
};

} // namespace vovozodo
