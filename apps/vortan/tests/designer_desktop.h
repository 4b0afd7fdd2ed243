#pragma once
// What the designer's live tests on a desktop share: the X window behind a window of ours, the stacking the window
// manager reports, and a sound's editor to open.
#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "designer/app/designer_app.h"
#include "designer/app/extended_world.h"
#include "designer/app/project_object.h"
#include "designer/app/startup.h"
#include "engine/core/world.h"
#include "engine/resources/sound.h"
#include "engine/resources/sound_list.h"
#include "platform/live/sdl_backend.h"
#include "platform/live/tests/live_environment.h"
#include "platform/live/x_window.h"
#include "platform/media/riff_wave_writer.h"
#include "platform/testing/xvfb_server.h"
#include "testsupport/designer/sample_designer.h"

namespace designertest {

inline unsigned long XWindowOf(pf::SdlBackend& backend, pf::Hwnd hwnd)
{
    return pf::xWindowOf(backend.sdlWindowOf(hwnd)).window;
}

// Both are stacked by the window manager, upper above lower.
inline bool IsStackedAbove(pf::XvfbServer& server, unsigned long upper, unsigned long lower)
{
    const std::vector<unsigned long> order = server.stacking();
    const auto u = std::find(order.begin(), order.end(), upper);
    const auto l = std::find(order.begin(), order.end(), lower);
    return u != order.end() && l != order.end() && u > l;
}

// The editor of a new one-second sound of the world, its wave file written in folder.
inline pf::Window* OpenToneSoundEditor(CVTND_Designer& designer, const std::filesystem::path& folder)
{
    const std::string path = (folder / "tone.wav").string();
    auto writer = pf::RiffWaveWriter::create(path, pf::WaveFormat::pcm(1, 22050, 16));
    EXPECT_TRUE(writer != nullptr && writer->write(std::vector<uint8_t>(44100, 0x40)) && writer->finish());
    SWsound* sound = nullptr;
    {
        CVTND_ExtendedWorld& world = *designer.GetWorld();
        const SWworldlock hold(world);
        auto made = std::make_unique<SWsound>("tone");
        made->SetFileName(path);
        sound = world.GetSoundList().Add(std::move(made));
        sound->SetWorld(&world);
    }
    return designer.GetApp()->EditObject(CVTND_Object(sound), false);
}

// A live test's designer over the sample world, started in a folder of the test's own that goes with the designer.
class SampleDesignerLive : public pf::LiveFixture {
protected:
    void StartInFolder(const std::string& name)
    {
        folder = std::filesystem::temp_directory_path() / (name + "-" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder);
        ASSERT_TRUE(StartOnSampleWorld(designer, folder));
        settle(300);
    }
    void TearDown() override
    {
        designer.Exit();
        std::filesystem::remove_all(folder);
        pf::LiveFixture::TearDown();
    }

    std::filesystem::path folder;
    CVTND_Designer designer;
};

} // namespace designertest
