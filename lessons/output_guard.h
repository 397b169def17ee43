#pragma once

#include <QStringList>

namespace vovozodo {

// Refuses, with InputError naming `option`, an extra output of `make` (the
// label track, the preview) that would touch what the user gave or what is
// being made: the same file as one of `inputs` (same device and inode, so
// links count too), a path inside the lesson folder `lesson` or a work
// folder of `library`, a folder, or a path whose folder does not exist.
// Called before anything is written.
void refuseUnsafeOutput(const QString &output, const QString &option, const QStringList &inputs,
                        const QString &library, int lesson);

// The image format the preview's name asks for ("png", "jpg", ...); throws
// InputError when its ending names no format that can be written.
QByteArray previewFormat(const QString &path);

} // namespace vovozodo
