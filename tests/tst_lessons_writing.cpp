// vovozodo-lessons: a lesson is written whole or not at all; the lesson it
// replaces stays in place until the new one is complete.
#include "handles/sndfile_handles.h"
#include "lessons/input_error.h"
#include "lessons/interrupt.h"
#include "lessons/lesson_text.h"
#include "lessons/lesson_writer.h"
#include "lessons/library_check.h"
#include "lessons/make_lesson.h"
#include "lessons/progress.h"
#include "lessons/recording.h"
#include "lessons/work_folders.h"
#include "library/playable_sound.h"
#include "tst_lessons_support.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <cmath>
#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace vovozodo;

using namespace Qt::StringLiterals;

namespace {

const QList<SyntheticSentence> kSentences = {
    {u"你好"_s, 2}, {u"我叫李小红"_s, 5}, {u"认识你很高兴"_s, 6}};

// Everything in the library: names and sizes, folders included, hidden ones too.
QStringList listing(const QString &folder) {
    QStringList entries;
    QDir dir(folder);
    for (const QFileInfo &info :
         dir.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name)) {
        entries.append(info.fileName() + u' ' + QString::number(info.isDir() ? 0 : info.size()));
        if (info.isDir())
            for (const QString &inner : listing(info.filePath()))
                entries.append(info.fileName() + u'/' + inner);
    }
    return entries;
}

// renameat2 as a FUSE mount answers it: no flags.
int renameWithoutFlags(int fromFolder, const char *from, int toFolder, const char *to,
                       unsigned int flags) {
    if (flags != 0) {
        errno = EINVAL;
        return -1;
    }
    return ::renameat(fromFolder, from, toFolder, to);
}

// One second of a tone, at any rate.
class ToneRecording : public Recording {
public:
    explicit ToneRecording(int rate) {
        m_sampleRate = rate;
        m_channels = 1;
    }
    qint64 read(float *interleaved, qint64 frames) override {
        const qint64 count = std::min(frames, qint64(m_sampleRate) - m_done);
        for (qint64 i = 0; i < count; ++i)
            interleaved[i] =
                0.5f *
                float(std::sin(2 * M_PI * 300.0 * double(m_done + i) / double(m_sampleRate)));
        m_done += count;
        return count;
    }

private:
    qint64 m_done = 0;
};

} // namespace

class LessonsWriting : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    SyntheticRecording m_truth;
    QString m_library;

    MakeOptions options() const {
        MakeOptions made;
        made.library = m_library;
        made.lesson = 1;
        made.audio = m_dir.filePath(u"talk.wav"_s);
        made.transcript = m_dir.filePath(u"talk.txt"_s);
        made.quiet = true;
        return made;
    }
    // An old lesson 1 of four sentences, one more than the new one.
    void writeOldLesson(const QString &folderName = u"t_1"_s) {
        QDir(m_library).removeRecursively();
        QVERIFY(QDir().mkpath(m_library + u'/' + folderName));
        QVERIFY(writeText(m_library + u'/' + folderName + u"/script.txt"_s,
                          u"Old\r\na\r\nb\r\nc\r\nd\r\n"_s));
        for (int k = 1; k <= 4; ++k)
            QVERIFY(writeText(m_library + u'/' + folderName + u'/' + QString::number(k) + u".wav"_s,
                              u"old sound"_s));
    }

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        m_library = m_dir.filePath(u"library"_s);
        m_truth = writeSyntheticSpeech(options().audio, kSentences, {400, 500, 300});
        QVERIFY(writeText(options().transcript, u"你好\n我叫李小红\n\n认识你很高兴\n"_s));
    }

    // The lesson as the player reads it: GB18030 with CR LF, title first, and
    // one 16-bit sound file per sentence at the recording's rate. The second
    // sentence and the one after a blank line start paragraphs (two spaces).
    void writesTheLessonFormat() {
        QDir(m_library).removeRecursively();
        QVERIFY(QDir().mkpath(m_library));
        MakeOptions made = options();
        made.title = u"第一课"_s;
        QStringList notes;
        makeLesson(made, notes);
        QFile script(m_library + u"/t_1/script.txt"_s);
        QVERIFY(script.open(QIODevice::ReadOnly));
        QCOMPARE(script.readAll(),
                 encodeLessonText(u"第一课\r\n你好\r\n  我叫李小红\r\n  认识你很高兴\r\n"_s,
                                  TextEncoding::Gb18030));
        SF_INFO info{};
        QVERIFY(UniqueSndfile(
            sf_open(QFile::encodeName(m_library + u"/t_1/3.wav"_s).constData(), SFM_READ, &info)));
        QCOMPARE(info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
        QCOMPARE(info.samplerate, m_truth.sampleRate);
        QCOMPARE(listing(m_library).size(), 5); // t_1, script.txt, three sound files
    }

    // Clips of a recording at a rate the player does not play are resampled
    // to one it does; the length of the clip stays.
    void clipsAreWrittenAtRatesThatPlay_data() {
        QTest::addColumn<int>("rate");
        QTest::addColumn<int>("written");
        QTest::newRow("6000 Hz") << 6000 << 8000;
        QTest::newRow("7999 Hz") << 7999 << 8000;
        QTest::newRow("8000 Hz") << 8000 << 8000;
        QTest::newRow("192000 Hz") << 192000 << 192000;
        QTest::newRow("250000 Hz") << 250000 << 48000;
    }
    void clipsAreWrittenAtRatesThatPlay() {
        QFETCH(int, rate);
        QFETCH(int, written);
        QTemporaryDir library;
        ToneRecording recording(rate);
        LessonWriter writer(library.path(), 2, false);
        writer.writeScript(u"T"_s, {u"a"_s}, {false}, TextEncoding::Utf8);
        Progress progress(false);
        writer.writeClips(recording, {Clip{rate / 10, rate / 2}}, 1.0, progress);
        writer.commit();
        const std::optional<SoundFormat> format = probeSoundFile(library.path() + u"/t_2/1.wav"_s);
        QVERIFY(format);
        QCOMPARE(format->sampleRate, written);
        QCOMPARE(playabilityOf(*format), Playability::Plays);
        QVERIFY2(qAbs(format->frames - qint64(written) * 4 / 10) <= written / 100,
                 qPrintable(QString::number(format->frames)));
    }

    // A library folder that is not there yet is made, when its parent is.
    void makeCreatesTheLibraryFolder() {
        QDir(m_library).removeRecursively();
        QStringList notes;
        makeLesson(options(), notes);
        // What make writes is what the player's verdict accepts.
        const LibraryReport report = checkLibrary(m_library, m_library + u'\\');
        QVERIFY2(report.ok() && report.entries[1].plays, qPrintable(reportText(report)));
        MakeOptions orphan = options();
        orphan.library = m_dir.filePath(u"no/library"_s);
        QVERIFY_THROWS_EXCEPTION(InputError, makeLesson(orphan, notes));
        QVERIFY(!QFileInfo::exists(m_dir.filePath(u"no"_s)));
        // Nothing is left of it when the lesson is refused.
        MakeOptions refused = options();
        refused.library = m_dir.filePath(u"fresh"_s);
        refused.audio = m_dir.filePath(u"none.wav"_s);
        QVERIFY_THROWS_EXCEPTION(InputError, makeLesson(refused, notes));
        QVERIFY(!QFileInfo::exists(refused.library));
    }

    void existingLessonIsKeptWithoutReplace() {
        writeOldLesson();
        const QStringList before = listing(m_library);
        QStringList notes;
        QVERIFY_THROWS_EXCEPTION(InputError, makeLesson(options(), notes));
        QCOMPARE(listing(m_library), before);
    }

    // Replaced in place, under the spelling the player found it by: no second
    // folder beside it, and nothing of the old lesson left inside.
    void replaceTakesTheOldLessonsPlace_data() {
        QTest::addColumn<QString>("folder");
        QTest::newRow("t_1") << u"t_1"_s;
        QTest::newRow("T_1") << u"T_1"_s;
    }
    void replaceTakesTheOldLessonsPlace() {
        QFETCH(QString, folder);
        writeOldLesson(folder);
        MakeOptions made = options();
        made.replace = true;
        QStringList notes;
        makeLesson(made, notes);
        const QStringList entries =
            QDir(m_library).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        QCOMPARE(entries, QStringList{folder});
        QVERIFY(QFile::exists(m_library + u'/' + folder + u"/3.wav"_s));
        QVERIFY(!QFile::exists(m_library + u'/' + folder + u"/4.wav"_s));
    }

    // t_1 a link to a lesson kept elsewhere: the link is replaced, what it
    // links to stays untouched.
    void replacingALinkKeepsWhatItLinksTo() {
        writeOldLesson(u"kept"_s);
        const QString elsewhere = m_dir.filePath(u"elsewhere"_s);
        QDir(elsewhere).removeRecursively();
        QVERIFY(QDir().rename(m_library + u"/kept"_s, elsewhere));
        QVERIFY(QFile::link(elsewhere, m_library + u"/t_1"_s));
        const QStringList before = listing(elsewhere);
        MakeOptions made = options();
        made.replace = true;
        QStringList notes;
        makeLesson(made, notes);
        QCOMPARE(listing(elsewhere), before);
        QVERIFY(!QFileInfo(m_library + u"/t_1"_s).isSymLink());
        QVERIFY(QFile::exists(m_library + u"/t_1/3.wav"_s));
    }

    // A full disk part-way through (a file size limit stands in for it):
    // refused, the old lesson whole, no temporary folder left.
    void failedWriteLeavesTheOldLesson() {
        writeOldLesson();
        const QStringList before = listing(m_library);
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit old{};
        getrlimit(RLIMIT_FSIZE, &old);
        rlimit small = old;
        small.rlim_cur = 20000;
        setrlimit(RLIMIT_FSIZE, &small);
        MakeOptions made = options();
        made.replace = true;
        QStringList notes;
        QString message;
        try {
            makeLesson(made, notes);
        } catch (const SystemError &error) {
            message = error.message();
        }
        setrlimit(RLIMIT_FSIZE, &old);
        QVERIFY2(message.contains(u"cannot write"_s), qPrintable(message));
        QCOMPARE(listing(m_library), before);
    }

    // Outputs that would overwrite an input or land in the lesson are refused
    // before anything is written; the inputs stay as they were.
    void unsafeOutputsAreRefused_data() {
        QTest::addColumn<QString>("option");
        QTest::addColumn<QString>("output");
        QTest::addColumn<QString>("message");
        QTest::newRow("labels: the recording") << u"labels"_s << u"talk.wav"_s << u"same file"_s;
        QTest::newRow("labels: a hard link to the transcript")
            << u"labels"_s << u"hard"_s << u"same file"_s;
        QTest::newRow("preview: a symbolic link to the recording")
            << u"preview"_s << u"soft.png"_s << u"same file"_s;
        QTest::newRow("labels: inside the lesson")
            << u"labels"_s << u"library/T_1/cuts.txt"_s << u"inside the lesson"_s;
        QTest::newRow("preview: no picture format")
            << u"preview"_s << u"x.xyz"_s << u"no picture format"_s;
        QTest::newRow("labels: no such folder")
            << u"labels"_s << u"nowhere/cuts.txt"_s << u"does not exist"_s;
    }
    void unsafeOutputsAreRefused() {
        QFETCH(QString, option);
        QFETCH(QString, output);
        QFETCH(QString, message);
        QDir(m_library).removeRecursively();
        QVERIFY(QDir().mkpath(m_library + u"/T_1"_s));
        QFile::remove(m_dir.filePath(u"hard"_s));
        QFile::remove(m_dir.filePath(u"soft.png"_s));
        QCOMPARE(::link(QFile::encodeName(options().transcript).constData(),
                        QFile::encodeName(m_dir.filePath(u"hard"_s)).constData()),
                 0);
        QVERIFY(QFile::link(options().audio, m_dir.filePath(u"soft.png"_s)));
        const QStringList before = listing(m_dir.path());
        MakeOptions made = options();
        made.replace = true;
        (option == u"labels"_s ? made.labels : made.preview) = m_dir.filePath(output);
        QStringList notes;
        try {
            makeLesson(made, notes);
            QFAIL("an unsafe output was accepted");
        } catch (const InputError &error) {
            QVERIFY2(error.message().contains(message), qPrintable(error.message()));
        }
        QCOMPARE(listing(m_dir.path()), before);
    }

    // On a file system that refuses renameat2's flags (FUSE), plain renames
    // put a new lesson in place and replace an old one; nothing is left over.
    // The labels and a JPEG preview follow once the lesson is in place.
    void withoutRenameFlags() {
        setRenameAt2ForTesting(&renameWithoutFlags);
        QDir(m_library).removeRecursively();
        QVERIFY(QDir().mkpath(m_library));
        MakeOptions made = options();
        made.labels = m_dir.filePath(u"cuts.txt"_s);
        made.preview = m_dir.filePath(u"cuts.jpg"_s);
        QStringList notes;
        makeLesson(made, notes);
        QCOMPARE(listing(m_library).size(), 5);
        writeOldLesson();
        made.replace = true;
        makeLesson(made, notes);
        setRenameAt2ForTesting(nullptr);
        QCOMPARE(listing(m_library).size(), 5);
        QVERIFY(!QFile::exists(m_library + u"/t_1/4.wav"_s));
        QFile preview(made.preview);
        QVERIFY(preview.open(QIODevice::ReadOnly));
        QCOMPARE(preview.read(2), QByteArray("\xff\xd8"));
        QVERIFY(QFileInfo(made.labels).size() > 0);
    }

    // A run killed part-way leaves its work folders; the next run removes them
    // (and puts back a lesson caught stepping aside), but not those of a run
    // still alive.
    void leftoversOfKilledRunsAreCleared() {
        QDir(m_library).removeRecursively();
        const QString dead = m_library + u"/.t_1.new-AbCd12"_s;
        const QString aside = m_library + u"/.t_2.old-XyZ789"_s;
        const QString alive = m_library + u"/.t_3.new-Live42"_s;
        QVERIFY(QDir().mkpath(dead) && QDir().mkpath(aside + u"/lesson"_s) && QDir().mkpath(alive));
        QVERIFY(writeText(aside + u"/lesson/script.txt"_s, u"Kept\r\n"_s));
        const timespec hourAgo[2] = {{::time(nullptr) - 3600, 0}, {::time(nullptr) - 3600, 0}};
        for (const QString &folder : {dead, aside, alive})
            QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(folder).constData(), hourAgo, 0), 0);
        const FolderLock liveRun(alive);
        QVERIFY(liveRun.held());
        QCOMPARE(leftoverFolders(m_library).size(), 2);
        QStringList notes;
        makeLesson(options(), notes);
        QCOMPARE(QDir(m_library).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                                           QDir::Name),
                 (QStringList{u".t_3.new-Live42"_s, u"t_1"_s, u"t_2"_s}));
        QVERIFY(QFile::exists(m_library + u"/t_2/script.txt"_s));
        QCOMPARE(notes.filter(u"removed"_s).size(), 2);
    }

    // Last: the interrupt flag stays raised for the rest of the process.
    void interruptLeavesTheOldLesson() {
        writeOldLesson();
        const QStringList before = listing(m_library);
        catchInterrupts();
        std::raise(SIGINT);
        MakeOptions made = options();
        made.replace = true;
        QStringList notes;
        QVERIFY_THROWS_EXCEPTION(Interrupted, makeLesson(made, notes));
        QCOMPARE(listing(m_library), before);
    }
};

// A GUI application: the preview is drawn with fonts.
QTEST_MAIN(LessonsWriting)
#include "tst_lessons_writing.moc"
