#include "apps/vortan-trace/demo_world.h"

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "engine/behaviour/action_node.h"
#include "engine/behaviour/event.h"
#include "engine/behaviour/speech_motion.h"
#include "engine/core/camera_node.h"
#include "engine/core/data_node.h"
#include "engine/core/mesh_node.h"
#include "engine/core/root_object.h"
#include "engine/core/window.h"
#include "engine/core/world.h"
#include "engine/resources/mesh_object.h"
#include "engine/resources/speech_data.h"

namespace {

SWevent* AddEvent(SWworld& world, EventType type, const char* name)
{
    SWevent* event = world.AddEventOfType(static_cast<uint32_t>(type));
    event->SetName(std::string(name));
    return event;
}

SWactionnode* AddAction(SWworld& world, SWevent* event, int32_t kind, const char* argument)
{
    SWactionnode* action = event->CreateAction(world.GetActionCategories().FindKind(kind));
    if (action != nullptr && argument != nullptr)
        action->AddArgument(argument, SWdatanode::kString, true);
    return action;
}

void AddMorph(SWmeshobject& mesh, const char* name, std::vector<std::array<float, 5>> records)
{
    auto target = std::make_unique<SWmorphtarget>();
    target->name = name;
    for (const auto& r : records)
        target->records.Append(r);
    mesh.GetMorphTargets().Add(std::move(target));
}

} // namespace

bool DemoRenderer::SetSize(uint32_t width, uint32_t height)
{
    m_width = width;
    m_height = height;
    return true;
}

void DemoRenderer::GetSize(uint32_t& width, uint32_t& height) const
{
    width = m_width;
    height = m_height;
}

void AddFrameDemo(SWworld& world)
{
    auto* eye = new SWcameranode();
    eye->SetName(std::string("eye"));
    world.AddNode(eye, nullptr);
    world.AddCamera(eye);
    auto* mesh = static_cast<SWmeshobject*>(world.GetRootObject()->AddGeometry(std::make_unique<SWmeshobject>()));
    mesh->SetName("box");
    mesh->SetVertices({-1, -1, -1, 1, -1, -1, 1, 1, -1, -1, 1, -1, -1, -1, 1, 1, -1, 1, 1, 1, 1, -1, 1, 1});
    mesh->ComputeBoundingBox();
    mesh->SetLoaded(true);
    auto* box = new SWmeshnode(mesh);
    box->SetName(std::string("box"));
    box->SetInitialMatrix(SWmatrix::Translation(0.0f, 0.0f, 10.0f));
    world.AddNode(box, nullptr);
    world.UpdateNodeTransforms(world.GetRootNode(), 1);

    AddEvent(world, EventType::kWorldStart, "start");
    SWevent* timer = AddEvent(world, EventType::kTimerEvent, "timer");
    timer->SetTimerInterval(100.0f);
    AddAction(world, timer, 11, "poke");
    AddEvent(world, EventType::kCustomEvent, "poke");
    SWevent* clicked = AddEvent(world, EventType::kLeftClickObject, "clicked");
    clicked->AddObjectName(std::string("box"));
    AddEvent(world, EventType::kWorldStop, "stop");
}

void AddSpeechDemo(SWworld& world)
{
    auto* mesh = static_cast<SWmeshobject*>(world.GetRootObject()->AddGeometry(std::make_unique<SWmeshobject>()));
    mesh->SetName("face");
    std::vector<float> vertices;
    for (int i = 0; i < 8; ++i) {
        vertices.push_back(static_cast<float>(i % 4));
        vertices.push_back(i < 4 ? 1.0f : 0.0f);
        vertices.push_back(0.0f);
    }
    mesh->SetVertices(std::move(vertices));
    mesh->ComputeBoundingBox();
    AddMorph(*mesh, "Phoneme_Eat", {{5, 1, 0.5f, 0, 0}, {6, 2, 0.5f, 0, 0}});
    AddMorph(*mesh, "Phoneme_Ox", {{5, 1, -0.5f, 0, 0}});
    AddMorph(*mesh, "Viseme_Blink_L", {{1, 1, 0.8f, 0, 0}});
    auto* face = new SWmeshnode(mesh);
    face->SetName(std::string("face"));
    world.AddNode(face, nullptr);
    auto* head = new SWobjectnode();
    head->SetName(std::string("head"));
    world.AddNode(head, nullptr);
    auto* jaw = new SWobjectnode();
    jaw->SetName(std::string("jaw"));
    world.AddNode(jaw, nullptr);
    mesh->AddVertexBucket(jaw->GetId(), {6, 7});
    world.UpdateNodeTransforms(world.GetRootNode(), 1);

    auto* script = new SWspeechdata("talk");
    script->SetString(1, "face");
    script->AddChannel(0, {0.0f, 0.5f, 1.0f, 0.5f, 0.0f, 0.0f, 0.25f, 0.5f, 0.25f, 0.0f});
    script->AddChannel(3, {0.0f, 0.0f, 0.0f, 0.5f, 1.0f, 0.5f, 0.0f, 0.0f, 0.0f, 0.0f});
    script->AddChannel(17, {0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f, 1.0f, 0.0f, 0.0f});
    script->AddChannel(19, {0.0f, 0.05f, 0.1f, 0.15f, 0.1f, 0.05f, 0.0f, 0.0f, 0.0f, 0.0f});
    script->AddChannel(20, {0.0f, 0.0f, 0.0f, 0.0f, 0.1f, 0.2f, 0.1f, 0.0f, 0.0f, 0.0f});
    script->AddChannel(21, {0.0f, 0.0f, 0.2f, 0.2f, 0.2f, 0.0f, 0.0f, -0.2f, 0.0f, 0.0f});
    world.GetRootObject()->AddChild(script);

    SWevent* speak = AddEvent(world, EventType::kWorldStart, "speak");
    SWactionnode* action = AddAction(world, speak, SWspeechmotion::kKind, "head");
    if (auto* motion = action != nullptr ? dynamic_cast<SWspeechmotion*>(action->GetMotion()) : nullptr) {
        motion->SetSpeechDataName(std::string("talk"));
        motion->SetDuration(10.0f / SWspeechmotion::kFramesPerMs);
    }
}

void AddDemoWindow(SWworld& world, DemoRenderer& renderer)
{
    SWwindow* window = world.AddWindow(std::make_unique<SWwindow>(&renderer));
    world.SetCurrentView(window);
}
