#include "editor/proposal_job.h"

#include "lessons/input_error.h"

#include <QThread>

namespace vovozodo {

using namespace Qt::StringLiterals;

Proposal propose(const LevelProfile &profile, const LessonInput &input, const QString &recording,
                 const QString &text) {
    Proposal proposal;
    proposal.guide = SpeechGuide(profile, findPauses(profile));
    proposal.notes = input.notes;
    proposal.draft =
        proposeDraft(proposal.guide, input, recording, text, proposal.disagreement, proposal.notes);
    return proposal;
}

ProposalJob::ProposalJob(std::shared_ptr<const LevelProfile> profile, LessonInput input,
                         QString recording, QString text, QObject *parent)
    : QObject(parent), m_profile(std::move(profile)), m_input(std::move(input)),
      m_recording(std::move(recording)), m_text(std::move(text)) {}

ProposalJob::~ProposalJob() {
    if (m_thread) {
        m_thread->wait();
        delete m_thread;
    }
}

void ProposalJob::start() {
    m_thread = QThread::create([this] {
        // Queued to the job's thread; dropped with the job if it is gone by then.
        try {
            emit finished(
                std::make_shared<Proposal>(propose(*m_profile, m_input, m_recording, m_text)));
        } catch (const InputError &error) {
            emit failed(m_text + u": "_s + error.message());
        } catch (const std::exception &error) {
            emit failed(m_text + u": "_s + QString::fromLocal8Bit(error.what()));
        }
    });
    m_thread->start(QThread::LowPriority);
}

} // namespace vovozodo
