#include "platform/windows_path.h"

#include <QDir>
#include <QFile>
#include <QStringList>
#include <QUtf8StringView>

#include <dirent.h>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace platform {

namespace {

// Folds into `out`, reusing its memory: a scan folds one name per sound file.
void caseFoldInto(QStringView name, QString &out) {
    out.resize(name.size());
    QChar *folded = out.data();
    for (const QChar c : name) {
        const char16_t u = c.unicode();
        // Lesson folders are mostly ASCII names; toCaseFolded is only worth it beyond that.
        if (u >= 0x80) {
            out = name.toString().toCaseFolded();
            return;
        }
        *folded++ = (u >= u'A' && u <= u'Z') ? QChar(char16_t(u + (u'a' - u'A'))) : c;
    }
}

QString caseFolded(QStringView name) {
    QString folded;
    caseFoldInto(name, folded);
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

} // namespace

const WindowsPathResolver::Entry *WindowsPathResolver::findEntry(const Listing &entries,
                                                                 QStringView name) {
    // The exact spelling first, then any spelling.
    m_key.resize(0);
    m_key.append(name);
    auto match = entries.collidingNames.constFind(m_key);
    if (match != entries.collidingNames.cend())
        return &*match;
    caseFoldInto(name, m_key);
    match = entries.byFoldedName.constFind(m_key);
    return match == entries.byFoldedName.cend() ? nullptr : &*match;
}

WindowsPathResolver::Kind WindowsPathResolver::kindOf(const Entry &entry) {
    return entry.isDirectory     ? Kind::Directory
           : entry.isRegularFile ? Kind::RegularFile
                                 : Kind::Other;
}

WindowsPathResolver::Found WindowsPathResolver::lookup(const QString &windowsPath) {
    QString folder;
    if (const std::optional<const Entry *> entry = entryInListedFolder(windowsPath, &folder)) {
        if (!*entry)
            return {};
        return {joinNative(folder, (*entry)->name), kindOf(**entry)};
    }

    const std::optional<SplitPath> split = splitWindowsPath(windowsPath);
    if (!split)
        return {};
    const auto withTrailing = [&](Found found) {
        if (split->trailingSeparator && found.kind != Kind::Directory)
            return Found{};
        return found;
    };

    QString exact = u"/"_s + split->components.join(u'/');
    struct stat status {};
    if (::stat(QFile::encodeName(exact).constData(), &status) == 0) {
        const Kind kind = S_ISDIR(status.st_mode)   ? Kind::Directory
                          : S_ISREG(status.st_mode) ? Kind::RegularFile
                                                    : Kind::Other;
        return withTrailing({std::move(exact), kind});
    }

    Found found{u"/"_s, Kind::Directory};
    for (qsizetype i = 0; i < split->components.size(); ++i) {
        if (found.kind != Kind::Directory)
            return {};
        const QString &component = split->components[i];
        const Listing &entries = listing(found.path);
        if (i == split->components.size() - 1) {
            if (const std::optional<SplitName> name = splitLastName(windowsPath)) {
                m_listedFolders.insert(name->folder.toString(), found.path);
                m_lastFolder = {};
            }
        }
        const Entry *match = findEntry(entries, component);
        if (!match)
            return {};
        found.kind = kindOf(*match);
        found.path = joinNative(found.path, match->name);
    }
    return withTrailing(std::move(found));
}

std::optional<const WindowsPathResolver::Entry *>
WindowsPathResolver::entryInListedFolder(const QString &windowsPath, QString *nativeFolder) {
    const std::optional<SplitName> name = splitLastName(windowsPath);
    if (!name)
        return std::nullopt;
    // Consecutive names mostly share their folder: compare before hashing. The root's
    // folder text is empty, like that of a resolver that has remembered no folder yet.
    if (!m_lastFolder.listing || m_lastFolder.text != name->folder) {
        const auto folder = m_listedFolders.constFind(name->folder.toString());
        if (folder == m_listedFolders.cend())
            return std::nullopt;
        const auto entries = m_listings.constFind(*folder);
        if (entries == m_listings.cend())
            return std::nullopt;
        m_lastFolder = {folder.key(), *folder, &*entries};
    }
    if (nativeFolder)
        *nativeFolder = m_lastFolder.native;
    return findEntry(*m_lastFolder.listing, name->name);
}

const WindowsPathResolver::Listing &WindowsPathResolver::listing(const QString &nativeDirectory) {
    if (const auto cached = m_listings.constFind(nativeDirectory); cached != m_listings.cend())
        return *cached;
    m_lastFolder = {}; // the insertion may move the listings it points into
    Listing &entries = m_listings[nativeDirectory];
    DIR *directory = ::opendir(QFile::encodeName(nativeDirectory).constData());
    if (directory == nullptr)
        return entries;

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
            entry.isDirectory = S_ISDIR(status.st_mode);
            entry.isRegularFile = S_ISREG(status.st_mode);
        } else {
            entry.isDirectory = type == DT_DIR;
            entry.isRegularFile = type == DT_REG;
        }

        Entry &existing = entries.byFoldedName[caseFolded(entry.name)];
        if (existing.name.isEmpty()) { // names on disk are never empty: a new slot
            existing = std::move(entry);
            continue;
        }
        entries.collidingNames.insert(existing.name, existing);
        entries.collidingNames.insert(entry.name, entry);
        if (entry.name < existing.name)
            existing = std::move(entry);
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
    if (const std::optional<const Entry *> entry = entryInListedFolder(windowsPath, nullptr))
        return *entry && (*entry)->isRegularFile;
    return lookup(windowsPath).kind == Kind::RegularFile;
}

std::optional<QString> resolveWindowsPath(const QString &windowsPath) {
    return WindowsPathResolver().resolve(windowsPath);
}

bool isRegularFile(const QString &windowsPath) {
    return WindowsPathResolver().isRegularFile(windowsPath);
}

} // namespace platform
