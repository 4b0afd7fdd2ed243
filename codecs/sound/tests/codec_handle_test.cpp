#include "codecs/sound/codec_handle.h"

#include <memory>

#include <gtest/gtest.h>

using namespace sound;

namespace {

// Counts live instances so a test can see that closing a handle frees what it owns.
class CountedPart : public CodecPart {
public:
    explicit CountedPart(int& live) : m_live(live) { ++m_live; }
    ~CountedPart() override { --m_live; }

private:
    int& m_live;
};

struct OpenDecoder {
    std::unique_ptr<CodecHandle> handle;
    OpenDecoder() { OpenCodecHandle(&handle, CodecKind::kDecoder); }
};

} // namespace

TEST(CodecHandleOpen, FillsKindMagicAndTags)
{
    std::unique_ptr<CodecHandle> handle;
    ASSERT_EQ(OpenCodecHandle(&handle, CodecKind::kEncoder, 0x1000001, 0x1000002), kCodecOk);
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(handle->magic, 0xFACEu);
    EXPECT_EQ(handle->kind, CodecKind::kEncoder);
    EXPECT_EQ(handle->formatTag, 0x1000001u);
    EXPECT_EQ(handle->secondFormatTag, 0x1000002u);
    EXPECT_EQ(handle->state, nullptr);
    EXPECT_EQ(handle->currentIO, nullptr);
    EXPECT_EQ(OpenCodecHandle(nullptr, CodecKind::kEncoder), kCodecNullArgument);
}

TEST(CodecHandleClose, FreesOwnedPartsAndNullsTheVariable)
{
    int live = 0;
    std::unique_ptr<CodecHandle> handle;
    ASSERT_EQ(OpenCodecHandle(&handle, CodecKind::kEncoder), kCodecOk);
    handle->state = std::make_unique<CountedPart>(live);
    handle->secondState = std::make_unique<CountedPart>(live);
    handle->probeRegistry = std::make_unique<CountedPart>(live);
    handle->extensions = std::make_unique<CountedPart>(live);
    ASSERT_EQ(live, 4);
    EXPECT_EQ(CloseCodecHandle(&handle, CodecKind::kEncoder), kCodecOk);
    EXPECT_EQ(handle, nullptr);
    EXPECT_EQ(live, 0);
}

TEST(CodecHandleClose, SecondCloseAndWrongKindAreRefused)
{
    std::unique_ptr<CodecHandle> handle;
    ASSERT_EQ(OpenCodecHandle(&handle, CodecKind::kDecoder), kCodecOk);
    EXPECT_EQ(CloseCodecHandle(&handle, CodecKind::kEncoder), kCodecNotEncoder);
    ASSERT_NE(handle, nullptr); // refused by kind: still open and usable
    EXPECT_EQ(CheckHandle(handle.get(), CodecKind::kDecoder), kCodecOk);
    EXPECT_EQ(CloseCodecHandle(&handle, CodecKind::kDecoder), kCodecOk);
    EXPECT_EQ(CloseCodecHandle(&handle, CodecKind::kDecoder), kCodecBadHandle);
    EXPECT_EQ(CloseCodecHandle(nullptr, CodecKind::kDecoder), kCodecNullArgument);
}

TEST(CodecHandleCheck, KindAndMagicDecide)
{
    OpenDecoder decoder;
    EXPECT_EQ(CheckHandle(decoder.handle.get(), CodecKind::kEncoder), kCodecNotEncoder);
    EXPECT_EQ(CheckHandle(decoder.handle.get(), CodecKind::kDecoder), kCodecOk);
    EXPECT_EQ(CheckHandleEitherKind(decoder.handle.get()), kCodecOk);
    decoder.handle->kind = CodecKind::kNone;
    EXPECT_EQ(CheckHandleEitherKind(decoder.handle.get()), kCodecBadKind);
    EXPECT_EQ(CheckHandle(decoder.handle.get(), CodecKind::kEncoder), kCodecNotEncoder);
    decoder.handle->magic = 0xFACF;
    EXPECT_EQ(CheckHandle(decoder.handle.get(), CodecKind::kDecoder), kCodecBadHandle);
    EXPECT_EQ(CheckHandleEitherKind(nullptr), kCodecBadHandle);
}

// Each field broken alone gives its own code; with several broken, the first in the fixed order wins.
TEST(CodecIOCheck, EachFaultHasItsCodeInTheFixedOrder)
{
    int16_t samples[4] = {};
    uint8_t coded[8] = {};
    const CodecIO good{samples, 0, coded, 8, 0, 0, 0, 0};
    EXPECT_EQ(CheckCodecIO(&good), kCodecOk);
    EXPECT_EQ(CheckCodecIO(nullptr), kCodecNullArgument);

    struct Case {
        const char* name;
        void (*breakIt)(CodecIO&);
        CodecResult expected;
    };
    const Case cases[] = {
        {"no coded buffer", [](CodecIO& io) { io.coded = nullptr; }, kCodecNoCoded},
        {"no samples", [](CodecIO& io) { io.samples = nullptr; }, kCodecNoSamples},
        {"start byte at the size", [](CodecIO& io) { io.startByte = 8; }, kCodecBadStartByte},
        {"end byte at the size", [](CodecIO& io) { io.endByte = 8; }, kCodecBadEndByte},
        {"start bit 8", [](CodecIO& io) { io.startBit = 8; }, kCodecBadStartBit},
        {"end bit 8", [](CodecIO& io) { io.endBit = 8; }, kCodecBadEndBit},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CodecIO io = good;
        c.breakIt(io);
        EXPECT_EQ(CheckCodecIO(&io), c.expected);
    }
    CodecIO several = good;
    several.endBit = 9;
    several.startByte = 100;
    several.samples = nullptr;
    EXPECT_EQ(CheckCodecIO(&several), kCodecNoSamples);
}

TEST(CodecFrameCheck, OrderDecidesBetweenHandleAndRecord)
{
    int16_t samples[4] = {};
    uint8_t coded[8] = {};
    CodecIO badRecord{samples, 0, coded, 8, 0, 0, 0, 9};
    OpenDecoder decoder;
    // An encoder call with a decoder handle and a bad record: the order names the first fault.
    EXPECT_EQ(CheckFrameCall(decoder.handle.get(), &badRecord, CodecKind::kEncoder, FrameCheckOrder::kHandleFirst),
              kCodecNotEncoder);
    EXPECT_EQ(CheckFrameCall(decoder.handle.get(), &badRecord, CodecKind::kEncoder, FrameCheckOrder::kRecordFirst),
              kCodecBadEndBit);
    EXPECT_EQ(CheckFrameCall(nullptr, &badRecord, CodecKind::kEncoder, FrameCheckOrder::kRecordFirst), kCodecBadEndBit);
    badRecord.endBit = 0;
    EXPECT_EQ(CheckFrameCall(nullptr, &badRecord, CodecKind::kEncoder, FrameCheckOrder::kRecordFirst), kCodecBadHandle);
    EXPECT_EQ(CheckFrameCall(decoder.handle.get(), &badRecord, CodecKind::kDecoder, FrameCheckOrder::kHandleFirst),
              kCodecOk);
}
