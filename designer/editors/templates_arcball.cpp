// The dialog layouts of the arcball editor (414), with the names of the button functions and frames, and of the
// trackball editor (301) with its pages (302, 312), and of the polynomial (182), random (187), waveform (379) and
// property-reference (283) generator dialogs. Registered at start-up, before any
// window exists.
#include <string>
#include <vector>

#include "designer/workspace/tooltip_texts.h"
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
    const char* const tabs[] = {"Left button actions", "Middle button actions", "Right button actions", "Global"};
    for (uint32_t i = 0; i < 4; ++i)
        r.addString(kIdsTrackballTabFirst + i, tabs[i]);
    const char* const channelFunctions[] = {"None",        "Rotate X",    "Rotate Y",    "Rotate Z",
                                            "Translate X", "Translate Y", "Translate Z", "Scale"};
    for (uint32_t i = 0; i < 8; ++i)
        r.addString(kIdsTrackballFunctionFirst + i, channelFunctions[i]);
    r.addString(kIdsTrackballHorizontal, "Horizontal motion");
    r.addString(kIdsTrackballVertical, "Vertical motion");
    const char* const waves[] = {"Sine", "Square wave", "Triangle", "Sawtooth up", "Sawtooth down"};
    for (uint32_t i = 0; i < 5; ++i)
        r.addString(kIdsWaveTypeFirst + i, waves[i]);
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
                          {"combobox", 1293, {104, 20, 260, 42}, kCombo, ""},
                          {"static", -1, {12, 50, 100, 66}, 0, "Middle button"},
                          {"combobox", 1264, {104, 46, 260, 68}, kCombo, ""},
                          {"static", -1, {12, 76, 100, 92}, 0, "Right button"},
                          {"combobox", 1263, {104, 72, 260, 94}, kCombo, ""},
                          {"static", -1, {268, 22, 410, 98}, 0, "Two buttons: left + right"},
                          {"button", -1, {4, 110, 416, 196}, BS_GROUPBOX, "Coordinate frame"},
                          {"combobox", 1376, {12, 128, 130, 150}, kCombo, ""},
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

void RegisterPolynomialDialog()
{
    registerTemplate({182,
                      "Polynomial",
                      {360, 238},
                      WS_POPUP | WS_CAPTION,
                      {
                          {"CVTND_PolynomialCtrl", 1003, {8, 8, 352, 128}, 0, ""},
                          {"static", -1, {8, 140, 90, 156}, 0, "Shape"},
                          {"edit", 1181, {92, 138, 170, 158}, kEdit, ""},
                          {"updown", 1355, {170, 138, 186, 158}, UDS_ALIGNRIGHT | UDS_ARROWKEYS | UDS_SETBUDDYINT, ""},
                          {"static", -1, {8, 166, 90, 182}, 0, "Amplitude"},
                          {"edit", 1182, {92, 164, 186, 184}, kEdit, ""},
                          {"static", -1, {8, 192, 90, 208}, 0, "Offset"},
                          {"edit", 1183, {92, 190, 186, 210}, kEdit, ""},
                          {"button", 1187, {200, 140, 352, 158}, kCheck, "Invert"},
                          {"button", 1188, {200, 166, 352, 184}, kCheck, "Mirror"},
                          {"button", IDOK, {270, 206, 352, 230}, kStop | BS_DEFPUSHBUTTON, "Close"},
                      }});
}

void RegisterRandomDialog()
{
    registerTemplate({187,
                      "Random",
                      {240, 96},
                      WS_POPUP | WS_CAPTION,
                      {
                          {"static", -1, {8, 11, 100, 27}, 0, "Lowest value"},
                          {"edit", 1004, {102, 8, 232, 28}, kEdit, ""},
                          {"static", -1, {8, 37, 100, 53}, 0, "Highest value"},
                          {"edit", 1005, {102, 34, 232, 54}, kEdit, ""},
                          {"button", IDOK, {150, 64, 232, 88}, kStop | BS_DEFPUSHBUTTON, "Close"},
                      }});
}

// A number row of the waveform dialog: its label, the edit and its spin.
void AddNumber(std::vector<ControlDef>& c, const char* label, int32_t left, int32_t top, int32_t edit, int32_t spin,
               int32_t labelId = -1)
{
    constexpr uint32_t kSpinStyle = UDS_ALIGNRIGHT | UDS_ARROWKEYS | UDS_SETBUDDYINT | UDS_NOTHOUSANDS;
    c.push_back({"static", labelId, {left, top + 3, left + 70, top + 19}, 0, label});
    c.push_back({"edit", edit, {left + 72, top, left + 136, top + 20}, kEdit, ""});
    c.push_back({"updown", spin, {left + 136, top, left + 152, top + 20}, kSpinStyle, ""});
}

void RegisterWaveformDialog()
{
    std::vector<ControlDef> c;
    c.push_back({"CVTND_WaveformCtrl", 1003, {8, 8, 512, 138}, 0, ""});
    c.push_back({"static", -1, {8, 150, 70, 166}, 0, "Wave"});
    c.push_back({"combobox", 1002, {72, 146, 220, 168}, kCombo, ""});
    c.push_back({"button", -1, {4, 174, 172, 240}, BS_GROUPBOX, "Start"});
    AddNumber(c, "Time (ms)", 10, 190, 1004, 1348);
    AddNumber(c, "Amplitude", 10, 214, 1172, 1349);
    c.push_back({"button", -1, {176, 174, 344, 240}, BS_GROUPBOX, "Sustain"});
    AddNumber(c, "Time (ms)", 182, 190, 1174, 1351);
    AddNumber(c, "Amplitude", 182, 214, 1176, 1352);
    c.push_back({"button", 1387, {348, 174, 516, 240}, BS_GROUPBOX, "Decay"});
    AddNumber(c, "Time (ms)", 354, 190, 1177, 1353, 1388);
    AddNumber(c, "Amplitude", 354, 214, 1179, 1354, 1389);
    c.push_back({"button", -1, {4, 246, 344, 312}, BS_GROUPBOX, "Wave"});
    AddNumber(c, "Offset", 10, 262, 1181, 1355);
    AddNumber(c, "Phase (deg)", 10, 286, 1183, 1357);
    AddNumber(c, "Period (ms)", 182, 262, 1182, 1356);
    AddNumber(c, "End period", 182, 286, 1184, 1358);
    c.push_back({"button", 1187, {354, 250, 516, 268}, kCheck, "Lock periods"});
    c.push_back({"button", 1193, {354, 270, 516, 288}, kCheck, "Infinite"});
    c.push_back({"button", 1188, {354, 290, 434, 308}, kCheck, "Absolute"});
    c.push_back({"button", 1195, {436, 290, 516, 308}, kCheck, "Positive"});
    c.push_back({"button", IDOK, {434, 318, 516, 342}, kStop | BS_DEFPUSHBUTTON, "Close"});
    registerTemplate({379, "Waveform", {520, 350}, WS_POPUP | WS_CAPTION, std::move(c)});
}

void RegisterTrackballEditor()
{
    registerTemplate({301,
                      "Mouse Trackball",
                      {620, 344},
                      WS_POPUP | WS_CAPTION,
                      {
                          {"tab", 1271, {4, 312, 520, 338}, kStop, ""},
                          {"button", IDOK, {530, 312, 612, 338}, kStop | BS_DEFPUSHBUTTON, "Close"},
                      }});
    constexpr uint32_t kPage = WS_CHILD;
    registerTemplate({302,
                      "",
                      {300, 296},
                      kPage,
                      {
                          {"button", 1117, {0, 0, 300, 296}, BS_GROUPBOX, ""},
                          {"button", kIdsTrackballFunctionGroup, {8, 18, 292, 70}, BS_GROUPBOX, "Function"},
                          {"combobox", 1119, {16, 38, 180, 60}, kCombo, ""},
                          {"button", 1127, {190, 40, 284, 58}, kCheck, "Invert"},
                          {"static", kIdsTrackballSensitivityLabel, {10, 80, 90, 96}, 0, "Sensitivity"},
                          {"edit", 1120, {92, 78, 150, 98}, kEdit, ""},
                          {"static", kIdsTrackballPercentLabel, {154, 80, 170, 96}, 0, "%"},
                          {"button", kIdsTrackballLimitsGroup, {8, 104, 292, 154}, BS_GROUPBOX, "Limits"},
                          {"button", 1123, {16, 124, 70, 142}, kCheck, "Apply"},
                          {"static", 1129, {72, 126, 96, 142}, 0, "Min"},
                          {"edit", 1122, {98, 122, 180, 142}, kEdit, ""},
                          {"static", 1130, {184, 126, 208, 142}, 0, "Max"},
                          {"edit", 1121, {208, 122, 288, 142}, kEdit, ""},
                          {"button", kIdsTrackballReleaseGroup, {8, 158, 292, 206}, BS_GROUPBOX, "On release"},
                          {"button", 1126, {16, 178, 120, 196}, kCheck, "Keep moving"},
                          {"static", 1128, {124, 180, 176, 196}, 0, "Friction"},
                          {"edit", 1171, {178, 176, 240, 196}, kEdit, ""},
                          {"static", 1355, {244, 180, 270, 196}, 0, "ms"},
                          {"button", kIdsTrackballFrameGroup, {8, 210, 292, 288}, BS_GROUPBOX, "Coordinate frame"},
                          {"combobox", 1376, {16, 230, 120, 252}, kCombo, ""},
                          {"button", 1124, {126, 228, 242, 246}, kCheck, "Use own pivot"},
                          {"button", 1125, {126, 250, 242, 268}, kCheck, "Use actual frame"},
                          {"edit", 1390, {16, 258, 120, 278}, WS_BORDER | ES_READONLY | ES_AUTOHSCROLL, "", false},
                          {"CVTND_MovableTargetPicker", 1003, {244, 228, 288, 272}, 0, "", false},
                      }});
    registerTemplate(
        {312,
         "",
         {600, 296},
         kPage,
         {
             {"button", 1141, {8, 8, 292, 26}, kCheck, "Deactivate all other running arcballs"},
             {"button", -1, {4, 34, 296, 100}, BS_GROUPBOX, "Input"},
             {"button", 1139, {12, 52, 290, 70}, kStop | WS_GROUP | BS_AUTORADIOBUTTON, "Follow the mouse movement"},
             {"button", 1140, {12, 72, 290, 90}, BS_AUTORADIOBUTTON, "Follow the distance from the centre"},
             {"button", 1142, {8, 108, 592, 126}, kCheck, "Left and right together act as the middle button"},
         }});
}

void RegisterPropertyDialog()
{
    registerTemplate(
        {283,
         "Property",
         {360, 132},
         WS_POPUP | WS_CAPTION,
         {
             {"static", -1, {8, 8, 352, 24}, 0, "Property to follow (drop one from the Properties panel):"},
             {"edit", 1004, {8, 28, 352, 48}, kEdit, ""},
             {"button", 1012, {8, 58, 352, 76}, kStop | WS_GROUP | BS_AUTORADIOBUTTON, "Its value"},
             {"button", 1013, {8, 78, 352, 96}, BS_AUTORADIOBUTTON, "Its change since the previous step"},
             {"button", IDOK, {270, 102, 352, 126}, kStop | BS_DEFPUSHBUTTON, "Close"},
         }});
}

struct ArcballTemplates {
    ArcballTemplates()
    {
        RegisterTexts();
        RegisterArcballEditor();
        RegisterPolynomialDialog();
        RegisterRandomDialog();
        RegisterWaveformDialog();
        RegisterTrackballEditor();
        RegisterPropertyDialog();
    }
};
const ArcballTemplates kArcballTemplates;

} // namespace
