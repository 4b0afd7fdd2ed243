#include "platform/ui/core/message_loop.h"

#include "platform/ui/core/ui.h"

#include <algorithm>

namespace pf {

namespace {

int32_t waitBudgetMs(const Ui& ui)
{
    if (ui.pendingPostCount() > 0)
        return 0;
    const int32_t ceiling = ui.capture() != kNoWindow ? kBusyLoopWaitMs : kIdleLoopWaitMs;
    const int32_t timer = ui.msUntilNextTimer();
    return timer < 0 ? ceiling : std::min(timer, ceiling);
}

} // namespace

void runLoopStep(Ui& ui)
{
    DisplayBackend& backend = ui.backend();
    backend.waitForInput(ui, waitBudgetMs(ui));
    ui.pump();
    backend.present();
}

int32_t runMessageLoop(Ui& ui)
{
    while (!ui.quitCode().has_value())
        runLoopStep(ui);
    return *ui.quitCode();
}

bool runModalLoop(Ui& ui, const std::function<bool()>& hasEnded)
{
    ui.backend().present();
    while (!hasEnded()) {
        if (ui.quitCode().has_value())
            return false;
        runLoopStep(ui);
    }
    return true;
}

} // namespace pf
