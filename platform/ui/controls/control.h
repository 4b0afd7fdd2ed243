#pragma once
// What every standard control shares: notifying its parent, asking the parent for colours, the sunken well and
// etched text of the classic look, and the rule that code running after a notification stops when the control died
// in it.
#include "platform/base/color.h"
#include "platform/ui/core/window.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pf {

class Dc;

// Enter on a list view or tree view: a WM_NOTIFY its owner takes as it takes NM_DBLCLK on the item with the focus.
constexpr int32_t NM_RETURN = -4;

class Control : public Window {
public:
    // Notifications reach the parent synchronously; both answer 0 when there is no parent.
    LResult notifyCommand(int32_t code); // WM_COMMAND(id | code << 16, handle)
    LResult notify(NMHDR& header);       // WM_NOTIFY(id, &header); fills hwndFrom, idFrom

protected:
    LResult handle(const Msg& msg) override;
    // The life token: false once the window died in a handler. Static, so that asking touches nothing of a
    // dead object.
    static bool isAlive(Hwnd self, const Window* object);
    ColorRef textColor() const; // grey when disabled
    // Asks the parent for WM_CTLCOLORSTATIC (or another WM_CTLCOLOR*) and fills the background as answered:
    // a brush fills, a hollow brush leaves it alone, no answer fills `fallback`.
    void fillBackground(Dc& dc, const Rect& r, uint32_t ctlColorMessage, ColorRef fallback);
    // One line of text in r: 0 left, 1 centre, 2 right; a text too wide is cut and ends with "...".
    void drawText(Dc& dc, const Rect& r, std::string_view text, uint32_t align);
    // The tip for text cut in cell, as pf::offerWholeText; the control hides it when the pointer leaves.
    void offerWholeText(const Rect& cell, std::string_view text, int32_t room);
    // Text on the button face: as drawText, but etched when the control is disabled.
    void drawFaceText(Dc& dc, const Rect& r, std::string_view text, uint32_t align);
    // The sunken well of edits and lists, drawn over what the client shows. A WS_BORDER control's frame holds the
    // outer ring and its client the inner one; without WS_BORDER both lie in the client. Returns what is inside.
    Rect drawClientEdge(Dc& dc);
    void paintNonClient(Dc& dc) override; // a WS_BORDER control's border is the outer ring of its well
    bool takesFocusOnClick() const { return true; }
};

// text as it fits in width pixels: whole, or as many of its bytes as fit before "..." (a code point is never split).
std::string fitWithEllipsis(const Dc& dc, std::string_view text, int32_t width);

// The controls of `member`'s group: from the nearest WS_GROUP sibling at or before it up to the next WS_GROUP one.
std::vector<Window*> groupOf(Window& member);

// Where a list's navigation key (Up, Down, Page Up, Page Down, Home, End) takes the selection from row `current`
// (-1: none) among rows 0 to last, a page being `page` rows; nullopt for other keys and for an empty list.
std::optional<int32_t> navigationTarget(uint32_t key, int32_t current, int32_t page, int32_t last);

} // namespace pf
