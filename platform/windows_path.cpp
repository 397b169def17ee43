#include "platform/windows_path.h"

#include <QDir>
#include <QFile>
#include <QStringList>
#include <QUtf8StringView>

#include <algorithm>

#include <dirent.h>
#include <sys/stat.h>

namespace vovozodo {

using namespace Qt::StringLiterals;

namespace platform {

namespace {

QString caseFolded(QStringView name) {
    // Lesson folders are mostly ASCII names; toCaseFolded is only worth it beyond that.
    QString folded(name.size(), Qt::Uninitialized);
    QChar *out = folded.data();
    for (const QChar c : name) {
        const char16_t u = c.unicode();
        if (u >= 0x80)
            return name.toString().toCaseFolded();
        *out++ = (u >= u'A' && u <= u'Z') ? QChar(char16_t(u + (u'a' - u'A'))) : c;
    }
    return folded;
}

struct SplitPath {
    QStringList components; // from the root, "." and ".." already applied
    bool trailingSeparator = false;
};

std::optional<SplitPath> splitWindowsPath(const QString &windowsPath) {
    if (windowsPath.isEmpty() || windowsPath.contains(QChar(u'\0')))
        return std::nullopt;
    QString path = windowsPath;
    path.replace(u'\\', u'/');
    if (!path.startsWith(u'/')) {
        const QString current = QDir::currentPath();
        if (!current.startsWith(u'/'))
            return std::nullopt;
        path = current + u'/' + path;
    }
    SplitPath split;
    split.trailingSeparator = path.size() > 1 && path.endsWith(u'/');
    const auto parts = QStringView(path).split(u'/', Qt::SkipEmptyParts);
    for (const QStringView part : parts) {
        if (part == u".")
            continue;
        if (part == u"..") {
            if (!split.components.isEmpty())
                split.components.removeLast();
            continue;
        }
        split.components.append(part.toString());
    }
    return split;
}

QString joinNative(const QString &directory, const QString &name) {
    return directory.endsWith(u'/') ? directory + name : directory + u'/' + name;
}

// A path's last name and the folder text before it, when the name is a plain
// one ("a\\b\\name"); nothing for "", "x\\", "..", "." or a path with a NUL.
struct SplitName {
    QStringView folder;
    QStringView name;
};

std::optional<SplitName> splitLastName(const QString &windowsPath) {
    if (windowsPath.contains(QChar(u'\0')))
        return std::nullopt;
    qsizetype cut = windowsPath.size();
    while (cut > 0 && windowsPath[cut - 1] != u'\\' && windowsPath[cut - 1] != u'/')
        --cut;
    if (cut == 0)
        return std::nullopt;
    const QStringView name = QStringView(windowsPath).sliced(cut);
    if (name.isEmpty() || name == u"." || name == u"..")
        return std::nullopt;
    return SplitName{QStringView(windowsPath).first(cut - 1), name};
}

// The lower- and upper-case spellings of a name, the ones tried first in every
// folder; a spelling whose case mapping changes the folded name (German sharp s
// upper-cases to "SS") is not one of the name's spellings and is left out.
QStringList preferredSpellings(const QString &name, const QString &folded) {
    QStringList spellings;
    for (QString spelling : {name.toLower(), name.toUpper()}) {
        if (!spellings.contains(spelling) && caseFolded(spelling) == folded)
            spellings.append(std::move(spelling));
    }
    return spellings;
}

} // namespace

const QString *WindowsPathResolver::knownFolder(QStringView folderText) {
    if (!m_lastFolderNative.isEmpty() && m_lastFolderText == folderText)
        return &m_lastFolderNative;
    const auto folder = m_folders.constFind(folderText.toString());
    if (folder == m_folders.cend())
        return nullptr;
    m_lastFolderText = folder.key();
    m_lastFolderNative = *folder;
    return &m_lastFolderNative;
}

WindowsPathResolver::Found WindowsPathResolver::findIn(const QString &nativeFolder,
                                                       const QString &name, Kind wanted) {
    const QString folded = caseFolded(name);
    const QStringList preferred = preferredSpellings(name, folded);
    Found fallback;
    // The first usable candidate wins; the first existing one stands in when none is.
    const auto consider = [&](const QString &spelling, Kind kind) {
        if (kind == Kind::Missing)
            return false;
        if (kind == wanted) {
            fallback = {joinNative(nativeFolder, spelling), kind};
            return true;
        }
        if (fallback.kind == Kind::Missing)
            fallback = {joinNative(nativeFolder, spelling), kind};
        return false;
    };
    const auto fromListing = [&](const Listing &entries) {
        const QList<Entry> group = entries.byFoldedName.value(folded);
        for (const QString &spelling : preferred) {
            const auto entry = std::find_if(group.cbegin(), group.cend(),
                                            [&](const Entry &e) { return e.name == spelling; });
            if (entry != group.cend() && consider(entry->name, entry->kind))
                return fallback;
        }
        for (const Entry &entry : group) {
            if (!preferred.contains(entry.name) && consider(entry.name, entry.kind))
                break;
        }
        return fallback;
    };

    if (const auto cached = m_listings.constFind(nativeFolder); cached != m_listings.cend())
        return fromListing(*cached);

    // The preferred spellings are checked one by one before any listing is read: they
    // are nearly always what is on disk, and a folder of thousands of sound files then
    // costs one check per file.
    const auto kindOnDisk = [&](const QString &spelling) {
        struct stat status {};
        if (::stat(QFile::encodeName(joinNative(nativeFolder, spelling)).constData(), &status) != 0)
            return Kind::Missing;
        return S_ISDIR(status.st_mode)   ? Kind::Directory
               : S_ISREG(status.st_mode) ? Kind::RegularFile
                                         : Kind::Other;
    };
    for (const QString &spelling : preferred) {
        if (consider(spelling, kindOnDisk(spelling)))
            return fallback;
    }
    const Listing &entries = listing(nativeFolder);
    if (entries.readable) {
        fallback = {};
        return fromListing(entries);
    }
    if (!preferred.contains(name))
        consider(name, kindOnDisk(name));
    return fallback;
}

WindowsPathResolver::Found WindowsPathResolver::lookup(const QString &windowsPath) {
    const std::optional<SplitName> last = splitLastName(windowsPath);
    if (last) {
        if (const QString *folder = knownFolder(last->folder))
            return findIn(*folder, last->name.toString(), Kind::RegularFile);
    }

    const std::optional<SplitPath> split = splitWindowsPath(windowsPath);
    if (!split)
        return {};
    Found found{u"/"_s, Kind::Directory};
    const qsizetype count = split->components.size();
    for (qsizetype i = 0; i < count; ++i) {
        if (found.kind != Kind::Directory)
            return {};
        const bool isLast = i == count - 1;
        if (isLast && last)
            m_folders.insert(last->folder.toString(), found.path);
        const Kind wanted =
            isLast && !split->trailingSeparator ? Kind::RegularFile : Kind::Directory;
        found = findIn(found.path, split->components[i], wanted);
        if (found.kind == Kind::Missing)
            return {};
    }
    if (split->trailingSeparator && found.kind != Kind::Directory)
        return {};
    return found;
}

const WindowsPathResolver::Listing &WindowsPathResolver::listing(const QString &nativeFolder) {
    if (const auto cached = m_listings.constFind(nativeFolder); cached != m_listings.cend())
        return *cached;
    Listing &entries = m_listings[nativeFolder];
    DIR *directory = ::opendir(QFile::encodeName(nativeFolder).constData());
    if (directory == nullptr)
        return entries;
    entries.readable = true;

    while (const dirent *item = ::readdir(directory)) {
        const QByteArrayView bytes(item->d_name);
        if (bytes == "." || bytes == "..")
            continue;
        // File names are UTF-8. A name that is not valid UTF-8 could not be opened again
        // through the decoded string, so it is left out rather than mis-resolved.
        if (!QUtf8StringView(bytes).isValidUtf8())
            continue;
        Entry entry{QString::fromUtf8(bytes)};

        unsigned char type = DT_UNKNOWN;
#ifdef _DIRENT_HAVE_D_TYPE
        type = item->d_type;
#endif
        if (type == DT_LNK || type == DT_UNKNOWN) {
            struct stat status {};
            if (::fstatat(::dirfd(directory), item->d_name, &status, 0) != 0)
                continue; // dangling link, or gone since the read
            type = S_ISDIR(status.st_mode) ? DT_DIR : S_ISREG(status.st_mode) ? DT_REG : DT_UNKNOWN;
        }
        entry.kind = type == DT_DIR   ? Kind::Directory
                     : type == DT_REG ? Kind::RegularFile
                                      : Kind::Other;

        QList<Entry> &group = entries.byFoldedName[caseFolded(entry.name)];
        const auto before = std::find_if(group.begin(), group.end(),
                                         [&](const Entry &e) { return entry.name < e.name; });
        group.insert(before, std::move(entry));
    }
    ::closedir(directory);
    return entries;
}

std::optional<QString> WindowsPathResolver::resolve(const QString &windowsPath) {
    Found found = lookup(windowsPath);
    if (found.kind == Kind::Missing)
        return std::nullopt;
    return std::move(found.path);
}

bool WindowsPathResolver::isRegularFile(const QString &windowsPath) {
    return lookup(windowsPath).kind == Kind::RegularFile;
}

std::optional<QString> WindowsPathResolver::resolveIn(const QString &nativeFolder,
                                                      const QString &name, bool folder) {
    Found found = findIn(nativeFolder, name, folder ? Kind::Directory : Kind::RegularFile);
    if (found.kind == Kind::Missing)
        return std::nullopt;
    return std::move(found.path);
}

std::optional<QString> resolveWindowsPath(const QString &windowsPath) {
    return WindowsPathResolver().resolve(windowsPath);
}

bool isRegularFile(const QString &windowsPath) {
    return WindowsPathResolver().isRegularFile(windowsPath);
}

} // namespace platform

} // namespace vovozodo
