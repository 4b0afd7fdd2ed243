#include "platform/sys/real_cpu.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

namespace pf {

namespace {

#if defined(__x86_64__)
constexpr bool kSseIsArchitectural = true;
#else
constexpr bool kSseIsArchitectural = false;
#endif

} // namespace

bool RealCpu::cpuid(uint32_t leaf, CpuidRegs& out)
{
    out = {};
#if defined(__x86_64__) || defined(__i386__)
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (__get_cpuid(leaf, &eax, &ebx, &ecx, &edx) == 0) // checks the highest leaf of the leaf's range first
        return false;
    out = {eax, ebx, ecx, edx};
    return true;
#else
    (void)leaf;
    return false;
#endif
}

bool RealCpu::emBitClear()
{
    return kSseIsArchitectural;
}
bool RealCpu::trySse()
{
    return kSseIsArchitectural;
}
bool RealCpu::trySse2()
{
    return kSseIsArchitectural;
}

} // namespace pf
