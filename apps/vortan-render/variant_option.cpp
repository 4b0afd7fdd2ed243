#include "apps/vortan-render/variant_option.h"

#include <cstdio>

#include "platform/sys/cpu_probe.h"
#include "testsupport/render/cpu_scripts.h"

namespace rendertool {

namespace {

constexpr std::string_view kVariants[] = {"plain", "mmx", "sse", "sse2"};

const char* ActiveName(const SWrenderdrivers& drivers)
{
    return drivers.UseSSE2() != 0 ? "sse2" : drivers.UseSSE() != 0 ? "sse" : drivers.UseMMX() != 0 ? "mmx" : "plain";
}

} // namespace

VariantDrivers::~VariantDrivers()
{
    if (m_started)
        m_drivers.Shutdown();
    if (m_cpu != nullptr)
        pf::setCpuProbe(nullptr);
}

bool VariantDrivers::IsVariantName(std::string_view name)
{
    for (const std::string_view known : kVariants)
        if (name == known)
            return true;
    return false;
}

void VariantDrivers::Start(const std::optional<std::string>& variant)
{
    m_forced = variant.has_value();
    if (m_forced) {
        m_cpu = std::make_unique<pf::ScriptedCpu>(*testsupport::CpuScriptNamed("all"));
        pf::setCpuProbe(m_cpu.get());
    }
    m_drivers.Init();
    m_started = true;
    const std::string_view name = m_forced ? std::string_view(*variant) : "sse2";
    m_drivers.SetUseMMX(name != "plain");
    m_drivers.SetUseSSE(name == "sse" || name == "sse2");
    m_drivers.SetUseSSE2(name == "sse2");
}

void VariantDrivers::Print() const
{
    std::printf("variant=%s %s mmx=%d sse=%d sse2=%d\n", ActiveName(m_drivers), m_forced ? "forced" : "probed",
                m_drivers.UseMMX(), m_drivers.UseSSE(), m_drivers.UseSSE2());
}

} // namespace rendertool
