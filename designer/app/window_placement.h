#pragma once
// Where the designer's small dialogs open: at the mouse, kept on the screen.
namespace pf {
class Window;
}

// Moves window so that its top-left corner lies at the screen point of the last mouse message, pulled back so
// that the whole window stays within the work area; a window larger than the work area keeps its top-left corner
// on it. The window keeps its size.
void PlaceWindowAtCursor(pf::Window& window);
