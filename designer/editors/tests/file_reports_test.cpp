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

#include "designer/app/child_render_view.h"
#include "designer/app/extended_world.h"
#include "designer/app/main_frame.h"
#include "designer/app/notification.h"
#include "designer/app/project.h"
#include "designer/app/project_object.h"
#include "designer/app/publish_dialogs.h"
#include "designer/app/publish_worker.h"
#include "designer/app/startup.h"
#include "designer/editors/loaded_background_dlg.h"
#include "designer/editors/synchronize_dlg.h"
#include "designer/eventedit/load_world_dlg.h"
#include "designer/workspace/java_dlg.h"
#include "engine/behaviour/action_node.h"
#include "engine/behaviour/event.h"
#include "engine/core/data_node.h"
#include "engine/core/document_file.h"
#include "engine/core/java_class_node.h"
#include "engine/core/object_node.h"
#include "engine/core/root_object.h"
#include "engine/core/scene_import.h"
#include "engine/core/sub_world_loader.h"
#include "engine/core/sub_worlds.h"
#include "engine/core/type_tag.h"
#include "engine/core/world.h"
#include "engine/core/world_file.h"
#include "engine/resources/compression_scheme.h"
#include "engine/resources/geometry.h"
#include "engine/resources/image32.h"
#include "engine/resources/material.h"
#include "engine/resources/sound.h"
#include "engine/resources/sound_list.h"
#include "engine/resources/texture.h"
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
#include "testsupport/designer/publish_answers.h"
#include "testsupport/designer/sample_designer.h"
#include "testsupport/image/png_image.h"
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
    // A sample world whose sound is stored in it, changed by edit, written at path.
    void WriteScene(const std::filesystem::path& path, WorldFileMode mode = WorldFileMode::kScene,
                    const std::function<void(SWworld&)>& edit = {})
    {
        worldtest::SampleWorldOptions options;
        options.soundFile = (folder / "tone.wav").string();
        ASSERT_TRUE(worldtest::WriteSampleTone(options.soundFile));
        const std::unique_ptr<SWworld> scene = worldtest::MakeSampleWorld(options);
        if (edit)
            edit(*scene);
        std::filesystem::create_directories(path.parent_path());
        ASSERT_EQ(SaveWorldFile(*scene, mode, path.string()), DocumentStatus::kOk);
    }
    // applets/Scores.class in sceneFolder, the sample scene's class: public class Scores { int METHOD(); }
    static void WriteClass(const std::filesystem::path& sceneFolder, const std::string& method)
    {
        using namespace std::string_literals;
        std::filesystem::create_directories(sceneFolder / "applets");
        const std::string bytes = "\xCA\xFE\xBA\xBE\0\0\0\x34\0\x07"s +                   // magic, version, pool size
                                  "\x01\0\x06Scores\x07\0\x01"s +                         // #1 name, #2 class
                                  "\x01\0\x10java/lang/Object\x07\0\x03"s +               // #3, #4
                                  "\x01\0"s + static_cast<char>(method.size()) + method + // #5 the method's name
                                  "\x01\0\x03()I"s +                                      // #6
                                  "\0\x21\0\x02\0\x04\0\0\0\0"s +                         // flags, this, super, counts
                                  "\0\x01\0\x01\0\x05\0\x06\0\0\0\0"s;                    // one method, no attributes
        Write(sceneFolder / "applets" / "Scores.class", {bytes.begin(), bytes.end()});
    }
    // A world of one node, written at path.
    static void WriteLevel(const std::filesystem::path& path, const char* room)
    {
        SWworld level;
        auto* node = new SWobjectnode;
        node->SetName(std::string(room));
        level.AddNode(node, nullptr);
        ASSERT_EQ(SaveWorldFile(level, WorldFileMode::kScene, path.string()), DocumentStatus::kOk);
    }
    // The methods the Java panel lists under each of its entries, in its order.
    std::vector<std::string> JavaMethods()
    {
        const auto& java = dynamic_cast<CVTND_JavaDlg&>(*designer.GetApp()->GetPanel(PanelRole::kJava));
        std::vector<std::string> methods;
        const pf::TreeView& tree = *java.GetTree();
        for (pf::TreeItem i = tree.getChildItem(pf::TVI_ROOT); i != 0; i = tree.getNextSiblingItem(i)) {
            const pf::TreeItem method = tree.getChildItem(i);
            methods.push_back(method != 0 ? tree.getItemText(method) : std::string());
        }
        return methods;
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
                ASSERT_TRUE(designertest::ChooseSchemeForEveryMesh(sim(), d, chosen));
                ASSERT_TRUE(sim().selectTab(*d.item<pf::TabControl>(kIdcPublishTabs), 4)); // the page
                sim().click(*d.item<pf::Button>(kIdcPublishHtml));
            }
            sim().click(*d.child(pf::IDOK));
        });
        designertest::WaitThroughThePublish(sim());
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
    WriteScene(scene); // its class entry "scores" names applets/Scores.class
    WriteClass(scene.parent_path(), "total");
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

// A project and its scenes moved together to another folder and opened from a third that holds other files of the
// same names: the scene synchronised as the project opens and again at once, its class in the Java panel, its
// loaded world loaded into the project and into the published world all come from beside the moved project. The
// working folder's were merged without a word, or "No such file or directory" was said.
TEST_F(FileReports, AMovedProjectReadsItsFilesBesideItWhereverTheDesignerStarts)
{
    namespace fs = std::filesystem;
    const fs::path made = folder / "made";
    const fs::path moved = folder / "moved";
    const fs::path started = folder / "started";
    const auto named = [](const char* name) {
        return [name](SWworld& world) {
            auto* node = new SWobjectnode;
            node->SetName(std::string(name));
            world.AddNode(node, nullptr);
        };
    };
    WriteScene(made / "scene.vtn");
    WriteClass(made, "total");
    WriteLevel(made / "level2.vtn", "level2-room");
    ASSERT_TRUE(AddScene(made / "scene.vtn"));
    CVTN_SubWorld* entry = designer.GetApp()->GetProject()->GetAddedFiles().GetFirst();
    ASSERT_NE(entry, nullptr);
    entry->SetFileName("scene.vtn"); // relative, as the tools once stored it
    entry->SetOption(CVTN_SubWorld::kOnLoad, 1);
    entry->SetOption(CVTN_SubWorld::kObjects, 1);
    ASSERT_TRUE(designer.SaveTo((made / "project.vtp").string()));
    WriteScene(made / "scene.vtn", WorldFileMode::kScene, named("newcomer"));
    fs::rename(made, moved);
    WriteScene(started / "scene.vtn", WorldFileMode::kScene, named("intruder"));
    WriteClass(started, "wrong");
    WriteLevel(started / "level2.vtn", "intruder-room");
    const fs::path before = fs::current_path();
    fs::current_path(started);

    const size_t boxes = ui().providers().scriptedMessageBox().calls().size();
    ASSERT_TRUE(designer.OpenProjectFile((moved / "project.vtp").string()));
    sim().pump();
    EXPECT_EQ(ui().providers().scriptedMessageBox().calls().size(), boxes) << LastBox();
    CVTND_ExtendedWorld& world = *designer.GetWorld();
    EXPECT_NE(world.GetRootNode()->FindByName("newcomer"), nullptr);
    entry = designer.GetApp()->GetProject()->GetAddedFiles().GetFirst();
    ASSERT_TRUE(designer.GetApp()->GetProject()->SynchronizeSubWorld(nullptr, entry));
    EXPECT_EQ(world.GetRootNode()->FindByName("intruder"), nullptr);
    EXPECT_EQ(JavaMethods(), std::vector<std::string>{"total()I"});
    CVTN_SubWorld* level = world.GetSubWorlds().FindByName("level2");
    ASSERT_NE(level, nullptr);
    EXPECT_NE(CVTN_SubWorldLoader::Of(world).LoadFile(*level, {}, false), nullptr);
    EXPECT_NE(world.GetRootNode()->FindByName("level2-room"), nullptr);
    ASSERT_TRUE(CVTN_SubWorldLoader::Of(world).UnloadSubWorld(*level, nullptr, true));

    const fs::path published = moved / "published.vto";
    ASSERT_TRUE(PublishWorld(world, {published.string(), false, 320, 240}, nullptr).ok);
    CChildRenderFrame* player = designer.OpenPublishedFile(published.string());
    ASSERT_NE(player, nullptr);
    SWworld& played = player->View().GetWorld();
    CVTN_SubWorld* playedLevel = played.GetSubWorlds().FindByName("level2");
    ASSERT_NE(playedLevel, nullptr);
    EXPECT_NE(CVTN_SubWorldLoader::Of(played).LoadFile(*playedLevel, {}, false), nullptr);
    EXPECT_NE(played.GetRootNode()->FindByName("level2-room"), nullptr);
    EXPECT_EQ(played.GetRootNode()->FindByName("intruder-room"), nullptr);
    fs::current_path(before);
}

// Two scene files whose textures and Java entries share names: each scene's class is read beside it, a rewritten
// scene's new picture comes in as its own (not the other scene's of that name), and removing either scene leaves
// the other's material, picture and Java entry whole; the panel lists exactly what is left.
TEST_F(FileReports, ScenesOfTheSameNamesKeepTheirOwnPicturesAndClassesThroughSynchronisingAndRemoval)
{
    const auto picture = [](int side, bool used) {
        return [side, used](SWworld& world) {
            const std::vector<uint32_t> pixels(static_cast<size_t>(side * side), 0xFF336699u);
            std::unique_ptr<SWimage32> made = SWimage32::SWimage32FromPixels("new.png", side, side, pixels.data());
            SWtexture* texture = made.get();
            world.GetRootObject()->AddTexture(std::move(made));
            for (SWmaterial* m = world.GetRootObject()->GetFirstMaterial(); used && m != nullptr;
                 m = SWrootobject::GetNextMaterial(m))
                if (m->GetName() == "brick")
                    m->SetTexture(texture);
        };
    };
    const std::filesystem::path a = folder / "a" / "scene.vtn";
    const std::filesystem::path b = folder / "b" / "scene.vtn";
    WriteScene(a, WorldFileMode::kScene, picture(8, false));
    WriteClass(a.parent_path(), "total");
    WriteScene(b);
    WriteClass(b.parent_path(), "count");
    ASSERT_TRUE(AddScene(a));
    ASSERT_TRUE(AddScene(b));
    CVTND_Project& project = *designer.GetApp()->GetProject();
    CVTN_SubWorld* fileA = project.GetAddedFiles().GetFirst();
    CVTN_SubWorld* fileB = CVTN_SubWorlds::GetNext(fileA);
    EXPECT_EQ(JavaMethods(), (std::vector<std::string>{"total()I", "count()I"}));

    WriteScene(b, WorldFileMode::kScene, picture(16, true));
    fileB->SetOption(CVTN_SubWorld::kTextures, 1);
    fileB->SetOption(CVTN_SubWorld::kMaterials, 1);
    ASSERT_TRUE(project.SynchronizeSubWorld(nullptr, fileB));
    SWworld& world = *designer.GetWorld();
    const MergedResourceLookup merged(world);
    SWmaterial* brick = nullptr;
    std::vector<const SWtexture*> texturesOfB;
    for (const MergeEntry& e : project.FindAddedFile(fileB)->record.entries) {
        brick = e.kind == MergedKind::kMaterial && e.nameInFile == "brick" ? merged.Material(e) : brick;
        if (e.kind == MergedKind::kTexture)
            texturesOfB.push_back(merged.Texture(e));
    }
    ASSERT_NE(brick, nullptr);
    ASSERT_NE(brick->GetTexture(), nullptr);
    EXPECT_EQ(brick->GetTexture()->GetWidth(), 16);
    EXPECT_NE(std::find(texturesOfB.begin(), texturesOfB.end(), brick->GetTexture()), texturesOfB.end());

    ASSERT_TRUE(project.RemoveSubWorld(fileA));
    ASSERT_NE(brick->GetTexture(), nullptr);
    EXPECT_EQ(brick->GetTexture()->GetWidth(), 16);
    EXPECT_EQ(JavaMethods(), std::vector<std::string>{"count()I"});
    ASSERT_TRUE(project.RemoveSubWorld(fileB));
    EXPECT_TRUE(JavaMethods().empty());
}

// A class path that is absolute, that climbs out of the scene's folder with "../" or through a link, and a file
// that is not a class file: each is refused with a line that says why, and nothing outside the folder is read.
TEST_F(FileReports, AClassIsReadOnlyFromWithinItsScenesFolderAndOnlyAClassFile)
{
    const std::filesystem::path scene = folder / "scene" / "applet.vtn";
    WriteScene(scene);
    WriteClass(folder / "outside", "total");
    std::filesystem::create_symlink(folder / "outside" / "applets", folder / "scene" / "linked");
    Write(folder / "scene" / "notes.class", {'n', 'o', 't', 'e', 's', '\n'});
    ASSERT_TRUE(AddScene(scene));
    auto* entry = static_cast<SWjavaclassnode*>(designer.GetWorld()->GetJavaClasses().Tail());
    ASSERT_NE(entry, nullptr);
    const auto& java = dynamic_cast<CVTND_JavaDlg&>(*designer.GetApp()->GetPanel(PanelRole::kJava));
    const std::pair<std::string, const char*> refused[] = {
        {(folder / "outside" / "applets" / "Scores.class").string(), "is absolute"},
        {"../outside/applets/Scores.class", "leads out of its scene's folder"},
        {"linked/Scores.class", "leads out of its scene's folder"},
        {"notes.class", "not a class file (it does not begin with the class-file signature)"},
    };
    for (const auto& [path, why] : refused) {
        entry->SetClassPath(path);
        CVTND_Object object;
        object.InitJavaClass(entry);
        designer.GetApp()->Broadcast(CVTND_Event(EventCode::kChanged, object));
        EXPECT_EQ(JavaMethods(), std::vector<std::string>{""}) << path;
        EXPECT_NE(java.LastNote().find(why), std::string::npos) << path << ": " << java.LastNote();
    }
}

// A 300 x 200 photograph: the sample tool brings it up to 512 x 256 as the designer's picture loads do, and its
// scene is added without a word; a scene that keeps one at 300 x 200, which draws black, names it as it is added
// and as it is synchronised.
TEST_F(FileReports, APictureWhoseSidesAreNotPowersOfTwoIsBroughtUpOrNamed)
{
    testsupport::BgrImage photo{300, 200, std::vector<uint8_t>(300 * 200 * 3, 0x80)};
    const std::string png = (folder / "photo.png").string();
    std::string error;
    ASSERT_TRUE(testsupport::WritePng(png, photo, error)) << error;
    worldtest::SampleWorldOptions options;
    options.pictureFiles = {png};
    options.soundFile = (folder / "tone.wav").string();
    ASSERT_TRUE(worldtest::WriteSampleTone(options.soundFile));
    const std::unique_ptr<SWworld> sample = worldtest::MakeSampleWorld(options);
    const SWtexture* taken = sample->FindTextureByName("photo.png");
    ASSERT_NE(taken, nullptr);
    EXPECT_EQ(taken->GetWidth(), 512);
    EXPECT_EQ(taken->GetHeight(), 256);
    ASSERT_EQ(SaveWorldFile(*sample, WorldFileMode::kScene, (folder / "sized.vtn").string()), DocumentStatus::kOk);
    const size_t boxes = ui().providers().scriptedMessageBox().calls().size();
    ASSERT_TRUE(AddScene(folder / "sized.vtn"));
    EXPECT_EQ(ui().providers().scriptedMessageBox().calls().size(), boxes) << LastBox();

    const std::filesystem::path raw = folder / "raw.vtn";
    WriteScene(raw, WorldFileMode::kScene, [](SWworld& world) {
        const std::vector<uint32_t> pixels(300 * 200, 0xFF808080u);
        world.GetRootObject()->AddTexture(SWimage32::SWimage32FromPixels("raw.png", 300, 200, pixels.data()));
    });
    sim().expectMessageBox(pf::IDOK);
    ASSERT_TRUE(AddScene(raw));
    EXPECT_NE(LastBox().find("\"raw.png\" (300 x 200)"), std::string::npos) << LastBox();
    EXPECT_EQ(LastBox().find("photo.png"), std::string::npos) << LastBox();
    sim().expectMessageBox(pf::IDOK);
    CVTND_Project& project = *designer.GetApp()->GetProject();
    ASSERT_TRUE(project.SynchronizeSubWorld(nullptr, CVTN_SubWorlds::GetNext(project.GetAddedFiles().GetFirst())));
    designer.DrainReports();
    EXPECT_EQ(ui().providers().scriptedMessageBox().pending(), 0u);
    EXPECT_NE(LastBox().find("raw.png"), std::string::npos) << LastBox();
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
