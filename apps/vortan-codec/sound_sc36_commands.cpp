// vortan-codec sound ... for the SC36 speech codec (8000 Hz mono, 3200 and 6400 bit/s):
//   sound encode sc3|sc6|sc3-6 IN.wav OUT.bin   through the row "7490": u8 variant, u16 bits, u16 channels, u32 rate,
//                                               frames
//   sound decode sc3|sc6|sc3-6 IN.bin OUT.wav [--time-scale X] [--lose LIST]   through the row, or with an option the
//                                               loop directly
//   sound sc36-layers info IN.bin | extract MASK IN.bin OUT.bin | merge IN1.bin IN2.bin OUT.bin
//   sound trace sc36 IN.wav                      per frame the voicing and energy the registry names, and the indices
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "apps/vortan-codec/command_table.h"
#include "apps/vortan-codec/sound_scheme_commands.h"
#include "apps/vortan-codec/speech_tool_io.h"
#include "apps/vortan-codec/tool_io.h"
#include "codecs/sound/speech/probe_registry.h"
#include "codecs/sound/speech/sc36/sc36_codec.h"
#include "codecs/sound/speech/sc36/sc36_format.h"
#include "codecs/sound/speech/sc36/sc36_stream.h"
#include "codecs/sound/wave_frame_stream.h"
#include "platform/base/atomic_file.h"

namespace {

using codectool::kExitDone;
using codectool::kExitFailed;
using codectool::kExitRefused;
using codectool::kExitUsage;
using codectool::ReportError;
using sound::Sc36StreamVariant;

constexpr uint32_t kSc36Scheme = sound::SchemeIdOf("7490");
constexpr codectool::TimeScaleRange kSc36TimeScales{0.5f, 5.0f};
// Stream operations work on rings addressed by 16-bit positions, so a file goes through them this many bytes at a
// time; every chunk ends on a frame boundary.
constexpr uint16_t kChunkBytes = 4096;

struct CodecWord {
    const char* word;
    Sc36StreamVariant variant;
};
constexpr CodecWord kWords[] = {
    {"sc3", Sc36StreamVariant::k3200},
    {"sc6", Sc36StreamVariant::k6400},
    {"sc3-6", Sc36StreamVariant::kSwitched},
};

std::optional<Sc36StreamVariant> VariantOfWord(const char* word)
{
    for (const CodecWord& entry : kWords)
        if (std::strcmp(entry.word, word) == 0)
            return entry.variant;
    return std::nullopt;
}

const char* WordOfVariant(Sc36StreamVariant variant)
{
    for (const CodecWord& entry : kWords)
        if (entry.variant == variant)
            return entry.word;
    return "?";
}

int EncodeCommand(std::span<char* const> args)
{
    return EncodeThroughScheme(args); // what a world stores, the word setting the variant
}

// Reads IN.bin of a stored SC36 sound; false, with outError naming the file, for anything that is not one.
bool LoadStored(const std::string& path, const char* verb, std::vector<uint8_t>& outStored,
                Sc36StreamVariant& outVariant, std::span<const uint8_t>& outFrames, std::string& outError)
{
    std::optional<std::vector<uint8_t>> stored = codectool::ReadWholeFile(path, outError);
    if (!stored)
        return false;
    outStored = std::move(*stored);
    if (!sound::SplitSc36StoredData(outStored, outVariant, outFrames, outError)) {
        outError = "cannot " + std::string(verb) + " " + path + ": " + outError;
        return false;
    }
    return true;
}

int DecodeCommand(std::span<char* const> args)
{
    const char* const usage =
        "usage: vortan-codec sound decode sc3|sc6|sc3-6 IN.bin OUT.wav [--time-scale X] [--lose LIST]";
    if (args.size() < 3 || !VariantOfWord(args[0]))
        return ReportError(kExitUsage, usage);
    if (args.size() == 3)
        return DecodeThroughScheme(args); // as a world reads it; the options run the loop directly
    std::string error;
    std::optional<codectool::SpeechDecodeOptions> parsed =
        codectool::ParseSpeechDecodeOptions(args.subspan(3), kSc36TimeScales, usage, error);
    if (!parsed)
        return ReportError(kExitUsage, error);
    sound::Sc36DecodeOptions options;
    options.timeScale = parsed->timeScale;
    options.lostFrames = std::move(parsed->lostFrames);
    std::vector<uint8_t> stored;
    Sc36StreamVariant variant = Sc36StreamVariant::k3200;
    std::span<const uint8_t> frames;
    if (!LoadStored(args[1], "decode", stored, variant, frames, error))
        return ReportError(kExitRefused, error);
    const bool expected = *VariantOfWord(args[0]) == variant;
    const char* const inPath = args[1];
    const auto decode = [&](sound::WaveFrameSource& source, sound::WaveFrameSink& pcm) {
        // The stored variant decides, as a sound's own variant byte does; the word only names what the caller
        // expects. Said once the output is open, so that a refused output prints nothing.
        if (!expected)
            std::printf("%s holds %s data; decoding it as %s\n", inPath, WordOfVariant(variant),
                        WordOfVariant(variant));
        return sound::Sc36DecodeStream(kSc36Scheme, source, pcm, static_cast<uint8_t>(variant), options);
    };
    return codectool::RunSpeechDecode({inPath, args[2], frames, sound::kSc36FrameSamples}, decode);
}

// A decoder handle only to carry the layer-size table the stream operations read.
struct LayerTool {
    std::unique_ptr<sound::CodecHandle> handle;
    LayerTool() { sound::Sc36DecoderOpen<sound::Sc36Variant::k6400>(&handle); }
    ~LayerTool()
    {
        if (handle)
            sound::Sc36DecoderClose<sound::Sc36Variant::k6400>(&handle);
    }
    LayerTool(const LayerTool&) = delete;
    LayerTool& operator=(const LayerTool&) = delete;
};

// A ring holding bytes[0, count) from position 0, one byte spare so that it is never full. The stream operations
// check the whole record, a sample buffer included, though they never touch one.
struct Chunk {
    std::vector<uint8_t> ring;
    int16_t unusedSamples[1] = {};
    sound::CodecIO io;
    explicit Chunk(std::span<const uint8_t> bytes) : ring(bytes.size() + 1)
    {
        std::copy(bytes.begin(), bytes.end(), ring.begin());
        io.samples = unusedSamples;
        io.coded = ring.data();
        io.codedSize = static_cast<uint16_t>(ring.size());
        io.endByte = static_cast<uint16_t>(bytes.size());
    }
};

// Whole frames at the start of bytes (at most kChunkBytes of them); 0 when the first frame is cut short or broken.
uint32_t WholeFrameBytes(sound::CodecHandle* handle, std::span<const uint8_t> bytes)
{
    Chunk chunk(bytes.first(std::min<size_t>(bytes.size(), kChunkBytes)));
    uint32_t count = 0;
    uint16_t end = 0;
    uint8_t flag = 0;
    if (sound::Sc36CountFrames(handle, &chunk.io, &count, &end, &flag) != sound::kCodecOk)
        return 0;
    return count == 0 ? 0 : end;
}

struct StreamSummary {
    size_t frames = 0;
    uint32_t mask = 0;
};

// Walks the frames; false, with outError, when the bytes end inside a frame or a continuation names no layer.
bool SummariseStream(sound::CodecHandle* handle, std::span<const uint8_t> frames, StreamSummary& out,
                     std::string& outError)
{
    out = {};
    while (!frames.empty()) {
        const uint32_t whole = WholeFrameBytes(handle, frames);
        if (whole == 0) {
            outError = "a frame is cut short or its layers are broken " + std::to_string(frames.size()) +
                       " bytes before the end";
            return false;
        }
        Chunk chunk(frames.first(whole));
        uint32_t count = 0;
        uint16_t end = 0;
        uint8_t flag = 0;
        uint32_t mask = 0;
        if (sound::Sc36CountFrames(handle, &chunk.io, &count, &end, &flag) != sound::kCodecOk ||
            sound::Sc36GetStreamLayers(handle, &chunk.io, &mask) != sound::kCodecOk) {
            outError = "its frames cannot be walked";
            return false;
        }
        out.frames += count;
        out.mask |= mask;
        frames = frames.subspan(whole);
    }
    return true;
}

int LayersInfo(std::span<char* const> args, sound::CodecHandle* handle)
{
    if (args.size() != 2)
        return ReportError(kExitUsage, "usage: vortan-codec sound sc36-layers info IN.bin");
    std::string error;
    std::vector<uint8_t> stored;
    Sc36StreamVariant variant = Sc36StreamVariant::k3200;
    std::span<const uint8_t> frames;
    if (!LoadStored(args[1], "read", stored, variant, frames, error))
        return ReportError(kExitRefused, error);
    StreamSummary summary;
    if (!SummariseStream(handle, frames, summary, error))
        return ReportError(kExitRefused, "cannot read " + std::string(args[1]) + ": " + error);
    const double seconds = static_cast<double>(summary.frames) * sound::kSc36FrameSamples / sound::kSc36SampleRate;
    std::printf("variant %s, frames %zu, layers %u, bit/s %.1f\n", WordOfVariant(variant), summary.frames, summary.mask,
                seconds > 0.0 ? frames.size() * 8.0 / seconds : 0.0);
    return kExitDone;
}

// Every frame's layers of mask, chunk by chunk; false, with outError, for a broken stream.
bool ExtractStream(sound::CodecHandle* handle, std::span<const uint8_t> frames, uint32_t mask,
                   std::vector<uint8_t>& out, std::string& outError)
{
    out.clear();
    std::vector<uint8_t> ring(2 * kChunkBytes + 1);
    while (!frames.empty()) {
        const uint32_t whole = WholeFrameBytes(handle, frames);
        if (whole == 0) {
            outError = "a frame is cut short or its layers are broken " + std::to_string(frames.size()) +
                       " bytes before the end";
            return false;
        }
        Chunk chunk(frames.first(whole));
        sound::CodecIO destination;
        destination.coded = ring.data();
        destination.codedSize = static_cast<uint16_t>(ring.size());
        const sound::CodecResult result = sound::Sc36ExtractLayers(handle, &chunk.io, &destination, mask);
        if (result != sound::kCodecOk) {
            outError = "codec result " + std::to_string(result);
            return false;
        }
        out.insert(out.end(), ring.begin(), ring.begin() + destination.endByte);
        frames = frames.subspan(whole);
    }
    return true;
}

int LayersExtract(std::span<char* const> args, sound::CodecHandle* handle)
{
    if (args.size() != 4)
        return ReportError(kExitUsage, "usage: vortan-codec sound sc36-layers extract MASK IN.bin OUT.bin");
    std::string error;
    const std::optional<int64_t> mask = codectool::ParseNumber(args[1], {"MASK", 1, 3}, error);
    if (!mask)
        return ReportError(kExitUsage, error);
    std::vector<uint8_t> stored;
    Sc36StreamVariant variant = Sc36StreamVariant::k3200;
    std::span<const uint8_t> frames;
    if (!LoadStored(args[2], "read", stored, variant, frames, error))
        return ReportError(kExitRefused, error);
    const std::unique_ptr<pf::AtomicFile> output = codectool::OpenOutput(args[3], error);
    if (!output)
        return ReportError(kExitRefused, error);
    std::vector<uint8_t> extracted;
    if (!ExtractStream(handle, frames, static_cast<uint32_t>(*mask), extracted, error))
        return ReportError(kExitRefused, "cannot extract from " + std::string(args[2]) + ": " + error);
    // The base layers alone are a 3200 bit/s stream; an enhancement layer alone is only good for merging.
    const Sc36StreamVariant outVariant = *mask == 1   ? Sc36StreamVariant::k3200
                                         : *mask == 3 ? variant
                                                      : Sc36StreamVariant::k6400;
    if (!codectool::FinishOutput(*output, sound::Sc36StoredData(outVariant, extracted), error))
        return ReportError(kExitRefused, error);
    std::printf("layers %lld: %zu bytes of %zu\n", static_cast<long long>(*mask), extracted.size(), frames.size());
    return kExitDone;
}

// Frames of base layers and frames of enhancement layers, 8 bytes each, interleaved into frames of both.
bool MergeStreams(sound::CodecHandle* handle, std::span<const uint8_t> base, std::span<const uint8_t> extra,
                  std::vector<uint8_t>& out, std::string& outError)
{
    out.clear();
    constexpr size_t kFramesPerChunk = kChunkBytes / sound::kSc36LayerBytes;
    if (base.size() % sound::kSc36LayerBytes != 0 || extra.size() % sound::kSc36LayerBytes != 0 ||
        base.size() != extra.size()) {
        outError = "the two hold " + std::to_string(base.size()) + " and " + std::to_string(extra.size()) +
                   " bytes, not the same number of 8-byte layers";
        return false;
    }
    std::vector<uint8_t> ring(2 * kChunkBytes + 1);
    while (!base.empty()) {
        const size_t bytes = std::min(base.size(), kFramesPerChunk * sound::kSc36LayerBytes);
        Chunk first(base.first(bytes));
        Chunk second(extra.first(bytes));
        sound::CodecIO destination;
        destination.coded = ring.data();
        destination.codedSize = static_cast<uint16_t>(ring.size());
        const sound::CodecResult result = sound::Sc36MergeLayers(handle, &first.io, &second.io, &destination, 1, 2);
        if (result != sound::kCodecOk) {
            outError = "codec result " + std::to_string(result);
            return false;
        }
        out.insert(out.end(), ring.begin(), ring.begin() + destination.endByte);
        base = base.subspan(bytes);
        extra = extra.subspan(bytes);
    }
    return true;
}

int LayersMerge(std::span<char* const> args, sound::CodecHandle* handle)
{
    if (args.size() != 4)
        return ReportError(kExitUsage, "usage: vortan-codec sound sc36-layers merge IN1.bin IN2.bin OUT.bin");
    std::string error;
    std::vector<uint8_t> stored1;
    std::vector<uint8_t> stored2;
    Sc36StreamVariant variant1 = Sc36StreamVariant::k3200;
    Sc36StreamVariant variant2 = Sc36StreamVariant::k3200;
    std::span<const uint8_t> frames1;
    std::span<const uint8_t> frames2;
    if (!LoadStored(args[1], "read", stored1, variant1, frames1, error) ||
        !LoadStored(args[2], "read", stored2, variant2, frames2, error))
        return ReportError(kExitRefused, error);
    if (variant1 != Sc36StreamVariant::k3200 || variant2 == Sc36StreamVariant::k3200)
        return ReportError(kExitRefused, std::string("cannot merge ") + args[1] + " with " + args[2] +
                                             ": the first must hold base layers (sc3), the second enhancement layers");
    const std::unique_ptr<pf::AtomicFile> output = codectool::OpenOutput(args[3], error);
    if (!output)
        return ReportError(kExitRefused, error);
    std::vector<uint8_t> merged;
    if (!MergeStreams(handle, frames1, frames2, merged, error))
        return ReportError(kExitRefused, std::string("cannot merge ") + args[1] + " with " + args[2] + ": " + error);
    if (!codectool::FinishOutput(*output, sound::Sc36StoredData(Sc36StreamVariant::k6400, merged), error))
        return ReportError(kExitRefused, error);
    std::printf("merged: %zu frames, %zu bytes\n", merged.size() / 16, merged.size());
    return kExitDone;
}

int LayersCommand(std::span<char* const> args)
{
    const char* const usage = "usage: vortan-codec sound sc36-layers info IN.bin | extract MASK IN.bin OUT.bin | "
                              "merge IN1.bin IN2.bin OUT.bin";
    if (args.empty())
        return ReportError(kExitUsage, usage);
    const LayerTool tool;
    if (!tool.handle)
        return ReportError(kExitFailed, "cannot open an SC36 decoder");
    if (std::strcmp(args[0], "info") == 0)
        return LayersInfo(args, tool.handle.get());
    if (std::strcmp(args[0], "extract") == 0)
        return LayersExtract(args, tool.handle.get());
    if (std::strcmp(args[0], "merge") == 0)
        return LayersMerge(args, tool.handle.get());
    return ReportError(kExitUsage, usage);
}

// What the hook on "post encode" reads by name from the encoder's registry.
struct TraceRecord {
    sound::ProbeRegistry* registry = nullptr; // the encoder handle's; it outlives the hook
    float pv = 0.0f;
    float energy = 0.0f;
};

void ReadAnalysis(uintptr_t context, sound::RegistryNode*)
{
    auto* const record = reinterpret_cast<TraceRecord*>(context);
    sound::GetParameter(sound::FindParameter(*record->registry, "pv"), &record->pv);
    sound::GetParameter(sound::FindParameter(*record->registry, "energy"), &record->energy);
}

int TraceCommand(std::span<char* const> args)
{
    if (args.size() != 2 || std::strcmp(args[0], "sc36") != 0)
        return ReportError(kExitUsage, "usage: vortan-codec sound trace sc36 IN.wav");
    std::string error;
    codectool::SpeechWave speech;
    if (!codectool::LoadSpeechWave(args[1], {"trace", "SC36"}, speech, error))
        return ReportError(kExitRefused, error);
    const std::vector<int16_t>& samples = speech.samples;
    using Variant = sound::Sc36Variant;
    std::unique_ptr<sound::CodecHandle> handle;
    if (sound::Sc36EncoderOpen<Variant::k3200>(&handle) != sound::kCodecOk)
        return ReportError(kExitFailed, "cannot open the SC36 encoder");
    TraceRecord record;
    record.registry = static_cast<sound::ProbeRegistry*>(handle->probeRegistry.get());
    sound::RegistryNode* const hook =
        sound::RegisterHook(*record.registry, "trace", ReadAnalysis, nullptr, reinterpret_cast<uintptr_t>(&record));
    if (hook == nullptr || sound::AttachHook(sound::FindProbe(*record.registry, "post encode"), hook, 1) != 0) {
        sound::Sc36EncoderClose<Variant::k3200>(&handle);
        return ReportError(kExitFailed, "cannot attach the trace hook");
    }
    const size_t frames = (samples.size() + sound::kSc36FrameSamples - 1) / sound::kSc36FrameSamples;
    int result = kExitDone;
    for (size_t f = 0; f < frames; ++f) {
        int16_t pcm[sound::kSc36FrameSamples] = {};
        const size_t at = f * sound::kSc36FrameSamples;
        std::copy_n(samples.begin() + static_cast<ptrdiff_t>(at),
                    std::min<size_t>(sound::kSc36FrameSamples, samples.size() - at), pcm);
        uint8_t coded[16] = {};
        sound::CodecIO io;
        io.samples = pcm;
        io.coded = coded;
        io.codedSize = sizeof coded;
        if (const sound::CodecResult status = sound::Sc36Encode<Variant::k3200>(handle.get(), &io);
            status != sound::kCodecOk) {
            result = ReportError(kExitFailed, "cannot encode frame " + std::to_string(f) + ": codec result " +
                                                  std::to_string(status));
            break;
        }
        sound::Sc36Indices indices;
        sound::UnpackBaseLayer(std::span<const uint8_t, sound::kSc36LayerBytes>(coded, sound::kSc36LayerBytes),
                               indices);
        std::printf("frame %zu: pv %.4f energy %.1f | pitch %u (%.2f) gain %u voicing %u\n", f, record.pv,
                    record.energy, indices.pitch, sound::Sc36DequantisePitch(indices.pitch), indices.gain,
                    indices.voicing);
    }
    sound::Sc36EncoderClose<Variant::k3200>(&handle);
    return result;
}

const bool kRegistered[] = {
    RegisterCodecToolCommand({"sound", "encode", "sc3 IN.wav OUT.bin", EncodeCommand, "sc3"}),
    RegisterCodecToolCommand({"sound", "encode", "sc6 IN.wav OUT.bin", EncodeCommand, "sc6"}),
    RegisterCodecToolCommand({"sound", "encode", "sc3-6 IN.wav OUT.bin", EncodeCommand, "sc3-6"}),
    RegisterCodecToolCommand(
        {"sound", "decode", "sc3 IN.bin OUT.wav [--time-scale X] [--lose LIST]", DecodeCommand, "sc3"}),
    RegisterCodecToolCommand(
        {"sound", "decode", "sc6 IN.bin OUT.wav [--time-scale X] [--lose LIST]", DecodeCommand, "sc6"}),
    RegisterCodecToolCommand(
        {"sound", "decode", "sc3-6 IN.bin OUT.wav [--time-scale X] [--lose LIST]", DecodeCommand, "sc3-6"}),
    RegisterCodecToolCommand({"sound", "trace", "sc36 IN.wav", TraceCommand, "sc36"}),
    RegisterCodecToolCommand({"sound", "sc36-layers",
                              "info IN.bin | extract MASK IN.bin OUT.bin | merge IN1.bin IN2.bin OUT.bin",
                              LayersCommand}),
};

} // namespace
