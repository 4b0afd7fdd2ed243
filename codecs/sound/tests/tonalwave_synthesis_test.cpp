// The decoder's synthesis without codebooks: a direct forward transform with the encoder's windows and block
// placements, then the decoder's inverse transform and overlap-add, must give the input back two frames later for
// every window-code sequence the succession rule allows, mono and stereo through the mid/side conversion.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "codecs/sound/Tonalwave/Decode/tonalwave_decoder.h"
#include "codecs/sound/Tonalwave/Decode/tonalwave_synthesis.h"
#include "codecs/sound/Tonalwave/tonalwave_codec.h"
#include "codecs/sound/Tonalwave/tonalwave_parameters.h"
#include "codecs/sound/Tonalwave/tonalwave_support.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

// The window of a block of the shape (length, left and right slope lengths and kinds) over its 2L samples.
struct Frame {
    int n;
    int m;
    int s;
};

double Slope(int kind, int k, const Frame& f) // 0 long, 1 medium, 2 short; rising
{
    if (kind == 0)
        return std::sin((k + 0.5) * kPi / (2.0 * f.n));
    if (kind == 1)
        return std::sin((k + 0.5) * kPi / (2.0 * f.m));
    return std::sin((k + 0.5) * kPi / f.s);
}

int SlopeLength(int kind, const Frame& f)
{
    return kind == 0 ? f.n : kind == 1 ? f.m : f.s / 2;
}

struct Shape {
    int length;
    int left;
    int right;
};

Shape ShapeOf(int code, const Frame& f)
{
    static constexpr int kLeft[9] = {0, 0, 2, 2, 2, 1, 0, 1, 1};
    static constexpr int kRight[9] = {0, 2, 2, 0, 1, 0, 1, 2, 1};
    const int length = code == 2 ? f.s : (code == 4 || code == 7 || code == 8) ? f.m : f.n;
    return {length, kLeft[code], kRight[code]};
}

std::vector<double> WindowOf(const Shape& shape, const Frame& f)
{
    const int l = shape.length;
    std::vector<double> w(2 * static_cast<size_t>(l), 0.0);
    const int a = SlopeLength(shape.left, f);
    const int b = SlopeLength(shape.right, f);
    for (int n = 0; n < l; ++n) {
        const int k = n - (l - a) / 2;
        w[static_cast<size_t>(n)] = k < 0 ? 0.0 : k < a ? Slope(shape.left, k, f) : 1.0;
        const int r = n - (l - b) / 2;
        w[static_cast<size_t>(l + n)] = r < 0 ? 1.0 : r < b ? Slope(shape.right, b - 1 - r, f) : 0.0;
    }
    return w;
}

// X[k] = sqrt(2/L) sum over n < 2L of w[n] x[n] cos((pi/L)(n + 0.5 + L/2)(k + 0.5)), straight from the formula.
void ForwardMdct(const double* x, const Shape& shape, const Frame& f, float* out)
{
    const int l = shape.length;
    const std::vector<double> w = WindowOf(shape, f);
    const double scale = std::sqrt(2.0 / l);
    for (int k = 0; k < l; ++k) {
        double sum = 0.0;
        for (int n = 0; n < 2 * l; ++n)
            sum += w[static_cast<size_t>(n)] * x[n] * std::cos(kPi / l * (n + 0.5 + l / 2.0) * (k + 0.5));
        out[k] = static_cast<float>(scale * sum);
    }
}

// The coefficients of coded frame t (window over input frames t-2 and t-1) for one channel.
void AnalyseChannel(const std::vector<double>& signal, size_t frameStart, int code, const Frame& f, float* out)
{
    const double* window = signal.data() + frameStart;
    if (code == 2) {
        for (int b = 0; b < f.n / f.s; ++b)
            ForwardMdct(window + (f.n - f.s) / 2 + b * f.s, ShapeOf(2, f), f, out + b * f.s);
    } else if (code == 4 || code == 7 || code == 8) {
        const int blocks = f.n / f.m;
        for (int b = 0; b < blocks; ++b) {
            const int blockCode = (b == 0 && code == 4) ? 4 : (b == blocks - 1 && code == 7) ? 7 : 8;
            ForwardMdct(window + (f.n - f.m) / 2 + b * f.m, ShapeOf(blockCode, f), f, out + b * f.m);
        }
    } else {
        ForwardMdct(window, ShapeOf(code, f), f, out);
    }
}

// Runs the sequence through analysis and the decoder's synthesis; returns the largest error relative to the
// input's peak over the frames from 2 on.
double IdentityError(uint32_t configuration, const std::vector<int>& codes, uint32_t seed)
{
    const auto config = sound::DecodeConfigurationCode(configuration);
    const std::unique_ptr<sound::TonalwaveDecoder> decoder = sound::TonalwaveDecoder::Create(*config);
    const int n = decoder->FrameSamples();
    const int c = decoder->Channels();
    const Frame f{n, decoder->Layout().sizes.mediumLength, decoder->Layout().sizes.shortLength};
    const size_t frames = codes.size();
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> sample(-12000.0, 12000.0);
    // Left and right with two zero frames in front, the history before the first call.
    std::vector<std::vector<double>> input(2, std::vector<double>((frames + 2) * static_cast<size_t>(n), 0.0));
    for (int ch = 0; ch < c; ++ch)
        for (size_t i = 2 * static_cast<size_t>(n); i < input[static_cast<size_t>(ch)].size(); ++i)
            input[static_cast<size_t>(ch)][i] = sample(random) * (ch == 0 ? 1.0 : 0.5);
    // Mid and side, as the encoder converts.
    std::vector<std::vector<double>> coded = input;
    if (c == 2) {
        for (size_t i = 0; i < input[0].size(); ++i) {
            coded[0][i] = (input[0][i] + input[1][i]) * 0.70710677;
            coded[1][i] = (input[0][i] - input[1][i]) * 0.70710677;
        }
    }
    std::vector<float> coefficients(static_cast<size_t>(c * n));
    std::vector<float> out(static_cast<size_t>(c * n));
    double peak = 0.0;
    double worst = 0.0;
    for (size_t t = 0; t < frames; ++t) {
        for (int ch = 0; ch < c; ++ch)
            AnalyseChannel(coded[static_cast<size_t>(ch)], t * static_cast<size_t>(n), codes[t], f,
                           coefficients.data() + static_cast<size_t>(ch * n));
        EXPECT_TRUE(decoder->SynthesizeCoefficients(coefficients, codes[t], out));
        if (t < 2)
            continue;
        for (int j = 0; j < n; ++j) {
            const double mid = out[static_cast<size_t>(j)];
            const double side = c == 2 ? out[static_cast<size_t>(n + j)] : 0.0;
            for (int ch = 0; ch < c; ++ch) {
                const double got = c == 1 ? mid : ch == 0 ? (mid + side) * 0.70710677 : (mid - side) * 0.70710677;
                // Output of call t is input frame t - 2, which sits at frame t of the padded signal.
                const double want = input[static_cast<size_t>(ch)][t * static_cast<size_t>(n) + static_cast<size_t>(j)];
                peak = std::max(peak, std::fabs(want));
                worst = std::max(worst, std::fabs(got - want));
            }
        }
    }
    return peak > 0.0 ? worst / peak : worst;
}

std::vector<int> Repeated(std::vector<int> pattern, size_t times)
{
    std::vector<int> codes;
    for (size_t i = 0; i < times; ++i)
        codes.insert(codes.end(), pattern.begin(), pattern.end());
    return codes;
}

std::vector<int> RandomSuccession(uint32_t seed, size_t frames)
{
    std::mt19937 random(seed);
    sound::WindowCodeState state;
    std::vector<int> codes;
    for (size_t i = 0; i < frames; ++i)
        codes.push_back(sound::NextWindowCode(random() % 4 == 0, random() % 3 == 0, state));
    return codes;
}

struct IdentityCase {
    const char* name;
    uint32_t configuration;
    std::vector<int> codes;
};

class TonalwaveTransformIdentity : public testing::TestWithParam<IdentityCase> {};

TEST_P(TonalwaveTransformIdentity, OutputIsTheInputTwoFramesLater)
{
    const IdentityCase& c = GetParam();
    EXPECT_LT(IdentityError(c.configuration, c.codes, 99), 1e-4);
}

const IdentityCase kIdentityCases[] = {
    {"Ac8LongShortLong", 0x18080, {0, 0, 1, 2, 3, 0, 0, 0}},
    {"Ac8MediumChain", 0x18080, {0, 6, 8, 7, 2, 4, 8, 5, 0, 0}},
    {"Ac8LongRun", 0x18080, Repeated({0}, 6)},
    {"Ac8ShortRun", 0x18080, {0, 1, 2, 2, 2, 2, 2, 3, 0}},
    {"Ac8MediumRun", 0x18080, {0, 6, 8, 8, 8, 8, 5, 0}},
    {"Ac8Random", 0x18080, RandomSuccession(1, 24)},
    {"Acs20LongShortLong", 0x31110, {0, 0, 1, 2, 3, 0, 0}},
    {"Acs20MediumChain", 0x31110, {0, 6, 8, 7, 2, 4, 8, 5, 0}},
    {"Acs20Random", 0x31110, RandomSuccession(2, 16)},
    {"Ac24MediumChain", 0x12224, {0, 6, 8, 7, 2, 4, 8, 5, 0}},
    {"Ac24Random", 0x12224, RandomSuccession(3, 12)},
    {"Acs48Chain", 0x32224, {0, 1, 2, 4, 7, 2, 3, 6, 5}},
    {"SixKbitRandom", 0x18060, RandomSuccession(4, 16)},
};

INSTANTIATE_TEST_SUITE_P(Sequences, TonalwaveTransformIdentity, testing::ValuesIn(kIdentityCases),
                         [](const testing::TestParamInfo<IdentityCase>& info) { return info.param.name; });

// The fast inverse transform against its formula, for each block length of the models.
TEST(TonalwaveInverseMdct, MatchesTheFormula)
{
    std::mt19937 random(5);
    std::uniform_real_distribution<float> value(-1000.0f, 1000.0f);
    for (const int length : {64, 128, 256, 512, 1024}) {
        SCOPED_TRACE(length);
        sound::InverseMdct transform(length);
        std::vector<float> x(static_cast<size_t>(length));
        for (float& v : x)
            v = value(random);
        std::vector<float> y(2 * static_cast<size_t>(length));
        std::vector<float> work(static_cast<size_t>(length));
        ASSERT_TRUE(transform.Run(x.data(), y.data(), work.data()));
        double worst = 0.0;
        double peak = 0.0;
        for (int n = 0; n < 2 * length; ++n) {
            double sum = 0.0;
            for (int k = 0; k < length; ++k)
                sum += x[static_cast<size_t>(k)] * std::cos(kPi / length * (n + 0.5 + length / 2.0) * (k + 0.5));
            sum *= std::sqrt(2.0 / length);
            worst = std::max(worst, std::fabs(sum - y[static_cast<size_t>(n)]));
            peak = std::max(peak, std::fabs(sum));
        }
        EXPECT_LT(worst / peak, 1e-5);
    }
}

} // namespace
