// vortan-train sc36: the SC36 speech codec's quantiser tables as generated source.
#include "apps/train/sc36_train.h"
#include "apps/train/corpus_hash.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "apps/train/train_exit_codes.h"
#include "codecs/sound/speech/sc36/tables/sc36_training.h"
#include "platform/base/atomic_file.h"
#include "platform/media/riff_wave_reader.h"
#include "testsupport/sound/pcm_samples.h"
#include "testsupport/tools/tool_input.h"

namespace {

constexpr const char* kCommittedPath = "codecs/sound/speech/sc36/tables/sc36_coding_tables.cpp";
constexpr const char* kUsage = "usage: vortan-train sc36 bootstrap --out FILE\n"
                               "       vortan-train sc36 train --corpus DIR --out FILE [--passes N]";

int Report(int code, const std::string& message)
{
    std::fprintf(stderr, "vortan-train: %s\n", message.c_str());
    return code;
}

// 16-bit mono at 8000 Hz, or at 16000 Hz decimated; empty with a reason otherwise.
std::vector<int16_t> ReadSpeech(const std::filesystem::path& path, std::string& outError)
{
    pf::WaveError error = pf::WaveError::kNone;
    const auto reader = pf::RiffWaveReader::open(path.string(), &error);
    if (!reader) {
        outError = "cannot read " + path.string();
        return {};
    }
    const pf::WaveFormat& format = reader->format();
    if (format.channels != 1 || format.bits != 16 || (format.rate != 8000 && format.rate != 16000)) {
        outError = path.string() + " is not 16-bit mono at 8000 or 16000 Hz";
        return {};
    }
    const std::vector<int16_t> samples = soundtest::ReadPcmSamples(*reader);
    return format.rate == 16000 ? sound::DecimateSpeechByTwo(samples) : samples;
}

// The training share of the corpus: DIR/train/*.wav in name order, so that every run reads the same frames.
std::vector<std::filesystem::path> TrainingFiles(const std::filesystem::path& corpus)
{
    std::vector<std::filesystem::path> files;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(corpus / "train", error))
        if (entry.path().extension() == ".wav")
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

int WriteSource(const std::string& out, const sound::Sc36Tables& tables, const std::string& command,
                const std::string& provenance)
{
    if (const char* broken = sound::CheckSc36Tables(tables))
        return Report(kExitFailed, std::string("the tables break a constraint: ") + broken);
    std::string error;
    if (!pf::writeFileAtomically(out, sound::Sc36TablesSource(tables, command, provenance), &error))
        return Report(kExitFailed, tooltest::WriteRefusal(out, error));
    return kExitDone;
}

int Bootstrap(std::span<char* const> args)
{
    if (args.size() != 2 || std::strcmp(args[0], "--out") != 0)
        return Report(kExitUsage, kUsage);
    const std::string command = std::string("vortan-train sc36 bootstrap --out ") + kCommittedPath;
    const int code = WriteSource(args[1], sound::BuildBootstrapSc36Tables(), command, "The bootstrap tables.");
    if (code == kExitDone)
        std::printf("%s: %d values\n", args[1], sound::kSc36TableValueCount);
    return code;
}

int Train(std::span<char* const> args)
{
    std::string corpus, out;
    int passes = 3;
    for (size_t i = 0; i + 1 < args.size(); i += 2) {
        const std::string_view key = args[i];
        const std::string_view value = args[i + 1];
        if (key == "--corpus") {
            corpus = value;
        } else if (key == "--out") {
            out = value;
        } else if (key == "--passes") {
            const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), passes);
            if (ec != std::errc() || end != value.data() + value.size() || passes < 1 || passes > 10)
                return Report(kExitUsage, "--passes takes 1 to 10");
        } else {
            return Report(kExitUsage, kUsage);
        }
    }
    if (args.size() % 2 != 0 || corpus.empty() || out.empty())
        return Report(kExitUsage, kUsage);
    const std::vector<std::filesystem::path> files = TrainingFiles(corpus);
    if (files.empty())
        return Report(kExitRefused, "no wave files in " + corpus + "/train");
    std::vector<sound::Sc36TrainingFrame> frames;
    uint64_t hash = kCorpusHashStart;
    for (const auto& file : files) {
        std::string error;
        const std::vector<int16_t> samples = ReadSpeech(file, error);
        if (!error.empty())
            return Report(kExitRefused, error);
        hash = CorpusHash(hash, file.filename().string(), samples);
        if (!sound::CollectSc36TrainingFrames(samples, frames))
            return Report(kExitFailed, "out of memory");
    }
    const sound::Sc36Tables start = sound::BuildBootstrapSc36Tables();
    const sound::Sc36TrainingPass before = sound::MeasureSc36Tables(frames, start);
    std::vector<sound::Sc36TrainingPass> report;
    const sound::Sc36Tables trained = sound::TrainSc36Tables(frames, start, passes, report);
    char line[200];
    std::snprintf(line, sizeof line, "%zu files, %zu frames, corpus hash %016llx", files.size(), frames.size(),
                  static_cast<unsigned long long>(hash));
    const std::string summary = line;
    std::printf("%s\n", summary.c_str());
    const auto print = [&](const char* name, const sound::Sc36TrainingPass& p) {
        std::printf("%-9s envelope %.6f refined %.6f gain %.6f phase %.6f\n", name, p.envelopeError, p.refinedError,
                    p.gainError, p.phaseError);
    };
    print("bootstrap", before);
    for (size_t i = 0; i < report.size(); ++i) {
        const std::string name = "pass " + std::to_string(i + 1);
        print(name.c_str(), report[i]);
    }
    const std::string command = "vortan-train sc36 train --corpus CORPUS --out " + std::string(kCommittedPath) +
                                " --passes " + std::to_string(passes);
    const int code = WriteSource(out, trained, command, "Trained: " + summary + ".");
    if (code == kExitDone)
        std::printf("%s: %d values\n", out.c_str(), sound::kSc36TableValueCount);
    return code;
}

} // namespace

int RunSc36Train(std::span<char* const> args)
{
    if (!args.empty() && std::strcmp(args[0], "bootstrap") == 0)
        return Bootstrap(args.subspan(1));
    if (!args.empty() && std::strcmp(args[0], "train") == 0)
        return Train(args.subspan(1));
    return Report(kExitUsage, kUsage);
}
