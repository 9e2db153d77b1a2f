// The engine library through our own interface declarations, callbacks and streams: a zip written by the
// worker's compression, then read back item by item through the engine's archive object.

#include "archive/CArchiveExtractCallback.h"
#include "archive/CArchiveUpdateCallback.h"
#include "archive/CallbackBoundary.h"
#include "archive/EngineLibrary.h"
#include "archive/Q7Zip.h"
#include "common/Bstr.h"
#include "common/ComPtr.h"
#include "common/PropertyValue.h"
#include "fileio/InFileStream.h"
#include "fileio/OutFileStream.h"

#include <QtTest>

#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>

namespace {

// 2021-06-01 12:00:00 UTC
constexpr qint64 kPayloadTime = 1622548800;

// Hands the engine one of our file streams for the item and logs the engine's calls.
class CTestExtractCallback : public IArchiveExtractCallback, public CMyUnknownImp
{
public:
    QStringList events;
    WideString targetPath;
    QByteArray memory;

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
        events << QString("total %1").arg(value);
        return S_OK;
    }
    HRESULT SetCompleted(const UInt64 *) override { return S_OK; }
    HRESULT GetStream(UInt32 index, ISequentialOutStream **outStream, Int32 askExtractMode) override
    {
        events << QString("stream %1 mode %2").arg(index).arg(askExtractMode);
        auto *file = new COutFileStream;
        ComPtr<IOutStream> held(file);
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
        // The engine has released our stream by now: its file is complete and closed (a writer may open it).
        QFile file(toQString(targetPath));
        memory = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        CDiskFile writer;
        events << QString("result %1%2")
                      .arg(operationResult)
                      .arg(writer.OpenForWrite(targetPath, CDiskFile::Disposition::CreateAlways) ? ""
                                                                                                 : " open");
        return S_OK;
    }
};

} // namespace

class TestEngineContract : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void libraryIsFoundBesideTheExecutableFirst();
    void missingOrOtherLayoutEngineIsRefused();
    void listsTheItemsWithTheirProperties();
    void extractsAnItemIdenticalToItsSource();
    void callbacksRefuseWhatTheEngineNeverAsks();
    void notAnArchiveOpensWithSFalse();

private:
    ComPtr<IInArchive> openArchive(const QString &path);

    QTemporaryDir dir;
    QByteArray payload;
    QLibrary library;
};

void TestEngineContract::initTestCase()
{
    QVERIFY(dir.isValid());
    const QString source = dir.filePath("src/");
    QVERIFY(QDir().mkpath(source + "data/empty") && QDir().mkpath(source + "tools"));
    payload.resize(300 * 1024); // more than one of the engine's 128 KiB writes, and incompressible
    quint32 seed = 12345;
    for (char &byte : payload) {
        seed = seed * 1664525u + 1013904223u;
        byte = char(seed >> 24);
    }
    const auto write = [&](const QString &name, const QByteArray &content, mode_t mode) {
        QFile file(source + name);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
        QVERIFY(::chmod(QFile::encodeName(file.fileName()).constData(), mode) == 0);
    };
    write("data/payload.bin", payload, 0640);
    write("readme.txt", "Velmora sample\n", 0644);
    write("tools/run.sh", "#!/bin/sh\necho run\n", 0755);
    const timespec times[2] = {{kPayloadTime, 0}, {kPayloadTime, 0}};
    QVERIFY(::utimensat(AT_FDCWD, QFile::encodeName(source + "data/payload.bin").constData(), times, 0) == 0);

    const QStringList files{"readme.txt", "data", "data/empty", "data/payload.bin", "tools", "tools/run.sh"};
    QStringList paths;
    for (const QString &file : files)
        paths << source + file;
    QCOMPARE(Q7Zip::getInstance()->compress(dir.filePath("sample.zip"), paths, source), 0);
    QVERIFY2(EngineLibrary::load(library), qPrintable(library.errorString()));
}

void TestEngineContract::cleanup()
{
    EngineLibrary::setSearchLocations({});
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

void TestEngineContract::libraryIsFoundBesideTheExecutableFirst()
{
    QCOMPARE(EngineLibrary::searchLocations(),
             (QStringList{QCoreApplication::applicationDirPath(), "/usr/lib/p7zip"}));
    QLibrary probe;
    EngineLibrary::setSearchLocations(
        {dir.filePath("nowhere"), VELMORA_OTHER_LAYOUT_ENGINE_DIR, "/usr/lib/p7zip"});
    EngineLibrary::configure(probe);
    QCOMPARE(probe.fileName(), QString(VELMORA_OTHER_LAYOUT_ENGINE_DIR "/7z.so"));
}

void TestEngineContract::missingOrOtherLayoutEngineIsRefused()
{
    for (const QString &location : {dir.filePath("nowhere"), QString(VELMORA_OTHER_LAYOUT_ENGINE_DIR)}) {
        EngineLibrary::setSearchLocations({location});
        QLibrary refused;
        QVERIFY(!EngineLibrary::resolveCreateObject(refused));
        QVERIFY(!refused.isLoaded());
    }
}

void TestEngineContract::listsTheItemsWithTheirProperties()
{
    ComPtr<IInArchive> archive = openArchive(dir.filePath("sample.zip"));
    QVERIFY(archive);
    UInt32 count = 0;
    QCOMPARE(archive->GetNumberOfItems(&count), S_OK);
    QStringList seen;
    for (UInt32 i = 0; i < count; ++i) {
        QString line;
        for (const PROPID id : {kpidPath, kpidIsDir, kpidSize, kpidAttrib, kpidMTime}) {
            PropertyValue value;
            QCOMPARE(archive->GetProperty(i, id, &value), S_OK);
            if (value.vt == VT_BSTR)
                line += QString::fromWCharArray(value.bstrVal, int(BstrLength(value.bstrVal)));
            else if (value.vt == VT_BOOL)
                line += value.boolVal ? " dir" : " file";
            else if (value.vt == VT_UI8)
                line += QString(" %1").arg(value.uhVal.QuadPart);
            else if (value.vt == VT_UI4) // made on Unix: the 0x8000 flag, the mode in the high half
                line += QString(" %1 %2").arg(value.ulVal & 0x8010, 0, 16).arg(value.ulVal >> 16, 0, 8);
            else if (value.vt == VT_FILETIME && id == kpidMTime && line.startsWith("data/payload"))
                line += QString(" %1").arg(
                    ((UInt64(value.filetime.dwHighDateTime) << 32) | value.filetime.dwLowDateTime) /
                        10000000 -
                    11644473600ull);
        }
        seen << line;
    }
    QCOMPARE(seen, (QStringList{"readme.txt file 15 8000 100644", "data dir 0 8010 40755",
                                "data/empty dir 0 8010 40755",
                                QString("data/payload.bin file 307200 8000 100640 %1").arg(kPayloadTime),
                                "tools dir 0 8010 40755", "tools/run.sh file 19 8000 100755"}));
    PropertyValue flags;
    QCOMPARE(archive->GetArchiveProperty(kpidErrorFlags, &flags), S_OK);
    QVERIFY(flags.vt == VT_EMPTY || (flags.vt == VT_UI4 && flags.ulVal == 0));
}

void TestEngineContract::extractsAnItemIdenticalToItsSource()
{
    ComPtr<IInArchive> archive = openArchive(dir.filePath("sample.zip"));
    QVERIFY(archive);
    auto *callback = new CTestExtractCallback;
    ComPtr<IArchiveExtractCallback> held(callback);
    callback->targetPath = toWideString(dir.filePath("extracted.bin"));
    const UInt32 indices[] = {3};
    QCOMPARE(archive->Extract(indices, 1, 0, held.get()), S_OK);
    QCOMPARE(callback->events, (QStringList{QString("total %1").arg(payload.size()), "stream 3 mode 0",
                                            "prepare 0", "result 0"}));
    QVERIFY(callback->memory == payload);
}

void TestEngineContract::callbacksRefuseWhatTheEngineNeverAsks()
{
    QCOMPARE(callbackBoundary([]() -> HRESULT { throw std::bad_alloc(); }), E_OUTOFMEMORY);
    QCOMPARE(callbackBoundary([]() -> HRESULT { throw std::runtime_error("x"); }), E_FAIL);

    ComPtr<IInArchive> archive = openArchive(dir.filePath("sample.zip"));
    QVERIFY(archive);
    auto *extract = new CArchiveExtractCallback;
    ComPtr<IArchiveExtractCallback> extractHeld(extract);
    extract->Init(archive.get(), toWideString(dir.filePath("never")), nullptr);
    ISequentialOutStream *output = nullptr;
    QCOMPARE(extract->GetStream(6, &output, kAskExtract), E_INVALIDARG);
    BSTR password = nullptr;
    QCOMPARE(extract->CryptoGetTextPassword(&password), E_ABORT);
    QVERIFY(!QFileInfo::exists(dir.filePath("never")));

    ObjectVector<DirItem> items;
    items.addOwned(new DirItem);
    auto *update = new CArchiveUpdateCallback;
    ComPtr<IArchiveUpdateCallback2> updateHeld(update);
    update->Init(&items);
    PropertyValue value;
    QCOMPARE(update->GetProperty(1, kpidPath, &value), E_INVALIDARG);
    ISequentialInStream *input = nullptr;
    QCOMPARE(update->GetStream(1, &input), E_INVALIDARG);
}

void TestEngineContract::notAnArchiveOpensWithSFalse()
{
    QFile text(dir.filePath("plain.txt"));
    QVERIFY(text.open(QIODevice::WriteOnly) && text.write("this is not a zip archive\n") > 0);
    text.close();
    ComPtr<IInArchive> archive;
    QCOMPARE(
        EngineLibrary::resolveCreateObject(library)(&CLSID_ZipHandler, &IID_IInArchive, archive.putVoid()),
        S_OK);
    auto *stream = new CInFileStream;
    ComPtr<IInStream> held(stream);
    QVERIFY(stream->OpenForRead(toWideString(text.fileName())));
    const UInt64 scanLimit = 0x800000;
    QCOMPARE(archive->Open(held.get(), &scanLimit, nullptr), S_FALSE);
}

QTEST_GUILESS_MAIN(TestEngineContract)
#include "tst_enginecontract.moc"
