// The ten docking panels over a large world (10,000 nodes, 1,000 events, 500 sounds and 500 textures): all of them
// emptied and refilled as after Open, and one change broadcast to all; and the icon browser's scan of a folder of
// 1,000 icon files, from the folder set to the last file listed. On the headless screen.
#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

#include "designer/app/designer_app.h"
#include "designer/app/extended_world.h"
#include "designer/app/icon_browser_dlg.h"
#include "designer/app/notification.h"
#include "designer/workspace/panel_dlg.h"
#include "designer/workspace/panels.h"
#include "designer/workspace/workspace_controls.h"
#include "engine/behaviour/event.h"
#include "engine/core/object_node.h"
#include "engine/core/root_object.h"
#include "engine/resources/image24.h"
#include "engine/resources/sound.h"
#include "engine/resources/sound_list.h"
#include "platform/base/user_constants.h"
#include "platform/display/screen.h"
#include "platform/ui/core/resources.h"
#include "platform/ui/core/ui.h"
#include "platform/ui/frame/frame_window.h"

namespace {

constexpr uint32_t kFrameMenu = 9451;

void FillLargeWorld(CVTND_ExtendedWorld& world)
{
    SWnode* parent = nullptr;
    for (int i = 0; i < 10000; ++i) {
        auto* node = new SWobjectnode;
        node->SetName("node " + std::to_string(i));
        world.AddNode(node, i % 10 == 0 ? nullptr : parent); // groups of ten under one another
        if (i % 10 == 0)
            parent = node;
    }
    for (int i = 0; i < 1000; ++i)
        world.AddEventOfType(4)->SetName("event " + std::to_string(i));
    for (int i = 0; i < 500; ++i) {
        world.GetSoundList().Add(std::make_unique<SWsound>("sound " + std::to_string(i)));
        const uint32_t pixel = 0x336699;
        world.GetRootObject()->AddTexture(std::make_unique<SWimage24>("texture " + std::to_string(i), 1, 1, &pixel));
    }
}

struct PanelsOverLargeWorld {
    PanelsOverLargeWorld()
    {
        pf::screen().reset();
        RegisterWorkspaceControls(ui);
        CVTND_SizingBar::RegisterClass(ui);
        pf::resources().addMenu(
            kFrameMenu, {{0, "File", 0, {{57665, "Exit", 0, {}}}}, {0, "View", 0, {{32810, "New 3D View", 0, {}}}}});
        frame.createFrame("Designer", {0, 0, 1280, 1000}, kFrameMenu, pf::WS_VISIBLE);
        app.SetMainFrame(&frame);
        app.NewWorkspace();
        FillLargeWorld(*app.GetWorld());
        panels = std::make_unique<CVTND_Panels>(app, frame, nullptr);
        ui.pump();
    }
    ~PanelsOverLargeWorld()
    {
        panels.reset();
        app.DeleteWorkspace();
        frame.destroy();
    }
    pf::Ui ui;
    CVTNDesignerApp app;
    pf::FrameWindow frame;
    std::unique_ptr<CVTND_Panels> panels;
};

void BM_RefillAllPanelsAfterOpen(benchmark::State& state)
{
    PanelsOverLargeWorld fixture;
    for (auto _ : state) {
        fixture.app.Broadcast(CVTND_Event(EventCode::kWorkspaceClosing, CVTND_Object()));
        fixture.ui.pump(); // the posted refills
    }
    const auto* graph = dynamic_cast<const CVTND_TreePanelDlg*>(fixture.app.GetPanel(PanelRole::kSceneGraph));
    const auto* events = dynamic_cast<const CVTND_ListPanelDlg*>(fixture.app.GetPanel(PanelRole::kEvents));
    if (graph == nullptr || graph->CountItems() != 10001 || events == nullptr || events->Items().size() != 1000)
        state.SkipWithError("the panels did not refill whole");
}
BENCHMARK(BM_RefillAllPanelsAfterOpen)->Unit(benchmark::kMillisecond);

void BM_OneChangeBroadcastToAllPanels(benchmark::State& state)
{
    PanelsOverLargeWorld fixture;
    SWnode* node = fixture.app.GetWorld()->GetRootNode()->GetFirstChildNode();
    const CVTND_Event changed(EventCode::kChanged, CVTND_Object(node));
    for (auto _ : state)
        fixture.app.Broadcast(changed);
}
BENCHMARK(BM_OneChangeBroadcastToAllPanels)->Unit(benchmark::kMicrosecond);

void BM_IconFolderScanOf1000Files(benchmark::State& state)
{
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "vortan-panels-bench-icons";
    std::filesystem::create_directories(folder);
    for (int i = 0; i < 1000; ++i)
        std::ofstream(folder / ("icon" + std::to_string(i) + ".xpm"), std::ios::binary)
            << "/* XPM */\nstatic char * i[] = {\n\"16 16 2 1\",\n\". c None\",\n\"# c #336699\",\n"
            <<
            [] {
                std::string rows;
                for (int r = 0; r < 16; ++r)
                    rows.append("\"").append(8, '#').append(8, '.').append("\",\n");
                return rows;
            }()
            << "};\n";
    pf::screen().reset();
    pf::Ui ui;
    CVTNDesignerApp app;
    app.NewWorkspace();
    for (auto _ : state) {
        CVTND_IconBrowserDlg dialog(app, nullptr);
        dialog.create(kIddIconBrowser, nullptr);
        dialog.SetFolder(folder.string());
        while (dialog.IsScanning()) {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
            ui.pump();
        }
        ui.pump();
        if (dialog.GetFound().size() != 1000)
            state.SkipWithError("not every icon was listed");
    }
    app.DeleteWorkspace();
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_IconFolderScanOf1000Files)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
