// Sound through SDL's disk driver, which writes what the device plays to a file in real time: resampling,
// saturation, the beep, and voices coming and going while the callback runs.
#include "platform/live/sdl_audio.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <numbers>
#include <string>
#include <thread>
#include <vector>

namespace pf {
namespace {

std::string diskFile()
{
    const char* dir = std::getenv("VORTAN_TEST_ARTIFACTS");
    return std::string(dir != nullptr ? dir : "/tmp") + "/sdl-audio-" + std::to_string(getpid()) + ".raw";
}

class SdlAudioTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Read by SDL when its audio subsystem opens, which happens once per process.
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", diskFile().c_str(), 1);
        audio = std::make_unique<SdlAudio>();
        ASSERT_TRUE(audio->isOpen()) << audio->openError();
    }
    // Waits until every voice has finished, closes the device and returns the left channel it played.
    std::vector<int16_t> playedLeft()
    {
        // The device plays in real time on SDL's thread, which a machine busy with other tests may hold up.
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (audio->activeVoiceCount() > 0 && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        audio.reset();
        std::ifstream in(diskFile(), std::ios::binary);
        const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::remove(diskFile().c_str());
        std::vector<int16_t> left;
        for (size_t i = 0; i + 3 < bytes.size(); i += 4)
            left.push_back(
                static_cast<int16_t>(static_cast<uint8_t>(bytes[i]) | (static_cast<uint8_t>(bytes[i + 1]) << 8)));
        return left;
    }
    std::unique_ptr<SdlAudio> audio;
};

struct Sound {
    size_t first = 0;  // the first audible frame
    size_t frames = 0; // from the first to the last audible frame
    double hz = 0;     // from the rising zero crossings in between
    int16_t peak = 0;
    int16_t trough = 0;
};

Sound measure(const std::vector<int16_t>& s, int16_t threshold = 200)
{
    Sound out;
    size_t last = 0;
    bool any = false;
    for (size_t i = 0; i < s.size(); ++i) {
        if (std::abs(s[i]) < threshold)
            continue;
        if (!any)
            out.first = i;
        any = true;
        last = i;
    }
    if (!any)
        return out;
    out.frames = last - out.first + 1;
    size_t rising = 0;
    size_t firstRise = 0;
    size_t lastRise = 0;
    for (size_t i = out.first + 1; i <= last; ++i) {
        out.peak = std::max(out.peak, s[i]);
        out.trough = std::min(out.trough, s[i]);
        if (s[i - 1] < 0 && s[i] >= 0) {
            if (rising == 0)
                firstRise = i;
            lastRise = i;
            ++rising;
        }
    }
    if (rising > 1)
        out.hz = static_cast<double>(rising - 1) * kMixRate / static_cast<double>(lastRise - firstRise);
    return out;
}

PcmView sine8(uint32_t rate, double hz, double seconds)
{
    auto bytes = std::make_shared<std::vector<uint8_t>>();
    const size_t n = static_cast<size_t>(rate * seconds);
    for (size_t i = 0; i < n; ++i)
        bytes->push_back(static_cast<uint8_t>(128 + std::lround(100 * std::sin(2 * std::numbers::pi * hz * i / rate))));
    return {WaveFormat::pcm(1, rate, 8), bytes};
}

TEST_F(SdlAudioTest, EightBitMonoAt22kIsResampledToTheDeviceRate)
{
    const PcmView voice = sine8(22050, 1000, 0.25);
    ASSERT_GT(audio->addVoice(voice, 0, voice.bytes->size()), 0);
    const Sound s = measure(playedLeft());
    EXPECT_NEAR(static_cast<double>(s.frames), 0.25 * kMixRate, 0.02 * kMixRate);
    EXPECT_NEAR(s.hz, 1000, 10);
    EXPECT_NEAR(s.peak, 100 * 256, 1500);
}

TEST_F(SdlAudioTest, TwoLoudVoicesSaturateInsteadOfWrapping)
{
    auto bytes = std::make_shared<std::vector<uint8_t>>();
    for (int i = 0; i < 4410; ++i) { // 0.1 s of 30000 at 44.1 kHz mono 16-bit
        bytes->push_back(0x30);
        bytes->push_back(0x75);
    }
    const PcmView loud{WaveFormat::pcm(1, kMixRate, 16), bytes};
    ASSERT_GT(audio->addVoice(loud, 0, 4410), 0);
    ASSERT_GT(audio->addVoice(loud, 0, 4410), 0);
    const Sound s = measure(playedLeft());
    EXPECT_EQ(s.peak, 32767);
    EXPECT_GE(s.trough, 0); // a wrapped sum would be negative
}

TEST_F(SdlAudioTest, BeepIsA3000HzBurstOf20Ms)
{
    audio->beep(3000, 20);
    const Sound s = measure(playedLeft(), 1000);
    EXPECT_NEAR(static_cast<double>(s.frames), 0.020 * kMixRate, 0.003 * kMixRate);
    EXPECT_NEAR(s.hz, 3000, 100);
}

TEST_F(SdlAudioTest, RefusedVoicesAreSilentAndGetNoId)
{
    PcmView bad = sine8(22050, 1000, 0.01);
    bad.format.blockAlign = 2;
    EXPECT_EQ(audio->addVoice(bad, 0, 10), 0);
    EXPECT_EQ(audio->activeVoiceCount(), 0u);
}

// The first voices of the process, added by several threads at the same moment, are all taken: SDL's own set-up on its
// first stream is not safe to run twice at once.
TEST_F(SdlAudioTest, FirstVoicesAddedByManyThreadsAtOnceAreAllTaken)
{
    const PcmView voice = sine8(11025, 440, 0.05);
    constexpr int kThreads = 16;
    std::atomic<int> ready{0};
    std::atomic<int> refused{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i)
        threads.emplace_back([&] {
            ready.fetch_add(1);
            while (ready.load() < kThreads)
                std::this_thread::yield();
            if (audio->addVoice(voice, 0, voice.bytes->size()) == 0)
                refused.fetch_add(1);
        });
    for (std::thread& t : threads)
        t.join();
    EXPECT_EQ(refused.load(), 0);
}

TEST_F(SdlAudioTest, VoicesComeAndGoWhileTheCallbackRuns)
{
    const PcmView voice = sine8(11025, 440, 0.5);
    std::atomic<bool> stop{false};
    std::thread other([&] {
        while (!stop.load()) {
            const int id = audio->addVoice(voice, 0, voice.bytes->size());
            std::this_thread::sleep_for(std::chrono::milliseconds(3));
            audio->removeVoice(id);
        }
    });
    for (int i = 0; i < 50; ++i) {
        const int id = audio->addVoice(voice, 0, voice.bytes->size());
        EXPECT_GT(id, 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(4));
        audio->removeVoice(id);
        audio->removeVoice(id); // twice: the second is ignored
    }
    stop.store(true);
    other.join();
    EXPECT_EQ(audio->activeVoiceCount(), 0u);
}

} // namespace
} // namespace pf
