#include "archive/CArchiveUpdateCallback.h"

#include "archive/CallbackBoundary.h"
#include "archive/EngineLog.h"
#include "archive/PasswordAnswer.h"
#include "archive/Q7Zip.h"
#include "common/ComPtr.h"
#include "common/PropertyValue.h"
#include "fileio/InFileStream.h"
#include "fileio/LastError.h"
#include "fileio/OutFileStream.h"

#include <QDebug>

namespace {
constexpr UInt32 kNoIndexInArchive = 0xFFFFFFFF;
const wchar_t kNamelessItem[] = L"[Content]";
} // namespace

CArchiveUpdateCallback::~CArchiveUpdateCallback()
{
    finishPending();
}

void CArchiveUpdateCallback::Init(const ObjectVector<DirItem> *items)
{
    dirItems = items;
    needNewLine = false;
    failedFiles.clear();
    failedCodes.clear();
}

void CArchiveUpdateCallback::finishPending()
{
    if (needNewLine.exchange(false))
        qDebug() << "";
}

const DirItem *CArchiveUpdateCallback::itemAt(UInt32 index) const
{
    return dirItems && index < dirItems->size() ? &(*dirItems)[index] : nullptr;
}

HRESULT CArchiveUpdateCallback::QueryInterface(const GUID &iid, void **object)
{
    if (iid == IID_IUnknown || iid == IID_IArchiveUpdateCallback2)
        return answerInterface(static_cast<IArchiveUpdateCallback2 *>(this), object);
    if (iid == IID_ICryptoGetTextPassword2)
        return answerInterface(static_cast<ICryptoGetTextPassword2 *>(this), object);
    *object = nullptr;
    return E_NOINTERFACE;
}

HRESULT CArchiveUpdateCallback::SetTotal(UInt64 total)
{
    totalSize = total;
    emit Q7Zip::getInstance()->compress_filesize_signal(totalSize);
    return S_OK;
}

HRESULT CArchiveUpdateCallback::SetCompleted(const UInt64 *completeValue)
{
    if (completeValue)
        emit Q7Zip::getInstance()->compress_completeValue_signal(*completeValue);
    return S_OK;
}

HRESULT CArchiveUpdateCallback::GetUpdateItemInfo(UInt32, Int32 *newData, Int32 *newProperties,
                                                  UInt32 *indexInArchive)
{
    if (newData)
        *newData = 1;
    if (newProperties)
        *newProperties = 1;
    if (indexInArchive)
        *indexInArchive = kNoIndexInArchive;
    return S_OK;
}

HRESULT CArchiveUpdateCallback::GetProperty(UInt32 index, PROPID propId, PROPVARIANT *value)
{
    return callbackBoundary([&] { return getProperty(index, propId, value); });
}

HRESULT CArchiveUpdateCallback::getProperty(UInt32 index, PROPID propId, PROPVARIANT *value)
{
    PropertyValue answer;
    if (propId == kpidIsAnti) {
        answer.setBool(false);
        answer.moveTo(value);
        return S_OK;
    }
    const DirItem *listed = itemAt(index);
    if (!listed)
        return E_INVALIDARG;
    const DirItem &item = *listed;
    switch (propId) {
    case kpidPath:
        answer.setString(item.name.data(), item.name.length());
        break;
    case kpidIsDir:
        answer.setBool(item.isDir());
        break;
    case kpidSize:
        answer.setUInt64(item.size);
        break;
    case kpidAttrib:
        answer.setUInt32(item.attributes);
        break;
    case kpidCTime:
        answer.setFileTime(item.creationTime);
        break;
    case kpidATime:
        answer.setFileTime(item.accessTime);
        break;
    case kpidMTime:
        answer.setFileTime(item.modificationTime);
        break;
    default:
        break;
    }
    answer.moveTo(value);
    return S_OK;
}

HRESULT CArchiveUpdateCallback::GetStream(UInt32 index, ISequentialInStream **inStream)
{
    return callbackBoundary([&] { return getStream(index, inStream); });
}

HRESULT CArchiveUpdateCallback::getStream(UInt32 index, ISequentialInStream **inStream)
{
    *inStream = nullptr;
    finishPending();
    const DirItem *listed = itemAt(index);
    if (!listed)
        return E_INVALIDARG;
    const DirItem &item = *listed;
    const WideString &displayName = item.name.isEmpty() ? WideString(kNamelessItem) : item.name;
    emit Q7Zip::getInstance()->compressing_filename_signal(toQString(displayName));
    if (item.isDir())
        return S_OK;

    const WideString path = dirPrefix + item.fullPath;
    auto *file = new CInFileStream;
    ComPtr<IInStream> holder(file);
    if (!file->OpenForRead(path)) {
        failedCodes.add(GetLastErrorNumber());
        failedFiles.add(path);
        qDebug() << "";
        LogError("WARNING: can't open file");
        return S_FALSE;
    }
    *inStream = holder.detach();
    return S_OK;
}

HRESULT CArchiveUpdateCallback::SetOperationResult(Int32)
{
    needNewLine = true;
    return S_OK;
}

HRESULT CArchiveUpdateCallback::GetVolumeSize(UInt32 index, UInt64 *size)
{
    if (volumeSizes.isEmpty())
        return S_FALSE;
    *size = index < volumeSizes.size() ? volumeSizes[index] : volumeSizes.back();
    return S_OK;
}

HRESULT CArchiveUpdateCallback::GetVolumeStream(UInt32 index, ISequentialOutStream **volumeStream)
{
    return callbackBoundary([&] { return getVolumeStream(index, volumeStream); });
}

HRESULT CArchiveUpdateCallback::getVolumeStream(UInt32 index, ISequentialOutStream **volumeStream)
{
    *volumeStream = nullptr;
    // index 0 is volume "01", index 99 volume "100".
    const QString number =
        QStringLiteral("%1").arg(static_cast<qulonglong>(index) + 1, 2, 10, QLatin1Char('0'));
    WideString fileName = volumeName;
    fileName += L'.';
    fileName += toWideString(number);
    fileName += volumeExt;

    auto *file = new COutFileStream;
    ComPtr<IOutStream> holder(file);
    file->resetProcessedSize();
    if (!file->OpenForWrite(fileName, CDiskFile::Disposition::CreateNew))
        return LastErrorResult();
    *volumeStream = holder.detach();
    return S_OK;
}

HRESULT CArchiveUpdateCallback::CryptoGetTextPassword2(Int32 *passwordIsDefined, BSTR *answer)
{
    return callbackBoundary([&] {
        if (!passwordDefined && askPassword)
            return answerPassword(false, password, answer);
        *passwordIsDefined = passwordDefined ? 1 : 0;
        return copyPassword(password, answer);
    });
}
