// The world model's operations on motion controllers: finding or making a node's controller, the per-node start
// step of a run, and the per-node reset of a full object reset.
#include <memory>

#include "engine/behaviour/motion_controller.h"
#include "engine/behaviour/timed_action_table.h"
#include "engine/core/object_node.h"
#include "engine/core/world.h"

SWmotioncontroller* SWobjectnode::GetMotionController(SWworld* world, bool create)
{
    for (SWtimedactionentry* e = GetTimedActions(); e != nullptr; e = static_cast<SWtimedactionentry*>(e->Next()))
        if (e->motion != nullptr && e->motion->GetType() == SWmotioncontroller::kType && !e->motion->IsDone())
            return static_cast<SWmotioncontroller*>(e->motion);
    if (!create || world == nullptr)
        return nullptr;
    auto made = std::make_unique<SWmotioncontroller>(world);
    SWmotioncontroller* const controller = made.get();
    controller->SetNode(this);
    controller->BindNode(GetId());
    AttachTimedAction(controller);
    TimedActionTable::Of(*world).Add(std::move(made));
    controller->Start();
    return controller;
}

void SWworld::RunNodeStartSteps()
{
    for (SWnode* n = GetRootNode(); n != nullptr; n = n->NextInTree(GetRootNode()))
        if (auto* node = dynamic_cast<SWobjectnode*>(n))
            if (SWmotioncontroller* controller = node->GetMotionController(this, false)) {
                controller->ResetForStart();
                controller->Start();
            }
}

void SWworld::ResetNodeController(SWnode& node, void*, void*)
{
    auto* const object = dynamic_cast<SWobjectnode*>(&node);
    if (object == nullptr || object->GetHasKeyFrameMatrices() == 0)
        return;
    if (SWmotioncontroller* controller = object->GetMotionController(object->GetWorld(), false))
        controller->ClearCurrentFrame();
}
