// SdlBackend: a termination signal handed to the program's windows as their close boxes would hand it.
#include "platform/base/user_constants.h"
#include "platform/live/sdl_backend.h"
#include "platform/ui/core/ui.h"

#include <vector>

namespace pf {

void SdlBackend::requestClose()
{
    m_closeRequested = true;
    m_askedToClose.clear();
}

// The program is asked as its windows' close boxes would ask it, so that it decides how to end (and may ask about
// unsaved work first): every application window shown here, topmost first, gets WM_CLOSE, once. A window waiting
// for its modal dialog is disabled and left out while the dialog is asked. The request holds until it has reached a
// window without an owner: a signal during start-up, before the main window shows, or while a question holds it
// disabled, reaches it as soon as it can take it, rather than ending with the question it closed.
void SdlBackend::deliverCloseRequest(Ui& target)
{
    if (endOpenMenus(target)) {
        wake(); // asked at the next step, once the menu's loop has ended
        return;
    }
    bool reachedMainWindow = false;
    for (const Hwnd hwnd : target.topLevels()) {
        const auto shown = m_shown.find(hwnd);
        if (shown == m_shown.end())
            continue;
        const TopLevelKind kind = shown->second.state.kind;
        const Window* w = target.window(hwnd);
        if ((kind != TopLevelKind::kFramed && kind != TopLevelKind::kBorderless) || w == nullptr || !w->isEnabled() ||
            !m_askedToClose.insert(hwnd).second)
            continue;
        target.post(hwnd, WM_CLOSE);
        reachedMainWindow = reachedMainWindow || shown->second.state.owner == kNoWindow;
    }
    if (reachedMainWindow) {
        m_closeRequested = false;
        m_askedToClose.clear();
    }
}

// An open menu runs a loop of its own that holds the capture and the keys: a question the close asked under it took
// neither, and its Escape went to the menu, taking the question and the close with it. A menu whose window goes ends
// its loop with nothing chosen.
bool SdlBackend::endOpenMenus(Ui& target)
{
    std::vector<Hwnd> menus;
    for (const Hwnd hwnd : target.topLevels())
        if (const Window* w = target.window(hwnd); w != nullptr && w->className() == "popupmenu")
            menus.push_back(hwnd);
    for (const Hwnd hwnd : menus)
        if (Window* w = target.window(hwnd))
            w->destroy();
    return !menus.empty();
}

} // namespace pf
