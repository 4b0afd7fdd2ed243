// vortan-train tonalwave train: a set's codebooks trained on the corpus, as generated source.
#include "apps/train/tonalwave_train.h"
#include "apps/train/corpus_hash.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "apps/train/train_exit_codes.h"
#include "codecs/sound/Tonalwave/tables/tonalwave_bootstrap.h"
#include "codecs/sound/Tonalwave/tables/tonalwave_training.h"
#include "platform/base/atomic_file.h"
#include "platform/media/riff_wave_reader.h"
#include "testsupport/sound/pcm_samples.h"
#include "testsupport/tools/tool_input.h"

namespace {

constexpr int kMostPasses = 50;
constexpr int kDefaultPasses = 5;
constexpr int kMostThreads = 64;
constexpr const char* kUsage = "usage: vortan-train tonalwave train --set 8k8|8k6|11k10|22k24 --corpus DIR --out FILE "
                               "[--passes N] [--threads N]";

int Report(int code, const std::string& message)
{
    std::fprintf(stderr, "vortan-train: %s\n", message.c_str());
    return code;
}

std::optional<sound::TonalwaveSet> SetOfSuffix(const std::string& suffix)
{
    for (int i = 0; i < sound::kTonalwaveSetCount; ++i) {
        const auto set = static_cast<sound::TonalwaveSet>(i);
        const char* name = sound::TableSuffixOf(set);
        if (*name != '\0' && suffix == name)
            return set;
    }
    return std::nullopt;
}

// Windowed-sinc rate change with a fixed kernel (Hann, 24 zero crossings each side of the narrower band's cutoff):
// plain double arithmetic in a fixed order, so every run gives the same samples.
std::vector<int16_t> Resample(const std::vector<int16_t>& in, int fromRate, int toRate)
{
    if (fromRate == toRate)
        return in;
    constexpr double kPi = 3.14159265358979323846;
    constexpr int kCrossings = 24;
    const double step = static_cast<double>(fromRate) / toRate;
    const double cutoff = std::min(1.0, 1.0 / step) * 0.95;
    const double half = kCrossings / cutoff;
    const auto count = static_cast<size_t>(static_cast<double>(in.size()) / step);
    std::vector<int16_t> out(count);
    for (size_t i = 0; i < count; ++i) {
        const double centre = static_cast<double>(i) * step;
        const auto first = static_cast<long>(std::ceil(centre - half));
        const auto last = static_cast<long>(std::floor(centre + half));
        double sum = 0.0;
        for (long j = std::max(first, 0L); j <= std::min(last, static_cast<long>(in.size()) - 1); ++j) {
            const double x = static_cast<double>(j) - centre;
            const double sinc = x == 0.0 ? cutoff : std::sin(kPi * cutoff * x) / (kPi * x);
            const double window = 0.5 + 0.5 * std::cos(kPi * x / half);
            sum += in[static_cast<size_t>(j)] * sinc * window;
        }
        out[i] = static_cast<int16_t>(std::clamp(std::round(sum), -32768.0, 32767.0));
    }
    return out;
}

// 16-bit mono at any rate, resampled to rate; empty with a reason otherwise.
std::vector<int16_t> ReadSpeech(const std::filesystem::path& path, int rate, std::string& outError)
{
    pf::WaveError error = pf::WaveError::kNone;
    const auto reader = pf::RiffWaveReader::open(path.string(), &error);
    if (!reader) {
        outError = "cannot read " + path.string();
        return {};
    }
    const pf::WaveFormat& format = reader->format();
    if (format.channels != 1 || format.bits != 16 || format.rate < 8000 || format.rate > 48000) {
        outError = path.string() + " is not 16-bit mono at 8000 to 48000 Hz";
        return {};
    }
    const std::vector<int16_t> samples = soundtest::ReadPcmSamples(*reader);
    return Resample(samples, static_cast<int>(format.rate), rate);
}

} // namespace

int RunTonalwaveTrain(std::span<char* const> args)
{
    std::string setWord;
    std::string corpus;
    std::string out;
    int passes = kDefaultPasses;
    int threads = 1;
    for (size_t i = 0; i < args.size(); i += 2) {
        if (i + 1 >= args.size())
            return Report(kExitUsage, kUsage);
        const std::string_view key = args[i];
        const std::string_view value = args[i + 1];
        if (key == "--set") {
            setWord = value;
        } else if (key == "--corpus") {
            corpus = value;
        } else if (key == "--out") {
            out = value;
        } else if (key == "--passes") {
            const auto [end, failure] = std::from_chars(value.data(), value.data() + value.size(), passes);
            if (failure != std::errc() || end != value.data() + value.size() || passes < 1 || passes > kMostPasses)
                return Report(kExitUsage, "--passes takes 1 to " + std::to_string(kMostPasses));
        } else if (key == "--threads") {
            const auto [end, failure] = std::from_chars(value.data(), value.data() + value.size(), threads);
            if (failure != std::errc() || end != value.data() + value.size() || threads < 1 || threads > kMostThreads)
                return Report(kExitUsage, "--threads takes 1 to " + std::to_string(kMostThreads));
        } else {
            return Report(kExitUsage, kUsage);
        }
    }
    if (setWord.empty() || corpus.empty() || out.empty())
        return Report(kExitUsage, kUsage);
    const std::optional<sound::TonalwaveSet> set = SetOfSuffix(setWord);
    const std::optional<sound::TonalwaveConfiguration> config = set ? sound::MonoConfigurationOf(*set) : std::nullopt;
    if (!config)
        return Report(kExitUsage, "SET must be 8k8, 8k6, 11k10 or 22k24, not \"" + setWord + "\"");

    // DIR/train/*.wav; a corpus root without a train folder gives every DIR/*/train/*.wav (speech, music).
    std::vector<std::filesystem::path> files;
    std::error_code error;
    std::vector<std::filesystem::path> folders;
    if (std::filesystem::is_directory(std::filesystem::path(corpus) / "train", error)) {
        folders.push_back(std::filesystem::path(corpus) / "train");
    } else {
        for (const auto& entry : std::filesystem::directory_iterator(corpus, error))
            if (std::filesystem::is_directory(entry.path() / "train", error))
                folders.push_back(entry.path() / "train");
    }
    std::sort(folders.begin(), folders.end());
    for (const std::filesystem::path& folder : folders) {
        std::vector<std::filesystem::path> waves;
        for (const auto& entry : std::filesystem::directory_iterator(folder, error))
            if (entry.path().extension() == ".wav")
                waves.push_back(entry.path());
        std::sort(waves.begin(), waves.end());
        files.insert(files.end(), waves.begin(), waves.end());
    }
    if (files.empty())
        return Report(kExitRefused, "no training waves in " + corpus + "/train or " + corpus + "/*/train");
    std::vector<std::vector<int16_t>> sounds;
    uint64_t hash = kCorpusHashStart;
    size_t samples = 0;
    for (const std::filesystem::path& file : files) {
        std::string reason;
        std::vector<int16_t> speech = ReadSpeech(file, config->sampleRate, reason);
        if (!reason.empty())
            return Report(kExitRefused, reason);
        hash = CorpusHash(hash, file.parent_path().parent_path().filename().string() + "/" + file.filename().string(),
                          speech);
        samples += speech.size();
        sounds.push_back(std::move(speech));
    }
    std::printf("corpus: %zu files, %.1f s at %d Hz, FNV-1a %016llx\n", files.size(),
                static_cast<double>(samples) / config->sampleRate, config->sampleRate,
                static_cast<unsigned long long>(hash));

    const auto started = std::chrono::steady_clock::now();
    const std::vector<int16_t> start = sound::BuildBootstrapTables(*set);
    sound::TonalwaveTrainingOptions options;
    options.passes = passes;
    options.threads = threads;
    const sound::TonalwaveTrainingResult result = sound::TrainTonalwaveTables(*set, sounds, start, options);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    if (result.rounds.empty())
        return Report(kExitFailed, "the bootstrap tables cannot open an encoder");
    // Per round, the tables it started from (round 0: the bootstrap); the last round's are the final pass's.
    std::string provenance = "weighted errors of each round's tables on the training and the validation share:\n";
    char line[240];
    for (size_t i = 0; i < result.rounds.size(); ++i) {
        const sound::TonalwaveTrainingRound& round = result.rounds[i];
        for (const bool validation : {false, true}) {
            const sound::TonalwaveTrainingPass& pass = validation ? round.validation : round.training;
            std::snprintf(line, sizeof line, "round %zu %s: LSP %.6g band %.6g main %.6g periodic %.6g", i,
                          validation ? "validation" : "training", pass.lspError, pass.bandError, pass.mainError,
                          pass.periodicError);
            std::string text = line;
            if (validation) {
                std::snprintf(line, sizeof line, "; score %.4f%s", round.score, i == result.kept ? ", kept" : "");
                text += line;
            }
            std::printf("%s\n", text.c_str());
            provenance += text + '\n';
        }
    }
    const sound::TonalwaveTrainingPass& counted = result.rounds[0].training;
    std::snprintf(line, sizeof line, "training share per round: %zu frames, %zu band, %zu main, %zu periodic vectors",
                  counted.lspFrames, counted.bandVectors, counted.mainVectors, counted.periodicVectors);
    std::printf("%s\n", line);
    provenance += line;
    provenance += '\n';
    const std::vector<int16_t>& trained = result.tables;
    std::snprintf(line, sizeof line, "corpus: %zu files (every 8th validation), %zu samples at %d Hz, FNV-1a %016llx",
                  files.size(), samples, config->sampleRate, static_cast<unsigned long long>(hash));
    provenance += line;
    // Within the source's column limit: the default pass count is left out, and the thread count changes nothing.
    const std::string command = "vortan-train tonalwave train --set " + setWord + " --corpus DIR --out " +
                                "codecs/sound/Tonalwave/tables/tonalwave_tables_" + setWord + ".cpp" +
                                (passes == kDefaultPasses ? "" : " --passes " + std::to_string(passes));
    const std::string source = sound::TrainedTablesSource(*set, trained, command, provenance);
    std::string writeError;
    if (!pf::writeFileAtomically(out, source, &writeError))
        return Report(kExitFailed, tooltest::WriteRefusal(out, writeError));
    std::printf("%s: %zu values, trained in %.1f s\n", out.c_str(), trained.size(), seconds);
    return kExitDone;
}
