#pragma once

#include "editor/peak_pyramid.h"
#include "lessons/level_profile.h"

#include <QObject>
#include <QPointer>

#include <atomic>
#include <memory>
#include <vector>

class QThread;

namespace vovozodo {

// Decodes a recording on a thread of its own, in the same listening pass as
// `make` (so the same level profile, and so the same cuts), and hands the
// waveform's peaks over as they arrive. Deleting the job cancels the decode
// and waits for the thread.
class DecodeJob : public QObject {
    Q_OBJECT
public:
    explicit DecodeJob(QString path, QObject *parent = nullptr);
    ~DecodeJob() override;

    void start();
    void cancel();
    const QString &path() const { return m_path; }

signals:
    // On the job's thread of birth, in order.
    void opened(int sampleRate, qint64 framesHint);
    void peaksArrived(const std::vector<vovozodo::Peak> &peaks, double fraction);
    void finished(std::shared_ptr<const vovozodo::LevelProfile> profile);
    // The reason, as `make` would say it; empty when cancelled.
    void failed(const QString &message);

private:
    void run();

    QString m_path;
    std::atomic<bool> m_cancelled{false};
    QThread *m_thread = nullptr;
};

} // namespace vovozodo
