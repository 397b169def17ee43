#include "platform/settings_file.h"

#include "platform/windows_directory.h"

#include <QFile>
#include <QString>

namespace vovozodo {

namespace platform {

QString systemSettingsFile() {
    const std::string_view folder = systemWindowsDirectory();
    return QFile::decodeName(QByteArray(folder.data(), qsizetype(folder.size()))) +
           QLatin1StringView(kSettingsFileName);
}

} // namespace platform

} // namespace vovozodo
