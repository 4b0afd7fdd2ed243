#include <gtest/gtest.h>

#include "platform/sys/modules.h"

namespace pf {
namespace {

int EntryPoint()
{
    return 8;
}

// The runtime library name and entry point the renderer looks for; registered only by the test that needs them.
constexpr const char* kRuntime = "d3d8.dll";
constexpr const char* kEntry = "Direct3DCreate8";

class RegisteredRuntime : public ::testing::Test {
protected:
    RegisteredRuntime() { registerModule(kRuntime, {{kEntry, reinterpret_cast<void*>(&EntryPoint)}}); }
    ~RegisteredRuntime() override { unregisterModule(kRuntime); }
};

TEST(Modules, NothingIsRegisteredByDefault)
{
    EXPECT_FALSE(loadLibrary(kRuntime));
    EXPECT_EQ(getProcAddress(ModuleHandle{}, kEntry), nullptr);
    EXPECT_FALSE(freeLibrary(ModuleHandle{}));
}

TEST_F(RegisteredRuntime, NamesIgnoreCaseSymbolsDoNot)
{
    const ModuleHandle module = loadLibrary("D3D8.DLL");
    ASSERT_TRUE(module);
    EXPECT_EQ(getProcAddress(module, kEntry), reinterpret_cast<void*>(&EntryPoint));
    EXPECT_EQ(getProcAddress(module, "direct3dcreate8"), nullptr);
    EXPECT_EQ(getProcAddress(module, "Missing"), nullptr);
    EXPECT_FALSE(loadLibrary("d3d9.dll"));
    EXPECT_TRUE(freeLibrary(module));
}

TEST_F(RegisteredRuntime, LoadsAreCountedAndTheLastFreeEndsLookups)
{
    const ModuleHandle first = loadLibrary(kRuntime);
    const ModuleHandle second = loadLibrary("d3d8.DLL");
    EXPECT_EQ(first, second);
    EXPECT_EQ(moduleLoadCount(kRuntime), 2u);
    EXPECT_TRUE(freeLibrary(first));
    EXPECT_NE(getProcAddress(first, kEntry), nullptr);
    EXPECT_TRUE(freeLibrary(first));
    EXPECT_EQ(moduleLoadCount(kRuntime), 0u);
    EXPECT_EQ(getProcAddress(first, kEntry), nullptr);
    EXPECT_FALSE(freeLibrary(first));
}

TEST_F(RegisteredRuntime, HandlesAreNeverReusedAfterUnregistering)
{
    const ModuleHandle old = loadLibrary(kRuntime);
    ASSERT_TRUE(unregisterModule(kRuntime));
    EXPECT_EQ(getProcAddress(old, kEntry), nullptr);
    registerModule(kRuntime, {{kEntry, reinterpret_cast<void*>(&EntryPoint)}});
    const ModuleHandle fresh = loadLibrary(kRuntime);
    EXPECT_NE(fresh, old);
    EXPECT_EQ(getProcAddress(old, kEntry), nullptr);
    EXPECT_NE(getProcAddress(fresh, kEntry), nullptr);
    EXPECT_FALSE(freeLibrary(old));
}

} // namespace
} // namespace pf
