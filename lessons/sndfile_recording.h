#pragma once

#include "lessons/recording.h"

#include <memory>

struct sf_private_tag;

namespace vovozodo {

class StderrMute;

class SndfileRecording final : public Recording {
public:
    // Throws InputError with libsndfile's reason.
    explicit SndfileRecording(const QString &path);
    ~SndfileRecording() override;
    qint64 read(float *interleaved, qint64 frames) override;

private:
    QString m_path;
    sf_private_tag *m_file = nullptr;
    // Only for MP3, whose decoder talks.
    std::unique_ptr<StderrMute> m_mute;
};

} // namespace vovozodo
