// The handlers of the older animation and transform kinds, which all act through the motion controller of each
// object node they reach, and the older arcball binding.
#include <cstring>

#include "engine/behaviour/action_kind.h"
#include "engine/behaviour/action_settings.h"
#include "engine/behaviour/events.h"
#include "engine/behaviour/handler_world.h"
#include "engine/behaviour/motion_controller.h"
#include "engine/core/data_node.h"
#include "engine/core/object_node.h"
#include "engine/core/world.h"

namespace {

using behaviour_handlers::NamedNode;
using behaviour_handlers::WorldOf;

SWmotioncontroller* ControllerOf(SWnode& node, bool create)
{
    auto* const object = dynamic_cast<SWobjectnode*>(&node);
    if (object == nullptr || !object->IsTransformNode())
        return nullptr;
    return object->GetMotionController(object->GetWorld(), create);
}

void PlayOn(SWnode& node, void* action, void*)
{
    if (SWmotioncontroller* controller = ControllerOf(node, true))
        controller->Play(static_cast<SWoldanimationaction*>(action));
}

void JumpOn(SWnode& node, void* action, void*)
{
    if (SWmotioncontroller* controller = ControllerOf(node, true))
        controller->JumpTo(static_cast<SWoldjumpaction*>(action));
}

void StopPlayOn(SWnode& node, void*, void*)
{
    if (SWmotioncontroller* controller = ControllerOf(node, false))
        controller->StopPlay();
}

void OldAnimationPlay(SWevent*, SWevents* events, const ActionTarget& target, const ActionSubject& subject)
{
    auto* const play = dynamic_cast<SWoldanimationaction*>(subject.action);
    SWnode* const node = NamedNode(WorldOf(events), target);
    if (play == nullptr || node == nullptr)
        return;
    if (play->settings.hierarchy != 0)
        node->VisitTree(PlayOn, play, nullptr);
    else
        node->Visit(PlayOn, play, nullptr);
}

void OldAnimationJumpTo(SWevent*, SWevents* events, const ActionTarget& target, const ActionSubject& subject)
{
    auto* const jump = dynamic_cast<SWoldjumpaction*>(subject.action);
    SWnode* const node = NamedNode(WorldOf(events), target);
    if (jump == nullptr || node == nullptr)
        return;
    if (jump->settings.hierarchy != 0)
        node->VisitTree(JumpOn, jump, nullptr);
    else
        node->Visit(JumpOn, jump, nullptr);
}

void OldAnimationStop(SWevent*, SWevents* events, const ActionTarget& target, const ActionSubject&)
{
    if (SWnode* node = NamedNode(WorldOf(events), target))
        node->VisitTree(StopPlayOn, nullptr, nullptr);
}

void OldTranslation(SWevent*, SWevents* events, const ActionTarget& target, const ActionSubject& subject)
{
    SWnode* const node = NamedNode(WorldOf(events), target);
    if (node != nullptr)
        if (SWmotioncontroller* controller = ControllerOf(*node, true))
            controller->Translate(dynamic_cast<SWoldtranslationaction*>(subject.action));
}

void OldRotation(SWevent*, SWevents* events, const ActionTarget& target, const ActionSubject& subject)
{
    SWnode* const node = NamedNode(WorldOf(events), target);
    if (node != nullptr)
        if (SWmotioncontroller* controller = ControllerOf(*node, true))
            controller->Rotate(dynamic_cast<SWoldrotationaction*>(subject.action));
}

// Sequences still waiting on an action of kind for the node named name are let go.
void FinishSequencesWaitingOn(SWevents* events, int32_t kind, const char* name)
{
    for (SWlistnode* n = events->GetActionQueues().Head(); n != nullptr; n = n->Next()) {
        auto* const entry = static_cast<SWactionqueueentry*>(n);
        const SWactionnode* const current = entry->GetCurrentAction();
        if (current == nullptr || current->GetKindId() != kind || entry->IsFinished())
            continue;
        const auto* const argument = static_cast<const SWdatanode*>(current->GetArguments().Head());
        const char* const text = argument != nullptr ? argument->GetText() : nullptr;
        if (text != nullptr && std::strcmp(text, name) == 0)
            entry->SetFinished();
    }
}

void OldStopTranslation(SWevent*, SWevents* events, const ActionTarget& target, const ActionSubject&)
{
    SWnode* const node = NamedNode(WorldOf(events), target);
    if (node == nullptr)
        return;
    if (SWmotioncontroller* controller = ControllerOf(*node, false))
        controller->StopTranslation();
    FinishSequencesWaitingOn(events, 26, target.GetText());
}

void OldStopRotation(SWevent*, SWevents* events, const ActionTarget& target, const ActionSubject&)
{
    SWnode* const node = NamedNode(WorldOf(events), target);
    if (node == nullptr)
        return;
    if (SWmotioncontroller* controller = ControllerOf(*node, false))
        controller->StopRotation();
    FinishSequencesWaitingOn(events, 27, target.GetText());
}

void OldBindArcball(SWevent*, SWevents* events, const ActionTarget& target, const ActionSubject& subject)
{
    SWworld* const world = WorldOf(events);
    if (world == nullptr)
        return;
    auto* const node = dynamic_cast<SWobjectnode*>(NamedNode(world, target));
    if (node == nullptr) {
        world->SetArcballNode(nullptr);
        world->SetArcballFlag(0);
        world->SetArcballSettings(nullptr);
        return;
    }
    if (!node->IsTransformNode())
        return;
    node->GetMotionController(world, true);
    world->SetArcballNode(node);
    world->SetArcballFlag(1);
    const auto* const action = dynamic_cast<const SWoldarcballaction*>(subject.action);
    if (action == nullptr) {
        world->SetArcballSettings(nullptr);
        return;
    }
    SWarcballsettings settings;
    settings.buttonModes = action->settings.buttonModes;
    settings.values = action->settings.values;
    world->SetArcballSettingsCopy(settings);
}

const bool kRegistered = RegisterActionHandler(2, OldAnimationPlay) && RegisterActionHandler(3, OldAnimationStop) &&
                         RegisterActionHandler(4, OldBindArcball) && RegisterActionHandler(26, OldTranslation) &&
                         RegisterActionHandler(27, OldRotation) && RegisterActionHandler(28, OldStopTranslation) &&
                         RegisterActionHandler(29, OldStopRotation) && RegisterActionHandler(32, OldAnimationJumpTo);

} // namespace
