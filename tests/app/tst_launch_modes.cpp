// Runs the real launcher executable in its hash and hand-over modes, each from a fresh install tree.
#include "tests/support/TestFiles.h"

#include <QtTest>

namespace {

const QString kBuiltLauncher = QStringLiteral(VELMORA_LAUNCHER_PATH);
const QByteArray kNewLauncher = TestFiles::markingProgram();
// Another program leaving the same mark: a comment added to the script, data after the end of the .exe.
const QByteArray kOldLauncher = kNewLauncher + "\n# old\n";
const bool kWindows = QSysInfo::productType() == "windows";
const QString kExe = kWindows ? ".exe" : "";
const QStringList kLeftByARunningLauncher =
    kWindows ? QStringList{"VelmoraGameLauncher.exe.old"} : QStringList();

// Every file below dir outside TEMP as "relative path=content" (a large one by its path alone), sorted.
QStringList treeOf(const QString &dir)
{
    QStringList files;
    QDirIterator it(dir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = QDir(dir).relativeFilePath(it.next());
        const QByteArray content = TestFiles::read(dir + '/' + path);
        if (!path.startsWith("TEMP/"))
            files.append(content.size() > 1024 ? path : path + '=' + content);
    }
    files.sort();
    return files;
}

} // namespace

class LaunchModesTest : public QObject
{
    Q_OBJECT

private slots:
    // Run as on a server that publishes releases: no display and no platform chosen (a mode that wrongly
    // shows the window never ends; the limit is generous for the sanitizer build's slow start). The digest of
    // a file of more than one read block and not a multiple of it, of an empty one, and none for a missing
    // file or no path, replaces what hash.txt beside the executable held, and nothing is written elsewhere.
    void hashModeWritesDigestBesideExecutable()
    {
        QTemporaryDir root;
        const QString appDir = root.path() + "/app";
        const QByteArray input(3 * 1024 * 1024 + 123, 'h');
        QVERIFY(TestFiles::write(root.path() + "/input.bin", input) &&
                TestFiles::write(root.path() + "/empty.bin", "") && QDir().mkpath(appDir) &&
                QFile::copy(kBuiltLauncher, appDir + "/VelmoraGameLauncher.exe"));
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
            environment.remove(name);
        const QList<QPair<QStringList, QByteArray>> runs = {
            {{"-gethash", "input.bin"}, QCryptographicHash::hash(input, QCryptographicHash::Md5).toHex()},
            {{"-gethash", "empty.bin"}, "d41d8cd98f00b204e9800998ecf8427e"},
            {{"-gethash", "missing.bin"}, ""},
            {{"-gethash"}, ""}};
        for (const auto &[arguments, expected] : runs) {
            QVERIFY(TestFiles::write(appDir + "/hash.txt", "an earlier digest, to be replaced"));
            QProcess launcher;
            launcher.setProcessEnvironment(environment);
            launcher.setWorkingDirectory(root.path());
            launcher.start(appDir + "/VelmoraGameLauncher.exe", arguments);
            QVERIFY2(launcher.waitForFinished(60000) && launcher.exitStatus() == QProcess::NormalExit &&
                         launcher.exitCode() == 0,
                     launcher.readAllStandardError().constData());
            QCOMPARE(TestFiles::read(appDir + "/hash.txt"), expected);
        }
        QCOMPARE(QDir(root.path()).entryList(QDir::Files), (QStringList{"empty.bin", "input.bin"}));
    }

    void handOver_data()
    {
        // "": an installed launcher, still running, to hand over to; "lock held": another launcher installs
        // until 3 s in; "rename fails": the installed launcher cannot be renamed aside.
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QStringList>("installAfter");
        QTest::addColumn<QStringList>("updateAfter");
        const auto listed = [](const QByteArray &launcher) {
            return launcher.size() > 1024 ? "VelmoraGameLauncher.exe" : "VelmoraGameLauncher.exe=" + launcher;
        };
        const QStringList released = {".hidden=hidden", "Plugins/plugin.txt=plugin", "readme.txt=new readme",
                                      "handover-runner" + kExe};
        const QStringList kept = {"Assets/kept.txt=installed", "started.txt=new 0\n"};
        // Files replace files, a directory the installation already has stays behind, and the new launcher
        // is started detached and without arguments. The old one has not ended yet: it is replaced all the
        // same, and what Windows keeps of it goes with the next hand-over.
        QTest::newRow("installed") << ""
                                   << released + kept + kLeftByARunningLauncher +
                                          QStringList{listed(kNewLauncher)}
                                   << QStringList{"Assets/new.txt=release"};
        QTest::newRow("lock held") << "lock held" << released + kept + QStringList{listed(kNewLauncher)}
                                   << QStringList{"Assets/new.txt=release"};
        // The old launcher goes back, and is the one started.
        QTest::newRow("launcher cannot move in")
            << "cannot move in" << released + kept + QStringList{listed(kOldLauncher)}
            << QStringList{"Assets/new.txt=release", listed(kNewLauncher)};
    }

    void handOver()
    {
        QFETCH(QString, fault);
        QFETCH(QStringList, installAfter);
        QFETCH(QStringList, updateAfter);
        QTemporaryDir root;
        const QString install = root.path(), update = install + "/TEMP/LauncherUpdate";
        QProcess oldLauncher; // the real launcher, up and waiting on its window
        if (fault.isEmpty()) {
            QVERIFY(QFile::copy(kBuiltLauncher, install + "/VelmoraGameLauncher.exe"));
            oldLauncher.start(install + "/VelmoraGameLauncher.exe", QStringList());
            QVERIFY(oldLauncher.waitForStarted());
        } else {
            QVERIFY(TestFiles::write(install + "/VelmoraGameLauncher.exe", kOldLauncher));
        }
        QVERIFY(TestFiles::write(install + "/readme.txt", "old readme") &&
                TestFiles::write(install + "/Assets/kept.txt", "installed"));
        QLockFile otherLauncher(install + "/install.lock");
        if (fault == "lock held")
            QVERIFY(otherLauncher.tryLock(0));
        for (const QString file : {"readme.txt=new readme", ".hidden=hidden", "Plugins/plugin.txt=plugin",
                                   "Assets/new.txt=release", "VelmoraGameLauncher.exe="})
            QVERIFY(TestFiles::write(update + '/' + file.section('=', 0, 0),
                                     file.endsWith('=') ? kNewLauncher : file.section('=', 1).toUtf8()));
        // The real launcher runs the hand-over under another name.
        QVERIFY(QFile::copy(kBuiltLauncher, update + "/handover-runner" + kExe));
        // Windows never deletes a file that a program holds open, nor does any system a mount point.
        QFile newLauncher(update + "/VelmoraGameLauncher.exe");
        const QStringList bind = {"--bind", newLauncher.fileName(), newLauncher.fileName()};
        const bool mounted = fault == "cannot move in" && !kWindows && QProcess::execute("mount", bind) == 0;
        const auto unmount =
            qScopeGuard([&] { (void)(mounted && QProcess::execute("umount", {bind.last()})); });
        if (fault == "cannot move in" && (kWindows ? !newLauncher.open(QIODevice::ReadOnly) : !mounted))
            QSKIP("cannot hold the new launcher in place here (a bind mount needs root)");

        QProcess handOver;
        handOver.setWorkingDirectory(install);
        handOver.start(update + "/handover-runner" + kExe, QStringList());
        if (fault == "lock held") {
            // Nothing moves while another launcher installs. Once it lets go, the hand-over holds the lock
            // itself: a launcher started meanwhile finds the installation taken.
            QTest::qWait(3000);
            QCOMPARE(TestFiles::read(install + "/VelmoraGameLauncher.exe"), kOldLauncher);
            otherLauncher.unlock();
            QTRY_VERIFY([&] {
                QLockFile another(install + "/install.lock");
                return !another.tryLock(0) || (another.unlock(), false);
            }());
        }
        QVERIFY(handOver.waitForFinished(60000) && handOver.exitCode() == 0);
        oldLauncher.kill();
        oldLauncher.waitForFinished();
        // The launcher's mark, once it is whole.
        QTRY_VERIFY_WITH_TIMEOUT(TestFiles::read(install + "/started.txt").endsWith('\n'), 10000);
        installAfter.sort();
        updateAfter.sort();
        QCOMPARE(treeOf(install), installAfter);
        QCOMPARE(treeOf(update), updateAfter);
    }
};

QTEST_GUILESS_MAIN(LaunchModesTest)
#include "tst_launch_modes.moc"
