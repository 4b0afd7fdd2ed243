// The sound scheme rows from the command line, so that the tool measures exactly what a world stores:
//   sound encode SCHEME IN.wav OUT.bin [QUALITY]   the row's record payload without its name and file name
//   sound decode SCHEME IN.bin OUT.wav             that payload read back through the row into a wave file
//   sound accepts IN.wav                           each sound row's answer and its reason
// SCHEME is a row's four-digit id or its word: raw, wave, ac8, ac10, acs20, ac24, acs48, rt24, sc3, sc6, sc3-6 (the
// three SC36 words set the sound's variant).
// A sound that does not fit its row is stored by the default row instead; the row's report says so on stderr. A file
// that is no readable wave file at all is refused: a world would store it as it is, but a codec command asked to
// code it has nothing to code.
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
#include "engine/core/buffer.h"
#include "engine/core/chunk_stream.h"
#include "engine/core/world.h"
#include "engine/resources/compression_scheme.h"
#include "engine/resources/resource_report.h"
#include "engine/resources/sound.h"
#include "platform/base/atomic_file.h"
#include "platform/base/endian.h"
#include "platform/media/riff_wave_reader.h"

namespace {

using codectool::kExitDone;
using codectool::kExitFailed;
using codectool::kExitRefused;
using codectool::kExitUsage;
using codectool::ReportError;

constexpr int kSoundKind = 1;
constexpr size_t kRecordHeadBytes = 8; // tag and length

// Keeps what the rows report until the command knows its outcome, so that a decode can tell a damaged payload from
// a clean one, and a refusal for a write the rows could not make stays the one line of its error.
class StderrReports : public ResourceReportSink {
public:
    StderrReports() { SetResourceReportSink(this); }
    ~StderrReports() override
    {
        SetResourceReportSink(nullptr);
        Print();
    }
    StderrReports(const StderrReports&) = delete;
    StderrReports& operator=(const StderrReports&) = delete;
    void Report(const ResourceReport& report) override
    {
        ++count;
        lines.push_back(report.caption + ": " + report.text);
        // A row that could not write its scratch file met a full disk or a refused folder, not a damaged payload.
        // The wave codec's row passes the writer's words on; the frame codecs' rows say only that it failed.
        constexpr std::string_view kCannotWrite = "cannot write ";
        if (const size_t at = report.text.find(kCannotWrite); at != std::string::npos) {
            const size_t cause = report.text.find(": ", at + kCannotWrite.size());
            writeFailure = cause == std::string::npos ? report.text.substr(at) : report.text.substr(cause + 2);
        } else if (report.text.find("could not be written") != std::string::npos ||
                   report.text.find("cannot be written") != std::string::npos) {
            writeFailure = "the decoded sound could not be written to its scratch file";
        }
    }
    void Print()
    {
        for (const std::string& line : lines)
            std::fprintf(stderr, "%s\n", line.c_str());
        lines.clear();
    }
    void Discard() { lines.clear(); }

    size_t count = 0;
    std::string writeFailure; // the cause of the last write the rows could not make; empty when none failed

private:
    std::vector<std::string> lines;
};

struct SchemeWord {
    const char* word;
    const char* id;
    int variant; // the SC36 variant the word sets; -1: none
};
constexpr SchemeWord kSchemeWords[] = {
    {"wave", "7498", -1}, {"acs48", "7496", -1}, {"ac24", "7495", -1}, {"acs20", "7494", -1}, {"ac10", "7493", -1},
    {"ac8", "7492", -1},  {"rt24", "7491", -1},  {"sc3", "7490", 0},   {"sc6", "7490", 1},    {"sc3-6", "7490", 2},
};

const SchemeWord* SchemeWordOf(const char* word)
{
    for (const SchemeWord& entry : kSchemeWords)
        if (std::strcmp(entry.word, word) == 0)
            return &entry;
    return nullptr;
}

const SWcompressionscheme* SoundRowOf(const char* word)
{
    if (std::strcmp(word, "raw") == 0)
        return SWcompressionschemes::Table().DefaultOf(SchemeKind::kSound);
    if (const SchemeWord* entry = SchemeWordOf(word))
        word = entry->id;
    if (!IsSoundSchemeId(word))
        return nullptr;
    const SWcompressionscheme* row =
        SWcompressionschemes::Table().FindById(pf::loadU32le(reinterpret_cast<const uint8_t*>(word)));
    return row != nullptr && row->GetKind() == SchemeKind::kSound ? row : nullptr;
}

// The payload after the record's head and its two strings; nullopt when the record is not shaped so.
std::optional<std::vector<uint8_t>> PayloadAfterNames(const std::vector<uint8_t>& record)
{
    size_t at = kRecordHeadBytes;
    for (int i = 0; i < 2; ++i) {
        if (record.size() < at + 4)
            return std::nullopt;
        const size_t length = pf::loadU32le(&record[at]);
        if (record.size() - at - 4 < length)
            return std::nullopt;
        at += 4 + length;
    }
    return std::vector<uint8_t>(record.begin() + static_cast<std::ptrdiff_t>(at), record.end());
}

} // namespace

bool IsSoundSchemeId(const char* word)
{
    if (std::strlen(word) != 4)
        return false;
    for (int i = 0; i < 4; ++i)
        if (word[i] < '0' || word[i] > '9')
            return false;
    return true;
}

bool IsSoundSchemeWord(const char* word)
{
    return std::strcmp(word, "raw") == 0 || SchemeWordOf(word) != nullptr || IsSoundSchemeId(word);
}

int EncodeThroughScheme(std::span<char* const> args)
{
    // The own codec's word keeps its landed form, its quality required.
    const bool wave = !args.empty() && std::strcmp(args[0], "wave") == 0;
    if ((args.size() != 3 || wave) && args.size() != 4)
        return ReportError(kExitUsage, wave ? "usage: vortan-codec sound encode wave IN.wav OUT.bin QUALITY"
                                            : "usage: vortan-codec sound encode SCHEME IN.wav OUT.bin [QUALITY]");
    const SWcompressionscheme* row = SoundRowOf(args[0]);
    if (row == nullptr)
        return ReportError(kExitUsage, std::string("no sound scheme \"") + args[0] + "\"");
    std::string error;
    std::optional<int64_t> quality;
    if (args.size() == 4) {
        quality = codectool::ParseNumber(args[3], {"QUALITY", 0, 100}, error);
        if (!quality)
            return ReportError(kExitUsage, error);
    }
    if (!codectool::CheckInputFile(args[1], error))
        return ReportError(kExitRefused, error);
    if (row != SWcompressionschemes::Table().DefaultOf(SchemeKind::kSound)) {
        pf::WaveError waveError{};
        if (pf::RiffWaveReader::open(args[1], &waveError) == nullptr)
            return ReportError(kExitRefused,
                               std::string("cannot read ") + args[1] + ": " + pf::describeWaveError(waveError));
    }
    const std::unique_ptr<pf::AtomicFile> output = codectool::OpenOutput(args[2], error);
    if (!output)
        return ReportError(kExitRefused, error);

    StderrReports reports;
    SWworld world;
    auto owned = std::make_unique<SWsound>("sound");
    owned->SetWorld(&world);
    owned->SetFileName(args[1]);
    owned->SetScheme(row);
    if (quality)
        owned->SetQualityPercent(static_cast<uint32_t>(*quality));
    if (const SchemeWord* entry = SchemeWordOf(args[0]); entry != nullptr && entry->variant >= 0)
        owned->SetSc36Variant(static_cast<uint8_t>(entry->variant));
    SWsound* sound = world.GetSoundList().Add(std::move(owned));
    SWbuffer buffer;
    bool stored = false;
    {
        SWchunkstream out(buffer, SWchunkstream::kWrite);
        stored = SWcompressionschemes::Table().WriteResource(kSoundKind, out, sound, 0) &&
                 out.Status() == SWchunkstream::kStatusGood;
    }
    reports.Print();
    const std::vector<uint8_t> record = buffer.ToVector();
    const std::optional<std::vector<uint8_t>> payload = PayloadAfterNames(record);
    if (!stored || !payload)
        return ReportError(kExitRefused, std::string("cannot encode ") + args[1] + " with scheme " + args[0]);
    if (!codectool::FinishOutput(*output, *payload, error))
        return ReportError(kExitRefused, error);
    char tag[5] = {};
    pf::storeU32le(reinterpret_cast<uint8_t*>(tag), pf::loadU32le(record.data()));
    std::printf("%zu bytes\n", payload->size());
    std::printf("record %s: %zu bytes\n", tag, record.size());
    return kExitDone;
}

int DecodeThroughScheme(std::span<char* const> args)
{
    if (args.size() != 3)
        return ReportError(kExitUsage, "usage: vortan-codec sound decode SCHEME IN.bin OUT.wav");
    const SWcompressionscheme* row = SoundRowOf(args[0]);
    if (row == nullptr)
        return ReportError(kExitUsage, std::string("no sound scheme \"") + args[0] + "\"");
    std::string error;
    const std::optional<std::vector<uint8_t>> payload =
        codectool::ReadWholeFile(args[1], error, codectool::kMaxInputBytes - 16);
    if (!payload)
        return ReportError(kExitRefused, error);
    const std::unique_ptr<pf::AtomicFile> output = codectool::OpenOutput(args[2], error);
    if (!output)
        return ReportError(kExitRefused, error);

    // The record a world would hold: the row's tag, the sound's name (the input's, so that the row's reports name
    // it), an empty file name, then the payload.
    const std::string name = args[1];
    std::vector<uint8_t> record(kRecordHeadBytes + 4);
    pf::storeU32le(&record[0], row->GetId());
    pf::storeU32le(&record[4], static_cast<uint32_t>(8 + name.size() + payload->size()));
    pf::storeU32le(&record[8], static_cast<uint32_t>(name.size()));
    record.insert(record.end(), name.begin(), name.end());
    record.insert(record.end(), 4, 0);
    record.insert(record.end(), payload->begin(), payload->end());

    StderrReports reports;
    SWworld world; // deletes the temporary file the row makes when it goes
    auto owned = std::make_unique<SWsound>();
    owned->SetWorld(&world);
    SWsound* sound = world.GetSoundList().Add(std::move(owned));
    SWchunkstream in(record);
    const bool read = SWcompressionschemes::Table().ReadResource(row->GetId(), in, sound, 0);
    if (!reports.writeFailure.empty()) {
        reports.Discard();
        return ReportError(kExitRefused, std::string("cannot write ") + args[2] + ": " + reports.writeFailure);
    }
    // A row reads a damaged payload as far as it can and says what the world keeps of it; here nothing is kept, as
    // no part is written, so its reports give way to the one line that says so.
    if (!read || reports.count > 0) {
        reports.Discard();
        return ReportError(kExitRefused, std::string("cannot decode ") + args[1] + " with scheme " + args[0] +
                                             ": the payload is damaged; " + args[2] + " was not written");
    }
    const std::optional<std::vector<uint8_t>> wave = codectool::ReadWholeFile(sound->GetFileName(), error);
    if (!wave)
        return ReportError(kExitFailed, error);
    if (!codectool::FinishOutput(*output, *wave, error))
        return ReportError(kExitRefused, error);
    return kExitDone;
}

namespace {

int AcceptsCommand(std::span<char* const> args)
{
    if (args.size() != 1)
        return ReportError(kExitUsage, "usage: vortan-codec sound accepts IN.wav");
    std::string error;
    if (!codectool::CheckInputFile(args[0], error))
        return ReportError(kExitRefused, error);
    SWworld world;
    auto owned = std::make_unique<SWsound>("sound");
    owned->SetWorld(&world);
    owned->SetFileName(args[0]);
    const SWsound* sound = world.GetSoundList().Add(std::move(owned));
    for (const SWcompressionscheme* row : SWcompressionschemes::Table().OfferedRows(SchemeKind::kSound)) {
        char id[5] = {};
        pf::storeU32le(reinterpret_cast<uint8_t*>(id), row->GetId());
        const bool accepted = row->Accepts(sound);
        const std::optional<std::string> why = accepted ? std::nullopt : row->Describe(sound);
        std::printf("%s %-10s %s%s%s\n", id, row->GetShortName().c_str(), accepted ? "yes" : "no", why ? ": " : "",
                    why ? why->c_str() : "");
    }
    return kExitDone;
}

const bool kRegistered = RegisterCodecToolCommand({"sound", "accepts", "IN.wav", AcceptsCommand});

} // namespace
