#include "codecs/sound/speech/sc36/sc36_stream.h"

#include <algorithm>
#include <array>
#include <memory>

#include "codecs/sound/codec_handle.h"
#include "codecs/sound/speech/sc36/sc36_codec.h"
#include "codecs/sound/stored_sound_format.h"

namespace sound {

namespace {

static_assert(kSc36StoredHeaderBytes == 1 + kStoredSoundFormatBytes); // the variant byte, then the format

constexpr size_t kPcmBytes = 2 * kSc36FrameSamples;
constexpr size_t kCodedBytes = 20;
constexpr size_t kReadBytes = kSc36WindowBytes - 1;
// At time scale 1 a decode call uses one frame; more calls than this for one frame mean the decoder is stuck.
constexpr int kMaxCallsPerFrame = 8;

template <Sc36Variant V> FrameLoopResult Encode(WaveFrameSource& source, WaveFrameSink& sink, bool layerSwitching)
{
    FrameLoopResult result;
    std::unique_ptr<CodecHandle> encoder;
    if (Sc36EncoderOpen<V>(&encoder) != kCodecOk)
        return result;
    const HandleCloser closer{Sc36EncoderClose<V>, &encoder};

    std::array<uint8_t, kPcmBytes> bytes;
    std::array<int16_t, kSc36FrameSamples> pcm;
    std::array<uint8_t, kCodedBytes> coded;
    uint32_t layerMask = 1;
    const bool widen = source.HasEightBitSamples();
    bool sourceEnded = false;
    int flushLeft = kSc36FlushFrames;
    for (uint32_t frame = 0; flushLeft > 0 && !result.sinkFailed; ++frame) {
        if (layerSwitching && frame % kSc36SwitchFrames == 0) {
            layerMask = layerMask == 1 ? 3 : 1;
            Sc36SetEncoderLayers(encoder.get(), layerMask);
        }
        bytes.fill(0);
        if (!sourceEnded) {
            const size_t got = ReadWhole(source, bytes.data(), bytes.size(), widen) & ~size_t{1};
            sourceEnded = got < bytes.size(); // this frame is the sound's last, filled up from its last sample
        } else {
            --flushLeft;
        }
        LoadSamples(bytes.data(), pcm.size(), pcm.data());
        coded.fill(0);
        CodecIO io;
        io.samples = pcm.data();
        io.coded = coded.data();
        io.codedSize = static_cast<uint16_t>(coded.size());
        if (Sc36Encode<V>(encoder.get(), &io) != kCodecOk)
            ++result.damagedFrames;
        ++result.frames;
        if (io.endByte > 0 && !sink.Write(coded.data(), io.endByte))
            result.sinkFailed = true;
    }
    result.endedCleanly = !source.HasFailed();
    result.done = true;
    return result;
}

class Sc36Decoding {
public:
    Sc36Decoding(CodecHandle& decoder, WaveFrameSink& sink, FrameLoopResult& result,
                 std::span<const uint32_t> lostFrames)
        : m_decoder(decoder), m_sink(sink), m_result(result), m_lostFrames(lostFrames)
    {
        m_io.samples = m_pcm.data();
        m_io.coded = m_window.data();
        m_io.codedSize = static_cast<uint16_t>(m_window.size());
    }

    template <Sc36Variant V> void Run(WaveFrameSource& source)
    {
        size_t unused = 0;
        for (;;) {
            if (unused > 0)
                source.StepBack(-static_cast<int64_t>(unused));
            // The window's end is what the read really brought: bytes past it are the previous window's.
            const size_t held = ReadWhole(source, m_window.data(), kReadBytes, false);
            m_io.startByte = 0;
            m_io.startBit = 0;
            m_io.endByte = static_cast<uint16_t>(held);
            m_io.endBit = 0;
            if (held == 0 || !Pass<V>())
                break;
            unused = held - m_io.startByte;
        }
        m_result.endedCleanly = m_io.endByte == m_io.startByte && !source.HasFailed() && !m_result.sinkFailed;
    }

private:
    // One frame of the window. False: nothing used or skipped, which ends the stream.
    template <Sc36Variant V> bool Pass()
    {
        uint32_t whole = 0;
        uint16_t end = 0;
        uint8_t flag = 0;
        Sc36CountFrames(&m_decoder, &m_io, &whole, &end, &flag);
        if (whole == 0)
            return ConcealIfMalformed<V>();
        if (std::find(m_lostFrames.begin(), m_lostFrames.end(), m_result.frames) != m_lostFrames.end()) {
            Sc36FindFrames(&m_decoder, &m_io, 1, &end, &flag);
            Sc36MarkFrameLost(&m_decoder);
            m_io.startByte = end;
        }
        for (int call = 0; call < kMaxCallsPerFrame; ++call) {
            const uint16_t before = m_io.startByte;
            if (Sc36Decode<V>(&m_decoder, &m_io) != kCodecOk && m_io.startByte == before)
                return ConcealIfMalformed<V>();
            if (!Emit())
                return false;
            uint8_t needed = 0;
            Sc36IsFrameNeeded(&m_decoder, &needed);
            if (needed != 0)
                break;
        }
        ++m_result.frames;
        return m_io.startByte > 0;
    }

    // A chain of layers that does not end where the table says (a continuation bit set on the last layer) would
    // stop the decoder before it uses a byte: the base layer is stepped over and the frame concealed.
    template <Sc36Variant V> bool ConcealIfMalformed()
    {
        uint16_t end = 0;
        uint8_t flag = 0;
        const uint16_t held = static_cast<uint16_t>(m_io.endByte - m_io.startByte);
        if (Sc36FindFrames(&m_decoder, &m_io, 1, &end, &flag) != kCodecBadFrame || held < kSc36LayerBytes)
            return false;
        ++m_result.damagedFrames;
        ++m_result.frames;
        m_io.startByte = static_cast<uint16_t>(m_io.startByte + kSc36LayerBytes);
        Sc36MarkFrameLost(&m_decoder);
        Sc36Decode<V>(&m_decoder, &m_io);
        return Emit();
    }

    bool Emit()
    {
        const size_t count = std::min<size_t>(m_io.sampleCount, m_pcm.size());
        if (count == 0)
            return true;
        std::array<uint8_t, kPcmBytes> bytes;
        StoreSamples(m_pcm.data(), count, bytes.data());
        if (!m_sink.Write(bytes.data(), 2 * count))
            m_result.sinkFailed = true;
        return !m_result.sinkFailed;
    }

    CodecHandle& m_decoder;                 // the caller's, open for the whole run
    WaveFrameSink& m_sink;                  // the caller's
    FrameLoopResult& m_result;              // the caller's
    std::span<const uint32_t> m_lostFrames; // the caller's
    std::array<uint8_t, kSc36WindowBytes> m_window{};
    std::array<int16_t, kSc36FrameSamples> m_pcm{};
    CodecIO m_io;
};

template <Sc36Variant V>
FrameLoopResult Decode(WaveFrameSource& source, WaveFrameSink& sink, const Sc36DecodeOptions& options)
{
    FrameLoopResult result;
    std::unique_ptr<CodecHandle> decoder;
    if (Sc36DecoderOpen<V>(&decoder) != kCodecOk)
        return result;
    const HandleCloser closer{Sc36DecoderClose<V>, &decoder};
    result.codecResult = Sc36SetTimeScale(decoder.get(), options.timeScale);
    if (result.codecResult != kCodecOk)
        return result;
    if (!source.SetHistory(kSc36HistoryBytes))
        return result;
    Sc36Decoding decoding(*decoder, sink, result, options.lostFrames);
    decoding.Run<V>(source);
    result.done = true;
    return result;
}

} // namespace

Sc36RateFlags Sc36RateFlagsOf(uint8_t variant)
{
    switch (variant) {
    case 0:
        return {false, false};
    case 1:
        return {false, true};
    case 2:
        return {true, false};
    default:
        return {}; // the start values: layers switched at 6400 bit/s entry points
    }
}

FrameLoopResult Sc36EncodeStream(uint32_t /*schemeId*/, WaveFrameSource& source, WaveFrameSink& sink, uint8_t variant)
{
    const Sc36RateFlags flags = Sc36RateFlagsOf(variant);
    if (flags.UsesFullRateCodec())
        return Encode<Sc36Variant::k6400>(source, sink, flags.layerSwitching);
    return Encode<Sc36Variant::k3200>(source, sink, false);
}

FrameLoopResult Sc36DecodeStream(uint32_t /*schemeId*/, WaveFrameSource& source, WaveFrameSink& sink, uint8_t variant,
                                 const Sc36DecodeOptions& options)
{
    if (Sc36RateFlagsOf(variant).UsesFullRateCodec())
        return Decode<Sc36Variant::k6400>(source, sink, options);
    return Decode<Sc36Variant::k3200>(source, sink, options);
}

std::vector<uint8_t> Sc36StoredData(Sc36StreamVariant variant, std::span<const uint8_t> frames)
{
    std::vector<uint8_t> stored(kSc36StoredHeaderBytes + frames.size());
    stored[0] = static_cast<uint8_t>(variant);
    WriteStoredSoundFormat(&stored[1], 1, kSc36SampleRate);
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
    if (!CheckStoredSpeechFormat(&stored[1], "SC36", kSc36SampleRate, outError))
        return false;
    outVariant = static_cast<Sc36StreamVariant>(stored[0]);
    outFrames = stored.subspan(kSc36StoredHeaderBytes);
    return true;
}

} // namespace sound
