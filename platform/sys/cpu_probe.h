#pragma once
// What the processor can do, asked the way the renderer's feature probe asks: identification leaves and trial
// instructions. Tests install a ScriptedCpu so that results which depend on the host (the renderer's routine
// sets, the audio encoder's codebook search) are the same on every machine.
#include <cstdint>
#include <string>

namespace pf {

struct CpuidRegs {
    uint32_t eax = 0, ebx = 0, ecx = 0, edx = 0;
};

inline constexpr uint32_t kCpuidMmxBit = 1u << 23; // leaf 1, EDX
inline constexpr uint32_t kCpuidSseBit = 1u << 25;
inline constexpr uint32_t kCpuidSse2Bit = 1u << 26;

class CpuProbe {
public:
    virtual ~CpuProbe() = default;
    virtual bool cpuid(uint32_t leaf, CpuidRegs& out) = 0; // false, out zero: unavailable, past the highest leaf,
                                                           // or faulted
    virtual bool emBitClear() = 0;        // the machine status word's EM bit is clear (no x87 emulation)
    virtual bool trySse() = 0;            // an SSE instruction ran without a fault
    virtual bool trySse2() = 0;           // an SSE2 instruction ran without a fault
    virtual uint32_t processorType() = 0; // the system's processor-type number
};

CpuProbe& cpuProbe();              // the installed probe; the real processor unless a test installed another
void setCpuProbe(CpuProbe* probe); // not owned, must outlive its installation; null restores the real one

std::string vendorString(const CpuidRegs& leaf0); // the 12 bytes of EBX, EDX, ECX, in that order

} // namespace pf
