#include <array>
#include <cmath>
#include <cstdint>
#include <memory>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "codecs/sound/speech/sc36/sc36_codec.h"
#include "codecs/sound/speech/sc36/sc36_format.h"
#include "codecs/sound/speech/sc36/sc36_tables.h"

using namespace sound;

namespace {

// A frame with every base-layer field at a distinct value.
Sc36Indices SampleIndices()
{
    Sc36Indices indices;
    indices.pitch = 0xA5;
    indices.gain = 0x2B;
    indices.voicing = 0x0D;
    indices.envelope = {{{17, 29}, {5, 11}, {30, 6}, {1, 3}, {22, 0}, {9, 0}}};
    indices.refinement = {5, 2};
    indices.phase = {0, 127, 64, 63, 1, 100, 42, 77};
    return indices;
}

uint64_t Word(const std::array<uint8_t, 8>& bytes)
{
    uint64_t word = 0;
    for (int i = 0; i < 8; ++i)
        word |= static_cast<uint64_t>(bytes[static_cast<size_t>(i)]) << (8 * i);
    return word;
}

uint32_t Field(uint64_t word, int at, int bits)
{
    return static_cast<uint32_t>((word >> at) & ((uint64_t{1} << bits) - 1));
}

TEST(Sc36FrameLayout, FieldsLandAtTheirBitPositions)
{
    const Sc36Indices indices = SampleIndices();
    const uint64_t base = Word(PackBaseLayer(indices, true));
    EXPECT_EQ(Field(base, 0, 8), 0xA5u);
    EXPECT_EQ(Field(base, 8, 6), 0x2Bu);
    EXPECT_EQ(Field(base, 14, 4), 0x0Du);
    EXPECT_EQ(Field(base, 18, 5), 17u);
    EXPECT_EQ(Field(base, 23, 5), 29u);
    EXPECT_EQ(Field(base, 28, 5), 5u);
    EXPECT_EQ(Field(base, 33, 4), 11u);
    EXPECT_EQ(Field(base, 37, 5), 30u);
    EXPECT_EQ(Field(base, 42, 3), 6u);
    EXPECT_EQ(Field(base, 45, 5), 1u);
    EXPECT_EQ(Field(base, 50, 2), 3u);
    EXPECT_EQ(Field(base, 52, 5), 22u);
    EXPECT_EQ(Field(base, 57, 5), 9u);
    EXPECT_EQ(Field(base, 62, 1), 0u);
    EXPECT_EQ(Field(base, 63, 1), 1u);
    EXPECT_EQ(Field(Word(PackBaseLayer(indices, false)), 63, 1), 0u);
    const uint64_t enhancement = Word(PackEnhancementLayer(indices));
    EXPECT_EQ(Field(enhancement, 0, 3), 5u);
    EXPECT_EQ(Field(enhancement, 3, 3), 2u);
    for (int k = 1; k <= 8; ++k)
        EXPECT_EQ(Field(enhancement, 6 + 7 * (k - 1), 7), indices.phase[static_cast<size_t>(k - 1)]) << k;
    EXPECT_EQ(Field(enhancement, 62, 2), 0u);
}

TEST(Sc36FrameLayout, UnpackingGivesThePackedIndicesBack)
{
    const Sc36Indices indices = SampleIndices();
    Sc36Indices back;
    UnpackBaseLayer(PackBaseLayer(indices, true), back);
    UnpackEnhancementLayer(PackEnhancementLayer(indices), back);
    EXPECT_EQ(back.pitch, indices.pitch);
    EXPECT_EQ(back.gain, indices.gain);
    EXPECT_EQ(back.voicing, indices.voicing);
    EXPECT_EQ(back.envelope, indices.envelope);
    EXPECT_EQ(back.refinement, indices.refinement);
    EXPECT_EQ(back.phase, indices.phase);
}

TEST(Sc36Quantisers, PitchEndsAndClamp)
{
    EXPECT_EQ(Sc36QuantisePitch(8.0f), 255);
    EXPECT_EQ(Sc36QuantisePitch(160.0f), 0);
    EXPECT_EQ(Sc36QuantisePitch(200.0f), 0);
    EXPECT_EQ(Sc36QuantisePitch(2.0f), 255);
    for (int i = 0; i < 256; ++i)
        EXPECT_EQ(Sc36QuantisePitch(Sc36DequantisePitch(static_cast<uint8_t>(i))), i);
}

TEST(Sc36Quantisers, VoicingFlagAndItsTie)
{
    const Sc36Tables& tables = Sc36CodingTables();
    Sc36FrameParams params;
    params.voicingEnd = 1.0f;
    params.voicingMid = 0.9f;
    Sc36Indices indices = QuantiseBase(params, {100.0f, 0.0f}, tables);
    EXPECT_EQ(indices.voicing, 7 + 8); // the end level is nearer the mid voicing than the previous frame's
    EXPECT_EQ(params.voicingMid, 1.0f);
    params = {};
    params.voicingEnd = 1.0f;
    params.voicingMid = 0.5f;
    indices = QuantiseBase(params, {100.0f, 0.0f}, tables);
    EXPECT_EQ(indices.voicing, 7); // a tie gives 0
    EXPECT_EQ(params.voicingMid, 0.0f);
}

TEST(Sc36Quantisers, MidPitchRuleBranches)
{
    EXPECT_FLOAT_EQ(Sc36MidPitch(100.0f, 0.5f, 110.0f, 0.5f), 105.0f); // close: the mean
    EXPECT_FLOAT_EQ(Sc36MidPitch(100.0f, 0.2f, 40.0f, 0.8f), 40.0f);   // far: the more voiced side
    EXPECT_FLOAT_EQ(Sc36MidPitch(100.0f, 0.9f, 40.0f, 0.1f), 100.0f);
    EXPECT_FLOAT_EQ(Sc36MidPitch(20.0f, 0.0f, 10.0f, 0.0f), 20.0f); // short and unvoiced: the longer one
}

TEST(Sc36Quantisers, PhaseResidualAtTheThresholdUsesTheCodebook)
{
    const Sc36Tables& tables = Sc36CodingTables();
    Sc36FrameParams params;
    params.pitchMid = params.pitchEnd = 100.0f;
    const float step = (512.0f / 100.0f + 512.0f / 100.0f) * 0.49087387f;
    params.phaseEnd[0] = 3.0f;
    params.phaseMid[0] = std::remainder(3.0f - step - kSc36PhaseThreshold, 2.0f * 3.14159265f);
    Sc36Indices indices;
    QuantiseEnhancement(params, indices, tables);
    EXPECT_GE(kSc36PhaseCodeOrder[indices.phase[0] % 64], 16);
}

TEST(Sc36Quantisers, EveryEnvelopeReconstructionMatchesBetweenEncoderAndDecoder)
{
    const Sc36Tables& tables = Sc36CodingTables();
    std::mt19937 random(7);
    std::uniform_real_distribution<float> coefficient(-1.2f, 1.2f);
    for (int trial = 0; trial < 200; ++trial) {
        Sc36FrameParams params;
        for (float& c : params.envelopeRaw)
            c = coefficient(random);
        params.voicingEnd = trial % 2 == 0 ? 0.0f : 1.0f;
        const Sc36Previous previous{100.0f, 0.3f};
        Sc36Indices indices = QuantiseBase(params, previous, tables);
        QuantiseEnhancement(params, indices, tables);
        Sc36Indices read;
        UnpackBaseLayer(PackBaseLayer(indices, true), read);
        UnpackEnhancementLayer(PackEnhancementLayer(indices), read);
        Sc36FrameParams decoded;
        DequantiseBase(read, previous, tables, decoded);
        DequantiseEnhancement(read, tables, decoded);
        EXPECT_EQ(decoded.envelope, params.envelope);
        EXPECT_EQ(decoded.phaseEnd, params.phaseEnd);
        EXPECT_EQ(decoded.phaseMid, params.phaseMid);
        EXPECT_EQ(decoded.pitchMid, params.pitchMid);
        EXPECT_EQ(decoded.gain, params.gain);
    }
}

TEST(Sc36Tables, DerivedValuesAndConstraints)
{
    const Sc36DerivedTables& d = Sc36Derived();
    EXPECT_NEAR(d.analysisHalfWindow.front(), 0.0246f, 5e-5f);
    EXPECT_NEAR(d.analysisHalfWindow.back(), 1.6541f, 5e-5f);
    EXPECT_FLOAT_EQ(d.candidates.front(), 8.0f);
    EXPECT_NEAR(d.candidates.back(), 159.438f, 1e-3f);
    EXPECT_NEAR(d.componentGain[0], 0.5001f, 5e-5f);
    EXPECT_NEAR(d.componentGain[1], 0.5002f, 5e-5f);
    EXPECT_NEAR(d.componentGain[2], 0.5005f, 5e-5f);
    EXPECT_NEAR(d.cepstrumScale[1], 0.72135f, 1e-5f);
    EXPECT_NEAR(d.cepstrumScale[3], 0.24045f, 1e-5f);
    EXPECT_EQ(CheckSc36Tables(Sc36CodingTables()), nullptr);
    Sc36Tables broken = BuildBootstrapSc36Tables();
    broken.gain[10] = broken.gain[9];
    EXPECT_NE(CheckSc36Tables(broken), nullptr);
    broken = BuildBootstrapSc36Tables();
    broken.stage0[1].rotation[3] = {0.0f, 0.0f};
    EXPECT_NE(CheckSc36Tables(broken), nullptr);
    broken = BuildBootstrapSc36Tables();
    broken.stages13[0].list[1] = broken.stages13[0].list[0];
    EXPECT_NE(CheckSc36Tables(broken), nullptr);
    broken = BuildBootstrapSc36Tables();
    broken.phase[0][0] = 0.44f;
    EXPECT_NE(CheckSc36Tables(broken), nullptr);
}

TEST(Sc36LayerMasks, BytesMasksAndRates)
{
    const LayerSizeTable& sizes = DefaultLayerSizes();
    EXPECT_EQ(BytesToLayerMask(16, sizes), 3u);
    EXPECT_EQ(BytesToLayerMask(15, sizes), 1u);
    EXPECT_EQ(BytesToLayerMask(12, sizes), 1u);
    EXPECT_EQ(BytesToLayerMask(7, sizes), 0u);
    EXPECT_EQ(LayerMaskBytes(1, sizes), 8u);
    EXPECT_EQ(LayerMaskBytes(3, sizes), 16u);
    EXPECT_EQ(LayerMaskBytes(2, sizes), 8u);
    EXPECT_FALSE(IsPrefixLayerMask(0, sizes));
    EXPECT_FALSE(IsPrefixLayerMask(2, sizes));
    EXPECT_FALSE(IsPrefixLayerMask(7, sizes));
    EXPECT_TRUE(IsPrefixLayerMask(3, sizes));
    uint32_t mask = 9;
    EXPECT_EQ(Sc36BitRateToLayers(nullptr, 6400, &mask), kCodecOk);
    EXPECT_EQ(mask, 3u);
    EXPECT_EQ(Sc36BitRateToLayers(nullptr, 1000, &mask), kCodecOk);
    EXPECT_EQ(mask, 0u);
    uint16_t rate = 0;
    EXPECT_EQ(Sc36LayersToBitRate(nullptr, 1, &rate), kCodecOk);
    EXPECT_EQ(rate, 3200);
}

TEST(Sc36ScanFrames, ContinuationWithoutItsLayer)
{
    std::array<uint8_t, 32> ring{};
    ring[7] = 0x80;
    EXPECT_EQ(ScanFrames(ring, 0, 8, 1, DefaultLayerSizes()), -1);
    LayerSizeTable single;
    single.sizes = {8, 0};
    EXPECT_EQ(ScanFrames(ring, 0, 8, 1, single), -2);
}

TEST(Sc36ScanFrames, EmptyExactEndAndWrappedFrames)
{
    std::array<uint8_t, 24> ring{};
    const LayerSizeTable& sizes = DefaultLayerSizes();
    EXPECT_EQ(ScanFrames(ring, 5, 5, 1, sizes), -1);
    EXPECT_EQ(ScanFrames(ring, 16, 2, 1, sizes), 0); // a layer ending at the ring's end leaves position 0
    ring[23] = 0x80;                                 // a 16-byte frame from 16 wraps to 8
    EXPECT_EQ(ScanFrames(ring, 16, 10, 1, sizes), 8);
    EXPECT_EQ(ScanFrames(ring, 16, 6, 1, sizes), -1);
    // A ring that ends exactly after one frame holds no second one, and stale bytes beyond are never read.
    EXPECT_EQ(ScanFrames(ring, 16, 8, 2, sizes), -1);
}

// Fills a ring with coded frames: 6400 bit/s frames when enhanced, else 3200 bit/s frames.
std::vector<uint8_t> CodedFrames(int frames, bool enhanced)
{
    std::vector<uint8_t> out;
    for (int f = 0; f < frames; ++f) {
        Sc36Indices indices = SampleIndices();
        indices.pitch = static_cast<uint8_t>(f * 13);
        indices.phase[0] = static_cast<uint8_t>(f);
        const auto base = PackBaseLayer(indices, enhanced);
        out.insert(out.end(), base.begin(), base.end());
        if (enhanced) {
            const auto enhancement = PackEnhancementLayer(indices);
            out.insert(out.end(), enhancement.begin(), enhancement.end());
        }
    }
    return out;
}

CodecIO RingOver(std::vector<uint8_t>& bytes, size_t held)
{
    CodecIO io;
    io.coded = bytes.data();
    io.codedSize = static_cast<uint16_t>(bytes.size());
    io.endByte = static_cast<uint16_t>(held);
    return io;
}

TEST(Sc36StreamLayers, ExtractAndMergeRestoreTheStream)
{
    std::vector<uint8_t> source = CodedFrames(6, true);
    const std::vector<uint8_t> original = source;
    source.resize(source.size() + 8);
    CodecIO in = RingOver(source, original.size());
    std::vector<uint8_t> baseBytes(64), enhancementBytes(64), merged(128);
    CodecIO base = RingOver(baseBytes, 0), enhancement = RingOver(enhancementBytes, 0);
    ASSERT_EQ(Sc36ExtractLayers(nullptr, &in, &base, 1), kCodecOk);
    ASSERT_EQ(Sc36ExtractLayers(nullptr, &in, &enhancement, 2), kCodecOk);
    EXPECT_EQ(base.endByte, 48);
    EXPECT_EQ(enhancement.endByte, 48);
    EXPECT_EQ(std::vector<uint8_t>(baseBytes.begin(), baseBytes.begin() + 48), CodedFrames(6, false));
    CodecIO out = RingOver(merged, 0);
    ASSERT_EQ(Sc36MergeLayers(nullptr, &enhancement, &base, &out, 2, 1), kCodecOk);
    ASSERT_EQ(out.endByte, original.size());
    EXPECT_EQ(std::vector<uint8_t>(merged.begin(), merged.begin() + out.endByte), original);
    EXPECT_EQ(Sc36ExtractLayers(nullptr, &in, &base, 5), kCodecBadLayers);
}

TEST(Sc36StreamLayers, MergingEmptySourcesWritesNothing)
{
    std::vector<uint8_t> a(32, 0xEE), b(32, 0xEE), c(64);
    CodecIO first = RingOver(a, 0), second = RingOver(b, 0), out = RingOver(c, 0);
    EXPECT_EQ(Sc36MergeLayers(nullptr, &first, &second, &out, 1, 2), kCodecOk);
    EXPECT_EQ(out.endByte, 0);
}

TEST(Sc36StreamLayers, DestinationTooSmallAndMismatchedSources)
{
    std::vector<uint8_t> source = CodedFrames(4, true);
    source.resize(source.size() + 4);
    CodecIO in = RingOver(source, 64);
    std::vector<uint8_t> small(16);
    CodecIO out = RingOver(small, 0);
    EXPECT_EQ(Sc36ExtractLayers(nullptr, &in, &out, 1), kCodecBadStream);
    std::vector<uint8_t> a = CodedFrames(2, false), b = CodedFrames(3, false), c(64);
    a.resize(24);
    b.resize(32);
    CodecIO first = RingOver(a, 16), second = RingOver(b, 24), merged = RingOver(c, 0);
    EXPECT_EQ(Sc36MergeLayers(nullptr, &first, &second, &merged, 1, 2), kCodecBadStream);
    EXPECT_EQ(Sc36MergeLayers(nullptr, &first, &second, &merged, 1, 1), kCodecBadLayers);
}

} // namespace
