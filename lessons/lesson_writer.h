#pragma once

#include "lessons/clip_plan.h"
#include "lessons/lesson_text.h"
#include "lessons/work_folders.h"

#include <QString>
#include <QTemporaryDir>

#include <memory>
#include <vector>

namespace vovozodo {

class Progress;
class Recording;

// Writes lesson folder t_N of a library so that nothing is ever half-written:
// everything goes into a hidden temporary folder beside it, which is moved
// into place by commit() once complete. An existing lesson is swapped out in
// the same step and only then removed; until commit() (or when anything
// throws, or Ctrl-C unwinds the stack) the temporary folder is deleted and
// the library is as it was.
class LessonWriter {
public:
    // Throws InputError when the library is no writable folder, or the lesson
    // exists and `replace` is false.
    LessonWriter(const QString &library, int lesson, bool replace);

    // The lesson folder as it will be named (an existing folder keeps its spelling).
    QString lessonPath() const { return m_target; }

    // Sentences marked in `paragraphStarts` begin a new paragraph in the player
    // (two leading spaces); the others run on from the sentence before.
    void writeScript(const QString &title, const QStringList &sentences,
                     const std::vector<bool> &paragraphStarts, TextEncoding encoding);
    // The clips as writeClipFiles() writes them, into the lesson.
    void writeClips(Recording &recording, const std::vector<Clip> &clips, double gain,
                    Progress &progress);
    // Moves the finished lesson into place. Throws InputError when that fails;
    // the previous lesson is then still in place.
    void commit();

    // The hidden folder the lesson is written in until commit().
    QString scratchPath() const { return m_scratch.path(); }
    // What was cleared away from killed runs when the writer was made.
    const QStringList &leftoversRemoved() const { return m_leftoversRemoved; }

private:
    [[noreturn]] void failWriting(const QString &file, int error, const QString &reason) const;
    void putInPlace(const QByteArray &from, const QByteArray &to);
    void replaceAside(const QByteArray &from, const QByteArray &to);

    QString m_library;
    QString m_target;
    bool m_exists = false;
    bool m_existingIsLink = false;
    int m_lesson = 0;
    QStringList m_leftoversRemoved;
    QTemporaryDir m_scratch;
    std::unique_ptr<FolderLock> m_scratchLock;
};

// renameat2(2), replaceable so that tests can make it fail as it does on file
// systems without its flags (FUSE answers EINVAL).
using RenameAt2Function = int (*)(int, const char *, int, const char *, unsigned int);
void setRenameAt2ForTesting(RenameAt2Function function);

// The existing entry of `library` that the player would take for t_N (names
// match without regard to case), or an empty string.
QString existingLessonEntry(const QString &library, int lesson);

} // namespace vovozodo
