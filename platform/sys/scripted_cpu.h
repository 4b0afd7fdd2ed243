#pragma once
// A processor that answers what the test wrote down, and counts the trials it was asked to run.
#include <cstdint>
#include <set>
#include <string>

#include "platform/sys/cpu_probe.h"

namespace pf {

class ScriptedCpu final : public CpuProbe {
public:
    struct Script {
        std::string vendor = "GenuineIntel"; // first 12 bytes used, zero-padded
        uint32_t highestLeaf = 1;            // leaf 0's EAX; leaves above it answer false
        CpuidRegs leaf1 = {0, 0, 0, kCpuidMmxBit | kCpuidSseBit | kCpuidSse2Bit};
        std::set<uint32_t> faultingLeaves; // cpuid of these answers false, as a faulting instruction would
        bool emBitClear = true;
        bool sseFaults = false;
        bool sse2Faults = false;
        uint32_t processorType = 0;
    };

    ScriptedCpu() = default;
    explicit ScriptedCpu(Script script) : m_script(std::move(script)) {}

    Script& script() { return m_script; }
    int sseTrials() const { return m_sseTrials; }
    int sse2Trials() const { return m_sse2Trials; }

    bool cpuid(uint32_t leaf, CpuidRegs& out) override;
    bool emBitClear() override { return m_script.emBitClear; }
    bool trySse() override;
    bool trySse2() override;
    uint32_t processorType() override { return m_script.processorType; }

private:
    Script m_script;
    int m_sseTrials = 0;
    int m_sse2Trials = 0;
};

} // namespace pf
