#pragma once
// The fixture of the tooltip, particle and sound editors' tests: a window fixture (fixed-cell fonts, virtual clock,
// silent audio) with the application over the sample world, its editor engine and a recorder of every broadcast.
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "designer/app/designer_app.h"
#include "designer/app/edit_dialog.h"
#include "designer/app/extended_world.h"
#include "designer/app/project.h"
#include "designer/editors/designer_tooltip.h"
#include "designer/editors/gradient_store.h"
#include "designer/workspace/workspace_controls.h"
#include "engine/core/node.h"
#include "engine/resources/image32.h"
#include "engine/resources/tooltip.h"
#include "platform/testing/ui_fixture.h"
#include "testsupport/designer/broadcast_recorder.h"
#include "testsupport/designer/sample_world.h"

namespace tooltiptest {

class EditorsFixture : public pf::UiFixture {
public:
    void SetUp() override
    {
        UiFixture::SetUp();
        RegisterWorkspaceControls(ui());
        app = std::make_unique<CVTNDesignerApp>();
        sample = std::make_unique<designertest::SampleWorld>(*app);
        ASSERT_TRUE(app->MakeEditorEngine());
        recorder = std::make_unique<designertest::BroadcastRecorder>();
        sim().pump();
    }
    void TearDown() override
    {
        // Editors left open by a failed check close while their objects live.
        while (!app->GetEditDialogs().empty() && app->GetEditDialogs().front()->dialog != nullptr)
            app->GetEditDialogs().front()->dialog->destroy();
        recorder.reset();
        sample.reset();
        app.reset();
        UiFixture::TearDown();
    }

    CVTND_ExtendedWorld& World() { return *app->GetWorld(); }
    CVTND_GradientPersinstancy* Store() { return dynamic_cast<CVTND_GradientPersinstancy*>(app->GetGradientStore()); }
    // A new designer tooltip through the object factory.
    VTND_ToolTip* NewTooltip(const std::string& name)
    {
        CVTND_CreateRequest request;
        request.name = name;
        return static_cast<VTND_ToolTip*>(
            app->GetObjectsFactory().CreateObject(ObjectType::kTooltip, request).GetObject());
    }
    static uint32_t Pixel(const VTND_ToolTip& tip, int32_t x, int32_t y)
    {
        return tip.GetTexture()->GetPixels()[static_cast<size_t>(y) * tip.GetTexture()->GetWidth() + x];
    }

    std::unique_ptr<CVTNDesignerApp> app;
    std::unique_ptr<designertest::SampleWorld> sample;
    std::unique_ptr<designertest::BroadcastRecorder> recorder;
};

} // namespace tooltiptest
