// vortan-codec sound ...: the own wave codec and the sound measures from the command line.
//   sound encode wave IN.wav OUT.bin QUALITY   the stored data of a sound (channels, rate, block stream), via "7498"
//   sound decode wave IN.bin OUT.wav [--keep-partial]   back to a 16-bit wave file; the option calls the routine
//   sound encode|decode SCHEME ...            through a sound scheme row, sound_scheme_commands.cpp
//   sound encode MODEL ... --trace, decode MODEL ... --lose LIST   a Tonalwave loop directly,
//                                             sound_tonalwave_commands.cpp
//   sound compare REF.wav TEST.wav             length, lag, SNR, segmental SNR and log-spectral distance
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "apps/vortan-codec/command_table.h"
#include "apps/vortan-codec/sound_scheme_commands.h"
#include "apps/vortan-codec/sound_tonalwave_commands.h"
#include "apps/vortan-codec/tool_io.h"
#include "apps/vortan-codec/wave_samples.h"
#include "codecs/sound/wave_codec/wave_file_codec.h"
#include "platform/base/atomic_file.h"
#include "platform/media/riff_wave_reader.h"
#include "testsupport/sound/pcm_samples.h"
#include "testsupport/sound/sound_metrics.h"

namespace {

using codectool::kExitDone;
using codectool::kExitRefused;
using codectool::kExitUsage;
using codectool::ReportError;

// An input the codec cannot read or carry is refused; only a lack of memory is a failure of the run itself.
int ExitCodeOf(sound::WaveFileResult result)
{
    return result == sound::WaveFileResult::kOutOfMemory ? codectool::kExitFailed : kExitRefused;
}

int EncodeWave(std::span<char* const> args)
{
    // --trace watches the Tonalwave encoder, so it runs the family's loop directly; every other form is a row's.
    if (args.size() == 4 && IsTonalwaveCodecWord(args[0]) && std::strcmp(args[3], "--trace") == 0)
        return EncodeTonalwaveCommand(args);
    if (!args.empty() && IsSoundSchemeWord(args[0]))
        return EncodeThroughScheme(args);
    return ReportError(kExitUsage, "usage: vortan-codec sound encode SCHEME IN.wav OUT.bin [QUALITY] (SCHEME: raw, "
                                   "wave, ac8, ac10, acs20, ac24, acs48, rt24, sc3, sc6, sc3-6 or a four-digit id)");
}

int DecodeWave(std::span<char* const> args)
{
    // With an option the family's loop or the own codec's routine runs directly; every other form is a row's.
    if (args.size() > 3 && IsTonalwaveCodecWord(args[0]))
        return DecodeTonalwaveCommand(args);
    const bool keepPartial = args.size() == 4 && std::strcmp(args[3], "--keep-partial") == 0;
    if (!keepPartial && !args.empty() && IsSoundSchemeWord(args[0]))
        return DecodeThroughScheme(args);
    if (args.size() != (keepPartial ? 4u : 3u) || std::strcmp(args[0], "wave") != 0)
        return ReportError(kExitUsage, "usage: vortan-codec sound decode wave IN.bin OUT.wav [--keep-partial]");
    std::string error;
    const std::optional<std::vector<uint8_t>> stored = codectool::ReadWholeFile(args[1], error);
    if (!stored)
        return ReportError(kExitRefused, error);
    sound::SpanByteSource source(*stored);
    const sound::WaveFileResult result = sound::DecodeToWaveFile(source, args[2], {keepPartial}, error);
    switch (result) {
    case sound::WaveFileResult::kOk:
        return kExitDone;
    case sound::WaveFileResult::kCannotWriteOutput: // the codec's message names the output file
    case sound::WaveFileResult::kOutOfMemory:
        return ReportError(ExitCodeOf(result), error);
    default: // the stream's fault: its message names no file, so the input is named here
        return ReportError(kExitRefused, std::string("cannot decode ") + args[1] + ": " + error);
    }
}

struct Sound {
    std::vector<int16_t> samples;
    pf::WaveFormat format;
};

// False, with outError, for a file that is missing, no wave file, or of a format the measures cannot take.
bool LoadSound(const char* path, Sound& out, std::string& outError)
{
    const std::unique_ptr<pf::RiffWaveReader> reader = codectool::OpenWaveSamples(path, "read", outError);
    if (!reader)
        return false;
    out.format = reader->format();
    out.samples = soundtest::ReadPcmSamples(*reader);
    return true;
}

void PrintLevel(const char* name, double db)
{
    if (std::isinf(db))
        std::printf("%s: inf dB\n", name);
    else
        std::printf("%s: %.2f dB\n", name, db);
}

int Compare(std::span<char* const> args)
{
    if (args.size() != 2)
        return ReportError(kExitUsage, "usage: vortan-codec sound compare REF.wav TEST.wav");
    Sound ref;
    Sound test;
    std::string error;
    if (!LoadSound(args[0], ref, error) || !LoadSound(args[1], test, error))
        return ReportError(kExitRefused, error);
    if (ref.format.channels != test.format.channels || ref.format.rate != test.format.rate)
        return ReportError(kExitRefused, std::string("cannot compare ") + args[0] + " with " + args[1] +
                                             ": they differ in channels or rate; resample first");
    const int channels = ref.format.channels;
    const int rate = static_cast<int>(ref.format.rate);
    const soundtest::SoundComparison result =
        soundtest::CompareSounds(ref.samples, test.samples, channels, rate, rate / 2);
    if (!result.error.empty())
        return ReportError(kExitRefused,
                           std::string("cannot compare ") + args[0] + " with " + args[1] + ": " + result.error);
    std::printf("length: ref %zu frames, test %zu frames\n", result.refFrames, result.testFrames);
    std::printf("lag: %d frames\n", result.lagFrames);
    PrintLevel("SNR", result.snrDb);
    PrintLevel("segmental SNR", result.segmentalSnrDb);
    PrintLevel("log-spectral distance", result.logSpectralDistanceDb);
    return kExitDone;
}

const bool kRegistered =
    RegisterCodecToolCommand(
        {"sound", "encode",
         "wave IN.wav OUT.bin QUALITY | SCHEME IN.wav OUT.bin [QUALITY] | MODEL IN.wav OUT.bin --trace", EncodeWave}) &&
    RegisterCodecToolCommand(
        {"sound", "decode",
         "wave IN.bin OUT.wav [--keep-partial] | SCHEME IN.bin OUT.wav | MODEL IN.bin OUT.wav --lose LIST",
         DecodeWave}) &&
    RegisterCodecToolCommand({"sound", "compare", "REF.wav TEST.wav", Compare});

} // namespace
