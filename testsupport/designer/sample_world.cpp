#include "testsupport/designer/sample_world.h"

#include <memory>

#include "designer/app/designer_app.h"
#include "designer/app/extended_world.h"
#include "designer/editing/editor_engine.h"
#include "engine/behaviour/action_kind.h"
#include "engine/behaviour/action_node.h"
#include "engine/behaviour/event.h"
#include "engine/behaviour/expression.h"
#include "engine/behaviour/expression_list.h"
#include "engine/core/camera_node.h"
#include "engine/core/cursor_list.h"
#include "engine/core/node.h"
#include "engine/core/object_node.h"
#include "engine/core/root_object.h"
#include "engine/core/sub_worlds.h"
#include "engine/resources/material.h"
#include "engine/resources/particle_node.h"
#include "engine/resources/sound.h"
#include "engine/resources/sound_list.h"
#include "testsupport/world/sample_world.h"

namespace designertest {
namespace {

CVTND_ExtendedWorld& FreshWorld(CVTNDesignerApp& app)
{
    app.NewWorkspace();
    return *app.GetWorld();
}

SWexpressionentry* AddExpression(SWworld& world, const char* name, const char* text)
{
    int code = 0;
    std::unique_ptr<SWexpression> expression = SWexpression::CompileExpression(&world, text, code);
    if (expression == nullptr)
        expression = std::make_unique<SWexpression>(&world);
    expression->SetName(std::string(name));
    expression->SetText(std::string(text));
    return SWexpressionlist::Of(world).Add(std::move(expression));
}

SWobjectnode* AddObjectNode(SWworld& world, const char* name)
{
    auto* node = new SWobjectnode;
    node->SetName(std::string(name));
    world.AddNode(node, nullptr);
    return node;
}

} // namespace

SampleWorld::SampleWorld(CVTNDesignerApp& app) : world(FreshWorld(app))
{
    worldtest::FillSampleWorld(world);
    SWnode* root = world.GetRootNode();
    camera = root->FindByName("front");
    otherCamera = root->FindByName("side");
    if (auto* lens = dynamic_cast<SWcameraobject*>(otherCamera->GetGeometry()))
        lens->SetSubType(3);
    group = root->FindByName("objects");
    object = root->FindByName("object0");
    otherObject = root->FindByName("object1");
    hotspot = root->FindByName("button");
    for (SWnode* n = root; n != nullptr; n = n->NextInTree(root)) {
        if (mesh == nullptr && n->HasKind(SWnode::kKindMesh))
            mesh = n;
    }
    auto* system = world.GetRootObject()->AddGeometry(std::make_unique<SWparticlenode>());
    SWobjectnode* particleNode = AddObjectNode(world, "sparks");
    particleNode->SetGeometry(system);
    particles = particleNode;
    screenNode = AddObjectNode(world, kScreenNodeName);

    sound = world.GetSoundList().FindByName("speech");
    auto second = std::make_unique<SWsound>("bell");
    second->SetFileName("bell.wav");
    otherSound = world.GetSoundList().Add(std::move(second));
    otherSound->SetWorld(&world);
    expression = AddExpression(world, "double", "2 * 3");
    otherExpression = AddExpression(world, "half", "1 / 2");
    cursor = world.GetCursorList().FindByName("hand");
    material = world.GetRootObject()->GetFirstMaterial();
    loadedWorld = world.GetSubWorlds().FindByName("level2");

    timer = world.AddEventOfType(4);
    timer->SetName(std::string("tick"));
    click = world.AddEventOfType(5);
    click->SetName(std::string("clicked"));
    click->AddObjectName(*hotspot->GetName());
    motionDone = world.AddEventOfType(16);
    motionDone->SetName(std::string("moved"));
    motionDone->AddObjectName(*object->GetName());
    soundDone = world.AddEventOfType(17);
    soundDone->SetName(std::string("rang"));
    soundDone->AddSoundName(sound->GetName());
    key = world.AddEventOfType(19);
    key->SetName(std::string("pressed"));

    condition = AddAction(*timer, 25);
    thenFollower = AddAction(*timer, 21);
    thenFollower->SetThenLink(condition->GetActionId());
    elseFollower = AddAction(*timer, 22);
    elseFollower->SetElseLink(condition->GetActionId());
    queue = AddAction(*timer, 30);
    for (const int32_t kind : {2, 7}) {
        SWactionnode* member = AddAction(*timer, kind);
        member->SetQueueLink(queue->GetActionId());
        queueMembers.push_back(member);
    }
    stopQueue = AddAction(*timer, 31);
}

SWactionkind* SampleWorld::Kind(int32_t kindId) const
{
    return world.GetActionCategories().FindKind(kindId);
}

SWactionnode* SampleWorld::AddAction(SWevent& event, int32_t kindId)
{
    if (SWactionkind* kind = Kind(kindId))
        return event.CreateAction(kind);
    // Kinds without a catalogue row (24, a stored one reading as 35) keep a record of their own.
    auto own = std::make_unique<SWactionkind>();
    own->SetKindId(kindId);
    SWactionnode* action = event.CreateAction(own.get());
    action->TakeOwnKind(std::move(own));
    return action;
}

} // namespace designertest
