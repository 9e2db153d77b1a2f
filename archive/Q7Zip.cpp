#include "archive/Q7Zip.h"

#include "archive/CArchiveExtractCallback.h"
#include "archive/CArchiveOpenCallback.h"
#include "archive/CArchiveUpdateCallback.h"
#include "archive/DirItem.h"
#include "archive/EngineLibrary.h"
#include "archive/EngineLog.h"
#include "common/ComPtr.h"
#include "common/PropertyValue.h"
#include "common/RecordVector.h"
#include "fileio/FileSystemOps.h"
#include "fileio/InFileStream.h"
#include "fileio/OutFileStream.h"

#include <QDebug>

namespace {

// How far into the file the engine looks for the start of an archive.
constexpr UInt64 kMaxCheckStartPosition = 0x800000;
constexpr UInt32 kAllItems = 0xFFFFFFFF;

// Extract reports success even when items failed one by one or the archive is damaged (a truncated zip
// opens and extracts what it holds): both must fail the operation, or a broken package would count as
// installed.
bool extractionWasComplete(IInArchive *archive, const CArchiveExtractCallback &callback)
{
    if (callback.failedItemCount() != 0) {
        LogError("Extract Error");
        qDebug() << "Failed items:" << callback.failedItemCount();
        return false;
    }
    PropertyValue errorFlags;
    if (archive->GetArchiveProperty(kpidErrorFlags, &errorFlags) == S_OK && errorFlags.vt == VT_UI4 &&
        errorFlags.ulVal != 0) {
        LogError("Extract Error");
        qDebug() << "Archive error flags:" << Qt::hex << Qt::showbase << errorFlags.ulVal;
        return false;
    }
    return true;
}

} // namespace

Q7Zip *Q7Zip::getInstance()
{
    static Q7Zip *const instance = new Q7Zip;
    return instance;
}

Q7Zip::Q7Zip() : QObject(nullptr), engineLibrary(EngineLibrary::fileName())
{
    qRegisterMetaType<Q7Zip::Operation>("Q7Zip::Operation");
    connect(this, SIGNAL(operation_signal_compress(const QString, const QStringList, const QString)), this,
            SLOT(operation_slot_compress(const QString, const QStringList, const QString)),
            Qt::QueuedConnection);
    connect(this, SIGNAL(operation_signal_extract(const QString, const QString)), this,
            SLOT(operation_slot_extract(const QString, const QString)), Qt::QueuedConnection);
}

void Q7Zip::threadStarted()
{
    if (EngineLibrary::load(engineLibrary)) {
        emit threadStarted_signal(0);
        return;
    }
    qDebug() << "Q7Zip"
             << "7z.dll"
             << "load failure!!!";
    emit threadStarted_signal(1);
}

void Q7Zip::requestStop()
{
    stopRequested.store(true, std::memory_order_relaxed);
}

void Q7Zip::operation_slot_extract(const QString archive_name, const QString output_path)
{
    const int result = extract(archive_name, output_path);
    emit operation_result_signal(Q7ZIP_EXTRACT, archive_name, result);
}

void Q7Zip::operation_slot_compress(const QString archive_name, const QStringList compress_filelist,
                                    const QString working_path)
{
    const int result = compress(archive_name, compress_filelist, working_path);
    emit operation_result_signal(Q7ZIP_COMPRESS, archive_name, result);
}

int Q7Zip::extract(const QString &archive_name, const QString &output_path)
{
    const CreateObjectFunction createObject = EngineLibrary::resolveCreateObject(engineLibrary);
    if (!createObject) {
        LogError("Can not get CreateObject");
        return 1;
    }
    ComPtr<IInArchive> archive;
    if (createObject(&CLSID_ZipHandler, &IID_IInArchive, archive.putVoid()) != S_OK) {
        LogError("Can not get class object");
        return 1;
    }

    const WideString archivePath = toWideString(archive_name);
    auto *archiveFile = new CInFileStream;
    ComPtr<IInStream> archiveStream(archiveFile);
    if (!archiveFile->OpenForRead(archivePath)) {
        LogError("Can not open archive file");
        LogPathLine(archivePath);
        return 1;
    }

    ComPtr<IArchiveOpenCallback> openCallback(new CArchiveOpenCallback);
    const HRESULT openResult =
        archive->Open(archiveStream.get(), &kMaxCheckStartPosition, openCallback.get());
    openCallback.reset();
    if (openResult != S_OK) {
        LogError("Can not open file as archive");
        LogPathLine(archivePath);
        return 1;
    }

    auto *extractCallback = new CArchiveExtractCallback;
    ComPtr<IArchiveExtractCallback> extractHolder(extractCallback);
    extractCallback->Init(archive.get(), toWideString(output_path), &stopRequested);
    extractCallback->passwordDefined = false;
    const HRESULT extractResult = archive->Extract(nullptr, kAllItems, 0, extractCallback);
    extractCallback->discardUnfinishedItem();
    if (extractResult != S_OK) {
        LogError("Extract Error");
        if (stopRequested.load(std::memory_order_relaxed))
            qDebug() << "Extraction stopped on request";
        return 1;
    }
    return extractionWasComplete(archive.get(), *extractCallback) ? 0 : 1;
}

int Q7Zip::compress(const QString &archive_name, const QStringList &compress_filelist,
                    const QString &working_path, int level)
{
    const CreateObjectFunction createObject = EngineLibrary::resolveCreateObject(engineLibrary);
    if (!createObject) {
        LogError("Can not get CreateObject");
        return 1;
    }

    ObjectVector<DirItem> dirItems;
    for (const QString &path : compress_filelist) {
        CFoundEntry found;
        if (!FindEntry(toWideString(path), found)) {
            qDebug() << "Can't find file" << path;
            return 1;
        }
        auto *item = new DirItem;
        dirItems.addOwned(item);
        item->size = found.size;
        item->creationTime = found.creationTime;
        item->accessTime = found.accessTime;
        item->modificationTime = found.writeTime;
        item->attributes = found.attributes;
        item->fullPath = toWideString(path);
        if (path.startsWith(working_path))
            item->name = toWideString(QString(path).remove(working_path));
    }

    auto *archiveFile = new COutFileStream;
    ComPtr<IOutStream> archiveStream(archiveFile);
    archiveFile->resetProcessedSize();
    if (!archiveFile->OpenForWrite(toWideString(archive_name), CDiskFile::Disposition::CreateAlways)) {
        LogError("can't create archive file");
        return 1;
    }

    ComPtr<IOutArchive> outArchive;
    if (createObject(&CLSID_ZipHandler, &IID_IOutArchive, outArchive.putVoid()) != S_OK) {
        LogError("Can not get class object");
        return 1;
    }

    if (level >= 0) {
        ComPtr<ISetProperties> options;
        const wchar_t *names[] = {L"x"};
        PROPVARIANT value{};
        value.vt = VT_UI4;
        value.ulVal = UInt32(level);
        if (outArchive->QueryInterface(IID_ISetProperties, options.putVoid()) != S_OK ||
            options->SetProperties(names, &value, 1) != S_OK) {
            LogError("Can not set the compression level");
            return 1;
        }
    }

    auto *updateCallback = new CArchiveUpdateCallback;
    ComPtr<IArchiveUpdateCallback2> updateHolder(updateCallback);
    updateCallback->Init(&dirItems);
    const HRESULT updateResult =
        outArchive->UpdateItems(archiveStream.get(), dirItems.size(), updateCallback);
    updateCallback->finishPending();
    if (updateResult != S_OK) {
        LogError("Update Error");
        return 1;
    }
    const ObjectVector<WideString> &failedFiles = updateCallback->failedFilePaths();
    for (UInt32 i = 0; i < failedFiles.size(); ++i) {
        qDebug() << "";
        LogError("Error for file");
        LogPathLine(failedFiles[i]);
    }
    return failedFiles.isEmpty() ? 0 : 1;
}
