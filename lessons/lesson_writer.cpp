#include "lessons/lesson_writer.h"

#include "lessons/input_error.h"
#include "lessons/interrupt.h"
#include "lessons/progress.h"
#include "lessons/recording.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sndfile.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

namespace vovozodo {

using namespace Qt::StringLiterals;

namespace {

constexpr qint64 kBlockFrames = 8192;
constexpr int kFadeMs = 5;

QString lessonName(int lesson) {
    return u"t_"_s + QString::number(lesson);
}

QString systemReason() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

struct SndfileCloser {
    void operator()(SNDFILE *file) const { sf_close(file); }
};
using SndfileHandle = std::unique_ptr<SNDFILE, SndfileCloser>;

} // namespace

QString existingLessonEntry(const QString &library, int lesson) {
    QString wanted = lessonName(lesson);
    QStringList matches;
    for (const QString &name : QDir(library).entryList(QDir::AllEntries | QDir::Hidden |
                                                       QDir::System | QDir::NoDotAndDotDot))
        if (name.compare(wanted, Qt::CaseInsensitive) == 0)
            matches.append(name);
    if (matches.contains(wanted))
        return wanted;
    std::sort(matches.begin(), matches.end());
    return matches.value(0);
}

LessonWriter::LessonWriter(const QString &library, int lesson, bool replace)
    : m_library(QDir(library).absolutePath()),
      m_scratch(
          QDir(library).absoluteFilePath(u".t_"_s + QString::number(lesson) + u".new-XXXXXX"_s)) {
    if (lesson < 1 || lesson > 15)
        throw InputError(u"N: "_s + QString::number(lesson) + u" is no lesson number (1 to 15)"_s);
    const QFileInfo info(m_library);
    if (!info.exists())
        throw InputError(m_library + u": no such folder"_s);
    if (!info.isDir())
        throw InputError(m_library + u": not a folder"_s);
    const QString existing = existingLessonEntry(m_library, lesson);
    m_exists = !existing.isEmpty();
    m_target = m_library + u'/' + (m_exists ? existing : lessonName(lesson));
    if (m_exists && !replace)
        throw InputError(m_target + u": the lesson exists; add --replace to replace it"_s);
    m_existingIsLink = m_exists && QFileInfo(m_target).isSymLink();
    if (m_exists && !QFileInfo(m_target).isDir())
        throw InputError(m_target + u": exists and is no folder; remove it first"_s);
    if (!m_scratch.isValid())
        throw InputError(m_library + u": not writable ("_s + m_scratch.errorString() + u')');
}

void LessonWriter::failWriting(const QString &file, const QString &reason) const {
    throw InputError(m_target + u'/' + file + u": cannot write: "_s + reason);
}

void LessonWriter::writeScript(const QString &title, const QStringList &sentences,
                               TextEncoding encoding) {
    // CR LF throughout: the lesson format comes from Windows and other readers of it
    // expect it.
    QString text = title + u"\r\n"_s;
    for (const QString &sentence : sentences)
        text += sentence + u"\r\n"_s;
    const QByteArray bytes = encodeLessonText(text, encoding);
    QFile file(m_scratch.filePath(u"script.txt"_s));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.flush())
        failWriting(u"script.txt"_s, file.errorString());
    if (::fsync(file.handle()) != 0)
        failWriting(u"script.txt"_s, systemReason());
    file.close();
}

void LessonWriter::writeClips(Recording &recording, const std::vector<Clip> &clips, double gain,
                              Progress &progress) {
    const int inChannels = recording.channels();
    // The player plays mono and stereo; more channels are mixed down to mono.
    const int outChannels = inChannels <= 2 ? inChannels : 1;
    const qint64 fade = std::max<qint64>(1, qint64(recording.sampleRate()) * kFadeMs / 1000);
    std::vector<float> in(std::size_t(kBlockFrames * inChannels));
    std::vector<float> out(std::size_t(kBlockFrames * outChannels));

    std::size_t next = 0; // clip being written or waited for
    SndfileHandle file;
    QString fileName;
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
                SF_INFO info{};
                info.samplerate = recording.sampleRate();
                info.channels = outChannels;
                info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
                file.reset(sf_open(QFile::encodeName(m_scratch.filePath(fileName)).constData(),
                                   SFM_WRITE, &info));
                if (!file)
                    failWriting(fileName, QString::fromUtf8(sf_strerror(nullptr)));
                sf_command(file.get(), SFC_SET_CLIPPING, nullptr, SF_TRUE);
            }
            const qint64 take = std::min(got - offset, clip.end - at);
            const float *from = in.data() + std::size_t(offset) * std::size_t(inChannels);
            float *to = out.data();
            if (outChannels == inChannels) {
                const auto scale = float(gain);
                for (qint64 i = 0; i < take * inChannels; ++i)
                    to[i] = from[i] * scale;
            } else {
                const auto scale = float(gain / inChannels);
                for (qint64 f = 0; f < take; ++f) {
                    float mono = 0;
                    for (int c = 0; c < inChannels; ++c)
                        mono += from[f * inChannels + c];
                    to[f] = mono * scale;
                }
            }
            // Fades only where the block meets the clip's first or last 5 ms.
            for (qint64 f = 0; f < take; ++f) {
                const qint64 sample = at + f;
                const qint64 edge = std::min(sample - clip.start, clip.end - 1 - sample);
                if (edge >= fade) {
                    // Skip the middle of the clip.
                    f = std::max(f, clip.end - 1 - fade - at);
                    continue;
                }
                const auto ramp = float(std::max<qint64>(edge, 0)) / float(fade);
                for (int c = 0; c < outChannels; ++c)
                    to[f * outChannels + c] *= ramp;
            }
            if (sf_writef_float(file.get(), out.data(), take) != take)
                failWriting(fileName, QString::fromUtf8(sf_strerror(file.get())));
            offset += take;
            if (at + take == clip.end) {
                if (sf_error(file.get()) != SF_ERR_NO_ERROR)
                    failWriting(fileName, QString::fromUtf8(sf_strerror(file.get())));
                // Synced once for the whole lesson before it takes its place.
                if (sf_close(file.release()) != 0)
                    failWriting(fileName, systemReason());
                if (QFileInfo(m_scratch.filePath(fileName)).size() < 44)
                    failWriting(fileName, u"the file is incomplete"_s);
                ++next;
            }
        }
        position += got;
        progress.show(u"Writing"_s, double(position) / double(std::max<qint64>(lastSample, 1)));
    }
}

void LessonWriter::commit() {
    stopIfInterrupted();
    // Everything on the disk before the folder takes its place.
    const int folder =
        ::open(QFile::encodeName(m_scratch.path()).constData(), O_RDONLY | O_DIRECTORY);
    if (folder < 0 || ::syncfs(folder) != 0) {
        const QString reason = systemReason();
        if (folder >= 0)
            ::close(folder);
        throw InputError(m_target + u": cannot write: "_s + reason);
    }
    ::close(folder);
    QFile::setPermissions(m_scratch.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                QFileDevice::ExeOwner | QFileDevice::ReadGroup |
                                                QFileDevice::ExeGroup | QFileDevice::ReadOther |
                                                QFileDevice::ExeOther);
    const QByteArray from = QFile::encodeName(m_scratch.path());
    const QByteArray to = QFile::encodeName(m_target);
    if (!m_exists) {
        // RENAME_NOREPLACE: a lesson made meanwhile by someone else is not overwritten.
        if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) !=
            0)
            throw InputError(m_target + u": cannot put the lesson in place: "_s + systemReason());
        m_scratch.setAutoRemove(false);
        return;
    }
    // One atomic exchange: at every moment either the old or the new lesson is in place.
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_EXCHANGE) == 0) {
        // The temporary name now holds the old lesson, which QTemporaryDir removes.
        // A link to a folder elsewhere goes, but what it links to is not ours.
        if (m_existingIsLink) {
            QFile::remove(m_scratch.path());
            m_scratch.setAutoRemove(false);
        }
        return;
    }
    if (errno != EINVAL && errno != ENOSYS)
        throw InputError(m_target + u": cannot replace the lesson: "_s + systemReason());
    // A file system without the exchange: the old lesson steps aside for a moment
    // and comes back if the new one cannot take its place.
    QTemporaryDir aside(m_library + u"/.t_old-XXXXXX"_s);
    const QByteArray old = QFile::encodeName(aside.path() + u"/lesson"_s);
    if (!aside.isValid() || ::rename(to.constData(), old.constData()) != 0)
        throw InputError(m_target + u": cannot replace the lesson: "_s + systemReason());
    if (::rename(from.constData(), to.constData()) != 0) {
        const QString reason = systemReason();
        ::rename(old.constData(), to.constData());
        throw InputError(m_target + u": cannot replace the lesson: "_s + reason);
    }
    m_scratch.setAutoRemove(false);
}

} // namespace vovozodo
