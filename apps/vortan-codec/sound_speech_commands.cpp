// vortan-codec sound ... for the RT24 speech codec (8000 Hz mono, 2400 bit/s):
//   sound encode rt24 IN.wav OUT.bin                  through the row "7491": u16 bits, u16 channels, u32 rate, frames
//   sound decode rt24 IN.bin OUT.wav [--time-scale X] [--lose LIST]   through the row, or with an option the loop
//   sound trace rt24 IN.wav                           per frame the parameters the registry names, and the indices
//   sound compare --speech REF.wav TEST.wav           alignment, F0, voicing, energy and spectra of speech
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

#include "apps/vortan-codec/sound_speech_commands.h"

#include "apps/vortan-codec/command_table.h"
#include "apps/vortan-codec/sound_scheme_commands.h"
#include "apps/vortan-codec/tool_io.h"
#include "codecs/sound/speech/bit_ring.h"
#include "codecs/sound/speech/probe_registry.h"
#include "codecs/sound/speech/rt24/rt24_codec.h"
#include "codecs/sound/speech/rt24/rt24_decoder.h"
#include "codecs/sound/speech/rt24/rt24_format.h"
#include "codecs/sound/speech/rt24/rt24_stream.h"
#include "codecs/sound/wave_frame_stream.h"
#include "platform/base/atomic_file.h"
#include "platform/base/endian.h"
#include "platform/media/riff_wave_reader.h"
#include "platform/media/riff_wave_writer.h"
#include "testsupport/sound/speech_metrics.h"

namespace {

using codectool::kExitDone;
using codectool::kExitFailed;
using codectool::kExitRefused;
using codectool::kExitUsage;
using codectool::ReportError;

constexpr uint32_t kMaxLostFrames = 1'000'000;
constexpr int kSpeechMaxLagSamples = 8000; // one second either way

using Clock = std::chrono::steady_clock;

struct Speech {
    std::vector<int16_t> samples;
    pf::WaveFormat format;
};

// A wave file's samples: 8-bit data widened as the wave-file loops do. False, with outError, for a file that is
// missing, no 8- or 16-bit PCM wave file, or (when rt24Only) not 8000 Hz mono.
bool LoadSpeech(const std::string& path, bool rt24Only, const char* verb, Speech& out, std::string& outError)
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
    out.format = reader->format();
    if (out.format.bits != 8 && out.format.bits != 16) {
        outError = "cannot " + std::string(verb) + " " + path + ": not an 8- or 16-bit wave file";
        return false;
    }
    if ((rt24Only || out.format.channels != 1) &&
        (out.format.rate != static_cast<uint32_t>(sound::kRt24SampleRate) || out.format.channels != 1)) {
        outError = "cannot " + std::string(verb) + " " + path + ": " + std::to_string(out.format.rate) + " Hz, " +
                   std::to_string(out.format.channels) + " channels; RT24 speech is 8000 Hz mono (resample first)";
        return false;
    }
    std::vector<uint8_t> bytes(reader->dataBytes());
    bytes.resize(reader->read(bytes));
    if (out.format.bits == 8) {
        for (const uint8_t b : bytes)
            out.samples.push_back(static_cast<int16_t>(257 * int32_t{b} - 32768));
    } else {
        for (size_t i = 0; i + 1 < bytes.size(); i += 2)
            out.samples.push_back(static_cast<int16_t>(pf::loadU16le(&bytes[i])));
    }
    return true;
}

double MillisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The one line every run prints.
void PrintRun(size_t frames, double seconds, double bitsPerSecond, double milliseconds)
{
    const double realtime = milliseconds > 0.0 ? seconds * 1000.0 / milliseconds : 0.0;
    std::printf("frames %zu, seconds %.3f, bit/s %.1f, ms %.1f, realtime %.1fx\n", frames, seconds, bitsPerSecond,
                milliseconds, realtime);
}

} // namespace

bool IsRt24CodecWord(const char* word)
{
    return word != nullptr && std::strcmp(word, "rt24") == 0;
}

int EncodeRt24Command(std::span<char* const> args)
{
    return EncodeThroughScheme(args); // what a world stores
}

namespace {

std::optional<float> ParseTimeScale(std::string_view text, std::string& outError)
{
    float value = 0.0f;
    const auto [end, problem] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (problem != std::errc() || end != text.data() + text.size() || !(value >= sound::kRt24MinTimeScale) ||
        !(value <= sound::kRt24MaxTimeScale)) {
        outError = "--time-scale must be a number from 0.2 to 5, not \"" + std::string(text) + "\"";
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

} // namespace

int DecodeRt24Command(std::span<char* const> args)
{
    const char* const usage = "usage: vortan-codec sound decode rt24 IN.bin OUT.wav [--time-scale X] [--lose LIST]";
    if (args.size() < 3 || std::strcmp(args[0], "rt24") != 0)
        return ReportError(kExitUsage, usage);
    if (args.size() == 3)
        return DecodeThroughScheme(args); // as a world reads it; the options run the loop directly
    std::string error;
    sound::Rt24DecodeOptions options;
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
    const std::optional<std::vector<uint8_t>> stored = codectool::ReadWholeFile(args[1], error);
    if (!stored)
        return ReportError(kExitRefused, error);
    std::span<const uint8_t> frames;
    if (!sound::SplitRt24StoredData(*stored, frames, error))
        return ReportError(kExitRefused, "cannot decode " + std::string(args[1]) + ": " + error);
    const std::unique_ptr<pf::RiffWaveWriter> writer =
        pf::RiffWaveWriter::create(args[2], pf::WaveFormat::pcm(1, sound::kRt24SampleRate, 16), &error);
    if (!writer)
        return ReportError(kExitRefused, error);
    sound::MemoryFrameSource source(frames);
    sound::VectorFrameSink pcm;
    const Clock::time_point start = Clock::now();
    const sound::FrameLoopResult decoded = sound::Rt24DecodeStream(sound::SchemeIdOf("7491"), source, pcm, options);
    const double milliseconds = MillisecondsSince(start);
    if (!decoded.done || decoded.damagedFrames != 0)
        return ReportError(kExitFailed, "cannot decode " + std::string(args[1]) + ": codec result " +
                                            std::to_string(decoded.codecResult) + ", " +
                                            std::to_string(decoded.damagedFrames) + " frames failed");
    if (!writer->write(pcm.bytes) || !writer->finish())
        return ReportError(kExitRefused, writer->error());
    const double seconds = static_cast<double>(pcm.bytes.size() / 2) / sound::kRt24SampleRate;
    const double codedSeconds = static_cast<double>(decoded.frames) * sound::kRt24FrameSamples / 8000.0;
    PrintRun(decoded.frames, seconds, codedSeconds > 0.0 ? frames.size() * 8.0 / codedSeconds : 0.0, milliseconds);
    return kExitDone;
}

namespace {

// What the hook on "post quan" reads by name from the encoder's registry.
struct TraceRecord {
    sound::ProbeRegistry* registry = nullptr; // the encoder handle's; it outlives the hook
    float pitch = 0.0f;
    float pv = 0.0f;
    float resEnergy = 0.0f;
};

void ReadQuantised(uintptr_t context, sound::RegistryNode*)
{
    auto* const record = reinterpret_cast<TraceRecord*>(context);
    sound::GetParameter(sound::FindParameter(*record->registry, "pitch"), &record->pitch);
    sound::GetParameter(sound::FindParameter(*record->registry, "pv"), &record->pv);
    sound::GetParameter(sound::FindParameter(*record->registry, "resEnergy"), &record->resEnergy);
}

int TraceRt24(std::span<char* const> args)
{
    if (args.size() != 2 || std::strcmp(args[0], "rt24") != 0)
        return ReportError(kExitUsage, "usage: vortan-codec sound trace rt24 IN.wav");
    std::string error;
    Speech speech;
    if (!LoadSpeech(args[1], true, "trace", speech, error))
        return ReportError(kExitRefused, error);
    std::unique_ptr<sound::CodecHandle> handle;
    if (sound::Rt24EncoderOpen(&handle) != sound::kCodecOk)
        return ReportError(kExitFailed, "cannot open the RT24 encoder");
    TraceRecord record;
    record.registry = static_cast<sound::ProbeRegistry*>(handle->probeRegistry.get());
    sound::RegistryNode* const hook =
        sound::RegisterHook(*record.registry, "trace", ReadQuantised, nullptr, reinterpret_cast<uintptr_t>(&record));
    if (hook == nullptr || sound::AttachHook(sound::FindProbe(*record.registry, "post quan"), hook, 1) != 0) {
        sound::Rt24EncoderClose(&handle);
        return ReportError(kExitFailed, "cannot attach the trace hook");
    }
    const size_t frames = speech.samples.size() / sound::kRt24FrameSamples + 1;
    for (size_t f = 0; f < frames; ++f) {
        int16_t pcm[sound::kRt24FrameSamples] = {};
        for (size_t i = 0; i < sound::kRt24FrameSamples && f * sound::kRt24FrameSamples + i < speech.samples.size();
             ++i)
            pcm[i] = speech.samples[f * sound::kRt24FrameSamples + i];
        uint8_t coded[9] = {};
        sound::CodecIO io;
        io.samples = pcm;
        io.coded = coded;
        io.codedSize = sizeof coded;
        sound::Rt24Encode(handle.get(), &io);
        sound::BitRing reader = sound::ReadRingOf(io);
        const sound::Rt24Indices indices = sound::UnpackRt24Frame(reader);
        std::printf("frame %zu: pitch %.2f pv %.4f resEnergy %.1f | pv %u pitch %u (%.2f) energy %u lsf", f,
                    record.pitch, record.pv, record.resEnergy, indices.pv, indices.pitch,
                    sound::DequantisePitch(indices.pitch), indices.energy);
        for (const uint8_t lsf : indices.lsf)
            std::printf(" %u", lsf);
        std::printf("\n");
    }
    sound::Rt24EncoderClose(&handle);
    return kExitDone;
}

} // namespace

int CompareSpeechCommand(std::span<char* const> args)
{
    if (args.size() != 3 || std::strcmp(args[0], "--speech") != 0)
        return ReportError(kExitUsage, "usage: vortan-codec sound compare --speech REF.wav TEST.wav");
    std::string error;
    Speech ref;
    Speech test;
    if (!LoadSpeech(args[1], false, "read", ref, error) || !LoadSpeech(args[2], false, "read", test, error))
        return ReportError(kExitRefused, error);
    if (ref.format.rate != test.format.rate)
        return ReportError(kExitRefused, std::string("cannot compare ") + args[1] + " with " + args[2] +
                                             ": they differ in rate; resample first");
    const soundtest::SpeechComparison result =
        soundtest::CompareSpeech(ref.samples, test.samples, static_cast<int>(ref.format.rate), kSpeechMaxLagSamples);
    if (!result.error.empty())
        return ReportError(kExitRefused,
                           std::string("cannot compare ") + args[1] + " with " + args[2] + ": " + result.error);
    std::printf("lag: %d samples\n", result.lagSamples);
    std::printf("voiced frames: %zu\n", result.voicedFrames);
    std::printf("F0 error: %.2f Hz (%.2f %%)\n", result.f0RmsErrorHz, result.f0RmsErrorPercent);
    std::printf("voicing disagreement: %.3f\n", result.voicingDisagreement);
    std::printf("energy correlation: %.3f\n", result.energyCorrelation);
    std::printf("energy error: %.2f dB\n", result.meanEnergyErrorDb);
    std::printf("voiced log-spectral distance: %.2f dB\n", result.voicedLogSpectralDistanceDb);
    return kExitDone;
}

namespace {

// Commands that share a name with another codec's are told apart by the word after the name.
bool RegisterWithWord(const char* name, const char* usage, int (*run)(std::span<char* const>), const char* word)
{
    CodecToolCommand command{"sound", name, usage, run};
    command.word = word;
    return RegisterCodecToolCommand(command);
}

const bool kRegistered[] = {
    RegisterCodecToolCommand({"sound", "trace", "rt24 IN.wav", TraceRt24}),
    RegisterWithWord("encode", "rt24 IN.wav OUT.bin", EncodeRt24Command, "rt24"),
    RegisterWithWord("decode", "rt24 IN.bin OUT.wav [--time-scale X] [--lose LIST]", DecodeRt24Command, "rt24"),
    RegisterWithWord("compare", "--speech REF.wav TEST.wav", CompareSpeechCommand, "--speech"),
};

} // namespace
