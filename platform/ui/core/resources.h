#pragma once
// The program's resources by numeric id, registered from C++ by each subsystem at start-up: icons (32 x 32 and
// 16 x 16), cursors, bitmaps, menus, accelerator tables, tool-bar layouts, the string table and dialog templates.
// Pictures nobody registered are generated from their id, the same every time, until real art exists.
// Process-wide and thread-safe; it outlives every Ui.
#include "platform/gfx/dib.h"
#include "platform/gfx/icon.h"
#include "platform/ui/core/cursor.h"
#include "platform/ui/core/menu.h"

#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace pf {

struct ControlDef {
    std::string cls; // "static", "button", "edit", ... or any registered class
    int32_t id = 0;
    Rect rc;            // pixels of the dialog's client area
    uint32_t style = 0; // WS_CHILD is implied, and WS_VISIBLE unless `visible` says otherwise
    std::string text;
    bool visible = true; // a template control is shown unless made hidden, as resource scripts have it
};

struct DialogTemplate {
    int32_t idd = 0;
    std::string caption;
    Size size;                        // the client area
    uint32_t style = 0;               // WS_CHILD makes a page; WS_VISIBLE shows it once initialised
    std::vector<ControlDef> controls; // table order = z-order = tab order
};

constexpr uint8_t FVIRTKEY = 1;
constexpr uint8_t FSHIFT = 4;
constexpr uint8_t FCONTROL = 8;
constexpr uint8_t FALT = 16;

struct Accelerator {
    uint8_t vk = 0;
    uint8_t modifiers = 0; // FSHIFT | FCONTROL | FALT
    uint16_t command = 0;
};

struct ToolBarButton {
    uint32_t command = 0; // 0: a separator
    int32_t image = -1;
};

class ResourceRegistry {
public:
    void addIcon(uint32_t id, IconRef large, IconRef small);
    IconRef icon(uint32_t id, int32_t side = 32) const; // registered, else generated at that side
    void addCursor(uint32_t id, IconRef picture);
    Cursor cursor(uint32_t id) const; // registered, else a generated 32 x 32 with a centred hot spot
    void addBitmap(uint32_t id, DibSectionRef bitmap);
    DibSectionRef bitmap(uint32_t id) const; // registered, else a generated 16 x 16 tile
    void addMenu(uint32_t id, std::vector<MenuItem> items);
    std::optional<std::vector<MenuItem>> menu(uint32_t id) const;
    void addAccelerators(uint32_t id, std::vector<Accelerator> table);
    std::vector<Accelerator> accelerators(uint32_t id) const;
    void addToolBar(uint32_t id, std::vector<ToolBarButton> layout);
    std::vector<ToolBarButton> toolBar(uint32_t id) const;
    void addString(uint32_t id, std::string text);
    std::optional<std::string> string(uint32_t id) const; // LoadString: nullopt when absent
    void addDialog(DialogTemplate dialog);                // replaces a template of the same IDD
    std::optional<DialogTemplate> dialog(int32_t idd) const;
    std::vector<int32_t> dialogIds() const; // every registered template, in order

private:
    mutable std::mutex m_mutex;
    std::map<uint32_t, std::pair<IconRef, IconRef>> m_icons;
    std::map<uint32_t, IconRef> m_cursors;
    std::map<uint32_t, DibSectionRef> m_bitmaps;
    std::map<uint32_t, std::vector<MenuItem>> m_menus;
    std::map<uint32_t, std::vector<Accelerator>> m_accelerators;
    std::map<uint32_t, std::vector<ToolBarButton>> m_toolBars;
    std::map<uint32_t, std::string> m_strings;
    std::map<int32_t, DialogTemplate> m_dialogs;
};

ResourceRegistry& resources();
inline void registerTemplate(DialogTemplate dialog)
{
    resources().addDialog(std::move(dialog));
}

} // namespace pf
