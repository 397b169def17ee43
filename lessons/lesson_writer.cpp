#include "lessons/lesson_writer.h"

#include "handles/unique_fd.h"
#include "lessons/clip_files.h"
#include "lessons/input_error.h"
#include "lessons/interrupt.h"
#include "library/lesson_paths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
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

void LessonWriter::writeClips(Recording &recording, const std::vector<Clip> &clips, double gain,
                              Progress &progress) {
    writeClipFiles(m_scratch.path(), m_target, recording, clips, gain, progress);
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
