// The model, stream and stream-set objects at the codec's boundary.
#include "codecs/geometry/px_model.h"
#include "codecs/geometry/px_result.h"
#include "codecs/geometry/px_stream.h"

#include <gtest/gtest.h>

#include <climits>
#include <set>
#include <string>

namespace {

TEST(PXStreamAttach, ValidHeaderGivesTheKind)
{
    px::PXStream stream;
    EXPECT_EQ(stream.Attach({'P', 'X', 'B', 'i', 'n', 13, 5, 0, 0xAB}), px::PX_OK);
    EXPECT_EQ(stream.GetKind(), 5u);
    EXPECT_EQ(stream.GetLength(), 9u);
}

TEST(PXStreamAttach, BadMagicOrShortBytesLeaveAnEmptyStream)
{
    const std::vector<std::vector<uint8_t>> damaged = {
        {'P', 'X', 'B', 'i', 'N', 13, 5, 0}, // fifth byte differs
        {'P', 'X', 'B', 'i', 'n', 13, 5},    // seven bytes
        {},
    };
    for (const auto& bytes : damaged) {
        px::PXStream stream;
        ASSERT_EQ(stream.Attach({'P', 'X', 'B', 'i', 'n', 13, 2, 0}), px::PX_OK);
        EXPECT_EQ(stream.Attach(bytes), px::PX_ERR);
        EXPECT_EQ(stream.GetKind(), 0u);
        EXPECT_EQ(stream.GetLength(), 0u);
    }
}

TEST(PXStreamSetSlots, EmptyAndZeroLengthSlotsReadAsNoStream)
{
    px::PXStreamSet set;
    EXPECT_EQ(set.GetSlot(1), nullptr);
    set.SetSlot(1, px::PXStream());
    EXPECT_NE(set.GetSlot(1), nullptr);
    EXPECT_FALSE(set.SlotBytes(1).has_value());
    px::PXStream stream;
    ASSERT_EQ(stream.Attach({'P', 'X', 'B', 'i', 'n', 13, 2, 0}), px::PX_OK);
    set.SetSlot(1, stream);
    EXPECT_TRUE(set.SlotBytes(1).has_value());
    set.SetSlot(10, stream); // past the last slot: ignored
    EXPECT_EQ(set.GetSlot(10), nullptr);
    set.Clear();
    EXPECT_EQ(set.GetSlot(1), nullptr);
}

TEST(PXModelParams, SetListsGivesDefaultsAndSetParamReachesEveryObject)
{
    px::PXModel model;
    ASSERT_EQ(model.SetLists(std::vector<px::PXIndexedFaceSet>(2)), px::PX_OK);
    EXPECT_EQ(model.Params(1).words, (std::array<uint32_t, 10>{10, 0, 8, 0, 8, 0, 6, 0, 0, 0}));
    model.SetParam(px::kParamPositionBits, 14);
    model.SetParamOf(1, px::kParamTexCoordBits, 11);
    model.SetParam(12, 1); // no such word: ignored
    EXPECT_EQ(model.Params(0).words[0], 14u);
    EXPECT_EQ(model.Params(1).words[0], 14u);
    EXPECT_EQ(model.Params(0).words[4], 8u);
    EXPECT_EQ(model.Params(1).words[4], 11u);
    ASSERT_EQ(model.SetLists(std::vector<px::PXIndexedFaceSet>(1)), px::PX_OK);
    EXPECT_EQ(model.Params(0).words[0], 10u);
}

TEST(PXResultNames, KnownCodesAndTheFallback)
{
    // Every code from PX_OK to PXERR_VERSIONMISMATCH has a name of its own; a value outside gets the fallback.
    const std::string fallback = px::PXResultName(-1);
    EXPECT_EQ(fallback, "Bizzarro!");
    std::set<std::string> names;
    for (int code = px::PX_OK; code <= px::PXERR_VERSIONMISMATCH; ++code) {
        SCOPED_TRACE(code);
        const std::string name = px::PXResultName(code);
        EXPECT_NE(name, fallback);
        EXPECT_TRUE(name.starts_with("PX")) << name;
        EXPECT_TRUE(names.insert(name).second) << name << " names two codes";
    }
    EXPECT_STREQ(px::PXResultName(px::PXERR_INVALIDGEOMETRY), "PXERR_INVALIDGEOMETRY");
    for (const int outside : {px::PXERR_VERSIONMISMATCH + 1, 42, INT_MIN, INT_MAX})
        EXPECT_EQ(px::PXResultName(outside), fallback) << outside;
}

} // namespace
