#include "lessons/work_folders.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace vovozodo {

using namespace Qt::StringLiterals;

namespace {

// A run locks its folder right after creating it; a folder younger than this
// without a lock may be one whose run has not locked it yet.
constexpr qint64 kLockGraceSeconds = 10;

const QRegularExpression &workFolderName() {
    static const QRegularExpression name(u"^\\.t_(\\d+)\\.(new|old)-[A-Za-z0-9]{6}$"_s);
    return name;
}

// True when no live run holds the folder's lock; false also when it cannot tell.
bool abandoned(const QString &path) {
    const UniqueFd descriptor(::open(QFile::encodeName(path).constData(),
                                     O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    return descriptor.isValid() && ::flock(descriptor.get(), LOCK_EX | LOCK_NB) == 0;
}

} // namespace

FolderLock::FolderLock(const QString &path)
    : m_descriptor(
          ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
    if (m_descriptor.isValid() && ::flock(m_descriptor.get(), LOCK_EX | LOCK_NB) != 0)
        m_descriptor.reset();
}

QStringList leftoverFolders(const QString &library) {
    QStringList found;
    const QDir folder(library);
    const QDateTime settled = QDateTime::currentDateTime().addSecs(-kLockGraceSeconds);
    for (const QFileInfo &entry : folder.entryInfoList(QDir::Dirs | QDir::Hidden |
                                                       QDir::NoDotAndDotDot | QDir::NoSymLinks)) {
        if (workFolderName().match(entry.fileName()).hasMatch() && entry.lastModified() < settled &&
            abandoned(entry.filePath()))
            found.append(entry.filePath());
    }
    return found;
}

QStringList removeLeftovers(const QString &library) {
    QStringList done;
    for (const QString &path : leftoverFolders(library)) {
        const QRegularExpressionMatch match = workFolderName().match(QFileInfo(path).fileName());
        const QString lesson = u"t_"_s + match.captured(1);
        const QString aside = path + u"/lesson"_s;
        if (match.captured(2) == u"old"_s && QFileInfo(aside).isDir()) {
            bool taken = false;
            for (const QString &name :
                 QDir(library).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot))
                taken = taken || name.compare(lesson, Qt::CaseInsensitive) == 0;
            if (!taken && ::rename(QFile::encodeName(aside).constData(),
                                   QFile::encodeName(library + u'/' + lesson).constData()) == 0)
                done.append(lesson + u": put back from an interrupted run"_s);
        }
        if (QDir(path).removeRecursively())
            done.append(path + u": removed, left by a run that did not finish"_s);
    }
    return done;
}

} // namespace vovozodo
