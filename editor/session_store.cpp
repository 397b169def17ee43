#include "editor/session_store.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QStandardPaths>

namespace vovozodo {

using namespace Qt::StringLiterals;

namespace {

constexpr qint64 kMostSessionBytes = 16 * 1024 * 1024;

QString stateFolder() {
    QString base = qEnvironmentVariable("XDG_STATE_HOME");
    if (base.isEmpty() || QDir::isRelativePath(base))
        base = QDir::homePath() + u"/.local/state"_s;
    return base + u"/vovozodo/editor"_s;
}

} // namespace

QString sessionFile(const QString &recording) {
    const QByteArray key = QFileInfo(recording).absoluteFilePath().toUtf8();
    return stateFolder() + u'/' +
           QString::fromLatin1(QCryptographicHash::hash(key, QCryptographicHash::Sha1).toHex()) +
           u".json"_s;
}

bool storeSession(const Session &session) {
    QJsonArray sentences;
    for (qsizetype i = 0; i < session.draft.sentences.size(); ++i) {
        const SentenceSpan &span = session.draft.spans[std::size_t(i)];
        QJsonObject sentence{{u"text"_s, session.draft.sentences[i]},
                             {u"speech"_s, QJsonArray{span.speechStart, span.speechEnd}},
                             {u"limits"_s, QJsonArray{span.limitBefore, span.limitAfter}}};
        if (i < session.draft.cutCount())
            sentence.insert(u"handPlacedEnd"_s, bool(session.draft.handPlaced[std::size_t(i)]));
        QJsonArray misfits;
        for (const MisfitMark &mark : session.draft.misfits)
            if (mark.sentence == i)
                misfits.append(QJsonObject{{u"at"_s, mark.at}, {u"text"_s, mark.description}});
        if (!misfits.isEmpty())
            sentence.insert(u"misfits"_s, misfits);
        sentences.append(sentence);
    }
    const QJsonObject root{{u"recording"_s, QFileInfo(session.recording).absoluteFilePath()},
                           {u"text"_s, QFileInfo(session.text).absoluteFilePath()},
                           {u"totalSamples"_s, session.totalSamples},
                           {u"sentences"_s, sentences}};
    if (!QDir().mkpath(stateFolder()))
        return false;
    QSaveFile file(sessionFile(session.recording));
    return file.open(QIODevice::WriteOnly) &&
           file.write(QJsonDocument(root).toJson(QJsonDocument::Compact)) >= 0 && file.commit();
}

std::optional<Session> loadSession(const QString &recording, qint64 totalSamples) {
    QFile file(sessionFile(recording));
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMostSessionBytes)
        return std::nullopt;
    const QJsonObject root = QJsonDocument::fromJson(file.readAll()).object();
    Session session;
    session.recording = root.value(u"recording"_s).toString();
    session.text = root.value(u"text"_s).toString();
    session.totalSamples = root.value(u"totalSamples"_s).toInteger();
    if (session.totalSamples != totalSamples ||
        session.recording != QFileInfo(recording).absoluteFilePath())
        return std::nullopt;
    const QJsonArray sentences = root.value(u"sentences"_s).toArray();
    qint64 previousEnd = 0;
    for (const auto &value : sentences) {
        const QJsonObject sentence = value.toObject();
        const QJsonArray speech = sentence.value(u"speech"_s).toArray();
        const QJsonArray limits = sentence.value(u"limits"_s).toArray();
        SentenceSpan span;
        span.speechStart = speech.at(0).toInteger();
        span.speechEnd = speech.at(1).toInteger();
        span.limitBefore = limits.at(0).toInteger();
        span.limitAfter = limits.at(1).toInteger();
        // A file damaged or written by hand is no draft to cut by.
        if (span.limitBefore < previousEnd || span.limitAfter <= span.limitBefore ||
            span.limitAfter > totalSamples || span.speechStart < span.limitBefore ||
            span.speechEnd > span.limitAfter || span.speechStart > span.speechEnd)
            return std::nullopt;
        previousEnd = span.limitAfter;
        for (const auto &misfit : sentence.value(u"misfits"_s).toArray())
            session.draft.misfits.push_back({session.draft.sentences.size(),
                                             misfit[u"at"_s].toInteger(),
                                             misfit[u"text"_s].toString()});
        session.draft.sentences.append(sentence.value(u"text"_s).toString());
        session.draft.spans.push_back(span);
    }
    if (session.draft.sentences.isEmpty())
        return std::nullopt;
    for (qsizetype i = 0; i < session.draft.cutCount(); ++i)
        session.draft.handPlaced.push_back(
            sentences.at(i).toObject().value(u"handPlacedEnd"_s).toBool());
    return session;
}

void forgetSession(const QString &recording) {
    QFile::remove(sessionFile(recording));
}

} // namespace vovozodo
