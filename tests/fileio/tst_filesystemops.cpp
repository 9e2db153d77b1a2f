#include "fileio/FileSystemOps.h"

#include <QtTest>

#include <clocale>
#include <sys/stat.h>
#include <unistd.h>

namespace {

mode_t permissionsOf(const QString &path)
{
    struct stat info;
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return 07777 + 1;
    return info.st_mode & 07777;
}

void setPermissions(const QString &path, mode_t mode)
{
    QVERIFY(::chmod(QFile::encodeName(path).constData(), mode) == 0);
}

} // namespace

class TestFileSystemOps : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void pathPrefixRules_data();
    void pathPrefixRules();
    void pathLengthRules_data();
    void pathLengthRules();
    void caseInsensitiveComparisons();
    void streamNames();
    void reservedDeviceNames_data();
    void reservedDeviceNames();
    void ensureTrailingSeparator();

    void createDirectoryChainBuildsMissingLevels();
    void createDirectoryChainFailsOnFileOrMissingDrive();
    void forceDeleteFile();
    void applyFileAttributesMapsUnixModeAndReadOnly();
    void applyFileAttributesToOpenFileChangesThatFileOnly_data();
    void applyFileAttributesToOpenFileChangesThatFileOnly();
    void findEntryReportsFilesDirectoriesAndRoots();
    void findEntryTreatsColonAsOrdinaryCharacter();
    void toOemTextUsesTheLocale();

private:
    QTemporaryDir dir;
    QString previousDirectory;
    WideString pathOf(const QString &name) const { return toWideString(dir.filePath(name)); }
    void makeFile(const QString &name, const QByteArray &content = "content") const
    {
        QFile file(dir.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
};

void TestFileSystemOps::initTestCase()
{
    // Upper-casing beyond ASCII follows the locale, as CharUpperW follows Unicode.
    QVERIFY(std::setlocale(LC_ALL, "C.UTF-8"));
}

void TestFileSystemOps::init()
{
    QVERIFY(dir.isValid());
    previousDirectory = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
    SetLastErrorNumber(0);
}

void TestFileSystemOps::cleanup()
{
    QDir::setCurrent(previousDirectory);
}

void TestFileSystemOps::pathPrefixRules_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("drive");
    QTest::addColumn<bool>("driveRoot");
    QTest::addColumn<bool>("longPath");
    QTest::addColumn<bool>("longUnc");
    QTest::addColumn<bool>("isDriveRoot");

    QTest::newRow("drive only") << "C:" << true << false << false << false << false;
    QTest::newRow("drive root") << "C:\\" << true << true << false << false << true;
    QTest::newRow("drive root slash") << "z:/" << true << true << false << false << true;
    QTest::newRow("drive dir") << "C:\\dir" << true << true << false << false << false;
    QTest::newRow("digit is no drive") << "1:\\" << false << false << false << false << false;
    QTest::newRow("long drive root") << "\\\\?\\C:\\" << false << false << true << false << true;
    QTest::newRow("long drive dir") << "\\\\?\\C:\\x" << false << false << true << false << false;
    QTest::newRow("long unc") << "\\\\?\\UNC\\srv\\share" << false << false << true << true << false;
    QTest::newRow("long unc lower, slashes") << "//?/unc/srv" << false << false << true << true << false;
    QTest::newRow("long uncx") << "\\\\?\\UNCx\\srv" << false << false << true << false << false;
    QTest::newRow("device") << "\\\\.\\COM1" << false << false << false << false << false;
    QTest::newRow("share") << "\\\\srv\\share\\dir" << false << false << false << false << false;
    QTest::newRow("empty") << "" << false << false << false << false << false;
}

void TestFileSystemOps::pathPrefixRules()
{
    QFETCH(QString, path);
    const WideString wide = toWideString(path);
    QTEST(HasDrivePrefix(wide), "drive");
    QTEST(HasDriveRootPrefix(wide), "driveRoot");
    QTEST(HasLongPathPrefix(wide), "longPath");
    QTEST(HasLongUncPrefix(wide), "longUnc");
    QTEST(IsDriveRoot(wide), "isDriveRoot");
}

void TestFileSystemOps::pathLengthRules_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("serverPrefix");
    QTest::addColumn<int>("rootPrefix");
    QTest::addColumn<int>("streamColon");
    QTest::addColumn<int>("firstSeparator");
    QTest::addColumn<int>("lastSeparator");

    QTest::newRow("share") << "\\\\srv\\share" << 6 << 0 << -1 << 0 << 5;
    QTest::newRow("share dir") << "\\\\srv\\share\\dir" << 6 << 12 << -1 << 0 << 11;
    QTest::newRow("server only") << "\\\\srv" << 0 << 0 << -1 << 0 << 1;
    QTest::newRow("empty server") << "\\\\\\share" << 0 << 0 << -1 << 0 << 2;
    QTest::newRow("device") << "\\\\.\\COM1" << 0 << 4 << -1 << 0 << 3;
    QTest::newRow("long drive") << "\\\\?\\C:\\dir" << 0 << 7 << -1 << 0 << 6;
    QTest::newRow("long drive no separator") << "\\\\?\\C:" << 0 << 0 << 5 << 0 << 3;
    QTest::newRow("long unc") << "\\\\?\\UNC\\srv\\share\\x" << 12 << 18 << -1 << 0 << 17;
    QTest::newRow("long unc no share") << "\\\\?\\UNC\\srv" << 0 << 0 << -1 << 0 << 7;
    QTest::newRow("drive path") << "C:\\a\\b" << 0 << 3 << -1 << 2 << 4;
    QTest::newRow("rooted") << "\\dir" << 0 << 1 << -1 << 0 << 0;
    QTest::newRow("lone separator") << "\\" << 0 << 1 << -1 << 0 << 0;
    QTest::newRow("relative") << "dir/file" << 0 << 0 << -1 << 3 << 3;
    QTest::newRow("no separator") << "file" << 0 << 0 << -1 << -1 << -1;
    QTest::newRow("stream") << "dir\\file.txt:extra" << 0 << 0 << 12 << 3 << 3;
    QTest::newRow("stream with type") << "C:\\f:s:$DATA" << 0 << 3 << 4 << 2 << 2;
    QTest::newRow("colon in folder") << "a:b\\c" << 0 << 0 << -1 << 3 << 3;
    QTest::newRow("drive relative stream") << "c:file:x" << 0 << 0 << 6 << -1 << -1;
    QTest::newRow("drive only") << "C:" << 0 << 0 << -1 << -1 << -1;
}

void TestFileSystemOps::pathLengthRules()
{
    QFETCH(QString, path);
    const WideString wide = toWideString(path);
    QTEST(ServerPrefixLength(wide), "serverPrefix");
    QTEST(RootPrefixLength(wide), "rootPrefix");
    QTEST(FindStreamColon(wide), "streamColon");
    QTEST(FirstSeparator(wide), "firstSeparator");
    QTEST(LastSeparator(wide), "lastSeparator");
}

void TestFileSystemOps::caseInsensitiveComparisons()
{
    QCOMPARE(ShareRootLength(L"srv\\share\\dir"), 10);
    QCOMPARE(ShareRootLength(L"srv\\share"), 0);
    QCOMPARE(ShareRootLength(L"srv"), 0);

    QVERIFY(EqualsNoCase(L"Stream:$Data", L"STREAM:$DATA"));
    QVERIFY(EqualsNoCase(L"\x00E9t\x00E9", L"\x00C9T\x00C9"));
    QVERIFY(!EqualsNoCase(L"[", L"{")); // only a-z move by 32
    QVERIFY(!EqualsNoCase(L"abc", L"abcd"));

    QVERIFY(EqualsAsciiNoCase(L":$data", ":$DATA"));
    QVERIFY(EqualsAsciiNoCase(L"", ""));
    QVERIFY(!EqualsAsciiNoCase(L"\x212A", "k")); // Kelvin sign: above 127 matches only itself
    QVERIFY(!EqualsAsciiNoCase(L":$DAT", ":$DATA"));
    QVERIFY(!EqualsAsciiNoCase(L":$DATAX", ":$DATA"));
}

void TestFileSystemOps::streamNames()
{
    QCOMPARE(StreamLookupName(L":extra"), WideString(L":extra:$DATA"));
    QCOMPARE(StreamLookupName(L"::$DATA"), WideString(L"::$DATA"));
    QCOMPARE(StreamLookupName(L":x:$data"), WideString(L":x:$data"));
    QCOMPARE(StreamLookupName(L":$DATA"), WideString(L":$DATA:$DATA")); // 6 characters
    QCOMPARE(StreamEntrySuffix(L":extra:$DATA"), WideString(L":extra"));
    QCOMPARE(StreamEntrySuffix(L"::$DATA"), WideString(L"::$DATA"));
}

void TestFileSystemOps::reservedDeviceNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("reserved");
    for (const char *name : {"CON", "con", "Prn", "AUX", "nul", "CONIN$", "conout$", "COM1", "com9", "LPT0",
                             "COM\u00B9", "lpt\u00B3", "aux.txt", "NUL.tar.gz", "con .txt", "CON  "})
        QTest::addRow("[%s]", name) << QString::fromUtf8(name) << true;
    for (const char *name : {"", "CONSOLE", "xcon", "auxiliary.txt", "COM", "COM10", "LPTX", "COM\u00B4",
                             ".con", "nul_", "a.con"})
        QTest::addRow("[%s]", name) << QString::fromUtf8(name) << false;
}

void TestFileSystemOps::reservedDeviceNames()
{
    QFETCH(QString, name);
    QTEST(IsReservedDeviceName(toWideString(name)), "reserved");
}

void TestFileSystemOps::ensureTrailingSeparator()
{
    WideString path(L"dir/");
    EnsureTrailingSeparator(path);
    QCOMPARE(path, WideString(L"dir/"));
    path = L"dir";
    EnsureTrailingSeparator(path);
    QCOMPARE(path, WideString(L"dir\\"));
    EnsureTrailingSeparator(path);
    QCOMPARE(path, WideString(L"dir\\"));
    path.clear();
    EnsureTrailingSeparator(path);
    QVERIFY(path.isEmpty());
}

void TestFileSystemOps::createDirectoryChainBuildsMissingLevels()
{
    QVERIFY(QDir(dir.path()).mkdir("a"));
    QVERIFY(CreateDirectoryChain(toWideString(dir.path() + "\\a\\b\\c")));
    QVERIFY(QFileInfo(dir.filePath("a/b/c")).isDir());

    const QByteArray native = QFile::encodeName(dir.filePath("a/b"));
    struct stat before;
    QVERIFY(::stat(native.constData(), &before) == 0);
    QVERIFY(CreateDirectoryChain(toWideString(dir.path() + "/a/b")));
    QVERIFY(CreateDirectoryChain(toWideString(dir.path() + "/a/b/c\\")));
    QVERIFY(CreateDirectoryChain(toWideString(dir.path() + "/a/b/d\\")));
    QVERIFY(QFileInfo(dir.filePath("a/b/d")).isDir());

    // Relative to the current directory, every level missing.
    QVERIFY(CreateDirectoryChain(L"x\\y/z"));
    QVERIFY(QFileInfo(dir.filePath("x/y/z")).isDir());
    QVERIFY(CreateDirectoryChain(L"\\"));
}

void TestFileSystemOps::createDirectoryChainFailsOnFileOrMissingDrive()
{
    makeFile("file");
    QVERIFY(!CreateDirectoryChain(toWideString(dir.path() + "/file/sub/deeper")));
    QCOMPARE(GetLastErrorNumber(), kErrorAlreadyExists);
    QVERIFY(!QFileInfo(dir.filePath("file/sub")).exists());
    QVERIFY(!CreateDirectoryChain(toWideString(dir.path() + "/file")));
    QVERIFY(QFileInfo(dir.filePath("file")).isFile());

    QVERIFY(!CreateDirectoryChain(L"Q:\\"));
    QVERIFY(!QFileInfo(dir.filePath("Q:")).exists());
}

void TestFileSystemOps::forceDeleteFile()
{
    makeFile("readonly.txt");
    setPermissions(dir.filePath("readonly.txt"), 0444);
    QVERIFY(ForceDeleteFile(pathOf("readonly.txt")));
    QVERIFY(!QFileInfo::exists(dir.filePath("readonly.txt")));

    QVERIFY(!ForceDeleteFile(pathOf("missing.txt")));
    QCOMPARE(GetLastErrorNumber(), kErrorFileNotFound);

    QVERIFY(QDir(dir.path()).mkdir("folder"));
    QVERIFY(!ForceDeleteFile(pathOf("folder")));
    QCOMPARE(GetLastErrorNumber(), kErrorAccessDenied);
    QVERIFY(QFileInfo(dir.filePath("folder")).isDir());
}

void TestFileSystemOps::applyFileAttributesMapsUnixModeAndReadOnly()
{
    const QString file = dir.filePath("attr.txt");
    makeFile("attr.txt");
    setPermissions(file, 0600);
    QVERIFY(ApplyFileAttributes(pathOf("attr.txt"), 0x81A48020u));
    QCOMPARE(permissionsOf(file), mode_t(0644));

    // Windows bits only: read-only takes every write bit, clearing it gives the owner's back.
    QVERIFY(ApplyFileAttributes(pathOf("attr.txt"), 0x21));
    QCOMPARE(permissionsOf(file), mode_t(0444));
    QVERIFY(ApplyFileAttributes(pathOf("attr.txt"), 0x20));
    QCOMPARE(permissionsOf(file), mode_t(0644));

    // Set-user-id, set-group-id and sticky never come from an archive.
    QVERIFY(ApplyFileAttributes(pathOf("attr.txt"), 0xEDED8020u)); // 0106755
    QCOMPARE(permissionsOf(file), mode_t(0755));

    // A read-only directory from an archive stays open to its owner so its content can still be written.
    QVERIFY(QDir(dir.path()).mkdir("ro-dir"));
    QVERIFY(ApplyFileAttributes(pathOf("ro-dir"), 0x416D8010u)); // 040555
    QCOMPARE(permissionsOf(dir.filePath("ro-dir")), mode_t(0755));
    QVERIFY(ApplyFileAttributes(pathOf("ro-dir"), 0x11));
    QCOMPARE(permissionsOf(dir.filePath("ro-dir")), mode_t(0755));

    QVERIFY(!ApplyFileAttributes(pathOf("missing.txt"), 0x81A48020u));
    QCOMPARE(GetLastErrorNumber(), kErrorFileNotFound);

    // A symbolic link is refused, never followed to what it points to.
    QVERIFY(QFile::link(file, dir.filePath("link")));
    QVERIFY(QFile::link(dir.filePath("ro-dir"), dir.filePath("dir-link")));
    for (const UInt32 attributes : {0x81FF8020u, 0x21u}) {
        QVERIFY(!ApplyFileAttributes(pathOf("link"), attributes));
        QVERIFY(!ApplyFileAttributes(pathOf("dir-link"), attributes));
    }
    QCOMPARE(permissionsOf(file), mode_t(0755));
    QCOMPARE(permissionsOf(dir.filePath("ro-dir")), mode_t(0755));
}

void TestFileSystemOps::applyFileAttributesToOpenFileChangesThatFileOnly_data()
{
    QTest::addColumn<uint>("mode");
    QTest::addColumn<UInt32>("attributes");
    QTest::addColumn<uint>("expected");
    QTest::newRow("unix mode") << 0600u << 0x81A48020u << 0644u;
    QTest::newRow("no set-user-id, set-group-id or sticky") << 0600u << 0xEDED8020u << 0755u; // 0106755
    QTest::newRow("read-only") << 0644u << 0x21u << 0444u;
    QTest::newRow("not read-only") << 0444u << 0x20u << 0644u;
    QTest::newRow("unix flag without a mode") << 0644u << 0x8021u << 0444u;
}

void TestFileSystemOps::applyFileAttributesToOpenFileChangesThatFileOnly()
{
    QFETCH(uint, mode);
    QFETCH(UInt32, attributes);
    QFETCH(uint, expected);
    const QTemporaryDir rowDir(dir.filePath("row-XXXXXX"));
    const QString other = rowDir.filePath("other.txt");
    const QString moved = rowDir.filePath("moved.txt");
    QVERIFY(QFile(other).open(QIODevice::WriteOnly));
    setPermissions(other, 0600);
    CDiskFile file;
    QVERIFY(file.OpenForWrite(toWideString(rowDir.filePath("open.txt")), CDiskFile::Disposition::CreateNew));
    setPermissions(rowDir.filePath("open.txt"), mode);
    // A link put at the path meanwhile leads nowhere: the open file is the one changed.
    QVERIFY(QFile::rename(rowDir.filePath("open.txt"), moved));
    QVERIFY(QFile::link(other, rowDir.filePath("open.txt")));

    QVERIFY(ApplyFileAttributes(file, attributes));
    QCOMPARE(uint(permissionsOf(moved)), expected);
    QCOMPARE(permissionsOf(other), mode_t(0600));
}

void TestFileSystemOps::findEntryReportsFilesDirectoriesAndRoots()
{
    QVERIFY(QDir(dir.path()).mkdir("sub"));
    makeFile("sub/file.bin", QByteArray(1234, 'x'));
    setPermissions(dir.filePath("sub/file.bin"), 0444);
    struct stat info;
    QVERIFY(::stat(QFile::encodeName(dir.filePath("sub/file.bin")).constData(), &info) == 0);

    CFoundEntry entry;
    QVERIFY(FindEntry(toWideString(dir.path() + "\\sub\\file.bin"), entry));
    QCOMPARE(entry.name, WideString(L"file.bin"));
    QCOMPARE(entry.size, 1234u);
    QVERIFY(!entry.isDir());
    QVERIFY(!entry.isAltStream);
    QCOMPARE(entry.attributes & 0xFFFF, kAttributeArchive | kAttributeReadOnly | kAttributeUnixExtension);
    QCOMPARE(entry.attributes >> 16, UInt32(info.st_mode & 0xFFFF));
    const UInt64 mtime = (UInt64(entry.writeTime.dwHighDateTime) << 32) | entry.writeTime.dwLowDateTime;
    QCOMPARE(mtime, (UInt64(info.st_mtim.tv_sec) + 11644473600ull) * 10000000ull +
                        UInt64(info.st_mtim.tv_nsec) / 100);

    QVERIFY(FindEntry(pathOf("sub"), entry));
    QVERIFY(entry.isDir());
    QCOMPARE(entry.name, WideString(L"sub"));
    QCOMPARE(entry.size, 0u);

    QVERIFY(!FindEntry(pathOf("missing"), entry));
    QCOMPARE(GetLastErrorNumber(), kErrorFileNotFound);
    QVERIFY(!FindEntry(toWideString(dir.path() + "/sub/"), entry)); // as FindFirstFileW

    // The root: a directory with an empty name. A drive root: the drive letter and colon.
    QVERIFY(FindEntry(L"\\", entry));
    QVERIFY(entry.isDir());
    QVERIFY(entry.name.isEmpty());
    QVERIFY(QDir(dir.path()).mkdir("C:"));
    QVERIFY(FindEntry(L"C:\\", entry));
    QVERIFY(entry.isDir());
    QCOMPARE(entry.name, WideString(L"C:"));
}

void TestFileSystemOps::findEntryTreatsColonAsOrdinaryCharacter()
{
    makeFile("file.txt", "12345");
    makeFile("a:b", "xy");
    CFoundEntry entry;
    // An existing name with a colon is an ordinary file.
    QVERIFY(FindEntry(pathOf("a:b"), entry));
    QCOMPARE(entry.name, WideString(L"a:b"));
    QCOMPARE(entry.size, 2u);
    QVERIFY(!entry.isAltStream);
    // A stream of an existing file: no named streams here.
    QVERIFY(!FindEntry(pathOf("file.txt:extra"), entry));
    QCOMPARE(GetLastErrorNumber(), kErrorNotImplemented);
    // Neither exists: the plain lookup decides.
    QVERIFY(!FindEntry(pathOf("nothing.txt:extra"), entry));
    QCOMPARE(GetLastErrorNumber(), kErrorFileNotFound);
    // Nothing after the colon: no stream form at all.
    QVERIFY(!FindEntry(pathOf("file.txt:"), entry));
    QCOMPARE(GetLastErrorNumber(), kErrorFileNotFound);
}

void TestFileSystemOps::toOemTextUsesTheLocale()
{
    const WideString text(L"GameDir/caf\x00E9.txt");
    NarrowString target("stale");
    ToOemText(text, target);
    QCOMPARE(QByteArray(target.data()), QByteArray("GameDir/caf\xC3\xA9.txt"));

    QVERIFY(std::setlocale(LC_ALL, "C"));
    ToOemText(text, target);
    std::setlocale(LC_ALL, "C.UTF-8");
    QCOMPARE(QByteArray(target.data()), QByteArray("GameDir/caf_.txt"));

    ToOemText(WideString(), target);
    QVERIFY(target.isEmpty());
}

QTEST_GUILESS_MAIN(TestFileSystemOps)
#include "tst_filesystemops.moc"
