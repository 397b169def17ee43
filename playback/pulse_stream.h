#pragma once

#include "handles/pulse_handles.h"

#include <QtGlobal>

#include <functional>
#include <list>
#include <optional>

namespace vovozodo {

class PulseConnection;

// A playback stream of 16-bit frames on the server, kept for as long as the
// recordings played have its format. It waits corked between plays, so that
// a play only writes its first blocks and uncorks: a new stream would take
// several round trips to the server before the first sample is heard.
//
// The clock is this class's own, read from timing replies the caller asks
// for (libpulse's automatic updates would wake the process on an idle
// stream): what has been heard of the current run is the server's read
// position less what its sink still holds, carried forward by the time since
// the reply while the stream plays.
class PulseStream {
public:
    // `changed` runs on libpulse's thread, with the lock held, whenever the
    // stream becomes ready or fails, wants data, or a timing reply arrives;
    // it must only hand the news on.
    PulseStream(PulseConnection &connection, int sampleRate, int channels,
                std::function<void()> changed);
    ~PulseStream();
    PulseStream(const PulseStream &) = delete;
    PulseStream &operator=(const PulseStream &) = delete;

    bool plays(int sampleRate, int channels) const {
        return sampleRate == m_sampleRate && channels == m_channels;
    }
    bool isReady() const;
    bool hasFailed() const;

    qint64 writableBytes() const;
    // What a run writes before it is uncorked, whatever the server has asked
    // for: right after a flush the server's request is still on its way.
    qint64 startBytes() const;
    // Whole frames only; the server copies them.
    bool write(const void *data, qint64 bytes);

    // A run: what is written from here on is heard once the stream is
    // uncorked, from its first byte.
    void start();
    // Ends the run at once: corks and drops whatever has not been heard.
    void stop();
    // Asks the server where the run has got to; `changed` reports the reply.
    void requestTiming();

    // How much of the current run has been heard by the latest reply, carried
    // forward by at most `extrapolateUsecs` of the time since; nothing until
    // the start of the run is known.
    std::optional<qint64> heardUsecs(qint64 extrapolateUsecs) const;
    // Age of the latest reply of the current run, in microseconds; -1 before
    // the first.
    qint64 timingAgeUsecs() const;
    // The server's read position in the current run, by the latest reply: it
    // moves for as long as the stream is being played.
    qint64 readBytes() const;

private:
    struct TimingRequest {
        PulseStream *stream;
        quint64 run;
        bool atStart; // sent while still corked: the read position is the run's start
        UniquePulseOperation operation;
    };

    void sendTimingRequest(bool atStart);
    void timingArrived(const TimingRequest &request, bool success);
    static void onTiming(pa_stream *stream, int success, void *request);
    static void onStateChanged(pa_stream *stream, void *self);
    static void onWritable(pa_stream *stream, size_t bytes, void *self);
    static void releaseOnceCreated(pa_stream *stream, void *);

    PulseConnection &m_connection;
    int m_sampleRate;
    int m_channels;
    std::function<void()> m_changed;
    UniquePulseStream m_stream;          // let go with the loop locked
    std::list<TimingRequest> m_requests; // awaiting their reply

    // All with the loop locked.
    quint64 m_run = 0;
    std::optional<qint64> m_startUsecs; // read position when the run started
    bool m_haveTiming = false;          // of the current run, after its start
    qint64 m_heardAtReplyUsecs = 0;
    qint64 m_replyAtUsecs = 0; // local monotonic time of that reply
    bool m_playingAtReply = false;
    qint64 m_readBytes = 0;
};

} // namespace vovozodo
