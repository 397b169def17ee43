#include "lessons/sndfile_recording.h"

#include "lessons/input_error.h"

#include <QFile>

#include <sndfile.h>

#include <fcntl.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// libsndfile's MP3 decoder prints its own notes on broken frames to standard
// error; only our one line about the file belongs there.
class StderrSilenced {
public:
    StderrSilenced() : m_saved(::dup(STDERR_FILENO)) {
        const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (m_saved >= 0 && null >= 0)
            ::dup2(null, STDERR_FILENO);
        if (null >= 0)
            ::close(null);
    }
    ~StderrSilenced() {
        if (m_saved >= 0) {
            ::dup2(m_saved, STDERR_FILENO);
            ::close(m_saved);
        }
    }
    StderrSilenced(const StderrSilenced &) = delete;
    StderrSilenced &operator=(const StderrSilenced &) = delete;

private:
    int m_saved;
};

} // namespace

SndfileRecording::SndfileRecording(const QString &path) : m_path(path) {
    SF_INFO info{};
    {
        const StderrSilenced silenced;
        m_file = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
    }
    if (!m_file) {
        // The caller has made sure the file is there; libsndfile says "does not
        // exist" for formats it cannot read as well.
        const QString reason = QString::fromUtf8(sf_strerror(nullptr));
        throw InputError(reason.contains(u"does not exist"_s) ? u"unknown format"_s : reason);
    }
    if (info.channels <= 0 || info.samplerate <= 0) {
        sf_close(m_file);
        m_file = nullptr;
        throw InputError(u"no sound in the file"_s);
    }
    m_sampleRate = info.samplerate;
    m_channels = info.channels;
    // MP3 frame counts are estimates until the whole stream is decoded.
    const bool exact = (info.format & SF_FORMAT_TYPEMASK) != SF_FORMAT_MPEG;
    m_framesHint = exact ? qint64(info.frames) : -1;
}

SndfileRecording::~SndfileRecording() {
    if (m_file)
        sf_close(m_file);
}

qint64 SndfileRecording::read(float *interleaved, qint64 frames) {
    const bool mpeg = m_framesHint < 0;
    sf_count_t got = 0;
    if (mpeg) {
        const StderrSilenced silenced;
        got = sf_readf_float(m_file, interleaved, frames);
    } else {
        got = sf_readf_float(m_file, interleaved, frames);
    }
    if (got < frames && sf_error(m_file) != SF_ERR_NO_ERROR)
        throw InputError(m_path + u": cannot decode: "_s + QString::fromUtf8(sf_strerror(m_file)));
    return qint64(got);
}
