#pragma once
// The fixture of the time-line tests: an application with the sample world, its editor engine and a main frame,
// the time-line event of the test support, and a time-line window opened through the application for it. The user's
// mouse drives the board and the ruler; frames run as the render thread runs them.
#include <memory>

#include <gtest/gtest.h>

#include "designer/app/designer_app.h"
#include "designer/app/extended_world.h"
#include "designer/eventedit/event_story_board.h"
#include "designer/eventedit/story_board_row.h"
#include "designer/eventedit/story_board_time.h"
#include "designer/eventedit/timeline_frame.h"
#include "engine/core/world.h"
#include "platform/testing/ui_fixture.h"
#include "platform/ui/frame/frame_window.h"
#include "testsupport/designer/broadcast_recorder.h"
#include "testsupport/designer/sample_world.h"
#include "testsupport/designer/timeline_event.h"

namespace eventedittest {

class TimelineFixture : public pf::UiFixture {
protected:
    void SetUp() override
    {
        UiFixture::SetUp();
        CChildEventTimelineFrame::RegisterWindowClass(ui());
        app = std::make_unique<CVTNDesignerApp>();
        sample = std::make_unique<designertest::SampleWorld>(*app);
        ASSERT_TRUE(app->MakeEditorEngine());
        timeline = std::make_unique<designertest::TimelineEvent>(*sample);
        mainFrame = std::make_unique<pf::FrameWindow>();
        ASSERT_TRUE(mainFrame->createFrame("Vortan", pf::Rect::fromXywh(0, 0, 1100, 800), 0, pf::WS_VISIBLE));
        app->SetMainFrame(mainFrame.get());
        recorder = std::make_unique<designertest::BroadcastRecorder>();
        frame = Open(timeline->event);
        ASSERT_NE(frame, nullptr);
        sim().pump();
    }

    void TearDown() override
    {
        recorder.reset();
        if (frame != nullptr && ui().isWindow(frameHandle))
            frame->destroy();
        mainFrame.reset();
        timeline.reset();
        sample.reset();
        app.reset();
        UiFixture::TearDown();
    }

    CChildEventTimelineFrame* Open(SWevent* event)
    {
        auto* opened = dynamic_cast<CChildEventTimelineFrame*>(app->OpenEventTimeline(event));
        if (opened != nullptr && frame == nullptr)
            frameHandle = opened->hwnd();
        return opened;
    }

    CEventStoryBoard& Board() { return *frame->View().Board(); }
    CStoryBoardTime& Ruler() { return *frame->View().Ruler(); }
    SWworld& World() { return sample->world; }
    pf::Point OnBoard(int32_t x, int32_t y) { return Board().clientToScreen({x, y}); }
    pf::Point OnRuler(int32_t x, int32_t y) { return Ruler().clientToScreen({x, y}); }
    int32_t MiddleOf(const SWactionnode* action) { return Row(action)->Top() + Board().HalfLineHeight(); }
    CSBActionNodeRow* Row(const SWactionnode* action) { return Board().FindRow(action); }

    CSBMarker* MarkerOf(const SWactionnode* action, int index)
    {
        SWlistnode* n = Row(action)->Markers().Head();
        for (int i = 0; n != nullptr && i < index; ++i)
            n = n->Next();
        return static_cast<CSBMarker*>(n);
    }

    // Presses on a row's marker, moves through x positions of the board and releases at the last.
    void DragMarker(const SWactionnode* action, int index, std::initializer_list<int32_t> xs)
    {
        const int32_t y = MiddleOf(action);
        const int32_t from = Board().TimeToX(MarkerOf(action, index)->Time());
        sim().mouseMove(OnBoard(from, y));
        sim().mouseDown(OnBoard(from, y));
        int32_t last = from;
        for (const int32_t x : xs)
            sim().mouseMove(OnBoard(last = x, y));
        sim().mouseUp(OnBoard(last, y));
        sim().pump();
    }

    // Grabs the ruler's handle and moves it to each board time in turn, then lets go.
    void Scrub(std::initializer_list<double> times, bool release = true)
    {
        const int32_t y = Ruler().clientRect().b / 2;
        const int32_t handle = Ruler().HandleX();
        sim().mouseMove(OnRuler(handle, y));
        sim().mouseDown(OnRuler(handle, y));
        for (const double t : times)
            sim().mouseMove(OnRuler(Board().TimeToX(t) - Board().TrackOrigin() + 1, y));
        if (release) {
            sim().mouseUp(OnRuler(Board().TimeToX(*(times.end() - 1)) - Board().TrackOrigin() + 1, y));
            sim().pump();
        }
    }

    void TypeZoom(const char* text)
    {
        sim().replaceText(*frame->View().child(CChildEventTimelineView::kZoomEdit), text);
        sim().pump();
    }

    void RunFrame()
    {
        SWworldlock lock(World());
        World().RunFrame();
    }

    std::unique_ptr<CVTNDesignerApp> app;
    std::unique_ptr<designertest::SampleWorld> sample;
    std::unique_ptr<designertest::TimelineEvent> timeline;
    std::unique_ptr<pf::FrameWindow> mainFrame;
    std::unique_ptr<designertest::BroadcastRecorder> recorder;
    CChildEventTimelineFrame* frame = nullptr; // owned by its window
    pf::Hwnd frameHandle = pf::kNoWindow;
};

} // namespace eventedittest
