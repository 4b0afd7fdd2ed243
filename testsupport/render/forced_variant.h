#pragma once
// The driver manager with one processor variant forced, as `vortan-render --variant` forces it: a scripted processor
// with every feature, and the wishes set. Made before the surface or rasteriser under test, which choose their
// routines once at creation; the real probe is back once it is gone.
#include <string>

#include "platform/sys/cpu_probe.h"
#include "platform/sys/scripted_cpu.h"
#include "render/render_drivers.h"
#include "testsupport/render/cpu_scripts.h"

namespace testsupport {

// Benchmark and test names of the variants, by index: 0 plain, 1 mmx, 2 sse, 3 sse2.
inline constexpr const char* kRenderVariants[] = {"plain", "mmx", "sse", "sse2"};

class ForcedRenderVariant {
public:
    explicit ForcedRenderVariant(int variant)
    {
        pf::setCpuProbe(&m_cpu);
        m_drivers.Init();
        m_drivers.SetUseMMX(variant >= 1);
        m_drivers.SetUseSSE(variant >= 2);
        m_drivers.SetUseSSE2(variant >= 3);
    }
    ~ForcedRenderVariant()
    {
        m_drivers.Shutdown();
        pf::setCpuProbe(nullptr);
    }
    ForcedRenderVariant(const ForcedRenderVariant&) = delete;
    ForcedRenderVariant& operator=(const ForcedRenderVariant&) = delete;

    // The mesh renderer kind the surface picks under these flags.
    int MeshKind() const { return m_drivers.UseSSE2() != 0 ? 2 : m_drivers.UseSSE() != 0 ? 1 : 0; }
    // "mmx=1 sse=1 sse2=0 kind=1": a benchmark's label.
    std::string Label() const
    {
        return "mmx=" + std::to_string(m_drivers.UseMMX()) + " sse=" + std::to_string(m_drivers.UseSSE()) +
               " sse2=" + std::to_string(m_drivers.UseSSE2()) + " kind=" + std::to_string(MeshKind());
    }

private:
    pf::ScriptedCpu m_cpu{*CpuScriptNamed("all")};
    SWhostdrivers m_drivers;
};

} // namespace testsupport
