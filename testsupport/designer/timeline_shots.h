#pragma once
// The time-line scenes of the event editing's picture tool: the time-line window of the test support's time-line
// event in a main frame, driven by the user's mouse and keyboard, photographed at the moment each scene shows.
//
// timeline: the default zoom, the condition's row expanded, the queue's collapsed.
// timeline-zoom: zoom 200, scrolled to 5 % of the time line, the label column 160 wide.
// timeline-drag: the sound action's start marker in the middle of a drag: the line is drawn, nothing moved yet.
// timeline-scrub: the ruler's handle in the middle of a drag past both controllers' starts, with a dump of what
// the preview ran.
#include <functional>
#include <string>
#include <vector>

namespace pf {
class UserSim;
class Window;
} // namespace pf
class CVTNDesignerApp;

namespace designertest {

inline constexpr const char* kTimelineScenes[] = {"timeline", "timeline-zoom", "timeline-drag", "timeline-scrub"};

struct TimelineShot {
    // Writes the screen as NAME.png; false when it could not be written.
    std::function<bool(const std::string& name)> picture;
    // Compares what a live display shows of window with the layer's picture; true when there is no live display.
    std::function<bool(pf::Window& window)> compareLive;
    std::vector<std::string>* trace = nullptr; // lines for the tool's trace
    // Runs the window's loop while a person uses the scene's window on a live display; empty: none.
    std::function<void()> hold;
};

// Runs one scene on app (which has its editor engine); false when a step did not do what it should.
bool RunTimelineScene(const std::string& scene, CVTNDesignerApp& app, pf::UserSim& sim, TimelineShot& shot);

} // namespace designertest
