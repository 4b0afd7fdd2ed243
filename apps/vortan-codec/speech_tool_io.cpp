#include "apps/vortan-codec/speech_tool_io.h"

#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string_view>
#include <system_error>

#include "apps/vortan-codec/tool_io.h"
#include "apps/vortan-codec/wave_samples.h"
#include "codecs/sound/wave_frame_stream.h"
#include "platform/media/riff_wave_writer.h"
#include "testsupport/sound/pcm_samples.h"

namespace codectool {

namespace {

constexpr uint32_t kMaxLostFrames = 1'000'000;

using Clock = std::chrono::steady_clock;

std::string ShortestText(float value)
{
    char text[32];
    const auto [end, problem] = std::to_chars(text, text + sizeof text, value);
    return problem == std::errc() ? std::string(text, end) : std::string();
}

std::optional<float> ParseTimeScale(std::string_view text, TimeScaleRange range, std::string& outError)
{
    float value = 0.0f;
    const auto [end, problem] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (problem != std::errc() || end != text.data() + text.size() || !(value >= range.lowest) ||
        !(value <= range.highest)) {
        outError = "--time-scale must be a number from " + ShortestText(range.lowest) + " to " +
                   ShortestText(range.highest) + ", not \"" + std::string(text) + "\"";
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
            ParseNumber(text.substr(0, comma), {"--lose", 0, kMaxLostFrames}, outError);
        if (!frame)
            return std::nullopt;
        frames.push_back(static_cast<uint32_t>(*frame));
        if (comma == std::string_view::npos)
            return frames;
        text.remove_prefix(comma + 1);
    }
}

double MillisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

} // namespace

bool LoadSpeechWave(const std::string& path, const SpeechWaveRule& rule, SpeechWave& out, std::string& outError)
{
    out.samples.clear();
    const std::unique_ptr<pf::RiffWaveReader> reader = OpenWaveSamples(path, rule.verb, outError);
    if (!reader)
        return false;
    out.format = reader->format();
    const bool mono = out.format.channels == 1;
    if (!mono || (!rule.anyMonoRate && out.format.rate != static_cast<uint32_t>(kSpeechSampleRate))) {
        outError = "cannot " + std::string(rule.verb) + " " + path + ": " + std::to_string(out.format.rate) + " Hz, " +
                   std::to_string(out.format.channels) + " channels; " + rule.codecName +
                   " speech is 8000 Hz mono (resample first)";
        return false;
    }
    out.samples = soundtest::ReadPcmSamples(*reader);
    return true;
}

std::optional<SpeechDecodeOptions> ParseSpeechDecodeOptions(std::span<char* const> options, TimeScaleRange range,
                                                            const char* usage, std::string& outError)
{
    SpeechDecodeOptions out;
    for (size_t i = 0; i < options.size(); i += 2) {
        if (i + 1 >= options.size()) {
            outError = usage;
            return std::nullopt;
        }
        if (std::strcmp(options[i], "--time-scale") == 0) {
            const std::optional<float> scale = ParseTimeScale(options[i + 1], range, outError);
            if (!scale)
                return std::nullopt;
            out.timeScale = *scale;
        } else if (std::strcmp(options[i], "--lose") == 0) {
            std::optional<std::vector<uint32_t>> lost = ParseFrameList(options[i + 1], outError);
            if (!lost)
                return std::nullopt;
            out.lostFrames = std::move(*lost);
        } else {
            outError = usage;
            return std::nullopt;
        }
    }
    return out;
}

int RunSpeechDecode(const SpeechDecodeJob& job, const SpeechDecodeLoop& decode)
{
    std::string error;
    const std::unique_ptr<pf::RiffWaveWriter> writer =
        pf::RiffWaveWriter::create(job.outPath, pf::WaveFormat::pcm(1, kSpeechSampleRate, 16), &error);
    if (!writer)
        return ReportError(kExitRefused, error);
    sound::MemoryFrameSource source(job.frames);
    sound::VectorFrameSink pcm;
    const Clock::time_point start = Clock::now();
    const sound::FrameLoopResult decoded = decode(source, pcm);
    const double milliseconds = MillisecondsSince(start);
    if (!decoded.done || decoded.damagedFrames != 0)
        return ReportError(kExitFailed, "cannot decode " + std::string(job.inPath) + ": codec result " +
                                            std::to_string(decoded.codecResult) + ", " +
                                            std::to_string(decoded.damagedFrames) + " frames failed");
    if (!writer->write(pcm.bytes) || !writer->finish())
        return ReportError(kExitRefused, writer->error());
    const double seconds = static_cast<double>(pcm.bytes.size() / 2) / kSpeechSampleRate;
    const double codedSeconds = static_cast<double>(decoded.frames) * job.frameSamples / kSpeechSampleRate;
    const double bitsPerSecond = codedSeconds > 0.0 ? job.frames.size() * 8.0 / codedSeconds : 0.0;
    const double realtime = milliseconds > 0.0 ? seconds * 1000.0 / milliseconds : 0.0;
    std::printf("frames %u, seconds %.3f, bit/s %.1f, ms %.1f, realtime %.1fx\n", decoded.frames, seconds,
                bitsPerSecond, milliseconds, realtime);
    return kExitDone;
}

} // namespace codectool
