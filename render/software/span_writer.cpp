#include "render/software/span_writer.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// Truncated toward zero and saturated; NaN is 0. Without branches: every record of a run packs two of these, and
// which way a comparison goes follows the weights, which the processor cannot guess.
int64_t SaturatedWhole(double value, int64_t lowest, int64_t highest)
{
    const double kept = value == value ? value : 0.0;
    return static_cast<int64_t>(std::min(std::max(kept, static_cast<double>(lowest)), static_cast<double>(highest)));
}

} // namespace

uint32_t SWspanwriter::PackWeights(double s, double t)
{
    const int64_t sWord = SaturatedWhole(s * 32768.0, -32768, 32767);
    const int64_t tWide =
        SaturatedWhole(t * 2147483648.0, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max());
    const uint32_t tHigh = static_cast<uint32_t>(static_cast<int32_t>(tWide)) & 0xFFFF0000u;
    return tHigh | (static_cast<uint32_t>(sWord) & 0xFFFFu);
}

void SWspanwriter::AddRun(uint32_t* pixels, int32_t count, const SWweightline& weights)
{
    const uint32_t steps = PackWeights(weights.ds, weights.dt);
    for (int32_t done = 0; done < count; done += kMostSpanPixels) {
        SWspan& record = m_records[m_count];
        record.pixels = pixels + done;
        record.count = std::min(kMostSpanPixels, count - done);
        record.weights = PackWeights(weights.s + done * weights.ds, weights.t + done * weights.dt);
        record.steps = steps;
        ++m_recordsWritten;
        if (++m_count == kRecords)
            HandOver();
    }
}

void SWspanwriter::Finish()
{
    if (m_count > 0)
        HandOver();
}

void SWspanwriter::HandOver()
{
    m_records[m_count] = SWspan{};
    m_flush(m_context, m_records);
    m_count = 0;
}
