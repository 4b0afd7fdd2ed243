// The designer's windows on a desktop, acted on through XTest: what the X server shows and what the designer did.
#include <X11/keysym.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "apps/vortan/tests/designer_desktop.h"
#include "designer/app/child_render_view.h"
#include "designer/app/designer_app.h"
#include "designer/app/extended_world.h"
#include "designer/app/main_frame.h"
#include "designer/app/project_object.h"
#include "designer/app/startup.h"
#include "designer/app/user_dialogs.h"
#include "designer/editors/details_sound_dlg.h"
#include "designer/workspace/sizing_bar.h"
#include "engine/core/world.h"
#include "engine/resources/sound.h"
#include "engine/resources/sound_list.h"
#include "platform/display/screen.h"
#include "platform/gfx/png_file.h"
#include "platform/live/tests/live_environment.h"
#include "platform/live/x_window.h"
#include "platform/media/riff_wave_writer.h"
#include "platform/settings/settings_backend.h"
#include "platform/settings/settings_store.h"
#include "platform/testing/image_check.h"
#include "platform/testing/message_spy.h"
#include "platform/ui/core/message_loop.h"
#include "platform/ui/dialog/dialog.h"
#include "platform/ui/frame/frame_window.h"
#include "platform/ui/providers/live_providers.h"
#include "testsupport/designer/sample_designer.h"

namespace pf {
namespace {

class DesignerDesktop : public LiveFixture {
protected:
    void SetUpLive() override
    {
        folder = std::filesystem::temp_directory_path() / ("vortan-desktop-" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder);
    }
    void TearDown() override
    {
        designer.Exit();
        std::filesystem::remove_all(folder);
        LiveFixture::TearDown();
    }
    unsigned long xOf(Hwnd hwnd) { return designertest::XWindowOf(backend(), hwnd); }
    bool isAbove(unsigned long upper, unsigned long lower)
    {
        return designertest::IsStackedAbove(liveServer(), upper, lower);
    }
    Window* openMenuWindow()
    {
        for (const Hwnd h : ui().topLevels())
            if (Window* w = ui().window(h); w != nullptr && w->className() == "popupmenu" && xOf(h) != 0)
                return w;
        return nullptr;
    }
    void saveShot(const Rect& area, const std::string& name)
    {
        const char* artifacts = std::getenv("VORTAN_TEST_ARTIFACTS");
        const std::string dir = artifacts != nullptr ? artifacts : folder.string();
        std::string error;
        EXPECT_TRUE(writePngFile(dir + "/desktop-" + name + ".png", *liveServer().grab(area), error)) << error;
    }
    // The press and the moves of a person's drag, the loop running between them.
    void drag(Point from, Point to)
    {
        pressAndMove(from, to);
        liveServer().button(1, false);
        settle(150);
    }

    Window* openSoundEditor() { return designertest::OpenToneSoundEditor(designer, folder); }

    std::filesystem::path folder;
    CVTND_Designer designer;
};

// The main window's accelerators work while a modeless editor has the keyboard: F5 starts the preview and Shift+F5
// stops it.
TEST_F(DesignerDesktop, AcceleratorsWorkInAModelessEditor)
{
    ASSERT_TRUE(designertest::StartOnSampleWorld(designer, folder));
    Window* editor = openSoundEditor();
    ASSERT_NE(editor, nullptr);
    const Hwnd editorHwnd = editor->hwnd();
    ASSERT_TRUE(runUntil([&] { return xOf(editorHwnd) != 0 && ui().activeWindow() == editorHwnd; }));
    liveServer().tap(XK_F5);
    EXPECT_TRUE(runUntil([&] { return designer.IsPreviewRunning(); }));
    EXPECT_EQ(ui().activeWindow(), editorHwnd);
    liveServer().key(XK_Shift_L, true);
    liveServer().tap(XK_F5);
    liveServer().key(XK_Shift_L, false);
    EXPECT_TRUE(runUntil([&] { return !designer.IsPreviewRunning(); }));
}

} // namespace
} // namespace pf
