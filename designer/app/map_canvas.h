#pragma once
// CVTND_MapCanvas: an event map's canvas as the application sees it. The event map window implements it and
// registers its frame with the canvas (CVTNDesignerApp::RegisterChildFrame), so the application can walk the maps.
#include "platform/base/rect.h"

namespace pf {
class Window;
}
class MapObject; // the editor engine's map object

class CVTND_MapCanvas {
public:
    virtual ~CVTND_MapCanvas() = default;

    virtual pf::Window* GetWindow() = 0;           // the canvas window; null once it is gone
    virtual pf::Point GetScrollOrigin() const = 0; // map coordinates of the top-left corner of the view
    virtual void ScrollTo(pf::Point origin) = 0;
    virtual void SetMenuObject(MapObject* object) = 0; // the map object a context menu was opened for; null: none
    // The engine is about to delete object (null: every one): a canvas that keeps map objects drops them here.
    virtual void ForgetMapObject(const MapObject* /*object*/) {}
    virtual void RedrawMap() = 0; // now, not at the next paint
};
