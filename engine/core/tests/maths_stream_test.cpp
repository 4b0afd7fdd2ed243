// Saving and loading the maths types through the record stream.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <limits>
#include <vector>

#include "engine/core/buffer.h"
#include "engine/core/chunk_stream.h"
#include "engine/core/matrix.h"
#include "engine/core/quaternion.h"
#include "engine/core/vector.h"

namespace {

template <typename T> std::vector<uint8_t> Saved(const T& value)
{
    SWbuffer buffer;
    {
        SWchunkstream out(buffer, SWchunkstream::kWrite);
        value.Save(out);
        EXPECT_EQ(out.Status(), 0);
    }
    return buffer.ToVector();
}

uint32_t WordAt(const std::vector<uint8_t>& bytes, size_t index)
{
    return static_cast<uint32_t>(bytes[4 * index]) | (static_cast<uint32_t>(bytes[4 * index + 1]) << 8) |
           (static_cast<uint32_t>(bytes[4 * index + 2]) << 16) | (static_cast<uint32_t>(bytes[4 * index + 3]) << 24);
}

SWmatrix Distinct()
{
    SWmatrix m;
    for (int i = 0; i < 16; ++i)
        m[i] = static_cast<float>(i) + 0.5f;
    m[5] = -0.0f;
    m[9] = std::numeric_limits<float>::infinity();
    return m;
}

} // namespace

TEST(MatrixStream, SixteenWordsInIndexOrder)
{
    const SWmatrix m = Distinct();
    const std::vector<uint8_t> bytes = Saved(m);
    ASSERT_EQ(bytes.size(), 64u);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(WordAt(bytes, i), std::bit_cast<uint32_t>(m[i])) << i;
}

TEST(MatrixStream, RoundTripKeepsEveryBit)
{
    SWmatrix m = Distinct();
    m[2] = std::bit_cast<float>(0x7FC01234u); // a NaN with a payload
    const std::vector<uint8_t> bytes = Saved(m);
    SWchunkstream in(bytes);
    SWmatrix back;
    ASSERT_TRUE(back.Load(in));
    EXPECT_EQ(in.Status(), 0);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(std::bit_cast<uint32_t>(back[i]), std::bit_cast<uint32_t>(m[i])) << i;
}

TEST(MatrixStream, ShortReadLeavesMatrixUnchanged)
{
    std::vector<uint8_t> bytes = Saved(Distinct());
    for (const size_t keep : {size_t{0}, size_t{3}, size_t{4}, size_t{60}, size_t{63}}) {
        SCOPED_TRACE(keep);
        const std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(keep));
        SWchunkstream in(cut);
        SWmatrix m = SWmatrix::Translation(1.0f, 2.0f, 3.0f);
        EXPECT_FALSE(m.Load(in));
        EXPECT_EQ(in.Status(), 1);
        EXPECT_EQ(m, SWmatrix::Translation(1.0f, 2.0f, 3.0f));
    }
}

TEST(VectorStream, RoundTripAndOrder)
{
    const SWvector v(1.5f, -2.25f, 1e30f);
    const std::vector<uint8_t> bytes = Saved(v);
    ASSERT_EQ(bytes.size(), 12u);
    EXPECT_EQ(WordAt(bytes, 0), std::bit_cast<uint32_t>(1.5f));
    EXPECT_EQ(WordAt(bytes, 2), std::bit_cast<uint32_t>(1e30f));
    SWchunkstream in(bytes);
    SWvector back;
    ASSERT_TRUE(back.Load(in));
    EXPECT_EQ(back, v);
}

TEST(VectorStream, ShortReadLeavesVectorUnchanged)
{
    const std::vector<uint8_t> bytes = Saved(SWvector(1.0f, 2.0f, 3.0f));
    const std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + 11);
    SWchunkstream in(cut);
    SWvector v(7.0f, 8.0f, 9.0f);
    EXPECT_FALSE(v.Load(in));
    EXPECT_EQ(in.Status(), 1);
    EXPECT_EQ(v, SWvector(7.0f, 8.0f, 9.0f));
}

TEST(QuaternionStream, RoundTripInXYZWOrder)
{
    const CVTN_Quaternion q(0.125f, -0.5f, 0.25f, 0.8f);
    const std::vector<uint8_t> bytes = Saved(q);
    ASSERT_EQ(bytes.size(), 16u);
    EXPECT_EQ(WordAt(bytes, 0), std::bit_cast<uint32_t>(0.125f));
    EXPECT_EQ(WordAt(bytes, 3), std::bit_cast<uint32_t>(0.8f));
    SWchunkstream in(bytes);
    CVTN_Quaternion back(9, 9, 9, 9);
    ASSERT_TRUE(back.Load(in));
    EXPECT_EQ(back, q);
}

TEST(QuaternionStream, ShortReadLeavesQuaternionUnchanged)
{
    const std::vector<uint8_t> bytes = Saved(CVTN_Quaternion(1, 2, 3, 4));
    const std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + 12);
    SWchunkstream in(cut);
    CVTN_Quaternion q;
    EXPECT_FALSE(q.Load(in));
    EXPECT_EQ(q, CVTN_Quaternion());
}
