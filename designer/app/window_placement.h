#pragma once
// Where the designer's windows open: small dialogs at the mouse, and the main window where it was last closed, each
// kept on the screen.
#include <optional>

#include "platform/base/rect.h"

namespace pf {
class Profile;
class Window;
} // namespace pf

// Moves window so that its top-left corner lies at the screen point of the last mouse message, pulled back so
// that the whole window stays within the work area; a window larger than the work area keeps its top-left corner
// on it. The window keeps its size.
void PlaceWindowAtCursor(pf::Window& window);

// The main window as it was closed: its place when not maximised (screen coordinates), and whether it was.
struct MainWindowPlacement {
    pf::Rect normal;
    bool maximized = false;
};
// Null when the profile holds none, or only part of one, or a place without width or height.
std::optional<MainWindowPlacement> ReadMainWindowPlacement(const pf::Profile& profile);
void WriteMainWindowPlacement(pf::Profile& profile, const MainWindowPlacement& placement);
// rect moved, and shrunk where it must be, to lie wholly within area: a place kept on a larger screen still shows.
pf::Rect FitWithin(const pf::Rect& rect, const pf::Rect& area);
