#pragma once

#include <QString>

#include <vector>

namespace vovozodo {
struct LevelProfile;
}
using vovozodo::LevelProfile;

// Speech decisions for every analysis frame of `profile` from WebRTC's voice
// detector (Debian's libwebrtc-audio-processing), on the recording at `path`
// resampled to 16 kHz: the alternative the accuracy benchmark measures the
// level-based detector against.
std::vector<char> webrtcSpeechFrames(const QString &path, const LevelProfile &profile);
