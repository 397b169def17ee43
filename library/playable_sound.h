#pragma once

#include <QtGlobal>

#include <optional>

class QString;

namespace vovozodo {

// Which sound files the player plays. One rule for the player's sound device,
// for `vovozodo-lessons check`, which must give the player's own verdict, and
// for `make`, which writes only what plays.
//
// Lessons are spoken recordings in wave files (RIFF WAVE, WAVE_FORMAT_EXTENSIBLE
// or RF64) of one or two channels: a third channel would go to the default
// surround layout (the third of three is LFE), so such files are refused rather
// than played on the wrong speakers. The rate bounds keep out headers that are
// damaged or made up; every real recording lies inside them.
inline constexpr int kMaxPlayableChannels = 2;
inline constexpr int kMinPlayableRate = 8000;
inline constexpr int kMaxPlayableRate = 192000;

enum class SoundContainer { Wave, Other };

// What a decoder read from a file's header.
struct SoundFormat {
    SoundContainer container = SoundContainer::Other;
    int channels = 0;
    int sampleRate = 0;
    qint64 frames = 0;
};

enum class Playability { Plays, NotWave, Channels, SampleRate, Length };

Playability playabilityOf(const SoundFormat &format);

// The format libsndfile reports (its format word, channels, rate, frames),
// in the terms of the rule above.
SoundFormat soundFormatFromSndfile(int format, int channels, int sampleRate, qint64 frames);

// Why a file of `format` does not play, for a person; empty when it plays.
QString unplayableReason(const SoundFormat &format);

// Opens the regular file at `nativePath` without blocking (a FIFO or a device
// is refused before any read) and reads its header; nothing when it is no
// regular file or no decoder reads it.
std::optional<SoundFormat> probeSoundFile(const QString &nativePath);

} // namespace vovozodo
