// vortan-codec sound ... for the SC36 speech codec (8000 Hz mono, 3200 and 6400 bit/s):
//   sound encode sc3|sc6|sc3-6 IN.wav OUT.bin   through the row "7490": u8 variant, u16 bits, u16 channels, u32 rate,
//                                               frames
//   sound decode sc3|sc6|sc3-6 IN.bin OUT.wav [--time-scale X] [--lose LIST]   through the row, or with an option the
//                                               loop directly
//   sound sc36-layers info IN.bin | extract MASK IN.bin OUT.bin | merge IN1.bin IN2.bin OUT.bin
//   sound trace sc36 IN.wav                      per frame the voicing and energy the registry names, and the indices
#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "apps/vortan-codec/command_table.h"
#include "apps/vortan-codec/sound_scheme_commands.h"
#include "apps/vortan-codec/tool_io.h"
#include "codecs/sound/speech/probe_registry.h"
#include "codecs/sound/speech/sc36/sc36_codec.h"
#include "codecs/sound/speech/sc36/sc36_format.h"
#include "codecs/sound/speech/sc36/sc36_stream.h"
#include "codecs/sound/wave_frame_stream.h"
#include "platform/base/atomic_file.h"
#include "platform/base/endian.h"
#include "platform/media/riff_wave_reader.h"
#include "platform/media/riff_wave_writer.h"

namespace {

using codectool::kExitDone;
using codectool::kExitFailed;
using codectool::kExitRefused;
using codectool::kExitUsage;
using codectool::ReportError;
using sound::Sc36StreamVariant;

constexpr uint32_t kMaxLostFrames = 1'000'000;
constexpr uint32_t kSc36Scheme = sound::SchemeIdOf("7490");
// Stream operations work on rings addressed by 16-bit positions, so a file goes through them this many bytes at a
// time; every chunk ends on a frame boundary.
constexpr uint16_t kChunkBytes = 4096;

using Clock = std::chrono::steady_clock;

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

// A 16-bit (or widened 8-bit) 8000 Hz mono wave file; false, with outError, for anything else.
bool LoadSpeech(const std::string& path, const char* verb, std::vector<int16_t>& out, std::string& outError)
{
    std::optional<std::vector<uint8_t>> file = codectool::ReadWholeFile(path, outError);
    if (!file)
        return false;
    pf::WaveError waveError = pf::WaveError::kNone;
    const auto reader = pf::RiffWaveReader::fromBytes(std::move(*file), &waveError);
    if (!reader) {
        outError = "cannot " + std::string(verb) + " " + path + ": " + pf::describeWaveError(waveError);
        return false;
    }
    const pf::WaveFormat format = reader->format();
    if (format.bits != 8 && format.bits != 16) {
        outError = "cannot " + std::string(verb) + " " + path + ": not an 8- or 16-bit wave file";
        return false;
    }
    if (format.rate != static_cast<uint32_t>(sound::kSc36SampleRate) || format.channels != 1) {
        outError = "cannot " + std::string(verb) + " " + path + ": " + std::to_string(format.rate) + " Hz, " +
                   std::to_string(format.channels) + " channels; SC36 speech is 8000 Hz mono (resample first)";
        return false;
    }
    std::vector<uint8_t> bytes(reader->dataBytes());
    bytes.resize(reader->read(bytes));
    out.clear();
    if (format.bits == 8) {
        for (const uint8_t b : bytes)
            out.push_back(static_cast<int16_t>(257 * int32_t{b} - 32768));
    } else {
        for (size_t i = 0; i + 1 < bytes.size(); i += 2)
            out.push_back(static_cast<int16_t>(pf::loadU16le(&bytes[i])));
    }
    return true;
}

double MillisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void PrintRun(size_t frames, double seconds, double bitsPerSecond, double milliseconds)
{
    const double realtime = milliseconds > 0.0 ? seconds * 1000.0 / milliseconds : 0.0;
    std::printf("frames %zu, seconds %.3f, bit/s %.1f, ms %.1f, realtime %.1fx\n", frames, seconds, bitsPerSecond,
                milliseconds, realtime);
}

int EncodeCommand(std::span<char* const> args)
{
    return EncodeThroughScheme(args); // what a world stores, the word setting the variant
}

std::optional<float> ParseTimeScale(std::string_view text, std::string& outError)
{
    float value = 0.0f;
    const auto [end, problem] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (problem != std::errc() || end != text.data() + text.size() || !(value >= 0.5f) || !(value <= 5.0f)) {
        outError = "--time-scale must be a number from 0.5 to 5, not \"" + std::string(text) + "\"";
        return std::nullopt;
    }
    return value;
}

// "3,7,12": frame numbers from 0.
std::optional<std::vector<uint32_t>> ParseFrameList(std::string_view text, std::string& outError)
{
    std::vector<uint32_t> frames;
    while (true) {
        const size_t comma = text.find(',');
        const std::optional<int64_t> frame =
            codectool::ParseNumber(text.substr(0, comma), {"--lose", 0, kMaxLostFrames}, outError);
        if (!frame)
            return std::nullopt;
        frames.push_back(static_cast<uint32_t>(*frame));
        if (comma == std::string_view::npos)
            return frames;
        text.remove_prefix(comma + 1);
    }
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
    sound::Sc36DecodeOptions options;
    for (size_t i = 3; i < args.size(); i += 2) {
        if (i + 1 >= args.size())
            return ReportError(kExitUsage, usage);
        if (std::strcmp(args[i], "--time-scale") == 0) {
            const std::optional<float> scale = ParseTimeScale(args[i + 1], error);
            if (!scale)
                return ReportError(kExitUsage, error);
            options.timeScale = *scale;
        } else if (std::strcmp(args[i], "--lose") == 0) {
            std::optional<std::vector<uint32_t>> lost = ParseFrameList(args[i + 1], error);
            if (!lost)
                return ReportError(kExitUsage, error);
            options.lostFrames = std::move(*lost);
        } else {
            return ReportError(kExitUsage, usage);
        }
    }
    std::vector<uint8_t> stored;
    Sc36StreamVariant variant = Sc36StreamVariant::k3200;
    std::span<const uint8_t> frames;
    if (!LoadStored(args[1], "decode", stored, variant, frames, error))
        return ReportError(kExitRefused, error);
    const std::unique_ptr<pf::RiffWaveWriter> writer =
        pf::RiffWaveWriter::create(args[2], pf::WaveFormat::pcm(1, sound::kSc36SampleRate, 16), &error);
    if (!writer)
        return ReportError(kExitRefused, error);
    // The stored variant decides, as a sound's own variant byte does; the word only names what the caller expects.
    if (*VariantOfWord(args[0]) != variant)
        std::printf("%s holds %s data; decoding it as %s\n", args[1], WordOfVariant(variant), WordOfVariant(variant));
    sound::MemoryFrameSource source(frames);
    sound::VectorFrameSink pcm;
    const Clock::time_point start = Clock::now();
    const sound::FrameLoopResult decoded =
        sound::Sc36DecodeStream(kSc36Scheme, source, pcm, static_cast<uint8_t>(variant), options);
    const double milliseconds = MillisecondsSince(start);
    if (!decoded.done || decoded.damagedFrames != 0)
        return ReportError(kExitFailed, "cannot decode " + std::string(args[1]) + ": codec result " +
                                            std::to_string(decoded.codecResult) + ", " +
                                            std::to_string(decoded.damagedFrames) + " frames failed");
    if (!writer->write(pcm.bytes) || !writer->finish())
        return ReportError(kExitRefused, writer->error());
    const double seconds = static_cast<double>(pcm.bytes.size() / 2) / sound::kSc36SampleRate;
    const double codedSeconds = static_cast<double>(decoded.frames) * sound::kSc36FrameSamples / 8000.0;
    PrintRun(decoded.frames, seconds, codedSeconds > 0.0 ? frames.size() * 8.0 / codedSeconds : 0.0, milliseconds);
    return kExitDone;
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
    std::vector<int16_t> samples;
    if (!LoadSpeech(args[1], "trace", samples, error))
        return ReportError(kExitRefused, error);
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

// Commands that share a name with another codec's are told apart by the word after the name.
bool RegisterWithWord(const char* name, const char* usage, int (*run)(std::span<char* const>), const char* word)
{
    CodecToolCommand command{"sound", name, usage, run};
    command.word = word;
    return RegisterCodecToolCommand(command);
}

const bool kRegistered[] = {
    RegisterWithWord("encode", "sc3 IN.wav OUT.bin", EncodeCommand, "sc3"),
    RegisterWithWord("encode", "sc6 IN.wav OUT.bin", EncodeCommand, "sc6"),
    RegisterWithWord("encode", "sc3-6 IN.wav OUT.bin", EncodeCommand, "sc3-6"),
    RegisterWithWord("decode", "sc3 IN.bin OUT.wav [--time-scale X] [--lose LIST]", DecodeCommand, "sc3"),
    RegisterWithWord("decode", "sc6 IN.bin OUT.wav [--time-scale X] [--lose LIST]", DecodeCommand, "sc6"),
    RegisterWithWord("decode", "sc3-6 IN.bin OUT.wav [--time-scale X] [--lose LIST]", DecodeCommand, "sc3-6"),
    RegisterWithWord("trace", "sc36 IN.wav", TraceCommand, "sc36"),
    RegisterCodecToolCommand({"sound", "sc36-layers",
                              "info IN.bin | extract MASK IN.bin OUT.bin | merge IN1.bin IN2.bin OUT.bin",
                              LayersCommand}),
};

} // namespace
