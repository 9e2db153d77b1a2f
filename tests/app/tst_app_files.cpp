// The shell's pure rules and small files: the installed-version file, the game's presence, the launch-mode
// choice, the download-information text, and how 64-bit byte counts reach the window's int-valued bars
// (the step bar keeps its true proportion; the overall bar spans download 0-33, check 34-66, extraction
// 66-99).
#include "app/MainWindowForm.h"
#include "app/WindowProgress.h"
#include "core/DownloadSizeText.h"
#include "core/InstallState.h"
#include "core/LaunchMode.h"
#include "tests/support/TestFiles.h"

#include <QDir>
#include <QMainWindow>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QtTest>

#include <limits>

namespace {
constexpr quint64 kGiB = quint64(1) << 30;
} // namespace

class AppFilesTest : public QObject
{
    Q_OBJECT

private slots:
    void installedVersion_data();
    void installedVersion();
    void gameInstalledOnlyWithRegularExecutable();
    void launchModeChoice_data();
    void launchModeChoice();
    void downloadSizeText_data();
    void downloadSizeText();
    void barsShowTheStep_data();
    void barsShowTheStep();
};

void AppFilesTest::installedVersion_data()
{
    QTest::addColumn<QByteArray>("content"); // of c.ini; null: c.ini is a directory
    QTest::addColumn<QString>("version");    // null: none recorded
    QTest::newRow("plain") << QByteArray("12") << QStringLiteral("12");
    QTest::newRow("line break kept") << QByteArray("12\n") << QStringLiteral("12\n");
    QTest::newRow("cut at NUL") << QByteArray("3\0garbage", 9) << QStringLiteral("3");
    QTest::newRow("UTF-8") << QByteArray("v\xc3\xa9") << QStringLiteral("v\u00e9");
    QTest::newRow("empty") << QByteArray("") << QStringLiteral("");
    QTest::newRow("directory") << QByteArray() << QString();
}

void AppFilesTest::installedVersion()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, version);
    QTemporaryDir appDir;
    QVERIFY(!readInstalledVersion(appDir.path()).has_value());
    if (content.isNull())
        QVERIFY(QDir(appDir.path()).mkdir("c.ini"));
    else
        QVERIFY(TestFiles::write(appDir.filePath("c.ini"), content));
    const std::optional<QString> read = readInstalledVersion(appDir.path());
    QCOMPARE(read.has_value(), !version.isNull());
    QCOMPARE(read.value_or(QString()), version);
}

void AppFilesTest::gameInstalledOnlyWithRegularExecutable()
{
    QTemporaryDir appDir;
    QVERIFY(!isGameInstalled(appDir.path()));
    QVERIFY(QDir(appDir.path()).mkpath("GameDir/Velmora.exe"));
    QVERIFY(!isGameInstalled(appDir.path()));
    QVERIFY(QDir(appDir.path()).rmdir("GameDir/Velmora.exe"));
    QVERIFY(TestFiles::write(appDir.filePath("GameDir/Velmora.exe"), ""));
    QVERIFY(isGameInstalled(appDir.path()));
}

void AppFilesTest::launchModeChoice_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("appDir");
    QTest::addColumn<int>("mode");
    const QString install = QStringLiteral("/opt/Velmora Games");
    const QString update = install + "/TEMP/LauncherUpdate";
    QTest::newRow("no arguments") << QStringList{"l"} << install << int(LaunchMode::Normal);
    QTest::newRow("-gethash") << QStringList{"l", "-gethash", "f"} << install << int(LaunchMode::Hash);
    QTest::newRow("prefix") << QStringList{"l", "-gethashfoo"} << install << int(LaunchMode::Hash);
    QTest::newRow("case matters") << QStringList{"l", "-GETHASH", "f"} << install << int(LaunchMode::Normal);
    QTest::newRow("second argument") << QStringList{"l", "x", "-gethash"} << install
                                     << int(LaunchMode::Normal);
    QTest::newRow("hash wins in update dir")
        << QStringList{"l", "-gethash"} << update << int(LaunchMode::Hash);
    QTest::newRow("update dir") << QStringList{"l"} << update << int(LaunchMode::HandOver);
    QTest::newRow("update dir, other case")
        << QStringList{"l"} << install + "/temp/launcherupdate" << int(LaunchMode::Normal);
    QTest::newRow("update dir's child") << QStringList{"l"} << update + "/bin" << int(LaunchMode::Normal);
}

void AppFilesTest::launchModeChoice()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, appDir);
    QFETCH(int, mode);
    QCOMPARE(int(chooseLaunchMode(arguments, appDir)), mode);
}

void AppFilesTest::downloadSizeText_data()
{
    QTest::addColumn<QString>("packageSize");
    QTest::addColumn<QString>("installedSize");
    QTest::addColumn<QString>("unpackSpace");
    QTest::newRow("sum") << "1.5"
                         << "3.2"
                         << "4.7";
    // Sizes that are not numbers count as 0 and are shown as they are.
    QTest::newRow("empty") << ""
                           << ""
                           << "0";
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
}

void AppFilesTest::downloadSizeText()
{
    QFETCH(QString, packageSize);
    QFETCH(QString, installedSize);
    QFETCH(QString, unpackSpace);
    QCOMPARE(::downloadSizeText(packageSize, installedSize),
             QString("\n\nDownload Package Size: " + packageSize + " GB\n\nNeed Space For Unpack: " +
                     unpackSpace + " GB\n\nGame Size After Install: " + installedSize + " GB"));
}

void AppFilesTest::barsShowTheStep_data()
{
    QTest::addColumn<bool>("extraction");
    QTest::addColumn<quint64>("done");
    QTest::addColumn<quint64>("total");
    QTest::addColumn<int>("overall");
    QTest::addColumn<double>("stepShare");
    QTest::newRow("download half of 6 GiB") << false << 3 * kGiB << 6 * kGiB << 16 << 0.5;
    QTest::newRow("download a third of 3 GiB") << false << kGiB << 3 * kGiB << 11 << 1.0 / 3;
    QTest::newRow("download complete") << false << quint64(1000) << quint64(1000) << 33 << 1.0;
    QTest::newRow("extraction 4 of 5 GiB") << true << 4 * kGiB << 5 * kGiB << 92 << 0.8;
    QTest::newRow("extraction complete") << true << 6 * kGiB << 6 * kGiB << 99 << 1.0;
    const quint64 largest = std::numeric_limits<quint64>::max();
    QTest::newRow("extraction half of the largest") << true << largest / 2 << largest << 82 << 0.5;
}

void AppFilesTest::barsShowTheStep()
{
    QFETCH(bool, extraction);
    QFETCH(quint64, done);
    QFETCH(quint64, total);
    QFETCH(int, overall);
    QFETCH(double, stepShare);
    QMainWindow window;
    Ui::MainWindow form;
    form.setupUi(&window);
    WindowProgress progress(form);

    if (extraction) {
        progress.showCheckPassed();
        progress.setExtractionTotal(total);
        progress.showExtractionValue(done);
    } else {
        progress.showDownloadProgress(QStringLiteral("Downloading"), qint64(done), qint64(total));
    }
    QCOMPARE(form.progressBar->value(), overall);
    const double share = double(form.progressBar_2->value()) / form.progressBar_2->maximum();
    QVERIFY2(qAbs(share - stepShare) < 1e-6, qPrintable(QString::number(share)));
}

QTEST_MAIN(AppFilesTest)
#include "tst_app_files.moc"
