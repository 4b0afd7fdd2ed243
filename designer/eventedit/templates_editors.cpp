// The dialog layouts of the event editor (112), the timer dialog (151) and the expression editor (196), with the
// texts their titles and checks show. Registered at start-up, before any window exists.
#include <string>

#include "designer/workspace/editor_texts.h"
#include "platform/base/user_constants.h"
#include "platform/ui/core/resources.h"

namespace {

using namespace pf;

constexpr uint32_t kButton = WS_TABSTOP;
constexpr uint32_t kEdit = WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL;

void RegisterTexts()
{
    ResourceRegistry& r = resources();
    r.addString(kIdsEditorErrorCaption, "Error");
    r.addString(kIdsNewEventTitle, "Create New Event");
    r.addString(kIdsEditEventTitle, "Edit Event");
    r.addString(kIdsValidName, "Please enter a valid name.");
    r.addString(kIdsUniqueName, "The name must identify the object, and an object with this name already exists. "
                                "Please enter another name.");
    r.addString(kIdsEmptyExpression, "Please enter an expression and the property that receives its result.");
    r.addString(kIdsCannotInterpret,
                "The expression cannot be interpreted. Check its syntax and the spelling of the properties, and use "
                "each property consistently. Where the owner of a property is known both as a node and as a sound, "
                "give its prefix: the valid prefixes are NODE: and SOUND:. Use no spaces unless they belong to a "
                "property's name.");
    r.addString(kIdsTargetNotFound, "The target property is not known to the world.");
    r.addString(kIdsValidValue, "Please enter a number of milliseconds from 0 up to 4294967295.");
    r.addString(kIdsValidCompareValue, "Please enter a number, or a property as object.property, to compare with.");
    r.addString(kIdsTestedNotObject, "Please enter the property to test as object.property.");
    r.addString(kIdsTestedNoObject, "There is no object named \"%s\": the property to test is not changed.");
    r.addString(kIdsTestedNoProperty,
                "The object \"%s\" has no property named \"%s\": the property to test is not changed.");
    r.addString(kIdsIntervalKept, "The timer keeps %s milliseconds.");
    r.addString(kIdsNewExpressionTitle, "New Expression");
    r.addString(kIdsEditExpressionTitle, "Edit Expression");
}

void RegisterEventEditor()
{
    registerTemplate({112,
                      "Edit Event",
                      {360, 372},
                      WS_POPUP | WS_CAPTION,
                      {
                          {"static", -1, {10, 12, 60, 28}, 0, "Name:"},
                          {"edit", 1032, {64, 10, 350, 30}, kEdit, ""},
                          {"static", -1, {10, 42, 60, 58}, 0, "Type:"},
                          {"combobox", 1033, {64, 40, 250, 62}, kButton | CBS_DROPDOWNLIST, ""},
                          {"button", 1059, {258, 39, 350, 61}, kButton, "Parameters..."},
                          {"button", -1, {10, 70, 180, 122}, BS_GROUPBOX, "Initial state"},
                          {"button", 1089, {20, 88, 100, 106}, kButton | WS_GROUP | BS_AUTORADIOBUTTON, "Active"},
                          {"button", 1090, {100, 88, 176, 106}, BS_AUTORADIOBUTTON, "Inactive"},
                          {"button", 1058, {192, 88, 350, 106}, kButton | BS_AUTOCHECKBOX, "Auto reset"},
                          {"button", -1, {10, 130, 350, 330}, BS_GROUPBOX, "Actions"},
                          {"listview",
                           1053,
                           {20, 148, 340, 290},
                           kButton | WS_BORDER | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_SHAREIMAGELISTS,
                           ""},
                          {"button", 1073, {20, 298, 120, 320}, kButton, "Remove"},
                          {"button", 1075, {130, 298, 230, 320}, kButton, "Parameters..."},
                          {"button", 1074, {240, 298, 340, 320}, kButton, "Details..."},
                          {"button", IDOK, {180, 340, 260, 364}, kButton | BS_DEFPUSHBUTTON, "Close"},
                          {"button", IDCANCEL, {270, 340, 350, 364}, kButton, "Cancel"},
                      }});
}

void RegisterTimerDialog()
{
    registerTemplate({151,
                      "Timer",
                      {240, 80},
                      WS_POPUP | WS_CAPTION,
                      {
                          {"static", -1, {10, 14, 110, 30}, 0, "Time (ms):"},
                          {"edit", 1004, {110, 12, 230, 32}, kEdit, ""},
                          {"button", IDOK, {60, 46, 140, 70}, kButton | BS_DEFPUSHBUTTON, "OK"},
                          {"button", IDCANCEL, {150, 46, 230, 70}, kButton, "Cancel"},
                      }});
}

void RegisterExpressionEditor()
{
    registerTemplate({196,
                      "Expression",
                      {400, 250},
                      WS_POPUP | WS_CAPTION,
                      {
                          {"static", -1, {10, 12, 80, 28}, 0, "Name:"},
                          {"edit", 1004, {84, 10, 390, 30}, kEdit, ""},
                          {"static", -1, {10, 42, 80, 58}, 0, "Target:"},
                          {"edit", 1149, {84, 40, 390, 60}, kEdit, ""},
                          {"static", -1, {10, 72, 390, 88}, 0, "Expression:"},
                          {"richedit", 1147, {10, 90, 390, 200}, kButton | WS_BORDER | ES_MULTILINE | WS_VSCROLL, ""},
                          {"button", IDOK, {220, 214, 300, 238}, kButton | BS_DEFPUSHBUTTON, "OK"},
                          {"button", IDCANCEL, {310, 214, 390, 238}, kButton, "Cancel"},
                      }});
}

struct EditorTemplates {
    EditorTemplates()
    {
        RegisterTexts();
        RegisterEventEditor();
        RegisterTimerDialog();
        RegisterExpressionEditor();
    }
};
const EditorTemplates kEditorTemplates;

} // namespace

std::string EditorTextOf(uint32_t id)
{
    return pf::resources().string(id).value_or(std::string());
}
