#include "designer/eventedit/story_board_preview.h"

#include <cmath>
#include <memory>
#include <unordered_set>

#include "designer/eventedit/story_board_row.h"
#include "engine/behaviour/action_kind.h"
#include "engine/behaviour/action_node.h"
#include "engine/behaviour/action_settings.h"
#include "engine/behaviour/action_target.h"
#include "engine/behaviour/event.h"
#include "engine/behaviour/motion.h"
#include "engine/behaviour/motion_start_handlers.h"
#include "engine/behaviour/timed_action_table.h"
#include "engine/core/data_node.h"
#include "engine/core/object_node.h"
#include "engine/core/world.h"

namespace {

// The type that looks its target node up by name at each start.
constexpr uint32_t kTargetedType = 4;

using MotionSet = std::unordered_set<const SWnodemotion*>;

// Every timed action an action started on the object nodes of the world's tree.
MotionSet MotionsOnNodes(SWworld& world, uint32_t actionId)
{
    MotionSet found;
    SWnode* const root = world.GetRootNode();
    for (SWnode* n = root; n != nullptr; n = n->NextInTree(root)) {
        const SWobjectnode* object = SWobjectnode::FromNode(n);
        if (object == nullptr)
            continue;
        for (auto* e = object->GetTimedActions(); e != nullptr; e = static_cast<SWtimedactionentry*>(e->Next()))
            if (e->motion != nullptr && e->motion->GetActionId() == actionId)
                found.insert(e->motion);
    }
    return found;
}

void MarkPreviewed(SWnodemotion& motion, float startMs)
{
    motion.SetPreviewFlag(1);
    motion.SetPreviewStartTime(startMs);
}

} // namespace

EDNode::EDNode(SWactionnode* action) : action(action), actionId(action->GetActionId()), kind(action->GetKindId())
{
    start = action->GetDelay();
    int32_t passes = 1;
    duration = action->GetDuration(passes, nullptr);
    repeatCount = passes;
    if (passes == 0)
        endless = 1;
    else
        end = start + passes * duration;
}

EDPreview::EDPreview(SWevent* event) : m_event(event)
{
    if (m_event == nullptr)
        return;
    for (SWactionnode* a = m_event->GetFirstAction(); a != nullptr; a = SWevent::GetNextAction(a))
        m_nodes.AddTail(new EDNode(a));
}

EDPreview::~EDPreview()
{
    if (SWworld* world = World()) {
        SWworldlock lock(*world);
        for (const SWlistnode* n = m_nodes.Head(); n != nullptr; n = n->Next())
            Undo(*world, *static_cast<const EDNode*>(n));
    }
    m_nodes.DeleteAll();
}

SWworld* EDPreview::World() const
{
    return m_event != nullptr && m_event->GetWorld() != nullptr ? m_event->GetWorld()->AsWorld() : nullptr;
}

const EDNode* EDPreview::NodeOf(const SWactionnode* action) const
{
    for (const SWlistnode* n = m_nodes.Head(); n != nullptr; n = n->Next())
        if (static_cast<const EDNode*>(n)->action == action)
            return static_cast<const EDNode*>(n);
    return nullptr;
}

void EDPreview::SetTime(double ms)
{
    if (std::isnan(ms) || ms < 0.0)
        ms = 0.0;
    SWworld* const world = World();
    if (world == nullptr) {
        m_timeMs = ms;
        return;
    }
    SWworldlock lock(*world);
    m_timeMs = ms;
    for (SWlistnode* n = m_nodes.Head(); n != nullptr; n = n->Next()) {
        auto* node = static_cast<EDNode*>(n);
        if (node->started != 0 || node->start > ms)
            continue;
        node->started = 1;
        if (IsTimedActionKind(node->action->GetKindId()))
            Run(*world, *node);
    }
    // The frame step reads the board's time and never writes it; the world's own time stays the frame step's.
    world->SetPreviewTime(static_cast<float>(ms));
}

void EDPreview::Forget(const SWactionnode* action)
{
    const EDNode* node = NodeOf(action);
    if (node == nullptr)
        return;
    if (SWworld* world = World()) {
        SWworldlock lock(*world);
        Undo(*world, *node);
    }
    m_nodes.Delete(const_cast<EDNode*>(node));
}

// One timed action, as a run of the event would start it, with what it puts in motion following the board's time.
void EDPreview::Run(SWworld& world, EDNode& node)
{
    SWactionnode& action = *node.action;
    const float startMs = static_cast<float>(action.GetDelay());
    auto* const motion = dynamic_cast<SWnodemotion*>(action.GetMotion());
    const MotionSet before = MotionsOnNodes(world, node.actionId);
    SWnodemotion* inUse = nullptr;
    SWnodemotion* copy = nullptr;
    if (motion != nullptr) {
        motion->SetPreviewFlag(1);
        if (const uint32_t type = motion->IsReady(); type != 0) {
            motion->SetPreviewStartTime(startMs);
            if (type == kTargetedType || RunsTemplate(type)) {
                if (type == kTargetedType && world.GetRootNode() != nullptr)
                    motion->SetTargetNode(motion->GetTargetNodeName()
                                              ? world.GetRootNode()->FindByName(*motion->GetTargetNodeName())
                                              : nullptr);
                inUse = motion;
            } else if (std::unique_ptr<SWnodemotion> made{dynamic_cast<SWnodemotion*>(motion->Clone())}) {
                copy = made.get();
                MarkPreviewed(*copy, startMs);
                TimedActionTable::Of(world).Add(std::move(made));
                copy->Start();
                inUse = copy;
            }
        }
    }
    const SWactionkind* kind = action.GetKind();
    const ActionHandler handler = kind != nullptr ? kind->GetHandler() : nullptr;
    if (handler != nullptr && !action.IsTargetTrigger()) {
        const ActionSubject subject{&action, inUse, nullptr};
        if (action.GetArguments().Count() == 0)
            handler(action.GetEvent(), &world, ActionTarget(), subject);
        for (const SWlistnode* n = action.GetArguments().Head(); n != nullptr; n = n->Next())
            handler(action.GetEvent(), &world, TargetOfArgument(*static_cast<const SWdatanode*>(n), action.GetKindId()),
                    subject);
    }
    if (motion != nullptr)
        motion->SetPreviewFlag(0);
    // The per-node clones the handler made start on the frame's clock: they follow the board's time too. A template
    // that runs on a node itself is among them and keeps its flag while it runs there.
    for (const SWnodemotion* started : MotionsOnNodes(world, node.actionId))
        if (before.count(started) == 0)
            MarkPreviewed(*const_cast<SWnodemotion*>(started), startMs);
    // A copy no handler bound to a node would run unseen for ever; the purge takes it.
    if (copy != nullptr && copy->GetBoundNodes().empty()) {
        copy->ReleaseHolds();
        copy->MarkDone();
    }
}

void EDPreview::Undo(SWworld& world, const EDNode& node)
{
    if (node.started == 0 || !IsTimedActionKind(node.kind))
        return;
    SWnode* const root = world.GetRootNode();
    for (SWnode* n = root; n != nullptr; n = n->NextInTree(root))
        if (SWobjectnode* object = SWobjectnode::FromNode(n))
            StopMotionsOfAction(*object, node.actionId, true);
}
