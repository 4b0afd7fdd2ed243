// The designer's files as a person meets them through its commands: a world read with records left out says so,
// naming the file and the records, wherever it was read; a project file another program changed is not saved over
// unasked; a project opened and saved unchanged keeps every byte; a scene's Java class is read beside the scene.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include <gtest/gtest.h>

#include "designer/app/extended_world.h"
#include "designer/app/main_frame.h"
#include "designer/app/project.h"
#include "designer/app/project_object.h"
#include "designer/app/publish_dialogs.h"
#include "designer/app/startup.h"
#include "designer/editors/loaded_background_dlg.h"
#include "designer/editors/synchronize_dlg.h"
#include "designer/eventedit/load_world_dlg.h"
#include "designer/workspace/java_dlg.h"
#include "engine/behaviour/action_node.h"
#include "engine/behaviour/event.h"
#include "engine/core/data_node.h"
#include "engine/core/document_file.h"
#include "engine/core/root_object.h"
#include "engine/core/sub_worlds.h"
#include "engine/core/type_tag.h"
#include "engine/core/world.h"
#include "engine/core/world_file.h"
#include "engine/resources/compression_scheme.h"
#include "engine/resources/geometry.h"
#include "engine/resources/sound.h"
#include "engine/resources/sound_list.h"
#include "platform/settings/file_backend.h"
#include "platform/settings/profile.h"
#include "platform/settings/settings_backend.h"
#include "platform/settings/settings_store.h"
#include "platform/testing/ui_fixture.h"
#include "platform/ui/controls/button.h"
#include "platform/ui/controls/combo_box.h"
#include "platform/ui/controls/list_view.h"
#include "platform/ui/controls/tab_control.h"
#include "platform/ui/controls/tree_view.h"
#include "platform/ui/providers/providers.h"
#include "testsupport/designer/sample_designer.h"
#include "testsupport/world/document_bytes.h"
#include "testsupport/world/sample_world.h"

namespace {

using namespace std::chrono_literals;

std::vector<uint8_t> Bytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void Write(const std::filesystem::path& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// The document at path written again with the first record of tag changed by damage: a whole container (its sum and
// length right) one of whose records does not read.
void DamageRecord(const std::filesystem::path& path, uint32_t tag,
                  const std::function<void(std::vector<uint8_t>&)>& damage)
{
    SWdocumentfile file;
    ASSERT_EQ(SWdocumentfile::Parse(Bytes(path), file), DocumentStatus::kOk);
    std::vector<documenttest::RawRecord> records;
    bool damaged = false;
    for (const DocumentRecord& record : file.Records()) {
        records.push_back(
            {record.tag, record.parentIndex, record.flags, {record.payload.begin(), record.payload.end()}});
        if (!damaged && record.tag == tag) {
            damage(records.back().payload);
            damaged = true;
        }
    }
    ASSERT_TRUE(damaged) << TagText(tag);
    char digits[5] = {};
    std::snprintf(digits, sizeof digits, "%04u", file.Header().version);
    Write(path, documenttest::FileOf(documenttest::BodyOf(records), true, digits));
}

// The payloads of a document's records but the project item's, which holds the window layout of the session.
std::vector<std::vector<uint8_t>> WorldRecords(const std::filesystem::path& path)
{
    SWdocumentfile file;
    EXPECT_EQ(SWdocumentfile::Parse(Bytes(path), file), DocumentStatus::kOk);
    std::vector<std::vector<uint8_t>> records;
    for (const DocumentRecord& record : file.Records())
        if (record.tag != MakeTag("2PRJ"))
            records.emplace_back(record.payload.begin(), record.payload.end());
    return records;
}

bool WaitFor(const std::function<bool()>& condition)
{
    const auto end = std::chrono::steady_clock::now() + designertest::kRenderThreadWait;
    while (!condition() && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(1ms);
    return condition();
}

class FileReports : public pf::UiFixture {
protected:
    void SetUp() override
    {
        UiFixture::SetUp();
        folder = std::filesystem::temp_directory_path() / ("vortan-file-reports-" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder);
        ASSERT_TRUE(designertest::StartOnSampleWorld(designer, folder));
        sim().pump();
    }
    void TearDown() override
    {
        designer.Exit();
        std::filesystem::remove_all(folder);
        UiFixture::TearDown();
    }
    CMainFrame& Frame() { return *designer.GetMainFrame(); }
    // A sample world whose sound is stored in it, written at path.
    void WriteScene(const std::filesystem::path& path, WorldFileMode mode = WorldFileMode::kScene)
    {
        worldtest::SampleWorldOptions options;
        options.soundFile = (folder / "tone.wav").string();
        ASSERT_TRUE(worldtest::WriteSampleTone(options.soundFile));
        const std::unique_ptr<SWworld> scene = worldtest::MakeSampleWorld(options);
        ASSERT_EQ(SaveWorldFile(*scene, mode, path.string()), DocumentStatus::kOk);
    }
    bool AddScene(const std::filesystem::path& path)
    {
        sim().onModal(CVTND_LoadedBackgroundDlg::kIdd,
                      [&](pf::Dialog& d) { sim().click(*d.item<pf::Button>(pf::IDCANCEL)); });
        sim().expectFile(path.string());
        const size_t before = designer.GetApp()->GetProject()->GetAddedFiles().Count();
        EXPECT_TRUE(sim().menuCommand(Frame(), kCmdAddSceneFile));
        sim().pump();
        return designer.GetApp()->GetProject()->GetAddedFiles().Count() > before;
    }
    std::string LastBox()
    {
        const auto& calls = ui().providers().scriptedMessageBox().calls();
        return calls.empty() ? std::string() : calls.back().text;
    }

    std::filesystem::path folder;
    designertest::EarlierReportsDropped earlierReports;
    CVTND_Designer designer;
};

// A published world one of whose compressed records does not decompress, and a scene one of whose records
// decompresses and does not read: File > Open Published World, File > Add Scene File and Tools > Synchronise each
// say which file left out which record. The published world opened as a partial player without a word.
TEST_F(FileReports, EveryLoadNamesTheFileAndTheRecordsLeftOut)
{
    const std::filesystem::path published = folder / "damaged.vto";
    WriteScene(published, WorldFileMode::kPublished);
    DamageRecord(published, MakeTag("CI24"), [](std::vector<uint8_t>& payload) { payload.resize(payload.size() / 2); });
    sim().expectFile(published.string());
    sim().expectMessageBox(pf::IDOK);
    ASSERT_TRUE(sim().menuCommand(Frame(), kCmdOpenPublished));
    sim().pump();
    EXPECT_EQ(designer.Players().size(), 1u);
    EXPECT_EQ(ui().providers().scriptedMessageBox().pending(), 0u) << "nothing was said";
    EXPECT_NE(LastBox().find(published.string() + ": a record could not be read"), std::string::npos) << LastBox();
    EXPECT_NE(LastBox().find("\"CI24\": compressed payload damaged"), std::string::npos) << LastBox();

    const std::filesystem::path scene = folder / "mute.vtn";
    WriteScene(scene);
    DamageRecord(scene, MakeTag("7403"), [](std::vector<uint8_t>& payload) { payload.resize(6); });
    sim().expectMessageBox(pf::IDOK);
    ASSERT_TRUE(AddScene(scene));
    EXPECT_EQ(ui().providers().scriptedMessageBox().pending(), 0u) << "nothing was said";
    EXPECT_NE(LastBox().find(scene.string() + ": a record could not be read"), std::string::npos) << LastBox();
    EXPECT_NE(LastBox().find("\"7403\": sound does not read"), std::string::npos) << LastBox();

    sim().onModal(CVTND_SynchronizeDlg::kIdd, [&](pf::Dialog& d) {
        auto* tree = d.item<pf::TreeView>(1000);
        pf::TreeItem item = 0;
        for (pf::TreeItem i = tree->getChildItem(pf::TVI_ROOT); i != 0; i = tree->getNextSiblingItem(i))
            item = tree->getItemText(i) == scene.string() ? i : item;
        ASSERT_NE(item, 0u);
        sim().clickTreeItem(*tree, item);
        sim().clickTreeCheck(*tree, item);
        sim().click(*d.item<pf::Button>(pf::IDOK));
        sim().click(*d.item<pf::Button>(pf::IDCANCEL));
    });
    const size_t boxes = ui().providers().scriptedMessageBox().calls().size();
    sim().expectMessageBox(pf::IDOK);
    ASSERT_TRUE(sim().menuCommand(Frame(), kCmdSynchronizeSceneFiles));
    sim().pump();
    EXPECT_EQ(ui().providers().scriptedMessageBox().calls().size(), boxes + 1);
    EXPECT_NE(LastBox().find(scene.string() + ": a record could not be read"), std::string::npos) << LastBox();
    EXPECT_NE(LastBox().find("\"7403\": sound does not read"), std::string::npos) << LastBox();
}

// The load-world editor's Load Now reads the world as a running one does: a record of it that does not read is named,
// and a file that does not load at all says why. Both went without a word.
TEST_F(FileReports, LoadNowNamesTheRecordsLeftOutAndWhyAWorldDidNotLoad)
{
    const std::filesystem::path scene = folder / "mute.vtn";
    WriteScene(scene);
    DamageRecord(scene, MakeTag("7403"), [](std::vector<uint8_t>& payload) { payload.resize(6); });
    SWworld& world = *designer.GetWorld();
    world.GetSubWorlds().Add("mute")->SetFileName(scene.string());
    world.GetSubWorlds().Add("gone")->SetFileName((folder / "gone.vtn").string());
    SWevent* event = world.GetFirstEvent();
    ASSERT_NE(event, nullptr);
    SWactionnode* action = event->CreateAction(world.GetActionCategories().FindKind(54));
    ASSERT_NE(action, nullptr);
    for (const char* name : {"mute", "gone"})
        action->AddArgument(name, SWdatanode::kString, true);
    pf::Window* editor = designer.GetApp()->EditObject(CVTND_Object(action), false);
    ASSERT_NE(editor, nullptr);
    const size_t boxes = ui().providers().scriptedMessageBox().calls().size();
    sim().expectMessageBox(pf::IDOK);
    sim().expectMessageBox(pf::IDOK);
    sim().click(*editor->child(CVTND_ActionLoadVTODlg::kIdLoadNow));
    sim().pump();
    const auto& calls = ui().providers().scriptedMessageBox().calls();
    ASSERT_EQ(calls.size(), boxes + 2);
    std::string said;
    for (size_t i = boxes; i < calls.size(); ++i)
        said += calls[i].text + "\n";
    EXPECT_NE(said.find(scene.string() + ": a record could not be read"), std::string::npos) << said;
    EXPECT_NE(said.find("\"7403\": sound does not read"), std::string::npos) << said;
    EXPECT_NE(said.find("The world could not be loaded: " + (folder / "gone.vtn").string()), std::string::npos) << said;
    editor->destroy();
}

// The project file written again in place, cut short, or replaced by a new file renamed over it after the designer
// opened it: File > Save asks before it replaces that, No writes nothing, Yes saves. It once wrote over the other
// program's work without a word. A file nobody touched is saved without a question.
TEST_F(FileReports, AProjectFileChangedOnDiskIsNotSavedOverUnasked)
{
    const std::filesystem::path path = folder / "shared.vtp";
    ASSERT_TRUE(designer.SaveTo(path.string()));
    ASSERT_TRUE(designer.OpenProjectFile(path.string()));
    ASSERT_TRUE(sim().menuCommand(Frame(), kCmdSave)); // unchanged: no question, or the box would be unscripted
    sim().pump();
    const std::vector<uint8_t> ours = Bytes(path);
    ASSERT_FALSE(ours.empty());
    std::vector<uint8_t> theirs = ours; // a byte of the checksum: the file still frames
    theirs[8] ^= 1;
    const struct {
        const char* what;
        std::function<void()> change;
    } changes[] = {
        {"written in place", [&] { Write(path, theirs); }},
        {"cut short", [&] { std::filesystem::resize_file(path, ours.size() / 2); }},
        {"replaced by a rename",
         [&] {
             Write(folder / "new.vtp", ours); // the same bytes: the file itself is another
             std::filesystem::rename(folder / "new.vtp", path);
         }},
    };
    for (const auto& change : changes) {
        SCOPED_TRACE(change.what);
        std::this_thread::sleep_for(10ms); // a modification time of its own even on a coarse clock
        change.change();
        const std::vector<uint8_t> changed = Bytes(path);
        sim().expectMessageBox(pf::IDNO);
        ASSERT_TRUE(sim().menuCommand(Frame(), kCmdSave));
        sim().pump();
        EXPECT_EQ(ui().providers().scriptedMessageBox().pending(), 0u) << "not asked";
        EXPECT_NE(LastBox().find(path.string() + " was changed by another program"), std::string::npos) << LastBox();
        EXPECT_EQ(Bytes(path), changed);
        sim().expectMessageBox(pf::IDYES);
        ASSERT_TRUE(sim().menuCommand(Frame(), kCmdSave));
        sim().pump();
        EXPECT_NE(Bytes(path), changed);
        EXPECT_TRUE(CVTND_Project::LoadFile(path.string()).ok());
    }
}

// A project file its owner made read-only, in a folder that would let a rename through: File > Save says so and
// writes nothing; Yes to its question saves the work under another name, which File > Save then keeps using. It
// was once replaced without a word.
TEST_F(FileReports, AReadOnlyProjectFileIsNotReplacedAndSaveAsIsOffered)
{
    const std::filesystem::path path = folder / "locked.vtp";
    ASSERT_TRUE(designer.SaveTo(path.string()));
    ASSERT_TRUE(designer.OpenProjectFile(path.string()));
    std::filesystem::permissions(path, std::filesystem::perms(0444));
    const std::vector<uint8_t> kept = Bytes(path);
    const auto inode = [](const std::filesystem::path& p) {
        struct stat info {};
        return ::stat(p.c_str(), &info) == 0 ? info.st_ino : 0;
    };
    const ino_t before = inode(path);
    designer.GetApp()->SetModified();
    sim().expectMessageBox(pf::IDNO);
    ASSERT_TRUE(sim().menuCommand(Frame(), kCmdSave));
    sim().pump();
    EXPECT_NE(LastBox().find(path.string() + " is read-only: nothing was written"), std::string::npos) << LastBox();
    EXPECT_EQ(Bytes(path), kept);
    EXPECT_EQ(inode(path), before);
    EXPECT_EQ(designer.GetApp()->IsModified(), 1);

    const std::filesystem::path elsewhere = folder / "copy.vtp";
    sim().expectMessageBox(pf::IDYES);
    sim().expectFile(elsewhere.string());
    ASSERT_TRUE(sim().menuCommand(Frame(), kCmdSave));
    sim().pump();
    EXPECT_EQ(ui().providers().scriptedMessageBox().pending(), 0u);
    EXPECT_TRUE(CVTND_Project::LoadFile(elsewhere.string()).ok());
    EXPECT_EQ(designer.GetApp()->IsModified(), 0);
    EXPECT_EQ(Bytes(path), kept);

    // Saved as that very name (through Save As), the writer itself refuses it and says why.
    designer.GetApp()->SetModified();
    sim().expectMessageBox(pf::IDOK);
    EXPECT_FALSE(designer.SaveTo(path.string()));
    EXPECT_NE(LastBox().find("cannot write " + path.string() + ": the file is read-only"), std::string::npos)
        << LastBox();
    EXPECT_EQ(Bytes(path), kept);
}

// The schemes and the page option chosen in File > Publish are stored in the project: they mark it, so File > Exit
// (the frame's close) asks and Yes keeps them for the next start; a publish that changes none leaves the project
// unmodified. They were once lost without a question.
TEST_F(FileReports, PublishChoicesMarkTheProjectAndExitKeepsThem)
{
    const std::filesystem::path path = folder / "choices.vtp";
    ASSERT_TRUE(designer.SaveTo(path.string()));
    const std::vector<uint8_t> saved = Bytes(path);
    const SWcompressionscheme* chosen = SWcompressionschemes::Table().OfferedRows(SchemeKind::kMesh).back();
    const auto publish = [&](bool choose) {
        sim().expectFile((folder / "choices.vto").string());
        sim().onModal(kIddPublish, [&, choose](pf::Dialog& d) {
            if (choose) {
                ASSERT_TRUE(sim().selectTab(*d.item<pf::TabControl>(kIdcPublishTabs), 3)); // geometry
                auto* list = d.item<pf::ListView>(kIdcPublishList);
                auto* combo = d.item<pf::ComboBox>(kIdcPublishScheme);
                for (int32_t item = 0; item < list->getItemCount(); ++item) {
                    ASSERT_TRUE(sim().selectListViewItem(*list, item));
                    for (int32_t i = 0; i < combo->getCount(); ++i) {
                        if (reinterpret_cast<const SWcompressionscheme*>(combo->getItemData(i)) == chosen) {
                            ASSERT_TRUE(sim().chooseCombo(*combo, i));
                        }
                    }
                }
                ASSERT_TRUE(sim().selectTab(*d.item<pf::TabControl>(kIdcPublishTabs), 4)); // the page
                sim().click(*d.item<pf::Button>(kIdcPublishHtml));
            }
            sim().click(*d.child(pf::IDOK));
        });
        sim().onModal(kIddPublishWait, [&](pf::Dialog& d) {
            EXPECT_TRUE(WaitFor([&] {
                sim().advance(CVTND_WaitDlg::kPollMs);
                return d.hasEnded();
            }));
        });
        return sim().menuCommand(Frame(), kCmdPublish);
    };
    ASSERT_TRUE(publish(false));
    sim().pump();
    EXPECT_EQ(designer.GetApp()->IsModified(), 0) << "nothing chosen";
    ASSERT_TRUE(publish(true));
    sim().pump();
    EXPECT_EQ(designer.GetApp()->IsModified(), 1);
    const bool html = designer.GetApp()->GetProject()->GetHtmlOption();

    sim().expectMessageBox(pf::IDYES); // "Save changes to choices.vtp?"
    designer.Close();                  // as the frame's close box does
    sim().pump();
    EXPECT_EQ(ui().providers().scriptedMessageBox().pending(), 0u) << "Exit asked nothing";
    EXPECT_NE(Bytes(path), saved);
    const CVTND_Project::LoadResult again = CVTND_Project::LoadFile(path.string());
    ASSERT_TRUE(again.ok()) << again.message;
    EXPECT_EQ(again.project->GetHtmlOption(), html);
    bool found = false;
    for (SWgeometry* g = again.world->GetRootObject()->GetFirstGeometry(); g != nullptr;
         g = dynamic_cast<SWgeometry*>(g->GetNextSibling()))
        if (auto* choice = dynamic_cast<SWschemechoice*>(g);
            choice != nullptr && g->GetName() != "MaterialSphereMesh") {
            EXPECT_EQ(choice->GetScheme(), chosen) << g->GetName();
            found = true;
        }
    EXPECT_TRUE(found);
}

// A project whose scene brought a sound, opened, its sound loaded by the frames as it is for playing, and saved
// unchanged: every record of its world is the one read. The sound's record once took its run-time ready flag.
TEST_F(FileReports, AProjectOpenedAndSavedUnchangedKeepsEveryByte)
{
    const std::filesystem::path scene = folder / "tone.vtn";
    WriteScene(scene);
    ASSERT_TRUE(AddScene(scene));
    const std::filesystem::path path = folder / "tone.vtp";
    ASSERT_TRUE(designer.SaveTo(path.string()));
    const std::vector<std::vector<uint8_t>> saved = WorldRecords(path);
    ASSERT_GT(saved.size(), 10u);
    ASSERT_TRUE(designer.OpenProjectFile(path.string()));
    SWworld& world = *designer.GetWorld();
    SWsound* sound = nullptr;
    for (SWsound* s = world.GetSoundList().GetFirst(); s != nullptr; s = world.GetSoundList().GetNext(s))
        sound = s->GetName() == "speech" ? s : sound;
    ASSERT_NE(sound, nullptr);
    EXPECT_TRUE(WaitFor([&] {
        const SWworldlock hold(world);
        return sound->GetReady() != 0;
    })) << "the sound was never loaded";
    ASSERT_TRUE(sim().menuCommand(Frame(), kCmdSave));
    sim().pump();
    EXPECT_TRUE(WorldRecords(path) == saved);
}

// A Java class the scene names by a path relative to itself is read from beside the scene, wherever the designer
// was started: the panel lists its method. It was read from the working folder.
TEST_F(FileReports, ASceneClassFileIsReadBesideTheScene)
{
    const std::filesystem::path scene = folder / "scene" / "applet.vtn";
    std::filesystem::create_directories(scene.parent_path() / "applets");
    WriteScene(scene); // its class entry "scores" names applets/Scores.class
    // public class Scores extends java/lang/Object { int total(); }
    const std::vector<uint8_t> scores = {
        0xCA, 0xFE, 0xBA, 0xBE, 0,   0,   0,   52,  0,   7,           // magic, version, pool size
        1,    0,    6,    'S',  'c', 'o', 'r', 'e', 's', 7,   0,   1, // #1 name, #2 class
        1,    0,    16,   'j',  'a', 'v', 'a', '/', 'l', 'a', 'n', 'g', '/', 'O',
        'b',  'j',  'e',  'c',  't', 7,   0,   3,                                 // #3, #4
        1,    0,    5,    't',  'o', 't', 'a', 'l', 1,   0,   3,   '(', ')', 'I', // #5 "total", #6 "()I"
        0,    0x21, 0,    2,    0,   4,   0,   0,   0,   0,                       // flags, this, super, counts
        0,    1,    0,    1,    0,   5,   0,   6,   0,   0,                       // one method
        0,    0};                                                                 // no attributes
    Write(scene.parent_path() / "applets" / "Scores.class", scores);
    const std::filesystem::path started = std::filesystem::current_path();
    std::filesystem::current_path(folder);
    ASSERT_TRUE(AddScene(scene));
    std::filesystem::current_path(started);
    const auto& java = dynamic_cast<CVTND_JavaDlg&>(*designer.GetApp()->GetPanel(PanelRole::kJava));
    SWlistnode* entry = designer.GetWorld()->GetJavaClasses().Tail();
    ASSERT_NE(entry, nullptr);
    const pf::TreeItem item = java.FindItem(entry);
    ASSERT_NE(item, 0u);
    const pf::TreeItem method = java.GetTree()->getChildItem(item);
    ASSERT_NE(method, 0u);
    EXPECT_EQ(java.GetTree()->getItemText(method), "total()I");
}

// Two designers over one settings file, the second started before the first stored anything: the project each
// saved stays in the recent-file list of the file and of the menu. The last to store once wrote its list alone.
class SharedSettings : public pf::UiFixture {};

TEST_F(SharedSettings, TwoDesignersRecentFilesBothSurvive)
{
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("vortan-shared-settings-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const std::string settings = (folder / "settings.reg").string();
    const auto start = [&](CVTND_Designer& designer, std::unique_ptr<pf::SettingsStore> store) {
        CVTND_StartOptions options = designertest::TestStartOptions((folder / "recovery.vtp").string());
        options.store = std::move(store);
        return designer.Start(std::move(options));
    };
    auto later = std::make_unique<pf::SettingsStore>(std::make_unique<pf::FileBackend>(settings));
    {
        CVTND_Designer first;
        ASSERT_TRUE(start(first, std::make_unique<pf::SettingsStore>(std::make_unique<pf::FileBackend>(settings))));
        ASSERT_TRUE(first.SaveTo((folder / "first.vtp").string()));
        first.Exit();
    }
    CVTND_Designer second;
    ASSERT_TRUE(start(second, std::move(later)));
    ASSERT_TRUE(second.SaveTo((folder / "second.vtp").string()));
    const std::vector<std::string> both{(folder / "second.vtp").string(), (folder / "first.vtp").string()};
    EXPECT_EQ(second.GetRecentFiles(), both);
    second.Exit();
    pf::SettingsStore stored(std::make_unique<pf::FileBackend>(settings));
    EXPECT_EQ(CVTND_Designer::ReadRecentFiles(pf::Profile(stored, CVTND_Designer::kProfileKey)), both);
    std::filesystem::remove_all(folder);
}

} // namespace
