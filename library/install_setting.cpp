#include "library/install_setting.h"

#include "platform/profile_reader.h"
#include "platform/settings_file.h"
#include "platform/system_text.h"

#include <QByteArray>
#include <QFile>

#include <cstring>

namespace vovozodo {

InstallPathLookup lookUpInstallPath(const QString &settingsFile) {
    // Zeroed so the bytes after the terminator can never be mistaken for text.
    char value[kInstallPathBufferBytes] = {};
    InstallPathLookup lookup;
    lookup.count = platform::GetPrivateProfileStringA(
        platform::kSettingsSection, platform::kSettingsKey, "empty", value, sizeof value,
        QFile::encodeName(settingsFile).constData());
    lookup.value = platform::decodeSystemText(QByteArrayView(value, qsizetype(std::strlen(value))));
    return lookup;
}

QByteArray withInstallPath(QByteArrayView profile, QByteArrayView value) {
    const QByteArrayView section(platform::kSettingsSection);
    const QByteArrayView key(platform::kSettingsKey);
    const platform::detail::ProfilePlace place =
        platform::detail::locateProfileValue(profile, section, key);
    QByteArray edited = profile.toByteArray();
    if (place.valueBegin >= 0)
        return edited.replace(place.valueBegin, place.valueEnd - place.valueBegin,
                              value.toByteArray());

    const QByteArray lineEnd =
        place.lineEnd.isEmpty() ? QByteArray("\r\n") : place.lineEnd.toByteArray();
    const QByteArray setting = key.toByteArray() + '=' + value.toByteArray();
    if (place.afterSection >= 0) {
        const QByteArray line = place.sectionLineEnded ? setting + lineEnd : lineEnd + setting;
        return edited.insert(place.afterSection, line);
    }
    if (!edited.isEmpty() && !edited.endsWith('\n') && !edited.endsWith('\r'))
        edited += lineEnd;
    return edited + '[' + section.toByteArray() + ']' + lineEnd + setting + lineEnd;
}

} // namespace vovozodo
