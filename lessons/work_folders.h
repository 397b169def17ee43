#pragma once

#include "handles/unique_fd.h"

#include <QString>
#include <QStringList>

namespace vovozodo {

// A run of `make` works in hidden folders beside the lesson: .t_N.new-XXXXXX
// for the lesson being written and .t_N.old-XXXXXX for a lesson stepping
// aside on a file system without an atomic exchange. Each is locked by its
// run while the run lives, so that another run can tell the leftovers of a
// killed run from a folder still in use.
class FolderLock {
public:
    FolderLock() = default;
    // Locks the folder `path`; held() is false when the file system has no locks.
    explicit FolderLock(const QString &path);
    bool held() const { return m_descriptor.isValid(); }

private:
    UniqueFd m_descriptor;
};

// The work folders in `library` whose runs are no longer alive (full paths).
QStringList leftoverFolders(const QString &library);

// Removes those leftovers. A lesson left aside by a run killed between its
// two renames is first put back where the player looks for it, when nothing
// has taken its place. Returns one line for each folder handled.
QStringList removeLeftovers(const QString &library);

} // namespace vovozodo
