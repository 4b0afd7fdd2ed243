#include "testsupport/render/cpu_scripts.h"

#include <array>

namespace testsupport {

namespace {

constexpr std::array<std::string_view, 6> kNames = {"all", "nosse2", "sse2-only", "no-em", "other-vendor", "no-cpuid"};

} // namespace

std::optional<pf::ScriptedCpu::Script> CpuScriptNamed(std::string_view name)
{
    pf::ScriptedCpu::Script script; // every feature, from the expected maker
    if (name == "all")
        return script;
    if (name == "nosse2") {
        script.leaf1.edx = pf::kCpuidMmxBit | pf::kCpuidSseBit;
        return script;
    }
    if (name == "sse2-only") {
        script.leaf1.edx = pf::kCpuidMmxBit | pf::kCpuidSse2Bit;
        return script;
    }
    if (name == "no-em") {
        script.emBitClear = false;
        return script;
    }
    if (name == "other-vendor") {
        script.vendor = "OtherMakerCo";
        return script;
    }
    if (name == "no-cpuid") {
        script.faultingLeaves = {0, 1};
        return script;
    }
    return std::nullopt;
}

std::span<const std::string_view> CpuScriptNames()
{
    return kNames;
}

} // namespace testsupport
