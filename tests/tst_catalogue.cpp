// The catalogue scan: which lessons are listed by title, which with an error.
#include "library/catalogue.h"
#include "library/lesson_paths.h"
#include "platform/windows_path.h"
#include "support/lesson_folder.h"
#include "support/unprivileged.h"

#include <QDir>
#include <QTest>

using namespace vovozodo;

using namespace Qt::StringLiterals;

namespace {
const QString kNotFound = u". Error: The script file has not been found."_s;
const QString kMismatch =
    u". Error: The number of sound files \u2260 the number of lines in the script."_s;
} // namespace

class CatalogueTest : public QObject {
    Q_OBJECT

    CatalogueEntry scan(const LessonLibrary &library, int lesson) {
        platform::WindowsPathResolver resolver;
        return scanLesson(library.root(), lesson, resolver);
    }

private slots:
    void promptHasTwentyHyphensEachSide() {
        QCOMPARE(lessonPromptEntry(),
                 u"-------------------- Please select a program --------------------"_s);
    }

    void validLessonIsListedByItsTrimmedTitle() {
        LessonLibrary library;
        QVERIFY(library.writeTranscript(3, {u"  第三课 天气  "_s, u""_s, u"今天很冷。"_s, u"   "_s,
                                            u"  明天下雪。"_s, u"\t"_s, u""_s}));
        QVERIFY(library.writeSoundFiles(3, 1, 3));
        const CatalogueEntry entry = scan(library, 3);
        QCOMPARE(entry.text, u"3. 第三课 天气"_s);
        QVERIFY(entry.valid);
    }

    void titleOnlyOrEmptyTranscriptIsValidWithNoSentences() {
        LessonLibrary library;
        QVERIFY(library.writeTranscript(1, {u"Only a title"_s}));
        QVERIFY(library.writeRaw(2, u"script.txt"_s, QByteArray()));
        QVERIFY(library.writeTranscript(4, {u"    "_s}));
        QCOMPARE(scan(library, 1).text, u"1. Only a title"_s);
        QVERIFY(scan(library, 1).valid);
        QCOMPARE(scan(library, 2).text, u"2. "_s);
        QVERIFY(scan(library, 2).valid);
        QCOMPARE(scan(library, 4).text, u"4. "_s);
    }

    void soundFilesAreCountedUpToTheFirstGap() {
        LessonLibrary library;
        QVERIFY(library.writeTranscript(5, {u"T"_s, u"a"_s, u"b"_s, u"c"_s}));
        QVERIFY(library.writeSoundFiles(5, 1, 2));
        QVERIFY(library.writeSoundFiles(5, 4, 4));
        QCOMPARE(scan(library, 5).text, u"5"_s + kMismatch);
        QVERIFY(!scan(library, 5).valid);
    }

    void moreSoundFilesThanLinesIsAMismatch() {
        LessonLibrary library;
        QVERIFY(library.writeTranscript(6, {u"T"_s, u"a"_s, u"b"_s, u"c"_s}));
        QVERIFY(library.writeSoundFiles(6, 1, 4));
        QCOMPARE(scan(library, 6).text, u"6"_s + kMismatch);
    }

    void soundFileNamesMatchWithoutRegardToCase() {
        LessonLibrary library;
        QVERIFY(library.writeTranscript(7, {u"T"_s, u"a"_s, u"b"_s}));
        QVERIFY(library.writeSoundFiles(7, 1, 1, u".WAV"_s));
        QVERIFY(library.writeSoundFiles(7, 2, 2, u".Wav"_s));
        QVERIFY(scan(library, 7).valid);
    }

    // The scan spells sound files ".wav" and playback ".WAV": unless both find the
    // same file, a lesson listed as valid plays nothing.
    void scanAndPlaybackFindTheSameSoundFile_data() {
        QTest::addColumn<QString>("beside"); // what else the lesson folder holds
        QTest::newRow("a folder named 1.WAV") << u"folder"_s;
        QTest::newRow("garbage named 1.WAV") << u"garbage"_s;
        QTest::newRow("folder searchable, not listable") << u"unlistable"_s;
    }
    void scanAndPlaybackFindTheSameSoundFile() {
        QFETCH(QString, beside);
        if (beside == u"unlistable" && permissionsAreNotEnforced()) {
            rerunAsNobody("scanAndPlaybackFindTheSameSoundFile:folder searchable, not listable");
            return;
        }
        LessonLibrary library;
        QVERIFY(library.writeTranscript(1, {u"T"_s, u"a"_s}));
        QVERIFY(library.writeSoundFiles(1, 1, 1));
        const QString folder = library.lessonFolder(1);
        if (beside == u"folder")
            QVERIFY(QDir().mkpath(folder + u"/1.WAV"_s));
        else if (beside == u"garbage")
            QVERIFY(library.writeRaw(1, u"1.WAV"_s, "garbage"));
        else {
            QVERIFY(QFile::setPermissions(folder, QFileDevice::ExeOwner | QFileDevice::WriteOwner |
                                                      QFileDevice::ExeGroup |
                                                      QFileDevice::ExeOther));
            QVERIFY2(QDir(folder).entryList(QDir::Files).isEmpty(), "the folder can be listed");
        }
        const CatalogueEntry entry = scan(library, 1);
        const std::optional<QString> played =
            platform::resolveWindowsPath(soundFilePath(library.root(), 1, 1, u".WAV"));
        QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                          QFileDevice::ExeOwner);
        QVERIFY(entry.valid);
        QCOMPARE(played, folder + u"/1.wav"_s);
    }

    void aFolderNamedLikeASoundFileIsNotOne() {
        LessonLibrary library;
        QVERIFY(library.writeTranscript(8, {u"T"_s, u"a"_s}));
        QVERIFY(QDir().mkpath(library.lessonFolder(8) + u"/1.wav"_s));
        QCOMPARE(scan(library, 8).text, u"8"_s + kMismatch);
    }

    void transcriptThatIsAFolderIsNotFound() {
        LessonLibrary library;
        QVERIFY(QDir().mkpath(library.lessonFolder(9) + u"/script.txt"_s));
        QCOMPARE(scan(library, 9).text, u"9"_s + kNotFound);
    }

    void lessonTenLivesInFolderT10() {
        LessonLibrary library;
        QVERIFY(library.writeLesson(10, u"Ten"_s, {u"x"_s}));
        QCOMPARE(scan(library, 10).text, u"10. Ten"_s);
    }

    void wholeCatalogueOfAnEmptyLibrary() {
        LessonLibrary library;
        const Catalogue catalogue = scanCatalogue(library.root());
        QCOMPARE(catalogue[0].text, lessonPromptEntry());
        QVERIFY(!catalogue[0].valid);
        for (int n = 1; n <= 15; ++n) {
            QCOMPARE(catalogue[std::size_t(n)].text, QString::number(n) + kNotFound);
            QVERIFY(!catalogue[std::size_t(n)].valid);
        }
    }

    void rootWithTwoBackslashesAndUpperCaseFolders() {
        LessonLibrary library;
        QVERIFY(library.writeLesson(1, u"One"_s, {u"x"_s, u"y"_s}));
        QVERIFY(QDir(library.path()).rename(u"t_1"_s, u"T_1"_s));
        const Catalogue catalogue = scanCatalogue(library.root() + u'\\');
        QCOMPARE(catalogue[1].text, u"1. One"_s);
        QVERIFY(catalogue[1].valid);
    }
};

QTEST_GUILESS_MAIN(CatalogueTest)
#include "tst_catalogue.moc"
