#include "render/software/depth_buffer.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <optional>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "render/software/block_runs.h"
#include "render/software/float_bits.h"

namespace {

#if defined(__SSE2__)
// z, z + dz, z + 2 dz, z + 3 dz, each wrapping as a 32-bit register does.
__m128i WrappedRamp(int32_t z, int32_t dz)
{
    const uint32_t u = static_cast<uint32_t>(z), d = static_cast<uint32_t>(dz);
    return _mm_set_epi32(static_cast<int32_t>(u + 3 * d), static_cast<int32_t>(u + 2 * d), static_cast<int32_t>(u + d),
                         static_cast<int32_t>(u));
}
#endif

// z += dz saturates: a depth that runs past the nearest value stays nearest instead of wrapping to far.
int32_t SaturatedAdd(int32_t z, int32_t dz)
{
    return static_cast<int32_t>(
        std::clamp<int64_t>(int64_t{z} + dz, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

} // namespace

bool SWdepthbuffer::SetSize(int32_t width, int32_t height, uint32_t blockShift)
{
    Release();
    m_blockShift = blockShift;
    if (width < 1 || height < 1)
        return true;
    const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
    m_ownedValues.reset(new (std::nothrow) int32_t[count]);
    m_ownedClearMasks.reset(new (std::nothrow) uint32_t[static_cast<size_t>(height) + 1]);
    if (!m_ownedValues || !m_ownedClearMasks || !ReserveRuns(width)) {
        Release();
        return false;
    }
    m_values = m_ownedValues.get();
    m_clearMasks = m_ownedClearMasks.get();
    m_width = width;
    m_height = height;
    MarkAllRows();
    return true;
}

bool SWdepthbuffer::ShareValuesOf(SWdepthbuffer& owner)
{
    if (&owner == this)
        return true;
    m_ownedValues.reset();
    m_ownedClearMasks.reset();
    m_values = nullptr;
    m_clearMasks = nullptr;
    m_width = m_height = 0;
    m_blockShift = owner.m_blockShift;
    if (owner.m_values == nullptr)
        return true;
    if (!ReserveRuns(owner.m_width)) {
        Release();
        return false;
    }
    m_values = owner.m_values;
    m_clearMasks = owner.m_clearMasks;
    m_width = owner.m_width;
    m_height = owner.m_height;
    return true;
}

void SWdepthbuffer::MarkAllRows()
{
    if (m_clearMasks != nullptr)
        std::fill_n(m_clearMasks, static_cast<size_t>(m_height) + 1, ~0u);
}

void SWdepthbuffer::ClearBlocks(int32_t row, uint32_t mask)
{
    if (row < 0 || row >= m_height)
        return;
    int32_t* const values = Row(row);
    ForEachMaskedRun(mask, m_blockShift, 0, m_width,
                     [values](int32_t first, int32_t count) { std::fill_n(values + first, count, 0); });
}

bool SWdepthbuffer::Test()
{
    switch (m_routine) {
    case Routine::kTestOnly:
        return TestOnly();
    case Routine::kTestNone:
        return TestNone();
    case Routine::kTestAndWrite:
        break;
    }
    return TestAndWrite();
}

bool SWdepthbuffer::TestAndWrite()
{
    return TestSpan<true>();
}

bool SWdepthbuffer::TestOnly()
{
    return TestSpan<false>();
}

bool SWdepthbuffer::TestNone()
{
    if (!SpanFits()) {
        if (m_runs)
            m_runs[0] = 0;
        return false;
    }
    m_runs[0] = m_span.count;
    m_runs[m_span.count > 0 ? 1 : 0] = 0;
    return true;
}

template <bool kWrite> bool SWdepthbuffer::TestSpan()
{
    if (!SpanFits()) {
        if (m_runs)
            m_runs[0] = 0;
        return false;
    }
    const int32_t row = m_span.row;
    const uint32_t dueBlocks = m_clearMasks[row] & m_columnMask;
    if (dueBlocks != 0) {
        ClearBlocks(row, dueBlocks);
        m_clearMasks[row] &= ~dueBlocks;
    }
    int32_t* const values = Row(row) + m_span.firstPixel;
    int32_t* const runs = m_runs.get();
    int32_t z = FloatToIntSaturated(m_span.startDepth);
    const int32_t dz = FloatToIntSaturated(m_span.step);
    if (const std::optional<bool> uniform = TestUniformSpan<kWrite>(values, z, dz); uniform)
        return *uniform;
    int32_t runCount = 0;
    int32_t run = 0; // positive: visible pixels so far, negative: hidden ones
    bool anyVisible = false;
    for (int32_t i = 0; i < m_span.count; ++i) {
        const bool visible = z > values[i]; // equal depth is hidden: the first triangle drawn there stays
        if (visible) {
            if constexpr (kWrite)
                values[i] = z;
            anyVisible = true;
            if (run < 0) {
                runs[runCount++] = run;
                run = 0;
            }
            ++run;
        } else {
            if (run > 0) {
                runs[runCount++] = run;
                run = 0;
            }
            --run;
        }
        z = SaturatedAdd(z, dz);
    }
    if (run != 0)
        runs[runCount++] = run;
    runs[runCount] = 0;
    return anyVisible;
}

// The common spans of large triangles: wholly in front or wholly behind, with a depth that never saturates. Both
// are told from one pass that the compiler can do several pixels at a time; a mixed span answers nothing and takes
// the pixel-by-pixel walk, as does one whose depth would saturate.
template <bool kWrite> std::optional<bool> SWdepthbuffer::TestUniformSpan(int32_t* values, int32_t z, int32_t dz) const
{
    const int32_t count = m_span.count;
    const int64_t travel = int64_t{dz} * (count - 1); // so that neither i x dz nor z + i x dz leaves 32 bits
    const int64_t last = int64_t{z} + travel;
    const auto fits = [](int64_t v) {
        return v >= std::numeric_limits<int32_t>::min() && v <= std::numeric_limits<int32_t>::max();
    };
    if (count < 1 || !fits(travel) || !fits(last))
        return std::nullopt;
    int32_t visible = 0;
    int32_t i = 0;
#if defined(__SSE2__)
    // Four depths a round; lanes past the span's end may wrap and are never looked at.
    const __m128i step4 = _mm_set1_epi32(static_cast<int32_t>(4u * static_cast<uint32_t>(dz)));
    const __m128i first = WrappedRamp(z, dz);
    __m128i depth = first;
    __m128i inFront = _mm_setzero_si128(); // less 1 per lane and round where the new depth is nearer
    for (; i + 4 <= count; i += 4) {
        const __m128i stored = _mm_loadu_si128(reinterpret_cast<const __m128i*>(values + i));
        inFront = _mm_add_epi32(inFront, _mm_cmpgt_epi32(depth, stored));
        depth = _mm_add_epi32(depth, step4);
    }
    alignas(16) int32_t lanes[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(lanes), inFront);
    visible = -(lanes[0] + lanes[1] + lanes[2] + lanes[3]);
#endif
    for (; i < count; ++i)
        visible += z + i * dz > values[i] ? 1 : 0; // equal depth is hidden, as below
    int32_t* const runs = m_runs.get();
    if (visible == count) {
        if constexpr (kWrite) {
            int32_t j = 0;
#if defined(__SSE2__)
            for (__m128i ramp = first; j + 4 <= count; j += 4, ramp = _mm_add_epi32(ramp, step4))
                _mm_storeu_si128(reinterpret_cast<__m128i*>(values + j), ramp);
#endif
            for (; j < count; ++j)
                values[j] = z + j * dz;
        }
        runs[0] = count;
        runs[1] = 0;
        return true;
    }
    if (visible == 0) {
        runs[0] = -count;
        runs[1] = 0;
        return false;
    }
    return std::nullopt;
}

bool SWdepthbuffer::ReserveRuns(int32_t width)
{
    if (m_runCapacity < width + 1) {
        m_runs.reset(new (std::nothrow) int32_t[static_cast<size_t>(width) + 1]);
        m_runCapacity = m_runs ? width + 1 : 0;
    }
    if (m_runs)
        m_runs[0] = 0;
    return m_runs != nullptr;
}

void SWdepthbuffer::Release()
{
    m_ownedValues.reset();
    m_ownedClearMasks.reset();
    m_runs.reset();
    m_runCapacity = 0;
    m_values = nullptr;
    m_clearMasks = nullptr;
    m_width = m_height = 0;
}

bool SWdepthbuffer::SpanFits() const
{
    const SpanRequest& s = m_span;
    // The edge walk clips its spans; one that still reaches outside the row is drawn as nothing.
    return m_values != nullptr && s.row >= 0 && s.row < m_height && s.firstPixel >= 0 && s.count >= 0 &&
           s.count <= m_width - s.firstPixel;
}
