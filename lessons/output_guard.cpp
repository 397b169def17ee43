#include "lessons/output_guard.h"

#include "lessons/input_error.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageWriter>

#include <sys/stat.h>

namespace vovozodo {

using namespace Qt::StringLiterals;

namespace {

bool sameFile(const QString &a, const QString &b) {
    struct stat first {};
    struct stat second {};
    return ::stat(QFile::encodeName(a).constData(), &first) == 0 &&
           ::stat(QFile::encodeName(b).constData(), &second) == 0 &&
           first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

} // namespace

void refuseUnsafeOutput(const QString &output, const QString &option, const QStringList &inputs,
                        const QString &library, int lesson) {
    const QString what = option + u' ' + output + u": "_s;
    const QFileInfo info(output);
    for (const QString &input : inputs)
        if (!input.isEmpty() && sameFile(output, input))
            throw InputError(what + u"is the same file as "_s + input + u"; name another file"_s);
    if (info.isDir())
        throw InputError(what + u"is a folder"_s);
    // Where the output would really land: its folder with every link resolved.
    const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
    if (folder.isEmpty())
        throw InputError(what + u"its folder does not exist"_s);
    const QString root = QFileInfo(library).canonicalFilePath();
    if (root.isEmpty() || (folder != root && !folder.startsWith(root + u'/')))
        return;
    const QString inside = folder.mid(root.size() + 1).section(u'/', 0, 0);
    const QString name = u"t_"_s + QString::number(lesson);
    if (inside.compare(name, Qt::CaseInsensitive) == 0 || inside.startsWith(u".t_"_s))
        throw InputError(what + u"lies inside the lesson being made; name a file outside "_s +
                         root + u'/' + name);
}

QByteArray previewFormat(const QString &path) {
    QByteArray suffix = QFileInfo(path).suffix().toLower().toLatin1();
    if (suffix.isEmpty() || !QImageWriter::supportedImageFormats().contains(suffix))
        throw InputError(u"--preview "_s + path +
                         u": its ending names no picture format that can be written "_s +
                         u"(use .png or .jpg)"_s);
    return suffix;
}

} // namespace vovozodo
