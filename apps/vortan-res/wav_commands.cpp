// vortan-res wav info FILE: what a mode-0 wave file reports, or why it is refused.
// vortan-res wav copy IN OUT --mode 0|1|2: the file through wave streams of that mode, bit for bit:
//   0  the "data" bytes through a RIFF/WAVE source and sink (the header is rebuilt from the format);
//   1  the whole file as a record's payload, through a record source and a record sink;
//   2  the whole file through a plain-file source and sink.
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "apps/vortan-res/command_table.h"
#include "engine/core/buffer.h"
#include "engine/core/chunk_stream.h"
#include "engine/resources/mmio_stream.h"
#include "engine/resources/wav_file.h"
#include "platform/base/atomic_file.h"
#include "platform/media/riff_wave_writer.h"
#include "testsupport/tools/tool_input.h"

namespace {

constexpr size_t kPieceBytes = 8192;

int Info(std::span<char* const> args)
{
    if (args.size() != 1)
        return ReportToolError(kExitUsage, "usage: vortan-res wav info FILE");
    std::string error;
    if (!tooltest::CheckInput(args[0], error))
        return ReportToolError(kExitRefused, error);
    WavFormat format{};
    uint8_t refused = 0;
    WavFile file(args[0], false, refused, format, MmioStream::kModeRiffWave);
    if (refused != 0)
        return ReportToolError(kExitRefused, std::string("cannot read ") + args[0] + ": " + file.GetRefusal());
    std::printf("channels=%u rate=%u bits=%u samples=%u\n", format.channels, format.sampleRate, format.bitsPerSample,
                format.samplesPerChannel);
    return kExitDone;
}

// A wave file sink that can be given up. The stream commits its sink whenever it closes, which is right for a
// finished copy and wrong for one whose source failed part way: that would replace the old file with a part.
class CopySink : public WavFile {
public:
    using WavFile::WavFile;
    void Abandon() // what was at the path stays as it was
    {
        m_output.reset();
        m_writer.reset();
        SetFailed();
    }
    std::string WriteError() const // "cannot write PATH: CAUSE" once a write or the commit failed; may be empty
    {
        if (m_output != nullptr)
            return m_output->error();
        return m_writer != nullptr ? m_writer->error() : std::string();
    }
};

// The stream's refusals of a path name it themselves ("cannot open PATH") or give only the cause.
std::string InputRefusal(const std::string& path, const std::string& why)
{
    std::string error;
    if (!tooltest::CheckInput(path, error))
        return error;
    return why.starts_with("cannot ") ? why : "cannot read " + path + ": " + why;
}

// A wave sink's refusal says only that it could not be made; the atomic writer says why.
std::string OutputRefusal(const std::string& path, const std::string& why)
{
    std::string error;
    if (why.starts_with("cannot write ") || pf::AtomicFile::open(path, error) != nullptr)
        return why.starts_with("cannot ") ? why : "cannot write " + path + ": " + why;
    return error;
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
    uint8_t refused = 0;
    WavFile source(in, false, refused, format, mode);
    if (refused != 0)
        return ReportToolError(kExitRefused, InputRefusal(in, source.GetRefusal()));
    CopySink sink(out, true, refused, format, mode);
    if (refused != 0)
        return ReportToolError(kExitRefused, OutputRefusal(out, sink.GetRefusal()));
    const bool pumped = Pump(source, sink, outBytes);
    if (!pumped && source.HasFailed()) {
        sink.Abandon();
        return ReportToolError(kExitRefused,
                               "cannot read " + in + ": a read failed part way; " + out + " was left as it was");
    }
    if (!pumped || !sink.Close()) {
        const std::string why = sink.WriteError();
        return ReportToolError(kExitRefused, why.empty() ? "cannot write " + out + ": not every byte reached it" : why);
    }
    return kExitDone;
}

int CopyThroughRecord(const std::string& in, const std::string& out, uint64_t& outBytes)
{
    std::string readError;
    const std::optional<std::vector<uint8_t>> bytes = tooltest::ReadInput(in, readError);
    if (!bytes)
        return ReportToolError(kExitRefused, readError);
    SWchunkstream record(*bytes);
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
    // Anything but a regular file is refused before an output is made: a device never ends and a FIFO waits.
    std::string error;
    if (!tooltest::CheckInput(args[0], error))
        return ReportToolError(kExitRefused, error);
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
