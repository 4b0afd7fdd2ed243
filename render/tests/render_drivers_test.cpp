#include "render/render_drivers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>

#include "platform/base/result.h"
#include "platform/settings/profile.h"
#include "platform/settings/settings_backend.h"
#include "platform/settings/settings_store.h"
#include "platform/sys/com.h"
#include "platform/sys/fpu_control.h"
#include "platform/sys/modules.h"
#include "platform/sys/scripted_cpu.h"
#include "testsupport/render/cpu_scripts.h"

namespace {

// Every test runs on a scripted processor, so nothing depends on the host.
class DriverTest : public ::testing::Test {
protected:
    void Install(pf::ScriptedCpu::Script script)
    {
        m_cpu = std::make_unique<pf::ScriptedCpu>(std::move(script));
        pf::setCpuProbe(m_cpu.get());
    }
    void SetUp() override { Install({}); }
    void TearDown() override
    {
        pf::setCpuProbe(nullptr);
        pf::scriptCoInitializeFailure(std::nullopt);
    }

    std::unique_ptr<pf::ScriptedCpu> m_cpu;
};

struct ProbeCase {
    const char* name;
    void (*change)(pf::ScriptedCpu::Script&);
    uint8_t mmx, sse, sse2;
    int sseTrials, sse2Trials;
};

const ProbeCase kProbeCases[] = {
    {"all", [](pf::ScriptedCpu::Script&) {}, 1, 1, 1, 1, 1},
    {"other vendor", [](pf::ScriptedCpu::Script& s) { s.vendor = "OtherMakerCo"; }, 0, 0, 0, 0, 0},
    {"highest leaf 0", [](pf::ScriptedCpu::Script& s) { s.highestLeaf = 0; }, 0, 0, 0, 0, 0},
    {"cpuid faults", [](pf::ScriptedCpu::Script& s) { s.faultingLeaves = {0}; }, 0, 0, 0, 0, 0},
    {"leaf 1 faults", [](pf::ScriptedCpu::Script& s) { s.faultingLeaves = {1}; }, 0, 0, 0, 0, 0},
    {"mmx only", [](pf::ScriptedCpu::Script& s) { s.leaf1.edx = pf::kCpuidMmxBit; }, 1, 0, 0, 0, 0},
    {"sse without sse2", [](pf::ScriptedCpu::Script& s) { s.leaf1.edx = pf::kCpuidMmxBit | pf::kCpuidSseBit; }, 1, 1, 0,
     1, 0},
    {"sse2 bit without sse bit", [](pf::ScriptedCpu::Script& s) { s.leaf1.edx = pf::kCpuidSse2Bit; }, 0, 0, 0, 0, 0},
    {"em bit set", [](pf::ScriptedCpu::Script& s) { s.emBitClear = false; }, 1, 0, 0, 0, 0},
    {"sse trial faults", [](pf::ScriptedCpu::Script& s) { s.sseFaults = true; }, 1, 0, 0, 1, 0},
    {"sse2 trial faults", [](pf::ScriptedCpu::Script& s) { s.sse2Faults = true; }, 1, 1, 0, 1, 1},
};

TEST_F(DriverTest, ProbeReportsOnlyWhatTheProcessorProves)
{
    for (const ProbeCase& c : kProbeCases) {
        SCOPED_TRACE(c.name);
        pf::ScriptedCpu::Script script;
        c.change(script);
        Install(script);
        const SWcpuinfo info;
        EXPECT_EQ(info.hasMMX, c.mmx);
        EXPECT_EQ(info.hasSSE, c.sse);
        EXPECT_EQ(info.hasSSE2, c.sse2);
        EXPECT_EQ(m_cpu->sseTrials(), c.sseTrials);
        EXPECT_EQ(m_cpu->sse2Trials(), c.sse2Trials);
    }
}

TEST_F(DriverTest, NamedScriptsMatchTheirProbeCases)
{
    for (std::string_view name : testsupport::CpuScriptNames())
        EXPECT_TRUE(testsupport::CpuScriptNamed(name).has_value()) << name;
    EXPECT_FALSE(testsupport::CpuScriptNamed("real").has_value());
    Install(*testsupport::CpuScriptNamed("sse2-only"));
    EXPECT_EQ(SWcpuinfo().hasSSE2, 0);
    Install(*testsupport::CpuScriptNamed("no-cpuid"));
    EXPECT_EQ(SWcpuinfo().hasMMX, 0);
}

TEST_F(DriverTest, SettersKeepTheWishAndActivateOnlyWhatExists)
{
    pf::ScriptedCpu::Script script;
    script.leaf1.edx = pf::kCpuidMmxBit | pf::kCpuidSseBit;
    Install(script);
    SWhostdrivers drivers;
    drivers.SetUseSSE2(true);
    EXPECT_EQ(drivers.WantSSE2(), 1);
    EXPECT_EQ(drivers.UseSSE2(), 0);
    drivers.SetUseSSE(true);
    EXPECT_EQ(drivers.UseSSE(), 1);
    drivers.SetUseSSE(false);
    EXPECT_EQ(drivers.WantSSE(), 0);
    EXPECT_EQ(drivers.UseSSE(), 0);
}

TEST_F(DriverTest, OtherVendorGetsNoFeatureWhateverItAsks)
{
    Install(*testsupport::CpuScriptNamed("other-vendor"));
    SWhostdrivers drivers;
    drivers.SetUseMMX(true);
    drivers.SetUseSSE(true);
    drivers.SetUseSSE2(true);
    EXPECT_EQ(drivers.UseMMX() + drivers.UseSSE() + drivers.UseSSE2(), 0);
    EXPECT_EQ(drivers.WantMMX() + drivers.WantSSE() + drivers.WantSSE2(), 3);
}

TEST_F(DriverTest, BaseClassApplyOperationsSwitchFeaturesOff)
{
    SWrenderdrivers base;
    base.SetUseMMX(true);
    base.SetUseSSE(true);
    base.SetUseSSE2(true);
    EXPECT_EQ(base.WantMMX(), 1);
    EXPECT_EQ(base.UseMMX() + base.UseSSE() + base.UseSSE2(), 0);
    EXPECT_TRUE(base.Init());
    EXPECT_EQ(base.IsReady(), 0); // the base only resets
    EXPECT_EQ(base.WantMMX(), 0);
    EXPECT_EQ(SWrenderdrivers::Current(), &base);
}

// A profile over a memory-only store whose stored text the test can read.
struct MemoryProfile {
    pf::MemoryBackend* backend;
    std::unique_ptr<pf::SettingsStore> store;
    std::unique_ptr<pf::Profile> profile;

    explicit MemoryProfile(std::string text = {})
    {
        auto owned = text.empty() ? std::make_unique<pf::MemoryBackend>() : std::make_unique<pf::MemoryBackend>(text);
        backend = owned.get();
        store = std::make_unique<pf::SettingsStore>(std::move(owned));
        profile = std::make_unique<pf::Profile>(*store, "Software\\Brenix\\Vortan");
    }
};

TEST_F(DriverTest, ViewerProfileTwoTurnsOffAndMissingIsWrittenBackAsOne)
{
    MemoryProfile m;
    m.profile->writeInt("Viewer", "SSE", 2);
    m.profile->writeInt("Viewer", "MMX", 0);
    SWhostdrivers drivers;
    drivers.ApplyViewerProfile(*m.profile);
    EXPECT_EQ(drivers.UseMMX(), 0);
    EXPECT_EQ(drivers.UseSSE(), 0);
    EXPECT_EQ(drivers.WantSSE(), 0);
    EXPECT_EQ(drivers.UseSSE2(), 1); // missing: written back as 1 and used
    EXPECT_EQ(m.profile->getInt("Viewer", "SSE2", -7), 1);
    EXPECT_EQ(m.profile->getInt("Viewer", "SSE", -7), 2); // present values are left alone
    ASSERT_TRUE(m.backend->text().has_value());
    EXPECT_NE(m.backend->text()->find("\"SSE2\"=dword:00000001"), std::string::npos) << *m.backend->text();
}

TEST_F(DriverTest, ViewerProfileMissingSseTurnsSseOnWhereThereIsSse)
{
    MemoryProfile m;
    SWhostdrivers drivers;
    drivers.ApplyViewerProfile(*m.profile);
    EXPECT_EQ(drivers.UseMMX() + drivers.UseSSE() + drivers.UseSSE2(), 3);
    for (const char* name : {"MMX", "SSE", "SSE2"})
        EXPECT_EQ(m.profile->getInt("Viewer", name, -7), 1) << name;
}

TEST_F(DriverTest, ViewerProfileFailedWriteBackStillUsesOne)
{
    MemoryProfile m;
    m.backend->failWrites(true);
    SWhostdrivers drivers;
    drivers.ApplyViewerProfile(*m.profile);
    EXPECT_EQ(drivers.UseSSE(), 1);
    EXPECT_EQ(m.profile->getInt("Viewer", "SSE", -7), 1); // held in memory for the next write
    m.backend->failWrites(false);
    m.profile->writeInt("Other", "x", 1);
    ASSERT_TRUE(m.backend->text().has_value());
    EXPECT_NE(m.backend->text()->find("\"SSE\"=dword:00000001"), std::string::npos);
}

TEST_F(DriverTest, InitCountsAlreadyInitialisedComAsSuccess)
{
    ASSERT_EQ(pf::CoInitialize(nullptr), pf::S_OK); // this thread already uses COM: Init gets S_FALSE
    SWhostdrivers drivers;
    EXPECT_TRUE(drivers.Init());
    EXPECT_EQ(drivers.IsReady(), 1);
    EXPECT_EQ(pf::comInitCount(), 2);
    drivers.Shutdown();
    EXPECT_EQ(drivers.IsReady(), 0);
    EXPECT_EQ(pf::comInitCount(), 1);
    pf::CoUninitialize();
}

TEST_F(DriverTest, HardComFailuresFailInitButLeaveTheManagerReady)
{
    for (const pf::HResult failure : {pf::E_INVALIDARG, pf::E_OUTOFMEMORY, pf::E_UNEXPECTED}) {
        SCOPED_TRACE(failure);
        ASSERT_EQ(pf::CoInitialize(nullptr), pf::S_OK);
        pf::scriptCoInitializeFailure(failure);
        SWhostdrivers drivers;
        EXPECT_FALSE(drivers.Init());
        EXPECT_EQ(drivers.IsReady(), 1);
        EXPECT_EQ(SWrenderdrivers::AngleTable()[8191], 21844);
        pf::scriptCoInitializeFailure(std::nullopt);
        drivers.Shutdown();
        // Only a successful initialisation is balanced: this thread's own one survives.
        EXPECT_EQ(pf::comInitCount(), 1);
        pf::CoUninitialize();
    }
    pf::scriptCoInitializeFailure(pf::E_FAIL); // any other failure counts as success
    SWhostdrivers drivers;
    EXPECT_TRUE(drivers.Init());
    pf::scriptCoInitializeFailure(std::nullopt);
    drivers.Shutdown();
    EXPECT_EQ(pf::comInitCount(), 0);
}

pf::IDirect3D8* const kFakeDirect3D = reinterpret_cast<pf::IDirect3D8*>(uintptr_t{0x1000});
uint32_t g_requestedVersion = 0;

pf::IDirect3D8* FakeDirect3DCreate8(uint32_t sdkVersion)
{
    g_requestedVersion = sdkVersion;
    return kFakeDirect3D;
}

TEST_F(DriverTest, RegisteredDirect3DIsBoundCalledAndFreed)
{
    pf::registerModule("d3d8.dll", {{"Direct3DCreate8", reinterpret_cast<void*>(&FakeDirect3DCreate8)}});
    SWhostdrivers drivers;
    drivers.Init();
    EXPECT_TRUE(drivers.HasDirect3D());
    EXPECT_EQ(pf::moduleLoadCount("d3d8.dll"), 1u);
    g_requestedVersion = 0;
    EXPECT_EQ(drivers.CreateDirect3D(120), kFakeDirect3D);
    EXPECT_EQ(g_requestedVersion, 120u);
    drivers.Init(); // binds afresh instead of loading twice
    EXPECT_EQ(pf::moduleLoadCount("d3d8.dll"), 1u);
    drivers.Shutdown();
    EXPECT_FALSE(drivers.HasDirect3D());
    EXPECT_EQ(pf::moduleLoadCount("d3d8.dll"), 0u);
    EXPECT_EQ(drivers.CreateDirect3D(120), nullptr);
    pf::unregisterModule("d3d8.dll");
}

TEST_F(DriverTest, ModuleWithoutTheExportLeavesTheEntryNull)
{
    pf::registerModule("d3d8.dll", {});
    SWhostdrivers drivers;
    drivers.Init();
    EXPECT_FALSE(drivers.HasDirect3D());
    EXPECT_EQ(pf::moduleLoadCount("d3d8.dll"), 1u);
    drivers.Shutdown();
    EXPECT_EQ(pf::moduleLoadCount("d3d8.dll"), 0u);
    pf::unregisterModule("d3d8.dll");
}

TEST_F(DriverTest, NoRuntimeMeansNoEntryAndNoError)
{
    SWhostdrivers drivers;
    EXPECT_TRUE(drivers.Init());
    EXPECT_FALSE(drivers.HasDirect3D());
    EXPECT_EQ(drivers.CreateDirect3D(120), nullptr);
    drivers.Shutdown();
}

SWnodeextension* const kFakeExtension = reinterpret_cast<SWnodeextension*>(uintptr_t{0x2000});
SWnodeextension* MakeFakeExtension()
{
    return kFakeExtension;
}

TEST_F(DriverTest, ExtensionsComeOnlyFromASetFactory)
{
    SWhostdrivers drivers;
    EXPECT_EQ(drivers.CreateNodeExtension(), nullptr);
    EXPECT_EQ(drivers.CreateExtension(), nullptr);
    drivers.SetNodeExtensionFactory(&MakeFakeExtension);
    EXPECT_EQ(drivers.CreateNodeExtension(), kFakeExtension);
    EXPECT_EQ(drivers.CreateExtension(), nullptr);
    drivers.SetExtensionFactory(&MakeFakeExtension);
    EXPECT_EQ(drivers.CreateExtension(), kFakeExtension);
}

#if defined(__x86_64__) || defined(__i386__)
TEST_F(DriverTest, FloatModeSelectsSinglePrecisionAndRestores)
{
    pf::FpuControl fpu;
    const uint16_t original = fpu.get();
    fpu.set(pf::kFpuDefaultControlWord);
    SWhostdrivers drivers;
    EXPECT_TRUE(drivers.BeginFloatMode());
    const uint16_t mode = fpu.get();
    EXPECT_EQ(mode & pf::kFpuPrecisionMask, 0);
    EXPECT_EQ(mode & pf::kFpuRoundingMask, 0);
    EXPECT_EQ(mode & pf::kFpuExceptionMasks, pf::kFpuExceptionMasks);
    EXPECT_TRUE(drivers.EndFloatMode());
    EXPECT_EQ(fpu.get(), pf::kFpuDefaultControlWord);

    drivers.BeginFloatMode();
    drivers.Shutdown(); // restores too
    EXPECT_EQ(fpu.get(), pf::kFpuDefaultControlWord);

    const uint16_t already = pf::kFpuDefaultControlWord & ~pf::kFpuPrecisionMask;
    fpu.set(already);
    drivers.BeginFloatMode();
    fpu.set(pf::kFpuDefaultControlWord); // a change made after a no-op begin is not undone
    drivers.EndFloatMode();
    EXPECT_EQ(fpu.get(), pf::kFpuDefaultControlWord);
    fpu.set(original);
}
#endif

// The table against the same formula in long double: the build may differ in an entry's last unit.
TEST_F(DriverTest, AngleTableRisesFromOneToBelowTheTop)
{
    SWhostdrivers drivers;
    drivers.Init();
    const uint16_t* table = SWrenderdrivers::AngleTable();
    EXPECT_EQ(table[0], 1);
    EXPECT_EQ(table[1], 3);
    EXPECT_EQ(table[2], 6);
    EXPECT_EQ(table[8191], 21844);
    EXPECT_EQ(table[16382], 65075);
    EXPECT_EQ(table[16383], 65532);
    const long double step = std::ldexp(1.0L, -14) + std::ldexp(1.0L, -28); // the float 0x38800200 exactly
    uint64_t sum = 0;
    int topByte255 = 0;
    for (int i = 0; i < kAngleTableSize; ++i) {
        const long double reference = 65535.0L - std::trunc(std::acos(i * step) * 41720.875L);
        EXPECT_LE(std::fabs(table[i] - reference), 1.0L) << i;
        if (i > 0) {
            EXPECT_GE(table[i], table[i - 1]) << i;
        }
        topByte255 += table[i] >> 8 == 255 ? 1 : 0;
        sum += table[i];
    }
    EXPECT_EQ(topByte255, 1);
    EXPECT_EQ(sum, 390187828u); // a regression number: glibc's acos on this build
    drivers.Shutdown();
}

TEST_F(DriverTest, ProcessDriverManagerIsOneObject)
{
    EXPECT_EQ(&SWrenderdrivers::Get(), &SWrenderdrivers::Get());
    {
        SWrenderdrivers local;
        local.Init();
        EXPECT_EQ(SWrenderdrivers::Current(), &local);
    }
    EXPECT_EQ(SWrenderdrivers::Current(), nullptr); // a destroyed manager is not left published
}

} // namespace
