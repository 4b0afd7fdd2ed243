// Training of the codebooks: a pass is repeatable to the byte whatever the thread count, keeps the rows the decoder
// needs, never learns from its validation share, and the tables it learns on one half of a speech fixture quantise
// the other half better than the bootstrap draws, and decode it closer to the original.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "codecs/sound/Tonalwave/tables/tonalwave_bootstrap.h"
#include "codecs/sound/Tonalwave/tables/tonalwave_training.h"
#include "codecs/sound/Tonalwave/tonalwave_codebooks.h"
#include "testsupport/sound/sound_metrics.h"
#include "testsupport/sound/speech_fixture.h"

namespace {

using sound::TonalwaveSet;

uint32_t Little(const std::vector<uint8_t>& bytes, size_t at, int count)
{
    uint32_t value = 0;
    for (int i = count - 1; i >= 0; --i)
        value = value << 8 | bytes[at + static_cast<size_t>(i)];
    return value;
}

// The 16-bit samples of a committed fixture of rate and channels, mixed to mono; empty (with a failure) otherwise.
std::vector<int16_t> Fixture(const char* name, int rate, uint32_t channels)
{
    const std::filesystem::path path = soundtest::SoundFixturePath(name);
    const std::vector<uint8_t> bytes = soundtest::SoundFixtureBytes(name);
    std::vector<int16_t> samples;
    bool formatSeen = false;
    for (size_t at = 12; at + 8 <= bytes.size();) {
        const size_t size = Little(bytes, at + 4, 4);
        if (size > bytes.size() - at - 8)
            break;
        if (std::equal(bytes.begin() + static_cast<ptrdiff_t>(at), bytes.begin() + static_cast<ptrdiff_t>(at + 4),
                       "fmt ") &&
            size >= 16) {
            EXPECT_EQ(Little(bytes, at + 10, 2), channels) << name << ": channels";
            EXPECT_EQ(Little(bytes, at + 12, 4), static_cast<uint32_t>(rate)) << name << ": rate";
            EXPECT_EQ(Little(bytes, at + 22, 2), 16u) << name << ": bits";
            formatSeen = true;
        } else if (std::equal(bytes.begin() + static_cast<ptrdiff_t>(at),
                              bytes.begin() + static_cast<ptrdiff_t>(at + 4), "data") &&
                   formatSeen) {
            for (size_t i = 0; i + 2 * channels <= size; i += 2 * channels) {
                int sum = 0;
                for (uint32_t c = 0; c < channels; ++c)
                    sum += static_cast<int16_t>(Little(bytes, at + 8 + i + 2 * c, 2));
                samples.push_back(static_cast<int16_t>(sum / static_cast<int>(channels)));
            }
        }
        at += 8 + size + (size & 1);
    }
    EXPECT_FALSE(samples.empty()) << path;
    return samples;
}

std::vector<int16_t> Speech(const char* name, int rate)
{
    return Fixture(name, rate, 1);
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

// The training half cut into pieces of a quarter of a second, so that runs of them code on several threads.
std::vector<std::vector<int16_t>> Pieces(const std::vector<int16_t>& sound, size_t length)
{
    std::vector<std::vector<int16_t>> pieces;
    for (size_t at = 0; at < sound.size(); at += length)
        pieces.emplace_back(sound.begin() + static_cast<ptrdiff_t>(at),
                            sound.begin() + static_cast<ptrdiff_t>(std::min(at + length, sound.size())));
    return pieces;
}

bool SameRange(const std::vector<int16_t>& a, const std::vector<int16_t>& b, size_t from, size_t count)
{
    return std::equal(a.begin() + static_cast<ptrdiff_t>(from), a.begin() + static_cast<ptrdiff_t>(from + count),
                      b.begin() + static_cast<ptrdiff_t>(from));
}

TEST(TonalwaveTraining, APassRepeatsByteForByteOnAnyThreadCountAndKeepsTheDecodersConstraints)
{
    const Halves halves = SplitSpeech();
    ASSERT_FALSE(halves.train[0].empty());
    const std::vector<std::vector<int16_t>> pieces = Pieces(halves.train[0], 2000);
    ASSERT_GE(pieces.size(), 9u); // three runs of four at least
    const std::vector<int16_t> start = sound::BuildBootstrapTables(TonalwaveSet::k8k8);
    sound::TonalwaveTrainingOptions options;
    options.passes = 1;
    options.validationEvery = 0;
    const sound::TonalwaveTrainingResult once = sound::TrainTonalwaveTables(TonalwaveSet::k8k8, pieces, start, options);
    options.threads = 3;
    const sound::TonalwaveTrainingResult again =
        sound::TrainTonalwaveTables(TonalwaveSet::k8k8, pieces, start, options);
    options.threads = 2;
    const sound::TonalwaveTrainingResult twice =
        sound::TrainTonalwaveTables(TonalwaveSet::k8k8, pieces, start, options);
    EXPECT_EQ(once.tables, again.tables);
    EXPECT_EQ(once.tables, twice.tables);
    ASSERT_EQ(once.rounds.size(), 2u);
    ASSERT_EQ(again.rounds.size(), 2u);
    for (size_t i = 0; i < 2; ++i) {
        // The sums are added in one order: the errors agree to the last bit, not just closely.
        EXPECT_EQ(once.rounds[i].training.lspError, again.rounds[i].training.lspError);
        EXPECT_EQ(once.rounds[i].training.mainError, again.rounds[i].training.mainError);
        EXPECT_EQ(once.rounds[i].training.periodicError, again.rounds[i].training.periodicError);
    }
    const sound::TonalwaveTrainingPass& counted = once.rounds[0].training;
    EXPECT_GT(counted.lspFrames, 30u); // 2.5 s of 512-sample frames
    EXPECT_GT(counted.bandVectors, counted.lspFrames);
    EXPECT_GT(counted.mainVectors, counted.lspFrames);
    EXPECT_GT(counted.periodicVectors, 0u);
    // With no validation share the training share scores the rounds; one pass beats the bootstrap draws.
    EXPECT_EQ(once.kept, 1u);
    EXPECT_LT(once.rounds[1].score, once.rounds[0].score);

    const sound::TonalwaveTableShape shape = sound::ShapeOf(TonalwaveSet::k8k8);
    const std::vector<int16_t>& trained = once.tables;
    ASSERT_EQ(trained.size(), shape.total);
    const auto order = static_cast<size_t>(shape.lspOrder);
    for (int row = 0; row < shape.lspStage1Rows; ++row) {
        const int16_t* line = trained.data() + shape.lspOffset + static_cast<size_t>(row) * order;
        EXPECT_GT(line[0], 0) << "row " << row;
        EXPECT_LT(line[order - 1], 6434) << "row " << row; // pi in stored units
        for (size_t k = 1; k < order; ++k)
            EXPECT_LT(line[k - 1], line[k]) << "row " << row;
    }
    // Every codebook moves, the predictor rows too, which stay in [0, 0.95].
    for (size_t k = 0; k < shape.mainSize.size(); ++k)
        EXPECT_FALSE(SameRange(trained, start, shape.mainOffset[k], 2 * shape.mainSize[k])) << "main pair " << k;
    EXPECT_FALSE(SameRange(trained, start, shape.periodicOffset, shape.periodicSize / 2));
    EXPECT_FALSE(SameRange(trained, start, shape.periodicOffset + shape.periodicSize / 2, shape.periodicSize / 2));
    const size_t predictors = shape.lspOffset + static_cast<size_t>(shape.lspStage1Rows + shape.lspStage2Rows) * order;
    ASSERT_EQ(shape.total - predictors, 2 * order);
    EXPECT_FALSE(SameRange(trained, start, predictors, 2 * order)); // a short sound may use one set only
    for (size_t i = predictors; i < shape.total; ++i) {
        EXPECT_GE(trained[i], 0) << "predictor value " << i - predictors;
        EXPECT_LE(trained[i] / 2048.0, 0.95) << "predictor value " << i - predictors;
    }
}

TEST(TonalwaveTraining, TheValidationShareOnlyMeasures)
{
    const Halves halves = SplitSpeech();
    const std::vector<std::vector<int16_t>> pieces = Pieces(halves.train[0], 5000);
    ASSERT_GE(pieces.size(), 4u);
    const std::vector<int16_t> start = sound::BuildBootstrapTables(TonalwaveSet::k8k8);
    // Every second piece validates; training on the first pieces alone must see exactly the same training share.
    std::vector<std::vector<int16_t>> odd;
    for (size_t i = 0; i < pieces.size(); i += 2)
        odd.push_back(pieces[i]);
    sound::TonalwaveTrainingOptions options;
    options.passes = 2;
    options.validationEvery = 2;
    const sound::TonalwaveTrainingResult held = sound::TrainTonalwaveTables(TonalwaveSet::k8k8, pieces, start, options);
    options.validationEvery = 0;
    const sound::TonalwaveTrainingResult alone = sound::TrainTonalwaveTables(TonalwaveSet::k8k8, odd, start, options);
    ASSERT_EQ(held.rounds.size(), 3u);
    ASSERT_EQ(alone.rounds.size(), 3u);
    for (size_t i = 0; i < held.rounds.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(held.rounds[i].training.mainError, alone.rounds[i].training.mainError);
        EXPECT_EQ(held.rounds[i].training.mainVectors, alone.rounds[i].training.mainVectors);
        EXPECT_NE(held.rounds[i].validation.mainError, held.rounds[i].training.mainError);
    }
    // The kept round is the one whose tables score lowest on the validation share, its tables the result.
    size_t best = 0;
    for (size_t i = 1; i < held.rounds.size(); ++i)
        if (held.rounds[i].score < held.rounds[best].score)
            best = i;
    EXPECT_EQ(held.kept, best);
    EXPECT_DOUBLE_EQ(held.rounds[0].score, 4.0); // four quantisers, each relative to itself
}

TEST(TonalwaveTraining, TrainedTablesBeatTheBootstrapOnHeldOutSpeech)
{
    const Halves halves = SplitSpeech();
    const std::vector<int16_t> start = sound::BuildBootstrapTables(TonalwaveSet::k8k8);
    sound::TonalwaveTrainingOptions options;
    options.passes = 3;
    options.validationEvery = 0;
    const sound::TonalwaveTrainingResult result =
        sound::TrainTonalwaveTables(TonalwaveSet::k8k8, halves.train, start, options);
    ASSERT_EQ(result.rounds.size(), 4u);
    // On the training share every pass lowers the band-scale and main errors, which the least-squares step cannot
    // raise for the choices it was given and the encoder's search then improves on.
    for (size_t i = 1; i < result.rounds.size(); ++i) {
        EXPECT_LT(result.rounds[i].training.bandError, result.rounds[i - 1].training.bandError) << "pass " << i;
        EXPECT_LT(result.rounds[i].training.mainError, result.rounds[i - 1].training.mainError) << "pass " << i;
    }
    const std::vector<int16_t>& trained = result.tables;

    const std::vector<std::vector<int16_t>> heldOut = {halves.heldOut};
    const sound::TonalwaveTrainingPass before = sound::MeasureTonalwaveTables(TonalwaveSet::k8k8, heldOut, start);
    const sound::TonalwaveTrainingPass after = sound::MeasureTonalwaveTables(TonalwaveSet::k8k8, heldOut, trained);
    std::printf("held out: LSP error %.6f -> %.6f, band-scale error %.5f -> %.5f, main error %.6g -> %.6g, periodic "
                "error %.6g -> %.6g\n",
                before.lspError, after.lspError, before.bandError, after.bandError, before.mainError, after.mainError,
                before.periodicError, after.periodicError);
    EXPECT_LT(after.lspError, before.lspError);
    EXPECT_LT(after.bandError, before.bandError);
    EXPECT_LT(after.mainError, before.mainError);
    EXPECT_LT(after.periodicError, before.periodicError);
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

// The committed tables, trained on synthesised speech and rendered music that never include the fixtures, against
// the bootstrap draws on each set's fixtures (the music mixed to mono): smaller errors in every quantiser, a higher
// segmental SNR and a smaller spectral distance of the decoded sound, each by at least the margin measured when the
// tables were committed, less 1 dB.
TEST(TonalwaveTraining, CommittedTablesBeatTheBootstrapOnTheFixtures)
{
    struct Case {
        TonalwaveSet set;
        const char* fixture;
        int rate;
        uint32_t channels;
        double snrGainDb;      // at least
        double distanceDropDb; // at least
    };
    const Case cases[] = {
        {TonalwaveSet::k8k8, "speech_8000_mono.wav", 8000, 1, 4.4, 2.6},
        {TonalwaveSet::k8k6, "speech_8000_mono.wav", 8000, 1, 3.2, 0.3},
        {TonalwaveSet::k11k10, "speech_11025_mono.wav", 11025, 1, 4.7, 3.3},
        {TonalwaveSet::k11k10, "music_11025_stereo.wav", 11025, 2, 5.2, 5.0},
        {TonalwaveSet::k22k24, "speech_22050_mono.wav", 22050, 1, 6.5, 5.9},
        {TonalwaveSet::k22k24, "music_22050_stereo.wav", 22050, 2, 7.1, 5.5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fixture);
        SCOPED_TRACE(sound::NameOf(c.set));
        const std::vector<int16_t> bootstrap = sound::BuildBootstrapTables(c.set);
        const std::span<const int16_t> stored = sound::StoredTablesOf(c.set);
        const std::vector<std::vector<int16_t>> sound = {Fixture(c.fixture, c.rate, c.channels)};
        ASSERT_FALSE(sound[0].empty());
        const sound::TonalwaveTrainingPass before = sound::MeasureTonalwaveTables(c.set, sound, bootstrap);
        const sound::TonalwaveTrainingPass after = sound::MeasureTonalwaveTables(c.set, sound, stored);
        const soundtest::SoundComparison a = soundtest::CompareSounds(
            sound[0], sound::TonalwaveRoundTripWithTables(c.set, sound[0], bootstrap), 1, c.rate, 8192);
        const soundtest::SoundComparison b = soundtest::CompareSounds(
            sound[0], sound::TonalwaveRoundTripWithTables(c.set, sound[0], stored), 1, c.rate, 8192);
        std::printf("%s on %s: errors LSP %.4f -> %.4f, band %.2f -> %.2f, main %.4g -> %.4g, periodic %.4g -> "
                    "%.4g; log-spectral distance %.2f -> %.2f dB, segmental SNR %.2f -> %.2f dB\n",
                    sound::NameOf(c.set), c.fixture, before.lspError, after.lspError, before.bandError, after.bandError,
                    before.mainError, after.mainError, before.periodicError, after.periodicError,
                    a.logSpectralDistanceDb, b.logSpectralDistanceDb, a.segmentalSnrDb, b.segmentalSnrDb);
        EXPECT_LT(after.lspError, before.lspError);
        EXPECT_LT(after.bandError, before.bandError);
        EXPECT_LT(after.mainError, before.mainError);
        EXPECT_LT(after.periodicError, before.periodicError);
        EXPECT_GE(b.segmentalSnrDb - a.segmentalSnrDb, c.snrGainDb);
        EXPECT_GE(a.logSpectralDistanceDb - b.logSpectralDistanceDb, c.distanceDropDb);
    }
}

TEST(TonalwaveTraining, SetsWithoutTablesHaveNoTrainingConfiguration)
{
    EXPECT_TRUE(sound::MonoConfigurationOf(TonalwaveSet::k8k8).has_value());
    EXPECT_TRUE(sound::MonoConfigurationOf(TonalwaveSet::k22k24).has_value());
    EXPECT_FALSE(sound::MonoConfigurationOf(TonalwaveSet::k16k16).has_value());
    const std::vector<int16_t> start = sound::BuildBootstrapTables(TonalwaveSet::k8k8);
    // A start of the wrong size cannot open an encoder: the tables come back unchanged, with no round recorded.
    const std::vector<int16_t> wrong(start.begin(), start.end() - 1);
    const sound::TonalwaveTrainingResult result =
        sound::TrainTonalwaveTables(TonalwaveSet::k8k8, {{0, 1, 2}}, wrong, sound::TonalwaveTrainingOptions{});
    EXPECT_EQ(result.tables, wrong);
    EXPECT_TRUE(result.rounds.empty());
    EXPECT_TRUE(sound::TonalwaveRoundTripWithTables(TonalwaveSet::k8k8, std::vector<int16_t>(100), wrong).empty());
}

} // namespace
