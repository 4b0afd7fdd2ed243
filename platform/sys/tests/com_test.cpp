#include <atomic>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/base/assertion.h"
#include "platform/sys/com.h"
#include "platform/sys/com_object.h"
#include "platform/sys/com_ptr.h"

namespace pf {
namespace {

constexpr Guid kClsidWidget = {0x5A17D001, 0x0001, 0x0002, {1, 2, 3, 4, 5, 6, 7, 8}};
constexpr Guid kIidWidget = {0x5A17D002, 0x0001, 0x0002, {1, 2, 3, 4, 5, 6, 7, 8}};
constexpr Guid kIidOther = {0x5A17D003, 0x0001, 0x0002, {1, 2, 3, 4, 5, 6, 7, 8}};

class IWidget : public IUnknownLike {
public:
    virtual int Answer() = 0;
};

std::atomic<int> g_widgetsAlive{0};

class Widget final : public ComObject<IWidget> {
public:
    Widget() : ComObject(kIidWidget) { ++g_widgetsAlive; }
    int Answer() override { return 42; }

private:
    ~Widget() override { --g_widgetsAlive; }
};

HResult CreateWidget(const Guid& iid, void** out)
{
    Widget* const widget = new Widget; // its last Release deletes it
    const HResult hr = widget->QueryInterface(iid, out);
    widget->Release();
    return hr;
}

// Registers the widget class for one test and removes it afterwards.
class ComClassTest : public ::testing::Test {
protected:
    ComClassTest() { registerComClass(kClsidWidget, CreateWidget); }
    ~ComClassTest() override { unregisterComClass(kClsidWidget); }
};

TEST(ComInitialize, CountsPerThreadAndAnswersSFalseAfterTheFirst)
{
    EXPECT_EQ(CoInitialize(nullptr), S_OK);
    EXPECT_EQ(CoInitialize(nullptr), S_FALSE);
    EXPECT_EQ(comInitCount(), 2);
    std::thread other([] {
        EXPECT_EQ(CoInitialize(nullptr), S_OK); // a thread of its own starts afresh
        CoUninitialize();
    });
    other.join();
    CoUninitialize();
    CoUninitialize();
    CoUninitialize(); // one too many is ignored
    EXPECT_EQ(comInitCount(), 0);
    EXPECT_EQ(CoInitialize(nullptr), S_OK);
    CoUninitialize();
}

TEST(ComInitialize, ScriptedFailuresAreReturnedAndNotCounted)
{
    for (const HResult failure : {E_INVALIDARG, E_OUTOFMEMORY, E_UNEXPECTED}) {
        scriptCoInitializeFailure(failure);
        EXPECT_EQ(CoInitialize(nullptr), failure);
        EXPECT_EQ(comInitCount(), 0);
    }
    scriptCoInitializeFailure(std::nullopt);
    EXPECT_EQ(CoInitialize(nullptr), S_OK);
    CoUninitialize();
}

TEST_F(ComClassTest, CreateGivesAnObjectWithOneReferenceThatTheLastReleaseDeletes)
{
    {
        ComPtr<IWidget> widget;
        ASSERT_EQ(CoCreateInstance(kClsidWidget, nullptr, CLSCTX_ALL, kIidWidget, widget.put()), S_OK);
        ASSERT_TRUE(widget);
        EXPECT_EQ(widget->Answer(), 42);
        EXPECT_EQ(static_cast<Widget*>(widget.get())->referenceCount(), 1u);
        ComPtr<IWidget> copy = widget;
        EXPECT_EQ(static_cast<Widget*>(widget.get())->referenceCount(), 2u);
        ComPtr<IUnknownLike> unknown;
        EXPECT_EQ(widget.queryInterface(IID_IUnknown, unknown), S_OK);
        EXPECT_EQ(static_cast<Widget*>(widget.get())->referenceCount(), 3u);
        EXPECT_EQ(g_widgetsAlive, 1);
    }
    EXPECT_EQ(g_widgetsAlive, 0);
}

TEST_F(ComClassTest, FailuresClearTheOutPointer)
{
    int dummy = 0;
    const struct {
        const char* name;
        Guid clsid, iid;
        IUnknownLike* outer;
        HResult want;
    } cases[] = {
        {"unregistered class", kIidOther, kIidWidget, nullptr, REGDB_E_CLASSNOTREG},
        {"unknown interface", kClsidWidget, kIidOther, nullptr, E_NOINTERFACE},
        {"aggregation", kClsidWidget, kIidWidget, reinterpret_cast<IUnknownLike*>(&dummy), CLASS_E_NOAGGREGATION},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        void* out = &dummy;
        EXPECT_EQ(CoCreateInstance(c.clsid, c.outer, CLSCTX_INPROC_SERVER, c.iid, &out), c.want);
        EXPECT_EQ(out, nullptr);
    }
    EXPECT_EQ(CoCreateInstance(kClsidWidget, nullptr, CLSCTX_ALL, kIidWidget, nullptr), E_POINTER);
    EXPECT_EQ(g_widgetsAlive, 0); // the refused interface did not leak the object made for it
}

TEST(ComClassRegistry, NothingIsRegisteredByDefaultAndUnregisterForgets)
{
    void* out = nullptr;
    EXPECT_EQ(CoCreateInstance(kClsidWidget, nullptr, CLSCTX_ALL, kIidWidget, &out), REGDB_E_CLASSNOTREG);
    registerComClass(kClsidWidget, CreateWidget);
    EXPECT_TRUE(unregisterComClass(kClsidWidget));
    EXPECT_FALSE(unregisterComClass(kClsidWidget));
    EXPECT_EQ(CoCreateInstance(kClsidWidget, nullptr, CLSCTX_ALL, kIidWidget, &out), REGDB_E_CLASSNOTREG);
}

TEST(ComObjectCount, ConcurrentAddRefAndReleaseBalance)
{
    auto widget = ComPtr<IWidget>::adopt(new Widget);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([raw = widget.get()] {
            for (int i = 0; i < 10000; ++i) {
                raw->AddRef();
                raw->Release();
            }
        });
    }
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(static_cast<Widget*>(widget.get())->referenceCount(), 1u);
    widget.reset();
    EXPECT_EQ(g_widgetsAlive, 0);
}

// An object whose final release is recorded instead of deleting, so a release past zero can be seen.
class Kept final : public ComObject<IUnknownLike> {
public:
    Kept() : ComObject(IID_IUnknown) {}
    ~Kept() override = default;
    int finalReleases = 0;

protected:
    void onFinalRelease() override { ++finalReleases; }
};

std::atomic<int> g_asserts{0};
void CountAssert(const AssertionInfo&)
{
    ++g_asserts;
}

TEST(ComObjectCount, ReleaseBelowZeroAsserts)
{
    Kept kept;
    const AssertHandler previous = setAssertHandler(CountAssert);
    EXPECT_EQ(kept.Release(), 0u);
    EXPECT_EQ(kept.finalReleases, 1);
    EXPECT_EQ(g_asserts, 0);
    EXPECT_EQ(kept.Release(), 0u);
    EXPECT_EQ(g_asserts, 1);
    EXPECT_EQ(kept.finalReleases, 1); // not finalised twice
    setAssertHandler(previous);
}

TEST(ComPtrOwnership, MoveDetachAndPutKeepCountsRight)
{
    auto first = ComPtr<IWidget>::adopt(new Widget);
    auto* const raw = static_cast<Widget*>(first.get());
    ComPtr<IWidget> moved = std::move(first);
    EXPECT_FALSE(first);
    EXPECT_EQ(raw->referenceCount(), 1u);
    IWidget* const detached = moved.detach();
    EXPECT_EQ(raw->referenceCount(), 1u);
    ComPtr<IWidget> back = ComPtr<IWidget>::adopt(detached);
    {
        auto other = ComPtr<IWidget>::adopt(new Widget);
        EXPECT_EQ(g_widgetsAlive, 2);
        (void)other.put(); // releases what it held
        EXPECT_EQ(g_widgetsAlive, 1);
    }
    back = nullptr;
    EXPECT_EQ(g_widgetsAlive, 0);
}

} // namespace
} // namespace pf
