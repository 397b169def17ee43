#include "lessons/player_settings.h"

#include "handles/unique_fd.h"

#include "lessons/input_error.h"
#include "library/install_setting.h"
#include "platform/file_bytes.h"
#include "platform/profile_mapping.h"
#include "platform/profile_reader.h"
#include "platform/settings_file.h"
#include "platform/windows_path.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QStringConverter>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
    // The same lookup as the player's start-up, which keeps InstallRoot empty (the
    // current folder) for an empty value.
    const InstallPathLookup lookup = lookUpInstallPath(system);
    settings.value = lookup.value;
    if (qint16(lookup.count) > 0)
        settings.installRoot = settings.value + u'\\';
    if (const std::optional<QString> folder = platform::resolveWindowsPath(
            settings.installRoot.isEmpty() ? u"."_s : settings.installRoot);
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

QString systemReason() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

// The file a write to `file` lands in: a link is written through to what it
// names, so the link stays.
QString writtenFile(const QString &file) {
    QString path = file;
    for (int hops = 0; QFileInfo(path).isSymLink(); ++hops) {
        if (hops == 40)
            throw InputError(file + u": too many links"_s);
        const QString target = QFileInfo(path).symLinkTarget();
        if (target.isEmpty())
            throw InputError(file + u": a link that names nothing"_s);
        path = target;
    }
    return path;
}

struct Existing {
    QByteArray bytes;
    mode_t mode = 0644;
};

// What the settings file holds now. Anything the player would not read as a
// settings file (a FIFO, a device, a folder, a file larger than it reads) is
// refused before it is opened, so nothing here can block or run away.
Existing readExisting(const QString &file) {
    Existing existing;
    struct stat status {};
    const QByteArray name = QFile::encodeName(file);
    if (::stat(name.constData(), &status) != 0) {
        if (errno == ENOENT)
            return existing;
        throw InputError(file + u": "_s + systemReason());
    }
    const auto refuse = [&](const QString &why) {
        throw InputError(file + u": "_s + why +
                         u"; the player reads it as missing, and it is "_s
                         u"left as it is"_s);
    };
    if (!S_ISREG(status.st_mode))
        refuse(u"not a regular file"_s);
    if (status.st_size > platform::kMaxProfileBytes)
        refuse(u"larger than the 16 MiB of a settings file"_s);
    const std::optional<QByteArray> bytes =
        platform::detail::readRegularFile(file, platform::kMaxProfileBytes);
    if (!bytes)
        throw InputError(file + u": cannot be read"_s);
    const std::optional<QStringConverter::Encoding> marked =
        QStringConverter::encodingForData(*bytes);
    if (marked && *marked != QStringConverter::Utf8)
        refuse(u"UTF-16 or UTF-32 text, which the player does not read"_s);
    existing.bytes = *bytes;
    existing.mode = status.st_mode & 07777;
    return existing;
}

// Replaces `file` with `bytes` in one step: a temporary file beside it, synced,
// renamed over it, and the folder synced, so that a crash leaves the old file
// or the new one, never a mix.
void replaceFile(const QString &file, const QByteArray &bytes, mode_t mode) {
    const QFileInfo info(file);
    const QString folder = info.absolutePath();
    QByteArray scratch = QFile::encodeName(folder + u"/."_s + info.fileName() + u".new-XXXXXX"_s);
    UniqueFd out(::mkostemp(scratch.data(), O_CLOEXEC));
    if (out.get() < 0)
        throw InputError(file + u": cannot write beside it: "_s + systemReason());
    bool placed = false;
    const auto cleanUp = qScopeGuard([&] {
        if (!placed)
            ::unlink(scratch.constData());
    });
    const auto fail = [&] { throw InputError(file + u": cannot write: "_s + systemReason()); };
    if (::fchmod(out.get(), mode) != 0)
        fail();
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t wrote =
            ::write(out.get(), bytes.constData() + done, std::size_t(bytes.size() - done));
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0)
            fail();
        done += wrote;
    }
    if (::fsync(out.get()) != 0 || !out.closeChecked())
        fail();
    if (::rename(scratch.constData(), QFile::encodeName(file).constData()) != 0)
        fail();
    placed = true;
    const UniqueFd directory(
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (directory.get() < 0 || ::fsync(directory.get()) != 0)
        fail();
}

} // namespace

QString usePlayerLibrary(const QString &library) {
    refuseUnreadable(library);
    QString file = platform::userProfileFile(platform::systemSettingsFile());
    if (file.isEmpty())
        throw InputError(
            u"no configuration folder: neither XDG_CONFIG_HOME nor HOME is an absolute path"_s);
    const QString target = writtenFile(file);
    const Existing existing = readExisting(target);
    const QByteArray edited = withInstallPath(existing.bytes, library.toUtf8());
    if (edited == existing.bytes && QFileInfo::exists(target))
        return file;
    const QString folder = QFileInfo(target).absolutePath();
    if (!QDir().mkpath(folder))
        throw InputError(folder + u": cannot create the folder"_s);
    replaceFile(target, edited, existing.mode);
    return file;
}

} // namespace vovozodo
