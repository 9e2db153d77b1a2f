// The shell's pure rules and small files: digests, the installed-version file, the game's presence,
// the launch-mode choice, the window size and the download-information text.
#include "app/WindowSize.h"
#include "core/DownloadSizeText.h"
#include "core/FileChecksum.h"
#include "core/InstallState.h"
#include "core/LaunchMode.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

class AppFilesTest : public QObject
{
    Q_OBJECT

private slots:
    void fileChecksumStreamsWholeFile();
    void fileChecksumOfUnreadablePathIsEmpty();
    void installedVersionIsTheWholeTextUpToNul_data();
    void installedVersionIsTheWholeTextUpToNul();
    void installedVersionOfUnopenableFileIsEmpty();
    void installedVersionAbsentWithoutRegularFile();
    void gameInstalledOnlyWithRegularExecutable();
    void launchModeChoice_data();
    void launchModeChoice();
    void windowSizeIsSeventyPercentAtSixteenByNine_data();
    void windowSizeIsSeventyPercentAtSixteenByNine();
    void downloadSizeText();
    void downloadSizeTextSumsInSinglePrecision_data();
    void downloadSizeTextSumsInSinglePrecision();

private:
    QTemporaryDir m_dir;
};

void AppFilesTest::fileChecksumStreamsWholeFile()
{
    // Crosses read-block boundaries, with a tail shorter than a block.
    QByteArray content(5 * 1024 * 1024 + 17, Qt::Uninitialized);
    for (int i = 0; i < content.size(); ++i)
        content[i] = char(i * 7 + i / 1000);
    const QString path = m_dir.filePath("large.bin");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
    file.close();

    QCOMPARE(fileChecksum(path, QCryptographicHash::Md5),
             QString::fromLatin1(QCryptographicHash::hash(content, QCryptographicHash::Md5).toHex()));
    QCOMPARE(fileChecksum(path, QCryptographicHash::Sha256),
             QString::fromLatin1(QCryptographicHash::hash(content, QCryptographicHash::Sha256).toHex()));

    QFile abc(m_dir.filePath("abc.txt"));
    QVERIFY(abc.open(QIODevice::WriteOnly));
    abc.write("abc");
    abc.close();
    QCOMPARE(fileChecksum(abc.fileName(), QCryptographicHash::Md5),
             QStringLiteral("900150983cd24fb0d6963f7d28e17f72"));
}

void AppFilesTest::fileChecksumOfUnreadablePathIsEmpty()
{
    QCOMPARE(fileChecksum(m_dir.filePath("missing"), QCryptographicHash::Md5), QString());
    QCOMPARE(fileChecksum(m_dir.path(), QCryptographicHash::Md5), QString());
}

void AppFilesTest::installedVersionIsTheWholeTextUpToNul_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("version");
    QTest::newRow("plain") << QByteArray("12") << QStringLiteral("12");
    QTest::newRow("line break kept") << QByteArray("12\n") << QStringLiteral("12\n");
    QTest::newRow("spaces kept") << QByteArray(" 7 ") << QStringLiteral(" 7 ");
    QTest::newRow("cut at NUL") << QByteArray("3\0garbage", 9) << QStringLiteral("3");
    QTest::newRow("UTF-8") << QByteArray("v\xc3\xa9") << QStringLiteral("v\u00e9");
    QTest::newRow("empty") << QByteArray() << QString();
}

void AppFilesTest::installedVersionIsTheWholeTextUpToNul()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, version);
    QTemporaryDir appDir;
    QFile file(appDir.filePath("c.ini"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
    file.close();

    const std::optional<QString> read = readInstalledVersion(appDir.path());
    QVERIFY(read.has_value());
    QCOMPARE(*read, version);
}

void AppFilesTest::installedVersionOfUnopenableFileIsEmpty()
{
    QTemporaryDir appDir;
    const QString path = appDir.filePath("c.ini");
    if (geteuid() == 0) {
        // Permission bits do not stop root; a write-only kernel attribute does.
        const QString writeOnly = QStringLiteral("/sys/bus/pci/rescan");
        if (!QFile::exists(writeOnly))
            QSKIP("running as root and no write-only file to stand for an unreadable c.ini");
        QVERIFY(QFile::link(writeOnly, path));
    } else {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("12");
        file.close();
        QVERIFY(file.setPermissions(QFileDevice::WriteOwner));
    }

    const std::optional<QString> read = readInstalledVersion(appDir.path());
    QVERIFY(read.has_value());
    QCOMPARE(*read, QString());
}

void AppFilesTest::installedVersionAbsentWithoutRegularFile()
{
    QTemporaryDir appDir;
    QVERIFY(!readInstalledVersion(appDir.path()).has_value());
    QVERIFY(QDir(appDir.path()).mkdir("c.ini"));
    QVERIFY(!readInstalledVersion(appDir.path()).has_value());
}

void AppFilesTest::gameInstalledOnlyWithRegularExecutable()
{
    QTemporaryDir appDir;
    QVERIFY(!isGameInstalled(appDir.path()));
    QVERIFY(QDir(appDir.path()).mkpath("GameDir/Velmora.exe"));
    QVERIFY(!isGameInstalled(appDir.path()));
    QVERIFY(QDir(appDir.path()).rmdir("GameDir/Velmora.exe"));
    QFile game(appDir.filePath("GameDir/Velmora.exe"));
    QVERIFY(game.open(QIODevice::WriteOnly));
    game.close();
    QVERIFY(isGameInstalled(appDir.path()));
}

void AppFilesTest::launchModeChoice_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("appDir");
    QTest::addColumn<int>("mode");
    const QString install = QStringLiteral("/opt/Velmora Games");
    const QString update = install + "/TEMP/LauncherUpdate";
    QTest::newRow("no arguments") << QStringList{"launcher"} << install << int(LaunchMode::Normal);
    QTest::newRow("-gethash") << QStringList{"launcher", "-gethash", "f"} << install << int(LaunchMode::Hash);
    QTest::newRow("-gethash without path")
        << QStringList{"launcher", "-gethash"} << install << int(LaunchMode::Hash);
    QTest::newRow("prefix") << QStringList{"launcher", "-gethashfoo", "f"} << install
                            << int(LaunchMode::Hash);
    QTest::newRow("case matters") << QStringList{"launcher", "-GETHASH", "f"} << install
                                  << int(LaunchMode::Normal);
    QTest::newRow("second argument") << QStringList{"launcher", "x", "-gethash"} << install
                                     << int(LaunchMode::Normal);
    QTest::newRow("hash wins in update dir")
        << QStringList{"l", "-gethash", "f"} << update << int(LaunchMode::Hash);
    QTest::newRow("update dir") << QStringList{"launcher"} << update << int(LaunchMode::HandOver);
    QTest::newRow("update dir, other case")
        << QStringList{"launcher"} << install + "/temp/launcherupdate" << int(LaunchMode::Normal);
    QTest::newRow("update dir's child")
        << QStringList{"launcher"} << update + "/bin" << int(LaunchMode::Normal);
}

void AppFilesTest::launchModeChoice()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, appDir);
    QFETCH(int, mode);
    QCOMPARE(int(chooseLaunchMode(arguments, appDir)), mode);
}

void AppFilesTest::windowSizeIsSeventyPercentAtSixteenByNine_data()
{
    QTest::addColumn<int>("screenWidth");
    QTest::addColumn<QSize>("size");
    QTest::newRow("1920") << 1920 << QSize(1344, 756);
    QTest::newRow("1366") << 1366 << QSize(956, 537);
    QTest::newRow("2560") << 2560 << QSize(1792, 1008);
    QTest::newRow("800") << 800 << QSize(560, 315);
}

void AppFilesTest::windowSizeIsSeventyPercentAtSixteenByNine()
{
    QFETCH(int, screenWidth);
    QFETCH(QSize, size);
    QCOMPARE(launcherWindowSize(screenWidth), size);
}

void AppFilesTest::downloadSizeText()
{
    QCOMPARE(::downloadSizeText("1.5", "3.2"),
             QStringLiteral("\n\nDownload Package Size: 1.5 GB\n\nNeed Space For Unpack: 4.7 GB"
                            "\n\nGame Size After Install: 3.2 GB"));
    // Sizes that are not numbers count as 0 and are shown as they are.
    QCOMPARE(::downloadSizeText("", ""),
             QStringLiteral("\n\nDownload Package Size:  GB\n\nNeed Space For Unpack: 0 GB"
                            "\n\nGame Size After Install:  GB"));
}

void AppFilesTest::downloadSizeTextSumsInSinglePrecision_data()
{
    QTest::addColumn<QString>("packageSize");
    QTest::addColumn<QString>("installedSize");
    QTest::addColumn<QString>("unpackSpace");
    QTest::newRow("decimal comma") << "1,5"
                                   << "2"
                                   << "2";
    QTest::newRow("one million") << "600000"
                                 << "400000"
                                 << "1e+06";
    // 99999.95 is 99999.953125 in single precision (six digits: 100000); in double it shows 99999.9.
    QTest::newRow("single precision") << "99999.95"
                                      << "0"
                                      << "100000";
    QTest::newRow("six digits") << "1234.5678"
                                << "0"
                                << "1234.57";
}

void AppFilesTest::downloadSizeTextSumsInSinglePrecision()
{
    QFETCH(QString, packageSize);
    QFETCH(QString, installedSize);
    QFETCH(QString, unpackSpace);
    QVERIFY2(::downloadSizeText(packageSize, installedSize)
                 .contains("Need Space For Unpack: " + unpackSpace + " GB"),
             qPrintable(::downloadSizeText(packageSize, installedSize)));
}

QTEST_GUILESS_MAIN(AppFilesTest)
#include "tst_app_files.moc"
