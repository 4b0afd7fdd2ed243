#include "platform/ui/controls/standard_classes.h"

#include "platform/base/user_constants.h"
#include "platform/ui/controls/button.h"
#include "platform/ui/controls/combo_box.h"
#include "platform/ui/controls/edit.h"
#include "platform/ui/controls/list_box.h"
#include "platform/ui/controls/list_view.h"
#include "platform/ui/controls/progress_bar.h"
#include "platform/ui/controls/scroll_bar.h"
#include "platform/ui/controls/static_control.h"
#include "platform/ui/controls/status_bar.h"
#include "platform/ui/controls/tab_control.h"
#include "platform/ui/controls/tip_window.h"
#include "platform/ui/controls/tool_bar.h"
#include "platform/ui/controls/trackbar.h"
#include "platform/ui/controls/tree_view.h"
#include "platform/ui/controls/up_down.h"
#include "platform/ui/core/ui.h"
#include "platform/ui/dialog/dialog.h"
#include "platform/ui/frame/frame_window.h"

namespace pf {

namespace {

template <typename T> WindowFactory factoryOf()
{
    return [] { return std::make_unique<T>(); };
}

} // namespace

void registerStandardClasses(Ui& u)
{
    const Cursor arrow = loadCursor(IDC_ARROW);
    u.registerClass({"static", factoryOf<StaticControl>(), 0, arrow, -1});
    u.registerClass({"button", factoryOf<Button>(), 0, arrow, -1});
    u.registerClass({"edit", factoryOf<Edit>(), 0, loadCursor(IDC_IBEAM), -1});
    u.registerClass({"richedit", factoryOf<RichEdit>(), 0, loadCursor(IDC_IBEAM), -1});
    u.registerClass({"combobox", factoryOf<ComboBox>(), 0, arrow, -1});
    u.registerClass({"comboboxex", factoryOf<ComboBox>(), 0, arrow, -1});
    // The layer's own popups: a live screen shows them above everything and off the task bar.
    u.registerClass({"combolist", factoryOf<Window>(), 0, arrow, -1});
    u.registerClass({"popupmenu", factoryOf<Window>(), 0, arrow, -1});
    u.registerClass({"tooltip", factoryOf<TipWindow>(), 0, arrow, -1});
    u.registerClass({"listbox", factoryOf<ListBox>(), CS_DBLCLKS, arrow, -1});
    u.registerClass({"listview", factoryOf<ListView>(), CS_DBLCLKS, arrow, -1});
    u.registerClass({"treeview", factoryOf<TreeView>(), CS_DBLCLKS, arrow, -1});
    u.registerClass({"scrollbar", factoryOf<ScrollBar>(), 0, arrow, -1});
    u.registerClass({"trackbar", factoryOf<Trackbar>(), 0, arrow, -1});
    u.registerClass({"updown", factoryOf<UpDown>(), 0, arrow, -1});
    u.registerClass({"msctls_progress32", factoryOf<ProgressBar>(), 0, arrow, -1});
    u.registerClass({"tab", factoryOf<TabControl>(), 0, arrow, -1});
    u.registerClass({"statusbar", factoryOf<StatusBar>(), 0, arrow, -1});
    u.registerClass({"toolbar", factoryOf<ToolBar>(), 0, arrow, -1});
    u.registerClass({"dialog", factoryOf<Dialog>(), 0, arrow, COLOR_BTNFACE});
    u.registerClass({"frame", factoryOf<FrameWindow>(), 0, arrow, COLOR_APPWORKSPACE});
    u.registerClass({"mdiclient", factoryOf<MdiClient>(), 0, arrow, COLOR_APPWORKSPACE});
    u.registerClass({"mdichild", factoryOf<MdiChild>(), 0, arrow, COLOR_WINDOW});
}

} // namespace pf
