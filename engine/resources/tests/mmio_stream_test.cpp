#include "engine/resources/mmio_stream.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "codecs/sound/wave_codec/wave_file_codec.h"
#include "engine/core/buffer.h"
#include "engine/core/chunk_stream.h"
#include "engine/resources/wav_file.h"
#include "platform/media/riff_wave_writer.h"
#include "platform/media/temp_file.h"
#include "platform/media/wave_format.h"

namespace {

std::string Fixture(const char* name)
{
    const char* root = std::getenv("VORTAN_SOURCE_DIR");
    return std::string(root != nullptr ? root : ".") + "/codecs/sound/tests/data/" + name;
}

std::vector<uint8_t> FileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A path of its own in the temporary folder, removed with the object.
struct TempPath {
    TempPath() : path(pf::makeTempFile("mmi").value_or("/nonexistent/none")) {}
    ~TempPath() { std::remove(path.c_str()); }
    std::string path;
};

std::vector<uint8_t> Samples(size_t bytes, uint32_t seed)
{
    std::vector<uint8_t> out(bytes);
    for (size_t i = 0; i < bytes; ++i)
        out[i] = static_cast<uint8_t>((i * 31 + seed * 7 + i / 13) & 0xFF);
    return out;
}

// Writes a wave file through a mode-0 sink, then reads it back through a mode-0 source.
TEST(WavFileRoundTrip, EightAndSixteenBitMonoAndStereo)
{
    for (const uint16_t bits : {8, 16})
        for (const uint16_t channels : {1, 2}) {
            SCOPED_TRACE(testing::Message() << bits << " bits, " << channels << " channels");
            const TempPath file;
            const std::vector<uint8_t> data = Samples(channels * bits / 8u * 1001u, bits + channels);
            WavFormat format{channels, 11025, bits, 0};
            uint8_t error = 9;
            {
                WavFile sink(file.path, true, error, format, MmioStream::kModeRiffWave);
                ASSERT_EQ(error, 0);
                EXPECT_TRUE(sink.Write(data.data(), 100));
                EXPECT_TRUE(sink.Write(data.data() + 100, data.size() - 100));
                EXPECT_TRUE(sink.Close());
            }
            WavFormat read{};
            WavFile source(file.path, false, error, read, MmioStream::kModeRiffWave);
            ASSERT_EQ(error, 0);
            EXPECT_EQ(read, (WavFormat{channels, 11025, bits, 1001}));
            std::vector<uint8_t> back(data.size() + 10);
            size_t count = 0;
            EXPECT_TRUE(source.Read(back.data(), back.size(), count, false));
            back.resize(count);
            EXPECT_EQ(back, data);
            EXPECT_FALSE(source.Read(back.data(), 1, count, false)) << "at the end";
            EXPECT_EQ(count, 0u);
        }
}

TEST(WavFileRoundTrip, PlainFileAndRecordModesCopyBytesExactly)
{
    const std::vector<uint8_t> data = Samples(5000, 3);
    const TempPath file;
    uint8_t error = 9;
    WavFormat unused{};
    {
        WavFile sink(file.path, true, error, unused, MmioStream::kModePlainFile);
        ASSERT_EQ(error, 0);
        EXPECT_TRUE(sink.Write(data.data(), data.size()));
        EXPECT_TRUE(sink.Close());
    }
    EXPECT_EQ(FileBytes(file.path), data);
    WavFile source(file.path, false, error, unused, MmioStream::kModePlainFile);
    std::vector<uint8_t> back(6000);
    size_t count = 0;
    ASSERT_TRUE(source.Read(back.data(), back.size(), count, false));
    EXPECT_EQ(count, data.size());

    SWbuffer buffer;
    {
        SWchunkstream out(buffer, SWchunkstream::kWrite);
        MmioStream sink(&out, true, error);
        ASSERT_EQ(error, 0);
        EXPECT_TRUE(sink.Write(data.data(), data.size()));
        EXPECT_TRUE(sink.Close());
    }
    SWchunkstream in(buffer, SWchunkstream::kRead);
    MmioStream record(&in, false, error);
    std::vector<uint8_t> fromRecord(data.size());
    ASSERT_TRUE(record.Read(fromRecord.data(), fromRecord.size(), count, false));
    EXPECT_EQ(fromRecord, data);
    EXPECT_FALSE(record.Read(fromRecord.data(), 1, count, false));
    EXPECT_FALSE(record.HasFailed()) << "asking past the record is not an error";
}

TEST(MmioStreamWiden, UnsignedBytesBecomeSixteenBitSamples)
{
    const std::vector<uint8_t> bytes = {0, 128, 255};
    SWchunkstream in(bytes);
    uint8_t error = 9;
    MmioStream source(&in, false, error);
    uint8_t out[7] = {};
    size_t count = 0;
    ASSERT_TRUE(source.Read(out, 7, count, true)) << "7 output bytes ask for 3 source bytes";
    ASSERT_EQ(count, 6u);
    const int16_t expected[3] = {-32768, 128, 32767}; // 257 x b - 32768
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(static_cast<int16_t>(out[2 * i] | (out[2 * i + 1] << 8)), expected[i]) << i;
}

class MmioStreamHistory : public ::testing::Test {
protected:
    MmioStreamHistory() : m_bytes(Samples(200, 5)), m_in(m_bytes), m_source(&m_in, false, m_error) {}
    std::vector<uint8_t> ReadBytes(size_t n)
    {
        std::vector<uint8_t> out(n);
        size_t count = 0;
        m_source.Read(out.data(), n, count, false);
        out.resize(count);
        return out;
    }
    std::vector<uint8_t> Slice(size_t from, size_t n) const
    {
        return {m_bytes.begin() + static_cast<ptrdiff_t>(from), m_bytes.begin() + static_cast<ptrdiff_t>(from + n)};
    }
    std::vector<uint8_t> m_bytes;
    SWchunkstream m_in;
    uint8_t m_error = 9;
    MmioStream m_source;
};

TEST_F(MmioStreamHistory, StepsWithinTheHistoryDeliverTheBytesAgain)
{
    ASSERT_TRUE(m_source.SetHistory(40));
    EXPECT_EQ(ReadBytes(30), Slice(0, 30));
    EXPECT_TRUE(m_source.StepBack(-10));
    EXPECT_EQ(ReadBytes(15), Slice(20, 15)) << "10 again, then 5 new";
    EXPECT_EQ(ReadBytes(50), Slice(35, 50));
    EXPECT_EQ(m_source.HistoryHeld(), 40u);
    EXPECT_TRUE(m_source.StepBack(-40));
    EXPECT_TRUE(m_source.StepBack(25));
    EXPECT_EQ(ReadBytes(20), Slice(70, 20));
}

TEST_F(MmioStreamHistory, StepsBeyondTheHistoryAreClamped)
{
    ASSERT_TRUE(m_source.SetHistory(40));
    ReadBytes(100);
    EXPECT_FALSE(m_source.StepBack(-41)) << "only 40 are held";
    EXPECT_EQ(ReadBytes(40), Slice(60, 40));
    EXPECT_FALSE(m_source.StepBack(1)) << "nothing delivered ahead";
    EXPECT_EQ(ReadBytes(10), Slice(100, 10));
    EXPECT_FALSE(m_source.StepBack(INT64_MIN));
    EXPECT_EQ(m_source.PendingReplay(), 40u);
    EXPECT_FALSE(m_source.StepBack(INT64_MAX));
    EXPECT_EQ(m_source.PendingReplay(), 0u);
}

TEST_F(MmioStreamHistory, OnlyRecordSourcesKeepOneAndNoneMeansNoStep)
{
    EXPECT_FALSE(m_source.SetHistory(MmioStream::kMaxHistoryBytes + 1));
    ReadBytes(10);
    EXPECT_FALSE(m_source.StepBack(-1));
    EXPECT_TRUE(m_source.StepBack(0));
    SWbuffer buffer;
    SWchunkstream out(buffer, SWchunkstream::kWrite);
    uint8_t error = 9;
    MmioStream sink(&out, true, error);
    EXPECT_FALSE(sink.SetHistory(40));
}

TEST(MmioStreamErrors, NullAndWrongDirectionStreamsAreRefused)
{
    uint8_t error = 0;
    MmioStream none(nullptr, false, error);
    EXPECT_EQ(error, 1);
    const std::vector<uint8_t> bytes = {1};
    SWchunkstream in(bytes);
    MmioStream wrong(&in, true, error);
    EXPECT_EQ(error, 1);
    EXPECT_FALSE(wrong.Write(bytes.data(), 1));
}

TEST(MmioStreamErrors, SourceRefusesWritesAndSinkRefusesReads)
{
    const std::vector<uint8_t> bytes = {1, 2};
    SWchunkstream in(bytes);
    uint8_t error = 9;
    MmioStream source(&in, false, error);
    EXPECT_FALSE(source.Write(bytes.data(), 1));
    SWbuffer buffer;
    SWchunkstream out(buffer, SWchunkstream::kWrite);
    MmioStream sink(&out, true, error);
    uint8_t b = 0;
    size_t count = 5;
    EXPECT_FALSE(sink.Read(&b, 1, count, false));
    EXPECT_EQ(count, 0u);
}

TEST(MmioStreamClose, WriteRefusedAtTheSizeLimitMakesCloseFalse)
{
    const TempPath file;
    WavFormat format{1, 8000, 16, 0};
    uint8_t error = 9;
    WavFile sink(file.path, true, error, format, MmioStream::kModeRiffWave);
    ASSERT_EQ(error, 0);
    sink.PretendWritten(pf::RiffWaveWriter::kMaxDataBytes - 1);
    EXPECT_FALSE(sink.Write("ab", 2));
    EXPECT_FALSE(sink.Write("a", 1)) << "nothing more after an error";
    EXPECT_TRUE(sink.HasFailed());
    EXPECT_FALSE(sink.Close());
    EXPECT_FALSE(sink.Close()) << "the same answer again";
}

// While it lives, files may not grow past a few KiB: writes beyond fail as on a full disk.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN); // a write past the limit fails instead of ending the process
        getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit limited = m_old;
        limited.rlim_cur = bytes;
        m_set = setrlimit(RLIMIT_FSIZE, &limited) == 0;
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    bool IsSet() const { return m_set; }

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = nullptr;
    bool m_set = false;
};

TEST(MmioStreamClose, FileThatCannotBeWrittenMakesCloseFalse)
{
    const std::vector<uint8_t> data(64 * 1024, 1);
    for (const int mode : {MmioStream::kModeRiffWave, MmioStream::kModePlainFile}) {
        SCOPED_TRACE(mode);
        const TempPath file;
        WavFormat format{1, 8000, 16, 0};
        uint8_t error = 9;
        WavFile sink(file.path, true, error, format, mode);
        ASSERT_EQ(error, 0);
        const FileSizeLimit limit(4096);
        ASSERT_TRUE(limit.IsSet());
        for (size_t i = 0; i < data.size(); i += 1000)
            sink.Write(data.data() + i, std::min<size_t>(1000, data.size() - i));
        EXPECT_FALSE(sink.Close()) << "the end of the file never reached the disk";
    }
}

TEST(WavFileRefusals, NonPcmOddLayoutsAndMissingFiles)
{
    struct Case {
        const char* name;
        pf::WaveFormat format;
        bool accepted;
    };
    const Case cases[] = {
        {"PCM 16-bit stereo", pf::WaveFormat::pcm(2, 22050, 16), true},
        {"float", {3, 1, 8000, 32000, 4, 32}, false},
        {"three channels", pf::WaveFormat::pcm(3, 8000, 16), false},
        {"24 bits", pf::WaveFormat::pcm(1, 8000, 24), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const TempPath file;
        {
            auto writer = pf::RiffWaveWriter::create(file.path, c.format);
            ASSERT_NE(writer, nullptr);
            writer->write("\1\2\3\4\5\6", 6);
            ASSERT_TRUE(writer->finish());
        }
        WavFormat format{};
        uint8_t error = 9;
        WavFile source(file.path, false, error, format, MmioStream::kModeRiffWave);
        EXPECT_EQ(error == 0, c.accepted) << source.GetRefusal();
        EXPECT_EQ(source.GetRefusal().empty(), c.accepted);
    }
    WavFormat format{};
    uint8_t error = 0;
    WavFile missing("/nonexistent/x.wav", false, error, format, MmioStream::kModeRiffWave);
    EXPECT_EQ(error, 1);
    WavFile badMode(Fixture("speech_8000_mono.wav"), false, error, format, MmioStream::kModeRecord);
    EXPECT_EQ(error, 1);
}

TEST(WavFileRefusals, ExtensiblePcmIsAccepted)
{
    // RIFF, a 40-byte "fmt " of the extensible layout with sub-format 1, and four data bytes.
    std::vector<uint8_t> file = {
        'R',  'I',  'F',  'F',  0,    0,    0,    0,   'W', 'A',  'V',  'E', 'f', 'm', 't',  ' ', 40,   0, 0,
        0,    0xFE, 0xFF, 1,    0,    0x40, 0x1F, 0,   0,   0x80, 0x3E, 0,   0,   2,   0,    16,  0, // 8000 Hz, 16 bits
        22,   0,    16,   0,    4,    0,    0,    0,   1,   0,    0,    0,   0,   0,   0x10, 0,   0x80, 0, 0,
        0xAA, 0,    0x38, 0x9B, 0x71, 'd',  'a',  't', 'a', 4,    0,    0,   0,   1,   2,    3,   4};
    const uint32_t riffSize = static_cast<uint32_t>(file.size() - 8);
    file[4] = static_cast<uint8_t>(riffSize);
    const TempPath path;
    std::ofstream(path.path, std::ios::binary)
        .write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
    WavFormat format{};
    uint8_t error = 9;
    WavFile source(path.path, false, error, format, MmioStream::kModeRiffWave);
    EXPECT_EQ(error, 0) << source.GetRefusal();
    EXPECT_EQ(format, (WavFormat{1, 8000, 16, 2}));
}

TEST(MmioStreamWaveCodec, RecordSinkAndSourceCarryTheCodecsBytes)
{
    const std::string wave = Fixture("speech_8000_mono.wav");
    std::vector<uint8_t> expected;
    sound::VectorByteSink vectorSink(expected);
    ASSERT_TRUE(sound::EncodeWaveFile(wave, vectorSink, 70));

    SWbuffer buffer;
    {
        SWchunkstream out(buffer, SWchunkstream::kWrite);
        uint8_t error = 9;
        MmioStream sink(&out, true, error);
        ASSERT_TRUE(sound::EncodeWaveFile(wave, sink, 70));
        ASSERT_TRUE(sink.Close());
    }
    EXPECT_EQ(buffer.ToVector(), expected);

    const TempPath fromRecord, fromVector;
    SWchunkstream in(buffer, SWchunkstream::kRead);
    uint8_t error = 9;
    MmioStream source(&in, false, error);
    ASSERT_TRUE(sound::DecodeToWaveFile(source, fromRecord.path));
    sound::SpanByteSource span(expected);
    ASSERT_TRUE(sound::DecodeToWaveFile(span, fromVector.path));
    EXPECT_EQ(FileBytes(fromRecord.path), FileBytes(fromVector.path));
    EXPECT_GT(FileBytes(fromRecord.path).size(), 44u);
}

} // namespace
