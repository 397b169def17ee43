#include "support/lesson_folder.h"

#include "support/tone.h"

#include <QDir>
#include <QFile>
#include <QStringEncoder>

namespace vovozodo {

LessonLibrary::LessonLibrary() = default;

QString LessonLibrary::root() const {
    return path() + QLatin1Char('\\');
}

QString LessonLibrary::lessonFolder(int lesson) const {
    return path() + QStringLiteral("/t_") + QString::number(lesson);
}

bool LessonLibrary::writeRaw(int lesson, const QString &fileName, const QByteArray &bytes) const {
    if (!QDir().mkpath(lessonFolder(lesson)))
        return false;
    QFile file(lessonFolder(lesson) + QLatin1Char('/') + fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return file.write(bytes) == bytes.size();
}

bool LessonLibrary::writeTranscript(int lesson, const QStringList &lines, const QByteArray &lineEnd,
                                    bool utf8) const {
    QStringEncoder encoder(utf8 ? "UTF-8" : "GB18030");
    if (!encoder.isValid())
        return false;
    QByteArray bytes;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (i > 0)
            bytes += lineEnd;
        bytes += QByteArray(encoder.encode(lines[i]));
    }
    return writeRaw(lesson, QStringLiteral("script.txt"), bytes);
}

bool LessonLibrary::writeSoundFiles(int lesson, int first, int last, const QString &extension,
                                    bool realAudio, int milliseconds) const {
    if (!QDir().mkpath(lessonFolder(lesson)))
        return false;
    for (int k = first; k <= last; ++k) {
        const QString file =
            lessonFolder(lesson) + QLatin1Char('/') + QString::number(k) + extension;
        if (realAudio) {
            if (!writeTone(file, 300.0 + 100.0 * k, milliseconds))
                return false;
        } else if (!writeRaw(lesson, QString::number(k) + extension, QByteArray())) {
            return false;
        }
    }
    return true;
}

bool LessonLibrary::writeLesson(int lesson, const QString &title,
                                const QStringList &sentences) const {
    return writeTranscript(lesson, QStringList{title} + sentences) &&
           writeSoundFiles(lesson, 1, int(sentences.size()));
}

} // namespace vovozodo
