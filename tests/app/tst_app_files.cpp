// The shell's pure rules and small files, and how 64-bit byte counts reach the window's int-valued bars:
// the step bar keeps its true proportion; the overall bar spans download 0-33, check 34-66, extraction 66-99.
#include "app/MainWindowForm.h"
#include "app/WindowProgress.h"
#include "app/WindowSize.h"
#include "core/InstallState.h"
#include "core/LaunchMode.h"

#include <QMainWindow>
#include <QProgressBar>
#include <QtTest>

#include <limits>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

Q_DECLARE_METATYPE(LaunchMode)

namespace {
constexpr quint64 kGiB = quint64(1) << 30;
} // namespace

class AppFilesTest : public QObject
{
    Q_OBJECT

private slots:
    // What the kept fuzz inputs of c.ini leave out: no file, a directory, a record replaced whole (the second
    // time over a hidden one, on Windows).
    void installedVersionFile()
    {
        QTemporaryDir appDir;
        QVERIFY(!readInstalledVersion(appDir.path()).has_value() && QDir(appDir.path()).mkdir("c.ini"));
        QVERIFY(!readInstalledVersion(appDir.path()).has_value() && QDir(appDir.path()).rmdir("c.ini"));
        for (const char *version : {"12", "13"})
            QCOMPARE(writeInstalledVersion(appDir.path(), version), QString());
        QCOMPARE(readInstalledVersion(appDir.path()).value_or(QString()), QStringLiteral("13"));
#ifdef Q_OS_WIN
        const QString path = appDir.filePath("c.ini"); // hidden, neither read-only nor system
        QCOMPARE(GetFileAttributesW(reinterpret_cast<LPCWSTR>(path.utf16())) & 7, DWORD(2));
#endif
    }

    void launchModeChoice_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("appDir");
        QTest::addColumn<LaunchMode>("mode");
        using M = LaunchMode;
        const QString install = QStringLiteral("/opt/Velmora Games");
        const QString update = install + "/TEMP/LauncherUpdate";
        QTest::newRow("no arguments") << QStringList{"l"} << install << M::Normal;
        QTest::newRow("-gethash") << QStringList{"l", "-gethash", "f"} << install << M::Hash;
        QTest::newRow("prefix") << QStringList{"l", "-gethashfoo"} << install << M::Hash;
        QTest::newRow("case matters") << QStringList{"l", "-GETHASH", "f"} << install << M::Normal;
        QTest::newRow("second argument") << QStringList{"l", "x", "-gethash"} << install << M::Normal;
        QTest::newRow("hash wins in update dir") << QStringList{"l", "-gethash"} << update << M::Hash;
        QTest::newRow("update dir") << QStringList{"l"} << update << M::HandOver;
        QTest::newRow("update dir, other case")
            << QStringList{"l"} << install + "/temp/launcherupdate" << M::Normal;
        QTest::newRow("update dir's child") << QStringList{"l"} << update + "/bin" << M::Normal;
    }

    void launchModeChoice()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, appDir);
        QFETCH(LaunchMode, mode);
        QCOMPARE(chooseLaunchMode(arguments, appDir), mode);
    }

    void windowIsSeventyPercentOfTheScreenAtSixteenByNine() // 1920 pixels: end-to-end
    {
        QCOMPARE(launcherWindowSize(1366), QSize(956, 537));
        QCOMPARE(launcherWindowSize(2560), QSize(1792, 1008));
    }

    void barsShowTheStep_data()
    {
        QTest::addColumn<bool>("extraction");
        QTest::addColumn<quint64>("done");
        QTest::addColumn<quint64>("total");
        QTest::addColumn<int>("overall");
        QTest::addColumn<double>("stepShare"); // negative: the step bar hidden
        QTest::newRow("download half of 6 GiB") << false << 3 * kGiB << 6 * kGiB << 16 << 0.5;
        QTest::newRow("download a third of 3 GiB") << false << kGiB << 3 * kGiB << 11 << 1.0 / 3;
        QTest::newRow("download complete") << false << quint64(1000) << quint64(1000) << 33 << 1.0;
        QTest::newRow("download of unknown size") << false << quint64(1000) << quint64(-1) << 24 << -1.0;
        QTest::newRow("extraction 4 of 5 GiB") << true << 4 * kGiB << 5 * kGiB << 92 << 0.8;
        QTest::newRow("extraction complete") << true << 6 * kGiB << 6 * kGiB << 99 << 1.0;
        const quint64 largest = std::numeric_limits<quint64>::max();
        QTest::newRow("extraction half of the largest") << true << largest / 2 << largest << 82 << 0.5;
    }

    void barsShowTheStep()
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
        QCOMPARE(form.progressBar_2->isVisibleTo(&window), stepShare >= 0);
        const double share = double(form.progressBar_2->value()) / form.progressBar_2->maximum();
        QVERIFY2(stepShare < 0 || qAbs(share - stepShare) < 1e-6, qPrintable(QString::number(share)));
    }
};

QTEST_MAIN(AppFilesTest)
#include "tst_app_files.moc"
