// The world: deletion and the structure generation, variable lookups, textures and backgrounds, the start of a
// run, and the parts used from several threads (posting, the sound queues, the lock).
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "engine/behaviour/action_node.h"
#include "engine/behaviour/event.h"
#include "engine/behaviour/property.h"
#include "engine/core/camera_node.h"
#include "engine/core/hotspot.h"
#include "engine/core/java_class_node.h"
#include "engine/core/mesh_node.h"
#include "engine/core/root_object.h"
#include "engine/core/window.h"
#include "engine/core/world.h"
#include "engine/resources/background.h"
#include "engine/resources/image32.h"
#include "engine/resources/material.h"
#include "engine/resources/mesh_object.h"
#include "engine/resources/sound.h"

namespace {

SWtexture* AddTexture(SWworld& world, const char* name)
{
    auto image = SWimage32::SWimage32FromPixels(name, 2, 2, nullptr);
    SWtexture* raw = image.get();
    EXPECT_TRUE(world.GetRootObject()->AddTexture(std::move(image)));
    return raw;
}

SWproperty* AddInt(SWproperties2& list, const char* name)
{
    auto v = std::make_unique<SWproperty>(kTypeInteger);
    v->SetName(std::string(name));
    return list.AddVariable(std::move(v));
}

class RecordingRenderer : public SWwindowrenderer {
public:
    void OnCameraNode(SWcameranode* node) override { cameras.push_back(node); }
    void OnInvalidate() override { ++invalidations; }
    std::vector<SWcameranode*> cameras;
    int invalidations = 0;
};

} // namespace

TEST(WorldDelete, ANodeLeavesGroupsCamerasArcballWindowsAndQueues)
{
    SWworld world;
    auto* camera = static_cast<SWcameraobject*>(world.GetRootObject()->AddGeometry(std::make_unique<SWcameraobject>()));
    auto* holder = new SWobjectnode();
    world.AddNode(holder, nullptr);
    auto* cameraNode = new SWcameranode(camera);
    world.AddNode(cameraNode, holder);
    auto* group = new SWnode(SWnode::kKindGroup);
    world.AddNode(group, nullptr);
    group->AddGroupMember(cameraNode);
    world.AddCamera(cameraNode);
    world.SetArcballNode(cameraNode);
    RecordingRenderer renderer;
    SWwindow* window = world.AddWindow(std::make_unique<SWwindow>(&renderer));
    window->SetCamera(cameraNode);
    SWevent* click = world.AddEventOfType(5);
    click->SetLastMatchedNode(cameraNode);
    world.PostInputEvent(InputKind::kMotionFinished, static_cast<SWnode*>(cameraNode));
    world.PostInputEvent(InputKind::kWorldStep);

    const uint64_t generation = world.GetStructureGeneration();
    EXPECT_FALSE(world.DeleteNode(world.GetRootNode()));
    ASSERT_TRUE(world.DeleteNode(holder));
    EXPECT_GT(world.GetStructureGeneration(), generation);
    EXPECT_EQ(group->GetGroupMembers().Count(), 0u);
    EXPECT_EQ(world.GetActiveCamera(), nullptr);
    EXPECT_EQ(world.GetArcballNode(), nullptr);
    EXPECT_EQ(window->GetCameraNode(), nullptr);
    EXPECT_EQ(renderer.cameras.back(), nullptr);
    EXPECT_EQ(click->GetLastMatchedNode(), nullptr);
    EXPECT_EQ(world.GetPostedQueue().Count(), 1u);
    EXPECT_EQ(world.GetRootObject()->GetFirstGeometry(), nullptr); // the camera object went with its node
}

TEST(WorldDelete, GeometryStillDrawnByAnotherNodeStays)
{
    SWworld world;
    auto* mesh = static_cast<SWmeshobject*>(world.GetRootObject()->AddGeometry(std::make_unique<SWmeshobject>()));
    auto* first = new SWmeshnode(mesh);
    auto* second = new SWmeshnode(mesh);
    world.AddNode(first, nullptr);
    world.AddNode(second, nullptr);
    ASSERT_TRUE(world.DeleteNode(first));
    EXPECT_EQ(world.GetRootObject()->GetFirstGeometry(), mesh);
    ASSERT_TRUE(world.DeleteNode(second));
    EXPECT_EQ(world.GetRootObject()->GetFirstGeometry(), nullptr);
}

TEST(WorldDelete, EveryKindOfDeletionRaisesTheStructureGeneration)
{
    SWworld world;
    auto* node = new SWobjectnode();
    world.AddNode(node, nullptr);
    SWevent* event = world.NewEvent();
    auto* action = new SWactionnode(11);
    event->AppendAction(action);
    SWsound* sound = world.GetSoundList().Add(std::make_unique<SWsound>("beep"));
    const auto rises = [&world](auto&& remove) {
        const uint64_t before = world.GetStructureGeneration();
        remove();
        return world.GetStructureGeneration() > before;
    };
    EXPECT_TRUE(rises([&] { node->RemoveVariable(AddInt(*node, "n")); }));
    EXPECT_TRUE(rises([&] { event->RemoveVariable(AddInt(*event, "e")); }));
    EXPECT_TRUE(rises([&] { world.GetVariables().RemoveVariable(AddInt(world.GetVariables(), "w")); }));
    EXPECT_TRUE(rises([&] {
        SWproperties2& list = world.GetSoundVariables(*sound);
        list.RemoveVariable(AddInt(list, "s"));
    }));
    EXPECT_TRUE(rises([&] { event->RemoveAction(action); }));
    EXPECT_TRUE(rises([&] { world.DeleteEvent(event); }));
    EXPECT_TRUE(rises([&] { world.DeleteNode(node); }));
    EXPECT_TRUE(rises([&] { world.RemoveSound(sound); }));
    EXPECT_TRUE(rises([&] { world.ReplaceTextureReferences(AddTexture(world, "t"), nullptr, false); }));
}

TEST(WorldVariables, FoundByIdEverywhereAndNamedByOwner)
{
    SWworld world;
    auto* node = new SWobjectnode();
    node->SetName(std::string("box"));
    world.AddNode(node, nullptr);
    SWsound* sound = world.GetSoundList().Add(std::make_unique<SWsound>("bell"));
    SWjavaclassnode* java = world.AddJavaClass(std::make_unique<SWjavaclassnode>("applet", "lib/x/Applet.class"));
    SWevent* event = world.NewEvent();
    SWproperty* onNode = AddInt(*node, "speed");
    SWproperty* onSound = AddInt(world.GetSoundVariables(*sound), "volume");
    SWproperty* onJava = AddInt(*java, "score");
    SWproperty* onEvent = AddInt(*event, "count");
    SWproperty* onWorld = AddInt(world.GetVariables(), "level");
    for (SWproperty* v : {onNode, onSound, onJava, onEvent, onWorld})
        EXPECT_EQ(world.FindVariableById(v->GetId()), v);
    EXPECT_EQ(world.GetQualifiedName(*onNode), std::optional<std::string>("NODE:box.speed"));
    EXPECT_EQ(world.GetQualifiedName(*onSound), std::optional<std::string>("SOUND:bell.volume"));
    EXPECT_EQ(world.GetQualifiedName(*onJava), std::optional<std::string>("RESOURCE:applet.score"));
    EXPECT_EQ(world.GetQualifiedName(*onEvent), std::nullopt);
    EXPECT_EQ(world.GetQualifiedName(*onWorld), std::nullopt);
    EXPECT_EQ(java->GetClassName(), "Applet.class");
}

TEST(WorldStart, ResetsInOrderOnceAndNothingWhileRunning)
{
    SWworld world;
    auto* node = new SWobjectnode();
    world.AddNode(node, nullptr);
    SWproperty* v = AddInt(*node, "n");
    v->AssignInt(5);
    world.GetKeyTable().FindKeyByCode('a')->SetPressed(true);
    SWevent* timer = world.AddEventOfType(4);
    timer->Block();
    timer->SetEnabled(false);
    world.SetCurrentWorldTime(250.0f);
    world.PostInputEvent(InputKind::kWorldStep);
    world.GetPostedQueue().MoveAll(world.GetDispatchQueue());
    world.PostInputEvent(InputKind::kWorldStep);

    world.Start();
    EXPECT_TRUE(world.IsRunning());
    EXPECT_EQ(v->GetAsInt(), 0);
    EXPECT_FALSE(world.GetKeyTable().FindKeyByCode('a')->IsPressed());
    EXPECT_FALSE(timer->IsBlocked());
    EXPECT_FALSE(timer->IsActive());
    EXPECT_EQ(timer->GetTimerLastTime(), 250.0f);
    EXPECT_EQ(world.GetPostedQueue().Count(), 0u);
    EXPECT_EQ(world.GetDispatchQueue().Count(), 0u);

    v->AssignInt(6);
    world.Start();
    EXPECT_EQ(v->GetAsInt(), 6);
}

TEST(WorldTextures, ReplacingRedirectsHoldersAndWithoutKeepDeletesTheOld)
{
    SWworld world;
    SWtexture* old = AddTexture(world, "old");
    SWtexture* fresh = AddTexture(world, "fresh");
    auto material = std::make_unique<SWmaterial>("m");
    material->SetTexture(old);
    material->SetBumpTexture(old);
    SWmaterial* m = material.get();
    world.GetRootObject()->AddMaterial(std::move(material));
    auto* hotspot = new SWhotspot();
    world.AddNode(hotspot, nullptr);
    hotspot->SetTextureName(std::string("old"));
    EXPECT_EQ(hotspot->GetTexture(), old);

    world.ReplaceTextureReferences(old, fresh, true);
    EXPECT_EQ(m->GetTexture(), fresh);
    EXPECT_EQ(m->GetBumpTexture(), fresh);
    EXPECT_EQ(hotspot->GetTexture(), fresh);
    EXPECT_EQ(world.FindTextureByName("old"), old); // kept

    m->SetTexture(old);
    world.ReplaceTextureReferences(old, fresh, false);
    EXPECT_EQ(m->GetTexture(), fresh);
    EXPECT_EQ(world.FindTextureByName("old"), nullptr);
    EXPECT_EQ(world.GetRootObject()->GetFirstTexture(), fresh);
}

TEST(WorldTextures, BilinearSetterReachesEveryTexture)
{
    SWworld world;
    SWtexture* a = AddTexture(world, "a");
    SWtexture* b = AddTexture(world, "b");
    b->SetTextureFlags(1);
    world.SetBilinear(1);
    EXPECT_EQ(a->GetTextureFlags(), SWtexture::kFlagBilinear);
    EXPECT_EQ(b->GetTextureFlags(), 1u | SWtexture::kFlagBilinear);
    world.SetBilinear(0);
    EXPECT_EQ(a->GetTextureFlags(), 0u);
    EXPECT_EQ(b->GetTextureFlags(), 1u);
}

TEST(WorldBackground, TheRenderCopyIsACopyAndRebuildFollowsTheDefinition)
{
    SWworld world;
    auto definition = std::make_unique<SWbackground>(SWimage32::SWimage32FromPixels("sky", 2, 2, nullptr), 1);
    definition->SetColour(0x102030);
    const SWbackground* kept = definition.get();
    world.GetRootObject()->SetBackground(std::move(definition));
    world.SetBackgroundTexture(kept);
    const SWbackground* copy = world.GetBackgroundCopy();
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy, kept);
    EXPECT_EQ(copy->GetColour(), 0x102030u);
    ASSERT_NE(copy->GetTexture(), nullptr);
    EXPECT_NE(copy->GetTexture(), kept->GetTexture());
    EXPECT_EQ(copy->GetTexture()->GetName(), "sky");
    EXPECT_EQ(copy->GetMode(), 1u);

    world.GetRootObject()->SetBackground(std::make_unique<SWbackground>(0xFF0000u));
    world.RebuildBackground();
    EXPECT_EQ(world.GetBackgroundCopy()->GetColour(), 0xFF0000u);
    EXPECT_EQ(world.GetBackgroundCopy()->GetTexture(), nullptr);
    world.GetRootObject()->SetBackground(nullptr);
    world.RebuildBackground();
    EXPECT_EQ(world.GetBackgroundCopy(), nullptr);
}

TEST(WorldInvalidate, EveryWindowRedrawsAndImmediateWakesTheRenderThread)
{
    SWworld world;
    RecordingRenderer renderer;
    SWwindow* window = world.AddWindow(std::make_unique<SWwindow>(&renderer));
    world.Invalidate(false);
    EXPECT_TRUE(window->NeedsRedraw());
    EXPECT_TRUE(world.IsFullRedrawRequested());
    EXPECT_FALSE(world.GetRedrawEvent().IsSet());
    world.Invalidate(true);
    EXPECT_TRUE(world.GetRedrawEvent().IsSet());
    EXPECT_EQ(renderer.invalidations, 2);
}

TEST(WorldThreads, PostingFromThreeThreadsWhileTheFrameMovesTheQueue)
{
    SWworld world;
    constexpr int kPerThread = 2000;
    std::atomic<int> running{3};
    std::vector<std::thread> posters;
    for (int t = 0; t < 3; ++t)
        posters.emplace_back([&world, &running, t] {
            for (int i = 0; i < kPerThread; ++i)
                world.PostNamedTrigger(nullptr, std::to_string(t) + ":" + std::to_string(i));
            --running;
        });
    SWinputqueue& dispatch = world.GetDispatchQueue();
    std::vector<int> next(3, 0);
    int seen = 0;
    const auto drain = [&] {
        world.GetPostedQueue().MoveAll(dispatch);
        while (SWinputrecord* record = dispatch.Pop()) {
            const std::string& text = *record->GetDataText();
            const int thread = text[0] - '0';
            EXPECT_EQ(std::stoi(text.substr(2)), next[static_cast<size_t>(thread)]++);
            ++seen;
            delete record;
        }
    };
    while (running.load() > 0)
        drain();
    for (std::thread& poster : posters)
        poster.join();
    drain();
    EXPECT_EQ(seen, 3 * kPerThread);
}

TEST(WorldThreads, SoundQueuesFilledFromTwoThreads)
{
    SWworld world;
    SWsound* a = world.GetSoundList().Add(std::make_unique<SWsound>("a"));
    SWsound* b = world.GetSoundList().Add(std::make_unique<SWsound>("b"));
    std::thread first([&] {
        for (int i = 0; i < 500; ++i)
            world.QueueSoundPlay(a);
    });
    std::thread second([&] {
        for (int i = 0; i < 500; ++i) {
            world.QueueSoundStop(b);
            world.QueueSoundLoad(b);
        }
    });
    size_t plays = 0;
    for (int i = 0; i < 50; ++i)
        plays += world.TakeSoundQueues().play.size();
    first.join();
    second.join();
    const SWworld::SoundQueues rest = world.TakeSoundQueues();
    EXPECT_EQ(plays + rest.play.size(), 500u);
    EXPECT_EQ(world.TakeSoundQueues().stop.size(), 0u);
}

TEST(WorldThreads, TheLockIsRecursiveAndExcludesOtherThreads)
{
    SWworld world;
    int counter = 0;
    const auto work = [&] {
        for (int i = 0; i < 1000; ++i) {
            SWworldlock outer(world);
            SWworldlock inner(world);
            ++counter;
        }
    };
    std::thread other(work);
    work();
    other.join();
    EXPECT_EQ(counter, 2000);
}

TEST(WorldSounds, AFinishedSoundPostsItsRecord)
{
    SWworld world;
    SWsound* sound = world.GetSoundList().Add(std::make_unique<SWsound>("missing"));
    sound->Start();
    world.GetSoundList().Stop(sound);
    SWinputrecord* record = world.GetPostedQueue().Pop();
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->GetKind(), InputKind::kSoundFinished);
    EXPECT_EQ(std::get<SWsound*>(record->GetTarget()), sound);
    delete record;
}

TEST(WorldVariables, TheIdIndexFollowsAdditionsAndRemovals)
{
    SWworld world;
    auto* node = new SWobjectnode();
    world.AddNode(node, nullptr);
    SWproperty* first = AddInt(*node, "a");
    const uint32_t firstId = first->GetId();
    EXPECT_EQ(world.FindVariableById(firstId), first); // builds the index
    SWproperty* later = AddInt(*node, "b");
    const uint32_t laterId = later->GetId();
    EXPECT_EQ(world.FindVariableById(laterId), later);
    node->RemoveVariable(first);
    EXPECT_EQ(world.FindVariableById(firstId), nullptr);
    SWjavaclassnode* java = world.AddJavaClass(std::make_unique<SWjavaclassnode>("j"));
    SWproperty* onJava = AddInt(*java, "c");
    const uint32_t javaId = onJava->GetId();
    EXPECT_EQ(world.FindVariableById(javaId), onJava);
    java->RemoveVariable(onJava);
    EXPECT_EQ(world.FindVariableById(javaId), nullptr);
    world.DeleteNode(node);
    EXPECT_EQ(world.FindVariableById(laterId), nullptr);
}
