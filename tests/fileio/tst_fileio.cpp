// The path rules, the file streams handed to the engine and the file-system operations over the POSIX
// layer, on real files in a temporary directory.

#include "common/ComPtr.h"
#include "fileio/FileSystemOps.h"
#include "fileio/InFileStream.h"
#include "fileio/OutFileStream.h"

#include <QtTest>

#include <clocale>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

mode_t permissionsOf(const QString &path)
{
    struct stat info;
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & 07777 : 010000;
}

void setPermissions(const QString &path, mode_t mode)
{
    QVERIFY(::chmod(QFile::encodeName(path).constData(), mode) == 0);
}

} // namespace

class TestFileIo : public QObject
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
    void reservedDeviceNames_data();
    void reservedDeviceNames();
    void nameComparisonsAndStreamNames();

    void failuresReportWindowsErrorNumbersAndChangeNothing_data();
    void failuresReportWindowsErrorNumbersAndChangeNothing();
    void openingAndDirectoryChainsSucceed();
    void inputStreamReadsAtMostFourMebibytesAndSeeksLikeWindows();
    void outputStreamWritesSizesAndOnlyTheModificationTime();
    void streamsAnswerOnlyTheirInterfacesAndDescribeTheFile();
    void failedCloseReleasesTheDescriptor();
    void appliedAttributesKeepToPermissionBits_data();
    void appliedAttributesKeepToPermissionBits();

private:
    WideString pathOf(const QString &name) const { return toWideString(dir.filePath(name)); }
    // `name` relative to the current directory, the test's temporary directory, or absolute.
    void makeFile(const QString &name, const QByteArray &content = "content") const
    {
        QFile file(name);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
    }

    QTemporaryDir dir;
    QString previousDirectory;
};

void TestFileIo::initTestCase()
{
    // Upper-casing beyond ASCII follows the locale, as CharUpperW follows Unicode.
    QVERIFY(std::setlocale(LC_ALL, "C.UTF-8"));
}

void TestFileIo::init()
{
    QVERIFY(dir.isValid());
    previousDirectory = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
    SetLastErrorNumber(0);
}

void TestFileIo::cleanup()
{
    QDir::setCurrent(previousDirectory);
}

void TestFileIo::pathPrefixRules_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QStringList>("prefixes"); // which of the five prefix tests hold
    QTest::newRow("drive only") << "C:" << QStringList{"drive"};
    QTest::newRow("drive root") << "C:\\" << QStringList{"drive", "driveRoot", "isDriveRoot"};
    QTest::newRow("drive root slash") << "z:/" << QStringList{"drive", "driveRoot", "isDriveRoot"};
    QTest::newRow("drive dir") << "C:\\dir" << QStringList{"drive", "driveRoot"};
    QTest::newRow("digit is no drive") << "1:\\" << QStringList{};
    QTest::newRow("long drive root") << "\\\\?\\C:\\" << QStringList{"long", "isDriveRoot"};
    QTest::newRow("long drive dir") << "\\\\?\\C:\\x" << QStringList{"long"};
    QTest::newRow("long unc") << "\\\\?\\UNC\\srv\\share" << QStringList{"long", "longUnc"};
    QTest::newRow("long unc lower, slashes") << "//?/unc/srv" << QStringList{"long", "longUnc"};
    QTest::newRow("long uncx") << "\\\\?\\UNCx\\srv" << QStringList{"long"};
    QTest::newRow("device") << "\\\\.\\COM1" << QStringList{};
    QTest::newRow("share") << "\\\\srv\\share\\dir" << QStringList{};
    QTest::newRow("empty") << "" << QStringList{};
}

void TestFileIo::pathPrefixRules()
{
    QFETCH(QString, path);
    const WideString wide = toWideString(path);
    QStringList held;
    for (const auto &test : {qMakePair(QString("drive"), HasDrivePrefix(wide)),
                             qMakePair(QString("driveRoot"), HasDriveRootPrefix(wide)),
                             qMakePair(QString("long"), HasLongPathPrefix(wide)),
                             qMakePair(QString("longUnc"), HasLongUncPrefix(wide)),
                             qMakePair(QString("isDriveRoot"), IsDriveRoot(wide))})
        if (test.second)
            held << test.first;
    QTEST(held, "prefixes");
}

void TestFileIo::pathLengthRules_data()
{
    QTest::addColumn<QString>("path");
    // ServerPrefixLength, RootPrefixLength, FindStreamColon, FirstSeparator, LastSeparator
    QTest::addColumn<QVector<int>>("lengths");
    QTest::newRow("share") << "\\\\srv\\share" << QVector<int>{6, 0, -1, 0, 5};
    QTest::newRow("share dir") << "\\\\srv\\share\\dir" << QVector<int>{6, 12, -1, 0, 11};
    QTest::newRow("server only") << "\\\\srv" << QVector<int>{0, 0, -1, 0, 1};
    QTest::newRow("empty server") << "\\\\\\share" << QVector<int>{0, 0, -1, 0, 2};
    QTest::newRow("device") << "\\\\.\\COM1" << QVector<int>{0, 4, -1, 0, 3};
    QTest::newRow("long drive") << "\\\\?\\C:\\dir" << QVector<int>{0, 7, -1, 0, 6};
    QTest::newRow("long drive no separator") << "\\\\?\\C:" << QVector<int>{0, 0, 5, 0, 3};
    QTest::newRow("long unc") << "\\\\?\\UNC\\srv\\share\\x" << QVector<int>{12, 18, -1, 0, 17};
    QTest::newRow("long unc no share") << "\\\\?\\UNC\\srv" << QVector<int>{0, 0, -1, 0, 7};
    QTest::newRow("drive path") << "C:\\a\\b" << QVector<int>{0, 3, -1, 2, 4};
    QTest::newRow("rooted") << "\\dir" << QVector<int>{0, 1, -1, 0, 0};
    QTest::newRow("lone separator") << "\\" << QVector<int>{0, 1, -1, 0, 0};
    QTest::newRow("relative") << "dir/file" << QVector<int>{0, 0, -1, 3, 3};
    QTest::newRow("no separator") << "file" << QVector<int>{0, 0, -1, -1, -1};
    QTest::newRow("stream") << "dir\\file.txt:extra" << QVector<int>{0, 0, 12, 3, 3};
    QTest::newRow("stream with type") << "C:\\f:s:$DATA" << QVector<int>{0, 3, 4, 2, 2};
    QTest::newRow("colon in folder") << "a:b\\c" << QVector<int>{0, 0, -1, 3, 3};
    QTest::newRow("drive relative stream") << "c:file:x" << QVector<int>{0, 0, 6, -1, -1};
    QTest::newRow("drive only") << "C:" << QVector<int>{0, 0, -1, -1, -1};
}

void TestFileIo::pathLengthRules()
{
    QFETCH(QString, path);
    const WideString wide = toWideString(path);
    QTEST((QVector<int>{ServerPrefixLength(wide), RootPrefixLength(wide), FindStreamColon(wide),
                        FirstSeparator(wide), LastSeparator(wide)}),
          "lengths");
}

void TestFileIo::reservedDeviceNames_data()
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

void TestFileIo::reservedDeviceNames()
{
    QFETCH(QString, name);
    QTEST(IsReservedDeviceName(toWideString(name)), "reserved");
}

void TestFileIo::nameComparisonsAndStreamNames()
{
    QCOMPARE(ShareRootLength(L"srv\\share\\dir"), 10);
    QCOMPARE(ShareRootLength(L"srv\\share"), 0);
    QVERIFY(EqualsNoCase(L"\x00E9t\x00E9:$Data", L"\x00C9T\x00C9:$DATA"));
    QVERIFY(!EqualsNoCase(L"[", L"{")); // only a-z move by 32
    QVERIFY(!EqualsNoCase(L"abc", L"abcd"));
    QVERIFY(EqualsAsciiNoCase(L":$data", ":$DATA"));
    QVERIFY(!EqualsAsciiNoCase(L"\x212A", "k")); // Kelvin sign: above 127 matches only itself
    QVERIFY(!EqualsAsciiNoCase(L":$DAT", ":$DATA") && !EqualsAsciiNoCase(L":$DATAX", ":$DATA"));
    QCOMPARE(StreamLookupName(L":extra"), WideString(L":extra:$DATA"));
    QCOMPARE(StreamLookupName(L":x:$data"), WideString(L":x:$data"));
    QCOMPARE(StreamLookupName(L":$DATA"), WideString(L":$DATA:$DATA")); // 6 characters
    QCOMPARE(StreamEntrySuffix(L":extra:$DATA"), WideString(L":extra"));
    QCOMPARE(StreamEntrySuffix(L"::$DATA"), WideString(L"::$DATA"));
    WideString path(L"dir");
    EnsureTrailingSeparator(path);
    EnsureTrailingSeparator(path);
    QCOMPARE(path, WideString(L"dir\\"));
}

void TestFileIo::failuresReportWindowsErrorNumbersAndChangeNothing_data()
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
    QTest::newRow("create new at a dangling link") << "createNew dangling" << kErrorFileExists;
    QTest::newRow("delete missing") << "delete missing" << kErrorFileNotFound;
    QTest::newRow("delete a directory") << "delete folder" << kErrorAccessDenied;
    QTest::newRow("directory below a file") << "mkdir file/sub" << kErrorAlreadyExists;
    QTest::newRow("directory below a link") << "mkdirBeneath dir-link/sub" << kErrorAlreadyExists;
    QTest::newRow("find missing") << "find missing" << kErrorFileNotFound;
    QTest::newRow("find with a trailing separator") << "find folder/" << kErrorFileNotFound;
    QTest::newRow("find a named stream") << "find file:extra" << kErrorNotImplemented;
    QTest::newRow("find a stream of nothing") << "find missing:extra" << kErrorFileNotFound;
    QTest::newRow("find an empty stream name") << "find file:" << kErrorFileNotFound;
    QTest::newRow("attributes of missing") << "attributes missing" << kErrorFileNotFound;
    QTest::newRow("attributes through a link") << "attributes link" << loop;
    QTest::newRow("attributes through a directory link") << "attributes dir-link" << loop;
}

void TestFileIo::failuresReportWindowsErrorNumbersAndChangeNothing()
{
    const QTemporaryDir rowDir(dir.filePath("row-XXXXXX"));
    const QString fixture = rowDir.path() + "/";
    QVERIFY(QDir().mkpath(fixture + "folder") && QDir().mkpath(fixture + "outside"));
    for (const char *name : {"file", "written", "outside/target"})
        makeFile(fixture + name);
    QVERIFY(QFile::link(fixture + "outside/target", fixture + "link"));
    QVERIFY(QFile::link(fixture + "outside/new", fixture + "dangling"));
    QVERIFY(QFile::link(fixture + "outside", fixture + "dir-link"));
    setPermissions(fixture + "outside/target", 0600);
    setPermissions(fixture + "outside", 0750);
    CDiskFile writer;
    QVERIFY(writer.OpenForWrite(toWideString(fixture + "written"), CDiskFile::Disposition::CreateAlways));
    UInt32 written = 0;
    QVERIFY(writer.WriteAll("content", 7, written));

    QFETCH(QString, call);
    const QString operation = call.section(' ', 0, 0);
    const QString path = call.section(' ', 1);
    const WideString wide = toWideString(fixture + path);
    CDiskFile file;
    CFoundEntry entry;
    SetLastErrorNumber(0);
    const bool done = operation == "read"     ? file.OpenForRead(wide)
                      : operation == "create" ? file.OpenForWrite(wide, CDiskFile::Disposition::CreateAlways)
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
    QCOMPARE(permissionsOf(fixture + "outside"), mode_t(0750));
    QCOMPARE(permissionsOf(fixture + "outside/target"), mode_t(0600));
    QVERIFY(QFileInfo(fixture + "folder").isDir());
}

void TestFileIo::openingAndDirectoryChainsSucceed()
{
    makeFile("exists.bin", "old content");
    CDiskFile file;
    QVERIFY(file.OpenForWrite(pathOf("exists.bin"), CDiskFile::Disposition::CreateAlways));
    QCOMPARE(QFileInfo(dir.filePath("exists.bin")).size(), qint64(0));
    // A backslash separates directories, as the engine's paths from Windows archives expect.
    QVERIFY(CreateDirectoryChain(toWideString(dir.path() + "\\a\\b/c\\")));
    QVERIFY(CreateDirectoryChain(toWideString(dir.path() + "/a/b")));
    QVERIFY(CreateDirectoryChain(L"x\\y")); // relative to the current directory
    QVERIFY(CreateDirectoryChainBeneath(pathOf("a"), L"b\\d/e"));
    QVERIFY(file.OpenForWrite(toWideString(dir.path() + "\\a\\b\\d\\e\\inner.bin"),
                              CDiskFile::Disposition::CreateNew));
    QVERIFY(QFileInfo(dir.filePath("a/b/d/e/inner.bin")).isFile() && QFileInfo(dir.filePath("x/y")).isDir());
    QVERIFY(!CreateDirectoryChain(L"Q:\\"));
    QVERIFY(!QFileInfo::exists(dir.filePath("Q:")));
    // A colon is an ordinary character; the root is a directory with an empty name.
    makeFile("a:b");
    CFoundEntry entry;
    QVERIFY(FindEntry(pathOf("a:b"), entry) && entry.name == WideString(L"a:b") && !entry.isAltStream);
    QVERIFY(FindEntry(L"\\", entry) && entry.isDir() && entry.name.isEmpty());
    makeFile("readonly.txt");
    setPermissions(dir.filePath("readonly.txt"), 0444);
    QVERIFY(ForceDeleteFile(pathOf("readonly.txt")));
    QVERIFY(!QFileInfo::exists(dir.filePath("readonly.txt")));
}

void TestFileIo::inputStreamReadsAtMostFourMebibytesAndSeeksLikeWindows()
{
    QByteArray source(10 << 20, '\0');
    for (int i = 0; i < source.size(); ++i)
        source[i] = char(i * 7 + i / 4096);
    makeFile("big.bin", source);
    auto *stream = new CInFileStream;
    ComPtr<IInStream> held(stream);
    QVERIFY(stream->OpenForRead(pathOf("big.bin")));
    QByteArray buffer(source.size(), '\0');
    UInt32 processed = 0;
    for (int chunk = 0; chunk < 2; ++chunk) {
        QCOMPARE(held->Read(buffer.data(), UInt32(buffer.size()), &processed), S_OK);
        QCOMPARE(processed, 4194304u);
        QVERIFY(buffer.left(4194304) == source.mid(chunk * 4194304, 4194304));
    }
    UInt64 position = 0;
    QCOMPARE(held->Seek(-10, 2, &position), S_OK);
    QCOMPARE(held->Read(buffer.data(), 100, &processed), S_OK);
    QCOMPARE(processed, 10u);
    QCOMPARE(held->Read(buffer.data(), 100, &processed), S_OK);
    QCOMPARE(processed, 0u);
    QCOMPARE(held->Seek(40, 0, &position), S_OK);
    QCOMPARE(held->Seek(10, 3, &position), STG_E_INVALIDFUNCTION);
    QCOMPARE(held->Seek(-41, 1, &position), HRESULT(0x80070083u)); // error 131, negative seek
    QCOMPARE(held->Seek(0, 1, &position), S_OK);
    QCOMPARE(position, 40u);

    // A stream whose file never opened: "invalid handle" (6); GetProps2 returns the bare number.
    auto *closed = new CInFileStream;
    ComPtr<IInStream> closedHeld(closed);
    QCOMPARE(closedHeld->Read(buffer.data(), 4, &processed), HRESULT(0x80070006u));
    StreamFileProps props{};
    QCOMPARE(closed->GetProps2(&props), HRESULT(6));
    QCOMPARE(ResultFromErrorNumber(0), E_FAIL);
}

void TestFileIo::outputStreamWritesSizesAndOnlyTheModificationTime()
{
    const QByteArray source(9 * 1024 * 1024 + 5, 'w');
    auto *stream = new COutFileStream;
    ComPtr<IOutStream> held(stream);
    stream->resetProcessedSize();
    QVERIFY(stream->OpenForWrite(pathOf("out.bin"), CDiskFile::Disposition::CreateAlways));
    UInt32 processed = 0;
    QCOMPARE(held->Write(source.constData(), UInt32(source.size()), &processed), S_OK);
    QCOMPARE(processed, UInt32(source.size()));
    QCOMPARE(held->Write("tail", 4, nullptr), S_OK);
    QCOMPARE(stream->processedSize(), UInt64(source.size() + 4));
    UInt64 position = 0;
    QCOMPARE(held->Seek(300, 0, &position), S_OK);
    QCOMPARE(held->SetSize(200), S_OK);
    QCOMPARE(held->SetSize(5000), S_OK);
    QCOMPARE(held->Seek(0, 1, &position), S_OK);
    QCOMPARE(position, 300u);
    const UInt64 ticks = (1577836800ull + 11644473600ull) * 10000000ull; // 2020-01-01 00:00:00 UTC
    QVERIFY(stream->SetModificationTime(FILETIME{UInt32(ticks), UInt32(ticks >> 32)}));
    held.reset();
    struct stat info;
    QVERIFY(::stat(QFile::encodeName(dir.filePath("out.bin")).constData(), &info) == 0);
    QCOMPARE(qint64(info.st_mtim.tv_sec), qint64(1577836800));
    QVERIFY(info.st_atim.tv_sec != 1577836800);
    QFile written(dir.filePath("out.bin"));
    QVERIFY(written.open(QIODevice::ReadOnly));
    QVERIFY(written.readAll() == source.left(200) + QByteArray(4800, '\0'));
    // The last release closed the file: another writer may open it.
    CDiskFile writer;
    QVERIFY(writer.OpenForWrite(pathOf("out.bin"), CDiskFile::Disposition::CreateAlways));
}

void TestFileIo::streamsAnswerOnlyTheirInterfacesAndDescribeTheFile()
{
    makeFile("props.bin", QByteArray(4321, 'p'));
    setPermissions(dir.filePath("props.bin"), 0444);
    auto *input = new CInFileStream;
    ComPtr<IInStream> in(input);
    QVERIFY(input->OpenForRead(pathOf("props.bin")));
    ComPtr<IOutStream> out(new COutFileStream);
    void *object = input;
    QCOMPARE(in->QueryInterface(IID_ISequentialInStream, &object), E_NOINTERFACE);
    QVERIFY(!object);
    QCOMPARE(in->QueryInterface(IID_IOutStream, &object), E_NOINTERFACE);
    QCOMPARE(out->QueryInterface(IID_ISequentialOutStream, &object), E_NOINTERFACE);
    QCOMPARE(out->QueryInterface(IID_IStreamGetSize, &object), E_NOINTERFACE);
    ComPtr<IStreamGetSize> getSize;
    QCOMPARE(in->QueryInterface(IID_IStreamGetSize, getSize.putVoid()), S_OK);
    UInt64 size = 0;
    QCOMPARE(getSize->GetSize(&size), S_OK); // through the face's own table
    QCOMPARE(size, 4321u);
    ComPtr<IStreamGetProps2> getProps2;
    QCOMPARE(getSize->QueryInterface(IID_IStreamGetProps2, getProps2.putVoid()), S_OK);
    ComPtr<IUnknown> unknown;
    QCOMPARE(getProps2->QueryInterface(IID_IUnknown, unknown.putVoid()), S_OK);
    QCOMPARE(static_cast<void *>(unknown.get()), static_cast<void *>(static_cast<IInStream *>(input)));

    StreamFileProps props;
    QCOMPARE(getProps2->GetProps2(&props), S_OK);
    QCOMPARE(props.Size, 4321u);
    QCOMPARE(props.Attrib & (kAttributeReadOnly | kAttributeDirectory), kAttributeReadOnly);
    QCOMPARE(props.Attrib >> 16, UInt32(S_IFREG | 0444));
}

void TestFileIo::failedCloseReleasesTheDescriptor()
{
    makeFile("descriptor.bin");
    // The file gets the lowest free descriptor number: find it beforehand.
    const int number = ::open("/dev/null", O_RDONLY);
    QVERIFY(number >= 0);
    ::close(number);
    {
        CDiskFile file;
        QVERIFY(file.OpenForRead(pathOf("descriptor.bin")));
        QCOMPARE(QFile::symLinkTarget(QStringLiteral("/proc/self/fd/%1").arg(number)),
                 dir.filePath("descriptor.bin"));
        // The close fails (the number is no longer open), yet the object must let the number go: another
        // file opened now gets it, and neither a second Close nor the destructor may close that one.
        QCOMPARE(::close(number), 0);
        QVERIFY(!file.Close());
        QCOMPARE(GetLastErrorNumber(), kErrorInvalidHandle);
        QCOMPARE(::open("/dev/null", O_RDONLY), number);
        QVERIFY(file.Close());
    }
    QVERIFY(::fcntl(number, F_GETFD) != -1);
    ::close(number);
}

void TestFileIo::appliedAttributesKeepToPermissionBits_data()
{
    QTest::addColumn<bool>("directory");
    QTest::addColumn<uint>("mode");
    QTest::addColumn<UInt32>("attributes");
    QTest::addColumn<uint>("expected");
    QTest::newRow("unix mode") << false << 0600u << 0x81A48020u << 0644u;
    QTest::newRow("no set-user-id, set-group-id or sticky") << false << 0600u << 0xEDED8020u << 0755u;
    QTest::newRow("read-only") << false << 0644u << 0x21u << 0444u;
    QTest::newRow("not read-only") << false << 0444u << 0x20u << 0644u;
    QTest::newRow("unix flag without a mode") << false << 0644u << 0x8021u << 0444u;
    // A read-only directory stays open to its owner so that its content can still be written.
    QTest::newRow("read-only unix directory") << true << 0700u << 0x416D8010u << 0755u;
    QTest::newRow("read-only directory") << true << 0755u << 0x11u << 0755u;
}

void TestFileIo::appliedAttributesKeepToPermissionBits()
{
    QFETCH(bool, directory);
    QFETCH(uint, mode);
    QFETCH(UInt32, attributes);
    QFETCH(uint, expected);
    const QTemporaryDir rowDir(dir.filePath("row-XXXXXX"));
    const QString target = rowDir.filePath("target");
    QVERIFY(directory ? QDir().mkdir(target) : QFile(target).open(QIODevice::WriteOnly));
    setPermissions(target, mode);
    QVERIFY(ApplyFileAttributes(toWideString(target), attributes));
    QCOMPARE(uint(permissionsOf(target)), expected);
    if (directory)
        return;
    // An open file: a link put at its path meanwhile leads nowhere, the open file is the one changed.
    const QString other = rowDir.filePath("other");
    QVERIFY(QFile(other).open(QIODevice::WriteOnly));
    setPermissions(other, 0600);
    CDiskFile file;
    QVERIFY(file.OpenForWrite(toWideString(rowDir.filePath("open")), CDiskFile::Disposition::CreateNew));
    setPermissions(rowDir.filePath("open"), mode);
    QVERIFY(QFile::rename(rowDir.filePath("open"), rowDir.filePath("moved")));
    QVERIFY(QFile::link(other, rowDir.filePath("open")));
    QVERIFY(ApplyFileAttributes(file, attributes));
    QCOMPARE(uint(permissionsOf(rowDir.filePath("moved"))), expected);
    QCOMPARE(permissionsOf(other), mode_t(0600));
}

QTEST_GUILESS_MAIN(TestFileIo)
#include "tst_fileio.moc"
