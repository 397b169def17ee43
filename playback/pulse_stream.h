#pragma once

#include <QtGlobal>

class PulseConnection;
struct pa_stream;

// One play's stream on the server, written to by the device. It is set up as
// soon as the connection is ready; until then, and until the server has taken
// the stream, it takes nothing and its clock reads 0.
class PulseStream {
public:
    PulseStream(PulseConnection &connection, int sampleRate, int channels);
    ~PulseStream();
    PulseStream(const PulseStream &) = delete;
    PulseStream &operator=(const PulseStream &) = delete;

    // Moves the set-up on; false once the stream or its connection has failed.
    bool update();
    qint64 bytesFree() const;
    // Whole 16-bit frames only; the server copies them.
    bool write(const char *data, qint64 bytes);
    // What has been heard of the stream so far.
    qint64 processedUsecs() const;

private:
    bool ready() const;

    PulseConnection &m_connection;
    int m_sampleRate;
    int m_channels;
    pa_stream *m_stream = nullptr;
};
