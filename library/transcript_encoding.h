#pragma once

#include <QByteArray>

#include <optional>

class QString;

namespace vovozodo {

// The player reads a transcript's bytes with platform::decodeSystemText: a
// byte-order mark, else valid UTF-8, else GB18030. These helpers let the
// writer of a transcript and `check` reason about that reading.

// Offset of the first byte at which `bytes` stop being UTF-8, or nothing.
std::optional<qsizetype> firstInvalidUtf8(QByteArrayView bytes);

// Offset of the first byte GB18030 does not decode, or nothing.
std::optional<qsizetype> firstInvalidGb18030(QByteArrayView bytes);

// Bytes that mostly are UTF-8 (nearly every byte above 0x7F belongs to a
// well-formed sequence of three or four bytes, as Chinese in UTF-8 does) but
// hold a few that are not: a UTF-8 text damaged, never to be read as GB18030.
bool isDamagedUtf8(QByteArrayView bytes);

// A place in a text file for a person: line 1.., byte 1.. within that line.
struct TextPlace {
    qsizetype line = 1;
    qsizetype byte = 1;
};
TextPlace textPlaceOf(QByteArrayView bytes, qsizetype offset);

// Why the player would show the transcript `bytes` garbled, for a person; empty
// when it reads them as they were meant as far as can be told. Bytes that are
// neither UTF-8 nor GB18030 show replacement characters; GB18030 bytes that also
// happen to be valid UTF-8 are read as that other text (学习 becomes ѧϰ).
QString transcriptDoubt(const QByteArray &bytes);

// Bytes of `text` that the player reads back as exactly `text`: GB18030 when
// `gb18030` is asked for and those bytes read back right, UTF-8 otherwise, with
// a byte-order mark when GB18030 was asked for and did not read back. `marked`
// tells the caller which happened.
struct TranscriptBytes {
    QByteArray bytes;
    bool marked = false;
};
TranscriptBytes transcriptBytesFor(const QString &text, bool gb18030);

} // namespace vovozodo
