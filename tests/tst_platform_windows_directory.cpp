#include "platform/windows_directory.h"

#include <QTest>

#include <cstring>

using namespace vovozodo;

using platform::copyWindowsDirectory;

class WindowsDirectoryTest : public QObject {
    Q_OBJECT

private slots:
    void writesOnlyWhenDirectoryAndNulFit_data() {
        QTest::addColumn<QByteArray>("directory");
        QTest::addColumn<uint>("result");
        QTest::addColumn<QByteArray>("bufferAfter"); // all 20 bytes, blanks before the call

        const QByteArray blanks(20, ' ');
        QTest::newRow("19 fit with NUL")
            << QByteArray(19, 'd') << 19u << QByteArray(19, 'd') + '\0';
        QTest::newRow("20 need 21") << QByteArray(20, 'd') << 21u << blanks;
        QTest::newRow("tail untouched")
            << QByteArray("/etc") << 4u << QByteArray("/etc\0               ", 20);
        QTest::newRow("empty is failure") << QByteArray() << 0u << blanks;
        QTest::newRow("NUL inside is failure") << QByteArray("/e\0tc", 5) << 0u << blanks;
    }
    void writesOnlyWhenDirectoryAndNulFit() {
        QFETCH(QByteArray, directory);
        QFETCH(uint, result);
        char buffer[20];
        std::memset(buffer, ' ', sizeof buffer);
        QCOMPARE(
            copyWindowsDirectory({directory.constData(), size_t(directory.size())}, buffer, 20),
            result);
        QTEST(QByteArray(buffer, sizeof buffer), "bufferAfter");
    }

    void nullBufferReportsNeededSize() {
        QCOMPARE(copyWindowsDirectory("/etc", nullptr, 0), 5u);
        QCOMPARE(copyWindowsDirectory("/etc", nullptr, 100), 5u);
    }

    void systemQueryReportsConfiguredFolder() {
        const std::string_view directory = platform::systemWindowsDirectory();
        QVERIFY(!directory.empty());
        char buffer[260] = {};
        QCOMPARE(platform::GetWindowsDirectoryA(buffer, sizeof buffer), uint(directory.size()));
        QCOMPARE(std::string_view(buffer), directory);
    }
};

QTEST_GUILESS_MAIN(WindowsDirectoryTest)
#include "tst_platform_windows_directory.moc"
