// The lesson maker's window on the offscreen platform: a recording and its
// transcript opened in the background, cuts dragged with and without snapping,
// zoom at the pointer, the keys, saving, misfits marked in the sentence list,
// and bad input shown as one message (what must lose nothing is in
// tst_editor_safety).
#include "editor/editor_window.h"
#include "editor/sound_output.h"
#include "editor/waveform_view.h"
#include "support/modal_answerer.h"
#include "support/pump_until.h"
#include "tst_lessons_support.h"

#include <QAccessible>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QStatusBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QUndoStack>

using namespace vovozodo;

using namespace Qt::StringLiterals;

namespace {

// Takes what would be played, and how many frames it holds, instead of playing it.
class TakenOutput : public SoundOutput {
public:
    std::atomic<qint64> frames{-1};

protected:
    void run(const ClipSound &sound) override {
        frames = qint64(sound.samples.size()) / std::max(sound.channels, 1);
    }
};

} // namespace

class EditorWindowTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_audio;
    QString m_text;
    SyntheticRecording m_truth;

    qint64 ms(qint64 milliseconds) const { return milliseconds * m_truth.sampleRate / 1000; }

    void openIn(EditorWindow &window) {
        window.resize(1000, 600);
        window.show();
        window.open(m_audio, m_text);
        QVERIFY(pumpUntil([&] { return !window.document().isEmpty(); }, std::chrono::seconds(30)));
        QCOMPARE(window.document().draft().sentences.size(), kShortSentences.size());
    }

private slots:
    void initTestCase() {
        // Sessions of the developer's own must neither answer nor be touched.
        qputenv("XDG_STATE_HOME", m_dir.filePath(u"state"_s).toUtf8());
        m_audio = m_dir.filePath(u"poem.wav"_s);
        m_text = m_dir.filePath(u"poem.txt"_s);
        const std::optional<SyntheticRecording> truth =
            writeSyntheticLesson(m_audio, m_text, kShortSentences, kShortPausesMs);
        QVERIFY(truth);
        m_truth = *truth;
    }

    // Dropped near another pause a cut snaps to that pause's quietest point;
    // with Shift held it stays where it was dropped. Each drag is one undo step.
    void dragCut_data() {
        QTest::addColumn<bool>("shift");
        QTest::newRow("snapping") << false;
        QTest::newRow("Shift: where dropped") << true;
    }
    void dragCut() {
        QFETCH(bool, shift);
        EditorWindow window;
        openIn(window);
        WaveformView *view = window.waveform();
        const LessonDraft before = window.document().draft();
        const TimeScale &scale = view->scale();
        const int y = view->height() / 2;
        const QPoint from(int(std::lround(scale.xOf(before.cut(1)))), y);
        // Into the sentence after the cut, 150 ms from the pause.
        const qint64 target = m_truth.starts[2] + ms(150);
        const QPoint to(int(std::lround(scale.xOf(target))), y);
        const Qt::KeyboardModifiers modifiers = shift ? Qt::ShiftModifier : Qt::NoModifier;
        QTest::mousePress(view, Qt::LeftButton, modifiers, from);
        QTest::mouseMove(view, (from + to) / 2);
        QMouseEvent move(QEvent::MouseMove, to, view->mapToGlobal(to), Qt::NoButton, Qt::LeftButton,
                         modifiers);
        QApplication::sendEvent(view, &move);
        QTest::mouseRelease(view, Qt::LeftButton, modifiers, to);
        const qint64 cut = window.document().draft().cut(1);
        if (shift)
            QVERIFY(qAbs(cut - scale.sampleAt(to.x())) <= qint64(scale.samplesPerPixel()) + 1);
        else
            QCOMPARE(cut, before.cut(1));
        QCOMPARE(window.document().undoStack()->count(), shift ? 1 : 0);
    }

    // Ctrl+wheel zooms with the sample under the pointer kept there; keys move
    // the selected cut and undo it.
    void zoomAndKeys() {
        EditorWindow window;
        openIn(window);
        WaveformView *view = window.waveform();
        const QPointF pointer(300, view->height() / 2.0);
        const qint64 under = view->scale().sampleAt(pointer.x());
        QWheelEvent wheel(pointer, view->mapToGlobal(pointer), {}, QPoint(0, 240), Qt::NoButton,
                          Qt::ControlModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(view, &wheel);
        QCOMPARE(view->scale().zoomStep(), 2);
        QVERIFY(qAbs(view->scale().xOf(under) - pointer.x()) <= 1.0);

        view->setFocus();
        QTest::keyClick(view, Qt::Key_Tab);
        QTest::keyClick(view, Qt::Key_Tab);
        QCOMPARE(view->selectedCut(), 1);
        const qint64 cut = window.document().draft().cut(1);
        QTest::keyClick(view, Qt::Key_Right, Qt::ShiftModifier);
        QTest::keyClick(view, Qt::Key_Left);
        QCOMPARE(window.document().draft().cut(1), cut + ms(90));
        QTest::keyClick(&window, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(window.document().draft().cut(1), cut);
        QTest::keyClick(&window, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(window.document().draft().cut(1), cut + ms(90));
    }

    // [ slows what Space plays to 75 %, pitch kept: the clip lasts 4/3 as
    // long; ] brings it back.
    void bracketSlowsListening() {
        EditorWindow window;
        openIn(window);
        auto *output = new TakenOutput;
        window.setSoundOutput(output);
        const auto listen = [&](char speed) {
            if (speed)
                QTest::keyClick(&window, speed);
            output->frames = -1;
            QTest::keyClick(&window, Qt::Key_Space);
            return pumpUntil([&] { return output->frames >= 0 && !output->isPlaying(); })
                       ? output->frames.load()
                       : qint64(-1);
        };
        const qint64 full = listen(0);
        QVERIFY(full > 0);
        const qint64 slowed = listen('[');
        QVERIFY2(qAbs(double(slowed) / double(full) - 4.0 / 3.0) < 0.05,
                 qPrintable(u"%1 frames at 75 %, %2 at full speed"_s.arg(slowed).arg(full)));
        QCOMPARE(listen(']'), full);
    }

    // Assistive technology sees each cut as a slider in milliseconds; setting its
    // value moves the cut exactly there, as one undo step. A split and its undo
    // bring a slider and take it away again.
    void cutsAreSliders() {
        EditorWindow window;
        openIn(window);
        QAccessibleInterface *waveform = QAccessible::queryAccessibleInterface(window.waveform());
        QVERIFY(waveform);
        QCOMPARE(waveform->childCount(), kShortSentences.size() - 1);
        QAccessibleInterface *slider = waveform->child(1);
        QCOMPARE(slider->role(), QAccessible::Slider);
        QCOMPARE(slider->text(QAccessible::Name), u"Cut between sentences 2 and 3"_s);
        QAccessibleValueInterface *value = slider->valueInterface();
        QVERIFY(value);
        QCOMPARE(value->minimumStepSize().toInt(), 10);
        const qint64 was = value->currentValue().toLongLong();
        QCOMPARE(was, window.document().draft().cut(1) * 1000 / m_truth.sampleRate);
        value->setCurrentValue(was + 250);
        QCOMPARE(window.document().draft().cut(1), ms(was + 250));
        QCOMPARE(value->currentValue().toLongLong(), was + 250);
        window.document().undoStack()->undo();
        QCOMPARE(value->currentValue().toLongLong(), was);

        const SentenceSpan third = window.document().draft().spans[2];
        window.document().split((third.speechStart + third.speechEnd) / 2, 2);
        QCOMPARE(waveform->childCount(), kShortSentences.size());
        QAccessibleInterface *added = waveform->child(waveform->childCount() - 1);
        QCOMPARE(added->text(QAccessible::Name), u"Cut between sentences 4 and 5"_s);
        QCOMPARE(waveform->indexOfChild(added), waveform->childCount() - 1);
        window.document().undoStack()->undo();
        QCOMPARE(waveform->childCount(), kShortSentences.size() - 1);
        QVERIFY(!waveform->child(waveform->childCount()));
    }

    // Saved into a library slot; saving over it asks, and "No" leaves it as it was.
    void saveAsksBeforeReplacing() {
        EditorWindow window;
        openIn(window);
        const QString library = m_dir.filePath(u"library"_s);
        QVERIFY(QDir().mkpath(library));
        window.saveTo(library, 3, u"Poem"_s);
        QVERIFY(pumpUntil([&] { return !window.isSaving(); }, std::chrono::seconds(30)));
        QVERIFY(QFile::exists(library + u"/t_3/4.wav"_s));
        const QByteArray script = [&] {
            QFile file(library + u"/t_3/script.txt"_s);
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        }();
        window.document().removeCut(0);
        ModalAnswerer no(QMessageBox::No);
        window.saveTo(library, 3, u"Poem"_s);
        QVERIFY(no.seen().shown);
        QVERIFY(!window.isSaving());
        QFile file(library + u"/t_3/script.txt"_s);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), script);
    }

    // What `make` refuses is one clear message, and the window stays usable.
    void badInputIsOneMessage_data() {
        QTest::addColumn<QString>("recording");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("not a recording") << u"noise.wav"_s << QByteArray("RIFF not really", 15);
        QTest::newRow("missing file") << u"gone.mp3"_s << QByteArray();
    }
    void badInputIsOneMessage() {
        QFETCH(QString, recording);
        QFETCH(QByteArray, bytes);
        const QString path = m_dir.filePath(recording);
        if (!bytes.isEmpty()) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
        }
        EditorWindow window;
        window.show();
        ModalAnswerer ok(QMessageBox::Ok);
        window.open(path, {});
        QVERIFY(pumpUntil([&] { return ok.seen().shown; }, std::chrono::seconds(30)));
        QVERIFY2(ok.seen().text.contains(recording), qPrintable(ok.seen().text));
        QVERIFY(!window.isDecoding());
    }

    // What reading late subtitles changed stays in view after the status line
    // has moved on to other news.
    void subtitleOffsetStaysInView() {
        const QString subtitles = m_dir.filePath(u"late.srt"_s);
        QVERIFY(writeText(subtitles, subtitlesOf(kShortSentences, m_truth, 700)));
        EditorWindow window;
        window.show();
        window.open(m_audio, subtitles);
        QVERIFY(pumpUntil([&] { return !window.document().isEmpty(); }, std::chrono::seconds(30)));
        window.statusBar()->showMessage(u"Saved"_s);
        const auto *notes = window.findChild<QLabel *>(u"inputNotes"_s);
        QVERIFY(notes && notes->isVisible() && !notes->accessibleName().isEmpty());
        QVERIFY2(notes->text().contains(
                     u"late.srt: subtitles moved 0.70 s earlier to meet the speech"_s),
                 qPrintable(notes->text()));
    }

    // Sentences where text and speech part carry a mark whose description
    // says what is wrong, until the cuts around them are mended.
    void misfitMarksInTheList() {
        const QString audio = m_dir.filePath(u"inner-pauses.wav"_s);
        writeSyntheticSpeech(audio, kInnerPauseSentences, kInnerPausePausesMs);
        QList<SyntheticSentence> fewer = kInnerPauseSentences;
        fewer.removeAt(3);
        const QString text = m_dir.filePath(u"fewer.txt"_s);
        QVERIFY(writeText(text, transcriptOf(fewer)));
        EditorWindow window;
        window.show();
        window.open(audio, text);
        QVERIFY(pumpUntil([&] { return !window.document().isEmpty(); }, std::chrono::seconds(30)));
        const auto *list = window.findChild<QTableWidget *>(u"sentenceList"_s);
        QVERIFY(list);
        QVERIFY(!window.document().draft().misfits.empty());
        const auto row = int(window.document().draft().misfits.front().sentence);
        const auto description = [&] {
            return list->item(row, 0)->data(Qt::AccessibleDescriptionRole).toString();
        };
        QVERIFY2(description().startsWith(u"fewer.txt: line "_s), qPrintable(description()));
        QVERIFY(list->item(row, 0)->text().contains(u'\u2260'));
        QCOMPARE(list->item(row, 1)->toolTip(), description());
        const qsizetype cut = std::min<qsizetype>(row, window.document().draft().cutCount() - 1);
        window.document().moveCut(cut, window.document().draft().cut(cut) + ms(100));
        QVERIFY(!list->item(row, 0)->text().contains(u'\u2260'));
        QVERIFY(!description().contains(u"fewer.txt"_s));
    }
};

QTEST_MAIN(EditorWindowTest)
#include "tst_editor_window.moc"
