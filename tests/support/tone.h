#pragma once

class QString;

namespace vovozodo {

// Writes a sine tone as a 16-bit PCM wave file (mono unless told otherwise).
// Fails the calling test loudly (returns false) when the file cannot be written.
bool writeTone(const QString &path, double frequencyHz, int milliseconds, int sampleRate = 44100,
               int channels = 1);

// Writes `milliseconds` of silence in the same format.
bool writeSilence(const QString &path, int milliseconds, int sampleRate = 44100);

} // namespace vovozodo
