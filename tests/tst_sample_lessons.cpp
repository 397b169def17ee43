// The bundled sample issue and pictures: the transcripts must be what the program
// reads on a Chinese Windows system (GBK, CR LF) and must make sense once loaded.

#include <algorithm>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QStringDecoder>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QString lessonsDir() {
    return QStringLiteral(SAMPLE_LESSONS_DIR);
}

QByteArray readTranscript(int lesson) {
    QFile file(lessonsDir() + u"/t_%1/script.txt"_s.arg(lesson));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

// Byte offset of the first malformed or non-GBK sequence, or -1. GB18030 also has
// four-byte sequences (second byte a digit) that plain GBK lacks; those count as errors.
qsizetype firstNonGbkByte(const QByteArray &bytes) {
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        if (lead < 0x80)
            continue;
        if (lead == 0x80 || lead == 0xFF || i + 1 >= bytes.size())
            return i;
        const auto trail = static_cast<unsigned char>(bytes[i + 1]);
        if (trail < 0x40 || trail == 0x7F || trail == 0xFF)
            return i;
        ++i;
    }
    return -1;
}

bool isBlank(const QString &line) {
    return std::all_of(line.begin(), line.end(), [](QChar c) { return c == u' '; });
}

QString trimSpaces(QString s) {
    while (s.startsWith(u' '))
        s.remove(0, 1);
    while (s.endsWith(u' '))
        s.chop(1);
    return s;
}

struct Transcript {
    QString title;
    QStringList sentences; // as stored in the file, leading spaces kept
    int blankLines = 0;
};

Transcript parse(const QString &text) {
    QStringList lines = text.split(u"\r\n"_s);
    if (lines.size() > 1 && lines.last().isEmpty())
        lines.removeLast(); // the line end of the last line, not an extra line
    Transcript t;
    t.title = lines.value(0);
    for (qsizetype i = 1; i < lines.size(); ++i) {
        if (isBlank(lines[i]))
            ++t.blankLines;
        else
            t.sentences << lines[i];
    }
    return t;
}

Transcript parseLesson(int lesson) {
    QStringDecoder gbk("GB18030");
    return parse(gbk.decode(readTranscript(lesson)));
}

} // namespace

class TestSampleLessons : public QObject {
    Q_OBJECT

private slots:
    void theIssueHoldsExactlyFifteenLessons() {
        const QDir dir(lessonsDir());
        QVERIFY2(dir.exists(), qPrintable(dir.path()));
        QStringList folders = dir.entryList({u"t_*"_s}, QDir::Dirs | QDir::NoDotAndDotDot);
        QStringList expected;
        for (int n = 1; n <= 15; ++n)
            expected << u"t_%1"_s.arg(n);
        folders.sort();
        expected.sort();
        QCOMPARE(folders, expected);
    }

    void eachLesson_data() {
        QTest::addColumn<int>("lesson");
        for (int n = 1; n <= 15; ++n)
            QTest::addRow("t_%d", n) << n;
    }

    void eachLesson() {
        QFETCH(int, lesson);
        const QByteArray bytes = readTranscript(lesson);
        QVERIFY2(!bytes.isEmpty(), "script.txt is missing or empty");

        // GBK, strictly: no malformed bytes, no four-byte GB18030 forms, and not
        // UTF-8 by mistake (Chinese text in UTF-8 never decodes cleanly as GBK
        // pairs and GBK pairs never decode cleanly as UTF-8).
        QCOMPARE(firstNonGbkByte(bytes), qsizetype(-1));
        QStringDecoder gbk("GB18030");
        QVERIFY(gbk.isValid());
        const QString text = gbk.decode(bytes);
        QVERIFY(!gbk.hasError());
        QVERIFY(!text.contains(QChar::ReplacementCharacter));
        QVERIFY2(std::any_of(bytes.begin(), bytes.end(), [](char c) { return c & 0x80; }),
                 "no Chinese text at all");
        QStringDecoder utf8(QStringDecoder::Utf8);
        const QString asUtf8 = utf8.decode(bytes); // decode() is lazy: convert to run it
        Q_UNUSED(asUtf8);
        QVERIFY2(utf8.hasError(), "the file is UTF-8, not GBK");

        // CR LF only: no bare CR, no bare LF, no NUL.
        for (qsizetype i = 0; i < bytes.size(); ++i) {
            QVERIFY2(bytes[i] != '\0', "NUL byte");
            if (bytes[i] == '\n')
                QVERIFY2(i > 0 && bytes[i - 1] == '\r', qPrintable(u"bare LF at byte %1"_s.arg(i)));
            if (bytes[i] == '\r')
                QVERIFY2(i + 1 < bytes.size() && bytes[i + 1] == '\n',
                         qPrintable(u"bare CR at byte %1"_s.arg(i)));
        }

        const Transcript t = parse(text);
        QVERIFY2(!trimSpaces(t.title).isEmpty(), "the title is blank");
        QVERIFY2(t.sentences.size() >= 3 && t.sentences.size() <= 8,
                 qPrintable(u"%1 sentence lines"_s.arg(t.sentences.size())));

        for (const QString &line : t.sentences) {
            // A tab or an ideographic space would make a line look blank yet count
            // as a sentence; control characters would be spoken or shown as boxes.
            for (QChar c : line)
                QVERIFY2(c.isPrint() && c != u'\u3000', qPrintable(line));
        }

        // The first sentence is the centred heading; the second must open a new
        // paragraph or it would be glued to the end of the heading's line.
        if (t.sentences.size() >= 2)
            QVERIFY2(t.sentences[1].startsWith(u"  "_s), qPrintable(t.sentences[1]));

        // The highlight finds a sentence by searching the transcript for it, so no
        // sentence may occur earlier in the text than at its own place.
        QString joined;
        QList<qsizetype> starts;
        for (const QString &line : t.sentences) {
            starts << joined.size();
            joined += trimSpaces(line);
        }
        for (qsizetype k = 0; k < t.sentences.size(); ++k)
            QCOMPARE(joined.indexOf(trimSpaces(t.sentences[k])), starts[k]);
    }

    // Taken together the lessons show each way a transcript can be laid out, so
    // running the program on them exercises all of it.
    void theIssueCoversTheTranscriptLayouts() {
        bool paddedTitle = false, blankLine = false, runOn = false, noFinalLineEnd = false;
        for (int n = 1; n <= 15; ++n) {
            const QByteArray bytes = readTranscript(n);
            const Transcript t = parseLesson(n);
            paddedTitle |= t.title != trimSpaces(t.title);
            blankLine |= t.blankLines > 0;
            for (qsizetype k = 1; k < t.sentences.size(); ++k)
                runOn |= !t.sentences[k].startsWith(u"  "_s);
            noFinalLineEnd |= !bytes.endsWith("\r\n");
        }
        QVERIFY2(paddedTitle, "no title with spaces around it");
        QVERIFY2(blankLine, "no blank line after a title");
        QVERIFY2(runOn, "no paragraph holding several sentences");
        QVERIFY2(noFinalLineEnd, "every file ends with a line end");
    }

    void parsingFollowsTheTranscriptRules() {
        // A check on the checker: a spaces-only line is blank, a tab-only line is
        // not, and a missing final line end loses nothing.
        const Transcript t = parse(u" Title \r\n\r\none\r\n   \r\n  two\r\n\t\r\nthree"_s);
        QCOMPARE(t.title, u" Title "_s);
        QCOMPARE(t.sentences, (QStringList{u"one"_s, u"  two"_s, u"\t"_s, u"three"_s}));
        QCOMPARE(t.blankLines, 2);
        QCOMPARE(parse(u"T\r\na\r\n"_s).sentences, QStringList{u"a"_s});
        QCOMPARE(firstNonGbkByte(QByteArray("\x81\x30\x81\x30", 4)), qsizetype(0));
        QCOMPARE(firstNonGbkByte(QByteArray("ab\xC4", 3)), qsizetype(2));
        QCOMPARE(firstNonGbkByte(QByteArray("\xC4\xE3", 2)), qsizetype(-1));
    }

    void bundledPictures() {
        const QImage icon(u":/icon.png"_s);
        QVERIFY2(!icon.isNull(), "the icon is not compiled in");
        QCOMPARE(icon.size(), QSize(32, 32));
        QCOMPARE(icon.format(), QImage::Format_Indexed8);
        QVERIFY(icon.colorCount() <= 256);

        const QImage large(u":/icon-256.png"_s);
        QCOMPARE(large.size(), QSize(256, 256));

        const QImage banner(u":/banner.png"_s);
        QVERIFY2(!banner.isNull(), "the banner is not compiled in");
        QCOMPARE(banner.size(), QSize(120, 60));
        // Mostly red, with lettering on it.
        int red = 0, other = 0;
        for (int y = 0; y < banner.height(); ++y) {
            for (int x = 0; x < banner.width(); ++x) {
                const QColor c = banner.pixelColor(x, y);
                if (c.red() > 150 && c.green() < 80 && c.blue() < 80)
                    ++red;
                else
                    ++other;
            }
        }
        QVERIFY2(red > banner.width() * banner.height() * 6 / 10, qPrintable(QString::number(red)));
        QVERIFY(other > 200);
    }
};

QTEST_GUILESS_MAIN(TestSampleLessons)
#include "tst_sample_lessons.moc"
