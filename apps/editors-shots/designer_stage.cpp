#include "apps/editors-shots/designer_stage.h"

#include <chrono>
#include <memory>
#include <thread>

#include "designer/app/child_render_view.h"
#include "designer/app/designer_app.h"
#include "designer/app/edit_dialog.h"
#include "designer/app/extended_world.h"
#include "designer/app/render_thread.h"
#include "designer/app/sample_project.h"
#include "platform/settings/settings_backend.h"
#include "platform/settings/settings_store.h"
#include "platform/testing/user_sim.h"
#include "testsupport/designer/sample_designer.h"

DesignerStage::DesignerStage(EditorsSceneContext& context) : context(context), sim(context.sim)
{
    started = designer.Start(designertest::TestStartOptions(context.dir + "/recovery.vtp"));
    if (!started)
        return;
    app = designer.GetApp();
    world = designer.GetWorld();
    {
        const SWworldlock hold(*world);
        BuildSampleWorld(*world);
    }
    if (CChildRenderView* view = designer.ActiveView()) {
        view->TakeLastCamera();
        view->RefreshBackground();
    }
}

DesignerStage::~DesignerStage()
{
    if (!started)
        return;
    while (!app->GetEditDialogs().empty() && app->GetEditDialogs().front()->dialog != nullptr)
        app->GetEditDialogs().front()->dialog->destroy();
    designer.Exit();
}

void DesignerStage::Settle(uint32_t ms)
{
    for (uint32_t step = 0; step < ms; step += 20) {
        world->Invalidate(true);
        sim.advance(20);
        std::this_thread::sleep_for(std::chrono::milliseconds(20)); // the render thread runs on real time
        sim.pump();
    }
    // The render thread runs behind the interface: on a busy machine a new view's first frame can come well after ms,
    // and a picture taken before it shows the view black. Two frames counted from here hold one begun after the
    // last change (each asked for, as the thread otherwise sleeps until the next change); a stalled thread still
    // gives way after five seconds.
    const CVTND_RenderThread& thread = designer.GetRenderThread();
    const uint64_t target = thread.FrameCount() + 2;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (thread.FrameCount() < target && std::chrono::steady_clock::now() < deadline) {
        world->Invalidate(true);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    sim.pump();
}

bool DesignerStage::Check(bool condition, const std::string& what)
{
    context.trace.push_back(std::string(condition ? "ok: " : "NOT: ") + what);
    return condition;
}

bool DesignerStage::Done(const std::string& picture, bool ok)
{
    ok = context.WritePicture(picture) && ok;
    return context.Finish() && ok;
}
