// What the lesson maker must never lose: the editing session across a close
// or a turn to another recording, the library and the edits when a save
// fails (full disk, a recording gone or changed while open), and a decode or
// a save cut short by closing the window.
#include "editor/editor_window.h"
#include "editor/session_store.h"
#include "support/modal_answerer.h"
#include "support/pump_until.h"
#include "tst_lessons_support.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QUndoStack>

#include <csignal>
#include <sys/resource.h>

using namespace vovozodo;

using namespace Qt::StringLiterals;

namespace {

QByteArray contents(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Every entry below `folder`, hidden ones too, with its size and checksum.
QStringList listing(const QString &folder) {
    QStringList entries;
    for (const QFileInfo &info : QDir(folder).entryInfoList(
             QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name)) {
        if (info.isDir()) {
            entries.append(info.fileName() + u'/');
            for (const QString &inner : listing(info.filePath()))
                entries.append(info.fileName() + u'/' + inner);
        } else {
            entries.append(info.fileName() + u' ' +
                           QString::fromLatin1(QCryptographicHash::hash(contents(info.filePath()),
                                                                        QCryptographicHash::Sha1)
                                                   .toHex()));
        }
    }
    return entries;
}

// A full disk stands in as a file size limit: writes past it fail with EFBIG.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit small = m_old;
        small.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &small);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &m_old); }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

private:
    rlimit m_old{};
};

} // namespace

class EditorSafetyTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_audio;
    QString m_text;
    QString m_other;
    SyntheticRecording m_truth;
    int m_copies = 0;

    qint64 ms(qint64 milliseconds) const { return milliseconds * m_truth.sampleRate / 1000; }

    // A recording of its own for each case: sessions are kept per recording.
    QString freshRecording() {
        const QString path = m_dir.filePath(u"poem-%1.wav"_s.arg(++m_copies));
        return QFile::copy(m_audio, path) ? path : QString();
    }
    QString freshLibrary() {
        const QString path = m_dir.filePath(u"library-%1"_s.arg(++m_copies));
        return QDir().mkpath(path) ? path : QString();
    }

    void openIn(EditorWindow &window, const QString &recording) {
        window.resize(1000, 600);
        window.show();
        window.open(recording, m_text);
        QVERIFY(pumpUntil([&] { return !window.document().isEmpty() && !window.isDecoding(); }));
        QCOMPARE(window.document().draft().sentences.size(), kShortSentences.size());
    }

    // Moves a cut and edits a text; the draft after the edits.
    LessonDraft edit(EditorWindow &window) const {
        window.document().moveCut(1, window.document().draft().cut(1) + ms(120));
        window.document().setText(0, u"春眠不觉晓了"_s);
        return window.document().draft();
    }

    void saveAndWait(EditorWindow &window, const QString &library, int lesson) {
        window.saveTo(library, lesson, u"Poem"_s);
        QVERIFY(pumpUntil([&] { return !window.isSaving(); }));
        QVERIFY(QFile::exists(library + u"/t_%1/script.txt"_s.arg(lesson)));
    }

private slots:
    void initTestCase() {
        qputenv("XDG_STATE_HOME", m_dir.filePath(u"state"_s).toUtf8());
        m_audio = m_dir.filePath(u"poem.wav"_s);
        m_text = m_dir.filePath(u"poem.txt"_s);
        m_other = m_dir.filePath(u"other.wav"_s);
        const std::optional<SyntheticRecording> truth =
            writeSyntheticLesson(m_audio, m_text, kShortSentences, kShortPausesMs);
        QVERIFY(truth);
        m_truth = *truth;
        writeSyntheticSpeech(m_other, kShortSentences, {300, 300, 300, 300});
    }

    // The session is kept in the state folder as the learner works, and its
    // latest edits when the window turns away (closed, another recording or
    // the transcript opened at once). Reopening the recording offers it: Yes
    // brings back the cuts and the text, No discards it for good. Every edit
    // undone leaves nothing to offer.
    void sessionIsOffered_data() {
        QTest::addColumn<QString>("leave");
        QTest::addColumn<bool>("restore");
        QTest::newRow("closed; Yes restores") << u"close"_s << true;
        QTest::newRow("closed; No discards") << u"close"_s << false;
        QTest::newRow("another recording opened; Yes restores") << u"recording"_s << true;
        QTest::newRow("the transcript opened again; Yes restores") << u"transcript"_s << true;
        QTest::newRow("every edit undone, closed; nothing offered") << u"undo"_s << false;
    }
    void sessionIsOffered() {
        QFETCH(QString, leave);
        QFETCH(bool, restore);
        const QString recording = freshRecording();
        auto window = std::make_unique<EditorWindow>();
        openIn(*window, recording);
        const LessonDraft proposed = window->document().draft();
        window->document().setText(1, u"处处闻啼鸟了"_s);
        // Kept while the window is open, as a crash would leave it.
        QVERIFY(pumpUntil([&] { return QFile::exists(sessionFile(recording)); }));
        QVERIFY(sessionFile(recording).startsWith(m_dir.filePath(u"state/vovozodo/editor/"_s)));
        const LessonDraft edited = edit(*window);
        const bool undone = leave == u"undo"_s;
        if (undone)
            window->document().undoStack()->setIndex(0);
        if (leave == u"close"_s || undone)
            QVERIFY(window->close());
        else if (leave == u"recording"_s)
            window->open(m_other, {});
        ModalAnswerer answer(restore ? QMessageBox::Yes : QMessageBox::No);
        if (leave == u"transcript"_s) {
            window->open({}, m_text);
            QVERIFY(pumpUntil([&] { return !window->isDecoding(); }));
        } else {
            window = std::make_unique<EditorWindow>();
            openIn(*window, recording);
        }
        QCOMPARE(answer.seen().shown, !undone);
        QVERIFY(window->document().draft() == (restore ? edited : proposed));
        if (!restore) {
            window = std::make_unique<EditorWindow>();
            ModalAnswerer none(QMessageBox::Yes);
            openIn(*window, recording);
            QVERIFY(!none.seen().shown);
        }
    }

    // A save that fails leaves the library as it was, the lesson it was to
    // replace included, says why in one message, and keeps the edits.
    void failedSaveLosesNothing_data() {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("reason");
        QTest::newRow("full disk") << u"full"_s << u"cannot write"_s;
        QTest::newRow("recording gone") << u"gone"_s << u"the recording is gone"_s;
        QTest::newRow("recording changed") << u"changed"_s << u"changed since it was opened"_s;
    }
    void failedSaveLosesNothing() {
        QFETCH(QString, fault);
        QFETCH(QString, reason);
        const QString recording = freshRecording();
        const QString library = freshLibrary();
        EditorWindow window;
        openIn(window, recording);
        saveAndWait(window, library, 1);
        const LessonDraft edited = edit(window);
        const QStringList before = listing(library);

        std::optional<FileSizeLimit> full;
        if (fault == u"full"_s)
            full.emplace(20000);
        else if (fault == u"gone"_s)
            QVERIFY(QFile::remove(recording));
        else
            writeSyntheticSpeech(recording, kShortSentences, {900, 900, 900, 900}); // longer
        {
            ModalAnswerer replace(QMessageBox::Yes);
            window.saveTo(library, 1, u"Poem"_s);
            QVERIFY(replace.seen().shown);
        }
        ModalAnswerer message(QMessageBox::Ok);
        QVERIFY(pumpUntil([&] { return message.seen().shown; }));
        full.reset();
        QVERIFY2(message.seen().text.contains(reason) &&
                     message.seen().text.contains(u"Nothing was changed in the library"_s),
                 qPrintable(message.seen().text));
        QCOMPARE(listing(library), before);
        QVERIFY(!window.isSaving());
        QVERIFY(window.document().draft() == edited);
        QVERIFY(!window.document().undoStack()->isClean());
    }

    // Closing while the recording is decoded: whatever the decode had sent
    // never reaches the window afterwards (no proposal, no offer), and the
    // session kept before is left as it was.
    void closeWhileDecoding() {
        const QString recording = freshRecording();
        {
            EditorWindow window;
            openIn(window, recording);
            edit(window);
            QVERIFY(window.close());
        }
        const QByteArray kept = contents(sessionFile(recording));
        QVERIFY(!kept.isEmpty());
        EditorWindow window;
        window.show();
        window.open(recording, m_text);
        // The event loop held: the decode of this short recording ends
        // meanwhile, its results waiting for the window.
        QThread::msleep(300);
        ModalAnswerer none(QMessageBox::Yes);
        QVERIFY(window.close());
        QVERIFY(!window.isDecoding());
        pumpFor(std::chrono::milliseconds(300));
        QVERIFY(!none.seen().shown);
        QVERIFY(window.document().isEmpty());
        QCOMPARE(contents(sessionFile(recording)), kept);
    }

    // Closing or dropping the window while a lesson is written: it is written
    // whole first, never half, and nothing else is left in the library. A save
    // that fails meanwhile leaves the library empty and shows nothing on the
    // closed window.
    void closeWhileSaving_data() {
        QTest::addColumn<bool>("close");
        QTest::addColumn<bool>("fails");
        QTest::newRow("closed") << true << false;
        QTest::newRow("destroyed") << false << false;
        QTest::newRow("closed; the save fails") << true << true;
    }
    void closeWhileSaving() {
        QFETCH(bool, close);
        QFETCH(bool, fails);
        const QString library = freshLibrary();
        auto window = std::make_unique<EditorWindow>();
        openIn(*window, freshRecording());
        edit(*window);
        std::optional<FileSizeLimit> full;
        if (fails)
            full.emplace(20000);
        ModalAnswerer message(QMessageBox::Ok);
        window->saveTo(library, 2, u"Poem"_s);
        QVERIFY(window->isSaving());
        if (close)
            QVERIFY(window->close());
        full.reset();
        pumpFor(std::chrono::milliseconds(200));
        QVERIFY(!message.seen().shown);
        window.reset();
        const QStringList entries =
            QDir(library).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        QCOMPARE(entries, fails ? QStringList{} : QStringList{u"t_2"_s});
        if (!fails)
            QCOMPARE(QDir(library + u"/t_2"_s).entryList(QDir::Files).size(),
                     kShortSentences.size() + 1);
    }
};

QTEST_MAIN(EditorSafetyTest)
#include "tst_editor_safety.moc"
