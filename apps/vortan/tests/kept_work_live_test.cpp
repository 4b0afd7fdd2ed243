// The designer on a real X server while it works: a long open shows the wait cursor on the screen while the window
// cannot answer.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include <gtest/gtest.h>

#include "apps/vortan/tests/designer_desktop.h"
#include "designer/app/designer_app.h"
#include "designer/app/project_records.h"
#include "engine/core/type_tag.h"
#include "platform/base/user_constants.h"
#include "platform/settings/settings_backend.h"

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
    const std::filesystem::path built =
        std::filesystem::path(VORTAN_EXECUTABLE).parent_path().parent_path().parent_path() / "samples/sample.vtp";
    const std::filesystem::path path = folder / "sample.vtp";
    std::filesystem::copy_file(built, path);
    const auto bytes = [](const std::filesystem::path& file) {
        std::ifstream in(file, std::ios::binary);
        return std::vector<char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    };
    const std::vector<char> before = bytes(path);
    ASSERT_FALSE(before.empty());
    ASSERT_TRUE(designer.OpenProjectFile(path.string()));
    settle(300);
    EXPECT_EQ(designer.GetApp()->IsModified(), 0) << "Exit would ask";
    ASSERT_TRUE(designer.SaveTo(path.string()));
    EXPECT_TRUE(bytes(path) == before);
}

} // namespace
} // namespace designertest
