// The dialog layouts of the world-level editors and tools: the loadable-world details (459), the header details
// (518), the scene-file removal (517) and synchronisation (496) dialogs and the scale and centre tool (279), with their
// texts. Registered at start-up, before any window exists.
#include <string>

#include "designer/editors/world_texts.h"
#include "platform/base/user_constants.h"
#include "platform/ui/core/resources.h"

namespace {

using namespace pf;

constexpr uint32_t kStop = WS_TABSTOP;
constexpr uint32_t kEdit = WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL;
constexpr uint32_t kShownEdit = WS_BORDER | ES_AUTOHSCROLL | ES_READONLY;
constexpr uint32_t kCheck = WS_TABSTOP | BS_AUTOCHECKBOX;
constexpr uint32_t kDefault = WS_TABSTOP | BS_DEFPUSHBUTTON;

void RegisterTexts()
{
    ResourceRegistry& r = resources();
    r.addString(kIdsPublishedTitle, "Choose the Published World");
    r.addString(kIdsPublishedFilter, "Published worlds (*.vto)|*.vto||");
    r.addString(kIdsRemoveFilesAsk, "Are you sure you want to remove the checked files and everything they brought "
                                    "into the project? This cannot be undone.");
    r.addString(kIdsRemoveFilesCaption, "Remove Scene Files");
    r.addString(kIdsScaleTarget, "Please enter a size greater than zero, up to 1e+30.");
    r.addString(kIdsPropertyUniqueName, "A property must have a name that no other property of its object has.");
    r.addString(kIdsPropertyInconsistent, "This makes no sense: when the new property is a part of another, please "
                                          "choose a consistent type.");
    r.addString(kIdsPropertyNoOwner, "The property cannot be added there: choose the object that holds the property "
                                     "to cast, or an object that takes properties.");
    r.addString(kIdsEditPropertyTitle, "Edit Property");
    r.addString(kIdsStringWord, "string");
    r.addString(kIdsPropertyReachableName, "A property's name cannot hold a dot, a bracket or one of + - * /: an "
                                           "expression names a property as object.property, and could not name it.");
    r.addString(kIdsPropertyEmptyName, "The property's name is empty: please enter a name.");
}

void RegisterWorldDetails()
{
    registerTemplate({459,
                      "Loadable World",
                      {360, 196},
                      WS_POPUP | WS_CAPTION,
                      {
                          {"static", -1, {8, 12, 96, 28}, 0, "Name:"},
                          {"edit", 1173, {100, 10, 352, 30}, kEdit, ""},
                          {"static", -1, {8, 42, 96, 58}, 0, "Published file:"},
                          {"edit", 1172, {100, 40, 284, 60}, kEdit, ""},
                          {"button", 1164, {288, 39, 352, 61}, kStop, "Browse..."},
                          {"static", -1, {8, 72, 96, 88}, 0, "Address:"},
                          {"edit", 1004, {100, 70, 352, 90}, kEdit, ""},
                          {"button", 1187, {8, 104, 220, 122}, kCheck, "Limit the number of references to"},
                          {"edit", 1174, {224, 102, 280, 122}, kEdit, ""},
                          {"button", IDOK, {272, 162, 352, 188}, kDefault, "Close"},
                      }});
}

void RegisterHeaderDetails()
{
    registerTemplate({518,
                      "World Header",
                      {420, 356},
                      WS_POPUP | WS_CAPTION,
                      {
                          {"static", -1, {8, 12, 96, 28}, 0, "Object name:"},
                          {"edit", 1004, {100, 10, 412, 30}, kEdit, ""},
                          {"static", -1, {8, 40, 96, 56}, 0, "Author:"},
                          {"edit", 1172, {100, 38, 412, 58}, kEdit, ""},
                          {"static", -1, {8, 68, 96, 84}, 0, "Organization:"},
                          {"edit", 1173, {100, 66, 412, 86}, kEdit, ""},
                          {"static", -1, {8, 96, 200, 112}, 0, "Made with:"},
                          {"listbox", 1000, {8, 114, 200, 310}, WS_BORDER | WS_VSCROLL, ""},
                          {"static", -1, {212, 98, 312, 114}, 0, "Meshes:"},
                          {"edit", 1174, {316, 96, 412, 116}, kShownEdit, ""},
                          {"static", -1, {212, 122, 312, 138}, 0, "Vertices:"},
                          {"edit", 1175, {316, 120, 412, 140}, kShownEdit, ""},
                          {"static", -1, {212, 146, 312, 162}, 0, "Materials:"},
                          {"edit", 1176, {316, 144, 412, 164}, kShownEdit, ""},
                          {"static", -1, {212, 170, 312, 186}, 0, "Textures:"},
                          {"edit", 1177, {316, 168, 412, 188}, kShownEdit, ""},
                          {"static", -1, {212, 194, 312, 210}, 0, "Polygons:"},
                          {"edit", 1006, {316, 192, 412, 212}, kShownEdit, ""},
                          {"static", -1, {212, 222, 412, 238}, 0, "Extents:"},
                          {"static", 1359, {212, 244, 226, 260}, 0, "X"},
                          {"edit", 1055, {230, 242, 340, 262}, kShownEdit, ""},
                          {"static", 1360, {212, 268, 226, 284}, 0, "Y"},
                          {"edit", 1056, {230, 266, 340, 286}, kShownEdit, ""},
                          {"static", 1361, {212, 292, 226, 308}, 0, "Z"},
                          {"edit", 1057, {230, 290, 340, 310}, kShownEdit, ""},
                          {"button", IDOK, {332, 322, 412, 348}, kDefault, "Close"},
                      }});
}

void RegisterSceneFileDialogs()
{
    registerTemplate({517,
                      "Remove Scene Files",
                      {420, 300},
                      WS_POPUP | WS_CAPTION,
                      {
                          {"static", -1, {8, 8, 412, 24}, 0, "Check the files to remove from the project:"},
                          {"treeview", 1000, {8, 28, 412, 256}, WS_TABSTOP | WS_BORDER | TVS_CHECKBOXES, ""},
                          {"button", 1163, {8, 266, 120, 292}, kStop, "Remove Now"},
                          {"button", IDOK, {332, 266, 412, 292}, kDefault, "Close"},
                      }});
    registerTemplate({496,
                      "Synchronise Scene Files",
                      {560, 330},
                      WS_POPUP | WS_CAPTION,
                      {
                          {"static", -1, {8, 8, 300, 24}, 0, "Check the files to synchronise:"},
                          {"treeview", 1000, {8, 28, 300, 286}, WS_TABSTOP | WS_BORDER | TVS_CHECKBOXES, ""},
                          {"static", -1, {312, 8, 552, 24}, 0, "Take over from the selected file:"},
                          {"button", 1193, {312, 30, 552, 48}, kCheck, "Textures"},
                          {"button", 1191, {312, 52, 552, 70}, kCheck, "Materials"},
                          {"button", 1188, {312, 74, 552, 92}, kCheck, "Object hierarchy"},
                          {"button", 1187, {312, 96, 552, 114}, kCheck, "Object transforms"},
                          {"button", 1426, {312, 118, 552, 136}, kCheck, "Object motion"},
                          {"button", 1189, {312, 140, 552, 158}, kCheck, "Objects"},
                          {"button", 1195, {312, 162, 552, 180}, kCheck, "Background"},
                          {"CVTND_StaticLine", 1045, {312, 188, 552, 190}, 0, ""},
                          {"button", 1428, {312, 198, 552, 216}, kCheck, "Synchronise after every load"},
                          {"button", 1196, {312, 220, 552, 238}, kCheck, "Keep objects removed from the file"},
                          {"button", 1194, {312, 250, 552, 268}, kCheck, "Apply the options to all files"},
                          {"button", IDOK, {8, 296, 140, 322}, kDefault, "Synchronise Now"},
                          {"button", IDCANCEL, {472, 296, 552, 322}, kStop, "Close"},
                      }});
}

void RegisterScaleCenter()
{
    registerTemplate({279,
                      "Scale and Centre",
                      {400, 268},
                      WS_POPUP | WS_CAPTION,
                      {
                          {"button",
                           1012,
                           {12, 10, 388, 28},
                           kStop | WS_GROUP | BS_AUTORADIOBUTTON,
                           "Scale to fit the render window"},
                          {"button",
                           1013,
                           {12, 32, 388, 50},
                           BS_AUTORADIOBUTTON,
                           "Scale so that the bounding box matches these sizes:"},
                          {"button", 1014, {12, 54, 388, 72}, BS_AUTORADIOBUTTON, "Do not change the size"},
                          {"static", 1359, {32, 84, 46, 100}, 0, "X"},
                          {"edit", 1004, {48, 82, 148, 102}, kEdit, ""},
                          {"static", 1360, {32, 110, 46, 126}, 0, "Y"},
                          {"edit", 1005, {48, 108, 148, 128}, kEdit, ""},
                          {"static", 1361, {32, 136, 46, 152}, 0, "Z"},
                          {"edit", 1006, {48, 134, 148, 154}, kEdit, ""},
                          {"static", 1074, {160, 84, 220, 100}, 0, "Sizes in"},
                          {"combobox", 1002, {222, 82, 340, 104}, WS_TABSTOP | CBS_DROPDOWNLIST, ""},
                          {"static", 1075, {160, 110, 388, 126}, 0, "(world units are metres)"},
                          {"button", 1188, {160, 136, 388, 154}, kCheck | WS_DISABLED, "Keep proportions"},
                          {"button", 1187, {12, 180, 388, 198}, kCheck, "Centre the object on the world origin"},
                          {"button", 1163, {212, 232, 296, 258}, kDefault, "OK"},
                          {"button", IDCANCEL, {304, 232, 388, 258}, kStop, "Cancel"},
                      }});
}

void RegisterBackgroundNotices()
{
    registerTemplate({519,
                      "Loaded Background",
                      {420, 250},
                      WS_POPUP | WS_CAPTION,
                      {
                          {"static", -1, {8, 8, 412, 24}, 0, "The loaded scene file contains this background:"},
                          {"CVTND_TextureViewer", 1003, {150, 30, 270, 150}, 0, ""},
                          {"CVTND_ColorButton", 1165, {150, 30, 270, 150}, 0, "", false},
                          {"static", -1, {8, 162, 412, 178}, 0, "Do you want to import it as the project's default"},
                          {"static", -1, {8, 180, 412, 196}, 0, "background?"},
                          {"button", IDOK, {244, 216, 324, 242}, kDefault, "Yes"},
                          {"button", IDCANCEL, {332, 216, 412, 242}, kStop, "No"},
                      }});
    // The warning's lines are statics of their own (a static shows one line), each black on white.
    registerTemplate(
        {228,
         "Loaded Background",
         {420, 330},
         WS_POPUP | WS_CAPTION,
         {
             {"static",
              1061,
              {8, 8, 412, 26},
              0,
              " The loaded scene file contains a background with a picture. Such a"},
             {"static", 1062, {8, 26, 412, 44}, 0, " background causes serious problems when non-immersive stereo"},
             {"static", 1063, {8, 44, 412, 62}, 0, " vision is used (see the manual), so it is better not used here."},
             {"CVTND_TextureViewer", 1003, {150, 72, 270, 192}, 0, ""},
             {"CVTND_ColorButton", 1165, {150, 72, 270, 192}, 0, "", false},
             {"static", -1, {8, 204, 412, 220}, 0, "Do you want to import it anyway as the project's"},
             {"static", -1, {8, 222, 412, 238}, 0, "default background?"},
             {"button", IDOK, {244, 296, 324, 322}, kDefault, "Yes"},
             {"button", IDCANCEL, {332, 296, 412, 322}, kStop, "No"},
         }});
}

void RegisterPropertyDialogs()
{
    registerTemplate({110,
                      "Add Property",
                      {320, 290},
                      WS_POPUP | WS_CAPTION,
                      {
                          {"static", -1, {8, 12, 56, 28}, 0, "Name:"},
                          {"edit", 1028, {60, 10, 312, 30}, kEdit, ""},
                          {"button", -1, {8, 38, 312, 112}, BS_GROUPBOX, "Type"},
                          {"button", 1023, {16, 56, 106, 74}, kStop | WS_GROUP | BS_AUTORADIOBUTTON, "Float"},
                          {"button", 1024, {110, 56, 200, 74}, BS_AUTORADIOBUTTON, "Vector"},
                          {"button", 1017, {204, 56, 304, 74}, BS_AUTORADIOBUTTON, "Integer"},
                          {"button", 1018, {16, 82, 106, 100}, BS_AUTORADIOBUTTON, "Orientation"},
                          {"button", 1019, {110, 82, 200, 100}, BS_AUTORADIOBUTTON, "Boolean"},
                          {"button", 1021, {204, 82, 304, 100}, BS_AUTORADIOBUTTON, "String"},
                          {"button", 1026, {144, 256, 224, 282}, kDefault, "Add"},
                          {"button", 1027, {232, 256, 312, 282}, kStop, "Done"},
                          {"button", 1034, {232, 256, 312, 282}, kStop, "OK", false},
                      }});
    const auto page = [](int32_t idd, std::vector<ControlDef> controls) {
        registerTemplate({idd, "", {308, 128}, WS_CHILD, std::move(controls)});
    };
    page(159, {{"static", -1, {4, 8, 80, 24}, 0, "Initial value:"}, {"edit", 1004, {84, 6, 300, 26}, kEdit, ""}});
    page(160, {{"static", -1, {4, 8, 80, 24}, 0, "Initial value:"},
               {"button", 1012, {84, 6, 160, 24}, kStop | WS_GROUP | BS_AUTORADIOBUTTON, "True"},
               {"button", 1013, {164, 6, 240, 24}, BS_AUTORADIOBUTTON, "False"}});
    std::vector<ControlDef> vector = {{"static", -1, {4, 8, 80, 24}, 0, "Initial value:"}};
    std::vector<ControlDef> quaternion = vector;
    const std::array<int32_t, 4> ids = {1004, 1172, 1173, 1174};
    const std::array<const char*, 4> labels = {"X", "Y", "Z", "W"};
    for (size_t k = 0; k < 4; ++k) {
        const int32_t top = 6 + 26 * static_cast<int32_t>(k);
        const ControlDef label{"static", -1, {84, top + 2, 98, top + 18}, 0, labels[k]};
        const ControlDef edit{"edit", ids[k], {100, top, 200, top + 20}, kEdit, ""};
        quaternion.push_back(label);
        quaternion.push_back(edit);
        if (k < 3) {
            vector.push_back(label);
            vector.push_back(edit);
        }
    }
    page(161, std::move(vector));
    page(162, std::move(quaternion));
    std::vector<ControlDef> matrix;
    for (int32_t k = 0; k < 16; ++k)
        matrix.push_back(
            {"edit", 1004 + k, {4 + 76 * (k % 4), 4 + 26 * (k / 4), 76 * (k % 4) + 76, 24 + 26 * (k / 4)}, kEdit, ""});
    page(163, std::move(matrix));
    registerTemplate({193,
                      "Component",
                      {200, 152},
                      WS_POPUP | WS_CAPTION,
                      {
                          {"static", -1, {8, 8, 192, 24}, 0, "Bind to the component:"},
                          {"button", 1012, {16, 30, 100, 48}, kStop | WS_GROUP | BS_AUTORADIOBUTTON, "X"},
                          {"button", 1013, {16, 52, 100, 70}, BS_AUTORADIOBUTTON, "Y"},
                          {"button", 1014, {16, 74, 100, 92}, BS_AUTORADIOBUTTON, "Z"},
                          {"button", 1015, {16, 96, 100, 114}, BS_AUTORADIOBUTTON | WS_DISABLED, "W"},
                          {"button", IDOK, {112, 92, 192, 116}, kDefault, "OK"},
                          {"button", IDCANCEL, {112, 120, 192, 144}, WS_TABSTOP, "Cancel"},
                      }});
}

// The world's background: the colour-effect pages sit at (8, 35), below the kind box, as in the action's editor.
void RegisterBackgroundDetails()
{
    registerTemplate({285,
                      "Background",
                      {420, 300},
                      WS_POPUP | WS_CAPTION,
                      {
                          {"static", -1, {10, 12, 60, 28}, 0, "Kind:"},
                          {"combobox", 1002, {64, 10, 260, 32}, WS_TABSTOP | CBS_DROPDOWNLIST, ""},
                          {"button", 1164, {270, 9, 340, 33}, kStop, "Test"},
                          {"button", IDOK, {242, 266, 322, 290}, kDefault, "OK"},
                          {"button", IDCANCEL, {330, 266, 410, 290}, kStop, "Cancel"},
                      }});
}

struct WorldTemplates {
    WorldTemplates()
    {
        RegisterTexts();
        RegisterWorldDetails();
        RegisterHeaderDetails();
        RegisterSceneFileDialogs();
        RegisterScaleCenter();
        RegisterBackgroundNotices();
        RegisterPropertyDialogs();
        RegisterBackgroundDetails();
    }
};
const WorldTemplates kWorldTemplates;

} // namespace

std::string WorldTextOf(uint32_t id)
{
    return pf::resources().string(id).value_or(std::string());
}
