#pragma once

#include "editor/lesson_draft.h"
#include "editor/lesson_input.h"
#include "editor/speech_guide.h"

#include <QObject>

#include <memory>

class QThread;

namespace vovozodo {

// The cuts `make` would write for a decoded recording and its text, with
// what reading and aligning them found.
struct Proposal {
    SpeechGuide guide;
    LessonDraft draft;
    QString disagreement;
    QStringList notes;
};

// Finds the pauses and aligns the sentences on a thread of its own, so that a
// long recording holds up no window. The work cannot be cut short: deleting
// the job waits for it and drops its result.
class ProposalJob : public QObject {
    Q_OBJECT
public:
    ProposalJob(std::shared_ptr<const LevelProfile> profile, LessonInput input, QString recording,
                QString text, QObject *parent = nullptr);
    ~ProposalJob() override;

    void start();

signals:
    // On the job's thread of birth.
    void finished(std::shared_ptr<vovozodo::Proposal> proposal);
    // What `make` would say refusing the text.
    void failed(const QString &message);

private:
    std::shared_ptr<const LevelProfile> m_profile;
    LessonInput m_input;
    QString m_recording;
    QString m_text;
    QThread *m_thread = nullptr;
};

// The same, on the caller's thread.
Proposal propose(const LevelProfile &profile, const LessonInput &input, const QString &recording,
                 const QString &text);

} // namespace vovozodo
