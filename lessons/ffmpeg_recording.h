#pragma once

#include "handles/ffmpeg_handles.h"
#include "lessons/recording.h"

#include <vector>

namespace vovozodo {

// The best sound stream of any container FFmpeg reads (M4A, MP4, MKV, WebM, ...).
class FfmpegRecording final : public Recording {
public:
    // Throws InputError with FFmpeg's reason.
    explicit FfmpegRecording(const QString &path);
    ~FfmpegRecording() override = default;
    qint64 read(float *interleaved, qint64 frames) override;

private:
    // Decodes until some frames are pending or the stream has ended.
    void decodeMore();
    void takeFrame();
    void fail(const char *step, int code);

    QString m_path;
    UniqueFormatInput m_format;
    UniqueCodecContext m_codec;
    UniquePacket m_packet;
    UniqueFrame m_frame;
    UniqueResampler m_resampler;
    int m_stream = -1;
    bool m_flushing = false;
    bool m_ended = false;
    bool m_firstFrame = true;
    // Frames still to drop from the front (negative start on the file's timeline).
    qint64 m_dropFrames = 0;
    // Silence still to be given before the sound of a stream that starts late.
    qint64 m_silentFrames = 0;
    std::vector<float> m_pending;
    std::size_t m_pendingStart = 0;
};

} // namespace vovozodo
