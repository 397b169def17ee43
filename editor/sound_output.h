#pragma once

#include "editor/clip_sound.h"

#include <QObject>

#include <atomic>
#include <functional>
#include <memory>

class QThread;

namespace vovozodo {

// Plays one stretch of sound at a time on the program's own stream of the
// sound server, on a thread of its own. Where the listener is comes from the
// server's own latency, not a wall clock, so the playhead stays with the sound.
class SoundOutput : public QObject {
    Q_OBJECT
public:
    explicit SoundOutput(QObject *parent = nullptr);
    ~SoundOutput() override;

    // `render` runs on the output's thread (decoding takes a moment); an
    // InputError it throws is reported by failed().
    void play(std::function<ClipSound()> render);
    void stop();
    bool isPlaying() const { return m_thread != nullptr && m_playing.load(); }
    // The recording's sample being heard now, or -1.
    qint64 heardSample() const;

signals:
    void finished();
    void failed(const QString &message);

protected:
    // Plays `sound` to its end or until stop() is asked, keeping heardSample()
    // current; on the output's thread. A test's output takes the sound instead.
    virtual void run(const ClipSound &sound);
    bool stopAsked() const { return m_stop.load(); }

private:
    QThread *m_thread = nullptr;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_playing{false};
    std::atomic<qint64> m_heard{-1};
};

} // namespace vovozodo
