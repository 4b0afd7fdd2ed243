#include "engine/core/buffer.h"
#include "engine/core/chunk_stream.h"
#include "engine/core/record_builder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <limits>
#include <unistd.h>
#include <vector>

namespace {

constexpr uint32_t kTagA = MakeTag("AAAA");
constexpr uint32_t kTagB = MakeTag("BBBB");
constexpr uint32_t kTagUnknown = MakeTag("7300");

SWbuffer BufferOf(std::initializer_list<uint8_t> bytes)
{
    return SWbuffer(std::span<const uint8_t>(bytes.begin(), bytes.size()));
}

// A record framed by hand: tag, u32 length, payload.
void AppendRecord(std::vector<uint8_t>& out, uint32_t tag, const std::vector<uint8_t>& payload)
{
    for (uint32_t word : {tag, static_cast<uint32_t>(payload.size())})
        for (int i = 0; i < 4; ++i)
            out.push_back(static_cast<uint8_t>(word >> (8 * i)));
    out.insert(out.end(), payload.begin(), payload.end());
}

TEST(ChunkStreamRoundTrip, EveryPrimitiveReadsBackInBothForms)
{
    SWbuffer buffer;
    {
        SWchunkstream out(buffer, SWchunkstream::kWrite);
        out.WriteU8(0xAB);
        out.WriteChar('z');
        out.WriteBool(true);
        out.WriteBool(false);
        out.WriteU16(0xBEEF);
        out.WriteShort(0x1234);
        out.WriteU32(0xDEADBEEF);
        out.WriteI32(-7);
        out.WriteU64(0x0123456789ABCDEFull);
        out.WriteF32(-1.5f);
        out.WriteF64(3.25);
        out.WriteString("hello");
        out.WriteString(static_cast<const char*>(nullptr));
        out.WriteString(std::string("x\0y", 3));
        const uint8_t raw[3] = {1, 2, 3};
        out.WriteBytes(raw, sizeof raw);
        EXPECT_EQ(out.Status(), 0);
    }
    EXPECT_EQ(buffer.Size(), 1u + 1 + 1 + 1 + 2 + 2 + 4 + 4 + 8 + 4 + 8 + 9 + 4 + 7 + 3);

    SWchunkstream byValue(buffer, SWchunkstream::kRead);
    EXPECT_EQ(byValue.ReadU8(), 0xAB);
    EXPECT_EQ(byValue.ReadU8(), 'z');
    EXPECT_TRUE(byValue.ReadBool());
    EXPECT_FALSE(byValue.ReadBool());
    EXPECT_EQ(byValue.ReadU16(), 0xBEEF);
    EXPECT_EQ(byValue.ReadU16(), 0x1234);
    EXPECT_EQ(byValue.ReadU32(), 0xDEADBEEFu);
    EXPECT_EQ(byValue.ReadI32(), -7);
    EXPECT_EQ(byValue.ReadU64(), 0x0123456789ABCDEFull);
    EXPECT_EQ(byValue.ReadF32(), -1.5f);
    EXPECT_EQ(byValue.ReadF64(), 3.25);
    EXPECT_EQ(byValue.ReadString(), std::optional<std::string>("hello"));
    EXPECT_EQ(byValue.ReadString(), std::nullopt);
    EXPECT_EQ(byValue.ReadString(), std::optional<std::string>(std::string("x\0y", 3)));
    uint8_t raw[3] = {};
    EXPECT_EQ(byValue.ReadBytes(raw, 3), 3u);
    EXPECT_EQ(raw[2], 3);
    EXPECT_EQ(byValue.Remaining(), 0u);
    EXPECT_EQ(byValue.Status(), 0);

    SWchunkstream byOut(buffer, SWchunkstream::kRead);
    uint8_t u8 = 0;
    bool flag = false;
    uint16_t u16 = 0;
    uint32_t u32 = 0;
    int32_t i32 = 0;
    uint64_t u64 = 0;
    float f32 = 0;
    double f64 = 0;
    std::optional<std::string> text;
    std::string plain = "stale";
    EXPECT_TRUE(byOut.ReadU8(u8) && u8 == 0xAB);
    EXPECT_TRUE(byOut.ReadU8(u8) && u8 == 'z');
    EXPECT_TRUE(byOut.ReadBool(flag) && flag);
    EXPECT_TRUE(byOut.ReadBool(flag) && !flag);
    EXPECT_TRUE(byOut.ReadU16(u16) && u16 == 0xBEEF);
    EXPECT_TRUE(byOut.ReadU16(u16) && u16 == 0x1234);
    EXPECT_TRUE(byOut.ReadU32(u32) && u32 == 0xDEADBEEFu);
    EXPECT_TRUE(byOut.ReadI32(i32) && i32 == -7);
    EXPECT_TRUE(byOut.ReadU64(u64) && u64 == 0x0123456789ABCDEFull);
    EXPECT_TRUE(byOut.ReadF32(f32) && f32 == -1.5f);
    EXPECT_TRUE(byOut.ReadF64(f64) && f64 == 3.25);
    EXPECT_TRUE(byOut.ReadString(text) && text == "hello");
    EXPECT_TRUE(byOut.ReadString(plain) && plain.empty());
    EXPECT_TRUE(byOut.ReadString(plain) && plain == std::string("x\0y", 3));
    EXPECT_EQ(byOut.Status(), 0);
}

TEST(ChunkStreamWrite, StoredBytesAreLittleEndianAndDoubleIsLowWordFirst)
{
    SWbuffer buffer;
    SWchunkstream out(buffer, SWchunkstream::kWrite);
    out.WriteU32(MakeTag("WRLD"));
    out.WriteU16(0x0102);
    out.WriteF64(1.0); // 0x3FF0000000000000
    const std::vector<uint8_t> expected = {
        'W',  'R',  'L', 'D',                         // a tag's bytes spell it
        0x02, 0x01,                                   //
        0,    0,    0,   0,   0x00, 0x00, 0xF0, 0x3F, // low word, then high word
    };
    EXPECT_EQ(buffer.ToVector(), expected);
}

TEST(ChunkStreamRead, ReadBoolIsTrueOnlyForOne)
{
    SWbuffer buffer = BufferOf({1, 0, 2, 0xFF});
    SWchunkstream in(buffer, SWchunkstream::kRead);
    EXPECT_TRUE(in.ReadBool());
    EXPECT_FALSE(in.ReadBool());
    EXPECT_FALSE(in.ReadBool());
    bool flag = true;
    EXPECT_TRUE(in.ReadBool(flag)); // read, but not 1
    EXPECT_FALSE(flag);
}

TEST(ChunkStreamRead, ShortReadOfEveryWidthYieldsZeroAndStatusOne)
{
    // Each reader gets one byte fewer than it needs.
    struct Case {
        const char* name;
        size_t available;
        bool (*read)(SWchunkstream&);
    };
    const Case cases[] = {
        {"u8", 0,
         [](SWchunkstream& s) {
             uint8_t v = 9;
             return s.ReadU8(v) || v != 0;
         }},
        {"bool", 0,
         [](SWchunkstream& s) {
             bool v = true;
             return s.ReadBool(v) || v;
         }},
        {"u16", 1,
         [](SWchunkstream& s) {
             uint16_t v = 9;
             return s.ReadU16(v) || v != 0;
         }},
        {"u32", 3,
         [](SWchunkstream& s) {
             uint32_t v = 9;
             return s.ReadU32(v) || v != 0;
         }},
        {"i32", 3,
         [](SWchunkstream& s) {
             int32_t v = 9;
             return s.ReadI32(v) || v != 0;
         }},
        {"u64", 7,
         [](SWchunkstream& s) {
             uint64_t v = 9;
             return s.ReadU64(v) || v != 0;
         }},
        {"f32", 3,
         [](SWchunkstream& s) {
             float v = 9;
             return s.ReadF32(v) || v != 0;
         }},
        {"f64", 7,
         [](SWchunkstream& s) {
             double v = 9;
             return s.ReadF64(v) || v != 0;
         }},
        {"value u32", 3, [](SWchunkstream& s) { return s.ReadU32() != 0; }},
        {"value u64", 7, [](SWchunkstream& s) { return s.ReadU64() != 0; }},
        {"string length", 3, [](SWchunkstream& s) { return s.ReadString().has_value(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<uint8_t> bytes(c.available, 0x55);
        SWchunkstream in{std::span<const uint8_t>(bytes)};
        EXPECT_FALSE(c.read(in));
        EXPECT_EQ(in.Status(), SWchunkstream::kStatusShortRead);
    }
}

// An array read in one block reads what as many single reads would: the values, the status and the position,
// with a part value at the end left unread.
TEST(ChunkStreamRead, ArraysReadAsSingleReadsDoUpToAShortEnd)
{
    std::vector<uint8_t> bytes(18);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<uint8_t>(0x11 * (i + 1));
    for (size_t available = 0; available <= bytes.size(); ++available) {
        SCOPED_TRACE(available);
        const std::span<const uint8_t> held = std::span<const uint8_t>(bytes).first(available);
        SWchunkstream bulk32(held), single32(held), bulk16(held), single16(held), bulkF(held), singleF(held);
        std::vector<uint32_t> words(4, 9), singleWords(4);
        std::vector<uint16_t> halves(9, 9), singleHalves(9);
        std::vector<float> floats(4, 9.0f), singleFloats(4);
        const bool read32 = bulk32.ReadU32s(words);
        const bool read16 = bulk16.ReadU16s(halves);
        const bool readF = bulkF.ReadF32s(floats);
        bool singleRead32 = true, singleRead16 = true, singleReadF = true;
        for (uint32_t& w : singleWords)
            singleRead32 = single32.ReadU32(w) && singleRead32;
        for (uint16_t& h : singleHalves)
            singleRead16 = single16.ReadU16(h) && singleRead16;
        for (float& f : singleFloats)
            singleReadF = singleF.ReadF32(f) && singleReadF;
        EXPECT_EQ(words, singleWords);
        EXPECT_EQ(halves, singleHalves);
        EXPECT_EQ(std::memcmp(floats.data(), singleFloats.data(), floats.size() * 4), 0);
        EXPECT_EQ(read32, singleRead32);
        EXPECT_EQ(read16, singleRead16);
        EXPECT_EQ(readF, singleReadF);
        EXPECT_EQ(bulk32.Status(), single32.Status());
        EXPECT_EQ(bulk16.Status(), single16.Status());
        EXPECT_EQ(bulk32.Position(), single32.Position());
        EXPECT_EQ(bulk16.Position(), single16.Position());
        EXPECT_EQ(bulkF.Position(), singleF.Position());
    }
}

// A stream that gives back what it has read reads as a plain one, also when its last array is cut by the
// record's end; the whole pages its large reads passed read as zeros afterwards, part pages, what only a small read
// passed and what the reader has not reached are left as they were.
TEST(ChunkStreamRead, AStreamGivingBackWhatItReadReadsAsAPlainOne)
{
    constexpr size_t kFloats = size_t{1} << 18; // 1 MiB: a large read
    std::vector<uint8_t> bytes(4 + kFloats * 4 + 40000 + 4003);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<uint8_t>(i % 251 + 1);
    const std::vector<uint8_t> original = bytes;
    SWchunkstream plain{std::span<const uint8_t>(original)};
    SWchunkstream given(std::span<uint8_t>(bytes), SWchunkstream::GiveBackRead{});

    EXPECT_EQ(given.ReadU32(), plain.ReadU32());
    std::vector<float> plainFloats(kFloats), givenFloats(kFloats);
    ASSERT_TRUE(plain.ReadF32s(plainFloats));
    ASSERT_TRUE(given.ReadF32s(givenFloats));
    EXPECT_EQ(std::memcmp(plainFloats.data(), givenFloats.data(), kFloats * 4), 0);
    std::vector<uint8_t> plainSmall(40000), givenSmall(40000);
    EXPECT_EQ(given.ReadBytes(givenSmall), plain.ReadBytes(plainSmall));
    EXPECT_EQ(givenSmall, plainSmall);
    // The rest holds 1000 whole words and 3 bytes: the array of 1001 is cut.
    std::vector<uint32_t> plainWords(1001, 9), givenWords(1001, 9);
    EXPECT_FALSE(plain.ReadU32s(plainWords));
    EXPECT_FALSE(given.ReadU32s(givenWords));
    EXPECT_EQ(givenWords, plainWords);
    EXPECT_EQ(given.Status(), SWchunkstream::kStatusShortRead);
    EXPECT_EQ(given.Status(), plain.Status());
    EXPECT_EQ(given.Position(), plain.Position());

    // What is given back depends on where the allocator put the bytes: a block that starts on a page boundary
    // gives its first bytes back with the large read's pages, one that starts inside a page keeps that part page.
    const size_t arrayEnd = 4 + kFloats * 4;
    const auto page = static_cast<size_t>(::sysconf(_SC_PAGESIZE));
    const auto at = reinterpret_cast<uintptr_t>(bytes.data());
    const size_t firstWhole = (page - at % page) % page;
    const size_t wholeEnd = (at + arrayEnd) / page * page - at;
    ASSERT_LT(firstWhole, wholeEnd);
    EXPECT_TRUE(std::all_of(bytes.begin() + firstWhole, bytes.begin() + wholeEnd, [](uint8_t b) { return b == 0; }))
        << "a page the large read passed is kept";
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.begin() + firstWhole, original.begin()))
        << "a part page was given back";
    EXPECT_TRUE(std::equal(bytes.begin() + wholeEnd, bytes.begin() + arrayEnd + 36000, original.begin() + wholeEnd))
        << "a small read gave pages back";
    EXPECT_TRUE(std::equal(bytes.end() - 3, bytes.end(), original.end() - 3)) << "unread bytes were given back";
}

TEST(ChunkStreamWrite, ArraysStoreTheBytesOfSingleWrites)
{
    const std::vector<uint32_t> words = {1, 0x80000000u, 0xDEADBEEFu};
    const std::vector<uint16_t> halves = {0xFFFF, 2, 0x1234};
    const std::vector<float> floats = {-0.0f, 1.5f, std::numeric_limits<float>::quiet_NaN()};
    SWbuffer bulk, single;
    SWchunkstream bulkOut(bulk, SWchunkstream::kWrite), singleOut(single, SWchunkstream::kWrite);
    EXPECT_TRUE(bulkOut.WriteU32s(words) && bulkOut.WriteU16s(halves) && bulkOut.WriteF32s(floats));
    for (const uint32_t w : words)
        singleOut.WriteU32(w);
    for (const uint16_t h : halves)
        singleOut.WriteU16(h);
    for (const float f : floats)
        singleOut.WriteF32(f);
    EXPECT_EQ(bulk.ToVector(), single.ToVector());
    EXPECT_EQ(bulkOut.Position(), singleOut.Position());
}

TEST(ChunkStreamRead, AfterAShortReadEveryReadFailsEvenWithBytesLeft)
{
    SWbuffer buffer = BufferOf({
        0x10, 0x00, 0x00, 0x00,  // string length 16
        'a', 'b', 'c', 'd', 'e', // only five bytes follow
    });
    SWchunkstream in(buffer, SWchunkstream::kRead);
    EXPECT_EQ(in.ReadString(), std::nullopt);
    EXPECT_EQ(in.Status(), 1);
    EXPECT_EQ(in.ReadU8(), 0); // 'a' is still there, but the stream is damaged
    EXPECT_EQ(in.PeekTag(), kTagEnd);
    EXPECT_EQ(in.Status(), 1);
}

TEST(ChunkStreamRead, LengthBeyondRecordIsShortRead)
{
    SWbuffer buffer = BufferOf({
        0xFF, 0xFF, 0xFF, 0x7F, // string length: 2 GiB
        'a', 'b',               // all the record really holds
    });
    SWchunkstream in(buffer, 0);
    EXPECT_EQ(in.ReadString(), std::nullopt);
    EXPECT_EQ(in.Status(), 1);
    uint32_t next = 7;
    EXPECT_FALSE(in.ReadU32(next));
    EXPECT_EQ(next, 0u);
}

TEST(ChunkStreamRead, ReadBytesClampsToTheRecordAndZeroesTheTail)
{
    SWbuffer buffer = BufferOf({1, 2, 3});
    SWchunkstream in(buffer, SWchunkstream::kRead);
    uint8_t out[6] = {9, 9, 9, 9, 9, 9};
    EXPECT_EQ(in.ReadBytes(out, 2), 2u);
    EXPECT_EQ(in.Status(), 0);
    EXPECT_EQ(in.ReadBytes(out, 6), 1u);
    EXPECT_EQ(out[0], 3);
    for (int i = 1; i < 6; ++i)
        EXPECT_EQ(out[i], 0) << i;
    EXPECT_EQ(in.Status(), 1);
    out[0] = 9;
    EXPECT_EQ(in.ReadBytes(out, 1), 0u); // at the record's end
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(in.ReadBytes(out, 0), 0u);
}

TEST(ChunkStreamWrite, NothingIsWrittenOnceTheStatusIsNotGood)
{
    SWbuffer buffer;
    SWchunkstream out(buffer, SWchunkstream::kWrite);
    out.WriteU32(1);
    out.Fail(SWchunkstream::kStatusError);
    EXPECT_FALSE(out.WriteU32(2));
    EXPECT_FALSE(out.WriteString("lost"));
    EXPECT_FALSE(out.WriteBytes("x", 1));
    EXPECT_EQ(buffer.Size(), 4u);
    EXPECT_EQ(out.Status(), -1);
    out.Fail(SWchunkstream::kStatusShortRead); // a status never improves or changes once set
    EXPECT_EQ(out.Status(), -1);
}

TEST(ChunkStreamRecords, PeekDoesNotConsumeAndEndIsAnsweredAtTheRecordsEnd)
{
    std::vector<uint8_t> bytes;
    AppendRecord(bytes, kTagA, {7});
    bytes.push_back(0xEE); // three stray bytes cannot hold a tag
    bytes.push_back(0xEE);
    bytes.push_back(0xEE);
    SWchunkstream in{std::span<const uint8_t>(bytes)};
    EXPECT_EQ(in.PeekTag(), kTagA);
    EXPECT_EQ(in.PeekTag(), kTagA);
    EXPECT_EQ(in.TakeTag(), kTagA);
    EXPECT_EQ(in.ReadU32(), 1u);
    EXPECT_EQ(in.ReadU8(), 7);
    EXPECT_EQ(in.PeekTag(), kTagEnd);
    EXPECT_EQ(in.TakeTag(), kTagEnd);
    EXPECT_EQ(in.Remaining(), 3u); // nothing consumed
    EXPECT_EQ(in.Status(), 0);
}

// The shape of every reader: loop over the tags, handle some, skip the rest, stop at "END ".
struct ReadResult {
    std::vector<uint32_t> values;
    int status = 0;
};

ReadResult ReadValues(SWchunkstream& in)
{
    ReadResult result;
    for (uint32_t tag = in.PeekTag(); tag != kTagEnd; tag = in.PeekTag()) {
        if (tag != kTagA) {
            if (!in.SkipRecord())
                break;
            continue;
        }
        in.TakeTag();
        std::unique_ptr<SWchunkstream> child = in.OpenChild();
        result.values.push_back(child->ReadU32());
    }
    result.status = in.Status();
    return result;
}

TEST(ChunkStreamRecords, ReaderSkipsUnknownRecordsAndStopsAtStoredEnd)
{
    std::vector<uint8_t> bytes;
    AppendRecord(bytes, kTagA, {1, 0, 0, 0});
    AppendRecord(bytes, kTagUnknown, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
    AppendRecord(bytes, kTagA, {2, 0, 0, 0, 0xAA, 0xBB}); // the reader leaves two bytes unread
    AppendRecord(bytes, kTagEnd, {});
    AppendRecord(bytes, kTagA, {3, 0, 0, 0}); // after "END ": not part of the list
    SWchunkstream in{std::span<const uint8_t>(bytes)};
    const ReadResult result = ReadValues(in);
    EXPECT_EQ(result.values, (std::vector<uint32_t>{1, 2}));
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(in.TakeTag(), kTagEnd);
}

TEST(ChunkStreamRecords, ListInsideARecordEndsWhereTheRecordEnds)
{
    std::vector<uint8_t> inner;
    AppendRecord(inner, kTagA, {5, 0, 0, 0});
    AppendRecord(inner, kTagUnknown, {});
    std::vector<uint8_t> bytes;
    AppendRecord(bytes, kTagB, inner);
    AppendRecord(bytes, kTagA, {6, 0, 0, 0}); // the outer list goes on
    SWchunkstream in{std::span<const uint8_t>(bytes)};
    EXPECT_EQ(in.TakeTag(), kTagB);
    {
        std::unique_ptr<SWchunkstream> child = in.OpenChild();
        EXPECT_EQ(ReadValues(*child).values, std::vector<uint32_t>{5});
        EXPECT_EQ(child->PeekTag(), kTagEnd);
        EXPECT_EQ(child->Status(), 0);
    }
    EXPECT_EQ(ReadValues(in).values, std::vector<uint32_t>{6});
}

TEST(ChunkStreamRecords, SkipRecordWorksWhetherOrNotTheTagWasTaken)
{
    std::vector<uint8_t> bytes;
    AppendRecord(bytes, kTagUnknown, {1, 2, 3});
    AppendRecord(bytes, kTagUnknown, {4, 5});
    AppendRecord(bytes, kTagA, {9, 0, 0, 0});
    SWchunkstream in{std::span<const uint8_t>(bytes)};
    EXPECT_TRUE(in.SkipRecord()); // peeked only
    EXPECT_EQ(in.TakeTag(), kTagUnknown);
    EXPECT_TRUE(in.SkipRecord()); // taken first
    EXPECT_EQ(in.TakeTag(), kTagA);
    EXPECT_EQ(in.OpenChild()->ReadU32(), 9u);
    EXPECT_EQ(in.Remaining(), 0u);
    EXPECT_EQ(in.Status(), 0);
}

TEST(ChunkStreamRecords, SkippingARecordLongerThanItsParentIsShortRead)
{
    std::vector<uint8_t> bytes;
    AppendRecord(bytes, kTagUnknown, {1, 2, 3});
    bytes[4] = 200; // length 200, three bytes present
    SWchunkstream in{std::span<const uint8_t>(bytes)};
    EXPECT_FALSE(in.SkipRecord());
    EXPECT_EQ(in.Status(), 1);
    EXPECT_EQ(in.Remaining(), 0u);
    EXPECT_EQ(in.PeekTag(), kTagEnd); // a reader's loop ends
}

TEST(ChunkStreamChild, DeletingChildSkipsUnreadRest)
{
    std::vector<uint8_t> inner;
    AppendRecord(inner, kTagA, {1, 2, 3, 4, 5, 6, 7, 8});
    inner.push_back(0x77);
    std::vector<uint8_t> bytes;
    AppendRecord(bytes, kTagB, inner);
    AppendRecord(bytes, kTagA, {4, 0, 0, 0});
    SWchunkstream in{std::span<const uint8_t>(bytes)};
    in.TakeTag();
    {
        std::unique_ptr<SWchunkstream> child = in.OpenChild();
        EXPECT_EQ(child->Depth(), 1u);
        EXPECT_EQ(child->TakeTag(), kTagA);
        std::unique_ptr<SWchunkstream> grandchild = child->OpenChild();
        EXPECT_EQ(grandchild->Depth(), 2u);
        EXPECT_EQ(grandchild->ReadU8(), 1); // seven bytes left unread
        EXPECT_EQ(grandchild->Remaining(), 7u);
        grandchild.reset();
        EXPECT_EQ(child->Remaining(), 1u);
        EXPECT_EQ(child->ReadU8(), 0x77);
        EXPECT_EQ(child->Status(), 0);
        EXPECT_EQ(child->ReadU8(), 0); // past the child's end, not into the parent
        EXPECT_EQ(child->Status(), 1);
    }
    EXPECT_EQ(in.Status(), 0);
    EXPECT_EQ(in.TakeTag(), kTagA);
    EXPECT_EQ(in.OpenChild()->ReadU32(), 4u);
}

TEST(ChunkStreamChild, ChildCannotReadPastItsRecord)
{
    std::vector<uint8_t> bytes;
    AppendRecord(bytes, kTagA, {1, 0});
    AppendRecord(bytes, kTagB, {0, 0, 0, 0});
    SWchunkstream in{std::span<const uint8_t>(bytes)};
    std::unique_ptr<SWchunkstream> child = in.OpenChild(); // takes the tag itself
    EXPECT_EQ(child->Remaining(), 2u);
    EXPECT_EQ(child->ReadU32(), 0u);
    EXPECT_EQ(child->Status(), 1);
    EXPECT_EQ(child->PeekTag(), kTagEnd);
    child.reset();
    EXPECT_EQ(in.Status(), 0);
    EXPECT_EQ(in.PeekTag(), kTagB);
}

TEST(ChunkStreamChild, LengthBeyondParentMarksBothAndStopsAtParentsEnd)
{
    std::vector<uint8_t> inner;
    AppendRecord(inner, kTagA, {1, 2, 3, 4});
    inner[4] = 0xFF; // the nested record claims 255 bytes of a 12-byte parent
    std::vector<uint8_t> bytes;
    AppendRecord(bytes, kTagB, inner);
    AppendRecord(bytes, kTagA, {8, 0, 0, 0});
    SWchunkstream in{std::span<const uint8_t>(bytes)};
    in.TakeTag();
    {
        std::unique_ptr<SWchunkstream> child = in.OpenChild();
        child->TakeTag();
        {
            std::unique_ptr<SWchunkstream> grandchild = child->OpenChild();
            EXPECT_EQ(grandchild->Status(), 1);
            EXPECT_EQ(grandchild->ReadU8(), 0);
            EXPECT_EQ(grandchild->Remaining(), 4u); // clamped to what the parent holds
        }
        EXPECT_EQ(child->Status(), 1);
        EXPECT_EQ(child->Remaining(), 0u);
    }
    EXPECT_EQ(in.Status(), 0); // the outer record was framed correctly
    EXPECT_EQ(in.TakeTag(), kTagA);
    EXPECT_EQ(in.OpenChild()->ReadU32(), 8u);
}

TEST(ChunkStreamChild, ChildrenTakeTheFormatVersion)
{
    std::vector<uint8_t> bytes;
    AppendRecord(bytes, kTagA, {});
    SWchunkstream in{std::span<const uint8_t>(bytes)};
    in.SetFormatVersion(951);
    EXPECT_EQ(in.OpenChild()->FormatVersion(), 951u);

    SWbuffer buffer;
    SWchunkstream out(buffer, SWchunkstream::kWrite);
    out.SetFormatVersion(942);
    SWrecordbuilder record(out, kTagA);
    EXPECT_EQ(record.Stream().FormatVersion(), 942u);
}

TEST(ChunkStreamChild, NestingDeeperThanTheLimitFailsAndIsSkipped)
{
    // kMaxDepth + 1 records, each the whole payload of the one before it, then one more record outside.
    const uint32_t levels = SWchunkstream::kMaxDepth + 1;
    std::vector<uint8_t> nested;
    for (uint32_t i = 0; i < levels; ++i) {
        std::vector<uint8_t> outer;
        AppendRecord(outer, kTagB, nested);
        nested.swap(outer);
    }
    AppendRecord(nested, kTagA, {3, 0, 0, 0});
    SWchunkstream in{std::span<const uint8_t>(nested)};
    std::vector<std::unique_ptr<SWchunkstream>> chain;
    SWchunkstream* current = &in;
    for (uint32_t i = 0; i < levels; ++i) {
        chain.push_back(current->OpenChild());
        current = chain.back().get();
    }
    EXPECT_EQ(chain[levels - 2]->Status(), 0);
    EXPECT_EQ(chain[levels - 1]->Status(), -1);
    EXPECT_EQ(chain[levels - 1]->Depth(), SWchunkstream::kMaxDepth + 1);
    while (!chain.empty())
        chain.pop_back(); // innermost first, as readers unwind
    EXPECT_EQ(in.Status(), 0);
    EXPECT_EQ(in.TakeTag(), kTagA);
}

TEST(ChunkStreamChild, OpeningAChildWithoutALengthIsShortRead)
{
    SWbuffer buffer = BufferOf({'A', 'A', 'A', 'A', 1, 0});
    SWchunkstream in(buffer, SWchunkstream::kRead);
    std::unique_ptr<SWchunkstream> child = in.OpenChild();
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(child->Status(), 1);
    EXPECT_EQ(child->Remaining(), 0u);
    EXPECT_EQ(in.Status(), 1);
}

TEST(RecordBuilder, NestedRecordsAreFramedWithExactLengths)
{
    SWbuffer buffer;
    {
        SWchunkstream out(buffer, SWchunkstream::kWrite);
        SWrecordbuilder outer(out, kTagB);
        SWrecordbuilder inner(outer.Stream(), kTagA);
        inner.Stream().WriteU32(42);
        inner.Stream().WriteString("name");
        EXPECT_TRUE(inner.Finish());
        outer.Stream().WriteU8(5);
        EXPECT_TRUE(outer.Finish());
        EXPECT_EQ(out.Status(), 0);
    }
    std::vector<uint8_t> expectedInner;
    AppendRecord(expectedInner, kTagA, {42, 0, 0, 0, 4, 0, 0, 0, 'n', 'a', 'm', 'e'});
    expectedInner.push_back(5);
    std::vector<uint8_t> expected;
    AppendRecord(expected, kTagB, expectedInner);
    EXPECT_EQ(buffer.ToVector(), expected);
}

TEST(RecordBuilder, UnfinishedOrFailedRecordEmitsNothing)
{
    SWbuffer buffer;
    SWchunkstream out(buffer, SWchunkstream::kWrite);
    {
        SWrecordbuilder abandoned(out, kTagA);
        abandoned.Stream().WriteU32(1);
    }
    EXPECT_EQ(buffer.Size(), 0u);
    EXPECT_EQ(out.Status(), 0);

    SWrecordbuilder failed(out, kTagA);
    failed.Stream().WriteU32(1);
    failed.Stream().Fail(SWchunkstream::kStatusError);
    EXPECT_FALSE(failed.Finish());
    EXPECT_EQ(buffer.Size(), 0u);
    EXPECT_EQ(out.Status(), -1); // a writer that lost part of its payload fails the whole stream
}

// A payload far larger than one block of the builder's buffer reaches the parent whole and in order, nested two
// deep (whose blocks the parents take as they are), with what is written after it.
TEST(RecordBuilder, PayloadOfManyBlocksIsEmittedInOrder)
{
    std::vector<uint8_t> payload(300000);
    for (size_t i = 0; i < payload.size(); ++i)
        payload[i] = static_cast<uint8_t>(i * 7 + i / 251);
    SWbuffer buffer;
    SWchunkstream out(buffer, SWchunkstream::kWrite);
    out.WriteU8(0xEE);
    SWrecordbuilder outer(out, kTagB);
    outer.Stream().WriteU8(0xCC);
    SWrecordbuilder record(outer.Stream(), kTagA);
    for (size_t at = 0; at < payload.size(); at += 1000)
        record.Stream().WriteBytes(std::span<const uint8_t>(payload).subspan(at, 1000));
    EXPECT_TRUE(record.Finish());
    outer.Stream().WriteU8(0xDD);
    EXPECT_TRUE(outer.Finish());
    out.WriteU8(0xBB);
    std::vector<uint8_t> inner = {0xCC};
    AppendRecord(inner, kTagA, payload);
    inner.push_back(0xDD);
    std::vector<uint8_t> expected = {0xEE};
    AppendRecord(expected, kTagB, inner);
    expected.push_back(0xBB);
    EXPECT_EQ(buffer.ToVector(), expected);
    EXPECT_EQ(out.Position(), expected.size());
}

TEST(RecordBuilder, FailedParentTakesNothingAndFinishSaysSo)
{
    SWbuffer buffer;
    SWchunkstream out(buffer, SWchunkstream::kWrite);
    SWrecordbuilder record(out, kTagA);
    record.Stream().WriteU32(1);
    out.Fail(SWchunkstream::kStatusError);
    EXPECT_FALSE(record.Finish());
    EXPECT_TRUE(buffer.Empty());
    EXPECT_EQ(out.Status(), -1);
}

class ChunkStreamFile : public ::testing::Test {
protected:
    void TearDown() override { std::filesystem::remove(m_path); }
    std::string m_path =
        (std::filesystem::temp_directory_path() / ("chunk_stream_test_" + std::to_string(::getpid()) + ".bin"))
            .string();
};

TEST_F(ChunkStreamFile, WrittenRecordsReadBackWithChildrenAndSkips)
{
    {
        std::unique_ptr<SWchunkstream> out = SWchunkstream::OpenFile(m_path, SWchunkstream::kWrite);
        ASSERT_NE(out, nullptr);
        SWrecordbuilder skipped(*out, kTagUnknown);
        skipped.Stream().WriteString("ignored");
        skipped.Finish();
        SWrecordbuilder kept(*out, kTagA);
        kept.Stream().WriteU32(77);
        kept.Stream().WriteU32(78);
        kept.Finish();
        out->WriteTag(kTagEnd);
        EXPECT_TRUE(out->Close());
    }
    std::unique_ptr<SWchunkstream> in = SWchunkstream::OpenFile(m_path, SWchunkstream::kRead);
    ASSERT_NE(in, nullptr);
    EXPECT_EQ(in->Remaining(), 8u + 11 + 8 + 8 + 4);
    const ReadResult result = ReadValues(*in); // reads 77, leaves 78 to the child's destructor
    EXPECT_EQ(result.values, std::vector<uint32_t>{77});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(in->TakeTag(), kTagEnd);
    EXPECT_EQ(in->Remaining(), 0u);
}

TEST_F(ChunkStreamFile, MissingFileCannotBeOpened)
{
    EXPECT_EQ(SWchunkstream::OpenFile(m_path + ".missing", SWchunkstream::kRead), nullptr);
}

TEST_F(ChunkStreamFile, TruncatedFileIsShortRead)
{
    std::FILE* file = std::fopen(m_path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    const uint8_t bytes[] = {'A', 'A', 'A', 'A', 0x00, 0x10, 0x00, 0x00, 1, 2}; // 4096 claimed, 2 present
    std::fwrite(bytes, 1, sizeof bytes, file);
    std::fclose(file);
    std::unique_ptr<SWchunkstream> in = SWchunkstream::OpenFile(m_path, SWchunkstream::kRead);
    ASSERT_NE(in, nullptr);
    std::unique_ptr<SWchunkstream> child = in->OpenChild();
    EXPECT_EQ(child->Status(), 1);
    EXPECT_EQ(child->Remaining(), 2u);
    child.reset();
    EXPECT_EQ(in->Status(), 1);
    EXPECT_EQ(in->Remaining(), 0u);
}

} // namespace
