#pragma once
#include "platform/sys/cpu_probe.h"

namespace pf {

// The host processor. On x86-64, SSE and SSE2 are part of the architecture and the kernel saves their state, so
// the trials succeed without running anything (the status-word read is never executed: it can fault where user
// mode may not read system registers). The processor type is 0 everywhere: the system's numbers name 32-bit
// processor classes, and answering none of them keeps the audio encoder on its floating-point search on every
// host. Elsewhere there is no identification and no feature.
class RealCpu final : public CpuProbe {
public:
    bool cpuid(uint32_t leaf, CpuidRegs& out) override;
    bool emBitClear() override;
    bool trySse() override;
    bool trySse2() override;
    uint32_t processorType() override { return 0; }
};

} // namespace pf
