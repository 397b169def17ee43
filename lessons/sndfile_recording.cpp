#include "lessons/sndfile_recording.h"

#include "handles/unique_fd.h"
#include "lessons/input_error.h"

#include <QFile>

#include <fcntl.h>
#include <unistd.h>

namespace vovozodo {

using namespace Qt::StringLiterals;

// libsndfile's MP3 decoder prints its own notes on broken frames to standard
// error; only our one line about the file belongs there. Standard error points
// at /dev/null while the decoder runs, and back at the terminal between blocks,
// where the progress line is drawn.
class StderrMute {
public:
    StderrMute()
        : m_null(::open("/dev/null", O_WRONLY | O_CLOEXEC)),
          m_saved(::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 0)) {}

    void mute() const {
        if (m_null.isValid() && m_saved.isValid())
            ::dup2(m_null.get(), STDERR_FILENO);
    }
    void unmute() const {
        if (m_null.isValid() && m_saved.isValid())
            ::dup2(m_saved.get(), STDERR_FILENO);
    }

private:
    UniqueFd m_null;
    UniqueFd m_saved;
};

SndfileRecording::SndfileRecording(const QString &path) : m_path(path) {
    SF_INFO info{};
    auto mute = std::make_unique<StderrMute>();
    mute->mute();
    m_file.reset(sf_open(QFile::encodeName(path).constData(), SFM_READ, &info));
    mute->unmute();
    if (!m_file) {
        // The caller has made sure the file is there; libsndfile says "does not
        // exist" for formats it cannot read as well.
        const QString reason = QString::fromUtf8(sf_strerror(nullptr));
        throw InputError(reason.contains(u"does not exist"_s) ? u"unknown format"_s : reason);
    }
    if (info.channels <= 0 || info.samplerate <= 0)
        throw InputError(u"no sound in the file"_s);
    m_sampleRate = info.samplerate;
    m_channels = info.channels;
    m_framesHint = info.frames > 0 ? qint64(info.frames) : -1;
    if ((info.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_MPEG)
        m_mute = std::move(mute);
}

SndfileRecording::~SndfileRecording() = default;

qint64 SndfileRecording::read(float *interleaved, qint64 frames) {
    if (m_mute)
        m_mute->mute();
    const sf_count_t got = sf_readf_float(m_file.get(), interleaved, frames);
    if (m_mute)
        m_mute->unmute();
    if (got < frames && sf_error(m_file.get()) != SF_ERR_NO_ERROR)
        throw InputError(m_path + u": cannot decode: "_s +
                         QString::fromUtf8(sf_strerror(m_file.get())));
    return qint64(got);
}

} // namespace vovozodo
