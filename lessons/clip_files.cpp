#include "lessons/clip_files.h"

#include "handles/sndfile_handles.h"
#include "lessons/clip_resampler.h"
#include "lessons/input_error.h"
#include "lessons/interrupt.h"
#include "lessons/progress.h"
#include "lessons/recording.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>

namespace vovozodo {

using namespace Qt::StringLiterals;

namespace {

constexpr qint64 kBlockFrames = 8192;
constexpr int kFadeMs = 5;
// A wave file's header alone; a clip file no larger was cut short.
constexpr qint64 kWaveHeaderBytes = 44;

// Copies `frames` frames of the recording's block into the clip's, with the
// gain, mixing more than two channels down to one.
void mixFrames(const float *from, float *to, qint64 frames, int inChannels, int outChannels,
               double gain) {
    if (outChannels == inChannels) {
        const auto scale = float(gain);
        for (qint64 i = 0; i < frames * inChannels; ++i)
            to[i] = from[i] * scale;
        return;
    }
    const auto scale = float(gain / inChannels);
    for (qint64 f = 0; f < frames; ++f) {
        float mono = 0;
        for (int c = 0; c < inChannels; ++c)
            mono += from[f * inChannels + c];
        to[f] = mono * scale;
    }
}

// Fades the frames of `clip` from sample `at` on where they lie within `fade`
// of the clip's edges; the middle of the clip is skipped.
void fadeEdges(float *frames, qint64 count, qint64 at, const Clip &clip, qint64 fade,
               int channels) {
    for (qint64 f = 0; f < count; ++f) {
        const qint64 sample = at + f;
        const qint64 edge = std::min(sample - clip.start, clip.end - 1 - sample);
        if (edge >= fade) {
            f = std::max(f, clip.end - 1 - fade - at);
            continue;
        }
        const auto ramp = float(std::max<qint64>(edge, 0)) / float(fade);
        for (int c = 0; c < channels; ++c)
            frames[f * channels + c] *= ramp;
    }
}

// The folder the clips are written in, and how its files are named in errors.
class ClipFolder {
public:
    ClipFolder(const QString &folder, const QString &shownFolder)
        : m_folder(folder), m_shownFolder(shownFolder) {}

    [[noreturn]] void failWriting(const QString &file, int error, const QString &reason) const {
        throwForErrno(error, m_shownFolder + u'/' + file + u": cannot write: "_s + reason);
    }

    UniqueSndfile openClip(const QString &fileName, int sampleRate, int channels) const {
        SF_INFO info{};
        info.samplerate = sampleRate;
        info.channels = channels;
        info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
        UniqueSndfile file(
            sf_open(QFile::encodeName(m_folder.filePath(fileName)).constData(), SFM_WRITE, &info));
        if (!file)
            failWriting(fileName, errno, QString::fromUtf8(sf_strerror(nullptr)));
        sf_command(file.get(), SFC_SET_CLIPPING, nullptr, SF_TRUE);
        return file;
    }

    void closeClip(UniqueSndfile file, const QString &fileName) const {
        if (sf_error(file.get()) != SF_ERR_NO_ERROR)
            failWriting(fileName, errno, QString::fromUtf8(sf_strerror(file.get())));
        // Synced once for the whole lesson before it takes its place.
        if (!closeChecked(file))
            failWriting(fileName, errno, QString::fromLocal8Bit(std::strerror(errno)));
        if (QFileInfo(m_folder.filePath(fileName)).size() <= kWaveHeaderBytes)
            failWriting(fileName, EIO, u"the file is incomplete"_s);
    }

private:
    QDir m_folder;
    QString m_shownFolder;
};

} // namespace

void writeClipFiles(const QString &folder, const QString &shownFolder, Recording &recording,
                    const std::vector<Clip> &clips, double gain, Progress &progress) {
    const ClipFolder clipFolder(folder, shownFolder);
    const int inChannels = recording.channels();
    // The player plays mono and stereo; more channels are mixed down to mono.
    const int outChannels = inChannels <= 2 ? inChannels : 1;
    const qint64 fade = std::max<qint64>(1, qint64(recording.sampleRate()) * kFadeMs / 1000);
    std::vector<float> in(std::size_t(kBlockFrames * inChannels));
    std::vector<float> out(std::size_t(kBlockFrames * outChannels));

    std::size_t next = 0; // clip being written or waited for
    UniqueSndfile file;
    QString fileName;
    // Clips are written only at rates the player plays.
    const int clipRate = clipSampleRate(recording.sampleRate());
    std::optional<ClipResampler> resampler;
    const auto writeFrames = [&](const std::vector<float> &frames) {
        const auto count = qint64(frames.size()) / outChannels;
        if (count > 0 && sf_writef_float(file.get(), frames.data(), count) != count)
            clipFolder.failWriting(fileName, errno, QString::fromUtf8(sf_strerror(file.get())));
    };
    qint64 position = 0;
    const qint64 lastSample = clips.empty() ? 0 : clips.back().end;
    while (next < clips.size()) {
        stopIfInterrupted();
        const qint64 got = recording.read(in.data(), kBlockFrames);
        if (got <= 0)
            throw InputError(u"the recording ended early the second time it was decoded"_s);
        qint64 offset = 0;
        while (offset < got && next < clips.size()) {
            const Clip &clip = clips[next];
            const qint64 at = position + offset;
            if (at < clip.start) {
                offset = std::min(got, clip.start - position);
                continue;
            }
            if (!file) {
                fileName = QString::number(next + 1) + u".wav"_s;
                file = clipFolder.openClip(fileName, clipRate, outChannels);
                if (clipRate != recording.sampleRate())
                    resampler.emplace(outChannels, recording.sampleRate(), clipRate);
            }
            const qint64 take = std::min(got - offset, clip.end - at);
            mixFrames(in.data() + std::size_t(offset) * std::size_t(inChannels), out.data(), take,
                      inChannels, outChannels, gain);
            fadeEdges(out.data(), take, at, clip, fade, outChannels);
            if (resampler)
                writeFrames(resampler->convert(out.data(), take));
            else if (sf_writef_float(file.get(), out.data(), take) != take)
                clipFolder.failWriting(fileName, errno, QString::fromUtf8(sf_strerror(file.get())));
            offset += take;
            if (at + take == clip.end) {
                if (resampler) {
                    writeFrames(resampler->finish());
                    resampler.reset();
                }
                clipFolder.closeClip(std::move(file), fileName);
                ++next;
            }
        }
        position += got;
        progress.show(u"Writing"_s, double(position) / double(std::max<qint64>(lastSample, 1)));
    }
}

} // namespace vovozodo
