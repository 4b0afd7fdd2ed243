#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/base/endian.h"
#include "platform/media/riff_wave_reader.h"
#include "platform/media/riff_wave_writer.h"
#include "platform/media/tests/wave_test_files.h"

namespace pf {
namespace {

using test::Bytes;
using test::Chunk;
using test::FmtBody;
using test::Ramp;
using test::Riff;

// Everything the reader hands out, in the 8192-byte pieces the codec glue asks for.
Bytes ReadAll(RiffWaveReader& reader)
{
    Bytes out;
    uint8_t piece[8192];
    while (const size_t got = reader.read(piece, sizeof piece))
        out.insert(out.end(), piece, piece + got);
    return out;
}

const WaveFormat kMono16 = WaveFormat::pcm(1, 22050, 16);

TEST(RiffWaveRoundTrip, EveryDepthAndLayoutReadsBackExactly)
{
    test::ScratchDir dir;
    for (const uint16_t bits : {8, 16}) {
        for (const uint16_t channels : {1, 2}) {
            SCOPED_TRACE(testing::Message() << bits << " bits, " << channels << " channels");
            const WaveFormat format = WaveFormat::pcm(channels, 11025, bits);
            const Bytes samples = Ramp(20000 + channels * bits); // spans several 8192-byte buffers
            const std::string path = dir.file("round.wav");
            {
                auto writer = RiffWaveWriter::create(path, format);
                ASSERT_NE(writer, nullptr);
                ASSERT_TRUE(writer->write(samples.data(), 5000)); // pieces that straddle buffer boundaries
                ASSERT_TRUE(writer->write(samples.data() + 5000, samples.size() - 5000));
                EXPECT_TRUE(writer->finish());
            }
            const Bytes file = test::ReadFile(path);
            ASSERT_EQ(file.size(), kWaveHeaderBytes + samples.size());
            EXPECT_EQ(loadU32le(&file[4]), file.size() - 8);

            WaveError err = WaveError::kCannotOpen;
            auto reader = RiffWaveReader::open(path, &err);
            ASSERT_NE(reader, nullptr);
            EXPECT_EQ(err, WaveError::kNone);
            EXPECT_EQ(reader->format(), format);
            EXPECT_EQ(reader->format().blockAlign, channels * bits / 8);
            EXPECT_EQ(reader->dataBytes(), samples.size());
            EXPECT_EQ(ReadAll(*reader), samples);
            EXPECT_EQ(reader->consumed(), samples.size());
        }
    }
}

TEST(RiffWaveWriter, OddDataIsPaddedButItsSizeStaysOdd)
{
    test::ScratchDir dir;
    const std::string path = dir.file("odd.wav");
    const Bytes samples = {0x80, 0x81, 0x82};
    {
        auto writer = RiffWaveWriter::create(path, WaveFormat::pcm(1, 8000, 8));
        ASSERT_NE(writer, nullptr);
        ASSERT_TRUE(writer->write(samples));
        ASSERT_TRUE(writer->finish());
    }
    const Bytes file = test::ReadFile(path);
    ASSERT_EQ(file.size(), kWaveHeaderBytes + 4);
    EXPECT_EQ(loadU32le(&file[40]), 3u);
    EXPECT_EQ(loadU32le(&file[4]), file.size() - 8);
    EXPECT_EQ(file.back(), 0);

    auto reader = RiffWaveReader::open(path, nullptr);
    ASSERT_NE(reader, nullptr);
    EXPECT_EQ(ReadAll(*reader), samples);
}

TEST(RiffWaveWriter, EmptyDataStillMakesAValidFile)
{
    test::ScratchDir dir;
    const std::string path = dir.file("empty.wav");
    ASSERT_TRUE(RiffWaveWriter::create(path, kMono16)->finish());
    auto reader = RiffWaveReader::open(path, nullptr);
    ASSERT_NE(reader, nullptr);
    EXPECT_EQ(reader->dataBytes(), 0u);
    EXPECT_EQ(test::ReadFile(path).size(), kWaveHeaderBytes);
}

TEST(RiffWaveWriter, RefusesDataPastTheFourGigabyteLimit)
{
    test::ScratchDir dir;
    auto writer = RiffWaveWriter::create(dir.file("big.wav"), kMono16);
    ASSERT_NE(writer, nullptr);
    writer->pretendWritten(RiffWaveWriter::kMaxDataBytes - 10);
    const Bytes ten = Ramp(10);
    EXPECT_TRUE(writer->write(ten)); // exactly at the limit
    EXPECT_FALSE(writer->failed());
    EXPECT_FALSE(writer->write(ten.data(), 1));
    EXPECT_EQ(writer->dataBytes(), RiffWaveWriter::kMaxDataBytes);
    EXPECT_FALSE(writer->finish()); // a refused byte never reached the file
}

TEST(RiffWaveWriter, UnwritableTargetsFailCleanlyNamingThePath)
{
    test::ScratchDir dir;
    std::vector<std::string> targets = {dir.file("missing/folder.wav"), dir.path().string()};
    if (std::filesystem::exists("/dev/full"))
        targets.push_back("/dev/full"); // a device is never replaced by a file
    for (const std::string& target : targets) {
        SCOPED_TRACE(target);
        std::string error;
        EXPECT_EQ(RiffWaveWriter::create(target, kMono16, &error), nullptr);
        EXPECT_NE(error.find(target), std::string::npos) << error;
    }
    EXPECT_TRUE(std::filesystem::is_directory(dir.path()));
}

// The old file stays whole until finish() succeeds: a writer dropped half-way, or refused on the way, leaves it
// as it was and no temporary file beside it.
TEST(RiffWaveWriter, TargetIsReplacedOnlyByAFinishedFile)
{
    test::ScratchDir dir;
    const std::string path = dir.file("kept.wav");
    const Bytes old = Ramp(100, 9);
    test::WriteFile(path, old);
    {
        auto writer = RiffWaveWriter::create(path, kMono16);
        ASSERT_NE(writer, nullptr);
        ASSERT_TRUE(writer->write(Ramp(30000)));
        EXPECT_EQ(test::ReadFile(path), old); // nothing reaches the target before finish()
    }
    EXPECT_EQ(test::ReadFile(path), old);
    {
        auto writer = RiffWaveWriter::create(path, kMono16);
        ASSERT_NE(writer, nullptr);
        writer->pretendWritten(RiffWaveWriter::kMaxDataBytes);
        EXPECT_FALSE(writer->write(Ramp(2)));
        EXPECT_FALSE(writer->finish());
        EXPECT_NE(writer->error().find(path), std::string::npos) << writer->error();
    }
    EXPECT_EQ(test::ReadFile(path), old);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);

    auto writer = RiffWaveWriter::create(path, kMono16);
    ASSERT_NE(writer, nullptr);
    ASSERT_TRUE(writer->write(Ramp(6)));
    ASSERT_TRUE(writer->finish());
    EXPECT_EQ(test::ReadFile(path).size(), kWaveHeaderBytes + 6);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

// A header whose derived fields would wrap in their 16 or 32 bits, or whose rate no reader accepts, is never
// written; the boundaries of the rate are.
TEST(RiffWaveWriter, FormatsWhoseFieldsCannotBeStatedAreRefused)
{
    test::ScratchDir dir;
    const struct {
        const char* name;
        WaveFormat format;
        bool writable;
    } cases[] = {
        {"rate 0", WaveFormat::pcm(1, 0, 16), false},
        {"rate 1", WaveFormat::pcm(1, 1, 16), true},
        {"rate 1000000", WaveFormat::pcm(2, kMaxWaveRate, 16), true},
        {"rate 1000001", WaveFormat::pcm(2, kMaxWaveRate + 1, 16), false},
        {"rate 2^31", WaveFormat::pcm(1, 0x80000000u, 16), false},
        {"rate 0xFFFFFFFF", WaveFormat::pcm(2, 0xFFFFFFFFu, 16), false},
        {"no channels", WaveFormat::pcm(0, 8000, 16), false},
        {"block align wraps", WaveFormat::pcm(40000, 8000, 16), false},
        {"byte rate wraps", WaveFormat::pcm(8000, kMaxWaveRate, 8), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.file(std::string(c.name) + ".wav");
        std::string error;
        auto writer = RiffWaveWriter::create(path, c.format, &error);
        EXPECT_EQ(writer != nullptr, c.writable) << error;
        if (!writer) {
            EXPECT_NE(error.find("rate"), std::string::npos) << error;
            EXPECT_FALSE(std::filesystem::exists(path));
            continue;
        }
        ASSERT_TRUE(writer->finish());
        auto reader = RiffWaveReader::open(path, nullptr);
        ASSERT_NE(reader, nullptr);
        EXPECT_EQ(reader->format(), c.format);
    }
}

TEST(RiffWaveWriter, NothingIsAcceptedAfterFinish)
{
    test::ScratchDir dir;
    auto writer = RiffWaveWriter::create(dir.file("done.wav"), kMono16);
    ASSERT_NE(writer, nullptr);
    ASSERT_TRUE(writer->finish());
    EXPECT_FALSE(writer->write(Ramp(2)));
    EXPECT_TRUE(writer->finish()); // asking again repeats the answer
}

// Layouts written by other programs: each is read with the same format and data.
TEST(RiffWaveReaderLayouts, ChunkOrderAndExtraChunksDoNotMatter)
{
    const Bytes data = Ramp(101); // odd: the chunk after it starts past a pad byte
    const Bytes fmt16 = Chunk("fmt ", FmtBody(kMono16));
    const Bytes fmt18 = Chunk("fmt ", FmtBody(kMono16, {0, 0}));       // cbSize 0
    const Bytes fmt40 = Chunk("fmt ", FmtBody(kMono16, Bytes(24, 0))); // a plain tag with 24 more bytes
    const Bytes list = Chunk("LIST", Ramp(13));
    const Bytes fact = Chunk("fact", {0x10, 0, 0, 0});
    const struct {
        const char* name;
        Bytes file;
    } cases[] = {
        {"plain", Riff({fmt16, Chunk("data", data)})},
        {"unknown chunks before and after", Riff({list, fact, fmt16, list, Chunk("data", data), list})},
        {"fmt of 18 bytes", Riff({fmt18, Chunk("data", data)})},
        {"fmt of 40 bytes", Riff({fmt40, Chunk("data", data)})},
        {"data before fmt", Riff({Chunk("data", data), list, fmt16})},
        {"RIFF size too small", Riff({fmt16, Chunk("data", data)}, 4)},
        {"RIFF size too large", Riff({fmt16, Chunk("data", data)}, 0xFFFFFFFF)},
        {"second data ignored", Riff({fmt16, Chunk("data", data), Chunk("data", Ramp(8, 99))})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WaveError err = WaveError::kCannotOpen;
        auto reader = RiffWaveReader::fromBytes(c.file, &err);
        ASSERT_NE(reader, nullptr);
        EXPECT_EQ(err, WaveError::kNone);
        EXPECT_EQ(reader->format(), kMono16);
        EXPECT_EQ(reader->subFormatTag(), 0);
        EXPECT_EQ(ReadAll(*reader), data);
    }
}

TEST(RiffWaveReaderLayouts, ExtensibleFormatIsReportedAsStoredWithItsSubFormat)
{
    WaveFormat ext = kMono16;
    ext.tag = WAVE_FORMAT_EXTENSIBLE;
    Bytes extra = {22, 0, 16, 0, 4, 0, 0, 0}; // cbSize 22, 16 valid bits, channel mask
    const Bytes pcmGuid = {1, 0, 0, 0, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
    test::Append(extra, pcmGuid);
    auto reader =
        RiffWaveReader::fromBytes(Riff({Chunk("fmt ", FmtBody(ext, extra)), Chunk("data", Ramp(4))}), nullptr);
    ASSERT_NE(reader, nullptr);
    EXPECT_EQ(reader->format().tag, WAVE_FORMAT_EXTENSIBLE);
    EXPECT_EQ(reader->subFormatTag(), WAVE_FORMAT_PCM);

    extra[8 + 15] ^= 1; // not the shared GUID tail: an unknown sub-format
    reader = RiffWaveReader::fromBytes(Riff({Chunk("fmt ", FmtBody(ext, extra)), Chunk("data", Ramp(4))}), nullptr);
    ASSERT_NE(reader, nullptr);
    EXPECT_EQ(reader->subFormatTag(), 0);
}

// Damaged files, each a valid one with one change: a clear error, or only the bytes that are really there.
TEST(RiffWaveReaderDamaged, ReportsTheCauseOrCapsTheData)
{
    const Bytes data = Ramp(64);
    const Bytes fmt = Chunk("fmt ", FmtBody(kMono16));
    const Bytes good = Riff({fmt, Chunk("data", data)});
    Bytes truncatedData = good;
    truncatedData.resize(good.size() - 24);
    Bytes truncatedFmt = good;
    truncatedFmt.resize(12 + 8 + 10);
    Bytes wrongForm = good;
    std::memcpy(&wrongForm[8], "AVI ", 4);
    const struct {
        const char* name;
        Bytes file;
        WaveError err;
        uint32_t dataBytes;
    } cases[] = {
        {"empty file", {}, WaveError::kNotRiffWave, 0},
        {"eleven bytes", Bytes(good.begin(), good.begin() + 11), WaveError::kNotRiffWave, 0},
        {"not RIFF", Bytes(good.size(), 'x'), WaveError::kNotRiffWave, 0},
        {"RIFF of another form", wrongForm, WaveError::kNotRiffWave, 0},
        {"header only", Riff({}), WaveError::kMissingFormat, 0},
        {"no fmt", Riff({Chunk("data", data)}), WaveError::kMissingFormat, 0},
        {"no data", Riff({fmt}), WaveError::kMissingData, 0},
        {"fmt of 14 bytes", Riff({Chunk("fmt ", Ramp(14)), Chunk("data", data)}), WaveError::kShortFormat, 0},
        {"fmt cut by the end of the file", truncatedFmt, WaveError::kShortFormat, 0},
        {"data cut short", truncatedData, WaveError::kNone, 40},
        {"data size 0xFFFFFFFF", Riff({fmt, Chunk("data", data, 0xFFFFFFFF)}), WaveError::kNone, 64},
        {"data size 0x7FFFFFFF", Riff({fmt, Chunk("data", data, 0x7FFFFFFF)}), WaveError::kNone, 64},
        {"data header without body", Riff({fmt, Chunk("data", {}, 1000)}), WaveError::kNone, 0},
        {"unknown chunk of 0xFFFFFFFF before fmt", Riff({Chunk("junk", Ramp(4), 0xFFFFFFFF), fmt, Chunk("data", data)}),
         WaveError::kMissingFormat, 0},
        {"unknown chunk of 0xFFFFFFFE before data",
         Riff({fmt, Chunk("junk", Ramp(4), 0xFFFFFFFE), Chunk("data", data)}), WaveError::kMissingData, 0},
        {"fmt of 0xFFFFFFFF bytes", Riff({Chunk("fmt ", FmtBody(kMono16), 0xFFFFFFFF), Chunk("data", data)}),
         WaveError::kMissingData, 0},
        {"half a chunk header at the end", Riff({fmt, Bytes{'d', 'a', 't', 'a', 1}}), WaveError::kMissingData, 0},
        {"rate 0", Riff({Chunk("fmt ", FmtBody(WaveFormat::pcm(1, 0, 16))), Chunk("data", data)}),
         WaveError::kUnsupportedFormat, 0},
        {"rate 1000001", Riff({Chunk("fmt ", FmtBody(WaveFormat::pcm(1, kMaxWaveRate + 1, 16))), Chunk("data", data)}),
         WaveError::kUnsupportedFormat, 0},
        {"rate 0xFFFFFFFF", Riff({Chunk("fmt ", FmtBody(WaveFormat::pcm(2, 0xFFFFFFFF, 16))), Chunk("data", data)}),
         WaveError::kUnsupportedFormat, 0},
        {"no channels", Riff({Chunk("fmt ", FmtBody(WaveFormat::pcm(0, 8000, 16))), Chunk("data", data)}),
         WaveError::kUnsupportedFormat, 0},
        {"rate 1", Riff({Chunk("fmt ", FmtBody(WaveFormat::pcm(1, 1, 16))), Chunk("data", data)}), WaveError::kNone,
         64},
        {"rate 1000000", Riff({Chunk("fmt ", FmtBody(WaveFormat::pcm(1, kMaxWaveRate, 16))), Chunk("data", data)}),
         WaveError::kNone, 64},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WaveError err = WaveError::kCannotOpen;
        auto reader = RiffWaveReader::fromBytes(c.file, &err);
        EXPECT_EQ(err, c.err);
        if (c.err != WaveError::kNone) {
            EXPECT_EQ(reader, nullptr);
            continue;
        }
        ASSERT_NE(reader, nullptr);
        EXPECT_EQ(reader->dataBytes(), c.dataBytes);
        const Bytes got = ReadAll(*reader);
        EXPECT_EQ(got, Bytes(data.begin(), data.begin() + c.dataBytes));
    }
}

TEST(RiffWaveReaderDamaged, MissingOrUnreadablePathsCannotOpen)
{
    test::ScratchDir dir;
    WaveError err = WaveError::kNone;
    EXPECT_EQ(RiffWaveReader::open(dir.file("absent.wav"), &err), nullptr);
    EXPECT_EQ(err, WaveError::kCannotOpen);
    err = WaveError::kNone;
    EXPECT_EQ(errno, ENOENT); // the cause, for the caller's message
    err = WaveError::kNone;
    EXPECT_EQ(RiffWaveReader::open(dir.path().string(), &err), nullptr); // a folder
    EXPECT_EQ(err, WaveError::kCannotOpen);
    EXPECT_EQ(errno, EISDIR);
    EXPECT_EQ(RiffWaveReader::open(dir.file("absent.wav"), nullptr), nullptr); // no error slot is fine
}

TEST(RiffWaveReaderRead, StopsAtTheEndOfDataAndIgnoresNullTargets)
{
    const Bytes data = Ramp(10);
    auto reader = RiffWaveReader::fromBytes(
        Riff({Chunk("fmt ", FmtBody(kMono16)), Chunk("data", data), Chunk("LIST", Ramp(20, 200))}), nullptr);
    ASSERT_NE(reader, nullptr);
    uint8_t piece[8] = {};
    EXPECT_EQ(reader->read(nullptr, 4), 0u);
    EXPECT_EQ(reader->read(piece, 8), 8u);
    EXPECT_EQ(reader->read(piece, 8), 2u); // never the LIST chunk after the data
    EXPECT_EQ(piece[1], data[9]);
    EXPECT_EQ(reader->read(piece, 8), 0u);
    EXPECT_EQ(reader->consumed(), 10u);
}

TEST(RiffWaveReaderRead, FileReaderSeesAFileThatShrankAsEnded)
{
    test::ScratchDir dir;
    const std::string path = dir.file("shrinks.wav");
    test::WriteFile(path, Riff({Chunk("fmt ", FmtBody(kMono16)), Chunk("data", Ramp(1000))}));
    auto reader = RiffWaveReader::open(path, nullptr);
    ASSERT_NE(reader, nullptr);
    std::filesystem::resize_file(path, 44 + 100);
    const Bytes got = ReadAll(*reader);
    EXPECT_EQ(got, Ramp(100));
}

} // namespace
} // namespace pf
