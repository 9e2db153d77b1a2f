#include "archive/CArchiveExtractCallback.h"

#include "archive/CallbackBoundary.h"
#include "archive/EngineLog.h"
#include "archive/PasswordAnswer.h"
#include "archive/Q7Zip.h"
#include "archive/UnsafeItemPath.h"
#include "common/Bstr.h"
#include "common/PropertyValue.h"
#include "fileio/FileSystemOps.h"
#include "fileio/OutFileStream.h"

#include <QDebug>

namespace {

// The Unix file type in the mode an archiver made on Unix keeps in the high 16 bits of the attributes.
constexpr UInt32 kUnixFileTypeMask = 0170000;
constexpr UInt32 kUnixSymbolicLink = 0120000;

const wchar_t kNamelessItem[] = L"[Content]";

bool isSymbolicLink(UInt32 attributes)
{
    return (attributes & kAttributeUnixExtension) != 0 &&
           ((attributes >> 16) & kUnixFileTypeMask) == kUnixSymbolicLink;
}

const char *operationResultText(Int32 operationResult)
{
    switch (operationResult) {
    case kOpResultUnsupportedMethod:
        return "Unsupported Method";
    case kOpResultDataError:
        return "Data Error";
    case kOpResultCrcError:
        return "CRC Failed";
    case kOpResultUnavailable:
        return "Unavailable data";
    case kOpResultUnexpectedEnd:
        return "Unexpected end of data";
    case kOpResultDataAfterEnd:
        return "There are some data after the end of the payload data";
    case kOpResultIsNotArchive:
        return "Is not archive";
    case kOpResultHeadersError:
        return "Headers Error";
    default:
        return nullptr;
    }
}

} // namespace

void CArchiveExtractCallback::Init(IInArchive *newArchive, const WideString &directory,
                                   const std::atomic<bool> *stop)
{
    stopFlag = stop;
    archive.reset(newArchive);
    // The engine does not check item indices itself; GetStream compares them with this count.
    if (!archive || archive->GetNumberOfItems(&itemCount) != S_OK)
        itemCount = 0;
    outputDir = directory;
    EnsureTrailingSeparator(outputDir);
}

HRESULT CArchiveExtractCallback::QueryInterface(const GUID &iid, void **object)
{
    if (iid == IID_IUnknown || iid == IID_ICryptoGetTextPassword)
        return answerInterface(static_cast<ICryptoGetTextPassword *>(this), object);
    *object = nullptr;
    return E_NOINTERFACE;
}

HRESULT CArchiveExtractCallback::SetTotal(UInt64 total)
{
    if (stopRequested())
        return E_ABORT;
    totalSize = total;
    emit Q7Zip::getInstance()->extract_filesize_signal(totalSize);
    return S_OK;
}

HRESULT CArchiveExtractCallback::SetCompleted(const UInt64 *completeValue)
{
    if (stopRequested())
        return E_ABORT;
    if (completeValue)
        emit Q7Zip::getInstance()->extract_completeValue_signal(*completeValue);
    return S_OK;
}

HRESULT CArchiveExtractCallback::GetStream(UInt32 index, ISequentialOutStream **stream, Int32 askExtractMode)
{
    return callbackBoundary([&] { return getStream(index, stream, askExtractMode); });
}

HRESULT CArchiveExtractCallback::getStream(UInt32 index, ISequentialOutStream **stream, Int32 askExtractMode)
{
    *stream = nullptr;
    // A file still open here is unfinished; discardUnfinishedItem removes it after the stop.
    if (stopRequested())
        return E_ABORT;
    outStream.reset();
    outFile = nullptr;
    if (index >= itemCount)
        return E_INVALIDARG;

    PropertyValue path;
    const HRESULT pathResult = archive->GetProperty(index, kpidPath, &path);
    if (pathResult != S_OK)
        return pathResult;
    // An item without a name (or with an empty one) gets a fixed name inside the output directory.
    if (path.vt == VT_EMPTY || (path.vt == VT_BSTR && BstrLength(path.bstrVal) == 0))
        itemPath = WideString(kNamelessItem);
    else if (path.vt == VT_BSTR)
        itemPath.assign(path.bstrVal, BstrLength(path.bstrVal));
    else
        return E_FAIL;

    if (askExtractMode != kAskExtract)
        return S_OK;

    const HRESULT propertiesResult = readItemProperties(index);
    if (propertiesResult != S_OK)
        return propertiesResult;

    // Names are stored raw: one that is absolute or climbs out with ".." would be written outside the
    // output directory. Refusing it fails the whole extraction.
    if (isUnsafeItemPath(itemPath)) {
        LogError("Item path leads outside the output directory");
        LogPathLine(itemPath);
        return E_ABORT;
    }

    diskPath = outputDir + itemPath;
    if (!createItemDirectory())
        return E_ABORT;
    if (itemIsDir)
        return S_OK;

    CFoundEntry existing;
    if (FindEntry(diskPath, existing) && !ForceDeleteFile(diskPath)) {
        const std::string reason = LastErrorText();
        LogError("Can not delete output file");
        LogPathLine(diskPath);
        LogReasonLine(reason);
        return E_ABORT;
    }
    return openOutputFile(stream);
}

bool CArchiveExtractCallback::createItemDirectory()
{
    const int separator = LastSeparator(itemPath);
    const WideString directory = itemIsDir ? itemPath : itemPath.left(separator < 0 ? 0 : UInt32(separator));
    if (directory.isEmpty() || directory == madeDirectory)
        return true;
    if (CreateDirectoryChainBeneath(outputDir, directory)) {
        madeDirectory = directory;
        return true;
    }
    // A file item whose directory cannot be made is a file that cannot be opened.
    const std::string reason = LastErrorText();
    LogError(itemIsDir ? "Can not create output directory" : "Can not open output file");
    LogPathLine(diskPath);
    LogReasonLine(reason);
    return false;
}

HRESULT CArchiveExtractCallback::readItemProperties(UInt32 index)
{
    PropertyValue value;
    HRESULT result = archive->GetProperty(index, kpidAttrib, &value);
    if (result != S_OK)
        return result;
    if (value.vt == VT_EMPTY) {
        itemAttrib = 0;
        attribDefined = false;
    } else if (value.vt == VT_UI4) {
        itemAttrib = value.ulVal;
        attribDefined = true;
    } else {
        return E_FAIL;
    }
    // A symbolic link is written as a plain file holding the link's text: it keeps its Windows attribute
    // bits but not the link's Unix mode.
    if (isSymbolicLink(itemAttrib))
        itemAttrib &= kAttributeUnixExtension - 1;

    value.clear();
    result = archive->GetProperty(index, kpidIsDir, &value);
    if (result != S_OK)
        return result;
    if (value.vt == VT_BOOL)
        itemIsDir = value.boolVal != VARIANT_FALSE;
    else if (value.vt == VT_EMPTY)
        itemIsDir = false;
    else
        return E_FAIL;

    value.clear();
    result = archive->GetProperty(index, kpidMTime, &value);
    if (result != S_OK)
        return result;
    mtimeDefined = false;
    if (value.vt == VT_FILETIME) {
        itemMTime = value.filetime;
        mtimeDefined = true;
    } else if (value.vt != VT_EMPTY) {
        return E_FAIL;
    }

    value.clear();
    result = archive->GetProperty(index, kpidSize, &value);
    if (result != S_OK)
        return result;
    switch (value.vt) {
    case VT_EMPTY:
    case VT_UI1:
    case VT_UI2:
    case VT_UI4:
    case VT_UI8:
        return S_OK;
    default:
        return E_FAIL;
    }
}

HRESULT CArchiveExtractCallback::openOutputFile(ISequentialOutStream **stream)
{
    ComPtr<COutFileStream> file(new COutFileStream);
    file->resetProcessedSize();
    if (!file->OpenForWrite(diskPath, CDiskFile::Disposition::CreateAlways)) {
        const std::string reason = LastErrorText();
        LogError("Can not open output file");
        LogPathLine(diskPath);
        LogReasonLine(reason);
        return E_ABORT;
    }
    file->stopWritesWhen(stopFlag);
    // The engine releases the stream it is handed before SetOperationResult; this reference keeps the file
    // open until SetOperationResult has put the time on it and closed it.
    outFile = file.get();
    outStream.reset(file.get());
    *stream = file.detach();
    return S_OK;
}

HRESULT CArchiveExtractCallback::PrepareOperation(Int32 askExtractMode)
{
    return callbackBoundary([&] {
        extractMode = askExtractMode == kAskExtract;
        const QString name = toQString(itemPath).replace(QLatin1Char('\\'), QLatin1Char('/'));
        switch (askExtractMode) {
        case kAskExtract:
            qDebug() << "Extracting  " << name;
            emit Q7Zip::getInstance()->extracting_filename_signal(name);
            break;
        case kAskTest:
            qDebug() << "Testing     " << name;
            break;
        case kAskSkip:
            qDebug() << "Skipping    " << name;
            break;
        default:
            break;
        }
        return S_OK;
    });
}

HRESULT CArchiveExtractCallback::SetOperationResult(Int32 operationResult)
{
    return callbackBoundary([&] { return finishItem(operationResult); });
}

HRESULT CArchiveExtractCallback::finishItem(Int32 operationResult)
{
    if (operationResult != kOpResultOk) {
        ++failedItems;
        qDebug() << "  :  ";
        if (const char *text = operationResultText(operationResult)) {
            qDebug() << "Error : ";
            qDebug() << text;
        } else {
            qDebug() << "Error #";
            qDebug() << static_cast<UInt32>(operationResult);
        }
    }
    bool attributesPending = extractMode && attribDefined;
    if (outStream) {
        if (mtimeDefined)
            outFile->SetModificationTime(itemMTime);
        // Given to the open file where the system allows it: one call, without looking its path up again.
        if (attributesPending && ApplyFileAttributes(outFile->diskFile(), itemAttrib))
            attributesPending = false;
        const HRESULT closeResult = outFile->Close();
        if (closeResult != S_OK)
            return closeResult;
        outStream.reset();
        outFile = nullptr;
    }
    // An item whose attributes cannot be set is still extracted whole.
    if (attributesPending)
        (void)ApplyFileAttributes(diskPath, itemAttrib);
    qDebug() << "";
    return S_OK;
}

void CArchiveExtractCallback::discardUnfinishedItem()
{
    if (!outStream)
        return;
    const std::string failure = outFile->writeFailure();
    if (!failure.empty()) {
        LogError("Can not write output file");
        LogPathLine(diskPath);
        LogReasonLine(failure);
    }
    outFile->Close();
    outStream.reset();
    outFile = nullptr;
    if (!ForceDeleteFile(diskPath)) {
        const std::string reason = LastErrorText();
        LogError("Can not delete output file");
        LogPathLine(diskPath);
        LogReasonLine(reason);
    }
}

HRESULT CArchiveExtractCallback::CryptoGetTextPassword(BSTR *answer)
{
    return callbackBoundary([&] { return answerPassword(passwordDefined, password, answer); });
}
