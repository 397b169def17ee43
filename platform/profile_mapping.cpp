#include "platform/profile_mapping.h"

#include "platform/profile_reader.h"
#include "platform/settings_file.h"

#include <QDir>
#include <QString>

#include <algorithm>

namespace vovozodo {

namespace platform {

namespace {

// Only the program's own settings file is mapped; any other profile is read as named.
bool isMapped(const QString &fileName) {
    const qsizetype slash = std::max(fileName.lastIndexOf(u'/'), fileName.lastIndexOf(u'\\'));
    const QStringView name = QStringView(fileName).sliced(slash + 1);
    return name.compare(QLatin1StringView(kSettingsFileName + 1), Qt::CaseInsensitive) == 0;
}

QString configFolder() {
    // The base-directory convention ignores a relative path, and so do we: it would
    // depend on the folder the program was started from.
    QString configured = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (QDir::isAbsolutePath(configured))
        return configured;
    const QString home = qEnvironmentVariable("HOME");
    return QDir::isAbsolutePath(home) ? home + QStringLiteral("/.config") : QString();
}

} // namespace

QString userProfileFile(const QString &fileName) {
    if (!isMapped(fileName))
        return {};
    const QString folder = configFolder();
    if (folder.isEmpty())
        return {};
    return QDir::cleanPath(folder + QStringLiteral("/vovozodo/") +
                           QLatin1StringView(kSettingsFileName + 1));
}

QString profileFileAnswering(const char *section, const char *key, const QString &fileName) {
    return detail::lookUpProfile(section, key, fileName).file;
}

} // namespace platform

} // namespace vovozodo
