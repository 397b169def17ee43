#include "lessons/library_check.h"

#include "library/catalogue.h"
#include "library/lesson_paths.h"
#include "library/lesson_script.h"
#include "platform/file_bytes.h"
#include "platform/text_file.h"
#include "platform/windows_path.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMultiHash>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QUtf8StringView>

#include <sndfile.h>

namespace vovozodo {

using namespace Qt::StringLiterals;

namespace {

QString soundName(qsizetype k) {
    return QString::number(k) + u".wav"_s;
}

// Names in `folder` that fold to the same spelling as another, grouped.
QList<QStringList> caseCollisions(const QString &folder, const auto &concerns) {
    QMultiHash<QString, QString> byFolded;
    const QStringList names = QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString &name : names)
        if (concerns(name))
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

// Where the bytes stop being UTF-8 and GB18030 alike, or -1 when one of them reads them.
qsizetype undecodableAt(const QByteArray &bytes) {
    if (QStringConverter::encodingForData(bytes).has_value())
        return -1;
    if (QUtf8StringView(bytes).isValidUtf8())
        return -1;
    QStringDecoder gb18030("GB18030", QStringConverter::Flag::Stateless);
    if (!gb18030.isValid())
        return -1;
    // The decoder flags an error but not its place; halving finds the first bad byte.
    const auto fails = [&](qsizetype length) {
        QStringDecoder decoder("GB18030", QStringConverter::Flag::Stateless);
        const QString text = decoder.decode(QByteArrayView(bytes).first(length));
        return decoder.hasError() || text.contains(QChar::ReplacementCharacter);
    };
    if (!fails(bytes.size()))
        return -1;
    qsizetype good = 0;
    qsizetype bad = bytes.size();
    while (bad - good > 1) {
        const qsizetype mid = (good + bad) / 2;
        (fails(mid) ? bad : good) = mid;
    }
    // An unfinished character at the cut also fails; step back to its start.
    return std::max<qsizetype>(0, bad - 1);
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

void checkLesson(const QString &installRoot, int lesson, CheckedEntry &entry,
                 platform::WindowsPathResolver &resolver) {
    const QString folderPath = lessonFolderPath(installRoot, lesson);
    const QString name = u"t_"_s + QString::number(lesson);
    const std::optional<QString> folder = resolver.resolve(folderPath);
    if (!folder) {
        entry.problems.append(name + u": no such folder"_s);
        return;
    }
    if (!QFileInfo(*folder).isDir()) {
        entry.problems.append(name + u": not a folder"_s);
        return;
    }
    const QString shown = QFileInfo(*folder).fileName();
    for (const QStringList &group :
         caseCollisions(QFileInfo(*folder).path(), [&](const QString &entryName) {
             return entryName.compare(name, Qt::CaseInsensitive) == 0;
         }))
        entry.problems.append(group.join(u" and "_s) +
                              u": names that differ only in case; the player takes "_s + shown);
    for (const QStringList &group : caseCollisions(*folder, [](const QString &entryName) {
             static const QRegularExpression lessonFile(u"^(script\\.txt|[0-9]+\\.wav)$"_s,
                                                        QRegularExpression::CaseInsensitiveOption);
             return lessonFile.match(entryName).hasMatch();
         }))
        entry.problems.append(shown + u": "_s + group.join(u" and "_s) +
                              u" differ only in case; the player takes one of them"_s);

    const QString scriptPath = transcriptPath(installRoot, lesson);
    const std::optional<QString> script = resolver.resolve(scriptPath);
    if (!script) {
        entry.problems.append(shown + u"/script.txt: missing"_s);
        return;
    }
    const QFileInfo scriptInfo(*script);
    const QString scriptName = shown + u'/' + scriptInfo.fileName();
    if (!scriptInfo.isFile()) {
        entry.problems.append(scriptName + u": not a regular file"_s);
        return;
    }
    if (scriptInfo.size() > platform::kMaxTextFileBytes) {
        entry.problems.append(scriptName +
                              u": larger than 16 MiB, which the player does not read"_s);
        return;
    }
    const std::optional<QByteArray> bytes =
        platform::detail::readRegularFile(*script, platform::kMaxTextFileBytes);
    if (!bytes) {
        entry.problems.append(scriptName + u": cannot be read"_s);
        return;
    }
    if (const qsizetype bad = undecodableAt(*bytes); bad >= 0)
        entry.problems.append(scriptName + u": neither valid UTF-8 nor GB18030 (byte "_s +
                              QString::number(bad) + u')');

    const qsizetype sentences = sentenceLines(platform::decodeTextLines(*bytes)).size();
    qsizetype files = 0;
    while (resolver.isRegularFile(soundFilePath(installRoot, lesson, int(files + 1), u".wav")))
        ++files;
    if (files != sentences) {
        QString problem = fileCountText(sentences, files);
        // A file after a gap is never counted; say so, it is the usual cause.
        for (qsizetype k = files + 2; k <= files + 10; ++k)
            if (resolver.isRegularFile(soundFilePath(installRoot, lesson, int(k), u".wav"))) {
                problem += u" ("_s + soundName(files + 1) + u" is missing, "_s + soundName(k) +
                           u" is there)"_s;
                break;
            }
        entry.problems.append(shown + u": "_s + problem);
    }
    for (qsizetype k = 1; k <= files; ++k) {
        const std::optional<QString> sound =
            resolver.resolve(soundFilePath(installRoot, lesson, int(k), u".wav"));
        SF_INFO info{};
        SNDFILE *file =
            sound ? sf_open(QFile::encodeName(*sound).constData(), SFM_READ, &info) : nullptr;
        if (!file) {
            entry.problems.append(
                shown + u'/' + (sound ? QFileInfo(*sound).fileName() : soundName(k)) +
                u": no decoder opens it: "_s + QString::fromUtf8(sf_strerror(nullptr)));
            continue;
        }
        sf_close(file);
    }
}

} // namespace

bool LibraryReport::ok() const {
    if (!problems.isEmpty())
        return false;
    for (std::size_t n = 1; n < entries.size(); ++n)
        if (!entries[n].valid || !entries[n].problems.isEmpty())
            return false;
    return true;
}

LibraryReport checkLibrary(const QString &library, const QString &installRoot) {
    LibraryReport report;
    report.library = library;
    const Catalogue catalogue = scanCatalogue(installRoot);
    platform::WindowsPathResolver resolver;
    for (std::size_t n = 0; n < catalogue.size(); ++n) {
        CheckedEntry &entry = report.entries[n];
        entry.text = catalogue[n].text;
        entry.valid = catalogue[n].valid;
        if (n > 0)
            checkLesson(installRoot, int(n), entry, resolver);
    }
    return report;
}

QString reportText(const LibraryReport &report) {
    QString text = u"Library: "_s + report.library + u'\n';
    for (const QString &problem : report.problems)
        text += u"  "_s + problem + u'\n';
    for (const CheckedEntry &entry : report.entries) {
        text += entry.text + u'\n';
        for (const QString &problem : entry.problems)
            text += u"    "_s + problem + u'\n';
    }
    return text;
}

QByteArray reportJson(const LibraryReport &report) {
    QJsonArray entries;
    for (std::size_t n = 0; n < report.entries.size(); ++n) {
        const CheckedEntry &entry = report.entries[n];
        entries.append(QJsonObject{{u"position"_s, int(n)},
                                   {u"text"_s, entry.text},
                                   {u"valid"_s, entry.valid},
                                   {u"problems"_s, QJsonArray::fromStringList(entry.problems)}});
    }
    const QJsonObject root{{u"library"_s, report.library},
                           {u"ok"_s, report.ok()},
                           {u"problems"_s, QJsonArray::fromStringList(report.problems)},
                           {u"entries"_s, entries}};
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

} // namespace vovozodo
