// Opening, decoding, proposing the cuts and keeping the session: the window's work with files.
#include "editor/decode_job.h"
#include "editor/editor_window.h"
#include "editor/proposal_job.h"
#include "editor/session_store.h"
#include "editor/waveform_view.h"
#include "lessons/input_error.h"

#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QThread>
#include <QTimer>

namespace vovozodo {

using namespace Qt::StringLiterals;

namespace {

const QStringList kTextSuffixes = {u"txt"_s, u"srt"_s, u"vtt"_s,   u"lrc"_s,
                                   u"ass"_s, u"ssa"_s, u"labels"_s};

bool isText(const QString &path) {
    return kTextSuffixes.contains(QFileInfo(path).suffix().toLower());
}

} // namespace

EditorWindow::~EditorWindow() {
    m_decode.reset();
    m_proposing.reset();
    if (m_saver) {
        m_saver->wait();
        delete m_saver;
    }
}

void EditorWindow::open(const QString &recording, const QString &text) {
    QString sound = recording;
    QString words = text;
    if (sound.isEmpty() && words.isEmpty()) {
        const QStringList chosen = QFileDialog::getOpenFileNames(
            this, u"Open a recording and its transcript or subtitles"_s, {},
            u"Recordings and texts (*.wav *.flac *.ogg *.opus *.mp3 *.m4a *.aac *.mp4 *.mkv "
            u"*.webm *.txt *.srt *.vtt *.lrc *.ass *.ssa);;All files (*)"_s);
        for (const QString &path : chosen)
            (isText(path) ? words : sound) = path;
    }
    if (!sound.isEmpty())
        openRecording(sound);
    if (!words.isEmpty())
        openText(words);
}

void EditorWindow::openRecording(const QString &path) {
    // Edits not yet kept are kept before the window turns to another recording.
    keepSession();
    m_decode.reset();
    m_proposing.reset();
    m_recording = path;
    // Before the decode reads it: the cuts are measured on this file as it is now.
    m_recordingStamp = recordingStamp(path);
    m_profile.reset();
    m_pyramid.clear();
    m_totalSamples = 0;
    m_document.reset({}, {});
    m_trouble->hide();
    m_inputNotes->hide();
    updateTitle();
    m_decode = std::make_unique<DecodeJob>(path);
    DecodeJob *job = m_decode.get();
    // The job is the context: what its thread sent but the window has not yet
    // taken goes with it when the decode is dropped (cancelled, closed, or
    // another recording opened), and never reaches the window late.
    connect(job, &DecodeJob::opened, job, [this](int rate, qint64 hint) {
        m_sampleRate = rate;
        m_totalSamples = std::max<qint64>(hint, 1);
        m_waveform->setRecording(&m_pyramid, m_totalSamples, rate);
    });
    connect(job, &DecodeJob::peaksArrived, job,
            [this](const std::vector<Peak> &peaks, double fraction) {
                m_pyramid.append(peaks.data(), qsizetype(peaks.size()));
                m_progress->setValue(int(fraction * 100));
                m_waveform->peaksGrew();
            });
    connect(
        job, &DecodeJob::finished, job,
        [this](const std::shared_ptr<const LevelProfile> &profile) { decodeFinished(profile); });
    connect(job, &DecodeJob::failed, job, [this](const QString &message) {
        m_decode.release()->deleteLater(); // in the job's own signal
        m_progress->hide();
        m_cancel->hide();
        m_recording.clear();
        updateTitle();
        showError(message);
    });
    m_progress->setValue(0);
    m_progress->show();
    m_cancel->show();
    statusBar()->showMessage(u"Reading "_s + QFileInfo(path).fileName() + u"…"_s);
    job->start();
}

void EditorWindow::openText(const QString &path) {
    keepSession(); // a new proposal replaces the draft, which is then offered back
    try {
        m_input = readLessonInput(path);
        m_text = path;
    } catch (const InputError &error) {
        showError(error.message());
        return;
    }
    proposeWhenReady();
}

void EditorWindow::decodeFinished(const std::shared_ptr<const LevelProfile> &profile) {
    m_decode.release()->deleteLater(); // in the job's own signal
    m_progress->hide();
    m_cancel->hide();
    m_profile = profile;
    m_totalSamples = profile->totalFrames;
    const qint64 first = m_waveform->scale().firstSample();
    const int step = m_waveform->scale().zoomStep();
    m_waveform->setRecording(&m_pyramid, m_totalSamples, profile->sampleRate);
    m_waveform->zoom(step, 0);
    m_waveform->scrollToSample(first);
    statusBar()->showMessage(m_text.isEmpty() ? u"Now open its transcript or subtitles"_s
                                              : QString());
    proposeWhenReady();
}

void EditorWindow::proposeWhenReady() {
    if (!m_profile || m_text.isEmpty())
        return;
    // A text opened while the cuts of the one before are found replaces it.
    m_proposing = std::make_unique<ProposalJob>(m_profile, m_input, m_recording, m_text);
    ProposalJob *job = m_proposing.get();
    // The job is the context, as for the decode: a result it leaves behind
    // when dropped never reaches the window.
    connect(job, &ProposalJob::finished, job, [this](const std::shared_ptr<Proposal> &proposal) {
        m_proposing.release()->deleteLater(); // in the job's own signal
        proposalArrived(*proposal);
    });
    connect(job, &ProposalJob::failed, job, [this](const QString &message) {
        m_proposing.release()->deleteLater();
        statusBar()->clearMessage();
        showError(message);
    });
    statusBar()->showMessage(u"Finding the sentences in the recording…"_s);
    job->start();
}

void EditorWindow::proposalArrived(const Proposal &proposal) {
    // Edits made meanwhile are kept, and offered back below.
    keepSession();
    m_proposal = proposal.draft;
    m_document.reset(proposal.guide, proposal.draft);
    // A fresh proposal is nothing to keep; the session kept before is offered below.
    m_sessionTimer->stop();
    const QString &disagreement = proposal.disagreement;
    m_trouble->setVisible(!disagreement.isEmpty());
    m_trouble->setText(disagreement.isEmpty()
                           ? QString()
                           : disagreement + u"\nThe cuts are spread by the sentences' lengths: "
                                            u"correct them by hand."_s);
    m_inputNotes->setText(proposal.notes.join(u'\n'));
    m_inputNotes->setVisible(!proposal.notes.isEmpty());
    statusBar()->showMessage(proposal.notes.join(u"; "_s));
    offerRestore();
}

void EditorWindow::offerRestore() {
    const std::optional<Session> kept = loadSession(m_recording, m_totalSamples);
    if (!kept || kept->draft == m_document.draft())
        return;
    if (QMessageBox::question(this, u"Vovozodo Lesson Maker"_s,
                              u"You worked on this recording before. Restore your cuts and "
                              u"texts from then?"_s) == QMessageBox::Yes)
        m_document.replaceDraft(kept->draft, u"Restore the earlier session"_s);
    else
        forgetSession(m_recording);
}

void EditorWindow::keepSession() {
    if (m_document.isEmpty())
        return;
    // Every edit undone: an older session must not be offered at the next open.
    if (m_document.draft() == m_proposal) {
        forgetSession(m_recording);
        return;
    }
    Session session{m_recording, m_text, m_totalSamples, m_document.draft()};
    if (!storeSession(session))
        statusBar()->showMessage(u"Cannot keep the session in "_s + sessionFile(m_recording));
}

void EditorWindow::closeEvent(QCloseEvent *event) {
    m_decode.reset();
    m_proposing.reset();
    // A lesson being written is finished first: never half a lesson. Its
    // outcome is taken here, while the window still stands, and not shown.
    if (m_saver) {
        disconnect(m_saver, nullptr, this, nullptr);
        saveFinished(true);
    }
    keepSession();
    event->accept();
}

void EditorWindow::dragEnterEvent(QDragEnterEvent *event) {
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void EditorWindow::dropEvent(QDropEvent *event) {
    QString sound;
    QString words;
    for (const QUrl &url : event->mimeData()->urls())
        if (url.isLocalFile())
            (isText(url.toLocalFile()) ? words : sound) = url.toLocalFile();
    event->acceptProposedAction();
    open(sound, words);
}

} // namespace vovozodo
