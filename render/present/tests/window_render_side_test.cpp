#include "render/present/window_render_side.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "engine/core/camera_node.h"
#include "engine/core/root_object.h"
#include "engine/core/window.h"
#include "engine/core/world.h"
#include "platform/base/user_constants.h"
#include "platform/ddraw/direct_draw.h"
#include "platform/display/screen.h"
#include "platform/ui/core/ui.h"
#include "platform/ui/core/window.h"
#include "render/present/window_device.h"
#include "render/render_drivers.h"
#include "render/render_surface.h"

namespace {

class WindowRenderSideTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        pf::screen().reset();
        m_ui = std::make_unique<pf::Ui>();
        m_window =
            m_ui->createWindow({"window", "", pf::WS_POPUP | pf::WS_VISIBLE, 0, pf::Rect::fromXywh(0, 0, 64, 48)});
        m_ui->pump();
        SWrenderdrivers::Get().Init();
    }
    void TearDown() override
    {
        SWrenderdrivers::Get().Shutdown();
        m_ui.reset();
        pf::screen().reset();
    }
    std::unique_ptr<pf::Ui> m_ui;
    pf::Window* m_window = nullptr;
};

void ExpectSameView(const SWrendercamera& a, const SWrendercamera& b)
{
    SWmatrix ma, mb;
    a.BuildViewMatrix(ma);
    b.BuildViewMatrix(mb);
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(ma[i], mb[i], 1e-5f) << i;
}

} // namespace

TEST_F(WindowRenderSideTest, WindowMakesItsRendererAsAskedOrNoneWithoutFactory)
{
    const auto installed = SWwindow::SetRendererFactory(nullptr);
    ASSERT_NE(installed, nullptr); // the renderer registers itself when the engine loads
    {
        SWwindow bare(m_window->hwnd(), 1, false);
        EXPECT_EQ(bare.GetRenderer(), nullptr);
    }
    SWwindow::SetRendererFactory(installed);

    SWwindow window(m_window->hwnd(), 1, true);
    auto* side = dynamic_cast<SWwindowrenderside*>(window.GetRenderer());
    ASSERT_NE(side, nullptr);
    auto* device = dynamic_cast<SWwindowdevice*>(side->Renderer().GetPrimary());
    ASSERT_NE(device, nullptr);
    EXPECT_TRUE(device->IsGdiMode());
    EXPECT_EQ(side->Renderer().GetSupersampling(), 1u);
    EXPECT_EQ(side->GetSurface()->GetOwnerWord(), 0u);
    EXPECT_EQ(side->GetSurface()->GetCamera(), &side->Camera());
    uint32_t w = 1, h = 1;
    side->GetSize(w, h);
    EXPECT_EQ(w + h, 0u);
    ASSERT_TRUE(side->SetSize(64, 48));
    side->GetSize(w, h);
    EXPECT_EQ(w, 64u);
    EXPECT_EQ(h, 48u);
    EXPECT_EQ(device->GetWidth(), 64u);
    EXPECT_TRUE(side->RefreshBuffers());
    EXPECT_TRUE(side->BeginFrame());
    EXPECT_TRUE(side->EndFrame());
    EXPECT_TRUE(side->Present());
    EXPECT_FALSE(side->IsAntialiasingDone());

    pf::registerDirectDrawStandIn(); // without DirectDraw every device presents through GDI anyway
    {
        SWwindow withoutGdi(m_window->hwnd(), 1, false);
        auto* other = dynamic_cast<SWwindowrenderside*>(withoutGdi.GetRenderer());
        ASSERT_NE(other, nullptr);
        EXPECT_FALSE(static_cast<SWwindowdevice*>(other->Renderer().GetPrimary())->IsGdiMode());
    }
    pf::unregisterDirectDrawStandIn();
}

// The render camera follows the window's camera node at each frame, keeps its last view without one, and a
// deleted camera node is never reached again.
TEST_F(WindowRenderSideTest, RenderCameraFollowsTheCameraNode)
{
    SWworld world;
    auto* camera = static_cast<SWcameraobject*>(world.GetRootObject()->AddGeometry(std::make_unique<SWcameraobject>()));
    auto* node = new SWcameranode(camera);
    world.AddNode(node, nullptr);
    node->SetInitialMatrix(SWmatrix::Translation(1.0f, 2.0f, -5.0f));
    node->UpdateMatrices(nullptr);
    SWwindow* window = world.AddWindow(std::make_unique<SWwindow>(m_window->hwnd(), 1u, false));
    auto* side = dynamic_cast<SWwindowrenderside*>(window->GetRenderer());
    ASSERT_NE(side, nullptr);
    ASSERT_TRUE(side->SetSize(64, 48));
    window->SetCamera(node);
    ASSERT_TRUE(side->BeginFrame());
    side->EndFrame();
    SWrendercamera expected;
    camera->ComputeSurfaceMatrices(node->GetWorldMatrix(), expected, 48.0f / 64.0f);
    ExpectSameView(side->Camera(), expected);
    SWrendercamera defaults;
    SWmatrix a, b;
    defaults.BuildViewMatrix(a);
    expected.BuildViewMatrix(b);
    EXPECT_GT(std::abs(a[3] - b[3]) + std::abs(a[7] - b[7]) + std::abs(a[11] - b[11]), 1e-3f) << "the node moved it";

    window->SetCamera(nullptr);
    ASSERT_TRUE(side->BeginFrame());
    side->EndFrame();
    ExpectSameView(side->Camera(), expected);

    window->SetCamera(node);
    world.DeleteNode(node);
    EXPECT_EQ(window->GetCameraNode(), nullptr);
    ASSERT_TRUE(side->BeginFrame());
    side->EndFrame();
    EXPECT_TRUE(side->Present());
}
