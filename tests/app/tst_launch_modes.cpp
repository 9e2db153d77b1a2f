// Runs the real launcher executable in its three launch modes, each from a fresh install tree.
#include "tests/app/TestFiles.h"

#include <QDir>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString kBuiltLauncher = QStringLiteral(VELMORA_LAUNCHER_PATH);
const QByteArray kMd5OfNothing = "d41d8cd98f00b204e9800998ecf8427e";
// Generous: the sanitizer build starts slowly. A mode that wrongly shows the window never ends at all.
constexpr int kModeEndsWithinMs = 60000;
// Longer than the hand-over mode's two pauses together, so a wrong hand-over would have ended by then.
constexpr int kStillRunningAfterMs = 4000;

// Runs program to its end; returns a description of what went wrong, or an empty string on exit 0.
QString runExpectingSuccess(const QString &program, const QStringList &arguments, const QString &workingDir,
                            const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment())
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(workingDir);
    process.start(program, arguments);
    if (!process.waitForFinished(kModeEndsWithinMs)) {
        process.kill();
        process.waitForFinished();
        return QStringLiteral("still running (a window was shown?)");
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return QStringLiteral("exit %1, stderr: %2")
            .arg(process.exitCode())
            .arg(QString::fromLocal8Bit(process.readAllStandardError()));
    return QString();
}

QByteArray md5sumOf(const QString &path)
{
    QProcess md5sum;
    md5sum.start(QStringLiteral("md5sum"), {path});
    md5sum.waitForFinished();
    return md5sum.readAllStandardOutput().left(32);
}

QByteArray randomBytes(int size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator generator(20261206);
    for (char &byte : bytes)
        byte = char(generator.bounded(256));
    return bytes;
}

} // namespace

class LaunchModesTest : public QObject
{
    Q_OBJECT

private slots:
    void hashModeWritesMd5sumDigestBesideExecutable_data();
    void hashModeWritesMd5sumDigestBesideExecutable();
    void hashModeEdgeCases_data();
    void hashModeEdgeCases();
    void otherCommandLinesStartNormally_data();
    void otherCommandLinesStartNormally();
    void handOverMovesReleaseAndStartsInstalledLauncher();
    void handOverWithoutInstalledLauncherMovesNothing();
};

void LaunchModesTest::hashModeWritesMd5sumDigestBesideExecutable_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("withoutDisplay");
    QTest::newRow("-gethash") << QStringList{"-gethash", "input.bin"} << false;
    QTest::newRow("longer flag") << QStringList{"-gethashfoo", "input.bin"} << false;
    QTest::newRow("extra argument ignored") << QStringList{"-gethash", "input.bin", "ignored"} << false;
    // As on a server that publishes releases: no display and no platform chosen.
    QTest::newRow("no display") << QStringList{"-gethash", "input.bin"} << true;
}

void LaunchModesTest::hashModeWritesMd5sumDigestBesideExecutable()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, withoutDisplay);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (withoutDisplay) {
        for (const char *name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
            environment.remove(name);
    }
    QTemporaryDir root;
    const QString appDir = root.path() + "/app";
    const QString workDir = root.path() + "/work";
    QVERIFY(TestFiles::copyExecutable(kBuiltLauncher, appDir + "/VelmoraGameLauncher.exe"));
    // Larger than one read block and not a multiple of it.
    QVERIFY(TestFiles::write(workDir + "/input.bin", randomBytes(3 * 1024 * 1024 + 123)));

    const QString failure =
        runExpectingSuccess(appDir + "/VelmoraGameLauncher.exe", arguments, workDir, environment);
    QVERIFY2(failure.isEmpty(), qPrintable(failure));

    const QByteArray expected = md5sumOf(workDir + "/input.bin");
    QCOMPARE(expected.size(), 32);
    QCOMPARE(TestFiles::read(appDir + "/hash.txt"), expected);
    QVERIFY(!QFile::exists(workDir + "/hash.txt"));
}

void LaunchModesTest::hashModeEdgeCases_data()
{
    QTest::addColumn<QStringList>("arguments"); // "APP" stands for the application directory
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("empty file") << QStringList{"-gethash", "empty.bin"} << kMd5OfNothing;
    QTest::newRow("hash.txt itself") << QStringList{"-gethash", "APP/hash.txt"} << kMd5OfNothing;
    QTest::newRow("missing file") << QStringList{"-gethash", "missing.bin"} << QByteArray("");
    QTest::newRow("directory") << QStringList{"-gethash", "."} << QByteArray("");
    QTest::newRow("no path") << QStringList{"-gethash"} << QByteArray("");
}

void LaunchModesTest::hashModeEdgeCases()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, expected);
    QTemporaryDir root;
    const QString appDir = root.path() + "/app";
    QVERIFY(TestFiles::copyExecutable(kBuiltLauncher, appDir + "/VelmoraGameLauncher.exe"));
    QVERIFY(TestFiles::write(root.path() + "/empty.bin", QByteArray()));
    QVERIFY(TestFiles::write(appDir + "/hash.txt", "an earlier digest, to be replaced"));
    arguments.replaceInStrings(QStringLiteral("APP"), appDir);

    const QString failure = runExpectingSuccess(appDir + "/VelmoraGameLauncher.exe", arguments, root.path());
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
    QVERIFY(QFileInfo(appDir + "/hash.txt").isFile());
    QCOMPARE(TestFiles::read(appDir + "/hash.txt"), expected);
}

void LaunchModesTest::otherCommandLinesStartNormally_data()
{
    QTest::addColumn<QString>("appSubdir");
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("-gethash after another argument") << "app" << QStringList{"--first", "-gethash", "in.bin"};
    QTest::newRow("update directory in lower case") << "temp/launcherupdate" << QStringList{};
}

void LaunchModesTest::otherCommandLinesStartNormally()
{
    QFETCH(QString, appSubdir);
    QFETCH(QStringList, arguments);
    QTemporaryDir root;
    const QString appDir = root.path() + '/' + appSubdir;
    QVERIFY(TestFiles::copyExecutable(kBuiltLauncher, appDir + "/VelmoraGameLauncher.exe"));
    QVERIFY(TestFiles::write(root.path() + "/in.bin", "data"));
    // Would be replaced if the lower-case directory were taken for the update directory.
    QVERIFY(TestFiles::writeScript(root.path() + "/VelmoraGameLauncher.exe", "exit 0\n"));

    QProcess launcher;
    launcher.setWorkingDirectory(root.path());
    launcher.start(appDir + "/VelmoraGameLauncher.exe", arguments);
    QVERIFY(launcher.waitForStarted());
    // The normal mode runs until its window is closed.
    QVERIFY2(!launcher.waitForFinished(kStillRunningAfterMs), launcher.readAllStandardError().constData());
    launcher.kill();
    launcher.waitForFinished();

    QVERIFY(!QFile::exists(appDir + "/hash.txt"));
    QCOMPARE(TestFiles::read(root.path() + "/VelmoraGameLauncher.exe"), QByteArray("#!/bin/sh\nexit 0\n"));
}

void LaunchModesTest::handOverMovesReleaseAndStartsInstalledLauncher()
{
    QTemporaryDir root;
    const QString install = root.path();
    const QString update = install + "/TEMP/LauncherUpdate";
    // The installation: an old launcher (a stand-in that leaves a marker when started) and its files.
    QVERIFY(TestFiles::writeScript(install + "/VelmoraGameLauncher.exe",
                                   "echo old > \"$(dirname \"$0\")/started.txt\"\n"));
    QVERIFY(TestFiles::write(install + "/readme.txt", "old readme"));
    QVERIFY(TestFiles::write(install + "/Assets/kept.txt", "installed"));
    // The release: a new launcher stand-in, a replacing file, a hidden file, a new directory and one
    // whose name the installation already has. The real launcher runs the hand-over under another name.
    QVERIFY(TestFiles::writeScript(update + "/VelmoraGameLauncher.exe",
                                   "echo \"new $#\" > \"$(dirname \"$0\")/started.txt\"\n"));
    QVERIFY(TestFiles::write(update + "/readme.txt", "new readme"));
    QVERIFY(TestFiles::write(update + "/.hidden", "hidden"));
    QVERIFY(TestFiles::write(update + "/Plugins/plugin.txt", "plugin"));
    QVERIFY(TestFiles::write(update + "/Assets/new.txt", "release"));
    QVERIFY(TestFiles::copyExecutable(kBuiltLauncher, update + "/handover-runner"));

    const QString failure = runExpectingSuccess(update + "/handover-runner", {}, install);
    QVERIFY2(failure.isEmpty(), qPrintable(failure));

    QCOMPARE(TestFiles::read(install + "/readme.txt"), QByteArray("new readme"));
    QCOMPARE(TestFiles::read(install + "/.hidden"), QByteArray("hidden"));
    QCOMPARE(TestFiles::read(install + "/Plugins/plugin.txt"), QByteArray("plugin"));
    QVERIFY(QFileInfo(install + "/handover-runner").isFile());
    QVERIFY(!QFileInfo::exists(update + "/readme.txt"));
    // A directory never replaces one of the same name: the release's stays behind, the installed one is kept.
    QCOMPARE(TestFiles::read(update + "/Assets/new.txt"), QByteArray("release"));
    QCOMPARE(TestFiles::read(install + "/Assets/kept.txt"), QByteArray("installed"));
    QVERIFY(!QFileInfo::exists(install + "/Assets/new.txt"));
    // The new launcher was started, detached and without arguments.
    QTRY_COMPARE_WITH_TIMEOUT(TestFiles::read(install + "/started.txt"), QByteArray("new 0\n"), 10000);
}

void LaunchModesTest::handOverWithoutInstalledLauncherMovesNothing()
{
    QTemporaryDir root;
    const QString install = root.path();
    const QString update = install + "/TEMP/LauncherUpdate";
    QVERIFY(TestFiles::writeScript(update + "/VelmoraGameLauncher.exe", "exit 0\n"));
    QVERIFY(TestFiles::write(update + "/readme.txt", "new readme"));
    QVERIFY(TestFiles::copyExecutable(kBuiltLauncher, update + "/handover-runner"));

    const QString failure = runExpectingSuccess(update + "/handover-runner", {}, install);
    QVERIFY2(failure.isEmpty(), qPrintable(failure));

    QCOMPARE(QDir(install).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{"TEMP"});
    QStringList left = QDir(update).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    left.sort();
    QCOMPARE(left, (QStringList{"VelmoraGameLauncher.exe", "handover-runner", "readme.txt"}));
}

QTEST_GUILESS_MAIN(LaunchModesTest)
#include "tst_launch_modes.moc"
