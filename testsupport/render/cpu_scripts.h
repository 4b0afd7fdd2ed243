#pragma once
// Processors the renderer's feature probe is tried on, by the names `vortan-render probe --cpu` takes, so that the
// tool and the tests mean the same machine by the same name.
#include <optional>
#include <span>
#include <string_view>

#include "platform/sys/scripted_cpu.h"

namespace testsupport {

// "all" (MMX, SSE, SSE2), "nosse2", "sse2-only" (the SSE2 bit without the SSE bit), "no-em" (x87 emulation on),
// "other-vendor", "no-cpuid" (identification faults); nullopt for another name.
std::optional<pf::ScriptedCpu::Script> CpuScriptNamed(std::string_view name);
std::span<const std::string_view> CpuScriptNames();

} // namespace testsupport
