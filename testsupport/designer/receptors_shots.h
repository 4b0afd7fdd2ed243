#pragma once
// The event map's scenes of the event editing's picture tool, each in a main frame with the sample world:
//
// event-map: the window with its tool bar, status bar and event list; events with their actions and targets joined
//   by links, one event selected (its links in the selected pens, its objects marked), a stop queue joined to its
//   queues, and one event whose inputs are folded.
// event-map-elbows: the same map with "show straight lines" off, the event list hidden, scrolled by (40, 25).
// rubber-band: the canvas in the middle of a rubber band: the dotted band drawn, nothing selected yet.
// two-maps: two windows over the same map with different scroll origins.
// rename: the rename dialog opened for an event, its name in both fields.
// map-objects: every content kind drawn by itself, one with a 32 x 32 picture, a disabled event, a highlighted
//   object and both selection ellipses, at a scroll origin that is not zero.
// pickers: the single picker on cameras, and the multiple picker on hot spots and meshes with two names chosen on
//   entry and queue mode on (pickers-single, pickers-multiple); the single picker on the keys, more than its list
//   shows, scrolled to the last (pickers-long).
// images: every image list of the editor images as a contact sheet, each index under its picture.
// icons: every picture of the editor images once, at 32 and 16 pixels, with what it shows under it.
// action-list-drop: testsupport/designer/action_list_shots.h.
#include <string>

#include "testsupport/designer/editor_shots.h"

namespace designertest {

inline constexpr const char* kReceptorsScenes[] = {"event-map", "event-map-elbows", "rubber-band", "two-maps",
                                                   "rename",    "map-objects",      "pickers",     "images",
                                                   "icons",     "action-list-drop"};

bool IsReceptorsScene(const std::string& scene);
// Runs one scene on app (its engine made); false when the scene failed or its picture could not be written.
bool RunReceptorsScene(const std::string& scene, CVTNDesignerApp& app, pf::UserSim& sim, const EditorShot& shot);

} // namespace designertest
