#include "platform/profile_reader.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>

#include <sys/stat.h>

using namespace vovozodo;

using namespace Qt::StringLiterals;

class ProfileReaderTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString diskPath() const { return m_dir.filePath(u"Vidurivu 2004_10.INI"_s); }
    // The way start-up names the file: upper-cased folder, backslashes.
    QByteArray windowsPath() const {
        return QFile::encodeName(m_dir.path().toUpper().replace(u'/', u'\\') +
                                 u"\\Vidurivu 2004_10.INI"_s);
    }
    QByteArray read(const char *defaultValue, std::uint32_t size, std::uint32_t *count) const {
        QByteArray buffer(int(size) + 1, '#');
        *count = platform::GetPrivateProfileStringA("InstallSettings", "InstallPath", defaultValue,
                                                    buffer.data(), size, windowsPath().constData());
        return buffer;
    }

private slots:
    void init() {
        QVERIFY(m_dir.isValid());
        QDir(diskPath()).removeRecursively();
        QFile::remove(diskPath());
    }

    void readsValue_data() {
        QTest::addColumn<QByteArray>("contents"); // null: no file
        QTest::addColumn<uint>("size");
        QTest::addColumn<QByteArray>("value");

        const QByteArray head = "[InstallSettings]\r\n";
        const QByteArray empty = "empty";
        QTest::newRow("no file") << QByteArray() << 180u << empty;
        QTest::newRow("no section") << "[Other]\r\nInstallPath=x\r\n"_ba << 180u << empty;
        QTest::newRow("no key") << head + "Install=x\r\n" << 180u << empty;
        QTest::newRow("empty value") << head + "InstallPath=\r\n" << 180u << QByteArray("");
        QTest::newRow("case and blanks")
            << " \t[ installSETTINGS ] \r\n\tinstallpath \t=  D:\\L 1 \t"_ba << 180u
            << "D:\\L 1"_ba;
        QTest::newRow("backslash and comma end")
            << head + "InstallPath=D:\\a,b\\" << 180u << "D:\\a,b\\"_ba;
        QTest::newRow("double quotes")
            << head + "InstallPath= \" D:\\x \" " << 180u << " D:\\x "_ba;
        QTest::newRow("single quotes") << head + "InstallPath='x'" << 180u << "x"_ba;
        QTest::newRow("unmatched quotes") << head + "InstallPath=\"x'" << 180u << "\"x'"_ba;
        QTest::newRow("lone quote") << head + "InstallPath=\"" << 180u << "\""_ba;
        QTest::newRow("179 whole")
            << head + "InstallPath=" + QByteArray(179, 'v') << 180u << QByteArray(179, 'v');
        QTest::newRow("180 cut") << head + "InstallPath=" + QByteArray(180, 'v') << 180u
                                 << QByteArray(179, 'v');
        QTest::newRow("size 1") << head + "InstallPath=x" << 1u << QByteArray("");
        QTest::newRow("default cut") << QByteArray() << 3u << "em"_ba;
        QTest::newRow("comments") << ";[InstallSettings]\r\n" + head +
                                         "; InstallPath=no\r\n;x\r\nInstallPath=yes"
                                  << 180u << "yes"_ba;
        QTest::newRow("LF ends") << "[InstallSettings]\nA=1\nInstallPath=lf\n"_ba << 180u
                                 << "lf"_ba;
        QTest::newRow("CR ends") << "[InstallSettings]\rA=1\rInstallPath=cr\r"_ba << 180u
                                 << "cr"_ba;
        QTest::newRow("first key wins")
            << head + "InstallPath=one\r\nInstallPath=two" << 180u << "one"_ba;
        QTest::newRow("first section wins")
            << head + "A=1\r\n[Other]\r\n" + head + "InstallPath=second\r\n"
            << 180u << empty;
        QTest::newRow("key before sections") << "InstallPath=x\r\n" + head << 180u << empty;
        QTest::newRow("header without bracket")
            << "[InstallSettings\r\nInstallPath=x\r\n"_ba << 180u << empty;
        QTest::newRow("NUL ends line")
            << head + QByteArray("InstallPath=ab\0cd\r\n", 19) << 180u << "ab"_ba;
        QByteArray binary;
        for (int i = 0; i < 4096; ++i)
            binary += char(i * 7 % 256);
        QTest::newRow("binary") << binary << 180u << empty;
        QTest::newRow("binary then profile")
            << binary + "\r\n" + head + "InstallPath=ok" << 180u << "ok"_ba;
    }
    void readsValue() {
        QFETCH(QByteArray, contents);
        QFETCH(uint, size);
        QFETCH(QByteArray, value);
        if (!contents.isNull()) {
            QFile file(diskPath());
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size());
        }
        std::uint32_t count = 0;
        const QByteArray buffer = read("empty", size, &count);
        QCOMPARE(count, uint(value.size()));
        QCOMPARE(buffer.left(value.size() + 1), value + '\0');
        QCOMPARE(buffer.mid(int(size)), "#"_ba); // never past the buffer
    }

    void defaultLosesTrailingBlanks() {
        std::uint32_t count = 0;
        QCOMPARE(read("a b \t ", 180, &count).left(4), "a b\0"_ba);
        QCOMPARE(count, 3u);
        QCOMPARE(read(nullptr, 180, &count).left(1), "\0"_ba);
        QCOMPARE(count, 0u);
    }

    void noRoomWritesNothing() {
        std::uint32_t count = 1;
        QCOMPARE(read("empty", 0, &count), "#"_ba);
        QCOMPARE(count, 0u);
        QCOMPARE(platform::GetPrivateProfileStringA("s", "k", "d", nullptr, 10, "x"), 0u);
    }

    void onlyRegularFilesAreRead_data() {
        QTest::addColumn<QString>("kind");
        for (const char *kind : {"folder", "fifo", "device link", "over 16 MiB"})
            QTest::newRow(kind) << QString::fromLatin1(kind);
    }
    void onlyRegularFilesAreRead() {
        QFETCH(QString, kind);
        const QByteArray path = QFile::encodeName(diskPath());
        if (kind == u"folder")
            QVERIFY(QDir().mkdir(diskPath()));
        else if (kind == u"fifo")
            QCOMPARE(::mkfifo(path.constData(), 0600), 0);
        else if (kind == u"device link")
            QVERIFY(QFile::link(u"/dev/zero"_s, diskPath()));
        else {
            QFile file(diskPath());
            QVERIFY(file.open(QIODevice::WriteOnly));
            QVERIFY(file.write("[InstallSettings]\r\nInstallPath=x\r\n") > 0);
            QVERIFY(file.resize(16 * 1024 * 1024 + 1));
        }
        std::uint32_t count = 0;
        QCOMPARE(read("empty", 180, &count).left(6), "empty\0"_ba);
        QCOMPARE(count, 5u);
    }
};

QTEST_GUILESS_MAIN(ProfileReaderTest)
#include "tst_platform_profile_reader.moc"
