#include "designer/eventedit/event_story_board.h"

#include <algorithm>
#include <unordered_set>
#include <vector>

#include "designer/app/designer_app.h"
#include "designer/app/notification.h"
#include "designer/editing/actions_receptor.h"
#include "designer/editing/editor_engine.h"
#include "designer/editing/map_object.h"
#include "designer/eventedit/story_board_preview.h"
#include "designer/eventedit/story_board_row.h"
#include "engine/behaviour/action_node.h"
#include "engine/behaviour/event.h"

namespace {

constexpr int32_t kConditionKind = 25;
constexpr int32_t kQueueKind = 30;

bool Holds(const SWactionnode& holder, const SWactionnode& held)
{
    const uint32_t id = holder.GetActionId();
    if (holder.GetKindId() == kConditionKind)
        return held.GetThenLink() == id || held.GetElseLink() == id;
    if (holder.GetKindId() == kQueueKind)
        return held.GetQueueLink() == id;
    return false;
}

CSBActionNodeRow* FindIn(const SWlist& rows, const SWactionnode* action)
{
    for (SWlistnode* n = rows.Head(); n != nullptr; n = n->Next()) {
        auto* row = static_cast<CSBRow*>(n);
        if (auto* actionRow = dynamic_cast<CSBActionNodeRow*>(row);
            actionRow != nullptr && actionRow->Action() == action)
            return actionRow;
        if (CSBActionNodeRow* found = FindIn(row->Children(), action))
            return found;
    }
    return nullptr;
}

size_t CountIn(const SWlist& rows)
{
    size_t count = 0;
    for (const SWlistnode* n = rows.Head(); n != nullptr; n = n->Next())
        count += 1 + CountIn(static_cast<const CSBRow*>(n)->Children());
    return count;
}

void CollectStrangers(const SWlist& rows, const SWevent* event, std::vector<CSBActionNodeRow*>& out)
{
    for (SWlistnode* n = rows.Head(); n != nullptr; n = n->Next()) {
        auto* row = dynamic_cast<CSBActionNodeRow*>(static_cast<CSBRow*>(n));
        if (row != nullptr && row->Action() != nullptr && row->Action()->GetEvent() != event)
            out.push_back(row); // its children leave with it
        else
            CollectStrangers(static_cast<CSBRow*>(n)->Children(), event, out);
    }
}

SWlist& ListOf(CStoryBoard& board, CSBRow& row)
{
    return row.ParentRow() != nullptr ? row.ParentRow()->Children() : board.Rows();
}

} // namespace

CEventStoryBoard::CEventStoryBoard() = default;

CEventStoryBoard::~CEventStoryBoard()
{
    m_preview.reset();
    if (CEditorEngine* engine = GetEditorEngine(); engine != nullptr && m_receptorHandle != 0)
        engine->RemoveControlReceptor(m_receptorHandle); // a handle the engine no longer knows is ignored
}

void CEventStoryBoard::Attach(SWevent* event)
{
    Initialise();
    m_event = event;
    if (CEditorEngine* engine = GetEditorEngine(); engine != nullptr && event != nullptr && m_receptorHandle == 0) {
        auto* receptor = new StoryBoardControlReceptor(this, event);
        receptor->AddOwner(this);
        m_receptorHandle = engine->AddControlReceptor(receptor); // the engine owns it from now on
    }
    m_preview = std::make_unique<EDPreview>(event);
    Rebuild();
}

void CEventStoryBoard::Redraw()
{
    Rebuild();
}

// One pass in list order; an action whose parent has no row yet brings in the top-level ancestor of its parent,
// with the whole subtree, and the pass goes on. The board is drawn once at the end.
void CEventStoryBoard::Rebuild()
{
    if (m_event != nullptr) {
        for (SWactionnode* a = m_event->GetFirstAction(); a != nullptr; a = SWevent::GetNextAction(a)) {
            if (FindRow(a) != nullptr)
                continue;
            SWactionnode* const parent = ParentOf(*a);
            if (a->IsTopLevel()) {
                AddRowFor(a, nullptr);
            } else if (parent == nullptr) {
                continue; // it names an action the event does not hold: no row
            } else if (CSBActionNodeRow* parentRow = FindRow(parent)) {
                AddRowFor(a, parentRow);
            } else if (SWactionnode* entry = EntryAncestor(*a)) {
                SWactionnode* const entryParent = ParentOf(*entry);
                AddRowFor(entry, entryParent != nullptr ? FindRow(entryParent) : nullptr);
            }
        }
    }
    CStoryBoard::Redraw();
}

SWactionnode* CEventStoryBoard::ParentOf(const SWactionnode& action) const
{
    if (m_event == nullptr || action.IsTopLevel())
        return nullptr;
    uint32_t id = action.GetThenLink();
    if (id == SWactionnode::kUnset)
        id = action.GetElseLink();
    if (id == SWactionnode::kUnset)
        id = action.GetQueueLink();
    for (SWactionnode* a = m_event->GetFirstAction(); a != nullptr; a = SWevent::GetNextAction(a))
        if (a->GetActionId() == id && a != &action)
            return a;
    return nullptr;
}

// Up the links from action: the first ancestor that is top-level, whose parent has a row, or that closes a cycle.
// Null when the chain ends at a link to an action the event does not hold.
SWactionnode* CEventStoryBoard::EntryAncestor(SWactionnode& action) const
{
    std::unordered_set<const SWactionnode*> seen{&action};
    SWactionnode* current = &action;
    for (;;) {
        if (current->IsTopLevel())
            return current;
        SWactionnode* const parent = ParentOf(*current);
        if (parent == nullptr)
            return nullptr;
        if (FindRow(parent) != nullptr || !seen.insert(parent).second)
            return current;
        current = parent;
    }
}

void CEventStoryBoard::AddRowFor(SWactionnode* action, CSBRow* parent)
{
    auto* row = new CSBActionNodeRow(action);
    if (parent != nullptr)
        parent->AddChild(row);
    else
        AddRow(row);
    row->Rebuild();
    AddHeldRows(*row);
}

// In the event's order; an action that has a row already (a cycle, or a second link) is skipped.
void CEventStoryBoard::AddHeldRows(CSBActionNodeRow& row)
{
    const SWactionnode* holder = row.Action();
    if (m_event == nullptr || holder == nullptr)
        return;
    for (SWactionnode* a = m_event->GetFirstAction(); a != nullptr; a = SWevent::GetNextAction(a))
        if (a != holder && Holds(*holder, *a) && ParentOf(*a) == holder && FindRow(a) == nullptr)
            AddRowFor(a, &row);
}

CSBActionNodeRow* CEventStoryBoard::FindRow(const SWactionnode* action) const
{
    return action != nullptr ? FindIn(Rows(), action) : nullptr;
}

size_t CEventStoryBoard::RowCount() const
{
    return CountIn(Rows());
}

bool CEventStoryBoard::RemoveRow(const SWactionnode* action)
{
    CSBActionNodeRow* row = FindRow(action);
    if (row == nullptr)
        return false;
    ListOf(*this, *row).Delete(row);
    return true;
}

void CEventStoryBoard::RebuildRow(CSBActionNodeRow& row)
{
    const bool expanded = row.IsExpanded();
    row.Rebuild();
    AddHeldRows(row);
    row.SetExpanded(expanded);
}

void CEventStoryBoard::UpdateRow(const SWactionnode* action)
{
    CSBActionNodeRow* const row = FindRow(action);
    if (row == nullptr)
        return;
    const int32_t oldHeight = row->TotalHeight();
    for (SWlistnode* n = row; n != nullptr; n = n->Next())
        if (auto* sibling = dynamic_cast<CSBActionNodeRow*>(static_cast<CSBRow*>(n)))
            RebuildRow(*sibling);
    RepaintRow(*row, oldHeight);
}

// From the row's top to its bottom, or to the client's bottom when its height changed and the rows below moved.
void CEventStoryBoard::RepaintRow(const CSBRow& row, int32_t oldHeight)
{
    if (!isWindow())
        return;
    const pf::Rect client = clientRect();
    const int32_t top = std::max(0, row.Top());
    const int32_t height = row.TotalHeight();
    const int32_t bottom = height != oldHeight ? client.b : std::min(client.b, row.Top() + height);
    invalidate(pf::Rect{0, top, client.r, bottom}, true);
}

void CEventStoryBoard::SetCurrentTime(double ms)
{
    CStoryBoard::SetCurrentTime(ms);
    if (m_preview != nullptr)
        m_preview->SetTime(CurrentTime());
}

void CEventStoryBoard::DurationChanged(SWactionnode& action)
{
    CVTNDesignerApp* app = GetDesignerApp();
    if (app == nullptr)
        return;
    CVTND_Event record(EventCode::kChanged, CVTND_Object(&action));
    record.detail = static_cast<uint32_t>(EventDetail::kPlaySound); // detail 1: the controller editors' change
    record.related[0] = CVTND_Object(action.GetEvent());
    record.sender = hwnd();
    app->SetModified();
    app->Broadcast(record);
}

pf::LResult CEventStoryBoard::handle(const pf::Msg& msg)
{
    if (msg.message != kMsgDesignerNotify)
        return CStoryBoard::handle(msg);
    if (const auto* record = reinterpret_cast<const CVTND_Event*>(msg.lParam))
        OnNotify(*record);
    return 0;
}

void CEventStoryBoard::OnNotify(const CVTND_Event& record)
{
    if (m_event == nullptr || record.sender == hwnd() || record.code < 1 || record.code > 5)
        return;
    const bool isAction = record.subject.GetType() == static_cast<uint16_t>(ObjectType::kAction);
    auto* const action = isAction ? static_cast<SWactionnode*>(record.subject.GetObject()) : nullptr;
    if (action == nullptr)
        return;
    if (record.Is(EventCode::kCreated)) {
        if (record.related[0].GetObject() == m_event)
            Rebuild();
    } else if (record.Is(EventCode::kDeleted)) {
        if (action->GetEvent() != m_event)
            return;
        // The notice comes while the action lives: what the preview started for it stops, under the world's lock,
        // before its row and its preview node let go of it.
        if (m_preview != nullptr)
            m_preview->Forget(action);
        RemoveRow(action);
        CStoryBoard::Redraw();
    } else if (record.Is(EventCode::kChanged)) {
        if (action->GetEvent() == m_event && record.detail >= 1 && record.detail <= 6)
            UpdateRow(action);
    } else if (record.Is(EventCode::kMoved)) {
        // An action that left keeps no row here, or its row would outlive it; one that came gets its row.
        if (record.related[0].GetObject() == m_event || record.related[1].GetObject() == m_event) {
            DropRowsThatLeft();
            Rebuild();
        }
    }
}

void CEventStoryBoard::DropRowsThatLeft()
{
    std::vector<CSBActionNodeRow*> strangers;
    CollectStrangers(Rows(), m_event, strangers);
    for (CSBActionNodeRow* row : strangers) {
        if (m_preview != nullptr)
            m_preview->Forget(row->Action());
        ListOf(*this, *row).Delete(row);
    }
}
