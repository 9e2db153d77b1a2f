#include "common/ComPtr.h"
#include "common/RefCounted.h"
#include "common/WideString.h"

#include <QtTest>

#include <functional>
#include <thread>

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

struct CProbe : IProgress, CMyUnknownImp
{
    explicit CProbe(bool &destroyed) : destroyedFlag(destroyed) {}
    ~CProbe() override { destroyedFlag = true; }
    HRESULT QueryInterface(const GUID &, void **object) override { return answerInterface(this, object); }
    VELMORA_UNKNOWN_REFCOUNT
    HRESULT SetTotal(UInt64) override { return S_OK; }
    HRESULT SetCompleted(const UInt64 *) override { return S_OK; }
    bool &destroyedFlag;
};

} // namespace

class TestCommon : public QObject
{
    Q_OBJECT

private slots:
    void stringsRefuseCapacitiesFromTheLimitOn()
    {
        QCOMPARE(WideString::grownCapacity(0x2AAAAAA0), 0x3FFFFFFFu);
        QCOMPARE(limitErrorOf([] { WideString::grownCapacity(0x2AAAAAAB); }), 20130221);
        QCOMPARE(limitErrorOf([] { NarrowString().reserve(0x7FFFFFFF); }), 20130220);
    }

    void referenceCountIsAtomicAndDestroysAtZero()
    {
        bool destroyed = false;
        auto *probe = new CProbe(destroyed);
        ComPtr<IProgress> held(probe);
        const auto churn = [probe] {
            for (int i = 0; i < 100000; ++i)
                probe->AddRef(), probe->Release();
        };
        std::thread first(churn), second(churn), third(churn);
        churn();
        for (std::thread *thread : {&first, &second, &third})
            thread->join();
        QCOMPARE(probe->AddRef(), 2u);
        QCOMPARE(probe->Release(), 1u);
        QVERIFY(!destroyed);
        held.reset();
        QVERIFY(destroyed);
    }
};

QTEST_GUILESS_MAIN(TestCommon)
#include "tst_common.moc"
