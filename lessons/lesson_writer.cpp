#include "lessons/lesson_writer.h"

#include "handles/sndfile_handles.h"
#include "handles/unique_fd.h"
#include "lessons/clip_resampler.h"
#include "lessons/input_error.h"
#include "lessons/interrupt.h"
#include "lessons/progress.h"
#include "lessons/recording.h"
#include "library/lesson_paths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace vovozodo {

using namespace Qt::StringLiterals;

namespace {

constexpr qint64 kBlockFrames = 8192;
constexpr int kFadeMs = 5;
// A wave file's header alone; a clip file no larger was cut short.
constexpr qint64 kWaveHeaderBytes = 44;

RenameAt2Function g_renameAt2 = &::renameat2;

QString lessonName(int lesson) {
    return u"t_"_s + QString::number(lesson);
}

QString systemReason() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

} // namespace

QString existingLessonEntry(const QString &library, int lesson) {
    const std::optional<QString> entry = lessonFolderEntry(QDir(library).absolutePath(), lesson);
    return entry ? QFileInfo(*entry).fileName() : QString();
}

void setRenameAt2ForTesting(RenameAt2Function function) {
    g_renameAt2 = function ? function : &::renameat2;
}

LessonWriter::LessonWriter(const QString &library, int lesson, bool replace)
    : m_library(QDir(library).absolutePath()), m_lesson(lesson),
      m_scratch(
          QDir(library).absoluteFilePath(u".t_"_s + QString::number(lesson) + u".new-XXXXXX"_s)) {
    if (!isLessonNumber(lesson))
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
        throwForErrno(errno, m_library + u": not writable ("_s + m_scratch.errorString() + u')');
    m_scratchLock = std::make_unique<FolderLock>(m_scratch.path());
    m_leftoversRemoved = removeLeftovers(m_library);
}

void LessonWriter::failWriting(const QString &file, int error, const QString &reason) const {
    throwForErrno(error, m_target + u'/' + file + u": cannot write: "_s + reason);
}

void LessonWriter::writeScript(const QString &title, const QStringList &sentences,
                               const std::vector<bool> &paragraphStarts, TextEncoding encoding) {
    // CR LF throughout: the lesson format comes from Windows and other readers of it
    // expect it. The player starts a new line only before a sentence that begins
    // with two spaces.
    QString text = title + u"\r\n"_s;
    for (qsizetype k = 0; k < sentences.size(); ++k) {
        const bool paragraph =
            k < qsizetype(paragraphStarts.size()) ? paragraphStarts[std::size_t(k)] : k == 1;
        text += (paragraph ? u"  "_s : QString()) + sentences[k] + u"\r\n"_s;
    }
    const QByteArray bytes = encodeLessonText(text, encoding);
    QFile file(m_scratch.filePath(u"script.txt"_s));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.flush())
        failWriting(u"script.txt"_s, errno, file.errorString());
    if (::fsync(file.handle()) != 0)
        failWriting(u"script.txt"_s, errno, systemReason());
    file.close();
}

namespace {

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

} // namespace

LessonWriter::SndfileHandle LessonWriter::openClip(const QString &fileName, int sampleRate,
                                                   int channels) const {
    SF_INFO info{};
    info.samplerate = sampleRate;
    info.channels = channels;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SndfileHandle file(
        sf_open(QFile::encodeName(m_scratch.filePath(fileName)).constData(), SFM_WRITE, &info));
    if (!file)
        failWriting(fileName, errno, QString::fromUtf8(sf_strerror(nullptr)));
    sf_command(file.get(), SFC_SET_CLIPPING, nullptr, SF_TRUE);
    return file;
}

void LessonWriter::closeClip(SndfileHandle file, const QString &fileName) const {
    if (sf_error(file.get()) != SF_ERR_NO_ERROR)
        failWriting(fileName, errno, QString::fromUtf8(sf_strerror(file.get())));
    // Synced once for the whole lesson before it takes its place.
    if (!closeChecked(file))
        failWriting(fileName, errno, systemReason());
    if (QFileInfo(m_scratch.filePath(fileName)).size() <= kWaveHeaderBytes)
        failWriting(fileName, EIO, u"the file is incomplete"_s);
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
    UniqueSndfile file;
    QString fileName;
    // Clips are written only at rates the player plays.
    const int clipRate = clipSampleRate(recording.sampleRate());
    std::optional<ClipResampler> resampler;
    const auto writeFrames = [&](const std::vector<float> &frames) {
        const auto count = qint64(frames.size()) / outChannels;
        if (count > 0 && sf_writef_float(file.get(), frames.data(), count) != count)
            failWriting(fileName, errno, QString::fromUtf8(sf_strerror(file.get())));
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
                file = openClip(fileName, clipRate, outChannels);
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
                failWriting(fileName, errno, QString::fromUtf8(sf_strerror(file.get())));
            offset += take;
            if (at + take == clip.end) {
                if (resampler) {
                    writeFrames(resampler->finish());
                    resampler.reset();
                }
                closeClip(std::move(file), fileName);
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
    const UniqueFd folder(
        ::open(QFile::encodeName(m_scratch.path()).constData(), O_RDONLY | O_DIRECTORY));
    if (!folder.isValid() || ::syncfs(folder.get()) != 0) {
        const int error = errno;
        throwForErrno(error, m_target + u": cannot write: "_s + systemReason());
    }
    QFile::setPermissions(m_scratch.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                QFileDevice::ExeOwner | QFileDevice::ReadGroup |
                                                QFileDevice::ExeGroup | QFileDevice::ReadOther |
                                                QFileDevice::ExeOther);
    const QByteArray from = QFile::encodeName(m_scratch.path());
    const QByteArray to = QFile::encodeName(m_target);
    if (!m_exists) {
        putInPlace(from, to);
        return;
    }
    // One atomic exchange: at every moment either the old or the new lesson is in place.
    if (g_renameAt2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_EXCHANGE) == 0) {
        // The temporary name now holds the old lesson, which QTemporaryDir removes.
        // A link to a folder elsewhere goes, but what it links to is not ours.
        if (m_existingIsLink) {
            QFile::remove(m_scratch.path());
            m_scratch.setAutoRemove(false);
        }
        return;
    }
    if (errno != EINVAL && errno != ENOSYS)
        throwForErrno(errno, m_target + u": cannot replace the lesson: "_s + systemReason());
    replaceAside(from, to);
}

void LessonWriter::putInPlace(const QByteArray &from, const QByteArray &to) {
    // RENAME_NOREPLACE: a lesson made meanwhile by someone else is not overwritten.
    if (g_renameAt2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0) {
        m_scratch.setAutoRemove(false);
        return;
    }
    if (errno != EINVAL && errno != ENOSYS)
        throwForErrno(errno, m_target + u": cannot put the lesson in place: "_s + systemReason());
    // Without the flag (FUSE): a plain rename replaces at most an empty folder
    // made in the meantime, never a lesson, since a folder with files in it is
    // never renamed over.
    struct stat existing {};
    if (::lstat(to.constData(), &existing) == 0)
        throw InputError(m_target + u": a lesson was made there meanwhile; nothing was changed"_s);
    if (::rename(from.constData(), to.constData()) != 0)
        throwForErrno(errno, m_target + u": cannot put the lesson in place: "_s + systemReason());
    m_scratch.setAutoRemove(false);
}

void LessonWriter::replaceAside(const QByteArray &from, const QByteArray &to) {
    // A file system without the exchange: the old lesson steps aside for a moment
    // into a locked folder and comes back if the new one cannot take its place. A
    // run killed in between leaves it there, and the next run puts it back.
    QTemporaryDir aside(m_library + u"/.t_"_s + QString::number(m_lesson) + u".old-XXXXXX"_s);
    const FolderLock asideLock(aside.path());
    const QByteArray old = QFile::encodeName(aside.path() + u"/lesson"_s);
    if (!aside.isValid() || ::rename(to.constData(), old.constData()) != 0)
        throwForErrno(errno, m_target + u": cannot replace the lesson: "_s + systemReason());
    if (::rename(from.constData(), to.constData()) != 0) {
        const int error = errno;
        const QString reason = systemReason();
        ::rename(old.constData(), to.constData());
        throwForErrno(error, m_target + u": cannot replace the lesson: "_s + reason);
    }
    m_scratch.setAutoRemove(false);
    // A link to a folder elsewhere goes, but what it links to is not ours.
    if (m_existingIsLink) {
        QFile::remove(QFile::decodeName(old));
        aside.setAutoRemove(false);
        QDir().rmdir(aside.path());
    }
}

} // namespace vovozodo
