#pragma once

#include <QHash>
#include <QString>

#include <optional>

namespace platform {

// Lesson paths are written Windows-style: backslashes, and names that match
// files without regard to case ("1.WAV" names "1.wav"). This maps such a path
// onto the case-sensitive file system: '\' becomes '/', and where the exact
// name does not exist each component is looked up case-insensitively.
//
// Separators may be repeated ("root\\t_1"); "." and ".." are applied to the
// text, as Windows does, before anything is looked up. A path beginning with a
// separator is absolute, anything else is relative to the current folder; a
// path holding a NUL never resolves. Links are followed: a dangling link does
// not exist, a link to a device exists but is no regular file. When names that
// differ only in case share a folder, the exact spelling wins; otherwise the
// name that sorts first (by UTF-16 code units) is taken, whatever the order on
// disk.
//
// One resolver caches the directory listings it reads, so a scan over many
// files costs one directory read per folder. Use one resolver for one scan and
// drop it afterwards, so later changes on disk are seen.
class WindowsPathResolver {
public:
    // The native path of an existing entry, or nothing.
    std::optional<QString> resolve(const QString &windowsPath);

    // True when the path names an existing regular file (not a folder, FIFO or
    // device): only those are ever opened.
    bool isRegularFile(const QString &windowsPath);

private:
    enum class Kind { Missing, Directory, RegularFile, Other };
    struct Found {
        QString path;
        Kind kind = Kind::Missing;
    };
    struct Entry {
        QString name; // as spelled on disk
        bool isDirectory = false;
        bool isRegularFile = false;
    };
    struct Listing {
        QHash<QString, Entry> byFoldedName; // case-folded name -> entry
        // Only names whose folded form is shared with another entry, so that an exact
        // spelling still finds its own entry.
        QHash<QString, Entry> collidingNames;
    };

    const Entry *findEntry(const Listing &entries, QStringView name);
    static Kind kindOf(const Entry &entry);
    Found lookup(const QString &windowsPath);
    // The entry a path names in a folder whose listing has been read (null when it is
    // not there), or nothing when the folder has not been listed yet.
    std::optional<const Entry *> entryInListedFolder(const QString &windowsPath,
                                                     QString *nativeFolder);
    const Listing &listing(const QString &nativeDirectory);
    QHash<QString, Listing> m_listings;
    // Folders as written in earlier paths whose listing has been read -> their
    // native path: later names in them need no system call at all.
    QHash<QString, QString> m_listedFolders;
    struct LastFolder {
        QString text;
        QString native;
        const Listing *listing = nullptr;
    } m_lastFolder;
    QString m_key; // reused for every name looked up
};

// One-off conveniences with a fresh resolver.
std::optional<QString> resolveWindowsPath(const QString &windowsPath);
bool isRegularFile(const QString &windowsPath);

} // namespace platform
