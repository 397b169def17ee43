#include "startup/install_path.h"

#include "library/script_text.h"
#include "platform/system_text.h"

#include <QByteArrayView>

#include <cstring>

namespace vovozodo {

QString GetWindowsDir(const platform::WindowsDirectoryQuery &query) {
    constexpr std::uint32_t kBufferSize = 20;
    char buffer[kBufferSize];
    std::memset(buffer, ' ', kBufferSize);
    const auto count = std::int32_t(query(buffer, kBufferSize));
    if (count <= 0)
        return {};
    // Only U+0020 counts as a blank here, so the NUL after the directory stays.
    return trimBlanks(platform::decodeSystemText(QByteArrayView(buffer, kBufferSize)).toUpper());
}

QString captionOf(const QString &text) {
    const qsizetype nul = text.indexOf(QChar(u'\0'));
    return nul < 0 ? text : text.left(nul);
}

} // namespace vovozodo
