#pragma once

#include "lessons/clip_plan.h"
#include "lessons/lesson_text.h"

#include <QString>
#include <QTemporaryDir>

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

    void writeScript(const QString &title, const QStringList &sentences, TextEncoding encoding);
    // Decodes `recording` again and writes clip k as (k+1).wav: 16-bit PCM at the
    // recording's rate, mono or stereo, `gain` applied, with 5 ms fades.
    void writeClips(Recording &recording, const std::vector<Clip> &clips, double gain,
                    Progress &progress);
    // Moves the finished lesson into place. Throws InputError when that fails;
    // the previous lesson is then still in place.
    void commit();

private:
    [[noreturn]] void failWriting(const QString &file, const QString &reason) const;

    QString m_library;
    QString m_target;
    bool m_exists = false;
    bool m_existingIsLink = false;
    QTemporaryDir m_scratch;
};

// The existing entry of `library` that the player would take for t_N (names
// match without regard to case), or an empty string.
QString existingLessonEntry(const QString &library, int lesson);

} // namespace vovozodo
