// The DirectDraw stand-in on the headless screen: the clip list is the visible client area, Lock describes the
// screen's format, and Unlock changes nothing outside the clipper window's visible client area.
#include "platform/ddraw/ddraw.h"
#include "platform/ddraw/direct_draw.h"

#include "platform/base/user_constants.h"
#include "platform/display/screen.h"
#include "platform/gfx/display_mode.h"
#include "platform/testing/ui_fixture.h"

#include <cstring>
#include <random>

namespace pf {
namespace {

constexpr uint32_t kCanary = 0x00A5A5A5u;

class DirectDrawTest : public UiFixture {
protected:
    void SetUp() override
    {
        UiFixture::SetUp();
        registerDirectDrawStandIn();
        ASSERT_EQ(
            CoCreateInstance(CLSID_DirectDraw, nullptr, CLSCTX_ALL, IID_IDirectDraw, reinterpret_cast<void**>(&dd1)),
            S_OK);
        ASSERT_EQ(dd1->QueryInterface(IID_IDirectDraw2, reinterpret_cast<void**>(&dd)), S_OK);
        ASSERT_EQ(dd->Initialize(nullptr), DD_OK);
        ASSERT_EQ(dd->SetCooperativeLevel(kNoWindow, DDSCL_NORMAL), DD_OK);
    }
    void TearDown() override
    {
        if (clipper != nullptr)
            clipper->Release();
        if (primary != nullptr)
            primary->Release();
        dd->Release();
        dd1->Release();
        EXPECT_EQ(directDrawLiveObjects(), 0);
        setDirectDrawFaults({});
        unregisterDirectDrawStandIn();
        displayMode().reset();
        UiFixture::TearDown();
    }
    void makePrimary(Hwnd hwnd)
    {
        DDSURFACEDESC desc;
        desc.dwSize = kDdSurfaceDescSize;
        desc.dwFlags = DDSD_CAPS;
        desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
        ASSERT_EQ(dd->CreateSurface(&desc, &primary, nullptr), DD_OK);
        ASSERT_EQ(dd->CreateClipper(0, &clipper, nullptr), DD_OK);
        ASSERT_EQ(clipper->SetHWnd(0, hwnd), DD_OK);
        ASSERT_EQ(primary->SetClipper(clipper), DD_OK);
    }
    Window* topLevel(const Rect& r, uint32_t style = WS_POPUP)
    {
        Window* w = ui().createWindow({"window", "", style | WS_VISIBLE, 0, r});
        ui().pump();
        return w;
    }
    std::vector<Rect> clipList()
    {
        uint32_t size = 0;
        EXPECT_EQ(clipper->GetClipList(nullptr, nullptr, &size), DD_OK);
        std::vector<uint8_t> buffer(size);
        auto* data = reinterpret_cast<RGNDATA*>(buffer.data());
        EXPECT_EQ(clipper->GetClipList(nullptr, data, &size), DD_OK);
        return {data->Buffer, data->Buffer + data->rdh.nCount};
    }

    IDirectDraw* dd1 = nullptr;
    IDirectDraw2* dd = nullptr;
    IDirectDrawSurface* primary = nullptr;
    IDirectDrawClipper* clipper = nullptr;
};

TEST_F(DirectDrawTest, ClipListEqualsTheVisibleClientAreaUnderRandomOccluders)
{
    Window* target = topLevel({100, 100, 500, 400}, WS_CAPTION | WS_BORDER);
    makePrimary(target->hwnd());
    std::mt19937 random(7);
    std::uniform_int_distribution<int32_t> coordinate(0, 600);
    for (int i = 0; i < 6; ++i) {
        const int32_t x = coordinate(random), y = coordinate(random);
        topLevel({x, y, x + 40 + coordinate(random) / 4, y + 40 + coordinate(random) / 4});
    }
    const Point origin = target->clientToScreen({0, 0});
    const Rect client = target->clientRect().offsetBy(origin.x, origin.y);
    const std::vector<Rect> rects = clipList();
    for (int32_t y = 90; y < 420; ++y)
        for (int32_t x = 90; x < 520; ++x) {
            const Point p{x, y};
            const bool expected = client.contains(p) && ui().windowFromPoint(p) != kNoWindow &&
                                  ui().window(ui().windowFromPoint(p))->topLevel() == target;
            const size_t inside =
                std::count_if(rects.begin(), rects.end(), [&](const Rect& r) { return r.contains(p); });
            ASSERT_EQ(inside, expected ? 1u : 0u) << x << "," << y; // disjoint, and exactly the visible pixels
        }
}

TEST_F(DirectDrawTest, TooSmallABufferAnswersRegionTooSmallWithTheSizeNeeded)
{
    Window* target = topLevel({0, 0, 200, 200});
    topLevel({50, 50, 100, 100}); // splits the client into several rectangles
    makePrimary(target->hwnd());
    uint32_t size = kRgnHeaderBytes + sizeof(Rect);
    std::vector<uint8_t> buffer(size);
    EXPECT_EQ(clipper->GetClipList(nullptr, reinterpret_cast<RGNDATA*>(buffer.data()), &size), DDERR_REGIONTOOSMALL);
    EXPECT_EQ(size, kRgnHeaderBytes + 4 * sizeof(Rect)); // above, left of, right of and below the hole
}

TEST_F(DirectDrawTest, LockDescribesEachDepth)
{
    struct Case {
        int32_t depth;
        uint32_t pitch;
        uint32_t red;
    };
    Window* target = topLevel({0, 0, 100, 100});
    for (const Case c :
         {Case{8, 1280, 0}, Case{16, 2560, 0xF800}, Case{24, 3840, 0xFF0000}, Case{32, 5120, 0xFF0000}}) {
        SCOPED_TRACE(c.depth);
        ASSERT_TRUE(screen().setDepth(c.depth));
        makePrimary(target->hwnd());
        DDSURFACEDESC desc;
        desc.dwSize = kDdSurfaceDescSize;
        ASSERT_EQ(primary->Lock(nullptr, &desc, DDLOCK_WAIT | DDLOCK_WRITEONLY, nullptr), DD_OK);
        EXPECT_EQ(desc.ddpfPixelFormat.dwRGBBitCount, static_cast<uint32_t>(c.depth));
        EXPECT_EQ(desc.lPitch, static_cast<int32_t>(c.pitch));
        EXPECT_EQ(desc.ddpfPixelFormat.dwRBitMask, c.red);
        EXPECT_NE(desc.lpSurface, nullptr);
        EXPECT_EQ(primary->Unlock(nullptr), DD_OK);
        primary->Release();
        clipper->Release();
        primary = nullptr;
        clipper = nullptr;
    }
}

TEST_F(DirectDrawTest, LostSurfaceRefusesLockUntilRestoredAndFaultsAreAnswered)
{
    Window* target = topLevel({0, 0, 100, 100});
    makePrimary(target->hwnd());
    DDSURFACEDESC desc;
    desc.dwSize = kDdSurfaceDescSize;
    loseDirectDrawSurfaces();
    EXPECT_EQ(primary->IsLost(), DDERR_SURFACELOST);
    EXPECT_EQ(primary->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DDERR_SURFACELOST);
    setDirectDrawFaults({false, false, true});
    EXPECT_EQ(primary->Restore(), DDERR_SURFACELOST);
    setDirectDrawFaults({false, true, false});
    EXPECT_EQ(primary->Restore(), DD_OK);
    EXPECT_EQ(primary->IsLost(), DD_OK);
    EXPECT_EQ(primary->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DDERR_GENERIC);
    setDirectDrawFaults({true, false, false});
    IDirectDrawSurface* second = nullptr;
    DDSURFACEDESC create;
    create.dwSize = kDdSurfaceDescSize;
    create.dwFlags = DDSD_CAPS;
    create.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
    EXPECT_EQ(dd->CreateSurface(&create, &second, nullptr), DDERR_GENERIC);
    EXPECT_EQ(second, nullptr);
}

TEST_F(DirectDrawTest, UnlockWritesOnlyTheVisibleClientAreaOfTheClipperWindow)
{
    for (const int32_t depth : {8, 16, 24, 32}) {
        SCOPED_TRACE(depth);
        ASSERT_TRUE(screen().setDepth(depth));
        // Partly off the screen's left edge, with a frame, under an occluder.
        Window* target = topLevel({-50, 100, 350, 400}, WS_CAPTION | WS_BORDER);
        Window* occluder = topLevel({100, 150, 200, 250});
        makePrimary(target->hwnd());
        const auto fillCanary = [this](Window& w) { ui().surfaceOf(w)->fill(kCanary); };
        fillCanary(*target);
        fillCanary(*occluder);
        DDSURFACEDESC desc;
        desc.dwSize = kDdSurfaceDescSize;
        ASSERT_EQ(primary->Lock(nullptr, &desc, DDLOCK_WAIT | DDLOCK_WRITEONLY, nullptr), DD_OK);
        std::memset(desc.lpSurface, 0xFF, static_cast<size_t>(desc.lPitch) * desc.dwHeight); // white everywhere
        ASSERT_EQ(primary->Unlock(nullptr), DD_OK);
        const uint32_t white = displayMode().emulate(0xFFFFFF);
        const Point origin = target->clientToScreen({0, 0});
        const Rect client = target->clientRect().offsetBy(origin.x, origin.y);
        const std::shared_ptr<Surface32> surface = ui().surfaceOf(*target);
        for (int32_t y = 0; y < surface->height(); ++y)
            for (int32_t x = 0; x < surface->width(); ++x) {
                const Point p{x - 50, y + 100};
                const bool visible = client.contains(p) && p.x >= 0 && !Rect{100, 150, 200, 250}.contains(p);
                ASSERT_EQ(surface->pixel(x, y) & 0xFFFFFFu, visible ? white : kCanary) << x << "," << y;
            }
        const std::shared_ptr<Surface32> other = ui().surfaceOf(*occluder);
        for (int32_t y = 0; y < other->height(); ++y)
            for (int32_t x = 0; x < other->width(); ++x)
                ASSERT_EQ(other->pixel(x, y), kCanary);
        primary->Release();
        clipper->Release();
        primary = nullptr;
        clipper = nullptr;
        occluder->destroy();
        target->destroy();
    }
}

} // namespace
} // namespace pf
