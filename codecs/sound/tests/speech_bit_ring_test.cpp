#include <cstdint>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "codecs/sound/speech/bit_ring.h"

using namespace sound;

namespace {

struct Ring {
    std::vector<uint8_t> bytes;
    CodecIO io;
    int16_t pcm[1] = {};
    explicit Ring(uint16_t size) : bytes(size, 0)
    {
        io.coded = bytes.data();
        io.codedSize = size;
        io.samples = pcm;
    }
    BitRing Writer() { return WriteRingOf(io); }
    BitRing Reader() { return ReadRingOf(io); }
};

// A 54-bit frame as the RT24 fields lay it out.
constexpr int kFieldBits[] = {4, 8, 6, 3, 4, 4, 4, 4, 4, 3, 3, 3, 3, 1};

} // namespace

TEST(SpeechBitRing, FrameOf54BitsEndsAtByte6Bit6)
{
    Ring ring(9);
    BitRing writer = ring.Writer();
    for (const int bits : kFieldBits)
        PackBits(writer, (1u << bits) - 1u, bits);
    EXPECT_EQ(ring.io.endByte, 6);
    EXPECT_EQ(ring.io.endBit, 6);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(ring.bytes[i], 0xFF) << i;
    EXPECT_EQ(ring.bytes[6], 0x3F);
}

TEST(SpeechBitRing, ByteBoundaryAdvancesAndWrapsAtTheEnd)
{
    Ring ring(3);
    ring.io.endByte = 2;
    ring.io.endBit = 4;
    ring.bytes[2] = 0x05;
    BitRing writer = ring.Writer();
    PackBits(writer, 0xA, 4);
    EXPECT_EQ(ring.bytes[2], 0xA5);
    EXPECT_EQ(ring.io.endByte, 0);
    EXPECT_EQ(ring.io.endBit, 0);
    // A fresh byte takes only the new bits: stale content is overwritten.
    ring.bytes[0] = 0xFF;
    PackBits(writer, 0x1, 2);
    EXPECT_EQ(ring.bytes[0], 0x01);
}

TEST(SpeechBitRing, FieldStraddlingTheEndIsSplitAcrossTheWrap)
{
    Ring ring(4);
    ring.io.endByte = 3;
    ring.io.endBit = 5;
    BitRing writer = ring.Writer();
    PackBits(writer, 0xB5, 8); // 1011 0101: the low 3 bits in byte 3, the high 5 in byte 0
    EXPECT_EQ(ring.bytes[3], static_cast<uint8_t>(0x5 << 5));
    EXPECT_EQ(ring.bytes[0], 0xB5 >> 3);
    EXPECT_EQ(ring.io.endByte, 0);
    EXPECT_EQ(ring.io.endBit, 5);

    ring.io.startByte = 3;
    ring.io.startBit = 5;
    BitRing reader = ring.Reader();
    uint8_t value = 0;
    UnpackBits(reader, value, 8);
    EXPECT_EQ(value, 0xB5);
    EXPECT_EQ(ring.io.startByte, 0);
    EXPECT_EQ(ring.io.startBit, 5);
}

TEST(SpeechBitRing, FieldsRoundTripAtEveryBitOffset)
{
    std::mt19937 random(7);
    for (int offset = 0; offset < 8; ++offset) {
        SCOPED_TRACE(offset);
        Ring ring(23); // 135 bits from byte 10 wrap past the end
        ring.io.endByte = 10;
        ring.io.endBit = static_cast<uint8_t>(offset);
        ring.io.startByte = 10;
        ring.io.startBit = static_cast<uint8_t>(offset);
        std::vector<uint32_t> written;
        BitRing writer = ring.Writer();
        for (int i = 0; i < 30; ++i) {
            const int bits = 1 + i % 8;
            written.push_back(random() & ((1u << bits) - 1u));
            PackBits(writer, written.back(), bits);
        }
        BitRing reader = ring.Reader();
        for (int i = 0; i < 30; ++i) {
            uint8_t value = 0;
            UnpackBits(reader, value, 1 + i % 8);
            EXPECT_EQ(value, written[static_cast<size_t>(i)]) << i;
        }
        EXPECT_EQ(ring.io.startByte, ring.io.endByte);
        EXPECT_EQ(ring.io.startBit, ring.io.endBit);
    }
}

TEST(SpeechBitRing, CountFramesIsZeroForEqualPositionsAndCountsAcrossTheWrap)
{
    Ring ring(9);
    ring.io.startByte = ring.io.endByte = 4;
    ring.io.startBit = ring.io.endBit = 3;
    EXPECT_EQ(CountFrames(ring.io, 54), 0u);
    // Write position wrapped behind the read position: 8 bytes apart less 3 bits = 61 bits.
    ring.io.startByte = 5;
    ring.io.startBit = 3;
    ring.io.endByte = 4;
    ring.io.endBit = 0;
    EXPECT_EQ(CountFrames(ring.io, 54), 1u);
    EXPECT_EQ(CountFrames(ring.io, 30), 2u);
    EXPECT_EQ(CountFrames(ring.io, 62), 0u);
}

TEST(SpeechBitRing, AdvanceFramesMatchesRepeatedReads)
{
    for (int offset = 0; offset < 8; ++offset) {
        for (uint32_t frames = 0; frames < 4; ++frames) {
            Ring ring(29);
            ring.io.startByte = 20;
            ring.io.startBit = static_cast<uint8_t>(offset);
            const RingPosition predicted = AdvanceFrames(20, static_cast<uint8_t>(offset), 29, 54, frames);
            BitRing reader = ring.Reader();
            for (uint32_t f = 0; f < frames; ++f) {
                for (const int bits : kFieldBits) {
                    uint8_t value = 0;
                    UnpackBits(reader, value, bits);
                }
            }
            EXPECT_EQ(predicted.byteIndex, ring.io.startByte) << offset << " " << frames;
            EXPECT_EQ(predicted.bitOffset, ring.io.startBit) << offset << " " << frames;
        }
    }
}

TEST(SpeechScalarQuantiser, HalfwayTakesTheLowerAndBeyondTheTableTakesEntryZero)
{
    const float table[] = {0.0f, 1.0f, 2.0f, 4.0f};
    EXPECT_EQ(NearestIndex(0.5f, table, 4), 0);
    EXPECT_EQ(NearestIndex(3.0f, table, 4), 2);
    EXPECT_EQ(NearestIndex(3.01f, table, 4), 3);
    EXPECT_EQ(NearestIndex(-9.0f, table, 4), 0);
    EXPECT_EQ(NearestIndex(99.0f, table, 4), 3);
    EXPECT_EQ(TableValue(table, 4, 3), 4.0f);
    EXPECT_EQ(TableValue(table, 4, 4), 0.0f);
    EXPECT_EQ(TableValue(table, 4, 200), 0.0f);
}
