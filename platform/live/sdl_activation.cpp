// SdlBackend: the keyboard follows the window the tree makes active, also when that window stays below others.
#include "platform/live/sdl_backend.h"
#include "platform/live/x_window.h"
#include "platform/ui/core/ui.h"

#include <SDL.h>

#include <utility>

namespace pf {

// A window the program makes active below the topmost (a frame activated from a window it owns, by F10 or F6 in an
// editor, stays below that window) takes the keyboard: otherwise the server, and a window manager's active caption,
// stay with the editor while the tree sends the keys to the frame, whose selected menu bar then waits for arrows that
// never reach it. The topmost made active again takes it back. Asked only when the active window changes, so that
// nothing fights a window manager that has since given the keyboard elsewhere; where the topmost is made active the
// topmost's own hand-over (syncTopLevels) decides, as it always has.
void SdlBackend::keyboardFollowsActivation(Hwnd topmost)
{
    const Hwnd active = hasUi() ? ui().activeWindow() : kNoWindow;
    if (std::exchange(m_syncedActive, active) == active || m_adoptingFocus)
        return;
    const bool below = active != topmost;
    if (!below && !std::exchange(m_keyboardBelowTop, false))
        return;
    m_keyboardBelowTop = below;
    m_keyboardFollows = active;
    giveFollowedKeyboard();
}

// Handed over once the chord that moved the activation is let go: a window that loses the keyboard while Alt is held
// makes SDL let Alt go there and press it again in the window that gains it, and that second Alt closed the menu
// Alt+F had just opened. Asked only of a window that lacks it: asked again at each step, it would take the keyboard
// back from a menu the window opens meanwhile.
void SdlBackend::giveFollowedKeyboard()
{
    if (m_keyboardFollows == kNoWindow || (SDL_GetModState() & (KMOD_CTRL | KMOD_SHIFT | KMOD_ALT | KMOD_GUI)) != 0)
        return;
    const Hwnd hwnd = std::exchange(m_keyboardFollows, kNoWindow);
    const auto it = m_shown.find(hwnd);
    if (it == m_shown.end() || !hasUi() || ui().activeWindow() != hwnd || !takesKeyboard(it->second.state.kind) ||
        !it->second.state.enabled || m_keyboardWanted == hwnd)
        return;
    if (m_x == nullptr || inputFocus(m_x) != it->second.xWindow)
        giveKeyboard(hwnd);
}

} // namespace pf
