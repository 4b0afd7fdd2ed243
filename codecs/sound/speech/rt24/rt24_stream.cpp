#include "codecs/sound/speech/rt24/rt24_stream.h"

#include <algorithm>
#include <array>
#include <memory>

#include "codecs/sound/codec_handle.h"
#include "codecs/sound/speech/bit_ring.h"
#include "codecs/sound/speech/rt24/rt24_codec.h"
#include "codecs/sound/speech/rt24/rt24_format.h"
#include "codecs/sound/stored_sound_format.h"

namespace sound {

namespace {

static_assert(kRt24StoredHeaderBytes == kStoredSoundFormatBytes);

constexpr uint32_t kSchemeId = SchemeIdOf("7491");
constexpr uint16_t kRingBytes = (kRt24FrameBits + 7) / 8 + 2;
constexpr int kRefillBytes = 7;
constexpr size_t kPcmBytes = 2 * kRt24FrameSamples;
// At time scale 1 every decode call reads a frame; a decoder that keeps calling without reading is stuck.
constexpr int kMaxCallsWithoutFrame = 8;

// Tops the ring up to seven unread bytes; false once the source has no more.
bool RefillRing(CodecIO& io, WaveFrameSource& source)
{
    io.endBit = 0;
    int unread = io.endByte >= io.startByte ? io.endByte - io.startByte : io.codedSize - io.startByte + io.endByte;
    if (io.startBit != 0)
        --unread;
    const int want = std::min(kRefillBytes - unread, io.codedSize - 1);
    for (int i = 0; i < want; ++i) {
        size_t count = 0;
        if (!source.Read(io.coded + io.endByte, 1, count, false) || count == 0)
            return false;
        io.endByte = static_cast<uint16_t>((io.endByte + 1) % io.codedSize);
    }
    return true;
}

uint32_t BitsHeld(const CodecIO& io)
{
    const uint32_t bytes = (io.endByte + io.codedSize - io.startByte) % io.codedSize;
    return bytes * 8 + io.endBit - io.startBit;
}

} // namespace

bool Rt24PackBits(std::span<const uint8_t> bytes, WaveFrameSink& sink, uint32_t bitCount, bool flush,
                  Rt24BitPacker& packer)
{
    std::array<uint8_t, 64> out;
    size_t held = 0;
    bool written = true;
    const auto emit = [&](uint8_t byte) {
        out[held++] = byte;
        if (held == out.size()) {
            written = sink.Write(out.data(), held) && written;
            held = 0;
        }
    };
    const auto sourceByte = [&](size_t index) -> uint32_t { return index < bytes.size() ? bytes[index] : 0u; };

    const uint32_t k = packer.pendingBits;
    uint32_t t = bitCount + k;
    size_t next = 0;
    while (t > 8) {
        const uint32_t byte = sourceByte(next++);
        emit(static_cast<uint8_t>(packer.accumulator | (byte << k)));
        packer.accumulator = static_cast<uint8_t>(byte >> (8 - k)); // k 0 leaves nothing over
        t -= 8;
    }
    if (t > k)
        packer.accumulator = static_cast<uint8_t>(packer.accumulator | (sourceByte(next) << k));
    packer.pendingBits = t;
    if (flush && packer.pendingBits >= 1) {
        emit(packer.accumulator);
        packer = {};
    }
    if (held > 0)
        written = sink.Write(out.data(), held) && written;
    return written;
}

FrameLoopResult Rt24EncodeStream(uint32_t schemeId, WaveFrameSource& source, WaveFrameSink& sink)
{
    FrameLoopResult result;
    if (schemeId != kSchemeId)
        return result;
    std::unique_ptr<CodecHandle> encoder;
    if (Rt24EncoderOpen(&encoder) != kCodecOk)
        return result;
    const HandleCloser closer{Rt24EncoderClose, &encoder};

    Rt24BitPacker packer;
    std::array<uint8_t, kPcmBytes> bytes;
    std::array<int16_t, kRt24FrameSamples> pcm;
    std::array<uint8_t, kRingBytes> coded;
    const auto codeFrame = [&](bool flush) {
        coded.fill(0); // the packer relies on bits above the frame being zero
        CodecIO io;
        io.samples = pcm.data();
        io.coded = coded.data();
        io.codedSize = kRingBytes;
        if (Rt24Encode(encoder.get(), &io) != kCodecOk)
            ++result.damagedFrames;
        ++result.frames;
        if (!Rt24PackBits(coded, sink, uint32_t{io.endByte} * 8 + io.endBit, flush, packer))
            result.sinkFailed = true;
    };

    const bool widen = source.HasEightBitSamples();
    for (bool last = false; !last && !result.sinkFailed;) {
        bytes.fill(0);
        const size_t got = ReadWhole(source, bytes.data(), bytes.size(), widen) & ~size_t{1};
        last = got < bytes.size(); // a count that is a multiple of 180 ends with a silent frame
        LoadSamples(bytes.data(), pcm.size(), pcm.data());
        codeFrame(false);
    }
    pcm.fill(0);
    for (int i = 0; i < kRt24FlushFrames; ++i)
        codeFrame(i == kRt24FlushFrames - 1);
    result.endedCleanly = !source.HasFailed();
    result.done = true;
    return result;
}

FrameLoopResult Rt24DecodeStream(uint32_t schemeId, WaveFrameSource& source, WaveFrameSink& sink,
                                 const Rt24DecodeOptions& options)
{
    FrameLoopResult result;
    if (schemeId != kSchemeId)
        return result;
    std::unique_ptr<CodecHandle> decoder;
    if (Rt24DecoderOpen(&decoder) != kCodecOk)
        return result;
    const HandleCloser closer{Rt24DecoderClose, &decoder};

    std::array<uint8_t, kRingBytes> ring{};
    std::array<int16_t, kRt24FrameSamples> pcm{};
    std::array<uint8_t, kPcmBytes> bytes;
    CodecIO io;
    io.samples = pcm.data();
    io.coded = ring.data();
    io.codedSize = kRingBytes;
    result.codecResult = Rt24SetTimeScale(decoder.get(), options.timeScale);
    if (result.codecResult != kCodecOk)
        return result;
    bool sourceLeft = true;
    int callsWithoutFrame = 0;
    for (;;) {
        if (sourceLeft)
            sourceLeft = RefillRing(io, source);
        uint8_t needFrame = 0;
        Rt24GetNeedFrame(decoder.get(), &needFrame);
        // A frame asked for must be whole in the ring: otherwise the decoder would read padding and stale bytes.
        if (needFrame != 0 && CountFrames(io, kRt24FrameBits) == 0)
            break;
        callsWithoutFrame = needFrame != 0 ? 0 : callsWithoutFrame + 1;
        if (callsWithoutFrame > kMaxCallsWithoutFrame)
            break;
        if (needFrame != 0 && std::find(options.lostFrames.begin(), options.lostFrames.end(), result.frames) !=
                                  options.lostFrames.end()) {
            Rt24MarkFrameLost(decoder.get());
            Rt24SkipFrames(decoder.get(), &io, 1, &io.startByte, &io.startBit);
        }
        if (Rt24Decode(decoder.get(), &io) != kCodecOk) {
            ++result.damagedFrames;
            break;
        }
        result.frames += needFrame != 0 ? 1 : 0;
        const size_t count = std::min<size_t>(io.sampleCount, pcm.size());
        StoreSamples(pcm.data(), count, bytes.data());
        if (count > 0 && !sink.Write(bytes.data(), 2 * count)) {
            result.sinkFailed = true;
            break;
        }
    }
    // The last frame's byte is padded with fewer than 8 bits; a whole byte more is a frame cut short.
    result.endedCleanly = BitsHeld(io) < 8 && !sourceLeft && !source.HasFailed();
    result.done = true;
    return result;
}

std::vector<uint8_t> Rt24StoredData(std::span<const uint8_t> frames)
{
    std::vector<uint8_t> stored(kRt24StoredHeaderBytes + frames.size());
    WriteStoredSoundFormat(stored.data(), 1, kRt24SampleRate);
    std::copy(frames.begin(), frames.end(), stored.begin() + kRt24StoredHeaderBytes);
    return stored;
}

bool SplitRt24StoredData(std::span<const uint8_t> stored, std::span<const uint8_t>& outFrames, std::string& outError)
{
    outFrames = {};
    if (stored.size() < kRt24StoredHeaderBytes) {
        outError = "shorter than its 8-byte header";
        return false;
    }
    if (!CheckStoredSpeechFormat(stored.data(), "RT24", kRt24SampleRate, outError))
        return false;
    outFrames = stored.subspan(kRt24StoredHeaderBytes);
    return true;
}

} // namespace sound
