#pragma once

#include "handles/sndfile_handles.h"
#include "lessons/recording.h"

#include <memory>

namespace vovozodo {

class StderrMute;

class SndfileRecording final : public Recording {
public:
    // Throws InputError with libsndfile's reason.
    explicit SndfileRecording(const QString &path);
    ~SndfileRecording() override; // StderrMute is complete only there
    qint64 read(float *interleaved, qint64 frames) override;

private:
    QString m_path;
    UniqueSndfile m_file;
    // Only for MP3, whose decoder talks.
    std::unique_ptr<StderrMute> m_mute;
};

} // namespace vovozodo
