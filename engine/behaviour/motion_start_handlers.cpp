// The handlers that start, stop and reset motions on nodes: the generic motion start of the motion kinds, the stop
// of the motions an action started, and the reset of objects to their rest pose.
#include "engine/behaviour/motion_start_handlers.h"

#include <memory>

#include "engine/behaviour/action_kind.h"
#include "engine/behaviour/action_settings.h"
#include "engine/behaviour/arcball_motion.h"
#include "engine/behaviour/events.h"
#include "engine/behaviour/handler_world.h"
#include "engine/behaviour/keyframe_motion.h"
#include "engine/behaviour/motion.h"
#include "engine/behaviour/motion_controller.h"
#include "engine/behaviour/navigation_motion.h"
#include "engine/behaviour/timed_action_table.h"
#include "engine/behaviour/track_target_motion.h"
#include "engine/behaviour/vertex_keyframe_motion.h"
#include "engine/core/camera_node.h"
#include "engine/core/object_node.h"
#include "engine/core/window.h"
#include "engine/core/world.h"
#include "engine/resources/geometry.h"
#include "engine/resources/sound_list.h"

namespace {

constexpr uint32_t kTypeTrackTarget = 4;
constexpr uint32_t kTypeArcball = 5;
constexpr uint32_t kTypeSpeech = 14;
constexpr uint32_t kTypeNavigation = 16;

using behaviour_handlers::NamedNode;
using behaviour_handlers::WorldOf;

// The types whose template stays with its action and runs as one clone per node.
bool ClonesPerNode(uint32_t type)
{
    return type == kTypeTrackTarget || type == kTypeArcball || type == kTypeSpeech || type == kTypeNavigation;
}

// The key-frame types bind a clone to each node that has what they play; others are not started there.
bool BindsKeyFrames(SWnodemotion& clone, SWobjectnode& node)
{
    if (auto* play = dynamic_cast<SWkeyframemotion*>(&clone))
        return play->Bind(node);
    if (auto* jump = dynamic_cast<SWkeyframejumpmotion*>(&clone))
        return jump->Bind(node);
    if (auto* vertices = dynamic_cast<SWvertexkeyframemotion*>(&clone))
        return vertices->Bind(node);
    return false;
}

bool IsKeyFrameType(uint32_t type)
{
    return type == SWkeyframemotion::kType || type == SWkeyframejumpmotion::kType ||
           type == SWvertexkeyframemotion::kPlay || type == SWvertexkeyframemotion::kJump;
}

// Each class keeps its own play-the-subtree byte.
bool PlaysSubtree(const SWnodemotion& motion)
{
    if (const auto* play = dynamic_cast<const SWkeyframemotion*>(&motion))
        return play->GetApplyToChildren();
    if (const auto* jump = dynamic_cast<const SWkeyframejumpmotion*>(&motion))
        return jump->GetApplyToChildren();
    if (const auto* vertices = dynamic_cast<const SWvertexkeyframemotion*>(&motion))
        return vertices->GetApplyToChildren();
    return false;
}

void ClearNavigationState(SWobjectnode& camera)
{
    camera.RunKeyState() = 0;
    camera.SlotTwelveKeyState() = 0;
    if (camera.GetGeometry() != nullptr)
        camera.GetGeometry()->ClearKeyStateValues();
}

struct StartCall {
    SWworld* world;
    SWnodemotion* motion;
};

void StartOn(SWnode& node, void* call, void*)
{
    auto* const object = dynamic_cast<SWobjectnode*>(&node);
    const auto* const c = static_cast<const StartCall*>(call);
    if (object != nullptr)
        StartMotionOnNode(*object, *c->world, *c->motion);
}

// Every arcball bound to an object node is stopped, finished and unlinked; the purge deletes them.
void EndArcballOn(SWnode& node, void*, void*)
{
    auto* const object = dynamic_cast<SWobjectnode*>(&node);
    if (object == nullptr)
        return;
    for (SWtimedactionentry* e = object->GetTimedActions(); e != nullptr;) {
        auto* const next = static_cast<SWtimedactionentry*>(e->Next());
        if (e->motion != nullptr && e->motion->GetType() == kTypeArcball) {
            e->motion->Stop();
            e->motion->Finish();
            object->DeleteTimedAction(e);
        }
        e = next;
    }
}

void StartMotion(SWevent*, SWevents* events, const ActionTarget& target, const ActionSubject& subject)
{
    SWworld* const world = WorldOf(events);
    SWnode* const node = NamedNode(world, target);
    auto* const motion = dynamic_cast<SWnodemotion*>(subject.motion);
    if (node == nullptr || motion == nullptr)
        return;
    if (motion->GetType() == kTypeArcball)
        if (const auto* arcball = dynamic_cast<const SWarcballmotion*>(motion); arcball && arcball->IsExclusive())
            world->GetRootNode()->VisitTree(EndArcballOn, nullptr, nullptr);
    StartCall call{world, motion};
    if (IsKeyFrameType(motion->GetType()) && PlaysSubtree(*motion))
        node->VisitTree(StartOn, &call, nullptr);
    else
        node->Visit(StartOn, &call, nullptr);
}

struct StopCall {
    const SWstopmotionsaction* action;
};

void StopOn(SWnode& node, void* call, void*)
{
    auto* const object = dynamic_cast<SWobjectnode*>(&node);
    if (object == nullptr)
        return;
    const SWstopmotionsaction& action = *static_cast<const StopCall*>(call)->action;
    for (const uint32_t id : action.GetIds())
        StopMotionsOfAction(*object, id, action.all != 0);
}

void StopMotions(SWevent*, SWevents* events, const ActionTarget& target, const ActionSubject& subject)
{
    SWnode* const node = NamedNode(WorldOf(events), target);
    const auto* const action = dynamic_cast<const SWstopmotionsaction*>(subject.action);
    if (node == nullptr || action == nullptr)
        return;
    StopCall call{action};
    if (action->subtree != 0)
        node->VisitTree(StopOn, &call, nullptr);
    else
        node->Visit(StopOn, &call, nullptr);
}

// -- Reset

struct ResetCall {
    SWworld* world;
    bool position;
    bool rotation;
};

// The camera's new pose reaches every window showing it, and each navigation motion driving it starts over.
void ReloadCamera(SWworld& world, SWcameranode& camera)
{
    camera.UpdateMatrices(camera.GetParentNode());
    for (const std::unique_ptr<SWwindow>& window : world.GetWindows())
        if (window->GetCameraNode() == &camera)
            window->SetCamera(&camera);
    if (const auto* list = TimedActionTable::Of(world).GetTypeList(kTypeNavigation))
        for (const std::unique_ptr<SWnodemotion>& motion : *list)
            if (auto* navigation = dynamic_cast<SWnavigationmotion*>(motion.get()))
                if (navigation->IsRunning() && navigation->GetDrivenNode() == &camera)
                    navigation->ReloadState();
}

void ResetTransformOn(SWnode& node, void* call, void*)
{
    auto* const object = dynamic_cast<SWobjectnode*>(&node);
    const auto* const c = static_cast<const ResetCall*>(call);
    if (object == nullptr || object->GetTransformVariable() == nullptr || (!c->position && !c->rotation))
        return;
    const SWmatrix initial = object->GetInitialMatrix();
    SWmatrix local = object->GetLocalMatrix();
    if (c->position && c->rotation) {
        local = initial;
    } else if (c->position) {
        local.CopyTranslation(initial);
    } else {
        SWmatrix rotated = initial;
        rotated.CopyTranslation(local);
        local = rotated;
    }
    object->SetLocalMatrix(local);
    if (auto* camera = dynamic_cast<SWcameranode*>(object); camera != nullptr && c->rotation)
        ReloadCamera(*c->world, *camera);
}

void StopPlayOn(SWnode& node, void*, void*)
{
    if (auto* object = dynamic_cast<SWobjectnode*>(&node))
        if (SWmotioncontroller* controller = object->GetMotionController(object->GetWorld(), false))
            controller->StopPlay();
}

void UpdateOn(SWnode& node, void* world, void*)
{
    static_cast<SWworld*>(world)->UpdateNodeTransforms(&node, 1);
    static_cast<SWworld*>(world)->UpdateGeometryMatrices(&node);
}

void ResetObject(SWevent*, SWevents* events, const ActionTarget& target, const ActionSubject& subject)
{
    SWworld* const world = WorldOf(events);
    SWnode* const node = NamedNode(world, target);
    const auto* const action = dynamic_cast<const SWresetaction*>(subject.action);
    if (node == nullptr || action == nullptr)
        return;
    if (action->settings.fullReset != 0) {
        node->VisitTree(StopPlayOn, nullptr, nullptr);
        node->VisitTree(SWworld::ResetNodeController, nullptr, nullptr);
        ResetCall call{world, true, true};
        node->VisitTree(ResetTransformOn, &call, nullptr);
    } else {
        ResetCall call{world, action->settings.position != 0, action->settings.rotation != 0};
        if (action->settings.subtree != 0)
            node->VisitTree(ResetTransformOn, &call, nullptr);
        else
            node->Visit(ResetTransformOn, &call, nullptr);
    }
    node->Visit(UpdateOn, world, nullptr);
    world->Invalidate(false);
}

const bool kRegistered = [] {
    bool ok = RegisterActionHandler(34, ResetObject) && RegisterActionHandler(46, StopMotions);
    for (const int32_t kind : {41, 42, 43, 44, 45, 47, 50, 51, 53, 60, 63, 64})
        ok = RegisterActionHandler(kind, StartMotion) && ok;
    return ok;
}();

} // namespace

void StartMotionOnNode(SWobjectnode& node, SWworld& world, SWnodemotion& motion)
{
    SWnodemotion* running = &motion;
    const uint32_t type = motion.GetType();
    if (IsKeyFrameType(type)) {
        std::unique_ptr<SWnodemotion> clone(dynamic_cast<SWnodemotion*>(motion.Clone()));
        if (!clone || !BindsKeyFrames(*clone, node))
            return; // a node without the frames it plays is not started
        running = clone.get();
        running->SetHoldObject(motion.GetHoldObject());
        TimedActionTable::Of(world).Add(std::move(clone));
    } else if (ClonesPerNode(type)) {
        std::unique_ptr<SWnodemotion> clone(dynamic_cast<SWnodemotion*>(motion.Clone()));
        if (!clone)
            return;
        running = clone.get();
        running->SetHoldObject(motion.GetHoldObject());
        TimedActionTable::Of(world).Add(std::move(clone));
        if (type == kTypeTrackTarget)
            if (auto* aim = dynamic_cast<SWtracktargetmotion*>(running))
                aim->SetOwnNode(&node);
        if (type == kTypeNavigation && node.HasKind(SWnode::kKindCamera))
            ClearNavigationState(node);
    }
    if (running->GetSound() == nullptr && running->GetSoundName())
        running->SetSound(world.GetSoundList().FindByName(*running->GetSoundName()));
    if (running->GetHoldObject() == nullptr)
        running->SetHoldObject(motion.GetHoldObject());
    if (!running->IsRunning())
        running->Start();
    running->AddHold(); // one per node the motion is bound to
    SWtimedactionentry* const entry = node.AttachTimedAction(running);
    running->GetReferenceMatrix(node, *entry);
    running->BindNode(node.GetId());
}

void StopMotionsOfAction(SWobjectnode& node, unsigned actionId, bool all)
{
    for (SWtimedactionentry* e = node.GetTimedActions(); e != nullptr;) {
        auto* const next = static_cast<SWtimedactionentry*>(e->Next());
        SWnodemotion* const motion = e->motion;
        if (motion != nullptr && motion->GetActionId() == actionId) {
            motion->ReleaseHolds();
            motion->Stop();
            motion->MarkDone(); // a stopped motion is never stepped again, and stopping early posts nothing
            node.DeleteTimedAction(e);
            if (!all)
                return;
        }
        e = next;
    }
}
