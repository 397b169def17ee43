// vovozodo-lessons: a lesson is written whole or not at all; the lesson it
// replaces stays in place until the new one is complete.
#include "lessons/input_error.h"
#include "lessons/interrupt.h"
#include "lessons/lesson_text.h"
#include "lessons/make_lesson.h"
#include "tst_lessons_support.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <sndfile.h>

#include <csignal>
#include <sys/resource.h>

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
        QVERIFY(writeText(options().transcript, u"你好\n我叫李小红\n认识你很高兴\n"_s));
    }

    // The lesson as the player reads it: GB18030 with CR LF, title first, and
    // one 16-bit sound file per sentence at the recording's rate.
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
                 encodeLessonText(u"第一课\r\n你好\r\n我叫李小红\r\n认识你很高兴\r\n"_s,
                                  TextEncoding::Gb18030));
        SF_INFO info{};
        SNDFILE *sound =
            sf_open(QFile::encodeName(m_library + u"/t_1/3.wav"_s).constData(), SFM_READ, &info);
        QVERIFY(sound);
        sf_close(sound);
        QCOMPARE(info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
        QCOMPARE(info.samplerate, m_truth.sampleRate);
        QCOMPARE(listing(m_library).size(), 5); // t_1, script.txt, three sound files
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
        } catch (const InputError &error) {
            message = error.message();
        }
        setrlimit(RLIMIT_FSIZE, &old);
        QVERIFY2(message.contains(u"cannot write"_s), qPrintable(message));
        QCOMPARE(listing(m_library), before);
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

QTEST_GUILESS_MAIN(LessonsWriting)
#include "tst_lessons_writing.moc"
