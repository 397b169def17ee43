#include "lessons/recording.h"

#include "lessons/ffmpeg_recording.h"
#include "lessons/input_error.h"
#include "lessons/sndfile_recording.h"

#include <QFileInfo>

namespace vovozodo {

using namespace Qt::StringLiterals;

std::unique_ptr<Recording> openRecording(const QString &path) {
    const QFileInfo info(path);
    if (!info.exists())
        throw InputError(path + u": no such file"_s);
    if (!info.isFile())
        throw InputError(path + u": not a regular file"_s);
    if (!info.isReadable())
        throw InputError(path + u": not readable"_s);
    // libsndfile first for the formats it reads: it is the player's own decoder and
    // gives exact lengths; FFmpeg for containers and codecs beyond it.
    QString sndfileReason;
    try {
        return std::make_unique<SndfileRecording>(path);
    } catch (const InputError &error) {
        sndfileReason = error.message();
    }
    try {
        return std::make_unique<FfmpegRecording>(path);
    } catch (const InputError &error) {
        const auto bare = [](QString reason) {
            while (reason.endsWith(u'.'))
                reason.chop(1);
            return reason;
        };
        throw InputError(path + u": unsupported or unreadable sound (libsndfile: "_s +
                         bare(sndfileReason) + u"; FFmpeg: "_s + bare(error.message()) + u')');
    }
}

} // namespace vovozodo
