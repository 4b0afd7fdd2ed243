#pragma once
// The fixture of the event editing tests: an application with the sample world and an editor engine, a main
// frame stand-in holding the drag, a palette at its left and a test map canvas at its right, and a recorder of
// every broadcast. Drags go through the user's mouse: press in the palette or on the canvas, move, release.
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "designer/app/designer_app.h"
#include "designer/editing/editor_engine.h"
#include "designer/editing/map_object.h"
#include "designer/eventedit/control_receptor.h"
#include "platform/display/screen.h"
#include "platform/testing/image_check.h"
#include "platform/testing/ui_fixture.h"
#include "testsupport/designer/broadcast_recorder.h"
#include "testsupport/designer/drag_frame.h"
#include "testsupport/designer/sample_world.h"
#include "testsupport/designer/test_map_canvas.h"
#include "testsupport/designer/test_palette.h"

namespace eventedittest {

class EventEditFixture : public pf::UiFixture {
protected:
    void SetUp() override
    {
        UiFixture::SetUp();
        app = std::make_unique<CVTNDesignerApp>();
        sample = std::make_unique<designertest::SampleWorld>(*app);
        ASSERT_TRUE(app->MakeEditorEngine());
        engine = GetEditorEngine();
        ASSERT_NE(engine, nullptr);
        recorder = std::make_unique<designertest::BroadcastRecorder>();
        frame = std::make_unique<designertest::DragFrame>(pf::Rect::fromXywh(0, 0, 900, 600));
        palette = std::make_unique<designertest::TestPalette>(*frame, pf::Rect::fromXywh(0, 0, 150, 600));
        canvas = std::make_unique<designertest::TestMapCanvas>(*frame, pf::Rect::fromXywh(150, 0, 750, 600));
        sim().pump();
    }

    void TearDown() override
    {
        canvas.reset();
        palette.reset();
        frame.reset();
        recorder.reset();
        sample.reset();
        app.reset();
        UiFixture::TearDown();
    }

    // A placed map object for content at a map point.
    MapObject* Place(MapObject* object, int32_t x, int32_t y)
    {
        object->x = x;
        object->y = y;
        return object;
    }

    // Presses in the palette with these items, moves through the points and releases at the last one.
    void DragFromPalette(std::vector<designertest::PaletteItem> items, std::vector<pf::Point> path)
    {
        palette->items = std::move(items);
        const pf::Point start = palette->clientToScreen({20, 20});
        sim().mouseDown(start);
        for (const pf::Point p : path)
            sim().mouseMove(p);
        sim().mouseUp(path.back());
        sim().pump();
    }

    designertest::PaletteItem Item(uint16_t kind, void* content, std::string label = {})
    {
        designertest::PaletteItem item;
        item.contentKind = kind;
        item.content = content;
        item.label = std::move(label);
        return item;
    }

    // Surfaces before a drag, to compare after it.
    std::unique_ptr<pf::Surface32> Shot() { return pf::captureScreen(pf::Rect::fromXywh(0, 0, 900, 600)); }
    void ExpectScreenAsBefore(const pf::Surface32& before)
    {
        EXPECT_TRUE(pf::screen().isOverlayClear());
        const auto after = Shot();
        EXPECT_EQ(pf::compareSurfaces(before, *after, 0).differing, 0);
    }
    size_t PaletteObjects() const
    {
        size_t mapObjects = 0;
        for (MapObject* o = engine->FirstMapObject(); o != nullptr; o = engine->NextMapObject(o))
            ++mapObjects;
        return engine->CountDroppables() - mapObjects;
    }

    std::unique_ptr<CVTNDesignerApp> app;
    std::unique_ptr<designertest::SampleWorld> sample;
    CEditorEngine* engine = nullptr;
    std::unique_ptr<designertest::BroadcastRecorder> recorder;
    std::unique_ptr<designertest::DragFrame> frame;
    std::unique_ptr<designertest::TestPalette> palette;
    std::unique_ptr<designertest::TestMapCanvas> canvas;
};

// A receptor over a fixed screen rectangle that logs its calls.
class LogReceptor : public DropReceptor {
public:
    LogReceptor(std::string name, pf::Rect screen, uint8_t priority, std::vector<std::string>& log,
                uint16_t accept = 0xFFFF)
        : DropReceptor(accept, priority), m_name(std::move(name)), m_rect(screen), m_log(log)
    {
    }
    int32_t GetScreenX(pf::Window*) override { return m_rect.l; }
    int32_t GetScreenY(pf::Window*) override { return m_rect.t; }
    int32_t GetWidth(pf::Window*) override { return static_cast<int32_t>(m_rect.width()); }
    int32_t GetHeight(pf::Window*) override { return static_cast<int32_t>(m_rect.height()); }
    void OnEnter(pf::Window*, pf::Point, Droppable*) override { m_log.push_back(m_name + " enter"); }
    void OnHover(pf::Window*, pf::Point, Droppable*) override { m_log.push_back(m_name + " hover"); }
    void OnLeave(pf::Window*, Droppable*) override { m_log.push_back(m_name + " leave"); }
    void OnDrop(pf::Window*, pf::Point at, Droppable*, bool more) override
    {
        m_log.push_back(m_name + " drop " + std::to_string(at.x) + "," + std::to_string(at.y) + (more ? " more" : ""));
    }
    bool CanAccept(Droppable*) override { return canAccept; }
    bool canAccept = true;

private:
    std::string m_name;
    pf::Rect m_rect;
    std::vector<std::string>& m_log;
};

} // namespace eventedittest
