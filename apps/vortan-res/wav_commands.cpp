// vortan-res wav info FILE: what a mode-0 wave file reports, or why it is refused.
// vortan-res wav copy IN OUT --mode 0|1|2: the file through wave streams of that mode, bit for bit:
//   0  the "data" bytes through a RIFF/WAVE source and sink (the header is rebuilt from the format);
//   1  the whole file as a record's payload, through a record source and a record sink;
//   2  the whole file through a plain-file source and sink.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "apps/vortan-res/command_table.h"
#include "engine/core/buffer.h"
#include "engine/core/chunk_stream.h"
#include "engine/resources/mmio_stream.h"
#include "engine/resources/wav_file.h"
#include "platform/base/atomic_file.h"

namespace {

constexpr size_t kPieceBytes = 8192;

int Info(std::span<char* const> args)
{
    if (args.size() != 1)
        return ReportToolError(kExitUsage, "wav info needs FILE");
    WavFormat format{};
    uint8_t error = 0;
    WavFile file(args[0], false, error, format, MmioStream::kModeRiffWave);
    if (error != 0)
        return ReportToolError(kExitRefused, std::string(args[0]) + ": refused: " + file.GetRefusal());
    std::printf("channels=%u rate=%u bits=%u samples=%u\n", format.channels, format.sampleRate, format.bitsPerSample,
                format.samplesPerChannel);
    return kExitDone;
}

// Moves every byte from source to sink; false when a write failed or the source ended by an error.
bool Pump(MmioStream& source, MmioStream& sink, uint64_t& outBytes)
{
    std::vector<uint8_t> piece(kPieceBytes);
    size_t count = 0;
    outBytes = 0;
    while (source.Read(piece.data(), piece.size(), count, false)) {
        if (!sink.Write(piece.data(), count))
            return false;
        outBytes += count;
    }
    return !source.HasFailed();
}

int CopyThroughFiles(const std::string& in, const std::string& out, int mode, uint64_t& outBytes)
{
    WavFormat format{};
    uint8_t error = 0;
    WavFile source(in, false, error, format, mode);
    if (error != 0)
        return ReportToolError(kExitRefused, in + ": refused: " + source.GetRefusal());
    WavFile sink(out, true, error, format, mode);
    if (error != 0)
        return ReportToolError(kExitRefused, out + ": refused: " + sink.GetRefusal());
    const bool pumped = Pump(source, sink, outBytes);
    if (!sink.Close() || !pumped)
        return ReportToolError(kExitFailed, out + ": not every byte reached the file");
    return kExitDone;
}

int CopyThroughRecord(const std::string& in, const std::string& out, uint64_t& outBytes)
{
    std::ifstream file(in, std::ios::binary);
    if (!file)
        return ReportToolError(kExitRefused, in + ": cannot read");
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    SWchunkstream record(bytes);
    SWbuffer copied;
    SWchunkstream written(copied, SWchunkstream::kWrite);
    uint8_t error = 0;
    MmioStream source(&record, false, error);
    MmioStream sink(&written, true, error);
    const bool pumped = Pump(source, sink, outBytes);
    if (!sink.Close() || !pumped)
        return ReportToolError(kExitFailed, "the record stream failed");
    const std::vector<uint8_t> result = copied.ToVector();
    std::string writeError;
    if (!pf::writeFileAtomically(out, std::string_view(reinterpret_cast<const char*>(result.data()), result.size()),
                                 &writeError))
        return ReportToolError(kExitRefused, writeError);
    return kExitDone;
}

int Copy(std::span<char* const> args)
{
    if (args.size() != 4 || std::string_view(args[2]) != "--mode")
        return ReportToolError(kExitUsage, "wav copy needs IN OUT --mode 0|1|2");
    const std::string_view modeText = args[3];
    if (modeText != "0" && modeText != "1" && modeText != "2")
        return ReportToolError(kExitUsage, "--mode takes 0, 1 or 2");
    const int mode = modeText[0] - '0';
    uint64_t bytes = 0;
    const int result = mode == MmioStream::kModeRecord ? CopyThroughRecord(args[0], args[1], bytes)
                                                       : CopyThroughFiles(args[0], args[1], mode, bytes);
    if (result == kExitDone)
        std::printf("mode=%d bytes=%llu\n", mode, static_cast<unsigned long long>(bytes));
    return result;
}

const bool kRegistered = RegisterResToolCommand({"wav", "info", "FILE", &Info}) &&
                         RegisterResToolCommand({"wav", "copy", "IN OUT --mode 0|1|2", &Copy});

} // namespace
