#include "lessons/subtitle_reader.h"

#include "lessons/input_error.h"
#include "lessons/lesson_text.h"
#include "lessons/subtitle_text.h"

#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <optional>

namespace vovozodo {

using namespace Qt::StringLiterals;

namespace {

enum class Format { Srt, WebVtt, Lrc, Ass, AudacityLabels };

class Reader {
public:
    Reader(const QString &text, const QString &fileName)
        : m_lines(splitTextLines(text)), m_fileName(fileName) {
        if (!m_lines.isEmpty() && m_lines.first().startsWith(u'\uFEFF'))
            m_lines.first().remove(0, 1);
    }

    Subtitles read();

private:
    [[noreturn]] void fail(int line, const QString &reason) const {
        throw InputError(m_fileName + u':' + QString::number(line) + u": "_s + reason);
    }
    Format detectFormat() const;
    void readSrtOrVtt(bool vtt);
    void readAss();
    void readLrc();
    void readLabels();
    void add(qint64 start, qint64 end, const QString &text, int line) {
        m_cues.append(Cue{start, end, text, line});
    }
    void tidy();

    QStringList m_lines;
    QString m_fileName;
    QList<Cue> m_cues;
    QStringList m_notes;
};

Format Reader::detectFormat() const {
    static const QRegularExpression lrcLine(u"^\\s*\\[\\d+:\\d{1,2}(?:[.:]\\d+)?\\]"_s);
    static const QRegularExpression labelLine(
        u"^\\s*-?\\d+(?:\\.\\d+)?\\t-?\\d+(?:\\.\\d+)?(?:\\t|$)"_s);
    if (!m_lines.isEmpty() && m_lines.first().trimmed().startsWith(u"WEBVTT"_s))
        return Format::WebVtt;
    for (const QString &line : m_lines) {
        const QString trimmed = line.trimmed();
        if (trimmed.isEmpty())
            continue;
        if (trimmed.startsWith(u"[Script Info]"_s, Qt::CaseInsensitive) ||
            trimmed.startsWith(u"[Events]"_s, Qt::CaseInsensitive) ||
            trimmed.startsWith(u"Dialogue:"_s, Qt::CaseInsensitive))
            return Format::Ass;
        if (trimmed.contains(u"-->"_s))
            return Format::Srt;
        if (lrcLine.match(line).hasMatch())
            return Format::Lrc;
        if (labelLine.match(line).hasMatch())
            return Format::AudacityLabels;
    }
    return Format::Srt;
}

// SRT and WebVTT share their shape: blocks apart by blank lines, an optional
// identifier, a "start --> end" line, then the text.
void Reader::readSrtOrVtt(bool vtt) {
    qsizetype i = vtt ? 1 : 0;
    if (vtt) // the header block may go on over several lines
        while (i < m_lines.size() && !m_lines[i].trimmed().isEmpty())
            ++i;
    while (i < m_lines.size()) {
        if (m_lines[i].trimmed().isEmpty()) {
            ++i;
            continue;
        }
        const int blockLine = int(i) + 1;
        qsizetype end = i;
        while (end < m_lines.size() && !m_lines[end].trimmed().isEmpty())
            ++end;
        const QString first = m_lines[i].trimmed();
        if (vtt && (first.startsWith(u"NOTE"_s) || first.startsWith(u"STYLE"_s) ||
                    first.startsWith(u"REGION"_s))) {
            i = end;
            continue;
        }
        qsizetype timing = i;
        if (!m_lines[timing].contains(u"-->"_s))
            ++timing; // an identifier (SRT's cue number) stands first
        if (timing >= end || !m_lines[timing].contains(u"-->"_s))
            fail(blockLine,
                 u"expected a cue time \"start --> end\", found \""_s + first.left(40) + u'"');
        const QString timingLine = m_lines[timing];
        const qsizetype arrow = timingLine.indexOf(u"-->"_s);
        // WebVTT cue settings ("align:start") follow the end time after a blank.
        QStringView endText = QStringView(timingLine).sliced(arrow + 3).trimmed();
        if (const qsizetype blank = endText.indexOf(u' '); blank >= 0)
            endText = endText.first(blank);
        const qint64 start = clockTime(QStringView(timingLine).first(arrow));
        const qint64 stop = clockTime(endText);
        if (start < 0 || stop < 0)
            fail(int(timing) + 1, u"malformed cue time \""_s + timingLine.trimmed() + u'"');
        if (stop < start)
            fail(int(timing) + 1, u"cue ends before it starts"_s);
        QStringList text;
        for (qsizetype k = timing + 1; k < end; ++k)
            text.append(withoutHtmlMarkup(m_lines[k]));
        add(start, stop, joinCueLines(text), blockLine);
        i = end;
    }
}

void Reader::readAss() {
    // Field positions come from the [Events] Format line; this is the usual one.
    QStringList format = {u"layer"_s,   u"start"_s,   u"end"_s,     u"style"_s,  u"name"_s,
                          u"marginl"_s, u"marginr"_s, u"marginv"_s, u"effect"_s, u"text"_s};
    bool inEvents = false;
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        const QString line = m_lines[i].trimmed();
        if (line.startsWith(u'[')) {
            inEvents = line.compare(u"[Events]"_s, Qt::CaseInsensitive) == 0;
            continue;
        }
        if (!inEvents && !line.startsWith(u"Dialogue:"_s, Qt::CaseInsensitive))
            continue;
        const qsizetype colon = line.indexOf(u':');
        if (colon < 0)
            continue;
        const QString kind = line.left(colon).trimmed().toLower();
        const QString rest = line.sliced(colon + 1);
        if (kind == u"format"_s) {
            format.clear();
            for (const QString &field : rest.split(u','))
                format.append(field.trimmed().toLower());
            continue;
        }
        if (kind != u"dialogue"_s)
            continue;
        const qsizetype textField = format.indexOf(u"text"_s);
        const qsizetype startField = format.indexOf(u"start"_s);
        const qsizetype endField = format.indexOf(u"end"_s);
        if (textField < 0 || startField < 0 || endField < 0)
            fail(int(i) + 1, u"the Format line names no Start, End or Text field"_s);
        // Only the last field may hold commas.
        QStringList fields = rest.split(u',');
        if (fields.size() < format.size())
            fail(int(i) + 1, u"dialogue line with too few fields"_s);
        const QString text = fields.mid(format.size() - 1).join(u',');
        fields = fields.mid(0, format.size() - 1);
        fields.append(text);
        const qint64 start = clockTime(fields[startField]);
        const qint64 stop = clockTime(fields[endField]);
        if (start < 0 || stop < 0)
            fail(int(i) + 1, u"malformed time in a dialogue line"_s);
        if (stop < start)
            fail(int(i) + 1, u"cue ends before it starts"_s);
        QString clean = fields[textField];
        static const QRegularExpression overrides(u"\\{[^}]*\\}"_s);
        clean.remove(overrides);
        clean.replace(u"\\N"_s, u"\n"_s).replace(u"\\n"_s, u"\n"_s).replace(u"\\h"_s, u" "_s);
        add(start, stop, joinCueLines(clean.split(u'\n')), int(i) + 1);
    }
}

void Reader::readLrc() {
    static const QRegularExpression timeTag(u"^\\[(\\d{1,5}):(\\d{1,2})(?:[.:](\\d{1,3}))?\\]"_s);
    static const QRegularExpression metaTag(u"^\\[([A-Za-z#]+):([^\\]]*)\\]\\s*$"_s);
    static const QRegularExpression wordTimes(u"<\\d+:\\d{1,2}(?:[.:]\\d{1,3})?>"_s);
    qint64 offset = 0;
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        QString line = m_lines[i].trimmed();
        if (line.isEmpty())
            continue;
        if (const QRegularExpressionMatch meta = metaTag.match(line); meta.hasMatch()) {
            // A positive offset makes every line appear sooner.
            // (within a day: anything more is a broken tag, not an offset)
            if (meta.captured(1).compare(u"offset"_s, Qt::CaseInsensitive) == 0)
                offset = std::clamp<qint64>(meta.captured(2).trimmed().toLongLong(), -86400000,
                                            86400000);
            continue;
        }
        QList<qint64> times;
        for (QRegularExpressionMatch tag = timeTag.match(line); tag.hasMatch();
             tag = timeTag.match(line)) {
            QString fraction = tag.captured(3);
            while (fraction.size() < 3)
                fraction.append(u'0');
            if (tag.captured(2).toInt() >= 60)
                fail(int(i) + 1, u"malformed time tag \""_s + tag.captured(0) + u'"');
            times.append((tag.captured(1).toLongLong() * 60 + tag.captured(2).toLongLong()) * 1000 +
                         fraction.toLongLong());
            line = line.sliced(tag.capturedLength(0)).trimmed();
        }
        if (times.isEmpty())
            fail(int(i) + 1, u"expected a time tag such as [01:02.50]"_s);
        const QString text = joinCueLines({line.remove(wordTimes)});
        for (const qint64 time : times)
            add(std::max<qint64>(0, time - offset), -1, text, int(i) + 1);
    }
    // A line lasts until the next one starts; an empty line only ends the one before.
    std::stable_sort(m_cues.begin(), m_cues.end(),
                     [](const Cue &a, const Cue &b) { return a.startMs < b.startMs; });
    for (qsizetype k = 0; k + 1 < m_cues.size(); ++k)
        m_cues[k].endMs = m_cues[k + 1].startMs;
}

void Reader::readLabels() {
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        const QString &line = m_lines[i];
        // Spectral selections add a line of frequencies that starts with a tab.
        if (line.trimmed().isEmpty() || line.startsWith(u'\t') || line.startsWith(u'\\'))
            continue;
        const QStringList fields = line.split(u'\t');
        bool startOk = false;
        bool endOk = false;
        const double start = fields.value(0).trimmed().toDouble(&startOk);
        const double stop = fields.value(1).trimmed().toDouble(&endOk);
        if (fields.size() < 2 || !startOk || !endOk || !std::isfinite(start) ||
            !std::isfinite(stop) || start < 0 || stop > 3.6e6)
            fail(int(i) + 1, u"expected \"start<TAB>end<TAB>text\" in seconds"_s);
        if (stop < start)
            fail(int(i) + 1, u"label ends before it starts"_s);
        add(std::llround(start * 1000), std::llround(stop * 1000),
            joinCueLines({fields.mid(2).join(u' ')}), int(i) + 1);
    }
}

void Reader::tidy() {
    const qsizetype before = m_cues.size();
    QList<int> emptyLines;
    for (const Cue &cue : std::as_const(m_cues))
        if (cue.text.isEmpty())
            emptyLines.append(cue.line);
    m_cues.removeIf([](const Cue &cue) { return cue.text.isEmpty(); });
    if (!emptyLines.isEmpty()) {
        QStringList lines;
        for (const int line : emptyLines)
            lines.append(QString::number(line));
        m_notes.append(m_fileName + u": "_s + QString::number(emptyLines.size()) +
                       u" cue(s) without text left out (line "_s + lines.join(u", "_s) + u')');
    }
    if (!std::is_sorted(m_cues.cbegin(), m_cues.cend(),
                        [](const Cue &a, const Cue &b) { return a.startMs < b.startMs; })) {
        std::stable_sort(m_cues.begin(), m_cues.end(),
                         [](const Cue &a, const Cue &b) { return a.startMs < b.startMs; });
        m_notes.append(m_fileName + u": cues out of order, taken in order of time"_s);
    }
    for (qsizetype k = 0; k + 1 < m_cues.size(); ++k) {
        const Cue &cue = m_cues[k];
        const Cue &next = m_cues[k + 1];
        if (cue.endMs > next.startMs)
            m_notes.append(m_fileName + u':' + QString::number(cue.line) +
                           u": cue overlaps the next by "_s +
                           QString::number(cue.endMs - next.startMs) +
                           u" ms; cut in the pause nearest to both"_s);
    }
    if (m_cues.isEmpty())
        throw InputError(m_fileName +
                         (before == 0 ? u": no cues found"_s : u": no cue holds any text"_s));
}

Subtitles Reader::read() {
    switch (detectFormat()) {
    case Format::WebVtt:
        readSrtOrVtt(true);
        break;
    case Format::Srt:
        readSrtOrVtt(false);
        break;
    case Format::Ass:
        readAss();
        break;
    case Format::Lrc:
        readLrc();
        break;
    case Format::AudacityLabels:
        readLabels();
        break;
    }
    tidy();
    return {m_cues, m_notes};
}

} // namespace

Subtitles readSubtitles(const QString &text, const QString &fileName) {
    return Reader(text, fileName).read();
}

} // namespace vovozodo
