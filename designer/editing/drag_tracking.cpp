// Drag tracking: one drag at a time, forwarded by the main frame in screen coordinates. Every end of a drag --
// a drop, a release where nothing takes it, a lost capture -- leaves the screen as it was: the move outlines are
// erased, the receptor under the cursor is left, and the drag's palette objects are deleted.
#include <optional>
#include <utility>
#include <vector>

#include "designer/app/designer_app.h"
#include "designer/editing/action_notify.h"
#include "designer/editing/editor_engine.h"
#include "designer/editing/editor_images.h"
#include "designer/editing/map_object.h"
#include "platform/display/screen_dc.h"
#include "platform/ui/core/ui.h"
#include "platform/ui/core/window.h"

namespace {

pf::Window* WindowAt(pf::Point screen)
{
    if (!pf::hasUi())
        return nullptr;
    return pf::ui().window(pf::ui().windowFromPoint(screen));
}

const DropReceptor* OwnReceptor(Droppable* droppable)
{
    return droppable != nullptr ? droppable->AsMapObject() : nullptr;
}

} // namespace

// -- Receptor calls, each shown to the observer first

void CEditorEngine::Enter(DropReceptor& receptor, pf::Window* window, pf::Point at, Droppable* payload)
{
    if (receptorObserver)
        receptorObserver({ReceptorCall::kEnter, &receptor, window, at, payload, false});
    receptor.OnEnter(window, at, payload);
}

void CEditorEngine::Hover(DropReceptor& receptor, pf::Window* window, pf::Point at, Droppable* payload)
{
    if (receptorObserver)
        receptorObserver({ReceptorCall::kHover, &receptor, window, at, payload, false});
    receptor.OnHover(window, at, payload);
}

void CEditorEngine::Leave(DropReceptor& receptor, pf::Window* window, Droppable* payload)
{
    if (receptorObserver)
        receptorObserver({ReceptorCall::kLeave, &receptor, window, {}, payload, false});
    receptor.OnLeave(window, payload);
}

void CEditorEngine::DropOn(DropReceptor& receptor, pf::Window* window, pf::Point at, Droppable* payload, bool more)
{
    if (receptorObserver)
        receptorObserver({ReceptorCall::kDrop, &receptor, window, at, payload, more});
    receptor.OnDrop(window, at, payload, more);
    // A drop taken makes or links what the project stores (events, actions, arguments, names, the map's layout): it
    // is a change, where opening an editor is none.
    if (m_app != nullptr)
        m_app->SetModified();
}

// Map objects are most of the receptors: their rectangles come from the window's origin and scroll, found once.
DropReceptor* CEditorEngine::FindReceptorAt(pf::Window* window, pf::Point screen, const DropReceptor* skip,
                                            bool skipSelected)
{
    const MapView view = MapObject::ViewOf(window);
    DropReceptor* kept = nullptr;
    for (SWlistnode* n = m_receptors.Head(); n != nullptr; n = n->Next()) {
        DropReceptor* receptor = &static_cast<DropReceptorLink*>(n)->receptor;
        if (receptor == skip || (kept != nullptr && receptor->priority >= kept->priority))
            continue; // a later receptor replaces the kept one only with a smaller priority
        if (!receptor->OwnsWindow(window))
            continue;
        MapObject* object = receptor->AsMapObject();
        const pf::Rect box = object != nullptr ? object->ScreenBox(view) : ScreenBoxOf(*receptor, window);
        const bool inside = screen.x >= box.l && screen.x <= box.r && screen.y >= box.t && screen.y <= box.b;
        if (!inside || (skipSelected && object != nullptr && m_selection.Contains(object)))
            continue;
        kept = receptor;
    }
    return kept;
}

// A receptor's rectangle with both far edges included, as its own operations give it.
pf::Rect CEditorEngine::ScreenBoxOf(DropReceptor& receptor, pf::Window* window)
{
    const int32_t left = receptor.GetScreenX(window);
    const int32_t top = receptor.GetScreenY(window);
    return {left, top, pf::saturateToInt32(int64_t{left} + receptor.GetWidth(window)),
            pf::saturateToInt32(int64_t{top} + receptor.GetHeight(window))};
}

// Each dragged object asks with its own receptor skipped; the first answer that names a receptor is the
// candidate, and any later answer that differs from it (none included) leaves the drag without one.
CEditorEngine::Candidate CEditorEngine::AgreedReceptor(pf::Window* window, pf::Point screen)
{
    Candidate result;
    // Selected map objects are passed over anyway, so an object with no receptor of its own, or a selected one,
    // gets the same answer as every other such object: one walk serves them all.
    std::optional<DropReceptor*> shared;
    const auto consider = [&](const DropReceptor* skip) {
        const bool same = skip == nullptr || m_selection.Contains(static_cast<const MapObject*>(skip));
        if (same && !shared)
            shared = FindReceptorAt(window, screen, nullptr, true);
        DropReceptor* answer = same ? *shared : FindReceptorAt(window, screen, skip, true);
        if (result.receptor == nullptr)
            result.receptor = answer;
        else if (answer != result.receptor)
            result.agreed = false;
    };
    if (m_dragList.empty()) {
        for (CESN* entry = m_selection.First(); entry != nullptr && result.agreed;
             entry = CEditorSelection::Next(entry))
            consider(entry->object);
    } else {
        for (Droppable* droppable : m_dragList) {
            if (!result.agreed)
                break;
            consider(OwnReceptor(droppable));
        }
    }
    if (!result.agreed)
        result.receptor = nullptr;
    return result;
}

bool CEditorEngine::AllAccept(DropReceptor& receptor)
{
    if (m_dragList.empty()) {
        for (CESN* entry = m_selection.First(); entry != nullptr; entry = CEditorSelection::Next(entry)) {
            if (!receptor.Accepts(*entry->object) || !receptor.CanAccept(entry->object))
                return false;
        }
        return true;
    }
    for (Droppable* droppable : m_dragList) {
        if (droppable == nullptr || !receptor.Accepts(*droppable) || !receptor.CanAccept(droppable))
            return false;
    }
    return true;
}

Droppable* CEditorEngine::Payload()
{
    if (!m_dragList.empty())
        return m_dragList.front();
    return m_selection.IsEmpty() ? nullptr : m_selection.First()->object;
}

void CEditorEngine::DrawMoveOutlines()
{
    if (!pf::hasUi())
        return;
    pf::ScreenDc dc;
    dc.selectPen(GetPen(EnginePen::kDragOutline));
    dc.setROP2(pf::R2_XORPEN);
    for (CESN* entry = m_selection.First(); entry != nullptr; entry = CEditorSelection::Next(entry)) {
        const int32_t w = entry->object->GetWidth(m_sourceMap);
        const int32_t h = entry->object->GetHeight(m_sourceMap);
        const pf::Point p = entry->outline;
        const pf::Point corners[] = {p, {p.x + w, p.y}, {p.x + w, p.y + h}, {p.x, p.y + h}, p};
        dc.polyline(corners);
    }
}

void CEditorEngine::BeginDrag(pf::Point screen, pf::Window* sourceMap)
{
    if (m_dragging)
        EndDrag();
    m_dragging = true;
    if (m_app != nullptr && m_app->GetMainFrame() != nullptr)
        m_app->GetMainFrame()->send(kMsgBeginEditorDrag, 0, 0);
    m_last = screen;
    m_current = nullptr;
    m_currentWindow = nullptr;
    m_sourceMap = sourceMap;
    if (m_dragList.size() == 1) {
        if (m_dragList.front() != nullptr)
            m_dragList.front()->ShowDragCursor();
        return;
    }
    if (!m_dragList.empty()) {
        const CVTND_EditorImages* images = GetEditorImages();
        if (pf::hasUi())
            pf::ui().setCursor(images != nullptr ? images->DragCursor() : pf::loadCursor(pf::IDC_ARROW));
        return;
    }
    for (CESN* entry = m_selection.First(); entry != nullptr; entry = CEditorSelection::Next(entry))
        entry->outline = {entry->object->GetScreenX(sourceMap), entry->object->GetScreenY(sourceMap)};
    DrawMoveOutlines();
    m_outlinesDrawn = true;
}

void CEditorEngine::DragTo(pf::Point screen)
{
    if (!m_dragging || screen == m_last)
        return;
    pf::Window* window = WindowAt(screen);
    if (window == nullptr)
        return;
    DropReceptor* candidate = nullptr;
    if (m_dragList.size() == 1) {
        candidate = FindReceptorAt(window, screen, OwnReceptor(m_dragList.front()), false);
    } else {
        if (m_dragList.empty() && m_outlinesDrawn) {
            DrawMoveOutlines();
            for (CESN* entry = m_selection.First(); entry != nullptr; entry = CEditorSelection::Next(entry))
                entry->outline = {entry->outline.x + screen.x - m_last.x, entry->outline.y + screen.y - m_last.y};
            DrawMoveOutlines();
        }
        const Candidate agreed = AgreedReceptor(window, screen);
        if (!agreed.agreed) {
            m_last = screen;
            return;
        }
        candidate = agreed.receptor;
    }
    Droppable* payload = Payload();
    if (candidate == nullptr) {
        if (m_current != nullptr)
            Leave(*m_current, m_currentWindow, payload);
        m_current = nullptr;
        m_currentWindow = nullptr;
    } else if (candidate == m_current) {
        if (m_currentWindow == nullptr) {
            Enter(*candidate, window, screen, payload);
            m_currentWindow = window;
        }
        Hover(*candidate, window, screen, payload);
    } else {
        if (m_current != nullptr && m_currentWindow != nullptr)
            Leave(*m_current, m_currentWindow, payload);
        m_current = nullptr;
        m_currentWindow = nullptr;
        if (AllAccept(*candidate)) {
            m_current = candidate;
            Enter(*candidate, window, screen, payload);
            Hover(*candidate, window, screen, payload);
            m_currentWindow = window;
        }
    }
    m_last = screen;
}

void CEditorEngine::Drop(pf::Point screen)
{
    if (!m_dragging)
        return;
    if (pf::Window* window = WindowAt(screen)) {
        if (m_dragList.size() == 1)
            DropOne(window, screen);
        else if (!m_dragList.empty())
            DropSeveral(window, screen);
        else
            DropSelection(window, screen);
    }
    EndDrag();
}

void CEditorEngine::CancelDrag()
{
    if (m_dragging)
        EndDrag();
}

void CEditorEngine::EndDrag()
{
    if (m_outlinesDrawn) {
        DrawMoveOutlines();
        m_outlinesDrawn = false;
    }
    if (m_current != nullptr)
        Leave(*m_current, m_currentWindow, Payload());
    m_current = nullptr;
    m_currentWindow = nullptr;
    const std::vector<Droppable*> dragged = std::move(m_dragList);
    m_dragList.clear();
    for (Droppable* droppable : dragged) {
        if (droppable != nullptr && droppable->AsPaletteObject() != nullptr)
            DeleteDroppable(droppable);
    }
    m_sourceMap = nullptr;
    m_dragging = false;
}

// The receptor's leave comes before the drop, so feedback is gone when the drop changes what it drew over.
void CEditorEngine::DropOne(pf::Window* window, pf::Point screen)
{
    Droppable* droppable = m_dragList.front();
    if (droppable == nullptr)
        return;
    DropReceptor* receptor = FindReceptorAt(window, screen, OwnReceptor(droppable), false);
    if (receptor == nullptr || !receptor->Accepts(*droppable) || !receptor->CanAccept(droppable))
        return;
    if (m_current != nullptr)
        Leave(*m_current, window, droppable);
    m_current = nullptr;
    m_currentWindow = nullptr;
    droppable->DroppedAt(screen);
    DropOn(*receptor, window, screen, droppable, false);
}

void CEditorEngine::DropSeveral(pf::Window* window, pf::Point screen)
{
    const Candidate agreed = AgreedReceptor(window, screen);
    if (agreed.receptor == nullptr || !AllAccept(*agreed.receptor))
        return;
    if (m_current != nullptr)
        Leave(*m_current, window, m_dragList.front());
    m_current = nullptr;
    m_currentWindow = nullptr;
    const std::vector<Droppable*> dropping = m_dragList;
    for (size_t i = 0; i < dropping.size(); ++i) {
        // A drop may take a map object off the map (auto-remove): such an object is skipped.
        if (!HoldsDroppable(dropping[i]) || !HoldsReceptor(agreed.receptor))
            continue;
        dropping[i]->DroppedAt(screen);
        DropOn(*agreed.receptor, window, screen, dropping[i], i + 1 < dropping.size());
    }
    FinishDrop();
}

void CEditorEngine::DropSelection(pf::Window* window, pf::Point screen)
{
    if (m_outlinesDrawn) {
        DrawMoveOutlines();
        m_outlinesDrawn = false;
    }
    const Candidate agreed = AgreedReceptor(window, screen);
    if (agreed.receptor == nullptr || !AllAccept(*agreed.receptor))
        return;
    if (m_current != nullptr)
        Leave(*m_current, window, Payload());
    m_current = nullptr;
    m_currentWindow = nullptr;
    std::vector<std::pair<MapObject*, pf::Point>> moving;
    for (CESN* entry = m_selection.First(); entry != nullptr; entry = CEditorSelection::Next(entry))
        moving.emplace_back(entry->object, entry->outline);
    for (size_t i = 0; i < moving.size(); ++i) {
        auto [object, corner] = moving[i];
        if (!HoldsDroppable(object) || !HoldsReceptor(agreed.receptor))
            continue;
        object->DroppedAt(corner);
        DropOn(*agreed.receptor, window, corner, object, i + 1 < moving.size());
    }
    FinishDrop();
}
