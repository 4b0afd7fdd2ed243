#pragma once
// CVTND_EventMap: the event map's canvas. It paints the editor engine's map objects with their links at its own
// scroll origin, selects by click, Ctrl, Shift and rubber band, hands drags to the engine, opens objects on a double
// click and runs the commands of the context menus, the Delete key and the alignment tools.
//
// Sections of the implementation: event_map_canvas.cpp (painting, mouse), event_map_commands.cpp (menus, commands,
// Delete, align and space).
#include <cstdint>
#include <vector>

#include "designer/app/map_canvas.h"
#include "platform/ui/controls/static_control.h"

namespace pf {
class Dc;
}
class CEditorEngine;
class MapObject;
class SWactionnode;
class SWevent;

class CVTND_EventMap : public pf::StaticControl, public CVTND_MapCanvas {
public:
    // -- CVTND_MapCanvas
    pf::Window* GetWindow() override { return isWindow() ? this : nullptr; }
    pf::Point GetScrollOrigin() const override { return m_scroll; }
    void ScrollTo(pf::Point origin) override; // through the view's scroll bars, as a user's scroll
    void SetMenuObject(MapObject* object) override { m_menuObject = object; }
    void ForgetMapObject(const MapObject* object) override;
    void RedrawMap() override;

    void SetScrollOrigin(pf::Point origin); // the view's scroll handlers
    MapObject* MenuObject() const { return m_menuObject; }
    MapObject* ObjectAt(pf::Point client) const; // first in the engine's order, borders included
    void OnKeyReleased(uint32_t vk);             // from the hidden edit
    bool RunCommand(uint32_t id);                // the context menus' and the tool bar's commands; true: handled
    void ShowGeneralMenu(pf::Point screen);
    bool IsBanding() const { return m_banding; }

protected:
    pf::LResult handle(const pf::Msg& msg) override;

private:
    // -- Painting (event_map_canvas.cpp)
    struct PaintIndex;
    void Paint();
    void PlaceUnplaced(pf::Dc& dc, CEditorEngine& engine, int32_t textHeight);
    void DrawLinks(pf::Dc& dc, CEditorEngine& engine);
    void DrawActionLinks(pf::Dc& dc, CEditorEngine& engine, const PaintIndex& index, SWevent& event,
                         MapObject& eventObject);
    void DrawTargetLinks(pf::Dc& dc, const CEditorEngine& engine, const PaintIndex& index, SWevent& event,
                         SWactionnode& action, MapObject& from, bool mark);
    void Join(pf::Dc& dc, const CEditorEngine& engine, const MapObject& a, const MapObject& b) const;
    bool MayShow(pf::Dc& dc, const CEditorEngine& engine, const MapObject& object, int32_t textHeight) const;
    pf::Point CentreOf(const MapObject& object) const;

    // -- Mouse (event_map_canvas.cpp)
    void OnLeftDown(pf::Point client);
    void OnMouseMove(pf::Point client);
    void OnLeftUp(pf::Point client);
    void OnRightDown(pf::Point client);
    void OnDoubleClick(pf::Point client);
    void DrawBand(pf::Dc& dc) const; // exclusive-or, so a second call erases
    void ShowBand(bool show);        // draws or erases the band on the window, once each way
    void ShowMapPoint(pf::Point client);

    // -- Commands (event_map_commands.cpp)
    void EventCommand(uint32_t id, MapObject& object, SWevent& event);
    void ActionCommand(uint32_t id, MapObject& object, SWactionnode& action);
    void ObjectCommand(uint32_t id, MapObject& object);
    void DeleteByMenu(MapObject& object, uint16_t kind);
    void CollapseInputs(MapObject& object, SWevent& event);
    void RemoveFromMap(MapObject& object);
    void DeleteSelection();
    void Align(bool onX);
    void Space(bool onX);

    pf::Point m_scroll;
    // The engine's, each cleared when the engine deletes its object: a new object may take the same address.
    MapObject* m_pressed = nullptr; // cleared when anything else happens
    MapObject* m_menuObject = nullptr;
    pf::Point m_press;
    uint8_t m_clicks = 0;
    uint32_t m_firstClickMs = 0;
    MapObject* m_firstClicked = nullptr; // a second press counts only on the object of the first
    bool m_banding = false;
    bool m_bandShown = false; // drawn on the window now; a repaint draws it again, so the next erase finds it
    pf::Point m_bandCorner;
};
