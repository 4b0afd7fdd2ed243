#include "designer/workspace/curve_plot.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "designer/app/world_write_lock.h"
#include "engine/behaviour/generator.h"
#include "platform/gfx/dc.h"
#include "platform/gfx/edge.h"
#include "platform/gfx/gdi_objects.h"

namespace {

constexpr float kDefaultSpanMs = 1000.0f;
constexpr pf::ColorRef kAxisColour = pf::rgb(176, 176, 176);
constexpr pf::ColorRef kCurveColour = pf::rgb(0, 0, 160);

std::unique_ptr<SWgenerator> CopyOf(const SWgenerator& generator)
{
    // The render thread steps the original under the world's lock; the copy reads it whole.
    const CVTND_WorldWriteLock lock(generator.GetWorld());
    std::unique_ptr<SWmotion> copy(generator.Clone());
    if (dynamic_cast<SWgenerator*>(copy.get()) == nullptr)
        return nullptr;
    return std::unique_ptr<SWgenerator>(static_cast<SWgenerator*>(copy.release()));
}

} // namespace

std::vector<float> SampleGeneratorCurve(const SWgenerator& generator, float spanMs, int count)
{
    if (count < 2)
        return {};
    std::unique_ptr<SWgenerator> probe = CopyOf(generator);
    if (probe == nullptr)
        return {};
    const float span = std::isfinite(spanMs) && spanMs > 0.0f ? spanMs : kDefaultSpanMs;
    probe->Rewind();
    if (!(probe->GetDuration() > 0.0f)) {
        // A generator over no time stands at its end; a copy given a second shows its shape instead.
        probe->SetTimed(true);
        probe->SetDuration(span);
    }
    std::vector<float> samples(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        probe->SetTime(span * static_cast<float>(i) / static_cast<float>(count - 1));
        samples[static_cast<size_t>(i)] = probe->GetValue();
    }
    return samples;
}

void DrawCurvePlot(pf::Dc& dc, const pf::Rect& client, const std::vector<float>& samples, bool enabled)
{
    const pf::Rect area = pf::drawEdge(dc, client, pf::EdgeKind::kSunken);
    dc.fillRect(area, pf::createSolidBrush(pf::getSysColor(enabled ? pf::COLOR_WINDOW : pf::COLOR_BTNFACE)));
    if (area.height() < 3 || area.width() < 2)
        return;
    float low = 0.0f;
    float high = 0.0f;
    for (const float v : samples)
        if (std::isfinite(v)) {
            low = std::min(low, v);
            high = std::max(high, v);
        }
    if (high - low < 1e-6f) {
        low -= 1.0f;
        high += 1.0f;
    }
    const double margin = (static_cast<double>(high) - low) * 0.08;
    const double top = high + margin;
    const double scale = static_cast<double>(area.height() - 1) / (top - (low - margin));
    const auto yOf = [&](float v) {
        const double value = std::isfinite(v) ? v : 0.0;
        return area.t + static_cast<int32_t>(std::lround((top - value) * scale));
    };
    const int32_t saved = dc.saveDc();
    dc.intersectClipRect(area);
    dc.fillRect({area.l, yOf(0.0f), area.r, yOf(0.0f) + 1}, pf::createSolidBrush(kAxisColour));
    if (samples.size() >= 2) {
        std::vector<pf::Point> line(samples.size());
        const double step = static_cast<double>(area.width() - 1) / static_cast<double>(samples.size() - 1);
        for (size_t i = 0; i < samples.size(); ++i)
            line[i] = {area.l + static_cast<int32_t>(std::lround(i * step)), yOf(samples[i])};
        dc.selectPen(pf::createPen(pf::PS_SOLID, 1, enabled ? kCurveColour : pf::getSysColor(pf::COLOR_GRAYTEXT)));
        dc.polyline(line);
        dc.setPixel(line.back(), enabled ? kCurveColour : pf::getSysColor(pf::COLOR_GRAYTEXT)); // polyline leaves it
    }
    dc.restoreDc(saved);
}
