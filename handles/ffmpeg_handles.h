#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswresample/swresample.h>
}

#include <memory>

namespace vovozodo {

// FFmpeg's objects. Its allocators that fill in a pointer (avformat_open_input,
// swr_alloc_set_opts2) free what they made when they fail; what they hand back
// is taken over with reset().

struct FormatInputRelease {
    void operator()(AVFormatContext *format) const { avformat_close_input(&format); }
};
using UniqueFormatInput = std::unique_ptr<AVFormatContext, FormatInputRelease>;

struct CodecContextRelease {
    void operator()(AVCodecContext *codec) const { avcodec_free_context(&codec); }
};
using UniqueCodecContext = std::unique_ptr<AVCodecContext, CodecContextRelease>;

struct PacketRelease {
    void operator()(AVPacket *packet) const { av_packet_free(&packet); }
};
using UniquePacket = std::unique_ptr<AVPacket, PacketRelease>;

struct FrameRelease {
    void operator()(AVFrame *frame) const { av_frame_free(&frame); }
};
using UniqueFrame = std::unique_ptr<AVFrame, FrameRelease>;

struct ResamplerRelease {
    void operator()(SwrContext *resampler) const { swr_free(&resampler); }
};
using UniqueResampler = std::unique_ptr<SwrContext, ResamplerRelease>;

} // namespace vovozodo
