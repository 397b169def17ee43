#include "platform/windows_path.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace vovozodo;

using namespace Qt::StringLiterals;
using platform::WindowsPathResolver;

class WindowsPathTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    // The temporary folder as a Windows-style root, exactly or with every letter upper-cased
    // (so that each component of it must be found without regard to case).
    QString root(bool upper = false) const {
        return (upper ? m_dir.path().toUpper() : m_dir.path()).replace(u'/', u'\\') + u'\\';
    }
    bool touch(const QString &relative) const {
        QFile file(m_dir.filePath(relative));
        return file.open(QIODevice::WriteOnly);
    }

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        QDir dir(m_dir.path());
        QVERIFY(dir.mkpath(u"t_1"_s) && dir.mkpath(u"both"_s) && dir.mkpath(u"folder"_s));
        QVERIFY(dir.mkpath(u"mixed"_s) && dir.mkpath(u"kinds/1.wav"_s) &&
                dir.mkpath(u"kinds/SUB"_s));
        for (const char *name :
             {"t_1/1.wav", "t_1/2.WAV", "both/1.wav", "both/1.WAV", "Äb.TXT", "mixed/a.Txt",
              "mixed/A.txt", "kinds/1.WAV", "kinds/sub", "kinds/SUB/x"})
            QVERIFY(touch(QString::fromUtf8(name)));
        QCOMPARE(::mkfifo(QFile::encodeName(m_dir.filePath(u"fifo"_s)).constData(), 0600), 0);
        QVERIFY(QFile::link(m_dir.filePath(u"missing"_s), m_dir.filePath(u"dangling"_s)));
        QVERIFY(QFile::link(u"/dev/zero"_s, m_dir.filePath(u"zero"_s)));
        QVERIFY(QFile::link(m_dir.filePath(u"t_1/1.wav"_s), m_dir.filePath(u"linked.txt"_s)));
    }

    void resolves_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("found"); // relative to the folder; null: nothing

        QTest::newRow("exact") << u"t_1\\1.wav"_s << u"t_1/1.wav"_s;
        QTest::newRow("upper-cased query") << u"T_1\\1.WAV"_s << u"t_1/1.wav"_s;
        QTest::newRow("upper-cased on disk") << u"t_1\\2.wav"_s << u"t_1/2.WAV"_s;
        QTest::newRow("repeated separators") << u"\\\\t_1\\\\/1.wav"_s << u"t_1/1.wav"_s;
        QTest::newRow("dot and dot-dot") << u"both\\..\\.\\T_1\\1.wav"_s << u"t_1/1.wav"_s;
        QTest::newRow("non-ASCII") << u"äB.txt"_s << u"Äb.TXT"_s;
        QTest::newRow("folder") << u"T_1\\"_s << u"t_1"_s;
        // Names that differ only in case: every spelling finds the same one.
        QTest::newRow("two spellings, lower asked") << u"both\\1.wav"_s << u"both/1.wav"_s;
        QTest::newRow("two spellings, upper asked") << u"both\\1.WAV"_s << u"both/1.wav"_s;
        QTest::newRow("two spellings, mixed asked") << u"BOTH\\1.Wav"_s << u"both/1.wav"_s;
        QTest::newRow("mixed spellings: first in order") << u"mixed\\a.txt"_s << u"mixed/A.txt"_s;
        QTest::newRow("a file beats a folder") << u"kinds\\1.wav"_s << u"kinds/1.WAV"_s;
        QTest::newRow("a folder beats a file") << u"KINDS\\sub\\x"_s << u"kinds/SUB/x"_s;
        QTest::newRow("missing") << u"t_1\\3.wav"_s << QString();
        QTest::newRow("file used as folder") << u"t_1\\1.wav\\x"_s << QString();
        QTest::newRow("file with trailing separator") << u"t_1\\1.WAV\\"_s << QString();
        QTest::newRow("NUL") << u"t_1\\1.wav"_s + QChar(0) + u"x"_s << QString();
        QTest::newRow("dangling link") << u"DANGLING"_s << QString();
    }
    void resolves() {
        QFETCH(QString, path);
        QFETCH(QString, found);
        const auto expected =
            found.isNull() ? std::nullopt : std::optional(m_dir.path() + u'/' + found);
        QCOMPARE(WindowsPathResolver().resolve(root() + path), expected);
        QCOMPARE(WindowsPathResolver().resolve(root(true) + path), expected);
    }

    void tellsRegularFiles_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("exists");
        QTest::addColumn<bool>("regular");
        QTest::newRow("file") << u"T_1\\1.wav"_s << true << true;
        QTest::newRow("link to file") << u"LINKED.TXT"_s << true << true;
        QTest::newRow("folder") << u"Folder"_s << true << false;
        QTest::newRow("fifo") << u"FIFO"_s << true << false;
        QTest::newRow("link to device") << u"ZERO"_s << true << false;
        QTest::newRow("dangling link") << u"dangling"_s << false << false;
    }
    void tellsRegularFiles() {
        QFETCH(QString, name);
        WindowsPathResolver resolver;
        QTEST(resolver.resolve(root(true) + name).has_value(), "exists");
        QTEST(resolver.isRegularFile(root(true) + name), "regular");
        QTEST(platform::isRegularFile(root() + name), "regular");
    }

    void cachesListingsPerResolver() {
        WindowsPathResolver resolver;
        const QString late = root() + u"T_1\\LATE.WAV"_s;
        QVERIFY(!resolver.resolve(late));
        QVERIFY(touch(u"t_1/late.wav"_s));
        // Once a folder has been listed, the resolver answers from that snapshot.
        QVERIFY(!resolver.resolve(late));
        QVERIFY(!resolver.resolve(root() + u"T_1\\late.wav"_s));
        QVERIFY(!resolver.isRegularFile(root() + u"T_1\\late.wav"_s));
        QCOMPARE(WindowsPathResolver().resolve(late), m_dir.filePath(u"t_1/late.wav"_s));
    }

    void aListedFolderAnswersAsAnUnlistedOne() {
        // Once a folder's listing has been read, names come from it: same rule, same answer.
        WindowsPathResolver resolver;
        QVERIFY(!resolver.resolve(root() + u"BOTH\\missing"_s));
        QCOMPARE(resolver.resolve(root() + u"BOTH\\1.WAV"_s), m_dir.filePath(u"both/1.wav"_s));
        QVERIFY(!resolver.resolve(root() + u"KINDS\\missing"_s));
        QCOMPARE(resolver.resolve(root() + u"kinds\\1.wav"_s), m_dir.filePath(u"kinds/1.WAV"_s));
    }

    void relativeAndRootPaths() {
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(m_dir.filePath(u"t_1"_s)));
        const auto relative = WindowsPathResolver().resolve(u"..\\T_1\\1.WAV"_s);
        const auto absolute = WindowsPathResolver().resolve(u"\\"_s);
        QVERIFY(QDir::setCurrent(previous));
        QCOMPARE(relative, m_dir.filePath(u"t_1/1.wav"_s));
        QCOMPARE(absolute, u"/"_s);
        QVERIFY(!WindowsPathResolver().resolve(QString()));
    }

    void namesInTheRootFolderResolve() {
        // The root folder's text is empty ("\\etc"), which a fresh resolver must not take
        // for a folder it has already listed; the second name comes from the listing.
        WindowsPathResolver resolver;
        QCOMPARE(resolver.resolve(u"\\ETC"_s), u"/etc"_s);
        QCOMPARE(resolver.resolve(u"\\Tmp"_s), u"/tmp"_s);
        QVERIFY(!resolver.isRegularFile(u"\\etc"_s));
        QCOMPARE(WindowsPathResolver().resolve(u"/etc"_s), u"/etc"_s);
    }

    void largeFolderCostsOneListing() {
        constexpr int count = 10000;
        QVERIFY(QDir(m_dir.path()).mkdir(u"many"_s));
        for (int i = 1; i <= count; ++i)
            QVERIFY(touch(u"many/%1.WAV"_s.arg(i)));
        QElapsedTimer timer;
        timer.start();
        WindowsPathResolver resolver;
        for (int i = 1; i <= count; ++i)
            QVERIFY(resolver.isRegularFile(root() + u"many\\%1.wav"_s.arg(i)));
        // Reading the folder again for every file takes minutes; one listing, well under
        // this even with sanitizers on a busy machine (bench/speed measures the scan).
        QCOMPARE_LT(timer.elapsed(), 30000);
    }
};

QTEST_GUILESS_MAIN(WindowsPathTest)
#include "tst_platform_windows_path.moc"
