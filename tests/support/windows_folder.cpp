#include "support/windows_folder.h"

#include <QFile>

#include <string_view>

namespace vovozodo {

WindowsFolder::WindowsFolder() : m_dir(QStringLiteral("/tmp/vz-XXXXXX")) {}

bool WindowsFolder::writeSettings(const QByteArray &content) const {
    QFile file(m_dir.path() + QStringLiteral("/Vidurivu 2004_10.INI"));
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

platform::WindowsDirectoryQuery directoryQuery(const QByteArray &directory) {
    return [directory](char *buffer, std::uint32_t size) {
        return platform::copyWindowsDirectory(
            std::string_view(directory.constData(), std::size_t(directory.size())), buffer, size);
    };
}

} // namespace vovozodo
