// vovozodo-lessons: the subtitle and transcript readers, on every format and
// on broken input.
#include "lessons/cue_repair.h"
#include "lessons/input_error.h"
#include "lessons/lesson_text.h"
#include "lessons/subtitle_reader.h"
#include "lessons/transcript_reader.h"

#include <QStringEncoder>
#include <QTest>

using namespace vovozodo;

using namespace Qt::StringLiterals;

namespace {

// "start-end text" per cue, "|" between cues.
QString describe(const QList<Cue> &cues) {
    QStringList parts;
    for (const Cue &cue : cues)
        parts.append(u"%1-%2 %3"_s.arg(cue.startMs).arg(cue.endMs).arg(cue.text));
    return parts.join(u'|');
}

} // namespace

class LessonsReaders : public QObject {
    Q_OBJECT

private slots:
    void formats_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("cues");
        QTest::newRow("SRT: markup, two lines, Chinese joined directly")
            << u"\uFEFF1\r\n00:00:01,000 --> 00:00:02,500\r\n<i>Hello</i> {\\an8}there,\r\nfriend "
               u"&amp; you\r\n\r\n"
               u"2\r\n00:00:03,000 --> 00:00:04,000\r\n你好\r\n世界\r\n"_s
            << u"1000-2500 Hello there, friend & you|3000-4000 你好世界"_s;
        QTest::newRow("WebVTT: header, note, settings, no hours")
            << u"WEBVTT - lesson\nKind: captions\n\nNOTE a remark\nover two lines\n\n"
               u"intro\n00:01.000 --> 00:02.000 align:start line:0\n<v Anna>Good <c.x>day</c>\n"_s
            << u"1000-2000 Good day"_s;
        QTest::newRow("LRC: offset, two times on a line, end from the next line")
            << u"[ar:Someone]\n[offset:500]\n[00:01.50][00:09.00]再见\n[00:03.00]<00:03.10>谢谢\n"_s
            << u"1000-2500 再见|2500-8500 谢谢|8500--1 再见"_s;
        QTest::newRow("ASS: own field order, commas in the text, overrides")
            << u"[Script Info]\nTitle: x\n\n[Events]\nFormat: Layer, Start, End, Style, Text\n"
               u"Comment: 0,0:00:00.00,0:00:01.00,Default,skip\n"
               u"Dialogue: 0,0:00:01.20,0:00:02.00,Default,{\\b1}One,\\Ntwo, three\n"_s
            << u"1200-2000 One, two, three"_s;
        QTest::newRow("Audacity labels with a spectral line")
            << u"0.500000\t1.250000\tFirst\n\t100.0\t4000.0\n2\t3\tSecond one\n"_s
            << u"500-1250 First|2000-3000 Second one"_s;
    }
    void formats() {
        QFETCH(QString, text);
        QFETCH(QString, cues);
        QCOMPARE(describe(readSubtitles(text, u"in"_s).cues), cues);
    }

    // Mended and reported: an empty cue is left out, cues out of order are
    // put in order, an overlap is noted.
    void untidyCuesAreMendedAndReported() {
        const Subtitles subtitles =
            readSubtitles(u"1\n00:00:05,000 --> 00:00:06,000\nlater\n\n2\n00:00:01,000 --> "
                          u"00:00:02,000\n<i></i>\n\n"
                          u"3\n00:00:02,000 --> 00:00:05,500\nearlier\n"_s,
                          u"in.srt"_s);
        QCOMPARE(describe(subtitles.cues), u"2000-5500 earlier|5000-6000 later"_s);
        const QString notes = subtitles.notes.join(u'\n');
        QVERIFY2(notes.contains(u"without text left out (line 5)"_s), qPrintable(notes));
        QVERIFY2(notes.contains(u"out of order"_s), qPrintable(notes));
        QVERIFY2(notes.contains(u"overlaps the next by 500 ms"_s), qPrintable(notes));
    }

    void malformedInputNamesItsLine_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("where");
        QTest::newRow("SRT time")
            << u"1\n00:00:01,000 --> 00:00:02,000\nA\n\n2\n00:00:0x,000 --> 00:00:03,000\nB\n"_s
            << u"in:6:"_s;
        QTest::newRow("SRT without times")
            << u"1\n00:00:01,000 --> 00:00:02,000\nA\n\nno time here\nat all\n"_s << u"in:5:"_s;
        QTest::newRow("SRT ends before it starts")
            << u"1\n00:00:03,000 --> 00:00:02,000\nA\n"_s << u"in:2:"_s;
        QTest::newRow("SRT seconds 75") << u"1\n00:00:75,000 --> 00:00:76,000\nA\n"_s << u"in:2:"_s;
        QTest::newRow("LRC line without a time") << u"[00:01.00]A\nplain line\n"_s << u"in:2:"_s;
        // Found by fuzzing: minutes that overflowed the millisecond count.
        QTest::newRow("LRC minutes beyond reason")
            << u"[00:01.00]A\n[4444444444444444440:03.47]B\n"_s << u"in:2:"_s;
        QTest::newRow("ASS too few fields")
            << u"[Events]\nFormat: Start, End, Text\nDialogue: 0:00:01.00\n"_s << u"in:3:"_s;
        QTest::newRow("labels not numbers") << u"1.0\t2.0\tA\n1.5\tabc\tB\n"_s << u"in:2:"_s;
        QTest::newRow("nothing but empty cues")
            << u"1\n00:00:01,000 --> 00:00:02,000\n\n"_s << u"in: no cue"_s;
        QTest::newRow("empty file") << QString() << u"in: no cues found"_s;
    }
    void malformedInputNamesItsLine() {
        QFETCH(QString, text);
        QFETCH(QString, where);
        try {
            readSubtitles(text, u"in"_s);
            QFAIL("malformed subtitles were read");
        } catch (const InputError &error) {
            QVERIFY2(error.message().startsWith(where), qPrintable(error.message()));
        }
    }

    // A GBK subtitle file is read as Chinese, not as broken UTF-8; a mark
    // names UTF-16; a forced encoding wins.
    void encodings() {
        const QString chinese = u"1\r\n00:00:01,000 --> 00:00:02,000\r\n学习中文\r\n"_s;
        QStringEncoder gbk("GB18030");
        QCOMPARE(readSubtitles(decodeLessonText(gbk.encode(chinese), TextEncoding::Detect), u"in"_s)
                     .cues.first()
                     .text,
                 u"学习中文"_s);
        QStringEncoder utf16(QStringEncoder::Utf16LE, QStringEncoder::Flag::WriteBom);
        QCOMPARE(decodeLessonText(utf16.encode(u"你好"_s), TextEncoding::Detect), u"你好"_s);
        QCOMPARE(decodeLessonText(u"你好"_s.toUtf8(), TextEncoding::Gb18030), u"浣犲ソ"_s);
        QVERIFY_THROWS_EXCEPTION(InputError, textEncodingNamed(u"latin1"_s, u"--encoding"_s));
    }

    // Cues that would make empty or stolen clips: merged, repaired or refused
    // with their line.
    void degenerateCues_data() {
        QTest::addColumn<QString>("labels"); // an Audacity label track
        QTest::addColumn<qint64>("shiftMs");
        QTest::addColumn<QString>("result"); // cues, or the error's start
        QTest::newRow("repeated cue merged")
            << u"1\t2\tA\n1\t2\tA\n3\t4\tB\n"_s << qint64(0) << u"1000-2000 A|3000-4000 B"_s;
        QTest::newRow("cue over the next two ends where the next starts")
            << u"1\t9\tA\n3\t4\tB\n5\t6\tC\n"_s << qint64(0)
            << u"1000-3000 A|3000-4000 B|5000-6000 C"_s;
        QTest::newRow("point labels run to the next")
            << u"1\t1\tA\n3\t3\tB\n"_s << qint64(0) << u"1000-3000 A|3000--1 B"_s;
        QTest::newRow("shifted before the start: refused")
            << u"1\t2\tA\n61\t62\tB\n"_s << qint64(-60000) << u"in:1:"_s;
        QTest::newRow("shifted across the start: starts with it")
            << u"59\t61\tA\n62\t63\tB\n"_s << qint64(-60000) << u"0-1000 A|2000-3000 B"_s;
        QTest::newRow("two points at one time merged")
            << u"1\t1\tA\n1\t1\tB\n"_s << qint64(0) << u"1000--1 A B"_s;
        QTest::newRow("a point where the next cue starts: refused")
            << u"1\t1\tA\n1\t2\tB\n"_s << qint64(0) << u"in:1:"_s;
    }
    void degenerateCues() {
        QFETCH(QString, labels);
        QFETCH(qint64, shiftMs);
        QFETCH(QString, result);
        QStringList notes;
        try {
            const QList<Cue> cues =
                repairCues(readSubtitles(labels, u"in"_s).cues, shiftMs, u"in"_s, notes);
            QCOMPARE(describe(cues), result);
            QVERIFY(!notes.isEmpty());
        } catch (const InputError &error) {
            QVERIFY2(error.message().startsWith(result), qPrintable(error.message()));
        }
    }

    // Without --text-encoding, text that is not wholly UTF-8, GB18030 or marked
    // UTF-16 is refused with its line and byte; damaged UTF-8 is never taken
    // for GB18030, though its bytes would decode as such.
    void badTextIsRefused_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("read"); // or the start of the refusal
        QStringEncoder gb18030("GB18030");
        const QByteArray chinese = u"你好\r\n我叫李小红\r\n认识你很高兴\r\n"_s.toUtf8();
        QTest::newRow("UTF-8") << chinese << u"你好\r\n我叫李小红\r\n认识你很高兴\r\n"_s;
        QTest::newRow("GB18030") << QByteArray(gb18030.encode(u"你好\r\n学习"_s))
                                 << u"你好\r\n学习"_s;
        QTest::newRow("UTF-8 with one bad byte")
            << QByteArray(chinese).insert(8, '\xA0') << u"t: line 2, byte 1 (0xA0): not UTF-8"_s;
        QTest::newRow("neither") << QByteArray("Title\r\nab\x80\r\n")
                                 << u"t: line 2, byte 3 (0x80): neither UTF-8 nor GB18030"_s;
    }
    void badTextIsRefused() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, read);
        try {
            QCOMPARE(decodeLessonText(bytes, TextEncoding::Detect, u"t"_s), read);
        } catch (const InputError &error) {
            QVERIFY2(error.message().startsWith(read), qPrintable(error.message()));
        }
    }

    void transcripts() {
        QCOMPARE(readTranscriptSentences(u"\uFEFF  one \r\n\r\n   \ttwo\n\n"_s, u"t"_s),
                 (QStringList{u"one"_s, u"two"_s}));
        // Paragraphs: the second sentence, one after a blank line, an indented one.
        const Transcript transcript =
            readTranscript(u"Title\nSecond\nThird\n\nFourth\n  Fifth\nSixth\n"_s, u"t"_s);
        QCOMPARE(transcript.paragraphStarts,
                 (std::vector<bool>{false, true, false, true, true, false}));
        QCOMPARE(transcript.lines, (std::vector<int>{1, 2, 3, 5, 6, 7}));
        QVERIFY_THROWS_EXCEPTION(InputError, readTranscriptSentences(u" \r\n\t\n"_s, u"t"_s));
        // Lengths: a character per Chinese syllable, vowel groups for Latin words.
        QCOMPARE(spokenLength(u"你好"_s), 2.0);
        QCOMPARE(spokenLength(u"big black cat"_s), 3.0);
        QVERIFY(spokenLength(u"你好，再见。"_s) > spokenLength(u"你好再见"_s));
    }
};

QTEST_GUILESS_MAIN(LessonsReaders)
#include "tst_lessons_readers.moc"
