#pragma once
// action-list-drop, a scene of the event editing's picture tool: an event's action list in a dialog, filled as the
// event editor fills it (followers indented under their condition, "~" before those of its false branch), caught
// while an action kind from the palette is held over the lower half of a row, its three-row insertion band drawn
// (action-list-drop), then dropped there: the list refilled with the new action under that row
// (action-list-drop-dropped).
#include <string>

#include "testsupport/designer/editor_shots.h"

namespace designertest {

inline constexpr const char* kActionListDropScene = "action-list-drop";

// Runs the scene on app (its engine made); false when a step did not do what it should or a picture failed.
bool RunActionListDropScene(CVTNDesignerApp& app, pf::UserSim& sim, const EditorShot& shot);

} // namespace designertest
