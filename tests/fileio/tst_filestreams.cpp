#include "common/ComPtr.h"
#include "fileio/FileAttributes.h"
#include "fileio/InFileStream.h"
#include "fileio/LastError.h"
#include "fileio/OutFileStream.h"

#include <QtTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr UInt32 kMiB = 1024 * 1024;

QByteArray patternBytes(int size)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 7 + i / 4096) & 0xFF);
    return bytes;
}

UInt64 toTicks(const FILETIME &time)
{
    return (UInt64(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

UInt64 ticksFromUnix(const timespec &time)
{
    return (UInt64(time.tv_sec) + 11644473600ull) * 10000000ull + UInt64(time.tv_nsec) / 100;
}

} // namespace

class TestFileStreams : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void readReturnsAtMostFourMebibytesAndContinues();
    void readAtEndIsSuccessWithNothing();
    void seekRefusesBadOriginAndNegativePosition();
    void failedCallsReturnTheLastErrorResult();
    void writeSplitsLargeRequestsAndCountsProcessed();
    void setSizeCutsOrExtendsAndKeepsPosition();
    void interfaceLookupAnswersOnlyTheListedInterfaces();
    void propsDescribeTheOpenFile();
    void openingFollowsTheDispositions();
    void lastReleaseClosesAndWritersShareForReadingOnly();
    void closeTwiceAndModificationTimeOnly();
    void failedCloseReleasesTheDescriptor();

private:
    QTemporaryDir dir;
    WideString pathOf(const QString &name) const { return toWideString(dir.filePath(name)); }
    void writeFile(const QString &name, const QByteArray &bytes) const
    {
        QFile file(dir.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(bytes), qint64(bytes.size()));
    }
};

void TestFileStreams::init()
{
    QVERIFY(dir.isValid());
    SetLastErrorNumber(0);
}

void TestFileStreams::readReturnsAtMostFourMebibytesAndContinues()
{
    const QByteArray source = patternBytes(10 * kMiB);
    writeFile("big.bin", source);
    auto *stream = new CInFileStream;
    ComPtr<IInStream> held(stream);
    QVERIFY(stream->OpenForRead(pathOf("big.bin")));

    QByteArray buffer(10 * kMiB, '\0');
    UInt32 processed = 0;
    QCOMPARE(held->Read(buffer.data(), 10 * kMiB, &processed), S_OK);
    QCOMPARE(processed, 4194304u);
    QVERIFY(buffer.left(4194304) == source.left(4194304));
    QCOMPARE(held->Read(buffer.data(), 10 * kMiB, &processed), S_OK);
    QCOMPARE(processed, 4194304u);
    QVERIFY(buffer.left(4194304) == source.mid(4194304, 4194304));
    QCOMPARE(held->Read(buffer.data(), 10 * kMiB, nullptr), S_OK);
    UInt64 position = 0;
    QCOMPARE(held->Seek(0, 1, &position), S_OK);
    QCOMPARE(position, UInt64(10 * kMiB));
}

void TestFileStreams::readAtEndIsSuccessWithNothing()
{
    writeFile("small.bin", "abc");
    auto *stream = new CInFileStream;
    ComPtr<IInStream> held(stream);
    QVERIFY(stream->OpenForRead(pathOf("small.bin")));
    char buffer[16];
    UInt32 processed = 99;
    QCOMPARE(held->Read(buffer, sizeof buffer, &processed), S_OK);
    QCOMPARE(processed, 3u);
    processed = 99;
    QCOMPARE(held->Read(buffer, sizeof buffer, &processed), S_OK);
    QCOMPARE(processed, 0u);
}

void TestFileStreams::seekRefusesBadOriginAndNegativePosition()
{
    writeFile("seek.bin", patternBytes(100));
    auto *stream = new CInFileStream;
    ComPtr<IInStream> held(stream);
    QVERIFY(stream->OpenForRead(pathOf("seek.bin")));
    UInt64 position = 0;
    QCOMPARE(held->Seek(40, 0, &position), S_OK);
    QCOMPARE(position, 40u);

    position = 12345;
    QCOMPARE(held->Seek(10, 3, &position), STG_E_INVALIDFUNCTION);
    QCOMPARE(HRESULT(0x80030001u), STG_E_INVALIDFUNCTION);
    QCOMPARE(position, 12345u);
    QCOMPARE(held->Seek(0, 1, &position), S_OK);
    QCOMPARE(position, 40u);

    const HRESULT beforeStart = held->Seek(-41, 1, &position);
    QVERIFY(beforeStart < 0);
    QCOMPARE(beforeStart, ResultFromErrorNumber(GetLastErrorNumber()));
    QCOMPARE(beforeStart, HRESULT(0x80070083u)); // error 131, negative seek
    QCOMPARE(held->Seek(-10, 2, &position), S_OK);
    QCOMPARE(position, 90u);
    QCOMPARE(held->Seek(5, 1, nullptr), S_OK);
}

void TestFileStreams::failedCallsReturnTheLastErrorResult()
{
    QCOMPARE(ResultFromErrorNumber(0), E_FAIL);
    QCOMPARE(ResultFromErrorNumber(5), HRESULT(0x80070005u));
    QCOMPARE(ResultFromErrorNumber(0x1234ABCD), HRESULT(0x8007ABCDu));
    QCOMPARE(ResultFromErrorNumber(0x8800001Cu), HRESULT(0x8800001Cu));

    // A stream whose file never opened: the calls fail with "invalid handle" (6).
    auto *stream = new CInFileStream;
    ComPtr<IInStream> held(stream);
    char buffer[4];
    UInt32 processed = 77;
    QCOMPARE(held->Read(buffer, 4, &processed), HRESULT(0x80070006u));
    QCOMPARE(processed, 0u);
    UInt64 size = 0;
    QCOMPARE(stream->GetSize(&size), HRESULT(0x80070006u));
    // GetProps and GetProps2 return the bare error number.
    QCOMPARE(stream->GetProps(&size, nullptr, nullptr, nullptr, nullptr), HRESULT(6));
    StreamFileProps props{};
    QCOMPARE(stream->GetProps2(&props), HRESULT(6));
}

void TestFileStreams::writeSplitsLargeRequestsAndCountsProcessed()
{
    const QByteArray source = patternBytes(9 * kMiB + 5);
    auto *stream = new COutFileStream;
    ComPtr<IOutStream> held(stream);
    stream->resetProcessedSize();
    QVERIFY(stream->OpenForWrite(pathOf("out.bin"), CDiskFile::Disposition::CreateAlways));
    UInt32 processed = 0;
    QCOMPARE(held->Write(source.constData(), UInt32(source.size()), &processed), S_OK);
    QCOMPARE(processed, UInt32(source.size()));
    QCOMPARE(held->Write(source.constData(), 0, &processed), S_OK);
    QCOMPARE(processed, 0u);
    QCOMPARE(held->Write("tail", 4, nullptr), S_OK);
    QCOMPARE(stream->processedSize(), UInt64(source.size() + 4));
    QCOMPARE(stream->Close(), S_OK);

    QFile written(dir.filePath("out.bin"));
    QVERIFY(written.open(QIODevice::ReadOnly));
    QVERIFY(written.readAll() == source + "tail");
}

void TestFileStreams::setSizeCutsOrExtendsAndKeepsPosition()
{
    auto *stream = new COutFileStream;
    ComPtr<IOutStream> held(stream);
    QVERIFY(stream->OpenForWrite(pathOf("size.bin"), CDiskFile::Disposition::CreateAlways));
    const QByteArray source = patternBytes(1000);
    QCOMPARE(held->Write(source.constData(), 1000, nullptr), S_OK);
    UInt64 position = 0;
    QCOMPARE(held->Seek(300, 0, &position), S_OK);

    QCOMPARE(held->SetSize(200), S_OK);
    QCOMPARE(QFileInfo(dir.filePath("size.bin")).size(), qint64(200));
    QCOMPARE(held->Seek(0, 1, &position), S_OK);
    QCOMPARE(position, 300u);

    QCOMPARE(held->SetSize(5000), S_OK);
    QCOMPARE(QFileInfo(dir.filePath("size.bin")).size(), qint64(5000));
    QCOMPARE(held->Seek(0, 1, &position), S_OK);
    QCOMPARE(position, 300u);
    QCOMPARE(stream->Close(), S_OK);
    QFile file(dir.filePath("size.bin"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray content = file.readAll();
    QVERIFY(content.left(200) == source.left(200));
    QVERIFY(content.mid(200) == QByteArray(4800, '\0'));
}

void TestFileStreams::interfaceLookupAnswersOnlyTheListedInterfaces()
{
    writeFile("qi.bin", "12345");
    auto *input = new CInFileStream;
    ComPtr<IInStream> in(input);
    QVERIFY(input->OpenForRead(pathOf("qi.bin")));

    void *object = input;
    QCOMPARE(in->QueryInterface(IID_ISequentialInStream, &object), E_NOINTERFACE);
    QVERIFY(!object);
    object = input;
    QCOMPARE(in->QueryInterface(IID_IOutStream, &object), E_NOINTERFACE);
    QVERIFY(!object);

    ComPtr<IStreamGetSize> getSize;
    QCOMPARE(in->QueryInterface(IID_IStreamGetSize, getSize.putVoid()), S_OK);
    UInt64 size = 0;
    QCOMPARE(getSize->GetSize(&size), S_OK); // through the face's own table
    QCOMPARE(size, 5u);
    ComPtr<IStreamGetProps> getProps;
    QCOMPARE(in->QueryInterface(IID_IStreamGetProps, getProps.putVoid()), S_OK);
    QCOMPARE(getProps->GetProps(&size, nullptr, nullptr, nullptr, nullptr), S_OK);
    ComPtr<IStreamGetProps2> getProps2;
    QCOMPARE(getProps->QueryInterface(IID_IStreamGetProps2, getProps2.putVoid()), S_OK);
    ComPtr<IUnknown> unknown;
    QCOMPARE(getProps2->QueryInterface(IID_IUnknown, unknown.putVoid()), S_OK);
    QCOMPARE(static_cast<void *>(unknown.get()), static_cast<void *>(static_cast<IInStream *>(input)));
    ComPtr<IInStream> again;
    QCOMPARE(unknown->QueryInterface(IID_IInStream, again.putVoid()), S_OK);
    QCOMPARE(again.get(), in.get());

    auto *output = new COutFileStream;
    ComPtr<IOutStream> out(output);
    object = output;
    QCOMPARE(out->QueryInterface(IID_ISequentialOutStream, &object), E_NOINTERFACE);
    QVERIFY(!object);
    QCOMPARE(out->QueryInterface(IID_IStreamGetSize, &object), E_NOINTERFACE);
    ComPtr<IOutStream> outAgain;
    QCOMPARE(out->QueryInterface(IID_IOutStream, outAgain.putVoid()), S_OK);
    ComPtr<IUnknown> outUnknown;
    QCOMPARE(out->QueryInterface(IID_IUnknown, outUnknown.putVoid()), S_OK);
}

void TestFileStreams::propsDescribeTheOpenFile()
{
    writeFile("props.bin", patternBytes(4321));
    QVERIFY(::link(QFile::encodeName(dir.filePath("props.bin")).constData(),
                   QFile::encodeName(dir.filePath("second-link.bin")).constData()) == 0);
    QVERIFY(::chmod(QFile::encodeName(dir.filePath("props.bin")).constData(), 0444) == 0);
    struct stat info;
    QVERIFY(::stat(QFile::encodeName(dir.filePath("props.bin")).constData(), &info) == 0);

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
    QCOMPARE(toTicks(props.MTime), ticksFromUnix(info.st_mtim));
    QCOMPARE(toTicks(props.ATime), ticksFromUnix(info.st_atim));

    UInt64 size = 0;
    FILETIME writeTime{};
    UInt32 attributes = 0;
    QCOMPARE(stream->GetProps(&size, nullptr, nullptr, &writeTime, &attributes), S_OK);
    QCOMPARE(size, 4321u);
    QCOMPARE(toTicks(writeTime), toTicks(props.MTime));
    QCOMPARE(attributes, props.Attrib);
}

void TestFileStreams::openingFollowsTheDispositions()
{
    CDiskFile file;
    QVERIFY(!file.OpenForRead(pathOf("missing.bin")));
    QCOMPARE(GetLastErrorNumber(), kErrorFileNotFound);
    QVERIFY(QDir(dir.path()).mkdir("folder"));
    QVERIFY(!file.OpenForRead(pathOf("folder")));
    QCOMPARE(GetLastErrorNumber(), kErrorAccessDenied);

    writeFile("exists.bin", "old content");
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

    // A writer never goes through a symbolic link at the path, whatever it points to.
    writeFile("target.bin", "kept");
    QVERIFY(QFile::link(dir.filePath("target.bin"), dir.filePath("link.bin")));
    QVERIFY(QFile::link(dir.filePath("no-such.bin"), dir.filePath("dangling.bin")));
    for (const char *link : {"link.bin", "dangling.bin"})
        for (const auto disposition :
             {CDiskFile::Disposition::CreateAlways, CDiskFile::Disposition::CreateNew})
            QVERIFY(!file.OpenForWrite(pathOf(link), disposition));
    QCOMPARE(QFileInfo(dir.filePath("target.bin")).size(), qint64(4));
    QVERIFY(!QFileInfo::exists(dir.filePath("no-such.bin")));
}

void TestFileStreams::lastReleaseClosesAndWritersShareForReadingOnly()
{
    auto *writer = new COutFileStream;
    ComPtr<IOutStream> held(writer);
    QVERIFY(writer->OpenForWrite(pathOf("shared.bin"), CDiskFile::Disposition::CreateAlways));
    QCOMPARE(held->Write("data", 4, nullptr), S_OK);

    // Readers may open it meanwhile; a second writer may not, and destroys nothing by trying.
    QFile reader(dir.filePath("shared.bin"));
    QVERIFY(reader.open(QIODevice::ReadOnly));
    QCOMPARE(reader.readAll(), QByteArray("data"));
    CDiskFile input;
    QVERIFY(input.OpenForRead(pathOf("shared.bin")));
    CDiskFile secondWriter;
    QVERIFY(!secondWriter.OpenForWrite(pathOf("shared.bin"), CDiskFile::Disposition::CreateAlways));
    QCOMPARE(GetLastErrorNumber(), kErrorSharingViolation);
    QCOMPARE(QFileInfo(dir.filePath("shared.bin")).size(), qint64(4));

    held->AddRef();
    QCOMPARE(held->Release(), 1u);
    held.reset(); // the last reference: the stream closes its file
    QVERIFY(secondWriter.OpenForWrite(pathOf("shared.bin"), CDiskFile::Disposition::CreateAlways));
}

void TestFileStreams::closeTwiceAndModificationTimeOnly()
{
    writeFile("times.bin", "x");
    const QByteArray native = QFile::encodeName(dir.filePath("times.bin"));
    const timespec fixed[2] = {{1000000000, 0}, {1000000000, 0}};
    QVERIFY(::utimensat(AT_FDCWD, native.constData(), fixed, 0) == 0);

    auto *stream = new COutFileStream;
    ComPtr<IOutStream> held(stream);
    QVERIFY(stream->OpenForWrite(pathOf("times.bin"), CDiskFile::Disposition::CreateAlways));
    // 2020-01-01 00:00:00 UTC
    const UInt64 ticks = (1577836800ull + 11644473600ull) * 10000000ull;
    QVERIFY(stream->SetModificationTime(FILETIME{UInt32(ticks), UInt32(ticks >> 32)}));
    QCOMPARE(stream->Close(), S_OK);
    QCOMPARE(stream->Close(), S_OK);
    struct stat info;
    QVERIFY(::stat(native.constData(), &info) == 0);
    QCOMPARE(qint64(info.st_mtim.tv_sec), qint64(1577836800));
    QCOMPARE(qint64(info.st_atim.tv_sec), qint64(1000000000));
}

void TestFileStreams::failedCloseReleasesTheDescriptor()
{
    writeFile("descriptor.bin", "x");
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

QTEST_GUILESS_MAIN(TestFileStreams)
#include "tst_filestreams.moc"
