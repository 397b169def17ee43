#pragma once

#include <QString>

namespace vovozodo {

// An issue holds lessons 1 to kLessonCount, in folders t_1 ... t_15 of the
// install root. Paths are Windows-style: plain concatenation onto the root,
// which already ends with a backslash (an empty root means the current folder).
inline constexpr int kLessonCount = 15;

QString lessonFolderPath(const QString &installRoot, int lesson);
QString transcriptPath(const QString &installRoot, int lesson);
// `extension` is ".wav" for the catalogue and ".WAV" for playback; names
// match without regard to case, so both name the same file.
QString soundFilePath(const QString &installRoot, int lesson, int sentence, QStringView extension);

} // namespace vovozodo
