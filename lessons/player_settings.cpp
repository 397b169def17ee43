#include "lessons/player_settings.h"

#include "lessons/input_error.h"
#include "platform/profile_mapping.h"
#include "platform/profile_reader.h"
#include "platform/settings_file.h"
#include "platform/system_text.h"
#include "platform/windows_path.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cstring>

namespace vovozodo {

using namespace Qt::StringLiterals;

PlayerSettings readPlayerSettings() {
    PlayerSettings settings;
    const QString system = platform::systemSettingsFile();
    const QString answering =
        platform::profileFileAnswering(platform::kSettingsSection, platform::kSettingsKey, system);
    // Shown as a native path; the system file's name is written Windows-style.
    settings.file = platform::resolveWindowsPath(answering).value_or(
        QDir::cleanPath(QString(answering).replace(u'\\', u'/')));
    settings.fileExists = QFileInfo(settings.file).isFile();
    // The same call and buffer as the player's start-up.
    char value[kMaxLibraryValueBytes + 1] = {};
    platform::GetPrivateProfileStringA(platform::kSettingsSection, platform::kSettingsKey, "empty",
                                       value, sizeof value, QFile::encodeName(system).constData());
    settings.value =
        platform::decodeSystemText(QByteArrayView(value, qsizetype(std::strlen(value))));
    settings.installRoot = settings.value + u'\\';
    if (const std::optional<QString> folder = platform::resolveWindowsPath(settings.installRoot);
        folder && QFileInfo(*folder).isDir())
        settings.library = *folder;
    return settings;
}

namespace {

void refuseUnreadable(const QString &library) {
    const auto refuse = [&](const QString &reason) {
        throw InputError(library + u": the player cannot read this path: "_s + reason);
    };
    if (!QDir::isAbsolutePath(library))
        refuse(u"it is not absolute"_s);
    const QByteArray bytes = library.toUtf8();
    if (bytes.size() > kMaxLibraryValueBytes)
        refuse(QString::number(bytes.size()) + u" bytes, and the player reads at most "_s +
               QString::number(kMaxLibraryValueBytes));
    if (library.contains(u'\\'))
        refuse(u"a backslash separates folders for the player"_s);
    if (library.contains(u'\n') || library.contains(u'\r'))
        refuse(u"it holds a line end"_s);
    if (library.back() == u' ' || library.back() == u'\t' || library.back() == u'"' ||
        library.back() == u'\'')
        refuse(u"the settings file drops blanks and quotes at the end of a value"_s);
    const QFileInfo info(library);
    if (!info.isDir())
        refuse(u"no such folder"_s);
    if (!info.isReadable() || !info.isExecutable())
        refuse(u"the folder is not readable"_s);
}

// `lines` with the library key of the settings section set to `value`.
QStringList withLibrary(QStringList lines, const QString &value) {
    const QString section = QLatin1StringView(platform::kSettingsSection);
    const QString key = QLatin1StringView(platform::kSettingsKey);
    const QString setting = key + u'=' + value;
    qsizetype sectionLine = -1;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString trimmed = lines[i].trimmed();
        if (trimmed.startsWith(u'[')) {
            if (sectionLine >= 0)
                break; // the section ended without the key
            if (trimmed.compare(u'[' + section + u']', Qt::CaseInsensitive) == 0)
                sectionLine = i;
            continue;
        }
        if (sectionLine < 0 || trimmed.startsWith(u';'))
            continue;
        const qsizetype equals = trimmed.indexOf(u'=');
        if (equals > 0 && trimmed.first(equals).trimmed().compare(key, Qt::CaseInsensitive) == 0) {
            lines[i] = setting;
            return lines;
        }
    }
    if (sectionLine >= 0) {
        lines.insert(sectionLine + 1, setting);
        return lines;
    }
    lines.append(u'[' + section + u']');
    lines.append(setting);
    return lines;
}

} // namespace

QString usePlayerLibrary(const QString &library) {
    refuseUnreadable(library);
    QString file = platform::userProfileFile(platform::systemSettingsFile());
    if (file.isEmpty())
        throw InputError(
            u"no configuration folder: neither XDG_CONFIG_HOME nor HOME is an absolute path"_s);
    QStringList lines;
    if (QFile existing(file); existing.exists()) {
        if (!existing.open(QIODevice::ReadOnly))
            throw InputError(file + u": "_s + existing.errorString());
        lines = platform::decodeSystemText(existing.readAll()).split(u'\n');
        for (QString &line : lines)
            if (line.endsWith(u'\r'))
                line.chop(1);
        if (!lines.isEmpty() && lines.back().isEmpty())
            lines.removeLast();
    }
    const QString folder = QFileInfo(file).path();
    if (!QDir().mkpath(folder))
        throw InputError(folder + u": cannot create the folder"_s);
    QSaveFile out(file);
    const QByteArray bytes = (withLibrary(lines, library).join(u"\r\n"_s) + u"\r\n"_s).toUtf8();
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.commit())
        throw InputError(file + u": cannot write: "_s + out.errorString());
    return file;
}

} // namespace vovozodo
