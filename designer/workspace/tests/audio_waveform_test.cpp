// The audio waveform control: the envelope its scanning thread parses, and exclusive-or markers that leave no trace.
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <thread>

#include "designer/workspace/audio_waveform_ctrl.h"
#include "designer/workspace/tests/workspace_fixture.h"
#include "platform/base/atomic_file.h"
#include "platform/media/riff_wave_reader.h"
#include "platform/media/riff_wave_writer.h"

namespace {

using namespace workspace_test;

// A 16-bit tone: a sine of the given amplitude (full scale 1), a third of it, then silence.
std::string WriteTone(const std::string& name, uint32_t frames, uint16_t channels, double amplitude)
{
    const std::string path = pf::testArtifactsDir() + "/" + name;
    auto writer = pf::RiffWaveWriter::create(path, pf::WaveFormat::pcm(channels, 8000, 16));
    EXPECT_NE(writer, nullptr);
    std::vector<uint8_t> bytes;
    for (uint32_t i = 0; i < frames; ++i) {
        const double level = i < frames / 3 ? amplitude * std::sin(i * 0.05) : 0.0;
        const auto sample = static_cast<int16_t>(std::lround(level * 32767.0));
        for (uint16_t c = 0; c < channels; ++c) {
            bytes.push_back(static_cast<uint8_t>(sample));
            bytes.push_back(static_cast<uint8_t>(static_cast<uint16_t>(sample) >> 8));
        }
    }
    EXPECT_TRUE(writer->write(bytes));
    EXPECT_TRUE(writer->finish());
    return path;
}

class AudioWaveform : public Controls {
protected:
    CVTND_AudioWaveformCtrl& Waveform() { return Control<CVTND_AudioWaveformCtrl>(kAudio); }
    // Runs the loop until the scanning thread's message has arrived; false after 20 s (a busy machine may hold the
    // thread up for seconds).
    bool WaitForEnvelope(CVTND_AudioWaveformCtrl& control)
    {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (control.IsParsing() && std::chrono::steady_clock::now() < until) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            sim().pump();
        }
        sim().pump();
        return !control.IsParsing();
    }
    std::unique_ptr<pf::Surface32> Shot(pf::Window& w) { return pf::captureScreen(w.screenRect()); }
};

TEST(WaveEnvelope, BlocksKeepTheExtremesOfEveryChannel)
{
    const std::string path = WriteTone("envelope-stereo.wav", 90000, 2, 0.5);
    CVTND_WaveEnvelope envelope;
    ASSERT_TRUE(CVTND_WaveEnvelope::Parse(path, std::stop_token(), envelope));
    EXPECT_EQ(envelope.SampleCount(), 90000u);
    EXPECT_EQ(envelope.FramesPerBlock(), 3u); // 90000 frames in at most 32768 blocks
    EXPECT_EQ(envelope.BlockCount(), 30000u);
    const auto columns = envelope.Columns(3);
    ASSERT_EQ(columns.size(), 3u);
    EXPECT_NEAR(columns[0].second, 16384, 2);
    EXPECT_NEAR(columns[0].first, -16384, 2);
    EXPECT_EQ(columns[2], (std::pair<int16_t, int16_t>{0, 0}));
    // More columns than blocks: every column shows one block.
    EXPECT_EQ(envelope.Columns(40000).size(), 40000u);
}

// A whole file in memory: the 44-byte header of one chunk each, then the samples as given.
std::vector<uint8_t> WaveBytes(uint16_t tag, uint16_t bits, const std::vector<uint8_t>& samples)
{
    const auto u32 = [](std::vector<uint8_t>& out, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            out.push_back(static_cast<uint8_t>(v >> (8 * i)));
    };
    const auto u16 = [](std::vector<uint8_t>& out, uint16_t v) {
        out.push_back(static_cast<uint8_t>(v));
        out.push_back(static_cast<uint8_t>(v >> 8));
    };
    std::vector<uint8_t> out{'R', 'I', 'F', 'F'};
    u32(out, static_cast<uint32_t>(36 + samples.size()));
    out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    u32(out, 16);
    u16(out, tag);
    u16(out, 1); // mono
    u32(out, 8000);
    u32(out, 8000u * bits / 8);
    u16(out, static_cast<uint16_t>(bits / 8));
    u16(out, bits);
    out.insert(out.end(), {'d', 'a', 't', 'a'});
    u32(out, static_cast<uint32_t>(samples.size()));
    out.insert(out.end(), samples.begin(), samples.end());
    return out;
}

TEST(WaveEnvelope, EveryDrawnSampleKindScalesToSixteenBits)
{
    const struct {
        const char* kind;
        uint16_t tag;
        uint16_t bits;
        std::vector<uint8_t> samples; // one loud positive and one loud negative sample, then silence
        std::pair<int16_t, int16_t> extremes;
    } cases[] = {
        {"8-bit", 1, 8, {0xFF, 0x00, 0x80}, {-32768, 32512}},
        {"24-bit", 1, 24, {0x00, 0x00, 0x40, 0x00, 0x00, 0xC0, 0, 0, 0}, {-16384, 16384}},
        {"32-bit", 1, 32, {0, 0, 0xFF, 0x7F, 0, 0, 0x00, 0x80, 0, 0, 0, 0}, {-32768, 32767}},
        {"float", 3, 32, {0, 0, 0x00, 0x3F, 0, 0, 0x80, 0xBF, 0, 0, 0xC0, 0x7F}, {-32767, 16384}}, // 0.5, -1, NaN
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.kind);
        pf::WaveError error = pf::WaveError::kNone;
        auto reader = pf::RiffWaveReader::fromBytes(WaveBytes(c.tag, c.bits, c.samples), &error);
        ASSERT_NE(reader, nullptr);
        CVTND_WaveEnvelope envelope;
        ASSERT_TRUE(CVTND_WaveEnvelope::Parse(*reader, std::stop_token(), envelope));
        EXPECT_EQ(envelope.SampleCount(), 3u);
        EXPECT_EQ(envelope.Columns(1)[0], c.extremes);
    }
}

TEST(WaveEnvelope, UnreadableOrDamagedFilesGiveAnEmptyEnvelope)
{
    const std::string good = WriteTone("envelope-good.wav", 1000, 1, 1.0);
    std::string bytes;
    {
        std::ifstream in(good, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), {});
    }
    ASSERT_GT(bytes.size(), 44u);
    const std::string dir = pf::testArtifactsDir();
    const struct {
        const char* name;
        std::string content;
    } cases[] = {
        {"envelope-truncated-header.wav", bytes.substr(0, 30)},
        {"envelope-no-data.wav", bytes.substr(0, 36)},
        {"envelope-not-riff.wav", "RIFX" + bytes.substr(4)},
        {"envelope-12-bit.wav", bytes.substr(0, 34) + std::string("\x0c\x00", 2) + bytes.substr(36)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir + "/" + c.name;
        ASSERT_TRUE(pf::writeFileAtomically(path, c.content));
        CVTND_WaveEnvelope envelope;
        EXPECT_FALSE(CVTND_WaveEnvelope::Parse(path, std::stop_token(), envelope));
        EXPECT_TRUE(envelope.IsEmpty());
        EXPECT_EQ(envelope.SampleCount(), 0u);
    }
    CVTND_WaveEnvelope missing;
    EXPECT_FALSE(CVTND_WaveEnvelope::Parse(dir + "/no-such-file.wav", std::stop_token(), missing));
    std::stop_source stopped;
    stopped.request_stop();
    EXPECT_FALSE(CVTND_WaveEnvelope::Parse(good, stopped.get_token(), missing));
}

TEST_F(AudioWaveform, ThousandPlayMarkerMovesLeaveTheFreshPicture)
{
    auto& control = Waveform();
    control.SetSound(WriteTone("markers.wav", 8000, 1, 0.8));
    ASSERT_TRUE(WaitForEnvelope(control));
    ASSERT_EQ(control.GetSampleCount(), 8000u);
    control.SetMarkerMask(CVTND_AudioWaveformCtrl::kMarkerStart | CVTND_AudioWaveformCtrl::kMarkerPlay);
    control.SetStartMarker(1000);
    sim().pump();
    for (int i = 0; i < 1000; ++i)
        control.SetPlayPosition((i * 7919) % 9000); // some past the end
    control.SetPlayPosition(4000);
    const std::unique_ptr<pf::Surface32> moved = Shot(control);
    control.invalidate();
    sim().pump();
    const std::unique_ptr<pf::Surface32> fresh = Shot(control);
    EXPECT_EQ(pf::compareSurfaces(*moved, *fresh, 0).differing, 0);
    EXPECT_EQ(control.DrawnMarkerX(2), control.EnvelopeRect().l + 4000 * (control.EnvelopeRect().width() - 1) / 8000);
}

TEST_F(AudioWaveform, MarkersPastTheEndClampToTheLastColumn)
{
    auto& control = Waveform();
    control.SetSound(WriteTone("clamp.wav", 4000, 2, 0.3));
    ASSERT_TRUE(WaitForEnvelope(control));
    control.SetMarkerMask(CVTND_AudioWaveformCtrl::kMarkerEnd | CVTND_AudioWaveformCtrl::kMarkerStart);
    sim().pump();
    control.SetEndMarker(int64_t{1} << 40);
    control.SetStartMarker(-50);
    const pf::Rect area = control.EnvelopeRect();
    EXPECT_EQ(control.DrawnMarkerX(1), area.r - 1);
    EXPECT_EQ(control.DrawnMarkerX(0), area.l);
    // The end marker shows as red on the white background.
    EXPECT_EQ(pf::screenPixel(control.clientToScreen({area.r - 1, area.t + 2})), 0xD00000u);
}

TEST_F(AudioWaveform, NewSoundsAndDestructionCancelRunningParses)
{
    const std::string first = WriteTone("first.wav", 400000, 2, 0.5);
    const std::string second = WriteTone("second.wav", 2000, 1, 0.5);
    auto& control = Waveform();
    control.SetSound(first);
    control.SetSound(second); // the first parse is cancelled and joined before the second starts
    ASSERT_TRUE(WaitForEnvelope(control));
    EXPECT_EQ(control.GetSampleCount(), 2000u);
    for (int i = 0; i < 5; ++i) {
        auto* extra = static_cast<CVTND_AudioWaveformCtrl*>(ui().createWindow(
            {CVTND_AudioWaveformCtrl::kClassName, "", pf::WS_CHILD, 0, {0, 0, 200, 50}, host.hwnd(), 900 + i}));
        ASSERT_NE(extra, nullptr);
        extra->SetSound(first);
        extra->destroy(); // while its thread parses
    }
    sim().pump();
    control.SetSound(pf::testArtifactsDir() + "/no-such-file.wav");
    ASSERT_TRUE(WaitForEnvelope(control));
    EXPECT_TRUE(control.GetEnvelope().IsEmpty());
}

} // namespace
