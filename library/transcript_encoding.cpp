#include "library/transcript_encoding.h"

#include "platform/system_text.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QUtf8StringView>

#include <algorithm>

namespace vovozodo {

using namespace Qt::StringLiterals;

namespace {

// Share of the bytes above 0x7F that well-formed UTF-8 sequences of three or four
// bytes (Chinese in UTF-8) must cover for a text that fails as UTF-8 to count as
// damaged UTF-8. Chinese in GB18030 often forms two-byte sequences by chance
// (学 is D1 A7), but rarely one of three bytes.
constexpr double kDamagedUtf8Share = 0.8;

// The length of the well-formed UTF-8 sequence at `i` (RFC 3629: no overlong
// forms, no surrogates, nothing above U+10FFFF), or 0.
qsizetype utf8SequenceAt(QByteArrayView bytes, qsizetype i) {
    const auto at = [&](qsizetype k) { return k < bytes.size() ? quint8(bytes[k]) : 0x100; };
    const int b0 = at(i);
    if (b0 < 0x80)
        return 1;
    const auto continuation = [&](qsizetype k, int low = 0x80, int high = 0xBF) {
        const int b = at(k);
        return b >= low && b <= high;
    };
    if (b0 >= 0xC2 && b0 <= 0xDF)
        return continuation(i + 1) ? 2 : 0;
    if (b0 >= 0xE0 && b0 <= 0xEF) {
        const int low = b0 == 0xE0 ? 0xA0 : 0x80;
        const int high = b0 == 0xED ? 0x9F : 0xBF;
        return continuation(i + 1, low, high) && continuation(i + 2) ? 3 : 0;
    }
    if (b0 >= 0xF0 && b0 <= 0xF4) {
        const int low = b0 == 0xF0 ? 0x90 : 0x80;
        const int high = b0 == 0xF4 ? 0x8F : 0xBF;
        return continuation(i + 1, low, high) && continuation(i + 2) && continuation(i + 3) ? 4 : 0;
    }
    return 0;
}

QStringDecoder gb18030Decoder() {
    // Named rather than looked up: the decoder made by name is served by ICU.
    return QStringDecoder("GB18030", QStringConverter::Flag::Stateless);
}

// ICU drops an unfinished character at the very end of its input without a
// trace; behind a line feed it is reported like any other broken one. A fresh
// decoder each time: resetting one does not clear the error it saw.
bool gb18030Decodes(QByteArrayView bytes) {
    QStringDecoder decoder = gb18030Decoder();
    QByteArray terminated;
    terminated.reserve(bytes.size() + 1);
    terminated.append(bytes).append('\n');
    const QString text = decoder.decode(terminated);
    return !decoder.hasError() && !text.contains(QChar::ReplacementCharacter);
}

bool isCjk(char32_t c) {
    return (c >= 0x2E80 && c <= 0x9FFF) || (c >= 0xAC00 && c <= 0xD7AF) ||
           (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFF00 && c <= 0xFFEF) ||
           (c >= 0x20000 && c <= 0x3FFFF);
}

bool holdsCjk(const QString &text) {
    for (const char32_t c : text.toUcs4())
        if (isCjk(c))
            return true;
    return false;
}

QString placeText(QByteArrayView bytes, qsizetype offset) {
    const TextPlace place = textPlaceOf(bytes, offset);
    return u"line "_s + QString::number(place.line) + u", byte "_s + QString::number(place.byte);
}

} // namespace

std::optional<qsizetype> firstInvalidUtf8(QByteArrayView bytes) {
    for (qsizetype i = 0; i < bytes.size();) {
        const qsizetype length = utf8SequenceAt(bytes, i);
        if (length == 0)
            return i;
        i += length;
    }
    return std::nullopt;
}

std::optional<qsizetype> firstInvalidGb18030(QByteArrayView bytes) {
    if (!gb18030Decoder().isValid() || gb18030Decodes(bytes))
        return std::nullopt;
    // No GB18030 character holds a line feed, so the first failing line is found
    // line by line, and the character within it by its structure: one byte up to
    // 0x7F, else a lead byte and one trail byte, or four bytes when the second is
    // a digit.
    qsizetype lineStart = 0;
    while (lineStart < bytes.size()) {
        qsizetype lineEnd = bytes.indexOf('\n', lineStart);
        lineEnd = lineEnd < 0 ? bytes.size() : lineEnd + 1;
        if (!gb18030Decodes(bytes.sliced(lineStart, lineEnd - lineStart))) {
            for (qsizetype i = lineStart; i < lineEnd;) {
                const auto b = quint8(bytes[i]);
                qsizetype length = 1;
                if (b >= 0x80) {
                    const bool four = i + 1 < lineEnd && bytes[i + 1] >= '0' && bytes[i + 1] <= '9';
                    length = std::min<qsizetype>(four ? 4 : 2, lineEnd - i);
                }
                if (!gb18030Decodes(bytes.sliced(i, length)))
                    return i;
                i += length;
            }
            return lineStart;
        }
        lineStart = lineEnd;
    }
    return std::nullopt;
}

bool isDamagedUtf8(QByteArrayView bytes) {
    qsizetype high = 0;
    qsizetype covered = 0;
    bool damaged = false;
    for (qsizetype i = 0; i < bytes.size();) {
        const qsizetype length = utf8SequenceAt(bytes, i);
        if (length == 0) {
            damaged = true;
            ++high;
            ++i;
            continue;
        }
        if (length > 1)
            high += length;
        if (length > 2)
            covered += length;
        i += length;
    }
    return damaged && covered > 0 && double(covered) >= kDamagedUtf8Share * double(high);
}

TextPlace textPlaceOf(QByteArrayView bytes, qsizetype offset) {
    TextPlace place;
    qsizetype lineStart = 0;
    for (qsizetype i = 0; i < offset && i < bytes.size(); ++i) {
        if (bytes[i] == '\n' ||
            (bytes[i] == '\r' && (i + 1 >= bytes.size() || bytes[i + 1] != '\n'))) {
            ++place.line;
            lineStart = i + 1;
        }
    }
    place.byte = offset - lineStart + 1;
    return place;
}

QString transcriptDoubt(const QByteArray &bytes) {
    const auto marked = QStringConverter::encodingForData(bytes);
    if (marked && *marked != QStringConverter::Utf8) {
        // A byte-order mark decides; only broken characters can still go wrong.
        if (platform::decodeSystemText(bytes).contains(QChar::ReplacementCharacter))
            return u"broken characters behind its byte-order mark: the player shows them "
                   u"garbled"_s;
        return {};
    }
    if (const std::optional<qsizetype> badUtf8 = firstInvalidUtf8(bytes)) {
        // A UTF-8 mark does not save the rest: the player reads UTF-8 only when
        // all of it is.
        if (marked || isDamagedUtf8(bytes))
            return u"UTF-8 with a byte that is not ("_s + placeText(bytes, *badUtf8) +
                   u"), so the player reads the whole file as GB18030 and shows it garbled"_s;
        if (const std::optional<qsizetype> badGb = firstInvalidGb18030(bytes))
            return u"neither UTF-8 nor GB18030 ("_s + placeText(bytes, *badGb) +
                   u"): the player shows it garbled, with replacement characters"_s;
        return {};
    }
    // Valid UTF-8. Chinese in it is what was meant; text without any, whose
    // bytes also read as Chinese in GB18030, was almost surely written as GB18030.
    const QString asUtf8 = QString::fromUtf8(bytes);
    if (marked || holdsCjk(asUtf8) || firstInvalidGb18030(bytes))
        return {};
    QStringDecoder decoder = gb18030Decoder();
    if (!decoder.isValid())
        return {};
    const QString asGb18030 = decoder.decode(bytes);
    if (!holdsCjk(asGb18030))
        return {};
    return u"GB18030 bytes that are also valid UTF-8: the player shows it garbled, \""_s +
           asUtf8.simplified().left(12) + u"\" where \""_s + asGb18030.simplified().left(12) +
           u"\" was meant; write it as UTF-8"_s;
}

TranscriptBytes transcriptBytesFor(const QString &text, bool gb18030) {
    if (gb18030) {
        QStringEncoder encoder("GB18030", QStringConverter::Flag::Stateless);
        if (encoder.isValid()) {
            QByteArray bytes = encoder.encode(text);
            if (platform::decodeSystemText(bytes) == text)
                return {std::move(bytes), false};
        }
        // The mark makes the player read UTF-8 whatever the bytes after it.
        return {"\xEF\xBB\xBF" + text.toUtf8(), true};
    }
    return {text.toUtf8(), false};
}

} // namespace vovozodo
