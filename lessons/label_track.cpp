#include "lessons/label_track.h"

#include "lessons/input_error.h"

#include <QSaveFile>

namespace vovozodo {

using namespace Qt::StringLiterals;

void writeLabelTrack(const QString &path, const std::vector<Clip> &clips,
                     const QStringList &sentences, int sampleRate) {
    QString text;
    for (std::size_t k = 0; k < clips.size(); ++k) {
        // Tabs and line ends would break the track's lines.
        QString label = sentences.value(qsizetype(k));
        label.replace(u'\t', u' ').replace(u'\r', u' ').replace(u'\n', u' ');
        text += u"%1\t%2\t%3\n"_s.arg(double(clips[k].start) / sampleRate, 0, 'f', 6)
                    .arg(double(clips[k].end) / sampleRate, 0, 'f', 6)
                    .arg(label);
    }
    QSaveFile file(path);
    const QByteArray bytes = text.toUtf8();
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw InputError(path + u": cannot write: "_s + file.errorString());
}

} // namespace vovozodo
