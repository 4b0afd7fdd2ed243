#include "designer/editing/actions_receptor.h"

#include <vector>

#include "designer/app/designer_app.h"
#include "designer/app/world_write_lock.h"
#include "designer/editing/action_notify.h"
#include "designer/editing/display_names.h"
#include "designer/editing/editor_engine.h"
#include "designer/editing/event_lookups.h"
#include "designer/editing/map_object.h"
#include "engine/behaviour/action_kind.h"
#include "engine/behaviour/action_node.h"
#include "engine/behaviour/event.h"
#include "engine/core/data_node.h"
#include "engine/core/world.h"
#include "platform/base/user_constants.h"
#include "platform/gfx/dc.h"
#include "platform/gfx/gdi_objects.h"
#include "platform/ui/controls/list_view.h"
#include "platform/ui/core/paint_dc.h"
#include "platform/ui/core/window.h"

namespace {

constexpr int32_t kSwitchKind = 23;

SWactionnode* ActionBefore(const SWevent& event, const SWactionnode* action)
{
    SWactionnode* before = nullptr;
    for (SWactionnode* a = event.GetFirstAction(); a != nullptr && a != action; a = SWevent::GetNextAction(a))
        before = a;
    return before;
}

} // namespace

// -- BaseActionsControlReceptor

BaseActionsControlReceptor::BaseActionsControlReceptor(pf::Window* list, SWevent* event)
    : ClientAreaReceptor(kAcceptMask, kPriority), event(event), m_list(list)
{
}

SWactionnode* BaseActionsControlReceptor::Target() const
{
    if (queueTarget != nullptr)
        return queueTarget;
    return conditionTrueTarget != nullptr ? conditionTrueTarget : conditionFalseTarget;
}

// Walks up from the target through the link ids, each action once; reaching action means the target hangs below it.
bool BaseActionsControlReceptor::Reaches(const SWactionnode& action) const
{
    SWactionnode* target = Target();
    if (target == nullptr)
        return false;
    SWevent* owner = target->GetEvent();
    std::vector<SWactionnode*> pending{target};
    std::vector<const SWactionnode*> seen;
    while (!pending.empty()) {
        SWactionnode* at = pending.back();
        pending.pop_back();
        if (at == &action)
            return true;
        if (owner == nullptr || std::find(seen.begin(), seen.end(), at) != seen.end())
            continue;
        seen.push_back(at);
        for (const uint32_t link : {at->GetThenLink(), at->GetElseLink(), at->GetQueueLink()}) {
            if (link == SWactionnode::kUnset)
                continue;
            if (SWactionnode* up = owner->FindAction(link))
                pending.push_back(up);
        }
    }
    return false;
}

bool BaseActionsControlReceptor::CanAccept(Droppable* droppable)
{
    const EdContent* content = DroppedContent(droppable);
    const SWactionnode* action = content != nullptr ? content->GetAction() : nullptr;
    return action == nullptr || !Reaches(*action);
}

void BaseActionsControlReceptor::OnDrop(pf::Window*, pf::Point, Droppable* droppable, bool more)
{
    const EdContent* content = DroppedContent(droppable);
    CEditorEngine* engine = GetEditorEngine();
    if (content == nullptr || event == nullptr)
        return;
    const uint16_t kind = content->GetKind() & EdKind::kContentMask;
    SWactionnode* action = nullptr;
    if (kind == EdKind::kAction) {
        action = content->GetAction();
        if (action == nullptr || !CanAccept(droppable))
            return;
        InsertAction(action);
    } else if (kind == EdKind::kActionKind || kind == EdKind::kJavaMethod) {
        {
            CVTND_WorldWriteLock lock(event->GetWorld() != nullptr ? event->GetWorld()->AsWorld() : nullptr);
            action = kind == EdKind::kActionKind ? event->CreateAction(content->GetActionKind())
                                                 : CreateJavaCallbackAction(*event, content->GetJavaMethod());
        }
        if (action == nullptr)
            return;
        InsertAction(action);
    } else {
        return;
    }
    if (!more)
        RedrawMaps();
    if (kind != EdKind::kAction)
        AnnounceNewAction(action);
    if (engine != nullptr)
        engine->RefreshActionReceptors();
}

void BaseActionsControlReceptor::InsertAction(SWactionnode* action)
{
    CEditorEngine* engine = GetEditorEngine();
    if (action == nullptr || event == nullptr)
        return;
    if (action->GetKindId() == kSwitchKind && action->GetArguments().Empty()) {
        CVTND_WorldWriteLock lock(WorldOfAction(action));
        const uint8_t on = 1;
        action->AddArgument(&on, SWdatanode::kByte, true);
    }
    MapObject* anchor = engine != nullptr ? engine->FindEventObject(event) : nullptr;
    if (insertionPoint == nullptr) {
        if (LastAction(*event) != action)
            MoveActionAndNotify(event, action, LastAction(*event), false);
    } else if (insertionPoint != action) {
        SWactionnode* after = insertBefore == 0 ? insertionPoint : ActionBefore(*event, insertionPoint);
        if (after != action)
            MoveActionAndNotify(event, action, after, false);
    }
    if (SWactionnode* target = Target()) {
        const uint32_t id = target->GetActionId();
        const uint32_t unset = SWactionnode::kUnset;
        {
            CVTND_WorldWriteLock lock(WorldOfAction(action));
            action->SetQueueLink(target == queueTarget ? id : unset);
            action->SetThenLink(target == conditionTrueTarget && target != queueTarget ? id : unset);
            action->SetElseLink(
                target == conditionFalseTarget && target != queueTarget && target != conditionTrueTarget ? id : unset);
        }
        if (engine != nullptr)
            anchor = engine->FindActionObject(target);
    }
    if (engine != nullptr && engine->FindActionObject(action) == nullptr)
        engine->PlaceNear(engine->AddAction(action), anchor);
}

void BaseActionsControlReceptor::Refill()
{
    auto* list = dynamic_cast<pf::ListView*>(m_list);
    if (list == nullptr || !list->isWindow())
        return;
    if (queueTarget != nullptr)
        FillFollowerActionList(*queueTarget, false, false, *list);
    else if (conditionTrueTarget != nullptr)
        FillFollowerActionList(*conditionTrueTarget, true, false, *list);
    else if (conditionFalseTarget != nullptr)
        FillFollowerActionList(*conditionFalseTarget, false, true, *list);
    else if (event != nullptr)
        FillEventActionList(*event, *list);
}

// -- ActionsControlReceptor

ActionsControlReceptor::Hit ActionsControlReceptor::HitTestList(pf::Window* window, pf::Point screen)
{
    Hit hit;
    auto* list = dynamic_cast<pf::ListView*>(window);
    if (list == nullptr)
        return hit;
    const pf::Point origin = list->clientToScreen({0, 0});
    for (int32_t i = 0; i < list->getItemCount(); ++i) {
        pf::Rect r = list->getItemRect(i, pf::LVIR_BOUNDS);
        r = {r.l + origin.x, r.t + origin.y, r.r + origin.x, r.b + origin.y};
        if (screen.x < r.l || screen.x > r.r || screen.y < r.t || screen.y > r.b)
            continue;
        hit.action = reinterpret_cast<SWactionnode*>(list->getItemData(i));
        if (screen.y - r.t >= (r.b - r.t) / 2) {
            hit.band = {r.l, r.b - 3, r.r, r.b};
            hit.before = 0;
        } else {
            hit.band = {r.l, r.t, r.r, r.t + 3};
            hit.before = 1;
        }
        return hit;
    }
    return hit;
}

void ActionsControlReceptor::DrawInsertionBand(pf::Window* window, const pf::Rect& screenBand)
{
    if (window == nullptr || !window->isWindow())
        return;
    const pf::Point origin = window->clientToScreen({0, 0});
    pf::WindowDc dc(*window);
    dc.selectObject(pf::getStockObject(pf::WHITE_PEN));
    dc.setROP2(pf::R2_XORPEN);
    for (int32_t y = screenBand.t; y < screenBand.b; ++y) {
        dc.moveTo({screenBand.l - origin.x, y - origin.y});
        dc.lineTo({screenBand.r - origin.x, y - origin.y});
    }
}

void ActionsControlReceptor::OnEnter(pf::Window* window, pf::Point at, Droppable*)
{
    const Hit hit = HitTestList(window, at);
    if (hit.action == nullptr)
        return;
    insertionPoint = nullptr;
    insertBefore = hit.before;
    hovered = hit.action;
    band = hit.band;
    DrawInsertionBand(window, band);
}

void ActionsControlReceptor::OnHover(pf::Window* window, pf::Point at, Droppable*)
{
    const Hit hit = HitTestList(window, at);
    if (hit.action == hovered && hit.before == insertBefore)
        return;
    if (hovered != nullptr)
        DrawInsertionBand(window, band);
    hovered = hit.action;
    insertBefore = hit.before;
    if (hovered != nullptr) {
        band = hit.band;
        DrawInsertionBand(window, band);
    }
}

void ActionsControlReceptor::OnLeave(pf::Window* window, Droppable*)
{
    if (hovered != nullptr)
        DrawInsertionBand(window, band);
    insertionPoint = hovered;
    hovered = nullptr;
}
