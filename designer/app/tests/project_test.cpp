// The project: adding and removing scene files with their announcements, renames that keep references and merge
// records right, the project file's round trip and its damaged forms, and the lock order of the header update.
#include "designer/app/project.h"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <set>
#include <thread>

#include <gtest/gtest.h>
#include <unistd.h>

#include "designer/app/designer_app.h"
#include "designer/app/extended_world.h"
#include "designer/app/project_records.h"
#include "designer/app/registry.h"
#include "designer/app/tests/test_windows.h"
#include "engine/behaviour/action_node.h"
#include "engine/behaviour/action_settings.h"
#include "engine/behaviour/behaviour_observer.h"
#include "engine/behaviour/event.h"
#include "engine/behaviour/expression.h"
#include "engine/behaviour/expression_list.h"
#include "engine/behaviour/generator.h"
#include "engine/behaviour/particle_motion.h"
#include "engine/behaviour/property.h"
#include "engine/behaviour/speech_motion.h"
#include "engine/behaviour/xyz_motion.h"
#include "engine/core/buffer.h"
#include "engine/core/chunk_stream.h"
#include "engine/core/data_node.h"
#include "engine/core/header.h"
#include "engine/core/hotspot.h"
#include "engine/core/node.h"
#include "engine/core/object_node.h"
#include "engine/core/record_builder.h"
#include "engine/core/root_object.h"
#include "engine/core/type_tag.h"
#include "engine/core/unique_id.h"
#include "engine/core/world_file.h"
#include "engine/resources/background.h"
#include "engine/resources/image32.h"
#include "engine/resources/material.h"
#include "engine/resources/mesh.h"
#include "engine/resources/mesh_object.h"
#include "engine/resources/particle_node.h"
#include "engine/resources/speech_data.h"
#include "engine/resources/texture.h"
#include "engine/resources/tooltip.h"
#include "platform/testing/ui_fixture.h"
#include "testsupport/world/document_bytes.h"
#include "testsupport/world/sample_world.h"

namespace {

using designertest::Received;
using designertest::RecordingWindow;
using designertest::TestEditor;

std::vector<Received>* g_log = nullptr;

pf::Window* MakeEditor(const CVTND_EditorRequest& request)
{
    auto* editor = new TestEditor("editor", *g_log, request.record->kind, request.object);
    if (request.record->kind == static_cast<uint16_t>(ObjectType::kTexture)) {
        auto* texture = static_cast<SWtexture*>(request.object);
        editor->touchWhileClosing = [texture] { EXPECT_FALSE(texture->GetName().empty()); };
    }
    return editor;
}

int32_t DeclineNotice(CVTNDesignerApp&, const CVTND_ModalRequest&)
{
    return pf::IDNO;
}

class Project : public pf::UiFixture {
protected:
    void SetUp() override
    {
        UiFixture::SetUp();
        g_log = &log;
        folder = std::filesystem::path(artifactPath("project_test_" + std::to_string(::getpid())));
        std::filesystem::create_directories(folder);
        app = std::make_unique<CVTNDesignerApp>();
        app->NewWorkspace();
        for (const uint16_t type : {uint16_t{1}, uint16_t{3}, uint16_t{12}})
            previous.emplace_back(type, CVTND_Registry::ReplaceEditor(type, kAnyActionKind, &MakeEditor));
        // The person declines every background an added file brings; one test answers the notice itself.
        for (const ModalTool notice : {ModalTool::kLoadedBackground, ModalTool::kLoadedBackgroundWarning})
            previousNotices.emplace_back(notice, CVTND_Registry::ReplaceModalTool(notice, &DeclineNotice));
        panelWindow = std::make_unique<RecordingWindow>("panel", log);
        app->RegisterPanel(PanelRole::kSceneGraph, panelWindow.get());
    }
    void TearDown() override
    {
        for (const auto& [type, constructor] : previous)
            CVTND_Registry::ReplaceEditor(type, kAnyActionKind, constructor);
        for (const auto& [notice, run] : previousNotices)
            CVTND_Registry::ReplaceModalTool(notice, run);
        app.reset();
        panelWindow.reset();
        std::filesystem::remove_all(folder);
        g_log = nullptr;
        UiFixture::TearDown();
    }
    std::string SampleScene(const std::string& name = "sample.vtn")
    {
        const std::string path = (folder / name).string();
        const std::unique_ptr<SWworld> world = worldtest::MakeSampleWorld();
        EXPECT_EQ(SaveWorldFile(*world, WorldFileMode::kScene, path), DocumentStatus::kOk);
        return path;
    }
    CVTND_Project& project() { return *app->GetProject(); }
    CVTND_ExtendedWorld& world() { return *app->GetWorld(); }
    size_t CountDeleted(uint16_t type) const
    {
        return std::count_if(log.begin(), log.end(), [&](const Received& r) {
            return r.who == "panel" && r.code == 2 && r.subject.GetType() == type;
        });
    }

    std::vector<Received> log;
    std::unique_ptr<RecordingWindow> panelWindow;
    std::filesystem::path folder;
    std::unique_ptr<CVTNDesignerApp> app;
    std::vector<std::pair<uint16_t, CVTND_EditorConstructor>> previous;
    std::vector<std::pair<ModalTool, CVTND_ModalToolRun>> previousNotices;
};

SWtexture* FirstTexture(SWworld& world)
{
    return world.GetRootObject()->GetFirstTexture();
}

TEST_F(Project, AddingAFileAnnouncesWhatCameAndRefusesPublishedFiles)
{
    sim().expectMessageBox(pf::IDOK);
    EXPECT_EQ(project().AddSceneFile((folder / "world.VTO").string()), nullptr);
    ASSERT_EQ(ui().providers().scriptedMessageBox().calls().size(), 1u);

    CVTN_SubWorld* entry = project().AddSceneFile(SampleScene());
    ASSERT_NE(entry, nullptr);
    const CVTND_Project::AddedFile* added = project().FindAddedFile(entry);
    ASSERT_NE(added, nullptr);
    EXPECT_FALSE(added->record.entries.empty());
    size_t created = 0;
    for (const Received& r : log)
        created += r.who == "panel" && r.code == 1 ? 1 : 0;
    size_t announceable = 0;
    for (const MergeEntry& e : added->record.entries) {
        // Everything a panel lists: cursors, Java classes and loaded worlds too, not only the scene's objects.
        const bool kind =
            e.kind != MergedKind::kGeometry && e.kind != MergedKind::kSpeechData && e.kind != MergedKind::kBlock;
        announceable += kind ? 1 : 0;
    }
    EXPECT_EQ(created, announceable);
    EXPECT_EQ(app->IsModified(), 1);

    sim().expectMessageBox(pf::IDOK);
    EXPECT_EQ(project().AddSceneFile((folder / "missing.vtn").string()), nullptr);
    EXPECT_EQ(project().GetAddedFiles().Count(), 1u);
}

// A node the file no longer has goes at synchronisation, announced first; what stayed is left alone.
TEST_F(Project, SynchronisingAnnouncesWhatTheFileNoLongerHas)
{
    const std::string path = SampleScene();
    CVTN_SubWorld* entry = project().AddSceneFile(path);
    ASSERT_NE(entry, nullptr);
    const std::unique_ptr<SWworld> changed = worldtest::MakeSampleWorld();
    SWnode* gone = changed->GetRootNode()->FindByName("button");
    ASSERT_NE(gone, nullptr);
    ASSERT_TRUE(changed->DeleteNode(gone));
    ASSERT_EQ(SaveWorldFile(*changed, WorldFileMode::kScene, path), DocumentStatus::kOk);
    SWnode* button = world().GetRootNode()->FindByName("button");
    ASSERT_NE(button, nullptr);
    std::vector<const void*> announced;
    panelWindow->onNotify = [&](const CVTND_Event& event) {
        if (event.Is(EventCode::kDeleted)) {
            EXPECT_NE(static_cast<SWnode*>(event.subject.GetObject())->GetName(), std::nullopt);
            announced.push_back(event.subject.GetObject());
        }
    };
    ASSERT_TRUE(project().SynchronizeSubWorld(nullptr, entry));
    EXPECT_EQ(announced, (std::vector<const void*>{button}));
    EXPECT_EQ(world().GetRootNode()->FindByName("button"), nullptr);
    EXPECT_NE(world().GetRootNode()->FindByName("object0"), nullptr);
    const auto& entries = project().FindAddedFile(entry)->record.entries;
    EXPECT_TRUE(std::none_of(entries.begin(), entries.end(), [](const MergeEntry& e) { return e.name == "button"; }));
}

// Every object the file brought is announced deleted while it lives; an editor open on one closes, reading it.
TEST_F(Project, RemovingAFileAnnouncesEachObjectBeforeItGoes)
{
    CVTN_SubWorld* entry = project().AddSceneFile(SampleScene());
    ASSERT_NE(entry, nullptr);
    SWtexture* texture = FirstTexture(world());
    ASSERT_NE(texture, nullptr);
    ASSERT_NE(app->EditObject(CVTND_Object(ObjectType::kTexture, texture), false), nullptr);
    app->GetSelection().Add(CVTND_Object(ObjectType::kTexture, texture));
    log.clear();

    EXPECT_TRUE(project().RemoveSubWorld(entry));
    EXPECT_EQ(project().GetAddedFiles().Count(), 0u);
    EXPECT_TRUE(app->GetEditDialogs().empty());
    EXPECT_EQ(app->GetSelectionCount(), 0u);
    EXPECT_GE(CountDeleted(12), 1u);
    EXPECT_EQ(FirstTexture(world()), nullptr);
    EXPECT_EQ(world().GetRootNode()->GetFirstChildNode(), nullptr);
    EXPECT_FALSE(project().RemoveSubWorld(entry)); // no longer ours
}

// The world's lookups by id and name answer as a walk of the tree does after scene files are added (the second
// one's clashing names renamed), a node renamed and one deleted, and the first file removed again.
TEST_F(Project, NodeLookupsFollowAddedAndRemovedFiles)
{
    const auto expectLookupsMatchWalk = [&](const std::vector<std::string>& names) {
        SWnode* root = world().GetRootNode();
        const auto walk = [&](auto matches) -> SWnode* {
            for (SWnode* n = root; n != nullptr; n = n->NextInTree(root))
                if (matches(*n))
                    return n;
            return nullptr;
        };
        for (const std::string& name : names)
            EXPECT_EQ(root->FindByName(name), walk([&](const SWnode& n) { return n.GetName() == name; })) << name;
        for (SWnode* n = root; n != nullptr; n = n->NextInTree(root))
            EXPECT_EQ(root->FindById(n->GetId()), n);
    };
    CVTN_SubWorld* first = project().AddSceneFile(SampleScene());
    ASSERT_NE(project().AddSceneFile(SampleScene("again.vtn")), nullptr);
    ASSERT_NE(first, nullptr);
    std::vector<std::string> names;
    std::vector<uint32_t> firstIds;
    for (const MergeEntry& e : project().FindAddedFile(first)->record.entries)
        if (e.kind == MergedKind::kNode) {
            names.push_back(e.name);
            firstIds.push_back(e.id);
        }
    ASSERT_GT(names.size(), 5u);
    SWnode* renamed = world().GetRootNode()->FindByName(names[1]);
    ASSERT_TRUE(world().RenameNode(renamed, names[1], "renamed"));
    names.push_back("renamed");
    expectLookupsMatchWalk(names);
    EXPECT_EQ(world().GetRootNode()->FindByName("renamed"), renamed);
    ASSERT_TRUE(world().DeleteNode(world().GetRootNode()->FindByName(names[2])));
    expectLookupsMatchWalk(names);

    ASSERT_TRUE(project().RemoveSubWorld(first));
    expectLookupsMatchWalk(names);
    for (const uint32_t id : firstIds)
        EXPECT_EQ(world().GetRootNode()->FindById(id), nullptr);
}

TEST_F(Project, RenamesRefuseTakenNamesAndKeepReferencesAndRecords)
{
    CVTN_SubWorld* entry = project().AddSceneFile(SampleScene());
    ASSERT_NE(entry, nullptr);
    SWtexture* first = FirstTexture(world());
    SWtexture* second = SWrootobject::GetNextTexture(first);
    ASSERT_NE(second, nullptr);
    const std::string firstName = first->GetName();
    const std::string secondName = second->GetName();
    EXPECT_FALSE(world().RenameTexture(first, firstName, secondName));
    EXPECT_EQ(first->GetName(), firstName);

    SWevent* a = world().NewEvent();
    a->SetName(std::string("Clicked"));
    SWevent* b = world().NewEvent();
    b->SetName(std::string("Other"));
    SWactionnode* trigger = b->CreateAction(world().GetActionCategories().FindKind(11));
    trigger->AddArgument("Clicked", SWdatanode::kString, true);
    EXPECT_FALSE(world().RenameEvent(b, "Other", "CLICKED"));
    EXPECT_FALSE(world().RenameEvent(a, "Clicked", "clicked")); // letter case alone
    EXPECT_TRUE(world().RenameEvent(a, "Clicked", "Pressed"));
    EXPECT_STREQ(static_cast<SWdatanode*>(trigger->GetArguments().Head())->GetText(), "Pressed");

    // Loadable worlds: the arguments of the load, unload and show actions follow, the load action's root name not.
    CVTN_SubWorld* level = world().GetSubWorlds().FindByName("level2");
    ASSERT_NE(level, nullptr);
    auto* load = dynamic_cast<SWimportvtoactionnode*>(b->CreateAction(world().GetActionCategories().FindKind(54)));
    ASSERT_NE(load, nullptr);
    load->AddArgument("level2", SWdatanode::kString, true);
    load->settings.fileName = "level2";
    SWactionnode* show = b->CreateAction(world().GetActionCategories().FindKind(56));
    show->AddArgument("level2", SWdatanode::kString, true);
    world().GetSubWorlds().Add(std::string("taken"));
    EXPECT_FALSE(world().RenameSubWorld(level, "level2", "taken"));
    ASSERT_TRUE(world().RenameSubWorld(level, "level2", "level3"));
    EXPECT_STREQ(static_cast<SWdatanode*>(load->GetArguments().Head())->GetText(), "level3");
    EXPECT_STREQ(static_cast<SWdatanode*>(show->GetArguments().Head())->GetText(), "level3");
    EXPECT_EQ(load->settings.fileName, std::optional<std::string>("level2"));

    // A hot spot and a material that name the texture follow it; the file's record follows too.
    auto* spot = new SWhotspot();
    spot->SetTextureName(firstName);
    world().AddNode(spot, nullptr);
    SWmaterial* material = world().GetRootObject()->GetFirstMaterial();
    ASSERT_NE(material, nullptr);
    material->SetStoredTextureNames(firstName, "", "");
    auto* background = dynamic_cast<SWbackgroundaction*>(b->CreateAction(world().GetActionCategories().FindKind(19)));
    ASSERT_NE(background, nullptr);
    background->SetTextureName(firstName);
    ASSERT_TRUE(world().RenameTexture(first, firstName, "renamed"));
    EXPECT_EQ(background->GetTextureName(), std::optional<std::string>("renamed"));
    EXPECT_EQ(spot->GetTextureName(), std::optional<std::string>("renamed"));
    EXPECT_EQ(material->GetTextureName(), "renamed");
    const auto& entries = project().FindAddedFile(entry)->record.entries;
    EXPECT_TRUE(std::any_of(entries.begin(), entries.end(),
                            [](const MergeEntry& e) { return e.kind == MergedKind::kTexture && e.name == "renamed"; }));

    // Another texture takes the old name: removing the file removes the renamed one, not the newcomer.
    ASSERT_TRUE(world().GetRootObject()->AddTexture(SWimage32::SWimage32FromPixels(firstName, 2, 2, nullptr)));
    ASSERT_TRUE(project().RemoveSubWorld(entry));
    EXPECT_NE(world().FindTextureByName(firstName), nullptr);
    EXPECT_EQ(world().FindTextureByName("renamed"), nullptr);
}

// The first material a mesh's polygon draws with, and that mesh.
std::pair<const SWmesh*, SWmaterial*> FirstDrawnMaterial(SWworld& world)
{
    for (SWgeometry* g = world.GetRootObject()->GetFirstGeometry(); g != nullptr;
         g = dynamic_cast<SWgeometry*>(g->GetNextSibling()))
        if (const auto* mesh = dynamic_cast<const SWmesh*>(g))
            for (uint32_t p = 0; p < mesh->GetPolygonCount(); ++p)
                if (SWmaterial* material = mesh->GetPolygons()[p].material)
                    return {mesh, material};
    return {nullptr, nullptr};
}

// A texture named by a background action, a hot spot and all three slots of a material, and that material drawn
// by a mesh, both renamed: saved and read back, every reference resolves to the renamed object.
TEST_F(Project, RenamedMaterialsAndTexturesAreStillNamedByEveryReferenceAfterASave)
{
    ASSERT_NE(project().AddSceneFile(SampleScene()), nullptr);
    SWtexture* bricks = world().FindTextureByName("bricks.png");
    ASSERT_NE(bricks, nullptr);
    const auto [mesh, material] = FirstDrawnMaterial(world());
    ASSERT_NE(material, nullptr);
    material->SetTexture(bricks);
    material->SetReflectionTexture(bricks);
    material->SetBumpTexture(bricks);
    SWevent* event = world().NewEvent();
    auto* background =
        dynamic_cast<SWbackgroundaction*>(event->CreateAction(world().GetActionCategories().FindKind(19)));
    ASSERT_NE(background, nullptr);
    background->SetTextureName(std::string("bricks.png"));
    const std::string oldMaterial = material->GetName();
    ASSERT_TRUE(world().RenameTexture(bricks, "bricks.png", "stones.png"));
    ASSERT_TRUE(world().RenameMaterial(material, oldMaterial, "granite"));

    std::vector<uint8_t> bytes;
    ASSERT_TRUE(project().WriteBytes(bytes, nullptr));
    CVTND_Project::LoadResult loaded = CVTND_Project::LoadBytes(bytes, "renamed");
    ASSERT_TRUE(loaded.ok());
    SWworld& read = *loaded.world;
    const SWtexture* stones = read.FindTextureByName("stones.png");
    ASSERT_NE(stones, nullptr);
    EXPECT_EQ(read.FindTextureByName("bricks.png"), nullptr);
    auto* spot = dynamic_cast<SWhotspot*>(read.GetRootNode()->FindByName("button"));
    ASSERT_NE(spot, nullptr);
    EXPECT_EQ(spot->GetTexture(), stones);
    const auto [readMesh, drawn] = FirstDrawnMaterial(read);
    ASSERT_NE(drawn, nullptr);
    EXPECT_EQ(drawn->GetName(), "granite");
    EXPECT_EQ(drawn->GetTexture(), stones);
    EXPECT_EQ(drawn->GetReflectionTexture(), stones);
    EXPECT_EQ(drawn->GetBumpTexture(), stones);
    const SWbackgroundaction* readBackground = nullptr;
    for (SWevent* e = read.GetFirstEvent(); e != nullptr; e = SWevents::GetNextEvent(e))
        for (SWactionnode* a = e->GetFirstAction(); a != nullptr; a = SWevent::GetNextAction(a))
            if (const auto* b = dynamic_cast<const SWbackgroundaction*>(a))
                readBackground = b;
    ASSERT_NE(readBackground, nullptr);
    EXPECT_EQ(readBackground->GetTexture(), stones);
}

// A click event files under the names it lists: renamed with its node, it still fires on a click on the node.
TEST_F(Project, ARenamedNodeStillFiresTheClickEventsThatListIt)
{
    struct Fired : BehaviourObserver {
        void EventFired(const SWevent& event, const SWinputrecord&) override { events.push_back(&event); }
        std::vector<const SWevent*> events;
    } fired;
    auto* knob = new SWobjectnode;
    knob->SetName(std::string("knob"));
    world().AddNode(knob, nullptr);
    SWevent* click = world().AddEventOfType(5);
    click->AddObjectName(std::string("knob"));
    ASSERT_TRUE(world().RenameNode(knob, "knob", "dial"));
    EXPECT_TRUE(world().CheckEventIndex());
    BehaviourObserver* const before = world().GetObserver();
    world().SetObserver(&fired);
    world().ResetEvents();
    auto* press = new SWinputrecord(InputKind::kObjectClick, 0, static_cast<SWnode*>(knob));
    press->SetSecondWord(2); // the left button
    world().GetDispatchQueue().Push(press);
    world().ProcessEvents();
    world().SetObserver(before);
    EXPECT_EQ(fired.events, std::vector<const SWevent*>{click});
}

// References by name to a node's variable follow its rename across a save: an expression's text and target, an XYZ
// motion's property generator and a host message that sends a variable, each resolving to the renamed node's
// variable when read back.
TEST_F(Project, ARenamedNodesVariablesAreStillNamedByEveryReference)
{
    auto* knob = new SWobjectnode;
    knob->SetName(std::string("knob"));
    world().AddNode(knob, nullptr);
    auto level = std::make_unique<SWproperty>(kTypeFloat);
    level->SetName(std::string("level"));
    knob->AddVariable(std::move(level));
    SWexpressionentry* entry = SWexpressionlist::Of(world()).Add(std::make_unique<SWexpression>(&world()));
    entry->GetExpression()->SetName(std::string("twice"));
    entry->GetExpression()->SetText(std::string("knob.level*2+(NODE:knob.level)"));
    entry->GetExpression()->SetTargetText(std::string("NODE:knob.level"));
    SWevent* event = world().NewEvent();
    auto* xyz =
        dynamic_cast<SWxyzmotion*>(event->CreateAction(world().GetActionCategories().FindKind(41))->GetMotion());
    ASSERT_NE(xyz, nullptr);
    auto generator = std::make_unique<SWpropertygenerator>(&world());
    generator->SetPropertyName(std::string("NODE:knob.level"));
    xyz->SetGenerator(std::move(generator), 1);
    auto* message = dynamic_cast<SWhostmessageaction*>(event->CreateAction(world().GetActionCategories().FindKind(40)));
    ASSERT_NE(message, nullptr);
    message->sendVariable = 1;
    message->AddArgument("NODE:knob.level", SWdatanode::kString, true);
    auto* spray = new SWobjectnode;
    spray->SetName(std::string("spray"));
    world().AddNode(spray, nullptr);
    auto* system = world().GetRootObject()->AddGeometry(std::make_unique<SWparticlenode>());
    spray->SetGeometry(system);
    auto rate = std::make_unique<SWpropertygenerator>(&world());
    rate->SetPropertyName(std::string("NODE:knob.level"));
    static_cast<SWparticlenode*>(system)->SetGenerator(2, std::make_unique<SWparticlegenerator>(std::move(rate)));
    auto* other = new SWobjectnode; // a name that only begins alike stays
    other->SetName(std::string("knob2"));
    world().AddNode(other, nullptr);
    SWexpressionentry* untouched = SWexpressionlist::Of(world()).Add(std::make_unique<SWexpression>(&world()));
    untouched->GetExpression()->SetText(std::string("knob2.x"));

    ASSERT_TRUE(world().RenameNode(knob, "knob", "dial"));
    EXPECT_EQ(entry->GetExpression()->GetTargetText(), std::optional<std::string>("NODE:dial.level"));
    EXPECT_EQ(entry->GetExpression()->GetTargetVariable(), knob->FindVariable("level"));
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(project().WriteBytes(bytes, nullptr));
    CVTND_Project::LoadResult loaded = CVTND_Project::LoadBytes(bytes, "renamed");
    ASSERT_TRUE(loaded.ok());
    SWworld& read = *loaded.world;
    const SWproperty* dialLevel = read.GetRootNode()->FindByName("dial")->FindVariable("level");
    ASSERT_NE(dialLevel, nullptr);
    const auto resolves = [&](const std::optional<std::string>& text) {
        int code = 0;
        return text && SWexpression::ResolveVariableReference(&read, *text, code) == dialLevel;
    };
    const SWexpressionentry* kept = SWexpressionlist::Of(read).FindByName("twice");
    ASSERT_NE(kept, nullptr);
    EXPECT_EQ(kept->GetExpression()->GetText(), std::optional<std::string>("dial.level*2+(NODE:dial.level)"));
    EXPECT_EQ(read.FindVariableById(kept->GetExpression()->GetTargetVariableId()), dialLevel);
    const SWxyzmotion* motion = nullptr;
    for (SWevent* e = read.GetFirstEvent(); e != nullptr; e = SWevents::GetNextEvent(e))
        for (SWactionnode* a = e->GetFirstAction(); a != nullptr; a = SWevent::GetNextAction(a))
            if (const auto* m = dynamic_cast<const SWxyzmotion*>(a->GetMotion()))
                motion = m;
    ASSERT_NE(motion, nullptr);
    const SWhostmessageaction* sent = nullptr;
    for (SWevent* e = read.GetFirstEvent(); e != nullptr; e = SWevents::GetNextEvent(e))
        for (SWactionnode* a = e->GetFirstAction(); a != nullptr; a = SWevent::GetNextAction(a))
            if (const auto* m = dynamic_cast<const SWhostmessageaction*>(a))
                sent = m;
    ASSERT_NE(sent, nullptr);
    ASSERT_NE(sent->GetArguments().Head(), nullptr);
    EXPECT_TRUE(resolves(std::string(static_cast<const SWdatanode*>(sent->GetArguments().Head())->GetText())));
    const auto* sampled = dynamic_cast<const SWpropertygenerator*>(motion->GetGenerator(1));
    ASSERT_NE(sampled, nullptr);
    EXPECT_TRUE(resolves(sampled->GetPropertyName()));
    const auto* readSystem =
        dynamic_cast<const SWparticlenode*>(read.GetRootNode()->FindByName("spray")->GetGeometry());
    ASSERT_NE(readSystem, nullptr);
    const auto* slot = dynamic_cast<const SWparticlegenerator*>(readSystem->GetGenerator(2));
    ASSERT_NE(slot, nullptr);
    const auto* slotSampled = dynamic_cast<const SWpropertygenerator*>(slot->Get());
    ASSERT_NE(slotSampled, nullptr);
    EXPECT_TRUE(resolves(slotSampled->GetPropertyName()));
    EXPECT_EQ(untouched->GetExpression()->GetText(), std::optional<std::string>("knob2.x"));
}

// The replacement is announced while the old texture lives, however the world is reached.
TEST_F(Project, ReplacingATextureAnnouncesItFirst)
{
    ASSERT_TRUE(world().GetRootObject()->AddTexture(SWimage32::SWimage32FromPixels("old", 2, 2, nullptr)));
    ASSERT_TRUE(world().GetRootObject()->AddTexture(SWimage32::SWimage32FromPixels("new", 2, 2, nullptr)));
    SWtexture* old = world().FindTextureByName("old");
    SWtexture* replacement = world().FindTextureByName("new");
    panelWindow->onNotify = [&](const CVTND_Event& event) {
        if (event.Is(EventCode::kReplaced)) {
            EXPECT_EQ(static_cast<SWtexture*>(event.subject.GetObject())->GetName(), "old");
        }
    };
    SWworld& engineWorld = world();
    engineWorld.ReplaceTextureReferences(old, replacement, false);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].code, 7u);
    EXPECT_EQ(world().FindTextureByName("old"), nullptr);
}

// A scene whose expression an action runs, whose tooltip sits on a node and whose script a speech motion names: in
// the project they work under names of their own, and removing the file takes them out, announced first.
TEST_F(Project, ExpressionsTooltipsAndScriptsOfAnAddedFileWorkAndGoWithIt)
{
    SWworld scene;
    auto* lamp = new SWobjectnode();
    lamp->SetName(std::string("lamp"));
    scene.AddNode(lamp, nullptr);
    auto expression = std::make_unique<SWexpression>(&scene);
    expression->SetName(std::string("calc"));
    expression->SetText(std::string("2+3"));
    SWexpressionentry* entry = SWexpressionlist::Of(scene).Add(std::move(expression));
    SWevent* event = scene.NewEvent();
    event->CreateAction(scene.GetActionCategories().FindKind(35))->AddArgument(entry, SWdatanode::kObject, false);
    auto* talk = dynamic_cast<SWspeechmotion*>(
        event->CreateAction(scene.GetActionCategories().FindKind(SWspeechmotion::kKind))->GetMotion());
    ASSERT_NE(talk, nullptr);
    talk->SetSpeechDataName(std::string("talk"));
    scene.GetRootObject()->AddChild(new SWspeechdata("talk"));
    EnsureTooltipParts(scene);
    auto* tip = new CVTN_ToolTip(&scene, "tip");
    tip->GetOrAddEntry(lamp);
    SWtooltips::Find(scene)->GetList().AddTail(tip);
    const std::string path = (folder / "behaviour.vtn").string();
    ASSERT_EQ(SaveWorldFile(scene, WorldFileMode::kScene, path), DocumentStatus::kOk);
    SWexpressionlist::Of(world())
        .Add(std::make_unique<SWexpression>(&world()))
        ->GetExpression()
        ->SetName(std::string("calc"));
    world().GetRootObject()->AddChild(new SWspeechdata("talk"));

    CVTN_SubWorld* added = project().AddSceneFile(path);
    ASSERT_NE(added, nullptr);
    SWexpressionentry* merged = SWexpressionlist::Find(world())->FindByName("calc_1");
    ASSERT_NE(merged, nullptr);
    SWactionnode* run = world().GetFirstEvent()->GetFirstAction();
    EXPECT_EQ(static_cast<SWdatanode*>(run->GetArguments().Head())->GetData(SWdatanode::kObject), merged);
    EXPECT_FLOAT_EQ(SWexpression::Evaluate(merged->GetExpression())->GetAsFloat(), 5.0f);
    const auto* mergedTip = static_cast<CVTN_ToolTip*>(SWtooltips::Find(world())->GetList().Head());
    ASSERT_NE(mergedTip, nullptr);
    EXPECT_EQ(mergedTip->GetEntryNode(*mergedTip->GetFirstEntry()), world().GetRootNode()->FindByName("lamp"));
    const auto* motion = dynamic_cast<SWspeechmotion*>(SWevent::GetNextAction(run)->GetMotion());
    ASSERT_NE(motion, nullptr);
    EXPECT_EQ(motion->GetSpeechDataName(), std::optional<std::string>("talk_1"));
    EXPECT_NE(FindSpeechDataByName(world().GetRootObject(), "talk_1"), nullptr);

    log.clear();
    ASSERT_TRUE(project().RemoveSubWorld(added));
    EXPECT_EQ(CountDeleted(9), 1u);
    EXPECT_EQ(CountDeleted(11), 1u);
    EXPECT_EQ(CountDeleted(16), 2u);
    EXPECT_EQ(SWexpressionlist::Find(world())->FindByName("calc_1"), nullptr);
    EXPECT_EQ(SWtooltips::Find(world())->GetList().Count(), 0u);
    EXPECT_EQ(FindSpeechDataByName(world().GetRootObject(), "talk_1"), nullptr);
    EXPECT_NE(FindSpeechDataByName(world().GetRootObject(), "talk"), nullptr);
}

int32_t g_noticeAnswer = pf::IDNO;
int g_notices = 0;
int32_t AnswerNotice(CVTNDesignerApp&, const CVTND_ModalRequest& request)
{
    ++g_notices;
    EXPECT_NE(request.background, nullptr);
    return g_noticeAnswer;
}

// A file whose background differs is offered; on Yes the world takes the file's own definition.
TEST_F(Project, ALoadedBackgroundIsOfferedAndTakenOnYes)
{
    const CVTND_ModalToolRun old = CVTND_Registry::ReplaceModalTool(ModalTool::kLoadedBackground, &AnswerNotice);
    g_notices = 0;
    g_noticeAnswer = pf::IDNO;
    const std::string scene = SampleScene();
    ASSERT_NE(project().AddSceneFile(scene), nullptr);
    EXPECT_EQ(g_notices, 1);
    EXPECT_EQ(world().GetRootObject()->GetBackground(), nullptr);
    g_noticeAnswer = pf::IDYES;
    ASSERT_NE(project().AddSceneFile(scene), nullptr);
    CVTND_Registry::ReplaceModalTool(ModalTool::kLoadedBackground, old);
    const SWbackground* taken = world().GetRootObject()->GetBackground();
    ASSERT_NE(taken, nullptr);
    EXPECT_NE(taken->GetTexture(), nullptr);
    EXPECT_NE(world().GetBackgroundCopy(), nullptr);
    EXPECT_EQ(g_notices, 2);
}

// The material editor's sphere is the editor's: never counted, never stored, and still there after a save.
TEST_F(Project, ThePreviewSphereIsNeitherCountedNorSaved)
{
    auto sphere = std::make_unique<SWmeshobject>();
    sphere->SetVertices({0, 0, 0, 1, 1, 1, 2, 0, 0});
    sphere->GetObjectReference().id = 328328;
    const SWgeometry* kept = world().GetRootObject()->AddGeometry(std::move(sphere));
    project().UpdateWorldHeader();
    EXPECT_EQ(world().GetRootObject()->FindHeader()->GetMeshCount(), 0u);
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(project().WriteBytes(bytes, nullptr));
    EXPECT_EQ(world().GetRootObject()->GetFirstGeometry(), kept);
    CVTND_Project::LoadResult loaded = CVTND_Project::LoadBytes(bytes, "sphere");
    ASSERT_TRUE(loaded.ok()) << loaded.message;
    EXPECT_EQ(loaded.world->GetRootObject()->GetFirstGeometry(), nullptr);
}

std::vector<uint8_t> FileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> bytes(static_cast<size_t>(std::filesystem::file_size(path)));
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return bytes;
}

// The later parts' record handlers set aside for a test, so the project item keeps those records as bytes.
class LaterHandlersAside {
public:
    LaterHandlersAside()
    {
        for (const uint32_t tag : ProjectRecordTags())
            m_displaced.emplace_back(tag, ReplaceProjectRecordHandler(tag, nullptr));
    }
    ~LaterHandlersAside()
    {
        for (const auto& [tag, handler] : m_displaced)
            ReplaceProjectRecordHandler(tag, handler);
    }

private:
    std::vector<std::pair<uint32_t, const CVTND_ProjectRecordHandler*>> m_displaced;
};

TEST_F(Project, AProjectReopensAsTheDesignerWorldAndSavesToTheSameBytes)
{
    const LaterHandlersAside aside;
    ASSERT_NE(project().AddSceneFile(SampleScene()), nullptr);
    EnsureTooltipParts(world());
    for (const char* name : {"one", "two", "three"})
        SWtooltips::Find(world())->GetList().AddTail(new CVTN_ToolTip(&world(), name));
    project().GetKeptRecords() = {{MakeTag("PLAY"), {1, 2}}, {MakeTag("PRW4"), {3}}, {MakeTag("PRW4"), {4, 5}}};
    SWevent* event = world().NewEvent();
    auto* stop = dynamic_cast<SWstopmotionsaction*>(event->CreateAction(world().GetActionCategories().FindKind(46)));
    ASSERT_NE(stop, nullptr);
    stop->subtree = 0;
    project().SetAuthor("someone");
    project().SetMetrics(4);
    project().SetHtmlOption(false);
    project().UpdateWorldHeader();
    const std::string path = (folder / "first.vtp").string();
    ASSERT_TRUE(project().SaveFile(path, app->GetGradientStore()));

    CVTND_Project::LoadResult loaded = CVTND_Project::LoadFile(path);
    ASSERT_TRUE(loaded.ok()) << loaded.message;
    EXPECT_NE(dynamic_cast<CVTND_ExtendedWorld*>(loaded.world.get()), nullptr);
    EXPECT_EQ(loaded.project->GetAuthor(), std::optional<std::string>("someone"));
    EXPECT_EQ(loaded.project->GetMetrics(), 4);
    EXPECT_FALSE(loaded.project->GetHtmlOption());
    ASSERT_EQ(loaded.project->GetAddedFiles().Count(), 1u);
    const CVTN_SubWorld* entry = loaded.project->GetAddedFiles().GetFirst();
    EXPECT_EQ(loaded.project->FindAddedFile(entry)->record.entries,
              project().FindAddedFile(project().GetAddedFiles().GetFirst())->record.entries);
    EXPECT_EQ(SWtooltips::Find(*loaded.world)->GetList().Count(), 3u);
    EXPECT_EQ(loaded.project->GetKeptRecords().size(), 3u);
    const auto* stopRead = dynamic_cast<const SWstopmotionsaction*>(loaded.world->GetFirstEvent()->GetFirstAction());
    ASSERT_NE(stopRead, nullptr);
    EXPECT_EQ(stopRead->subtree, 0); // the world part reads at its own version, not the container's digits
    std::vector<uint8_t> again;
    ASSERT_TRUE(loaded.project->WriteBytes(again, loaded.gradients.get()));
    EXPECT_EQ(again, FileBytes(path));
    EXPECT_EQ(app->GetProject(), &project()); // reading changed nothing of the application
}

// A project large enough that its reading gives the file's pages back as records become objects: no record is read
// again after its pages went (it would come back as zeros), so it saves to the same bytes.
TEST_F(Project, ALargeProjectReadsWholeWhileGivingItsPagesBack)
{
    ASSERT_NE(project().AddSceneFile(SampleScene()), nullptr);
    // Stored as they are, four bytes a pixel: past the size from which pages are given back, in the fewest passes.
    std::vector<uint32_t> pixels(2900 * 2900);
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = static_cast<uint32_t>(i * 2654435761u);
    ASSERT_TRUE(
        world().GetRootObject()->AddTexture(SWimage32::SWimage32FromPixels("large", 2900, 2900, pixels.data())));
    project().SetAuthor("someone");
    const std::string path = (folder / "large.vtp").string();
    ASSERT_TRUE(project().SaveFile(path, app->GetGradientStore()));
    ASSERT_GT(std::filesystem::file_size(path), uint64_t{32} << 20);

    CVTND_Project::LoadResult loaded = CVTND_Project::LoadFile(path);
    ASSERT_TRUE(loaded.ok()) << loaded.message;
    EXPECT_EQ(loaded.project->GetAuthor(), std::optional<std::string>("someone"));
    std::vector<uint8_t> again;
    ASSERT_TRUE(loaded.project->WriteBytes(again, loaded.gradients.get()));
    EXPECT_TRUE(again == FileBytes(path));
}

// A project opened, then written over in place or cut by another program before its records were read: the load
// fails naming the file, where it once left out the texture or everything after the cut and answered ok. Nothing is
// written to the file.
TEST_F(Project, AProjectChangedOnDiskAfterItWasOpenedFailsWhole)
{
    ASSERT_NE(project().AddSceneFile(SampleScene()), nullptr);
    std::vector<uint32_t> pixels(300 * 300);
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = static_cast<uint32_t>(i * 2654435761u);
    ASSERT_TRUE(world().GetRootObject()->AddTexture(SWimage32::SWimage32FromPixels("large", 300, 300, pixels.data())));
    const std::string path = (folder / "changing.vtp").string();
    ASSERT_TRUE(project().SaveFile(path, app->GetGradientStore()));
    const std::vector<uint8_t> saved = FileBytes(path);
    SWdocumentfile parsed;
    ASSERT_EQ(SWdocumentfile::Parse(saved, parsed), DocumentStatus::kOk);
    const DocumentRecord texture = *std::ranges::max_element(parsed.Records(), {}, &DocumentRecord::length);
    const uint64_t flipAt = texture.PayloadOffset() + texture.PayloadBytes() / 2;
    ASSERT_GT(flipAt, 2 * kDocumentSliceBytes); // past the slice the project record is read from
    const struct {
        const char* what;
        std::function<void()> change;
    } changes[] = {
        {"a byte flipped inside the texture",
         [&] {
             std::fstream inPlace(path, std::ios::binary | std::ios::in | std::ios::out);
             inPlace.seekp(static_cast<std::streamoff>(flipAt));
             inPlace.put(static_cast<char>(saved[flipAt] ^ 1));
         }},
        {"cut inside the texture", [&] { std::filesystem::resize_file(path, flipAt); }},
    };
    for (const auto& change : changes) {
        SCOPED_TRACE(change.what);
        ASSERT_EQ(SaveDocumentFile(path, saved), DocumentStatus::kOk);
        SWdocumentfile file;
        ASSERT_EQ(SWdocumentfile::OpenFile(path, file), DocumentStatus::kOk);
        change.change();
        const std::vector<uint8_t> changed = FileBytes(path);
        const CVTND_Project::LoadResult loaded = CVTND_Project::LoadOpenedFile(file, path);
        EXPECT_FALSE(loaded.ok());
        EXPECT_EQ(loaded.message.rfind(path + ": ", 0), 0u) << loaded.message;
        EXPECT_NE(loaded.message.find("changed on disk"), std::string::npos) << loaded.message;
        EXPECT_EQ(FileBytes(path), changed);
    }
}

// A project written by another process stores ids above this one's counter. The ids its read gives fresh (a
// duplicate, a node stored without one) take none the file stores further on, and the project saves the same
// after it is read again.
TEST_F(Project, FreshIdsTakenWhileReadingTakeNoneTheFileStores)
{
    std::vector<std::pair<uint32_t, uint32_t>> ids;
    const uint32_t base = PeekUniqueId() + 1000;
    for (uint32_t k = 0; k < 40; ++k) {
        auto* node = new SWobjectnode;
        node->SetName(std::string("n").append(std::to_string(k)));
        ASSERT_TRUE(world().AddNode(node, nullptr));
        ids.emplace_back(node->GetId(), k == 1 ? base : k == 2 ? 0 : base + k); // n1 repeats n0's, n2 has none
    }
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(project().WriteBytes(bytes, nullptr));
    CVTND_Project::LoadResult loaded =
        CVTND_Project::LoadBytes(documenttest::WithStoredIds(bytes, ids, "0942"), "other.vtp");
    ASSERT_TRUE(loaded.ok()) << loaded.message;
    std::set<uint32_t> seen;
    SWnode* const root = loaded.world->GetRootNode();
    for (SWnode* node = root; node != nullptr; node = node->NextInTree(root))
        EXPECT_TRUE(seen.insert(node->GetId()).second) << node->GetName().value_or("") << " " << node->GetId();
    for (uint32_t k = 3; k < 40; ++k)
        EXPECT_EQ(root->FindByName(std::string("n").append(std::to_string(k)))->GetId(), base + k);

    std::vector<uint8_t> first;
    ASSERT_TRUE(loaded.project->WriteBytes(first, nullptr));
    CVTND_Project::LoadResult again = CVTND_Project::LoadBytes(first, "first.vtp");
    ASSERT_TRUE(again.ok()) << again.message;
    std::vector<uint8_t> second;
    ASSERT_TRUE(again.project->WriteBytes(second, nullptr));
    EXPECT_TRUE(second == first);
}

TEST_F(Project, RecordsOfLaterPartsSurviveAsBytesAndGradientsStaySiblings)
{
    const LaterHandlersAside aside;
    CVTND_Project::KeptRecord layout{MakeTag("PLAY"), {1, 2, 3}};
    CVTND_Project::KeptRecord tooltip{MakeTag("PRTT"), {4, 5}};
    CVTND_Project::KeptRecord gradient{MakeTag("PRW4"), {6}};
    project().GetKeptRecords() = {gradient, tooltip, layout, tooltip};
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(project().WriteBytes(bytes, nullptr));
    CVTND_Project::LoadResult loaded = CVTND_Project::LoadBytes(bytes, "kept");
    ASSERT_TRUE(loaded.ok()) << loaded.message;
    const auto& kept = loaded.project->GetKeptRecords();
    ASSERT_EQ(kept.size(), 4u);
    // Written in tag order: the layout, the tooltips, then the gradients beside them.
    EXPECT_EQ(kept[0].tag, MakeTag("PLAY"));
    EXPECT_EQ(kept[1].payload, tooltip.payload);
    EXPECT_EQ(kept[2].tag, MakeTag("PRTT"));
    EXPECT_EQ(kept[3].payload, gradient.payload);
    std::vector<uint8_t> again;
    ASSERT_TRUE(loaded.project->WriteBytes(again, nullptr));
    EXPECT_EQ(again, bytes);
}

// Gradient records found inside a tooltip record, as older files have them, reach their handler.
int g_gradientsRead = 0;
ProjectRecordRead CountGradient(CVTND_ProjectReading&, uint32_t, SWchunkstream&)
{
    ++g_gradientsRead;
    return ProjectRecordRead::kOk;
}
ProjectRecordRead LayoutDamaged(CVTND_ProjectReading&, uint32_t, SWchunkstream&)
{
    return ProjectRecordRead::kDamagedOptional;
}

TEST_F(Project, NestedGradientsAreReadAndADamagedLayoutOpensWithANote)
{
    const LaterHandlersAside aside;
    std::vector<uint8_t> nested = {'P', 'R', 'W', '4', 1, 0, 0, 0, 9};
    project().GetKeptRecords() = {{MakeTag("PRTT"), nested}, {MakeTag("PLAY"), {0}}};
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(project().WriteBytes(bytes, nullptr));
    const CVTND_ProjectRecordHandler gradients{nullptr, &CountGradient};
    const CVTND_ProjectRecordHandler tooltips{nullptr, &CountGradient};
    const CVTND_ProjectRecordHandler layout{nullptr, &LayoutDamaged};
    const auto* oldGradients = ReplaceProjectRecordHandler(MakeTag("PRW4"), &gradients);
    const auto* oldTooltips = ReplaceProjectRecordHandler(MakeTag("PRTT"), &tooltips);
    const auto* oldLayout = ReplaceProjectRecordHandler(MakeTag("PLAY"), &layout);
    g_gradientsRead = 0;
    CVTND_Project::LoadResult loaded = CVTND_Project::LoadBytes(bytes, "nested");
    ReplaceProjectRecordHandler(MakeTag("PRW4"), oldGradients);
    ReplaceProjectRecordHandler(MakeTag("PRTT"), oldTooltips);
    ReplaceProjectRecordHandler(MakeTag("PLAY"), oldLayout);
    ASSERT_TRUE(loaded.ok()) << loaded.message;
    EXPECT_EQ(g_gradientsRead, 2); // the tooltip's handler, then the gradient inside it
    EXPECT_TRUE(loaded.damagedButOpened);
    EXPECT_NE(loaded.message.find("nested"), std::string::npos);
}

// A project one of whose world's records does not read opens without it and says so, naming the file and the record:
// it opened as if whole.
TEST_F(Project, AWorldRecordLeftOutIsNamedWhenTheProjectOpens)
{
    ASSERT_NE(project().AddSceneFile(SampleScene()), nullptr);
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(project().WriteBytes(bytes, app->GetGradientStore()));
    SWdocumentfile file;
    ASSERT_EQ(SWdocumentfile::Parse(bytes, file), DocumentStatus::kOk);
    std::vector<documenttest::RawRecord> records;
    for (const DocumentRecord& record : file.Records()) {
        records.push_back(
            {record.tag, record.parentIndex, record.flags, {record.payload.begin(), record.payload.end()}});
        if (record.tag == MakeTag("7403"))
            records.back().payload.resize(6); // the sound's fields cut
    }
    const CVTND_Project::LoadResult loaded =
        CVTND_Project::LoadBytes(documenttest::FileOf(documenttest::BodyOf(records), true, "0942"), "mute.vtp");
    ASSERT_TRUE(loaded.ok()) << loaded.message;
    EXPECT_TRUE(loaded.damagedButOpened);
    EXPECT_NE(loaded.message.find("mute.vtp: a record could not be read and was left out"), std::string::npos)
        << loaded.message;
    EXPECT_NE(loaded.message.find("\"7403\": sound does not read"), std::string::npos) << loaded.message;
}

// Every cut of a small project, and counts and lengths made to claim more than they hold, fail with a message
// naming the file; nothing of the application changes.
TEST_F(Project, DamagedProjectsFailAndLeaveTheOpenProjectAlone)
{
    ASSERT_NE(project().AddSceneFile(SampleScene()), nullptr);
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(project().WriteBytes(bytes, nullptr));
    for (size_t cut = 0; cut < bytes.size(); cut += std::max<size_t>(1, bytes.size() / 97)) {
        SCOPED_TRACE(cut);
        const CVTND_Project::LoadResult loaded =
            CVTND_Project::LoadBytes(std::vector<uint8_t>(bytes.begin(), bytes.begin() + cut), "cut.vtp");
        EXPECT_FALSE(loaded.ok());
        EXPECT_EQ(loaded.message.rfind("cut.vtp: ", 0), 0u) << loaded.message;
    }
    // One nested record of tag, its payload written by fill.
    const auto record = [](uint32_t tag, const std::function<void(SWchunkstream&)>& fill) {
        SWbuffer buffer;
        {
            SWchunkstream out(buffer, SWchunkstream::kWrite);
            SWrecordbuilder builder(out, tag);
            fill(builder.Stream());
            builder.Finish();
        }
        return buffer.ToVector();
    };
    const auto addedFile = [&](uint32_t mergeCount) {
        return record(MakeTag("PADD"), [&](SWchunkstream& s) {
            for (int i = 0; i < 3; ++i)
                s.WriteString("");
            s.WriteU8(0);
            s.WriteU32(1);
            for (int i = 0; i < 9; ++i)
                s.WriteU8(0);
            s.WriteU32(0);
            const std::vector<uint8_t> merge = record(MakeTag("MREC"), [&](SWchunkstream& m) {
                m.WriteString("scene.vtn");
                m.WriteU32(mergeCount);
            });
            s.WriteBytes(merge);
        });
    };
    const auto settings = [&](uint8_t metrics, size_t cutTo) {
        std::vector<uint8_t> bytes = record(MakeTag("PSET"), [&](SWchunkstream& s) {
            for (int i = 0; i < 3; ++i)
                s.WriteString("");
            s.WriteU8(metrics);
            s.WriteU8(1);
            s.WriteU8(1);
        });
        if (cutTo < bytes.size()) {
            bytes.resize(cutTo);
            bytes[4] = static_cast<uint8_t>(cutTo - 8); // a shorter record, whole as a record
        }
        return bytes;
    };
    std::vector<uint8_t> lengthBeyond = settings(2, 100);
    lengthBeyond[5] = 0x7F;
    std::vector<uint8_t> trailing = record(MakeTag("PLAY"), [](SWchunkstream&) {});
    trailing.push_back(7);
    const struct {
        const char* what;
        std::vector<uint8_t> payload;
    } items[] = {
        {"merge count beyond its record", addedFile(0x7FFFFFFF)},
        {"settings cut short", settings(2, 12)},
        {"metrics out of range", settings(8, 100)},
        {"length beyond the payload", lengthBeyond},
        {"bytes after the last record", trailing},
    };
    EXPECT_EQ(CVTND_Project::LoadBytes(std::vector<uint8_t>(), "nothing").message, "nothing: the file is empty");
    // A text file and an empty one opened as a project say what they are, in the person's words.
    const std::string text = (folder / "notes.vtp").string();
    std::ofstream(text) << "RIFF and some more words than a header holds\n";
    EXPECT_EQ(CVTND_Project::LoadFile(text).message, text + ": it is not a Vortan project file");
    EXPECT_EQ(CVTND_Project::LoadBytes(FileBytes(text), "notes").message, "notes: it is not a Vortan project file");
    const std::string empty = (folder / "empty.vtp").string();
    std::ofstream{empty};
    EXPECT_EQ(CVTND_Project::LoadFile(empty).message, empty + ": the file is empty");
    const auto bodyWith = [&](const std::vector<uint8_t>& payload) {
        std::vector<uint8_t> world;
        SWworld plain;
        EXPECT_EQ(WriteWorldFile(plain, WorldFileMode::kProject, world), DocumentStatus::kOk);
        // A hand-made project: the item first, then the plain world's records under it.
        SWdocumentfile file;
        EXPECT_EQ(SWdocumentfile::Parse(world, file), DocumentStatus::kOk);
        DocumentWriteOptions options;
        options.version = kDocumentVersionProject;
        SWdocumentwriter writer(options);
        writer.AddRecord(MakeTag("2PRJ"), kDocumentNoParent, payload);
        for (const DocumentRecord& record : file.Records())
            writer.AddRecord(record.tag, record.parentIndex == kDocumentNoParent ? 0 : record.parentIndex + 1,
                             record.payload);
        std::vector<uint8_t> out;
        EXPECT_EQ(writer.Finish(out), DocumentStatus::kOk);
        return out;
    };
    ASSERT_TRUE(CVTND_Project::LoadBytes(bodyWith({}), "empty").ok());
    ASSERT_TRUE(CVTND_Project::LoadBytes(bodyWith(addedFile(0)), "no entries").ok());
    for (const auto& item : items) {
        SCOPED_TRACE(item.what);
        const CVTND_Project::LoadResult loaded = CVTND_Project::LoadBytes(bodyWith(item.payload), "bad.vtp");
        EXPECT_FALSE(loaded.ok());
        EXPECT_EQ(loaded.message.rfind("bad.vtp: ", 0), 0u) << loaded.message;
    }
    std::vector<uint8_t> scene;
    SWworld plain;
    ASSERT_EQ(WriteWorldFile(plain, WorldFileMode::kScene, scene), DocumentStatus::kOk);
    EXPECT_NE(CVTND_Project::LoadBytes(scene, "scene.vtn").message.find("not a project file"), std::string::npos);
    EXPECT_EQ(project().GetAddedFiles().Count(), 1u);
}

TEST_F(Project, AFailedSaveLeavesTheOldFileAndNoTemporary)
{
    const std::string path = (folder / "kept.vtp").string();
    ASSERT_TRUE(project().SaveFile(path, nullptr));
    const std::vector<uint8_t> before = FileBytes(path);
    project().SetAuthor("changed");
    std::filesystem::permissions(folder, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    if (::geteuid() != 0) { // root writes into read-only folders
        sim().expectMessageBox(pf::IDOK);
        EXPECT_FALSE(project().SaveFile(path, nullptr));
        EXPECT_EQ(FileBytes(path), before);
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1);
        ASSERT_EQ(ui().providers().scriptedMessageBox().calls().size(), 1u);
        EXPECT_NE(ui().providers().scriptedMessageBox().calls()[0].text.find("kept.vtp"), std::string::npos);
    }
    std::filesystem::permissions(folder, std::filesystem::perms::owner_all);
}

// The world's lock comes before the tools' lock everywhere: a thread that holds the world while it reads the tools
// never waits on a header update that holds the tools.
TEST_F(Project, TheHeaderUpdateTakesTheWorldLockBeforeTheToolsLock)
{
    const std::string scene = SampleScene();
    std::atomic<bool> stop{false};
    std::thread publisher([&] {
        while (!stop.load()) {
            SWworldlock lock(world());
            const std::lock_guard<std::mutex> tools(project().GetToolsLock());
        }
    });
    for (int i = 0; i < 3; ++i) {
        project().UpdateWorldHeader();
        ASSERT_NE(project().AddSceneFile(scene), nullptr);
    }
    stop = true;
    publisher.join();
    EXPECT_EQ(project().GetAddedFiles().Count(), 3u);
}

} // namespace
