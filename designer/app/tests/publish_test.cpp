// Publishing and playing what was published, on a running designer: the choices of the publish dialog, the worker
// behind the wait dialog, files that are whole or not there, the page, and the player frame.
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <thread>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "designer/app/child_render_view.h"
#include "designer/app/designer_app.h"
#include "designer/app/editor_settings.h"
#include "designer/app/extended_world.h"
#include "designer/app/main_frame.h"
#include "designer/app/node_placement.h"
#include "designer/app/preview_sphere_aside.h"
#include "designer/app/project.h"
#include "designer/app/publish_dialogs.h"
#include "designer/app/publish_worker.h"
#include "designer/app/sample_project.h"
#include "designer/app/startup.h"
#include "designer/editors/tools_scale_center_dlg.h"
#include "designer/workspace/manipulate_dlg.h"
#include "designer/workspace/scenegraph_dlg.h"
#include "engine/behaviour/action_node.h"
#include "engine/behaviour/action_settings.h"
#include "engine/behaviour/event.h"
#include "engine/core/animation_data.h"
#include "engine/core/bbox.h"
#include "engine/core/camera_node.h"
#include "engine/core/data_node.h"
#include "engine/core/hotspot.h"
#include "engine/core/mesh_node.h"
#include "engine/core/object_node.h"
#include "engine/core/root_object.h"
#include "engine/core/sub_worlds.h"
#include "engine/core/sync_event.h"
#include "engine/core/type_tag.h"
#include "engine/core/window.h"
#include "engine/core/window_renderer.h"
#include "engine/core/world_file.h"
#include "engine/core/world_sections.h"
#include "engine/resources/background.h"
#include "engine/resources/geometry.h"
#include "engine/resources/mesh_object.h"
#include "engine/resources/resource_report.h"
#include "engine/resources/sound.h"
#include "engine/resources/texture.h"
#include "platform/base/atomic_file.h"
#include "platform/settings/settings_backend.h"
#include "platform/settings/settings_store.h"
#include "platform/testing/image_check.h"
#include "platform/testing/ui_fixture.h"
#include "platform/ui/controls/combo_box.h"
#include "platform/ui/controls/list_view.h"
#include "platform/ui/controls/progress_bar.h"
#include "platform/ui/controls/tab_control.h"
#include "testsupport/designer/publish_answers.h"
#include "testsupport/designer/sample_designer.h"

namespace {

using namespace std::chrono_literals;

// Runs the loop, the virtual clock a tick of the designer's timer at a time, until condition holds.
bool WaitFor(pf::UserSim& sim, const std::function<bool()>& condition,
             std::chrono::milliseconds limit = designertest::kRenderThreadWait)
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!condition() && std::chrono::steady_clock::now() < end) {
        sim.advance(17);
        std::this_thread::sleep_for(2ms);
    }
    return condition();
}

SWnode* NodeNamed(SWworld& world, const std::string& name)
{
    for (SWnode* n = world.GetRootNode(); n != nullptr; n = n->NextInTree(world.GetRootNode()))
        if (n->GetName() && *n->GetName() == name)
            return n;
    return nullptr;
}

// A short mono 16-bit wave file: a rising tone.
void WriteWave(const std::string& path)
{
    constexpr uint32_t kRate = 11025;
    constexpr uint32_t kSamples = 4000;
    std::string bytes;
    const auto u32 = [&](uint32_t v) {
        for (int i = 0; i < 4; ++i)
            bytes += static_cast<char>(v >> (8 * i));
    };
    const auto u16 = [&](uint16_t v) {
        bytes += static_cast<char>(v);
        bytes += static_cast<char>(v >> 8);
    };
    bytes += "RIFF";
    u32(36 + kSamples * 2);
    bytes += "WAVEfmt ";
    u32(16);
    u16(1);         // PCM
    u16(1);         // mono
    u32(kRate);     // samples per second
    u32(kRate * 2); // bytes per second
    u16(2);         // block
    u16(16);        // bits
    bytes += "data";
    u32(kSamples * 2);
    for (uint32_t i = 0; i < kSamples; ++i)
        u16(static_cast<uint16_t>(static_cast<int16_t>(8000.0 * std::sin(i * (0.05 + i * 0.00001)))));
    ASSERT_TRUE(pf::writeFileAtomically(path, bytes));
}

std::string FileText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

class Publish : public pf::UiFixture {
protected:
    void SetUp() override
    {
        UiFixture::SetUp();
        folder = artifactPath("publish-" + std::to_string(::getpid()) + "-" +
                              ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        (void)TakeKeptResourceReports(); // what earlier tests of the process left is not ours to show
        designer = std::make_unique<CVTND_Designer>();
        ASSERT_TRUE(
            designer->Start(designertest::TestStartOptions((std::filesystem::path(folder) / "recovery.vtp").string())));
        world = designer->GetWorld();
        {
            const SWworldlock hold(*world);
            BuildSampleWorld(*world);
        }
        designer->ActiveView()->TakeLastCamera();
        designer->ActiveView()->RefreshBackground();
    }
    void TearDown() override
    {
        designer->Exit();
        designer.reset();
        UiFixture::TearDown();
        std::filesystem::remove_all(folder);
    }
    std::string In(const std::string& name) const { return (std::filesystem::path(folder) / name).string(); }
    // A hidden mesh with the preview sphere's reference id, as the material editor leaves it in the world.
    SWgeometry* AddPreviewSphere()
    {
        const SWworldlock hold(*world);
        auto sphere = std::make_unique<SWmeshobject>();
        sphere->SetVertices({0, 0, 0, 1, 1, 1, 2, 0, 0});
        sphere->SetName("MaterialSphereMesh");
        sphere->GetObjectReference().id = kPreviewSphereReference;
        return world->GetRootObject()->AddGeometry(std::move(sphere));
    }
    bool HasGeometry(SWworld& w, const std::string& name)
    {
        for (SWgeometry* g = w.GetRootObject()->GetFirstGeometry(); g != nullptr;
             g = dynamic_cast<SWgeometry*>(g->GetNextSibling()))
            if (g->GetName() == name)
                return true;
        return false;
    }
    std::string folder;
    std::unique_ptr<CVTND_Designer> designer;
    CVTND_ExtendedWorld* world = nullptr;
};

// The dialog lists the kinds' objects preset to their rows; a row chosen on a tab is stored on OK; the file has
// the choice, reads back, and leaves out the preview sphere, which is back in the world afterwards; the page is
// written beside it at the view's size.
TEST_F(Publish, TheDialogsChoicesAreStoredAndTheFileReadsBackWithoutThePreviewSphere)
{
    AddPreviewSphere();
    const std::string path = In("sample.vto");
    const SWcompressionscheme* chosen = SWcompressionschemes::Table().OfferedRows(SchemeKind::kMesh).back();
    sim().expectFile(path);
    sim().onModal(kIddPublish, [&](pf::Dialog& d) {
        auto& dialog = static_cast<CVTND_PublishDlg&>(d);
        for (const CVTND_PublishDlg::Entry& entry : dialog.Entries()) {
            EXPECT_NE(entry.name, "MaterialSphereMesh");
            EXPECT_EQ(entry.row, SWcompressionschemes::Table().DefaultOf(entry.kind)) << entry.name;
        }
        ASSERT_TRUE(designertest::ChooseSchemeForEveryMesh(sim(), d, chosen));
        auto* list = d.item<pf::ListView>(kIdcPublishList);
        ASSERT_GT(list->getItemCount(), 0);
        for (int32_t item = 0; item < list->getItemCount(); ++item)
            EXPECT_EQ(list->getItemText(item, 1), chosen->GetShortName());
        for (int32_t tab = 0; tab < 5; ++tab) {
            ASSERT_TRUE(sim().selectTab(*d.item<pf::TabControl>(kIdcPublishTabs), tab));
            sim().pump();
            d.writePng(artifactPath("publish-dialog-tab-" + std::to_string(tab) + ".png"));
        }
        sim().click(*d.child(pf::IDOK));
    });
    designertest::WaitThroughThePublish(sim());
    ASSERT_TRUE(designer->Publish());
    EXPECT_TRUE(ui().strictFailures().empty());
    EXPECT_TRUE(HasGeometry(*world, "MaterialSphereMesh")) << "the sphere is back";
    SWmeshnode* cube = dynamic_cast<SWmeshnode*>(NodeNamed(*world, "cube"));
    ASSERT_NE(cube, nullptr);
    EXPECT_EQ(cube->GetMeshObject()->GetScheme(), chosen);

    const WorldLoadResult loaded = LoadWorldFile(path, SWreadcontext::IdMode::kFresh);
    ASSERT_EQ(loaded.status, DocumentStatus::kOk) << loaded.message;
    EXPECT_TRUE(loaded.skipped.empty());
    EXPECT_FALSE(HasGeometry(*loaded.world, "MaterialSphereMesh"));
    EXPECT_NE(NodeNamed(*loaded.world, "cube"), nullptr);
    const std::string page = FileText(HtmlPagePath(path));
    const pf::Rect client = designer->ActiveView()->clientRect();
    EXPECT_NE(page.find("src=\"sample.vto\""), std::string::npos) << page;
    EXPECT_NE(page.find("width=\"" + std::to_string(client.width()) + "\" height=\"" + std::to_string(client.height()) +
                        "\""),
              std::string::npos);
    EXPECT_NE(page.find(kPublishedMimeType), std::string::npos);
}

// The geometry page says before the publish how each mesh will be stored: the geometry codec's row keeps no mesh
// whose node has vertex frames. Meshes of one name (each added scene keeps its own) are told apart by their nodes.
TEST_F(Publish, TheGeometryPageMarksAMeshStoredUncompressedAndTellsSameNamedMeshesApart)
{
    const SWcompressionscheme* codec = SWcompressionschemes::Table().FindById(MakeTag("IMES"));
    ASSERT_NE(codec, nullptr);
    {
        const SWworldlock hold(*world);
        auto* cube = dynamic_cast<SWmeshnode*>(NodeNamed(*world, "cube"));
        ASSERT_NE(cube, nullptr);
        auto frames = std::make_unique<VertexFrameTable>();
        ASSERT_TRUE(frames->Allocate(2, cube->GetMeshObject()->GetVertexCount()));
        cube->SetVertexFrameTable(std::move(frames));
        auto other = std::make_unique<SWmeshobject>();
        other->SetVertices({0, 0, 0, 1, 0, 0, 0, 1, 0});
        other->SetName("floor");
        auto* second =
            new SWmeshnode(static_cast<SWmeshobject*>(world->GetRootObject()->AddGeometry(std::move(other))));
        second->SetName(std::string("upper floor"));
        world->AddNode(second, nullptr);
        for (SWgeometry* g = world->GetRootObject()->GetFirstGeometry(); g != nullptr;
             g = dynamic_cast<SWgeometry*>(g->GetNextSibling()))
            if (auto* mesh = dynamic_cast<SWmeshobject*>(g))
                mesh->SetScheme(codec);
    }
    std::vector<std::pair<std::string, std::string>> rows; // name, note
    sim().onModal(kIddPublish, [&](pf::Dialog& d) {
        ASSERT_TRUE(sim().selectTab(*d.item<pf::TabControl>(kIdcPublishTabs), 3)); // geometry
        auto* list = d.item<pf::ListView>(kIdcPublishList);
        for (int32_t item = 0; item < list->getItemCount(); ++item)
            rows.emplace_back(list->getItemText(item, 0), list->getItemText(item, 2));
        sim().click(*d.child(pf::IDCANCEL));
    });
    EXPECT_FALSE(designer->PublishTo(In("sample.vto")));
    const auto note = [&](const std::string& name) {
        const auto row = std::find_if(rows.begin(), rows.end(), [&](const auto& r) { return r.first == name; });
        return row != rows.end() ? row->second : "(not listed)";
    };
    EXPECT_EQ(note("cube"), "stored uncompressed: the vertex frames of its node address vertices by index");
    EXPECT_EQ(note("floor (floor)"), codec->GetLongName());
    EXPECT_EQ(note("floor (upper floor)"), codec->GetLongName());
    EXPECT_EQ(rows.size(), 3u);
}

// Every offered row of every kind publishes a file that reads back; a sound published twice with the wave codec's
// row keeps the author's quality.
TEST_F(Publish, EveryOfferedRowReadsBackAndTheWaveCodecKeepsTheSoundsQuality)
{
    const std::string wave = In("tone.wav");
    WriteWave(wave);
    SWsound* sound = nullptr;
    {
        const SWworldlock hold(*world);
        auto made = std::make_unique<SWsound>();
        made->SetName("tone");
        made->SetFileName(wave);
        made->SetQualityPercent(40);
        sound = world->GetSoundList().Add(std::move(made));
    }
    const SWcompressionschemes& table = SWcompressionschemes::Table();
    SWmeshnode* cube = dynamic_cast<SWmeshnode*>(NodeNamed(*world, "cube"));
    ASSERT_NE(cube, nullptr);
    for (const SchemeKind kind : {SchemeKind::kSound, SchemeKind::kMesh, SchemeKind::kKeyFrames}) {
        for (const SWcompressionscheme* row : table.OfferedRows(kind)) {
            SCOPED_TRACE(row->GetShortName());
            {
                const SWworldlock hold(*world);
                if (kind == SchemeKind::kSound)
                    sound->SetScheme(row);
                else if (kind == SchemeKind::kMesh)
                    cube->GetMeshObject()->SetScheme(row);
                else
                    cube->SetKeyFrameSchemeId(row->GetId());
            }
            const std::string path = In("rows.vto");
            for (int time = 0; time < 2; ++time) {
                CVTN_SyncEvent finished(true, false);
                const CVTND_PublishResult result = PublishWorld(*world, {path, false, 320, 240}, &finished);
                ASSERT_TRUE(result.ok) << result.message;
                EXPECT_TRUE(finished.IsSet());
                EXPECT_EQ(sound->GetQualityPercent(), 40u);
            }
            const WorldLoadResult loaded = LoadWorldFile(path, SWreadcontext::IdMode::kFresh);
            ASSERT_EQ(loaded.status, DocumentStatus::kOk) << loaded.message;
            EXPECT_TRUE(loaded.skipped.empty());
            EXPECT_EQ(loaded.world->GetSoundList().Count(), 1u);
        }
    }
}

// A folder that cannot take the file: one box naming it, no file and no temporary left, the event set and the
// world free again; an old file and page stand as they were.
TEST_F(Publish, AFailedPublishLeavesNoPartialFileReleasesTheWorldAndSignals)
{
    std::filesystem::create_directories(In("blocked"));
    const std::string inFile = In("blocker") + "/x.vto"; // a folder path through a plain file
    ASSERT_TRUE(pf::writeFileAtomically(In("blocker"), "a file, not a folder"));
    designertest::WaitThroughThePublish(sim());
    sim().expectMessageBox(pf::IDOK);
    EXPECT_FALSE(designer->PublishTo(inFile, false));
    ASSERT_EQ(ui().providers().scriptedMessageBox().calls().size(), 1u);
    const std::string& box = ui().providers().scriptedMessageBox().calls()[0].text;
    EXPECT_NE(box.find(inFile), std::string::npos) << box;
    EXPECT_EQ(box.find(inFile), box.rfind(inFile)) << "named once: " << box;
    EXPECT_TRUE(designer->GetSaveFinished().IsSet());
    std::atomic<bool> locked{false};
    std::thread([&] {
        const SWworldlock hold(*world);
        locked = true;
    }).join();
    EXPECT_TRUE(locked);
    EXPECT_EQ(FileText(In("blocker")), "a file, not a folder");

    // Over a good old file and page: the page's write fails (its name is taken by a folder), the old page stays.
    const std::string path = In("kept.vto");
    ASSERT_TRUE(pf::writeFileAtomically(path, "old world"));
    std::filesystem::create_directories(HtmlPagePath(path)); // cannot be replaced by a file
    CVTN_SyncEvent finished(true, false);
    const CVTND_PublishResult result = PublishWorld(*world, {path, true, 320, 240}, &finished);
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.message.find("kept.html"), std::string::npos) << result.message;
    EXPECT_EQ(result.message.find("kept.html"), result.message.rfind("kept.html")) << "named once";
    EXPECT_TRUE(finished.IsSet());
    EXPECT_TRUE(std::filesystem::is_directory(HtmlPagePath(path)));
    EXPECT_EQ(LoadWorldFile(path, SWreadcontext::IdMode::kFresh).status, DocumentStatus::kOk)
        << "the world file is the new one, whole";
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        EXPECT_NE(entry.path().filename().string().front(), '.') << "a temporary was left: " << entry.path();
}

// The page takes the file's name as its source: quotes, angle brackets and ampersands cannot end the attribute
// or add markup.
TEST(PublishPage, TheFileNameIsEscapedInTheSourceAndTheTitle)
{
    const std::string page = MakeHtmlPage("a\"b<script>&'.vto", 640, 480);
    EXPECT_EQ(page.find("<script>"), std::string::npos);
    EXPECT_EQ(page.find("a\"b"), std::string::npos);
    EXPECT_NE(page.find("src=\"a&quot;b&lt;script&gt;&amp;&#39;.vto\""), std::string::npos) << page;
    EXPECT_NE(page.find("<title>a&quot;b&lt;script&gt;&amp;&#39;.vto</title>"), std::string::npos);
    EXPECT_NE(page.find("width=\"640\" height=\"480\""), std::string::npos);
    EXPECT_EQ(HtmlPagePath("/x/y.world.vto"), "/x/y.world.html");
}

// A writer held between resources: the wait dialog's bar and words show every step as the worker reaches it.
std::atomic<int> g_released{0};
std::atomic<int> g_written{0};
constexpr int kHeldResources = 4;

bool HeldTextures(SWworldwriting& out, uint32_t rootIndex)
{
    const std::optional<uint32_t> list = out.AddRecord(WorldSectionTag(WorldSection::kTextures), rootIndex, nullptr);
    for (int i = 0; list && i < kHeldResources; ++i) {
        while (g_released.load() <= i)
            std::this_thread::sleep_for(1ms);
        if (!out.AddRecord(MakeTag("HELD"), *list, [](SWchunkstream& s) { return s.WriteU32(7); }))
            return false;
        g_written = i + 1;
    }
    while (list && g_released.load() <= kHeldResources) // held once more, until the last step was seen
        std::this_thread::sleep_for(1ms);
    return list.has_value();
}

TEST_F(Publish, TheWaitDialogShowsEachStepOfAWriterHeldBetweenResources)
{
    static const SWworldsectionhandler kHeld = {&HeldTextures, nullptr, nullptr, nullptr, nullptr};
    const SWworldsectionhandler* real = ReplaceWorldSectionHandler(WorldSection::kTextures, &kHeld);
    g_released = 0;
    g_written = 0;
    std::vector<std::string> seen;
    std::vector<int32_t> positions;
    designertest::WaitThroughThePublish(sim(), [&](CVTND_WaitDlg& wait) {
        const std::string text = wait.child(kIdcWaitText)->text();
        const int32_t position = wait.item<pf::ProgressBar>(kIdcWaitBar)->getPos();
        if (seen.empty() || seen.back() != text) {
            seen.push_back(text);
            positions.push_back(position);
            if (position == 2) {
                sim().pump();
                wait.writePng(artifactPath("publish-wait-dialog.png"));
            }
        }
        // The next resource only once the dialog has shown this one.
        if (g_released.load() == g_written.load() && position == g_written.load() &&
            g_released.load() <= kHeldResources)
            ++g_released;
    });
    const bool published = designer->PublishTo(In("held.vto"), false);
    ReplaceWorldSectionHandler(WorldSection::kTextures, real);
    ASSERT_TRUE(published);
    for (int i = 1; i <= kHeldResources; ++i) {
        const std::string prefix = "Writing textures: " + std::to_string(i) + " of ";
        const auto at =
            std::find_if(seen.begin(), seen.end(), [&](const std::string& t) { return t.starts_with(prefix); });
        ASSERT_NE(at, seen.end()) << prefix << " among " << ::testing::PrintToString(seen);
        EXPECT_EQ(positions[static_cast<size_t>(at - seen.begin())], i);
    }
}

// The published world plays in a frame of its own at once; a click on its cube switches its background, as in the
// browser; closing the frame stops it and lets the render thread go before the world goes. A damaged file is one
// box and no frame.
// Start, a click on the cube, Stop: the cube is back at rest and the background the click chose is gone, so the
// project saves to the bytes it had before; the save and publish dialogs propose the project's own name.
TEST_F(Publish, APreviewChangesNothingSavedAndTheDialogsProposeTheProjectsName)
{
    ASSERT_TRUE(designer->SaveTo(In("garden.vtp")));
    const std::string before = FileText(In("garden.vtp"));
    SWobjectnode* cube = SWobjectnode::FromNode(NodeNamed(*world, "cube"));
    const SWmatrix rest = cube->GetLocalMatrix();
    CChildRenderView& view = *designer->ActiveView();
    view.move(pf::Rect::fromXywh(0, 0, 320, 240));
    ASSERT_TRUE(designer->StartPreview());
    ASSERT_TRUE(WaitFor(sim(), [&] {
        const SWworldlock hold(*world);
        return !(cube->GetLocalMatrix() == rest) && world->PickNode(160, 120) == cube;
    }));
    sim().click(view, {160, 120});
    ASSERT_TRUE(WaitFor(sim(), [&] {
        const SWworldlock hold(*world);
        return world->GetRootObject()->GetBackground()->GetColour() != kSampleBackground;
    }));
    ASSERT_TRUE(designer->StopPreview());
    {
        const SWworldlock hold(*world);
        EXPECT_EQ(world->GetRootObject()->GetBackground()->GetColour(), kSampleBackground);
        EXPECT_TRUE(cube->GetLocalMatrix() == rest);
    }
    sim().advance(100); // frames after the stop move nothing
    ASSERT_TRUE(designer->SaveTo(In("after.vtp")));
    EXPECT_TRUE(FileText(In("after.vtp")) == before);
    const pf::Point corner = view.clientToScreen({2, 2});
    EXPECT_TRUE(WaitFor(sim(), [&] { return pf::screenPixel(corner) == kSampleBackground; }));

    sim().expectFile(std::nullopt);
    EXPECT_FALSE(designer->SaveAs());
    sim().expectFile(std::nullopt);
    EXPECT_FALSE(designer->Publish());
    sim().expectFile(std::nullopt);
    EXPECT_FALSE(designer->Snapshot());
    const auto& asked = ui().providers().scriptedFile().calls();
    ASSERT_EQ(asked.size(), 3u);
    EXPECT_EQ(asked[0].fileName, In("after.vtp"));
    EXPECT_EQ(asked[1].fileName, "after.vto");
    // With no folder chosen yet for their kinds, each starts in the project's folder, not the working folder.
    for (const auto& call : asked)
        EXPECT_EQ(call.initialDirectory, std::filesystem::path(In("after.vtp")).parent_path().string()) << call.title;
    // Once a publish went elsewhere, an open project's own folder still comes first for its published file.
    const std::filesystem::path elsewhere = std::filesystem::path(folder) / "elsewhere";
    std::filesystem::create_directories(elsewhere);
    designer->GetApp()->GetSettings()->SetDirectory(BrowseCategory::kPublished, elsewhere.string());
    sim().expectFile(std::nullopt);
    EXPECT_FALSE(designer->Publish());
    ASSERT_EQ(asked.size(), 4u);
    EXPECT_EQ(asked[3].initialDirectory, folder);
}

// A move typed in Manipulate is where the cube rests: a preview starts from it and its stop comes back to it, and
// it is saved. A save or a recovery copy while the preview runs stores the project as made (the cube unturned, the
// floor the start event hides shown), and so does a save after it.
TEST_F(Publish, EditsSurviveThePreviewAndASaveDuringItStoresTheProjectAsMade)
{
    SWobjectnode* cube = SWobjectnode::FromNode(NodeNamed(*world, "cube"));
    SWnode* floor = NodeNamed(*world, "floor");
    {
        const SWworldlock hold(*world);
        SWevent* start = world->GetFirstEvent(); // the sample's world-start event, which turns the cube
        SWactionnode* hide = start->CreateAction(world->GetActionCategories().FindKind(21));
        ASSERT_NE(hide, nullptr);
        hide->AddArgument("floor", SWdatanode::kString, true);
        const uint8_t on = 1; // the textures' filtering, another byte the project stores
        start->CreateAction(world->GetActionCategories().FindKind(23))->AddArgument(&on, SWdatanode::kByte, true);
        // A hot spot's label and the camera's eye and stereo values, which the project stores too.
        auto* spot = new SWhotspot;
        spot->SetName(std::string("label"));
        world->AddNode(spot, nullptr);
        start->CreateAction(world->GetActionCategories().FindKind(58))->AddArgument("label", SWdatanode::kString, true);
        auto* stereo = dynamic_cast<SWstereoaction*>(start->CreateAction(world->GetActionCategories().FindKind(37)));
        ASSERT_NE(stereo, nullptr);
        stereo->settings.eye = 3;
        stereo->settings.stereoOn = 0;
        stereo->AddArgument("camera", SWdatanode::kString, true);
    }
    auto* spot = dynamic_cast<SWhotspot*>(NodeNamed(*world, "label"));
    auto* camera = dynamic_cast<SWcameranode*>(NodeNamed(*world, "camera"));
    ASSERT_TRUE(spot != nullptr && camera != nullptr);
    const uint8_t label = spot->GetLabelState();
    const uint8_t eye = camera->GetEye();
    const float separation = camera->GetCameraObject()->GetFirstStereoValue();
    SWtexture* checker = world->FindTextureByName("checker");
    ASSERT_NE(checker, nullptr);
    const uint32_t flags = checker->GetTextureFlags();
    ASSERT_EQ(flags & SWtexture::kFlagBilinear, 0u);
    auto* manipulate = dynamic_cast<CVTND_ManipulateDlg*>(designer->GetApp()->GetPanel(PanelRole::kManipulate));
    ASSERT_NE(manipulate, nullptr);
    manipulate->SelectNode(CVTND_Object(static_cast<SWnode*>(cube)), true);
    CVTND_Pose pose;
    pose.position = {0.0f, 3.0f, 0.0f};
    ASSERT_TRUE(manipulate->ApplyPose(pose));
    const SWmatrix set = MatrixOf(pose);
    const auto readBack = [&](const std::string& name) {
        CVTND_Project::LoadResult loaded = CVTND_Project::LoadFile(In(name));
        EXPECT_TRUE(loaded.ok()) << name;
        if (!loaded.ok())
            return;
        const auto* savedCube = SWobjectnode::FromNode(NodeNamed(*loaded.world, "cube"));
        const SWnode* savedFloor = NodeNamed(*loaded.world, "floor");
        ASSERT_TRUE(savedCube != nullptr && savedFloor != nullptr);
        EXPECT_EQ(savedCube->GetLocalMatrix(), set) << name;
        EXPECT_FALSE(savedFloor->GetGeometry()->IsHidden()) << name;
        EXPECT_TRUE(savedFloor->GetGeometry()->IsVisible()) << name;
        const SWtexture* savedChecker = loaded.world->FindTextureByName("checker");
        ASSERT_NE(savedChecker, nullptr);
        EXPECT_EQ(savedChecker->GetTextureFlags(), flags) << name;
        const auto* savedSpot = dynamic_cast<const SWhotspot*>(NodeNamed(*loaded.world, "label"));
        const auto* savedCamera = dynamic_cast<const SWcameranode*>(NodeNamed(*loaded.world, "camera"));
        ASSERT_TRUE(savedSpot != nullptr && savedCamera != nullptr);
        EXPECT_EQ(savedSpot->GetLabelState(), label) << name;
        EXPECT_EQ(savedCamera->GetEye(), eye) << name;
    };
    const auto runUntilTurnedAndHidden = [&] {
        ASSERT_TRUE(designer->StartPreview());
        ASSERT_TRUE(WaitFor(sim(), [&] {
            const SWworldlock hold(*world);
            return !(cube->GetLocalMatrix() == set) && floor->GetGeometry()->IsHidden() &&
                   (checker->GetTextureFlags() & SWtexture::kFlagBilinear) != 0 && spot->GetLabelState() != label &&
                   camera->GetEye() == 3;
        }));
    };

    designer->WriteRecoveryCopy();
    runUntilTurnedAndHidden();
    designer->WriteRecoveryCopy(); // a copy taken now holds the project as made too
    readBack("recovery.vtp");
    ASSERT_TRUE(designer->SaveTo(In("during.vtp")));
    EXPECT_FALSE(designer->IsPreviewRunning());
    readBack("during.vtp");

    runUntilTurnedAndHidden();
    ASSERT_TRUE(designer->StopPreview());
    {
        const SWworldlock hold(*world);
        EXPECT_EQ(cube->GetLocalMatrix(), set);
        EXPECT_EQ(cube->GetInitialMatrix(), set);
        EXPECT_FALSE(floor->GetGeometry()->IsHidden());
        EXPECT_EQ(checker->GetTextureFlags(), flags);
        EXPECT_EQ(spot->GetLabelState(), label);
        EXPECT_EQ(camera->GetEye(), eye);
        EXPECT_EQ(camera->GetCameraObject()->GetFirstStereoValue(), separation);
    }
    ASSERT_TRUE(designer->SaveTo(In("after.vtp")));
    readBack("after.vtp");
}

// A world the preview loads (its start event) is the preview's: its room, picked in the scene graph, is what
// Manipulate, Properties and the selection hold. The cube's click unloads it while the preview runs, and a second
// run is stopped with it loaded: either way each holder lets go before the node goes, and the project saves to the
// bytes it had before.
TEST_F(Publish, AWorldThePreviewLoadsGoesAnnouncedByItsUnloadOrTheStopAndIsNotSaved)
{
    {
        SWworld room;
        auto* box = new SWobjectnode;
        box->SetName(std::string("room-box"));
        room.AddNode(box, nullptr);
        ASSERT_EQ(SaveWorldFile(room, WorldFileMode::kScene, In("room.vtn")), DocumentStatus::kOk);
        const SWworldlock hold(*world);
        world->GetSubWorlds().Add(std::string("room"))->SetFileName(In("room.vtn"));
        auto* load = dynamic_cast<SWimportvtoactionnode*>(
            world->GetFirstEvent()->CreateAction(world->GetActionCategories().FindKind(54)));
        ASSERT_NE(load, nullptr);
        load->settings.byte1 = 0;
        load->AddArgument("room", SWdatanode::kString, true);
        SWevent* clicked = SWevents::GetNextEvent(world->GetFirstEvent());
        auto* unload =
            dynamic_cast<SWunloadworldaction*>(clicked->CreateAction(world->GetActionCategories().FindKind(55)));
        ASSERT_NE(unload, nullptr);
        unload->byte1 = 1; // every instance
        unload->AddArgument("room", SWdatanode::kString, true);
    }
    ASSERT_TRUE(designer->SaveTo(In("garden.vtp")));
    const std::string before = FileText(In("garden.vtp"));
    CChildRenderView& view = *designer->ActiveView();
    view.move(pf::Rect::fromXywh(0, 0, 320, 240));
    CVTNDesignerApp& app = *designer->GetApp();
    auto& graph = dynamic_cast<CVTND_ScenegraphDlg&>(*app.GetPanel(PanelRole::kSceneGraph));
    auto& manipulate = dynamic_cast<CVTND_ManipulateDlg&>(*app.GetPanel(PanelRole::kManipulate));
    SWobjectnode* cube = SWobjectnode::FromNode(NodeNamed(*world, "cube"));
    const void* picked = nullptr; // compared, never followed
    const auto pickLoadedRoom = [&] {
        SWnode* box = nullptr;
        ASSERT_TRUE(WaitFor(sim(), [&] {
            const SWworldlock hold(*world);
            box = NodeNamed(*world, "room-box");
            return box != nullptr && world->PickNode(160, 120) == cube;
        }));
        graph.Refill(); // as any move in the tree refills it
        ASSERT_TRUE(graph.GetTree()->selectItem(graph.FindItem(box)));
        ASSERT_EQ(manipulate.GetSingleSelection().GetObject(), box);
        ASSERT_EQ(app.GetSelectionCount(), 1u);
        picked = box;
    };
    const auto expectLetGo = [&] {
        EXPECT_EQ(NodeNamed(*world, "room-box"), nullptr);
        EXPECT_EQ(graph.FindItem(picked), 0u);
        EXPECT_TRUE(manipulate.GetSingleSelection().IsEmpty());
        EXPECT_EQ(app.GetSelectionCount(), 0u);
        EXPECT_FALSE(manipulate.ApplyPose(CVTND_Pose())); // Set, clicked on what Manipulate shows
        sim().advance(100);                               // the panels paint
    };

    ASSERT_TRUE(designer->StartPreview());
    pickLoadedRoom();
    sim().click(view, {160, 120});
    ASSERT_TRUE(WaitFor(sim(), [&] {
        const SWworldlock hold(*world);
        return NodeNamed(*world, "room-box") == nullptr;
    }));
    expectLetGo();
    ASSERT_TRUE(designer->StopPreview());

    ASSERT_TRUE(designer->StartPreview());
    pickLoadedRoom();
    ASSERT_TRUE(designer->StopPreview());
    expectLetGo();
    ASSERT_TRUE(designer->SaveTo(In("after.vtp")));
    EXPECT_TRUE(FileText(In("after.vtp")) == before);
}

// Tools > Scale and Centre, fitting the whole scene to the render window: the project is modified, and the scene
// is as wide as the camera sees and still drawn in the view's middle.
TEST_F(Publish, ScaleAndCentreMarksTheProjectModifiedAndItsFitKeepsTheSceneInView)
{
    ASSERT_TRUE(designer->SaveTo(In("garden.vtp")));
    CChildRenderView& view = *designer->ActiveView();
    view.move(pf::Rect::fromXywh(0, 0, 640, 480));
    const pf::Point middle = view.clientToScreen({320, 240});
    ASSERT_TRUE(WaitFor(sim(), [&] { return pf::screenPixel(middle) != kSampleBackground; }));
    sim().onModal(CVTND_ToolsScaleCenterDlg::kIdd, [&](pf::Dialog& d) { sim().click(*d.child(1163)); });
    designer->RunTool(kCmdScaleCenter);
    EXPECT_TRUE(designer->GetApp()->IsModified());
    const SWcameraobject* lens = world->GetCurrentViewCamera()->GetCameraObject();
    const SWbbox box = GetNodeBoundingBox(*world->GetRootNode(), true);
    EXPECT_NEAR(box.Extents()[1] - box.Extents()[0],
                2.0f * std::tan(lens->GetFieldOfView() / 2.0f) * lens->GetDepthCentre(), 1e-3f);
    sim().advance(100);
    EXPECT_TRUE(WaitFor(sim(), [&] { return pf::screenPixel(middle) != kSampleBackground; }));
}

TEST_F(Publish, APublishedWorldPlaysInAPlayerAndAClickOnItsCubeSwitchesItsBackground)
{
    const std::string path = In("play.vto");
    CVTN_SyncEvent finished(true, false);
    ASSERT_TRUE(PublishWorld(*world, {path, false, 320, 240}, &finished).ok);
    designer->ActiveView()->move(pf::Rect::fromXywh(0, 0, 320, 240));
    CChildRenderFrame* player = designer->OpenPublishedFile(path);
    ASSERT_NE(player, nullptr);
    CChildRenderView& view = player->View();
    EXPECT_EQ(view.clientRect().width(), 320);
    EXPECT_EQ(view.clientRect().height(), 240);
    SWworld& played = view.GetWorld();
    EXPECT_NE(&played, static_cast<SWworld*>(world));
    EXPECT_TRUE(played.IsRunning());
    EXPECT_FALSE(world->IsRunning()) << "the project's preview is not started";
    EXPECT_TRUE(designer->IsPreviewRunning()) << "Start and Stop follow the active player";

    const pf::Point corner = view.clientToScreen({2, 2});
    ASSERT_TRUE(WaitFor(sim(), [&] { return pf::screenPixel(corner) == kSampleBackground; }));
    // The cube turns: the middle of where it is now stays on it.
    pf::Rect hits{320, 240, 0, 0};
    {
        const SWworldlock hold(played);
        SWnode* cube = NodeNamed(played, "cube");
        for (int32_t y = 0; y < 240; y += 2)
            for (int32_t x = 0; x < 320; x += 2)
                if (played.PickNode(x, y) == cube)
                    hits = {std::min(hits.l, x), std::min(hits.t, y), std::max(hits.r, x), std::max(hits.b, y)};
    }
    ASSERT_LT(hits.l, hits.r) << "the cube is in the view";
    const pf::Point onCube{(hits.l + hits.r) / 2, (hits.t + hits.b) / 2};
    sim().click(view, onCube);
    const bool switched = WaitFor(sim(), [&] { return pf::screenPixel(corner) != kSampleBackground; });
    if (!switched) {
        const SWworldlock hold(played);
        ADD_FAILURE() << "no switch seen; the world's background " << std::hex
                      << played.GetRootObject()->GetBackground()->GetColour() << std::dec << " at " << onCube.x << ","
                      << onCube.y << " pick " << (played.PickNode(onCube.x, onCube.y) != nullptr) << " under "
                      << ui().windowFromPoint(view.clientToScreen(onCube)) << " view " << view.hwnd();
    }
    ASSERT_TRUE(switched);
    sim().pump();
    designer->GetMainFrame()->writePng(artifactPath("player-frame.png"));

    EXPECT_TRUE(designer->StopPreview());
    EXPECT_FALSE(played.IsRunning());
    player->destroy();
    ui().pump();
    EXPECT_TRUE(designer->Players().empty());

    ASSERT_TRUE(pf::writeFileAtomically(In("damaged.vto"), "VTNF0951 and nothing that holds"));
    sim().expectMessageBox(pf::IDOK);
    EXPECT_EQ(designer->OpenPublishedFile(In("damaged.vto")), nullptr);
    ASSERT_EQ(ui().providers().scriptedMessageBox().calls().size(), 1u);
    EXPECT_NE(ui().providers().scriptedMessageBox().calls()[0].text.find("damaged.vto"), std::string::npos);
    EXPECT_TRUE(designer->Players().empty());
}

// A still view is refined over several jittered frames; a picture is only comparable once that has settled. The
// refinement is seen restarting first, so that a state settled before the view changed is not taken for it.
std::unique_ptr<pf::Surface32> SettledPicture(pf::UserSim& sim, CChildRenderView& view)
{
    const auto settled = [&] {
        const SWworldlock hold(view.GetWorld());
        SWwindow* window = view.GetEngineWindow();
        return window != nullptr && window->GetRenderer() != nullptr && window->GetRenderer()->IsAntialiasingDone();
    };
    EXPECT_TRUE(WaitFor(sim, [&] { return !settled(); })) << "the view was drawn again";
    EXPECT_TRUE(WaitFor(sim, settled));
    sim.pump();
    const pf::Rect client = view.clientRect();
    const pf::Point origin = view.clientToScreen({0, 0});
    return pf::captureScreen(pf::Rect::fromXywh(origin.x, origin.y, client.width(), client.height()));
}

// With the default rows nothing is lost on the way: the player shows, pixel for pixel, what the preview showed.
TEST_F(Publish, APublishedWorldPlaysPixelForPixelAsItPreviewed)
{
    {
        const SWworldlock hold(*world);
        while (SWevent* event = world->GetFirstEvent())
            world->DeleteEvent(event);
    }
    CChildRenderView& design = *designer->ActiveView();
    design.move(pf::Rect::fromXywh(0, 0, 320, 240));
    ASSERT_TRUE(designer->StartPreview());
    const std::unique_ptr<pf::Surface32> previewed = SettledPicture(sim(), design);
    ASSERT_TRUE(designer->StopPreview());
    const std::string path = In("same.vto");
    ASSERT_TRUE(PublishWorld(*world, {path, false, 320, 240}, nullptr).ok);
    CChildRenderFrame* player = designer->OpenPublishedFile(path);
    ASSERT_NE(player, nullptr);
    const std::unique_ptr<pf::Surface32> played = SettledPicture(sim(), player->View());
    const pf::ImageDifference difference = pf::compareSurfaces(*previewed, *played, 0);
    EXPECT_FALSE(difference.sizeMismatch);
    EXPECT_EQ(difference.differing, 0u);
    player->destroy();
    ui().pump();
}

} // namespace
