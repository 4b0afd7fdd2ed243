#pragma once
// What the commands of the two speech codecs (SC36, RT24) share: speech wave files read into samples, the options
// of a direct decode, and the decode run with its one line of figures. Errors are single lines for ReportError.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/media/riff_wave_reader.h"

namespace sound {
class WaveFrameSink;
class WaveFrameSource;
struct FrameLoopResult;
} // namespace sound

namespace codectool {

// Both codecs code 8000 Hz mono speech.
inline constexpr int kSpeechSampleRate = 8000;

struct SpeechWave {
    std::vector<int16_t> samples;
    pf::WaveFormat format;
};

struct SpeechWaveRule {
    const char* verb;         // "trace", "read": the start of the error, "cannot trace IN.wav: ..."
    const char* codecName;    // "SC36": names the codec whose rate a refused file misses
    bool anyMonoRate = false; // a mono file at another rate passes too (comparisons resample nothing)
};

// A wave file's samples, 8-bit data widened as the wave-file loops do. False, with outError, for a file that is
// missing, no 8- or 16-bit PCM wave file, or not 8000 Hz mono as the rule asks.
bool LoadSpeechWave(const std::string& path, const SpeechWaveRule& rule, SpeechWave& out, std::string& outError);

// The options after a direct decode's IN and OUT: "--time-scale X" and "--lose 3,7,12" (frame numbers from 0).
struct SpeechDecodeOptions {
    float timeScale = 1.0f;
    std::vector<uint32_t> lostFrames;
};
struct TimeScaleRange {
    float lowest;
    float highest;
};
// The options; nullopt, with outError, for a value out of its range (the message names it) or for options that do
// not pair up or are unknown (outError = usage). Either is a usage error.
std::optional<SpeechDecodeOptions> ParseSpeechDecodeOptions(std::span<char* const> options, TimeScaleRange range,
                                                            const char* usage, std::string& outError);

// A direct decode of a stored sound's frames into a 16-bit wave file.
struct SpeechDecodeJob {
    const char* inPath;              // named in the errors
    const char* outPath;             // opened before the decode runs
    std::span<const uint8_t> frames; // the stored frames, for the bit rate
    int frameSamples;                // samples a frame codes, for the coded length
};
using SpeechDecodeLoop = std::function<sound::FrameLoopResult(sound::WaveFrameSource&, sound::WaveFrameSink&)>;
// Opens the output, runs decode over the frames, writes what it made and prints the run's line; the exit code.
int RunSpeechDecode(const SpeechDecodeJob& job, const SpeechDecodeLoop& decode);

} // namespace codectool
