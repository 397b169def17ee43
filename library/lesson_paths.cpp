#include "library/lesson_paths.h"

#include "platform/windows_path.h"

namespace vovozodo {

using namespace Qt::StringLiterals;

QString lessonFolderName(int lesson) {
    return u"t_"_s + QString::number(lesson);
}

QString lessonFolderPath(const QString &installRoot, int lesson) {
    return installRoot + lessonFolderName(lesson);
}

std::optional<QString> lessonFolderEntry(const QString &nativeLibrary, int lesson) {
    return platform::WindowsPathResolver().resolveIn(nativeLibrary, lessonFolderName(lesson), true);
}

QString transcriptPath(const QString &installRoot, int lesson) {
    return lessonFolderPath(installRoot, lesson) + u"\\script.txt"_s;
}

QString soundFilePath(const QString &installRoot, int lesson, int sentence, QStringView extension) {
    return lessonFolderPath(installRoot, lesson) + u'\\' + QString::number(sentence) +
           extension.toString();
}

} // namespace vovozodo
