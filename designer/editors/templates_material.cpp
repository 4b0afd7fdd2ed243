// The dialog layouts of the material editor's frame (500) and page (156), the texture editor (474) and the
// hot-spot editor (520), with their texts. Registered at start-up, before any window exists.
#include <string>

#include "designer/editors/material_texts.h"
#include "platform/base/user_constants.h"
#include "platform/ui/core/resources.h"

namespace {

using namespace pf;

constexpr uint32_t kStop = WS_TABSTOP;
constexpr uint32_t kEdit = WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL;
constexpr uint32_t kShownEdit = WS_BORDER | ES_AUTOHSCROLL | ES_READONLY;
constexpr uint32_t kCombo = WS_TABSTOP | CBS_DROPDOWNLIST;

void RegisterTexts()
{
    ResourceRegistry& r = resources();
    r.addString(kIdsNoTexture, "(none)");
    r.addString(kIdsKindLossless, "24-bit lossless");
    r.addString(kIdsKindWavelet, "24-bit wavelet");
    r.addString(kIdsKindPalette, "8-bit palette");
    r.addString(kIdsKindGreyscale, "Greyscale");
    r.addString(kIdsOpenJpegTitle, "Open JPEG Image");
    r.addString(kIdsJpegFilter, "JPEG (*.jpg)|*.jpg;*.jpeg||");
    r.addString(kIdsJpegUnreadable, "The picture could not be read as a JPEG image.");
    r.addString(kIdsHotspotValidName, "Please enter a valid name for the selected hot spot.");
    r.addString(kIdsHotspotUniqueName, "The new name must identify the selected hot spot, and a hot spot of this name "
                                       "already exists. Please enter another name.");
    r.addString(kIdsHotspotRole, "Hotspot");
    r.addString(kIdsKindProcedural, "Procedural picture");
}

// Three rows of one colour: its button, then red, green, blue and intensity.
void AddColourGroup(std::vector<ControlDef>& controls, const char* title, int32_t top, int32_t button,
                    int32_t firstChannel)
{
    controls.push_back({"button", -1, {4, top, 280, top + 116}, BS_GROUPBOX, title});
    controls.push_back({"CVTND_ColorButton", button, {12, top + 18, 58, top + 108}, kStop, ""});
    for (int32_t c = 0; c < 4; ++c)
        controls.push_back(
            {"CVTND_RGBChannelScroll", firstChannel + c, {66, top + 18 + 22 * c, 274, top + 38 + 22 * c}, 0, ""});
}

// A slider row: its label, the trackbar and the edit box that shows its value.
void AddSliderRow(std::vector<ControlDef>& controls, const char* label, int32_t top, int32_t slider, int32_t edit)
{
    controls.push_back({"static", -1, {8, top + 4, 88, top + 20}, 0, label});
    controls.push_back({"trackbar", slider, {88, top, 228, top + 24}, kStop, ""});
    controls.push_back({"edit", edit, {232, top + 2, 276, top + 22}, kShownEdit, ""});
}

// A texture row: its label, the combo box of names and the small viewer at its right.
void AddTextureRow(std::vector<ControlDef>& controls, const char* label, int32_t top, int32_t combo, int32_t viewer)
{
    controls.push_back({"static", -1, {8, top + 4, 88, top + 20}, 0, label});
    controls.push_back({"combobox", combo, {88, top, 228, top + 22}, kCombo, ""});
    controls.push_back({"CVTND_TextureViewer", viewer, {232, top - 2, 276, top + 42}, 0, ""});
}

void RegisterMaterialPage()
{
    std::vector<ControlDef> c;
    c.push_back({"static", -1, {8, 10, 60, 26}, 0, "Name:"});
    c.push_back({"edit", 1186, {64, 8, 276, 28}, kEdit, ""});
    AddColourGroup(c, "Ambient", 34, 1163, 1049);
    AddColourGroup(c, "Diffuse", 154, 1164, 1053);
    AddColourGroup(c, "Specular", 274, 1165, 1057);
    AddSliderRow(c, "Smoothness", 396, 1358, 1188);
    AddSliderRow(c, "Transparency", 424, 1368, 1189);
    AddTextureRow(c, "Texture", 456, 1002, 1003);
    AddSliderRow(c, "Opacity", 502, 1355, 1183);
    AddTextureRow(c, "Reflection", 534, 1302, 1004);
    AddSliderRow(c, "Reflectivity", 580, 1356, 1033);
    AddTextureRow(c, "Bump", 612, 1264, 1005);
    AddSliderRow(c, "Bump amount", 658, 1357, 1185);
    c.push_back({"button", -1, {4, 688, 280, 756}, BS_GROUPBOX, "Render mode"});
    c.push_back({"button", 1014, {12, 706, 140, 726}, kStop | WS_GROUP | BS_AUTORADIOBUTTON, "Continuous"});
    c.push_back({"button", 1015, {144, 706, 274, 726}, BS_AUTORADIOBUTTON, "Flat"});
    c.push_back({"button", 1369, {12, 728, 140, 748}, BS_AUTORADIOBUTTON, "Gouraud"});
    c.push_back({"button", 1370, {144, 728, 274, 748}, BS_AUTORADIOBUTTON, "Phong"});
    c.push_back({"button", 1187, {8, 762, 200, 782}, kStop | BS_AUTOCHECKBOX, "Bilinear filtering"});
    registerTemplate({156, "", {284, 790}, WS_CHILD, std::move(c)});
}

void RegisterMaterialFrame()
{
    registerTemplate({500,
                      "Material",
                      {300, 520},
                      WS_POPUP | WS_CAPTION | WS_THICKFRAME,
                      {
                          {"CVTND_TextureViewer", 1003, {86, 6, 214, 134}, 0, ""},
                          {"scrollbar", 1175, {284, 140, 300, 520}, SBS_VERT, ""},
                      }});
}

void RegisterTextureEditor()
{
    registerTemplate({474,
                      "Texture",
                      {420, 440},
                      WS_POPUP | WS_CAPTION | WS_THICKFRAME,
                      {
                          {"static", -1, {8, 10, 56, 26}, 0, "Name:"},
                          {"edit", 1171, {60, 8, 250, 28}, kEdit, ""},
                          {"static", -1, {258, 10, 300, 26}, 0, "Width:"},
                          {"static", 1446, {302, 10, 340, 26}, 0, ""},
                          {"static", -1, {342, 10, 386, 26}, 0, "Height:"},
                          {"static", 1445, {388, 10, 416, 26}, 0, ""},
                          {"static", -1, {8, 38, 80, 54}, 0, "Image kind:"},
                          {"combobox", 1002, {84, 36, 250, 58}, kCombo, ""},
                          {"static", 1451, {8, 66, 80, 82}, WS_DISABLED, "Quality:"},
                          {"trackbar", 1352, {84, 62, 300, 86}, kStop | WS_DISABLED, ""},
                          {"edit", 1172, {304, 64, 344, 84}, kShownEdit | WS_DISABLED, ""},
                          {"button", 1188, {8, 94, 120, 112}, kStop | BS_AUTOCHECKBOX, "Fit to window"},
                          {"button", 1187, {126, 92, 222, 114}, kStop, "Hot spots..."},
                          {"button", 1193, {230, 94, 320, 112}, kStop | BS_AUTOCHECKBOX | WS_DISABLED, "Alter ego"},
                          {"CVTND_TextureViewer", 1003, {8, 115, 417, 434}, 0, ""},
                          {"button", 1163, {8, 300, 100, 322}, kStop, "Load JPEG...", false},
                          {"edit", 1173, {103, 300, 223, 322}, kShownEdit, "", false},
                          {"static", 1377, {226, 302, 282, 318}, 0, "Texture:", false},
                          {"combobox", 1302, {285, 300, 417, 322}, kCombo, "", false},
                          {"CVTND_TextureViewer", 1004, {8, 325, 417, 434}, 0, "", false},
                      }});
}

void RegisterHotspotsEditor()
{
    registerTemplate({520,
                      "Hot Spots",
                      {268, 244},
                      WS_POPUP | WS_CAPTION,
                      {
                          {"listbox", 1000, {8, 8, 124, 202}, kStop | WS_BORDER | WS_VSCROLL | LBS_NOTIFY, ""},
                          {"static", -1, {132, 10, 170, 26}, 0, "Name:"},
                          {"edit", 1004, {172, 8, 260, 28}, kEdit, ""},
                          {"static", -1, {130, 38, 147, 54}, 0, "X:"},
                          {"edit", 1173, {148, 36, 200, 56}, kShownEdit, ""},
                          {"static", -1, {206, 38, 220, 54}, 0, "Y:"},
                          {"edit", 1174, {222, 36, 260, 56}, kShownEdit, ""},
                          {"static", -1, {130, 64, 147, 80}, 0, "W:"},
                          {"edit", 1175, {148, 62, 200, 82}, kShownEdit, ""},
                          {"static", -1, {206, 64, 220, 80}, 0, "H:"},
                          {"edit", 1176, {222, 62, 260, 82}, kShownEdit, ""},
                          {"CVTND_TextureViewer", 1003, {132, 90, 260, 202}, 0, ""},
                          {"button", 1163, {8, 212, 66, 236}, kStop, "Add"},
                          {"button", 1164, {70, 212, 128, 236}, kStop, "Remove"},
                          {"button", 1165, {132, 212, 194, 236}, kStop | WS_DISABLED, "Take"},
                          {"button", 1208, {198, 212, 260, 236}, kStop, "Discard"},
                      }});
}

struct MaterialTemplates {
    MaterialTemplates()
    {
        RegisterTexts();
        RegisterMaterialPage();
        RegisterMaterialFrame();
        RegisterTextureEditor();
        RegisterHotspotsEditor();
    }
};
const MaterialTemplates kMaterialTemplates;

} // namespace

std::string MaterialTextOf(uint32_t id)
{
    return pf::resources().string(id).value_or(std::string());
}
