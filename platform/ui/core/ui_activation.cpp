// Ui: who takes activation, and with it the keyboard, when the active window goes, and which window a disabled one
// waits for.
#include "platform/ui/core/ui.h"

namespace pf {

namespace {

// Owned, directly or through the windows between: a dialog opened from an editor the main window owns.
bool isOwnedBy(const Window& w, const Window& by)
{
    for (const Window* o = w.owner(); o != nullptr; o = o->owner())
        if (o == &by)
            return true;
    return false;
}

} // namespace

Window* Ui::blockingWindowOf(Window& disabled) const
{
    for (const Hwnd h : m_topLevels) {
        Window* w = window(h);
        if (w != nullptr && w != &disabled && w->isVisible() && w->isEnabled() && !w->m_destroying &&
            isOwnedBy(*w, disabled))
            return w;
    }
    return nullptr;
}

// The window the closed one was activated from comes first: a window opened from an editor hands the keys back to
// that editor, not to the main window that owns them both. Then its owner, then the topmost window shown. One that a
// modal dialog keeps disabled hands on to that dialog; one disabled only for the closing window's own modal run
// (its owner, an editor the run disabled) keeps its turn, as the run ends with it.
Window* Ui::activationHeir(Hwnd closed, Hwnd owner) const
{
    const auto shown = [this](Hwnd h) -> Window* {
        Window* w = window(h);
        return w != nullptr && w->m_parent == kNoWindow && w->isVisible() && !w->m_destroying ? w : nullptr;
    };
    Window* next = nullptr;
    // A window of the closed one's own (a panel it put up, which stays while it only hides) is not where the keys
    // came from.
    if (const auto it = m_activatedFrom.find(closed); it != m_activatedFrom.end()) {
        Window* from = shown(it->second);
        const Window* going = window(closed);
        if (from != nullptr && (going == nullptr || !isOwnedBy(*from, *going)))
            next = from;
    }
    if (next == nullptr)
        next = shown(owner);
    for (auto it = m_topLevels.begin(); next == nullptr && it != m_topLevels.end(); ++it)
        next = shown(*it);
    if (next != nullptr && !next->isEnabled())
        if (Window* blocking = blockingWindowOf(*next))
            next = blocking;
    return next;
}

} // namespace pf
