#include "archive/EngineLibrary.h"
#include "common/ComPtr.h"
#include "common/PropertyValue.h"
#include "common/RefCounted.h"
#include "fileio/InFileStream.h"
#include "fileio/OutFileStream.h"

#include <QtTest>

#include <fcntl.h>
#include <sys/stat.h>

namespace {

// 2021-06-01 12:00:00 UTC
constexpr qint64 kPayloadTime = 1622548800;

UInt64 ticksOf(const FILETIME &time)
{
    return (UInt64(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

UInt64 ticksFromUnix(qint64 seconds)
{
    return (UInt64(seconds) + 11644473600ull) * 10000000ull;
}

// Collects what the engine writes, and counts the engine's releases.
class CMemoryOutStream : public ISequentialOutStream, public CMyUnknownImp
{
public:
    CMemoryOutStream(QByteArray &target, QStringList &events) : bytes(target), log(events) {}
    ~CMemoryOutStream() override { log << "stream released"; }
    HRESULT QueryInterface(const GUID &iid, void **object) override
    {
        *object = nullptr;
        if (iid == IID_IUnknown || iid == IID_ISequentialOutStream)
            return answerInterface(static_cast<ISequentialOutStream *>(this), object);
        return E_NOINTERFACE;
    }
    VELMORA_UNKNOWN_REFCOUNT
    HRESULT Write(const void *data, UInt32 size, UInt32 *processedSize) override
    {
        bytes.append(static_cast<const char *>(data), int(size));
        if (processedSize)
            *processedSize = size;
        return S_OK;
    }

private:
    QByteArray &bytes;
    QStringList &log;
};

// Hands the engine a memory stream, or one of our file streams when a target path is given.
class CTestExtractCallback : public IArchiveExtractCallback, public CMyUnknownImp
{
public:
    QStringList events;
    QByteArray memory;
    WideString targetPath;
    UInt64 total = 0;
    UInt64 lastCompleted = 0;

    HRESULT QueryInterface(const GUID &iid, void **object) override
    {
        *object = nullptr;
        if (iid == IID_IUnknown || iid == IID_IArchiveExtractCallback)
            return answerInterface(static_cast<IArchiveExtractCallback *>(this), object);
        return E_NOINTERFACE;
    }
    VELMORA_UNKNOWN_REFCOUNT
    HRESULT SetTotal(UInt64 value) override
    {
        total = value;
        events << "total";
        return S_OK;
    }
    HRESULT SetCompleted(const UInt64 *value) override
    {
        if (value) {
            if (*value < lastCompleted)
                events << "completed went back";
            lastCompleted = *value;
        }
        if (events.isEmpty() || events.last() != "completed")
            events << "completed";
        return S_OK;
    }
    HRESULT GetStream(UInt32 index, ISequentialOutStream **outStream, Int32 askExtractMode) override
    {
        *outStream = nullptr;
        events << QString("stream %1 mode %2").arg(index).arg(askExtractMode);
        if (targetPath.isEmpty()) {
            ComPtr<ISequentialOutStream> stream(new CMemoryOutStream(memory, events));
            *outStream = stream.detach();
            return S_OK;
        }
        auto *file = new COutFileStream;
        ComPtr<IOutStream> held(file);
        file->resetProcessedSize();
        if (!file->OpenForWrite(targetPath, CDiskFile::Disposition::CreateAlways))
            return E_ABORT;
        *outStream = held.detach();
        return S_OK;
    }
    HRESULT PrepareOperation(Int32 askExtractMode) override
    {
        events << QString("prepare %1").arg(askExtractMode);
        return S_OK;
    }
    HRESULT SetOperationResult(Int32 operationResult) override
    {
        events << QString("result %1").arg(operationResult);
        return S_OK;
    }
};

struct ItemInfo
{
    QString path;
    bool isDir = false;
    UInt64 size = 0;
    UInt32 attributes = 0;
    UInt64 mtime = 0;
};

} // namespace

class TestEngineContract : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void libraryIsFoundBesideTheExecutableFirst();
    void missingEngineResolvesNothing();
    void otherInterfaceLayoutIsRefused();
    void listsEveryItemOfAZipMadeBy7zz();
    void extractsAnItemIdenticalToItsSource();
    void extractsIntoOurOutputFileStream();
    void notAnArchiveOpensWithSFalse();

private:
    QTemporaryDir dir;
    QByteArray payload;
    QLibrary library;
    ComPtr<IInArchive> openArchive(const QString &path);
    QList<ItemInfo> listItems(IInArchive *archive);
    int indexOf(IInArchive *archive, const QString &path);
};

void TestEngineContract::initTestCase()
{
    QVERIFY(dir.isValid());
    const QString sevenZip = QStandardPaths::findExecutable("7zz");
    if (sevenZip.isEmpty())
        QSKIP("7zz (package 7zip) is needed to make the reference archive");

    QDir source(dir.filePath("src"));
    QVERIFY(source.mkpath("data/empty"));
    QVERIFY(source.mkpath("tools"));
    payload.resize(300 * 1024); // more than one of the engine's 128 KiB writes, and incompressible
    quint32 seed = 12345;
    for (char &byte : payload) {
        seed = seed * 1664525u + 1013904223u;
        byte = char(seed >> 24);
    }
    const auto write = [&](const QString &name, const QByteArray &content) {
        QFile file(source.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(content), qint64(content.size()));
    };
    write("data/payload.bin", payload);
    write("readme.txt", "Velmora sample\n");
    write("tools/run.sh", "#!/bin/sh\necho run\n");
    QVERIFY(::chmod(QFile::encodeName(source.filePath("tools/run.sh")).constData(), 0755) == 0);
    QVERIFY(::chmod(QFile::encodeName(source.filePath("data/payload.bin")).constData(), 0640) == 0);
    const timespec times[2] = {{kPayloadTime, 0}, {kPayloadTime, 0}};
    QVERIFY(::utimensat(AT_FDCWD, QFile::encodeName(source.filePath("data/payload.bin")).constData(), times,
                        0) == 0);

    QProcess zip;
    zip.setWorkingDirectory(source.path());
    zip.start(sevenZip, {"a", "-tzip", dir.filePath("sample.zip"), "readme.txt", "data", "tools"});
    QVERIFY(zip.waitForFinished(60000));
    QVERIFY2(zip.exitCode() == 0, zip.readAllStandardOutput().constData());

    QVERIFY2(EngineLibrary::load(library), qPrintable(library.errorString()));
}

void TestEngineContract::cleanup()
{
    EngineLibrary::setSearchLocations({});
}

void TestEngineContract::libraryIsFoundBesideTheExecutableFirst()
{
    QCOMPARE(EngineLibrary::searchLocations().first(), QCoreApplication::applicationDirPath());
    QCOMPARE(EngineLibrary::searchLocations().last(), QString("/usr/lib/p7zip"));

    QLibrary probe;
    EngineLibrary::setSearchLocations(
        {dir.filePath("nowhere"), VELMORA_OTHER_LAYOUT_ENGINE_DIR, "/usr/lib/p7zip"});
    EngineLibrary::configure(probe);
    QCOMPARE(probe.fileName(), QString(VELMORA_OTHER_LAYOUT_ENGINE_DIR "/7z.so"));
    EngineLibrary::setSearchLocations({dir.filePath("nowhere"), "/usr/lib/p7zip"});
    EngineLibrary::configure(probe);
    QCOMPARE(probe.fileName(), QString("/usr/lib/p7zip/7z.so"));
}

void TestEngineContract::missingEngineResolvesNothing()
{
    QVERIFY(QDir(dir.path()).mkpath("empty-dir"));
    EngineLibrary::setSearchLocations({dir.filePath("empty-dir")});
    QLibrary missing;
    QVERIFY(!EngineLibrary::load(missing));
    QVERIFY(!EngineLibrary::resolveCreateObject(missing));
    QVERIFY(!missing.isLoaded());
}

void TestEngineContract::otherInterfaceLayoutIsRefused()
{
    EngineLibrary::setSearchLocations({VELMORA_OTHER_LAYOUT_ENGINE_DIR});
    QLibrary other;
    QVERIFY(!EngineLibrary::load(other));
    QVERIFY(!other.isLoaded());
    QVERIFY(!EngineLibrary::resolveCreateObject(other));
}

ComPtr<IInArchive> TestEngineContract::openArchive(const QString &path)
{
    ComPtr<IInArchive> archive;
    const CreateObjectFunction createObject = EngineLibrary::resolveCreateObject(library);
    if (!createObject || createObject(&CLSID_ZipHandler, &IID_IInArchive, archive.putVoid()) != S_OK)
        return {};
    auto *stream = new CInFileStream;
    ComPtr<IInStream> held(stream);
    const UInt64 scanLimit = 0x800000;
    if (!stream->OpenForRead(toWideString(path)) || archive->Open(held.get(), &scanLimit, nullptr) != S_OK)
        return {};
    return archive;
}

QList<ItemInfo> TestEngineContract::listItems(IInArchive *archive)
{
    QList<ItemInfo> items;
    UInt32 count = 0;
    if (archive->GetNumberOfItems(&count) != S_OK)
        return items;
    for (UInt32 i = 0; i < count; ++i) {
        ItemInfo item;
        PropertyValue value;
        if (archive->GetProperty(i, kpidPath, &value) == S_OK && value.vt == VT_BSTR)
            item.path = QString::fromWCharArray(value.bstrVal);
        value.clear();
        if (archive->GetProperty(i, kpidIsDir, &value) == S_OK && value.vt == VT_BOOL)
            item.isDir = value.boolVal != VARIANT_FALSE;
        value.clear();
        if (archive->GetProperty(i, kpidSize, &value) == S_OK && value.vt == VT_UI8)
            item.size = value.uhVal.QuadPart;
        value.clear();
        if (archive->GetProperty(i, kpidAttrib, &value) == S_OK && value.vt == VT_UI4)
            item.attributes = value.ulVal;
        value.clear();
        if (archive->GetProperty(i, kpidMTime, &value) == S_OK && value.vt == VT_FILETIME)
            item.mtime = ticksOf(value.filetime);
        items << item;
    }
    return items;
}

int TestEngineContract::indexOf(IInArchive *archive, const QString &path)
{
    const QList<ItemInfo> items = listItems(archive);
    for (int i = 0; i < items.size(); ++i)
        if (items[i].path == path)
            return i;
    return -1;
}

void TestEngineContract::listsEveryItemOfAZipMadeBy7zz()
{
    ComPtr<IInArchive> archive = openArchive(dir.filePath("sample.zip"));
    QVERIFY(archive);
    QMap<QString, ItemInfo> byPath;
    for (const ItemInfo &item : listItems(archive.get()))
        byPath.insert(item.path, item);
    QCOMPARE(byPath.keys(),
             (QStringList{"data", "data/empty", "data/payload.bin", "readme.txt", "tools", "tools/run.sh"}));

    const ItemInfo payloadItem = byPath.value("data/payload.bin");
    QVERIFY(!payloadItem.isDir);
    QCOMPARE(payloadItem.size, UInt64(payload.size()));
    // Made on Unix: the 0x8000 flag, and the mode in the high half.
    QCOMPARE(payloadItem.attributes & 0xFFFF, 0x8000u);
    QCOMPARE(payloadItem.attributes >> 16, UInt32(S_IFREG | 0640));
    QCOMPARE(payloadItem.mtime, ticksFromUnix(kPayloadTime));
    QCOMPARE((byPath.value("tools/run.sh").attributes >> 16) & 0777, 0755u);
    QCOMPARE(byPath.value("readme.txt").size, 15u);
    const ItemInfo folder = byPath.value("data/empty");
    QVERIFY(folder.isDir);
    QCOMPARE(folder.attributes & 0x10, 0x10u);
    QCOMPARE(folder.size, 0u);

    PropertyValue flags;
    QCOMPARE(archive->GetArchiveProperty(kpidErrorFlags, &flags), S_OK);
    QVERIFY(flags.vt == VT_EMPTY || (flags.vt == VT_UI4 && flags.ulVal == 0));
}

void TestEngineContract::extractsAnItemIdenticalToItsSource()
{
    ComPtr<IInArchive> archive = openArchive(dir.filePath("sample.zip"));
    QVERIFY(archive);
    const int index = indexOf(archive.get(), "data/payload.bin");
    QVERIFY(index >= 0);
    auto *callback = new CTestExtractCallback;
    ComPtr<IArchiveExtractCallback> held(callback);
    const UInt32 indices[] = {UInt32(index)};
    QCOMPARE(archive->Extract(indices, 1, 0, held.get()), S_OK);

    QCOMPARE(callback->memory.size(), payload.size());
    QVERIFY(callback->memory == payload);
    QCOMPARE(callback->total, UInt64(payload.size()));
    // The engine releases the stream it was given before it reports the item's result.
    const QStringList expected{"total",           QString("stream %1 mode 0").arg(index),
                               "prepare 0",       "completed",
                               "stream released", "result 0"};
    QStringList seen = callback->events;
    seen.removeAll("completed");
    QStringList expectedWithout = expected;
    expectedWithout.removeAll("completed");
    QCOMPARE(seen, expectedWithout);
    QVERIFY(callback->events.indexOf("total") < callback->events.indexOf("completed"));
    QVERIFY(!callback->events.contains("completed went back"));
}

void TestEngineContract::extractsIntoOurOutputFileStream()
{
    ComPtr<IInArchive> archive = openArchive(dir.filePath("sample.zip"));
    QVERIFY(archive);
    const int index = indexOf(archive.get(), "data/payload.bin");
    auto *callback = new CTestExtractCallback;
    ComPtr<IArchiveExtractCallback> held(callback);
    callback->targetPath = toWideString(dir.filePath("extracted.bin"));
    const UInt32 indices[] = {UInt32(index)};
    QCOMPARE(archive->Extract(indices, 1, 0, held.get()), S_OK);
    QVERIFY(callback->events.contains("result 0"));

    // The engine released our stream: its file is closed and complete.
    QFile extracted(dir.filePath("extracted.bin"));
    QVERIFY(extracted.open(QIODevice::ReadOnly));
    QVERIFY(extracted.readAll() == payload);
    CDiskFile writer;
    QVERIFY(writer.OpenForWrite(toWideString(dir.filePath("extracted.bin")),
                                CDiskFile::Disposition::CreateAlways));
}

void TestEngineContract::notAnArchiveOpensWithSFalse()
{
    QFile text(dir.filePath("plain.txt"));
    QVERIFY(text.open(QIODevice::WriteOnly));
    text.write("this is not a zip archive\n");
    text.close();
    ComPtr<IInArchive> archive;
    const CreateObjectFunction createObject = EngineLibrary::resolveCreateObject(library);
    QVERIFY(createObject);
    QCOMPARE(createObject(&CLSID_ZipHandler, &IID_IInArchive, archive.putVoid()), S_OK);
    auto *stream = new CInFileStream;
    ComPtr<IInStream> held(stream);
    QVERIFY(stream->OpenForRead(toWideString(dir.filePath("plain.txt"))));
    const UInt64 scanLimit = 0x800000;
    QCOMPARE(archive->Open(held.get(), &scanLimit, nullptr), S_FALSE);
}

QTEST_GUILESS_MAIN(TestEngineContract)
#include "tst_enginecontract.moc"
