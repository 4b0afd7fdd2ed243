#include "codecs/sound/fft.h"

#include <atomic>
#include <cmath>
#include <complex>
#include <cstdint>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "codecs/sound/fft_tables.h"

using namespace sound;

namespace {

using ComplexD = std::complex<double>;

std::vector<float> RandomFloats(size_t count, uint32_t seed)
{
    std::mt19937 generator(seed);
    std::uniform_real_distribution<float> uniform(-1.0f, 1.0f);
    std::vector<float> values(count);
    for (float& v : values)
        v = uniform(generator);
    return values;
}

// The direct transform in double precision: sum over n of x[n] exp(sign 2 pi i n k / N).
std::vector<ComplexD> DirectDft(const std::vector<ComplexD>& x, int sign)
{
    const size_t n = x.size();
    std::vector<ComplexD> roots(n);
    for (size_t j = 0; j < n; ++j)
        roots[j] = std::polar(1.0, sign * 2.0 * M_PI * static_cast<double>(j) / static_cast<double>(n));
    std::vector<ComplexD> out(n);
    for (size_t k = 0; k < n; ++k) {
        ComplexD sum = 0.0;
        for (size_t j = 0; j < n; ++j)
            sum += x[j] * roots[(j * k) % n];
        out[k] = sum;
    }
    return out;
}

std::vector<ComplexD> ToComplex(const std::vector<float>& interleaved)
{
    std::vector<ComplexD> out(interleaved.size() / 2);
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = ComplexD(interleaved[2 * i], interleaved[2 * i + 1]);
    return out;
}

size_t Reverse(size_t i, int order)
{
    size_t r = 0;
    for (int b = 0; b < order; ++b)
        r |= ((i >> b) & 1u) << (order - 1 - b);
    return r;
}

std::vector<float> BitReversedCopy(const std::vector<float>& interleaved, int order)
{
    std::vector<float> out(interleaved.size());
    for (size_t i = 0; i < interleaved.size() / 2; ++i) {
        const size_t r = Reverse(i, order);
        out[2 * r] = interleaved[2 * i];
        out[2 * r + 1] = interleaved[2 * i + 1];
    }
    return out;
}

// ||got - want|| / ||want|| over all points.
double RelativeError(const std::vector<ComplexD>& got, const std::vector<ComplexD>& want)
{
    double error = 0.0;
    double norm = 0.0;
    for (size_t i = 0; i < want.size(); ++i) {
        error += std::norm(got[i] - want[i]);
        norm += std::norm(want[i]);
    }
    return std::sqrt(error / norm);
}

// Every combination of direction, scaling (none, scale, scale overridden by no-scale) and the two bit-reversal
// bits, with the natural-order bit where neither is set.
std::vector<uint32_t> AllFlagSets()
{
    std::vector<uint32_t> sets;
    for (uint32_t direction : {0u, FFT_FORWARD}) {
        for (uint32_t scaling : {0u, FFT_SCALE, FFT_SCALE | FFT_NO_SCALE}) {
            for (uint32_t order :
                 {FFT_NATURAL_ORDER, 0u, FFT_INPUT_BITREV, FFT_OUTPUT_BITREV, FFT_INPUT_BITREV | FFT_OUTPUT_BITREV})
                sets.push_back(direction | scaling | order);
        }
    }
    return sets;
}

} // namespace

// Orders 1 to 12 cross the boundary between the split-radix kernel (up to 10) and the blocked kernel (11 up).
TEST(ComplexFft, AgreesWithDirectTransformForEveryOrderAndFlagSet)
{
    for (int order = 1; order <= 12; ++order) {
        const size_t n = size_t{1} << order;
        const std::vector<float> input = RandomFloats(2 * n, 100 + static_cast<uint32_t>(order));
        const std::vector<ComplexD> forward = DirectDft(ToComplex(input), -1);
        const std::vector<ComplexD> inverse = DirectDft(ToComplex(input), 1);
        for (const uint32_t flags : AllFlagSets()) {
            SCOPED_TRACE("order " + std::to_string(order) + ", flags " + std::to_string(flags));
            std::vector<ComplexD> want = (flags & FFT_FORWARD) != 0 ? forward : inverse;
            if ((flags & FFT_SCALE) != 0 && (flags & FFT_NO_SCALE) == 0) {
                for (ComplexD& v : want)
                    v /= static_cast<double>(n);
            }
            std::vector<float> data = (flags & FFT_INPUT_BITREV) != 0 ? BitReversedCopy(input, order) : input;
            ASSERT_TRUE(ComplexFFT(data, order, flags));
            if ((flags & FFT_OUTPUT_BITREV) != 0)
                data = BitReversedCopy(data, order); // the permutation is its own inverse
            EXPECT_LT(RelativeError(ToComplex(data), want), 2e-6);
        }
    }
}

TEST(ComplexFft, ImpulseGivesAllOnesAndToneGivesOneBin)
{
    for (int order : {3, 10, 11}) {
        SCOPED_TRACE(order);
        const size_t n = size_t{1} << order;
        std::vector<float> impulse(2 * n, 0.0f);
        impulse[0] = 1.0f;
        ASSERT_TRUE(ComplexFFT(impulse, order, FFT_FORWARD));
        for (size_t i = 0; i < n; ++i) {
            EXPECT_NEAR(impulse[2 * i], 1.0f, 1e-6);
            EXPECT_NEAR(impulse[2 * i + 1], 0.0f, 1e-6);
        }
        // exp(-2 pi i n / N) under the + kernel lands entirely in point 1.
        std::vector<float> tone(2 * n);
        for (size_t i = 0; i < n; ++i) {
            tone[2 * i] = static_cast<float>(std::cos(2 * M_PI * static_cast<double>(i) / static_cast<double>(n)));
            tone[2 * i + 1] = static_cast<float>(-std::sin(2 * M_PI * static_cast<double>(i) / static_cast<double>(n)));
        }
        ASSERT_TRUE(ComplexFFT(tone, order, 0));
        EXPECT_NEAR(tone[2], static_cast<float>(n), 1e-3 * static_cast<double>(n));
        for (size_t i = 0; i < n; ++i) {
            if (i != 1) {
                EXPECT_NEAR(std::hypot(tone[2 * i], tone[2 * i + 1]), 0.0, 1e-3 * static_cast<double>(n));
            }
        }
    }
}

TEST(ComplexFft, OrderZeroAndRefusedCallsLeaveTheData)
{
    std::vector<float> one = {3.0f, -2.0f};
    EXPECT_TRUE(ComplexFFT(one, 0, FFT_FORWARD | FFT_SCALE));
    EXPECT_EQ(one, (std::vector<float>{3.0f, -2.0f}));

    std::vector<float> shortBuffer = RandomFloats(15, 7); // order 3 needs 16 floats
    const std::vector<float> before = shortBuffer;
    EXPECT_FALSE(ComplexFFT(shortBuffer, 3, FFT_FORWARD));
    EXPECT_EQ(shortBuffer, before);
    EXPECT_FALSE(ComplexFFT(shortBuffer, -1, FFT_FORWARD));
    EXPECT_FALSE(ComplexFFT(shortBuffer, 32, FFT_FORWARD)); // past the caches
    EXPECT_EQ(shortBuffer, before);
}

TEST(RealFft, TwoSamplesGiveSumAndDifference)
{
    std::vector<float> data = {5.0f, 2.0f, 99.0f, 99.0f};
    ASSERT_TRUE(RealFFT(data, 1, FFT_FORWARD));
    EXPECT_EQ(data, (std::vector<float>{7.0f, 0.0f, 3.0f, 0.0f}));
}

TEST(RealFft, AgreesWithDirectTransformAndWritesExactlyNPlusTwo)
{
    for (int order = 1; order <= 12; ++order) {
        SCOPED_TRACE(order);
        const size_t n = size_t{1} << order;
        const std::vector<float> input = RandomFloats(n, 300 + static_cast<uint32_t>(order));
        std::vector<ComplexD> x(n);
        for (size_t i = 0; i < n; ++i)
            x[i] = input[i];
        const std::vector<ComplexD> spectrum = DirectDft(x, -1);

        constexpr float kGuard = 12345.0f;
        std::vector<float> data(n + 2 + 8, kGuard);
        std::copy(input.begin(), input.end(), data.begin());
        data[n] = kGuard;
        data[n + 1] = kGuard;
        ASSERT_TRUE(RealFFT(data, order, FFT_FORWARD));
        std::vector<ComplexD> got(n / 2 + 1);
        for (size_t k = 0; k <= n / 2; ++k)
            got[k] = ComplexD(data[2 * k], data[2 * k + 1]);
        const std::vector<ComplexD> want(spectrum.begin(), spectrum.begin() + static_cast<long>(n / 2 + 1));
        EXPECT_LT(RelativeError(got, want), 2e-6);
        EXPECT_EQ(data[1], 0.0f);
        EXPECT_EQ(data[n + 1], 0.0f);
        for (size_t i = n + 2; i < data.size(); ++i)
            EXPECT_EQ(data[i], kGuard);

        // The direction bit clear gives the conjugate spectrum.
        std::vector<float> conjugate(n + 2);
        std::copy(input.begin(), input.end(), conjugate.begin());
        ASSERT_TRUE(RealFFT(conjugate, order, 0));
        for (size_t k = 0; k <= n / 2; ++k)
            got[k] = ComplexD(conjugate[2 * k], -conjugate[2 * k + 1]);
        EXPECT_LT(RelativeError(got, want), 2e-6);
    }
}

TEST(RealFft, RoundTripReturnsInputScaledOrTimesN)
{
    for (int order = 1; order <= 12; ++order) {
        SCOPED_TRACE(order);
        const size_t n = size_t{1} << order;
        const std::vector<float> input = RandomFloats(n, 500 + static_cast<uint32_t>(order));
        for (const uint32_t inverseFlags : {FFT_SCALE, FFT_NO_SCALE, FFT_FORWARD | FFT_SCALE}) {
            std::vector<float> data(n + 2);
            std::copy(input.begin(), input.end(), data.begin());
            // The direction-set inverse undoes the conjugate spectrum of the direction-clear forward transform.
            const uint32_t forwardFlags = (inverseFlags & FFT_FORWARD) != 0 ? 0 : FFT_FORWARD;
            ASSERT_TRUE(RealFFT(data, order, forwardFlags));
            ASSERT_TRUE(RealInverseFFT(data, order, inverseFlags));
            const double factor = (inverseFlags & FFT_NO_SCALE) != 0 ? static_cast<double>(n) : 1.0;
            double error = 0.0;
            double norm = 0.0;
            for (size_t i = 0; i < n; ++i) {
                error += std::pow(data[i] - factor * input[i], 2);
                norm += std::pow(factor * input[i], 2);
            }
            EXPECT_LT(std::sqrt(error / norm), 1e-5) << "inverse flags " << inverseFlags;
        }
    }
}

TEST(RealFft, ShortBufferIsRefusedUntouched)
{
    std::vector<float> data = RandomFloats(64, 9); // 64 samples need 66 floats
    const std::vector<float> before = data;
    EXPECT_FALSE(RealFFT(data, 6, FFT_FORWARD));
    EXPECT_FALSE(RealInverseFFT(data, 6, FFT_SCALE));
    EXPECT_EQ(data, before);
}

TEST(RealFft, InitOnlyBuildsTablesAndLeavesData)
{
    std::vector<float> data = RandomFloats(130, 11);
    const std::vector<float> before = data;
    EXPECT_TRUE(RealFFT(data, 7, FFT_FORWARD | FFT_INIT_ONLY));
    EXPECT_EQ(data, before);
    EXPECT_NE(TwiddleTableOf(6), nullptr);
}

TEST(TransformTables, FreedTablesAreRebuiltWithTheSameResult)
{
    for (int order : {5, 11}) {
        SCOPED_TRACE(order);
        const std::vector<float> input = RandomFloats(size_t{2} << order, 21);
        std::vector<float> first = input;
        ASSERT_TRUE(ComplexFFT(first, order, FFT_FORWARD));
        const uint64_t builtBefore = TransformTablesBuilt();
        FreeTransformTables();
        std::vector<float> second = input;
        ASSERT_TRUE(ComplexFFT(second, order, FFT_FORWARD));
        EXPECT_EQ(first, second);
        EXPECT_EQ(TransformTablesBuilt(), builtBefore + 2); // one twiddle and one bit-reversal table
    }
}

// A table is built once per order and shared by every later caller until the caches are freed; orders outside
// the range build nothing.
TEST(TransformTables, EachOrderIsBuiltOnceAndSharedAndBadOrdersBuildNothing)
{
    const auto first = TwiddleTableOf(9);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->Points(), size_t{1} << 9);
    const uint64_t built = TransformTablesBuilt();
    EXPECT_EQ(TwiddleTableOf(9), first);
    const auto reversal = BitReversalTableOf(3);
    ASSERT_NE(reversal, nullptr);
    EXPECT_EQ(BitReversalTableOf(3), reversal);
    EXPECT_LE(TransformTablesBuilt(), built + 1); // at most the bit-reversal table, never the twiddles again
    EXPECT_EQ(reversal->partner, (std::vector<uint32_t>{0, 4, 2, 6, 1, 5, 3, 7}));

    const uint64_t beforeRefusals = TransformTablesBuilt();
    for (const int order : {-1, kMaxTransformOrder + 1, 1000}) {
        SCOPED_TRACE(order);
        EXPECT_EQ(TwiddleTableOf(order), nullptr);
        EXPECT_EQ(BitReversalTableOf(order), nullptr);
    }
    EXPECT_EQ(TransformTablesBuilt(), beforeRefusals);
}

// Freeing the caches while other threads transform must neither crash nor change a result.
TEST(TransformTables, FreeingWhileOtherThreadsTransformIsHarmless)
{
    const std::vector<float> input = RandomFloats(size_t{2} << 11, 31);
    std::vector<float> want = input;
    ASSERT_TRUE(ComplexFFT(want, 11, FFT_FORWARD));
    std::atomic<bool> stop = false;
    std::atomic<int> mismatches = 0;
    std::vector<std::thread> workers;
    for (int t = 0; t < 3; ++t) {
        workers.emplace_back([&] {
            for (int i = 0; i < 40; ++i) {
                std::vector<float> data = input;
                if (!ComplexFFT(data, 11, FFT_FORWARD) || data != want)
                    ++mismatches;
            }
        });
    }
    std::thread freer([&] {
        while (!stop)
            FreeTransformTables();
    });
    for (std::thread& worker : workers)
        worker.join();
    stop = true;
    freer.join();
    EXPECT_EQ(mismatches, 0);
}
