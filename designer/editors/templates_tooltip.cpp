// The dialog layouts of the tooltip editor (457), the particle system editor (433) and the sound editor (118), with
// their texts. Registered at start-up, before any window exists.
#include <string>

#include "designer/workspace/tooltip_texts.h"
#include "platform/base/user_constants.h"
#include "platform/ui/core/resources.h"

namespace {

using namespace pf;

constexpr uint32_t kStop = WS_TABSTOP;
constexpr uint32_t kEdit = WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL;
constexpr uint32_t kShownEdit = WS_BORDER | ES_AUTOHSCROLL | ES_READONLY;
constexpr uint32_t kSpin = UDS_ALIGNRIGHT | UDS_SETBUDDYINT | UDS_ARROWKEYS | UDS_NOTHOUSANDS;

void RegisterTexts()
{
    ResourceRegistry& r = resources();
    r.addString(kIdsSoundStereo, "Stereo, ");
    r.addString(kIdsSoundMono, "Mono, ");
    r.addString(kIdsSound16Bit, "16-bit, ");
    r.addString(kIdsSound8Bit, "8-bit, ");
    r.addString(kIdsSoundOtherBits, "%d-bit, ");
    r.addString(kIdsSoundFrequency, "sampling rate");
    r.addString(kIdsSeconds, " seconds");
    r.addString(kIdsBytes, " bytes");
    r.addString(kIdsSoundUnreadable, "The sound file cannot be read.");
    r.addString(kIdsParticlesNoNode, "The particle system's node is no longer part of the scene.");
}

void RegisterTooltipEditor()
{
    registerTemplate(
        {457,
         "Tooltip",
         {448, 400},
         WS_POPUP | WS_CAPTION,
         {
             {"static", -1, {8, 10, 60, 26}, 0, "Name:"},
             {"edit", 1179, {64, 8, 216, 28}, kEdit, ""},
             {"static", -1, {8, 36, 60, 52}, 0, "Text:"},
             {"edit", 1004, {8, 54, 216, 150}, kStop | WS_BORDER | WS_VSCROLL | ES_MULTILINE | ES_WANTRETURN, ""},
             {"static", -1, {8, 160, 60, 176}, 0, "Font:"},
             {"CVTND_FontButton", 1164, {64, 156, 216, 184}, kStop, ""},
             {"button", -1, {4, 190, 220, 276}, BS_GROUPBOX, "Colours"},
             {"static", -1, {12, 208, 84, 224}, 0, "Text"},
             {"CVTND_ColorButton", 1208, {86, 206, 116, 226}, kStop, ""},
             {"scrollbar", 1177, {122, 208, 212, 224}, kStop, ""},
             {"static", -1, {12, 240, 84, 256}, 0, "Background"},
             {"CVTND_ColorButton", 1209, {86, 238, 116, 258}, kStop, ""},
             {"scrollbar", 1175, {122, 240, 212, 256}, kStop, ""},
             {"static", -1, {122, 258, 212, 272}, SS_CENTER, "opacity"},
             {"button", -1, {4, 280, 108, 360}, BS_GROUPBOX, "Horizontal"},
             {"button", 1013, {12, 296, 100, 314}, kStop | WS_GROUP | BS_AUTORADIOBUTTON, "Left"},
             {"button", 1015, {12, 316, 100, 334}, BS_AUTORADIOBUTTON, "Centre"},
             {"button", 1014, {12, 336, 100, 354}, BS_AUTORADIOBUTTON, "Right"},
             {"button", -1, {112, 280, 220, 360}, BS_GROUPBOX, "Vertical"},
             {"button", 1016, {120, 296, 212, 314}, kStop | WS_GROUP | BS_AUTORADIOBUTTON, "Top"},
             {"button", 1018, {120, 316, 212, 334}, BS_AUTORADIOBUTTON, "Middle"},
             {"button", 1017, {120, 336, 212, 354}, BS_AUTORADIOBUTTON, "Bottom"},
             {"button", -1, {228, 4, 440, 64}, BS_GROUPBOX, "Margins"},
             {"static", -1, {236, 22, 280, 38}, 0, "Width"},
             {"edit", 1172, {282, 20, 336, 40}, kEdit, ""},
             {"updown", 1347, {336, 20, 352, 40}, kSpin, ""},
             {"static", -1, {236, 42, 280, 58}, 0, "Height"},
             {"edit", 1173, {282, 40, 336, 60}, kEdit, ""},
             {"updown", 1348, {336, 40, 352, 60}, kSpin, ""},
             {"button", -1, {228, 68, 440, 152}, BS_GROUPBOX, "Position"},
             {"button", 1012, {236, 84, 432, 102}, kStop | WS_GROUP | BS_AUTORADIOBUTTON, "At the cursor"},
             {"button", 1363, {236, 104, 332, 122}, BS_AUTORADIOBUTTON, "Fixed at"},
             {"static", -1, {236, 126, 250, 142}, 0, "X"},
             {"edit", 1174, {252, 124, 320, 144}, kEdit, ""},
             {"static", -1, {328, 126, 342, 142}, 0, "Y"},
             {"edit", 1176, {344, 124, 412, 144}, kEdit, ""},
             {"button", -1, {228, 156, 440, 240}, BS_GROUPBOX, "Times (ms)"},
             {"static", -1, {236, 174, 340, 190}, 0, "Show after"},
             {"edit", 1178, {344, 172, 432, 192}, kEdit, ""},
             {"static", -1, {236, 196, 340, 212}, 0, "Fade in"},
             {"edit", 1180, {344, 194, 432, 214}, kEdit, ""},
             {"static", -1, {236, 218, 340, 234}, 0, "Fade out"},
             {"edit", 1181, {344, 216, 432, 236}, kEdit, ""},
             {"static", -1, {228, 246, 440, 262}, 0, "Shown over these objects:"},
             {"listbox", 1000, {228, 264, 440, 334}, kStop | WS_BORDER | WS_VSCROLL | LBS_NOTIFY, ""},
             {"button", 1210, {228, 338, 330, 360}, kStop, "Add / remove..."},
             {"button", IDOK, {260, 368, 346, 392}, kStop | BS_DEFPUSHBUTTON, "OK"},
             {"button", IDCANCEL, {354, 368, 440, 392}, kStop, "Cancel"},
         }});
}

// A colour row of the particle editor: its label, the slider and the edit that shows its value.
void AddColourRow(std::vector<ControlDef>& controls, const char* label, int32_t top, int32_t slider, int32_t edit)
{
    controls.push_back({"static", -1, {12, top + 4, 56, top + 20}, 0, label});
    controls.push_back({"trackbar", slider, {58, top, 236, top + 24}, kStop, ""});
    controls.push_back({"edit", edit, {240, top + 2, 284, top + 22}, kEdit | ES_NUMBER, ""});
}

// A parameter row: its label and the value editor at its right.
void AddParameter(std::vector<ControlDef>& controls, const char* label, int32_t column, int32_t row, int32_t id)
{
    const int32_t left = 300 + column * 250;
    const int32_t top = 8 + row * 28;
    controls.push_back({"static", -1, {left, top + 4, left + 130, top + 20}, 0, label});
    controls.push_back({"CVTND_ValueGenerator", id, {left + 132, top, left + 244, top + 24}, kStop, ""});
}

void RegisterParticleEditor()
{
    std::vector<ControlDef> c;
    c.push_back({"static", -1, {8, 10, 56, 26}, 0, "Name:"});
    c.push_back({"edit", 1004, {58, 8, 288, 28}, kEdit, ""});
    c.push_back({"button", -1, {4, 36, 292, 270}, BS_GROUPBOX, "Colour over a particle's life"});
    c.push_back({"CVTND_Gradient", 1016, {12, 54, 284, 150}, kStop, ""});
    AddColourRow(c, "Red", 158, 1352, 1044);
    AddColourRow(c, "Green", 186, 1359, 1045);
    AddColourRow(c, "Blue", 214, 1360, 1046);
    c.push_back({"CVTND_ColorButton", 1164, {12, 242, 56, 264}, kStop, ""});
    c.push_back({"button", -1, {4, 276, 292, 330}, BS_GROUPBOX, "Test run"});
    c.push_back({"button", 3, {12, 296, 148, 320}, kStop, "Start"});
    c.push_back({"button", 4, {152, 296, 284, 320}, kStop, "Stop"});
    const struct {
        const char* label;
        int32_t id;
    } parameters[] = {
        {"Wobble (deg/s)", 1031},    {"Wobble amplitude (m)", 1032}, {"Initial angle (deg)", 1021},
        {"Death angle (deg)", 1022}, {"Speed range (%)", 1018},      {"Emission speed (m/s)", 1017},
        {"Life time (ms)", 1020},    {"Particle size (m)", 1023},    {"Birth rate (1/s)", 1019},
        {"Gravity (m/s²)", 1024},    {"Spread range", 1026},         {"Friction", 1025},
        {"Opacity", 1033},           {"Time scale", 1034},
    };
    for (int32_t i = 0; i < 14; ++i)
        AddParameter(c, parameters[i].label, i / 7, i % 7, parameters[i].id);
    c.push_back({"button", IDOK, {716 - 88, 306, 796 - 88, 330}, kStop | BS_DEFPUSHBUTTON, "OK"});
    c.push_back({"button", IDCANCEL, {716, 306, 796, 330}, kStop, "Cancel"});
    registerTemplate({433, "Particle System", {804, 338}, WS_POPUP | WS_CAPTION, std::move(c)});
}

void RegisterSoundEditor()
{
    registerTemplate({118,
                      "Sound",
                      {420, 286},
                      WS_POPUP | WS_CAPTION,
                      {
                          {"static", -1, {8, 10, 72, 26}, 0, "Name:"},
                          {"edit", 1048, {76, 8, 412, 28}, kShownEdit, ""},
                          {"static", -1, {8, 36, 72, 52}, 0, "File:"},
                          {"edit", 1321, {76, 34, 412, 54}, kShownEdit, ""},
                          {"static", -1, {8, 62, 72, 78}, 0, "Length:"},
                          {"static", 1049, {76, 62, 230, 78}, 0, ""},
                          {"static", -1, {234, 62, 290, 78}, 0, "Size:"},
                          {"static", 1052, {294, 62, 412, 78}, 0, ""},
                          {"static", -1, {8, 84, 72, 100}, 0, "Format:"},
                          {"static", 1320, {76, 84, 412, 100}, 0, ""},
                          {"CVTND_AudioWaveformCtrl", 1003, {8, 108, 412, 244}, 0, ""},
                          {"button", 1050, {8, 254, 88, 278}, kStop, "Play"},
                          {"button", 1326, {92, 254, 172, 278}, kStop, "Stop"},
                          {"button", IDOK, {332, 254, 412, 278}, kStop | BS_DEFPUSHBUTTON, "Close"},
                      }});
}

struct TooltipTemplates {
    TooltipTemplates()
    {
        RegisterTexts();
        RegisterTooltipEditor();
        RegisterParticleEditor();
        RegisterSoundEditor();
    }
};
const TooltipTemplates kTooltipTemplates;

} // namespace

std::string TooltipTextOf(uint32_t id)
{
    return pf::resources().string(id).value_or(std::string());
}
