#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "codecs/sound/speech/probe_registry.h"
#include "codecs/sound/speech/rt24/rt24_encoder.h"
#include "codecs/sound/speech/rt24/rt24_format.h"
#include "codecs/sound/speech/rt24/rt24_tables.h"

using namespace sound;

namespace {

uint64_t Fnv1a(uint64_t hash, const float* values, int count)
{
    for (int i = 0; i < count; ++i) {
        uint32_t bits = 0;
        std::memcpy(&bits, &values[i], sizeof bits);
        for (int k = 0; k < 4; ++k) {
            hash ^= (bits >> (8 * k)) & 0xFFu;
            hash *= 1099511628211ull;
        }
    }
    return hash;
}

struct Quantiser {
    std::unique_ptr<ProbeRegistry> registry = CreateProbeRegistry();
    std::unique_ptr<Rt24Quantiser> quantiser = Rt24Quantiser::Create(*registry);
};

struct Ring {
    uint8_t bytes[32] = {};
    int16_t pcm[1] = {};
    CodecIO io;
    Ring()
    {
        io.coded = bytes;
        io.codedSize = sizeof bytes;
        io.samples = pcm;
    }
};

Rt24Indices RandomIndices(std::mt19937& random)
{
    Rt24Indices indices;
    indices.pv = static_cast<uint8_t>(random() % 16);
    indices.pitch = static_cast<uint8_t>(random() % 256);
    indices.energy = static_cast<uint8_t>(random() % 64);
    for (int k = 0; k < kRt24LsfCount; ++k)
        indices.lsf[k] = static_cast<uint8_t>(random() % static_cast<uint32_t>(kRt24LsfCodebookSizes[k]));
    return indices;
}

bool SameIndices(const Rt24Indices& a, const Rt24Indices& b)
{
    return a.pv == b.pv && a.pitch == b.pitch && a.energy == b.energy &&
           std::equal(a.lsf, a.lsf + kRt24LsfCount, b.lsf);
}

} // namespace

TEST(Rt24Tables, ChecksumOfEveryTranscribedTable)
{
    uint64_t hash = 1469598103934665603ull;
    for (int k = 0; k < kRt24LsfCount; ++k)
        hash = Fnv1a(hash, kRt24LsfCodebooks[k], kRt24LsfCodebookSizes[k]);
    hash = Fnv1a(hash, kRt24EnergyTable, kRt24EnergyLevels);
    hash = Fnv1a(hash, kRt24PvTable, kRt24PvLevels);
    hash = Fnv1a(hash, kRt24TrackerHighPass, 9);
    hash = Fnv1a(hash, kRt24TrackerLowPass, 7);
    EXPECT_EQ(hash, 0x409197d869f2aceeull);
    // Both ends of each kind, as published.
    EXPECT_EQ(kRt24LsfCodebook0[0], 80.80548f);
    EXPECT_EQ(kRt24LsfCodebook5[15], 1195.975f);
    EXPECT_EQ(kRt24LsfCodebook9[7], 755.255f);
    EXPECT_EQ(kRt24EnergyTable[0], -0.3537996f);
    EXPECT_EQ(kRt24EnergyTable[63], 3.035747f);
    EXPECT_EQ(kRt24TrackerHighPass[8], 0.8137243f);
    EXPECT_EQ(kRt24TrackerLowPass[6], -0.1563097f);
    for (int k = 0; k < kRt24LsfCount; ++k)
        EXPECT_TRUE(std::is_sorted(kRt24LsfCodebooks[k], kRt24LsfCodebooks[k] + kRt24LsfCodebookSizes[k])) << k;
    EXPECT_TRUE(std::is_sorted(kRt24EnergyTable, kRt24EnergyTable + kRt24EnergyLevels));
}

TEST(Rt24Tables, WindowShapeFollowsTheKaiserSpectrum)
{
    const auto& shape = Rt24WindowShape();
    EXPECT_EQ(shape[0], 1.0f);
    EXPECT_NEAR(shape[40], 0.81782f, 3e-4f);
    EXPECT_NEAR(shape[80], 0.42769f, 3e-4f);
    EXPECT_NEAR(shape[120], 0.11553f, 3e-4f);
    const auto firstNull = std::min_element(shape.begin() + 140, shape.begin() + 180) - shape.begin();
    EXPECT_EQ(firstNull, 161);
}

TEST(Rt24Frame, AllZeroFrameDecodesToTheLowestLevels)
{
    Quantiser q;
    Ring ring;
    BitRing reader = ReadRingOf(ring.io);
    q.quantiser->indices = UnpackRt24Frame(reader);
    HarmonicParams params;
    q.quantiser->Dequantise(params);
    EXPECT_EQ(params.pv, 0.0f);
    EXPECT_EQ(params.pitch, 125.0f);
    EXPECT_FLOAT_EQ(params.resEnergy, DequantiseEnergy(0));
    const float expected[kRt24LsfCount] = {80.81f,  123.23f, 203.57f, 306.90f, 402.69f,
                                           495.55f, 660.21f, 783.19f, 955.63f, 1064.30f};
    for (int k = 0; k < kRt24LsfCount; ++k)
        EXPECT_NEAR(params.lsf[k], expected[k], 0.01f) << k;
    // 62 harmonics share the energy: power A^2 / 2 each.
    EXPECT_NEAR(params.amplitudes[61] * params.amplitudes[61] * 31.0f, params.resEnergy, params.resEnergy * 1e-5f);
    EXPECT_EQ(params.amplitudes[62], 0.0f);
}

TEST(Rt24Quantiser, PitchIndexEnds)
{
    EXPECT_EQ(QuantisePitch(16.0f), 255);
    EXPECT_EQ(QuantisePitch(125.0f), 0);
    EXPECT_EQ(QuantisePitch(160.0f), 0); // negative quotient raised
    // 15 samples would need index 257: the doubled period, 30, is coded instead.
    EXPECT_EQ(QuantisePitch(15.0f), QuantisePitch(30.0f));
    EXPECT_EQ(QuantisePitch(8.0f), 255); // the doubled period 16 is still the shortest
    EXPECT_FLOAT_EQ(DequantisePitch(255), 16.0f);
    EXPECT_FLOAT_EQ(DequantisePitch(0), 125.0f);
    for (int i = 0; i < 256; ++i)
        EXPECT_EQ(QuantisePitch(DequantisePitch(i)), i) << i;
}

TEST(Rt24Quantiser, VoicingRoundsUpFromAQuarterStep)
{
    EXPECT_EQ(QuantisePv(0.5f), 8); // 7/15 + 1/60 <= 0.5
    EXPECT_EQ(QuantisePv(7.0f / 15.0f + 0.01f), 7);
    EXPECT_EQ(QuantisePv(0.0f), 0);
    EXPECT_EQ(QuantisePv(1.0f), 15);
    EXPECT_FLOAT_EQ(kRt24PvTable[QuantisePv(0.5f)], 8.0f / 15.0f);
}

TEST(Rt24Quantiser, EnergyRoundTripsWithinALevel)
{
    EXPECT_EQ(QuantiseEnergy(0.0f), 0);
    for (int i = 0; i < kRt24EnergyLevels; ++i)
        EXPECT_EQ(QuantiseEnergy(DequantiseEnergy(i)), i) << i;
}

TEST(Rt24Quantiser, LsfTopIsLimitedWithSpacing)
{
    uint8_t indices[kRt24LsfCount];
    for (int k = 0; k < kRt24LsfCount; ++k)
        indices[k] = static_cast<uint8_t>(kRt24LsfCodebookSizes[k] - 1);
    float lsf[kRt24LsfCount];
    DequantiseLsf(indices, lsf);
    EXPECT_EQ(lsf[9], 3896.0f);
    EXPECT_GE(lsf[9] - lsf[8], 40.0f - 1e-3f);
    for (int k = 1; k < kRt24LsfCount; ++k)
        EXPECT_LT(lsf[k - 1], lsf[k]);
}

TEST(Rt24Quantiser, LsfSearchKeepsOrderAndStaysClose)
{
    std::mt19937 random(5);
    for (int trial = 0; trial < 100; ++trial) {
        float lsf[kRt24LsfCount];
        float target = 0.0f;
        for (int k = 0; k < kRt24LsfCount; ++k) {
            target += 150.0f + static_cast<float>(random() % 250);
            lsf[k] = target;
        }
        const std::vector<float> original(lsf, lsf + kRt24LsfCount);
        uint8_t indices[kRt24LsfCount];
        QuantiseLsf(lsf, indices);
        float decoded[kRt24LsfCount];
        DequantiseLsf(indices, decoded);
        for (int k = 0; k < kRt24LsfCount; ++k) {
            EXPECT_LT(indices[k], kRt24LsfCodebookSizes[k]);
            EXPECT_EQ(decoded[k], lsf[k]) << k; // below 3900 Hz nothing is moved
            if (k > 0) {
                EXPECT_GT(lsf[k], lsf[k - 1]);
            }
        }
        EXPECT_LT(std::fabs(lsf[0] - original[0]), 70.0f);
    }
}

TEST(Rt24Frame, ThreeFramesFill21Bytes)
{
    Ring ring;
    BitRing writer = WriteRingOf(ring.io);
    std::mt19937 random(9);
    for (int f = 0; f < 3; ++f)
        PackRt24Frame(RandomIndices(random), writer);
    EXPECT_EQ(ring.io.endByte * 8 + ring.io.endBit, 162);
    EXPECT_EQ((ring.io.endByte * 8 + ring.io.endBit + 7) / 8, 21);
}

TEST(Rt24Frame, FramesRoundTripAtEveryBitOffset)
{
    std::mt19937 random(2);
    for (int offset = 0; offset < 8; ++offset) {
        SCOPED_TRACE(offset);
        Ring ring;
        ring.io.endByte = ring.io.startByte = 29; // the second frame wraps
        ring.io.endBit = ring.io.startBit = static_cast<uint8_t>(offset);
        BitRing writer = WriteRingOf(ring.io);
        const Rt24Indices first = RandomIndices(random);
        const Rt24Indices second = RandomIndices(random);
        PackRt24Frame(first, writer);
        PackRt24Frame(second, writer);
        BitRing reader = ReadRingOf(ring.io);
        EXPECT_TRUE(SameIndices(UnpackRt24Frame(reader), first));
        EXPECT_TRUE(SameIndices(UnpackRt24Frame(reader), second));
        EXPECT_EQ(ring.io.startByte, ring.io.endByte);
        EXPECT_EQ(ring.io.startBit, ring.io.endBit);
    }
}

TEST(Rt24Frame, SpareBitIsWrittenZeroAndIgnored)
{
    Ring ring;
    std::memset(ring.bytes, 0xFF, sizeof ring.bytes);
    BitRing writer = WriteRingOf(ring.io);
    Rt24Indices indices;
    std::fill(indices.lsf, indices.lsf + kRt24LsfCount, uint8_t{7});
    indices.pv = 15;
    indices.pitch = 255;
    indices.energy = 63;
    PackRt24Frame(indices, writer);
    EXPECT_EQ(ring.bytes[6] & 0x20, 0); // bit 53
    ring.bytes[6] |= 0x20;
    BitRing reader = ReadRingOf(ring.io);
    EXPECT_TRUE(SameIndices(UnpackRt24Frame(reader), indices));
    EXPECT_EQ(ring.io.startBit, 6);
}

TEST(Rt24Quantiser, RegistersItsProbesAndConstants)
{
    Quantiser q;
    ASSERT_NE(q.quantiser, nullptr);
    EXPECT_NE(FindProbe(*q.registry, "post quan"), nullptr);
    EXPECT_NE(FindProbe(*q.registry, "post unquan"), nullptr);
    uint16_t value = 0;
    EXPECT_EQ(GetParameter(FindParameter(*q.registry, "max pitch"), &value), 0);
    EXPECT_EQ(value, 125);
    EXPECT_EQ(GetParameter(FindParameter(*q.registry, "min pitch"), &value), 0);
    EXPECT_EQ(value, 16);
}
