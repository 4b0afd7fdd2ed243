// The dialog layouts and texts of the action editors: the text and flag editors, the queue, the stop controller,
// the condition test and stereo vision. Registered at start-up, before any window exists.
#include <string>
#include <vector>

#include "designer/eventedit/load_world_dlg.h"
#include "designer/workspace/editor_texts.h"
#include "platform/base/user_constants.h"
#include "platform/gfx/icon.h"
#include "platform/ui/core/resources.h"

namespace {

using namespace pf;

constexpr uint32_t kTab = WS_TABSTOP;
constexpr uint32_t kEdit = WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL;
constexpr uint32_t kCheck = WS_TABSTOP | BS_AUTOCHECKBOX;
constexpr uint32_t kList =
    WS_TABSTOP | WS_BORDER | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_SHAREIMAGELISTS;
constexpr uint32_t kDialog = WS_POPUP | WS_CAPTION;

void RegisterTexts()
{
    ResourceRegistry& r = resources();
    r.addString(kIdsHideActionTitle, "Hide Object Details");
    r.addString(kIdsShowActionTitle, "Show Object Details");
    r.addString(kIdsWarningCaption, "Warning");
    r.addString(kIdsNoSuchProperty, "The message was declared to be a property, but no such property exists. "
                                    "Save it anyway?");
    r.addString(kIdsActionColumn, "Action");
    r.addString(kIdsBlockingColumn, "Blocking");
    r.addString(kIdsInterlaced, "Interlaced");
    r.addString(kIdsColorCoding, "Color coding");
    r.addString(kIdsPageSolid, "Solid color");
    r.addString(kIdsPageTexture, "Texture");
    r.addString(kIdsPageLinear, "Linear gradient");
    r.addString(kIdsPageRadial, "Radial gradient");
    r.addString(kIdsPageCorner, "Corner gradient");
    r.addString(kIdsPageChecker, "Small squares");
}

// OK and Cancel at the bottom right of a dialog of that size.
void AddCloseButtons(DialogTemplate& t, const char* ok = "OK")
{
    const int32_t w = t.size.cx;
    const int32_t h = t.size.cy;
    t.controls.push_back({"button", IDOK, {w - 180, h - 34, w - 100, h - 10}, kTab | BS_DEFPUSHBUTTON, ok});
    t.controls.push_back({"button", IDCANCEL, {w - 90, h - 34, w - 10, h - 10}, kTab, "Cancel"});
}

void RegisterTextEditors()
{
    DialogTemplate url{278,
                       "Load URL",
                       {400, 120},
                       kDialog,
                       {
                           {"static", -1, {10, 14, 90, 30}, 0, "URL:"},
                           {"edit", 1004, {94, 12, 390, 32}, kEdit, ""},
                           {"static", -1, {10, 46, 90, 62}, 0, "Target frame:"},
                           {"edit", 1172, {94, 44, 390, 64}, kEdit, ""},
                       }};
    AddCloseButtons(url);
    registerTemplate(url);
    DialogTemplate file{149,
                        "Load Object File",
                        {400, 90},
                        kDialog,
                        {
                            {"static", -1, {10, 14, 90, 30}, 0, "File URL:"},
                            {"edit", 1004, {94, 12, 390, 32}, kEdit, ""},
                        }};
    AddCloseButtons(file);
    registerTemplate(file);
    DialogTemplate message{150,
                           "Send Message to Host",
                           {400, 116},
                           kDialog,
                           {
                               {"static", -1, {10, 14, 90, 30}, 0, "Message:"},
                               {"edit", 1004, {94, 12, 390, 32}, kEdit, ""},
                               {"button", 1187, {94, 42, 390, 60}, kCheck, "The message is a property"},
                           }};
    AddCloseButtons(message);
    registerTemplate(message);
}

void RegisterFlagEditors()
{
    DialogTemplate hide{375,
                        "Hide Object Details",
                        {300, 84},
                        kDialog,
                        {
                            {"button", 1187, {12, 14, 290, 32}, kCheck, "Apply to the children too"},
                        }};
    AddCloseButtons(hide);
    registerTemplate(hide);
    DialogTemplate reset{300,
                         "Reset Object",
                         {300, 130},
                         kDialog,
                         {
                             {"button", 1187, {12, 12, 290, 30}, kCheck, "Reset the orientation"},
                             {"button", 1188, {12, 36, 290, 54}, kCheck, "Reset the position"},
                             {"button", 1193, {12, 60, 290, 78}, kCheck, "Apply to the children too"},
                         }};
    AddCloseButtons(reset);
    registerTemplate(reset);
    DialogTemplate unload{
        462,
        "Unload World",
        {320, 150},
        kDialog,
        {
            {"button", 1187, {12, 12, 310, 30}, kCheck, "Every reference of the world"},
            {"button", -1, {10, 38, 310, 104}, BS_GROUPBOX, "Resources"},
            {"button", 1012, {22, 56, 300, 74}, kTab | WS_GROUP | BS_AUTORADIOBUTTON, "Unload its resources too"},
            {"button", 1013, {22, 78, 300, 96}, BS_AUTORADIOBUTTON, "Keep its resources"},
        }};
    AddCloseButtons(unload, "Close");
    registerTemplate(unload);
    DialogTemplate show{477,
                        "Hide or Show World",
                        {320, 196},
                        kDialog,
                        {
                            {"button", -1, {10, 6, 310, 54}, BS_GROUPBOX, "The world"},
                            {"button", 1012, {22, 24, 150, 42}, kTab | WS_GROUP | BS_AUTORADIOBUTTON, "Hide"},
                            {"button", 1013, {160, 24, 300, 42}, BS_AUTORADIOBUTTON, "Show"},
                            {"button", 1187, {12, 62, 310, 80}, kCheck, "Every reference of the world"},
                            {"button", -1, {10, 86, 310, 150}, BS_GROUPBOX, "Reference"},
                            {"button", 1014, {22, 104, 150, 122}, kTab | WS_GROUP | BS_AUTORADIOBUTTON, "First"},
                            {"button", 1015, {160, 104, 300, 122}, BS_AUTORADIOBUTTON, "Last"},
                        }};
    AddCloseButtons(show, "Close");
    registerTemplate(show);
}

void RegisterQueueAndStopEditors()
{
    DialogTemplate queue{207,
                         "Queue",
                         {360, 300},
                         kDialog,
                         {
                             {"listview", 1001, {10, 10, 350, 200}, kList, ""},
                             {"button", 1187, {10, 208, 200, 226}, kCheck, "Blocking"},
                             {"button", 1188, {200, 208, 350, 226}, kCheck, "Loop"},
                             {"button", 1163, {10, 234, 110, 256}, kTab, "Remove"},
                             {"button", 1208, {120, 234, 230, 256}, kTab, "Parameters..."},
                             {"button", 1165, {240, 234, 350, 256}, kTab, "Details..."},
                             {"button", IDOK, {270, 266, 350, 290}, kTab | BS_DEFPUSHBUTTON, "Close"},
                         }};
    registerTemplate(queue);
    DialogTemplate stop{424,
                        "Stop Controller",
                        {460, 300},
                        kDialog,
                        {
                            {"static", -1, {10, 8, 200, 24}, 0, "Available motions:"},
                            {"listbox", 1000, {10, 26, 200, 200}, WS_TABSTOP | WS_BORDER | LBS_MULTIPLESEL, ""},
                            {"button", 1164, {210, 80, 250, 104}, kTab, "-->"},
                            {"button", 1165, {210, 112, 250, 136}, kTab, "<--"},
                            {"static", -1, {260, 8, 450, 24}, 0, "Motions to interrupt:"},
                            {"listbox", 1002, {260, 26, 450, 200}, WS_TABSTOP | WS_BORDER | LBS_MULTIPLESEL, ""},
                            {"combobox", 1262, {10, 206, 200, 228}, kTab | CBS_DROPDOWNLIST, "", false},
                            {"button", 1187, {10, 236, 450, 254}, kCheck, "Stop all accumulated motions"},
                            {"button", 1193, {10, 258, 300, 276}, kCheck, "Apply to the children too"},
                            {"button", IDOK, {370, 266, 450, 290}, kTab | BS_DEFPUSHBUTTON, "Close"},
                        }};
    registerTemplate(stop);
}

void RegisterConditionAndStereoEditors()
{
    DialogTemplate condition{
        189,
        "Condition Test",
        {520, 420},
        kDialog,
        {
            {"static", -1, {10, 12, 120, 28}, 0, "Property to test:"},
            {"CVTND_PropertyToTest", 1151, {124, 10, 510, 30}, kEdit, ""},
            {"static", -1, {10, 40, 120, 56}, 0, "Compare with:"},
            {"CVTND_PropertyToCompareWith", 1152, {124, 38, 510, 58}, kEdit, ""},
            {"button", -1, {10, 64, 510, 132}, BS_GROUPBOX, "Comparison"},
            {"button", 1160, {20, 82, 130, 100}, kTab | WS_GROUP | BS_AUTORADIOBUTTON, "Equal"},
            {"button", 1161, {140, 82, 260, 100}, BS_AUTORADIOBUTTON, "Not equal"},
            {"button", 1153, {270, 82, 380, 100}, BS_AUTORADIOBUTTON, "Greater"},
            {"button", 1154, {390, 82, 500, 100}, BS_AUTORADIOBUTTON, "Less"},
            {"button", 1155, {20, 106, 170, 124}, BS_AUTORADIOBUTTON, "Greater or equal"},
            {"button", 1156, {180, 106, 320, 124}, BS_AUTORADIOBUTTON, "Less or equal"},
            {"button", 1157, {330, 106, 470, 124}, BS_AUTORADIOBUTTON, "Changes only"},
            {"button", -1, {10, 134, 510, 166}, BS_GROUPBOX, "Fires"},
            {"button", 1168, {20, 146, 250, 162}, kTab | WS_GROUP | BS_AUTORADIOBUTTON, "When it becomes true"},
            {"button", 1169, {260, 146, 500, 162}, BS_AUTORADIOBUTTON, "Whenever it is true"},
            {"static", -1, {10, 174, 250, 190}, 0, "When true:"},
            {"listview", 1162, {10, 192, 255, 340}, kList, ""},
            {"static", -1, {265, 174, 510, 190}, 0, "When false:"},
            {"listview", 1166, {265, 192, 510, 340}, kList, ""},
            {"button", 1163, {10, 348, 110, 370}, kTab, "Remove"},
            {"button", 1164, {120, 348, 230, 370}, kTab, "Parameters..."},
            {"button", 1165, {240, 348, 350, 370}, kTab, "Details..."},
        }};
    AddCloseButtons(condition);
    registerTemplate(condition);
    DialogTemplate stereo{305,
                          "Stereo Vision",
                          {320, 110},
                          kDialog,
                          {
                              {"static", -1, {10, 14, 90, 30}, 0, "Technique:"},
                              {"combobox", 1262, {94, 12, 310, 34}, kTab | CBS_DROPDOWNLIST, ""},
                              {"button", 1187, {12, 44, 310, 62}, kCheck, "Use this stereo feature"},
                          }};
    AddCloseButtons(stereo);
    registerTemplate(stereo);
}

void RegisterPlaySoundEditor()
{
    registerTemplate({314,
                      "Play Sound",
                      {480, 300},
                      kDialog,
                      {
                          {"CVTND_AudioWaveformCtrl", 1003, {10, 10, 470, 110}, WS_BORDER, ""},
                          {"static", -1, {10, 124, 80, 140}, 0, "Start (ms):"},
                          {"edit", 1112, {84, 122, 164, 142}, kEdit, ""},
                          {"trackbar", 1111, {170, 120, 470, 144}, kTab, ""},
                          {"static", -1, {10, 156, 80, 172}, 0, "End (ms):"},
                          {"edit", 1114, {84, 154, 164, 174}, kEdit, ""},
                          {"trackbar", 1113, {170, 152, 470, 176}, kTab, ""},
                          {"static", -1, {10, 188, 80, 204}, 0, "Duration:"},
                          {"edit", 1004, {84, 186, 164, 206}, kEdit | ES_READONLY, ""},
                          {"button", 1115, {10, 216, 90, 234}, kTab | WS_GROUP | BS_AUTORADIOBUTTON, "Loop"},
                          {"button", 1116, {100, 216, 180, 234}, BS_AUTORADIOBUTTON, "Repeat:"},
                          {"edit", 1110, {184, 214, 244, 234}, kEdit, ""},
                          {"button", 1117, {290, 212, 370, 236}, kTab, "Play"},
                          {"button", 1119, {380, 212, 470, 236}, kTab, "Stop"},
                          {"button", IDOK, {390, 266, 470, 290}, kTab | BS_DEFPUSHBUTTON, "Close"},
                      }});
}

// The colour-effect pages: children of their host, placed below its kind combo box.
constexpr uint32_t kPage = WS_CHILD;
ControlDef Preview()
{
    return {"CVTND_TextureViewer", 1003, {8, 8, 136, 136}, WS_BORDER, ""};
}

void RegisterBackgroundEditor()
{
    registerTemplate({510,
                      "Set Background",
                      {420, 300},
                      kDialog,
                      {
                          {"static", -1, {10, 12, 60, 28}, 0, "Kind:"},
                          {"combobox", 1002, {64, 10, 260, 32}, kTab | CBS_DROPDOWNLIST, ""},
                          {"button", 1164, {270, 9, 340, 33}, kTab, "Test"},
                          {"button", IDOK, {330, 266, 410, 290}, kTab | BS_DEFPUSHBUTTON, "OK"},
                      }});
    registerTemplate({511,
                      "",
                      {400, 150},
                      kPage,
                      {
                          {"static", -1, {8, 12, 90, 28}, 0, "Color:"},
                          {"CVTND_ColorButton", 1163, {94, 8, 174, 32}, kTab, ""},
                      }});
    registerTemplate({512,
                      "",
                      {400, 150},
                      kPage,
                      {
                          Preview(),
                          {"combobox", 1002, {148, 8, 392, 30}, kTab | CBS_DROPDOWNLIST, ""},
                          {"button", 1012, {148, 44, 260, 62}, kTab | WS_GROUP | BS_AUTORADIOBUTTON, "Tile"},
                          {"button", 1013, {270, 44, 392, 62}, BS_AUTORADIOBUTTON, "Stretch"},
                      }});
    registerTemplate({513,
                      "",
                      {400, 150},
                      kPage,
                      {
                          Preview(),
                          {"static", -1, {148, 12, 210, 28}, 0, "Start:"},
                          {"CVTND_ColorButton", 1163, {214, 8, 270, 30}, kTab, ""},
                          {"static", -1, {280, 12, 330, 28}, 0, "End:"},
                          {"CVTND_ColorButton", 1164, {334, 8, 390, 30}, kTab, ""},
                          {"button", 1187, {148, 40, 270, 58}, kTab | BS_AUTOCHECKBOX, "Middle:"},
                          {"CVTND_ColorButton", 1165, {274, 38, 330, 60}, kTab, ""},
                          {"trackbar", 1352, {148, 66, 392, 90}, kTab, ""},
                          {"CVTND_AngularInput", 1004, {148, 96, 196, 144}, 0, ""},
                          {"edit", 1171, {206, 110, 266, 130}, kEdit | ES_READONLY, ""},
                          {"static", -1, {270, 112, 330, 128}, 0, "degrees"},
                      }});
    registerTemplate({514,
                      "",
                      {400, 150},
                      kPage,
                      {
                          Preview(),
                          {"static", -1, {148, 12, 210, 28}, 0, "Centre:"},
                          {"CVTND_ColorButton", 1163, {214, 8, 270, 30}, kTab, ""},
                          {"static", -1, {280, 12, 330, 28}, 0, "Outside:"},
                          {"CVTND_ColorButton", 1164, {334, 8, 390, 30}, kTab, ""},
                          {"button", 1187, {148, 40, 270, 58}, kTab | BS_AUTOCHECKBOX, "Middle:"},
                          {"CVTND_ColorButton", 1165, {274, 38, 330, 60}, kTab, ""},
                          {"trackbar", 1352, {148, 66, 392, 90}, kTab, ""},
                          {"CVTND_InPositionInput", 1004, {148, 96, 196, 144}, WS_BORDER, ""},
                          {"edit", 1171, {206, 110, 266, 130}, kEdit | ES_READONLY, ""},
                          {"edit", 1172, {272, 110, 332, 130}, kEdit | ES_READONLY, ""},
                      }});
    registerTemplate({515,
                      "",
                      {400, 150},
                      kPage,
                      {
                          Preview(),
                          {"static", -1, {148, 12, 210, 28}, 0, "First:"},
                          {"CVTND_ColorButton", 1163, {214, 8, 270, 30}, kTab, ""},
                          {"static", -1, {280, 12, 330, 28}, 0, "Second:"},
                          {"CVTND_ColorButton", 1164, {334, 8, 390, 30}, kTab, ""},
                          {"static", -1, {148, 44, 210, 60}, 0, "Size:"},
                          {"edit", 1172, {214, 42, 274, 62}, kEdit, ""},
                          {"edit", 1173, {280, 42, 340, 62}, kEdit, ""},
                          {"CVTND_AngularInput", 1004, {148, 96, 196, 144}, 0, ""},
                          {"edit", 1171, {206, 110, 266, 130}, kEdit, ""},
                          {"static", -1, {270, 112, 330, 128}, 0, "degrees"},
                      }});
    registerTemplate({516,
                      "",
                      {400, 150},
                      kPage,
                      {
                          Preview(),
                          {"CVTND_ColorButton", 1163, {148, 8, 204, 30}, kTab, ""},
                          {"CVTND_ColorButton", 1165, {336, 8, 392, 30}, kTab, ""},
                          {"CVTND_ColorButton", 1164, {148, 114, 204, 136}, kTab, ""},
                          {"CVTND_ColorButton", 1208, {336, 114, 392, 136}, kTab, ""},
                      }});
}

void RegisterLoadWorldEditor()
{
    DialogTemplate load{461, "Load World", {460, 330}, kDialog, {}};
    const char* const kImports[] = {"Meshes",    "Bones",        "Dummy objects", "Particle systems", "Cameras",
                                    "Skin data", "Sounds",       "Cursors",       "Tooltips",         "Events",
                                    "Actions",   "Java actions", "Expressions",   "Resources"};
    const int32_t kIds[] = {1187, 1188, 1193, 1194, 1195, 1196, 1426, 1427, 1428, 1429, 1430, 1431, 1432, 1433};
    load.controls.push_back({"button", -1, {10, 6, 450, 140}, BS_GROUPBOX, "Import"});
    for (int32_t i = 0; i < 14; ++i) {
        const int32_t x = 20 + (i % 3) * 142;
        const int32_t y = 24 + (i / 3) * 22;
        load.controls.push_back({"button", kIds[i], {x, y, x + 138, y + 18}, kCheck, kImports[i]});
    }
    load.controls.push_back({"button", 1434, {10, 148, 220, 166}, kCheck, "Run its start event"});
    load.controls.push_back({"button", 1435, {230, 148, 450, 166}, kCheck, "Run its Java start class"});
    load.controls.push_back({"static", -1, {10, 180, 60, 196}, 0, "Root:"});
    load.controls.push_back({"static", 1436, {64, 180, 250, 196}, 0, ""});
    load.controls.push_back({"CVTND_MovableTargetPicker", 1003, {260, 172, 296, 208}, WS_BORDER, ""});
    load.controls.push_back({"button", 1165, {306, 178, 450, 200}, kTab, "Reset root"});
    load.controls.push_back({"button", 1164, {10, 220, 170, 244}, kTab, "Load and show now"});
    load.controls.push_back({"button", 1166, {180, 220, 340, 244}, kTab, "Reset placement"});
    load.controls.push_back({"button", 1208, {10, 252, 60, 276}, kTab, "Fit"});
    load.controls.push_back({"static", 1377, {66, 256, 220, 272}, 0, "Fit to the scene"});
    load.controls.push_back({"button", 1209, {230, 252, 280, 276}, kTab, "Store"});
    load.controls.push_back({"static", 1378, {286, 256, 450, 272}, 0, "Store as its placement"});
    load.controls.push_back({"button", IDOK, {370, 296, 450, 320}, kTab | BS_DEFPUSHBUTTON, "Close"});
    registerTemplate(load);
}

// The load-world editor's two pictures, 16 pixels a side: Fit, a world grown to the scene's frame; Store, a
// placement put down into its tray.
IconRef TransformPicture(bool store)
{
    constexpr int32_t kSide = 16;
    std::vector<uint32_t> argb(kSide * kSide, 0);
    std::vector<uint8_t> mask(kSide * kSide, 1);
    const auto put = [&](int32_t x, int32_t y, uint32_t colour) {
        argb[static_cast<size_t>(y * kSide + x)] = 0xFF000000u | colour;
        mask[static_cast<size_t>(y * kSide + x)] = 0;
    };
    if (!store) {
        for (int32_t i = 0; i < 4; ++i) { // the scene's frame, by its corners
            for (const int32_t corner : {1, 14}) {
                const int32_t inward = corner == 1 ? i : -i;
                put(corner + inward, 1, 0x404040);
                put(corner + inward, 14, 0x404040);
                put(1, corner + inward, 0x404040);
                put(14, corner + inward, 0x404040);
            }
        }
        for (int32_t i = 0; i < 3; ++i) { // pulled out towards it
            put(3 + i, 3 + i, 0x2050C0);
            put(12 - i, 3 + i, 0x2050C0);
            put(3 + i, 12 - i, 0x2050C0);
            put(12 - i, 12 - i, 0x2050C0);
        }
        for (int32_t y = 6; y <= 9; ++y)
            for (int32_t x = 6; x <= 9; ++x)
                put(x, y, 0x3070E0);
    } else {
        for (int32_t y = 1; y <= 7; ++y) { // the arrow's shaft, then its head
            put(7, y, 0x208030);
            put(8, y, 0x208030);
        }
        for (int32_t i = 0; i < 4; ++i)
            for (int32_t x = 4 + i; x <= 11 - i; ++x)
                put(x, 8 + i, 0x208030);
        for (int32_t x = 1; x <= 14; ++x) // the tray
            put(x, 14, 0x404040);
        for (int32_t y = 10; y <= 13; ++y) {
            put(1, y, 0x404040);
            put(14, y, 0x404040);
        }
    }
    return Icon::create(kSide, kSide, std::move(argb), std::move(mask));
}

void RegisterPictures()
{
    resources().addIcon(CVTND_ActionLoadVTODlg::kFitIcon, TransformPicture(false), TransformPicture(false));
    resources().addIcon(CVTND_ActionLoadVTODlg::kStoreIcon, TransformPicture(true), TransformPicture(true));
}

struct ActionEditorTemplates {
    ActionEditorTemplates()
    {
        RegisterTexts();
        RegisterTextEditors();
        RegisterFlagEditors();
        RegisterQueueAndStopEditors();
        RegisterConditionAndStereoEditors();
        RegisterPlaySoundEditor();
        RegisterBackgroundEditor();
        RegisterLoadWorldEditor();
        RegisterPictures();
    }
};
const ActionEditorTemplates kActionEditorTemplates;

} // namespace
