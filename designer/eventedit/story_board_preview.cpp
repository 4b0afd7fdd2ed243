#include "designer/eventedit/story_board_preview.h"

#include <cmath>
#include <map>
#include <memory>
#include <set>
#include <vector>

#include "designer/eventedit/story_board_row.h"
#include "engine/behaviour/action_kind.h"
#include "engine/behaviour/action_node.h"
#include "engine/behaviour/action_settings.h"
#include "engine/behaviour/action_target.h"
#include "engine/behaviour/event.h"
#include "engine/behaviour/motion.h"
#include "engine/behaviour/motion_start_handlers.h"
#include "engine/behaviour/timed_action_table.h"
#include "engine/behaviour/track_target_motion.h"
#include "engine/core/data_node.h"
#include "engine/core/object_node.h"
#include "engine/core/world.h"

namespace {

// The type that looks its target node up by name at each start.
constexpr uint32_t kTargetedType = 4;
constexpr uint32_t kLastTimedType = 31; // the table's lists are by timed-action type, all below it

// Where each list of the timed-action table ended: motions added after it are the ones a step put in.
std::map<uint32_t, size_t> TableEnds(TimedActionTable& table)
{
    std::map<uint32_t, size_t> ends;
    for (uint32_t type = 0; type <= kLastTimedType; ++type)
        if (const auto* list = table.GetTypeList(type))
            ends[type] = list->size();
    return ends;
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
        Undo(*world, StartedIds(nullptr));
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
        Undo(*world, StartedIds(node));
    }
    m_nodes.Delete(const_cast<EDNode*>(node));
}

// One timed action, as a run of the event would start it, with what it puts in motion following the board's time.
void EDPreview::Run(SWworld& world, EDNode& node)
{
    SWactionnode& action = *node.action;
    const float startMs = static_cast<float>(action.GetDelay());
    auto* const motion = dynamic_cast<SWnodemotion*>(action.GetMotion());
    TimedActionTable& table = TimedActionTable::Of(world);
    const std::map<uint32_t, size_t> tableEnds = TableEnds(table);
    const size_t templateNodes = motion != nullptr ? motion->GetBoundNodes().size() : 0;
    SWnodemotion* inUse = nullptr;
    SWnodemotion* copy = nullptr;
    if (motion != nullptr) {
        motion->SetPreviewFlag(1);
        if (const uint32_t type = motion->IsReady(); type != 0) {
            motion->SetPreviewStartTime(startMs);
            if (type == kTargetedType || RunsTemplate(type)) {
                if (type == kTargetedType && world.GetRootNode() != nullptr) {
                    motion->SetTargetNode(motion->GetTargetNodeName()
                                              ? world.GetRootNode()->FindByName(*motion->GetTargetNodeName())
                                              : nullptr);
                    if (auto* aim = dynamic_cast<SWtracktargetmotion*>(motion))
                        aim->ResolveTarget();
                }
                inUse = motion;
            } else if (std::unique_ptr<SWnodemotion> made{dynamic_cast<SWnodemotion*>(motion->Clone())}) {
                copy = made.get();
                MarkPreviewed(*copy, startMs);
                table.Add(std::move(made));
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
    // What the handler put on nodes follows the board's time too: the per-node clones, which the start handler
    // adds to the table and starts on the frame's clock, and a template bound to a node of its own, which keeps
    // its flag while it runs there.
    if (motion != nullptr)
        motion->SetPreviewFlag(motion->GetBoundNodes().size() > templateNodes ? 1 : 0);
    for (uint32_t type = 0; type <= kLastTimedType; ++type) {
        const auto* list = table.GetTypeList(type);
        const auto end = tableEnds.find(type);
        for (size_t i = end != tableEnds.end() ? end->second : 0; list != nullptr && i < list->size(); ++i)
            if ((*list)[i]->GetActionId() == node.actionId)
                MarkPreviewed(*(*list)[i], startMs);
    }
    // A copy no handler bound to a node would run unseen for ever; the purge takes it.
    if (copy != nullptr && copy->GetBoundNodes().empty()) {
        copy->ReleaseHolds();
        copy->MarkDone();
    }
}

// One walk of the tree stops what the given actions started on every object node.
void EDPreview::Undo(SWworld& world, const std::vector<uint32_t>& actionIds)
{
    if (actionIds.empty())
        return;
    const std::set<uint32_t> ids(actionIds.begin(), actionIds.end());
    SWnode* const root = world.GetRootNode();
    for (SWnode* n = root; n != nullptr; n = n->NextInTree(root)) {
        SWobjectnode* object = SWobjectnode::FromNode(n);
        if (object == nullptr)
            continue;
        std::set<uint32_t> found;
        for (auto* e = object->GetTimedActions(); e != nullptr; e = static_cast<SWtimedactionentry*>(e->Next()))
            if (e->motion != nullptr && ids.count(e->motion->GetActionId()) != 0)
                found.insert(e->motion->GetActionId());
        for (const uint32_t id : found)
            StopMotionsOfAction(*object, id, true);
    }
}

std::vector<uint32_t> EDPreview::StartedIds(const EDNode* only) const
{
    std::vector<uint32_t> ids;
    for (const SWlistnode* n = m_nodes.Head(); n != nullptr; n = n->Next()) {
        const auto* node = static_cast<const EDNode*>(n);
        if ((only == nullptr || node == only) && node->started != 0 && IsTimedActionKind(node->kind))
            ids.push_back(node->actionId);
    }
    return ids;
}
