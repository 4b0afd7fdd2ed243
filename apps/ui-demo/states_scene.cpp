#include "states_scene.h"

#include "platform/base/user_constants.h"
#include "platform/gfx/gdi_objects.h"
#include "platform/gfx/png_file.h"
#include "platform/gfx/surface_dc.h"
#include "platform/testing/image_check.h"
#include "platform/testing/user_sim.h"
#include "platform/ui/controls/button.h"
#include "platform/ui/controls/combo_box.h"
#include "platform/ui/controls/list_box.h"
#include "platform/ui/controls/scroll_bar.h"
#include "platform/ui/controls/tab_control.h"
#include "platform/ui/controls/trackbar.h"
#include "platform/ui/controls/up_down.h"
#include "platform/ui/core/resources.h"
#include "platform/ui/core/ui.h"
#include "platform/ui/dialog/dialog.h"

#include <array>
#include <memory>
#include <vector>

namespace demo {

namespace {

using namespace pf;

enum class State { kNormal, kFocused, kPressed, kChecked, kDisabled };
constexpr std::array<const char*, 5> kStateNames = {"Normal", "Focused", "Pressed", "Checked", "Disabled"};

struct Row {
    const char* label;
    const char* className;
    uint32_t style;
    const char* text;
    Size size;
    uint8_t states; // bit per State: the cells that mean something for this kind
};

constexpr uint8_t kAll = 0x1F;
constexpr uint8_t kNoPress = 0x1B;
constexpr uint8_t kNoCheck = 0x17;
constexpr uint8_t kPlain = 0x13; // normal, focused, disabled

const std::vector<Row>& rows()
{
    static const std::vector<Row> table = {
        {"Push button", "button", WS_TABSTOP, "Apply", {84, 24}, kNoCheck},
        {"Default button", "button", WS_TABSTOP | BS_DEFPUSHBUTTON, "OK", {84, 24}, kNoCheck},
        {"Check box", "button", WS_TABSTOP | BS_AUTOCHECKBOX, "Loop", {100, 16}, kAll},
        {"Radio button", "button", WS_TABSTOP | BS_AUTORADIOBUTTON, "Ease in", {100, 16}, kAll},
        {"Edit", "edit", WS_TABSTOP | WS_BORDER, "Sphere", {100, 20}, kPlain},
        {"Combo box", "combobox", WS_TABSTOP | CBS_DROPDOWNLIST, "", {100, 20}, kPlain},
        {"List box", "listbox", WS_TABSTOP, "", {100, 40}, kNoPress},
        {"Scroll bar", "scrollbar", 0, "", {110, 16}, kNoCheck},
        {"Spin", "updown", 0, "", {16, 24}, 0x15},
        {"Trackbar", "trackbar", WS_TABSTOP, "", {110, 30}, kNoCheck},
        {"Tab control", "tab", WS_TABSTOP, "", {110, 44}, kNoPress},
        {"Group box", "button", BS_GROUPBOX, "Group", {100, 34}, 0x11},
    };
    return table;
}

void fillContent(Window& control)
{
    if (auto* combo = dynamic_cast<ComboBox*>(&control)) {
        combo->addString("Linear");
        combo->setCurSel(0);
    } else if (auto* list = dynamic_cast<ListBox*>(&control)) {
        for (const char* t : {"Camera", "Light", "Mesh"})
            list->addString(t);
    } else if (auto* bar = dynamic_cast<ScrollBar*>(&control)) {
        bar->setInfo({0, 100, 25, 30});
    } else if (auto* spin = dynamic_cast<UpDown*>(&control)) {
        spin->setRange32(0, 10);
    } else if (auto* track = dynamic_cast<Trackbar*>(&control)) {
        track->setRange(0, 10);
        track->setTicFreq(2);
        track->setPos(4);
    } else if (auto* tab = dynamic_cast<TabControl*>(&control)) {
        tab->insertItem(0, "Motion");
        tab->insertItem(1, "Sound");
    }
}

// Where a press shows the state: a button's middle, the first arrow of a bar or a spin, a trackbar's thumb.
Point pressPoint(Window& control)
{
    const Rect c = control.clientRect();
    Point at{static_cast<int32_t>(c.width() / 2), static_cast<int32_t>(c.height() / 2)};
    if (auto* bar = dynamic_cast<ScrollBar*>(&control))
        at = {bar->arrowRect(true).l + 4, bar->arrowRect(true).t + 4};
    else if (auto* spin = dynamic_cast<UpDown*>(&control))
        at = {spin->arrowRect(true).l + 4, spin->arrowRect(true).t + 4};
    else if (auto* track = dynamic_cast<Trackbar*>(&control))
        at = {track->thumbRect().l + 4, track->thumbRect().t + 4};
    return control.clientToScreen(at);
}

void check(Window& control)
{
    if (auto* button = dynamic_cast<Button*>(&control))
        button->setCheck(BST_CHECKED);
    else if (auto* list = dynamic_cast<ListBox*>(&control))
        list->setCurSel(1);
    else if (auto* tab = dynamic_cast<TabControl*>(&control))
        tab->setCurSel(1);
}

// One cell: a fresh control in the host, put in its state and photographed with two pixels of its surroundings.
std::unique_ptr<Surface32> photograph(Dialog& host, const Row& row, State state)
{
    Window* control = ui().createWindow({row.className, row.text, row.style | WS_CHILD | WS_VISIBLE, 0,
                                         Rect::fromXywh(16, 16, row.size.cx, row.size.cy), host.hwnd(), 100});
    if (control == nullptr)
        return nullptr;
    const Hwnd hwnd = control->hwnd();
    fillContent(*control);
    ui().setFocus(kNoWindow);
    UserSim sim;
    if (state == State::kFocused)
        ui().setFocus(hwnd);
    if (state == State::kChecked || (state == State::kDisabled && (row.states & (1 << 3)) != 0))
        check(*control);
    if (state == State::kDisabled)
        control->enable(false);
    if (state == State::kPressed) {
        const Point at = pressPoint(*control);
        sim.mouseMove(at);
        sim.mouseDown(at);
    }
    ui().pump();
    std::unique_ptr<Surface32> picture = captureScreen(control->screenRect().inflatedBy(2, 2));
    if (state == State::kPressed) {
        sim.mouseUp(host.clientToScreen({2, 2})); // let go outside, so that nothing is clicked
        ui().pump();
    }
    if (Window* still = ui().window(hwnd))
        still->destroy();
    ui().pump();
    return picture;
}

void paste(Surface32& into, const Surface32& picture, Point at)
{
    for (int32_t y = 0; y < picture.height(); ++y)
        for (int32_t x = 0; x < picture.width(); ++x)
            if (into.bounds().contains({at.x + x, at.y + y}))
                into.setPixel(at.x + x, at.y + y, picture.pixel(x, y));
}

} // namespace

void registerStatesResources()
{
    registerTemplate({kIddStatesHost, "States", {150, 80}, WS_POPUP | WS_CAPTION, {}});
}

bool writeStatesScene(const std::string& path)
{
    constexpr int32_t kLabelWidth = 110;
    constexpr int32_t kCellWidth = 130;
    constexpr int32_t kHeaderHeight = 26;
    Dialog host;
    if (!host.create(kIddStatesHost, nullptr))
        return false;
    host.setPos(HWND_TOP, Rect::fromXywh(40, 40, 158, 111), SWP_NOSIZE);
    host.show(SW_SHOW);
    ui().pump();

    int32_t height = kHeaderHeight;
    for (const Row& row : rows())
        height += row.size.cy + 16;
    auto scene =
        std::make_shared<Surface32>(kLabelWidth + kCellWidth * static_cast<int32_t>(kStateNames.size()), height);
    scene->fill(pixelFromColorRef(getSysColor(COLOR_BTNFACE)));
    SurfaceDc dc(scene);
    dc.setBkMode(TRANSPARENT);
    dc.setTextColor(getSysColor(COLOR_BTNTEXT));
    for (size_t s = 0; s < kStateNames.size(); ++s)
        dc.textOut(kLabelWidth + static_cast<int32_t>(s) * kCellWidth + 8, 6, kStateNames[s]);
    bool ok = true;
    int32_t top = kHeaderHeight;
    for (const Row& row : rows()) {
        const int32_t rowHeight = row.size.cy + 16;
        dc.fillRect({0, top, scene->width(), top + 1}, createSolidBrush(getSysColor(COLOR_BTNSHADOW)));
        dc.textOut(8, top + (rowHeight - 14) / 2, row.label);
        for (size_t s = 0; s < kStateNames.size(); ++s) {
            if ((row.states & (1 << s)) == 0)
                continue;
            const std::unique_ptr<Surface32> cell = photograph(host, row, static_cast<State>(s));
            if (cell == nullptr) {
                ok = false;
                continue;
            }
            paste(*scene, *cell, {kLabelWidth + static_cast<int32_t>(s) * kCellWidth + 6, top + 6});
        }
        top += rowHeight;
    }
    host.destroy();
    std::string error;
    return writePngFile(path, *scene, error) && ok;
}

} // namespace demo
