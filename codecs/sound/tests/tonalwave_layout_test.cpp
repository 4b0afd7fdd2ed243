// The frame layout: parameter sets and derived sizes, configuration codes, the element maps, and the field-list
// writer and the frame reader as exact inverses on the bit ring.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <numeric>
#include <random>
#include <set>
#include <vector>

#include "codecs/sound/Tonalwave/tonalwave_bits.h"
#include "codecs/sound/Tonalwave/tonalwave_frame.h"
#include "codecs/sound/Tonalwave/tonalwave_layout.h"
#include "codecs/sound/Tonalwave/tonalwave_parameters.h"
#include "codecs/sound/tests/tonalwave_test_support.h"

namespace {

using sound::TonalwaveKind;
using sound::TonalwaveSet;

constexpr int kLong = 0;
constexpr int kMedium = 1;
constexpr int kShort = 2;

TEST(TonalwaveSizes, Ac8Figures)
{
    const sound::TonalwaveSizes s = sound::SizesOf(TonalwaveSet::k8k8, 1);
    EXPECT_EQ(s.frameBits, 512);
    EXPECT_EQ(s.vectorBits[kLong], 422);
    EXPECT_EQ(s.vectorCount[kLong], 31);
    EXPECT_EQ(s.vectorCount[kShort], 29);
    EXPECT_EQ(s.vectorCount[kMedium], 33);
    EXPECT_EQ(s.rowLength[kLong], 17);
    EXPECT_EQ(s.rowLength[kShort], 18);
    EXPECT_EQ(s.rowLength[kMedium], 16);
    const std::vector<int> widths = sound::SplitEven(422, 31);
    EXPECT_EQ(std::count(widths.begin(), widths.end(), 14), 19);
    EXPECT_EQ(std::count(widths.begin(), widths.end(), 13), 12);
    EXPECT_EQ(std::accumulate(widths.begin(), widths.end(), 0), 422);
    EXPECT_TRUE(std::is_sorted(widths.rbegin(), widths.rend())); // larger parts first
}

TEST(TonalwaveSizes, FrameBudgetsOfTheModels)
{
    EXPECT_EQ(sound::SizesOf(TonalwaveSet::k11k10, 1).frameBits, 464);
    EXPECT_EQ(sound::SizesOf(TonalwaveSet::k11k10, 2).frameBits, 928);
    EXPECT_EQ(sound::SizesOf(TonalwaveSet::k22k24, 1).frameBits, 1114);
    EXPECT_EQ(sound::SizesOf(TonalwaveSet::k22k24, 2).frameBits, 2229);
    const std::vector<int> widths = sound::SplitEven(1114, 80);
    EXPECT_EQ(std::count(widths.begin(), widths.begin() + 74, 14), 74);
    EXPECT_EQ(std::count(widths.begin() + 74, widths.end(), 13), 6);
}

TEST(TonalwaveSizes, FrameBitsWithPadOfEveryModel)
{
    const struct {
        sound::TonalwaveModel model;
        int bits;
    } cases[] = {{sound::TonalwaveModel::kAc8, 512},
                 {sound::TonalwaveModel::kAc10, 464},
                 {sound::TonalwaveModel::kAcs20, 928},
                 {sound::TonalwaveModel::kAc24, 1116},
                 {sound::TonalwaveModel::kAcs48, 2232}};
    for (const auto& c : cases) {
        SCOPED_TRACE(sound::NameOf(c.model));
        const sound::TonalwaveLayout layout = tonalwavetest::LayoutOf(c.model);
        EXPECT_EQ(layout.sizes.FrameBitsWithPad(), c.bits);
        // Every kind fills the frame to the bit.
        for (int k = 0; k < sound::kTonalwaveKinds; ++k)
            EXPECT_EQ(layout.fieldBits[static_cast<size_t>(k)], c.bits) << "kind " << k;
    }
}

TEST(TonalwaveSizes, EveryListedCodebookSizeComesOut)
{
    for (int set = 0; set < sound::kTonalwaveSetCount; ++set) {
        SCOPED_TRACE(sound::NameOf(static_cast<TonalwaveSet>(set)));
        const std::array<int, 8> derived = sound::DerivedCodebookSizes(static_cast<TonalwaveSet>(set));
        const std::array<uint16_t, 8>& listed = sound::ParametersOf(static_cast<TonalwaveSet>(set)).codebookSizes;
        for (size_t i = 0; i < 7; ++i)
            EXPECT_EQ(derived[i], listed[i]) << "size " << i;
        // The LSP size: (2^L1 + 2^L2 + 2) P; the 16-kHz set lists it loosely and cannot be opened anyway.
        if (static_cast<TonalwaveSet>(set) == TonalwaveSet::k16k16)
            EXPECT_EQ(derived[7], 1312);
        else
            EXPECT_EQ(derived[7], listed[7]);
    }
}

TEST(TonalwaveSizes, SixKbitSetHasAShorterHeader)
{
    const sound::TonalwaveSizes s = sound::SizesOf(TonalwaveSet::k8k6, 1);
    EXPECT_EQ(s.frameBits, 384);
    EXPECT_EQ(s.headerBits, 4);
    const sound::TonalwaveLayout layout = tonalwavetest::LayoutOf(0x18060);
    EXPECT_FALSE(layout.HasBandwidthCode(TonalwaveKind::kLong));
    EXPECT_EQ(layout.fieldBits[kLong], 384);
    EXPECT_EQ(layout.fieldBits[kMedium], 384);
}

TEST(TonalwaveConfiguration, AcceptedCodesAndTheirSets)
{
    const struct {
        uint32_t pair;
        TonalwaveSet set;
        int rate;
        int kbps;
    } pairs[] = {{0x8060, TonalwaveSet::k8k6, 8000, 6},     {0x8080, TonalwaveSet::k8k8, 8000, 8},
                 {0x1110, TonalwaveSet::k11k10, 11025, 10}, {0x1616, TonalwaveSet::k16k16, 16000, 16},
                 {0x2224, TonalwaveSet::k22k24, 22050, 24}, {0x2232, TonalwaveSet::k22k24, 22050, 24},
                 {0x4432, TonalwaveSet::k44k32, 44100, 32}, {0x4440, TonalwaveSet::k44k40, 44100, 40},
                 {0x4448, TonalwaveSet::k44k48, 44100, 48}};
    for (const auto& p : pairs) {
        for (const uint32_t c : {1u, 3u}) {
            const uint32_t code = c << 16 | p.pair;
            SCOPED_TRACE(code);
            const auto config = sound::DecodeConfigurationCode(code);
            ASSERT_TRUE(config.has_value());
            EXPECT_EQ(config->set, p.set);
            EXPECT_EQ(config->channels, c == 1 ? 1 : 2);
            EXPECT_EQ(config->sampleRate, p.rate);
            EXPECT_EQ(config->bitRateKbps, p.kbps);
        }
    }
}

TEST(TonalwaveConfiguration, RefusedCodesSayWhy)
{
    for (const uint32_t code : {0x28080u, 0x08080u, 0x18081u, 0x12230u, 0x0u, 0xFFFFFFFFu, 0x118080u, 0x14424u}) {
        SCOPED_TRACE(code);
        const char* reason = nullptr;
        EXPECT_FALSE(sound::DecodeConfigurationCode(code, &reason).has_value());
        ASSERT_NE(reason, nullptr);
        EXPECT_GT(std::strlen(reason), 10u);
    }
}

TEST(TonalwaveConfiguration, PadFields)
{
    const struct {
        uint32_t code;
        int pad;
    } cases[] = {{0x12224, 2}, {0x12232, 2}, {0x32224, 3},  {0x14432, 2}, {0x14448, 3}, {0x34432, 4},
                 {0x14440, 7}, {0x34448, 6}, {0x34440, 13}, {0x18080, 0}, {0x11110, 0}, {0x31110, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        const auto config = sound::DecodeConfigurationCode(c.code);
        ASSERT_TRUE(config.has_value());
        EXPECT_EQ(config->padWidths[0] + config->padWidths[1], c.pad);
    }
    EXPECT_EQ(sound::DecodeConfigurationCode(0x34440)->padWidths[0], 8); // two fields: 8 then 5 bits
}

// Every element of every kind lands on its own coefficient, and every coefficient gets one: the maps are
// permutations, for every set and channel count.
TEST(TonalwaveElementMap, EveryMapIsAPermutation)
{
    for (int set = 0; set < sound::kTonalwaveSetCount; ++set) {
        for (const int channels : {1, 2}) {
            SCOPED_TRACE(std::string(sound::NameOf(static_cast<TonalwaveSet>(set))) + " C=" + std::to_string(channels));
            sound::TonalwaveConfiguration config;
            config.set = static_cast<TonalwaveSet>(set);
            config.channels = channels;
            const sound::TonalwaveLayout layout = sound::BuildLayout(config);
            for (int k = 0; k < sound::kTonalwaveKinds; ++k) {
                const sound::TonalwaveVectorSet& v = layout.vectors[static_cast<size_t>(k)];
                std::vector<uint16_t> sorted = v.coefficientOf;
                std::sort(sorted.begin(), sorted.end());
                ASSERT_EQ(sorted.size(), static_cast<size_t>(channels * layout.sizes.frameSamples));
                for (size_t i = 0; i < sorted.size(); ++i)
                    ASSERT_EQ(sorted[i], i) << "kind " << k;
                EXPECT_LE(v.LengthOf(0), layout.sizes.rowLength[static_cast<size_t>(k)]);
            }
            std::vector<uint16_t> periodic = layout.periodic.coefficientOf;
            std::sort(periodic.begin(), periodic.end());
            const int r = sound::ParametersOf(config.set).periodicLength;
            ASSERT_EQ(periodic.size(), static_cast<size_t>(channels * r));
            for (size_t i = 0; i < periodic.size(); ++i)
                ASSERT_EQ(periodic[i], i);
        }
    }
}

TEST(TonalwaveElementMap, LongMonoInterleavesVectorByVector)
{
    const sound::TonalwaveLayout layout = tonalwavetest::LayoutOf(sound::TonalwaveModel::kAc8);
    const sound::TonalwaveVectorSet& v = layout.vectors[kLong];
    // p = j n + i: vector 0 takes coefficients 0, 31, 62 ...; vector 30 (16 elements) 30, 61, ...
    EXPECT_EQ(v.coefficientOf[0], 0);
    EXPECT_EQ(v.coefficientOf[1], 31);
    EXPECT_EQ(v.coefficientOf[2], 62);
    EXPECT_EQ(v.coefficientOf[v.start[30]], 30);
    EXPECT_EQ(v.LengthOf(0), 17);
    EXPECT_EQ(v.LengthOf(30), 16);
}

TEST(TonalwaveElementMap, ShortStereoRotatesRowsBySquares)
{
    // ACS20 short frames: n_s even, so row j is rotated by j^2, and position p names block p mod 16.
    const sound::TonalwaveLayout layout = tonalwavetest::LayoutOf(sound::TonalwaveModel::kAcs20);
    const sound::TonalwaveVectorSet& v = layout.vectors[kShort];
    const int n = v.Count();
    ASSERT_EQ(n % 2, 0);
    const int element = 2; // j = 2 of vector 1: p = (4 + 1) mod n + 2 n
    const int p = (4 + 1) % n + 2 * n;
    const int blocks = 16;
    const int s = layout.sizes.shortLength;
    EXPECT_EQ(v.coefficientOf[static_cast<size_t>(v.start[1] + element)], (p % blocks) * s + p / blocks);
}

// WriteBits and ReadBits on the ring.

TEST(TonalwaveBits, SixteenBitFieldAtBitSevenTouchesThreeBytes)
{
    std::vector<uint8_t> ring(4, 0xAA);
    sound::RingPosition at{0, 7};
    sound::WriteBits(ring, at, 0xFFFF, 16);
    EXPECT_EQ(ring[0], 0xAA | 0x80);
    EXPECT_EQ(ring[1], 0xFF);
    EXPECT_EQ(ring[2], 0x7F); // stored whole, not ORed with the stale 0xAA
    EXPECT_EQ(ring[3], 0xAA);
    EXPECT_EQ(at.byte, 2u);
    EXPECT_EQ(at.bit, 7);
    sound::RingPosition from{0, 7};
    EXPECT_EQ(sound::ReadBits(ring, from, 16), 0xFFFFu);
}

TEST(TonalwaveBits, FieldEndingOnAByteBoundaryLeavesTheNextByte)
{
    std::vector<uint8_t> ring(3, 0x55);
    sound::RingPosition at{1, 3};
    sound::WriteBits(ring, at, 0x1F, 5);
    EXPECT_EQ(at.byte, 2u);
    EXPECT_EQ(at.bit, 0);
    EXPECT_EQ(ring[2], 0x55); // untouched until a field starts there
    sound::RingPosition last{2, 4};
    sound::WriteBits(ring, last, 0xF, 4);
    EXPECT_EQ(last.byte, 0u); // the ring's end wraps to byte 0
    EXPECT_EQ(last.bit, 0);
}

TEST(TonalwaveBits, FieldsWrapAroundTheRing)
{
    std::vector<uint8_t> ring(3, 0);
    sound::RingPosition at{2, 5};
    sound::WriteBits(ring, at, 0x2ABC, 14);
    EXPECT_EQ(at.byte, 1u);
    EXPECT_EQ(at.bit, 3);
    sound::RingPosition from{2, 5};
    EXPECT_EQ(sound::ReadBits(ring, from, 14), 0x2ABCu);
}

TEST(TonalwaveBits, ThirteenBitVectorSplitsIntoSignedAndUnsignedHalves)
{
    const sound::TonalwaveLayout layout = tonalwavetest::LayoutOf(sound::TonalwaveModel::kAc8);
    const std::vector<uint8_t>& widths = layout.fieldWidths[kLong];
    // Window code, bandwidth code, then the 31 pairs; vector 19 is the first of 13 bits.
    EXPECT_EQ(widths[2], 7);
    EXPECT_EQ(widths[3], 7);
    EXPECT_EQ(widths[2 + 2 * 19], 7);
    EXPECT_EQ(widths[3 + 2 * 19], 6);
}

// Field lists through the ring.

bool SameRecord(const sound::TonalwaveFrameRecord& a, const sound::TonalwaveFrameRecord& b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

TEST(TonalwaveFieldList, RandomFramesReadBackAtEveryStartBitAndAcrossTheRingEnd)
{
    std::mt19937 random(7);
    for (const sound::TonalwaveModel model : tonalwavetest::kAllModels) {
        const sound::TonalwaveLayout layout = tonalwavetest::LayoutOf(model);
        for (const TonalwaveKind kind : {TonalwaveKind::kLong, TonalwaveKind::kMedium, TonalwaveKind::kShort}) {
            SCOPED_TRACE(std::string(sound::NameOf(model)) + " kind " + std::to_string(static_cast<int>(kind)));
            const size_t frameBytes = static_cast<size_t>(layout.sizes.FrameBitsWithPad() + 7) / 8;
            for (const size_t startByte : {size_t{0}, size_t{1}, size_t{299}, size_t{300} - frameBytes / 2}) {
                for (int startBit = 0; startBit < 8; ++startBit) {
                    const sound::TonalwaveFieldList list =
                        tonalwavetest::RandomFieldList(layout, tonalwavetest::WindowCodeOf(kind, random), random);
                    std::vector<uint8_t> ring(300, 0xC3);
                    // What an earlier frame leaves: its bits below the start, zeros from there up.
                    ring[startByte] = static_cast<uint8_t>(ring[startByte] & ((1u << startBit) - 1u));
                    sound::RingPosition at{startByte, startBit};
                    sound::WriteFieldList(ring, at, list.View(), layout);
                    const size_t written = (at.byte + ring.size() - startByte) % ring.size() * 8 +
                                           static_cast<size_t>(at.bit) - static_cast<size_t>(startBit);
                    EXPECT_EQ(written, static_cast<size_t>(layout.sizes.FrameBitsWithPad()));
                    sound::RingPosition from{startByte, startBit};
                    sound::TonalwaveFrameRecord record;
                    sound::ReadFrame(ring, from, layout, record);
                    EXPECT_EQ(from.byte, at.byte);
                    EXPECT_EQ(from.bit, at.bit);
                    sound::TonalwaveFieldList again;
                    sound::BuildFieldList(record, layout, again);
                    ASSERT_EQ(again.count, list.count);
                    EXPECT_TRUE(
                        std::equal(list.values.begin(), list.values.begin() + list.count, again.values.begin()));
                    EXPECT_EQ(record.blockKind, static_cast<int>(kind));
                }
            }
        }
    }
}

TEST(TonalwaveFieldList, RecordsSurviveWriterAndReader)
{
    std::mt19937 random(11);
    for (const sound::TonalwaveModel model : tonalwavetest::kAllModels) {
        const sound::TonalwaveLayout layout = tonalwavetest::LayoutOf(model);
        for (const int code : {0, 1, 2, 3, 4, 5, 6, 7, 8}) {
            SCOPED_TRACE(std::string(sound::NameOf(model)) + " code " + std::to_string(code));
            const sound::TonalwaveFrameRecord record = tonalwavetest::RandomRecord(layout, code, random);
            EXPECT_EQ(record.windowCode, code);
            sound::TonalwaveFieldList list;
            sound::BuildFieldList(record, layout, list);
            std::vector<uint8_t> ring(558, 0);
            sound::RingPosition at;
            sound::WriteFieldList(ring, at, list.View(), layout);
            sound::RingPosition from;
            sound::TonalwaveFrameRecord back;
            sound::ReadFrame(ring, from, layout, back);
            EXPECT_TRUE(SameRecord(record, back));
        }
    }
}

TEST(TonalwaveFieldList, PadIsWrittenAsZerosAndNotKept)
{
    std::mt19937 random(3);
    const sound::TonalwaveLayout layout = tonalwavetest::LayoutOf(sound::TonalwaveModel::kAc24);
    const sound::TonalwaveFrameRecord record = tonalwavetest::RandomRecord(layout, 0, random);
    sound::TonalwaveFieldList list;
    sound::BuildFieldList(record, layout, list);
    EXPECT_EQ(list.values[static_cast<size_t>(list.count - 1)], 0); // the 2-bit pad
    std::vector<uint8_t> ring(200, 0xFF);
    sound::RingPosition at;
    sound::WriteFieldList(ring, at, list.View(), layout);
    // Bits 1114 and 1115: the pad, zero.
    EXPECT_EQ((ring[1114 / 8] >> (1114 % 8)) & 3, 0);
    // A frame whose pad bits are set reads the same.
    ring[1114 / 8] = static_cast<uint8_t>(ring[1114 / 8] | (3 << (1114 % 8)));
    sound::RingPosition from;
    sound::TonalwaveFrameRecord back;
    sound::ReadFrame(ring, from, layout, back);
    EXPECT_TRUE(SameRecord(record, back));
}

TEST(TonalwaveFieldList, LostFrameConsumesFourBits)
{
    const sound::TonalwaveLayout layout = tonalwavetest::LayoutOf(sound::TonalwaveModel::kAcs48);
    std::vector<uint8_t> ring(8, 0xFF);
    sound::RingPosition from{0, 6};
    sound::TonalwaveFrameRecord record;
    sound::ReadFrame(ring, from, layout, record);
    EXPECT_EQ(record.windowCode, 15);
    EXPECT_EQ(from.byte, 1u);
    EXPECT_EQ(from.bit, 2);
}

TEST(TonalwaveFieldList, CodesNineToFourteenTakeTheShortList)
{
    std::mt19937 random(5);
    const sound::TonalwaveLayout layout = tonalwavetest::LayoutOf(sound::TonalwaveModel::kAc10);
    for (int code = 9; code <= 14; ++code) {
        SCOPED_TRACE(code);
        const sound::TonalwaveFieldList list = tonalwavetest::RandomFieldList(layout, 2, random);
        std::vector<uint8_t> ring(100, 0);
        sound::RingPosition at;
        const std::vector<uint8_t>& widths = layout.fieldWidths[kShort];
        sound::WriteBits(ring, at, static_cast<uint32_t>(code), 4);
        for (int i = 1; i < list.count; ++i)
            sound::WriteBits(ring, at, list.values[static_cast<size_t>(i)], widths[static_cast<size_t>(i)]);
        sound::RingPosition from;
        sound::TonalwaveFrameRecord record;
        sound::ReadFrame(ring, from, layout, record);
        EXPECT_EQ(record.windowCode, 2);
        EXPECT_EQ(record.blockKind, kShort);
        EXPECT_EQ(from.byte, at.byte);
        EXPECT_EQ(from.bit, at.bit);
        sound::TonalwaveFieldList again;
        sound::BuildFieldList(record, layout, again);
        EXPECT_TRUE(std::equal(list.values.begin() + 1, list.values.begin() + list.count, again.values.begin() + 1));
    }
}

TEST(TonalwaveFieldList, ShortFramesCarryNoBandwidthCode)
{
    for (const sound::TonalwaveModel model : tonalwavetest::kAllModels) {
        const sound::TonalwaveLayout layout = tonalwavetest::LayoutOf(model);
        // The short list starts with the window code and goes straight to the first vector pair.
        EXPECT_EQ(layout.fieldWidths[kShort][1], (layout.vectors[kShort].widths[0] + 1) / 2);
        EXPECT_EQ(layout.fieldWidths[kLong][1], 2);
        EXPECT_EQ(layout.fieldWidths[kMedium][1], 2);
    }
}

TEST(TonalwaveFieldList, Ac24FramesBackToBackMoveFourBitsEach)
{
    std::mt19937 random(9);
    const sound::TonalwaveLayout layout = tonalwavetest::LayoutOf(sound::TonalwaveModel::kAc24);
    std::vector<uint8_t> ring(2000, 0);
    sound::RingPosition at;
    std::vector<sound::TonalwaveFieldList> lists;
    for (int frame = 0; frame < 8; ++frame) {
        EXPECT_EQ(at.bit, frame % 2 == 0 ? 0 : 4);
        EXPECT_EQ(at.byte, static_cast<size_t>(frame) * 1116 / 8);
        lists.push_back(tonalwavetest::RandomFieldList(layout, frame % 3 == 2 ? 2 : 0, random));
        sound::WriteFieldList(ring, at, lists.back().View(), layout);
    }
    sound::RingPosition from;
    for (const sound::TonalwaveFieldList& list : lists) {
        sound::TonalwaveFrameRecord record;
        sound::ReadFrame(ring, from, layout, record);
        sound::TonalwaveFieldList again;
        sound::BuildFieldList(record, layout, again);
        EXPECT_TRUE(std::equal(list.values.begin(), list.values.begin() + list.count, again.values.begin()));
    }
}

} // namespace
