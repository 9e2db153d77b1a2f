#include "common/Bstr.h"
#include "common/ComPtr.h"
#include "common/PropertyValue.h"
#include "common/RecordVector.h"
#include "common/RefCounted.h"
#include "common/WideString.h"

#include <QtTest>

#include <thread>
#include <vector>

namespace {

UInt32 storedByteCount(BSTR text)
{
    UInt32 count;
    std::memcpy(&count, reinterpret_cast<unsigned char *>(text) - 4, 4);
    return count;
}

struct Tracked
{
    explicit Tracked(int &counter) : liveObjects(counter) { ++liveObjects; }
    Tracked(const Tracked &other) : liveObjects(other.liveObjects) { ++liveObjects; }
    ~Tracked() { --liveObjects; }
    int &liveObjects;
};

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
    void wideStringGrowsByTheFixedRule();
    void stringsRefuseCapacitiesFromTheLimitOn();
    void wideStringEditsKeepTerminator();
    void wideStringAppendingItselfSurvivesGrowth();
    void wideStringConvertsQStringBeyondBmp();
    void recordVectorGrowsByAQuarterPlusOne();
    void objectVectorDeletesItsObjects();
    void bstrHasTheEngineLayout();
    void propertyValueSettersClearTheOldValue();
    void propertyValueMovesIntoEngineRecord();
    void referenceCountIsAtomicAndDestroysAtZero();
};

void TestCommon::wideStringGrowsByTheFixedRule()
{
    WideString text;
    QCOMPARE(text.capacity(), 3u);
    QList<UInt32> capacities{text.capacity()};
    for (int i = 0; i < 200; ++i) {
        text += L'x';
        if (text.capacity() != capacities.last())
            capacities << text.capacity();
    }
    // n = 4 -> 15, n = 16 -> 31, n = 32 -> 63, n = 64 -> 111, n = 112 -> 175, n = 176 -> 271
    QCOMPARE(capacities, (QList<UInt32>{3, 15, 31, 63, 111, 175, 271}));
    QCOMPARE(text.length(), 200u);
    QCOMPARE(text.data()[200], L'\0');

    WideString reserved;
    reserved.reserve(1000);
    QCOMPARE(reserved.capacity(), UInt32(((1000 + 16 + 500) & ~15) - 1));
}

void TestCommon::stringsRefuseCapacitiesFromTheLimitOn()
{
    QCOMPARE(WideString::grownCapacity(0x2AAAAAA0), 0x3FFFFFFFu);
    try {
        WideString::grownCapacity(0x2AAAAAAB);
        QFAIL("no exception");
    } catch (const EngineError &error) {
        QCOMPARE(error.code(), 20130221);
    }
    WideString wide(L"abc");
    try {
        wide.reserve(0x30000000);
        QFAIL("no exception");
    } catch (const EngineError &error) {
        QCOMPARE(error.code(), 20130221);
    }
    QCOMPARE(wide, WideString(L"abc"));
    NarrowString narrow;
    try {
        narrow.reserve(0x7FFFFFFF);
        QFAIL("no exception");
    } catch (const EngineError &error) {
        QCOMPARE(error.code(), 20130220);
    }
}

void TestCommon::wideStringEditsKeepTerminator()
{
    WideString path(L"dir\\sub\\file.txt");
    QCOMPARE(path.left(3), WideString(L"dir"));
    QCOMPARE(path.mid(8), WideString(L"file.txt"));
    QCOMPARE(path.mid(99), WideString());
    path.truncate(7);
    QCOMPARE(path, WideString(L"dir\\sub"));
    QCOMPARE(std::wcslen(path.data()), size_t(7));
    QCOMPARE(path + WideString(L"\\x"), WideString(L"dir\\sub\\x"));
    path.clear();
    QVERIFY(path.isEmpty());
    QCOMPARE(path.data()[0], L'\0');
}

void TestCommon::wideStringAppendingItselfSurvivesGrowth()
{
    WideString text(L"abc");
    text.append(text.data(), text.length());
    text += text;
    QCOMPARE(text, WideString(L"abcabcabcabc"));
}

void TestCommon::wideStringConvertsQStringBeyondBmp()
{
    const QString original = QString::fromUtf8("Velmora \xC3\xA9 \xF0\x9F\x8E\xAE");
    const WideString wide = toWideString(original);
    QCOMPARE(wide.length(), 11u); // one wchar_t per code point, the emoji included
    QCOMPARE(toQString(wide), original);
}

void TestCommon::recordVectorGrowsByAQuarterPlusOne()
{
    RecordVector<UInt64> values;
    QList<UInt32> capacities{values.capacity()};
    for (UInt64 i = 0; i < 100; ++i) {
        QCOMPARE(values.add(i * 3), UInt32(i));
        if (values.capacity() != capacities.last())
            capacities << values.capacity();
    }
    QCOMPARE(capacities, (QList<UInt32>{0, 1, 2, 3, 4, 6, 8, 11, 14, 18, 23, 29, 37, 47, 59, 74, 93, 117}));
    for (UInt32 i = 0; i < values.size(); ++i)
        QCOMPARE(values[i], UInt64(i) * 3);
    RecordVector<UInt64> copy(values);
    values.clear();
    QCOMPARE(copy.size(), 100u);
    QCOMPARE(copy.back(), UInt64(297));
}

void TestCommon::objectVectorDeletesItsObjects()
{
    int live = 0;
    {
        ObjectVector<Tracked> objects;
        objects.addOwned(new Tracked(live));
        objects.add(Tracked(live));
        QCOMPARE(live, 2);
        objects.clear();
        QCOMPARE(live, 0);
        objects.addOwned(new Tracked(live));
    }
    QCOMPARE(live, 0);
}

void TestCommon::bstrHasTheEngineLayout()
{
    BSTR text = AllocBstr(L"path/\x00E9");
    QVERIFY(text);
    QCOMPARE(storedByteCount(text), UInt32(6 * sizeof(wchar_t)));
    QCOMPARE(BstrLength(text), 6u);
    QCOMPARE(text[6], L'\0');
    FreeBstr(text);

    BSTR prefix = AllocBstrLen(L"abcdef", 3);
    QCOMPARE(BstrLength(prefix), 3u);
    QVERIFY(std::wcscmp(prefix, L"abc") == 0);
    FreeBstr(prefix);

    BSTR empty = AllocBstr(L"");
    QCOMPARE(BstrLength(empty), 0u);
    QCOMPARE(empty[0], L'\0');
    FreeBstr(empty);
    FreeBstr(nullptr);
}

void TestCommon::propertyValueSettersClearTheOldValue()
{
    PropertyValue value;
    QCOMPARE(value.vt, VARTYPE(VT_EMPTY));
    value.setString(L"first");
    QCOMPARE(value.vt, VARTYPE(VT_BSTR));
    QVERIFY(std::wcscmp(value.bstrVal, L"first") == 0);
    // Each setter frees the string before it (a leak here fails the sanitizer and valgrind runs).
    value.setString(L"second", 3);
    QVERIFY(std::wcscmp(value.bstrVal, L"sec") == 0);
    value.setUInt32(0x81A48000u);
    QCOMPARE(value.vt, VARTYPE(VT_UI4));
    QCOMPARE(value.ulVal, 0x81A48000u);
    value.setUInt64(0x123456789ull);
    QCOMPARE(value.vt, VARTYPE(VT_UI8));
    QCOMPARE(value.uhVal.QuadPart, 0x123456789ull);
    value.setBool(true);
    QCOMPARE(value.vt, VARTYPE(VT_BOOL));
    QCOMPARE(value.boolVal, VARIANT_BOOL(-1));
    value.setBool(false);
    QCOMPARE(value.boolVal, VARIANT_BOOL(0));
    value.setFileTime(FILETIME{0x89ABCDEF, 0x01D00000});
    QCOMPARE(value.vt, VARTYPE(VT_FILETIME));
    QCOMPARE(value.wReserved1, static_cast<unsigned short>(0));
    QCOMPARE(value.filetime.dwHighDateTime, 0x01D00000u);
    value.setString(L"last");
    value.clear();
    QCOMPARE(value.vt, VARTYPE(VT_EMPTY));
}

void TestCommon::propertyValueMovesIntoEngineRecord()
{
    PROPVARIANT target{};
    target.vt = VT_BSTR;
    target.bstrVal = AllocBstr(L"old");
    {
        PropertyValue value;
        value.setString(L"new");
        value.moveTo(&target);
        QCOMPARE(value.vt, VARTYPE(VT_EMPTY));
    }
    QCOMPARE(target.vt, VARTYPE(VT_BSTR));
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
    void *none = probe;
    QCOMPARE(probe->QueryInterface(IID_IInArchive, &none), E_NOINTERFACE);
    QVERIFY(!none);

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
    QVERIFY(!destroyed);
    QCOMPARE(probe->AddRef(), 3u);
    QCOMPARE(probe->Release(), 2u);
    asUnknown.reset();
    QVERIFY(!destroyed);
    held.reset();
    QVERIFY(destroyed);
}

QTEST_GUILESS_MAIN(TestCommon)
#include "tst_common.moc"
