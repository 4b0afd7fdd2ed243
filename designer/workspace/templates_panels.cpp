// The dialog layouts of the ten panels' contents. Each is a child dialog whose controls the panel lays out again
// whenever its bar changes size; the rectangles here are only the first layout. Registered at start-up, before any
// window exists.
#include <string>
#include <vector>

#include "designer/workspace/list_panels.h"
#include "designer/workspace/scenegraph_dlg.h"
#include "platform/base/user_constants.h"
#include "platform/ui/core/resources.h"

namespace {

using namespace pf;

constexpr uint32_t kPage = WS_CHILD;
constexpr uint32_t kList = WS_TABSTOP | WS_BORDER | WS_VSCROLL | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS;
constexpr uint32_t kTree = WS_TABSTOP | WS_BORDER | WS_VSCROLL | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT;
constexpr Rect kWhole{0, 0, 200, 300};

void RegisterListPanel(int32_t idd, const char* caption, std::vector<ControlDef> extra = {})
{
    std::vector<ControlDef> controls{{"listview", kPanelMainControl, kWhole, kList, ""}};
    controls.insert(controls.end(), extra.begin(), extra.end());
    registerTemplate({idd, caption, {200, 300}, kPage, std::move(controls)});
}

void RegisterTreePanel(int32_t idd, const char* caption)
{
    registerTemplate({idd, caption, {200, 300}, kPage, {{"treeview", kPanelMainControl, kWhole, kTree, ""}}});
}

void RegisterManipulate()
{
    std::vector<ControlDef> c{{"listview", kPanelMainControl, {0, 0, 200, 120}, kList, ""}};
    const char* labels[] = {"Position", "Rotation", "Scale"};
    for (int32_t row = 0; row < 3; ++row) {
        c.push_back(
            {"static", panel_ids::kFirstValueLabel + row, {2, 124 + row * 24, 54, 140 + row * 24}, 0, labels[row]});
        for (int32_t i = 0; i < 3; ++i)
            c.push_back({"edit",
                         panel_ids::kFirstValueEdit + row * 3 + i,
                         {56 + i * 48, 122 + row * 24, 100 + i * 48, 142 + row * 24},
                         WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL,
                         ""});
    }
    c.push_back({"button", panel_ids::kSet, {2, 196, 62, 218}, WS_TABSTOP, "Set"});
    c.push_back({"button", panel_ids::kReset, {66, 196, 126, 218}, WS_TABSTOP, "Reset"});
    registerTemplate({panel_ids::kManipulate, "Manipulate", {200, 222}, kPage, std::move(c)});
}

struct PanelTemplates {
    PanelTemplates()
    {
        RegisterListPanel(panel_ids::kEvents, "Events");
        RegisterTreePanel(panel_ids::kActions, "Actions");
        RegisterListPanel(panel_ids::kExpressions, "Expressions",
                          {{"button", panel_ids::kNew, {2, 276, 72, 298}, WS_TABSTOP, "New..."}});
        RegisterTreePanel(panel_ids::kJava, "Java");
        RegisterTreePanel(panel_ids::kSceneGraph, "Scene graph");
        RegisterListPanel(panel_ids::kSounds, "Sounds");
        RegisterListPanel(panel_ids::kCursors, "Cursors");
        RegisterListPanel(panel_ids::kProperties, "Properties",
                          {{"button", panel_ids::kAdd, {2, 276, 58, 298}, WS_TABSTOP, "Add..."},
                           {"button", panel_ids::kCast, {62, 276, 118, 298}, WS_TABSTOP, "Cast..."},
                           {"button", panel_ids::kEdit, {122, 276, 178, 298}, WS_TABSTOP, "Edit..."}});
        RegisterManipulate();
        RegisterTreePanel(panel_ids::kResources, "Resources");
    }
};
const PanelTemplates kPanelTemplates;

} // namespace
