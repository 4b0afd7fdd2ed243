#include "render/renderer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "render/present/window_device.h"
#include "render/render_drivers.h"
#include "render/render_surface.h"

namespace {

// Records every call it receives, answering as told.
class FakeDevice final : public SWrenderdevice {
public:
    FakeDevice(std::vector<std::string>& log, std::string name, uint32_t flags, bool sizes = true)
        : m_log(log), m_name(std::move(name)), m_flags(flags), m_sizes(sizes)
    {
    }
    SWrendertarget* GetSurface() override { return m_target.get(); }
    bool AttachSurface(std::unique_ptr<SWrendertarget> target) override
    {
        m_target = std::move(target);
        return true;
    }
    bool SetBackground(const SWbackground*) override { return Note("background"); }
    bool BeginFrame() override { return Note("begin"); }
    bool EndFrame() override { return Note("end"); }
    bool RefreshBuffers() override { return Note("refresh"); }
    bool Present() override { return Note("present"); }
    bool SetViewport(int32_t, int32_t, uint32_t w, uint32_t h, uint32_t) override
    {
        return Note("viewport " + std::to_string(w) + "x" + std::to_string(h));
    }
    bool SetSize(uint32_t w, uint32_t h) override
    {
        Note("size " + std::to_string(w) + "x" + std::to_string(h));
        return m_sizes || (w == 0 && h == 0);
    }
    bool SetSupersampling(uint32_t a, uint32_t) override { return Note("super " + std::to_string(a)); }
    bool Invalidate() override { return Note("invalidate"); }
    uint32_t GetDeviceFlags() const override { return m_flags; }
    bool SetRenderMode(uint32_t) override { return Note("mode"); }
    bool SetPhase(uint32_t) override { return Note("phase"); }
    bool IsAntialiasingDone() override { return Note("done"); }
    void SetGdiMode(bool) override { Note("gdi"); }
    bool SetWindow(pf::Hwnd) override { return Note("window"); }
    bool RefreshPalette() override { return Note("palette"); }
    bool RealizePalette(pf::PaletteRef) override { return Note("realize"); }
    bool SetDrawDC(pf::Dc*) override { return Note("dc"); }

private:
    bool Note(const std::string& what)
    {
        m_log.push_back(m_name + " " + what);
        return true;
    }
    std::vector<std::string>& m_log;
    std::string m_name;
    uint32_t m_flags;
    bool m_sizes;
    std::unique_ptr<SWrendertarget> m_target;
};

bool FailingDirect3D8(std::unique_ptr<SWrenderdevice>&, std::unique_ptr<SWrendertarget>&)
{
    return false;
}

} // namespace

TEST(Renderer, SelectDevicePassesOverFailuresAndReleasesTheOthers)
{
    std::vector<std::string> log;
    SWrenderer renderer;
    renderer.SetFlags(1);
    renderer.AddDevice(std::make_unique<FakeDevice>(log, "d3d", 2));
    renderer.AddDevice(std::make_unique<FakeDevice>(log, "broken", 1, false));
    renderer.AddDevice(std::make_unique<FakeDevice>(log, "window", 1));
    renderer.AddDevice(std::make_unique<FakeDevice>(log, "spare", 1));
    EXPECT_EQ(renderer.GetPrimary(), renderer.GetDevice(0));
    ASSERT_TRUE(renderer.SelectDevice(320, 200));
    EXPECT_EQ(renderer.GetPrimary(), renderer.GetDevice(2));
    EXPECT_EQ(log, (std::vector<std::string>{"d3d size 0x0", "broken size 320x200", "broken size 0x0",
                                             "window size 320x200", "spare size 0x0"}));
    log.clear();
    EXPECT_FALSE(renderer.SetSupersampling(2, 1));
    EXPECT_TRUE(renderer.SetSupersampling(1, 1));
    EXPECT_TRUE(log.empty());
    ASSERT_TRUE(renderer.SetSupersampling(2, 2));
    EXPECT_EQ(log, (std::vector<std::string>{"d3d size 0x0", "broken size 0x0", "window size 0x0", "spare size 0x0",
                                             "d3d super 2", "broken super 2", "window super 2", "spare super 2",
                                             "d3d size 0x0", "broken size 320x200", "broken size 0x0",
                                             "window size 320x200", "spare size 0x0", "d3d invalidate",
                                             "broken invalidate", "window invalidate", "spare invalidate"}));
}

// With no device everything answers false or null; with no primary (a failed selection) the primary-only calls
// answer false instead of reaching a null device.
TEST(Renderer, AnswersWithoutDevicesAndWithoutPrimary)
{
    SWrenderer empty;
    EXPECT_FALSE(empty.SetBackground(nullptr));
    EXPECT_FALSE(empty.SetCamera(nullptr));
    EXPECT_FALSE(empty.SetRenderMode(0));
    EXPECT_FALSE(empty.SetWindow(5));
    EXPECT_FALSE(empty.RefreshPalette());
    EXPECT_FALSE(empty.SetSupersampling(2, 2));
    EXPECT_EQ(empty.GetSurface(), nullptr);

    std::vector<std::string> log;
    SWrenderer renderer;
    renderer.SetFlags(1);
    renderer.AddDevice(std::make_unique<FakeDevice>(log, "broken", 1, false));
    EXPECT_FALSE(renderer.SelectDevice(64, 64));
    log.clear();
    EXPECT_FALSE(renderer.IsAntialiasingDone());
    EXPECT_FALSE(renderer.SetViewport(0, 0, 64, 64, 0));
    EXPECT_FALSE(renderer.BeginFrame());
    EXPECT_FALSE(renderer.Present());
    EXPECT_FALSE(renderer.SetAntialiasing(true));
    EXPECT_TRUE(renderer.SetBackground(nullptr));
    EXPECT_TRUE(renderer.RefreshPalette());
    EXPECT_EQ(log, (std::vector<std::string>{"broken background", "broken palette"}));
}

TEST(Renderer, CreateRendererBuildsTheAskedDevices)
{
    SWhostdrivers drivers;
    EXPECT_EQ(drivers.CreateRenderer(1), nullptr); // not ready before Init
    drivers.Init();
    EXPECT_EQ(drivers.CreateRenderer(0), nullptr);
    const auto previous = SWrenderdrivers::SetDirect3D8Factory(&FailingDirect3D8);
    EXPECT_EQ(drivers.CreateRenderer(2), nullptr);
    const auto both = drivers.CreateRenderer(3);
    ASSERT_NE(both, nullptr);
    ASSERT_EQ(both->GetDeviceCount(), 1u);
    EXPECT_EQ(both->GetPrimary()->GetDeviceFlags(), 1u);
    EXPECT_NE(dynamic_cast<SWrendersurface*>(both->GetSurface()), nullptr);
    EXPECT_EQ(SWrenderdrivers::SetDirect3D8Factory(previous), &FailingDirect3D8);

    both->SetOwnerWord(7);
    EXPECT_EQ(both->GetSurface()->GetOwnerWord(), 7u);
    drivers.Shutdown();
}
