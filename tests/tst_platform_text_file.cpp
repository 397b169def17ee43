#include "platform/text_file.h"

#include "support/lesson_folder.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <future>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace vovozodo;

using namespace Qt::StringLiterals;

class TextFileTest : public QObject {
    Q_OBJECT

private slots:
    void decodes_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("lines");

        const QString hello = u"你好"_s;
        QTest::newRow("empty") << QByteArray() << QStringList();
        QTest::newRow("one end") << "\r\n"_ba << QStringList{QString()};
        QTest::newRow("no final end") << "a\r\nb"_ba << QStringList{u"a"_s, u"b"_s};
        QTest::newRow("mixed ends")
            << "a\r\nb\nc\rd\r\r\n\n"_ba << QStringList{u"a"_s, u"b"_s, u"c"_s, u"d"_s, {}, {}};
        QTest::newRow("UTF-8") << "\xE4\xBD\xA0\xE5\xA5\xBD\r\n"_ba << QStringList{hello};
        QTest::newRow("UTF-8 BOM")
            << "\xEF\xBB\xBF\xE4\xBD\xA0\xE5\xA5\xBD"_ba << QStringList{hello};
        QTest::newRow("GBK") << "\xC4\xE3\xBA\xC3\r\nx"_ba << QStringList{hello, u"x"_s};
        QTest::newRow("GB18030 four bytes") << "\x81\x30\x81\x30"_ba << QStringList{u"\u0080"_s};
        QTest::newRow("UTF-8 and GBK: all GB18030")
            << "\xC4\xE3\r\n\xE4\xBD\xA0"_ba << QStringList{u"你"_s, u"浣\uFFFD"_s};
        QTest::newRow("lone lead byte before end")
            << "\xC4\xE3\xC4\r\nab"_ba << QStringList{u"你\uFFFD"_s, u"ab"_s};
        QTest::newRow("lone lead byte at end") << "\xC4\xE3\xC4"_ba << QStringList{u"你\uFFFD"_s};
        QTest::newRow("NUL kept") << QByteArray("a\0b", 3)
                                  << QStringList{u"a"_s + QChar(0) + u"b"_s};
    }
    void decodes() {
        QFETCH(QByteArray, bytes);
        QTEST(platform::decodeTextLines(bytes), "lines");
    }

    void readsThroughWindowsPath() {
        LessonLibrary library;
        QVERIFY(library.writeTranscript(1, {u"标题"_s, u"一"_s}));
        QCOMPARE(platform::readTextLines(library.root() + u"T_1\\SCRIPT.TXT"_s),
                 QStringList({u"标题"_s, u"一"_s}));
    }

    void refusesWhatCannotBeOpened_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("opens");
        QTest::newRow("missing") << u"missing"_s << false;
        QTest::newRow("folder") << u"folder"_s << false;
        QTest::newRow("at the cap") << u"size"_s << true;
        QTest::newRow("over the cap") << u"size+1"_s << false;
    }
    void refusesWhatCannotBeOpened() {
        QFETCH(QString, kind);
        LessonLibrary library;
        const QString path = library.lessonFolder(1) + u"/script.txt"_s;
        if (kind == u"folder") {
            QVERIFY(QDir().mkpath(path));
        } else if (kind.startsWith(u"size")) {
            QVERIFY(library.writeRaw(1, u"script.txt"_s, "x"));
            QVERIFY(
                QFile::resize(path, platform::kMaxTextFileBytes + (kind.endsWith(u"+1") ? 1 : 0)));
        }
        QTEST(platform::readTextLines(library.root() + u"t_1\\script.txt"_s).has_value(), "opens");
    }

    void fifoDoesNotBlock() {
        LessonLibrary library;
        QVERIFY(QDir().mkpath(library.lessonFolder(1)));
        const QByteArray fifo = QFile::encodeName(library.lessonFolder(1) + u"/script.txt"_s);
        QCOMPARE(::mkfifo(fifo.constData(), 0600), 0);
        auto reading = std::async(std::launch::async, [&] {
            return platform::readTextLines(library.root() + u"t_1\\script.txt"_s);
        });
        if (reading.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
            ::close(::open(fifo.constData(), O_WRONLY | O_NONBLOCK)); // release the reader
            QFAIL("reading a FIFO blocked");
        }
        QVERIFY(!reading.get());
    }
};

QTEST_GUILESS_MAIN(TextFileTest)
#include "tst_platform_text_file.moc"
