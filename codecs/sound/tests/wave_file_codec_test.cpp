// Wave files through the own wave codec: what is taken from the file, what is refused, and the file written back.
#include "codecs/sound/wave_codec/wave_file_codec.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "codecs/sound/tests/wave_codec_test_support.h"
#include "platform/base/endian.h"
#include "platform/media/riff_wave_reader.h"
#include "testsupport/sound/sound_metrics.h"

using namespace sound;

namespace {

struct WaveFields {
    uint16_t tag = 1;
    uint16_t channels = 1;
    uint32_t rate = 22050;
    uint16_t bits = 16;
};

void Append(std::vector<uint8_t>& out, const char* id)
{
    out.insert(out.end(), id, id + 4);
}

void AppendU32(std::vector<uint8_t>& out, uint32_t v)
{
    out.resize(out.size() + 4);
    pf::storeU32le(&out[out.size() - 4], v);
}

void AppendU16(std::vector<uint8_t>& out, uint16_t v)
{
    out.resize(out.size() + 2);
    pf::storeU16le(&out[out.size() - 2], v);
}

// A RIFF/WAVE file with a 16-byte "fmt " (40 bytes for the extensible tag), the data, and optional chunks after it.
std::vector<uint8_t> WaveBytes(const WaveFields& spec, const std::vector<uint8_t>& data,
                               const std::vector<uint8_t>& trailingChunks = {})
{
    const bool extensible = spec.tag == 0xFFFE;
    std::vector<uint8_t> body;
    Append(body, "WAVE");
    Append(body, "fmt ");
    AppendU32(body, extensible ? 40 : 16);
    AppendU16(body, spec.tag);
    AppendU16(body, spec.channels);
    AppendU32(body, spec.rate);
    AppendU32(body, spec.rate * spec.channels * spec.bits / 8);
    AppendU16(body, static_cast<uint16_t>(spec.channels * spec.bits / 8));
    AppendU16(body, spec.bits);
    if (extensible) {
        AppendU16(body, 22);
        AppendU16(body, spec.bits);
        AppendU32(body, spec.channels == 2 ? 3 : 4);
        const uint8_t pcmGuid[16] = {1,    0,    0,    0,    0x00, 0x00, 0x10, 0x00,
                                     0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
        body.insert(body.end(), pcmGuid, pcmGuid + 16);
    }
    Append(body, "data");
    AppendU32(body, static_cast<uint32_t>(data.size()));
    body.insert(body.end(), data.begin(), data.end());
    if (data.size() % 2 != 0)
        body.push_back(0); // chunks are padded to even lengths
    body.insert(body.end(), trailingChunks.begin(), trailingChunks.end());
    std::vector<uint8_t> file;
    Append(file, "RIFF");
    AppendU32(file, static_cast<uint32_t>(body.size()));
    file.insert(file.end(), body.begin(), body.end());
    return file;
}

std::vector<uint8_t> SampleBytes(const std::vector<int16_t>& samples)
{
    std::vector<uint8_t> bytes;
    for (const int16_t s : samples)
        AppendU16(bytes, static_cast<uint16_t>(s));
    return bytes;
}

class WaveFileCodec : public ::testing::Test {
protected:
    std::string PathOf(const std::string& name) const
    {
        return ::testing::TempDir() + "sound_wave_file_" + std::to_string(::getpid()) + "_" + name;
    }

    std::string Write(const std::string& name, const std::vector<uint8_t>& bytes)
    {
        const std::string path = PathOf(name);
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        m_made.push_back(path);
        return path;
    }

    void TearDown() override
    {
        for (const std::string& path : m_made)
            std::filesystem::remove(path);
    }

    // Encodes the file, decodes the stored data into another file and reads its samples back.
    std::vector<int16_t> RoundTrip(const std::string& wavePath, uint32_t quality, pf::WaveFormat* outFormat = nullptr)
    {
        std::vector<uint8_t> stored;
        VectorByteSink sink(stored);
        EXPECT_TRUE(EncodeWaveFile(wavePath, sink, quality));
        SpanByteSource source(stored);
        const std::string decodedPath = PathOf("decoded.wav");
        m_made.push_back(decodedPath);
        EXPECT_TRUE(DecodeToWaveFile(source, decodedPath));
        return ReadSamples(decodedPath, outFormat);
    }

    static std::vector<uint8_t> ReadBytes(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }

    static std::vector<int16_t> ReadSamples(const std::string& path, pf::WaveFormat* outFormat = nullptr)
    {
        pf::WaveError error = pf::WaveError::kNone;
        const auto reader = pf::RiffWaveReader::open(path, &error);
        if (!reader)
            return {};
        if (outFormat != nullptr)
            *outFormat = reader->format();
        std::vector<uint8_t> bytes(reader->dataBytes());
        bytes.resize(reader->read(bytes));
        std::vector<int16_t> samples;
        for (size_t i = 0; i + 1 < bytes.size(); i += 2)
            samples.push_back(static_cast<int16_t>(pf::loadU16le(&bytes[i])));
        return samples;
    }

    std::vector<std::string> m_made;
};

} // namespace

TEST_F(WaveFileCodec, StoredDataStartsWithChannelsAndRateAndClampsTheQuality)
{
    const std::string path = Write("header.wav", WaveBytes({1, 2, 11025, 16}, SampleBytes(std::vector<int16_t>(40))));
    std::vector<uint8_t> stored;
    VectorByteSink sink(stored);
    ASSERT_TRUE(EncodeWaveFile(path, sink, 5000));
    ASSERT_GE(stored.size(), 8u + 12u);
    EXPECT_EQ(pf::loadU16le(&stored[0]), 2);
    EXPECT_EQ(pf::loadU16le(&stored[2]), 0);
    EXPECT_EQ(pf::loadU32le(&stored[4]), 11025u);
    EXPECT_EQ(pf::loadU32le(&stored[8 + 8]), kWaveSystemMode | 100); // the first block's mode word
}

// Bytes after the data chunk (a LIST chunk here) are no part of the sound.
TEST_F(WaveFileCodec, ChunkAfterTheDataIsNotEncoded)
{
    const std::vector<int16_t> samples = wavetest::Tone(3000, 440, 22050, 9000);
    std::vector<uint8_t> list;
    Append(list, "LIST");
    AppendU32(list, 200);
    list.resize(list.size() + 200, 0x7F);
    const std::string path = Write("list.wav", WaveBytes({}, SampleBytes(samples), list));
    const std::vector<int16_t> decoded = RoundTrip(path, 100);
    ASSERT_EQ(decoded.size(), samples.size());
    EXPECT_GT(soundtest::Snr(samples, decoded), 70.0);
}

TEST_F(WaveFileCodec, OddDataSizeDropsOnlyTheCutSample)
{
    const std::vector<int16_t> samples = wavetest::Tone(20001, 300, 22050, 12000); // more than two reads
    std::vector<uint8_t> data = SampleBytes(samples);
    data.pop_back();
    const std::vector<int16_t> decoded = RoundTrip(Write("odd.wav", WaveBytes({}, data)), 100);
    ASSERT_EQ(decoded.size(), samples.size() - 1);
    EXPECT_GT(soundtest::Snr(std::span(samples).first(decoded.size()), decoded), 70.0);
}

TEST_F(WaveFileCodec, EightBitSamplesAreWidened)
{
    std::vector<uint8_t> data;
    for (int i = 0; i < 600; ++i)
        data.push_back(static_cast<uint8_t>(i % 3 == 0 ? 0 : (i % 3 == 1 ? 128 : 255)));
    const std::vector<int16_t> decoded = RoundTrip(Write("eight.wav", WaveBytes({1, 1, 8000, 8}, data)), 100);
    ASSERT_EQ(decoded.size(), data.size());
    for (size_t i = 0; i < 6; ++i) {
        const int want = data[i] == 0 ? -32768 : (data[i] == 128 ? 128 : 32767);
        EXPECT_NEAR(decoded[i], want, 2) << i;
    }
}

TEST_F(WaveFileCodec, StereoComesBackAsSixteenBitWithBlockAlignFour)
{
    std::vector<int16_t> samples = wavetest::Tone(2 * 5000, 500, 44100, 10000);
    const std::string path = Write("stereo.wav", WaveBytes({1, 2, 22050, 16}, SampleBytes(samples)));
    pf::WaveFormat format;
    const std::vector<int16_t> decoded = RoundTrip(path, 70, &format);
    EXPECT_EQ(format, pf::WaveFormat::pcm(2, 22050, 16));
    EXPECT_EQ(format.blockAlign, 4);
    EXPECT_EQ(format.avgBytesPerSec, 22050u * 4);
    EXPECT_EQ(decoded.size(), samples.size());
}

TEST_F(WaveFileCodec, ExtensiblePcmIsAccepted)
{
    const std::vector<int16_t> samples = wavetest::Tone(1000, 440, 22050, 9000);
    const std::string path = Write("ext.wav", WaveBytes({0xFFFE, 1, 22050, 16}, SampleBytes(samples)));
    pf::WaveFormat format;
    const std::vector<int16_t> decoded = RoundTrip(path, 100, &format);
    EXPECT_EQ(format, pf::WaveFormat::pcm(1, 22050, 16));
    ASSERT_EQ(decoded.size(), samples.size());
    EXPECT_GT(soundtest::Snr(samples, decoded), 70.0); // the same sound, not just as many samples
}

TEST_F(WaveFileCodec, FilesItCannotCodeAreRefusedWithNothingWritten)
{
    const std::vector<uint8_t> data(64, 1);
    struct Case {
        const char* name;
        std::vector<uint8_t> file;
    };
    const Case cases[] = {
        {"float samples", WaveBytes({3, 1, 22050, 32}, data)},
        {"24-bit", WaveBytes({1, 1, 22050, 24}, data)},
        {"three channels", WaveBytes({1, 3, 22050, 16}, data)},
        {"not RIFF", std::vector<uint8_t>(60, 'x')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> stored;
        VectorByteSink sink(stored);
        EXPECT_FALSE(EncodeWaveFile(Write("refused.wav", c.file), sink, 70));
        EXPECT_TRUE(stored.empty());
    }
    std::vector<uint8_t> stored;
    VectorByteSink sink(stored);
    EXPECT_FALSE(EncodeWaveFile(PathOf("missing.wav"), sink, 70));
}

TEST_F(WaveFileCodec, StoredHeaderItCannotWriteLeavesTheTargetAlone)
{
    const struct {
        const char* name;
        std::vector<uint8_t> header;
        WaveFileResult result;
    } cases[] = {
        {"cut short", {1, 0, 0, 0, 0x22, 0x56}, WaveFileResult::kDamagedStream},
        {"no channels", {0, 0, 0, 0, 0x22, 0x56, 0, 0}, WaveFileResult::kNotCodable},
        {"three channels", {3, 0, 0, 0, 0x22, 0x56, 0, 0}, WaveFileResult::kNotCodable},
        {"rate 0", {1, 0, 0, 0, 0, 0, 0, 0}, WaveFileResult::kNotCodable},
        {"rate 1000001", {2, 0, 0, 0, 0x41, 0x42, 0x0F, 0}, WaveFileResult::kNotCodable},
        {"rate 0xFFFFFFFF", {2, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF}, WaveFileResult::kNotCodable},
    };
    const std::string existing = Write("existing.wav", {'o', 'l', 'd'});
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SpanByteSource source(c.header);
        const std::string path = PathOf("never.wav");
        std::string error;
        EXPECT_EQ(DecodeToWaveFile(source, path, {}, error), c.result);
        EXPECT_FALSE(error.empty());
        EXPECT_FALSE(std::filesystem::exists(path));
        SpanByteSource again(c.header);
        EXPECT_EQ(DecodeToWaveFile(again, existing, {}, error), c.result);
        EXPECT_EQ(ReadBytes(existing), (std::vector<uint8_t>{'o', 'l', 'd'}));
    }
}

// The largest rate a wave header can carry comes back as it went in.
TEST_F(WaveFileCodec, RateOfOneMillionHertzRoundTrips)
{
    const std::vector<int16_t> samples = wavetest::Tone(2 * 3000, 440, 22050, 9000);
    pf::WaveFormat format;
    const std::vector<int16_t> decoded =
        RoundTrip(Write("fast.wav", WaveBytes({1, 2, pf::kMaxWaveRate, 16}, SampleBytes(samples))), 100, &format);
    EXPECT_EQ(format, pf::WaveFormat::pcm(2, pf::kMaxWaveRate, 16));
    EXPECT_EQ(decoded.size(), samples.size());
}

// Rates no wave header of ours can state without wrapping, or that no decoder accepts, are refused at encoding.
TEST_F(WaveFileCodec, RatesOutsideOneHertzToOneMegahertzAreRefusedAtEncoding)
{
    const std::vector<uint8_t> data(64, 1);
    for (const uint32_t rate : {0u, pf::kMaxWaveRate + 1, 0x80000000u, 0xFFFFFFFFu}) {
        SCOPED_TRACE(rate);
        const std::string path = Write("rate.wav", WaveBytes({1, 2, rate, 16}, data));
        std::vector<uint8_t> stored;
        VectorByteSink sink(stored);
        std::string error;
        EXPECT_EQ(EncodeWaveFile(path, sink, 70, error), WaveFileResult::kNotCodable);
        EXPECT_NE(error.find(path), std::string::npos) << error;
        EXPECT_TRUE(stored.empty());
    }
}

// An input that cannot be read and an output that cannot be written are told apart, each naming its file.
TEST_F(WaveFileCodec, UnreadableInputAndUnwritableOutputAreNamedApart)
{
    std::vector<uint8_t> stored;
    VectorByteSink sink(stored);
    std::string error;
    const std::string missing = PathOf("missing.wav");
    EXPECT_EQ(EncodeWaveFile(missing, sink, 70, error), WaveFileResult::kCannotReadInput);
    EXPECT_NE(error.find(missing), std::string::npos) << error;
    EXPECT_NE(error.find(std::strerror(ENOENT)), std::string::npos) << error;
    EXPECT_EQ(EncodeWaveFile(::testing::TempDir(), sink, 70, error), WaveFileResult::kCannotReadInput);
    EXPECT_NE(error.find(std::strerror(EISDIR)), std::string::npos) << error;

    const std::string input = Write("in.wav", WaveBytes({}, SampleBytes(wavetest::Tone(3000, 440, 22050, 9000))));
    ASSERT_EQ(EncodeWaveFile(input, sink, 70, error), WaveFileResult::kOk);
    for (const std::string& output : {PathOf("no-such-folder/out.wav"), ::testing::TempDir()}) {
        SCOPED_TRACE(output);
        SpanByteSource source(stored);
        EXPECT_EQ(DecodeToWaveFile(source, output, {}, error), WaveFileResult::kCannotWriteOutput);
        EXPECT_NE(error.find(output), std::string::npos) << error;
    }
}

TEST_F(WaveFileCodec, DecodingReplacesAnExistingFileOnlyWhenItSucceeds)
{
    const std::vector<int16_t> samples = wavetest::Tone(40000, 440, 22050, 9000);
    std::vector<uint8_t> stored;
    VectorByteSink sink(stored);
    ASSERT_TRUE(EncodeWaveFile(Write("long.wav", WaveBytes({}, SampleBytes(samples))), sink, 70));
    const std::vector<uint8_t> old = {'o', 'l', 'd', ' ', 'f', 'i', 'l', 'e'};
    const std::string target = Write("target.wav", old);

    const std::vector<uint8_t> cut(stored.begin(), stored.end() - 20);
    SpanByteSource cutSource(cut);
    std::string error;
    EXPECT_EQ(DecodeToWaveFile(cutSource, target, {}, error), WaveFileResult::kDamagedStream);
    EXPECT_NE(error.find("damaged"), std::string::npos) << error;
    EXPECT_EQ(ReadBytes(target), old);

    SpanByteSource wholeSource(stored);
    EXPECT_EQ(DecodeToWaveFile(wholeSource, target, {}, error), WaveFileResult::kOk);
    EXPECT_EQ(ReadSamples(target).size(), samples.size());
}

TEST_F(WaveFileCodec, CutOrDamagedStreamKeepsTheSamplesBeforeTheDamageWhenAsked)
{
    const std::vector<int16_t> samples = wavetest::Tone(40000, 440, 22050, 9000);
    std::vector<uint8_t> stored;
    VectorByteSink sink(stored);
    ASSERT_TRUE(EncodeWaveFile(Write("long.wav", WaveBytes({}, SampleBytes(samples))), sink, 70));
    const WaveDecodeOptions keep{.keepPartial = true};
    std::string error;

    const std::vector<uint8_t> cut(stored.begin(), stored.end() - 20); // the end block and part of the second
    SpanByteSource cutSource(cut);
    const std::string cutPath = Write("cut.wav", {'o', 'l', 'd'});
    EXPECT_EQ(DecodeToWaveFile(cutSource, cutPath, keep, error), WaveFileResult::kDamagedStream);
    EXPECT_NE(error.find(cutPath), std::string::npos) << error; // says where the good part went
    EXPECT_EQ(ReadSamples(cutPath).size(), kWaveBlockSamples);

    std::vector<uint8_t> damaged = stored;
    const size_t second = 8 + pf::loadU32le(&damaged[8]);
    pf::storeU32le(&damaged[second + 4], 0xFFFFFFFF); // the second block's count
    SpanByteSource damagedSource(damaged);
    const std::string damagedPath = PathOf("damaged.wav");
    m_made.push_back(damagedPath);
    EXPECT_EQ(DecodeToWaveFile(damagedSource, damagedPath, keep, error), WaveFileResult::kDamagedStream);
    EXPECT_EQ(ReadSamples(damagedPath).size(), kWaveBlockSamples);
}

// Damage inside the first block leaves no whole frame: nothing is kept, the old file stays, and no message says
// otherwise.
TEST_F(WaveFileCodec, DamageBeforeAnyWholeFrameKeepsNothingEvenWhenAsked)
{
    const std::vector<int16_t> samples = wavetest::Tone(40000, 440, 22050, 9000);
    std::vector<uint8_t> stored;
    VectorByteSink sink(stored);
    ASSERT_TRUE(EncodeWaveFile(Write("first.wav", WaveBytes({}, SampleBytes(samples))), sink, 70));
    const std::vector<uint8_t> cut(stored.begin(), stored.begin() + 300); // inside the first block
    SpanByteSource cutSource(cut);
    const std::string path = Write("kept-nothing.wav", {'o', 'l', 'd'});
    std::string error;
    EXPECT_EQ(DecodeToWaveFile(cutSource, path, {.keepPartial = true}, error), WaveFileResult::kDamagedStream);
    EXPECT_EQ(error, "damaged or cut stream after 0 frames");
    EXPECT_EQ(ReadBytes(path), (std::vector<uint8_t>{'o', 'l', 'd'}));
}
