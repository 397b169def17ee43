#pragma once

#include "editor/lesson_document.h"
#include "editor/lesson_input.h"
#include "editor/lesson_saver.h"
#include "editor/peak_pyramid.h"

#include <QMainWindow>

#include <memory>

class QAction;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QScrollBar;
class QTableWidget;
class QThread;
class QTimer;

namespace vovozodo {

class DecodeJob;
class ProposalJob;
struct Proposal;
class SoundOutput;
class WaveformView;
struct LevelProfile;

// The lesson maker's window: the waveform over the sentence list, the
// selected sentence's text below. A recording and a text are opened from the
// menu, by dropping them on the window or from the command line; the recording
// is decoded in the background while the waveform is drawn as it arrives.
class EditorWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit EditorWindow(QWidget *parent = nullptr);
    ~EditorWindow() override;

    // Either may be empty; a file of the other kind is asked for later.
    void open(const QString &recording, const QString &text);
    // `tempo` below 1 saves a slowed copy, pitch kept.
    void saveTo(const QString &library, int lesson, const QString &title, double tempo = 1.0);

    LessonDocument &document() { return m_document; }
    WaveformView *waveform() const { return m_waveform; }
    // Decoding the recording or finding its cuts.
    bool isDecoding() const { return m_decode != nullptr || m_proposing != nullptr; }
    const PeakPyramid &peaks() const { return m_pyramid; }
    bool isSaving() const { return m_saver != nullptr; }
    // Where Space and Q/W/E/D play; the window takes `output` over.
    void setSoundOutput(SoundOutput *output);

protected:
    void closeEvent(QCloseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    enum Column { kNumber, kText, kStart, kLength, kColumns };

    void buildMenus();
    void buildLayout();
    void openRecording(const QString &path);
    void openText(const QString &path);
    void decodeFinished(const std::shared_ptr<const LevelProfile> &profile);
    void proposeWhenReady();
    void proposalArrived(const Proposal &proposal);
    void offerRestore();
    void refreshSentences();
    void selectSentence(qsizetype sentence);
    qsizetype selectedSentence() const;
    void splitAtPlayhead();
    void mergeSelected();
    void realignRest();
    void askAndSave();
    // `windowClosed`: the outcome is not shown, a closed window shows nothing.
    void saveFinished(bool windowClosed = false);
    void keepSession();
    void showError(const QString &message);
    // Space: the selected clip as saved; Q/W: a second before/after the selected
    // cut; E/D: the clip's first/last second. Again stops.
    enum class Listen { Clip, BeforeCut, AfterCut, ClipStart, ClipEnd };
    void listen(Listen what);
    void syncScrollBar();
    void updateTitle();

    LessonDocument m_document;
    PeakPyramid m_pyramid;
    LessonInput m_input;
    QString m_recording;
    RecordingStamp m_recordingStamp;
    QString m_text;
    qint64 m_totalSamples = 0;
    int m_sampleRate = 0;
    std::shared_ptr<const LevelProfile> m_profile;
    // The cuts as proposed: a session back at them has nothing worth keeping.
    LessonDraft m_proposal;
    std::unique_ptr<DecodeJob> m_decode;
    std::unique_ptr<ProposalJob> m_proposing;
    QThread *m_saver = nullptr;
    QString m_saveError;
    QString m_savedTo;

    WaveformView *m_waveform = nullptr;
    QScrollBar *m_scroll = nullptr;
    QTableWidget *m_sentences = nullptr;
    QLineEdit *m_sentenceText = nullptr;
    QLabel *m_trouble = nullptr;
    // What reading the text changed (subtitles moved to meet the speech), kept
    // in view: the status line would lose it to the next message.
    QLabel *m_inputNotes = nullptr;
    QProgressBar *m_progress = nullptr;
    QPushButton *m_cancel = nullptr;
    QTimer *m_sessionTimer = nullptr;
    SoundOutput *m_output = nullptr;
    QTimer *m_playheadTimer = nullptr;
    // What Space and Q/W/E/D play at: 1 or 0.75.
    double m_speed = 1.0;
    QAction *m_saveAction = nullptr;
};

} // namespace vovozodo
