// vortan-codec sound ... for the Tonalwave models:
//   sound tonalwave-layout MODEL                 the frame layout of a model or configuration code
//   sound encode MODEL IN.wav OUT.bin [--trace]      a wave file of the model's rate and channels to stored slots
//   sound decode MODEL IN.bin OUT.wav [--lose LIST]  stored slots to a wave file, the listed frames lost
#include "apps/vortan-codec/sound_tonalwave_commands.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "apps/vortan-codec/command_table.h"
#include "apps/vortan-codec/tool_io.h"
#include "codecs/sound/Tonalwave/Encode/tonalwave_encoder.h"
#include "codecs/sound/Tonalwave/tonalwave_codec.h"
#include "codecs/sound/Tonalwave/tonalwave_layout.h"
#include "codecs/sound/Tonalwave/tonalwave_stream.h"
#include "codecs/sound/wave_frame_stream.h"
#include "platform/base/atomic_file.h"
#include "platform/base/endian.h"
#include "platform/media/riff_wave_reader.h"

namespace {

using codectool::kExitDone;
using codectool::kExitRefused;
using codectool::kExitUsage;
using codectool::ReportError;

std::optional<sound::TonalwaveModel> ModelOfWord(std::string_view word)
{
    for (int row = 0; row < sound::kTonalwaveModelCount; ++row) {
        const auto model = static_cast<sound::TonalwaveModel>(row);
        if (word == sound::NameOf(model))
            return model;
    }
    return std::nullopt;
}

// A model word or a configuration code such as 0x12232.
std::optional<uint32_t> CodeOfArgument(std::string_view text)
{
    if (const std::optional<sound::TonalwaveModel> model = ModelOfWord(text))
        return sound::ConfigurationCodeOf(*model);
    if (text.size() < 3 || text.size() > 10 || text[0] != '0' || (text[1] != 'x' && text[1] != 'X'))
        return std::nullopt;
    uint32_t code = 0;
    for (const char c : text.substr(2)) {
        const int digit = c >= '0' && c <= '9'   ? c - '0'
                          : c >= 'a' && c <= 'f' ? c - 'a' + 10
                          : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                 : -1;
        if (digit < 0)
            return std::nullopt;
        code = code << 4 | static_cast<uint32_t>(digit);
    }
    return code;
}

void PrintKind(const sound::TonalwaveLayout& layout, int kind, const char* name)
{
    const sound::TonalwaveSizes& s = layout.sizes;
    const auto k = static_cast<size_t>(kind);
    const std::vector<uint8_t>& widths = layout.vectors[k].widths;
    int of14 = 0;
    int of13 = 0;
    for (const uint8_t w : widths) {
        of14 += w == 14 ? 1 : 0;
        of13 += w == 13 ? 1 : 0;
    }
    std::printf("%s: V %d, n %d (%d of 14 bits, %d of 13, %zu other), D %d, side bits per channel %d, %zu fields, "
                "%d bits\n",
                name, s.vectorBits[k], s.vectorCount[k], of14, of13, widths.size() - static_cast<size_t>(of14 + of13),
                s.rowLength[k], s.sideBitsPerChannel[k], layout.fieldWidths[k].size(), layout.fieldBits[k]);
}

int PrintLayout(std::span<char* const> args)
{
    if (args.size() != 1)
        return ReportError(kExitUsage, "usage: vortan-codec sound tonalwave-layout MODEL (ac8, ac10, acs20, ac24, "
                                       "acs48 or a configuration code such as 0x12232)");
    const std::optional<uint32_t> code = CodeOfArgument(args[0]);
    if (!code)
        return ReportError(kExitUsage, std::string("MODEL must be ac8, ac10, acs20, ac24, acs48 or a configuration "
                                                   "code such as 0x12232, not \"") +
                                           args[0] + "\"");
    const char* reason = nullptr;
    const std::optional<sound::TonalwaveConfiguration> config = sound::DecodeConfigurationCode(*code, &reason);
    if (!config)
        return ReportError(kExitRefused, std::string("configuration code ") + args[0] + " is refused: " + reason);
    const sound::TonalwaveLayout layout = sound::BuildLayout(*config);
    const sound::TonalwaveSizes& s = layout.sizes;
    std::printf("configuration 0x%X: set %s, C %d, N %d, S %d, M %d\n", *code, sound::NameOf(config->set), s.channels,
                s.frameSamples, s.shortLength, s.mediumLength);
    std::printf("frame budget F %d, header bits %d (short frames 4), envelope bits %d, n_p %d, periodic row %d\n",
                s.frameBits, s.headerBits, s.envelopeBits, s.periodicVectorCount, s.periodicRowLength);
    std::printf("pad fields %d %d, bits per frame %d\n", config->padWidths[0], config->padWidths[1],
                s.FrameBitsWithPad());
    PrintKind(layout, 0, "long");
    PrintKind(layout, 1, "medium");
    PrintKind(layout, 2, "short");
    const bool decodable = sound::HasBandEdges(config->set);
    std::printf("bands: long %d, medium %d, short %d%s\n", s.bandCount[0], s.bandCount[1], s.bandCount[2],
                decodable ? "" : " (no band edges: a decoder of this set cannot be opened)");
    return kExitDone;
}

const bool kRegistered = RegisterCodecToolCommand(
    {"sound", "tonalwave-layout", "MODEL (ac8 ... acs48 or a code such as 0x12232)", PrintLayout});

} // namespace

bool IsTonalwaveCodecWord(const char* word)
{
    return word != nullptr && ModelOfWord(word).has_value();
}

int EncodeTonalwaveCommand(std::span<char* const> args)
{
    const bool trace = args.size() == 4 && std::strcmp(args[3], "--trace") == 0;
    const std::optional<sound::TonalwaveModel> model = args.empty() ? std::nullopt : ModelOfWord(args[0]);
    if ((args.size() != 3 && !trace) || !model)
        return ReportError(kExitUsage, "usage: vortan-codec sound encode MODEL IN.wav OUT.bin [--trace]");
    std::string error;
    std::optional<std::vector<uint8_t>> file = codectool::ReadWholeFile(args[1], error);
    if (!file)
        return ReportError(kExitRefused, error);
    pf::WaveError waveError = pf::WaveError::kNone;
    const auto reader = pf::RiffWaveReader::fromBytes(std::move(*file), &waveError);
    if (!reader)
        return ReportError(kExitRefused,
                           std::string("cannot read ") + args[1] + ": " + pf::describeWaveError(waveError));
    const pf::WaveFormat format = reader->format();
    if ((format.bits != 8 && format.bits != 16) || format.channels == 0)
        return ReportError(kExitRefused, std::string("cannot read ") + args[1] + ": not an 8- or 16-bit wave file");
    sound::CodecInfo info;
    sound::DescriptorOf(*model).getInfo(&info);
    if (format.channels != info.channels || format.rate != info.sampleRate)
        return ReportError(kExitRefused,
                           std::string("cannot encode ") + args[1] + ": " + sound::NameOf(*model) + " codes " +
                               std::to_string(info.sampleRate) + " Hz with " + std::to_string(info.channels) +
                               (info.channels == 1 ? " channel" : " channels") + ", not " +
                               std::to_string(format.rate) + " Hz with " + std::to_string(format.channels));
    std::vector<uint8_t> pcm(reader->dataBytes());
    pcm.resize(reader->read(pcm));
    const std::unique_ptr<pf::AtomicFile> output = codectool::OpenOutput(args[2], error);
    if (!output)
        return ReportError(kExitRefused, error);
    sound::TonalwaveEncodeOptions options;
    if (trace) {
        options.trace = [](size_t frame, const sound::TonalwaveEncoder& encoder) {
            const sound::TonalwaveFrameRecord& r = encoder.LastRecord();
            std::printf("frame %zu: window %d, bandwidth %d, fine %d, gains", frame, r.windowCode, r.bandwidthCode,
                        encoder.LastAnalysis().fineStructureFlag);
            const int blocks = encoder.Layout().sizes.blockCount[static_cast<size_t>(r.blockKind)];
            for (int c = 0; c < encoder.Channels(); ++c) {
                std::printf(" [%d", r.gainIndex[c][0]);
                for (int b = 0; r.blockKind != 0 && b < blocks; ++b)
                    std::printf(" %d", r.gainIndex[c][1 + b]);
                std::printf("]");
            }
            std::printf(", period");
            for (int c = 0; c < encoder.Channels(); ++c)
                std::printf(" %d", r.blockKind == 0 ? r.periodIndex[c] : -1);
            std::printf("\n");
        };
    }
    sound::MemoryFrameSource source(pcm, format.bits == 8);
    sound::VectorFrameSink sink;
    const std::clock_t start = std::clock();
    const sound::FrameLoopResult encoded =
        sound::TonalwaveEncodeStream(sound::SchemeIdOfTonalwaveModel(*model), source, sink, options);
    const double cpuSeconds = static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
    if (!encoded.done || encoded.damagedFrames != 0)
        return ReportError(codectool::kExitFailed,
                           std::string("cannot encode ") + args[1] + ": " + std::to_string(encoded.damagedFrames) +
                               " frames failed, codec result " + std::to_string(encoded.codecResult));
    std::vector<uint8_t> stored = sound::TonalwaveStoredHeader(format.channels, format.rate);
    stored.insert(stored.end(), sink.bytes.begin(), sink.bytes.end());
    if (!codectool::FinishOutput(*output, stored, error))
        return ReportError(kExitRefused, error);
    const size_t samples = pcm.size() / (format.bits / 8u) / format.channels;
    const double framesPerSecond = static_cast<double>(info.sampleRate) / info.frameSamples;
    const double seconds = static_cast<double>(samples) / format.rate;
    std::printf("%s: %u Hz, %u channels, %.3f s, %u frames, nominal %.0f bit/s, stored %.0f bit/s, encoded in %.1f "
                "ms, %.0fx realtime\n",
                sound::NameOf(*model), format.rate, format.channels, seconds, encoded.frames,
                info.bitsPerFrame[0] * framesPerSecond, sound::kTonalwaveStoredSlotBytes * 8.0 * framesPerSecond,
                cpuSeconds * 1000.0, cpuSeconds > 0.0 ? seconds / cpuSeconds : 0.0);
    return kExitDone;
}

int DecodeTonalwaveCommand(std::span<char* const> args)
{
    const bool hasLose = args.size() == 5 && std::strcmp(args[3], "--lose") == 0;
    const std::optional<sound::TonalwaveModel> model = args.empty() ? std::nullopt : ModelOfWord(args[0]);
    if ((args.size() != 3 && !hasLose) || !model)
        return ReportError(kExitUsage, "usage: vortan-codec sound decode MODEL IN.bin OUT.wav [--lose 5,6,7]");
    std::string error;
    std::vector<size_t> lost;
    if (hasLose) {
        std::string_view list(args[4]);
        while (!list.empty()) {
            const size_t comma = list.find(',');
            const std::optional<int64_t> frame =
                codectool::ParseNumber(list.substr(0, comma), {"--lose", 0, 1'000'000'000}, error);
            if (!frame)
                return ReportError(kExitUsage, error);
            lost.push_back(static_cast<size_t>(*frame));
            list = comma == std::string_view::npos ? std::string_view() : list.substr(comma + 1);
        }
    }
    const std::optional<std::vector<uint8_t>> stored = codectool::ReadWholeFile(args[1], error);
    if (!stored)
        return ReportError(kExitRefused, error);
    const std::unique_ptr<pf::AtomicFile> output = codectool::OpenOutput(args[2], error);
    if (!output)
        return ReportError(kExitRefused, error);
    if (stored->size() < sound::kTonalwaveStoredHeaderBytes)
        return ReportError(kExitRefused, std::string("cannot decode ") + args[1] + ": shorter than its 8-byte header");
    sound::CodecInfo info;
    sound::DescriptorOf(*model).getInfo(&info);
    const uint16_t storedChannels = pf::loadU16le(&(*stored)[2]);
    if (storedChannels != info.channels)
        return ReportError(kExitRefused, std::string("cannot decode ") + args[1] + ": the header names " +
                                             std::to_string(storedChannels) + " channels, the model has " +
                                             std::to_string(info.channels));
    struct {
        std::vector<int16_t> samples;
        int channels;
        int sampleRate;
        uint32_t frames;
    } decoded{{}, static_cast<int>(info.channels), static_cast<int>(pf::loadU32le(&(*stored)[4])), 0};
    sound::TonalwaveDecodeOptions options;
    options.lostFrames = lost;
    sound::MemoryFrameSource source(std::span<const uint8_t>(*stored).subspan(sound::kTonalwaveStoredHeaderBytes));
    sound::VectorFrameSink sink;
    const std::clock_t start = std::clock();
    const sound::FrameLoopResult result =
        sound::TonalwaveDecodeStream(sound::SchemeIdOfTonalwaveModel(*model), source, sink, options);
    const double cpuSeconds = static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
    if (!result.done || result.damagedFrames != 0)
        return ReportError(kExitRefused, std::string("cannot decode ") + args[1] + ": " +
                                             std::to_string(result.damagedFrames) + " frames failed");
    decoded.samples = sink.Samples();
    decoded.frames = result.frames;
    // A 16-bit PCM wave file: the 44-byte header, then the samples.
    const auto dataBytes = static_cast<uint32_t>(decoded.samples.size() * 2);
    std::vector<uint8_t> wave(44 + static_cast<size_t>(dataBytes));
    std::memcpy(&wave[0], "RIFF", 4);
    pf::storeU32le(&wave[4], 36 + dataBytes);
    std::memcpy(&wave[8], "WAVEfmt ", 8);
    pf::storeU32le(&wave[16], 16);
    pf::storeU16le(&wave[20], 1);
    pf::storeU16le(&wave[22], static_cast<uint16_t>(decoded.channels));
    pf::storeU32le(&wave[24], static_cast<uint32_t>(decoded.sampleRate));
    pf::storeU32le(&wave[28], static_cast<uint32_t>(decoded.sampleRate * decoded.channels * 2));
    pf::storeU16le(&wave[32], static_cast<uint16_t>(decoded.channels * 2));
    pf::storeU16le(&wave[34], 16);
    std::memcpy(&wave[36], "data", 4);
    pf::storeU32le(&wave[40], dataBytes);
    for (size_t i = 0; i < decoded.samples.size(); ++i)
        pf::storeU16le(&wave[44 + 2 * i], static_cast<uint16_t>(decoded.samples[i]));
    if (!codectool::FinishOutput(*output, wave, error))
        return ReportError(kExitRefused, error);
    const double seconds = decoded.sampleRate > 0
                               ? static_cast<double>(decoded.samples.size()) / decoded.channels / decoded.sampleRate
                               : 0.0;
    std::printf("%s: %d Hz, %d channels, %u frames, %.3f s, decoded in %.1f ms, %.0fx realtime\n",
                sound::NameOf(*model), decoded.sampleRate, decoded.channels, decoded.frames, seconds,
                cpuSeconds * 1000.0, cpuSeconds > 0.0 ? seconds / cpuSeconds : 0.0);
    return kExitDone;
}
