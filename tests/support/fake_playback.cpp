#include "support/fake_playback.h"

namespace vovozodo {

PlaybackServices FakePlayback::services() {
    return {
        [this] {
            auto device = std::make_unique<FakeSoundDevice>();
            m_devices << device.get();
            return std::unique_ptr<SoundDevice>(std::move(device));
        },
        [this] {
            auto timer = std::make_unique<ManualTimer>();
            m_timers << timer.get();
            return std::unique_ptr<Timer>(std::move(timer));
        },
    };
}

} // namespace vovozodo
