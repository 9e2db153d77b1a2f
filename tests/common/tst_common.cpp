#include "common/Bstr.h"
#include "common/ComPtr.h"
#include "common/PropertyValue.h"
#include "common/RefCounted.h"
#include "common/WideString.h"

#include <QtTest>

#include <functional>
#include <thread>
#include <vector>

namespace {

int limitErrorOf(const std::function<void()> &action)
{
    try {
        action();
    } catch (const EngineError &error) {
        return error.code();
    }
    return 0;
}

class CProbe : public IProgress, public CMyUnknownImp
{
public:
    explicit CProbe(bool &destroyed) : destroyedFlag(destroyed) {}
    ~CProbe() override { destroyedFlag = true; }
    HRESULT QueryInterface(const GUID &iid, void **object) override
    {
        *object = nullptr;
        if (iid == IID_IUnknown || iid == IID_IProgress)
            return answerInterface(static_cast<IProgress *>(this), object);
        return E_NOINTERFACE;
    }
    VELMORA_UNKNOWN_REFCOUNT
    HRESULT SetTotal(UInt64) override { return S_OK; }
    HRESULT SetCompleted(const UInt64 *) override { return S_OK; }

private:
    bool &destroyedFlag;
};

} // namespace

class TestCommon : public QObject
{
    Q_OBJECT

private slots:
    void stringsRefuseCapacitiesFromTheLimitOn();
    void wideStringAppendsItselfAndConvertsBeyondBmp();
    void bstrHasTheEngineLayout();
    void propertyValueFreesWhatItReplaces();
    void referenceCountIsAtomicAndDestroysAtZero();
};

void TestCommon::stringsRefuseCapacitiesFromTheLimitOn()
{
    QCOMPARE(WideString::grownCapacity(0x2AAAAAA0), 0x3FFFFFFFu);
    QCOMPARE(limitErrorOf([] { WideString::grownCapacity(0x2AAAAAAB); }), 20130221);
    WideString wide(L"abc");
    QCOMPARE(limitErrorOf([&] { wide.reserve(0x30000000); }), 20130221);
    QCOMPARE(wide, WideString(L"abc"));
    QCOMPARE(limitErrorOf([] { NarrowString().reserve(0x7FFFFFFF); }), 20130220);
}

void TestCommon::wideStringAppendsItselfAndConvertsBeyondBmp()
{
    WideString text(L"abc");
    text.append(text.data(), text.length());
    text += text;
    QCOMPARE(text, WideString(L"abcabcabcabc"));
    const QString original = QString::fromUtf8("Velmora \xC3\xA9 \xF0\x9F\x8E\xAE");
    QCOMPARE(toWideString(original).length(), 11u); // one wchar_t per code point, the emoji included
    QCOMPARE(toQString(toWideString(original)), original);
}

void TestCommon::bstrHasTheEngineLayout()
{
    BSTR text = AllocBstr(L"path/\x00E9");
    UInt32 storedBytes = 0; // the byte count stands in the 4 bytes before the characters
    std::memcpy(&storedBytes, reinterpret_cast<unsigned char *>(text) - 4, 4);
    QCOMPARE(storedBytes, UInt32(6 * sizeof(wchar_t)));
    QCOMPARE(BstrLength(text), 6u);
    QCOMPARE(text[6], L'\0');
    FreeBstr(text);
    BSTR prefix = AllocBstrLen(L"abcdef", 3);
    QVERIFY(BstrLength(prefix) == 3 && std::wcscmp(prefix, L"abc") == 0);
    FreeBstr(prefix);
}

void TestCommon::propertyValueFreesWhatItReplaces()
{
    // A string left behind fails the sanitizer and valgrind runs.
    PROPVARIANT target{};
    target.vt = VT_BSTR;
    target.bstrVal = AllocBstr(L"old");
    {
        PropertyValue value;
        value.setString(L"first");
        value.setString(L"second", 3);
        QVERIFY(std::wcscmp(value.bstrVal, L"sec") == 0);
        value.setUInt64(0x123456789ull);
        QCOMPARE(value.vt, VARTYPE(VT_UI8));
        value.setString(L"new");
        value.moveTo(&target);
        QCOMPARE(value.vt, VARTYPE(VT_EMPTY));
    }
    QVERIFY(std::wcscmp(target.bstrVal, L"new") == 0);
    QCOMPARE(ClearVariant(&target), S_OK);
    QCOMPARE(target.vt, VARTYPE(VT_EMPTY));
}

void TestCommon::referenceCountIsAtomicAndDestroysAtZero()
{
    bool destroyed = false;
    auto *probe = new CProbe(destroyed);
    ComPtr<IProgress> held(probe);
    ComPtr<IUnknown> asUnknown;
    QCOMPARE(probe->QueryInterface(IID_IUnknown, asUnknown.putVoid()), S_OK);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([probe] {
            for (int i = 0; i < 100000; ++i) {
                probe->AddRef();
                probe->Release();
            }
        });
    for (std::thread &thread : threads)
        thread.join();
    QCOMPARE(probe->AddRef(), 3u);
    QCOMPARE(probe->Release(), 2u);
    asUnknown.reset();
    QVERIFY(!destroyed);
    held.reset();
    QVERIFY(destroyed);
}

QTEST_GUILESS_MAIN(TestCommon)
#include "tst_common.moc"
