#pragma once

#include <QStringList>
#include <QTemporaryDir>

namespace vovozodo {

// A lesson library in a temporary folder: t_1 ... t_15 with script.txt and
// sound files, made by the test itself. root() ends with a separator and can be
// used as the install root.
class LessonLibrary {
public:
    LessonLibrary();

    bool isValid() const { return m_dir.isValid(); }
    QString path() const { return m_dir.path(); }
    // The folder with a trailing backslash, the form the program keeps.
    QString root() const;
    QString lessonFolder(int lesson) const;

    // Writes t_<lesson>/script.txt: the lines joined by `lineEnd`, encoded
    // as GB18030 unless `utf8`.
    bool writeTranscript(int lesson, const QStringList &lines, const QByteArray &lineEnd = "\r\n",
                         bool utf8 = false) const;
    bool writeRaw(int lesson, const QString &fileName, const QByteArray &bytes) const;
    // Sound files named "<k><extension>" for k = first..last, each a short tone
    // (or an empty file when `realAudio` is false, enough for the catalogue).
    bool writeSoundFiles(int lesson, int first, int last,
                         const QString &extension = QStringLiteral(".wav"), bool realAudio = false,
                         int milliseconds = 200) const;
    // A whole valid lesson: title, sentences and matching empty sound files.
    bool writeLesson(int lesson, const QString &title, const QStringList &sentences) const;

private:
    QTemporaryDir m_dir;
};

} // namespace vovozodo
