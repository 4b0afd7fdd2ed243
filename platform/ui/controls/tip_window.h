#pragma once
// The tip: one small borderless window of the "tooltip" class that shows a text whole where a control had to cut it
// with "...". One at a time in a Ui; it takes no input, never the focus, and sits just below the cut text, off the
// pointer, so that the control keeps its mouse. The control that showed it hides it when the pointer leaves.
#include "platform/ui/core/window.h"

#include <optional>
#include <string>
#include <string_view>

namespace pf {

class TipWindow final : public Window {
public:
    // Shows text for over, below screenCell (where the cut text is); replaces any tip shown.
    static void show(Window& over, const Rect& screenCell, std::string_view text);
    static void hide(const Window* over = nullptr); // null: whichever shows; else only the tip shown for over
    static std::optional<std::string> shownText();  // nullopt: none shows
    static std::optional<Rect> shownRect();         // screen coordinates

protected:
    LResult handle(const Msg& msg) override;
};

// Called as the pointer moves over text drawn in cell (over's client coordinates) with room pixels for it: when the
// text does not fit, the tip shows it whole until the pointer leaves over (a control hides it on kMsgMouseLeave;
// another window does so in its own handler); otherwise no tip for over shows.
void offerWholeText(Window& over, const Rect& cell, std::string_view text, int32_t room);

} // namespace pf
