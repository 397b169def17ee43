// vovozodo-lessons: `check` says why each lesson fails, `use` edits the
// settings file as an editor would and only when the player can read the
// result, the command line keeps its exit statuses, and a slowed lesson
// holds its sentences.
#include "lessons/input_error.h"
#include "lessons/library_check.h"
#include "lessons/player_settings.h"
#include "support/lesson_folder.h"
#include "support/tone.h"
#include "tst_lessons_support.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <ctime>
#include <fcntl.h>
#include <sndfile.h>
#include <sys/stat.h>

using namespace vovozodo;

using namespace Qt::StringLiterals;

namespace {

QByteArray fileBytes(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

bool putBytes(const QString &path, const QByteArray &bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

// A configuration folder of the test's own, in place for as long as it lives.
class ConfigHome {
public:
    ConfigHome() : m_saved(qgetenv("XDG_CONFIG_HOME")) {
        qputenv("XDG_CONFIG_HOME", m_dir.path().toUtf8());
        QDir().mkpath(m_dir.filePath(u"vovozodo"_s));
    }
    ~ConfigHome() { qputenv("XDG_CONFIG_HOME", m_saved); }
    ConfigHome(const ConfigHome &) = delete;
    ConfigHome &operator=(const ConfigHome &) = delete;
    QString settingsFile() const { return m_dir.filePath(u"vovozodo/Vidurivu 2004_10.INI"_s); }
    QString path() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
    QByteArray m_saved;
};

} // namespace

class LessonsLibrary : public QObject {
    Q_OBJECT

private slots:
    void checkSaysWhy() {
        LessonLibrary library;
        QVERIFY(library.writeTranscript(1, {u"Good"_s, u"a"_s, u"b"_s}));
        QVERIFY(library.writeSoundFiles(1, 1, 2, u".wav"_s, true));
        QVERIFY(QDir().mkpath(library.lessonFolder(2)));
        QVERIFY(library.writeTranscript(3, {u"Short"_s, u"a"_s, u"b"_s, u"c"_s}));
        QVERIFY(library.writeSoundFiles(3, 1, 1, u".wav"_s, true));
        QVERIFY(library.writeSoundFiles(3, 3, 3, u".wav"_s, true));
        QVERIFY(library.writeTranscript(4, {u"Text as sound"_s, u"a"_s, u"b"_s}));
        QVERIFY(library.writeRaw(4, u"1.wav"_s, "not a sound file"));
        QVERIFY(writeTone(library.lessonFolder(4) + u"/2.wav"_s, 440, 100, 44100, 3));
        QVERIFY(library.writeRaw(5, u"script.txt"_s, "Title\r\n\xff\xfe\x80 broken\r\n"));
        QVERIFY(library.writeSoundFiles(5, 1, 1, u".wav"_s, true));
        QVERIFY(library.writeTranscript(6, {u"学习"_s, u"同学"_s}));
        QVERIFY(library.writeSoundFiles(6, 1, 1, u".wav"_s, true));
        // A file t_8 beside the folder T_8: the player takes the folder.
        QVERIFY(putBytes(library.path() + u"/t_8"_s, "x"));
        QVERIFY(QDir(library.path()).rename(u"t_1"_s, u"T_8"_s));
        QVERIFY(putBytes(library.path() + u"/t_9"_s, "x"));

        const LibraryReport report = checkLibrary(library.path(), library.root());
        QVERIFY(!report.ok());
        const auto problems = [&](int n) {
            return report.entries[std::size_t(n)].problems.join(u'\n');
        };
        const auto expect = [&](int n, const QString &text) {
            QVERIFY2(problems(n).contains(text), qPrintable(problems(n)));
        };
        // The entries are the player's, word for word.
        QCOMPARE(report.entries[2].text, u"2. Error: The script file has not been found."_s);
        expect(2, u"t_2/script.txt: missing"_s);
        expect(3, u"3 sentences but only 1.wav (2.wav is missing, 3.wav is there)"_s);
        expect(4, u"1.wav: the player plays it as silence: no decoder reads it"_s);
        expect(4, u"2.wav: the player plays it as silence: 3 channels"_s);
        expect(5, u"neither UTF-8 nor GB18030 (line 2, byte 1)"_s);
        expect(6, u"the player shows it garbled, \"ѧϰ"_s);
        expect(9, u"t_9: not a folder"_s);
        QCOMPARE(report.entries[8].text, u"8. Good"_s);
        QVERIFY(report.entries[8].plays);
        QVERIFY2(problems(8).isEmpty(), qPrintable(problems(8)));
        QCOMPARE(report.entries[8].notes.size(), 1);
        QVERIFY(report.entries[7].empty && report.entries[7].problems.isEmpty());

        const QJsonObject json = QJsonDocument::fromJson(reportJson(report)).object();
        QCOMPARE(json[u"ok"_s].toBool(), false);
        QCOMPARE(json[u"entries"_s].toArray().size(), 15);
        QCOMPARE(json[u"entries"_s][0][u"lesson"_s].toInt(), 1);
        QCOMPARE(json[u"entries"_s][2][u"problems"_s][0].toString(), report.entries[3].problems[0]);
    }

    // Only the value's bytes change, or the key is put where the player reads
    // it; the player's own lookup then finds the library.
    void useEditsLikeAnEditor_data() {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("after"); // "@" stands for the library
        QTest::newRow("no file") << QByteArray()
                                 << QByteArray("[InstallSettings]\r\nInstallPath=@\r\n");
        QTest::newRow("value replaced, the rest kept")
            << QByteArray("; mine\r\n[Other]\r\nInstallPath=keep\r\n[installsettings]\r\n"
                          "installpath = /old ; x\r\nNext=1\r\n")
            << QByteArray("; mine\r\n[Other]\r\nInstallPath=keep\r\n[installsettings]\r\n"
                          "installpath = @\r\nNext=1\r\n");
        QTest::newRow("header with a comment, LF")
            << QByteArray("[InstallSettings] ; note\nOther=1\n")
            << QByteArray("[InstallSettings] ; note\nInstallPath=@\nOther=1\n");
        QTest::newRow("header with blanks, CR only, no last line end")
            << QByteArray("[ InstallSettings ]\rA=1")
            << QByteArray("[ InstallSettings ]\rInstallPath=@\rA=1");
        QTest::newRow("header is the last line")
            << QByteArray("x=1\n[InstallSettings]")
            << QByteArray("x=1\n[InstallSettings]\nInstallPath=@");
        QTest::newRow("GBK comment, mark, no section")
            << QByteArray("\xEF\xBB\xBF; \xC4\xE3\xBA\xC3\r\n[Other]\r\nA=1")
            << QByteArray(
                   "\xEF\xBB\xBF; \xC4\xE3\xBA\xC3\r\n[Other]\r\nA=1\r\n[InstallSettings]\r\n"
                   "InstallPath=@\r\n");
        QTest::newRow("quoted value") << QByteArray("[InstallSettings]\nInstallPath=\"/old\"\n")
                                      << QByteArray("[InstallSettings]\nInstallPath=@\n");
    }
    void useEditsLikeAnEditor() {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, after);
        ConfigHome config;
        QTemporaryDir library;
        const QString file = config.settingsFile();
        if (!before.isEmpty()) {
            QVERIFY(putBytes(file, before));
            QVERIFY(::chmod(QFile::encodeName(file).constData(), 0440) == 0);
        }
        QCOMPARE(usePlayerLibrary(library.path()), file);
        QCOMPARE(fileBytes(file), after.replace('@', library.path().toUtf8()));
        QCOMPARE(readPlayerSettings().library, library.path());
        struct stat status {};
        QCOMPARE(::stat(QFile::encodeName(file).constData(), &status), 0);
        QCOMPARE(status.st_mode & 0777, before.isEmpty() ? 0644u : 0440u);
    }

    void useWritesThroughALinkAndRefusesWhatThePlayerCannotRead() {
        ConfigHome config;
        QTemporaryDir library;
        const QString file = config.settingsFile();
        const QString real = config.path() + u"/real.ini"_s;
        QVERIFY(putBytes(real, "[InstallSettings]\nInstallPath=/old\n"));
        QVERIFY(QFile::link(real, file));
        usePlayerLibrary(library.path());
        QVERIFY(QFileInfo(file).isSymLink());
        QCOMPARE(fileBytes(real),
                 "[InstallSettings]\nInstallPath=" + library.path().toUtf8() + '\n');
        // An empty value leaves the player's InstallRoot empty: the current folder.
        QVERIFY(QFile::remove(file) && putBytes(file, "[InstallSettings]\nInstallPath=\n"));
        QCOMPARE(readPlayerSettings().installRoot, QString());
        QVERIFY(QFile::remove(file));

        // Library paths the player could not read, and settings files it does
        // not read (at once, without blocking), are refused; nothing changes.
        const QString deep = library.path() + u'/' + QString(179 - library.path().size(), u'x');
        QVERIFY(QDir().mkpath(deep));
        for (const QString &refused : {deep, u"relative/path"_s, library.path() + u"/missing"_s})
            QVERIFY_THROWS_EXCEPTION(InputError, usePlayerLibrary(refused));
        QVERIFY(!QFileInfo::exists(file));
        QVERIFY(::mkfifo(QFile::encodeName(file).constData(), 0600) == 0);
        QVERIFY_THROWS_EXCEPTION(InputError, usePlayerLibrary(library.path()));
        QVERIFY(QFile::remove(file) && QFile::link(u"/dev/zero"_s, file));
        QVERIFY_THROWS_EXCEPTION(InputError, usePlayerLibrary(library.path()));
        QVERIFY(QFile::remove(file) && putBytes(file, "\xFF\xFE["));
        QVERIFY_THROWS_EXCEPTION(InputError, usePlayerLibrary(library.path()));
        QVERIFY(QFile::resize(file, 17 * 1024 * 1024));
        QVERIFY_THROWS_EXCEPTION(InputError, usePlayerLibrary(library.path()));
        QCOMPARE(QFileInfo(file).size(), 17 * 1024 * 1024);
    }

    // 0 done, 1 problems found, 2 bad input with one line naming file and reason.
    void exitStatuses_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("error");
        QTest::newRow("help") << QStringList{u"make"_s, u"--help"_s} << 0 << QString();
        QTest::newRow("check of empty slots only")
            << QStringList{u"check"_s, u"."_s} << 0 << QString();
        QTest::newRow("lesson 16")
            << QStringList{u"make"_s,         u"."_s,    u"16"_s, u"--audio"_s, u"a.wav"_s,
                           u"--transcript"_s, u"t.txt"_s}
            << 2 << u"N: \"16\" is no lesson number (1 to 15)"_s;
        QTest::newRow("missing audio")
            << QStringList{u"make"_s,         u"."_s,    u"1"_s, u"--audio"_s, u"none.wav"_s,
                           u"--transcript"_s, u"t.txt"_s}
            << 2 << u"t.txt: no such file"_s;
        QTest::newRow("a speed learners do not practise at")
            << QStringList{u"make"_s,         u"."_s,     u"1"_s,       u"--audio"_s, u"a.wav"_s,
                           u"--transcript"_s, u"t.txt"_s, u"--tempo"_s, u"50"_s}
            << 2 << u"--tempo: expects 90 or 75"_s;
        QTest::newRow("unknown command")
            << QStringList{u"cut"_s} << 2 << u"unknown command \"cut\""_s;
    }
    void exitStatuses() {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, error);
        QTemporaryDir work;
        QProcess program;
        program.setWorkingDirectory(work.path());
        program.start(QStringLiteral(LESSONS_PROGRAM), arguments);
        QVERIFY(program.waitForFinished(20000));
        QCOMPARE(program.exitCode(), status);
        const QString stderrText = QString::fromUtf8(program.readAllStandardError());
        if (!error.isEmpty()) {
            QCOMPARE(stderrText.count(u'\n'), 1);
            QVERIFY2(stderrText.contains(error), qPrintable(stderrText));
        }
        QCOMPARE(
            QDir(work.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
            QStringList());
    }

    // At 75 % every clip is a third longer than at full speed, and the slowed
    // lesson is one the player plays whole.
    void makeAtTempo() {
        QTemporaryDir work;
        const QList<SyntheticSentence> sentences = {
            {u"春眠不觉晓"_s, 5}, {u"处处闻啼鸟"_s, 5}, {u"夜来风雨声"_s, 5}, {u"花落知多少"_s, 5}};
        writeSyntheticSpeech(work.filePath(u"poem.wav"_s), sentences, {450, 500, 400, 600});
        QVERIFY(writeText(work.filePath(u"poem.txt"_s),
                          u"春眠不觉晓\n处处闻啼鸟\n夜来风雨声\n花落知多少\n"_s));
        const auto run = [&](const QStringList &arguments) {
            QProcess program;
            program.setWorkingDirectory(work.path());
            program.start(QStringLiteral(LESSONS_PROGRAM), arguments);
            return program.waitForFinished(60000) ? program.exitCode() : -1;
        };
        const auto make = [&](const QString &library, const QString &percent) {
            QDir(work.path()).mkdir(library);
            return run({u"make"_s, library, u"1"_s, u"--audio"_s, u"poem.wav"_s, u"--transcript"_s,
                        u"poem.txt"_s, u"--tempo"_s, percent, u"--quiet"_s});
        };
        QCOMPARE(make(u"full"_s, u"100"_s), 0);
        QCOMPARE(make(u"slow"_s, u"75"_s), 0);
        const auto frames = [&](const QString &library, qsizetype clip) {
            SF_INFO info{};
            SNDFILE *file = sf_open(
                QFile::encodeName(work.filePath(library + u"/t_1/%1.wav"_s.arg(clip))).constData(),
                SFM_READ, &info);
            sf_close(file);
            return file ? info.frames : -1;
        };
        for (qsizetype clip = 1; clip <= sentences.size(); ++clip) {
            const double ratio = double(frames(u"slow"_s, clip)) / double(frames(u"full"_s, clip));
            QVERIFY2(qAbs(ratio - 4.0 / 3.0) < 0.01,
                     qPrintable(u"clip %1: %2"_s.arg(clip).arg(ratio)));
        }
        QCOMPARE(run({u"check"_s, u"slow"_s}), 0);
    }

    // A folder whose name holds a backslash is checked as given; a broken
    // lesson makes the status 1, the leftover of a killed run is listed with
    // its size but does not.
    void checkTakesTheFolderGiven() {
        QTemporaryDir work;
        const QString folder = work.filePath(u"a\\b/t_1"_s);
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(putBytes(folder + u"/script.txt"_s, "Title\r\nOne\r\n"));
        QVERIFY(writeTone(folder + u"/1.wav"_s, 440, 100));
        const QString leftover = work.filePath(u"a\\b/.t_2.new-AbCd12"_s);
        QVERIFY(QDir().mkpath(leftover + u"/t_2"_s));
        QVERIFY(putBytes(leftover + u"/t_2/1.wav"_s, QByteArray(1500, 'x')));
        const timespec hourAgo[2] = {{::time(nullptr) - 3600, 0}, {::time(nullptr) - 3600, 0}};
        QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(leftover).constData(), hourAgo, 0), 0);
        QByteArray output;
        const auto run = [&](const QStringList &extra = {}) {
            QProcess program;
            program.setWorkingDirectory(work.path());
            program.start(QStringLiteral(LESSONS_PROGRAM),
                          QStringList{u"check"_s, u"a\\b"_s} + extra);
            const int status = program.waitForFinished(20000) ? program.exitCode() : -1;
            output = program.readAllStandardOutput();
            return status;
        };
        QCOMPARE(run(), 0);
        QVERIFY2(output.contains("note: .t_2.new-AbCd12 (1.5 kB): left by a stopped run"),
                 output.constData());
        QCOMPARE(run({u"--json"_s}), 0);
        const QJsonObject json = QJsonDocument::fromJson(output).object();
        QCOMPARE(json[u"leftovers"_s][0][u"folder"_s].toString(), u".t_2.new-AbCd12"_s);
        QCOMPARE(json[u"leftovers"_s][0][u"bytes"_s].toInteger(), 1500);
        QVERIFY(putBytes(folder + u"/1.wav"_s, "broken"));
        QCOMPARE(run(), 1);
    }
};

QTEST_GUILESS_MAIN(LessonsLibrary)
#include "tst_lessons_library.moc"
