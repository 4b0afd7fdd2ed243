#include "render/present/accumulator.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

constexpr uint8_t kRanks[5][5] = {
    {11, 17, 6, 13, 9}, {15, 4, 21, 1, 19}, {7, 23, 0, 24, 8}, {20, 2, 22, 3, 16}, {10, 14, 5, 18, 12}};

} // namespace

SWaccumulator::SWaccumulator()
{
    const float sixth = 1.0f / 6.0f;
    for (int row = 0; row < 5; ++row) {
        for (int column = 0; column < 5; ++column) {
            m_jitter[kRanks[row][column]][0] = static_cast<float>(column - 2) * sixth;
            m_jitter[kRanks[row][column]][1] = static_cast<float>(row - 2) * sixth;
        }
    }
    // Rounded up, not truncated: sum x weight >> 24 is then exactly the floor of the mean for every sum that can
    // occur, where a truncated weight shows identical frames one level too dark.
    for (uint32_t k = 0; k < 25; ++k)
        m_weights[k] = static_cast<uint32_t>(((uint64_t{1} << 24) + k) / (k + 1));
}

void SWaccumulator::SetFrame(void* pixels, uint32_t pitchBytes, uint32_t format)
{
    m_pixels = static_cast<uint8_t*>(pixels);
    m_pitch = pitchBytes;
    m_format = format == kFormat565 ? kFormat565 : kFormat32;
}

void SWaccumulator::SetSize(uint32_t width, uint32_t height)
{
    if (width == m_width && height == m_height)
        return;
    m_sum.reset();
    Reset();
    m_width = width;
    m_height = height;
}

void SWaccumulator::Reset()
{
    m_step = 0;
    m_done = 0;
}

void SWaccumulator::Jitter(int32_t step, float& x, float& y) const
{
    const bool inTable = step > 0 && step < 25;
    x = inTable ? m_jitter[step][0] : 0.0f;
    y = inTable ? m_jitter[step][1] : 0.0f;
}

bool SWaccumulator::Accumulate()
{
    if (m_width == 0 || m_height == 0 || m_pixels == nullptr) {
        m_sum.reset();
        return false;
    }
    if (m_sum == nullptr) {
        m_sum.reset(new (std::nothrow) uint16_t[static_cast<size_t>(m_width) * m_height * 4]);
        if (m_sum == nullptr)
            return false;
        m_step = 0;
    }
    if (m_step == 0)
        std::memset(m_sum.get(), 0, static_cast<size_t>(m_width) * m_height * 8);
    if (m_format == kFormat565)
        AccumulateRows<kFormat565>();
    else
        AccumulateRows<kFormat32>();
    if (m_step < kLastStep + 1)
        ++m_step;
    return true;
}

template <uint32_t kFormat> void SWaccumulator::AccumulateRows()
{
    const bool steady = m_step >= kLastStep;
    m_done = steady ? 1 : 0;
    const bool even = (m_step & 1) == 0;
    // The frames summed when the mean is written: all 23 when steady, else k + 1 after adding, or k before.
    const int32_t summed = steady ? kLastStep : even ? m_step + 1 : m_step;
    const uint32_t weight = m_weights[std::min(summed - 1, kLastStep - 1)];
    const bool add = !steady;
    const bool writeBack = steady || m_step > 0;
    constexpr int kChannels = kFormat == kFormat565 ? 3 : 4;
    constexpr uint32_t kShift32[4] = {0, 8, 16, 24}, kMask32[4] = {255, 255, 255, 255};
    constexpr uint32_t kShift16[3] = {0, 5, 11}, kMask16[3] = {31, 63, 31};
    for (uint32_t y = 0; y < m_height; ++y) {
        uint8_t* row = m_pixels + static_cast<size_t>(y) * m_pitch;
        uint16_t* sum = m_sum.get() + static_cast<size_t>(y) * m_width * 4;
        for (uint32_t x = 0; x < m_width; ++x, sum += 4) {
            uint32_t drawn; // read before the write-back replaces it
            if constexpr (kFormat == kFormat565) {
                uint16_t value;
                std::memcpy(&value, row + 2 * x, 2);
                drawn = value;
            } else {
                std::memcpy(&drawn, row + 4 * x, 4);
            }
            if (add && even) {
                for (int c = 0; c < kChannels; ++c) {
                    const uint32_t shift = kFormat == kFormat565 ? kShift16[c] : kShift32[c];
                    const uint32_t mask = kFormat == kFormat565 ? kMask16[c] : kMask32[c];
                    sum[c] = static_cast<uint16_t>(sum[c] + ((drawn >> shift) & mask));
                }
            }
            if (writeBack) {
                uint32_t packed = 0;
                for (int c = 0; c < 3; ++c) { // the top byte is written as 0
                    const uint32_t shift = kFormat == kFormat565 ? kShift16[c] : kShift32[c];
                    packed |= static_cast<uint32_t>((uint64_t{sum[c]} * weight) >> 24) << shift;
                }
                if constexpr (kFormat == kFormat565) {
                    const auto value = static_cast<uint16_t>(packed);
                    std::memcpy(row + 2 * x, &value, 2);
                } else {
                    std::memcpy(row + 4 * x, &packed, 4);
                }
            }
            if (add && !even) {
                for (int c = 0; c < kChannels; ++c) {
                    const uint32_t shift = kFormat == kFormat565 ? kShift16[c] : kShift32[c];
                    const uint32_t mask = kFormat == kFormat565 ? kMask16[c] : kMask32[c];
                    sum[c] = static_cast<uint16_t>(sum[c] + ((drawn >> shift) & mask));
                }
            }
        }
    }
}
