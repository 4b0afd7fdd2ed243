#pragma once
// What the picture tools share: the command line [--live [--xvfb] [--exit-after MS]] OUTDIR [SCENE...], the output
// folder, the display the scenes run on (the headless screen set up as a window test is, or real windows), the
// trace and the pictures. Exit codes: 0 done, 1 a scene failed, 2 usage, 3 OUTDIR cannot be written, 77 no display
// for --live.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace pf {
class SdlBackend;
class UserSim;
class Window;
class XvfbServer;
} // namespace pf

namespace designertest {

// The state of one run of a tool.
struct ShotsRun {
    const char* tool = "";             // the program's name, for its messages
    std::string dir;                   // OUTDIR
    std::vector<std::string> trace;    // lines of OUTDIR/trace.txt
    std::string failedWrite;           // the first path that could not be written, with its reason
    pf::SdlBackend* backend = nullptr; // set when the scenes run in real windows
    pf::XvfbServer* server = nullptr;  // set when those windows are on a private X server
    int32_t holdMs = 0;                // a reviewer's own display: how long a scene stays up to be used

    bool WritePicture(const pf::UserSim& sim, const std::string& name); // the whole screen as OUTDIR/name.png
    void WaitUntilShown() const; // live: until the backend has presented what is composed
    // The client areas of the windows as the X server shows them (it shows no frames of ours), written as
    // live-<scene>.png (the first window's; the others numbered) and compared with the layer's.
    bool CompareWithServer(const std::vector<const pf::Window*>& windows, const std::string& scene);
    // Keeps the live windows up for holdMs; stopOnQuit ends it early when the user closes the application.
    void Hold(bool stopOnQuit = false) const;
    int Finish(bool ok); // writes the trace; the exit code of the run
};

struct ShotsTool {
    const char* name;                                  // the program's name
    std::vector<std::string> scenes;                   // run when none is named, and listed in the usage
    std::function<bool(const std::string&)> namedOnly; // scenes run only when named
    std::function<int(ShotsRun& run, const std::vector<std::string>& scenes)> runScenes; // ends with run.Finish
};

int ShotsMain(int argc, char** argv, const ShotsTool& tool);

} // namespace designertest
