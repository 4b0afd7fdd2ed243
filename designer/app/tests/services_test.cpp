#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "designer/app/designer_app.h"
#include "designer/app/designer_utilities.h"
#include "designer/app/editor_settings.h"
#include "designer/app/engine_interface.h"
#include "designer/app/extended_world.h"
#include "designer/app/project_object.h"
#include "designer/app/registry.h"
#include "designer/app/user_dialogs.h"
#include "designer/app/window_placement.h"
#include "designer/app/world_host.h"
#include "engine/core/camera_node.h"
#include "engine/core/hotspot.h"
#include "engine/core/mesh_node.h"
#include "engine/core/object_node.h"
#include "engine/core/world.h"
#include "engine/resources/particle_node.h"
#include "platform/display/screen.h"
#include "platform/settings/settings_backend.h"
#include "platform/settings/settings_store.h"
#include "platform/testing/image_check.h"
#include "platform/testing/ui_fixture.h"
#include "platform/ui/dialog/dialog.h"
#include "platform/ui/providers/providers.h"

namespace {

TEST(ProjectObject, NodeTypesFollowTheKindFlagsInTheirOrder)
{
    SWworld world;
    SWobjectnode object;
    SWnode bone(0);
    SWnode group(SWnode::kKindGroup);
    SWhotspot spot;
    SWmeshnode mesh(nullptr);
    SWobjectnode camera(SWnode::kKindCamera);
    SWobjectnode particles;
    SWparticlenode system;
    particles.SetGeometry(&system);
    SWobjectnode cameraWithMesh(SWnode::kKindCamera | SWnode::kKindMesh);
    const struct {
        SWnode* node;
        uint16_t type;
    } cases[] = {{world.GetRootNode(), 18},
                 {&camera, 2},
                 {&spot, 13},
                 {&particles, 14},
                 {&mesh, 1},
                 {&group, 5},
                 {&object, 3},
                 {&bone, 4},
                 {&cameraWithMesh, 2}};
    for (const auto& c : cases) {
        CVTND_Object reference;
        reference.InitFromNode(c.node);
        EXPECT_EQ(reference.GetType(), c.type);
        EXPECT_TRUE(reference.IsNodeType());
    }
    particles.SetGeometry(nullptr);
    EXPECT_TRUE(CVTND_Object(static_cast<SWnode*>(nullptr)).IsEmpty());
}

TEST(ProjectObject, ListsForgetEveryEntryNamingAnObject)
{
    int a = 0;
    int b = 0;
    CVTND_Objects list;
    EXPECT_TRUE(list.AddUnique({ObjectType::kSound, &a}));
    EXPECT_FALSE(list.AddUnique({ObjectType::kSound, &a}));
    list.Add({ObjectType::kMaterial, &a});
    list.Add({ObjectType::kSound, &b});
    EXPECT_EQ(list.RemoveObject(&a), 2u);
    ASSERT_EQ(list.Count(), 1u);
    EXPECT_EQ(list[0].GetObject(), &b);
    EXPECT_FALSE(list.Remove({ObjectType::kSound, &a}));
}

pf::Window* NoEditor(const CVTND_EditorRequest&)
{
    return nullptr;
}

TEST(Registry, TheFirstRegistrationOfAKeyWinsAndActionsFallBackToAnyKind)
{
    CVTND_EditorRegistration first(ObjectType::kAction, 77, &NoEditor);
    CVTND_EditorRegistration second(ObjectType::kAction, 77, reinterpret_cast<CVTND_EditorConstructor>(&NoEditor));
    EXPECT_TRUE(first.registered);
    EXPECT_FALSE(second.registered);
    EXPECT_EQ(CVTND_Registry::FindEditor(16, 77), &NoEditor);
    EXPECT_EQ(CVTND_Registry::FindEditor(16, 78), CVTND_Registry::FindEditor(16, kAnyActionKind));
    // Other types ignore the action kind they are given (the type's own editor set aside meanwhile).
    const CVTND_EditorConstructor registered = CVTND_Registry::ReplaceEditor(6, kAnyActionKind, nullptr);
    EXPECT_EQ(CVTND_Registry::ReplaceEditor(6, 5, &NoEditor), nullptr);
    EXPECT_EQ(CVTND_Registry::FindEditor(6, kAnyActionKind), &NoEditor);
    EXPECT_EQ(CVTND_Registry::ReplaceEditor(6, kAnyActionKind, nullptr), &NoEditor);
    EXPECT_EQ(CVTND_Registry::ReplaceEditor(16, 77, nullptr), &NoEditor);
    EXPECT_EQ(CVTND_Registry::FindEditor(6, kAnyActionKind), nullptr);
    CVTND_Registry::ReplaceEditor(6, kAnyActionKind, registered);
}

TEST(Registry, AnEditorReachesWhatTheEditorFoundForTheKindWasRegisteredToReach)
{
    const CVTND_EditorRegistration own(ObjectType::kAction, 87, &NoEditor, CVTND_EditorReach::kItsActionOnly);
    ASSERT_TRUE(own.registered);
    EXPECT_EQ(CVTND_Registry::FindEditorReach(16, 87), CVTND_EditorReach::kItsActionOnly);
    // A kind with no editor of its own takes the any-kind editor, and with it that editor's reach.
    EXPECT_EQ(CVTND_Registry::FindEditorReach(16, 89), CVTND_Registry::FindEditorReach(16, kAnyActionKind));
    EXPECT_EQ(CVTND_Registry::FindEditorReach(16, kAnyActionKind), CVTND_EditorReach::kItsKind);
    // A test's editor in its place may change anything its kind can.
    EXPECT_EQ(CVTND_Registry::ReplaceEditor(16, 87, &NoEditor), &NoEditor);
    EXPECT_EQ(CVTND_Registry::FindEditorReach(16, 87), CVTND_EditorReach::kItsKind);
    CVTND_Registry::ReplaceEditor(16, 87, nullptr);
}

TEST(EditorSettings, MissingValuesAreCreatedOnceAndOtherKindsLeftAlone)
{
    pf::SettingsStore store(nullptr);
    const CVTND_SettingRegistration flag({91, "test flag", SettingKind::kFlag, 1});
    const CVTND_SettingRegistration colour({92, "test colour", SettingKind::kColour, 0x102030});
    const CVTND_SettingRegistration count({93, "test count", SettingKind::kDword, 7});
    const std::string_view key = CVTND_EditorSettings::kKey;
    const uint8_t wrongLength[2] = {1, 2};
    store.setBinary(key, "test colour", wrongLength);
    store.setString(key, "test count", "seven");
    CVTND_EditorSettings settings(store);
    settings.Load();

    EXPECT_EQ(store.getDword(key, "open wizard"), 1u);
    EXPECT_EQ(store.getString(key, "user name"), std::string());
    EXPECT_EQ(store.getBinary(key, "test flag"), std::vector<uint8_t>{1});
    EXPECT_EQ(settings.GetColour(92), 0x102030u); // the default, the stored value left as it was
    EXPECT_EQ(store.getBinary(key, "test colour"), std::vector<uint8_t>({1, 2}));
    EXPECT_EQ(settings.GetDword(93), 7u);
    EXPECT_EQ(store.getString(key, "test count"), "seven");

    EXPECT_TRUE(settings.SetColour(92, 0xA0B0C0));
    EXPECT_EQ(settings.GetColour(92), 0xA0B0C0u);
    EXPECT_FALSE(settings.SetDword(92, 5)); // not a dword setting
    EXPECT_TRUE(settings.SetFlag(91, false));
    EXPECT_FALSE(settings.GetFlag(91));
    const auto all = CVTND_EditorSettings::Registered();
    EXPECT_TRUE(std::is_sorted(all.begin(), all.end(), [](const auto& a, const auto& b) { return a.id < b.id; }));

    EXPECT_TRUE(settings.SetDirectory(BrowseCategory::kScenes, "/scenes"));
    EXPECT_EQ(settings.GetDirectory(BrowseCategory::kScenes), "/scenes");
    EXPECT_EQ(settings.GetDirectory(BrowseCategory::kProjects), "");
    EXPECT_EQ(store.getString(key, "directory 1"), "/scenes");
}

// The preferences: a colour row shows a swatch of its colour; OK writes only what changed and tells the engine of
// each; a dword that is not a number is refused with a box and the dialog stays; Cancel writes nothing.
class Preferences : public pf::UiFixture {};

struct HeardSettings : CVTND_EngineInterface {
    void BeginDrag(pf::Point, pf::Window*) override {}
    void DragTo(pf::Point) override {}
    void Drop(pf::Point) override {}
    void CancelDrag() override {}
    UIObject* MakePaletteObject(const CVTND_Object&) override { return nullptr; }
    uint32_t AddControlReceptor(pf::Window&, uint32_t) override { return 1; }
    void RemoveControlReceptor(uint32_t) override {}
    void SettingChanged(uint32_t id) override { changed.push_back(id); }
    void Clear() override {}
    std::vector<uint32_t> changed;
};

TEST_F(Preferences, OkWritesWhatChangedCancelNothingAndAColourShowsItsSwatch)
{
    const CVTND_SettingRegistration swatch({94, "swatch colour", SettingKind::kColour, 0x2060C0});
    const CVTND_SettingRegistration count({95, "preference count", SettingKind::kDword, 7});
    const CVTND_SettingRegistration percent({96, "preference percent", SettingKind::kDword, 90, "", 100});
    const CVTND_SettingRegistration tick({0xFFFFFFF0u, "preference tick", SettingKind::kFlag, 0});
    const CVTND_SettingRegistration last({0xFFFFFFF1u, "preference last", SettingKind::kDword, 3, "", 10});
    pf::SettingsStore store(nullptr);
    CVTND_EditorSettings settings(store);
    settings.Load();
    pf::Window* owner = ui().createWindow({"window", "owner", pf::WS_POPUP | pf::WS_VISIBLE, 0, {0, 0, 600, 700}});
    std::vector<CVTND_SettingDef> all =
        CVTND_EditorSettings::Registered(); // the user's name and company have their own
    std::erase_if(all, [](const CVTND_SettingDef& d) {
        return d.id == CVTND_EditorSettings::kUserName || d.id == CVTND_EditorSettings::kUserOrganization;
    });
    const auto rowOf = [&](uint32_t id) {
        return 100 +
               2 * static_cast<int32_t>(
                       std::find_if(all.begin(), all.end(), [&](const auto& d) { return d.id == id; }) - all.begin());
    };
    HeardSettings engine;
    sim().onModal(kIddPreferences, [&](pf::Dialog& d) {
        sim().pump();
        pf::Window* field = d.child(rowOf(94));
        ASSERT_NE(field, nullptr);
        EXPECT_EQ(pf::screenPixel(field->clientToScreen({3, 3})), 0x2060C0u);
        // Refused, each says the range the setting keeps and the field shows the kept value again.
        for (const char* refused : {"seven", "-1", "", "4294967296"}) {
            d.child(rowOf(95))->setText(refused);
            sim().expectMessageBox(pf::IDOK);
            sim().click(*d.child(pf::IDOK));
            EXPECT_FALSE(d.hasEnded());
            const auto boxes = pf::ui().providers().scriptedMessageBox().calls();
            ASSERT_FALSE(boxes.empty());
            EXPECT_NE(boxes.back().text.find("needs a whole number from 0 to 4294967295"), std::string::npos);
            EXPECT_EQ(d.child(rowOf(95))->text(), "7") << refused;
        }
        // A setting used within a smaller range refuses more, and says that range: the snapshot quality took
        // 2147483600 and was clamped at use.
        for (const CVTND_SettingDef& def : all) {
            if (def.kind != SettingKind::kDword || def.highest >= 2147483600u)
                continue;
            SCOPED_TRACE(def.valueName);
            d.child(rowOf(def.id))->setText("2147483600");
            sim().expectMessageBox(pf::IDOK);
            sim().click(*d.child(pf::IDOK));
            EXPECT_FALSE(d.hasEnded());
            EXPECT_NE(pf::ui().providers().scriptedMessageBox().calls().back().text.find(
                          "from 0 to " + std::to_string(def.highest) + ";"),
                      std::string::npos);
            EXPECT_EQ(d.child(rowOf(def.id))->text(), std::to_string(settings.GetDword(def.id)));
        }
        d.child(rowOf(95))->setText("12");
        sim().click(*d.child(pf::IDOK));
    });
    // The application's own, where this test links them.
    for (const std::string name : {"snapshot quality", "recovery interval", "open wizard"}) {
        const auto def = std::find_if(all.begin(), all.end(), [&](const auto& d) { return d.valueName == name; });
        if (def != all.end()) {
            EXPECT_LT(def->highest, 2147483600u) << name;
        }
    }
    EXPECT_EQ(RunPreferencesDialog(*owner, settings, &engine), pf::IDOK);
    EXPECT_EQ(settings.GetDword(95), 12u);
    EXPECT_EQ(engine.changed, std::vector<uint32_t>{95});

    sim().onModal(kIddPreferences, [&](pf::Dialog& d) {
        d.child(rowOf(95))->setText("40");
        sim().click(*d.child(pf::IDCANCEL));
    });
    EXPECT_EQ(RunPreferencesDialog(*owner, settings, &engine), pf::IDCANCEL);
    EXPECT_EQ(settings.GetDword(95), 12u);
    EXPECT_EQ(engine.changed.size(), 1u);

    // A tick, and a number the last row refuses: OK writes no row, and Cancel after the box leaves the tick unset,
    // at the next start too.
    ASSERT_EQ(rowOf(0xFFFFFFF1u), 100 + 2 * static_cast<int32_t>(all.size() - 1));
    sim().onModal(kIddPreferences, [&](pf::Dialog& d) {
        sim().click(*d.child(rowOf(0xFFFFFFF0u)));
        d.child(rowOf(95))->setText("13");
        d.child(rowOf(0xFFFFFFF1u))->setText("11");
        sim().expectMessageBox(pf::IDOK);
        sim().click(*d.child(pf::IDOK));
        EXPECT_FALSE(d.hasEnded());
        sim().click(*d.child(pf::IDCANCEL));
    });
    EXPECT_EQ(RunPreferencesDialog(*owner, settings, &engine), pf::IDCANCEL);
    EXPECT_FALSE(settings.GetFlag(0xFFFFFFF0u));
    EXPECT_EQ(settings.GetDword(95), 12u);
    EXPECT_EQ(engine.changed.size(), 1u);
    CVTND_EditorSettings restarted(store);
    restarted.Load();
    EXPECT_FALSE(restarted.GetFlag(0xFFFFFFF0u));
}

class Placement : public pf::UiFixture {};

TEST_F(Placement, WindowsOpenAtTheMouseAndStayOnTheScreen)
{
    const pf::Rect area = pf::screen().workArea();
    pf::Window window;
    pf::CreateParams params;
    params.style = pf::WS_POPUP;
    params.rect = pf::Rect::fromXywh(0, 0, 200, 100);
    ASSERT_TRUE(window.create(params));
    const struct {
        pf::Point mouse;
        pf::Point expected;
    } cases[] = {
        {{area.l + 10, area.t + 20}, {area.l + 10, area.t + 20}},
        {{area.r - 1, area.t}, {area.r - 200, area.t}},
        {{area.l, area.b - 1}, {area.l, area.b - 100}},
        {{area.r - 5, area.b - 5}, {area.r - 200, area.b - 100}},
        {{area.l - 50, area.t - 50}, {area.l, area.t}},
    };
    for (const auto& c : cases) {
        sim().mouseMove(c.mouse);
        PlaceWindowAtCursor(window);
        EXPECT_EQ(window.screenRect().l, c.expected.x);
        EXPECT_EQ(window.screenRect().t, c.expected.y);
        EXPECT_EQ(window.screenRect().width(), 200);
    }
    pf::Window large;
    params.rect = pf::Rect::fromXywh(0, 0, static_cast<int32_t>(area.width()) + 300, 50);
    ASSERT_TRUE(large.create(params));
    sim().mouseMove({area.r - 10, area.t + 10});
    PlaceWindowAtCursor(large);
    EXPECT_EQ(large.screenRect().l, area.l); // its top-left corner stays on the screen
    EXPECT_EQ(large.screenRect().t, area.t + 10);
}

} // namespace

namespace {

class Browsing : public pf::UiFixture {};

// A variable of the environment set for one scope, then put back.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const std::string& value) : m_name(name)
    {
        if (const char* old = std::getenv(name))
            m_old = old;
        setenv(name, value.c_str(), 1);
    }
    ~ScopedVariable()
    {
        if (m_old)
            setenv(m_name, m_old->c_str(), 1);
        else
            unsetenv(m_name);
    }

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

TEST_F(Browsing, EachCategoryStartsWhereItWasLastLeftElseInTheDocumentsFolder)
{
    const std::filesystem::path root = artifactPath("browsing-" + std::to_string(::getpid()));
    for (const char* folder : {"scenes/a", "scenes/b", "pictures", "home/Papers", "config"})
        std::filesystem::create_directories(root / folder);
    std::ofstream(root / "config/user-dirs.dirs") << "# written by the desktop\nXDG_DOCUMENTS_DIR=\"$HOME/Papers\"\n";
    const ScopedVariable home("HOME", (root / "home").string());
    const ScopedVariable config("XDG_CONFIG_HOME", (root / "config").string());
    pf::SettingsStore store(nullptr);
    CVTND_EditorSettings settings(store);
    CVTNDesignerApp app(&settings);
    const std::string a = (root / "scenes/a").string();
    const std::string b = (root / "scenes/b").string();
    sim().expectFile(a + "/house.vtn");
    sim().expectFile(std::nullopt);
    sim().expectFile((root / "pictures/wall.jpg").string());
    sim().expectFile(b + "/tree.vtn");
    EXPECT_EQ(BrowseForFile(BrowseCategory::kScenes, nullptr, "Add", 1, "Scenes|*.vtn"), a + "/house.vtn");
    EXPECT_EQ(BrowseForFile(BrowseCategory::kResources, nullptr, "Picture", 1, "JPEG|*.jpg"), std::nullopt);
    BrowseForFile(BrowseCategory::kResources, nullptr, "Picture", 1, "JPEG|*.jpg");
    BrowseForFile(BrowseCategory::kScenes, nullptr, "Add", 1, "Scenes|*.vtn");
    const auto& calls = ui().providers().scriptedFile().calls();
    ASSERT_EQ(calls.size(), 4u);
    // Never the process's working folder: the documents folder the desktop names, before anything was chosen.
    EXPECT_EQ(calls[0].initialDirectory, (root / "home/Papers").string());
    EXPECT_EQ(calls[2].initialDirectory, (root / "home/Papers").string()); // a cancel remembers nothing
    EXPECT_EQ(calls[3].initialDirectory, a);
    EXPECT_EQ(settings.GetDirectory(BrowseCategory::kResources), (root / "pictures").string());
    EXPECT_EQ(settings.GetDirectory(BrowseCategory::kScenes), b);
    // A remembered folder that is gone, and no documents folder: the project's folder, else home.
    std::filesystem::remove_all(root / "scenes");
    std::filesystem::remove_all(root / "home/Papers");
    EXPECT_EQ(BrowseStartFolder(b, a + "/x.vtp"), (root / "home").string());
    EXPECT_EQ(BrowseStartFolder(b, (root / "pictures/x.vtp").string()), (root / "pictures").string());
    std::filesystem::remove_all(root);
}

// The render thread's callbacks reach the host while one is set and do nothing without one.
struct RecordingHost : CVTND_WorldHost {
    void JavaCallback(SWevent*, const char* text1, const char*, const char*) override { texts.push_back(text1); }
    void SetCursor(const SWcursor*) override { texts.push_back("cursor"); }
    void HostMessage(const char* text) override { texts.push_back(text); }
    bool BeginMouseLook() override { return true; }
    void EndMouseLook() override { texts.push_back("end look"); }
    std::vector<std::string> texts;
};

TEST(WorldHost, CallbacksGoToTheHostWhileOneIsSet)
{
    CVTND_ExtendedWorld world;
    EXPECT_FALSE(world.BeginMouseLook());
    world.HostMessage("lost");
    RecordingHost host;
    world.SetHost(&host);
    EXPECT_TRUE(world.BeginMouseLook());
    world.HostMessage("hello");
    world.JavaCallback(nullptr, "java", nullptr, nullptr);
    world.SetCursor(nullptr);
    world.EndMouseLook();
    world.SetHost(nullptr);
    world.HostMessage("after");
    EXPECT_EQ(host.texts, (std::vector<std::string>{"hello", "java", "cursor", "end look"}));
}

CVTND_Object MakeHotspot(CVTNDesignerApp& app, const CVTND_CreateRequest& request)
{
    auto* spot = new SWhotspot();
    spot->SetName(request.name);
    app.GetWorld()->AddNode(spot, request.parent);
    return CVTND_Object(static_cast<SWnode*>(spot));
}

int g_frames = 0;
uint32_t g_lastNumber = 0;
pf::Window* CountFrame(CVTNDesignerApp&, const CVTND_FrameRequest& request)
{
    ++g_frames;
    g_lastNumber = request.number;
    EXPECT_EQ(request.menuId, CVTNDesignerApp::kEventMapFrameMenu);
    return nullptr;
}

TEST(ObjectsFactory, RegisteredTypesAreMadeAndOthersGiveNothing)
{
    CVTNDesignerApp app;
    app.NewWorkspace();
    const CVTND_ObjectCreator tooltips = CVTND_Registry::ReplaceObjectCreator(11, nullptr);
    EXPECT_TRUE(app.GetObjectsFactory().CreateObject(ObjectType::kTooltip, {"tip"}).IsEmpty());
    CVTND_Registry::ReplaceObjectCreator(11, tooltips);
    const CVTND_ObjectCreator old = CVTND_Registry::ReplaceObjectCreator(13, &MakeHotspot);
    const CVTND_Object made = app.GetObjectsFactory().CreateObject(ObjectType::kHotspot, {"spot"});
    CVTND_Registry::ReplaceObjectCreator(13, old);
    ASSERT_TRUE(made.IsType(ObjectType::kHotspot));
    EXPECT_EQ(app.GetWorld()->GetRootNode()->FindByName("spot"), made.GetObject());

    const CVTND_FrameCreator oldFrame = CVTND_Registry::ReplaceFrame(FrameClass::kEventMap, &CountFrame);
    app.OpenEventMapWindow();
    app.OpenEventMapWindow();
    CVTND_Registry::ReplaceFrame(FrameClass::kEventMap, oldFrame);
    EXPECT_EQ(g_frames, 2);
    EXPECT_EQ(g_lastNumber, 2u); // each new map window takes the next number
    const CVTND_ModalToolRun oldTool = CVTND_Registry::ReplaceModalTool(ModalTool::kScaleCenter, nullptr);
    EXPECT_EQ(app.OnToolsScaleCenter(), -1);
    CVTND_Registry::ReplaceModalTool(ModalTool::kScaleCenter, oldTool);
}

} // namespace
