// The engine callbacks called directly, for the answers the engine itself never provokes: indices beyond
// the item list, null progress pointers, interface lookups, password requests, volumes, and exceptions
// stopped at the boundary.

#include "archive/CArchiveExtractCallback.h"
#include "archive/CArchiveOpenCallback.h"
#include "archive/CArchiveUpdateCallback.h"
#include "archive/CallbackBoundary.h"
#include "archive/EngineLibrary.h"
#include "archive/UnsafeItemPath.h"
#include "common/Bstr.h"
#include "common/ComPtr.h"
#include "common/PropertyValue.h"
#include "fileio/InFileStream.h"
#include "tests/archive/ArchiveWorkerHarness.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <stdexcept>

class tst_ArchiveCallbacks : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void boundaryTurnsExceptionsIntoResults();
    void extractCallbackRefusesWhatTheEngineNeverAsks();
    void extractCallbackTestModeCreatesNothing();
    void extractCallbackAnswersAStop();
    void unsafeItemPaths_data();
    void unsafeItemPaths();
    void openCallbackAnswersOnlyThePasswordFace();
    void updateCallbackRefusesIndicesBeyondItems();
    void updateCallbackRecordsUnopenableFilesInOrder();
    void updateCallbackAnswersPasswordAndVolumes();

private:
    // An engine archive object opened on `path`; null on failure.
    ComPtr<IInArchive> openArchive(const QString &path);

    QLibrary engine;
    DebugLogCapture log;
    QTemporaryDir scratch;
};

void tst_ArchiveCallbacks::initTestCase()
{
    QVERIFY(scratch.isValid());
    log.install();
    QVERIFY(EngineLibrary::load(engine));
}

ComPtr<IInArchive> tst_ArchiveCallbacks::openArchive(const QString &path)
{
    ComPtr<IInArchive> archive;
    const CreateObjectFunction createObject = EngineLibrary::resolveCreateObject(engine);
    if (!createObject || createObject(&CLSID_ZipHandler, &IID_IInArchive, archive.putVoid()) != S_OK)
        return {};
    auto *file = new CInFileStream;
    ComPtr<IInStream> stream(file);
    ComPtr<IArchiveOpenCallback> openCallback(new CArchiveOpenCallback);
    const UInt64 maxCheckStart = 0x800000;
    if (!file->OpenForRead(toWideString(path)) ||
        archive->Open(stream.get(), &maxCheckStart, openCallback.get()) != S_OK)
        return {};
    return archive;
}

void tst_ArchiveCallbacks::boundaryTurnsExceptionsIntoResults()
{
    QCOMPARE(callbackBoundary([]() -> HRESULT { throw std::bad_alloc(); }), E_OUTOFMEMORY);
    QCOMPARE(callbackBoundary([]() -> HRESULT { throw EngineError(EngineError::kOutOfMemory); }),
             E_OUTOFMEMORY);
    QCOMPARE(callbackBoundary([]() -> HRESULT { throw EngineError(20130221); }), E_FAIL);
    QCOMPARE(callbackBoundary([]() -> HRESULT { throw std::runtime_error("x"); }), E_FAIL);
    QCOMPARE(callbackBoundary([]() -> HRESULT { return S_FALSE; }), S_FALSE);
}

void tst_ArchiveCallbacks::extractCallbackRefusesWhatTheEngineNeverAsks()
{
    const QString path = scratch.filePath("two.zip");
    QVERIFY(Fixture::pythonZip(path, R"([{"name": "a.txt", "data": "a"}, {"name": "b.txt", "data": "b"}])"));
    ComPtr<IInArchive> archive = openArchive(path);
    QVERIFY(archive);

    auto *callback = new CArchiveExtractCallback;
    ComPtr<IArchiveExtractCallback> holder(callback);
    callback->Init(archive.get(), toWideString(scratch.filePath("refused-out")), nullptr);

    ISequentialOutStream *stream = reinterpret_cast<ISequentialOutStream *>(this);
    QCOMPARE(callback->GetStream(2, &stream, kAskExtract), E_INVALIDARG);
    QCOMPARE(stream, nullptr);
    QCOMPARE(callback->GetStream(0xFFFFFFFF, &stream, kAskExtract), E_INVALIDARG);
    QCOMPARE(callback->SetCompleted(nullptr), S_OK);

    void *face = nullptr;
    QCOMPARE(callback->QueryInterface(IID_IArchiveExtractCallback, &face), E_NOINTERFACE);
    QCOMPARE(face, nullptr);
    QCOMPARE(callback->QueryInterface(IID_IUnknown, &face), S_OK);
    QCOMPARE(face, static_cast<void *>(static_cast<ICryptoGetTextPassword *>(callback)));
    static_cast<ICryptoGetTextPassword *>(face)->Release();

    log.clear();
    BSTR password = nullptr;
    QCOMPARE(callback->CryptoGetTextPassword(&password), E_ABORT);
    QVERIFY(log.containsRun({"Error: ", "", "Password is not defined", ""}));
    QVERIFY(!QFileInfo::exists(scratch.filePath("refused-out")));
}

void tst_ArchiveCallbacks::extractCallbackTestModeCreatesNothing()
{
    const QString path = scratch.filePath("nested.zip");
    QVERIFY(Fixture::pythonZip(path, R"([{"name": "dir\\inner.txt", "data": "x", "mode": 33261}])"));
    ComPtr<IInArchive> archive = openArchive(path);
    QVERIFY(archive);
    auto *callback = new CArchiveExtractCallback;
    ComPtr<IArchiveExtractCallback> holder(callback);
    const QString out = scratch.filePath("test-mode-out");
    callback->Init(archive.get(), toWideString(out), nullptr);

    log.clear();
    ISequentialOutStream *stream = nullptr;
    QCOMPARE(callback->GetStream(0, &stream, kAskTest), S_OK);
    QCOMPARE(stream, nullptr);
    QCOMPARE(callback->PrepareOperation(kAskTest), S_OK);
    QCOMPARE(callback->SetOperationResult(9), S_OK);
    QCOMPARE(callback->failedItemCount(), UInt32(1));
    QVERIFY(log.containsRun({"Testing      \"dir/inner.txt\"", "  :  ", "Error #", "9", ""}));
    QVERIFY(!QFileInfo::exists(out));
}

void tst_ArchiveCallbacks::extractCallbackAnswersAStop()
{
    const QString path = scratch.filePath("stop.zip");
    QVERIFY(Fixture::pythonZip(path, R"([{"name": "dir/a.txt", "data": "a"}])"));
    ComPtr<IInArchive> archive = openArchive(path);
    QVERIFY(archive);
    auto *callback = new CArchiveExtractCallback;
    ComPtr<IArchiveExtractCallback> holder(callback);
    const QString out = scratch.filePath("stop-out");
    std::atomic<bool> stop{false};
    callback->Init(archive.get(), toWideString(out), &stop);

    ComPtr<ISequentialOutStream> stream;
    QCOMPARE(callback->GetStream(0, stream.put(), kAskExtract), S_OK);
    QCOMPARE(stream->Write("x", 1, nullptr), S_OK);
    stop = true;
    UInt32 processed = 7;
    QCOMPARE(stream->Write("y", 1, &processed), E_ABORT);
    QCOMPARE(processed, 0u);
    const UInt64 completed = 1;
    QCOMPARE(callback->SetTotal(1), E_ABORT);
    QCOMPARE(callback->SetCompleted(&completed), E_ABORT);
    ISequentialOutStream *next = reinterpret_cast<ISequentialOutStream *>(this);
    QCOMPARE(callback->GetStream(0, &next, kAskExtract), E_ABORT);
    QCOMPARE(next, nullptr);

    // The engine gives up the item without SetOperationResult; the half-written file goes.
    stream.reset();
    callback->discardUnfinishedItem();
    QVERIFY(QFileInfo(out + "/dir").isDir());
    QVERIFY(!QFileInfo::exists(out + "/dir/a.txt"));
}

void tst_ArchiveCallbacks::unsafeItemPaths_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("unsafe");
#ifdef _WIN32
    const bool windows = true;
#else
    const bool windows = false;
#endif
    QTest::newRow("plain") << "dir/file.txt" << false;
    QTest::newRow("NUL character") << QStringLiteral("dir/a") + QChar(0) + "/b.txt" << true;
    QTest::newRow("NUL at the end") << QStringLiteral("a.txt") + QChar(0) << true;
    // A colon and a device name are ordinary name characters outside Windows.
    QTest::newRow("stream") << "dir/file.txt:hidden" << windows;
    QTest::newRow("device") << "dir/aux.txt" << windows;
    QTest::newRow("device directory") << "CON\\file.txt" << windows;
    QTest::newRow("device-like names") << "auxiliary/console/com10" << false;
}

void tst_ArchiveCallbacks::unsafeItemPaths()
{
    QFETCH(QString, path);
    QTEST(isUnsafeItemPath(toWideString(path)), "unsafe");
}

void tst_ArchiveCallbacks::openCallbackAnswersOnlyThePasswordFace()
{
    auto *callback = new CArchiveOpenCallback;
    ComPtr<IArchiveOpenCallback> holder(callback);
    void *face = nullptr;
    QCOMPARE(callback->QueryInterface(IID_IArchiveOpenCallback, &face), E_NOINTERFACE);
    QCOMPARE(face, nullptr);
    QCOMPARE(callback->QueryInterface(IID_ICryptoGetTextPassword, &face), S_OK);
    QCOMPARE(face, static_cast<void *>(static_cast<ICryptoGetTextPassword *>(callback)));
    static_cast<ICryptoGetTextPassword *>(face)->Release();
    BSTR password = nullptr;
    QCOMPARE(callback->CryptoGetTextPassword(&password), E_ABORT);
}

void tst_ArchiveCallbacks::updateCallbackRefusesIndicesBeyondItems()
{
    ObjectVector<DirItem> items;
    auto *item = new DirItem;
    item->name = WideString(L"one.txt");
    items.addOwned(item);
    auto *callback = new CArchiveUpdateCallback;
    ComPtr<IArchiveUpdateCallback2> holder(callback);
    callback->Init(&items);

    PropertyValue value;
    QCOMPARE(callback->GetProperty(0, kpidPath, &value), S_OK);
    QCOMPARE(value.vt, VARTYPE(VT_BSTR));
    QCOMPARE(QString::fromWCharArray(value.bstrVal, int(BstrLength(value.bstrVal))), QString("one.txt"));
    QCOMPARE(callback->GetProperty(1, kpidPath, &value), E_INVALIDARG);
    // The is-anti answer does not depend on the item.
    QCOMPARE(callback->GetProperty(7, kpidIsAnti, &value), S_OK);
    QCOMPARE(value.vt, VARTYPE(VT_BOOL));
    QCOMPARE(value.boolVal, VARIANT_FALSE);

    ISequentialInStream *stream = nullptr;
    QCOMPARE(callback->GetStream(1, &stream), E_INVALIDARG);
    QCOMPARE(stream, nullptr);
    QCOMPARE(callback->SetCompleted(nullptr), S_OK);
}

void tst_ArchiveCallbacks::updateCallbackRecordsUnopenableFilesInOrder()
{
    ObjectVector<DirItem> items;
    const QStringList paths{scratch.filePath("gone-1"), scratch.filePath("gone-2")};
    for (const QString &path : paths) {
        auto *item = new DirItem;
        item->name = toWideString(QFileInfo(path).fileName());
        item->fullPath = toWideString(path);
        items.addOwned(item);
    }
    auto *callback = new CArchiveUpdateCallback;
    ComPtr<IArchiveUpdateCallback2> holder(callback);
    callback->Init(&items);

    log.clear();
    ISequentialInStream *stream = nullptr;
    QCOMPARE(callback->GetStream(1, &stream), S_FALSE);
    QCOMPARE(callback->SetOperationResult(0), S_OK);
    QCOMPARE(callback->GetStream(0, &stream), S_FALSE);
    QCOMPARE(stream, nullptr);
    QCOMPARE(callback->failedFilePaths().size(), UInt32(2));
    QCOMPARE(toQString(callback->failedFilePaths()[0]), paths[1]);
    QCOMPARE(toQString(callback->failedFilePaths()[1]), paths[0]);
    QCOMPARE(callback->failedErrorCodes()[0], UInt32(2));
    QCOMPARE(callback->failedErrorCodes()[1], UInt32(2));
    // The pending blank line of the operation result is written before the next item's warning.
    QVERIFY(log.containsRun({"", "", "Error: ", "", "WARNING: can't open file", ""}));
}

void tst_ArchiveCallbacks::updateCallbackAnswersPasswordAndVolumes()
{
    auto *callback = new CArchiveUpdateCallback;
    ComPtr<IArchiveUpdateCallback2> holder(callback);
    void *face = nullptr;
    QCOMPARE(callback->QueryInterface(IID_IArchiveUpdateCallback, &face), E_NOINTERFACE);
    QCOMPARE(callback->QueryInterface(IID_IProgress, &face), E_NOINTERFACE);
    QCOMPARE(face, nullptr);
    QCOMPARE(callback->QueryInterface(IID_ICryptoGetTextPassword2, &face), S_OK);
    static_cast<ICryptoGetTextPassword2 *>(face)->Release();

    Int32 defined = -1;
    BSTR password = nullptr;
    QCOMPARE(callback->CryptoGetTextPassword2(&defined, &password), S_OK);
    QCOMPARE(defined, 0);
    QVERIFY(password);
    QCOMPARE(BstrLength(password), UInt32(0));
    FreeBstr(password);

    UInt64 size = 42;
    QCOMPARE(callback->GetVolumeSize(0, &size), S_FALSE);
    QCOMPARE(size, UInt64(42));

    // Volume files are named relative to the current directory: ".01" for the first; never overwritten.
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(scratch.path()));
    ISequentialOutStream *volume = nullptr;
    QCOMPARE(callback->GetVolumeStream(0, &volume), S_OK);
    QVERIFY(volume);
    volume->Release();
    QVERIFY(QFileInfo::exists(scratch.filePath(".01")));
    QVERIFY(callback->GetVolumeStream(0, &volume) < 0);
    QCOMPARE(volume, nullptr);
    QCOMPARE(callback->GetVolumeStream(99, &volume), S_OK);
    volume->Release();
    QVERIFY(QFileInfo::exists(scratch.filePath(".100")));
    QDir::setCurrent(previous);
}

QTEST_GUILESS_MAIN(tst_ArchiveCallbacks)
#include "tst_archive_callbacks.moc"
