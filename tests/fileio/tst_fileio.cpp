// The path rules, the file streams handed to the engine and the file-system operations over the POSIX
// layer, on real files in a temporary directory.

#include "common/ComPtr.h"
#include "fileio/FileSystemOps.h"
#include "fileio/OutFileStream.h"
#include "tests/support/TestFiles.h"

#include <QtTest>

#include <atomic>

#include <sys/stat.h>

namespace {

mode_t permissionsOf(const QString &path)
{
    struct stat info;
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & 07777 : 010000;
}

bool setPermissions(const QString &path, mode_t mode)
{
    return ::chmod(QFile::encodeName(path).constData(), mode) == 0;
}

} // namespace

class TestFileIo : public QObject
{
    Q_OBJECT

    WideString pathOf(const QString &name) const { return toWideString(dir.filePath(name)); }
    QTemporaryDir dir;
    const QString fixture = dir.filePath("fixture/"); // what every failure leaves as it was
    CDiskFile writer;

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid() && QDir::setCurrent(dir.path()));
        QVERIFY(QDir().mkpath(fixture + "folder"));
        for (const char *name : {"file", "written", "outside/target"})
            QVERIFY(TestFiles::write(fixture + name, "content"));
        QVERIFY(QFile::link(fixture + "outside/target", fixture + "link"));
        QVERIFY(QFile::link(fixture + "outside/new", fixture + "dangling"));
        QVERIFY(QFile::link(fixture + "outside", fixture + "dir-link"));
        QVERIFY(setPermissions(fixture + "outside/target", 0600) &&
                setPermissions(fixture + "outside", 0750));
        UInt32 written = 0;
        QVERIFY(
            writer.OpenForWrite(toWideString(fixture + "written"), CDiskFile::Disposition::CreateAlways) &&
            writer.WriteAll("content", 7, written));
    }

    void pathRules_data()
    {
        QTest::addColumn<QString>("path");
        // HasDrivePrefix, HasDriveRootPrefix, HasLongPathPrefix, HasLongUncPrefix, IsDriveRoot
        QTest::addColumn<int>("prefixes");
        // ServerPrefixLength, RootPrefixLength, FindStreamColon, FirstSeparator, LastSeparator
        QTest::addColumn<QVector<int>>("lengths");
        QTest::newRow("drive only") << "C:" << 0b10000 << QVector<int>{0, 0, -1, -1, -1};
        QTest::newRow("drive root") << "z:/" << 0b11001 << QVector<int>{0, 3, -1, 2, 2};
        QTest::newRow("digit is no drive") << "1:\\" << 0b00000 << QVector<int>{0, 0, -1, 2, 2};
        QTest::newRow("long drive root") << "\\\\?\\C:\\" << 0b00101 << QVector<int>{0, 7, -1, 0, 6};
        QTest::newRow("long drive no separator") << "\\\\?\\C:" << 0b00100 << QVector<int>{0, 0, 5, 0, 3};
        QTest::newRow("unc") << "\\\\?\\UNC\\srv\\share\\x" << 0b00110 << QVector<int>{12, 18, -1, 0, 17};
        QTest::newRow("long unc lower, slashes") << "//?/unc/srv" << 0b00110 << QVector<int>{0, 0, -1, 0, 7};
        QTest::newRow("long uncx") << "\\\\?\\UNCx\\srv" << 0b00100 << QVector<int>{0, 9, -1, 0, 8};
        QTest::newRow("share dir") << "\\\\srv\\share\\dir" << 0b00000 << QVector<int>{6, 12, -1, 0, 11};
        QTest::newRow("empty server") << "\\\\\\share" << 0b00000 << QVector<int>{0, 0, -1, 0, 2};
        QTest::newRow("device") << "\\\\.\\COM1" << 0b00000 << QVector<int>{0, 4, -1, 0, 3};
        QTest::newRow("stream with type") << "C:\\f:s:$DATA" << 0b11000 << QVector<int>{0, 3, 4, 2, 2};
        QTest::newRow("colon in folder") << "a:b\\c" << 0b10000 << QVector<int>{0, 0, -1, 3, 3};
        QTest::newRow("drive relative stream") << "c:file:x" << 0b10000 << QVector<int>{0, 0, 6, -1, -1};
    }

    void pathRules()
    {
        QFETCH(QString, path);
        const WideString wide = toWideString(path);
        int prefixes = 0;
        for (const bool held : {HasDrivePrefix(wide), HasDriveRootPrefix(wide), HasLongPathPrefix(wide),
                                HasLongUncPrefix(wide), IsDriveRoot(wide)})
            prefixes = prefixes << 1 | held;
        QTEST(prefixes, "prefixes");
        QTEST((QVector<int>{ServerPrefixLength(wide), RootPrefixLength(wide), FindStreamColon(wide),
                            FirstSeparator(wide), LastSeparator(wide)}),
              "lengths");
    }

    void reservedDeviceNamesAndStreamNames()
    {
        for (const char *name :
             {"con", "Prn", "conout$", "LPT0", "COM\u00B9", "NUL.tar.gz", "con .txt", "CON  "})
            QVERIFY2(IsReservedDeviceName(toWideString(QString::fromUtf8(name))), name);
        for (const char *name : {"", "CONSOLE", "xcon", "auxiliary.txt", "COM10", "COM\u00B4", "a.con"})
            QVERIFY2(!IsReservedDeviceName(toWideString(QString::fromUtf8(name))), name);
        QCOMPARE(StreamLookupName(L":extra"), WideString(L":extra:$DATA"));
        QCOMPARE(StreamLookupName(L":x:$data"), WideString(L":x:$data"));
        QCOMPARE(StreamEntrySuffix(L":extra:$DATA"), WideString(L":extra"));
        QCOMPARE(StreamEntrySuffix(L"::$DATA"), WideString(L"::$DATA"));
    }

    void failuresReportWindowsErrorNumbersAndChangeNothing_data()
    {
        QTest::addColumn<QString>("call"); // an operation, a space, a path in the fixture
        QTest::addColumn<UInt32>("error");
        const UInt32 loop = 0x88000000u | ELOOP; // an errno without a Windows number stays recognisable
        QTest::newRow("read missing") << "read missing" << kErrorFileNotFound;
        QTest::newRow("read a directory") << "read folder" << kErrorAccessDenied;
        QTest::newRow("create new over a file") << "createNew file" << kErrorFileExists;
        QTest::newRow("second writer") << "create written" << kErrorSharingViolation;
        QTest::newRow("write through a link") << "create link" << loop;
        QTest::newRow("write through a dangling link") << "create dangling" << loop;
        QTest::newRow("delete missing") << "delete missing" << kErrorFileNotFound;
        QTest::newRow("delete a directory") << "delete folder" << kErrorAccessDenied;
        QTest::newRow("directory below a file") << "mkdir file/sub" << kErrorAlreadyExists;
        QTest::newRow("directory below a link") << "mkdirBeneath dir-link/sub" << kErrorAlreadyExists;
        QTest::newRow("find with a trailing separator") << "find folder/" << kErrorFileNotFound;
        QTest::newRow("find a named stream") << "find file:extra" << kErrorNotImplemented;
        QTest::newRow("attributes through a link") << "attributes link" << loop;
    }

    void failuresReportWindowsErrorNumbersAndChangeNothing()
    {
        QFETCH(QString, call);
        const QString operation = call.section(' ', 0, 0);
        const QString path = call.section(' ', 1);
        const WideString wide = toWideString(fixture + path);
        CDiskFile file;
        CFoundEntry entry;
        SetLastErrorNumber(0);
        const bool done =
            operation == "read"        ? file.OpenForRead(wide)
            : operation == "create"    ? file.OpenForWrite(wide, CDiskFile::Disposition::CreateAlways)
            : operation == "createNew" ? file.OpenForWrite(wide, CDiskFile::Disposition::CreateNew)
            : operation == "delete"    ? ForceDeleteFile(wide)
            : operation == "mkdir"     ? CreateDirectoryChain(wide)
            : operation == "mkdirBeneath"
                ? CreateDirectoryChainBeneath(toWideString(fixture), toWideString(path))
            : operation == "find" ? FindEntry(wide, entry)
                                  : ApplyFileAttributes(wide, 0x81FF8020u);
        QVERIFY(!done);
        QTEST(GetLastErrorNumber(), "error");
        for (const char *name : {"file", "written", "outside/target"})
            QCOMPARE(QFileInfo(fixture + name).size(), qint64(7));
        QCOMPARE(QDir(fixture + "outside").entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
                 QStringList{"target"});
        QVERIFY(permissionsOf(fixture + "outside") == 0750 &&
                permissionsOf(fixture + "outside/target") == 0600);
        QVERIFY(QFileInfo(fixture + "folder").isDir());
    }

    void openingAndDirectoryChainsSucceed()
    {
        QVERIFY(TestFiles::write("exists.bin", QByteArray(8000, 'o')));
        auto *stream = new COutFileStream;
        ComPtr<IOutStream> held(stream);
        QVERIFY(stream->OpenForWrite(pathOf("exists.bin"), CDiskFile::Disposition::CreateAlways));
        QCOMPARE(QFileInfo("exists.bin").size(), qint64(0));
        QVERIFY(held->Write(QByteArray(1000, 'w').constData(), 1000, nullptr) == S_OK);
        QVERIFY(stream->processedSize() == 1000u && held->SetSize(200) == S_OK &&
                held->SetSize(5000) == S_OK);
        // A stop, set from the worker's thread, refuses the next write before it reaches the file.
        std::atomic<bool> stop{true};
        stream->stopWritesWhen(&stop);
        UInt32 written = 1;
        QVERIFY(held->Write("x", 1, &written) == E_ABORT && written == 0);
        held.reset();
        QVERIFY(TestFiles::read("exists.bin") == QByteArray(200, 'w') + QByteArray(4800, '\0'));
        // The last release closed the file: another writer may open it.
        CDiskFile file;
        QVERIFY(file.OpenForWrite(pathOf("exists.bin"), CDiskFile::Disposition::CreateAlways));
        // A backslash separates directories, as the engine's paths from Windows archives expect.
        QVERIFY(CreateDirectoryChainBeneath(pathOf("a"), L"b\\d/e"));
        QVERIFY(file.OpenForWrite(toWideString(dir.path() + "\\a\\b\\d\\e\\in"),
                                  CDiskFile::Disposition::CreateNew));
        QVERIFY(QFileInfo(dir.filePath("a/b/d/e/in")).isFile());
        QVERIFY(!CreateDirectoryChain(L"Q:\\") && !QFileInfo::exists(dir.filePath("Q:")));
        // A colon is an ordinary character; the root is a directory with an empty name.
        QVERIFY(TestFiles::write("a:b", "content"));
        CFoundEntry entry;
        QVERIFY(FindEntry(pathOf("a:b"), entry) && entry.name == WideString(L"a:b") && !entry.isAltStream);
        QVERIFY(FindEntry(L"\\", entry) && entry.isDir() && entry.name.isEmpty());
        QVERIFY(TestFiles::write("readonly.txt", "content") && setPermissions("readonly.txt", 0444));
        QVERIFY(ForceDeleteFile(pathOf("readonly.txt")) && !QFileInfo::exists("readonly.txt"));
    }

    void appliedAttributesKeepToPermissionBits_data()
    {
        QTest::addColumn<bool>("directory");
        QTest::addColumn<uint>("mode");
        QTest::addColumn<UInt32>("attributes");
        QTest::addColumn<uint>("expected");
        QTest::newRow("unix mode") << false << 0600u << 0x81A48020u << 0644u;
        QTest::newRow("no set-user-id, set-group-id or sticky") << false << 0600u << 0xEDED8020u << 0755u;
        QTest::newRow("read-only") << false << 0644u << 0x21u << 0444u;
        QTest::newRow("not read-only") << false << 0444u << 0x20u << 0644u;
        // A read-only directory stays open to its owner so that its content can still be written.
        QTest::newRow("read-only unix directory") << true << 0700u << 0x416D8010u << 0755u;
        QTest::newRow("read-only directory") << true << 0755u << 0x11u << 0755u;
    }

    void appliedAttributesKeepToPermissionBits()
    {
        QFETCH(bool, directory);
        QFETCH(uint, mode);
        QFETCH(UInt32, attributes);
        QFETCH(uint, expected);
        const QTemporaryDir rowDir(dir.filePath("row-XXXXXX"));
        const QString target = rowDir.filePath("target");
        CDiskFile file;
        QVERIFY(directory ? QDir().mkdir(target)
                          : file.OpenForWrite(toWideString(target), CDiskFile::Disposition::CreateNew));
        QVERIFY(setPermissions(target, mode) && ApplyFileAttributes(toWideString(target), attributes));
        QCOMPARE(uint(permissionsOf(target)), expected);
        if (directory)
            return;
        // An open file: a link put at its path meanwhile leads nowhere, the open file is the one changed.
        const QString other = target + "-other";
        QVERIFY(TestFiles::write(other, "") && setPermissions(other, 0600) && setPermissions(target, mode));
        QVERIFY(QFile::rename(target, target + "-moved") && QFile::link(other, target));
        QVERIFY(ApplyFileAttributes(file, attributes));
        QCOMPARE(uint(permissionsOf(target + "-moved")), expected);
        QCOMPARE(permissionsOf(other), mode_t(0600));
    }
};

QTEST_GUILESS_MAIN(TestFileIo)
#include "tst_fileio.moc"
