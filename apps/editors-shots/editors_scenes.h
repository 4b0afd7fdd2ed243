#pragma once
// Scenes of vortan-editors-shots kept in sources of their own: each registers a name and a function from a
// namespace-scope registration. A registered scene starts whatever it stands on itself (the designer with its 3D
// view, say), puts the windows to compare in shown and calls Finish while they live (the live comparison, and a
// reviewer's time with them), then lets everything go before it returns.
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace pf {
class UserSim;
class Window;
} // namespace pf

struct EditorsSceneContext {
    const std::string& dir;          // OUTDIR
    std::vector<std::string>& trace; // lines of OUTDIR/trace.txt
    std::string& failedWrite;        // the first write that failed, with its reason
    pf::UserSim& sim;
    std::vector<const pf::Window*> shown; // the windows whose client areas a live run compares
    bool live = false;
    std::function<bool()> finish;               // the tool's; false when the live picture differs
    bool WritePicture(const std::string& name); // the whole screen as OUTDIR/name.png
    bool Finish() { return finish ? finish() : true; }
};

using EditorsSceneRun = bool (*)(EditorsSceneContext& context); // false: the scene failed
struct EditorsSceneRegistration {
    EditorsSceneRegistration(const char* name, EditorsSceneRun run);
};
const std::vector<std::pair<std::string, EditorsSceneRun>>& RegisteredEditorsScenes(); // in registration order
