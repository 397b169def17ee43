#include "playback/wave_file.h"

#include "library/playable_sound.h"

#include <QFile>
#include <QString>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

namespace vovozodo {

namespace {

// Frames decoded per read while skipping to a position.
constexpr WaveFile::Frames kSkipBlockFrames = 4096;

} // namespace

// Only regular files: a FIFO would block sf_open and a device may never end.
// The type is checked on the descriptor itself, so a file swapped for
// something else after the path was looked up is still caught. The
// descriptor is ours; libsndfile only borrows it.
std::unique_ptr<WaveFile> WaveFile::open(const QString &nativePath) {
    auto file = std::unique_ptr<WaveFile>(new WaveFile);
    file->m_fd.reset(::open(QFile::encodeName(nativePath).constData(),
                            O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    const int fd = file->m_fd.get();
    if (fd < 0)
        return nullptr;
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode))
        return nullptr;
    // Regular files never block; reads should simply wait for the disk.
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0)
        return nullptr;

    SF_INFO info{};
    file->m_sndfile.reset(sf_open_fd(fd, SFM_READ, &info, SF_FALSE));
    if (!file->m_sndfile)
        return nullptr;
    // The library's rule, which `vovozodo-lessons check` and `make` follow too.
    if (playabilityOf(soundFormatFromSndfile(info.format, info.channels, info.samplerate,
                                             info.frames)) != Playability::Plays)
        return nullptr;
    file->m_channels = info.channels;
    file->m_sampleRate = info.samplerate;
    file->m_format = info.format;
    file->m_seekable = info.seekable != 0;
    file->m_frames = info.frames;
    // Float data outside [-1, 1] would otherwise wrap around when converted
    // to 16 bits.
    sf_command(file->m_sndfile.get(), SFC_SET_CLIPPING, nullptr, SF_TRUE);
    return file;
}

// Some encodings cannot seek (libsndfile's GSM 6.10 among them): those are
// decoded again from the start up to the frame.
bool WaveFile::seek(Frames frame) {
    if (frame == m_readFrames)
        return true;
    if (m_seekable) {
        if (!m_sndfile || sf_seek(m_sndfile.get(), frame, SEEK_SET) != frame)
            return false;
        m_readFrames = frame;
        return true;
    }
    if (!reopen())
        return false;
    std::vector<short> skipped(std::size_t(kSkipBlockFrames) * std::size_t(m_channels));
    while (m_readFrames < frame) {
        const Frames wanted = std::min(kSkipBlockFrames, frame - m_readFrames);
        if (read(skipped.data(), wanted) != wanted)
            return false;
    }
    return true;
}

WaveFile::Frames WaveFile::read(short *out, Frames frames) {
    if (!m_sndfile)
        return 0;
    const Frames got = std::max<Frames>(0, sf_readf_short(m_sndfile.get(), out, frames));
    m_readFrames += got;
    return got;
}

// Reads the file afresh from its start, on the same descriptor. Anything that
// reads differently now (the file was rewritten in place) is refused: the
// blocks are sized for the layout read at open.
bool WaveFile::reopen() {
    m_sndfile.reset();
    m_readFrames = 0;
    if (::lseek(m_fd.get(), 0, SEEK_SET) != 0)
        return false;
    SF_INFO info{};
    m_sndfile.reset(sf_open_fd(m_fd.get(), SFM_READ, &info, SF_FALSE));
    if (!m_sndfile)
        return false;
    if (info.channels != m_channels || info.samplerate != m_sampleRate || info.format != m_format) {
        m_sndfile.reset();
        return false;
    }
    sf_command(m_sndfile.get(), SFC_SET_CLIPPING, nullptr, SF_TRUE);
    return true;
}

} // namespace vovozodo
