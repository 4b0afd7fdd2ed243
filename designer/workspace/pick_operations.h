#pragma once
// The two pick operations: the user chooses an event's objects (or sounds, or keys) or an action's targets by name
// in the modal object pickers, and what was chosen goes into the event's lists or the action's arguments, with the
// chosen things put on the event map near the event or the action.
#include <optional>
#include <string>

namespace pf {
class Window;
}
class SWactionnode;
class SWevent;

// By event type: objects of 5, 6, 7 and 16, sounds of 17, keys of 19 and 20; other types only redraw the maps.
void EditEventParameters(pf::Window* parent, SWevent* event, uint32_t type, bool placeAtCursor);
// False when the user cancelled (nothing changed). outText, when given, receives the action's new display text.
bool BuildEventParameterPickList(pf::Window* parent, SWactionnode* action, std::string* outText);
// The action's editor, placed at the mouse.
void EditActionDetails(SWactionnode* action);
