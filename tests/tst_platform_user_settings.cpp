// The user's own settings file answers the settings lookup in place of the
// system file when it holds the key, and otherwise leaves it to the system file.
#include "platform/profile_reader.h"
#include "support/unprivileged.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace vovozodo;

using namespace Qt::StringLiterals;

namespace {

const QByteArray kHead = "[InstallSettings]\r\n";

bool writeFile(const QString &path, const QByteArray &bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

class UserSettingsTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_system; // stands in for the Windows directory
    QTemporaryDir m_home;   // the user's home, with .config below it

    QString userFile() const { return m_home.filePath(u".config/vovozodo/Vidurivu 2004_10.INI"_s); }
    // The lookup as start-up makes it: the system file, named Windows-style.
    std::pair<QByteArray, std::uint32_t> lookUp() const {
        const QByteArray systemFile = QFile::encodeName(
            m_system.path().toUpper().replace(u'/', u'\\') + u"\\Vidurivu 2004_10.INI"_s);
        char value[180];
        const std::uint32_t count = platform::GetPrivateProfileStringA(
            "InstallSettings", "InstallPath", "empty", value, sizeof value, systemFile.constData());
        return {QByteArray(value), count};
    }

private slots:
    void init() {
        QVERIFY(m_system.isValid() && m_home.isValid());
        QVERIFY(writeFile(m_system.filePath(u"Vidurivu 2004_10.INI"_s),
                          kHead + "InstallPath=/system/lessons\r\n"));
        QVERIFY(QDir(m_home.path()).removeRecursively() && QDir().mkpath(m_home.path()));
        QVERIFY(QDir().mkpath(QFileInfo(userFile()).path()));
        qputenv("HOME", QFile::encodeName(m_home.path()));
        qunsetenv("XDG_CONFIG_HOME");
    }

    void theUserFileAnswersWhenItHoldsTheKey_data() {
        QTest::addColumn<QByteArray>("user"); // null: the file is made below by kind
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QByteArray>("value");
        const QByteArray system = "/system/lessons";
        QTest::newRow("holds the key")
            << kHead + "InstallPath=/home/me/lessons" << QString() << "/home/me/lessons"_ba;
        QTest::newRow("holds it empty") << kHead + "InstallPath=" << QString() << ""_ba;
        QTest::newRow("value over 179 characters")
            << kHead + "InstallPath=" + QByteArray(200, 'v') << QString() << QByteArray(179, 'v');
        QTest::newRow("missing") << QByteArray() << QString() << system;
        QTest::newRow("without the key")
            << kHead + "Other=x\r\n[Elsewhere]\r\nInstallPath=/no" << QString() << system;
        QByteArray garbage;
        for (int i = 0; i < 4096; ++i)
            garbage += char(i * 13 % 256);
        QTest::newRow("binary garbage") << garbage << QString() << system;
        QTest::newRow("a folder") << QByteArray() << u"folder"_s << system;
        QTest::newRow("a symlink loop") << QByteArray() << u"loop"_s << system;
        QTest::newRow("unreadable")
            << kHead + "InstallPath=/home/me/lessons" << u"unreadable"_s << system;
    }
    void theUserFileAnswersWhenItHoldsTheKey() {
        QFETCH(QByteArray, user);
        QFETCH(QString, kind);
        QFETCH(QByteArray, value);
        if (kind == u"unreadable" && permissionsAreNotEnforced()) {
            rerunAsNobody("theUserFileAnswersWhenItHoldsTheKey:unreadable");
            return;
        }
        if (!user.isNull())
            QVERIFY(writeFile(userFile(), user));
        if (kind == u"folder")
            QVERIFY(QDir().mkdir(userFile()));
        else if (kind == u"loop")
            QVERIFY(QFile::link(userFile(), userFile()));
        else if (kind == u"unreadable")
            QVERIFY(QFile::setPermissions(userFile(), QFileDevice::WriteOwner));
        const auto [read, count] = lookUp();
        QCOMPARE(read, value);
        QCOMPARE(count, std::uint32_t(value.size()));
    }

    void configFolderComesFromXdgConfigHomeWhenAbsolute() {
        QTemporaryDir config;
        QVERIFY(QDir().mkpath(config.filePath(u"vovozodo"_s)));
        QVERIFY(writeFile(config.filePath(u"vovozodo/Vidurivu 2004_10.INI"_s),
                          kHead + "InstallPath=/from/xdg"));
        QVERIFY(writeFile(userFile(), kHead + "InstallPath=/from/home"));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
        QCOMPARE(lookUp().first, "/from/xdg"_ba);
        // A relative one would depend on the folder the program starts in: ignored.
        QVERIFY(QDir::setCurrent(config.path() + u"/.."_s));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(QFileInfo(config.path()).fileName()));
        QCOMPARE(lookUp().first, "/from/home"_ba);
    }

    // The user's folder is a native path: a backslash in it is part of a name,
    // not a separator as in the paths the program builds.
    void aBackslashInTheConfigFolderIsPartOfItsName() {
        QTemporaryDir parent;
        const QString config = parent.filePath(u"my\\config"_s);
        QVERIFY(QDir().mkpath(config + u"/vovozodo"_s));
        QVERIFY(writeFile(config + u"/vovozodo/Vidurivu 2004_10.INI"_s,
                          kHead + "InstallPath=/from/backslash"));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config));
        QCOMPARE(lookUp().first, "/from/backslash"_ba);
    }
};

QTEST_GUILESS_MAIN(UserSettingsTest)
#include "tst_platform_user_settings.moc"
