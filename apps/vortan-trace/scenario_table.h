#pragma once
// The scenarios of `vortan-trace` register themselves at start-up, each from a namespace-scope static of its own
// source, so a new scenario is one new file.
#include <cstdint>
#include <functional>
#include <string>

#include "testsupport/behaviour/trace_observer.h"

class FrameDriver;

inline constexpr int kTraceDone = 0;
inline constexpr int kTraceUsage = 2;

// Prints each happening as one line on stdout.
class TracePrinter : public TraceObserver {
public:
    void Note(int frame, const std::string& text); // a scenario's own line: "F<frame> note <text>"

protected:
    void Emit(const std::string& line) override;
};

struct TraceRun {
    int frames;    // --frames, or the scenario's default
    uint32_t dtMs; // --dt
    TracePrinter& out;

    // Runs the frames; before each, beforeFrame is called with the number the frame will have (1 for the first).
    void Frames(FrameDriver& driver, const std::function<void(int frame)>& beforeFrame) const;
};

struct TraceScenario {
    const char* name;
    const char* summary;
    int defaultFrames;
    int (*run)(const TraceRun& run); // the process exit code
};

// Registers a scenario for the life of the process; call from a namespace-scope static.
bool RegisterTraceScenario(const TraceScenario& scenario);
