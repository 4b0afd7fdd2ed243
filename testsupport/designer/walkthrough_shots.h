#pragma once
// The event map's walkthrough for the event editing's picture tool: a person's first minutes on the map, in a main
// frame with a palette of action kinds docked at its left and one event map window, over the sample world. One
// picture after each step:
//
// walkthrough-1-event: "timer" dragged from the window's event list onto the map makes an event where it drops.
// walkthrough-2-action: an action kind dragged from the palette onto that event makes its first action beside it.
// walkthrough-3-band: a rubber band drawn around both selects both.
// walkthrough-4-aligned: the tool bar's "align y" puts their tops on the last selected one's.
// walkthrough-5-deleted: Delete in the action's context menu takes the action off the event and the map.
#include <string>

#include "testsupport/designer/editor_shots.h"

namespace designertest {

inline constexpr const char* kWalkthroughScene = "walkthrough";

// Runs the walkthrough on app (its engine made); false when a step did not do what it should or a picture could not
// be written.
bool RunWalkthroughScene(CVTNDesignerApp& app, pf::UserSim& sim, const EditorShot& shot);

} // namespace designertest
