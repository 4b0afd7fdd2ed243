#include "platform/sys/cpu_probe.h"

#include <atomic>

#include "platform/base/endian.h"
#include "platform/sys/real_cpu.h"

namespace pf {

namespace {

std::atomic<CpuProbe*> g_installed{nullptr};

CpuProbe& RealProcessCpu()
{
    static RealCpu real;
    return real;
}

} // namespace

CpuProbe& cpuProbe()
{
    CpuProbe* const installed = g_installed.load(std::memory_order_acquire);
    return installed != nullptr ? *installed : RealProcessCpu();
}

void setCpuProbe(CpuProbe* probe)
{
    g_installed.store(probe, std::memory_order_release);
}

std::string vendorString(const CpuidRegs& leaf0)
{
    uint8_t bytes[12];
    storeU32le(bytes, leaf0.ebx);
    storeU32le(bytes + 4, leaf0.edx);
    storeU32le(bytes + 8, leaf0.ecx);
    return std::string(reinterpret_cast<const char*>(bytes), sizeof bytes);
}

} // namespace pf
