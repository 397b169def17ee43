#include "lessons/sndfile_recording.h"

#include "lessons/input_error.h"

#include <QFile>

#include <sndfile.h>

using namespace Qt::StringLiterals;

SndfileRecording::SndfileRecording(const QString &path) : m_path(path) {
    SF_INFO info{};
    m_file = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
    if (!m_file)
        throw InputError(QString::fromUtf8(sf_strerror(nullptr)));
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
    const sf_count_t got = sf_readf_float(m_file, interleaved, frames);
    if (got < frames && sf_error(m_file) != SF_ERR_NO_ERROR)
        throw InputError(m_path + u": cannot decode: "_s + QString::fromUtf8(sf_strerror(m_file)));
    return qint64(got);
}
