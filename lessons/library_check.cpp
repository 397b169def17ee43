#include "lessons/library_check.h"

#include "lessons/work_folders.h"
#include "library/catalogue.h"
#include "library/lesson_paths.h"
#include "library/lesson_script.h"
#include "library/playable_sound.h"
#include "library/transcript_encoding.h"
#include "platform/file_bytes.h"
#include "platform/text_file.h"
#include "platform/windows_path.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QMultiHash>
#include <QRegularExpression>

namespace vovozodo {

using namespace Qt::StringLiterals;

namespace {

// Entries of a lesson folder whose spelling matters to the player.
const QRegularExpression kLessonFileName(u"^(script\\.txt|[0-9]+\\.wav)$"_s,
                                         QRegularExpression::CaseInsensitiveOption);

QString soundName(qsizetype k) {
    return QString::number(k) + u".wav"_s;
}

QStringList entriesFolding(const QString &folder, const auto &concerns) {
    QStringList names;
    for (const QString &name : QDir(folder).entryList(
             QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name))
        if (concerns(name))
            names.append(name);
    return names;
}

// Names in `folder` that fold to the same spelling as another, grouped.
QList<QStringList> caseCollisions(const QString &folder, const auto &concerns) {
    QMultiHash<QString, QString> byFolded;
    for (const QString &name : entriesFolding(folder, concerns))
        byFolded.insert(name.toCaseFolded(), name);
    QList<QStringList> groups;
    for (const QString &key : byFolded.uniqueKeys()) {
        QStringList group = byFolded.values(key);
        if (group.size() > 1) {
            group.sort();
            groups.append(group);
        }
    }
    return groups;
}

QString fileCountText(qsizetype sentences, qsizetype files) {
    const QString said =
        QString::number(sentences) + (sentences == 1 ? u" sentence"_s : u" sentences"_s);
    if (files == 0)
        return said + u" but no 1.wav"_s;
    if (files == 1)
        return said + u" but only 1.wav"_s;
    return said + u" but 1.wav ... "_s + soundName(files);
}

qint64 folderBytes(const QString &folder) {
    qint64 bytes = 0;
    QDirIterator files(folder, QDir::Files | QDir::Hidden | QDir::System | QDir::NoSymLinks,
                       QDirIterator::Subdirectories);
    while (files.hasNext())
        bytes += files.nextFileInfo().size();
    return bytes;
}

class LessonCheck {
public:
    LessonCheck(const QString &installRoot, int lesson, CheckedEntry &entry,
                platform::WindowsPathResolver &resolver)
        : m_root(installRoot), m_lesson(lesson), m_entry(entry), m_resolver(resolver) {}

    void run(const QString &libraryFolder) {
        const QString name = lessonFolderName(m_lesson);
        const QStringList spellings = entriesFolding(libraryFolder, [&](const QString &entry) {
            return entry.compare(name, Qt::CaseInsensitive) == 0;
        });
        if (spellings.isEmpty()) {
            m_entry.empty = true;
            return;
        }
        // Resolved as a folder, as every path the player builds on it does: of a
        // file t_1 and a folder T_1, the folder is the lesson.
        const std::optional<QString> folder =
            m_resolver.resolve(lessonFolderPath(m_root, m_lesson) + u'\\');
        if (!folder) {
            m_entry.problems.append(spellings.join(u" and "_s) + u": not a folder"_s);
            return;
        }
        m_shown = QFileInfo(*folder).fileName();
        if (spellings.size() > 1)
            m_entry.notes.append(spellings.join(u" and "_s) +
                                 u": names that differ only in case; the player takes "_s +
                                 m_shown);
        for (const QStringList &group : caseCollisions(*folder, [](const QString &entry) {
                 return kLessonFileName.match(entry).hasMatch();
             }))
            m_entry.notes.append(m_shown + u": "_s + group.join(u" and "_s) +
                                 u" differ only in case; the player takes one of them"_s);
        const std::optional<qsizetype> sentences = checkTranscript();
        if (!sentences)
            return;
        const qsizetype files = countSoundFiles();
        if (files != *sentences)
            m_entry.problems.append(m_shown + u": "_s + fileCountText(*sentences, files) +
                                    gapText(files));
        checkSoundFiles(files);
    }

private:
    // The sentence count, or nothing when the player cannot read the transcript.
    std::optional<qsizetype> checkTranscript() {
        const std::optional<QString> script = m_resolver.resolve(transcriptPath(m_root, m_lesson));
        if (!script) {
            m_entry.problems.append(m_shown + u"/script.txt: missing"_s);
            return std::nullopt;
        }
        const QFileInfo info(*script);
        const QString shown = m_shown + u'/' + info.fileName();
        if (!info.isFile()) {
            m_entry.problems.append(shown + u": not a regular file"_s);
            return std::nullopt;
        }
        if (info.size() > platform::kMaxTextFileBytes) {
            m_entry.problems.append(shown +
                                    u": larger than 16 MiB, which the player does not read"_s);
            return std::nullopt;
        }
        const std::optional<QByteArray> bytes =
            platform::detail::readRegularFile(*script, platform::kMaxTextFileBytes);
        if (!bytes) {
            m_entry.problems.append(shown + u": cannot be read"_s);
            return std::nullopt;
        }
        if (const QString doubt = transcriptDoubt(*bytes); !doubt.isEmpty())
            m_entry.problems.append(shown + u": "_s + doubt);
        return sentenceLines(platform::decodeTextLines(*bytes)).size();
    }

    // Spelled as the player's playback spells them; names match without regard
    // to case, so the catalogue's ".wav" finds the same files.
    QString soundPath(qsizetype k) const {
        return soundFilePath(m_root, m_lesson, int(k), u".WAV");
    }

    qsizetype countSoundFiles() {
        qsizetype files = 0;
        while (m_resolver.isRegularFile(soundPath(files + 1)))
            ++files;
        return files;
    }

    // A file after a gap is never counted; say so, it is the usual cause.
    QString gapText(qsizetype files) {
        for (qsizetype k = files + 2; k <= files + 10; ++k)
            if (m_resolver.isRegularFile(soundPath(k)))
                return u" ("_s + soundName(files + 1) + u" is missing, "_s + soundName(k) +
                       u" is there)"_s;
        return {};
    }

    void checkSoundFiles(qsizetype files) {
        bool allPlay = true;
        for (qsizetype k = 1; k <= files; ++k) {
            const std::optional<QString> sound = m_resolver.resolve(soundPath(k));
            const QString shown =
                m_shown + u'/' + (sound ? QFileInfo(*sound).fileName() : soundName(k));
            const std::optional<SoundFormat> format = sound ? probeSoundFile(*sound) : std::nullopt;
            QString reason;
            if (!format)
                reason = u"no decoder reads it"_s;
            else
                reason = unplayableReason(*format);
            if (reason.isEmpty())
                continue;
            allPlay = false;
            m_entry.problems.append(shown + u": the player plays it as silence: "_s + reason);
        }
        m_entry.plays = m_entry.valid && allPlay;
    }

    const QString &m_root;
    const int m_lesson;
    CheckedEntry &m_entry;
    platform::WindowsPathResolver &m_resolver;
    QString m_shown; // the lesson folder's name as spelled on disk
};

} // namespace

bool LibraryReport::ok() const {
    if (!problems.isEmpty())
        return false;
    for (std::size_t n = 1; n < entries.size(); ++n) {
        const CheckedEntry &entry = entries[n];
        if (!entry.empty && (!entry.valid || !entry.plays || !entry.problems.isEmpty()))
            return false;
    }
    return true;
}

LibraryReport checkLibrary(const QString &library, const QString &installRoot) {
    LibraryReport report;
    report.library = library;
    const Catalogue catalogue = scanCatalogue(installRoot);
    platform::WindowsPathResolver resolver;
    const QString libraryFolder =
        resolver.resolve(installRoot.isEmpty() ? u"."_s : installRoot).value_or(QString());
    for (std::size_t n = 0; n < catalogue.size(); ++n) {
        CheckedEntry &entry = report.entries[n];
        entry.text = catalogue[n].text;
        entry.valid = catalogue[n].valid;
        if (n > 0 && !libraryFolder.isEmpty())
            LessonCheck(installRoot, int(n), entry, resolver).run(libraryFolder);
        else
            entry.empty = n > 0;
    }
    if (!libraryFolder.isEmpty())
        for (const QString &path : leftoverFolders(libraryFolder))
            report.leftovers.append({QFileInfo(path).fileName(), folderBytes(path)});
    return report;
}

QString reportText(const LibraryReport &report) {
    QString text = u"Library: "_s + report.library + u'\n';
    for (const QString &problem : report.problems)
        text += u"  "_s + problem + u'\n';
    for (const LeftoverFolder &leftover : report.leftovers)
        text += u"  note: "_s + leftover.name + u" ("_s +
                QLocale::c().formattedDataSize(leftover.bytes, 1, QLocale::DataSizeSIFormat) +
                u"): left by a stopped run of make; the next make into this library removes it\n"_s;
    for (std::size_t n = 1; n < report.entries.size(); ++n) {
        const CheckedEntry &entry = report.entries[n];
        text += entry.text + u'\n';
        if (entry.empty)
            text += u"    empty: no "_s + lessonFolderName(int(n)) + u" in the library\n"_s;
        for (const QString &problem : entry.problems)
            text += u"    "_s + problem + u'\n';
        for (const QString &note : entry.notes)
            text += u"    note: "_s + note + u'\n';
    }
    return text;
}

QByteArray reportJson(const LibraryReport &report) {
    QJsonArray lessons;
    for (std::size_t n = 1; n < report.entries.size(); ++n) {
        const CheckedEntry &entry = report.entries[n];
        lessons.append(QJsonObject{{u"lesson"_s, int(n)},
                                   {u"text"_s, entry.text},
                                   {u"valid"_s, entry.valid},
                                   {u"plays"_s, entry.plays},
                                   {u"empty"_s, entry.empty},
                                   {u"problems"_s, QJsonArray::fromStringList(entry.problems)},
                                   {u"notes"_s, QJsonArray::fromStringList(entry.notes)}});
    }
    QJsonArray leftovers;
    for (const LeftoverFolder &leftover : report.leftovers)
        leftovers.append(
            QJsonObject{{u"folder"_s, leftover.name}, {u"bytes"_s, double(leftover.bytes)}});
    const QJsonObject root{{u"library"_s, report.library},
                           {u"ok"_s, report.ok()},
                           {u"problems"_s, QJsonArray::fromStringList(report.problems)},
                           {u"leftovers"_s, leftovers},
                           {u"entries"_s, lessons}};
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

} // namespace vovozodo
