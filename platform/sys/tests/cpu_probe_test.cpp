#include <cstdint>
#include <string>

#include <gtest/gtest.h>

#include "platform/sys/cpu_probe.h"
#include "platform/sys/fpu_control.h"
#include "platform/sys/real_cpu.h"
#include "platform/sys/scripted_cpu.h"
#include "platform/sys/system_info.h"

namespace pf {
namespace {

// The default script with one change.
template <class Change> ScriptedCpu::Script ScriptWith(Change change)
{
    ScriptedCpu::Script script;
    change(script);
    return script;
}

TEST(ScriptedCpu, AnswersLeavesAsScriptedAndRefusesTheRest)
{
    const struct {
        const char* name;
        ScriptedCpu::Script script;
        bool leaf0, leaf1;
        std::string vendor;
    } cases[] = {
        {"the default processor", {}, true, true, "GenuineIntel"},
        {"another vendor", ScriptWith([](auto& s) { s.vendor = "AuthenticAMD"; }), true, true, "AuthenticAMD"},
        {"short vendor is zero-padded", ScriptWith([](auto& s) { s.vendor = "Odd"; }), true, true,
         std::string("Odd\0\0\0\0\0\0\0\0\0", 12)},
        {"highest leaf 0", ScriptWith([](auto& s) { s.highestLeaf = 0; }), true, false, "GenuineIntel"},
        {"leaf 0 faults", ScriptWith([](auto& s) { s.faultingLeaves = {0}; }), false, true, std::string(12, '\0')},
        {"leaf 1 faults", ScriptWith([](auto& s) { s.faultingLeaves = {1}; }), true, false, "GenuineIntel"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedCpu cpu(c.script);
        CpuidRegs regs{1, 2, 3, 4};
        EXPECT_EQ(cpu.cpuid(0, regs), c.leaf0);
        EXPECT_EQ(vendorString(regs), c.vendor);
        if (c.leaf0) {
            EXPECT_EQ(regs.eax, c.script.highestLeaf);
        }
        EXPECT_EQ(cpu.cpuid(1, regs), c.leaf1);
        EXPECT_EQ(regs.edx, c.leaf1 ? c.script.leaf1.edx : 0u); // a refused leaf leaves nothing behind
        EXPECT_FALSE(cpu.cpuid(2, regs));
    }
}

TEST(ScriptedCpu, TrialsFaultAsScriptedAndAreCounted)
{
    ScriptedCpu cpu(ScriptWith([](auto& s) {
        s.leaf1 = {0, 0, 0, kCpuidSseBit};
        s.emBitClear = false;
        s.sse2Faults = true;
        s.processorType = 586;
    }));
    EXPECT_FALSE(cpu.emBitClear());
    EXPECT_TRUE(cpu.trySse());
    EXPECT_FALSE(cpu.trySse2());
    EXPECT_FALSE(cpu.trySse2());
    EXPECT_EQ(cpu.sseTrials(), 1);
    EXPECT_EQ(cpu.sse2Trials(), 2);
    EXPECT_EQ(cpu.processorType(), 586u);
    cpu.script().sse2Faults = false; // a test may change its processor midway
    EXPECT_TRUE(cpu.trySse2());
}

TEST(CpuProbe, InstalledProbeAnswersUntilRemoved)
{
    CpuProbe* const real = &cpuProbe();
    EXPECT_NE(dynamic_cast<RealCpu*>(real), nullptr);
    ScriptedCpu scripted(ScriptWith([](auto& s) { s.processorType = 586; }));
    setCpuProbe(&scripted);
    EXPECT_EQ(&cpuProbe(), &scripted);
    EXPECT_EQ(getSystemInfo().processorType, 586u);
    setCpuProbe(nullptr);
    EXPECT_EQ(&cpuProbe(), real);
    EXPECT_EQ(getSystemInfo().processorType, 0u);
}

TEST(RealCpu, HostOfThisArchitectureReportsItsFeatures)
{
    RealCpu cpu;
    CpuidRegs regs;
    EXPECT_EQ(cpu.processorType(), 0u); // none of the 32-bit classes: the codecs take their float paths
#if defined(__x86_64__)
    ASSERT_TRUE(cpu.cpuid(0, regs));
    EXPECT_GE(regs.eax, 1u);
    const std::string vendor = vendorString(regs);
    for (const char c : vendor)
        EXPECT_TRUE(c >= 0x20 && c < 0x7F) << vendor;
    ASSERT_TRUE(cpu.cpuid(1, regs));
    EXPECT_NE(regs.edx & kCpuidMmxBit, 0u);
    EXPECT_NE(regs.edx & kCpuidSseBit, 0u);
    EXPECT_NE(regs.edx & kCpuidSse2Bit, 0u);
    EXPECT_TRUE(cpu.emBitClear());
    EXPECT_TRUE(cpu.trySse());
    EXPECT_TRUE(cpu.trySse2());
    EXPECT_FALSE(cpu.cpuid(0x7FFFFFFF, regs)); // past the highest basic leaf
    EXPECT_EQ(regs.eax, 0u);
#else
    EXPECT_FALSE(cpu.cpuid(0, regs));
    EXPECT_FALSE(cpu.trySse());
#endif
}

// Division in the x87 unit is rounded to the precision the control word selects.
TEST(FpuControl, PrecisionFieldChangesX87RoundingAndIsRestored)
{
#if defined(__x86_64__) || defined(__i386__)
    FpuControl fpu;
    const uint16_t saved = fpu.get();
    const uint16_t single =
        static_cast<uint16_t>((saved & ~(kFpuPrecisionMask | kFpuRoundingMask)) | kFpuExceptionMasks);
    fpu.set(single);
    EXPECT_EQ(fpu.get(), single);
    volatile long double one = 1.0L;
    volatile long double three = 3.0L;
    const long double narrow = one / three;
    fpu.set(saved);
    const long double wide = one / three;
    EXPECT_EQ(fpu.get(), saved);
    EXPECT_EQ(narrow, static_cast<long double>(1.0f / 3.0f));
    EXPECT_NE(wide, narrow);
#else
    GTEST_SKIP() << "no x87 unit";
#endif
}

} // namespace
} // namespace pf
