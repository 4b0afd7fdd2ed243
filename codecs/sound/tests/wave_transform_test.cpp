#include "codecs/sound/wave_codec/wave_transform.h"

#include <cmath>
#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "codecs/sound/wave_codec/run_length_code.h"
#include "codecs/sound/wave_codec/shift_allocation.h"

using namespace sound;

namespace {

std::vector<int16_t> RunLengthRoundTrip(const std::vector<int16_t>& values, std::vector<uint8_t>& outCode)
{
    outCode.clear();
    RunLengthEncode(values, outCode);
    std::vector<int16_t> decoded(values.size());
    size_t consumed = 0;
    EXPECT_TRUE(RunLengthDecode(outCode, decoded, consumed));
    EXPECT_EQ(consumed, outCode.size());
    return decoded;
}

} // namespace

TEST(WaveTransform, ConstantBlockHasOnlyTheFirstCoefficient)
{
    WaveTransform transform;
    ASSERT_TRUE(transform.SetSize(64));
    const std::vector<float> x(64, 100.0f);
    std::vector<float> coefficients(64);
    transform.Forward(x, coefficients);
    EXPECT_NEAR(coefficients[0], 4.0 * std::sqrt(2.0) * 100.0, 1e-3);
    for (int k = 1; k < 64; ++k)
        EXPECT_NEAR(coefficients[k], 0.0, 1e-3) << k;
    std::vector<float> back(64);
    transform.Inverse(coefficients, back);
    for (float v : back)
        EXPECT_NEAR(v, 100.0, 1e-3);
}

TEST(WaveTransform, MatchesTheFormulaAndInvertsForEveryAcceptedSize)
{
    for (uint32_t n = 2; n <= WaveTransform::kLargestSize; n *= 2) {
        SCOPED_TRACE(n);
        WaveTransform transform;
        ASSERT_TRUE(transform.SetSize(n));
        std::vector<float> x(n);
        for (uint32_t i = 0; i < n; ++i)
            x[i] = static_cast<float>(std::sin(0.37 * i * i) * 20000.0);
        std::vector<float> coefficients(n);
        transform.Forward(x, coefficients);
        for (uint32_t k : {0u, 1u, n / 2, n - 1}) {
            double sum = 0.0;
            for (uint32_t i = 0; i < n; ++i)
                sum += x[i] * std::cos(M_PI * k * (2.0 * i + 1.0) / (2.0 * n));
            const double want = (k == 0 ? 0.5 : 1.0) * std::sqrt(2.0 / n) * sum;
            EXPECT_NEAR(coefficients[k], want, 2e-5 * 20000.0 * std::sqrt(static_cast<double>(n)));
        }
        std::vector<float> back(n);
        transform.Inverse(coefficients, back);
        for (uint32_t i = 0; i < n; ++i)
            EXPECT_NEAR(back[i], x[i], 0.05);
    }
}

TEST(WaveTransform, RefusesSizesThatAreNotSmallPowersOfTwo)
{
    WaveTransform transform;
    for (uint32_t n : {0u, 1u, 3u, 63u, 2048u, 1u << 20})
        EXPECT_FALSE(transform.SetSize(n)) << n;
    EXPECT_EQ(transform.Size(), 0u);
}

TEST(ShiftAllocation, QualityHundredKeepsEveryCoefficient)
{
    std::vector<float> coefficients(64 * 4);
    for (size_t i = 0; i < coefficients.size(); ++i)
        coefficients[i] = static_cast<float>(std::cos(0.1 * i) * 30000.0 / (1 + i % 64));
    const std::vector<int> shifts = AllocateShifts(coefficients, 4, 64, 100);
    EXPECT_EQ(shifts, std::vector<int>(64, 0));
}

TEST(ShiftAllocation, LowerQualityNeverShiftsLessAndStaysInRange)
{
    std::vector<float> coefficients(64 * 8);
    for (size_t i = 0; i < coefficients.size(); ++i)
        coefficients[i] = static_cast<float>(std::sin(0.7 * i) * 20000.0 / (1 + i % 64));
    std::vector<int> previous = AllocateShifts(coefficients, 8, 64, 100);
    for (uint32_t quality : {90u, 70u, 40u, 20u, 0u}) {
        SCOPED_TRACE(quality);
        const std::vector<int> shifts = AllocateShifts(coefficients, 8, 64, quality);
        for (size_t k = 0; k < shifts.size(); ++k) {
            EXPECT_GE(shifts[k], previous[k]) << k;
            EXPECT_LE(shifts[k], kLargestAllocatedShift);
        }
        previous = shifts;
    }
    EXPECT_GT(previous[63], 0);
}

TEST(ShiftAllocation, CoefficientTooLargeForSixteenBitsGetsAShift)
{
    std::vector<float> coefficients(64, 0.0f);
    coefficients[0] = 185000.0f; // a full-scale constant block: 4 sqrt(2) x 32767
    const std::vector<int> shifts = AllocateShifts(coefficients, 1, 64, 100);
    EXPECT_EQ(shifts[0], 3); // 185000 / 8 fits, 185000 / 4 does not
}

TEST(RunLengthCode, TwoHundredSmallValuesMakeRunsOf128And72)
{
    const std::vector<int16_t> values(200, -3);
    std::vector<uint8_t> code;
    EXPECT_EQ(RunLengthRoundTrip(values, code), values);
    ASSERT_EQ(code.size(), 2u + 200u);
    EXPECT_EQ(code[0], 0x7F);
    EXPECT_EQ(code[1], 125); // -3 + 128
    EXPECT_EQ(code[129], 0x47);
}

TEST(RunLengthCode, LoneSmallValueBetweenLargeOnesJoinsTheLargeRun)
{
    const std::vector<int16_t> values = {5, 300, -7, -1000};
    std::vector<uint8_t> code;
    EXPECT_EQ(RunLengthRoundTrip(values, code), values);
    const std::vector<uint8_t> want = {
        0x00, 133,  // small run of one: 5
        0x82,       // large run of three
        0x2C, 0x01, // 300
        0xF9, 0xFF, // -7
        0x18, 0xFC, // -1000
    };
    EXPECT_EQ(code, want);
}

TEST(RunLengthCode, BoundaryValuesRoundTrip)
{
    const std::vector<int16_t> values = {-128, 127, 128, -129, 32767, -32768, 0, 0, 1, -32768, 5, 6, 7, 255};
    std::vector<uint8_t> code;
    EXPECT_EQ(RunLengthRoundTrip(values, code), values);
    EXPECT_LE(code.size(), values.size() * kRunLengthMaxBytesPerValue);
}

TEST(RunLengthCode, ShortCodeFailsAndLongRunIsCutAtTheCount)
{
    std::vector<int16_t> out(10);
    size_t consumed = 0;
    const std::vector<uint8_t> cut = {0x09, 1, 2, 3}; // promises ten values, holds three
    EXPECT_FALSE(RunLengthDecode(cut, out, consumed));
    const std::vector<uint8_t> cutLarge = {0x81, 0x10}; // two large values, half of one byte pair
    EXPECT_FALSE(RunLengthDecode(cutLarge, out, consumed));

    std::vector<int16_t> two(2);
    const std::vector<uint8_t> longRun = {0x04, 130, 131, 132, 133, 134};
    EXPECT_TRUE(RunLengthDecode(longRun, two, consumed));
    EXPECT_EQ(two, (std::vector<int16_t>{2, 3}));
    EXPECT_EQ(consumed, 3u);
}
