// The time-line view's layout (386), the title of its frame and the placeholder cursors of the story board's
// splitter (390) and of its markers and the ruler's handle (392). Registered at start-up, before any window exists.
#include <string>
#include <vector>

#include "designer/eventedit/story_board.h"
#include "designer/eventedit/storyboard_texts.h"
#include "designer/eventedit/timeline_frame.h"
#include "platform/base/user_constants.h"
#include "platform/gfx/icon.h"
#include "platform/ui/core/resources.h"

namespace {

using namespace pf;

constexpr int32_t kCursorSide = 32;
constexpr uint32_t kInk = 0xFF000000u;
constexpr uint32_t kPaper = 0xFFFFFFFFu;

// A 32 x 32 cursor of black strokes with a white rim, its hot spot at the centre. `strokes` lists the inked
// pixels; the rim is every pixel next to one.
IconRef CursorOf(const std::vector<Rect>& strokes)
{
    std::vector<uint32_t> argb(kCursorSide * kCursorSide, 0);
    std::vector<uint8_t> mask(kCursorSide * kCursorSide, 1);
    const auto at = [](int32_t x, int32_t y) { return static_cast<size_t>(y) * kCursorSide + x; };
    for (const Rect& s : strokes)
        for (int32_t y = s.t - 1; y <= s.b; ++y)
            for (int32_t x = s.l - 1; x <= s.r; ++x)
                if (x >= 0 && y >= 0 && x < kCursorSide && y < kCursorSide && mask[at(x, y)] != 0) {
                    argb[at(x, y)] = kPaper;
                    mask[at(x, y)] = 0;
                }
    for (const Rect& s : strokes)
        for (int32_t y = s.t; y < s.b; ++y)
            for (int32_t x = s.l; x < s.r; ++x)
                argb[at(x, y)] = kInk;
    return Icon::create(kCursorSide, kCursorSide, std::move(argb), std::move(mask), {16, 16});
}

void RegisterCursors()
{
    // The splitter: two bars with arrows out to either side.
    resources().addCursor(kSplitterCursor, CursorOf({{14, 8, 15, 25},
                                                     {17, 8, 18, 25},
                                                     {6, 16, 13, 17},
                                                     {19, 16, 26, 17},
                                                     {7, 15, 8, 18},
                                                     {8, 14, 9, 19},
                                                     {24, 15, 25, 18},
                                                     {23, 14, 24, 19}}));
    // A marker or the handle: one bar with arrows out to either side.
    resources().addCursor(kMarkerCursor, CursorOf({{16, 6, 17, 27},
                                                   {8, 16, 15, 17},
                                                   {18, 16, 25, 17},
                                                   {9, 15, 10, 18},
                                                   {10, 14, 11, 19},
                                                   {23, 15, 24, 18},
                                                   {22, 14, 23, 19}}));
}

void RegisterTimelineView()
{
    constexpr uint32_t kStatic = SS_NOTIFY; // the board and the ruler take the mouse
    registerTemplate({kTimelineViewId,
                      "",
                      {640, 300},
                      WS_CHILD,
                      {
                          {"static", -1, {8, 10, 48, 26}, 0, "Zoom:"},
                          {"edit", 1004, {50, 8, 104, 28}, WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL, ""},
                          {"updown", 1347, {104, 8, 120, 28}, UDS_SETBUDDYINT | UDS_ALIGNRIGHT, ""},
                          {"static", -1, {124, 10, 140, 26}, 0, "%"},
                          {"static", 1024, {112, 36, 616, 60}, kStatic, ""},
                          {"static", 1003, {8, 62, 616, 276}, kStatic, ""},
                          {"scrollbar", 1018, {616, 62, 632, 276}, SBS_VERT, ""},
                          {"scrollbar", 1175, {8, 276, 616, 292}, 0, ""},
                      }});
}

struct StoryBoardTemplates {
    StoryBoardTemplates()
    {
        resources().addString(kIdsTimelineTitle, "Time Line View for event \"%s\"");
        RegisterCursors();
        RegisterTimelineView();
    }
};
const StoryBoardTemplates kStoryBoardTemplates;

} // namespace

std::string StoryBoardTextOf(uint32_t id)
{
    return pf::resources().string(id).value_or(std::string());
}
