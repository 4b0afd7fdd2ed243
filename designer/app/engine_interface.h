#pragma once
// CVTND_EngineInterface: what the application, the main frame and the panels ask of the editor engine, which the
// event editing implements and registers (CVTND_Registry::RegisterEngineCreator). The application makes one each
// time it builds the workspace and clears it before it deletes it.
#include <cstdint>

#include "designer/app/project_object.h"
#include "platform/base/rect.h"

namespace pf {
class Window;
}
class UIObject; // the editor engine's palette object

// The main frame's side of a drag: the engine sends it this with wParam 0 when a drag begins; the frame sets its
// dragging flag and takes the capture, forwards moves (screen points) to DragTo and the left release to Drop,
// then sets the arrow and releases the capture; a capture lost meanwhile ends the drag with CancelDrag.
inline constexpr uint32_t kMsgBeginEditorDrag = 0x400 + 201;

class CVTND_EngineInterface {
public:
    virtual ~CVTND_EngineInterface() = default;

    // -- Dragging: the drag source fills the drag list, then BeginDrag; the main frame forwards the rest.
    virtual void BeginDrag(pf::Point screen, pf::Window* sourceMap) = 0; // sourceMap: a map canvas, or null
    virtual void DragTo(pf::Point screen) = 0;
    virtual void Drop(pf::Point screen) = 0;
    virtual void CancelDrag() = 0; // the main frame lost its capture: the drag ends and nothing is dropped
    // A palette object for object, registered in the drag list's pool; null for a type without one.
    virtual UIObject* MakePaletteObject(const CVTND_Object& object) = 0;
    // The drag list holds object alone from now on (null: empty), as a panel sets it before BeginDrag.
    virtual void SetDragObject(UIObject* object) { (void)object; }

    // -- A picker control of the workspace that takes dropped nodes or properties (acceptMask: content kinds).
    virtual uint32_t AddControlReceptor(pf::Window& picker, uint32_t acceptMask) = 0; // a handle, never 0
    virtual void RemoveControlReceptor(uint32_t handle) = 0; // the picker is gone; unknown handles are ignored

    virtual void SettingChanged(uint32_t settingId) = 0; // reads the setting again (a colour re-makes its pen)
    virtual void Clear() = 0;                            // before the workspace is torn down
};
