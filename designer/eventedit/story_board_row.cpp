#include "designer/eventedit/story_board_row.h"

#include <algorithm>
#include <cmath>

#include "designer/app/world_write_lock.h"
#include "designer/editing/action_notify.h"
#include "designer/editing/display_names.h"
#include "designer/eventedit/story_board.h"
#include "engine/behaviour/action_node.h"
#include "engine/behaviour/action_settings.h"
#include "engine/behaviour/event.h"
#include "engine/core/data_node.h"
#include "engine/core/world.h"
#include "engine/resources/sound.h"
#include "engine/resources/sound_list.h"
#include "platform/base/gdi_constants.h"
#include "platform/gfx/dc.h"

namespace {

constexpr int32_t kSoundKind = 7;
constexpr int32_t kConditionKind = 25;
constexpr int32_t kQueueKind = 30;

CSBMarker* NextMarker(const CSBMarker* marker)
{
    return static_cast<CSBMarker*>(marker->Next());
}

CSBMarker* PreviousMarker(const CSBMarker* marker)
{
    return static_cast<CSBMarker*>(marker->Prev());
}

// The longest of the sounds the action names: what the play-sound handler plays to when the range ends at 0.
uint32_t LongestNamedSound(const SWactionnode& action)
{
    SWworld* const world = WorldOfAction(&action);
    if (world == nullptr)
        return 0;
    uint32_t longest = 0;
    for (const SWlistnode* n = action.GetArguments().Head(); n != nullptr; n = n->Next()) {
        const char* const name = static_cast<const SWdatanode*>(n)->GetText();
        if (SWsound* sound = name != nullptr ? world->GetSoundList().FindByName(name) : nullptr)
            longest = std::max(longest, sound->GetLength());
    }
    return longest;
}

} // namespace

bool IsTimedActionKind(int32_t kind)
{
    return (kind >= 41 && kind <= 45) || kind == 47 || (kind >= 50 && kind <= 53) || (kind >= 61 && kind <= 64);
}

// -- CSBRow

CSBRow::~CSBRow()
{
    if (m_board != nullptr)
        m_board->ForgetMarkersOf(*this);
    m_markers.DeleteAll();
    m_children.DeleteAll();
}

void CSBRow::RightClick(bool inLabel, int32_t x, int32_t y)
{
    (void)inLabel, (void)x, (void)y;
}

void CSBRow::Rebuild()
{
    DeleteChildren();
    BuildMarkers();
}

void CSBRow::AddMarker(CSBMarker* marker)
{
    if (marker == nullptr)
        return;
    marker->SetRow(this);
    m_markers.AddTail(marker);
}

void CSBRow::AddChild(CSBRow* row)
{
    if (row == nullptr)
        return;
    row->m_parent = this;
    row->m_board = m_board;
    m_children.AddTail(row);
}

void CSBRow::DeleteChildren()
{
    m_children.DeleteAll();
}

void CSBRow::DeleteMarkers()
{
    if (m_board != nullptr)
        m_board->ForgetMarkersOf(*this);
    m_markers.DeleteAll();
}

int32_t CSBRow::TotalHeight() const
{
    int32_t height = m_board != nullptr ? m_board->LineHeight() : 20;
    if (!IsExpanded())
        return height;
    for (const SWlistnode* n = m_children.Head(); n != nullptr; n = n->Next())
        height += static_cast<const CSBRow*>(n)->TotalHeight();
    return height;
}

CSBRow* CSBRow::FindRowAt(int32_t y)
{
    const int32_t line = m_board != nullptr ? m_board->LineHeight() : 20;
    if (m_top < y && y < m_top + line)
        return this;
    if (!IsExpanded())
        return nullptr;
    for (SWlistnode* n = m_children.Head(); n != nullptr; n = n->Next()) {
        if (CSBRow* found = static_cast<CSBRow*>(n)->FindRowAt(y))
            return found;
    }
    return nullptr;
}

CSBMarker* CSBRow::MarkerAt(int32_t x) const
{
    if (m_board == nullptr)
        return nullptr;
    const int32_t h = m_board->HalfLineHeight();
    for (SWlistnode* n = m_markers.Head(); n != nullptr; n = n->Next()) {
        auto* marker = static_cast<CSBMarker*>(n);
        const int32_t mx = m_board->TimeToX(marker->Time());
        if (marker->IsHitTestable() && mx - h + 1 < x && x < mx + h - 1)
            return marker;
    }
    return nullptr;
}

// A new motion's end lies on its start, and the first marker under the press is the start: only the direction of
// the drag tells which one the user meant, and an end can only go right of its start.
CSBMarker* CSBRow::MarkerDraggedRight(CSBMarker& marker) const
{
    CSBMarker* taken = &marker;
    for (CSBMarker* later = NextMarker(&marker); later != nullptr && later->Time() == marker.Time();
         later = NextMarker(later))
        if (later->IsHitTestable())
            taken = later;
    return taken;
}

bool CSBRow::IsOnExpandBox(int32_t x, int32_t y) const
{
    const int32_t middle = m_top + (m_board != nullptr ? m_board->HalfLineHeight() : 10);
    return x >= 8 && x < 17 && middle - 6 < y && y < middle + 6;
}

void CSBRow::ShiftMarkers(double deltaMs)
{
    for (SWlistnode* n = m_markers.Head(); n != nullptr; n = n->Next()) {
        auto* marker = static_cast<CSBMarker*>(n);
        marker->MoveTime(marker->Time() + deltaMs);
    }
    for (SWlistnode* n = m_children.Head(); n != nullptr; n = n->Next())
        static_cast<CSBRow*>(n)->ShiftMarkers(deltaMs);
}

// -- CSBActionNodeRow

std::string CSBActionNodeRow::Label() const
{
    return m_action != nullptr ? FormatObjectDisplayName(*m_action) : std::string();
}

void CSBActionNodeRow::BuildMarkers()
{
    DeleteMarkers();
    DeleteChildren();
    SetExpandable(false);
    if (m_action == nullptr)
        return;
    const double delay = m_action->GetDelay();
    AddMarker(new CSBActionMarker(CSBMarker::kStart, delay, true));
    const int32_t kind = m_action->GetKindId();
    if (kind == kSoundKind) {
        BuildSoundMarkers(delay);
    } else if (kind == kConditionKind || kind == kQueueKind) {
        SetExpandable(true);
    } else if (IsTimedActionKind(kind)) {
        int32_t passes = 1;
        const double duration = m_action->GetDuration(passes, nullptr);
        const bool endless = passes == 0; // the motion loops for ever
        AddMarker(new CSBActionMarker(endless ? CSBMarker::kEndlessEnd : CSBMarker::kEnd, delay + duration, true));
    }
}

// The length is the play range's; a range that ends at 0 (or before its start) plays to the sound's end, so the
// longest sound the action names ends it, as the handler plays it, and no unsigned difference wraps. Repetitions
// stop at the event's time line and at a bound, whatever count a file states.
void CSBActionNodeRow::BuildSoundMarkers(double delayMs)
{
    const auto* sound = dynamic_cast<const SWsoundaction*>(m_action);
    if (sound == nullptr)
        return;
    const SWsoundaction::Settings& s = sound->settings;
    int64_t end = s.endMs;
    if (end < s.startMs)
        end = LongestNamedSound(*m_action);
    const double length = static_cast<double>(std::max<int64_t>(0, end - static_cast<int64_t>(s.startMs)));
    const bool endless = s.playOption1 != 0;
    AddMarker(new CSBActionMarker(endless ? CSBMarker::kEndlessEnd : CSBMarker::kEnd, delayMs + length, true));
    if (endless || s.playOption2 < 2 || length <= 0.0)
        return;
    const SWevent* event = m_action->GetEvent();
    const double limit = event != nullptr ? event->GetTimeLineLength() : 0.0;
    for (uint32_t k = 2; k <= s.playOption2 && k - 1 <= kMaxRepetitionMarkers; ++k) {
        const double at = delayMs + k * length;
        if (at > limit)
            break;
        AddMarker(new CSBActionMarker(CSBMarker::kRepetitionEnd, at, false));
    }
}

// -- CSBActionMarker

void CSBActionMarker::Draw(pf::Dc& dc, int32_t y) const
{
    const CStoryBoard* board = Row() != nullptr ? Row()->Board() : nullptr;
    if (board == nullptr)
        return;
    const int32_t x = board->TimeToX(Time());
    const int32_t h = board->HalfLineHeight();
    const int32_t middle = y + h;
    const CSBMarker::Kind kind = GetKind();
    if (kind == kRepetitionEnd) {
        dc.selectPen(board->RepetitionPen());
    } else {
        if (kind == kEndlessEnd || kind == kEndlessStart) {
            dc.selectPen(board->RepetitionPen());
            for (int32_t dash = 0; dash < 3; ++dash) {
                dc.moveTo({x + dash * 32, middle});
                dc.lineTo({x + dash * 32 + 16, middle});
            }
        }
        dc.selectPen(board->MarkerPen());
    }
    const pf::Rect box{x - h + 2, y + 2, x + h - 1, y + 2 * h - 1};
    dc.rectangle(box);
    const int32_t origin = board->TrackOrigin();
    const int32_t pps = board->PixelsPerSecond();
    const int64_t offset = static_cast<int64_t>(x) - origin;
    const int64_t grid =
        origin + (offset - board->FirstTickOffset() % pps) / pps * pps + board->FirstTickOffset() % pps;
    if (grid > box.l && grid < box.r - 1) {
        dc.selectPen(board->GridPen());
        dc.moveTo({static_cast<int32_t>(grid), y + 3});
        dc.lineTo({static_cast<int32_t>(grid), y + 2 * h - 2});
    }
    dc.selectPen(std::get<pf::Pen>(pf::getStockObject(pf::BLACK_PEN)));
    dc.moveTo({x, y + 2});
    dc.lineTo({x, y + 5});
    dc.moveTo({x, y + 2 * h - 2});
    dc.lineTo({x, y + 2 * h - 5});
}

void CSBActionMarker::SetTime(double ms)
{
    if (std::isnan(ms) || ms < 0.0)
        ms = 0.0;
    const Kind kind = GetKind();
    if (kind == kStart || kind == kEndlessStart)
        DropStart(ms);
    else if (kind == kEnd || kind == kEndlessEnd)
        DropEnd(ms);
}

void CSBActionMarker::DropStart(double ms)
{
    auto* row = dynamic_cast<CSBActionNodeRow*>(Row());
    const double delta = ms - Time();
    if (row != nullptr && row->Action() != nullptr) {
        CVTND_WorldWriteLock lock(WorldOfAction(row->Action()));
        row->Action()->SetDelay(ms);
    }
    if (row != nullptr) {
        for (CSBMarker* later = NextMarker(this); later != nullptr; later = NextMarker(later))
            later->MoveTime(later->Time() + delta);
        for (SWlistnode* n = row->Children().Head(); n != nullptr; n = n->Next())
            static_cast<CSBRow*>(n)->ShiftMarkers(delta);
    }
    MoveTime(ms);
}

// Only a motion action keeps a new duration; any other row respaces its markers for display until they are built
// again from the action.
void CSBActionMarker::DropEnd(double ms)
{
    const CSBMarker* before = PreviousMarker(this);
    auto* row = dynamic_cast<CSBActionNodeRow*>(Row());
    if (before == nullptr || row == nullptr || row->Action() == nullptr)
        return;
    const double d = ms - before->Time();
    if (d < 0.0)
        return;
    SWactionnode& action = *row->Action();
    if (action.GetMotion() != nullptr) {
        {
            CVTND_WorldWriteLock lock(WorldOfAction(&action));
            action.StretchDuration(d);
        }
        if (row->Board() != nullptr)
            row->Board()->DurationChanged(action);
    }
    double at = action.GetDelay();
    auto* first = static_cast<CSBMarker*>(row->Markers().Head());
    for (CSBMarker* m = first != nullptr ? NextMarker(first) : nullptr; m != nullptr; m = NextMarker(m)) {
        at += d;
        m->MoveTime(at);
    }
}
