// The codebooks: the committed tables are what the bootstrap generator or the trainer writes, in the shapes of the
// size lists, and they keep the constraints trained tables must keep too.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "codecs/sound/Tonalwave/tables/tonalwave_bootstrap.h"
#include "codecs/sound/Tonalwave/tonalwave_codebooks.h"
#include "codecs/sound/Tonalwave/tonalwave_parameters.h"

namespace {

using sound::TonalwaveSet;

constexpr TonalwaveSet kTabledSets[] = {TonalwaveSet::k8k8, TonalwaveSet::k8k6, TonalwaveSet::k11k10,
                                        TonalwaveSet::k22k24};

std::string SourceRoot()
{
    const char* root = std::getenv("VORTAN_SOURCE_DIR");
    return root != nullptr ? root : ".";
}

std::string CommandOf(TonalwaveSet set)
{
    return std::string("vortan-train tonalwave bootstrap --set ") + sound::TableSuffixOf(set) +
           " --out codecs/sound/Tonalwave/tables/tonalwave_tables_" + sound::TableSuffixOf(set) + ".cpp";
}

TEST(TonalwaveTables, BootstrapIsDeterministic)
{
    for (const TonalwaveSet set : kTabledSets) {
        SCOPED_TRACE(sound::NameOf(set));
        EXPECT_EQ(sound::BuildBootstrapTables(set), sound::BuildBootstrapTables(set));
        EXPECT_NE(sound::BuildBootstrapTables(set, 1), sound::BuildBootstrapTables(set, 2));
    }
}

// A committed file is either the bootstrap output or trained tables; either way its text is the generator's layout
// of the stored values, so no value was typed in beside the generator.
TEST(TonalwaveTables, CommittedSourceIsTheGeneratorsOutput)
{
    for (const TonalwaveSet set : kTabledSets) {
        SCOPED_TRACE(sound::NameOf(set));
        const std::vector<int16_t> values = sound::BuildBootstrapTables(set);
        const std::span<const int16_t> stored = sound::StoredTablesOf(set);
        ASSERT_EQ(stored.size(), values.size());
        const std::filesystem::path path = std::filesystem::path(SourceRoot()) / "codecs/sound/Tonalwave/tables" /
                                           (std::string("tonalwave_tables_") + sound::TableSuffixOf(set) + ".cpp");
        std::ifstream file(path);
        ASSERT_TRUE(file.good()) << path;
        std::stringstream text;
        text << file.rdbuf();
        const std::string source = text.str();
        const std::string trainedCommand =
            std::string("// vortan-train tonalwave train --set ") + sound::TableSuffixOf(set) + " --corpus DIR --out ";
        if (source.rfind(trainedCommand, 0) != 0) {
            EXPECT_TRUE(std::equal(values.begin(), values.end(), stored.begin()));
            EXPECT_EQ(source, sound::BootstrapTablesSource(set, values, CommandOf(set)));
            continue;
        }
        const std::string generated =
            sound::BootstrapTablesSource(set, std::vector<int16_t>(stored.begin(), stored.end()), CommandOf(set));
        EXPECT_EQ(source.substr(source.find("#include")), generated.substr(generated.find("#include")));
    }
}

TEST(TonalwaveTables, ShapesFollowTheSizeLists)
{
    for (const TonalwaveSet set : kTabledSets) {
        SCOPED_TRACE(sound::NameOf(set));
        const sound::TonalwaveTableShape shape = sound::ShapeOf(set);
        const std::array<int, 8> sizes = sound::DerivedCodebookSizes(set);
        EXPECT_EQ(shape.mainSize[0], static_cast<size_t>(sizes[0]));
        EXPECT_EQ(shape.mainSize[2], static_cast<size_t>(sizes[1]));
        EXPECT_EQ(shape.mainSize[1], static_cast<size_t>(sizes[2]));
        EXPECT_EQ(shape.periodicSize, static_cast<size_t>(sizes[6]));
        EXPECT_EQ(shape.total, static_cast<size_t>(2 * (sizes[0] + sizes[1] + sizes[2]) + sizes[3] + sizes[4] +
                                                   sizes[5] + sizes[6] + sizes[7]));
        EXPECT_EQ(sound::StoredTablesOf(set).size(), shape.total);
        EXPECT_EQ(shape.periodicSize % 128, 0u); // two codebooks of 64 rows
    }
    EXPECT_FALSE(sound::HasStoredTables(TonalwaveSet::k16k16));
    EXPECT_FALSE(sound::HasStoredTables(TonalwaveSet::k44k48));
}

TEST(TonalwaveTables, ConstraintsHold)
{
    constexpr double kPiStored = 3.14159265358979 * 2048.0;
    for (const TonalwaveSet set : kTabledSets) {
        SCOPED_TRACE(sound::NameOf(set));
        const sound::TonalwaveTableShape shape = sound::ShapeOf(set);
        const std::span<const int16_t> stored = sound::StoredTablesOf(set);
        const auto order = static_cast<size_t>(shape.lspOrder);
        // First-stage rows ascend strictly inside (0, pi).
        for (int row = 0; row < shape.lspStage1Rows; ++row) {
            const auto line = stored.subspan(shape.lspOffset + static_cast<size_t>(row) * order, order);
            EXPECT_GT(line[0], 0);
            EXPECT_LT(line[order - 1], kPiStored);
            for (size_t k = 1; k < order; ++k)
                EXPECT_LT(line[k - 1], line[k]) << "row " << row;
        }
        // Predictor coefficients in [0, 0.95]: the first good frame after a loss divides by 1 - rho / v.
        const size_t predictors =
            shape.lspOffset + static_cast<size_t>(shape.lspStage1Rows + shape.lspStage2Rows) * order;
        for (size_t i = 0; i < 2 * order; ++i) {
            EXPECT_GE(stored[predictors + i], 0);
            EXPECT_LE(stored[predictors + i], 0.95 * 2048);
        }
        // Band-scale values within +-16 once scaled: the int16 range holds that by itself, so check the spread is
        // small around 0 as a correction of the envelope should be.
        for (const size_t k : {size_t{0}, size_t{1}, size_t{2}}) {
            double sum = 0.0;
            for (size_t i = 0; i < shape.bandSize[k]; ++i)
                sum += stored[shape.bandOffset[k] + i];
            EXPECT_LT(std::abs(sum / static_cast<double>(shape.bandSize[k])), 256.0); // mean within 0.125
        }
    }
}

} // namespace
