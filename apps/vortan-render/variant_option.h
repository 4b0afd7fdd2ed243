#pragma once
// `--variant plain|mmx|sse|sse2`: the renderer's processor-specific paths forced through a scripted processor that
// has every feature, or, without the option, the real processor's probe with every feature wished for. Made before
// the surface or rasteriser, whose stages are chosen once at creation, and kept for the command's life.
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/sys/scripted_cpu.h"
#include "render/render_drivers.h"

namespace rendertool {

class VariantDrivers {
public:
    VariantDrivers() = default;
    VariantDrivers(const VariantDrivers&) = delete;
    VariantDrivers& operator=(const VariantDrivers&) = delete;
    ~VariantDrivers();

    static bool IsVariantName(std::string_view name);
    // Starts the driver manager; variant empty: the real probe decides.
    void Start(const std::optional<std::string>& variant);
    // "variant=sse2 forced mmx=1 sse=1 sse2=1" or "variant=... probed ..." as one line on stdout.
    void Print() const;

private:
    std::unique_ptr<pf::ScriptedCpu> m_cpu;
    SWhostdrivers m_drivers;
    bool m_forced = false;
    bool m_started = false;
};

} // namespace rendertool
