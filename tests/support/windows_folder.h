#pragma once

#include "platform/windows_directory.h"

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

namespace vovozodo {

// A folder that stands in for the Windows directory, holding the settings
// file. Its path is short enough (at most 19 characters) to be accepted.
class WindowsFolder {
public:
    WindowsFolder();
    bool isValid() const { return m_dir.isValid() && m_dir.path().size() <= 19; }
    QString path() const { return m_dir.path(); }
    bool writeSettings(const QByteArray &content) const;

private:
    QTemporaryDir m_dir;
};

// A Windows-directory query that reports `directory`.
platform::WindowsDirectoryQuery directoryQuery(const QByteArray &directory);

} // namespace vovozodo
