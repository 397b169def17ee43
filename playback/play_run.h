#pragma once

#include "playback/play_feed.h"
#include "playback/precise_alarm.h"
#include "playback/wave_file.h"

#include <QElapsedTimer>
#include <QTimer>

#include <functional>
#include <memory>

class QObject;

namespace vovozodo {

class PulseStream;

// One play on the sound server, from its start to its end as heard: waits for
// the stream, feeds it the recording, follows its clock to the last sample,
// and gives up on a stream whose clock has stopped. The stream is the
// player's, kept between plays; the run looks it up in `stream` each time, as
// the player may let it go.
class PlayRun {
public:
    using Frames = WaveFile::Frames;

    // A stream whose clock has not moved for this long is taken as hung. A
    // fresh stream may start well over a second late on an idle server. A
    // server that does not answer at all is given up on after the same time.
    static constexpr qint64 kStallTimeoutMs = 6000;

    enum class Fault {
        NotHandedOver, // the stream took no more, or the file could not be read
        Stalled,       // the clock has not moved for kStallTimeoutMs
    };
    struct Listener {
        // Heard to its end.
        std::function<void()> ended;
        // Cannot go on; the run is still under way until stop().
        std::function<void(Fault)> failed;
        // After the run has looked at its stream on its own (an alarm, the
        // watchdog), whatever it found.
        std::function<void()> looked;
    };

    PlayRun(QObject *context, const std::unique_ptr<PulseStream> &stream, Listener listener);
    PlayRun(const PlayRun &) = delete;
    PlayRun &operator=(const PlayRun &) = delete;

    bool isActive() const { return m_phase != Phase::None; }

    // Starts a run over `file` from `startFrame` (read next) to its end; it
    // waits for the stream until streamChanged() finds it ready.
    void begin(WaveFile &file, Frames startFrame);
    // The stream became ready, asked for more, or its clock has been read.
    void streamChanged();
    // Ends the run at once, dropping what has not been heard.
    void stop();

    // Of the file, the frame heard last; only while active.
    Frames heardFrame() const;

private:
    enum class Phase { None, WaitingForStream, Running };

    void startRunning();
    void keepRunning();
    void checkEnd();
    void endAlarmFired();
    void checkStall();

    const std::unique_ptr<PulseStream> &m_stream;
    Listener m_listener;
    Phase m_phase = Phase::None;
    WaveFile *m_file = nullptr;
    Frames m_startFrame = 0;
    PlayFeed m_feed;
    qint64 m_playUsecs = 0;          // audible length of the play
    mutable qint64 m_heardUsecs = 0; // the latest clock reading; kept when the stream fails
    qint64 m_lastReadBytes = -1;
    QElapsedTimer m_sinceProgress;
    PreciseAlarm m_endAlarm;
    QTimer m_watchdog;
};

} // namespace vovozodo
