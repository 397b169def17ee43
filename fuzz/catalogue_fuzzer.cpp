// The catalogue scan over a small lesson library built from the input in a
// scratch folder (removed again after every run). The input decides which of
// t_1 to t_3 exist and how they are spelled, how script.txt and each k.wav are
// present (file, other case, folder, link, dangling or looping link, FIFO) and
// the transcript's bytes. The scan's verdict is checked against what was built.
//
// Layout (bytes past the end read as 0):
//   byte 0            bit n-1: folder t_n exists; bit n+2: it is spelled "T_n"
//   per existing lesson, in order:
//     byte            how the transcript is present (ScriptKind, modulo)
//     byte            number of sound-file slots (modulo kMaxSlots + 1)
//     byte per slot   how k.wav is present (SoundKind, modulo)
//     2 bytes         transcript length L, little-endian (modulo kMaxTranscript + 1)
//     L bytes         the transcript
#include "fuzz_support.h"

#include "library/catalogue.h"
#include "library/script_text.h"
#include "platform/text_file.h"

#include <QByteArray>
#include <QString>

#include <algorithm>
#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>

#include <sys/stat.h>
#include <unistd.h>

using namespace vovozodo;

using namespace Qt::StringLiterals;

namespace {

constexpr int kLessons = 3;
constexpr int kMaxSlots = 6;
constexpr std::size_t kMaxTranscript = 1024;

enum class ScriptKind {
    File,         // script.txt
    OtherCase,    // SCRIPT.TXT
    Missing,      //
    Folder,       // a folder named script.txt
    Link,         // script.txt -> real.txt
    DanglingLink, // script.txt -> nowhere
    TwoSpellings, // script.txt and Script.txt (something else)
    Fifo,         // a FIFO named script.txt
    Count
};

enum class SoundKind {
    File,          // k.wav
    OtherCase,     // k.WAV
    Missing,       //
    Folder,        // a folder named k.wav
    Link,          // k.wav -> the shared file in the scratch folder
    DanglingLink,  // k.wav -> nowhere
    LoopingLink,   // k.wav -> k.wav
    FolderAndFile, // folder k.wav, file k.WAV: the file is the usable one
    FolderFirst,   // folder k.WAV, file k.Wav: the file, though its spelling comes last
    FileFirst,     // file k.WAV, folder k.Wav
    LinkToFolder,  // k.WAV -> ..
    Fifo,          // a FIFO named k.wav
    Count
};

bool readable(ScriptKind kind) {
    return kind == ScriptKind::File || kind == ScriptKind::OtherCase || kind == ScriptKind::Link ||
           kind == ScriptKind::TwoSpellings;
}

// Among spellings of one name a regular file is taken before anything else.
bool regular(SoundKind kind) {
    return kind == SoundKind::File || kind == SoundKind::OtherCase || kind == SoundKind::Link ||
           kind == SoundKind::FolderAndFile || kind == SoundKind::FolderFirst ||
           kind == SoundKind::FileFirst;
}

class Input {
public:
    Input(const std::uint8_t *data, std::size_t size) : m_data(data), m_size(size) {}
    std::uint8_t byte() { return m_pos < m_size ? m_data[m_pos++] : 0; }
    QByteArray bytes(std::size_t count) {
        count = std::min(count, m_size - m_pos);
        const QByteArray taken(reinterpret_cast<const char *>(m_data + m_pos), qsizetype(count));
        m_pos += count;
        return taken;
    }

private:
    const std::uint8_t *m_data;
    std::size_t m_size;
    std::size_t m_pos = 0;
};

void put(const std::string &path, const QByteArray &bytes) {
    fuzz::writeFile(path, reinterpret_cast<const std::uint8_t *>(bytes.constData()),
                    std::size_t(bytes.size()));
}

void folder(const std::string &path) {
    ::mkdir(path.c_str(), 0700);
}

void link(const std::string &target, const std::string &path) {
    [[maybe_unused]] const int ignored = ::symlink(target.c_str(), path.c_str());
}

void fifo(const std::string &path) {
    ::mkfifo(path.c_str(), 0600);
}

void makeTranscript(const std::string &lessonFolder, ScriptKind kind, const QByteArray &bytes) {
    const std::string path = lessonFolder + "/script.txt";
    switch (kind) {
    case ScriptKind::File:
        put(path, bytes);
        break;
    case ScriptKind::OtherCase:
        put(lessonFolder + "/SCRIPT.TXT", bytes);
        break;
    case ScriptKind::Missing:
    case ScriptKind::Count:
        break;
    case ScriptKind::Folder:
        folder(path);
        break;
    case ScriptKind::Link:
        put(lessonFolder + "/real.txt", bytes);
        link("real.txt", path);
        break;
    case ScriptKind::DanglingLink:
        link("nowhere", path);
        break;
    case ScriptKind::TwoSpellings:
        put(path, bytes);
        put(lessonFolder + "/Script.txt", "Not this one\r\na\r\nb\r\nc\r\n");
        break;
    case ScriptKind::Fifo:
        fifo(path);
        break;
    }
}

void makeSound(const std::string &lessonFolder, int k, SoundKind kind) {
    const std::string stem = lessonFolder + "/" + std::to_string(k);
    switch (kind) {
    case SoundKind::File:
        put(stem + ".wav", {});
        break;
    case SoundKind::OtherCase:
        put(stem + ".WAV", {});
        break;
    case SoundKind::Missing:
    case SoundKind::Count:
        break;
    case SoundKind::Folder:
        folder(stem + ".wav");
        break;
    case SoundKind::Link:
        link("../../shared.wav", stem + ".wav");
        break;
    case SoundKind::DanglingLink:
        link("nowhere.wav", stem + ".wav");
        break;
    case SoundKind::LoopingLink:
        link(std::to_string(k) + ".wav", stem + ".wav");
        break;
    case SoundKind::FolderAndFile:
        folder(stem + ".wav");
        put(stem + ".WAV", {});
        break;
    case SoundKind::FolderFirst:
        folder(stem + ".WAV");
        put(stem + ".Wav", {});
        break;
    case SoundKind::FileFirst:
        put(stem + ".WAV", {});
        folder(stem + ".Wav");
        break;
    case SoundKind::LinkToFolder:
        link("..", stem + ".WAV");
        break;
    case SoundKind::Fifo:
        fifo(stem + ".wav");
        break;
    }
}

// What the scan must report for a lesson built as described.
CatalogueEntry expected(int lesson, bool exists, ScriptKind script, const QByteArray &transcript,
                        int soundFiles) {
    const QString number = QString::number(lesson);
    if (!exists || !readable(script))
        return {number + u". Error: The script file has not been found."_s, false};
    const QStringList lines = platform::decodeTextLines(transcript);
    const auto sentences =
        lines.isEmpty() ? 0
                        : std::count_if(lines.cbegin() + 1, lines.cend(),
                                        [](const QString &line) { return !isBlankLine(line); });
    if (sentences != soundFiles)
        return {
            number +
                u". Error: The number of sound files \u2260 the number of lines in the script."_s,
            false};
    return {number + u". "_s + trimBlanks(lines.isEmpty() ? QString() : lines.first()), true};
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    static const std::string library = fuzz::scratchFolder() + "/lib";
    static const bool sharedMade = [] {
        put(fuzz::scratchFolder() + "/shared.wav", {});
        return true;
    }();
    FUZZ_CHECK(sharedMade);

    Input input(data, size);
    const std::uint8_t layout = input.byte();
    folder(library);

    std::array<CatalogueEntry, kLessons + 1> wanted;
    for (int lesson = 1; lesson <= kLessons; ++lesson) {
        const bool exists = (layout >> (lesson - 1)) & 1;
        if (!exists) {
            wanted[std::size_t(lesson)] = expected(lesson, false, ScriptKind::Missing, {}, 0);
            continue;
        }
        const bool upper = (layout >> (lesson + 2)) & 1;
        const std::string lessonFolder = library + (upper ? "/T_" : "/t_") + std::to_string(lesson);
        folder(lessonFolder);

        const auto script = ScriptKind(input.byte() % int(ScriptKind::Count));
        const int slotCount = input.byte() % (kMaxSlots + 1);
        int soundFiles = 0;
        bool counting = true;
        for (int k = 1; k <= slotCount; ++k) {
            const auto sound = SoundKind(input.byte() % int(SoundKind::Count));
            makeSound(lessonFolder, k, sound);
            counting = counting && regular(sound);
            soundFiles += counting ? 1 : 0;
        }
        std::size_t length = input.byte();
        length |= std::size_t(input.byte()) << 8;
        const QByteArray transcript = input.bytes(length % (kMaxTranscript + 1));
        makeTranscript(lessonFolder, script, transcript);
        wanted[std::size_t(lesson)] = expected(lesson, true, script, transcript, soundFiles);
    }

    const Catalogue catalogue = scanCatalogue(fuzz::windowsStyle(library) + u'\\');
    FUZZ_CHECK(catalogue[0].text == lessonPromptEntry() && !catalogue[0].valid);
    for (int lesson = 1; lesson <= kLessons; ++lesson) {
        FUZZ_CHECK(catalogue[std::size_t(lesson)].text == wanted[std::size_t(lesson)].text);
        FUZZ_CHECK(catalogue[std::size_t(lesson)].valid == wanted[std::size_t(lesson)].valid);
    }
    for (std::size_t lesson = kLessons + 1; lesson < catalogue.size(); ++lesson)
        FUZZ_CHECK(!catalogue[lesson].valid);

    std::error_code ignored;
    std::filesystem::remove_all(library, ignored);
    return 0;
}
