#pragma once
// The loop of a run on a display backend: wait for input or the next timer, hand the input to the tree, pump,
// present what changed. The modal loop is the same loop nested until its dialog ends. Both return when
// Ui::postQuit was called; the quit request stays set so that every enclosing loop ends too.
#include <cstdint>
#include <functional>

namespace pf {

class Ui;

constexpr int32_t kBusyLoopWaitMs = 16;  // the longest wait while a drag runs: one frame
constexpr int32_t kIdleLoopWaitMs = 250; // the longest wait without timers: a missed wake costs no more

void runLoopStep(Ui& ui);                                         // one wait, translate, pump and present
int32_t runMessageLoop(Ui& ui);                                   // until postQuit; its exit code
bool runModalLoop(Ui& ui, const std::function<bool()>& hasEnded); // false when a quit ended it first

} // namespace pf
