#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/media/audio_out.h"
#include "platform/media/null_audio.h"
#include "platform/media/riff_wave_writer.h"
#include "platform/media/sound_player.h"
#include "platform/media/tests/wave_test_files.h"
#include "platform/time/clock.h"
#include "platform/time/virtual_clock.h"

namespace pf {
namespace {

// A virtual clock and a recording output for the test, and a folder to write sounds into.
class SoundPlayerTest : public ::testing::Test {
protected:
    SoundPlayerTest()
    {
        setClock(&m_clock);
        setAudioOut(&m_audio);
    }
    ~SoundPlayerTest() override
    {
        setAudioOut(nullptr);
        setClock(nullptr);
    }

    // A sound of the given length at 1000 Hz, so samples and milliseconds are the same numbers.
    std::string MakeWave(uint32_t samples, WaveFormat format = WaveFormat::pcm(1, 1000, 16))
    {
        const std::string path = m_dir.file("sound" + std::to_string(m_count++) + ".wav");
        auto writer = RiffWaveWriter::create(path, format);
        EXPECT_TRUE(writer && writer->write(test::Ramp(static_cast<size_t>(samples) * format.blockAlign)) &&
                    writer->finish());
        return path;
    }

    VirtualClock m_clock{5000};
    NullAudio m_audio;
    test::ScratchDir m_dir;
    int m_count = 0;
};

TEST_F(SoundPlayerTest, OpenReportsTheFormatAndATruncatedLength)
{
    SoundPlayer player;
    ASSERT_TRUE(player.open(MakeWave(1000, WaveFormat::pcm(2, 11025, 8))));
    EXPECT_TRUE(player.isOpen());
    EXPECT_EQ(player.channels(), 2);
    EXPECT_EQ(player.sampleRate(), 11025u);
    EXPECT_EQ(player.bits(), 8);
    EXPECT_EQ(player.lengthMs(), 90u); // 1000 / 11025 s = 90.7 ms
    player.close();
    EXPECT_FALSE(player.isOpen());
    EXPECT_EQ(player.lengthMs(), 0u);
}

TEST_F(SoundPlayerTest, FilesThatAreNotWavesDoNotOpen)
{
    SoundPlayer player;
    test::WriteFile(m_dir.file("text.wav"), {'h', 'e', 'l', 'l', 'o'});
    EXPECT_FALSE(player.open(m_dir.file("text.wav")));
    EXPECT_FALSE(player.open(m_dir.file("absent.wav")));
    EXPECT_FALSE(player.open(m_dir.file("absent.mid")));
    EXPECT_FALSE(player.isOpen());
}

TEST_F(SoundPlayerTest, PositionFollowsTheClockAndTheEndClearsPlaying)
{
    SoundPlayer player;
    ASSERT_TRUE(player.open(MakeWave(1000)));
    player.play(100, 400);
    EXPECT_TRUE(player.isPlaying());
    EXPECT_EQ(player.positionMs(), 100u);
    m_clock.advance(250);
    EXPECT_EQ(player.positionMs(), 350u);
    EXPECT_TRUE(player.isPlaying());
    m_clock.advance(49);
    EXPECT_TRUE(player.isPlaying());
    m_clock.advance(1);
    EXPECT_FALSE(player.isPlaying());
    EXPECT_EQ(player.positionMs(), 400u);
    m_clock.advance(1000);
    EXPECT_EQ(player.positionMs(), 400u);
    EXPECT_EQ(m_audio.activeVoiceCount(), 0u); // the finished play let go of its voice
}

TEST_F(SoundPlayerTest, PlayRangeIsClampedToTheSound)
{
    const struct {
        uint32_t from, to;
        uint32_t wantFrom, wantTo;
    } cases[] = {
        {0, 0, 0, 1000},        // to 0 means the end
        {200, 5000, 200, 1000}, // an end past the length is cut
        {5000, 0, 1000, 1000},  // a start past the length plays nothing
        {600, 300, 600, 600},   // an end before the start plays nothing
        {0, 1000, 0, 1000},     {999, 0, 999, 1000},
    };
    SoundPlayer player;
    ASSERT_TRUE(player.open(MakeWave(1000)));
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "play(" << c.from << ", " << c.to << ")");
        player.play(c.from, c.to);
        EXPECT_EQ(player.positionMs(), c.wantFrom);
        EXPECT_EQ(player.isPlaying(), c.wantFrom != c.wantTo);
        m_clock.advance(100000);
        EXPECT_EQ(player.positionMs(), c.wantTo);
        EXPECT_FALSE(player.isPlaying());
    }
}

TEST_F(SoundPlayerTest, StopKeepsThePositionAndASecondPlayRestarts)
{
    SoundPlayer player;
    ASSERT_TRUE(player.open(MakeWave(1000)));
    player.play(0, 0);
    m_clock.advance(300);
    player.stop();
    EXPECT_FALSE(player.isPlaying());
    m_clock.advance(300);
    EXPECT_EQ(player.positionMs(), 300u);
    player.play(0, 0);
    player.play(500, 0); // while playing: starts over from the new start
    m_clock.advance(100);
    EXPECT_EQ(player.positionMs(), 600u);
    EXPECT_EQ(m_audio.activeVoiceCount(), 1u);
}

TEST_F(SoundPlayerTest, PauseFreezesThePositionAndResumeGoesOnToTheSameEnd)
{
    SoundPlayer player;
    ASSERT_TRUE(player.open(MakeWave(1000)));
    player.resume(); // nothing paused: nothing happens
    EXPECT_FALSE(player.isPlaying());
    player.play(0, 500);
    m_clock.advance(200);
    player.pause();
    EXPECT_TRUE(player.isPaused());
    EXPECT_FALSE(player.isPlaying());
    m_clock.advance(1000);
    EXPECT_EQ(player.positionMs(), 200u);
    player.resume();
    EXPECT_TRUE(player.isPlaying());
    m_clock.advance(299);
    EXPECT_EQ(player.positionMs(), 499u);
    m_clock.advance(1);
    EXPECT_FALSE(player.isPlaying());
    EXPECT_EQ(player.positionMs(), 500u);
}

TEST_F(SoundPlayerTest, MidiOpensWithLengthZeroAndNeverPlays)
{
    test::WriteFile(m_dir.file("tune.MID"), {'M', 'T', 'h', 'd'});
    SoundPlayer player;
    ASSERT_TRUE(player.open(m_dir.file("tune.MID")));
    EXPECT_EQ(player.lengthMs(), 0u);
    player.play(0, 0);
    EXPECT_FALSE(player.isPlaying());
    EXPECT_EQ(player.positionMs(), 0u);
    EXPECT_TRUE(m_audio.voices().empty());
}

TEST_F(SoundPlayerTest, VoicesCarryTheSamplesOfThePlayedRange)
{
    SoundPlayer player;
    ASSERT_TRUE(player.open(MakeWave(8000, WaveFormat::pcm(2, 8000, 16)))); // one second
    player.play(250, 500);
    player.pause();
    player.resume();
    player.stop();
    const auto voices = m_audio.voices();
    ASSERT_EQ(voices.size(), 2u);
    EXPECT_EQ(voices[0].sampleBytes, 8000u * 4);
    EXPECT_EQ(voices[0].fromSample, 2000u);
    EXPECT_EQ(voices[0].toSample, 4000u);
    EXPECT_EQ(voices[1].fromSample, 2000u); // resumed where it paused: no time passed
    EXPECT_TRUE(voices[0].removed);
    EXPECT_TRUE(voices[1].removed);
}

TEST_F(SoundPlayerTest, SoundsThatCannotBeHeardStillKeepTime)
{
    WaveFormat extensible = WaveFormat::pcm(1, 1000, 16);
    extensible.tag = WAVE_FORMAT_EXTENSIBLE;
    SoundPlayer player;
    ASSERT_TRUE(player.open(MakeWave(1000, extensible)));
    player.play(0, 0);
    m_clock.advance(400);
    EXPECT_EQ(player.positionMs(), 400u);
    EXPECT_TRUE(m_audio.voices().empty());
}

TEST_F(SoundPlayerTest, APlayAcrossTheClockWrapMeasuresRight)
{
    m_clock.set(0xFFFFFFFFu - 99);
    SoundPlayer player;
    ASSERT_TRUE(player.open(MakeWave(1000)));
    player.play(0, 0);
    m_clock.advance(300);
    EXPECT_EQ(player.positionMs(), 300u);
    EXPECT_TRUE(player.isPlaying());
}

TEST_F(SoundPlayerTest, ConcurrentReadersSeeAConsistentPlayer)
{
    SoundPlayer player;
    ASSERT_TRUE(player.open(MakeWave(1000)));
    std::atomic<bool> done{false};
    std::atomic<bool> outOfRange{false};
    std::vector<std::thread> readers;
    for (int i = 0; i < 3; ++i) {
        readers.emplace_back([&] {
            while (!done) {
                const uint32_t position = player.positionMs();
                (void)player.isPlaying();
                if (position > player.lengthMs() && player.isOpen())
                    outOfRange = true;
            }
        });
    }
    for (int round = 0; round < 200; ++round) {
        player.play(static_cast<uint32_t>(round), 0);
        m_clock.advance(7);
        if (round % 3 == 0)
            player.pause();
        if (round % 5 == 0)
            player.resume();
        if (round % 7 == 0)
            player.stop();
    }
    done = true;
    for (auto& t : readers)
        t.join();
    EXPECT_FALSE(outOfRange);
}

TEST(Beep, GoesToTheInstalledOutputWithinTheAudibleRange)
{
    NullAudio audio;
    setAudioOut(&audio);
    EXPECT_TRUE(beep(3000, 20));
    EXPECT_FALSE(beep(36, 20));
    EXPECT_FALSE(beep(32768, 20));
    EXPECT_TRUE(beep(37, 1));
    setAudioOut(nullptr);
    EXPECT_TRUE(beep(440, 5)); // the process's silent output takes it
    EXPECT_EQ(audio.beeps(), (std::vector<NullAudio::Beep>{{3000, 20}, {37, 1}}));
}

} // namespace
} // namespace pf
