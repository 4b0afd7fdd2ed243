#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "codecs/sound/codec_handle.h"
#include "codecs/sound/speech/sc36/sc36_codec.h"
#include "codecs/sound/tests/tonalwave_allocation_probe.h"

using namespace sound;

namespace {

// One variant's entry points, so that every contract runs over both.
struct EntryPoints {
    const char* name;
    uint32_t tag;
    uint32_t bitRate;
    uint32_t bitsPerFrame;
    CodecResult (*getInfo)(CodecInfo*);
    CodecResult (*encoderOpen)(std::unique_ptr<CodecHandle>*);
    CodecResult (*decoderOpen)(std::unique_ptr<CodecHandle>*);
    CodecResult (*encode)(CodecHandle*, CodecIO*);
    CodecResult (*decode)(CodecHandle*, CodecIO*);
    CodecResult (*encoderClose)(std::unique_ptr<CodecHandle>*);
    CodecResult (*decoderClose)(std::unique_ptr<CodecHandle>*);
    uint32_t (*query)(uint16_t, uint32_t*);
    CodecResult (*getQuery)(Sc36QueryFunction*);
};

template <Sc36Variant V> EntryPoints EntryPointsOf(const char* name, uint32_t tag, uint32_t rate, uint32_t bits)
{
    return {name,
            tag,
            rate,
            bits,
            Sc36GetInfo<V>,
            Sc36EncoderOpen<V>,
            Sc36DecoderOpen<V>,
            Sc36Encode<V>,
            Sc36Decode<V>,
            Sc36EncoderClose<V>,
            Sc36DecoderClose<V>,
            Sc36Query<V>,
            Sc36GetQuery<V>};
}

const std::vector<EntryPoints>& BothVariants()
{
    static const std::vector<EntryPoints> variants = {
        EntryPointsOf<Sc36Variant::k6400>("6400 bit/s", kSc36Tag6400, 6400, 128),
        EntryPointsOf<Sc36Variant::k3200>("3200 bit/s", kSc36Tag3200, 3200, 64),
    };
    return variants;
}

struct Buffers {
    int16_t pcm[kSc36FrameSamples] = {};
    uint8_t coded[64] = {};
    CodecIO io;
    Buffers()
    {
        io.samples = pcm;
        io.coded = coded;
        io.codedSize = sizeof coded;
    }
};

struct Opened {
    const EntryPoints& entry;
    std::unique_ptr<CodecHandle> encoder;
    std::unique_ptr<CodecHandle> decoder;
    explicit Opened(const EntryPoints& e) : entry(e)
    {
        EXPECT_EQ(entry.encoderOpen(&encoder), kCodecOk);
        EXPECT_EQ(entry.decoderOpen(&decoder), kCodecOk);
    }
    ~Opened()
    {
        if (encoder)
            entry.encoderClose(&encoder);
        if (decoder)
            entry.decoderClose(&decoder);
    }
};

// A record that fails one check, by one named change of a good one.
struct RecordCase {
    const char* change;
    std::function<void(CodecIO&)> apply;
    CodecResult expected;
};

const std::vector<RecordCase>& DamagedRecords()
{
    static const std::vector<RecordCase> cases = {
        {"no coded buffer", [](CodecIO& io) { io.coded = nullptr; }, kCodecNoCoded},
        {"no samples", [](CodecIO& io) { io.samples = nullptr; }, kCodecNoSamples},
        {"start byte at the size", [](CodecIO& io) { io.startByte = io.codedSize; }, kCodecBadStartByte},
        {"end byte at the size", [](CodecIO& io) { io.endByte = io.codedSize; }, kCodecBadEndByte},
        {"start bit 8", [](CodecIO& io) { io.startBit = 8; }, kCodecBadStartBit},
        {"end bit 8", [](CodecIO& io) { io.endBit = 8; }, kCodecBadEndBit},
    };
    return cases;
}

TEST(Sc36Interface, EncodeChecksTheRecordBeforeTheHandle)
{
    for (const EntryPoints& entry : BothVariants()) {
        SCOPED_TRACE(entry.name);
        Opened opened(entry);
        for (const RecordCase& c : DamagedRecords()) {
            SCOPED_TRACE(c.change);
            Buffers buffers;
            c.apply(buffers.io);
            EXPECT_EQ(entry.encode(nullptr, &buffers.io), c.expected);
            EXPECT_EQ(entry.encode(opened.decoder.get(), &buffers.io), c.expected);
            EXPECT_EQ(entry.encode(opened.encoder.get(), &buffers.io), c.expected);
            EXPECT_EQ(buffers.io.endByte, c.change == std::string("end byte at the size") ? buffers.io.codedSize : 0)
                << "a refused record is left as it was";
        }
        EXPECT_EQ(entry.encode(opened.encoder.get(), nullptr), kCodecNullArgument);
        Buffers good;
        EXPECT_EQ(entry.encode(nullptr, &good.io), kCodecBadHandle);
        EXPECT_EQ(entry.encode(opened.decoder.get(), &good.io), kCodecNotEncoder);
        EXPECT_EQ(good.io.endByte, 0);
        EXPECT_EQ(entry.encode(opened.encoder.get(), &good.io), kCodecOk);
        EXPECT_EQ(good.io.endByte, entry.bitsPerFrame / 8);
    }
}

TEST(Sc36Interface, DecodeChecksTheHandleBeforeTheRecord)
{
    for (const EntryPoints& entry : BothVariants()) {
        SCOPED_TRACE(entry.name);
        Opened opened(entry);
        for (const RecordCase& c : DamagedRecords()) {
            SCOPED_TRACE(c.change);
            Buffers buffers;
            c.apply(buffers.io);
            EXPECT_EQ(entry.decode(nullptr, &buffers.io), kCodecBadHandle);
            EXPECT_EQ(entry.decode(opened.encoder.get(), &buffers.io), kCodecNotDecoder);
            EXPECT_EQ(entry.decode(opened.decoder.get(), &buffers.io), c.expected);
        }
        EXPECT_EQ(entry.decode(nullptr, nullptr), kCodecBadHandle);
        EXPECT_EQ(entry.decode(opened.decoder.get(), nullptr), kCodecNullArgument);
    }
}

TEST(Sc36Interface, ClosingThroughTheOtherKindsCloseIsRefused)
{
    for (const EntryPoints& entry : BothVariants()) {
        SCOPED_TRACE(entry.name);
        Opened opened(entry);
        EXPECT_EQ(entry.encoderClose(&opened.decoder), kCodecNotEncoder);
        EXPECT_EQ(entry.decoderClose(&opened.encoder), kCodecNotDecoder);
        ASSERT_NE(opened.encoder, nullptr);
        ASSERT_NE(opened.decoder, nullptr);
        EXPECT_EQ(entry.encoderClose(&opened.encoder), kCodecOk);
        EXPECT_EQ(entry.decoderClose(&opened.decoder), kCodecOk);
        EXPECT_EQ(opened.encoder, nullptr);
        EXPECT_EQ(opened.decoder, nullptr);
        EXPECT_EQ(entry.encoderClose(&opened.encoder), kCodecBadHandle);
        EXPECT_EQ(entry.encoderClose(nullptr), kCodecNullArgument);
    }
}

TEST(Sc36Interface, TimeScaleBounds)
{
    struct Case {
        float factor;
        CodecResult expected;
    };
    const Case cases[] = {{0.5f, kCodecOk},
                          {5.0f, kCodecOk},
                          {1.0f, kCodecOk},
                          {0.49f, kCodecBadTimeScale},
                          {5.01f, kCodecBadTimeScale},
                          {0.0f, kCodecBadTimeScale},
                          {-1.0f, kCodecBadTimeScale},
                          {std::numeric_limits<float>::quiet_NaN(), kCodecBadTimeScale},
                          {std::numeric_limits<float>::infinity(), kCodecBadTimeScale}};
    for (const EntryPoints& entry : BothVariants()) {
        SCOPED_TRACE(entry.name);
        Opened opened(entry);
        float kept = 1.0f;
        for (const Case& c : cases) {
            SCOPED_TRACE(c.factor);
            EXPECT_EQ(Sc36SetTimeScale(opened.decoder.get(), c.factor), c.expected);
            if (c.expected == kCodecOk)
                kept = c.factor;
            float now = 0.0f;
            EXPECT_EQ(Sc36GetTimeScale(opened.decoder.get(), &now), kCodecOk);
            EXPECT_EQ(now, kept) << "a refused factor leaves the last good one";
        }
        EXPECT_EQ(Sc36SetTimeScale(opened.encoder.get(), 1.0f), kCodecNotDecoder);
        EXPECT_EQ(Sc36SetTimeScale(nullptr, 1.0f), kCodecBadHandle);
        EXPECT_EQ(Sc36GetTimeScale(opened.decoder.get(), nullptr), kCodecNullArgument);
    }
}

TEST(Sc36Interface, QueryCapabilitiesAndInfo)
{
    Sc36Capabilities capabilities;
    capabilities.flags = 0;
    EXPECT_EQ(Sc36GetCapabilities(&capabilities), kCodecOk);
    EXPECT_EQ(capabilities.flags, 0xFBu);
    EXPECT_EQ(capabilities.minimumTimeScale, 0.5f);
    EXPECT_EQ(capabilities.maximumTimeScale, 5.0f);
    EXPECT_EQ(Sc36GetCapabilities(nullptr), kCodecNullArgument);
    for (const EntryPoints& entry : BothVariants()) {
        SCOPED_TRACE(entry.name);
        Sc36QueryFunction query = nullptr;
        EXPECT_EQ(entry.getQuery(&query), kCodecOk);
        EXPECT_EQ(query, entry.query);
        EXPECT_EQ(entry.getQuery(nullptr), kCodecNullArgument);
        const struct {
            uint16_t code;
            uint32_t result;
        } codes[] = {{0, 0}, {1, 20}, {2, 20}, {3, 0}, {4, 20}, {5, 0}, {0xFFFF, 0}};
        for (const auto& c : codes) {
            SCOPED_TRACE(c.code);
            uint32_t tag = 0;
            EXPECT_EQ(entry.query(c.code, &tag), c.result);
            EXPECT_EQ(tag, entry.tag);
        }
        EXPECT_EQ(entry.query(4, nullptr), 20u);

        CodecInfo info;
        EXPECT_EQ(entry.getInfo(&info), kCodecOk);
        EXPECT_STREQ(info.version, "SC.01.08.00");
        EXPECT_EQ(info.recordKind, 4);
        EXPECT_EQ(info.formatTag, entry.tag);
        EXPECT_EQ(info.secondFormatTag, kSc36BaseLayerTag);
        EXPECT_EQ(info.sampleRate, 8000);
        EXPECT_EQ(info.bitsPerSample, 16);
        EXPECT_EQ(info.frameSamples, 160);
        EXPECT_EQ(info.channels, 1);
        EXPECT_EQ(info.bitRate, entry.bitRate);
        for (const uint32_t bits : info.bitsPerFrame)
            EXPECT_EQ(bits, entry.bitsPerFrame);
        EXPECT_EQ(info.delayFrames, 1);
        EXPECT_EQ(info.delaySamples, 15);
        EXPECT_EQ(entry.getInfo(nullptr), kCodecNullArgument);
    }
}

TEST(Sc36Interface, SupportedAndEncoderLayersFollowTheVariant)
{
    for (const EntryPoints& entry : BothVariants()) {
        SCOPED_TRACE(entry.name);
        Opened opened(entry);
        const uint32_t capability = entry.bitRate == 6400 ? 3u : 1u;
        uint32_t mask = 0;
        EXPECT_EQ(Sc36GetSupportedLayers(opened.encoder.get(), &mask), kCodecOk);
        EXPECT_EQ(mask, capability);
        EXPECT_EQ(Sc36GetSupportedLayers(opened.decoder.get(), &mask), kCodecOk);
        EXPECT_EQ(mask, capability);
        EXPECT_EQ(Sc36GetEncoderLayers(opened.encoder.get(), &mask), kCodecOk);
        EXPECT_EQ(mask, capability) << "a 6400 bit/s encoder starts with both layers";
        EXPECT_EQ(Sc36GetEncoderLayers(opened.decoder.get(), &mask), kCodecNotEncoder);
        EXPECT_EQ(Sc36SetEncoderLayers(opened.encoder.get(), 2), kCodecBadLayers);
        EXPECT_EQ(Sc36SetEncoderLayers(opened.encoder.get(), 3), entry.bitRate == 6400 ? kCodecOk : kCodecBadLayerMask);
        EXPECT_EQ(Sc36SetEncoderLayers(opened.encoder.get(), 1), kCodecOk);
        EXPECT_EQ(Sc36GetEncoderLayers(opened.encoder.get(), &mask), kCodecOk);
        EXPECT_EQ(mask, 1u);
        // With the base layer alone, the 6400 bit/s entry points write 8-byte frames.
        Buffers buffers;
        EXPECT_EQ(entry.encode(opened.encoder.get(), &buffers.io), kCodecOk);
        EXPECT_EQ(buffers.io.endByte, 8);
        EXPECT_LT(buffers.coded[7], 128);
    }
}

// Every allocation an open makes fails in turn: each gives 6000 and a null handle; the leak checker of the
// sanitizer build watches for what a failed open leaves behind.
TEST(Sc36Interface, EveryFailedAllocationOfAnOpenGives6000AndANullHandle)
{
    if (!soundtest::CanFailAllocations())
        GTEST_SKIP() << "this test program's operator new cannot be made to fail";
    for (const EntryPoints& entry : BothVariants()) {
        for (const bool encoder : {true, false}) {
            SCOPED_TRACE(std::string(entry.name) + (encoder ? " encoder" : " decoder"));
            const auto open = encoder ? entry.encoderOpen : entry.decoderOpen;
            const auto close = encoder ? entry.encoderClose : entry.decoderClose;
            bool opened = false;
            int64_t failures = 0;
            for (int64_t k = 1; !opened && k < 10000; ++k) {
                SCOPED_TRACE(k);
                std::unique_ptr<CodecHandle> handle;
                soundtest::ResetAllocationCount();
                soundtest::FailAllocationNumber(k);
                const CodecResult result = open(&handle);
                opened = soundtest::AllocationCount() < k;
                soundtest::ResetAllocationCount();
                if (opened) {
                    EXPECT_EQ(result, kCodecOk);
                    ASSERT_NE(handle, nullptr);
                    EXPECT_EQ(close(&handle), kCodecOk);
                } else {
                    ++failures;
                    EXPECT_EQ(result, kCodecOutOfMemory);
                    EXPECT_EQ(handle, nullptr);
                }
            }
            EXPECT_TRUE(opened);
            EXPECT_GE(failures, 5) << "the handle, registry, state, call record and function table each allocate";
        }
    }
}

TEST(Sc36Interface, ExtensionTableIsMadeOnceAndFreed)
{
    for (const EntryPoints& entry : BothVariants()) {
        SCOPED_TRACE(entry.name);
        Opened opened(entry);
        Sc36Extensions* first = nullptr;
        Sc36Extensions* second = nullptr;
        EXPECT_EQ(Sc36GetExtensions(opened.decoder.get(), &first), kCodecOk);
        EXPECT_EQ(Sc36GetExtensions(opened.decoder.get(), &second), kCodecOk);
        ASSERT_NE(first, nullptr);
        EXPECT_EQ(first, second);
        EXPECT_EQ(first->setTimeScale, &Sc36SetTimeScale);
        EXPECT_EQ(first->mergeLayers, &Sc36MergeLayers);
        EXPECT_EQ(first->layerSizes, nullptr);
        EXPECT_EQ(Sc36GetExtensions(nullptr, &first), kCodecBadHandle);
        EXPECT_EQ(Sc36GetExtensions(opened.decoder.get(), nullptr), kCodecNullArgument);
        EXPECT_EQ(Sc36FreeExtensions(opened.decoder.get()), kCodecOk);
        EXPECT_EQ(opened.decoder->extensions, nullptr);
    }
}

// The level reads the copy kept from the last frame call, never the caller's record, which is gone by then.
TEST(Sc36Interface, LevelAfterTheCallersRecordIsGone)
{
    for (const EntryPoints& entry : BothVariants()) {
        SCOPED_TRACE(entry.name);
        Opened opened(entry);
        uint16_t level = 7;
        EXPECT_EQ(Sc36GetLevel(opened.encoder.get(), &level), kCodecNullArgument) << "no frame call yet";
        {
            auto buffers = std::make_unique<Buffers>();
            for (int i = 0; i < kSc36FrameSamples; ++i)
                buffers->pcm[i] = static_cast<int16_t>(i % 2 == 0 ? 3000 : -3000);
            for (int f = 0; f < 3; ++f) {
                buffers->io.endByte = 0;
                ASSERT_EQ(entry.encode(opened.encoder.get(), &buffers->io), kCodecOk);
            }
        }
        EXPECT_EQ(Sc36GetLevel(opened.encoder.get(), &level), kCodecOk);
        EXPECT_GT(level, 150) << "a 3000-amplitude square wave";
        EXPECT_EQ(Sc36GetLevel(opened.encoder.get(), nullptr), kCodecNullArgument);
        EXPECT_EQ(Sc36GetLevel(nullptr, &level), kCodecBadHandle);
    }
}

} // namespace
