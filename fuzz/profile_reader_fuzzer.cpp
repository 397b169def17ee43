// Arbitrary settings files through the profile reader. The input's last bytes
// choose the buffer size of each query; the rest is the file, written to the
// same scratch file on every run. The file is then edited as `use` edits it,
// and the reader must find exactly the new value, with every byte outside the
// old value kept.
#include "fuzz_support.h"

#include "library/install_setting.h"
#include "platform/profile_reader.h"

#include <QByteArray>

#include <fuzzer/FuzzedDataProvider.h>

#include <array>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

using namespace vovozodo;

namespace {

struct Query {
    const char *section;
    const char *key;
};

constexpr std::array kQueries{
    Query{"InstallSettings", "InstallPath"},
    Query{"installsettings", "INSTALLPATH"},
    Query{"", ""},
    Query{"a", "b"},
    Query{"InstallSettings", nullptr},
};

constexpr const char *kDefault = "C:\\Default  ";
constexpr std::uint32_t kLargeBuffer = 1 << 16;

// Asks with a buffer of exactly `size` bytes, so that any write past it is caught,
// and checks the result's shape.
std::string query(const Query &q, std::uint32_t size, const char *fileName) {
    const auto buffer = std::make_unique<char[]>(size);
    const std::uint32_t copied = platform::GetPrivateProfileStringA(q.section, q.key, kDefault,
                                                                    buffer.get(), size, fileName);
    if (size == 0) {
        FUZZ_CHECK(copied == 0);
        return {};
    }
    FUZZ_CHECK(copied < size);
    FUZZ_CHECK(buffer[copied] == '\0');
    FUZZ_CHECK(std::memchr(buffer.get(), '\0', copied) == nullptr);
    return std::string(buffer.get(), copied);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    static const std::string native = fuzz::scratchFolder() + "/settings.ini";
    // The same file named Windows-style, in another case.
    static const std::string windows =
        fuzz::windowsStyle(fuzz::scratchFolder() + "/SETTINGS.INI").toStdString();

    FuzzedDataProvider input(data, size);
    std::array<std::uint32_t, kQueries.size()> sizes{};
    for (std::uint32_t &bufferSize : sizes)
        bufferSize = input.ConsumeIntegral<std::uint8_t>();
    const std::vector<std::uint8_t> file = input.ConsumeRemainingBytes<std::uint8_t>();
    if (!fuzz::writeFile(native, file.data(), file.size()))
        return 0;

    for (std::size_t i = 0; i < kQueries.size(); ++i) {
        const char *fileName = (i % 2 == 0) ? native.c_str() : windows.c_str();
        const std::string whole = query(kQueries[i], kLargeBuffer, fileName);
        const std::string cut = query(kQueries[i], sizes[i], fileName);
        // A smaller buffer gets the front of the same value.
        FUZZ_CHECK(whole.compare(0, cut.size(), cut) == 0);
        FUZZ_CHECK(cut.size() == std::min<std::size_t>(whole.size(), sizes[i] ? sizes[i] - 1 : 0));
        if (kQueries[i].key == nullptr)
            FUZZ_CHECK(whole == "C:\\Default");
    }

    const QByteArray before(reinterpret_cast<const char *>(file.data()), qsizetype(file.size()));
    const std::optional<QByteArray> old = platform::detail::profileValueInNativeFile(
        "InstallSettings", "InstallPath", QString::fromStdString(native));
    const QByteArray value = "/lessons/new";
    const QByteArray after = withInstallPath(before, value);
    if (!fuzz::writeFile(native, reinterpret_cast<const std::uint8_t *>(after.constData()),
                         std::size_t(after.size())))
        return 0;
    FUZZ_CHECK(query(kQueries[0], kLargeBuffer, native.c_str()) == value.toStdString());
    qsizetype same = 0;
    while (same < before.size() && same < after.size() && before[same] == after[same])
        ++same;
    qsizetype tail = 0;
    while (tail < before.size() - same && tail < after.size() - same &&
           before[before.size() - 1 - tail] == after[after.size() - 1 - tail])
        ++tail;
    FUZZ_CHECK(before.size() - same - tail <= (old ? old->size() + 2 : 0));
    return 0;
}
