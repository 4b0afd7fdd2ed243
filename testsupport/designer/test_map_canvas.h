#pragma once
// TestMapCanvas: an event map canvas on a plain window, until the event map window exists. It registers with the
// application as an event map (owner of every map object and of an empty-map receptor), draws map objects as
// labelled boxes, starts drags of a pressed map object or of the whole selection, and logs the commands and
// redraws it receives.
#include <cstdint>
#include <string>
#include <vector>

#include "designer/app/map_canvas.h"
#include "platform/ui/core/window.h"

class ControlReceptor;
class MapObject;

namespace designertest {

class TestMapCanvas : public pf::Window, public CVTND_MapCanvas {
public:
    TestMapCanvas(pf::Window& parent, const pf::Rect& clientRect); // a visible child; needs the engine
    ~TestMapCanvas() override;

    // -- CVTND_MapCanvas
    pf::Window* GetWindow() override { return isWindow() ? this : nullptr; }
    pf::Point GetScrollOrigin() const override { return m_scroll; }
    void ScrollTo(pf::Point origin) override;
    void SetMenuObject(MapObject* object) override { m_menuObject = object; }
    void RedrawMap() override;

    MapObject* MenuObject() const { return m_menuObject; }
    ControlReceptor* Receptor() const { return m_receptor; }
    const std::vector<uint32_t>& Commands() const { return m_commands; } // WM_COMMAND ids received
    int Redraws() const { return m_redraws; }
    pf::Point MapToScreen(pf::Point map) const;        // a map point on screen
    pf::Point CentreOf(const MapObject& object) const; // the object's centre on screen

    static std::string LabelOf(const MapObject& object); // the name the boxes show

protected:
    pf::LResult handle(const pf::Msg& msg) override;

private:
    void Paint();
    MapObject* ObjectAt(pf::Point client) const; // the last made among those under the point
    void BeginDragAt(pf::Point client);

    pf::Point m_scroll;
    MapObject* m_menuObject = nullptr;     // the engine's
    ControlReceptor* m_receptor = nullptr; // the engine's, deleted through it
    uint32_t m_handle = 0;                 // the engine's name for it
    std::vector<uint32_t> m_commands;
    int m_redraws = 0;
};

} // namespace designertest
