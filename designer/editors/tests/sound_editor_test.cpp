// The sound editor: the format line of each depth, play and stop through the world's queues and the frame, the
// play marker on the virtual clock, and closing from a deletion notice with no timer left.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "designer/app/notification.h"
#include "designer/editors/details_sound_dlg.h"
#include "designer/editors/tests/tooltip_fixture.h"
#include "designer/workspace/audio_waveform_ctrl.h"
#include "designer/workspace/tooltip_texts.h"
#include "engine/resources/sound.h"
#include "engine/resources/sound_list.h"
#include "platform/media/riff_wave_writer.h"
#include "platform/ui/controls/button.h"

namespace tooltiptest {
namespace {

class SoundEditor : public EditorsFixture {
public:
    void SetUp() override
    {
        EditorsFixture::SetUp();
        folder = std::filesystem::path(ownFolder());
    }

    // A wave of seconds of a rising ramp, in folder, as a new sound of the world.
    SWsound* AddWave(const std::string& name, uint16_t bits, uint16_t channels, uint32_t rate, double seconds)
    {
        const std::string path = (folder / (name + ".wav")).string();
        auto writer = pf::RiffWaveWriter::create(path, pf::WaveFormat::pcm(channels, rate, bits));
        EXPECT_NE(writer, nullptr);
        const size_t bytes = static_cast<size_t>(seconds * rate) * channels * (bits / 8);
        std::vector<uint8_t> data(bytes);
        for (size_t i = 0; i < bytes; ++i)
            data[i] = static_cast<uint8_t>(i * 7);
        EXPECT_TRUE(writer->write(data));
        EXPECT_TRUE(writer->finish());
        return AddSound(name, path);
    }
    SWsound* AddSound(const std::string& name, const std::string& path)
    {
        auto sound = std::make_unique<SWsound>(name);
        sound->SetFileName(path);
        SWsound* added = World().GetSoundList().Add(std::move(sound));
        added->SetWorld(&World());
        return added;
    }
    CVTND_DetailsSoundDlg* Open(SWsound* sound)
    {
        auto* editor = dynamic_cast<CVTND_DetailsSoundDlg*>(app->EditObject(CVTND_Object(sound), false));
        sim().pump();
        return editor;
    }
    std::string Text(CVTND_DetailsSoundDlg& editor, int32_t id) { return editor.child(id)->getText(); }

    std::filesystem::path folder;
};

TEST_F(SoundEditor, ShowsTheFormatOfEveryDepthAndNothingForMidi)
{
    SWsound* wave = AddWave("mono8", 8, 1, 11025, 2.0);
    CVTND_DetailsSoundDlg* editor = Open(wave);
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(Text(*editor, 1048), "mono8");
    EXPECT_EQ(Text(*editor, 1320), TooltipTextOf(kIdsSoundMono) + TooltipTextOf(kIdsSound8Bit) + "11025 Hz " +
                                       TooltipTextOf(kIdsSoundFrequency));
    EXPECT_EQ(Text(*editor, 1049), "   2.000" + TooltipTextOf(kIdsSeconds));
    EXPECT_EQ(Text(*editor, 1052), std::to_string(wave->GetFileSize()) + TooltipTextOf(kIdsBytes));
    EXPECT_EQ(editor->Waveform()->GetMarkerMask(), 7u);
    EXPECT_EQ(Text(*editor, 1321), wave->GetFileName());
    editor->DestroyWindow();

    // Restored from a project under a temporary name: the file it came from, else its name in the project.
    wave->SetStoredFileName("/music/theme.wav");
    editor = Open(wave);
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(Text(*editor, 1321), "/music/theme.wav");
    editor->DestroyWindow();
    wave->SetStoredFileName("");
    editor = Open(wave);
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(Text(*editor, 1321), "mono8");
    editor->DestroyWindow();

    // Any depth but 8 and 16 is named by its own number.
    editor = Open(AddWave("stereo24", 24, 2, 22050, 0.5));
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(Text(*editor, 1320),
              TooltipTextOf(kIdsSoundStereo) + "24-bit, 22050 Hz " + TooltipTextOf(kIdsSoundFrequency));
    editor->DestroyWindow();

    const std::string midiPath = (folder / "tune.mid").string();
    std::FILE* midi = std::fopen(midiPath.c_str(), "wb");
    ASSERT_NE(midi, nullptr);
    std::fputs("MThd", midi);
    std::fclose(midi);
    editor = Open(AddSound("tune", midiPath));
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(Text(*editor, 1320), "");
    EXPECT_EQ(editor->Waveform()->GetMarkerMask(), 0u);
    EXPECT_FALSE(editor->Waveform()->IsParsing());
    EXPECT_EQ(editor->Waveform()->GetSampleCount(), 0u);
    editor->DestroyWindow();

    editor = Open(AddSound("missing", (folder / "missing.wav").string()));
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(Text(*editor, 1320), TooltipTextOf(kIdsSoundUnreadable));
    editor->DestroyWindow();
}

TEST_F(SoundEditor, PlaysThroughTheQueueWithAMarkerOnTheClock)
{
    SWsound* wave = AddWave("mono8", 8, 1, 11025, 2.0);
    CVTND_DetailsSoundDlg* editor = Open(wave);
    ASSERT_NE(editor, nullptr);
    // The scan runs on its own thread, which a machine busy with other tests may hold up for seconds.
    for (const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
         editor->Waveform()->IsParsing() && std::chrono::steady_clock::now() < end;) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        sim().pump();
    }
    ASSERT_EQ(editor->Waveform()->GetSampleCount(), 22050u);
    auto* play = editor->item<pf::Button>(1050);
    sim().click(*play);
    EXPECT_EQ(wave->GetReady(), 1);
    EXPECT_TRUE(editor->IsTimerRunning());
    EXPECT_FALSE(wave->IsPlaying()); // the frame starts it
    World().RunFrame();
    EXPECT_TRUE(wave->IsPlaying());
    EXPECT_EQ(audio().activeVoiceCount(), 1u);
    // Pressed again: the timer restarts and the sound is queued once more.
    sim().click(*play);
    EXPECT_TRUE(editor->IsTimerRunning());
    World().RunFrame();
    EXPECT_TRUE(wave->IsPlaying());
    EXPECT_EQ(audio().activeVoiceCount(), 1u);

    sim().advance(1200);
    const pf::Rect band = editor->Waveform()->EnvelopeRect();
    const int32_t expected = band.l + static_cast<int32_t>(band.width() * 0.6);
    const std::optional<int32_t> marker = editor->Waveform()->DrawnMarkerX(2);
    ASSERT_TRUE(marker.has_value());
    EXPECT_NEAR(*marker, expected, 2);

    sim().click(*editor->item<pf::Button>(1326));
    EXPECT_FALSE(editor->IsTimerRunning());
    World().RunFrame();
    EXPECT_FALSE(wave->IsPlaying());
    EXPECT_EQ(audio().activeVoiceCount(), 0u);
    EXPECT_EQ(editor->Waveform()->DrawnMarkerX(2), band.l);
    editor->DestroyWindow();
}

TEST_F(SoundEditor, ClosingOrADeletionNoticeStopsAndLeavesNoTimer)
{
    SWsound* wave = AddWave("mono8", 8, 1, 11025, 1.0);
    CVTND_DetailsSoundDlg* editor = Open(wave);
    ASSERT_NE(editor, nullptr);
    sim().click(*editor->item<pf::Button>(1050));
    World().RunFrame();
    ASSERT_TRUE(wave->IsPlaying());
    const pf::Hwnd window = editor->hwnd();
    app->Broadcast(CVTND_Event(EventCode::kDeleted, CVTND_Object(wave)));
    EXPECT_FALSE(pf::ui().isWindow(window));
    EXPECT_TRUE(app->GetEditDialogs().empty());
    sim().advance(50); // no timer of the gone editor fires
    World().RunFrame();
    EXPECT_FALSE(wave->IsPlaying());
    EXPECT_EQ(audio().activeVoiceCount(), 0u);
}

} // namespace
} // namespace tooltiptest
