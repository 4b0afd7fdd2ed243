// The dialog layouts of the object pickers (124, 127) and the rename dialog (172), with their texts. Registered at
// start-up, before any window exists.
#include <string>

#include "designer/workspace/receptors_texts.h"
#include "platform/base/user_constants.h"
#include "platform/ui/core/resources.h"

namespace {

using namespace pf;

constexpr uint32_t kStop = WS_TABSTOP;
constexpr uint32_t kList = WS_TABSTOP | WS_BORDER | WS_VSCROLL | LBS_NOTIFY;

void RegisterTexts()
{
    ResourceRegistry& r = resources();
    r.addString(kIdsRenameErrorCaption, "Error");
    r.addString(kIdsRenameValidName, "Please enter a valid name (at least two characters).");
    r.addString(kIdsRenameUniqueName, "The new name must identify the object uniquely, and an object with this name "
                                      "already exists. Please enter a different name.");
    const char* const kinds[] = {"\"Mesh node\"",
                                 "\"Camera\"",
                                 "\"Dummy node\"",
                                 "\"Bone\"",
                                 "\"Named selection set\"",
                                 "\"Material\"",
                                 "\"Loaded world\"",
                                 "\"Sound\"",
                                 "\"Expression\"",
                                 "\"Cursor\"",
                                 "\"Tooltip\"",
                                 "\"Texture\"",
                                 "\"Hot spot\"",
                                 "\"Particle system\"",
                                 "\"Event\"",
                                 "\"Resource\"",
                                 "\"Property\"",
                                 "\"Layer\""};
    for (uint32_t i = 0; i < std::size(kinds); ++i)
        r.addString(kIdsKindMeshNode + i, kinds[i]);
}

void RegisterPickers()
{
    registerTemplate({kIddSingleSelect,
                      "Select Object",
                      {240, 300},
                      WS_POPUP | WS_CAPTION,
                      {
                          {"listbox", PickerControl::kOffered, {8, 8, 232, 256}, kList | LBS_SORT, ""},
                          {"button", IDOK, {72, 266, 148, 290}, kStop | BS_DEFPUSHBUTTON, "OK"},
                          {"button", IDCANCEL, {156, 266, 232, 290}, kStop, "Cancel"},
                      }});
    registerTemplate(
        {kIddMultipleSelect,
         "Select Objects",
         {440, 300},
         WS_POPUP | WS_CAPTION,
         {
             {"static", -1, {8, 8, 190, 24}, 0, "Available:"},
             {"listbox", PickerControl::kOffered, {8, 26, 190, 256}, kList | LBS_SORT | LBS_EXTENDEDSEL, ""},
             {"button", PickerControl::kAdd, {198, 90, 242, 114}, kStop, ">>"},
             {"button", PickerControl::kRemove, {198, 124, 242, 148}, kStop, "<<"},
             {"static", -1, {250, 8, 432, 24}, 0, "Chosen:"},
             {"listbox", PickerControl::kChosen, {250, 26, 432, 256}, kList | LBS_EXTENDEDSEL, ""},
             {"button", PickerControl::kQueueMode, {8, 268, 190, 288}, kStop | BS_AUTOCHECKBOX, "Queue mode"},
             {"button", IDOK, {272, 266, 348, 290}, kStop | BS_DEFPUSHBUTTON, "OK"},
             {"button", IDCANCEL, {356, 266, 432, 290}, kStop, "Cancel"},
         }});
}

void RegisterRename()
{
    registerTemplate({kIddRename,
                      "Rename",
                      {320, 150},
                      WS_POPUP | WS_CAPTION,
                      {
                          {"static", -1, {8, 10, 96, 28}, 0, "Object:"},
                          {"static", RenameControl::kKindLabel, {100, 10, 312, 28}, 0, ""},
                          {"static", -1, {8, 38, 96, 56}, 0, "Current name:"},
                          {"edit", RenameControl::kCurrentName, {100, 36, 312, 58}, WS_BORDER | ES_READONLY, ""},
                          {"static", -1, {8, 70, 96, 88}, 0, "New name:"},
                          {"edit", RenameControl::kNewName, {100, 68, 312, 90}, kStop | WS_BORDER | ES_AUTOHSCROLL, ""},
                          {"button", IDOK, {152, 116, 228, 140}, kStop | BS_DEFPUSHBUTTON, "OK"},
                          {"button", IDCANCEL, {236, 116, 312, 140}, kStop, "Cancel"},
                      }});
}

struct ReceptorsTemplates {
    ReceptorsTemplates()
    {
        RegisterTexts();
        RegisterPickers();
        RegisterRename();
    }
};
const ReceptorsTemplates kReceptorsTemplates;

} // namespace
