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
    struct Entry {
        QString name; // as spelled on disk
        bool isDirectory = false;
        bool isRegularFile = false;
    };
    using Listing = QHash<QString, Entry>; // case-folded name -> entry

    const Listing &listing(const QString &nativeDirectory);
    QHash<QString, Listing> m_listings;
};

// One-off conveniences with a fresh resolver.
std::optional<QString> resolveWindowsPath(const QString &windowsPath);
bool isRegularFile(const QString &windowsPath);

} // namespace platform
