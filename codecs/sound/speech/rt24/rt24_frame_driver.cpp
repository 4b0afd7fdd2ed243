#include "codecs/sound/speech/rt24/rt24_frame_driver.h"

#include <algorithm>
#include <memory>
#include <new>

#include "codecs/sound/speech/rt24/rt24_codec.h"
#include "codecs/sound/speech/rt24/rt24_format.h"
#include "platform/base/endian.h"

namespace sound {

namespace {

constexpr uint16_t kRingBytes = 9; // ceil(54 / 8) + 2
constexpr int kRefillBytes = 7;

// Appends bit fields least significant bit first.
class BitAppender {
public:
    explicit BitAppender(std::vector<uint8_t>& out) : m_out(out) {}
    void Append(const uint8_t* bytes, uint32_t bits)
    {
        for (uint32_t i = 0; i < bits; ++i) {
            if (m_pending == 0)
                m_out.push_back(0);
            const uint32_t bit = (bytes[i / 8] >> (i % 8)) & 1u;
            m_out.back() = static_cast<uint8_t>(m_out.back() | (bit << m_pending));
            m_pending = (m_pending + 1) % 8;
        }
    }

private:
    std::vector<uint8_t>& m_out;
    uint32_t m_pending = 0; // bits used in the last byte
};

struct HandleCloser {
    CodecResult (*close)(std::unique_ptr<CodecHandle>*);
    std::unique_ptr<CodecHandle>* handle;
    ~HandleCloser()
    {
        if (*handle)
            close(handle);
    }
};

// Fills the ring up to seven unread bytes from the frames; false once the frames are used up.
bool RefillRing(CodecIO& io, std::span<const uint8_t> frames, size_t& next)
{
    io.endBit = 0;
    int unread = io.endByte >= io.startByte ? io.endByte - io.startByte : io.codedSize - io.startByte + io.endByte;
    if (io.startBit != 0)
        --unread;
    const int want = std::min(kRefillBytes - unread, io.codedSize - 1);
    for (int i = 0; i < want; ++i) {
        if (next >= frames.size())
            return false;
        io.coded[io.endByte] = frames[next++];
        io.endByte = static_cast<uint16_t>((io.endByte + 1) % io.codedSize);
    }
    return next < frames.size();
}

} // namespace

Rt24Encoded Rt24EncodeSamples(std::span<const int16_t> samples)
{
    Rt24Encoded encoded;
    std::unique_ptr<CodecHandle> handle;
    encoded.result = Rt24EncoderOpen(&handle);
    if (encoded.result != kCodecOk)
        return encoded;
    const HandleCloser closer{Rt24EncoderClose, &handle};
    const size_t soundFrames = samples.size() / kRt24FrameSamples + 1;
    BitAppender appender(encoded.frames);
    try {
        encoded.frames.reserve((soundFrames + kRt24TrailingFrames) * kRt24FrameBits / 8 + 1);
        for (size_t f = 0; f < soundFrames + kRt24TrailingFrames; ++f) {
            int16_t pcm[kRt24FrameSamples] = {};
            const size_t at = f * kRt24FrameSamples;
            if (at < samples.size()) {
                const size_t take = std::min<size_t>(kRt24FrameSamples, samples.size() - at);
                std::copy_n(samples.begin() + static_cast<ptrdiff_t>(at), take, pcm);
            }
            uint8_t coded[kRingBytes] = {};
            CodecIO io;
            io.samples = pcm;
            io.coded = coded;
            io.codedSize = kRingBytes;
            encoded.result = Rt24Encode(handle.get(), &io);
            if (encoded.result != kCodecOk)
                return encoded;
            appender.Append(coded, uint32_t{io.endByte} * 8 + io.endBit);
            ++encoded.frameCount;
        }
    } catch (const std::bad_alloc&) {
        encoded.result = kCodecOutOfMemory;
    }
    return encoded;
}

Rt24Decoded Rt24DecodeFrames(std::span<const uint8_t> frames, const Rt24DecodeOptions& options)
{
    Rt24Decoded decoded;
    std::unique_ptr<CodecHandle> handle;
    decoded.result = Rt24DecoderOpen(&handle);
    if (decoded.result != kCodecOk)
        return decoded;
    const HandleCloser closer{Rt24DecoderClose, &handle};
    decoded.result = Rt24SetTimeScale(handle.get(), options.timeScale);
    if (decoded.result != kCodecOk)
        return decoded;
    uint8_t ring[kRingBytes] = {};
    int16_t pcm[kRt24FrameSamples] = {};
    CodecIO io;
    io.samples = pcm;
    io.coded = ring;
    io.codedSize = kRingBytes;
    size_t next = 0;
    try {
        for (;;) {
            RefillRing(io, frames, next);
            uint8_t needFrame = 0;
            Rt24GetNeedFrame(handle.get(), &needFrame);
            if (needFrame != 0) {
                // Never ask for a frame the ring does not hold whole: it would decode padding and stale bytes.
                if (CountFrames(io, kRt24FrameBits) == 0)
                    break;
                const bool lost = std::find(options.lostFrames.begin(), options.lostFrames.end(), decoded.frameCount) !=
                                  options.lostFrames.end();
                if (lost) {
                    Rt24MarkFrameLost(handle.get());
                    Rt24SkipFrames(handle.get(), &io, 1, &io.startByte, &io.startBit);
                }
                ++decoded.frameCount;
            }
            decoded.result = Rt24Decode(handle.get(), &io);
            if (decoded.result != kCodecOk)
                return decoded;
            decoded.samples.insert(decoded.samples.end(), pcm, pcm + io.sampleCount);
        }
    } catch (const std::bad_alloc&) {
        decoded.result = kCodecOutOfMemory;
    }
    return decoded;
}

std::vector<uint8_t> Rt24StoredData(std::span<const uint8_t> frames)
{
    std::vector<uint8_t> stored(kRt24StoredHeaderBytes + frames.size());
    pf::storeU16le(&stored[0], 16);
    pf::storeU16le(&stored[2], 1);
    pf::storeU32le(&stored[4], kRt24SampleRate);
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
    const uint16_t bits = pf::loadU16le(&stored[0]);
    const uint16_t channels = pf::loadU16le(&stored[2]);
    const uint32_t rate = pf::loadU32le(&stored[4]);
    if (bits != 16 || channels != 1 || rate != kRt24SampleRate) {
        outError = "not RT24 data: " + std::to_string(bits) + " bits, " + std::to_string(channels) + " channels, " +
                   std::to_string(rate) + " Hz (RT24 carries 16 bits, 1 channel, 8000 Hz)";
        return false;
    }
    outFrames = stored.subspan(kRt24StoredHeaderBytes);
    return true;
}

} // namespace sound
