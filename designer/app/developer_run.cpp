#include "designer/app/developer_run.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "designer/app/child_render_view.h"
#include "designer/app/startup.h"
#include "platform/display/screen.h"
#include "platform/ui/core/input.h"
#include "platform/ui/core/ui.h"
#include "platform/ui/dialog/dialog.h"

CVTND_DeveloperRunUi::FreshScreen::FreshScreen()
{
    pf::screen().reset();
}

CVTND_DeveloperRunUi::CVTND_DeveloperRunUi()
{
    m_ui.providers().install(static_cast<pf::MessageBoxProvider*>(&m_boxes));
    m_ui.providers().install(static_cast<pf::ModalDriver*>(&m_modal));
}

CVTND_DeveloperRunUi::~CVTND_DeveloperRunUi()
{
    m_ui.providers().install(static_cast<pf::MessageBoxProvider*>(nullptr));
    m_ui.providers().install(static_cast<pf::ModalDriver*>(nullptr));
}

int32_t CVTND_StderrMessageBox::show(const pf::MessageBoxCall& call)
{
    std::string line = call.text;
    for (char& c : line)
        if (c == '\n')
            c = ' ';
    std::fprintf(stderr, "%s: %s\n", call.caption.c_str(), line.c_str());
    // The save question of a developer run discards: nothing a person made is in it.
    const uint32_t buttons = call.flags & 0xF;
    return buttons == pf::MB_YESNOCANCEL || buttons == pf::MB_YESNO ? pf::IDNO : pf::answerForUnscripted(call.flags);
}

void CVTND_CancelModalDriver::run(pf::Dialog& dialog)
{
    std::fprintf(stderr, "%s: cancelled\n", dialog.text().c_str());
    dialog.endDialog(pf::IDCANCEL);
}

int RunScreenshot(CVTND_Designer& designer, const CVTND_ScreenshotOptions& options)
{
    pf::Ui& ui = pf::ui();
    designer.StartPreview();
    ui.pump();
    // The frames asked for, however long a machine busy with other work takes to draw them: a view that draws no
    // frame at all for two minutes is stuck, and a picture of what it drew before would pass for the one asked for.
    const auto waitFrames = [&](uint32_t count) {
        CVTND_RenderThread& thread = designer.GetRenderThread();
        const uint64_t target = thread.FrameCount() + count;
        uint64_t seen = thread.FrameCount();
        auto stuckAt = std::chrono::steady_clock::now() + std::chrono::minutes(2);
        while (thread.FrameCount() < target) {
            if (thread.FrameCount() != seen) {
                seen = thread.FrameCount();
                stuckAt = std::chrono::steady_clock::now() + std::chrono::minutes(2);
            } else if (std::chrono::steady_clock::now() > stuckAt) {
                return false;
            }
            ui.pump();
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        ui.pump();
        return true;
    };
    bool drawn = waitFrames(2);
    if (options.click && drawn) {
        if (CChildRenderView* view = designer.ActiveView()) {
            const pf::Point at = view->clientToScreen(*options.click);
            ui.inject(pf::InputEvent::mouse(pf::InputEvent::Kind::kMouseMove, at, pf::InputEvent::Button::kLeft));
            ui.inject(pf::InputEvent::mouse(pf::InputEvent::Kind::kMouseDown, at, pf::InputEvent::Button::kLeft));
            ui.inject(pf::InputEvent::mouse(pf::InputEvent::Kind::kMouseUp, at, pf::InputEvent::Button::kLeft));
        }
    }
    drawn = drawn && waitFrames(options.frames);
    if (!drawn) {
        designer.Close();
        designer.Exit();
        ui.clearQuit();
        std::fprintf(stderr, "vortan: the 3D view drew no frame for two minutes; no picture was written\n");
        return 1;
    }
    std::error_code error;
    const std::filesystem::path parent = std::filesystem::path(options.out).parent_path();
    if (!parent.empty())
        std::filesystem::create_directories(parent, error);
    const bool written = pf::screen().writePng(options.out);
    designer.Close();
    designer.Exit();
    ui.clearQuit();
    if (!written) {
        std::fprintf(stderr, "vortan: cannot write %s\n", options.out.c_str());
        return 3;
    }
    return designer.ProjectRefused() ? 3 : 0; // the picture shows the empty project; its box said why
}
