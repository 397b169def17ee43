#pragma once

#include <QHash>
#include <QList>
#include <QString>

#include <optional>

namespace vovozodo {

namespace platform {

// Lesson paths are written Windows-style: backslashes, and names that match
// files without regard to case ("1.WAV" names "1.wav"). This maps such a path
// onto the case-sensitive file system: '\' becomes '/', and each name is
// looked up without regard to case.
//
// Every spelling of a name finds the same entry, so the catalogue's "1.wav"
// and playback's "1.WAV" can never disagree. Among the entries of a folder
// whose names differ only in case, the first usable one (a folder for a
// folder's name, a regular file for the last name) is taken in this order:
// the name in lower case, in upper case, then the other spellings in UTF-16
// order; when none is usable, the first in that order. A folder that can be
// searched but not read cannot list its other spellings: there, after the
// lower- and upper-case spellings, only the name as written is tried.
//
// Separators may be repeated ("root\\t_1"); "." and ".." are applied to the
// text, as Windows does, before anything is looked up. A path beginning with a
// separator is absolute, anything else is relative to the current folder; a
// path holding a NUL never resolves. Links are followed: a dangling link does
// not exist, a link to a device exists but is no regular file.
//
// One resolver remembers the folders it has found and the listings it has
// read, so a scan over many files costs one check per file. Use one resolver
// for one scan and drop it afterwards, so later changes on disk are seen.
class WindowsPathResolver {
public:
    // The native path of an existing entry, or nothing.
    std::optional<QString> resolve(const QString &windowsPath);

    // True when the path names an existing regular file (not a folder, FIFO or
    // device): only those are ever opened.
    bool isRegularFile(const QString &windowsPath);

    // The entry of the native folder `nativeFolder` that `name` finds by the rule
    // above, as a native path: a folder when `folder`, else a regular file, is
    // usable; nothing when no spelling of the name is there.
    std::optional<QString> resolveIn(const QString &nativeFolder, const QString &name, bool folder);

private:
    enum class Kind { Missing, Directory, RegularFile, Other };
    struct Found {
        QString path;
        Kind kind = Kind::Missing;
    };
    struct Entry {
        QString name; // as spelled on disk
        Kind kind = Kind::Missing;
    };
    struct Listing {
        bool readable = false;
        // Case-folded name -> the entries of that name, in UTF-16 order.
        QHash<QString, QList<Entry>> byFoldedName;
    };

    Found lookup(const QString &windowsPath);
    Found findIn(const QString &nativeFolder, const QString &name, Kind wanted);
    const Listing &listing(const QString &nativeFolder);
    // The native folder of a Windows-style folder text found earlier, or null.
    const QString *knownFolder(QStringView folderText);

    QHash<QString, Listing> m_listings;
    QHash<QString, QString> m_folders; // folder as written -> native folder
    QString m_lastFolderText;          // consecutive names mostly share their folder
    QString m_lastFolderNative;
};

// One-off conveniences with a fresh resolver.
std::optional<QString> resolveWindowsPath(const QString &windowsPath);
bool isRegularFile(const QString &windowsPath);

} // namespace platform

} // namespace vovozodo
