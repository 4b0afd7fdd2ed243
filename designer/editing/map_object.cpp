#include "designer/editing/map_object.h"

#include <vector>

#include "designer/app/designer_app.h"
#include "designer/app/map_canvas.h"
#include "designer/editing/editor_engine.h"
#include "designer/editing/event_lookups.h"
#include "engine/behaviour/action_kind.h"
#include "engine/behaviour/action_node.h"
#include "engine/behaviour/event.h"
#include "engine/core/node.h"
#include "platform/gfx/dc.h"
#include "platform/ui/core/paint_dc.h"
#include "platform/ui/core/ui.h"
#include "platform/ui/core/window.h"

namespace {

constexpr int32_t kConditionKind = 25;
constexpr int32_t kQueueKind = 30;
constexpr int32_t kStopQueueKind = 31;
constexpr int32_t kOutlineMargin = 5;

bool NodeHas(const SWnode* node, uint16_t flags)
{
    return node != nullptr && node->HasKind(flags);
}

// An action, an action-kind item or a Java method item: what conditions, queues and events take.
bool IsActionLike(uint16_t k)
{
    return k == EdKind::kAction || k == EdKind::kActionKind || k == EdKind::kJavaMethod;
}

// True when walking up from `from` through its links, within its event, reaches `ancestor` (from itself counts).
// Each action is visited once, so a cycle already in the links cannot keep the walk going.
bool LinksReach(SWactionnode& from, const SWactionnode& ancestor)
{
    SWevent* event = from.GetEvent();
    std::vector<SWactionnode*> pending{&from};
    std::vector<const SWactionnode*> seen;
    while (!pending.empty()) {
        SWactionnode* action = pending.back();
        pending.pop_back();
        if (action == &ancestor)
            return true;
        if (std::find(seen.begin(), seen.end(), action) != seen.end())
            continue;
        seen.push_back(action);
        if (event == nullptr)
            continue;
        for (const uint32_t link : {action->GetThenLink(), action->GetElseLink(), action->GetQueueLink()}) {
            if (link == SWactionnode::kUnset)
                continue;
            if (SWactionnode* up = event->FindAction(link))
                pending.push_back(up);
        }
    }
    return false;
}

bool ActionAccepts(SWactionnode& target, uint16_t k, const EdContent& dragged)
{
    const int32_t kind = target.GetKindId();
    const SWnode* node = dragged.GetNode();
    if (KindIn(kind, {{2, 4}, {26, 29}, {32, 34}, {41, 47}, {52, 53}, {60, 60}, {62, 64}}))
        return k == EdKind::kNode && NodeHas(node, SWnode::kKindObject | SWnode::kKindGroup);
    if (kind == 5 || kind == 37 || kind == 61)
        return k == EdKind::kNode && NodeHas(node, SWnode::kKindCamera);
    if (kind == 7 || kind == 8)
        return k == EdKind::kSound;
    if (KindIn(kind, {{11, 15}, {38, 38}}))
        return k == EdKind::kEvent || k == EdKind::kEventType;
    if (kind == 21 || kind == 22)
        return k == EdKind::kNode;
    if (kind == 24 || kind == 35)
        return k == EdKind::kExpression;
    if (kind == kConditionKind || kind == kQueueKind) {
        if (!IsActionLike(k))
            return false;
        // An action hung below one of its own descendants (or below itself) would close a loop of links.
        const SWactionnode* moved = dragged.GetAction();
        return moved == nullptr || !LinksReach(target, *moved);
    }
    if (kind == kStopQueueKind) {
        if (k == EdKind::kActionKind)
            return dragged.GetActionKind() != nullptr && dragged.GetActionKind()->GetKindId() == kQueueKind;
        return k == EdKind::kAction && dragged.GetAction() != nullptr && dragged.GetAction()->GetKindId() == kQueueKind;
    }
    if (kind == 39)
        return k == EdKind::kCursor;
    if (kind == 48 || kind == 49)
        return k == EdKind::kNode && IsParticleSystemNode(node);
    if (kind == 50 || kind == 51)
        return k == EdKind::kNode && NodeHas(node, SWnode::kKindGroup | SWnode::kKindMesh);
    if (kind >= 54 && kind <= 56)
        return k == EdKind::kLoadedWorld;
    if (kind == 57 || kind == 58)
        return k == EdKind::kNode && NodeHas(node, SWnode::kKindHotspot);
    if (kind == 59)
        return k == EdKind::kMaterial;
    return false;
}

bool EventAccepts(const SWevent& event, uint16_t k, const EdContent& dragged)
{
    if (IsActionLike(k))
        return true;
    const uint32_t type = event.GetType();
    if (type == 5 || type == 6 || type == 7 || type == 15)
        return k == EdKind::kNode &&
               NodeHas(dragged.GetNode(), SWnode::kKindHotspot | SWnode::kKindGroup | SWnode::kKindMesh);
    if (type == 16)
        return k == EdKind::kNode && NodeHas(dragged.GetNode(), SWnode::kKindObject | SWnode::kKindGroup);
    if (type == 17)
        return k == EdKind::kSound;
    return false;
}

} // namespace

CEditorEngine* GetEditorEngine()
{
    CVTNDesignerApp* app = GetDesignerApp();
    return app != nullptr ? dynamic_cast<CEditorEngine*>(app->GetEditorEngine()) : nullptr;
}

CVTND_MapCanvas* FindMapCanvas(const pf::Window* window)
{
    CVTNDesignerApp* app = GetDesignerApp();
    if (app == nullptr || window == nullptr)
        return nullptr;
    for (CVTND_MapCanvas* map = app->GetFirstEventMap(); map != nullptr; map = app->GetNextEventMap()) {
        if (map->GetWindow() == window)
            return map;
    }
    return nullptr;
}

// -- Droppable

void MapObject::SetFoldOwner(MapObject* owner)
{
    if (m_foldOwner != nullptr)
        --m_foldOwner->m_foldsHeld;
    m_foldOwner = owner;
    if (owner != nullptr)
        ++owner->m_foldsHeld;
}

void MapObject::Select(pf::Window*, pf::Point, bool toggle, bool makePrimary)
{
    CEditorEngine* engine = GetEditorEngine();
    if (engine == nullptr)
        return;
    CEditorSelection& selection = engine->Selection();
    if (toggle) {
        if (!selection.Remove(this))
            selection.Add(this);
    } else if (makePrimary) {
        if (!selection.MakePrimary(this))
            selection.Add(this);
    } else {
        selection.DeleteAll();
        selection.Add(this);
    }
    if (CVTNDesignerApp* app = GetDesignerApp())
        app->RedrawEventMaps();
}

// -- DropReceptor

MapView MapObject::ViewOf(pf::Window* window)
{
    MapView view;
    if (window == nullptr)
        return view;
    view.clientOrigin = window->clientToScreen({0, 0});
    if (const CVTND_MapCanvas* map = FindMapCanvas(window))
        view.scroll = map->GetScrollOrigin();
    return view;
}

pf::Rect MapObject::ScreenBox(const MapView& view) const
{
    const int32_t left = view.clientOrigin.x + x - view.scroll.x;
    const int32_t top = view.clientOrigin.y + y - view.scroll.y;
    return {left, top, pf::saturateToInt32(int64_t{left} + width), pf::saturateToInt32(int64_t{top} + height)};
}

pf::Point MapObject::ClientOrigin(pf::Window* window) const
{
    pf::Point scroll;
    if (const CVTND_MapCanvas* map = FindMapCanvas(window))
        scroll = map->GetScrollOrigin();
    return {x - scroll.x, y - scroll.y};
}

int32_t MapObject::GetScreenX(pf::Window* window)
{
    return window != nullptr ? ScreenBox(ViewOf(window)).l : -1;
}

int32_t MapObject::GetScreenY(pf::Window* window)
{
    return window != nullptr ? ScreenBox(ViewOf(window)).t : -1;
}

bool MapObject::IsCondition() const
{
    const SWactionnode* action = GetAction();
    return action != nullptr && action->GetKindId() == kConditionKind;
}

uint8_t MapObject::SideAt(pf::Window* window, pf::Point screen)
{
    return screen.x - GetScreenX(window) > width / 2 ? 2 : 1;
}

namespace {

// The engine's 4-pixel white pen, exclusive-or, hollow brush, on the window's client area.
void XorRectangle(pf::Window* window, const pf::Rect& rect)
{
    const CEditorEngine* engine = GetEditorEngine();
    if (window == nullptr || engine == nullptr)
        return;
    pf::WindowDc dc(*window);
    dc.selectPen(engine->GetPen(EnginePen::kDragOutline));
    dc.selectObject(pf::getStockObject(pf::NULL_BRUSH));
    dc.setROP2(pf::R2_XORPEN);
    dc.rectangle(rect);
}

} // namespace

void MapObject::DrawHalf(pf::Window* window, uint8_t side)
{
    const pf::Point o = ClientOrigin(window);
    const int32_t half = width / 2;
    if (side == 1)
        XorRectangle(window, {o.x - kOutlineMargin, o.y - kOutlineMargin, o.x + half + kOutlineMargin,
                              o.y + height + kOutlineMargin});
    else if (side == 2)
        XorRectangle(window, {o.x + half - kOutlineMargin, o.y - kOutlineMargin, o.x + width + kOutlineMargin,
                              o.y + height + kOutlineMargin});
}

void MapObject::DrawOutline(pf::Window* window)
{
    const pf::Point o = ClientOrigin(window);
    XorRectangle(window, {o.x - kOutlineMargin, o.y - kOutlineMargin, o.x + width + kOutlineMargin,
                          o.y + height + kOutlineMargin});
}

void MapObject::OnEnter(pf::Window* window, pf::Point at, Droppable*)
{
    if (!IsCondition()) {
        DrawOutline(window);
        return;
    }
    if (halfOutline != 0)
        DrawHalf(window, halfOutline);
    const uint8_t side = SideAt(window, at);
    DrawHalf(window, side);
    halfOutline = side;
    dropSide = side;
}

void MapObject::OnHover(pf::Window* window, pf::Point at, Droppable*)
{
    if (!IsCondition())
        return;
    const uint8_t side = SideAt(window, at);
    if (side == halfOutline)
        return;
    if (halfOutline != 0)
        DrawHalf(window, halfOutline);
    DrawHalf(window, side);
    halfOutline = side;
    dropSide = side;
}

void MapObject::OnLeave(pf::Window* window, Droppable*)
{
    if (!IsCondition()) {
        DrawOutline(window);
        return;
    }
    if (halfOutline != 0)
        DrawHalf(window, halfOutline);
    halfOutline = 0;
}

bool MapObject::CanAccept(Droppable* droppable)
{
    const EdContent* dragged = DroppedContent(droppable);
    if (dragged == nullptr)
        return false;
    const uint16_t k = droppable->GetContentKind();
    const uint16_t t = GetKind() & EdKind::kContentMask;
    if (t == EdKind::kSound && k == EdKind::kSound)
        return true;
    if (t == EdKind::kExpression && k == EdKind::kExpression)
        return true;
    if (t == EdKind::kCursor && k == EdKind::kCursor)
        return true;
    if (t == EdKind::kMaterial)
        return k == EdKind::kMaterial;
    if (SWactionnode* action = GetAction())
        return ActionAccepts(*action, k, *dragged);
    if (const SWevent* event = GetEvent())
        return EventAccepts(*event, k, *dragged);
    return false;
}
