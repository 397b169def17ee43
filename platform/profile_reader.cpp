#include "platform/profile_reader.h"

#include "platform/file_bytes.h"
#include "platform/logging.h"
#include "platform/profile_mapping.h"
#include "platform/windows_path.h"

#include <QByteArrayView>
#include <QFile>
#include <QString>

#include <algorithm>
#include <cstring>
#include <optional>

namespace vovozodo {

namespace platform {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

QByteArrayView trimmed(QByteArrayView text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return text.sliced(begin, end - begin);
}

char asciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

bool sameName(QByteArrayView a, QByteArrayView b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return asciiLower(x) == asciiLower(y);
           });
}

QByteArrayView unquoted(QByteArrayView value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        return value.sliced(1, value.size() - 2);
    return value;
}

// The next line of `text` from `pos`, which moves past its end (CR LF, LF or CR).
QByteArrayView nextLine(QByteArrayView text, qsizetype &pos) {
    const qsizetype start = pos;
    while (pos < text.size() && text[pos] != '\r' && text[pos] != '\n')
        ++pos;
    const QByteArrayView line = text.sliced(start, pos - start);
    if (pos < text.size()) {
        const char end = text[pos++];
        if (end == '\r' && pos < text.size() && text[pos] == '\n')
            ++pos;
    }
    return line;
}

// Where `part`, a view into `whole`, starts in it.
qsizetype offsetIn(QByteArrayView whole, QByteArrayView part) {
    return qsizetype(part.data() - whole.data());
}

} // namespace

namespace detail {

ProfilePlace locateProfileValue(QByteArrayView profile, QByteArrayView section,
                                QByteArrayView key) {
    ProfilePlace place;
    bool inSection = false;
    qsizetype pos = 0;
    while (pos < profile.size()) {
        const qsizetype lineStart = pos;
        QByteArrayView line = nextLine(profile, pos);
        const qsizetype contentEnd = lineStart + line.size();
        if (place.lineEnd.isEmpty() && pos > contentEnd)
            place.lineEnd = profile.sliced(contentEnd, pos - contentEnd);
        // Values come back as C strings, so nothing after a NUL could be seen; the NUL ends
        // the line's content, which also keeps binary files from yielding odd matches.
        if (const qsizetype nul = line.indexOf('\0'); nul >= 0)
            line.truncate(nul);
        line = trimmed(line);
        if (line.isEmpty() || line.front() == ';')
            continue;
        if (line.front() == '[') {
            const qsizetype close = line.indexOf(']');
            if (close < 0)
                continue; // not a header, and not a key either
            if (inSection)
                return place; // only the first section of that name counts
            inSection = sameName(trimmed(line.sliced(1, close - 1)), section);
            if (inSection) {
                place.afterSection = pos;
                place.sectionLineEnded = pos > contentEnd;
            }
            continue;
        }
        if (!inSection)
            continue;
        const qsizetype equals = line.indexOf('=');
        if (equals < 0)
            continue;
        if (sameName(trimmed(line.first(equals)), key)) {
            const QByteArrayView value = trimmed(line.sliced(equals + 1));
            place.valueBegin = offsetIn(profile, value);
            place.valueEnd = place.valueBegin + value.size();
            return place;
        }
    }
    return place;
}

} // namespace detail

namespace {

std::optional<QByteArray> findValue(QByteArrayView profile, QByteArrayView section,
                                    QByteArrayView key) {
    const detail::ProfilePlace place = detail::locateProfileValue(profile, section, key);
    if (place.valueBegin < 0)
        return std::nullopt;
    return unquoted(profile.sliced(place.valueBegin, place.valueEnd - place.valueBegin))
        .toByteArray();
}

} // namespace

std::uint32_t GetPrivateProfileStringA(const char *section, const char *key,
                                       const char *defaultValue, char *buffer, std::uint32_t size,
                                       const char *fileName) {
    if (buffer == nullptr || size == 0)
        return 0;

    std::optional<QByteArray> value;
    // Without a section or key Windows lists names instead of reading a value; nobody here
    // asks for that, so such a call just gets the default.
    if (section != nullptr && key != nullptr && fileName != nullptr) {
        value = detail::lookUpProfile(section, key, QFile::decodeName(QByteArray(fileName))).value;
        // The caller goes on with the default (for the library folder: every
        // lesson then reads as missing); this says why.
        if (!value)
            qCWarning(lcPlatform, "No %s in [%s] of %s", key, section, fileName);
    }
    if (!value) {
        QByteArrayView fallback(defaultValue != nullptr ? defaultValue : "");
        while (!fallback.isEmpty() && isBlank(fallback.back()))
            fallback.chop(1);
        value = fallback.toByteArray();
    }

    const auto count = static_cast<std::uint32_t>(std::min<qsizetype>(value->size(), size - 1));
    std::memcpy(buffer, value->constData(), count);
    buffer[count] = '\0';
    return count;
}

namespace detail {

ProfileLookup lookUpProfile(const char *section, const char *key, const QString &fileName) {
    if (QString userFile = userProfileFile(fileName); !userFile.isEmpty()) {
        if (std::optional<QByteArray> value = profileValueInNativeFile(section, key, userFile))
            return {std::move(userFile), std::move(value)};
    }
    const std::optional<QString> nativePath = WindowsPathResolver().resolve(fileName);
    return {fileName,
            nativePath ? profileValueInNativeFile(section, key, *nativePath) : std::nullopt};
}

std::optional<QByteArray> profileValueInNativeFile(const char *section, const char *key,
                                                   const QString &nativePath) {
    if (const std::optional<QByteArray> profile = readRegularFile(nativePath, kMaxProfileBytes))
        return findValue(*profile, section, key);
    qCDebug(lcPlatform) << "no readable settings file at" << nativePath;
    return std::nullopt;
}

} // namespace detail

} // namespace platform

} // namespace vovozodo
