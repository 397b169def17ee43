#include "library/playable_sound.h"

#include "handles/sndfile_handles.h"
#include "handles/unique_fd.h"

#include <QFile>
#include <QString>

#include <sndfile.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>

namespace vovozodo {

using namespace Qt::StringLiterals;

Playability playabilityOf(const SoundFormat &format) {
    if (format.container != SoundContainer::Wave)
        return Playability::NotWave;
    if (format.channels < 1 || format.channels > kMaxPlayableChannels)
        return Playability::Channels;
    if (format.sampleRate < kMinPlayableRate || format.sampleRate > kMaxPlayableRate)
        return Playability::SampleRate;
    if (format.frames < 0)
        return Playability::Length;
    return Playability::Plays;
}

SoundFormat soundFormatFromSndfile(int format, int channels, int sampleRate, qint64 frames) {
    const int major = format & SF_FORMAT_TYPEMASK;
    const bool wave = major == SF_FORMAT_WAV || major == SF_FORMAT_WAVEX || major == SF_FORMAT_RF64;
    return {wave ? SoundContainer::Wave : SoundContainer::Other, channels, sampleRate, frames};
}

QString unplayableReason(const SoundFormat &format) {
    switch (playabilityOf(format)) {
    case Playability::Plays:
        return {};
    case Playability::NotWave:
        return u"not wave audio (the player plays only wave files)"_s;
    case Playability::Channels:
        return QString::number(format.channels) + u" channels (the player plays mono and stereo)"_s;
    case Playability::SampleRate:
        return QString::number(format.sampleRate) + u" Hz (the player plays "_s +
               QString::number(kMinPlayableRate) + u" to "_s + QString::number(kMaxPlayableRate) +
               u" Hz)"_s;
    case Playability::Length:
        return u"no length in its header"_s;
    }
    return {};
}

std::optional<SoundFormat> probeSoundFile(const QString &nativePath) {
    const QByteArray name = QFile::encodeName(nativePath);
    struct stat status {};
    if (::stat(name.constData(), &status) != 0 || !S_ISREG(status.st_mode))
        return std::nullopt;
    // Checked again on the descriptor: the entry may have been swapped meanwhile.
    const UniqueFd fd(::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (fd.get() < 0 || ::fstat(fd.get(), &status) != 0 || !S_ISREG(status.st_mode))
        return std::nullopt;
    SF_INFO info{};
    const UniqueSndfile file(sf_open_fd(fd.get(), SFM_READ, &info, SF_FALSE));
    if (!file)
        return std::nullopt;
    return soundFormatFromSndfile(info.format, info.channels, info.samplerate, info.frames);
}

} // namespace vovozodo
