// vovozodo-lessons: `check` says why each lesson fails, `use` points the
// player at a library only when it can read the path, and the command line
// keeps its exit statuses.
#include "lessons/input_error.h"
#include "lessons/library_check.h"
#include "lessons/player_settings.h"
#include "support/lesson_folder.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

using namespace vovozodo;

using namespace Qt::StringLiterals;

class LessonsLibrary : public QObject {
    Q_OBJECT

private slots:
    void checkSaysWhy() {
        LessonLibrary library;
        QVERIFY(library.writeLesson(1, u"Good"_s, {u"a"_s, u"b"_s}));
        QVERIFY(library.writeSoundFiles(1, 1, 2, u".wav"_s, true));
        QVERIFY(QDir().mkpath(library.lessonFolder(2)));
        QVERIFY(library.writeTranscript(3, {u"Short"_s, u"a"_s, u"b"_s, u"c"_s}));
        QVERIFY(library.writeSoundFiles(3, 1, 1, u".wav"_s, true));
        QVERIFY(library.writeSoundFiles(3, 3, 3, u".wav"_s, true));
        QVERIFY(library.writeTranscript(4, {u"Text as sound"_s, u"a"_s}));
        QVERIFY(library.writeRaw(4, u"1.wav"_s, "not a sound file"));
        QVERIFY(library.writeRaw(5, u"script.txt"_s, "Title\r\n\xff\xfe\x80 broken\r\n"));
        QVERIFY(library.writeLesson(6, u"Twice"_s, {}));
        QVERIFY(QDir().mkpath(library.path() + u"/T_6"_s));

        const LibraryReport report = checkLibrary(library.path(), library.root());
        QVERIFY(!report.ok());
        // The entries are the player's, word for word.
        QCOMPARE(report.entries[1].text, u"1. Good"_s);
        QVERIFY(report.entries[1].problems.isEmpty());
        QCOMPARE(report.entries[2].text, u"2. Error: The script file has not been found."_s);
        const auto problems = [&](int n) {
            return report.entries[std::size_t(n)].problems.join(u'\n');
        };
        QVERIFY2(problems(2).contains(u"t_2/script.txt: missing"_s), qPrintable(problems(2)));
        QVERIFY2(problems(3).contains(
                     u"3 sentences but only 1.wav (2.wav is missing, 3.wav is there)"_s),
                 qPrintable(problems(3)));
        QVERIFY2(problems(4).contains(u"1.wav: no decoder opens it"_s), qPrintable(problems(4)));
        QVERIFY2(problems(5).contains(u"neither valid UTF-8 nor GB18030 (byte 7)"_s),
                 qPrintable(problems(5)));
        QVERIFY2(problems(6).contains(u"T_6 and t_6"_s), qPrintable(problems(6)));
        QVERIFY2(problems(7).contains(u"t_7: no such folder"_s), qPrintable(problems(7)));

        const QJsonObject json = QJsonDocument::fromJson(reportJson(report)).object();
        QCOMPARE(json[u"ok"_s].toBool(), false);
        QCOMPARE(json[u"entries"_s].toArray().size(), 16);
        QCOMPARE(json[u"entries"_s][3][u"problems"_s][0].toString(), report.entries[3].problems[0]);
    }

    void usePointsThePlayerAtALibrary() {
        QTemporaryDir config;
        QTemporaryDir library;
        const QByteArray configHome = qgetenv("XDG_CONFIG_HOME");
        const auto restore = qScopeGuard([&] { qputenv("XDG_CONFIG_HOME", configHome); });
        qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
        const QString file = config.filePath(u"vovozodo/Vidurivu 2004_10.INI"_s);
        QVERIFY(QDir().mkpath(QFileInfo(file).path()));
        QFile existing(file);
        QVERIFY(existing.open(QIODevice::WriteOnly));
        existing.write(
            "; mine\r\n[Other]\r\nInstallPath=keep\r\n[installsettings]\r\ninstallpath=/old\r\n");
        existing.close();

        QCOMPARE(usePlayerLibrary(library.path()), file);
        QVERIFY(existing.open(QIODevice::ReadOnly));
        QCOMPARE(existing.readAll(),
                 "; mine\r\n[Other]\r\nInstallPath=keep\r\n[installsettings]\r\nInstallPath=" +
                     library.path().toUtf8() + "\r\n");
        const PlayerSettings settings = readPlayerSettings();
        QCOMPARE(settings.file, file);
        QCOMPARE(settings.library, library.path());

        // Paths the player could not read are refused and the file left alone.
        const QString deep = library.path() + u'/' + QString(179 - library.path().size(), u'x');
        QVERIFY(QDir().mkpath(deep));
        for (const QString &refused : {deep, u"relative/path"_s, library.path() + u"/missing"_s})
            QVERIFY_THROWS_EXCEPTION(InputError, usePlayerLibrary(refused));
        QCOMPARE(readPlayerSettings().library, library.path());
    }

    // 0 done, 1 problems found, 2 bad input with one line naming file and reason.
    void exitStatuses_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("error");
        QTest::newRow("help") << QStringList{u"make"_s, u"--help"_s} << 0 << QString();
        QTest::newRow("check finds problems") << QStringList{u"check"_s, u"."_s} << 1 << QString();
        QTest::newRow("lesson 16")
            << QStringList{u"make"_s,         u"."_s,    u"16"_s, u"--audio"_s, u"a.wav"_s,
                           u"--transcript"_s, u"t.txt"_s}
            << 2 << u"N: \"16\" is no lesson number (1 to 15)"_s;
        QTest::newRow("missing audio")
            << QStringList{u"make"_s,         u"."_s,    u"1"_s, u"--audio"_s, u"none.wav"_s,
                           u"--transcript"_s, u"t.txt"_s}
            << 2 << u"t.txt: no such file"_s;
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
};

QTEST_GUILESS_MAIN(LessonsLibrary)
#include "tst_lessons_library.moc"
