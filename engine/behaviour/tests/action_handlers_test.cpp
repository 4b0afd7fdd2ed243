// The action handlers as the catalogue runs them: their effects on the world, its host and its windows, and the
// sound behaviour where a stored action would otherwise give a wrong or dangerous result.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "engine/behaviour/action_kind.h"
#include "engine/behaviour/action_settings.h"
#include "engine/behaviour/event.h"
#include "engine/behaviour/expression.h"
#include "engine/behaviour/property.h"
#include "engine/behaviour/scene_handlers.h"
#include "engine/behaviour/tests/sized_test_renderer.h"
#include "engine/behaviour/variable_name.h"
#include "engine/core/camera_node.h"
#include "engine/core/hotspot.h"
#include "engine/core/object_node.h"
#include "engine/core/root_object.h"
#include "engine/core/scene_import.h"
#include "engine/core/sub_world_loader.h"
#include "engine/core/sub_worlds.h"
#include "engine/core/typed_value_data.h"
#include "engine/core/window.h"
#include "engine/core/world.h"
#include "engine/core/world_file.h"
#include "engine/resources/background.h"
#include "engine/resources/image24.h"
#include "engine/resources/mesh.h"
#include "engine/resources/sound.h"
#include "engine/resources/texture.h"
#include "platform/media/audio_out.h"
#include "platform/media/null_audio.h"
#include "testsupport/world/sample_world.h"

namespace {

class HostWorld : public SWworld {
public:
    void SetCursor(const SWcursor* cursor) override { cursors.push_back(cursor); }
    void HostMessage(const char* text) override { messages.emplace_back(text != nullptr ? text : "(null)"); }
    std::vector<const SWcursor*> cursors;
    std::vector<std::string> messages;
};

class RecordingRenderer : public SizedTestRenderer {
public:
    void SetBackground(SWbackground* background) override { backgrounds.push_back(background); }
    std::vector<SWbackground*> backgrounds;
};

void RunHandler(SWworld& world, int32_t kind, const ActionTarget& target, SWactionnode* action)
{
    const ActionHandler handler = FindActionHandler(kind);
    ASSERT_NE(handler, nullptr) << kind;
    handler(nullptr, &world, target, ActionSubject{action, nullptr, nullptr});
}

SWobjectnode* AddObject(SWworld& world, const char* name, SWnode* parent, std::vector<std::unique_ptr<SWmesh>>& keep)
{
    auto* node = new SWobjectnode();
    node->SetName(std::string(name));
    keep.push_back(std::make_unique<SWmesh>());
    node->SetGeometry(keep.back().get());
    world.AddNode(node, parent);
    return node;
}

// A silent 8000 Hz mono 16-bit wave of the given length.
std::string WriteWave(const std::string& name, uint32_t ms)
{
    const std::string path = ::testing::TempDir() + std::to_string(::getpid()) + "_" + name;
    const uint32_t data = 8000 * 2 * ms / 1000;
    std::vector<uint8_t> b;
    auto u32 = [&](uint32_t v) {
        for (int i = 0; i < 4; ++i)
            b.push_back(static_cast<uint8_t>(v >> (8 * i)));
    };
    auto u16 = [&](uint16_t v) {
        b.push_back(static_cast<uint8_t>(v));
        b.push_back(static_cast<uint8_t>(v >> 8));
    };
    b.insert(b.end(), {'R', 'I', 'F', 'F'});
    u32(36 + data);
    b.insert(b.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    u32(16), u16(1), u16(1), u32(8000), u32(16000), u16(2), u16(16);
    b.insert(b.end(), {'d', 'a', 't', 'a'});
    u32(data);
    b.resize(b.size() + data, 0);
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
    return path;
}

} // namespace

TEST(SoundHandlers, PlayRangeIsCutToTheSoundAndStoredBack)
{
    HostWorld world;
    auto sound = std::make_unique<SWsound>();
    sound->SetName("ping");
    const std::string wave = WriteWave("handlers_ping.wav", 1000);
    sound->SetFileName(wave);
    SWsound* const ping = world.GetSoundList().Add(std::move(sound));
    const uint32_t length = ping->GetLength();
    ASSERT_GT(length, 900u);
    struct Case {
        uint32_t start, end, wantStart, wantEnd;
    };
    const Case cases[] = {
        {0, 0, 0, length},                 // the whole sound
        {100, length + 500, 100, length},  // an end past the length is cut
        {300, 200, 300, length},           // an end not above the start plays to the end
        {length + 400, 0, length, length}, // a start past the end is clamped, never an inverted range
        {length + 400, length + 900, length, length},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.start);
        SWsoundaction action(7);
        action.settings.startMs = c.start;
        action.settings.endMs = c.end;
        RunHandler(world, 7, ActionTarget::Text("ping"), &action);
        EXPECT_EQ(ping->GetPlay().startMs, c.wantStart);
        EXPECT_EQ(ping->GetPlay().endMs, c.wantEnd);
        // What is saved stays: the action's settings and the sound's own range.
        EXPECT_EQ(action.settings.startMs, c.start);
        EXPECT_EQ(action.settings.endMs, c.end);
        EXPECT_EQ(ping->GetRangeStartMs(), 0u);
        EXPECT_EQ(ping->GetRangeEndMs(), 0u);
    }
    EXPECT_EQ(world.TakeSoundQueues().play.size(), std::size(cases));
    // The sound plays by the action's loop and repeat count, a count beyond a byte's included.
    SWsoundaction repeated(7);
    repeated.settings.playOption1 = 0;
    repeated.settings.playOption2 = 300;
    RunHandler(world, 7, ActionTarget::Text("ping"), &repeated);
    EXPECT_EQ(ping->GetPlay().loop, 0);
    EXPECT_EQ(ping->GetPlay().repeatCount, 300u);
    repeated.settings.playOption1 = 1;
    RunHandler(world, 7, ActionTarget::Text("ping"), &repeated);
    EXPECT_EQ(ping->GetPlay().loop, 1);
    EXPECT_EQ(ping->GetLoop(), 0);
    EXPECT_EQ(ping->GetRepeatCount(), 0u);
    ping->ResetPlay();
    EXPECT_EQ(ping->GetPlay().repeatCount, 0u);
    world.TakeSoundQueues();
    RunHandler(world, 8, ActionTarget::Text("ping"), nullptr);
    RunHandler(world, 8, ActionTarget::Text("nothing"), nullptr);
    EXPECT_EQ(world.TakeSoundQueues().stop, std::vector<SWsound*>{ping});
    std::remove(wave.c_str());
}

TEST(HostHandlers, BeepUrlFileCursorAndMessages)
{
    HostWorld world;
    pf::NullAudio audio;
    pf::setAudioOut(&audio);
    RunHandler(world, 6, {}, nullptr);
    pf::setAudioOut(nullptr);
    ASSERT_EQ(audio.beeps().size(), 1u);
    EXPECT_EQ(audio.beeps()[0].hz, 3000u);
    EXPECT_EQ(audio.beeps()[0].ms, 20u);

    const ActionHandler url = FindActionHandler(10);
    url(nullptr, &world, ActionTarget::Text("http://a/b"), ActionSubject{nullptr, nullptr, "_blank"});
    EXPECT_EQ(world.GetRequestUrl(), "http://a/b");
    EXPECT_EQ(world.GetRequestTarget(), "_blank");
    url(nullptr, &world, ActionTarget::Text(""), ActionSubject{nullptr, nullptr, "frame"});
    EXPECT_EQ(world.GetRequestUrl(), "");
    EXPECT_EQ(world.GetRequestTarget(), "frame");
    RunHandler(world, 20, ActionTarget::Text("next.vto"), nullptr);
    EXPECT_EQ(world.GetRequestFile(), "next.vto");

    SWcursor* const hand = world.GetCursorList().Add("hand", 7);
    RunHandler(world, 39, {}, nullptr);
    RunHandler(world, 39, ActionTarget::Integer(7), nullptr);
    RunHandler(world, 39, ActionTarget::Integer(8), nullptr);
    EXPECT_EQ(world.cursors, (std::vector<const SWcursor*>{nullptr, hand, nullptr}));

    SWhostmessageaction plain(40);
    RunHandler(world, 40, ActionTarget::Text("hello"), &plain);
    SWhostmessageaction variable(40);
    variable.sendVariable = 1;
    auto* box = new SWobjectnode();
    box->SetName(std::string("box"));
    world.AddNode(box, nullptr);
    auto made = std::make_unique<SWproperty>(kTypeFloat);
    made->SetName(std::string("score"));
    SWproperty* const score = box->AddVariable(std::move(made));
    ASSERT_NE(score, nullptr);
    score->SetFloatAll(2.5f);
    RunHandler(world, 40, ActionTarget::Text("box.score"), &variable);
    RunHandler(world, 40, ActionTarget::Text("no.such.variable"), &variable);
    ASSERT_EQ(world.messages.size(), 2u);
    EXPECT_EQ(world.messages[0], "hello");
    EXPECT_EQ(world.messages[1], score->GetAsString());
    // A key entry handed on as the trigger is no text: nothing is sent.
    RunHandler(world, 40, ActionTarget::Key(nullptr), &plain);
    EXPECT_EQ(world.messages.size(), 2u);
}

TEST(SceneHandlers, HideShowOnlyObjectNodesAndTheSubtreeWhenAsked)
{
    std::vector<std::unique_ptr<SWmesh>> meshes;
    SWworld world;
    SWobjectnode* const top = AddObject(world, "top", nullptr, meshes);
    auto* const group = new SWnode(SWnode::kKindGroup);
    group->SetName(std::string("group"));
    world.AddNode(group, top);
    SWobjectnode* const below = AddObject(world, "below", group, meshes);
    SWvisibilityaction hideOne(21);
    hideOne.settings.subtree = 0;
    RunHandler(world, 21, ActionTarget::Text("top"), &hideOne);
    EXPECT_TRUE(top->GetGeometry()->IsHidden());
    EXPECT_FALSE(below->GetGeometry()->IsHidden());
    SWvisibilityaction showAll(22);
    showAll.settings.subtree = 1;
    RunHandler(world, 22, ActionTarget::Text("top"), &showAll);
    EXPECT_FALSE(top->GetGeometry()->IsHidden());
    SWvisibilityaction hideAll(21);
    hideAll.settings.subtree = 1;
    RunHandler(world, 21, ActionTarget::Text("top"), &hideAll);
    EXPECT_TRUE(below->GetGeometry()->IsHidden());
    EXPECT_TRUE(world.IsFullRedrawRequested());
}

TEST(SceneHandlers, BackgroundColourIsClampedAndReachesEveryWindowWithARenderer)
{
    SWworld world;
    RecordingRenderer shown, hidden;
    world.AddWindow(std::make_unique<SWwindow>(&shown));
    SWwindow* const second = world.AddWindow(std::make_unique<SWwindow>(&hidden));
    second->SetState(0);
    world.AddWindow(std::make_unique<SWwindow>(nullptr));
    struct Case {
        float r, g, b;
        uint32_t packed;
    };
    const Case cases[] = {
        {1.0f, 0.5f, 0.0f, 0xFF8000u},
        {2.0f, -1.0f, 0.5f, 0xFF0080u}, // out of range: clamped, nothing spills into a neighbour
        {1.5f, 1.5f, 1.5f, 0xFFFFFFu},
    };
    for (const Case& c : cases) {
        SWbackgroundaction action;
        action.settings = {c.r, c.g, c.b, 1};
        RunHandler(world, 19, {}, &action);
        SWbackground* const current = world.GetRootObject()->GetBackground();
        ASSERT_NE(current, nullptr);
        EXPECT_EQ(current->GetColour(), c.packed);
        // The window whose state byte is clear is handed the new background too: the old one is gone.
        ASSERT_FALSE(hidden.backgrounds.empty());
        EXPECT_EQ(hidden.backgrounds.back(), current);
        EXPECT_EQ(shown.backgrounds.back(), current);
    }
}

TEST(SceneHandlers, RepeatedBackgroundRunBuildsOnceAndStillRefreshes)
{
    SWworld world;
    RecordingRenderer renderer;
    world.AddWindow(std::make_unique<SWwindow>(&renderer));
    SWbackgroundaction action;
    action.settings = {0.2f, 0.4f, 0.6f, 1};
    for (int i = 0; i < 1000; ++i)
        DoActionSetBackground(&world, &action);
    SWbackground* const current = world.GetRootObject()->GetBackground();
    ASSERT_NE(current, nullptr);
    const uint64_t serial = current->GetSerial();
    ASSERT_EQ(renderer.backgrounds.size(), 1000u);
    for (SWbackground* given : renderer.backgrounds)
        ASSERT_EQ(given, current);
    action.settings.red = 0.9f;
    DoActionSetBackground(&world, &action);
    EXPECT_NE(world.GetRootObject()->GetBackground()->GetSerial(), serial);
    EXPECT_EQ(world.GetRootObject()->GetBackground()->GetColour(), PackBackgroundColour(0.9f, 0.4f, 0.6f));
    DoActionSetBackground(&world, nullptr); // a null action does nothing
    EXPECT_EQ(renderer.backgrounds.size(), 1001u);
}

TEST(SceneHandlers, CameraStereoFilteringAndLabels)
{
    SWworld world;
    auto* camera = new SWcameranode();
    camera->SetName(std::string("cam"));
    world.AddNode(camera, nullptr);
    RecordingRenderer renderer;
    SWwindow* const window = world.AddWindow(std::make_unique<SWwindow>(&renderer));
    RunHandler(world, 5, ActionTarget::Text("cam"), nullptr);
    EXPECT_EQ(window->GetCameraNode(), camera);
    RunHandler(world, 5, ActionTarget::Text("missing"), nullptr);
    EXPECT_EQ(window->GetCameraNode(), nullptr);

    SWstereoaction stereo(37);
    stereo.settings.eye = 2;
    stereo.settings.stereoOn = 1;
    RunHandler(world, 37, ActionTarget::Text("cam"), &stereo);
    EXPECT_EQ(camera->GetEye(), 2);
    EXPECT_EQ(camera->GetEyeIndex(), 2);
    EXPECT_EQ(world.GetStereo(), 1);
    // The dialogs' direct call does exactly the same; a null action nothing.
    stereo.settings.stereoOn = 0;
    DoActionStereoVision(&world, camera, &stereo);
    EXPECT_EQ(camera->GetEyeIndex(), 0);
    DoActionStereoVision(&world, camera, nullptr);
    EXPECT_EQ(camera->GetEyeIndex(), 0);

    auto* spot = new SWhotspot();
    spot->SetName(std::string("spot"));
    world.AddNode(spot, nullptr);
    const struct {
        uint8_t mode;
        uint8_t want;
    } steps[] = {{1, 1}, {2, 0}, {2, 1}, {3, 0}, {1, 1}, {9, 0}};
    for (const auto& s : steps) {
        SWhotspotlabelaction label(58);
        label.mode = s.mode;
        RunHandler(world, 58, ActionTarget::Text("spot"), &label);
        EXPECT_EQ(spot->GetLabelState(), s.want) << int(s.mode);
    }
}

TEST(EditorEntries, RenamedVariableKeepsItsIdAndLeavesItsOldName)
{
    SWworld world;
    auto* box = new SWobjectnode();
    box->SetName(std::string("box"));
    world.AddNode(box, nullptr);
    auto made = std::make_unique<SWproperty>(kTypeFloat);
    made->SetName(std::string("width"));
    SWproperty* const width = box->AddVariable(std::move(made));
    int code = 0;
    ASSERT_EQ(SWexpression::ResolveVariableReference(&world, "box.width", code), width);
    SetStringMemberAt18(width, "depth");
    EXPECT_EQ(world.FindVariableById(width->GetId()), width);
    EXPECT_EQ(SWexpression::ResolveVariableReference(&world, "box.width", code), nullptr);
    EXPECT_EQ(SWexpression::ResolveVariableReference(&world, "box.depth", code), width);
    SetStringMemberAt18(width, nullptr);
    EXPECT_FALSE(width->GetName().has_value());
    SetStringMemberAt18(nullptr, "ignored");
}

TEST(SceneHandlers, TextureBackgroundIsACopyNamedBgtextureRebuiltWhenTheTextureChanges)
{
    SWworld world;
    const uint32_t pixels[4] = {0x112233, 0x445566, 0x778899, 0xAABBCC};
    ASSERT_TRUE(world.GetRootObject()->AddTexture(std::make_unique<SWimage24>("sky", 2, 2, pixels)));
    SWtexture* const sky = world.FindTextureByName("sky");
    ASSERT_NE(sky, nullptr);
    SWbackgroundaction action;
    action.SetWorld(&world);
    action.SetTextureName(std::string("sky"));
    action.settings.mode = SWbackground::kModeStretch;
    DoActionSetBackground(&world, &action);
    SWbackground* const first = world.GetRootObject()->GetBackground();
    ASSERT_NE(first, nullptr);
    ASSERT_NE(first->GetTexture(), nullptr);
    EXPECT_NE(first->GetTexture(), sky);
    EXPECT_EQ(first->GetTexture()->GetName(), "bgtexture");
    EXPECT_EQ(first->GetMode(), SWbackground::kModeStretch);
    const uint64_t serial = first->GetSerial();
    DoActionSetBackground(&world, &action);
    EXPECT_EQ(world.GetRootObject()->GetBackground()->GetSerial(), serial); // unchanged: only refreshed
    sky->Touch();
    DoActionSetBackground(&world, &action);
    EXPECT_NE(world.GetRootObject()->GetBackground()->GetSerial(), serial); // the texture changed: built again
}

TEST(SceneHandlers, BilinearFilteringFollowsItsByteAndIgnoresOtherTargets)
{
    SWworld world;
    const uint32_t pixel = 0;
    ASSERT_TRUE(world.GetRootObject()->AddTexture(std::make_unique<SWimage24>("t", 1, 1, &pixel)));
    SWtexture* const t = world.FindTextureByName("t");
    const auto bilinear = [&] { return (t->GetTextureFlags() & SWtexture::kFlagBilinear) != 0; };
    RunHandler(world, 23, ActionTarget::Byte(1), nullptr);
    EXPECT_TRUE(bilinear());
    RunHandler(world, 23, ActionTarget::Text("0"), nullptr); // not a byte: no target
    EXPECT_TRUE(bilinear());
    RunHandler(world, 23, ActionTarget::Byte(0), nullptr);
    EXPECT_FALSE(bilinear());
}

// The load-world action loads with what its editor stores: the kinds ticked, and the loaded world's start events
// run only when "Run its start event" is.
TEST(SubWorldHandlers, LoadWorldTakesTheImportFlagsAndTheStartEventByte)
{
    const std::filesystem::path folder =
        std::filesystem::path(::testing::TempDir()) / ("vortan_load_world_" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    {
        std::unique_ptr<SWworld> level = worldtest::MakeSampleWorld();
        level->AddEventOfType(static_cast<uint32_t>(EventType::kWorldStart))->SetName(std::string("level starts"));
        ASSERT_EQ(SaveWorldFile(*level, WorldFileMode::kScene, (folder / "level.vtn").string()), DocumentStatus::kOk);
    }
    SWworld world;
    world.GetSubWorlds().Add("level")->SetFileName("level.vtn");
    CVTN_SubWorldLoader::Of(world).SetBaseFolder(folder.string());
    const auto find = [&](const char* name) { return world.GetRootNode()->FindByName(name); };

    SWimportvtoactionnode action(54);
    action.settings.index = static_cast<int32_t>(kMergeAll & ~kMergeMeshes);
    action.settings.byte1 = 1;
    RunHandler(world, 54, ActionTarget::Text("level"), &action);
    EXPECT_EQ(find("meshnode0"), nullptr);
    EXPECT_NE(find("object1"), nullptr);
    EXPECT_EQ(world.GetPostedQueue().Count(), 1u); // the loaded start event, triggered once

    world.GetPostedQueue().Clear();
    action.settings.index = -1;
    action.settings.byte1 = 0;
    RunHandler(world, 54, ActionTarget::Text("level"), &action);
    EXPECT_NE(find("meshnode0"), nullptr);
    EXPECT_EQ(world.GetPostedQueue().Count(), 0u);
    std::filesystem::remove_all(folder);
}
