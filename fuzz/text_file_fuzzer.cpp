// Arbitrary transcript bytes through the decoding (UTF-8 or GB18030) and line
// splitting, both in memory and read back from a file.
#include "fuzz_support.h"

#include "platform/text_file.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <string>

using namespace vovozodo;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    static const std::string native = fuzz::scratchFolder() + "/script.txt";
    static const QString windows = fuzz::windowsStyle(fuzz::scratchFolder() + "/SCRIPT.TXT");

    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QStringList lines = platform::decodeTextLines(bytes);

    // Line ends never survive into a line, and every line but the last needs one.
    const qsizetype lineEnds = bytes.count('\r') + bytes.count('\n');
    FUZZ_CHECK(lines.size() <= lineEnds + 1);
    FUZZ_CHECK(!bytes.isEmpty() || lines.isEmpty());
    for (const QString &line : lines)
        FUZZ_CHECK(!line.contains(u'\r') && !line.contains(u'\n'));

    if (!fuzz::writeFile(native, data, size))
        return 0;
    const std::optional<QStringList> read = platform::readTextLines(windows);
    FUZZ_CHECK(read.has_value());
    FUZZ_CHECK(*read == lines);
    return 0;
}
