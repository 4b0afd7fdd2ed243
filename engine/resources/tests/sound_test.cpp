#include "engine/resources/sound.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "engine/resources/sound_list.h"
#include "platform/media/temp_file.h"
#include "platform/time/clock.h"
#include "platform/time/virtual_clock.h"

namespace {

std::string Fixture(const char* name)
{
    const char* root = std::getenv("VORTAN_SOURCE_DIR");
    return std::string(root != nullptr ? root : ".") + "/codecs/sound/tests/data/" + name;
}

// A file of the given extension in the temporary folder, removed with the object.
class TempFile {
public:
    TempFile(const std::string& extension, const std::string& bytes)
    {
        const auto made = pf::makeTempFile("snd");
        path = made.value_or("/nonexistent") + extension;
        std::ofstream(path, std::ios::binary) << bytes;
        if (made)
            std::remove(made->c_str());
    }
    ~TempFile() { std::remove(path.c_str()); }
    std::string path;
};

class SoundWithClock : public ::testing::Test {
protected:
    void SetUp() override { pf::setClock(&m_clock); }
    void TearDown() override { pf::setClock(nullptr); }
    pf::VirtualClock m_clock{1000};
};

TEST(SoundFile, TypeAndSizeFromTheFile)
{
    const TempFile wav(".wav", "RIFF"), upper(".WAV", "RIFF1"), midi(".mid", "MThd"), text(".txt", "hello");
    struct Case {
        std::string path;
        uint8_t type;
        uint64_t size;
    };
    const Case cases[] = {
        {wav.path, SWsound::kTypeWave, 4},
        {upper.path, SWsound::kTypeWave, 5},
        {midi.path, SWsound::kTypeMidi, 4},
        {text.path, SWsound::kTypeOther, 5},
        {"/nonexistent/x.wav", SWsound::kTypeWave, 0},
        {"/tmp/noextension", SWsound::kTypeOther, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        SWsound sound("s");
        sound.SetFileName(c.path);
        EXPECT_EQ(sound.GetType(), c.type);
        EXPECT_EQ(sound.GetFileSize(), c.size);
        EXPECT_EQ(sound.GetFileName(), c.path);
    }
}

TEST_F(SoundWithClock, LengthFormatAndPositionOfAFixture)
{
    SWsound sound("speech");
    sound.SetFileName(Fixture("speech_8000_mono.wav"));
    EXPECT_EQ(sound.GetLength(), 5000u);
    EXPECT_EQ(sound.GetChannels(), 1);
    EXPECT_EQ(sound.GetSampleRate(), 8000u);
    EXPECT_EQ(sound.GetBitsPerSample(), 16);
    sound.SetPlayRange(1000, 3000);
    sound.Start();
    m_clock.advance(400);
    EXPECT_EQ(sound.GetPlayPosition(), 1400u);
}

TEST_F(SoundWithClock, MissingFileAnswersZeroAndFinishesAtOnce)
{
    SWsound sound("gone");
    sound.SetFileName("/nonexistent/gone.wav");
    EXPECT_EQ(sound.GetLength(), 0u);
    EXPECT_EQ(sound.GetChannels(), 0);
    sound.Start();
    EXPECT_TRUE(sound.IsPlaying());
    EXPECT_TRUE(sound.Poll());
    EXPECT_FALSE(sound.IsPlaying());
    EXPECT_FALSE(sound.Poll());
}

TEST_F(SoundWithClock, MidiNeverPlays)
{
    const TempFile midi(".mid", "MThd");
    SWsound sound("tune");
    sound.SetFileName(midi.path);
    EXPECT_EQ(sound.GetLength(), 0u);
    sound.Start();
    EXPECT_TRUE(sound.IsPlaying()) << "set at once, whatever the file";
    EXPECT_TRUE(sound.Poll());
}

TEST_F(SoundWithClock, RepeatsPlayTheRangeThatManyTimesAndFinishOnce)
{
    SWsoundlist list;
    std::vector<std::string> finished;
    list.SetFinishedHook([&](SWsound& s) { finished.push_back(s.GetName()); });
    SWsound* const sound = list.Add(std::make_unique<SWsound>("speech"));
    sound->SetFileName(Fixture("speech_8000_mono.wav"));
    sound->SetPlayRange(1000, 1500);
    sound->SetRepeatCount(3);
    list.Play(sound);
    EXPECT_TRUE(sound->IsPlaying());
    int frames = 0;
    while (finished.empty() && frames < 200) {
        m_clock.advance(50);
        list.PollAll();
        ++frames;
        if (finished.empty()) {
            EXPECT_TRUE(sound->IsPlaying());
        }
    }
    // Three passes of 500 ms in 50 ms frames; a pass is seen to end in the frame at or just after its end.
    EXPECT_GE(frames, 30);
    EXPECT_LE(frames, 33);
    EXPECT_EQ(finished, std::vector<std::string>{"speech"});
    m_clock.advance(1000);
    list.PollAll();
    EXPECT_EQ(finished.size(), 1u);
}

TEST_F(SoundWithClock, LoopRestartsUntilStopped)
{
    SWsoundlist list;
    int finished = 0;
    list.SetFinishedHook([&](SWsound&) { ++finished; });
    SWsound* const sound = list.Add(std::make_unique<SWsound>("loop"));
    sound->SetFileName(Fixture("speech_8000_mono.wav"));
    sound->SetPlayRange(0, 200);
    sound->SetLoop(1);
    list.Play(sound);
    for (int frame = 0; frame < 40; ++frame) { // two seconds: ten passes
        m_clock.advance(50);
        list.PollAll();
    }
    EXPECT_TRUE(sound->IsPlaying());
    EXPECT_EQ(finished, 0);
    list.Stop(sound);
    EXPECT_FALSE(sound->IsPlaying());
    EXPECT_EQ(finished, 1);
    list.Stop(sound);
    EXPECT_EQ(finished, 1) << "stopping a stopped sound tells nobody";
}

TEST(SoundList, FindWalkAndRemove)
{
    SWsoundlist list;
    SWsound* const a = list.Add(std::make_unique<SWsound>("a"));
    SWsound* const b = list.Add(std::make_unique<SWsound>("b"));
    EXPECT_EQ(list.Add(nullptr), nullptr);
    EXPECT_EQ(list.GetFirst(), a);
    EXPECT_EQ(list.GetNext(a), b);
    EXPECT_EQ(list.GetNext(b), nullptr);
    EXPECT_EQ(list.FindByName("b"), b);
    EXPECT_EQ(list.FindByName("B"), nullptr);
    const std::unique_ptr<SWsound> removed = list.Remove(a);
    EXPECT_EQ(removed.get(), a);
    EXPECT_EQ(list.Count(), 1u);
    EXPECT_EQ(list.Remove(a), nullptr);
}

} // namespace
