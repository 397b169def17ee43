#include "library/catalogue.h"

#include "library/lesson_paths.h"
#include "library/logging.h"
#include "library/script_text.h"
#include "platform/text_file.h"
#include "platform/windows_path.h"

#include <algorithm>

namespace vovozodo {

using namespace Qt::StringLiterals;

QString lessonPromptEntry() {
    const QString hyphens(20, u'-');
    return hyphens + u" Please select a program "_s + hyphens;
}

namespace {

qsizetype countSentenceLines(const QStringList &fileLines) {
    if (fileLines.isEmpty())
        return 0;
    return std::count_if(fileLines.cbegin() + 1, fileLines.cend(),
                         [](const QString &line) { return !isBlankLine(line); });
}

// Sound files are counted from 1 up to the first number that is missing.
qsizetype countSoundFiles(const QString &installRoot, int lesson,
                          platform::WindowsPathResolver &resolver) {
    // The folder's part of every name is built once: a lesson may have
    // thousands of sound files.
    const QString prefix = lessonFolderPath(installRoot, lesson) + u'\\';
    QString path;
    qsizetype count = 0;
    for (;;) {
        path.resize(0);
        path.append(prefix);
        appendDecimal(path, count + 1);
        path.append(u".wav");
        if (!resolver.isRegularFile(path))
            return count;
        ++count;
    }
}

} // namespace

CatalogueEntry scanLesson(const QString &installRoot, int lesson,
                          platform::WindowsPathResolver &resolver) {
    const QString number = QString::number(lesson);
    const std::optional<QStringList> lines =
        platform::readTextLines(transcriptPath(installRoot, lesson), resolver);
    if (!lines) {
        qCDebug(lcLibrary) << "lesson" << lesson << "has no readable transcript";
        return {number + u". Error: The script file has not been found."_s, false};
    }

    const qsizetype sentences = countSentenceLines(*lines);
    const qsizetype soundFiles = countSoundFiles(installRoot, lesson, resolver);
    if (sentences != soundFiles) {
        qCDebug(lcLibrary) << "lesson" << lesson << "has" << sentences << "sentences and"
                           << soundFiles << "sound files in a row";
        return {
            number +
                u". Error: The number of sound files \u2260 the number of lines in the script."_s,
            false};
    }

    const QString title = lines->isEmpty() ? QString() : lines->first();
    return {number + u". "_s + trimBlanks(title), true};
}

Catalogue scanCatalogue(const QString &installRoot) {
    Catalogue catalogue;
    catalogue[0] = {lessonPromptEntry(), false};
    platform::WindowsPathResolver resolver;
    for (int lesson = 1; lesson <= kLessonCount; ++lesson)
        catalogue[std::size_t(lesson)] = scanLesson(installRoot, lesson, resolver);
    return catalogue;
}

} // namespace vovozodo
