#include "support/tone.h"

#include "handles/sndfile_handles.h"

#include <QFile>
#include <QString>

#include <cmath>
#include <numbers>
#include <vector>

namespace vovozodo {

namespace {

bool writeSamples(const QString &path, int sampleRate, int channels, int milliseconds,
                  double frequencyHz) {
    SF_INFO info{};
    info.samplerate = sampleRate;
    info.channels = channels;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    UniqueSndfile file(sf_open(QFile::encodeName(path).constData(), SFM_WRITE, &info));
    if (!file)
        return false;
    const sf_count_t frames = sf_count_t(sampleRate) * milliseconds / 1000;
    std::vector<short> block(std::size_t(channels) * 1024);
    bool ok = true;
    for (sf_count_t done = 0; done < frames && ok;) {
        const sf_count_t n = std::min<sf_count_t>(1024, frames - done);
        for (sf_count_t i = 0; i < n; ++i) {
            const double t = double(done + i) / sampleRate;
            const auto v = short(
                frequencyHz > 0 ? 0.5 * 32767 * std::sin(2 * std::numbers::pi * frequencyHz * t)
                                : 0);
            for (int c = 0; c < channels; ++c)
                block[std::size_t(i * channels + c)] = v;
        }
        ok = sf_writef_short(file.get(), block.data(), n) == n;
        done += n;
    }
    return closeChecked(file) && ok;
}

} // namespace

bool writeTone(const QString &path, double frequencyHz, int milliseconds, int sampleRate,
               int channels) {
    return writeSamples(path, sampleRate, channels, milliseconds, frequencyHz);
}

bool writeSilence(const QString &path, int milliseconds, int sampleRate) {
    return writeSamples(path, sampleRate, 1, milliseconds, 0);
}

} // namespace vovozodo
