#include "platform/sys/scripted_cpu.h"

#include <algorithm>
#include <cstring>

#include "platform/base/endian.h"

namespace pf {

bool ScriptedCpu::cpuid(uint32_t leaf, CpuidRegs& out)
{
    out = {};
    if (m_script.faultingLeaves.count(leaf) != 0 || leaf > m_script.highestLeaf)
        return false;
    if (leaf == 0) {
        uint8_t vendor[12] = {};
        std::memcpy(vendor, m_script.vendor.data(), std::min(m_script.vendor.size(), sizeof vendor));
        out = {m_script.highestLeaf, loadU32le(vendor), loadU32le(vendor + 8), loadU32le(vendor + 4)};
    } else if (leaf == 1) {
        out = m_script.leaf1;
    }
    return true;
}

bool ScriptedCpu::trySse()
{
    ++m_sseTrials;
    return !m_script.sseFaults;
}

bool ScriptedCpu::trySse2()
{
    ++m_sse2Trials;
    return !m_script.sse2Faults;
}

} // namespace pf
