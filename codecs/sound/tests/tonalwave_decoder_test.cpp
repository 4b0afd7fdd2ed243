// The decoder's frame steps and concealment through the decoder state, and the conversion to 16-bit samples.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "codecs/sound/Tonalwave/Decode/tonalwave_decoder.h"
#include "codecs/sound/Tonalwave/tables/tonalwave_bootstrap.h"
#include "codecs/sound/Tonalwave/tonalwave_codebooks.h"
#include "codecs/sound/Tonalwave/tonalwave_codec.h"
#include "codecs/sound/tests/tonalwave_test_support.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

std::unique_ptr<sound::TonalwaveDecoder> DecoderOf(uint32_t code)
{
    return sound::TonalwaveDecoder::Create(*sound::DecodeConfigurationCode(code));
}

sound::TonalwaveFrameRecord LostFrame()
{
    sound::TonalwaveFrameRecord lost;
    lost.windowCode = sound::kTonalwaveLostWindowCode;
    return lost;
}

bool AllZero(const std::vector<float>& v)
{
    return std::all_of(v.begin(), v.end(), [](float x) { return x == 0.0f; });
}

TEST(TonalwaveConcealment, StreamStartingWithALostFrameIsSilent)
{
    const auto decoder = DecoderOf(0x18080);
    std::vector<float> out(512, 1.0f);
    ASSERT_TRUE(decoder->DecodeFrame(LostFrame(), out));
    EXPECT_TRUE(AllZero(out));
    EXPECT_EQ(decoder->LostFrames(), 1);
}

TEST(TonalwaveConcealment, FiveLostFramesFadeToSilence)
{
    for (const uint32_t code : {0x18080u, 0x32224u}) {
        SCOPED_TRACE(code);
        const auto decoder = DecoderOf(code);
        const int n = decoder->FrameSamples();
        const int c = decoder->Channels();
        std::mt19937 random(21);
        std::vector<float> out(static_cast<size_t>(c * n));
        for (int i = 0; i < 4; ++i)
            ASSERT_TRUE(decoder->DecodeFrame(tonalwavetest::RandomRecord(decoder->Layout(), 0, random), out));
        std::vector<std::vector<float>> lost;
        std::vector<std::vector<float>> tails;
        for (int i = 0; i < 5; ++i) {
            ASSERT_TRUE(decoder->DecodeFrame(LostFrame(), out));
            lost.push_back(out);
            tails.emplace_back(decoder->Tail(0).begin(), decoder->Tail(0).end());
            EXPECT_EQ(decoder->LostFrames(), i + 1);
            EXPECT_EQ(decoder->ConcealedFrames(), i + 1);
        }
        EXPECT_FALSE(AllZero(lost[0])); // the partials of the last output go on
        EXPECT_FALSE(AllZero(lost[1]));
        EXPECT_EQ(lost[1], lost[2]); // the stored tail, twice
        std::vector<float> tail(tails[0]);
        for (int j = 0; j < n; ++j) {
            const auto fall = static_cast<float>(std::sin((n - 1 - j + 0.5) * kPi / (2.0 * n)));
            EXPECT_FLOAT_EQ(lost[3][static_cast<size_t>(j)], tail[static_cast<size_t>(j)] * fall);
        }
        EXPECT_TRUE(std::all_of(tails[3].begin(), tails[3].end(), [](float v) { return v == 0.0f; }));
        EXPECT_TRUE(AllZero(lost[4]));
        // The first good frame ends the run.
        ASSERT_TRUE(decoder->DecodeFrame(tonalwavetest::RandomRecord(decoder->Layout(), 0, random), out));
        EXPECT_EQ(decoder->LostFrames(), 0);
        EXPECT_EQ(decoder->ConcealedFrames(), 0);
    }
}

// After v lost frames the envelope's prediction weight becomes rho / v and its memory the one that would have given
// the last decoded frequencies. Checked on the first two frames, where the first needs no prediction.
TEST(TonalwaveConcealment, FirstGoodFrameAfterALossWeakensThePrediction)
{
    std::mt19937 random(31);
    const auto probe = DecoderOf(0x18080);
    const int order = 12;
    sound::TonalwaveFrameRecord first = tonalwavetest::RandomRecord(probe->Layout(), 0, random);
    sound::TonalwaveFrameRecord second = tonalwavetest::RandomRecord(probe->Layout(), 0, random);
    first.envelopeIndex[0][0] = 0;
    second.envelopeIndex[0][0] = 0; // predictor set 0, whose weights follow the line-spectral stages
    const sound::TonalwaveTableShape shape = sound::ShapeOf(sound::TonalwaveSet::k8k8);
    const size_t predictors = shape.lspOffset + static_cast<size_t>(shape.lspStage1Rows + shape.lspStage2Rows) *
                                                    static_cast<size_t>(shape.lspOrder);
    const std::span<const int16_t> stored = sound::StoredTablesOf(sound::TonalwaveSet::k8k8);
    std::vector<float> out(512);
    const auto plain = DecoderOf(0x18080);
    plain->DecodeFrame(first, out);
    const std::vector<float> r1(plain->Frequencies(0).begin(), plain->Frequencies(0).end());
    plain->DecodeFrame(second, out);
    const std::vector<float> predicted(plain->Frequencies(0).begin(), plain->Frequencies(0).end());
    const auto lossy = DecoderOf(0x18080);
    lossy->DecodeFrame(first, out);
    lossy->DecodeFrame(LostFrame(), out);
    lossy->DecodeFrame(LostFrame(), out);
    lossy->DecodeFrame(second, out);
    for (int k = 0; k < order; ++k) {
        const float rho = static_cast<float>(stored[predictors + static_cast<size_t>(k)]) / 2048.0f;
        const float r2 = (predicted[static_cast<size_t>(k)] - rho * r1[static_cast<size_t>(k)]) / (1.0f - rho);
        const float weak = rho / 2.0f;
        EXPECT_NEAR(lossy->Frequencies(0)[static_cast<size_t>(k)],
                    (1.0f - weak) * r2 + weak * r1[static_cast<size_t>(k)], 2e-4f)
            << k;
    }
}

// Tables whose first envelope row puts two frequencies 0.004 rad apart around coefficient 128: a sharp resonance.
std::vector<int16_t> ResonantTables()
{
    std::vector<int16_t> tables = sound::BuildBootstrapTables(sound::TonalwaveSet::k11k10);
    const sound::TonalwaveTableShape shape = sound::ShapeOf(sound::TonalwaveSet::k11k10);
    for (int k = 0; k < 16; ++k) {
        const double centre = 128.5 * kPi / 512; // coefficient 128 of a long frame: a direct grid point
        const double omega = k == 3 ? centre - 0.002 : k == 4 ? centre + 0.002 : (k + 1) * kPi / 17;
        tables[shape.lspOffset + static_cast<size_t>(k)] = static_cast<int16_t>(std::lround(omega * 2048));
        tables[shape.lspOffset + 64 * 16 + static_cast<size_t>(k)] = 0; // second stage, row 0
    }
    return tables;
}

TEST(TonalwaveConcealment, LongEnvelopeAboveFiveHundredAfterALossBecomesFlat)
{
    std::mt19937 random(41);
    const std::vector<int16_t> tables = ResonantTables();
    const auto config = *sound::DecodeConfigurationCode(0x11110);
    const auto fresh = sound::TonalwaveDecoder::Create(config, sound::kTonalwaveDecoderScratchBytes, tables);
    sound::TonalwaveFrameRecord loud = tonalwavetest::RandomRecord(fresh->Layout(), 0, random);
    for (int i = 0; i < 5; ++i)
        loud.envelopeIndex[0][i] = 0;
    std::vector<float> out(512);
    fresh->DecodeFrame(loud, out);
    const auto peak = fresh->Envelope(0);
    ASSERT_GT(*std::max_element(peak.begin(), peak.end()), 500.0f);
    const auto decoder = sound::TonalwaveDecoder::Create(config, sound::kTonalwaveDecoderScratchBytes, tables);
    decoder->DecodeFrame(LostFrame(), out);
    decoder->DecodeFrame(loud, out);
    const auto envelope = decoder->Envelope(0);
    EXPECT_TRUE(std::all_of(envelope.begin(), envelope.end(), [](float v) { return v == 1.0f; }));
    // A medium frame keeps its peak after a loss: the rule is the long frames'.
    const auto medium = sound::TonalwaveDecoder::Create(config, sound::kTonalwaveDecoderScratchBytes, tables);
    sound::TonalwaveFrameRecord mediumFrame = tonalwavetest::RandomRecord(medium->Layout(), 8, random);
    for (int i = 0; i < 5; ++i)
        mediumFrame.envelopeIndex[0][i] = 0;
    medium->DecodeFrame(LostFrame(), out);
    medium->DecodeFrame(mediumFrame, out);
    const auto kept = medium->Envelope(0);
    EXPECT_GT(*std::max_element(kept.begin(), kept.begin() + 256), 100.0f);
}

TEST(TonalwaveDecoderSteps, BandwidthCodesKeepTheirShareOfTheCodedBand)
{
    std::mt19937 random(51);
    const auto probe = DecoderOf(0x18080);
    sound::TonalwaveFrameRecord frame = tonalwavetest::RandomRecord(probe->Layout(), 0, random);
    std::vector<float> out(512);
    const int kept[4] = {512, 358, 256, 153};
    for (int code = 0; code < 4; ++code) {
        SCOPED_TRACE(code);
        frame.bandwidthCode = code;
        const auto decoder = DecoderOf(0x18080);
        decoder->DecodeFrame(frame, out);
        // Nothing outside the kept share is coded; inside it a trained codebook may hold an exact zero now and then.
        const auto coefficients = decoder->Coefficients();
        const auto nonzero = std::count_if(coefficients.begin(), coefficients.end(), [](float v) { return v != 0.0f; });
        EXPECT_LE(nonzero, kept[code]);
        EXPECT_GE(nonzero, kept[code] * 98 / 100);
    }
}

TEST(TonalwaveDecoderSteps, SixKbitSetCodesThreeQuartersOfEachBlock)
{
    std::mt19937 random(61);
    const auto decoder = DecoderOf(0x18060);
    std::vector<float> out(512);
    for (const int code : {0, 8, 2}) {
        SCOPED_TRACE(code);
        decoder->DecodeFrame(tonalwavetest::RandomRecord(decoder->Layout(), code, random), out);
        const auto kind = static_cast<size_t>(sound::KindOfWindowCode(code));
        const int length = decoder->Layout().sizes.blockLength[kind];
        const auto coefficients = decoder->Coefficients();
        for (int block = 0; block < 512 / length; ++block) {
            const auto begin = coefficients.begin() + block * length;
            EXPECT_TRUE(std::all_of(begin + 3 * length / 4, begin + length, [](float v) { return v == 0.0f; }));
            EXPECT_TRUE(std::any_of(begin, begin + 3 * length / 4, [](float v) { return v != 0.0f; }));
        }
    }
}

TEST(TonalwaveDecoderSteps, SignBitOfAHalfNegatesItsRowOnly)
{
    std::mt19937 random(71);
    const auto probe = DecoderOf(0x18080);
    sound::TonalwaveFrameRecord frame = tonalwavetest::RandomRecord(probe->Layout(), 2, random);
    frame.vqIndexA[0] &= 63;
    sound::TonalwaveFrameRecord flipped = frame;
    flipped.vqIndexA[0] |= 64;
    std::vector<float> out(512);
    const auto a = DecoderOf(0x18080);
    const auto b = DecoderOf(0x18080);
    a->DecodeFrame(frame, out);
    b->DecodeFrame(flipped, out);
    const sound::TonalwaveVectorSet& vectors = probe->Layout().vectors[2];
    std::vector<bool> inVector(512, false);
    for (int j = 0; j < vectors.LengthOf(0); ++j)
        inVector[vectors.coefficientOf[static_cast<size_t>(j)]] = true;
    for (size_t k = 0; k < 512; ++k) {
        if (inVector[k])
            continue;
        EXPECT_EQ(a->Coefficients()[k], b->Coefficients()[k]) << k;
    }
    // Inside the vector the difference is the first row itself, scaled by the block's gain, band and envelope:
    // its sign follows the row's, whatever those positive factors are.
    const auto stored = sound::StoredTablesOf(sound::TonalwaveSet::k8k8);
    const sound::TonalwaveTableShape shape = sound::ShapeOf(sound::TonalwaveSet::k8k8);
    const size_t row = shape.mainOffset[2] + static_cast<size_t>(frame.vqIndexA[0]) * 18;
    for (int j = 0; j < vectors.LengthOf(0); ++j) {
        const size_t k = vectors.coefficientOf[static_cast<size_t>(j)];
        const float difference = a->Coefficients()[k] - b->Coefficients()[k];
        const int16_t value = stored[row + static_cast<size_t>(j)];
        if (value != 0) {
            EXPECT_EQ(difference > 0.0f, value > 0) << j;
        }
    }
}

double DirectEnvelope(const std::vector<float>& omega, int j, int length)
{
    const double x = std::cos((j + 0.5) * kPi / length);
    double a = 1.0;
    double b = 1.0;
    for (size_t k = 0; k < omega.size(); k += 2) {
        a *= 2 * x - 2 * std::cos(omega[k]);
        b *= 2 * x - 2 * std::cos(omega[k + 1]);
    }
    return 1.0 / ((1 - x) * b * b + (1 + x) * a * a);
}

TEST(TonalwaveDecoderSteps, SparseEnvelopeFollowsTheDirectOneOnSmoothShapes)
{
    const auto decoder = DecoderOf(0x18080);
    for (const double wobble : {0.0, 0.01, 0.02}) {
        std::vector<float> omega(12);
        for (int k = 0; k < 12; ++k)
            omega[static_cast<size_t>(k)] = static_cast<float>((k + 1) * kPi / 13 + wobble * std::sin(0.7 * k));
        for (const auto& [kind, length] :
             {std::pair{sound::TonalwaveKind::kLong, 512}, std::pair{sound::TonalwaveKind::kMedium, 256}}) {
            SCOPED_TRACE(testing::Message() << "wobble " << wobble << " L " << length);
            std::vector<float> envelope(static_cast<size_t>(length));
            decoder->EvaluateEnvelope(kind, omega, envelope);
            const int last = length - (kind == sound::TonalwaveKind::kLong ? 16 : 4);
            for (int j = 0; j <= last; ++j)
                ASSERT_NEAR(envelope[static_cast<size_t>(j)] / DirectEnvelope(omega, j, length), 1.0, 0.01) << j;
            for (int j = last + 1; j < length; ++j)
                EXPECT_EQ(envelope[static_cast<size_t>(j)], envelope[static_cast<size_t>(last)]);
        }
    }
}

TEST(TonalwaveDecoderSteps, PeaksGetAMiddleEvaluation)
{
    // A resonance just below grid point 88 of the lower long span makes 88 stand out above 80 and 96 with 80 the
    // higher of the two: the span [80, 88] gets a direct value at 84 instead of a straight line.
    const auto decoder = DecoderOf(0x18080);
    std::vector<float> omega(12);
    for (int k = 0; k < 12; ++k)
        omega[static_cast<size_t>(k)] = static_cast<float>((k + 1) * kPi / 13);
    omega[2] = static_cast<float>(86.5 * kPi / 512 - 0.01);
    omega[3] = static_cast<float>(86.5 * kPi / 512 + 0.01);
    std::vector<float> envelope(512);
    decoder->EvaluateEnvelope(sound::TonalwaveKind::kLong, omega, envelope);
    ASSERT_GT(envelope[80], envelope[96]);
    EXPECT_NEAR(envelope[84] / DirectEnvelope(omega, 84, 512), 1.0, 1e-4);
    EXPECT_GT(std::fabs(envelope[84] - 0.5f * (envelope[80] + envelope[88])), 0.1f * envelope[84]);
    EXPECT_NEAR(envelope[82], 0.5f * (envelope[80] + envelope[84]), 1e-3f * envelope[84]); // linear either side
}

TEST(TonalwaveDecoderSteps, EnvelopeIsExactOnTheDirectGrid)
{
    std::mt19937 random(91);
    const auto decoder = DecoderOf(0x12224);
    std::vector<float> out(1024);
    decoder->DecodeFrame(tonalwavetest::RandomRecord(decoder->Layout(), 0, random), out);
    const auto envelope = decoder->Envelope(0);
    const auto omega = decoder->Frequencies(0);
    for (const int j : {0, 8, 504, 512, 528, 1008}) {
        const float x = static_cast<float>(std::cos((j + 0.5) * kPi / 1024));
        float a = 1.0f;
        float b = 1.0f;
        for (int k = 0; k < 16; k += 2) {
            a *= 2.0f * x - 2.0f * std::cos(omega[static_cast<size_t>(k)]);
            b *= 2.0f * x - 2.0f * std::cos(omega[static_cast<size_t>(k) + 1]);
        }
        EXPECT_NEAR(envelope[static_cast<size_t>(j)], 1.0f / ((1 - x) * b * b + (1 + x) * a * a),
                    1e-4f * envelope[static_cast<size_t>(j)])
            << j;
    }
    for (int j = 1009; j < 1024; ++j)
        EXPECT_EQ(envelope[static_cast<size_t>(j)], envelope[1008]);
}

TEST(TonalwaveSamples, StereoPairClampsAndNeverGivesMinus32768)
{
    std::vector<int16_t> out(6);
    const std::vector<float> output = {30000.0f, -50000.0f, std::numeric_limits<float>::quiet_NaN(),
                                       30000.0f, 0.0f,      0.0f};
    sound::ConvertToSamples(output, 2, 3, out);
    EXPECT_EQ(out[0], 32767); // left (M + S) 0.7071: 42426 clamped
    EXPECT_EQ(out[1], 0);     // right (M - S) 0.7071
    EXPECT_EQ(out[2], -32767);
    EXPECT_EQ(out[3], -32767);
    EXPECT_EQ(out[4], 0); // not a number
    EXPECT_EQ(out[5], 0);
    std::vector<int16_t> mono(4);
    sound::ConvertToSamples(std::vector<float>{-32767.6f, 1.5f, -1.5f, 32766.4f}, 1, 4, mono);
    EXPECT_EQ(mono, (std::vector<int16_t>{-32767, 2, -2, 32766}));
}

TEST(TonalwaveDecoderSteps, NonFiniteCoefficientsNeverReachTheTail)
{
    std::mt19937 random(101);
    const auto decoder = DecoderOf(0x18080);
    std::vector<float> coefficients(512, 0.0f);
    coefficients[10] = std::numeric_limits<float>::infinity();
    coefficients[11] = std::numeric_limits<float>::quiet_NaN();
    std::vector<float> out(512);
    ASSERT_TRUE(decoder->SynthesizeCoefficients(coefficients, 0, out));
    EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](float v) { return std::isfinite(v); }));
    const auto tail = decoder->Tail(0);
    EXPECT_TRUE(std::all_of(tail.begin(), tail.end(), [](float v) { return std::isfinite(v); }));
    ASSERT_TRUE(decoder->DecodeFrame(tonalwavetest::RandomRecord(decoder->Layout(), 0, random), out));
    EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](float v) { return std::isfinite(v); }));
}

} // namespace
