// The codec interface: the model table and get-info, configuration codes at open, the frame call's checks and
// dispatch, allocation behaviour, concurrency, and decoding whatever bytes arrive.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

#include "codecs/sound/Tonalwave/Decode/tonalwave_decoder.h"
#include "codecs/sound/Tonalwave/tonalwave_codec.h"
#include "codecs/sound/tests/frame_loop_test_support.h"
#include "codecs/sound/tests/tonalwave_allocation_probe.h"
#include "codecs/sound/tests/tonalwave_test_support.h"

namespace {

using sound::CodecHandle;
using sound::CodecIO;
using sound::TonalwaveModel;

TEST(TonalwaveInfo, EveryModelDescribesItself)
{
    const struct {
        TonalwaveModel model;
        const char* version;
        uint32_t tag;
        uint16_t rate;
        uint16_t frame;
        uint16_t channels;
        uint32_t bitRate;
        uint32_t bits;
        uint32_t kbps;
    } cases[] = {
        {TonalwaveModel::kAcs48, "ACS48.2.0.0.044.G0", 0x4000004, 22050, 1024, 2, 48062, 2232, 48},
        {TonalwaveModel::kAc24, "AC24.2.0.0.044.G0", 0x2000004, 22050, 1024, 1, 24031, 1116, 24},
        {TonalwaveModel::kAcs20, "ACS20.2.0.0.044.G0", 0x4000002, 11025, 512, 2, 20000, 928, 20},
        {TonalwaveModel::kAc10, "AC10.2.0.0.044.G0", 0x2000002, 11025, 512, 1, 10000, 464, 10},
        {TonalwaveModel::kAc8, "AC08.2.0.0.044.G0", 0x2000001, 8000, 512, 1, 8000, 512, 8},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.version);
        const sound::TonalwaveDescriptor& row = sound::DescriptorOf(c.model);
        sound::CodecInfo info;
        EXPECT_EQ(row.getInfo(&info), sound::kCodecOk);
        EXPECT_EQ(info.recordKind, 4);
        EXPECT_STREQ(info.version, c.version);
        EXPECT_EQ(info.formatTag, c.tag);
        EXPECT_EQ(info.secondFormatTag, c.tag);
        EXPECT_EQ(info.sampleRate, c.rate);
        EXPECT_EQ(info.bitsPerSample, 16);
        EXPECT_EQ(info.frameSamples, c.frame);
        EXPECT_EQ(info.channels, c.channels);
        EXPECT_EQ(info.secondCount, 1);
        EXPECT_EQ(info.bitRate, c.bitRate);
        EXPECT_EQ(info.bitsPerFrame[0], c.bits);
        EXPECT_EQ(info.bitsPerFrame[2], c.bits);
        EXPECT_EQ(info.delayFrames, 2);
        EXPECT_EQ(info.delaySamples, 0);
        EXPECT_EQ(row.frameSize(), c.frame);
        EXPECT_EQ(row.kbps, c.kbps);
        EXPECT_EQ(row.channels, c.channels);
        // The model's configuration gives the frame its stated size.
        const sound::TonalwaveLayout layout = tonalwavetest::LayoutOf(c.model);
        EXPECT_EQ(static_cast<uint32_t>(layout.sizes.FrameBitsWithPad()), c.bits);
    }
}

TEST(TonalwaveOpen, SupportedAndRefusedConfigurations)
{
    for (const uint32_t code :
         {0x18080u, 0x38080u, 0x18060u, 0x38060u, 0x11110u, 0x31110u, 0x12224u, 0x32224u, 0x12232u, 0x32232u}) {
        SCOPED_TRACE(code);
        std::unique_ptr<CodecHandle> handle;
        EXPECT_EQ(sound::OpenTonalwaveDecoder(code, &handle), sound::kCodecOk);
        ASSERT_NE(handle, nullptr);
        EXPECT_EQ(sound::CloseTonalwaveDecoder(&handle), sound::kCodecOk);
        EXPECT_EQ(handle, nullptr);
    }
    // Accepted codes of sets without band edges, and codes outside the table.
    for (const uint32_t code : {0x11616u, 0x31616u, 0x14432u, 0x34440u, 0x14448u, 0x18081u, 0x28080u, 0u}) {
        SCOPED_TRACE(code);
        std::unique_ptr<CodecHandle> handle;
        EXPECT_EQ(sound::OpenTonalwaveDecoder(code, &handle), sound::kCodecOutOfMemory);
        EXPECT_EQ(handle, nullptr);
    }
    EXPECT_EQ(sound::OpenTonalwaveDecoder(0x18080, nullptr), sound::kCodecNullArgument);
}

TEST(TonalwaveOpen, ThirtyTwoKbitCodeDecodesAsTwentyFour)
{
    std::mt19937 random(3);
    const std::vector<int> codes = {0, 1, 2, 2, 3, 6, 8, 7, 2, 4, 5, 15, 15, 0};
    const std::vector<uint8_t> stream = tonalwavetest::RandomStoredStream(TonalwaveModel::kAc24, codes, random);
    std::vector<std::vector<int16_t>> outputs;
    for (const uint32_t code : {0x12224u, 0x12232u}) {
        std::unique_ptr<CodecHandle> handle;
        ASSERT_EQ(sound::OpenTonalwaveDecoder(code, &handle), sound::kCodecOk);
        std::vector<int16_t> samples(1024 * codes.size());
        for (size_t frame = 0; frame < codes.size(); ++frame) {
            std::vector<uint8_t> slot(stream.begin() + 8 + static_cast<ptrdiff_t>(frame * 558),
                                      stream.begin() + 8 + static_cast<ptrdiff_t>((frame + 1) * 558));
            CodecIO io;
            io.coded = slot.data();
            io.codedSize = 558;
            io.samples = samples.data() + frame * 1024;
            ASSERT_EQ(sound::DecodeTonalwaveFrame(handle.get(), &io), sound::kCodecOk);
        }
        outputs.push_back(samples);
        sound::CloseTonalwaveDecoder(&handle);
    }
    EXPECT_EQ(outputs[0], outputs[1]);
}

TEST(TonalwaveFrameCall, ChecksInTheirOrder)
{
    std::unique_ptr<CodecHandle> decoder;
    ASSERT_EQ(sound::OpenTonalwaveDecoder(0x18080, &decoder), sound::kCodecOk);
    std::unique_ptr<CodecHandle> encoder;
    ASSERT_EQ(sound::OpenCodecHandle(&encoder, sound::CodecKind::kEncoder), sound::kCodecOk);
    std::vector<uint8_t> coded(558, 0);
    std::vector<int16_t> samples(512);
    CodecIO good;
    good.coded = coded.data();
    good.codedSize = 558;
    good.samples = samples.data();
    // Each case is the good record with one change, or with several where the first failing check decides.
    struct Case {
        const char* name;
        CodecHandle* handle;
        bool nullRecord;
        CodecIO io;
        sound::CodecResult expected;
    };
    CodecIO noCodedNoSamples = good;
    noCodedNoSamples.coded = nullptr;
    noCodedNoSamples.samples = nullptr;
    CodecIO noSamples = good;
    noSamples.samples = nullptr;
    CodecIO startByte = good;
    startByte.startByte = 558;
    startByte.endByte = 558;
    CodecIO endByte = good;
    endByte.endByte = 600;
    endByte.startBit = 9;
    CodecIO startBit = good;
    startBit.startBit = 8;
    startBit.endBit = 8;
    CodecIO endBit = good;
    endBit.endBit = 8;
    const Case cases[] = {
        {"null handle", nullptr, true, good, sound::kCodecBadHandle},
        {"encoder handle", encoder.get(), true, good, sound::kCodecNotDecoder},
        {"null record", decoder.get(), true, good, sound::kCodecNullArgument},
        {"no coded buffer", decoder.get(), false, noCodedNoSamples, sound::kCodecNoCoded},
        {"no sample buffer", decoder.get(), false, noSamples, sound::kCodecNoSamples},
        {"start byte", decoder.get(), false, startByte, sound::kCodecBadStartByte},
        {"end byte", decoder.get(), false, endByte, sound::kCodecBadEndByte},
        {"start bit", decoder.get(), false, startBit, sound::kCodecBadStartBit},
        {"end bit", decoder.get(), false, endBit, sound::kCodecBadEndBit},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CodecIO io = c.io;
        EXPECT_EQ(sound::DecodeTonalwaveFrame(c.handle, c.nullRecord ? nullptr : &io), c.expected);
        EXPECT_EQ(io.sampleCount, 0); // nothing was decoded
    }
    CodecIO io = good;
    EXPECT_EQ(sound::DecodeTonalwaveFrame(decoder.get(), &io), sound::kCodecOk);
    EXPECT_EQ(io.sampleCount, 512);
    EXPECT_EQ(io.startByte, 64); // 512 bits
    EXPECT_EQ(io.startBit, 0);
    EXPECT_EQ(sound::CloseTonalwaveDecoder(&encoder), sound::kCodecNotDecoder);
    EXPECT_EQ(sound::CloseCodecHandle(&encoder, sound::CodecKind::kEncoder), sound::kCodecOk);
    EXPECT_EQ(sound::CloseTonalwaveDecoder(&decoder), sound::kCodecOk);
}

TEST(TonalwaveClose, TwiceIsABadHandle)
{
    std::unique_ptr<CodecHandle> handle;
    ASSERT_EQ(sound::DescriptorOf(TonalwaveModel::kAc10).openDecoder(&handle), sound::kCodecOk);
    EXPECT_EQ(sound::CloseTonalwaveDecoder(&handle), sound::kCodecOk);
    EXPECT_EQ(sound::CloseTonalwaveDecoder(&handle), sound::kCodecBadHandle);
    EXPECT_EQ(sound::CloseTonalwaveDecoder(nullptr), sound::kCodecNullArgument);
}

TEST(TonalwaveEncoderEntries, EveryModelOpensAnEncoder)
{
    for (const TonalwaveModel model : tonalwavetest::kAllModels) {
        SCOPED_TRACE(sound::NameOf(model));
        const sound::TonalwaveDescriptor& row = sound::DescriptorOf(model);
        std::unique_ptr<CodecHandle> handle;
        ASSERT_EQ(row.openEncoder(&handle), sound::kCodecOk);
        EXPECT_EQ(handle->kind, sound::CodecKind::kEncoder);
        EXPECT_EQ(row.closeEncoder(&handle), sound::kCodecOk);
        EXPECT_EQ(handle, nullptr);
    }
    EXPECT_EQ(sound::DescriptorOf(TonalwaveModel::kAc8).openEncoder(nullptr), sound::kCodecNullArgument);
}

TEST(TonalwaveDecodeAllocation, NoFrameAllocates)
{
    if (!soundtest::CanCountAllocations())
        GTEST_SKIP() << "allocations are counted in sanitizer builds";
    std::mt19937 random(13);
    for (const TonalwaveModel model : tonalwavetest::kAllModels) {
        SCOPED_TRACE(sound::NameOf(model));
        const std::vector<int> codes = {0, 1, 2, 2, 3, 6, 8, 7, 2, 4, 8, 5, 15, 15, 15, 15, 15, 15, 0, 0};
        const std::vector<uint8_t> stream = tonalwavetest::RandomStoredStream(model, codes, random);
        std::unique_ptr<CodecHandle> handle;
        ASSERT_EQ(sound::DescriptorOf(model).openDecoder(&handle), sound::kCodecOk);
        std::vector<int16_t> samples(2048);
        std::vector<uint8_t> slot(558);
        soundtest::ResetAllocationCount();
        for (size_t frame = 0; frame < codes.size(); ++frame) {
            std::copy_n(stream.begin() + 8 + static_cast<ptrdiff_t>(frame * 558), 558, slot.begin());
            CodecIO io;
            io.coded = slot.data();
            io.codedSize = 558;
            io.samples = samples.data();
            ASSERT_EQ(sound::DecodeTonalwaveFrame(handle.get(), &io), sound::kCodecOk);
        }
        EXPECT_EQ(soundtest::AllocationCount(), 0);
        sound::CloseTonalwaveDecoder(&handle);
    }
}

// Every window code on random bits, lost frames among them: N finite samples per frame, never a failure.
TEST(TonalwaveRobustness, AnyBytesDecodeToFullFrames)
{
    std::mt19937 random(23);
    for (const TonalwaveModel model : tonalwavetest::kAllModels) {
        SCOPED_TRACE(sound::NameOf(model));
        sound::CodecInfo info;
        sound::DescriptorOf(model).getInfo(&info);
        std::vector<uint8_t> stored =
            sound::TonalwaveStoredHeader(static_cast<uint16_t>(info.channels), info.sampleRate);
        for (int frame = 0; frame < 48; ++frame) {
            std::vector<uint8_t> slot(558);
            for (uint8_t& b : slot)
                b = static_cast<uint8_t>(random());
            slot[0] = static_cast<uint8_t>((slot[0] & 0xF0) | (frame % 16));
            stored.insert(stored.end(), slot.begin(), slot.end());
        }
        const looptest::TonalwaveDecodedSound sound = looptest::DecodeTonalwaveSlots(model, stored);
        EXPECT_TRUE(sound.error.empty()) << sound.error;
        EXPECT_EQ(sound.frames, 48u);
        EXPECT_EQ(sound.samples.size(), 48u * info.channels * info.frameSamples);
        EXPECT_EQ(std::count(sound.samples.begin(), sound.samples.end(), int16_t{-32768}), 0);
    }
}

TEST(TonalwaveRobustness, ScratchHighWaterOfEveryModelAndKind)
{
    std::mt19937 random(29);
    for (const TonalwaveModel model : tonalwavetest::kAllModels) {
        const auto decoder =
            sound::TonalwaveDecoder::Create(*sound::DecodeConfigurationCode(sound::ConfigurationCodeOf(model)));
        std::vector<float> out(2048);
        for (const int code : {0, 8, 2, 15, 15, 0}) {
            decoder->ResetScratchHighWater();
            sound::TonalwaveFrameRecord frame = code == 15
                                                    ? sound::TonalwaveFrameRecord{}
                                                    : tonalwavetest::RandomRecord(decoder->Layout(), code, random);
            frame.windowCode = code;
            if (code != 15)
                frame.bandwidthCode = 3;
            ASSERT_TRUE(decoder->DecodeFrame(frame, out));
            const size_t mark = decoder->ScratchHighWaterBytes();
            RecordProperty(std::string(sound::NameOf(model)) + "_code" + std::to_string(code), static_cast<int>(mark));
            std::printf("scratch high water %s code %d: %zu bytes\n", sound::NameOf(model), code, mark);
            EXPECT_LT(mark * 2, sound::kTonalwaveDecoderScratchBytes); // at least a factor of two to spare
        }
        std::printf("decoder memory %s: %zu bytes\n", sound::NameOf(model), decoder->MemoryBytes());
    }
}

TEST(TonalwaveThreads, TwoDecodersOnTwoThreadsAgreeWithOne)
{
    std::mt19937 random(37);
    std::vector<int> codes;
    for (int i = 0; i < 40; ++i)
        codes.push_back(i % 9);
    codes[20] = 15;
    const std::vector<uint8_t> stream = tonalwavetest::RandomStoredStream(TonalwaveModel::kAcs48, codes, random);
    const looptest::TonalwaveDecodedSound reference = looptest::DecodeTonalwaveSlots(TonalwaveModel::kAcs48, stream);
    ASSERT_TRUE(reference.error.empty());
    looptest::TonalwaveDecodedSound first;
    looptest::TonalwaveDecodedSound second;
    std::thread a([&] { first = looptest::DecodeTonalwaveSlots(TonalwaveModel::kAcs48, stream); });
    std::thread b([&] { second = looptest::DecodeTonalwaveSlots(TonalwaveModel::kAcs48, stream); });
    a.join();
    b.join();
    EXPECT_EQ(first.samples, reference.samples);
    EXPECT_EQ(second.samples, reference.samples);
}

TEST(TonalwaveSlots, LostListAndShortLastSlot)
{
    std::mt19937 random(43);
    const std::vector<int> codes = {0, 0, 0, 0};
    std::vector<uint8_t> stream = tonalwavetest::RandomStoredStream(TonalwaveModel::kAc8, codes, random);
    const std::vector<size_t> lost = {2, 3};
    const looptest::TonalwaveDecodedSound whole = looptest::DecodeTonalwaveSlots(TonalwaveModel::kAc8, stream);
    const looptest::TonalwaveDecodedSound concealed =
        looptest::DecodeTonalwaveSlots(TonalwaveModel::kAc8, stream, lost);
    ASSERT_EQ(whole.samples.size(), 4u * 512);
    EXPECT_TRUE(std::equal(whole.samples.begin(), whole.samples.begin() + 1024, concealed.samples.begin()));
    EXPECT_FALSE(std::equal(whole.samples.begin() + 1024, whole.samples.end(), concealed.samples.begin() + 1024));
    stream.erase(stream.end() - 500, stream.end()); // the last slot keeps its first 58 bytes
    EXPECT_EQ(looptest::DecodeTonalwaveSlots(TonalwaveModel::kAc8, stream).frames, 4u);
    stream[2] = 2; // two channels for a mono model
    EXPECT_FALSE(looptest::DecodeTonalwaveSlots(TonalwaveModel::kAc8, stream).error.empty());
}

} // namespace
