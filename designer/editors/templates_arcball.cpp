// The dialog layout of the arcball editor (414), with the names of the button functions and frames. Registered at
// start-up, before any window exists.
#include <string>

#include "designer/editors/tooltip_texts.h"
#include "platform/base/user_constants.h"
#include "platform/ui/core/resources.h"

namespace {

using namespace pf;

constexpr uint32_t kStop = WS_TABSTOP;
constexpr uint32_t kEdit = WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL;
constexpr uint32_t kCombo = WS_TABSTOP | CBS_DROPDOWNLIST;
constexpr uint32_t kCheck = WS_TABSTOP | BS_AUTOCHECKBOX;

void RegisterTexts()
{
    ResourceRegistry& r = resources();
    const char* const functions[] = {"Rotate X",     "Rotate Y",     "Rotate Z",      "Rotate XY",     "Translate X",
                                     "Translate Y",  "Translate Z",  "Translate XY",  "Translate XZ",  "Translate YZ",
                                     "Rotate -X",    "Rotate -Y",    "Rotate -Z",     "Rotate -XY",    "Translate -X",
                                     "Translate -Y", "Translate -Z", "Translate -XY", "Translate -XZ", "Translate -YZ",
                                     "None"};
    for (uint32_t i = 0; i < 21; ++i)
        r.addString(kIdsArcballFunctionFirst + i, functions[i]);
    const char* const frames[] = {"Own", "Parent", "World", "Camera", "Target"};
    for (uint32_t i = 0; i < 5; ++i)
        r.addString(kIdsArcballFrameFirst + i, frames[i]);
    r.addString(kIdsArcballNoTarget, "(none)");
}

void RegisterArcballEditor()
{
    registerTemplate({414,
                      "Mouse Arcball",
                      {420, 330},
                      WS_POPUP | WS_CAPTION,
                      {
                          {"button", -1, {4, 4, 416, 104}, BS_GROUPBOX, "Mouse buttons"},
                          {"static", -1, {12, 24, 100, 40}, 0, "Left button"},
                          {"combobox", 1293, {104, 20, 260, 380}, kCombo, ""},
                          {"static", -1, {12, 50, 100, 66}, 0, "Middle button"},
                          {"combobox", 1264, {104, 46, 260, 406}, kCombo, ""},
                          {"static", -1, {12, 76, 100, 92}, 0, "Right button"},
                          {"combobox", 1263, {104, 72, 260, 432}, kCombo, ""},
                          {"static",
                           -1,
                           {268, 22, 410, 98},
                           0,
                           "On a two-button mouse, press left and right together for the middle button."},
                          {"button", -1, {4, 110, 416, 196}, BS_GROUPBOX, "Coordinate frame"},
                          {"combobox", 1376, {12, 128, 130, 300}, kCombo, ""},
                          {"button", 1124, {140, 128, 260, 146}, kCheck, "Use own pivot"},
                          {"button", 1125, {140, 150, 260, 168}, kCheck, "Use actual frame"},
                          {"edit", 1390, {268, 128, 370, 148}, WS_BORDER | ES_READONLY | ES_AUTOHSCROLL, "", false},
                          {"CVTND_MovableTargetPicker", 1003, {374, 124, 408, 158}, 0, "", false},
                          {"button", -1, {4, 202, 416, 250}, BS_GROUPBOX, "Translation sensitivity (%)"},
                          {"static", 1359, {12, 222, 24, 238}, 0, "X"},
                          {"edit", 1344, {26, 220, 96, 240}, kEdit | ES_NUMBER, ""},
                          {"static", 1360, {110, 222, 122, 238}, 0, "Y"},
                          {"edit", 1345, {124, 220, 194, 240}, kEdit | ES_NUMBER, ""},
                          {"static", 1361, {208, 222, 220, 238}, 0, "Z"},
                          {"edit", 1346, {222, 220, 292, 240}, kEdit | ES_NUMBER, ""},
                          {"button", 1187, {8, 258, 200, 276}, kCheck, "Keep rotating after release"},
                          {"static", -1, {208, 260, 300, 276}, 0, "Friction (ms)"},
                          {"edit", 1171, {302, 256, 380, 276}, kEdit, ""},
                          {"button", 1193, {8, 282, 300, 300}, kCheck, "Deactivate all other running arcballs"},
                          {"button", IDOK, {330, 298, 412, 322}, kStop | BS_DEFPUSHBUTTON, "Close"},
                      }});
}

struct ArcballTemplates {
    ArcballTemplates()
    {
        RegisterTexts();
        RegisterArcballEditor();
    }
};
const ArcballTemplates kArcballTemplates;

} // namespace
