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

UInt64 ticksOf(const FILETIME &time)
{
    return (UInt64(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

UInt64 ticksFromUnix(const timespec &time)
{
    return (UInt64(time.tv_sec) + 11644473600ull) * 10000000ull + UInt64(time.tv_nsec) / 100;
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

    void openingFollowsTheDispositionsNeverALink();
    void readsAtMostFourMebibytesAndSeeksLikeWindows();
    void failedCallsReturnTheLastErrorResult();
    void writesSizesAndTimesThroughTheOutputStream();
    void streamsAnswerOnlyTheirInterfaces();
    void propsDescribeTheOpenFile();
    void writersShareForReadingOnlyUntilTheLastRelease();
    void failedCloseReleasesTheDescriptor();

    void directoryChainsStopAtFilesAndLinks();
    void forceDeleteFile();
    void appliedAttributesKeepToPermissionBits_data();
    void appliedAttributesKeepToPermissionBits();
    void findEntryReportsFilesDirectoriesAndRoots();
    void oemTextFollowsTheLocale();

private:
    WideString pathOf(const QString &name) const { return toWideString(dir.filePath(name)); }
    void makeFile(const QString &name, const QByteArray &content = "content") const
    {
        QFile file(dir.filePath(name));
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

void TestFileIo::pathPrefixRules()
{
    QFETCH(QString, path);
    const WideString wide = toWideString(path);
    QTEST(HasDrivePrefix(wide), "drive");
    QTEST(HasDriveRootPrefix(wide), "driveRoot");
    QTEST(HasLongPathPrefix(wide), "longPath");
    QTEST(HasLongUncPrefix(wide), "longUnc");
    QTEST(IsDriveRoot(wide), "isDriveRoot");
}

void TestFileIo::pathLengthRules_data()
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

void TestFileIo::pathLengthRules()
{
    QFETCH(QString, path);
    const WideString wide = toWideString(path);
    QTEST(ServerPrefixLength(wide), "serverPrefix");
    QTEST(RootPrefixLength(wide), "rootPrefix");
    QTEST(FindStreamColon(wide), "streamColon");
    QTEST(FirstSeparator(wide), "firstSeparator");
    QTEST(LastSeparator(wide), "lastSeparator");
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

void TestFileIo::openingFollowsTheDispositionsNeverALink()
{
    CDiskFile file;
    QVERIFY(!file.OpenForRead(pathOf("missing.bin")));
    QCOMPARE(GetLastErrorNumber(), kErrorFileNotFound);
    QVERIFY(QDir(dir.path()).mkdir("folder"));
    QVERIFY(!file.OpenForRead(pathOf("folder")));
    QCOMPARE(GetLastErrorNumber(), kErrorAccessDenied);

    makeFile("exists.bin", "old content");
    QVERIFY(!file.OpenForWrite(pathOf("exists.bin"), CDiskFile::Disposition::CreateNew));
    QCOMPARE(GetLastErrorNumber(), kErrorFileExists);
    QCOMPARE(QFileInfo(dir.filePath("exists.bin")).size(), qint64(11));
    QVERIFY(file.OpenForWrite(pathOf("exists.bin"), CDiskFile::Disposition::CreateAlways));
    QCOMPARE(QFileInfo(dir.filePath("exists.bin")).size(), qint64(0));
    // A backslash separates directories, as the engine's paths from Windows archives expect.
    QVERIFY(file.OpenForWrite(toWideString(dir.path() + "\\folder\\inner.bin"),
                              CDiskFile::Disposition::CreateNew));
    QVERIFY(file.Close());
    QVERIFY(QFileInfo(dir.filePath("folder/inner.bin")).isFile());

    makeFile("target.bin", "kept");
    QVERIFY(QFile::link(dir.filePath("target.bin"), dir.filePath("link.bin")));
    QVERIFY(QFile::link(dir.filePath("no-such.bin"), dir.filePath("dangling.bin")));
    for (const char *link : {"link.bin", "dangling.bin"})
        for (const auto disposition :
             {CDiskFile::Disposition::CreateAlways, CDiskFile::Disposition::CreateNew})
            QVERIFY(!file.OpenForWrite(pathOf(link), disposition));
    QCOMPARE(QFileInfo(dir.filePath("target.bin")).size(), qint64(4));
    QVERIFY(!QFileInfo::exists(dir.filePath("no-such.bin")));
}

void TestFileIo::readsAtMostFourMebibytesAndSeeksLikeWindows()
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
    QCOMPARE(position, 40u);
    QCOMPARE(held->Seek(-41, 1, &position), HRESULT(0x80070083u)); // error 131, negative seek
    QCOMPARE(held->Seek(0, 1, &position), S_OK);
    QCOMPARE(position, 40u);
}

void TestFileIo::failedCallsReturnTheLastErrorResult()
{
    QCOMPARE(ResultFromErrorNumber(0), E_FAIL);
    QCOMPARE(ResultFromErrorNumber(0x1234ABCD), HRESULT(0x8007ABCDu));
    QCOMPARE(ResultFromErrorNumber(0x8800001Cu), HRESULT(0x8800001Cu));
    // A stream whose file never opened: "invalid handle" (6); GetProps and GetProps2 return the bare number.
    auto *stream = new CInFileStream;
    ComPtr<IInStream> held(stream);
    char buffer[4];
    UInt32 processed = 77;
    QCOMPARE(held->Read(buffer, 4, &processed), HRESULT(0x80070006u));
    QCOMPARE(processed, 0u);
    UInt64 size = 0;
    QCOMPARE(stream->GetSize(&size), HRESULT(0x80070006u));
    QCOMPARE(stream->GetProps(&size, nullptr, nullptr, nullptr, nullptr), HRESULT(6));
    StreamFileProps props{};
    QCOMPARE(stream->GetProps2(&props), HRESULT(6));
}

void TestFileIo::writesSizesAndTimesThroughTheOutputStream()
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
    QCOMPARE(QFileInfo(dir.filePath("out.bin")).size(), qint64(200));
    QCOMPARE(held->SetSize(5000), S_OK);
    QCOMPARE(held->Seek(0, 1, &position), S_OK);
    QCOMPARE(position, 300u);

    // Only the modification time is set: 2020-01-01 00:00:00 UTC.
    const UInt64 ticks = (1577836800ull + 11644473600ull) * 10000000ull;
    QVERIFY(stream->SetModificationTime(FILETIME{UInt32(ticks), UInt32(ticks >> 32)}));
    QCOMPARE(stream->Close(), S_OK);
    QCOMPARE(stream->Close(), S_OK);
    struct stat info;
    QVERIFY(::stat(QFile::encodeName(dir.filePath("out.bin")).constData(), &info) == 0);
    QCOMPARE(qint64(info.st_mtim.tv_sec), qint64(1577836800));
    QVERIFY(info.st_atim.tv_sec != 1577836800);
    QFile written(dir.filePath("out.bin"));
    QVERIFY(written.open(QIODevice::ReadOnly));
    QVERIFY(written.readAll() == source.left(200) + QByteArray(4800, '\0'));
}

void TestFileIo::streamsAnswerOnlyTheirInterfaces()
{
    makeFile("qi.bin", "12345");
    auto *input = new CInFileStream;
    ComPtr<IInStream> in(input);
    QVERIFY(input->OpenForRead(pathOf("qi.bin")));
    auto *output = new COutFileStream;
    ComPtr<IOutStream> out(output);
    void *object = input;
    for (const GUID *iid : {&IID_ISequentialInStream, &IID_IOutStream}) {
        QCOMPARE(in->QueryInterface(*iid, &object), E_NOINTERFACE);
        QVERIFY(!object);
    }
    for (const GUID *iid : {&IID_ISequentialOutStream, &IID_IStreamGetSize})
        QCOMPARE(out->QueryInterface(*iid, &object), E_NOINTERFACE);
    ComPtr<IStreamGetSize> getSize;
    QCOMPARE(in->QueryInterface(IID_IStreamGetSize, getSize.putVoid()), S_OK);
    UInt64 size = 0;
    QCOMPARE(getSize->GetSize(&size), S_OK); // through the face's own table
    QCOMPARE(size, 5u);
    ComPtr<IStreamGetProps2> getProps2;
    QCOMPARE(getSize->QueryInterface(IID_IStreamGetProps2, getProps2.putVoid()), S_OK);
    ComPtr<IUnknown> unknown;
    QCOMPARE(getProps2->QueryInterface(IID_IUnknown, unknown.putVoid()), S_OK);
    QCOMPARE(static_cast<void *>(unknown.get()), static_cast<void *>(static_cast<IInStream *>(input)));
    ComPtr<IOutStream> outAgain;
    QCOMPARE(out->QueryInterface(IID_IOutStream, outAgain.putVoid()), S_OK);
}

void TestFileIo::propsDescribeTheOpenFile()
{
    makeFile("props.bin", QByteArray(4321, 'p'));
    const QByteArray native = QFile::encodeName(dir.filePath("props.bin"));
    QVERIFY(::link(native.constData(), QFile::encodeName(dir.filePath("second-link.bin")).constData()) == 0);
    setPermissions(dir.filePath("props.bin"), 0444);
    struct stat info;
    QVERIFY(::stat(native.constData(), &info) == 0);

    auto *stream = new CInFileStream;
    ComPtr<IInStream> held(stream);
    QVERIFY(stream->OpenForRead(pathOf("props.bin")));
    StreamFileProps props;
    std::memset(&props, 0xAB, sizeof props);
    QCOMPARE(stream->GetProps2(&props), S_OK);
    QCOMPARE(props.Size, 4321u);
    QCOMPARE(props.NumLinks, 1u); // two links on disk
    QCOMPARE(props.FileId_High, 0u);
    QCOMPARE(props.FileId_Low, UInt64(info.st_ino));
    QCOMPARE(props.VolId, UInt64(UInt32(info.st_dev)));
    QCOMPARE(props.Attrib & (kAttributeReadOnly | kAttributeDirectory), kAttributeReadOnly);
    QCOMPARE(props.Attrib >> 16, UInt32(info.st_mode & 0xFFFF));
    QCOMPARE(ticksOf(props.MTime), ticksFromUnix(info.st_mtim));
    QCOMPARE(ticksOf(props.ATime), ticksFromUnix(info.st_atim));
    FILETIME writeTime{};
    UInt32 attributes = 0;
    QCOMPARE(stream->GetProps(nullptr, nullptr, nullptr, &writeTime, &attributes), S_OK);
    QCOMPARE(ticksOf(writeTime), ticksOf(props.MTime));
    QCOMPARE(attributes, props.Attrib);
}

void TestFileIo::writersShareForReadingOnlyUntilTheLastRelease()
{
    auto *writer = new COutFileStream;
    ComPtr<IOutStream> held(writer);
    QVERIFY(writer->OpenForWrite(pathOf("shared.bin"), CDiskFile::Disposition::CreateAlways));
    QCOMPARE(held->Write("data", 4, nullptr), S_OK);
    CDiskFile reader;
    QVERIFY(reader.OpenForRead(pathOf("shared.bin")));
    // A second writer is refused and destroys nothing by trying.
    CDiskFile secondWriter;
    QVERIFY(!secondWriter.OpenForWrite(pathOf("shared.bin"), CDiskFile::Disposition::CreateAlways));
    QCOMPARE(GetLastErrorNumber(), kErrorSharingViolation);
    QCOMPARE(QFileInfo(dir.filePath("shared.bin")).size(), qint64(4));
    held->AddRef();
    QCOMPARE(held->Release(), 1u);
    held.reset();
    QVERIFY(secondWriter.OpenForWrite(pathOf("shared.bin"), CDiskFile::Disposition::CreateAlways));
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

void TestFileIo::directoryChainsStopAtFilesAndLinks()
{
    QVERIFY(CreateDirectoryChain(toWideString(dir.path() + "\\a\\b/c\\")));
    QVERIFY(CreateDirectoryChain(toWideString(dir.path() + "/a/b")));
    QVERIFY(CreateDirectoryChain(L"x\\y/z")); // relative to the current directory
    QVERIFY(QFileInfo(dir.filePath("a/b/c")).isDir() && QFileInfo(dir.filePath("x/y/z")).isDir());
    makeFile("file");
    QVERIFY(!CreateDirectoryChain(toWideString(dir.path() + "/file/sub")));
    QCOMPARE(GetLastErrorNumber(), kErrorAlreadyExists);
    QVERIFY(!CreateDirectoryChain(L"Q:\\"));
    QVERIFY(!QFileInfo::exists(dir.filePath("Q:")));

    // Beneath a base, a level that is a symbolic link is never followed.
    QVERIFY(QFile::link(dir.filePath("x"), dir.filePath("a/link")));
    QVERIFY(!CreateDirectoryChainBeneath(pathOf("a"), L"link\\new"));
    QCOMPARE(GetLastErrorNumber(), kErrorAlreadyExists);
    QVERIFY(!QFileInfo::exists(dir.filePath("x/new")));
    QVERIFY(CreateDirectoryChainBeneath(pathOf("a"), L"b\\d/e"));
    QVERIFY(QFileInfo(dir.filePath("a/b/d/e")).isDir());
}

void TestFileIo::forceDeleteFile()
{
    makeFile("readonly.txt");
    setPermissions(dir.filePath("readonly.txt"), 0444);
    QVERIFY(ForceDeleteFile(pathOf("readonly.txt")));
    QVERIFY(!QFileInfo::exists(dir.filePath("readonly.txt")));
    QVERIFY(!ForceDeleteFile(pathOf("readonly.txt")));
    QCOMPARE(GetLastErrorNumber(), kErrorFileNotFound);
    QVERIFY(QDir().mkpath(dir.filePath("folder")));
    QVERIFY(!ForceDeleteFile(pathOf("folder")));
    QCOMPARE(GetLastErrorNumber(), kErrorAccessDenied);
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
    const QString other = rowDir.filePath("other");
    QVERIFY(QFile(other).open(QIODevice::WriteOnly));
    setPermissions(other, 0600);
    QVERIFY(directory ? QDir().mkdir(target) : QFile(target).open(QIODevice::WriteOnly));
    setPermissions(target, mode);
    QVERIFY(ApplyFileAttributes(toWideString(target), attributes));
    QCOMPARE(uint(permissionsOf(target)), expected);
    if (directory)
        return;

    // A symbolic link is refused, never followed to what it points to.
    QVERIFY(QFile::link(other, rowDir.filePath("link")));
    QVERIFY(!ApplyFileAttributes(toWideString(rowDir.filePath("link")), attributes));
    // An open file: a link put at its path meanwhile leads nowhere, the open file is the one changed.
    CDiskFile file;
    QVERIFY(file.OpenForWrite(toWideString(rowDir.filePath("open")), CDiskFile::Disposition::CreateNew));
    setPermissions(rowDir.filePath("open"), mode);
    QVERIFY(QFile::rename(rowDir.filePath("open"), rowDir.filePath("moved")));
    QVERIFY(QFile::link(other, rowDir.filePath("open")));
    QVERIFY(ApplyFileAttributes(file, attributes));
    QCOMPARE(uint(permissionsOf(rowDir.filePath("moved"))), expected);
    QCOMPARE(permissionsOf(other), mode_t(0600));
}

void TestFileIo::findEntryReportsFilesDirectoriesAndRoots()
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
    QVERIFY(!entry.isDir() && !entry.isAltStream);
    QCOMPARE(entry.attributes & 0xFFFF, kAttributeArchive | kAttributeReadOnly | kAttributeUnixExtension);
    QCOMPARE(entry.attributes >> 16, UInt32(info.st_mode & 0xFFFF));
    QCOMPARE(ticksOf(entry.writeTime), ticksFromUnix(info.st_mtim));
    QVERIFY(FindEntry(pathOf("sub"), entry) && entry.isDir());
    QCOMPARE(entry.size, 0u);
    QVERIFY(!FindEntry(toWideString(dir.path() + "/sub/"), entry)); // as FindFirstFileW
    // The root: a directory with an empty name. A drive root: the drive letter and colon.
    QVERIFY(FindEntry(L"\\", entry) && entry.isDir() && entry.name.isEmpty());
    QVERIFY(QDir(dir.path()).mkdir("C:"));
    QVERIFY(FindEntry(L"C:\\", entry) && entry.isDir());
    QCOMPARE(entry.name, WideString(L"C:"));

    // A colon is an ordinary character; the stream form of an existing file fails: no named streams.
    makeFile("a:b", "xy");
    QVERIFY(FindEntry(pathOf("a:b"), entry) && !entry.isAltStream);
    QCOMPARE(entry.size, 2u);
    const QList<QPair<QString, UInt32>> failures{{"missing", kErrorFileNotFound},
                                                 {"sub/file.bin:extra", kErrorNotImplemented},
                                                 {"nothing.txt:extra", kErrorFileNotFound},
                                                 {"sub/file.bin:", kErrorFileNotFound}};
    for (const auto &failure : failures) {
        QVERIFY(!FindEntry(pathOf(failure.first), entry));
        QCOMPARE(GetLastErrorNumber(), failure.second);
    }
}

void TestFileIo::oemTextFollowsTheLocale()
{
    const WideString text(L"GameDir/caf\x00E9.txt");
    NarrowString target("stale");
    ToOemText(text, target);
    QCOMPARE(QByteArray(target.data()), QByteArray("GameDir/caf\xC3\xA9.txt"));
    QVERIFY(std::setlocale(LC_ALL, "C"));
    ToOemText(text, target);
    std::setlocale(LC_ALL, "C.UTF-8");
    QCOMPARE(QByteArray(target.data()), QByteArray("GameDir/caf_.txt"));
}

QTEST_GUILESS_MAIN(TestFileIo)
#include "tst_fileio.moc"
