#include "library/lesson_paths.h"

namespace vovozodo {

using namespace Qt::StringLiterals;

QString lessonFolderPath(const QString &installRoot, int lesson) {
    return installRoot + u"t_"_s + QString::number(lesson);
}

QString transcriptPath(const QString &installRoot, int lesson) {
    return lessonFolderPath(installRoot, lesson) + u"\\script.txt"_s;
}

QString soundFilePath(const QString &installRoot, int lesson, int sentence, QStringView extension) {
    return lessonFolderPath(installRoot, lesson) + u'\\' + QString::number(sentence) +
           extension.toString();
}

} // namespace vovozodo
