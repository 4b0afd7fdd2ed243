// vortan-codec sound ... for the RT24 speech codec (8000 Hz mono, 2400 bit/s):
//   sound encode rt24 IN.wav OUT.bin                  through the row "7491": u16 bits, u16 channels, u32 rate, frames
//   sound decode rt24 IN.bin OUT.wav [--time-scale X] [--lose LIST]   through the row, or with an option the loop
//   sound trace rt24 IN.wav                           per frame the parameters the registry names, and the indices
//   sound compare --speech REF.wav TEST.wav           alignment, F0, voicing, energy and spectra of speech
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "apps/vortan-codec/sound_speech_commands.h"

#include "apps/vortan-codec/command_table.h"
#include "apps/vortan-codec/sound_scheme_commands.h"
#include "apps/vortan-codec/speech_tool_io.h"
#include "apps/vortan-codec/tool_io.h"
#include "codecs/sound/speech/bit_ring.h"
#include "codecs/sound/speech/probe_registry.h"
#include "codecs/sound/speech/rt24/rt24_codec.h"
#include "codecs/sound/speech/rt24/rt24_decoder.h"
#include "codecs/sound/speech/rt24/rt24_format.h"
#include "codecs/sound/speech/rt24/rt24_stream.h"
#include "codecs/sound/wave_frame_stream.h"
#include "testsupport/sound/speech_metrics.h"

namespace {

using codectool::kExitDone;
using codectool::kExitFailed;
using codectool::kExitRefused;
using codectool::kExitUsage;
using codectool::ReportError;

constexpr int kSpeechMaxLagSamples = 8000; // one second either way

constexpr codectool::TimeScaleRange kRt24TimeScales{sound::kRt24MinTimeScale, sound::kRt24MaxTimeScale};

} // namespace

bool IsRt24CodecWord(const char* word)
{
    return word != nullptr && std::strcmp(word, "rt24") == 0;
}

int EncodeRt24Command(std::span<char* const> args)
{
    return EncodeThroughScheme(args); // what a world stores
}

int DecodeRt24Command(std::span<char* const> args)
{
    const char* const usage = "usage: vortan-codec sound decode rt24 IN.bin OUT.wav [--time-scale X] [--lose LIST]";
    if (args.size() < 3 || std::strcmp(args[0], "rt24") != 0)
        return ReportError(kExitUsage, usage);
    if (args.size() == 3)
        return DecodeThroughScheme(args); // as a world reads it; the options run the loop directly
    std::string error;
    std::optional<codectool::SpeechDecodeOptions> parsed =
        codectool::ParseSpeechDecodeOptions(args.subspan(3), kRt24TimeScales, usage, error);
    if (!parsed)
        return ReportError(kExitUsage, error);
    sound::Rt24DecodeOptions options;
    options.timeScale = parsed->timeScale;
    options.lostFrames = std::move(parsed->lostFrames);
    const std::optional<std::vector<uint8_t>> stored = codectool::ReadWholeFile(args[1], error);
    if (!stored)
        return ReportError(kExitRefused, error);
    std::span<const uint8_t> frames;
    if (!sound::SplitRt24StoredData(*stored, frames, error))
        return ReportError(kExitRefused, "cannot decode " + std::string(args[1]) + ": " + error);
    const auto decode = [&options](sound::WaveFrameSource& source, sound::WaveFrameSink& pcm) {
        return sound::Rt24DecodeStream(sound::SchemeIdOf("7491"), source, pcm, options);
    };
    return codectool::RunSpeechDecode({args[1], args[2], frames, sound::kRt24FrameSamples}, decode);
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
    codectool::SpeechWave speech;
    if (!codectool::LoadSpeechWave(args[1], {"trace", "RT24"}, speech, error))
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
    const codectool::SpeechWaveRule rule{"read", "RT24", true};
    codectool::SpeechWave ref;
    codectool::SpeechWave test;
    if (!codectool::LoadSpeechWave(args[1], rule, ref, error) || !codectool::LoadSpeechWave(args[2], rule, test, error))
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

const bool kRegistered[] = {
    RegisterCodecToolCommand({"sound", "trace", "rt24 IN.wav", TraceRt24}),
    RegisterCodecToolCommand({"sound", "encode", "rt24 IN.wav OUT.bin", EncodeRt24Command, "rt24"}),
    RegisterCodecToolCommand(
        {"sound", "decode", "rt24 IN.bin OUT.wav [--time-scale X] [--lose LIST]", DecodeRt24Command, "rt24"}),
    RegisterCodecToolCommand({"sound", "compare", "--speech REF.wav TEST.wav", CompareSpeechCommand, "--speech"}),
};

} // namespace
