// The story board's geometry, its rows and its marker drags, through the user's mouse and keyboard in a time-line
// window of the test support's time-line event.
#include <cmath>
#include <limits>

#include "designer/app/notification.h"
#include "designer/eventedit/tests/timeline_fixture.h"
#include "engine/behaviour/action_settings.h"
#include "engine/behaviour/event.h"
#include "engine/behaviour/motion.h"
#include "platform/display/screen.h"
#include "platform/testing/image_check.h"
#include "platform/ui/controls/scroll_bar.h"
#include "platform/ui/controls/tip_window.h"
#include "platform/ui/controls/up_down.h"

namespace eventedittest {
namespace {

using TimelineGeometry = TimelineFixture;
using TimelineMarkers = TimelineFixture;

std::unique_ptr<pf::Surface32> BoardShot(CEventStoryBoard& board)
{
    return pf::captureScreen(board.screenRect());
}

TEST_F(TimelineGeometry, ZoomSetsPixelsASecondWithinTheSpinsRange)
{
    EXPECT_EQ(Board().PixelsPerSecond(), 50);
    TypeZoom("100");
    EXPECT_EQ(Board().PixelsPerSecond(), 100);
    TypeZoom("1");
    EXPECT_EQ(Board().PixelsPerSecond(), 1);
    ui().setFocus(pf::kNoWindow); // a typing ends with the focus: a refusal keeps what the field held then
    TypeZoom("0.5");              // below 1: refused
    EXPECT_EQ(Board().PixelsPerSecond(), 1);
    TypeZoom("32767");
    EXPECT_EQ(Board().PixelsPerSecond(), 32767);
    EXPECT_EQ(Board().TimeToX(1e300), std::numeric_limits<int32_t>::max());
    sim().pump(); // paints the board and the ruler at that zoom
    ui().setFocus(pf::kNoWindow);
    TypeZoom("inf"); // refused at each key: the zoom stays, and shows once the field is left
    EXPECT_EQ(Board().PixelsPerSecond(), 32767);
    ui().setFocus(pf::kNoWindow);
    EXPECT_EQ(frame->View().child(CChildEventTimelineView::kZoomEdit)->getText(), "32767");
    TypeZoom("50");
    EXPECT_EQ(Board().PixelsPerSecond(), 50);
}

TEST_F(TimelineGeometry, RulerLabelsWholeSecondsOnTheBoardsGrid)
{
    const pf::Rect ruler = Ruler().clientRect();
    // "1" stands right of the tick 50 pixels from the origin; the origin carries no tick.
    EXPECT_EQ(pf::screenPixel(OnRuler(50, ruler.b - 5)), 0x000000u);
    EXPECT_NE(pf::screenPixel(OnRuler(1, ruler.b - 5)), 0x000000u);
    EXPECT_NE(pf::screenPixel(OnRuler(49, ruler.b - 5)), 0x000000u);
    // The board's grid line of the same second: drawn in the row's own grey, it shows where it crosses an expanded
    // row's darker line (no marker there).
    Row(timeline->condition)->SetExpanded(true);
    Board().Redraw();
    sim().pump();
    const int32_t y = Row(timeline->condition)->Top() + Board().LineHeight();
    const int32_t origin = Board().TrackOrigin();
    EXPECT_EQ(pf::screenPixel(OnBoard(origin + 100, y)), 0xC0C0C0u);
    EXPECT_EQ(pf::screenPixel(OnBoard(origin + 99, y)), 0x808080u);
    EXPECT_EQ(pf::screenPixel(OnBoard(origin + 101, y)), 0x808080u);
    EXPECT_EQ(Ruler().screenRect().l, Board().screenRect().l + origin);
}

TEST_F(TimelineGeometry, SplitterReleasedAtFortyMovesTheTrackAndTheRuler)
{
    const int32_t y = MiddleOf(timeline->condition);
    sim().mouseMove(OnBoard(Board().LabelWidth() + 2, y));
    sim().mouseDown(OnBoard(Board().LabelWidth() + 2, y));
    sim().mouseMove(OnBoard(60, y));
    sim().mouseMove(OnBoard(40, y));
    sim().mouseUp(OnBoard(40, y));
    sim().pump();
    EXPECT_EQ(Board().LabelWidth(), 40);
    EXPECT_EQ(Board().TrackOrigin(), 44);
    EXPECT_EQ(Ruler().screenRect().l, Board().screenRect().l + 44);
}

// A row label wider than the label column ends with "..." and shows whole in the tip while the pointer rests on it;
// the tip goes once the pointer leaves the board.
TEST_F(TimelineGeometry, ACutRowLabelShowsWholeInATip)
{
    const std::string label = Row(timeline->condition)->Label();
    ASSERT_FALSE(label.empty());
    const int32_t y = MiddleOf(timeline->condition);
    Board().SetLabelWidth(40);
    sim().mouseMove(OnBoard(30, y));
    EXPECT_EQ(pf::TipWindow::shownText(), label);
    sim().mouseMove(Board().clientToScreen({-30, -30}));
    EXPECT_EQ(pf::TipWindow::shownText(), std::nullopt);
}

TEST_F(TimelineGeometry, ExpandBoxTogglesOnlyInsideItsSquare)
{
    CSBActionNodeRow* condition = Row(timeline->condition);
    const int32_t line = Board().LineHeight();
    EXPECT_EQ(condition->TotalHeight(), line);
    const int32_t middle = MiddleOf(timeline->condition);
    for (const pf::Point outside : {pf::Point{7, middle}, pf::Point{17, middle}, pf::Point{12, middle - 6}}) {
        sim().click(OnBoard(outside.x, outside.y));
        sim().pump();
        EXPECT_FALSE(condition->IsExpanded()) << outside.x << "," << outside.y;
    }
    sim().click(OnBoard(8, middle + 5));
    sim().pump();
    ASSERT_TRUE(condition->IsExpanded());
    EXPECT_EQ(condition->TotalHeight(), 3 * line); // one line per held action
    EXPECT_EQ(Board().FindRowAt(condition->Top() + line + 2), Row(timeline->thenFollower));
    sim().click(OnBoard(12, middle));
    sim().pump();
    EXPECT_FALSE(condition->IsExpanded());
}

TEST_F(TimelineGeometry, ScrollBarAtItsEndShowsHalfTheTimeLineAtHalfScale)
{
    auto* bar = frame->View().item<pf::ScrollBar>(CChildEventTimelineView::kHorizontalBar);
    ASSERT_NE(bar, nullptr);
    const pf::Rect thumb = bar->thumbRect();
    const pf::Point grab = bar->clientToScreen({(thumb.l + thumb.r) / 2, (thumb.t + thumb.b) / 2});
    sim().drag(grab, {grab.x + 2000, grab.y}, 4);
    sim().pump();
    EXPECT_EQ(bar->position(), CChildEventTimelineView::kScrollRange);
    EXPECT_DOUBLE_EQ(Board().StartTime(), designertest::TimelineEvent::kTimeLineMs * 0.5);
}

TEST_F(TimelineMarkers, StartDragSetsTheDelayAndCarriesTheRowsMarkers)
{
    const double before = timeline->sound->GetDelay();
    const double end = MarkerOf(timeline->sound, 1)->Time();
    const double repeat = MarkerOf(timeline->sound, 2)->Time();
    const int32_t from = Board().TimeToX(before);
    DragMarker(timeline->sound, 0, {from + 20, from + 50});
    const double delta = timeline->sound->GetDelay() - before;
    EXPECT_DOUBLE_EQ(delta, 1000.0);
    EXPECT_DOUBLE_EQ(MarkerOf(timeline->sound, 1)->Time(), end + delta);
    EXPECT_DOUBLE_EQ(MarkerOf(timeline->sound, 2)->Time(), repeat + delta);
    EXPECT_EQ(recorder->Events().size(), 0u);

    // The line stops at the origin: a move left of it is not followed.
    const int32_t origin = Board().TrackOrigin();
    DragMarker(timeline->sound, 0, {origin + 1, origin - 30, 2});
    EXPECT_DOUBLE_EQ(timeline->sound->GetDelay(), 20.0);
}

TEST_F(TimelineMarkers, ConditionStartDragCarriesItsHeldRows)
{
    Row(timeline->condition)->SetExpanded(true);
    Board().Redraw();
    const double held = MarkerOf(timeline->thenFollower, 0)->Time();
    const int32_t from = Board().TimeToX(timeline->condition->GetDelay());
    DragMarker(timeline->condition, 0, {from + 25});
    EXPECT_DOUBLE_EQ(timeline->condition->GetDelay(), 500.0);
    EXPECT_DOUBLE_EQ(MarkerOf(timeline->thenFollower, 0)->Time(), held + 500.0); // shown moved, not changed
    EXPECT_DOUBLE_EQ(timeline->thenFollower->GetDelay(), 0.0);
}

TEST_F(TimelineMarkers, SoundEndDragRespacesForDisplayOnly)
{
    auto* play = dynamic_cast<SWsoundaction*>(timeline->sound);
    const SWsoundaction::Settings settings = play->settings;
    const double delay = play->GetDelay();
    const int32_t at = Board().TimeToX(delay + 400.0);
    DragMarker(timeline->sound, 1, {at - 10, at});
    EXPECT_DOUBLE_EQ(MarkerOf(timeline->sound, 1)->Time(), delay + 400.0);
    EXPECT_DOUBLE_EQ(MarkerOf(timeline->sound, 2)->Time(), delay + 800.0);
    EXPECT_DOUBLE_EQ(MarkerOf(timeline->sound, 3)->Time(), delay + 1200.0);
    EXPECT_EQ(play->settings.endMs, settings.endMs);
    EXPECT_EQ(recorder->Events().size(), 0u);
    Row(timeline->sound)->BuildMarkers(); // the next rebuild brings the action's own values back
    EXPECT_DOUBLE_EQ(MarkerOf(timeline->sound, 1)->Time(), delay + 1000.0);
}

TEST_F(TimelineMarkers, MotionEndDragStretchesTheMotionAndTellsTheOtherWindows)
{
    CChildEventTimelineFrame* second = Open(timeline->event);
    ASSERT_NE(second, nullptr);
    second->move(pf::Rect::fromXywh(10, 400, second->windowRect().width(), second->windowRect().height()));
    sim().pump();
    const double delay = timeline->rotate->GetDelay();
    const int32_t at = Board().TimeToX(delay + 1500.0);
    DragMarker(timeline->rotate, 1, {at - 5, at});
    SWmotion* motion = timeline->rotate->GetMotion();
    EXPECT_FLOAT_EQ(motion->GetDuration(), 1500.0f);
    ASSERT_EQ(recorder->Count(4), 1u);
    const designertest::RecordedEvent& told = recorder->Events().back();
    EXPECT_EQ(told.detail, 1u);
    EXPECT_EQ(told.subject.GetObject(), timeline->rotate);
    EXPECT_EQ(told.sender, Board().hwnd());
    const CSBActionNodeRow* other = second->View().Board()->FindRow(timeline->rotate);
    EXPECT_DOUBLE_EQ(static_cast<CSBMarker*>(other->Markers().Tail())->Time(), delay + 1500.0);

    // A looping motion's endless marker drags alike; dropped before its start, nothing changes.
    ASSERT_EQ(MarkerOf(timeline->keyFrame, 1)->GetKind(), CSBMarker::kEndlessEnd);
    const double keyDelay = timeline->keyFrame->GetDelay();
    DragMarker(timeline->keyFrame, 1, {Board().TimeToX(keyDelay + 500.0)});
    EXPECT_FLOAT_EQ(timeline->keyFrame->GetMotion()->GetDuration(), 500.0f);
    DragMarker(timeline->keyFrame, 1, {Board().TimeToX(keyDelay) - 10});
    EXPECT_FLOAT_EQ(timeline->keyFrame->GetMotion()->GetDuration(), 500.0f);
    EXPECT_EQ(recorder->Count(4), 2u);
    second->destroy();
}

// A new rotate or translate has no length: its end lies on its start. A drag to the right lengthens it; one to the
// left moves its start, the end along.
TEST_F(TimelineMarkers, AZeroLengthMotionIsLengthenedByADragToTheRight)
{
    for (const int32_t kind : {41, 43}) {
        SCOPED_TRACE(kind);
        SWactionnode* action = sample->AddAction(*timeline->event, kind);
        action->SetDelay(1000.0);
        Board().Rebuild();
        ASSERT_EQ(Row(action)->Markers().Count(), 2u);
        ASSERT_EQ(MarkerOf(action, 1)->Time(), MarkerOf(action, 0)->Time());
        const int32_t at = Board().TimeToX(1000.0);
        DragMarker(action, 0, {at + 10, at + 25});
        EXPECT_FLOAT_EQ(action->GetMotion()->GetDuration(), 500.0f);
        EXPECT_DOUBLE_EQ(action->GetDelay(), 1000.0);
        EXPECT_DOUBLE_EQ(MarkerOf(action, 1)->Time(), 1500.0);

        SWactionnode* other = sample->AddAction(*timeline->event, kind);
        other->SetDelay(1000.0);
        Board().Rebuild();
        DragMarker(other, 0, {at - 25});
        EXPECT_DOUBLE_EQ(other->GetDelay(), 500.0);
        EXPECT_FLOAT_EQ(other->GetMotion()->GetDuration(), 0.0f);
    }
}

TEST_F(TimelineMarkers, KindsWithoutAMotionKeepTheirValues)
{
    for (const int32_t kind : {52, 61}) {
        SCOPED_TRACE(kind);
        SWactionnode* action = sample->AddAction(*timeline->event, kind);
        Board().Rebuild();
        ASSERT_NE(Row(action), nullptr);
        ASSERT_EQ(Row(action)->Markers().Count(), 2u);
        MarkerOf(action, 1)->SetTime(700.0); // its end lies on its start, where a press takes the start
        EXPECT_DOUBLE_EQ(MarkerOf(action, 1)->Time(), 700.0);
        int32_t passes = 0;
        EXPECT_EQ(action->GetDuration(passes, nullptr), 0.0);
    }
    EXPECT_EQ(recorder->Count(4), 0u);
}

TEST_F(TimelineMarkers, RepetitionsCannotBePickedAndEveryDragLeavesTheSurfaceExact)
{
    const auto before = BoardShot(Board());
    const int32_t repeat = Board().TimeToX(MarkerOf(timeline->sound, 2)->Time());
    sim().mouseMove(OnBoard(repeat, MiddleOf(timeline->sound)));
    EXPECT_EQ(Board().HoveredMarker(), nullptr);
    // An end marker dropped before its start: the XOR line came and went, nothing moved.
    DragMarker(timeline->sound, 1, {Board().TimeToX(100.0), Board().TimeToX(50.0)});
    EXPECT_TRUE(pf::screen().isOverlayClear());
    EXPECT_EQ(pf::compareSurfaces(*before, *BoardShot(Board()), 0).differing, 0);
    DragMarker(timeline->condition, 0, {Board().TrackOrigin() + 30, Board().TrackOrigin()});
    EXPECT_EQ(pf::compareSurfaces(*before, *BoardShot(Board()), 0).differing, 0);
}

} // namespace
} // namespace eventedittest
