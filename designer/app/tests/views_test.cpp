// The 3D views' own work on a running designer: snapshots and picking, which must agree with the picture.
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "designer/app/child_render_view.h"
#include "designer/app/editor_settings.h"
#include "designer/app/extended_world.h"
#include "designer/app/main_frame.h"
#include "designer/app/sample_project.h"
#include "designer/app/snapshot.h"
#include "designer/app/startup.h"
#include "designer/workspace/receptors_texts.h"
#include "designer/workspace/rename_dlg.h"
#include "engine/behaviour/behaviour_observer.h"
#include "engine/behaviour/event.h"
#include "engine/core/node.h"
#include "engine/core/object_node.h"
#include "engine/core/window.h"
#include "engine/resources/geometry.h"
#include "platform/gfx/jpeg_file.h"
#include "platform/gfx/png_file.h"
#include "platform/settings/settings_backend.h"
#include "platform/settings/settings_store.h"
#include "platform/testing/ui_fixture.h"
#include "testsupport/designer/sample_designer.h"

namespace {

SWnode* NodeNamed(SWworld& world, const std::string& name)
{
    for (SWnode* n = world.GetRootNode(); n != nullptr; n = n->NextInTree(world.GetRootNode()))
        if (n->GetName() && *n->GetName() == name)
            return n;
    return nullptr;
}

class ViewsTest : public pf::UiFixture {
protected:
    void SetUp() override
    {
        UiFixture::SetUp();
        ASSERT_TRUE(designer.Start(
            designertest::TestStartOptions(artifactPath("views-recovery-" + std::to_string(::getpid()) + ".vtp"))));
        world = designer.GetWorld();
        view = designer.ActiveView();
        ASSERT_NE(view, nullptr);
        {
            const SWworldlock hold(*world);
            BuildSampleWorld(*world);
        }
        view->TakeLastCamera();
        view->RefreshBackground();
        cube = NodeNamed(*world, "cube");
        ASSERT_NE(cube, nullptr);
    }
    void TearDown() override
    {
        designer.Exit();
        UiFixture::TearDown();
    }
    void SizeView(int32_t width, int32_t height)
    {
        view->move(pf::Rect::fromXywh(0, 0, width, height));
        ASSERT_EQ(view->clientRect().width(), width);
    }

    designertest::EarlierReportsDropped earlierReports;
    CVTND_Designer designer;
    CVTND_ExtendedWorld* world = nullptr;
    CChildRenderView* view = nullptr;
    SWnode* cube = nullptr;
};

// The cube alone: its drawn silhouette (alpha 255) is exactly where a click picks it, at wide, tall and square views;
// every edge pixel picks it and the pixel beside it, outside, picks nothing.
TEST_F(ViewsTest, ClicksPickExactlyTheDrawnSilhouetteAtEveryAspect)
{
    {
        const SWworldlock hold(*world);
        SWobjectnode::FromNode(NodeNamed(*world, "floor"))->SetVisible(false);
    }
    for (const auto& [width, height] : {std::pair{400, 200}, std::pair{150, 300}, std::pair{240, 240}}) {
        SCOPED_TRACE(std::to_string(width) + " x " + std::to_string(height));
        SizeView(width, height);
        const SWworldlock hold(*world);
        std::string error;
        const auto shot = DrawSnapshot(*world, view->GetEngineWindow()->GetCameraNode(), width, height, error);
        ASSERT_TRUE(shot) << error;
        EXPECT_TRUE(WriteSnapshot(artifactPath("pick-" + std::to_string(width) + "x" + std::to_string(height) + ".png"),
                                  *shot, 90, error));
        int covered = 0;
        int mismatched = 0;
        int edges = 0;
        int edgeMisses = 0;
        for (int32_t y = 0; y < height; ++y) {
            int32_t first = -1;
            for (int32_t x = 0; x < width; ++x) {
                const bool drawn = (shot->pixels[static_cast<size_t>(y * width + x)] >> 24) == 0xFF;
                covered += drawn ? 1 : 0;
                mismatched += drawn != (world->PickNode(x, y) == cube) ? 1 : 0;
                if (drawn && first < 0)
                    first = x;
            }
            if (first > 0) {
                ++edges;
                edgeMisses += world->PickNode(first, y) != cube ? 1 : 0;
                edgeMisses += world->PickNode(first - 1, y) != nullptr ? 1 : 0;
            }
        }
        EXPECT_GT(covered, width * height / 20);
        EXPECT_GT(edges, height / 4);
        EXPECT_EQ(edgeMisses, 0) << "of " << edges << " rows";
        EXPECT_EQ(mismatched, 0) << "of " << covered << " drawn";
    }
}

TEST_F(ViewsTest, SnapshotsAreAJpegOfTheViewsSizeAndAPngClearExactlyOnTheBackground)
{
    SizeView(320, 200);
    const std::string jpeg = artifactPath("snapshot.jpg");
    const std::string png = artifactPath("snapshot.png");
    ASSERT_TRUE(designer.SnapshotTo(jpeg));
    ASSERT_TRUE(designer.SnapshotTo(png));
    std::string error;
    const auto decoded = pf::readJpegFile(jpeg, {}, error);
    ASSERT_TRUE(decoded) << error;
    EXPECT_EQ(decoded->width, 320);
    EXPECT_EQ(decoded->height, 200);
    const auto clear = pf::readPngFile(png, {pf::PngPixels::kBgra}, error);
    ASSERT_TRUE(clear) << error;
    ASSERT_EQ(clear->width, 320);
    const SWworldlock hold(*world);
    int background = 0;
    for (int32_t y = 0; y < 200; ++y)
        for (int32_t x = 0; x < 320; ++x) {
            const size_t at = static_cast<size_t>(y * 320 + x) * 4;
            const bool opaque = clear->bytes[at + 3] == 0xFF;
            ASSERT_TRUE(opaque || clear->bytes[at + 3] == 0) << x << "," << y;
            // The sky is what no node covers; there the picture shows the first background and is clear.
            if (world->PickNode(x, y) == nullptr) {
                ++background;
                EXPECT_FALSE(opaque) << x << "," << y;
                EXPECT_EQ((uint32_t{clear->bytes[at + 2]} << 16) | (uint32_t{clear->bytes[at + 1]} << 8) |
                              clear->bytes[at],
                          kSampleBackground);
            } else {
                EXPECT_TRUE(opaque) << x << "," << y;
            }
        }
    EXPECT_GT(background, 320 * 200 / 10);
    // A folder that cannot be written: an error box, and no file.
    ui().providers().scriptedMessageBox().expect(pf::IDOK);
    EXPECT_FALSE(designer.SnapshotTo(artifactPath("no-such-folder/snapshot.png")));
    EXPECT_EQ(ui().providers().scriptedMessageBox().pending(), 0u);
    // Chosen in the file dialog, the folder that took the picture is where the next one starts; one that refused
    // it (a folder stands where the file would go) is not.
    const std::filesystem::path refusing = artifactPath("snapshot-refused-" + std::to_string(::getpid()));
    std::filesystem::create_directories(refusing / "shot.png");
    const auto& asked = ui().providers().scriptedFile().calls();
    const size_t before = asked.size();
    sim().expectFile(jpeg);
    ASSERT_TRUE(designer.Snapshot());
    ui().providers().scriptedMessageBox().expect(pf::IDOK);
    sim().expectFile((refusing / "shot.png").string());
    EXPECT_FALSE(designer.Snapshot());
    sim().expectFile(std::nullopt);
    designer.Snapshot();
    ASSERT_EQ(asked.size(), before + 3);
    EXPECT_EQ(asked.back().initialDirectory, std::filesystem::path(jpeg).parent_path().string());
    std::filesystem::remove_all(refusing);
}

// Mouse-look takes the pointer: granted only to the focused view of a running world, it locks the pointer with the
// capture, and ends with the world's word, at Stop at once, and with the capture.
TEST_F(ViewsTest, PointerLockBeginsAndEndsWithMouseLook)
{
    const auto ask = [&] {
        const SWworldlock hold(*world);
        return view->BeginMouseLook();
    };
    EXPECT_FALSE(ask()) << "not while stopped";
    ASSERT_TRUE(designer.StartPreview());
    ui().setFocus(view->hwnd());
    ASSERT_TRUE(ask());
    sim().pump();
    EXPECT_EQ(ui().pointerLock(), view->hwnd());
    EXPECT_EQ(ui().capture(), view->hwnd());
    EXPECT_TRUE(view->IsPointerLocked());
    {
        const SWworldlock hold(*world);
        view->EndMouseLook();
    }
    sim().pump();
    EXPECT_EQ(ui().pointerLock(), pf::kNoWindow);
    EXPECT_EQ(ui().capture(), pf::kNoWindow);

    ASSERT_TRUE(ask());
    sim().pump();
    ASSERT_EQ(ui().pointerLock(), view->hwnd());
    ASSERT_TRUE(designer.StopPreview());
    EXPECT_EQ(ui().pointerLock(), pf::kNoWindow) << "Stop drops it at once";
    EXPECT_FALSE(view->IsPointerLocked());

    ASSERT_TRUE(designer.StartPreview());
    ASSERT_TRUE(ask());
    sim().pump();
    ui().setCapture(designer.GetMainFrame()->hwnd()); // something else takes the mouse
    EXPECT_EQ(ui().pointerLock(), pf::kNoWindow);
    EXPECT_FALSE(view->IsPointerLocked());
    ui().releaseCapture();
    designer.StopPreview();
}

// A node with a click event renamed through the rename dialog, then clicked in the running preview: the event,
// filed under the new name, fires, and the event index still agrees with the events.
TEST_F(ViewsTest, ARenamedNodeClickedInThePreviewFiresItsClickEvent)
{
    SizeView(240, 240);
    pf::Point onCube{-1, -1};
    {
        const SWworldlock hold(*world);
        for (int32_t y = 100; y < 140 && onCube.x < 0; ++y)
            for (int32_t x = 100; x < 140 && onCube.x < 0; ++x)
                if (world->PickNode(x, y) == cube)
                    onCube = {x, y};
    }
    ASSERT_GE(onCube.x, 0) << "the cube is not drawn near the view's centre";
    SWevent* click = nullptr;
    {
        const SWworldlock hold(*world);
        click = world->AddEventOfType(5);
        click->AddObjectName(std::string("cube"));
    }
    sim().onModal(kIddRename, [this](pf::Dialog& d) {
        sim().replaceText(*d.child(RenameControl::kNewName), "box");
        sim().click(*d.child(pf::IDOK));
    });
    CVTND_RenameDlg rename{CVTND_Object(cube), nullptr};
    ASSERT_EQ(rename.Run(), 1);
    ASSERT_EQ(cube->GetName(), std::optional<std::string>("box"));

    struct Fired : BehaviourObserver {
        explicit Fired(const SWevent* watched) : watched(watched) {}
        void EventFired(const SWevent& event, const SWinputrecord&) override { count += &event == watched ? 1 : 0; }
        const SWevent* watched;
        std::atomic<int> count{0};
    } fired(click);
    BehaviourObserver* const before = world->GetObserver();
    {
        const SWworldlock hold(*world);
        world->SetObserver(&fired);
    }
    ASSERT_TRUE(designer.StartPreview());
    sim().click(*view, onCube);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (fired.count == 0 && std::chrono::steady_clock::now() < deadline) {
        sim().pump();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    designer.StopPreview();
    {
        const SWworldlock hold(*world);
        world->SetObserver(before);
        EXPECT_TRUE(world->CheckEventIndex());
    }
    EXPECT_EQ(fired.count, 1);
}

} // namespace
