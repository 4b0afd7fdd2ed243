#pragma once
// The fixture of the event map window's tests: an application with the sample world and its engine, a main frame
// with an MDI client that carries the editor's drags as the designer's does, and the first event map window opened
// through the application.
#include <memory>

#include <gtest/gtest.h>

#include "designer/app/designer_app.h"
#include "designer/app/extended_world.h"
#include "designer/editing/editor_engine.h"
#include "designer/editing/map_object.h"
#include "designer/eventedit/event_map_canvas.h"
#include "designer/eventedit/event_map_frame.h"
#include "designer/eventedit/event_map_texts.h"
#include "platform/testing/ui_fixture.h"
#include "platform/ui/core/ui.h"
#include "platform/ui/providers/providers.h"
#include "testsupport/designer/broadcast_recorder.h"
#include "testsupport/designer/drag_main_frame.h"
#include "testsupport/designer/sample_world.h"

namespace eventedittest {

class EventMapFixture : public pf::UiFixture {
protected:
    void SetUp() override
    {
        UiFixture::SetUp();
        CChildEventMapFrame::RegisterWindowClass(ui());
        app = std::make_unique<CVTNDesignerApp>();
        sample = std::make_unique<designertest::SampleWorld>(*app);
        ASSERT_TRUE(app->MakeEditorEngine());
        engine = GetEditorEngine();
        mainFrame = std::make_unique<designertest::DragMainFrame>();
        ASSERT_TRUE(mainFrame->createFrame("Vortan", pf::Rect::fromXywh(0, 0, 1200, 900), 0, pf::WS_VISIBLE));
        app->SetMainFrame(mainFrame.get());
        recorder = std::make_unique<designertest::BroadcastRecorder>();
        frame = dynamic_cast<CChildEventMapFrame*>(app->OpenEventMapWindow());
        ASSERT_NE(frame, nullptr);
        canvas = frame->GetEventMap();
        ASSERT_NE(canvas, nullptr);
        sim().pump();
    }
    void TearDown() override
    {
        recorder.reset();
        mainFrame.reset();
        sample.reset();
        app.reset();
        UiFixture::TearDown();
    }

    MapObject* Place(MapObject* object, int32_t x, int32_t y)
    {
        object->x = x;
        object->y = y;
        canvas->RedrawMap();
        return object;
    }
    // The map object the window already shows for an event, or a new one.
    MapObject* EventObject(SWevent* event)
    {
        MapObject* shown = engine->FindEventObject(event);
        return shown != nullptr ? shown : engine->AddEvent(event);
    }
    pf::Point Centre(const MapObject& o) const
    {
        const pf::Point scroll = canvas->GetScrollOrigin();
        return canvas->clientToScreen({o.x + o.width / 2 - scroll.x, o.y + o.height / 2 - scroll.y});
    }
    pf::Point OnCanvas(int32_t x, int32_t y) const { return canvas->clientToScreen({x, y}); }
    void KeyUpOnCanvas(uint8_t vk)
    {
        sim().keyDown(vk);
        sim().keyUp(vk);
        sim().pump();
    }
    pf::ScriptedMenuChooser& Menus() { return ui().providers().scriptedMenu(); }
    pf::ScriptedMessageBox& Boxes() { return ui().providers().scriptedMessageBox(); }

    std::unique_ptr<CVTNDesignerApp> app;
    std::unique_ptr<designertest::SampleWorld> sample;
    CEditorEngine* engine = nullptr;
    std::unique_ptr<designertest::DragMainFrame> mainFrame; // carries the editor's drags as the designer's does
    std::unique_ptr<designertest::BroadcastRecorder> recorder;
    CChildEventMapFrame* frame = nullptr; // owned by its window
    CVTND_EventMap* canvas = nullptr;
};

} // namespace eventedittest
