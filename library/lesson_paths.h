#pragma once

#include <QString>

#include <optional>

namespace vovozodo {

// An issue holds lessons 1 to kLessonCount, in folders t_1 ... t_15 of the
// install root. Paths are Windows-style: plain concatenation onto the root,
// which already ends with a backslash (an empty root means the current folder).
inline constexpr int kLessonCount = 15;
// The lesson chooser's entries: the prompt at 0, lesson n at n.
inline constexpr int kChooserEntries = kLessonCount + 1;

constexpr bool isLessonNumber(qint64 n) {
    return n >= 1 && n <= kLessonCount;
}

// "t_" + n, the name the player builds for lesson n's folder.
QString lessonFolderName(int lesson);

QString lessonFolderPath(const QString &installRoot, int lesson);

// The entry of the native folder `nativeLibrary` the player takes for lesson
// `lesson`'s folder (names match without regard to case, and a folder is taken
// before a file of the same name), as a native path; nothing when no spelling
// of t_N is there. It may be no folder at all.
std::optional<QString> lessonFolderEntry(const QString &nativeLibrary, int lesson);
QString transcriptPath(const QString &installRoot, int lesson);
// `extension` is ".wav" for the catalogue and ".WAV" for playback; names
// match without regard to case, so both name the same file.
QString soundFilePath(const QString &installRoot, int lesson, int sentence, QStringView extension);

} // namespace vovozodo
