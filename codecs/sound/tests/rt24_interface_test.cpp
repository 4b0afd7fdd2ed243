#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "codecs/sound/codec_handle.h"
#include "codecs/sound/speech/rt24/rt24_codec.h"
#include "codecs/sound/speech/rt24/rt24_format.h"
#include "codecs/sound/tests/tonalwave_allocation_probe.h"

using namespace sound;

namespace {

struct Buffers {
    int16_t pcm[kRt24FrameSamples] = {};
    uint8_t coded[9] = {};
    CodecIO io;
    Buffers()
    {
        io.samples = pcm;
        io.coded = coded;
        io.codedSize = sizeof coded;
    }
};

struct Opened {
    std::unique_ptr<CodecHandle> encoder;
    std::unique_ptr<CodecHandle> decoder;
    Opened()
    {
        EXPECT_EQ(Rt24EncoderOpen(&encoder), kCodecOk);
        EXPECT_EQ(Rt24DecoderOpen(&decoder), kCodecOk);
    }
    ~Opened()
    {
        Rt24EncoderClose(&encoder);
        Rt24DecoderClose(&decoder);
    }
};

// One damaged call: a named change to a good set-up and the code it must give.
struct BadCall {
    const char* name;
    std::function<void(CodecHandle*&, CodecIO*&, Buffers&)> damage;
    CodecResult expected;
};

std::vector<BadCall> FrameCallDamage(CodecResult wrongKind)
{
    return {
        {"null handle", [](CodecHandle*& h, CodecIO*&, Buffers&) { h = nullptr; }, kCodecBadHandle},
        {"wrong kind", [](CodecHandle*&, CodecIO*&, Buffers&) {}, wrongKind},
        {"null record", [](CodecHandle*&, CodecIO*& io, Buffers&) { io = nullptr; }, kCodecNullArgument},
        {"no coded buffer", [](CodecHandle*&, CodecIO*&, Buffers& b) { b.io.coded = nullptr; }, kCodecNoCoded},
        {"no samples", [](CodecHandle*&, CodecIO*&, Buffers& b) { b.io.samples = nullptr; }, kCodecNoSamples},
        {"start byte at size", [](CodecHandle*&, CodecIO*&, Buffers& b) { b.io.startByte = 9; }, kCodecBadStartByte},
        {"end byte at size", [](CodecHandle*&, CodecIO*&, Buffers& b) { b.io.endByte = 9; }, kCodecBadEndByte},
        {"start bit 8", [](CodecHandle*&, CodecIO*&, Buffers& b) { b.io.startBit = 8; }, kCodecBadStartBit},
        {"end bit 8", [](CodecHandle*&, CodecIO*&, Buffers& b) { b.io.endBit = 8; }, kCodecBadEndBit},
        // Several faults at once: the first in the order decides.
        {"no samples and bad bits",
         [](CodecHandle*&, CodecIO*&, Buffers& b) {
             b.io.samples = nullptr;
             b.io.startBit = 9;
         },
         kCodecNoSamples},
    };
}

} // namespace

TEST(Rt24Interface, InfoRecord)
{
    CodecInfo info;
    ASSERT_EQ(Rt24GetInfo(&info), kCodecOk);
    EXPECT_EQ(info.recordKind, 4);
    EXPECT_STREQ(info.version, "RT24.03.01.01");
    EXPECT_EQ(info.formatTag, 0x1000001u);
    EXPECT_EQ(info.secondFormatTag, 2u);
    EXPECT_EQ(info.sampleRate, 8000);
    EXPECT_EQ(info.bitsPerSample, 16);
    EXPECT_EQ(info.frameSamples, 180);
    EXPECT_EQ(info.channels, 1);
    EXPECT_EQ(info.secondCount, 1);
    EXPECT_EQ(info.bitRate, 2400u);
    EXPECT_EQ(info.bitsPerFrame[0], 54u);
    EXPECT_EQ(info.bitsPerFrame[2], 54u);
    EXPECT_EQ(info.delayFrames, 2);
    EXPECT_EQ(info.delaySamples, 90);
    EXPECT_EQ(Rt24GetInfo(nullptr), kCodecNullArgument);
}

TEST(Rt24Interface, HandlesCarryTheirTagsAndTables)
{
    Opened opened;
    ASSERT_NE(opened.encoder, nullptr);
    EXPECT_EQ(opened.encoder->formatTag, 0x1000001u);
    EXPECT_EQ(opened.encoder->secondFormatTag, 0x1000002u);
    EXPECT_EQ(opened.encoder->kind, CodecKind::kEncoder);
    EXPECT_NE(opened.encoder->probeRegistry, nullptr);
    EXPECT_NE(opened.encoder->secondState, nullptr);
    ASSERT_NE(opened.decoder->functions, nullptr);
    EXPECT_EQ(opened.decoder->functions->decode, &Rt24Decode);
    EXPECT_EQ(opened.decoder->functions->closeEncoder, &Rt24EncoderClose);
    EXPECT_EQ(opened.decoder->extensions, nullptr);
    const Rt24Extensions* table = nullptr;
    ASSERT_EQ(Rt24GetExtensions(opened.decoder.get(), &table), kCodecOk);
    EXPECT_EQ(table->setTimeScale, &Rt24SetTimeScale);
    EXPECT_EQ(table->skipFrames, &Rt24SkipFrames);
    float scale = 0.0f;
    EXPECT_EQ(table->getTimeScale(opened.decoder.get(), &scale), kCodecOk);
    EXPECT_EQ(scale, 1.0f);
}

TEST(Rt24Interface, EncodeChecksInOrder)
{
    for (const BadCall& bad : FrameCallDamage(kCodecNotEncoder)) {
        SCOPED_TRACE(bad.name);
        Opened opened;
        Buffers buffers;
        CodecHandle* handle = std::string(bad.name) == "wrong kind" ? opened.decoder.get() : opened.encoder.get();
        CodecIO* io = &buffers.io;
        bad.damage(handle, io, buffers);
        const CodecIO before = buffers.io;
        EXPECT_EQ(Rt24Encode(handle, io), bad.expected);
        EXPECT_EQ(buffers.io.endByte, before.endByte);
        EXPECT_EQ(buffers.io.endBit, before.endBit);
        // The refused handle still works.
        Buffers good;
        EXPECT_EQ(Rt24Encode(opened.encoder.get(), &good.io), kCodecOk);
        EXPECT_EQ(good.io.endByte, 6);
        EXPECT_EQ(good.io.endBit, 6);
        EXPECT_EQ(opened.encoder->currentIO, nullptr);
    }
}

TEST(Rt24Interface, DecodeChecksInOrder)
{
    for (const BadCall& bad : FrameCallDamage(kCodecNotDecoder)) {
        SCOPED_TRACE(bad.name);
        Opened opened;
        Buffers buffers;
        std::memset(buffers.coded, 0xFF, sizeof buffers.coded);
        CodecHandle* handle = std::string(bad.name) == "wrong kind" ? opened.encoder.get() : opened.decoder.get();
        CodecIO* io = &buffers.io;
        bad.damage(handle, io, buffers);
        EXPECT_EQ(Rt24Decode(handle, io), bad.expected);
        uint8_t needFrame = 0;
        EXPECT_EQ(Rt24GetNeedFrame(opened.decoder.get(), &needFrame), kCodecOk);
        EXPECT_EQ(needFrame, 1); // nothing was read
        Buffers good;
        EXPECT_EQ(Rt24Decode(opened.decoder.get(), &good.io), kCodecOk);
        EXPECT_EQ(good.io.sampleCount, 180);
    }
}

TEST(Rt24Interface, DecodeAtTheEndOfTheBufferTouchesNothing)
{
    Opened opened;
    Buffers buffers;
    buffers.io.startByte = buffers.io.codedSize;
    buffers.io.sampleCount = 77;
    EXPECT_EQ(Rt24Decode(opened.decoder.get(), &buffers.io), kCodecBadStartByte);
    EXPECT_EQ(buffers.io.startByte, 9);
    EXPECT_EQ(buffers.io.sampleCount, 77);
}

TEST(Rt24Interface, ForeignTagIsABadHandle)
{
    Opened opened;
    Buffers buffers;
    opened.encoder->formatTag = 0x3000003;
    EXPECT_EQ(Rt24Encode(opened.encoder.get(), &buffers.io), kCodecBadHandle);
    opened.encoder->formatTag = 0x1000001;
}

TEST(Rt24Interface, CloseTwiceAndWrongKind)
{
    std::unique_ptr<CodecHandle> encoder;
    ASSERT_EQ(Rt24EncoderOpen(&encoder), kCodecOk);
    EXPECT_EQ(Rt24DecoderClose(&encoder), kCodecNotDecoder);
    ASSERT_NE(encoder, nullptr);
    EXPECT_EQ(Rt24EncoderClose(&encoder), kCodecOk);
    EXPECT_EQ(encoder, nullptr);
    EXPECT_EQ(Rt24EncoderClose(&encoder), kCodecBadHandle);
    EXPECT_EQ(Rt24EncoderClose(nullptr), kCodecNullArgument);
    std::unique_ptr<CodecHandle> decoder;
    ASSERT_EQ(Rt24DecoderOpen(&decoder), kCodecOk);
    EXPECT_EQ(Rt24EncoderClose(&decoder), kCodecNotEncoder);
    EXPECT_EQ(Rt24DecoderClose(&decoder), kCodecOk);
    EXPECT_EQ(Rt24DecoderClose(&decoder), kCodecBadHandle);
    EXPECT_EQ(Rt24EncoderOpen(nullptr), kCodecNullArgument);
    EXPECT_EQ(Rt24DecoderOpen(nullptr), kCodecNullArgument);
}

TEST(Rt24Interface, EveryFailedAllocationOfAnOpenGives6000AndANullHandle)
{
    if (!soundtest::CanFailAllocations())
        GTEST_SKIP() << "this test program's operator new cannot be made to fail";
    for (const auto open : {Rt24EncoderOpen, Rt24DecoderOpen}) {
        bool opened = false;
        for (int64_t k = 1; !opened && k < 10000; ++k) {
            SCOPED_TRACE(k);
            std::unique_ptr<CodecHandle> handle;
            CodecResult result = kCodecOk;
            soundtest::ResetAllocationCount();
            soundtest::FailAllocationNumber(k);
            result = open(&handle);
            opened = soundtest::AllocationCount() < k;
            soundtest::ResetAllocationCount();
            if (opened) {
                EXPECT_EQ(result, kCodecOk);
                EXPECT_GT(k, 10);
                EXPECT_EQ(handle->kind == CodecKind::kEncoder ? Rt24EncoderClose(&handle) : Rt24DecoderClose(&handle),
                          kCodecOk);
            } else {
                EXPECT_EQ(result, kCodecOutOfMemory);
                EXPECT_EQ(handle, nullptr);
            }
        }
        EXPECT_TRUE(opened);
    }
}

TEST(Rt24Settings, DecoderOnlyEntries)
{
    Opened opened;
    uint8_t flag = 0;
    float scale = 0.0f;
    CodecHandle* const encoder = opened.encoder.get();
    CodecHandle* const decoder = opened.decoder.get();
    EXPECT_EQ(Rt24GetNeedFrame(nullptr, &flag), kCodecBadHandle);
    EXPECT_EQ(Rt24GetNeedFrame(encoder, &flag), kCodecNotDecoder);
    EXPECT_EQ(Rt24GetNeedFrame(decoder, nullptr), kCodecNullArgument);
    EXPECT_EQ(Rt24SetTimeScale(encoder, 1.0f), kCodecNotDecoder);
    EXPECT_EQ(Rt24GetTimeScale(encoder, &scale), kCodecNotDecoder);
    EXPECT_EQ(Rt24GetTimeScale(decoder, nullptr), kCodecNullArgument);
    EXPECT_EQ(Rt24MarkFrameLost(encoder), kCodecNotDecoder);
    EXPECT_EQ(Rt24MarkFrameLost(nullptr), kCodecBadHandle);
    const uint32_t magic = decoder->magic;
    decoder->magic = 0x1234;
    EXPECT_EQ(Rt24SetTimeScale(decoder, 1.0f), kCodecBadHandle);
    decoder->magic = magic;
}

TEST(Rt24Settings, TimeScaleRange)
{
    Opened opened;
    CodecHandle* const decoder = opened.decoder.get();
    float scale = 0.0f;
    EXPECT_EQ(Rt24SetTimeScale(decoder, 0.19f), kCodecBadTimeScale);
    EXPECT_EQ(Rt24SetTimeScale(decoder, 5.01f), kCodecBadTimeScale);
    EXPECT_EQ(Rt24SetTimeScale(decoder, std::nanf("")), kCodecBadTimeScale);
    EXPECT_EQ(Rt24GetTimeScale(decoder, &scale), kCodecOk);
    EXPECT_EQ(scale, 1.0f);
    EXPECT_EQ(Rt24SetTimeScale(decoder, 0.2f), kCodecOk);
    EXPECT_EQ(Rt24GetTimeScale(decoder, &scale), kCodecOk);
    EXPECT_EQ(scale, 0.2f);
    EXPECT_EQ(Rt24SetTimeScale(decoder, 5.0f), kCodecOk);
    const SettingRange range = Rt24TimeScaleRange();
    EXPECT_EQ(range.flags, 0x3B);
    EXPECT_EQ(range.minimum, 0.2f);
    EXPECT_EQ(range.maximum, 5.0f);
}

TEST(Rt24Settings, CapabilityQuery)
{
    uint32_t tag = 0;
    for (uint32_t feature = 0; feature < 8; ++feature) {
        const bool offered = feature == 1 || feature == 2 || feature == 4;
        EXPECT_EQ(Rt24QueryCapability(feature, &tag), offered ? 20u : 0u) << feature;
        EXPECT_EQ(tag, 0x1000011u);
    }
    EXPECT_EQ(Rt24QueryCapability(1, nullptr), 20u);
}

TEST(Rt24Settings, EnergyOfBothKinds)
{
    Opened opened;
    uint16_t energy = 0;
    EXPECT_EQ(Rt24GetEnergy(nullptr, &energy), kCodecBadHandle);
    EXPECT_EQ(Rt24GetEnergy(opened.encoder.get(), nullptr), kCodecNullArgument);
    Buffers buffers;
    for (int i = 0; i < kRt24FrameSamples; ++i)
        buffers.pcm[i] = static_cast<int16_t>(i % 2 == 0 ? 3000 : -3000);
    for (int frame = 0; frame < 3; ++frame) {
        buffers.io.endByte = 0;
        buffers.io.endBit = 0;
        ASSERT_EQ(Rt24Encode(opened.encoder.get(), &buffers.io), kCodecOk);
    }
    EXPECT_EQ(Rt24GetEnergy(opened.encoder.get(), &energy), kCodecOk);
    EXPECT_GT(energy, 100); // log10 of a power near 1e6, times 28.3
    EXPECT_LT(energy, 250);

    Buffers coded;
    coded.coded[1] = 0xF0; // the energy index sits in bits 12..17
    coded.coded[2] = 0x03;
    ASSERT_EQ(Rt24Decode(opened.decoder.get(), &coded.io), kCodecOk);
    EXPECT_EQ(Rt24GetEnergy(opened.decoder.get(), &energy), kCodecOk);
    EXPECT_EQ(energy, 63);
    opened.decoder->formatTag = 0x2000000;
    EXPECT_EQ(Rt24GetEnergy(opened.decoder.get(), &energy), kCodecUnsupported);
    EXPECT_EQ(energy, 0xFFFF);
    opened.decoder->formatTag = 0x1000001;
}

TEST(Rt24Settings, CountAndSkipFrames)
{
    Opened opened;
    Buffers buffers;
    uint32_t frames = 0;
    uint16_t byteIndex = 0;
    uint8_t bit = 0;
    // 8 bytes and 2 bits from (2, 3) to (1, 5) across the wrap: 66 bits, one frame.
    buffers.io.startByte = 2;
    buffers.io.startBit = 3;
    buffers.io.endByte = 1;
    buffers.io.endBit = 5;
    for (CodecHandle* const handle : {opened.encoder.get(), opened.decoder.get()}) {
        ASSERT_EQ(Rt24CountFrames(handle, &buffers.io, &frames, &byteIndex, &bit), kCodecOk);
        EXPECT_EQ(frames, 1u);
        EXPECT_EQ(byteIndex, 0); // 2 + 6 bytes + 9 bits carried: byte 9 wraps to 0
        EXPECT_EQ(bit, 1);
        EXPECT_EQ(Rt24SkipFrames(handle, &buffers.io, 2, &byteIndex, &bit), kCodecBufferTooSmall);
        EXPECT_EQ(Rt24SkipFrames(handle, &buffers.io, 1, &byteIndex, &bit), kCodecOk);
        EXPECT_EQ(byteIndex, 0);
    }
    opened.decoder->formatTag = 0x1000011; // 64-bit frames: one still fits
    EXPECT_EQ(Rt24CountFrames(opened.decoder.get(), &buffers.io, &frames, &byteIndex, &bit), kCodecOk);
    EXPECT_EQ(frames, 1u);
    opened.decoder->formatTag = 0x1000010; // 67 bits: none
    EXPECT_EQ(Rt24CountFrames(opened.decoder.get(), &buffers.io, &frames, &byteIndex, &bit), kCodecOk);
    EXPECT_EQ(frames, 0u);
    opened.decoder->formatTag = 0x1000003;
    EXPECT_EQ(Rt24CountFrames(opened.decoder.get(), &buffers.io, &frames, &byteIndex, &bit), kCodecBadHandle);
    opened.decoder->formatTag = 0x1000001;

    EXPECT_EQ(Rt24CountFrames(nullptr, &buffers.io, &frames, &byteIndex, &bit), kCodecBadHandle);
    EXPECT_EQ(Rt24CountFrames(opened.decoder.get(), nullptr, &frames, &byteIndex, &bit), kCodecNullArgument);
    EXPECT_EQ(Rt24CountFrames(opened.decoder.get(), &buffers.io, nullptr, &byteIndex, &bit), kCodecNullArgument);
    EXPECT_EQ(Rt24SkipFrames(opened.decoder.get(), &buffers.io, 1, nullptr, &bit), kCodecNullArgument);
    buffers.io.samples = nullptr;
    EXPECT_EQ(Rt24CountFrames(opened.decoder.get(), &buffers.io, &frames, &byteIndex, &bit), kCodecNoSamples);
    buffers.io.samples = buffers.pcm;
    buffers.io.endBit = 9;
    EXPECT_EQ(Rt24SkipFrames(opened.encoder.get(), &buffers.io, 1, &byteIndex, &bit), kCodecBadEndBit);
}
