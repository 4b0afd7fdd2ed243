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

TEST(Buffer, WriteToCopiesInOrderAndEmpties)
{
    const std::vector<uint8_t> bytes = Counting(9000);
    SWbuffer source;
    source.Append(std::span<const uint8_t>(bytes).first(5000));
    source.Append(std::span<const uint8_t>(bytes).subspan(5000));
    SWbuffer target;
    SWchunkstream out(target, SWchunkstream::kWrite);
    out.WriteU8(0xEE);
    EXPECT_TRUE(source.WriteTo(out));
    EXPECT_TRUE(source.Empty());
    EXPECT_EQ(source.BlockCount(), 0u);
    std::vector<uint8_t> expected = {0xEE};
    expected.insert(expected.end(), bytes.begin(), bytes.end());
    EXPECT_EQ(target.ToVector(), expected);
}

TEST(Buffer, WriteToAFailedStreamStillEmpties)
{
    SWbuffer source(std::vector<uint8_t>{1, 2, 3});
    SWbuffer target;
    SWchunkstream out(target, SWchunkstream::kWrite);
    out.Fail(SWchunkstream::kStatusError);
    EXPECT_FALSE(source.WriteTo(out));
    EXPECT_TRUE(source.Empty());
    EXPECT_TRUE(target.Empty());
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
