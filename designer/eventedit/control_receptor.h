#pragma once
// ControlReceptor: the empty area of an event map. It covers the canvas's whole client area with the largest
// priority in use (5), so every map object and control in the window wins over it, and takes every droppable the
// map knows: things dropped here come onto the map, event types become new events, moved map objects move.
#include <cstdint>

#include "designer/editing/editor_objects.h"

class ControlReceptor : public DropReceptor {
public:
    static constexpr uint16_t kAcceptMask = 0x7D3E;
    static constexpr uint8_t kPriority = 5;
    static constexpr uint32_t kFollowUpCommand = 40041; // the map's command run on a node dropped with follow-up

    explicit ControlReceptor(pf::Window* mapWindow); // mapWindow: the canvas, which owns it too

    int32_t GetScreenX(pf::Window* window) override;
    int32_t GetScreenY(pf::Window* window) override;
    int32_t GetWidth(pf::Window* window) override;
    int32_t GetHeight(pf::Window* window) override;
    // Panes 2 and 3 of the status bar of the frame two parents above window show the map point.
    void OnHover(pf::Window* window, pf::Point at, Droppable* droppable) override;
    void OnDrop(pf::Window* window, pf::Point at, Droppable* droppable, bool more) override;

    pf::Point ScreenToMap(pf::Window* window, pf::Point screen) const; // client point plus the scroll origin
    pf::Window* MapWindow() const { return m_mapWindow; }

private:
    void DropPaletteObject(pf::Window* window, pf::Point map, UIObject& item, bool more);
    void DropEventType(uint32_t type, pf::Point map);

    pf::Window* m_mapWindow; // the canvas; it deletes this receptor before it goes
};
