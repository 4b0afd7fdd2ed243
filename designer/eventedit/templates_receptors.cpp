// The event map window's view (288), its context menus (164), its tool bar (132) and its texts. Registered at
// start-up, before any window exists.
#include <string>

#include "designer/eventedit/event_map_texts.h"
#include "platform/base/user_constants.h"
#include "platform/ui/core/menu.h"
#include "platform/ui/core/resources.h"

namespace {

using namespace pf;
using namespace EventMapCommand;

MenuItem Command(uint32_t id, const char* text)
{
    return {id, text, 0, {}};
}

MenuItem Separator()
{
    return {0, "", MF_SEPARATOR, {}};
}

MenuItem Popup(const char* text, std::vector<MenuItem> items)
{
    return {0, text, 0, std::move(items)};
}

void RegisterTexts()
{
    ResourceRegistry& r = resources();
    r.addString(kIdsEventMapTitle, "Event Map");
    r.addString(kIdsOffsetLabel, "Offset ");
    r.addString(kIdsDeleteSelected, "Delete all selected objects?");
    r.addString(kIdsDeleteThisAction, "Delete this action?");
    r.addString(kIdsDeleteThisEvent, "Delete this event?");
}

void RegisterMenu()
{
    resources().addMenu(
        kEventMapMenu,
        {
            Popup("Event", {Command(kInitiallyActive, "Initially active"), Command(kAutoReset, "Auto reset"),
                            Command(kRename, "Rename..."), Command(kEventParameters, "Parameters..."),
                            Command(kEditEvent, "Edit..."), Command(kEditTimeline, "Edit time line..."), Separator(),
                            Command(kCollapseInputs, "Collapse inputs"), Separator(), Command(kDeleteEvent, "Delete")}),
            Popup("Map",
                  {Command(kShowObjectNames, "Show object names"), Command(kShowEventNames, "Show event names")}),
            Popup("Action", {Command(kActionParameters, "Parameters..."), Command(kActionDetails, "Details..."),
                             Separator(), Command(kDeleteAction, "Delete")}),
            Popup("Object", {Command(kGetIcon, "Get icon"), Command(kObjectDetails, "Details..."),
                             Command(kRemoveFromMap, "Remove from map")}),
        });
    resources().addToolBar(kEventMapToolBar, {{kNewWindow, 0},
                                              {kShowList, 1},
                                              {0, -1},
                                              {kAlignX, 2},
                                              {kAlignY, 3},
                                              {kSpaceHorizontally, 4},
                                              {kSpaceVertically, 5}});
}

void RegisterView()
{
    registerTemplate(
        {kIddEventMapView,
         "",
         {640, 420},
         // Clipped, so that the view's own repaint never covers a canvas that was drawn at once by RedrawMap.
         WS_CHILD | WS_CLIPCHILDREN,
         {
             {"edit", EventMapControl::kHiddenEdit, {0, 0, 10, 10}, 0, "", false},
             {"listview",
              EventMapControl::kEventList,
              {0, 0, 100, 404},
              WS_BORDER | WS_VSCROLL | LVS_ICON | LVS_SINGLESEL,
              ""},
             {"static", EventMapControl::kCanvas, {100, 0, 624, 404}, SS_NOTIFY, ""},
             {"scrollbar", EventMapControl::kVerticalBar, {624, 0, 640, 404}, SBS_VERT, ""},
             {"scrollbar", EventMapControl::kHorizontalBar, {100, 404, 624, 420}, 0, ""},
         }});
}

struct EventMapTemplates {
    EventMapTemplates()
    {
        RegisterTexts();
        RegisterMenu();
        RegisterView();
    }
};
const EventMapTemplates kEventMapTemplates;

} // namespace
