// `vortan-render probe [--cpu NAME]`: the driver manager's start-up on the real processor or a scripted one, the
// "Viewer" profile values applied in turn, the angle table's landmarks and whether a Direct3D 8 entry was bound.
#include <cinttypes>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "apps/vortan-render/command_table.h"
#include "platform/settings/profile.h"
#include "platform/settings/settings_backend.h"
#include "platform/settings/settings_store.h"
#include "platform/sys/cpu_probe.h"
#include "platform/sys/scripted_cpu.h"
#include "render/render_drivers.h"
#include "testsupport/render/cpu_scripts.h"

namespace {

using rendertool::kExitDone;
using rendertool::kExitUsage;
using rendertool::ReportError;

constexpr const char* kSwitches[] = {"MMX", "SSE", "SSE2"};

// A profile value to try: a number stored before the drivers read it, or none (missing).
struct ProfileCase {
    const char* label;
    std::optional<int> value;
};

void PrintProfileCase(SWrenderdrivers& drivers, const ProfileCase& c)
{
    pf::SettingsStore store(nullptr); // memory only: the tool never touches the user's settings
    pf::Profile profile(store, "Software\\Brenix\\Vortan");
    if (c.value) {
        for (const char* name : kSwitches)
            profile.writeInt("Viewer", name, *c.value);
    }
    drivers.ApplyViewerProfile(profile);
    std::printf("profile=%s wanted mmx=%d sse=%d sse2=%d active mmx=%d sse=%d sse2=%d stored", c.label,
                drivers.WantMMX(), drivers.WantSSE(), drivers.WantSSE2(), drivers.UseMMX(), drivers.UseSSE(),
                drivers.UseSSE2());
    for (const char* name : kSwitches) {
        const int stored = profile.getInt("Viewer", name, -1);
        if (stored < 0)
            std::printf(" %s=missing", name);
        else
            std::printf(" %s=%d", name, stored);
    }
    std::printf("\n");
}

void PrintAngleTable()
{
    const uint16_t* table = SWrenderdrivers::AngleTable();
    uint64_t sum = 0;
    bool rising = true;
    for (int i = 0; i < kAngleTableSize; ++i) {
        sum += table[i];
        rising = rising && (i == 0 || table[i] >= table[i - 1]);
    }
    std::printf("angle-table 0=%d 1=%d 8191=%d 16382=%d 16383=%d sum=%" PRIu64 " %s\n", table[0], table[1], table[8191],
                table[16382], table[16383], sum, rising ? "never-decreases" : "DECREASES");
}

int RunProbe(std::span<char* const> args)
{
    std::string cpuName = "real";
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        if (arg == "--cpu" && i + 1 < args.size())
            cpuName = args[++i];
        else
            return ReportError(kExitUsage, "probe: unexpected argument \"" + std::string(arg) + "\"");
    }
    std::unique_ptr<pf::ScriptedCpu> scripted;
    if (cpuName != "real") {
        const std::optional<pf::ScriptedCpu::Script> script = testsupport::CpuScriptNamed(cpuName);
        if (!script)
            return ReportError(kExitUsage, "probe: --cpu must be real, all, nosse2, sse2-only, no-em, other-vendor or "
                                           "no-cpuid, not \"" +
                                               cpuName + "\"");
        scripted = std::make_unique<pf::ScriptedCpu>(*script);
        pf::setCpuProbe(scripted.get());
    }
    SWrenderdrivers& drivers = SWrenderdrivers::Get();
    const bool started = drivers.Init();
    const SWcpuinfo info;
    std::printf("cpu=%s init=%s probed mmx=%d sse=%d sse2=%d\n", cpuName.c_str(), started ? "ok" : "com-failed",
                info.hasMMX, info.hasSSE, info.hasSSE2);
    for (const ProfileCase& c :
         {ProfileCase{"0", 0}, ProfileCase{"1", 1}, ProfileCase{"2", 2}, ProfileCase{"missing", std::nullopt}})
        PrintProfileCase(drivers, c);
    PrintAngleTable();
    std::printf("direct3d8=%s\n", drivers.HasDirect3D() ? "bound" : "unbound");
    drivers.Shutdown();
    pf::setCpuProbe(nullptr);
    return kExitDone;
}

const bool kRegistered =
    RegisterRenderToolCommand({"probe", "[--cpu real|all|nosse2|sse2-only|no-em|other-vendor|no-cpuid]", &RunProbe});

} // namespace
