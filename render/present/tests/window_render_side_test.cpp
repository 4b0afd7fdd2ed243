#include "render/present/window_render_side.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

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
    camera->ComputeSurfaceMatrices(node->GetWorldMatrix(), expected, 64.0f / 48.0f);
    ExpectSameView(side->Camera(), expected);
    // Square pixels: the window at unit distance keeps the surface's proportions, as a click's pick ray assumes.
    EXPECT_NEAR(side->Camera().GetWindowWidth() / side->Camera().GetWindowHeight(), 64.0f / 48.0f, 1e-4f);
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

namespace {

// The camera node's right-hand side: it looks along its own +z with its +y up.
SWvector RightOf(const SWmatrix& m)
{
    const SWvector forward{m[2], m[6], m[10]};
    const SWvector up{m[1], m[5], m[9]};
    const SWvector right = forward.Cross(up);
    return right * (1.0f / right.Length());
}

void ExpectNear(const SWvector& got, const SWvector& want, const char* what)
{
    EXPECT_NEAR(got.x, want.x, 1e-5f) << what;
    EXPECT_NEAR(got.y, want.y, 1e-5f) << what;
    EXPECT_NEAR(got.z, want.z, 1e-5f) << what;
}

} // namespace

// In render mode 2 the pass of phase 0 sees from half the camera's eye separation to the left of the centre view
// and phase 1 from as far to the right, looking the same way; between frames the camera holds the centre view, so
// the eyes never drift.
TEST_F(WindowRenderSideTest, StereoPassesSeeFromEitherEye)
{
    SWworld world;
    auto* camera = static_cast<SWcameraobject*>(world.GetRootObject()->AddGeometry(std::make_unique<SWcameraobject>()));
    camera->SetFirstStereoValue(2.0f); // twice the default separation: 0.12
    auto* node = new SWcameranode(camera);
    world.AddNode(node, nullptr);
    node->SetInitialMatrix(SWmatrix::Translation(1.0f, 2.0f, -5.0f).PostMultiply(SWmatrix::Rotation(0.7f, 1)));
    node->UpdateMatrices(nullptr);
    SWwindow* window = world.AddWindow(std::make_unique<SWwindow>(m_window->hwnd(), 1u, false));
    auto* side = dynamic_cast<SWwindowrenderside*>(window->GetRenderer());
    ASSERT_NE(side, nullptr);
    ASSERT_TRUE(side->SetSize(64, 48));
    window->SetCamera(node);
    SWrendercamera centre;
    camera->ComputeSurfaceMatrices(node->GetWorldMatrix(), centre, 64.0f / 48.0f);
    const SWvector right = RightOf(node->GetWorldMatrix());
    ASSERT_GT(std::abs(right.x) + std::abs(right.z), 0.5f);

    ASSERT_TRUE(side->BeginFrame()); // render mode 0: one view, from the centre
    ExpectNear(side->Camera().GetPosition(), centre.GetPosition(), "mode 0");
    side->EndFrame();

    side->Renderer().SetRenderMode(2);
    for (int frame = 0; frame < 3; ++frame) {
        for (uint32_t phase = 0; phase < 2; ++phase) {
            side->SetPhase(phase);
            ASSERT_TRUE(side->BeginFrame());
            const SWvector eye = centre.GetPosition() + right * (phase == 0 ? -0.06f : 0.06f);
            ExpectNear(side->Camera().GetPosition(), eye, phase == 0 ? "left eye" : "right eye");
            ExpectNear(side->Camera().GetDirection(), centre.GetDirection(), "the eye looks as the centre does");
            side->EndFrame();
            ExpectSameView(side->Camera(), centre);
        }
    }

    // Without a camera node the camera's own view is kept and the default separation, 0.06, serves.
    window->SetCamera(nullptr);
    side->SetPhase(1);
    ASSERT_TRUE(side->BeginFrame());
    ExpectNear(side->Camera().GetPosition(), centre.GetPosition() + right * 0.03f, "no camera node");
    side->EndFrame();
    ExpectSameView(side->Camera(), centre);
}

namespace {

// A renderer that writes down the window's set-up calls, made through a maker that writes down its own.
std::vector<std::string>* g_calls = nullptr;

class RecordingRenderer final : public SWrenderer {
public:
    void SetGdiMode(bool on) override { g_calls->push_back("SetGdiMode " + std::to_string(on)); }
    void SetOwnerWord(uint32_t value) override { g_calls->push_back("SetOwnerWord " + std::to_string(value)); }
    bool SetSupersampling(uint32_t x, uint32_t y) override
    {
        g_calls->push_back("SetSupersampling " + std::to_string(x) + " " + std::to_string(y));
        return true;
    }
    bool SetWindow(pf::Hwnd window) override
    {
        g_calls->push_back("SetWindow " + std::to_string(window));
        return true;
    }
    bool SetCamera(SWrendercamera* camera) override
    {
        camera_ = camera;
        g_calls->push_back("SetCamera");
        return true;
    }
    bool RefreshPalette() override
    {
        g_calls->push_back("RefreshPalette");
        return true;
    }
    SWrendercamera* camera_ = nullptr;
};

std::unique_ptr<SWrenderer> MakeRecording(uint32_t flags)
{
    g_calls->push_back("CreateRenderer " + std::to_string(flags));
    return std::make_unique<RecordingRenderer>();
}

std::unique_ptr<SWrenderer> MakeNone(uint32_t flags)
{
    g_calls->push_back("CreateRenderer " + std::to_string(flags));
    return nullptr;
}

} // namespace

// A new window makes its renderer for its device flags and then sets it up in one order: GDI mode only when asked,
// owner word 0, sampling 1 x 1, its window, its own render camera, the palette. No renderer, no further calls.
TEST_F(WindowRenderSideTest, NewWindowSetsUpItsRendererInOrder)
{
    std::vector<std::string> calls;
    g_calls = &calls;
    const auto previous = SWwindowrenderside::SetRendererMaker(&MakeRecording);
    const std::string hwnd = std::to_string(m_window->hwnd());
    {
        SWwindow gdi(m_window->hwnd(), 3, true);
        auto* side = dynamic_cast<SWwindowrenderside*>(gdi.GetRenderer());
        ASSERT_NE(side, nullptr);
        EXPECT_EQ(calls, (std::vector<std::string>{"CreateRenderer 3", "SetGdiMode 1", "SetOwnerWord 0",
                                                   "SetSupersampling 1 1", "SetWindow " + hwnd, "SetCamera",
                                                   "RefreshPalette"}));
        EXPECT_EQ(static_cast<RecordingRenderer&>(side->Renderer()).camera_, &side->Camera());
    }
    calls.clear();
    {
        SWwindow plain(m_window->hwnd(), 1, false);
        EXPECT_NE(plain.GetRenderer(), nullptr);
        EXPECT_EQ(calls, (std::vector<std::string>{"CreateRenderer 1", "SetOwnerWord 0", "SetSupersampling 1 1",
                                                   "SetWindow " + hwnd, "SetCamera", "RefreshPalette"}));
    }
    calls.clear();
    SWwindowrenderside::SetRendererMaker(&MakeNone);
    {
        SWwindow none(m_window->hwnd(), 2, true);
        EXPECT_EQ(none.GetRenderer(), nullptr);
        EXPECT_EQ(calls, (std::vector<std::string>{"CreateRenderer 2"}));
    }
    EXPECT_EQ(SWwindowrenderside::SetRendererMaker(previous), &MakeNone);
    g_calls = nullptr;
}
