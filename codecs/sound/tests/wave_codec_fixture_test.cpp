// The own wave codec on real speech and music: the committed fixtures of tests/data (made by
// scripts/make-sound-fixtures). Floors are the first measured values less 1 dB; they may rise, never fall.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "codecs/sound/tests/wave_codec_test_support.h"
#include "platform/media/riff_wave_reader.h"
#include "testsupport/sound/sound_metrics.h"
#include "testsupport/sound/speech_fixture.h"

using namespace sound;

namespace {

struct Fixture {
    std::vector<int16_t> samples;
    int channels = 0;
    int rate = 0;
};

std::string DataPath(const std::string& name)
{
    return soundtest::SoundFixturePath(name.c_str()).string();
}

Fixture LoadFixture(const std::string& name)
{
    Fixture fixture;
    pf::WaveError error = pf::WaveError::kNone;
    const auto reader = pf::RiffWaveReader::open(DataPath(name), &error);
    if (!reader || reader->format().bits != 16)
        return fixture;
    std::vector<uint8_t> bytes(reader->dataBytes());
    bytes.resize(reader->read(bytes));
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
        fixture.samples.push_back(static_cast<int16_t>(bytes[i] | (bytes[i + 1] << 8)));
    fixture.channels = reader->format().channels;
    fixture.rate = static_cast<int>(reader->format().rate);
    return fixture;
}

struct QualityFloor {
    uint32_t quality;
    double snrDb;
    double segmentalSnrDb;
};

struct FixtureCase {
    const char* file;
    QualityFloor floors[3]; // qualities 100, 70, 40
};

// Quality 100 keeps every coefficient to its rounding; 70 and 40 quantise more coarsely with frequency.
constexpr FixtureCase kFixtures[] = {
    {"speech_22050_mono.wav", {{100, 76.6, 33.4}, {70, 51.1, 33.2}, {40, 28.0, 24.5}}},
    {"speech_8000_mono.wav", {{100, 77.8, 33.4}, {70, 44.9, 31.4}, {40, 25.8, 20.6}}},
    {"music_22050_stereo.wav", {{100, 82.3, 34.0}, {70, 45.5, 34.0}, {40, 29.2, 29.0}}},
    {"music_11025_stereo.wav", {{100, 82.6, 34.0}, {70, 44.4, 34.0}, {40, 29.2, 29.0}}},
};

} // namespace

TEST(WaveCodecFixtures, QualityMeetsItsFloorAndSizeRisesWithQuality)
{
    for (const FixtureCase& c : kFixtures) {
        SCOPED_TRACE(c.file);
        const Fixture fixture = LoadFixture(c.file);
        ASSERT_FALSE(fixture.samples.empty()) << "missing fixture " << DataPath(c.file);
        size_t largerSize = SIZE_MAX;
        for (const QualityFloor& floor : c.floors) {
            SCOPED_TRACE(floor.quality);
            const std::vector<uint8_t> stream = wavetest::EncodeStream(fixture.samples, kWaveSystemMode, floor.quality);
            const wavetest::Decoded decoded = wavetest::DecodeStream(stream);
            ASSERT_EQ(decoded.lastResult, kWaveFinished);
            ASSERT_EQ(decoded.samples.size(), fixture.samples.size());
            const double snr = soundtest::Snr(fixture.samples, decoded.samples);
            const double segmental =
                soundtest::SegmentalSnr(fixture.samples, decoded.samples, fixture.channels, fixture.rate);
            const double seconds = static_cast<double>(fixture.samples.size()) / fixture.channels / fixture.rate;
            RecordProperty(std::string(c.file) + " q" + std::to_string(floor.quality),
                           std::to_string(stream.size() * 8.0 / seconds) + " bit/s, SNR " + std::to_string(snr) +
                               " dB, segmental " + std::to_string(segmental) + " dB");
            EXPECT_GE(snr, floor.snrDb);
            EXPECT_GE(segmental, floor.segmentalSnrDb);
            EXPECT_LT(stream.size(), largerSize);
            largerSize = stream.size();
        }
    }
}

TEST(WaveCodecFixtures, ByteAtATimeDecodingIsIdenticalAndFinishesOnTheLastByte)
{
    for (const char* file : {"speech_22050_mono.wav", "music_11025_stereo.wav"}) {
        SCOPED_TRACE(file);
        const Fixture fixture = LoadFixture(file);
        ASSERT_FALSE(fixture.samples.empty());
        const std::vector<uint8_t> stream = wavetest::EncodeStream(fixture.samples, kWaveSystemMode, 70, 777);
        const wavetest::Decoded whole = wavetest::DecodeStream(stream, stream.size());
        const wavetest::Decoded byByte = wavetest::DecodeStream(stream, 1);
        EXPECT_EQ(byByte.lastResult, kWaveFinished);
        EXPECT_EQ(byByte.feedsToFinish, stream.size());
        EXPECT_EQ(byByte.samples, whole.samples);
    }
}
