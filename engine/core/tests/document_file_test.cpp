#include "engine/core/document_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <span>
#include <string>
#include <vector>

#include "engine/core/type_tag.h"
#include "platform/base/endian.h"
#include "testsupport/world/document_bytes.h"

namespace {

using namespace documenttest;

constexpr uint32_t kTagTest = MakeTag("TEST");

TEST(DocumentScramble, KeyStreamsOfSeedsOneAndZero)
{
    const std::array<uint8_t, 16> seedOne = {0x21, 0x20, 0x04, 0x00, 0x01, 0x06, 0x08, 0x04,
                                             0xc5, 0xa8, 0xcc, 0x9d, 0x4f, 0x99, 0x55, 0x12};
    const std::array<uint8_t, 16> seedZero = {0x19, 0x46, 0x0c, 0x51, 0x3e, 0x55, 0x2e, 0xe0,
                                              0x3a, 0x8f, 0xb9, 0x7b, 0xb5, 0xa8, 0x83, 0x01};
    std::array<uint8_t, 16> key = {};
    ScrambleBody(key, 1);
    EXPECT_EQ(key, seedOne);
    key = {};
    ScrambleBody(key, 0);
    EXPECT_EQ(key, seedZero);
}

TEST(DocumentScramble, OddLengthsUseTheLowBytesOfTheLastWord)
{
    std::array<uint8_t, 7> key = {};
    ScrambleBody(key, 1);
    EXPECT_EQ(key, (std::array<uint8_t, 7>{0x21, 0x20, 0x04, 0x00, 0x01, 0x06, 0x08}));
    ScrambleBody(key, 1);
    EXPECT_EQ(key, (std::array<uint8_t, 7>{}));
}

// Long bodies are scrambled many runs of the key stream at a time: the key is still the generator's, word after
// word, across every slice and at every length of the tail, and a document reads back through the same stream.
TEST(DocumentScramble, LongBodiesTakeTheKeyStreamWordAfterWord)
{
    constexpr size_t kSlice = 64 * 1024;
    for (const size_t length : {kSlice - 1, kSlice, kSlice + 3, 3 * kSlice + 4, 5 * kSlice + 4097}) {
        SCOPED_TRACE(length);
        std::vector<uint8_t> key(length);
        ScrambleBody(key, 0x12345678);
        uint32_t state = 0x12345678;
        size_t wrong = 0;
        for (size_t i = 0; i < length; i += 4) {
            const uint32_t word = NextScrambleWord(state);
            for (size_t k = 0; k < 4 && i + k < length; ++k)
                wrong += key[i + k] != static_cast<uint8_t>(word >> (8 * k));
        }
        EXPECT_EQ(wrong, 0u);
    }
    std::vector<uint8_t> payload(3 * kSlice + 5);
    for (size_t i = 0; i < payload.size(); ++i)
        payload[i] = static_cast<uint8_t>(i * 31 + i / 97);
    SWdocumentwriter writer({});
    ASSERT_TRUE(writer.AddRecord(kTagTest, kDocumentNoParent, payload).has_value());
    std::vector<uint8_t> file;
    ASSERT_EQ(writer.Finish(file), DocumentStatus::kOk);
    SWdocumentfile read;
    ASSERT_EQ(SWdocumentfile::Parse(file, read), DocumentStatus::kOk);
    ASSERT_EQ(read.Records().size(), 1u);
    EXPECT_TRUE(
        std::equal(payload.begin(), payload.end(), read.Records()[0].payload.begin(), read.Records()[0].payload.end()));
}

TEST(DocumentWriter, TinyFileHasTheGoldenBytes)
{
    SWdocumentwriter writer({.version = 951, .scramble = false});
    ASSERT_EQ(writer.AddRecord(kTagTest, kDocumentNoParent, Bytes("ab")), 0u);
    std::vector<uint8_t> file;
    ASSERT_EQ(writer.Finish(file), DocumentStatus::kOk);
    const std::vector<uint8_t> golden = {
        'V',  'T',  'N',  'F',  '0', '9', '5', '1', //
        0xe2, 0x04, 0x68, 0x46,                     // seed: CRC-32 of the body
        0x00, 0x00, 0x00, 0x00,                     // flags: plain
        42,   0x00, 0x00, 0x00,                     // total length
        'T',  'E',  'S',  'T',  10,  0,   0,   0,   0xff, 0xff, 0xff, 0xff, 0, 0, 0, 0, 'a', 'b', //
        'E',  'N',  'D',  ' ',
    };
    EXPECT_EQ(file, golden);
}

TEST(DocumentWriter, ProjectDigitsAndScrambledBodyReadBack)
{
    SWdocumentwriter writer({.version = kDocumentVersionProject});
    ASSERT_TRUE(writer.AddRecord(kTagTest, kDocumentNoParent, Bytes("parent")));
    ASSERT_TRUE(writer.AddRecord(MakeTag("KID1"), 0, Bytes("child")));
    std::vector<uint8_t> file;
    ASSERT_EQ(writer.Finish(file), DocumentStatus::kOk);
    EXPECT_EQ(std::string(file.begin() + 4, file.begin() + 8), "0942");
    EXPECT_EQ(pf::loadU32le(&file[12]), kDocumentFlagScrambled);
    EXPECT_EQ(std::search(file.begin(), file.end(), std::begin("parent"), std::end("parent") - 1), file.end());

    SWdocumentfile doc;
    ASSERT_EQ(SWdocumentfile::Parse(file, doc), DocumentStatus::kOk);
    EXPECT_EQ(doc.Header().version, 942u);
    ASSERT_EQ(doc.Records().size(), 2u);
    EXPECT_EQ(doc.Records()[1].tag, MakeTag("KID1"));
    EXPECT_EQ(doc.Records()[1].parentIndex, 0u);
    EXPECT_EQ(std::string(doc.Records()[1].payload.begin(), doc.Records()[1].payload.end()), "child");
    EXPECT_TRUE(doc.HasEnd());
}

TEST(DocumentWriter, ParentMustBeAnEarlierRecord)
{
    SWdocumentwriter writer({});
    EXPECT_FALSE(writer.AddRecord(kTagTest, 0, Bytes("x"))); // itself
    EXPECT_TRUE(writer.Failed());
    std::vector<uint8_t> file;
    EXPECT_NE(writer.Finish(file), DocumentStatus::kOk);
    EXPECT_TRUE(file.empty());
}

TEST(DocumentWriter, EqualContentGivesEqualFiles)
{
    std::vector<uint8_t> first;
    std::vector<uint8_t> second;
    for (std::vector<uint8_t>* out : {&first, &second}) {
        SWdocumentwriter writer({.compression = DocumentCompression::kDeflate});
        ASSERT_TRUE(writer.AddRecord(kTagTest, kDocumentNoParent, std::vector<uint8_t>(5000, 7)));
        ASSERT_EQ(writer.Finish(*out), DocumentStatus::kOk);
    }
    EXPECT_EQ(first, second);
}

TEST(DocumentCompression, PublishedPayloadsAreDeflatedOnlyWhenWorthIt)
{
    ASSERT_NE(GetPayloadFilter(), nullptr) << "the resources library installs the filters";
    std::vector<uint8_t> noise(4000);
    uint32_t state = 99;
    for (uint8_t& byte : noise)
        byte = static_cast<uint8_t>(NextScrambleWord(state));
    const std::vector<std::vector<uint8_t>> payloads = {
        std::vector<uint8_t>(255, 0), // below 256 bytes: stored
        std::vector<uint8_t>(256, 0), // compresses
        noise,                        // does not shrink: stored
    };
    SWdocumentwriter writer({.compression = DocumentCompression::kDeflate});
    for (const auto& payload : payloads)
        ASSERT_TRUE(writer.AddRecord(kTagTest, kDocumentNoParent, payload));
    std::vector<uint8_t> file;
    ASSERT_EQ(writer.Finish(file), DocumentStatus::kOk);
    SWdocumentfile doc;
    ASSERT_EQ(SWdocumentfile::Parse(std::move(file), doc), DocumentStatus::kOk);
    const std::array<uint8_t, 3> kinds = {0, 2, 0};
    for (size_t i = 0; i < payloads.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(doc.Records()[i].Compression(), kinds[i]);
        std::vector<uint8_t> decoded;
        ASSERT_EQ(SWdocumentfile::DecodePayload(doc.Records()[i], decoded), PayloadStatus::kOk);
        EXPECT_EQ(decoded, payloads[i]);
    }
}

TEST(DocumentCompression, WriterFiltersWithTheKindAsked)
{
    const std::vector<uint8_t> plain(3000, 'q');
    for (const auto kind : {DocumentCompression::kLzss, DocumentCompression::kDeflate}) {
        SCOPED_TRACE(static_cast<int>(kind));
        SWdocumentwriter writer({.compression = kind});
        ASSERT_TRUE(writer.AddRecord(kTagTest, kDocumentNoParent, plain));
        std::vector<uint8_t> file;
        ASSERT_EQ(writer.Finish(file), DocumentStatus::kOk);
        EXPECT_LT(file.size(), plain.size() / 4);
        SWdocumentfile doc;
        ASSERT_EQ(SWdocumentfile::Parse(std::move(file), doc), DocumentStatus::kOk);
        EXPECT_EQ(doc.Records()[0].Compression(), static_cast<uint8_t>(kind));
        std::vector<uint8_t> decoded;
        ASSERT_EQ(SWdocumentfile::DecodePayload(doc.Records()[0], decoded), PayloadStatus::kOk);
        EXPECT_EQ(decoded, plain);
    }
}

// Records filtered on several threads go into the file in their order, parents and payloads as added, byte for
// byte the file one thread writes: small, stored, compressed and buffered records mixed, more than the queue holds.
TEST(DocumentCompression, ThreadsWriteTheSameFileInTheRecordsOrder)
{
    std::vector<std::vector<uint8_t>> payloads;
    uint32_t state = 7;
    for (size_t i = 0; i < 300; ++i) {
        std::vector<uint8_t> payload(i % 3 == 0 ? 100 : 2000 + 37 * i);
        for (size_t b = 0; b < payload.size(); ++b)
            payload[b] = static_cast<uint8_t>(i % 5 == 0 ? NextScrambleWord(state) : (b / 16 + i) & 0xFF);
        payloads.push_back(std::move(payload));
    }
    const auto write = [&](unsigned threads) {
        SWdocumentwriter writer({.compression = DocumentCompression::kDeflate, .threads = threads});
        for (size_t i = 0; i < payloads.size(); ++i) {
            const uint32_t parent = i == 0 ? kDocumentNoParent : static_cast<uint32_t>(i / 2);
            if (i % 4 == 1) {
                SWbuffer buffer;
                buffer.Append(payloads[i]);
                EXPECT_EQ(writer.AddRecord(kTagTest, parent, std::move(buffer)), i);
            } else {
                EXPECT_EQ(writer.AddRecord(kTagTest, parent, payloads[i]), i);
            }
        }
        std::vector<uint8_t> file;
        EXPECT_EQ(writer.Finish(file), DocumentStatus::kOk);
        return file;
    };
    std::vector<uint8_t> file = write(8);
    EXPECT_EQ(file, write(1));
    SWdocumentfile doc;
    ASSERT_EQ(SWdocumentfile::Parse(std::move(file), doc), DocumentStatus::kOk);
    ASSERT_EQ(doc.Records().size(), payloads.size());
    for (size_t i = 0; i < payloads.size(); ++i) {
        std::vector<uint8_t> decoded;
        ASSERT_EQ(SWdocumentfile::DecodePayload(doc.Records()[i], decoded), PayloadStatus::kOk);
        ASSERT_EQ(decoded, payloads[i]) << i;
        EXPECT_EQ(doc.Records()[i].parentIndex, i == 0 ? kDocumentNoParent : i / 2);
    }
}

TEST(DocumentCompression, EveryKindReadsInAnyFile)
{
    const std::vector<uint8_t> plain(3000, 'q');
    for (const uint8_t kind : {1, 2}) {
        SCOPED_TRACE(kind);
        const std::optional<std::vector<uint8_t>> block = GetPayloadFilter()->encode(kind, plain);
        ASSERT_TRUE(block);
        RawRecord record{kTagTest, kDocumentNoParent, kind, {}};
        PutU32(record.payload, static_cast<uint32_t>(plain.size()));
        record.payload.insert(record.payload.end(), block->begin(), block->end());
        SWdocumentfile doc;
        ASSERT_EQ(SWdocumentfile::Parse(FileOf(BodyOf({record}), true, "0942"), doc), DocumentStatus::kOk);
        std::vector<uint8_t> decoded;
        EXPECT_EQ(SWdocumentfile::DecodePayload(doc.Records()[0], decoded), PayloadStatus::kOk);
        EXPECT_EQ(decoded, plain);
    }
}

// Records whose payload cannot be had: the container still reads; the record alone answers the failure.
TEST(DocumentCompression, RefusedPayloadsAnswerWhy)
{
    struct Case {
        const char* name;
        uint32_t flags;
        std::vector<uint8_t> payload;
        PayloadStatus expected;
    };
    std::vector<uint8_t> claimsFourGiB;
    PutU32(claimsFourGiB, 0xFFFFFFFF);
    claimsFourGiB.push_back(0x78);
    std::vector<uint8_t> beyondReach;
    PutU32(beyondReach, 100000); // three block bytes cannot reach this
    beyondReach.insert(beyondReach.end(), {0xff, 0x61, 0x62});
    std::vector<uint8_t> garbage;
    PutU32(garbage, 8);
    garbage.insert(garbage.end(), {1, 2, 3, 4, 5, 6});
    const std::vector<Case> cases = {
        {"unknown kind", 3, Bytes("abc"), PayloadStatus::kUnknownCompression},
        {"kind in the high bits of the byte", 0x80, Bytes("abc"), PayloadStatus::kUnknownCompression},
        {"no room for the stated size", 2, {1, 0}, PayloadStatus::kDamaged},
        {"stated size of 4 GiB", 2, claimsFourGiB, PayloadStatus::kSizeRefused},
        {"stated size beyond the block's reach", 1, beyondReach, PayloadStatus::kSizeRefused},
        {"not a deflate stream", 2, garbage, PayloadStatus::kDamaged},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        SWdocumentfile doc;
        ASSERT_EQ(SWdocumentfile::Parse(FileOf(BodyOf({{kTagTest, kDocumentNoParent, test.flags, test.payload}})), doc),
                  DocumentStatus::kOk);
        std::vector<uint8_t> decoded = {9};
        EXPECT_EQ(SWdocumentfile::DecodePayload(doc.Records()[0], decoded), test.expected);
        EXPECT_TRUE(decoded.empty());
    }
}

TEST(DocumentRead, OtherFlagBitsAreIgnoredAndTrailingBytesToo)
{
    std::vector<uint8_t> file = FileOf(BodyOf({{kTagTest, kDocumentNoParent, 0, Bytes("x")}}), false);
    file.insert(file.end(), {'j', 'u', 'n', 'k'});
    // The trailing bytes are outside the body's checksum only if the writer left them out; here they are inside
    // it, so restamp the header as a writer that appended them would have.
    const std::span<const uint8_t> body = std::span<const uint8_t>(file).subspan(kDocumentHeaderBytes);
    pf::storeU32le(&file[8], BodyChecksum(body));
    pf::storeU32le(&file[12], 0xFFFFFFFE); // every bit but "scrambled"
    pf::storeU32le(&file[16], static_cast<uint32_t>(file.size()));
    SWdocumentfile doc;
    ASSERT_EQ(SWdocumentfile::Parse(file, doc), DocumentStatus::kOk);
    EXPECT_EQ(doc.Records().size(), 1u);
    EXPECT_EQ(doc.TrailingBytes(), 4u);
}

// Each case is a valid file with one named change; none may read, and none may leave a half-read file behind.
TEST(DocumentReadDamaged, EveryDamageIsRefused)
{
    const std::vector<uint8_t> goodBody =
        BodyOf({{kTagTest, kDocumentNoParent, 0, Bytes("first")}, {MakeTag("KID1"), 0, 0, Bytes("second")}});
    struct Case {
        const char* name;
        std::vector<uint8_t> file;
        DocumentStatus expected;
    };
    std::vector<Case> cases;
    auto changed = [&](const char* name, DocumentStatus expected, auto change) {
        std::vector<uint8_t> file = FileOf(goodBody);
        change(file);
        cases.push_back({name, std::move(file), expected});
    };
    changed("total length one short", DocumentStatus::kTruncated,
            [](std::vector<uint8_t>& f) { pf::storeU32le(&f[16], static_cast<uint32_t>(f.size() - 1)); });
    changed("total length one long", DocumentStatus::kTruncated,
            [](std::vector<uint8_t>& f) { pf::storeU32le(&f[16], static_cast<uint32_t>(f.size() + 1)); });
    changed("last byte cut", DocumentStatus::kTruncated, [](std::vector<uint8_t>& f) { f.pop_back(); });
    changed("a body byte flipped", DocumentStatus::kDamaged, [](std::vector<uint8_t>& f) { f[30] ^= 0x10; });
    changed("the seed changed", DocumentStatus::kDamaged, [](std::vector<uint8_t>& f) { f[8] ^= 1; });
    changed("not the magic", DocumentStatus::kNotDocument, [](std::vector<uint8_t>& f) { f[0] = 'X'; });
    changed("a version letter", DocumentStatus::kNotDocument, [](std::vector<uint8_t>& f) { f[6] = 'x'; });
    changed("version 0000", DocumentStatus::kNotDocument,
            [](std::vector<uint8_t>& f) { std::fill(f.begin() + 4, f.begin() + 8, '0'); });
    auto body = [&](const char* name, DocumentStatus expected, std::vector<uint8_t> plain) {
        cases.push_back({name, FileOf(std::move(plain)), expected});
    };
    std::vector<uint8_t> noEnd = goodBody;
    noEnd.resize(noEnd.size() - 4);
    body("no END", DocumentStatus::kTruncated, noEnd);
    std::vector<uint8_t> partEnd = goodBody;
    partEnd.resize(partEnd.size() - 1);
    body("END cut to three bytes", DocumentStatus::kTruncated, partEnd);
    std::vector<uint8_t> longRecord = goodBody;
    pf::storeU32le(&longRecord[4], 0x7FFFFFFF);
    body("record length past the body", DocumentStatus::kTruncated, longRecord);
    std::vector<uint8_t> pastEnd = goodBody;
    pf::storeU32le(&pastEnd[4], 8 + 5 + 4 + 8 + 6 + 1);
    body("record length reaching into END", DocumentStatus::kTruncated, pastEnd);
    body("empty body", DocumentStatus::kTruncated, {});
    cases.push_back({"empty file", {}, DocumentStatus::kTruncated});
    const std::vector<uint8_t> whole = FileOf(goodBody);
    cases.push_back(
        {"header only", std::vector<uint8_t>(whole.begin(), whole.begin() + 20), DocumentStatus::kTruncated});

    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        SWdocumentfile doc;
        ASSERT_EQ(SWdocumentfile::Parse(FileOf(goodBody), doc), DocumentStatus::kOk);
        EXPECT_EQ(SWdocumentfile::Parse(test.file, doc), test.expected);
        EXPECT_TRUE(doc.Records().empty());
        EXPECT_EQ(doc.Header().version, 0u);
    }
}

TEST(DocumentReadDamaged, EveryPrefixOfASmallFileIsRefused)
{
    const std::vector<uint8_t> file =
        FileOf(BodyOf({{kTagTest, kDocumentNoParent, 0, Bytes("abc")}, {kTagTest, 0, 0, Bytes("d")}}));
    for (size_t length = 0; length < file.size(); ++length) {
        SCOPED_TRACE(length);
        SWdocumentfile doc;
        const std::vector<uint8_t> prefix(file.begin(), file.begin() + static_cast<ptrdiff_t>(length));
        EXPECT_EQ(SWdocumentfile::Parse(prefix, doc), DocumentStatus::kTruncated);
        // The same cut with a header that believes it, so that the body's own framing must catch it.
        if (length < kDocumentHeaderBytes)
            continue;
        std::vector<uint8_t> body(file.begin() + kDocumentHeaderBytes, file.end());
        ScrambleBody(body, pf::loadU32le(&file[8]));
        body.resize(length - kDocumentHeaderBytes);
        EXPECT_EQ(SWdocumentfile::Parse(FileOf(body), doc), DocumentStatus::kTruncated);
    }
}

TEST(DocumentReadDamaged, DamagedFilesStillListTheirRecordsForDumps)
{
    std::vector<uint8_t> file = FileOf(BodyOf({{kTagTest, kDocumentNoParent, 0, Bytes("abc")}}));
    file[8] ^= 0x55; // the seed no longer matches; the body is now unscrambled with a wrong key
    SWdocumentfile doc;
    EXPECT_NE(SWdocumentfile::ParseDamaged(file, doc), DocumentStatus::kOk);

    std::vector<uint8_t> plain = FileOf(BodyOf({{kTagTest, kDocumentNoParent, 0, Bytes("abc")}}), false);
    plain[8] ^= 0x55;
    EXPECT_EQ(SWdocumentfile::ParseDamaged(plain, doc), DocumentStatus::kDamaged);
    ASSERT_EQ(doc.Records().size(), 1u);
    EXPECT_EQ(doc.Records()[0].tag, kTagTest);
}

TEST(DocumentReadDamaged, ShortRecordIsListedUnframed)
{
    std::vector<uint8_t> body;
    PutU32(body, kTagTest);
    PutU32(body, 3);
    body.insert(body.end(), {1, 2, 3});
    PutU32(body, kTagEnd);
    SWdocumentfile doc;
    ASSERT_EQ(SWdocumentfile::Parse(FileOf(body), doc), DocumentStatus::kOk);
    ASSERT_EQ(doc.Records().size(), 1u);
    EXPECT_FALSE(doc.Records()[0].framed);
}

class DocumentFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_dir = std::filesystem::temp_directory_path() / ("vortan_doc_" + std::to_string(::getpid()));
        std::filesystem::create_directories(m_dir);
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }
    std::string PathOf(const char* name) const { return (m_dir / name).string(); }

    std::filesystem::path m_dir;
};

TEST_F(DocumentFiles, SavedFileReadsBackAndTakesTheUmask)
{
    const std::vector<uint8_t> file = FileOf(BodyOf({{kTagTest, kDocumentNoParent, 0, Bytes("abc")}}));
    for (const mode_t mask : {mode_t{022}, mode_t{077}}) {
        SCOPED_TRACE(mask);
        const mode_t old = ::umask(mask);
        const std::string path = PathOf(mask == 022 ? "a.vtn" : "b.vtn");
        const DocumentStatus saved = SaveDocumentFile(path, file);
        ::umask(old);
        ASSERT_EQ(saved, DocumentStatus::kOk);
        struct stat info = {};
        ASSERT_EQ(::stat(path.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0666 & ~mask);
        SWdocumentfile doc;
        ASSERT_EQ(SWdocumentfile::ReadFile(path, doc), DocumentStatus::kOk);
        EXPECT_EQ(doc.Records().size(), 1u);
    }
}

TEST_F(DocumentFiles, FailedSaveLeavesTheOldFile)
{
    const std::string folder = PathOf("folder.vtn");
    std::filesystem::create_directory(folder);
    std::string why;
    EXPECT_EQ(SaveDocumentFile(folder, Bytes("x"), &why), DocumentStatus::kWriteFailed);
    EXPECT_FALSE(why.empty());
    EXPECT_TRUE(std::filesystem::is_directory(folder));
}

// A writer's records go to the file in pieces, the body scrambled piece after piece: the file is byte for byte the
// one built by hand around the same records, across pieces of odd lengths; a refusing sink ends the finish at once,
// and a path that cannot be replaced leaves what is there.
TEST_F(DocumentFiles, AWriterFinishedIntoAFileInPiecesMakesTheWholeDocument)
{
    std::vector<RawRecord> records;
    for (const size_t length : {size_t{5}, (size_t{1} << 20) + 3, size_t{70000}, (size_t{2} << 20) + 1}) {
        std::vector<uint8_t> payload(length);
        for (size_t i = 0; i < length; ++i)
            payload[i] = static_cast<uint8_t>(i * 131 + i / 4099 + length);
        records.push_back({kTagTest, records.empty() ? kDocumentNoParent : 0u, 0, std::move(payload)});
    }
    const auto filled = [&](SWdocumentwriter& writer) {
        for (const RawRecord& record : records)
            ASSERT_TRUE(writer.AddRecord(record.tag, record.parent, record.payload));
    };
    SWdocumentwriter writer({});
    filled(writer);
    const std::string path = PathOf("pieces.vtn");
    std::string why = "stale";
    ASSERT_EQ(SaveDocumentFile(path, writer, &why), DocumentStatus::kOk);
    EXPECT_EQ(why, "");
    std::ifstream in(path, std::ios::binary);
    const std::vector<uint8_t> saved((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_TRUE(saved == FileOf(BodyOf(records)));

    SWdocumentwriter refused({});
    filled(refused);
    int calls = 0;
    EXPECT_EQ(refused.FinishTo([&calls](std::span<const uint8_t>) { return ++calls < 2; }),
              DocumentStatus::kWriteFailed);
    EXPECT_EQ(calls, 2);

    const std::string folder = PathOf("folder.vtn");
    std::filesystem::create_directory(folder);
    SWdocumentwriter blocked({});
    filled(blocked);
    EXPECT_EQ(SaveDocumentFile(folder, blocked, &why), DocumentStatus::kWriteFailed);
    EXPECT_NE(why.find("folder.vtn"), std::string::npos);
    EXPECT_TRUE(std::filesystem::is_directory(folder));
}

TEST_F(DocumentFiles, WhatIsNotARegularFileIsRefusedWithoutBlocking)
{
    const std::string fifo = PathOf("pipe.vtn");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    SWdocumentfile doc;
    std::string why;
    EXPECT_EQ(SWdocumentfile::ReadFile(fifo, doc, &why), DocumentStatus::kCannotRead);
    EXPECT_EQ(why, fifo + ": it is a FIFO, not a file");
    EXPECT_EQ(SWdocumentfile::ReadFile(m_dir.string(), doc, &why), DocumentStatus::kCannotRead);
    EXPECT_EQ(why, m_dir.string() + ": it is a folder, not a file");
    EXPECT_EQ(SWdocumentfile::ReadFile(PathOf("missing.vtn"), doc, &why), DocumentStatus::kCannotRead);
    EXPECT_EQ(why, PathOf("missing.vtn") + ": No such file or directory");
}

TEST_F(DocumentFiles, LengthOtherThanTheFileIsTruncation)
{
    std::vector<uint8_t> file = FileOf(BodyOf({{kTagTest, kDocumentNoParent, 0, Bytes("abc")}}));
    pf::storeU32le(&file[16], 0xFFFFFFF0); // a claim to reserve nearly 4 GiB for
    const std::string path = PathOf("claims.vtn");
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
    SWdocumentfile doc;
    std::string why;
    EXPECT_EQ(SWdocumentfile::ReadFile(path, doc, &why), DocumentStatus::kTruncated);
    EXPECT_EQ(why, path + ": the file is truncated (its header says 4294967280 bytes, it holds " +
                       std::to_string(file.size()) + ")");
    EXPECT_EQ(SWdocumentfile::ReadFile(path, doc, &why, file.size() - 1), DocumentStatus::kOverLimit);
    EXPECT_EQ(why, path + ": the file holds " + std::to_string(file.size()) + " bytes, more than the limit of " +
                       std::to_string(file.size() - 1));
    std::ofstream(PathOf("short.vtn"), std::ios::binary).write("VTNF09", 6);
    EXPECT_EQ(SWdocumentfile::ReadFile(PathOf("short.vtn"), doc, &why), DocumentStatus::kTruncated);
    EXPECT_EQ(why, PathOf("short.vtn") + ": the file is truncated");
    std::ofstream{PathOf("empty.vtn")};
    EXPECT_EQ(SWdocumentfile::OpenFile(PathOf("empty.vtn"), doc, &why), DocumentStatus::kTruncated);
    EXPECT_EQ(why, PathOf("empty.vtn") + ": the file is empty");
    std::ofstream(PathOf("text.vtn")) << "a text file longer than a header";
    EXPECT_EQ(SWdocumentfile::OpenFile(PathOf("text.vtn"), doc, &why), DocumentStatus::kNotDocument);
    EXPECT_EQ(why, PathOf("text.vtn") + ": not a Vortan file");
}

// Records of every size around 64 KiB slices and windows: heads cut between two slices after 2, 6 and 12 bytes,
// payloads longer than a window, empty and unframed records, a compressed one; then trailing bytes past "END ".
std::vector<uint8_t> StraddlingBody()
{
    std::vector<RawRecord> records;
    uint64_t at = 0; // the body's length so far
    uint32_t noise = 5;
    const auto add = [&](size_t bytes, uint32_t flags = 0) {
        RawRecord record{kTagTest, records.empty() ? kDocumentNoParent : 0u, flags, std::vector<uint8_t>(bytes)};
        for (uint8_t& byte : record.payload)
            byte = static_cast<uint8_t>(NextScrambleWord(noise));
        at += 16 + bytes;
        records.push_back(std::move(record));
    };
    const auto headCutAfter = [&](size_t cut) { // the next head then starts cut bytes before a slice's end
        const uint64_t boundary = (at + 16 + cut) / kDocumentSliceBytes * kDocumentSliceBytes + kDocumentSliceBytes;
        add(static_cast<size_t>(boundary - cut - at - 16));
    };
    add(10);
    add(2 * kDocumentSliceBytes + 77);
    headCutAfter(2);
    add(0);
    headCutAfter(6);
    add(3);
    headCutAfter(12);
    add(kDocumentSliceBytes);
    const std::vector<uint8_t> plain(5000, 'z');
    const std::optional<std::vector<uint8_t>> block = GetPayloadFilter()->encode(2, plain);
    RawRecord packed{MakeTag("PACK"), 0, 2, {}};
    PutU32(packed.payload, static_cast<uint32_t>(plain.size()));
    packed.payload.insert(packed.payload.end(), block->begin(), block->end());
    records.push_back(packed);
    add(5 * kDocumentSliceBytes + 1);
    std::vector<uint8_t> body = BodyOf(records);
    body.resize(body.size() - 4);
    PutU32(body, MakeTag("SHRT")); // an unframed record of 3 bytes
    PutU32(body, 3);
    body.insert(body.end(), {1, 2, 3});
    PutU32(body, kTagEnd);
    body.insert(body.end(), {'t', 'a', 'i', 'l'});
    return body;
}

// Read on demand through windows of one slice and more, a file gives the records and payload bytes Parse gives,
// whether read front to back or back to front.
TEST(DocumentOnDemand, ReadsTheRecordsAndBytesAFileReadWholeHas)
{
    for (const bool scramble : {true, false}) {
        const std::vector<uint8_t> file = FileOf(StraddlingBody(), scramble);
        SWdocumentfile whole;
        ASSERT_EQ(SWdocumentfile::Parse(file, whole), DocumentStatus::kOk);
        for (const size_t window : {size_t{1}, 3 * kDocumentSliceBytes, kDocumentWindowBytes}) {
            SCOPED_TRACE(testing::Message() << "scrambled " << scramble << ", window " << window);
            SWdocumentfile doc;
            ASSERT_EQ(SWdocumentfile::OpenBytes(file, doc, window), DocumentStatus::kOk);
            ASSERT_TRUE(doc.OnDemand());
            EXPECT_EQ(doc.TrailingBytes(), 4u);
            EXPECT_EQ(doc.ComputedChecksum(), whole.ComputedChecksum());
            ASSERT_EQ(doc.Records().size(), whole.Records().size());
            EXPECT_FALSE(doc.Records().back().framed);
            for (size_t i = 0; i < doc.Records().size(); ++i) {
                const DocumentRecord& a = doc.Records()[i];
                const DocumentRecord& b = whole.Records()[i];
                EXPECT_TRUE(a.tag == b.tag && a.parentIndex == b.parentIndex && a.flags == b.flags &&
                            a.offset == b.offset && a.length == b.length && a.framed == b.framed)
                    << i;
                std::vector<uint8_t> scratch;
                std::span<const uint8_t> stored;
                ASSERT_EQ(doc.StoredPayload(a, scratch, stored), PayloadStatus::kOk);
                EXPECT_TRUE(std::ranges::equal(stored, b.payload)) << i;
            }
            for (size_t i = doc.Records().size(); i-- > 0;) {
                std::vector<uint8_t> expected, got;
                ASSERT_EQ(SWdocumentfile::DecodePayload(whole.Records()[i], expected), PayloadStatus::kOk);
                ASSERT_EQ(doc.ReadPayload(doc.Records()[i], got), PayloadStatus::kOk);
                EXPECT_EQ(got, expected) << i;
            }
            std::vector<uint8_t> limited;
            EXPECT_EQ(doc.ReadPayload(doc.Records()[1], limited, kDocumentSliceBytes), PayloadStatus::kOverLimit);
        }
    }
}

// Each fault, cut or changed byte answers on demand the status and the message a file read whole answers, and
// leaves nothing listed; the same through the bytes in memory.
TEST_F(DocumentFiles, OnDemandRefusesWhatReadingWholeRefusesInItsWords)
{
    const std::vector<uint8_t> body = StraddlingBody();
    const std::vector<uint8_t> good = FileOf(body);
    struct Case {
        std::string name;
        std::vector<uint8_t> file;
        DocumentStatus expected;
    };
    std::vector<Case> cases;
    for (const size_t cut : {size_t{10}, size_t{70000}, good.size() - 8, good.size() - 1}) {
        cases.push_back({"cut at " + std::to_string(cut),
                         {good.begin(), good.begin() + static_cast<ptrdiff_t>(cut)},
                         DocumentStatus::kTruncated});
    }
    std::vector<uint8_t> flipped = good;
    flipped[150000] ^= 0x40;
    cases.push_back({"a byte flipped in a later window", flipped, DocumentStatus::kDamaged});
    for (const int64_t off : {-1, 1}) {
        std::vector<uint8_t> claims = good;
        pf::storeU32le(&claims[16], static_cast<uint32_t>(static_cast<int64_t>(good.size()) + off));
        cases.push_back({"length off by " + std::to_string(off), claims, DocumentStatus::kTruncated});
    }
    // Cuts the header believes, so that the framing must catch them, past the first windows.
    for (const size_t cut : {size_t{200000}, body.size() - 10}) {
        cases.push_back({"body cut at " + std::to_string(cut) + " and restamped",
                         FileOf({body.begin(), body.begin() + static_cast<ptrdiff_t>(cut)}),
                         DocumentStatus::kTruncated});
    }
    cases.push_back({"not a document", Bytes("VTNX0951 and more than twenty bytes"), DocumentStatus::kNotDocument});
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        const std::string path = PathOf("case.vtn");
        std::ofstream(path, std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(test.file.data()), static_cast<std::streamsize>(test.file.size()));
        SWdocumentfile whole, onDemand;
        std::string wholeWhy, onDemandWhy;
        EXPECT_EQ(SWdocumentfile::ReadFile(path, whole, &wholeWhy), test.expected);
        EXPECT_EQ(SWdocumentfile::OpenFile(path, onDemand, &onDemandWhy, UINT64_MAX, 1), test.expected);
        EXPECT_EQ(onDemandWhy, wholeWhy);
        EXPECT_TRUE(onDemand.Records().empty() && !onDemand.OnDemand());
        EXPECT_EQ(SWdocumentfile::OpenBytes(test.file, onDemand, 1), SWdocumentfile::Parse(test.file, whole));
    }
    const std::string path = PathOf("good.vtn");
    ASSERT_EQ(SaveDocumentFile(path, good), DocumentStatus::kOk);
    for (const std::string& target : {path, m_dir.string()}) {
        SWdocumentfile doc;
        std::string wholeWhy, onDemandWhy;
        EXPECT_EQ(SWdocumentfile::ReadFile(target, doc, &wholeWhy, 1000),
                  SWdocumentfile::OpenFile(target, doc, &onDemandWhy, 1000));
        EXPECT_EQ(onDemandWhy, wholeWhy);
        EXPECT_FALSE(wholeWhy.empty());
    }
}

// Another program writes into the file, still held open, after it was checked: a record in a changed slice fails
// as changed, the others still read; once the file is cut, what lay past the cut fails the same way.
TEST_F(DocumentFiles, OnDemandNoticesTheFileChangingUnderIt)
{
    const std::vector<uint8_t> body = StraddlingBody();
    const std::string path = PathOf("changing.vtn");
    ASSERT_EQ(SaveDocumentFile(path, FileOf(body)), DocumentStatus::kOk);
    SWdocumentfile whole, doc;
    ASSERT_EQ(SWdocumentfile::Parse(FileOf(body), whole), DocumentStatus::kOk);
    ASSERT_EQ(SWdocumentfile::OpenFile(path, doc, nullptr, UINT64_MAX, 1), DocumentStatus::kOk);
    const auto reads = [&](size_t index) {
        std::vector<uint8_t> got;
        const PayloadStatus status = doc.ReadPayload(doc.Records()[index], got);
        EXPECT_TRUE(status != PayloadStatus::kOk || std::ranges::equal(got, whole.Records()[index].payload));
        return status;
    };
    const DocumentRecord& large = doc.Records()[1];
    {
        std::fstream inPlace(path, std::ios::binary | std::ios::in | std::ios::out);
        inPlace.seekp(static_cast<std::streamoff>(large.PayloadOffset() + 100000));
        inPlace.put('!');
    }
    EXPECT_EQ(reads(1), PayloadStatus::kChanged);
    EXPECT_EQ(reads(0), PayloadStatus::kOk);
    EXPECT_EQ(reads(doc.Records().size() - 2), PayloadStatus::kOk);
    EXPECT_STREQ(PayloadStatusText(PayloadStatus::kChanged), "damaged: the file changed on disk after it was opened");
    std::filesystem::resize_file(path, kDocumentHeaderBytes + 2 * kDocumentSliceBytes + 5);
    EXPECT_EQ(reads(doc.Records().size() - 2), PayloadStatus::kChanged);
    EXPECT_EQ(reads(0), PayloadStatus::kOk);
}

} // namespace
