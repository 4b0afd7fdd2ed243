#pragma once
// The ten panels around a frame on a fresh Ui, over the sample world, with a recording editor engine in place of the
// event editing's and the bars' places kept in a settings store in memory.
#include <memory>
#include <string>
#include <vector>

#include "designer/app/designer_app.h"
#include "designer/app/engine_interface.h"
#include "designer/app/extended_world.h"
#include "designer/app/registry.h"
#include "designer/editing/editor_objects.h"
#include "designer/workspace/panels.h"
#include "designer/workspace/workspace_controls.h"
#include "platform/settings/profile.h"
#include "platform/settings/settings_backend.h"
#include "platform/settings/settings_store.h"
#include "platform/testing/ui_fixture.h"
#include "testsupport/designer/sample_world.h"

namespace panels_test {

inline constexpr uint32_t kFrameMenu = 9450;

// What a panel asked of the engine, in order: "make:<type>", "set", "begin".
class RecordingEngine : public CVTND_EngineInterface {
public:
    std::vector<std::string> calls;
    std::vector<CVTND_Object> made;
    void BeginDrag(pf::Point, pf::Window* sourceMap) override
    {
        calls.push_back(sourceMap == nullptr ? "begin" : "begin with a map");
    }
    void DragTo(pf::Point) override {}
    void Drop(pf::Point) override {}
    void CancelDrag() override {}
    UIObject* MakePaletteObject(const CVTND_Object& object) override
    {
        calls.push_back("make:" + std::to_string(object.GetType()));
        made.push_back(object);
        palettes.push_back(std::make_unique<UIObject>());
        return palettes.back().get();
    }
    void SetDragObject(UIObject* object) override { calls.push_back(object != nullptr ? "set" : "clear"); }
    uint32_t AddControlReceptor(pf::Window&, uint32_t) override { return 1; }
    void RemoveControlReceptor(uint32_t) override {}
    void SettingChanged(uint32_t) override {}
    void Clear() override {}

    std::vector<std::unique_ptr<UIObject>> palettes; // what the panels filled with their content
};

inline RecordingEngine* g_engine = nullptr;
inline std::unique_ptr<CVTND_EngineInterface> MakeRecordingEngine(CVTNDesignerApp&)
{
    auto engine = std::make_unique<RecordingEngine>();
    g_engine = engine.get();
    return engine;
}

class PanelsFixture : public pf::UiFixture {
protected:
    void SetUp() override
    {
        pf::UiFixture::SetUp();
        RegisterWorkspaceControls(ui());
        CVTND_SizingBar::RegisterClass(ui());
        pf::resources().addMenu(
            kFrameMenu, {{0, "File", 0, {{57665, "Exit", 0, {}}}}, {0, "View", 0, {{32810, "New 3D View", 0, {}}}}});
        m_oldEngine = CVTND_Registry::ReplaceEngineCreator(&MakeRecordingEngine);
        app = std::make_unique<CVTNDesignerApp>();
        ASSERT_TRUE(frame.createFrame("Designer", {0, 0, 1000, 760}, kFrameMenu, pf::WS_VISIBLE));
        ASSERT_TRUE(frame.createStatusBar({300, -1}));
        app->SetMainFrame(&frame);
        sample = std::make_unique<designertest::SampleWorld>(*app);
        app->MakeEditorEngine();
        app->SetPropertiesObject(CVTND_Object(ObjectType::kRoot, app->GetWorld()->GetRootNode()));
        MakePanels();
    }
    void TearDown() override
    {
        panels.reset();
        app->DeleteEditorEngine();
        app->DeleteWorkspace();
        g_engine = nullptr;
        CVTND_Registry::ReplaceEngineCreator(m_oldEngine);
        frame.destroy();
        app.reset();
        pf::UiFixture::TearDown();
    }
    void MakePanels()
    {
        panels = std::make_unique<CVTND_Panels>(*app, frame, &profile);
        sim().pump();
    }
    template <typename T> T& Panel(PanelRole role)
    {
        T* panel = dynamic_cast<T*>(app->GetPanel(role));
        EXPECT_NE(panel, nullptr);
        return *panel;
    }
    CVTND_ExtendedWorld& World() { return *app->GetWorld(); }

    pf::SettingsStore store{nullptr};
    pf::Profile profile{store, "Software\\Brenix\\Vortan"};
    std::unique_ptr<CVTNDesignerApp> app;
    pf::FrameWindow frame;
    std::unique_ptr<designertest::SampleWorld> sample;
    std::unique_ptr<CVTND_Panels> panels;
    CVTND_EngineCreator m_oldEngine = nullptr; // the event editing's engine, put back after the test
};

} // namespace panels_test
