#include "codecs/sound/speech/sc36/sc36_frame_driver.h"

#include <algorithm>
#include <memory>
#include <new>

#include "codecs/sound/speech/sc36/sc36_codec.h"
#include "platform/base/endian.h"

namespace sound {

namespace {

constexpr uint16_t kRingBytes = 64;

struct HandleCloser {
    CodecResult (*close)(std::unique_ptr<CodecHandle>*);
    std::unique_ptr<CodecHandle>* handle;
    ~HandleCloser()
    {
        if (*handle)
            close(handle);
    }
};

// Tops the ring up with whole bytes, leaving one byte free so that full never looks empty.
void RefillRing(CodecIO& io, std::span<const uint8_t> frames, size_t& next)
{
    for (;;) {
        const uint16_t after = static_cast<uint16_t>((io.endByte + 1) % io.codedSize);
        if (after == io.startByte || next >= frames.size())
            return;
        io.coded[io.endByte] = frames[next++];
        io.endByte = after;
    }
}

template <Sc36Variant V> Sc36Encoded EncodeWith(std::span<const int16_t> samples, bool switched)
{
    Sc36Encoded encoded;
    std::unique_ptr<CodecHandle> handle;
    encoded.result = Sc36EncoderOpen<V>(&handle);
    if (encoded.result != kCodecOk)
        return encoded;
    const HandleCloser closer{Sc36EncoderClose<V>, &handle};
    const size_t soundFrames = (samples.size() + kSc36FrameSamples - 1) / kSc36FrameSamples;
    try {
        for (size_t f = 0; f < soundFrames + kSc36TrailingFrames; ++f) {
            if (switched && f % kSc36SwitchFrames == 0) {
                encoded.result = Sc36SetEncoderLayers(handle.get(), (f / kSc36SwitchFrames) % 2 == 0 ? 3u : 1u);
                if (encoded.result != kCodecOk)
                    return encoded;
            }
            int16_t pcm[kSc36FrameSamples] = {};
            const size_t at = f * kSc36FrameSamples;
            if (at < samples.size())
                std::copy_n(samples.begin() + static_cast<ptrdiff_t>(at),
                            std::min<size_t>(kSc36FrameSamples, samples.size() - at), pcm);
            uint8_t coded[32] = {};
            CodecIO io;
            io.samples = pcm;
            io.coded = coded;
            io.codedSize = sizeof coded;
            encoded.result = Sc36Encode<V>(handle.get(), &io);
            if (encoded.result != kCodecOk)
                return encoded;
            encoded.frames.insert(encoded.frames.end(), coded, coded + io.endByte);
            ++encoded.frameCount;
        }
    } catch (const std::bad_alloc&) {
        encoded.result = kCodecOutOfMemory;
    }
    return encoded;
}

template <Sc36Variant V> Sc36Decoded DecodeWith(std::span<const uint8_t> frames, const Sc36DecodeOptions& options)
{
    Sc36Decoded decoded;
    std::unique_ptr<CodecHandle> handle;
    decoded.result = Sc36DecoderOpen<V>(&handle);
    if (decoded.result != kCodecOk)
        return decoded;
    const HandleCloser closer{Sc36DecoderClose<V>, &handle};
    decoded.result = Sc36SetTimeScale(handle.get(), options.timeScale);
    if (decoded.result != kCodecOk)
        return decoded;
    uint8_t ring[kRingBytes] = {};
    int16_t pcm[kSc36FrameSamples] = {};
    CodecIO io;
    io.samples = pcm;
    io.coded = ring;
    io.codedSize = kRingBytes;
    size_t next = 0;
    try {
        for (;;) {
            RefillRing(io, frames, next);
            uint8_t needed = 0;
            Sc36IsFrameNeeded(handle.get(), &needed);
            if (needed != 0) {
                uint16_t end = 0;
                uint8_t flag = 0;
                if (Sc36FindFrames(handle.get(), &io, 1, &end, &flag) != kCodecOk)
                    break;
                if (std::find(options.lostFrames.begin(), options.lostFrames.end(), decoded.frameCount) !=
                    options.lostFrames.end()) {
                    Sc36MarkFrameLost(handle.get());
                    io.startByte = end;
                }
                ++decoded.frameCount;
            }
            decoded.result = Sc36Decode<V>(handle.get(), &io);
            if (decoded.result != kCodecOk)
                return decoded;
            decoded.samples.insert(decoded.samples.end(), pcm, pcm + io.sampleCount);
        }
    } catch (const std::bad_alloc&) {
        decoded.result = kCodecOutOfMemory;
    }
    return decoded;
}

} // namespace

Sc36Encoded Sc36EncodeSamples(std::span<const int16_t> samples, Sc36StreamVariant variant)
{
    if (variant == Sc36StreamVariant::k3200)
        return EncodeWith<Sc36Variant::k3200>(samples, false);
    return EncodeWith<Sc36Variant::k6400>(samples, variant == Sc36StreamVariant::kSwitched);
}

Sc36Decoded Sc36DecodeFrames(std::span<const uint8_t> frames, Sc36StreamVariant variant,
                             const Sc36DecodeOptions& options)
{
    if (variant == Sc36StreamVariant::k3200)
        return DecodeWith<Sc36Variant::k3200>(frames, options);
    return DecodeWith<Sc36Variant::k6400>(frames, options);
}

std::vector<uint8_t> Sc36StoredData(Sc36StreamVariant variant, std::span<const uint8_t> frames)
{
    std::vector<uint8_t> stored(kSc36StoredHeaderBytes + frames.size());
    stored[0] = static_cast<uint8_t>(variant);
    pf::storeU16le(&stored[1], 16);
    pf::storeU16le(&stored[3], 1);
    pf::storeU32le(&stored[5], kSc36SampleRate);
    std::copy(frames.begin(), frames.end(), stored.begin() + kSc36StoredHeaderBytes);
    return stored;
}

bool SplitSc36StoredData(std::span<const uint8_t> stored, Sc36StreamVariant& outVariant,
                         std::span<const uint8_t>& outFrames, std::string& outError)
{
    outFrames = {};
    if (stored.size() < kSc36StoredHeaderBytes) {
        outError = "shorter than its 9-byte header";
        return false;
    }
    if (stored[0] > 2) {
        outError = "unknown SC36 variant " + std::to_string(stored[0]) + " (0, 1 or 2)";
        return false;
    }
    const uint16_t bits = pf::loadU16le(&stored[1]);
    const uint16_t channels = pf::loadU16le(&stored[3]);
    const uint32_t rate = pf::loadU32le(&stored[5]);
    if (bits != 16 || channels != 1 || rate != kSc36SampleRate) {
        outError = "not SC36 data: " + std::to_string(bits) + " bits, " + std::to_string(channels) + " channels, " +
                   std::to_string(rate) + " Hz (SC36 carries 16 bits, 1 channel, 8000 Hz)";
        return false;
    }
    outVariant = static_cast<Sc36StreamVariant>(stored[0]);
    outFrames = stored.subspan(kSc36StoredHeaderBytes);
    return true;
}

} // namespace sound
