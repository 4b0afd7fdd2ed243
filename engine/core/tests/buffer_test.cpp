#include "engine/core/buffer.h"
#include "engine/core/chunk_stream.h"

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

namespace {

std::vector<uint8_t> Counting(size_t size)
{
    std::vector<uint8_t> bytes(size);
    std::iota(bytes.begin(), bytes.end(), uint8_t{0});
    return bytes;
}

TEST(Buffer, ManyAppendsChainBlocksAndFlattenKeepsEveryByteInOrder)
{
    const std::vector<uint8_t> bytes = Counting(100000);
    SWbuffer buffer;
    for (size_t at = 0; at < bytes.size(); at += 777)
        ASSERT_TRUE(buffer.Append(bytes.data() + at, std::min<size_t>(777, bytes.size() - at)));
    EXPECT_EQ(buffer.Size(), bytes.size());
    EXPECT_GT(buffer.BlockCount(), 1u);
    EXPECT_EQ(buffer.ToVector(), bytes);
    ASSERT_TRUE(buffer.Flatten());
    EXPECT_EQ(buffer.BlockCount(), 1u);
    const std::span<const uint8_t> flat = buffer.FlatBytes();
    EXPECT_EQ(std::vector<uint8_t>(flat.begin(), flat.end()), bytes);
}

TEST(Buffer, BlocksLendEveryByteInOrderAndNothingPastTheLast)
{
    const std::vector<uint8_t> bytes = Counting(9000);
    SWbuffer buffer;
    buffer.Append(std::span<const uint8_t>(bytes).first(5000));
    buffer.Append(std::span<const uint8_t>(bytes).subspan(5000));
    ASSERT_GT(buffer.BlockCount(), 1u);
    std::vector<uint8_t> joined;
    for (size_t i = 0; i < buffer.BlockCount(); ++i)
        joined.insert(joined.end(), buffer.Block(i).begin(), buffer.Block(i).end());
    EXPECT_EQ(joined, bytes);
    EXPECT_TRUE(buffer.Block(buffer.BlockCount()).empty());
    EXPECT_TRUE(SWbuffer().Block(0).empty());
}

TEST(Buffer, EmptyBufferReadsAsAnEmptyRecord)
{
    SWbuffer empty;
    EXPECT_TRUE(empty.FlatBytes().empty());
    SWchunkstream in(empty, SWchunkstream::kRead);
    EXPECT_EQ(in.Status(), 0);
    EXPECT_EQ(in.PeekTag(), kTagEnd);
    EXPECT_EQ(in.ReadU8(), 0);
    EXPECT_EQ(in.Status(), 1);
}

} // namespace
