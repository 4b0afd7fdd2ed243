#include "platform/sys/cpu_probe.h"

#include "platform/base/endian.h"
#include "platform/base/service_slot.h"
#include "platform/sys/real_cpu.h"

namespace pf {

namespace {

constinit ServiceSlot<CpuProbe, RealCpu> g_cpuProbe;

} // namespace

CpuProbe& cpuProbe()
{
    return g_cpuProbe.current();
}

void setCpuProbe(CpuProbe* probe)
{
    g_cpuProbe.install(probe);
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
