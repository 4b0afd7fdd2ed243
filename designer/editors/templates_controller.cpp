// The controller editor's layouts: the host (381) and its motion pages, XYZ (382), key-frame play (384), track
// target (385), key-frame jump (432), vertex play (434), vertex jump (443) and speech (154), with their texts. A page
// is placed 5 pixels right of and 50 below the host's top-left corner and is as tall as the host grows for it.
// Registered at start-up, before any window exists.
#include <string>
#include <vector>

#include "designer/editors/controller_texts.h"
#include "designer/workspace/movable_target_picker.h"
#include "designer/workspace/value_generator.h"
#include "platform/base/user_constants.h"
#include "platform/ui/core/resources.h"

namespace {

using namespace pf;

constexpr uint32_t kTab = WS_TABSTOP;
constexpr uint32_t kEdit = WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL;
constexpr int32_t kPageWidth = 410;

void RegisterTexts()
{
    ResourceRegistry& r = resources();
    r.addString(kIdsControllerTitle, "Controller Details");
    r.addString(kIdsRotateTitle, "Rotate XYZ Details");
    r.addString(kIdsTranslateTitle, "Translate XYZ Details");
    r.addString(kIdsScaleTitle, "Scale XYZ Details");
    r.addString(kIdsKeyFramePlayTitle, "Key-frame Animation Play Details");
    r.addString(kIdsKeyFrameJumpTitle, "Key-frame Animation Jump Details");
    r.addString(kIdsVertexPlayTitle, "Vertex Animation Play Details");
    r.addString(kIdsVertexJumpTitle, "Vertex Animation Jump Details");
    r.addString(kIdsTrackTargetTitle, "Rotation Align Details");
    r.addString(kIdsRotateGroup, "Rotation");
    r.addString(kIdsTranslateGroup, "Translation");
    r.addString(kIdsScaleGroup, "Scale");
    r.addString(kIdsNoNode, "(no node)");
    r.addString(kIdsNoTarget, "(no target)");
    r.addString(kIdsRepeatRange, "Please enter a whole number of repeats from 1 up to 2147483647.");
}

void RegisterHost()
{
    registerTemplate({381,
                      "Controller Details",
                      {420, 172},
                      WS_POPUP | WS_CAPTION,
                      {
                          {"button", 1452, {4, 2, 416, 48}, BS_GROUPBOX, "Coordinate frame"},
                          {"combobox", 1376, {12, 18, 132, 40}, kTab | CBS_DROPDOWNLIST, ""},
                          {"static", 1390, {138, 22, 256, 38}, 0, ""},
                          {CVTND_MovableTargetPicker::kClassName, 1003, {258, 14, 288, 44}, kTab, ""},
                          {"button", 1375, {292, 18, 314, 40}, kTab, "..."},
                          {"button", 1369, {294, 12, 414, 28}, kTab | BS_AUTOCHECKBOX, "Own pivot"},
                          {"button", 1370, {294, 28, 414, 44}, kTab | BS_AUTOCHECKBOX, "Actual frame only"},
                          {"static", 1354, {10, 58, 70, 74}, 0, "Duration:"},
                          {"edit", 1004, {74, 56, 180, 76}, kEdit, ""},
                          {"updown", 1348, {180, 56, 196, 76}, 0, ""},
                          {"static", 1355, {200, 58, 220, 74}, 0, "ms"},
                          {"button", 1373, {10, 84, 70, 100}, kTab | WS_GROUP | BS_AUTORADIOBUTTON, "Loop"},
                          {"button", 1374, {74, 84, 140, 100}, BS_AUTORADIOBUTTON, "Repeat:"},
                          {"edit", 1173, {144, 82, 200, 102}, kEdit, ""},
                          {"button", 1188, {220, 84, 300, 100}, kTab | BS_AUTOCHECKBOX, "Oscillate"},
                          {"static", 1357, {10, 112, 70, 128}, 0, "Preview:"},
                          {"trackbar", 1352, {74, 108, 300, 132}, kTab, ""},
                          {"edit", 1174, {304, 110, 360, 130}, WS_BORDER | ES_READONLY | ES_AUTOHSCROLL, ""},
                          {"static", 1356, {364, 112, 384, 128}, 0, "ms"},
                          {"button", IDOK, {330, 140, 410, 164}, kTab | BS_DEFPUSHBUTTON, "Close"},
                      }});
}

void RegisterXyzPage()
{
    registerTemplate({382,
                      "",
                      {kPageWidth, 126},
                      WS_CHILD,
                      {
                          {"button", 1353, {2, 2, 406, 124}, BS_GROUPBOX, "Rotation"},
                          {"static", 1359, {12, 24, 30, 40}, 0, "X:"},
                          {CVTND_ValueGenerator::kClassName, 1004, {34, 20, 210, 42}, kTab, ""},
                          {"static", 1360, {12, 54, 30, 70}, 0, "Y:"},
                          {CVTND_ValueGenerator::kClassName, 1005, {34, 50, 210, 72}, kTab, ""},
                          {"static", 1361, {12, 84, 30, 100}, 0, "Z:"},
                          {CVTND_ValueGenerator::kClassName, 1006, {34, 80, 210, 102}, kTab, ""},
                          {"static", 1362, {226, 24, 276, 40}, 0, "Order:"},
                          {"combobox", 1002, {280, 20, 396, 42}, kTab | CBS_DROPDOWNLIST, ""},
                          {"button", 1012, {226, 54, 320, 70}, kTab | WS_GROUP | BS_AUTORADIOBUTTON, "Absolute"},
                          {"button", 1013, {226, 76, 320, 92}, BS_AUTORADIOBUTTON, "Relative"},
                      }});
}

void RegisterTrackTargetPage()
{
    registerTemplate({385,
                      "",
                      {kPageWidth, 136},
                      WS_CHILD,
                      {
                          {"button", 1353, {2, 2, 406, 134}, BS_GROUPBOX, "Target"},
                          {CVTND_MovableTargetPicker::kClassName, 1003, {12, 20, 44, 52}, kTab, ""},
                          {"static", 1358, {52, 28, 396, 44}, 0, ""},
                          {"static", -1, {12, 66, 80, 82}, 0, "Aim axis:"},
                          {"button", 1012, {84, 66, 150, 82}, kTab | WS_GROUP | BS_AUTORADIOBUTTON, "X"},
                          {"button", 1013, {154, 66, 220, 82}, BS_AUTORADIOBUTTON, "Y"},
                          {"button", 1014, {224, 66, 290, 82}, BS_AUTORADIOBUTTON, "Z"},
                          {"button", 1385, {12, 96, 200, 112}, kTab | BS_AUTOCHECKBOX, "Invert"},
                      }});
}

void RegisterSpeechPage()
{
    registerTemplate({154,
                      "",
                      {kPageWidth, 126},
                      WS_CHILD,
                      {
                          {"button", 1353, {2, 2, 406, 124}, BS_GROUPBOX, "Lip-sync speech"},
                          {"static", -1, {12, 24, 120, 40}, 0, "Speech script:"},
                          {"edit", 1004, {124, 20, 396, 42}, WS_BORDER | ES_READONLY, ""},
                          {"static", -1, {12, 54, 120, 70}, 0, "Animated node:"},
                          {"edit", 1005, {124, 50, 396, 72}, WS_BORDER | ES_READONLY, ""},
                          {"static", -1, {12, 84, 120, 100}, 0, "Second node:"},
                          {"edit", 1006, {124, 80, 396, 102}, WS_BORDER | ES_READONLY, ""},
                      }});
}

// The frame bars and their edits, one row each.
void AddFrameRow(std::vector<ControlDef>& controls, int32_t top, const char* label, int32_t bar, int32_t edit)
{
    controls.push_back({"static", -1, {12, top + 2, 110, top + 18}, 0, label});
    controls.push_back({"scrollbar", bar, {114, top + 2, 330, top + 18}, kTab, ""});
    controls.push_back({"edit", edit, {334, top, 396, top + 20}, kEdit, ""});
}

void RegisterKeyframePages()
{
    std::vector<ControlDef> play = {
        {"button", 1353, {2, 2, 406, 214}, BS_GROUPBOX, "Key-frame animation"},
        {"static", -1, {12, 22, 110, 38}, 0, "Animation:"},
        {"combobox", 1257, {114, 18, 396, 40}, kTab | CBS_DROPDOWNLIST, ""},
        {"static", -1, {12, 52, 110, 68}, 0, "Transition (ms):"},
        {"edit", 1258, {114, 48, 180, 68}, kEdit, ""},
        {"button", 1205, {190, 50, 330, 66}, kTab | BS_AUTOCHECKBOX, "Extend time to (ms):"},
        {"edit", 1206, {334, 48, 396, 68}, kEdit, ""},
    };
    AddFrameRow(play, 80, "Start frame:", 1078, 1079);
    AddFrameRow(play, 108, "End frame:", 1081, 1082);
    play.push_back({"button", 1104, {12, 140, 200, 156}, kTab | BS_AUTOCHECKBOX, "Apply to children"});
    play.push_back({"button", 1188, {12, 162, 200, 178}, kTab | BS_AUTOCHECKBOX, "Reset orientation"});
    play.push_back({"button", 1187, {12, 184, 200, 200}, kTab | BS_AUTOCHECKBOX, "Reset position"});
    registerTemplate({384, "", {kPageWidth, 216}, WS_CHILD, play});

    std::vector<ControlDef> jump = {
        {"button", 1353, {2, 2, 406, 134}, BS_GROUPBOX, "Key-frame jump"},
        {"static", -1, {12, 22, 110, 38}, 0, "Animation:"},
        {"combobox", 1257, {114, 18, 396, 40}, kTab | CBS_DROPDOWNLIST, ""},
        {"static", -1, {12, 52, 110, 68}, 0, "Transition (ms):"},
        {"edit", 1258, {114, 48, 180, 68}, kEdit, ""},
    };
    AddFrameRow(jump, 80, "Frame:", 1081, 1082);
    jump.push_back({"button", 1104, {12, 108, 200, 124}, kTab | BS_AUTOCHECKBOX, "Apply to children"});
    registerTemplate({432, "", {kPageWidth, 136}, WS_CHILD, jump});

    std::vector<ControlDef> vertexPlay = {
        {"button", 1353, {2, 2, 406, 214}, BS_GROUPBOX, "Vertex animation"},
        {"static", -1, {12, 22, 110, 38}, 0, "Time offset (ms):"},
        {"edit", 1258, {114, 18, 180, 38}, kEdit, ""},
        {"button", 1205, {190, 20, 330, 36}, kTab | BS_AUTOCHECKBOX, "Extend time to (ms):"},
        {"edit", 1206, {334, 18, 396, 38}, kEdit, ""},
    };
    AddFrameRow(vertexPlay, 50, "Start frame:", 1078, 1079);
    AddFrameRow(vertexPlay, 78, "End frame:", 1081, 1082);
    vertexPlay.push_back({"button", 1104, {12, 110, 200, 126}, kTab | BS_AUTOCHECKBOX, "Apply to children"});
    registerTemplate({434, "", {kPageWidth, 216}, WS_CHILD, vertexPlay});

    std::vector<ControlDef> vertexJump = {
        {"button", 1353, {2, 2, 406, 114}, BS_GROUPBOX, "Vertex jump"},
        {"static", -1, {12, 22, 110, 38}, 0, "Time offset (ms):"},
        {"edit", 1258, {114, 18, 180, 38}, kEdit, ""},
    };
    AddFrameRow(vertexJump, 50, "Frame:", 1081, 1082);
    vertexJump.push_back({"button", 1104, {12, 82, 200, 98}, kTab | BS_AUTOCHECKBOX, "Apply to children"});
    registerTemplate({443, "", {kPageWidth, 116}, WS_CHILD, vertexJump});
}

struct ControllerTemplates {
    ControllerTemplates()
    {
        RegisterTexts();
        RegisterHost();
        RegisterXyzPage();
        RegisterTrackTargetPage();
        RegisterSpeechPage();
        RegisterKeyframePages();
    }
};
const ControllerTemplates kControllerTemplates;

} // namespace

std::string ControllerTextOf(uint32_t id)
{
    return pf::resources().string(id).value_or(std::string());
}
