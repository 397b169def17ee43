#include "platform/windows_path.h"

#include <QDir>
#include <QFile>
#include <QStringList>

#include <dirent.h>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace platform {

namespace {

QString caseFolded(const QString &name) {
    // Lesson folders are mostly ASCII names; toCaseFolded is only worth it beyond that.
    QString folded(name.size(), Qt::Uninitialized);
    QChar *out = folded.data();
    for (const QChar c : name) {
        const char16_t u = c.unicode();
        if (u >= 0x80)
            return name.toCaseFolded();
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

} // namespace

WindowsPathResolver::Found WindowsPathResolver::lookup(const QString &windowsPath) {
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
    for (const QString &component : split->components) {
        if (found.kind != Kind::Directory)
            return {};
        // Copy out of the listing: the next listing() call may rehash m_listings.
        const Listing &entries = listing(found.path);
        auto match = entries.collidingNames.constFind(component);
        if (match == entries.collidingNames.cend()) {
            match = entries.byFoldedName.constFind(caseFolded(component));
            if (match == entries.byFoldedName.cend())
                return {};
        }
        found.kind = match->isDirectory     ? Kind::Directory
                     : match->isRegularFile ? Kind::RegularFile
                                            : Kind::Other;
        found.path = joinNative(found.path, match->name);
    }
    return withTrailing(std::move(found));
}

const WindowsPathResolver::Listing &WindowsPathResolver::listing(const QString &nativeDirectory) {
    if (const auto cached = m_listings.constFind(nativeDirectory); cached != m_listings.cend())
        return *cached;
    Listing &entries = m_listings[nativeDirectory];
    DIR *directory = ::opendir(QFile::encodeName(nativeDirectory).constData());
    if (directory == nullptr)
        return entries;

    while (const dirent *item = ::readdir(directory)) {
        const QByteArray bytes(item->d_name);
        if (bytes == "." || bytes == "..")
            continue;
        Entry entry{QFile::decodeName(bytes)};
        // A name that is not valid in the file-name encoding could not be opened again
        // through the decoded string, so it is left out rather than mis-resolved.
        if (QFile::encodeName(entry.name) != bytes)
            continue;

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

        const QString folded = caseFolded(entry.name);
        const auto existing = entries.byFoldedName.find(folded);
        if (existing == entries.byFoldedName.end()) {
            entries.byFoldedName.insert(folded, std::move(entry));
            continue;
        }
        entries.collidingNames.insert(existing->name, *existing);
        entries.collidingNames.insert(entry.name, entry);
        if (entry.name < existing->name)
            *existing = std::move(entry);
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

std::optional<QString> resolveWindowsPath(const QString &windowsPath) {
    return WindowsPathResolver().resolve(windowsPath);
}

bool isRegularFile(const QString &windowsPath) {
    return WindowsPathResolver().isRegularFile(windowsPath);
}

} // namespace platform
