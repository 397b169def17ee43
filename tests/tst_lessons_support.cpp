#include "tst_lessons_support.h"

#include "handles/sndfile_handles.h"

#include <QFile>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QStringList>

#include <cmath>
#include <cstring>

using namespace Qt::StringLiterals;

namespace {
constexpr int kSyllableMs = 170;
constexpr int kSyllableGapMs = 40;
} // namespace

const QList<SyntheticSentence> kInnerPauseSentences = {
    {u"春眠不觉晓"_s, 5},       {u"处处闻啼鸟夜来风雨声，花落"_s, 12, 10, 700}, {u"知多少"_s, 3},
    {u"床前明月光疑是地"_s, 8}, {u"举头望明月，低头思故乡"_s, 10, 5, 400},      {u"白日依山"_s, 4},
};
const QList<int> kInnerPausePausesMs = {350, 450, 900, 380, 600, 500};

const QList<SyntheticSentence> kShortSentences = {
    {u"春眠不觉晓"_s, 5}, {u"处处闻啼鸟"_s, 5}, {u"夜来风雨声"_s, 5}, {u"花落知多少"_s, 5}};
const QList<int> kShortPausesMs = {500, 600, 450, 500};

SyntheticRecording writeSyntheticSpeech(const QString &path,
                                        const QList<SyntheticSentence> &sentences,
                                        const QList<int> &pausesMs,
                                        const SyntheticOptions &options) {
    SyntheticRecording recording;
    const int rate = recording.sampleRate;
    std::vector<float> samples;
    const auto silence = [&](int ms) {
        samples.insert(samples.end(), std::size_t(rate * ms / 1000), 0.0f);
    };
    if (options.jingle) {
        for (int i = 0; i < rate * 5 / 2; ++i) {
            const double t = double(i) / rate;
            samples.push_back(
                float(0.1 * (std::sin(2 * M_PI * 523.3 * t) + std::sin(2 * M_PI * 659.3 * t) +
                             std::sin(2 * M_PI * 784.0 * t))));
        }
        recording.jingleEnd = qint64(samples.size());
        silence(700);
    }
    int syllableIndex = 0;
    for (qsizetype k = 0; k < sentences.size(); ++k) {
        const SyntheticSentence &sentence = sentences[k];
        recording.starts.push_back(qint64(samples.size()));
        for (int s = 0; s < sentence.syllables; ++s) {
            // Each syllable its own pitch, so no two sound alike.
            const double f0 = 110.0 + 15.0 * (syllableIndex++ % 7);
            const int length = rate * kSyllableMs / 1000;
            for (int i = 0; i < length; ++i) {
                const double t = double(i) / rate;
                const double envelope = std::sin(M_PI * i / length);
                double value = 0;
                for (int h = 1; h <= 8; ++h)
                    value += std::sin(2 * M_PI * f0 * h * t) / h;
                samples.push_back(float(0.25 * envelope * value));
            }
            if (s + 1 < sentence.syllables)
                silence(s + 1 == sentence.commaAfter ? sentence.commaMs : kSyllableGapMs);
        }
        recording.ends.push_back(qint64(samples.size()));
        silence(pausesMs.value(k, 500));
    }
    if (options.noiseSnrDb > 0) {
        double power = 0;
        qint64 voiced = 0;
        for (std::size_t k = 0; k < recording.starts.size(); ++k)
            for (qint64 i = recording.starts[k]; i < recording.ends[k]; ++i, ++voiced)
                power += double(samples[std::size_t(i)]) * samples[std::size_t(i)];
        const double rms =
            std::sqrt(power / double(voiced) / std::pow(10.0, options.noiseSnrDb / 10));
        QRandomGenerator random(7);
        for (float &sample : samples)
            sample += float((random.generateDouble() - 0.5) * std::sqrt(12.0) * rms);
    }
    const auto gain = float(std::pow(10.0, options.gainDb / 20));
    for (float &sample : samples)
        sample *= gain;

    SF_INFO info{};
    info.samplerate = rate;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    vovozodo::UniqueSndfile file(sf_open(QFile::encodeName(path).constData(), SFM_WRITE, &info));
    if (!file ||
        sf_writef_float(file.get(), samples.data(), sf_count_t(samples.size())) !=
            sf_count_t(samples.size()) ||
        !closeChecked(file))
        return {};
    return recording;
}

QString clipsMismatch(const QString &labelTrack, const SyntheticRecording &recording) {
    QFile file(labelTrack);
    if (!file.open(QIODevice::ReadOnly))
        return labelTrack + u": missing"_s;
    std::vector<std::pair<qint64, qint64>> clips;
    for (const QByteArray &line : file.readAll().split('\n'))
        if (const QList<QByteArray> fields = line.split('\t'); fields.size() >= 2)
            clips.emplace_back(std::llround(fields[0].toDouble() * recording.sampleRate),
                               std::llround(fields[1].toDouble() * recording.sampleRate));
    const std::size_t count = recording.starts.size();
    if (clips.size() != count)
        return u"%1 clips for %2 sentences"_s.arg(clips.size()).arg(count);
    QStringList wrong;
    // Labels are rounded to microseconds: one sample of slack.
    for (std::size_t k = 0; k < count; ++k) {
        const auto [start, end] = clips[k];
        const qint64 previousEnd = k == 0 ? recording.jingleEnd : recording.ends[k - 1];
        const qint64 nextStart = k + 1 == count ? recording.ends[k] * 4 : recording.starts[k + 1];
        if (start > recording.starts[k] + 1 || end + 1 < recording.ends[k] ||
            start + 1 < previousEnd || end > nextStart + 1)
            wrong.append(u"sentence %1: clip %2-%3 s, voice %4-%5 s"_s.arg(k + 1)
                             .arg(double(start) / recording.sampleRate, 0, 'f', 3)
                             .arg(double(end) / recording.sampleRate, 0, 'f', 3)
                             .arg(double(recording.starts[k]) / recording.sampleRate, 0, 'f', 3)
                             .arg(double(recording.ends[k]) / recording.sampleRate, 0, 'f', 3));
    }
    return wrong.join(u"; "_s);
}

bool writeText(const QString &path, const QString &text) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text.toUtf8()) >= 0;
}

QString transcriptOf(const QList<SyntheticSentence> &sentences) {
    QStringList lines;
    for (const SyntheticSentence &sentence : sentences)
        lines.append(sentence.text);
    return lines.join(u'\n') + u'\n';
}

std::optional<SyntheticRecording> writeSyntheticLesson(const QString &audioPath,
                                                       const QString &transcriptPath,
                                                       const QList<SyntheticSentence> &sentences,
                                                       const QList<int> &pausesMs) {
    SyntheticRecording recording = writeSyntheticSpeech(audioPath, sentences, pausesMs);
    if (!writeText(transcriptPath, transcriptOf(sentences)))
        return std::nullopt;
    return recording;
}

QString srtTime(qint64 ms) {
    return u"00:%1:%2,%3"_s.arg(ms / 60000, 2, 10, QChar(u'0'))
        .arg(ms / 1000 % 60, 2, 10, QChar(u'0'))
        .arg(ms % 1000, 3, 10, QChar(u'0'));
}

QString subtitlesOf(const QList<SyntheticSentence> &sentences, const SyntheticRecording &recording,
                    qint64 lateMs) {
    const auto time = [&](qint64 sample) {
        return srtTime(sample * 1000 / recording.sampleRate + lateMs);
    };
    QString srt;
    for (qsizetype k = 0; k < sentences.size(); ++k)
        srt += u"%1\n%2 --> %3\n%4\n\n"_s.arg(k + 1)
                   .arg(time(recording.starts[std::size_t(k)]))
                   .arg(time(recording.ends[std::size_t(k)]))
                   .arg(sentences[k].text);
    return srt;
}

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace {

struct Encoder {
    AVCodecContext *codec = nullptr;
    AVStream *stream = nullptr;
    ~Encoder() { avcodec_free_context(&codec); }
};

// Sends `frame` (null: flush) and writes every packet it gives.
bool encodeFrame(AVFormatContext *format, Encoder &encoder, AVFrame *frame) {
    if (avcodec_send_frame(encoder.codec, frame) < 0)
        return false;
    AVPacket *packet = av_packet_alloc();
    int code = 0;
    while ((code = avcodec_receive_packet(encoder.codec, packet)) == 0) {
        av_packet_rescale_ts(packet, encoder.codec->time_base, encoder.stream->time_base);
        packet->stream_index = encoder.stream->index;
        if (av_interleaved_write_frame(format, packet) < 0)
            code = AVERROR_EXTERNAL;
    }
    av_packet_free(&packet);
    return code == AVERROR(EAGAIN) || code == AVERROR_EOF;
}

bool openEncoder(AVFormatContext *format, Encoder &encoder, const AVCodec *codec) {
    if (format->oformat->flags & AVFMT_GLOBALHEADER)
        encoder.codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (avcodec_open2(encoder.codec, codec, nullptr) < 0)
        return false;
    encoder.stream = avformat_new_stream(format, nullptr);
    encoder.stream->time_base = encoder.codec->time_base;
    return avcodec_parameters_from_context(encoder.stream->codecpar, encoder.codec) >= 0;
}

} // namespace

QString encodeAac(const QString &wavePath, const QString &path, int pictureFirstMs) {
    SF_INFO info{};
    std::vector<float> samples;
    {
        const vovozodo::UniqueSndfile wave(
            sf_open(QFile::encodeName(wavePath).constData(), SFM_READ, &info));
        if (!wave || info.channels != 1)
            return u"cannot read "_s + wavePath;
        samples.resize(std::size_t(info.frames));
        sf_readf_float(wave.get(), samples.data(), info.frames);
    }

    AVFormatContext *format = nullptr;
    if (avformat_alloc_output_context2(&format, nullptr, nullptr,
                                       QFile::encodeName(path).constData()) < 0)
        return u"no container for "_s + path;
    const auto cleanup = qScopeGuard([&] {
        if (format && format->pb)
            avio_closep(&format->pb);
        avformat_free_context(format);
    });
    Encoder picture;
    if (pictureFirstMs > 0) {
        // One small grey frame a second: enough for a stream that starts at zero.
        const AVCodec *mjpeg = avcodec_find_encoder(AV_CODEC_ID_MJPEG);
        picture.codec = avcodec_alloc_context3(mjpeg);
        picture.codec->width = 16;
        picture.codec->height = 16;
        picture.codec->pix_fmt = AV_PIX_FMT_YUVJ420P;
        picture.codec->time_base = {1, 1};
        if (!openEncoder(format, picture, mjpeg))
            return u"cannot open the picture encoder"_s;
    }
    const AVCodec *aac = avcodec_find_encoder(AV_CODEC_ID_AAC);
    Encoder sound;
    sound.codec = avcodec_alloc_context3(aac);
    sound.codec->sample_fmt = AV_SAMPLE_FMT_FLTP;
    sound.codec->sample_rate = info.samplerate;
    av_channel_layout_default(&sound.codec->ch_layout, 1);
    sound.codec->bit_rate = 64000;
    sound.codec->time_base = {1, info.samplerate};
    if (!openEncoder(format, sound, aac))
        return u"cannot open the AAC encoder"_s;
    if (avio_open(&format->pb, QFile::encodeName(path).constData(), AVIO_FLAG_WRITE) < 0 ||
        avformat_write_header(format, nullptr) < 0)
        return u"cannot write "_s + path;

    AVFrame *frame = av_frame_alloc();
    const auto freeFrame = qScopeGuard([&] { av_frame_free(&frame); });
    if (pictureFirstMs > 0) {
        const qint64 seconds = qint64(samples.size()) / info.samplerate + pictureFirstMs / 1000 + 2;
        for (qint64 second = 0; second < seconds; ++second) {
            av_frame_unref(frame);
            frame->format = AV_PIX_FMT_YUVJ420P;
            frame->width = 16;
            frame->height = 16;
            av_frame_get_buffer(frame, 0);
            for (int plane = 0; plane < 3; ++plane)
                std::memset(frame->data[plane], 128,
                            std::size_t(frame->linesize[plane] * (plane ? 8 : 16)));
            frame->pts = second;
            if (!encodeFrame(format, picture, frame))
                return u"cannot encode the picture"_s;
        }
        if (!encodeFrame(format, picture, nullptr))
            return u"cannot flush the picture"_s;
    }
    const qint64 offset = qint64(pictureFirstMs) * info.samplerate / 1000;
    const int frameSize = sound.codec->frame_size;
    for (std::size_t at = 0; at < samples.size(); at += std::size_t(frameSize)) {
        av_frame_unref(frame);
        frame->format = AV_SAMPLE_FMT_FLTP;
        frame->sample_rate = info.samplerate;
        av_channel_layout_default(&frame->ch_layout, 1);
        frame->nb_samples = int(std::min<std::size_t>(std::size_t(frameSize), samples.size() - at));
        av_frame_get_buffer(frame, 0);
        std::memcpy(frame->data[0], samples.data() + at,
                    std::size_t(frame->nb_samples) * sizeof(float));
        frame->pts = offset + qint64(at);
        if (!encodeFrame(format, sound, frame))
            return u"cannot encode the sound"_s;
    }
    if (!encodeFrame(format, sound, nullptr) || av_write_trailer(format) < 0)
        return u"cannot finish "_s + path;
    return {};
}
