// The time-line window's preview, its rows after changes and notifications, its play-sound markers and the window
// itself, through the user's mouse and keyboard and the designer's own broadcasts.
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "designer/app/notification.h"
#include "designer/editing/action_notify.h"
#include "designer/editing/editor_objects.h"
#include "designer/eventedit/story_board_preview.h"
#include "designer/eventedit/tests/timeline_fixture.h"
#include "engine/behaviour/action_settings.h"
#include "engine/behaviour/event.h"
#include "engine/behaviour/motion.h"
#include "engine/behaviour/timed_action_table.h"
#include "engine/core/object_node.h"
#include "engine/resources/sound.h"
#include "platform/media/riff_wave_writer.h"
#include "platform/ui/controls/scroll_bar.h"
#include "platform/ui/controls/up_down.h"
#include "testsupport/designer/drag_frame.h"
#include "testsupport/designer/test_palette.h"

namespace eventedittest {
namespace {

using TimelinePreview = TimelineFixture;
using TimelineRows = TimelineFixture;
using TimelineSoundMarkers = TimelineFixture;
using TimelineWindow = TimelineFixture;

// The motions of the table, and of the nodes' timed actions, that an action started.
std::vector<SWnodemotion*> TableMotionsOf(SWworld& world, const SWactionnode* action)
{
    std::vector<SWnodemotion*> found;
    for (uint32_t type = 0; type < 32; ++type)
        if (const auto* list = TimedActionTable::Of(world).GetTypeList(type))
            for (const auto& motion : *list)
                if (motion->GetActionId() == action->GetActionId() && !motion->IsDone())
                    found.push_back(motion.get());
    return found;
}

std::vector<SWnodemotion*> NodeMotionsOf(SWnode* node, const SWactionnode* action)
{
    std::vector<SWnodemotion*> found;
    auto* object = SWobjectnode::FromNode(node);
    for (auto* e = object != nullptr ? object->GetTimedActions() : nullptr; e != nullptr;
         e = static_cast<SWtimedactionentry*>(e->Next()))
        if (e->motion != nullptr && e->motion->GetActionId() == action->GetActionId() && !e->motion->IsDone())
            found.push_back(e->motion);
    return found;
}

TEST_F(TimelinePreview, ScrubbingPastTwoControllersRunsEachOnceOnTheBoardsTime)
{
    const float worldTime = World().GetCurrentWorldTime();
    Scrub({200.0, 900.0, 1600.0}, false);
    EXPECT_TRUE(World().TakeSoundQueues().play.empty()); // the sound passed at 500 is marked, never played
    const std::vector<SWnodemotion*> rotating = NodeMotionsOf(sample->otherObject, timeline->rotate);
    const std::vector<SWnodemotion*> keyed = NodeMotionsOf(sample->object, timeline->keyFrame);
    ASSERT_EQ(rotating.size(), 1u);
    ASSERT_EQ(keyed.size(), 1u);
    for (SWnodemotion* motion : {rotating[0], keyed[0]}) {
        EXPECT_EQ(motion->GetPreviewFlag(), 1);
        EXPECT_NE(motion, timeline->rotate->GetMotion());
    }
    EXPECT_FLOAT_EQ(rotating[0]->GetPreviewStartTime(), 1500.0f);
    EXPECT_FLOAT_EQ(keyed[0]->GetPreviewStartTime(), 1000.0f);
    EXPECT_EQ(TableMotionsOf(World(), timeline->rotate), rotating);
    EXPECT_EQ(timeline->rotate->GetMotion()->GetPreviewFlag(), 0);
    EXPECT_NEAR(World().GetPreviewTime(), Board().CurrentTime(), 0.001);

    // The frame follows the board's time from the action's own start: 250 ms into the turn, not 1750.
    Scrub({1750.0}, false);
    RunFrame();
    ASSERT_NEAR(Board().CurrentTime(), 1760.0, 0.001); // the ruler's pixel: 20 ms a pixel
    EXPECT_NEAR(rotating[0]->GetLocalTime(), 260.0f, 0.5f);
    EXPECT_EQ(World().GetCurrentWorldTime(), worldTime);

    // Back and forward again runs neither again.
    sim().mouseMove(OnRuler(-40, 5)); // left of the origin: the board's time is 0
    EXPECT_EQ(Board().CurrentTime(), 0.0);
    EXPECT_EQ(World().GetPreviewTime(), 0.0f);
    sim().mouseMove(OnRuler(Board().TimeToX(3000.0) - Board().TrackOrigin(), 5));
    sim().mouseUp(OnRuler(Board().TimeToX(3000.0) - Board().TrackOrigin(), 5));
    sim().pump();
    RunFrame();
    EXPECT_EQ(NodeMotionsOf(sample->otherObject, timeline->rotate).size(), 1u);
    EXPECT_EQ(NodeMotionsOf(sample->object, timeline->keyFrame).size(), 1u);
}

TEST_F(TimelinePreview, ClosingTheWindowUndoesThePreview)
{
    Scrub({2000.0});
    ASSERT_FALSE(NodeMotionsOf(sample->otherObject, timeline->rotate).empty());
    frame->destroy();
    sim().pump();
    RunFrame();
    for (const SWactionnode* action : {timeline->rotate, timeline->keyFrame}) {
        EXPECT_TRUE(TableMotionsOf(World(), action).empty());
        EXPECT_TRUE(NodeMotionsOf(sample->object, action).empty());
        EXPECT_TRUE(NodeMotionsOf(sample->otherObject, action).empty());
    }
    EXPECT_EQ(TimedActionTable::Of(World()).Count(), 0u);
}

// The render thread steps the previewed motions under the world's lock while the user scrubs.
TEST_F(TimelinePreview, ScrubbingWhileTheRenderThreadRunsFrames)
{
    std::atomic<bool> stop{false};
    std::thread render([&] {
        while (!stop.load()) {
            SWworldlock lock(World());
            World().RunFrame();
        }
    });
    const int32_t y = Ruler().clientRect().b / 2;
    sim().mouseMove(OnRuler(Ruler().HandleX(), y));
    sim().mouseDown(OnRuler(Ruler().HandleX(), y));
    for (int i = 0; i < 300; ++i)
        sim().mouseMove(OnRuler((i * 7) % 200, y));
    sim().mouseUp(OnRuler(150, y));
    stop = true;
    render.join();
    sim().pump();
    EXPECT_EQ(NodeMotionsOf(sample->otherObject, timeline->rotate).size(), 1u);
}

TEST_F(TimelineRows, LinkedActionsBeforeTheirParentsGetOneRowEachNested)
{
    SWevent* event = sample->world.AddEventOfType(4);
    SWactionnode* follower = sample->AddAction(*event, 21);
    SWactionnode* condition = sample->AddAction(*event, 25);
    SWactionnode* queue = sample->AddAction(*event, 30);
    SWactionnode* last = sample->AddAction(*event, 22);
    follower->SetThenLink(condition->GetActionId());
    condition->SetQueueLink(queue->GetActionId());
    CChildEventTimelineFrame* other = Open(event);
    ASSERT_NE(other, nullptr);
    sim().pump();
    CEventStoryBoard& board = *other->View().Board();
    EXPECT_EQ(board.RowCount(), 4u);
    EXPECT_EQ(board.Rows().Count(), 2u);
    ASSERT_NE(board.FindRow(follower), nullptr);
    EXPECT_EQ(board.FindRow(follower)->ParentRow(), board.FindRow(condition));
    EXPECT_EQ(board.FindRow(condition)->ParentRow(), board.FindRow(queue));
    EXPECT_EQ(board.FindRow(last)->ParentRow(), nullptr);
    EXPECT_TRUE(board.updateRegion().isEmpty()); // drawn at the end of the pass

    // A cycle of links from a damaged file ends, each action in one row.
    SWevent* damaged = sample->world.AddEventOfType(4);
    SWactionnode* a = sample->AddAction(*damaged, 25);
    SWactionnode* b = sample->AddAction(*damaged, 25);
    a->SetThenLink(b->GetActionId());
    b->SetElseLink(a->GetActionId());
    sample->AddAction(*damaged, 21);
    CChildEventTimelineFrame* cyclic = Open(damaged);
    ASSERT_NE(cyclic, nullptr);
    EXPECT_EQ(cyclic->View().Board()->RowCount(), 3u);
    cyclic->destroy();
    other->destroy();
}

TEST_F(TimelineRows, NoticesAddRemoveAndUpdateRows)
{
    const size_t rows = Board().RowCount();
    SWactionnode* added = sample->AddAction(*timeline->event, 21);
    AnnounceNewAction(added);
    ASSERT_NE(Row(added), nullptr);
    EXPECT_EQ(Board().RowCount(), rows + 1);

    auto* play = dynamic_cast<SWsoundaction*>(timeline->sound);
    play->settings.endMs = 2000;
    CVTND_Event changed(EventCode::kChanged, CVTND_Object(timeline->sound));
    changed.detail = 1;
    changed.related[0] = CVTND_Object(timeline->event);
    app->Broadcast(changed);
    EXPECT_DOUBLE_EQ(MarkerOf(timeline->sound, 1)->Time(), play->GetDelay() + 2000.0);

    // The condition keeps its held rows and its expanded byte when its row is updated.
    Row(timeline->condition)->SetExpanded(true);
    changed.subject = CVTND_Object(timeline->condition);
    app->Broadcast(changed);
    EXPECT_TRUE(Row(timeline->condition)->IsExpanded());
    EXPECT_EQ(Row(timeline->condition)->Children().Count(), 2u);

    CVTND_Event own(EventCode::kDeleted, CVTND_Object(added));
    own.sender = Board().hwnd(); // a notice the board sent itself is ignored
    app->Broadcast(own);
    ASSERT_NE(Row(added), nullptr);

    ASSERT_TRUE(app->DeleteObject(CVTND_Object(added), CVTNDesignerApp::kDeleteFromMenu));
    EXPECT_EQ(Row(added), nullptr);
    EXPECT_EQ(Board().RowCount(), rows);
}

TEST_F(TimelineRows, DeletingAScrubbedActionStopsItsMotionsAtOnce)
{
    Scrub({2000.0});
    ASSERT_EQ(NodeMotionsOf(sample->otherObject, timeline->rotate).size(), 1u);
    SWnodemotion* running = NodeMotionsOf(sample->otherObject, timeline->rotate)[0];
    const size_t nodes = Board().Preview()->NodeCount();
    ASSERT_NE(Board().Preview()->NodeOf(timeline->rotate), nullptr);
    ASSERT_TRUE(app->DeleteObject(CVTND_Object(timeline->rotate), CVTNDesignerApp::kDeleteFromMenu));
    EXPECT_TRUE(running->IsDone());
    EXPECT_EQ(Board().Preview()->NodeCount(), nodes - 1); // its node went: none holds the freed action
    EXPECT_EQ(Board().Preview()->NodeOf(timeline->rotate), nullptr);
    RunFrame();
    Scrub({4000.0, 9000.0});
    frame->destroy();
    RunFrame();
    EXPECT_EQ(TimedActionTable::Of(World()).Count(), 0u);
}

TEST_F(TimelineRows, AnActionMovedAwayLeavesTheBoardAndDeletingTheEventClosesIt)
{
    MoveActionAndNotify(sample->click, timeline->queue, nullptr, false);
    EXPECT_EQ(Row(timeline->queue), nullptr);
    EXPECT_EQ(Board().Preview()->NodeOf(timeline->queue), nullptr);
    ASSERT_TRUE(app->DeleteObject(CVTND_Object(timeline->queue), CVTNDesignerApp::kDeleteFromMenu));
    sim().pump(); // paints the board without the moved rows

    ASSERT_TRUE(app->DeleteObject(CVTND_Object(timeline->event), CVTNDesignerApp::kDeleteFromMenu));
    EXPECT_FALSE(ui().isWindow(frameHandle));
    EXPECT_EQ(app->GetChildFrameCount(), 1u); // the recorder only
}

TEST_F(TimelineRows, AnActionKindDroppedOnTheBoardBecomesARowOfTheEvent)
{
    designertest::DragFrame dragFrame(pf::Rect::fromXywh(1110, 0, 160, 300)); // the drag's main frame from now on
    designertest::TestPalette palette(dragFrame, pf::Rect::fromXywh(0, 0, 160, 300));
    designertest::PaletteItem item;
    item.contentKind = EdKind::kActionKind;
    item.content = sample->Kind(21);
    palette.items = {item};
    sim().pump();
    const size_t rows = Board().RowCount();
    const pf::Point target = OnBoard(300, Board().clientRect().b - 10);
    sim().mouseDown(palette.clientToScreen({20, 20}));
    sim().mouseMove(target);
    sim().mouseMove({target.x + 1, target.y});
    sim().mouseUp({target.x + 1, target.y});
    sim().pump();
    SWactionnode* made = nullptr;
    for (SWactionnode* a = timeline->event->GetFirstAction(); a != nullptr; a = SWevent::GetNextAction(a))
        made = a;
    ASSERT_EQ(made->GetKindId(), 21);
    EXPECT_NE(Row(made), nullptr);
    EXPECT_EQ(Board().RowCount(), rows + 1);
}

TEST_F(TimelineSoundMarkers, ARangeEndingAtZeroEndsWithTheSound)
{
    const std::string path = artifactPath("timeline-2500ms.wav");
    {
        auto writer = pf::RiffWaveWriter::create(path, pf::WaveFormat::pcm(1, 8000, 8));
        ASSERT_NE(writer, nullptr);
        const std::vector<uint8_t> silence(20000, 0x80); // 2.5 s at 8000 bytes a second
        ASSERT_TRUE(writer->write(silence));
        ASSERT_TRUE(writer->finish());
    }
    sample->sound->SetFileName(path);
    auto* play = dynamic_cast<SWsoundaction*>(timeline->sound);
    play->settings.startMs = 1000;
    play->settings.endMs = 0;
    Row(timeline->sound)->BuildMarkers();
    EXPECT_DOUBLE_EQ(MarkerOf(timeline->sound, 1)->Time(), play->GetDelay() + 1500.0);
    EXPECT_EQ(Row(timeline->sound)->Markers().Count(), 4u); // start, end, two repetitions

    sample->sound->SetFileName(artifactPath("missing.wav")); // no sound found: no length, no repetitions
    Row(timeline->sound)->BuildMarkers();
    EXPECT_DOUBLE_EQ(MarkerOf(timeline->sound, 1)->Time(), play->GetDelay());
    EXPECT_EQ(Row(timeline->sound)->Markers().Count(), 2u);
}

TEST_F(TimelineSoundMarkers, RepetitionsStopAtTheTimeLinesEnd)
{
    auto* play = dynamic_cast<SWsoundaction*>(timeline->sound);
    play->SetDelay(0.0);
    play->settings.startMs = 0;
    play->settings.endMs = 1;
    play->settings.playOption2 = 255;
    timeline->event->SetTimeLineLength(100.0);
    Row(timeline->sound)->BuildMarkers();
    EXPECT_EQ(Row(timeline->sound)->Markers().Count(), 101u); // start, end at 1, repetitions at 2 to 100
    EXPECT_DOUBLE_EQ(static_cast<CSBMarker*>(Row(timeline->sound)->Markers().Tail())->Time(), 100.0);
}

TEST_F(TimelineWindow, TitleZoomSpinAndScrollBarAsSetUp)
{
    EXPECT_EQ(frame->getText(), "Time Line View for event \"timeline\"");
    CChildEventTimelineView& view = frame->View();
    EXPECT_EQ(view.child(CChildEventTimelineView::kZoomEdit)->getText(), "50");
    auto* spin = view.item<pf::UpDown>(CChildEventTimelineView::kSpin);
    ASSERT_NE(spin, nullptr);
    EXPECT_EQ(spin->getRange32(), (std::pair<int32_t, int32_t>{0, 32767}));
    sim().spin(*spin, 1); // the spin writes the zoom field, which sets the scale
    sim().pump();
    EXPECT_EQ(view.child(CChildEventTimelineView::kZoomEdit)->getText(), "51");
    EXPECT_EQ(Board().PixelsPerSecond(), 51);
    EXPECT_EQ(ui().focus(), view.hwnd());
}

// Opened in a main window narrower than the view's layout, as at 800 x 600 beside the panels, the window's caption
// buttons stay in the client area, where a person can reach them.
TEST_F(TimelineWindow, OpenedInANarrowMainWindowItsCaptionButtonsShow)
{
    mainFrame->setPos(pf::HWND_TOP, pf::Rect::fromXywh(0, 0, 500, 600), pf::SWP_NOZORDER);
    sim().pump();
    CChildEventTimelineFrame* narrow = Open(timeline->event);
    ASSERT_NE(narrow, nullptr);
    const pf::Rect area = mainFrame->mdiClient()->clientRect();
    const pf::Rect place = narrow->windowRect();
    const pf::Rect close = narrow->captionButtonRect(pf::MdiChild::kCloseButton).offsetBy(place.l, place.t);
    EXPECT_TRUE(area.containsRect(close)) << close.r << " past " << area.r;
    narrow->destroy();
}

TEST_F(TimelineWindow, SizingStretchesTheBoardAndMovesTheScrollBars)
{
    CChildEventTimelineView& view = frame->View();
    const pf::Rect board = Board().windowRect();
    const pf::Rect horizontal = view.child(CChildEventTimelineView::kHorizontalBar)->windowRect();
    const pf::Rect vertical = view.child(CChildEventTimelineView::kVerticalBar)->windowRect();
    pf::Rect r = frame->windowRect();
    frame->move({r.l, r.t, r.r + 100, r.b + 50});
    sim().pump();
    EXPECT_EQ(Board().windowRect(), (pf::Rect{board.l, board.t, board.r + 100, board.b + 50}));
    EXPECT_EQ(view.child(CChildEventTimelineView::kHorizontalBar)->windowRect(),
              (pf::Rect{horizontal.l, horizontal.t + 50, horizontal.r + 100, horizontal.b + 50}));
    EXPECT_EQ(view.child(CChildEventTimelineView::kVerticalBar)->windowRect(),
              (pf::Rect{vertical.l + 100, vertical.t, vertical.r + 100, vertical.b + 50}));
    EXPECT_EQ(Ruler().screenRect().r, Board().screenRect().r);
}

} // namespace
} // namespace eventedittest
