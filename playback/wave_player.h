#pragma once

#include "playback/sound_device.h"

#include <functional>
#include <memory>

namespace vovozodo {

// The wave-audio device's state: the open recording, where the next play
// starts, and the play under way on the sound server. Its operations are the
// device's. Done(Successful) is raised only when a play has reached the end of
// its recording as heard; a play cut short by close, open or rewind, a file
// that cannot be opened and an output that fails never raise it.
class WavePlayer {
public:
    struct Listener {
        // The end of every play, always as an event of its own on the
        // context's thread, never from inside a call.
        std::function<void(SoundDevice::NotifyCode)> done;
        // The state after a call, or after the play ended on its own.
        std::function<void(SoundDevice::State)> stateChanged;
    };

    WavePlayer(QObject *context, Listener listener);
    ~WavePlayer();
    WavePlayer(const WavePlayer &) = delete;
    WavePlayer &operator=(const WavePlayer &) = delete;

    void close();
    void open(const QString &windowsPath);
    void play();
    void rewind();

    SoundDevice::State state() const;

    // Of the open recording, in milliseconds; 0 when nothing is open.
    qint32 lengthMs() const;
    qint32 positionMs() const;

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace vovozodo
