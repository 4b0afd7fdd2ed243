#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include <gtest/gtest.h>

#include "codecs/sound/speech/sc36/sc36_tables.h"
#include "codecs/sound/speech/sc36/tables/sc36_training.h"
#include "codecs/sound/tests/speech_test_signals.h"
#include "testsupport/sound/speech_fixture.h"
#include "testsupport/sound/speech_metrics.h"

using namespace sound;

namespace {

// Vowels at a few pitches with a noise burst between them: voiced and unvoiced frames in both sets.
std::vector<int16_t> SmallCorpus()
{
    std::vector<int16_t> out;
    uint32_t state = 12345;
    for (const double f0 : {95.0, 130.0, 180.0, 240.0}) {
        const std::vector<int16_t> vowel = speechtest::Vowel(f0, 0.4);
        out.insert(out.end(), vowel.begin(), vowel.end());
        for (int i = 0; i < 800; ++i) {
            state = state * 1664525u + 1013904223u;
            out.push_back(static_cast<int16_t>(static_cast<int32_t>(state >> 20) - 2048));
        }
    }
    return out;
}

TEST(Sc36Tables, CodingTablesAreTrainedAndKeepEveryConstraint)
{
    const Sc36Tables& coding = Sc36CodingTables();
    EXPECT_EQ(CheckSc36Tables(coding), nullptr);
    EXPECT_NE(FlattenSc36Tables(coding), FlattenSc36Tables(BuildBootstrapSc36Tables()))
        << "the committed tables are the bootstrap set";
}

TEST(Sc36Tables, FlatValuesRoundTripAndRefuseAWrongCount)
{
    const std::vector<float> values = FlattenSc36Tables(Sc36CodingTables());
    ASSERT_EQ(values.size(), static_cast<size_t>(kSc36TableValueCount));
    Sc36Tables back;
    ASSERT_TRUE(UnflattenSc36Tables(values, back));
    EXPECT_EQ(FlattenSc36Tables(back), values);
    Sc36Tables untouched = BuildBootstrapSc36Tables();
    EXPECT_FALSE(UnflattenSc36Tables(std::span<const float>(values).first(values.size() - 1), untouched));
    EXPECT_EQ(FlattenSc36Tables(untouched), FlattenSc36Tables(BuildBootstrapSc36Tables()));
}

TEST(Sc36Tables, EachCollectedFileStartsItsOwnPreviousValues)
{
    std::vector<Sc36TrainingFrame> frames;
    ASSERT_TRUE(CollectSc36TrainingFrames(speechtest::Vowel(120.0, 0.3), frames));
    const size_t firstFile = frames.size();
    ASSERT_TRUE(CollectSc36TrainingFrames(speechtest::Vowel(200.0, 0.3), frames));
    ASSERT_GT(frames.size(), firstFile);
    for (size_t f = 0; f < frames.size(); ++f)
        EXPECT_EQ(frames[f].startsFile, f == 0 || f == firstFile) << f;
}

TEST(Sc36Tables, OneTrainingPassIsRepeatableAndKeepsTheConstraints)
{
    std::vector<Sc36TrainingFrame> frames;
    ASSERT_TRUE(CollectSc36TrainingFrames(SmallCorpus(), frames));
    ASSERT_GT(frames.size(), 50u);
    std::vector<Sc36TrainingPass> first, second;
    const Sc36Tables a = TrainSc36Tables(frames, BuildBootstrapSc36Tables(), 1, first);
    const Sc36Tables b = TrainSc36Tables(frames, BuildBootstrapSc36Tables(), 1, second);
    EXPECT_EQ(Sc36TablesSource(a, "x", "y"), Sc36TablesSource(b, "x", "y"));
    EXPECT_EQ(CheckSc36Tables(a), nullptr);
    ASSERT_EQ(first.size(), 1u);
    // Trained on these frames, the tables must fit them better than the first guess does.
    const Sc36TrainingPass before = MeasureSc36Tables(frames, BuildBootstrapSc36Tables());
    EXPECT_LT(first[0].envelopeError, before.envelopeError);
    EXPECT_LT(first[0].gainError, before.gainError);
}

// The fixture's sentence is none of the training corpus', so this is a held-out comparison.
TEST(Sc36Tables, TrainedTablesBeatTheBootstrapTablesOnTheFixture)
{
    const std::vector<int16_t> fixture = soundtest::SpeechFixture8k();
    ASSERT_FALSE(fixture.empty()) << "set VORTAN_SOURCE_DIR";
    std::vector<Sc36TrainingFrame> frames;
    ASSERT_TRUE(CollectSc36TrainingFrames(fixture, frames));
    const Sc36Tables bootstrap = BuildBootstrapSc36Tables();
    const Sc36TrainingPass trained = MeasureSc36Tables(frames, Sc36CodingTables());
    const Sc36TrainingPass first = MeasureSc36Tables(frames, bootstrap);
    std::printf("envelope error %.5f -> %.5f, refined %.5f -> %.5f, gain %.5f -> %.5f\n", first.envelopeError,
                trained.envelopeError, first.refinedError, trained.refinedError, first.gainError, trained.gainError);
    EXPECT_LT(trained.envelopeError, first.envelopeError);
    EXPECT_LT(trained.refinedError, first.refinedError);
    for (const bool enhanced : {false, true}) {
        SCOPED_TRACE(enhanced);
        const auto lsd = [&](const Sc36Tables& tables) {
            const std::vector<int16_t> decoded = Sc36RoundTripWithTables(fixture, tables, enhanced);
            const soundtest::SpeechComparison c = soundtest::CompareSpeech(fixture, decoded, 8000, 800);
            EXPECT_TRUE(c.error.empty()) << c.error;
            return c.voicedLogSpectralDistanceDb;
        };
        const double withBootstrap = lsd(bootstrap);
        const double withTrained = lsd(Sc36CodingTables());
        std::printf("decoded voiced LSD %.2f dB -> %.2f dB\n", withBootstrap, withTrained);
        EXPECT_LT(withTrained, withBootstrap);
    }
}

} // namespace
