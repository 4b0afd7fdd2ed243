// The designer on a real X server while it works: a long open shows the wait cursor on the screen while the window
// cannot answer, and the sample opened, saved or looked at in an editor is not taken for changed work.
#include <X11/keysym.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include <gtest/gtest.h>

#include "apps/vortan/tests/designer_desktop.h"
#include "designer/app/designer_app.h"
#include "designer/app/project_object.h"
#include "designer/app/project_records.h"
#include "designer/editors/controller_editor.h"
#include "engine/behaviour/action_node.h"
#include "engine/behaviour/event.h"
#include "engine/core/object_node.h"
#include "engine/core/type_tag.h"
#include "engine/core/world.h"
#include "platform/base/user_constants.h"
#include "platform/settings/settings_backend.h"
#include "platform/ui/controls/trackbar.h"

namespace designertest {
namespace {

// What the screen showed as the project's event map layout was read, in the middle of the open.
pf::SdlBackend* g_backend = nullptr;
std::vector<uint32_t> g_cursorsSeen;
const CVTND_ProjectRecordHandler* g_layoutHandler = nullptr;

ProjectRecordRead ReadLayoutLookingAtTheCursor(CVTND_ProjectReading& in, uint32_t tag, SWchunkstream& payload)
{
    if (g_backend != nullptr)
        g_cursorsSeen.push_back(g_backend->shownCursorId());
    return g_layoutHandler->read(in, tag, payload);
}

using KeptWorkLive = SampleDesignerLive;

// The enabled object nodes not at their rest matrix.
int PosedNodes(SWworld& world)
{
    const SWworldlock hold(world);
    int posed = 0;
    SWnode* const root = world.GetRootNode();
    for (SWnode* n = root; n != nullptr; n = n->NextInTree(root))
        if (const SWobjectnode* object = SWobjectnode::FromNode(n); object != nullptr && object->IsEnabled())
            posed += object->GetLocalMatrix() != object->GetInitialMatrix() ? 1 : 0;
    return posed;
}

// The bundled sample, copied into the case's folder, opened and unmodified.
std::filesystem::path OpenSampleCopy(CVTND_Designer& designer, const std::filesystem::path& folder)
{
    const std::filesystem::path built =
        std::filesystem::path(VORTAN_EXECUTABLE).parent_path().parent_path().parent_path() / "samples/sample.vtp";
    const std::filesystem::path path = folder / "sample.vtp";
    std::filesystem::copy_file(built, path);
    if (!designer.OpenProjectFile(path.string()))
        return {};
    return path;
}

// Opening a project holds the UI thread for as long as the read takes: the wait cursor is on the screen meanwhile,
// and the one before it once the open is done. It was set and put back before the screen ever showed it.
TEST_F(KeptWorkLive, TheWaitCursorIsShownWhileAProjectOpens)
{
    StartInFolder("vortan-wait-cursor");
    const std::string path = (folder / "waiting.vtp").string();
    ASSERT_TRUE(designer.SaveTo(path));
    settle();
    ASSERT_NE(backend().shownCursorId(), pf::IDC_WAIT);

    const uint32_t layoutTag = MakeTag("PLAY");
    g_layoutHandler = FindProjectRecordHandler(layoutTag);
    ASSERT_NE(g_layoutHandler, nullptr);
    const CVTND_ProjectRecordHandler looking{g_layoutHandler->write, &ReadLayoutLookingAtTheCursor};
    ReplaceProjectRecordHandler(layoutTag, &looking);
    g_backend = &backend();
    g_cursorsSeen.clear();
    const bool opened = designer.OpenProjectFile(path);
    ReplaceProjectRecordHandler(layoutTag, g_layoutHandler);
    g_backend = nullptr;
    ASSERT_TRUE(opened);
    EXPECT_EQ(g_cursorsSeen, std::vector<uint32_t>{pf::IDC_WAIT});
    EXPECT_NE(backend().shownCursorId(), pf::IDC_WAIT) << "the wait cursor stayed";
}

// The bundled sample opened on a real screen and saved unchanged keeps every byte, and opening it marks nothing, so
// Exit asks nothing. The event map placed the sample's objects as it first drew them, and the save stored that
// layout in the project record the sample was written without.
TEST_F(KeptWorkLive, TheSampleOpenedAndSavedUnchangedKeepsEveryByte)
{
    StartInFolder("vortan-sample-kept");
    const auto bytes = [](const std::filesystem::path& file) {
        std::ifstream in(file, std::ios::binary);
        return std::vector<char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    };
    const std::filesystem::path path = OpenSampleCopy(designer, folder);
    ASSERT_FALSE(path.empty());
    const std::vector<char> before = bytes(path);
    ASSERT_FALSE(before.empty());
    settle(300);
    EXPECT_EQ(designer.GetApp()->IsModified(), 0) << "Exit would ask";
    ASSERT_TRUE(designer.SaveTo(path.string()));
    EXPECT_TRUE(bytes(path) == before);
}

// The sample's turn: its Details opened, the preview slider dragged (which turns the cube on the screen) and Escape
// pressed. The editor puts the cube back as it closes, so the project is as it was and Exit asks nothing. The cube
// was put back only after the project had been asked whether the editor changed it, which saw the turned cube.
TEST_F(KeptWorkLive, ThePreviewSliderDraggedAndEscapePressedLeaveTheProjectUnmodified)
{
    StartInFolder("vortan-slider-kept");
    ASSERT_FALSE(OpenSampleCopy(designer, folder).empty());
    settle(300);
    CVTNDesignerApp& app = *designer.GetApp();
    ASSERT_EQ(app.IsModified(), 0);
    SWevent* event = designer.GetWorld()->GetFirstEvent();
    SWactionnode* turn = event != nullptr ? event->GetFirstAction() : nullptr;
    ASSERT_NE(turn, nullptr);
    auto* details = dynamic_cast<CVTND_ActionControllerDlg*>(app.EditObject(CVTND_Object(turn), false));
    ASSERT_NE(details, nullptr);
    settle(300);
    auto* slider = details->item<pf::Trackbar>(1352);
    ASSERT_NE(slider, nullptr);
    pressAndMove(slider->clientToScreen(slider->pointForPos(0)),
                 slider->clientToScreen(slider->pointForPos(CVTND_ActionControllerDlg::kSliderRange / 3)));
    pf::liveServer().button(1, false);
    ASSERT_TRUE(runUntil([&] { return slider->getPos() > 0; })) << "the slider did not move";
    settle();
    EXPECT_GT(PosedNodes(*designer.GetWorld()), 0) << "the drag posed nothing";
    pf::liveServer().tap(XK_Escape);
    ASSERT_TRUE(runUntil([&] { return app.GetEditDialogs().empty(); })) << "Escape did not close the Details";
    settle();
    EXPECT_EQ(app.IsModified(), 0) << "Exit would ask";
    EXPECT_EQ(PosedNodes(*designer.GetWorld()), 0) << "a save would keep the pose";
}

} // namespace
} // namespace designertest
