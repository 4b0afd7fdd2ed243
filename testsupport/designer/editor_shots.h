#pragma once
// The editor scenes of the event editing's picture tool: an editor opened through the editor factory over the
// event map, in a main frame with a palette and a map canvas, photographed as the user first sees it.
//
// event-editor-new: a new event's editor as it opens (its unique name, type 0, Parameters disabled).
// event-editor: a click event with a condition, its followers indented under it and a selected action.
// timer-dialog: the timer dialog at the mouse, showing "1000".
// expression-editor: an entry's target, text and name.
// condition-editor: a condition with its operand, constant and followers on both branches.
// queue-editor: a queue with one blocking member, showing "B".
// stereo-editor: a stereo action on a camera, previewed.
// stop-controller-editor: a stop controller with entries on both sides.
// text-flag-editors: one picture for each of the seven small editors (text-flag-<kind>).
// background-pages: the set-background editor on each of its six pages (background-solid, -texture, -linear,
// -radial, -corners, -checker), with its preview picture.
// play-sound-editor: a 2,500 ms sound's waveform with the start and end markers and the play marker at 1.2 s.
// load-world-editor: the editor after Load now, with two instances shown.
#include <functional>
#include <string>
#include <vector>

namespace pf {
class UserSim;
class Window;
} // namespace pf
class CVTNDesignerApp;

namespace designertest {

inline constexpr const char* kEditorScenes[] = {"event-editor-new",  "event-editor",           "timer-dialog",
                                                "expression-editor", "condition-editor",       "queue-editor",
                                                "stereo-editor",     "stop-controller-editor", "text-flag-editors",
                                                "background-pages",  "play-sound-editor",      "load-world-editor"};

struct EditorShot {
    // Writes the screen as NAME.png; false when it could not be written.
    std::function<bool(const std::string& name)> picture;
    // Compares what a live display shows of window with the layer's picture NAME; true without a live display.
    std::function<bool(pf::Window& window, const std::string& name)> compareLive;
    // Waits until a live display has shown what was drawn; empty: nothing to wait for.
    std::function<void()> waitShown;
    std::vector<std::string>* trace = nullptr; // lines for the tool's trace
    // Runs the window's loop while a person uses the scene's editor on a live display; empty: none.
    std::function<void()> hold;
};

bool IsEditorScene(const std::string& scene);
// Runs one scene on app (which has its editor engine); false when a step did not do what it should.
bool RunEditorScene(const std::string& scene, CVTNDesignerApp& app, pf::UserSim& sim, EditorShot& shot);

} // namespace designertest
