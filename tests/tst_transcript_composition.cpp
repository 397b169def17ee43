// How a transcript becomes the text view, the heading's centring and the
// sentence chooser's entries.
#include "library/display_width.h"
#include "library/lesson_script.h"

#include <QTest>

using namespace vovozodo;

using namespace Qt::StringLiterals;

class TranscriptCompositionTest : public QObject {
    Q_OBJECT

private slots:
    void displayWidth_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("width");
        QTest::newRow("empty") << QString() << qint64(0);
        QTest::newRow("one space") << u" "_s << qint64(1);
        QTest::newRow("two spaces") << u"  "_s << qint64(2);
        QTest::newRow("curly quotes around ideographs") << u"\u201C你好\u201D"_s << qint64(12);
        QTest::newRow("ascii digits") << u"2004"_s << qint64(8);
        QTest::newRow("full-width digits") << u"\uFF12\uFF10\uFF10\uFF14"_s << qint64(16);
        QTest::newRow("latin letter") << u"a"_s << qint64(4);
        QTest::newRow("straight quote") << u"\""_s << qint64(4);
        QTest::newRow("tab and ideographic space") << u"\t\u3000"_s << qint64(8);
        QTest::newRow("outside the BMP") << u"\U00020000"_s << qint64(8);
    }
    void displayWidth() {
        QFETCH(QString, text);
        QFETCH(qint64, width);
        QCOMPARE(DisplayWidth(text), width);
    }

    void displayWidthDoesNotWrapForLongLines() {
        QCOMPARE(DisplayWidth(QString(40000, u'x')), qint64(160000));
    }

    void headingPadding_data() {
        QTest::addColumn<qint64>("width");
        QTest::addColumn<int>("padding");
        QTest::newRow("0") << qint64(0) << 42;
        QTest::newRow("40") << qint64(40) << 22;
        QTest::newRow("84") << qint64(84) << 0;
        QTest::newRow("85") << qint64(85) << 0;
        QTest::newRow("86") << qint64(86) << 0;
        QTest::newRow("beyond 16 bits") << qint64(65536 + 10) << 0;
        QTest::newRow("beyond 32 bits") << (qint64(1) << 33) << 0;
    }
    void headingPadding() {
        QFETCH(qint64, width);
        QFETCH(int, padding);
        QCOMPARE(::headingPadding(width), padding);
    }

    void sentenceLinesSkipBlanksAndTrimOnlyTheFirst() {
        const QStringList file{u"  Title  "_s, u""_s,   u"  first  "_s, u"   "_s,
                               u"second "_s,   u"\t"_s, u"\u3000"_s,    u""_s};
        QCOMPARE(sentenceLines(file),
                 (QStringList{u"first"_s, u"second "_s, u"\t"_s, u"\u3000"_s}));
        QVERIFY(sentenceLines({}).isEmpty());
        QVERIFY(sentenceLines({u"only a title"_s}).isEmpty());
    }

    void composeStartsParagraphsOnlyAtTwoLeadingSpaces() {
        // Heading "AB" is 8 wide: (85 - 8) / 2 = 38 spaces.
        const QStringList sentences{u"AB"_s, u"  one"_s, u"two"_s, u"  three"_s, u" four"_s};
        const QString expected = QString(38, u' ') + u"AB\r\n  onetwo\r\n  three four"_s;
        QCOMPARE(composeTranscript(sentences), expected);
    }

    void composeContinuesTheHeadingLineWithoutTwoSpaces() {
        QCOMPARE(composeTranscript({QString(22, u'x'), u"next"_s}), QString(22, u'x') + u"next"_s);
    }

    void composeEmptyHeadingGets42Spaces() {
        // The first sentence line is never blank, but a heading made only of
        // characters the width ignores still centres: here a wide one.
        QCOMPARE(composeTranscript({QString(30, u'x')}), QString(30, u'x'));
        QCOMPARE(composeTranscript({u"1"_s}), QString(41, u' ') + u"1"_s);
    }

    void composeOfNoSentencesIsEmpty() { QCOMPARE(composeTranscript({}), QString()); }

    void chooserEntries() {
        const QStringList sentences{u"你好世界朋友"_s, u"  ab"_s, u"x"_s, u"   \U00020000ab"_s,
                                    u"abc\U00020001d"_s};
        QCOMPARE(sentenceChooserEntries(sentences),
                 (QStringList{u"--- Select ---"_s, u"1. 你好世界..."_s, u"2. ab..."_s, u"3. x..."_s,
                              u"4. \U00020000ab..."_s, u"5. abc\U00020001..."_s}));
        QCOMPARE(sentenceChooserEntries({}), QStringList{u"--- Select ---"_s});
    }
};

QTEST_GUILESS_MAIN(TranscriptCompositionTest)
#include "tst_transcript_composition.moc"
