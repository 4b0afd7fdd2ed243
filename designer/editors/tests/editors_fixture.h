#pragma once
// The fixture of the object editors' tests: an application with the designer's sample world (cameras, textures,
// materials, a hot spot), the workspace's control classes and the renderer's tables, a recorder of every broadcast,
// and editors opened through the application's factory. Everything is driven through the user's mouse and keys
// and the scripted providers.
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "designer/app/designer_app.h"
#include "designer/app/extended_world.h"
#include "designer/workspace/workspace_controls.h"
#include "engine/core/root_object.h"
#include "engine/resources/texture.h"
#include "platform/testing/ui_fixture.h"
#include "platform/testing/user_sim.h"
#include "platform/ui/providers/providers.h"
#include "render/render_drivers.h"
#include "testsupport/designer/broadcast_recorder.h"
#include "testsupport/designer/sample_world.h"

namespace editorstest {

class EditorsFixture : public pf::UiFixture {
protected:
    static void SetUpTestSuite() { SWrenderdrivers::Get().Init(); } // the shading tables the preview draws with

    void SetUp() override
    {
        UiFixture::SetUp();
        RegisterWorkspaceControls(ui());
        app = std::make_unique<CVTNDesignerApp>();
        sample = std::make_unique<designertest::SampleWorld>(*app);
        World().UpdateNodeTransforms(World().GetRootNode(), 0);
        recorder = std::make_unique<designertest::BroadcastRecorder>();
        sim().pump();
    }

    void TearDown() override
    {
        CloseEditors();
        recorder.reset();
        sample.reset();
        app.reset();
        UiFixture::TearDown();
    }

    CVTND_ExtendedWorld& World() { return *app->GetWorld(); }
    template <typename T> T* Open(CVTND_Object object)
    {
        T* editor = dynamic_cast<T*>(app->EditObject(object, false));
        sim().pump();
        return editor;
    }
    void CloseEditors()
    {
        while (!app->GetEditDialogs().empty() && app->GetEditDialogs().front()->dialog != nullptr)
            app->GetEditDialogs().front()->dialog->destroy();
    }
    std::string LastBox() // the text of the last message box shown; empty when none was
    {
        const auto& calls = ui().providers().scriptedMessageBox().calls();
        return calls.empty() ? std::string() : calls.back().text;
    }
    SWtexture* Texture(const char* name) { return World().FindTextureByName(name); }
    bool HoldsTexture(const SWtexture* texture)
    {
        for (SWtexture* t = World().GetRootObject()->GetFirstTexture(); t != nullptr;
             t = SWrootobject::GetNextTexture(t))
            if (t == texture)
                return true;
        return false;
    }

    std::unique_ptr<CVTNDesignerApp> app;
    std::unique_ptr<designertest::SampleWorld> sample;
    std::unique_ptr<designertest::BroadcastRecorder> recorder;
};

} // namespace editorstest
