// Training of the envelope codebooks: a pass is repeatable to the byte, keeps the rows the decoder needs, and the
// tables it learns on one half of a speech fixture quantise the other half's envelope better than the bootstrap
// draws, and decode it closer to the original.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "codecs/sound/Tonalwave/tables/tonalwave_bootstrap.h"
#include "codecs/sound/Tonalwave/tables/tonalwave_training.h"
#include "codecs/sound/Tonalwave/tonalwave_codebooks.h"
#include "codecs/sound/Tonalwave/tonalwave_slot_driver.h"
#include "testsupport/sound/sound_metrics.h"

namespace {

using sound::TonalwaveSet;

std::vector<int16_t> Speech(const char* name, int rate)
{
    const char* root = std::getenv("VORTAN_SOURCE_DIR");
    const std::filesystem::path path =
        std::filesystem::path(root != nullptr ? root : ".") / "codecs/sound/tests/data" / name;
    std::vector<uint8_t> bytes;
    if (FILE* file = std::fopen(path.string().c_str(), "rb")) {
        uint8_t buffer[65536];
        size_t got = 0;
        while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
            bytes.insert(bytes.end(), buffer, buffer + got);
        std::fclose(file);
    }
    sound::TonalwaveSourceSound sound = sound::ReadWaveSamples(std::move(bytes));
    EXPECT_EQ(sound.channels, 1);
    EXPECT_EQ(sound.sampleRate, rate);
    return sound.samples;
}

// The fixture's first and second halves: the training share and the held-out share.
struct Halves {
    std::vector<std::vector<int16_t>> train;
    std::vector<int16_t> heldOut;
};

Halves SplitSpeech()
{
    const std::vector<int16_t> speech = Speech("speech_8000_mono.wav", 8000);
    const size_t half = speech.size() / 2;
    Halves halves;
    halves.train.emplace_back(speech.begin(), speech.begin() + static_cast<ptrdiff_t>(half));
    halves.heldOut.assign(speech.begin() + static_cast<ptrdiff_t>(half), speech.end());
    return halves;
}

TEST(TonalwaveTraining, APassRepeatsByteForByteAndKeepsTheDecodersConstraints)
{
    const Halves halves = SplitSpeech();
    ASSERT_FALSE(halves.train[0].empty());
    const std::vector<int16_t> start = sound::BuildBootstrapTables(TonalwaveSet::k8k8);
    std::vector<sound::TonalwaveTrainingPass> first;
    std::vector<sound::TonalwaveTrainingPass> second;
    const std::vector<int16_t> once = sound::TrainTonalwaveTables(TonalwaveSet::k8k8, halves.train, start, 1, first);
    const std::vector<int16_t> again = sound::TrainTonalwaveTables(TonalwaveSet::k8k8, halves.train, start, 1, second);
    EXPECT_EQ(once, again);
    ASSERT_EQ(first.size(), 2u);
    EXPECT_EQ(first[0].lspError, second[0].lspError);
    EXPECT_GT(first[0].lspFrames, 30u); // 2.5 s of 512-sample frames
    EXPECT_GT(first[0].bandVectors, first[0].lspFrames);
    EXPECT_NE(once, start);

    const sound::TonalwaveTableShape shape = sound::ShapeOf(TonalwaveSet::k8k8);
    ASSERT_EQ(once.size(), shape.total);
    const auto order = static_cast<size_t>(shape.lspOrder);
    for (int row = 0; row < shape.lspStage1Rows; ++row) {
        const int16_t* line = once.data() + shape.lspOffset + static_cast<size_t>(row) * order;
        EXPECT_GT(line[0], 0) << "row " << row;
        EXPECT_LT(line[order - 1], 6434) << "row " << row; // pi in stored units
        for (size_t k = 1; k < order; ++k)
            EXPECT_LT(line[k - 1], line[k]) << "row " << row;
    }
    // Only the envelope codebooks move: the main and periodic rows and the predictors stay as they were.
    const size_t predictors = shape.lspOffset + static_cast<size_t>(shape.lspStage1Rows + shape.lspStage2Rows) * order;
    EXPECT_TRUE(std::equal(once.begin() + static_cast<ptrdiff_t>(predictors), once.end(),
                           start.begin() + static_cast<ptrdiff_t>(predictors)));
    EXPECT_TRUE(std::equal(once.begin() + static_cast<ptrdiff_t>(shape.periodicOffset),
                           once.begin() + static_cast<ptrdiff_t>(shape.periodicOffset + shape.periodicSize),
                           start.begin() + static_cast<ptrdiff_t>(shape.periodicOffset)));
}

TEST(TonalwaveTraining, TrainedTablesBeatTheBootstrapOnHeldOutSpeech)
{
    const Halves halves = SplitSpeech();
    const std::vector<int16_t> start = sound::BuildBootstrapTables(TonalwaveSet::k8k8);
    std::vector<sound::TonalwaveTrainingPass> passes;
    const std::vector<int16_t> trained =
        sound::TrainTonalwaveTables(TonalwaveSet::k8k8, halves.train, start, 3, passes);
    ASSERT_EQ(passes.size(), 4u);
    // On the training share every pass lowers the band-scale error, which the centroid step cannot raise.
    for (size_t i = 1; i < passes.size(); ++i)
        EXPECT_LT(passes[i].bandError, passes[i - 1].bandError) << "pass " << i;

    const std::vector<std::vector<int16_t>> heldOut = {halves.heldOut};
    const sound::TonalwaveTrainingPass before = sound::MeasureTonalwaveTables(TonalwaveSet::k8k8, heldOut, start);
    const sound::TonalwaveTrainingPass after = sound::MeasureTonalwaveTables(TonalwaveSet::k8k8, heldOut, trained);
    std::printf("held out: LSP error %.6f -> %.6f, band-scale error %.5f -> %.5f\n", before.lspError, after.lspError,
                before.bandError, after.bandError);
    EXPECT_LT(after.lspError, before.lspError);
    EXPECT_LT(after.bandError, before.bandError);

    const std::vector<int16_t> bootstrapOut =
        sound::TonalwaveRoundTripWithTables(TonalwaveSet::k8k8, halves.heldOut, start);
    const std::vector<int16_t> trainedOut =
        sound::TonalwaveRoundTripWithTables(TonalwaveSet::k8k8, halves.heldOut, trained);
    ASSERT_EQ(bootstrapOut.size(), trainedOut.size());
    ASSERT_GE(trainedOut.size(), halves.heldOut.size() + 512);
    const soundtest::SoundComparison a = soundtest::CompareSounds(halves.heldOut, bootstrapOut, 1, 8000, 2048);
    const soundtest::SoundComparison b = soundtest::CompareSounds(halves.heldOut, trainedOut, 1, 8000, 2048);
    std::printf("held out: log-spectral distance %.2f -> %.2f dB, segmental SNR %.2f -> %.2f dB\n",
                a.logSpectralDistanceDb, b.logSpectralDistanceDb, a.segmentalSnrDb, b.segmentalSnrDb);
    EXPECT_EQ(b.lagFrames, 1024);
    EXPECT_LT(b.logSpectralDistanceDb, a.logSpectralDistanceDb);
}

// The committed tables, trained on synthesised speech that never includes the fixtures' sentences, against the
// bootstrap draws on each set's speech fixture: smaller envelope errors and a smaller decoded spectral distance.
TEST(TonalwaveTraining, CommittedTablesBeatTheBootstrapOnTheFixtures)
{
    struct Case {
        TonalwaveSet set;
        const char* fixture;
        int rate;
    };
    const Case cases[] = {{TonalwaveSet::k8k8, "speech_8000_mono.wav", 8000},
                          {TonalwaveSet::k8k6, "speech_8000_mono.wav", 8000},
                          {TonalwaveSet::k11k10, "speech_11025_mono.wav", 11025},
                          {TonalwaveSet::k22k24, "speech_22050_mono.wav", 22050}};
    int trainedSets = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(sound::NameOf(c.set));
        const std::vector<int16_t> bootstrap = sound::BuildBootstrapTables(c.set);
        const std::span<const int16_t> stored = sound::StoredTablesOf(c.set);
        if (std::equal(bootstrap.begin(), bootstrap.end(), stored.begin(), stored.end()))
            continue; // still the bootstrap draws
        ++trainedSets;
        const std::vector<std::vector<int16_t>> speech = {Speech(c.fixture, c.rate)};
        ASSERT_FALSE(speech[0].empty());
        const sound::TonalwaveTrainingPass before = sound::MeasureTonalwaveTables(c.set, speech, bootstrap);
        const sound::TonalwaveTrainingPass after = sound::MeasureTonalwaveTables(c.set, speech, stored);
        const soundtest::SoundComparison a = soundtest::CompareSounds(
            speech[0], sound::TonalwaveRoundTripWithTables(c.set, speech[0], bootstrap), 1, c.rate, 8192);
        const soundtest::SoundComparison b = soundtest::CompareSounds(
            speech[0], sound::TonalwaveRoundTripWithTables(c.set, speech[0], stored), 1, c.rate, 8192);
        std::printf("%s: LSP error %.4f -> %.4f, band-scale error %.2f -> %.2f, log-spectral distance %.2f -> %.2f "
                    "dB, segmental SNR %.2f -> %.2f dB\n",
                    sound::NameOf(c.set), before.lspError, after.lspError, before.bandError, after.bandError,
                    a.logSpectralDistanceDb, b.logSpectralDistanceDb, a.segmentalSnrDb, b.segmentalSnrDb);
        EXPECT_LT(after.lspError, before.lspError);
        EXPECT_LT(after.bandError, before.bandError);
        EXPECT_LT(b.logSpectralDistanceDb, a.logSpectralDistanceDb);
    }
    std::printf("%d of 4 sets carry trained tables\n", trainedSets);
}

TEST(TonalwaveTraining, SetsWithoutTablesHaveNoTrainingConfiguration)
{
    EXPECT_TRUE(sound::MonoConfigurationOf(TonalwaveSet::k8k8).has_value());
    EXPECT_TRUE(sound::MonoConfigurationOf(TonalwaveSet::k22k24).has_value());
    EXPECT_FALSE(sound::MonoConfigurationOf(TonalwaveSet::k16k16).has_value());
    std::vector<sound::TonalwaveTrainingPass> passes;
    const std::vector<int16_t> start = sound::BuildBootstrapTables(TonalwaveSet::k8k8);
    // A start of the wrong size cannot open an encoder: the tables come back unchanged, with no pass recorded.
    const std::vector<int16_t> wrong(start.begin(), start.end() - 1);
    EXPECT_EQ(sound::TrainTonalwaveTables(TonalwaveSet::k8k8, {{0, 1, 2}}, wrong, 2, passes), wrong);
    EXPECT_TRUE(sound::TonalwaveRoundTripWithTables(TonalwaveSet::k8k8, std::vector<int16_t>(100), wrong).empty());
}

} // namespace
