#include "platform/testing/user_sim.h"

#include "platform/base/user_constants.h"
#include "platform/display/screen.h"
#include "platform/time/clock.h"
#include "platform/time/virtual_clock.h"
#include "platform/ui/controls/combo_box.h"
#include "platform/ui/controls/list_box.h"
#include "platform/ui/controls/list_view.h"
#include "platform/ui/controls/tab_control.h"
#include "platform/ui/controls/trackbar.h"
#include "platform/ui/controls/up_down.h"
#include "platform/ui/core/keyboard.h"
#include "platform/ui/core/ui.h"
#include "platform/ui/frame/frame_window.h"

namespace pf {

namespace {

Point centreOf(const Rect& r)
{
    return {static_cast<int32_t>(r.l + r.width() / 2), static_cast<int32_t>(r.t + r.height() / 2)};
}

// The code points of UTF-8 text; a broken sequence yields U+FFFD and moves on by one byte.
std::vector<char32_t> codePoints(std::string_view s)
{
    std::vector<char32_t> out;
    for (size_t i = 0; i < s.size();) {
        const auto b = static_cast<uint8_t>(s[i]);
        const int length = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
        if (length == 0 || i + static_cast<size_t>(length) > s.size()) {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        char32_t c = length == 1 ? b : (b & (0x7F >> length));
        for (int k = 1; k < length; ++k)
            c = (c << 6) | (static_cast<uint8_t>(s[i + static_cast<size_t>(k)]) & 0x3F);
        out.push_back(c);
        i += static_cast<size_t>(length);
    }
    return out;
}

} // namespace

void UserSim::inject(InputEvent event)
{
    ui().inject(event);
}

void UserSim::mouseMove(Point screen)
{
    inject(InputEvent::mouseMove(screen));
}

void UserSim::mouseDown(Point screen, Button button)
{
    inject(InputEvent::mouseDown(screen, button));
}

void UserSim::mouseUp(Point screen, Button button)
{
    inject(InputEvent::mouseUp(screen, button));
}

void UserSim::click(Point screen, Button button)
{
    mouseMove(screen);
    mouseDown(screen, button);
    mouseUp(screen, button);
}

void UserSim::click(Window& window)
{
    click(window, centreOf(window.clientRect()));
}

void UserSim::click(Window& window, Point client, Button button)
{
    click(window.clientToScreen(client), button);
}

void UserSim::doubleClick(Point screen)
{
    click(screen);
    click(screen);
}

void UserSim::wheel(Point screen, int32_t notches)
{
    mouseMove(screen);
    inject(InputEvent::mouseWheel(screen, notches * WHEEL_DELTA));
    pump();
}

void UserSim::drag(Point from, Point to, int steps, Button button)
{
    mouseMove(from);
    mouseDown(from, button);
    steps = std::max(1, steps);
    for (int i = 1; i <= steps; ++i)
        mouseMove({from.x + (to.x - from.x) * i / steps, from.y + (to.y - from.y) * i / steps});
    mouseUp(to, button);
}

void UserSim::keyDown(uint8_t vk)
{
    inject(InputEvent::keyDown(vk));
}

void UserSim::keyUp(uint8_t vk)
{
    inject(InputEvent::keyUp(vk));
}

void UserSim::keyPress(uint8_t vk)
{
    keyDown(vk);
    uint16_t c = 0;
    if (toAscii(vk, scanCodeOf(vk), ui().keyboardState(), c) == 1)
        inject(InputEvent::character(c));
    keyUp(vk);
}

void UserSim::keyChord(uint8_t modifier, uint8_t vk)
{
    keyDown(modifier);
    keyPress(vk);
    keyUp(modifier);
}

void UserSim::typeChars(std::string_view utf8)
{
    for (const char32_t c : codePoints(utf8))
        inject(InputEvent::character(c));
}

void UserSim::typeText(Window& control, std::string_view utf8)
{
    if (ui().focus() != control.hwnd())
        click(control);
    typeChars(utf8);
}

void UserSim::typeText(Window& dialog, int32_t id, std::string_view utf8)
{
    if (Window* control = dialog.child(id))
        typeText(*control, utf8);
}

void UserSim::replaceText(Window& control, std::string_view utf8)
{
    if (ui().focus() != control.hwnd())
        click(control);
    keyChord(VK_CONTROL, 'A');
    if (utf8.empty())
        keyPress(VK_DELETE);
    else
        typeChars(utf8);
}

bool UserSim::chooseCombo(ComboBox& combo, int32_t index)
{
    if (index < 0 || index >= combo.getCount())
        return false;
    const Hwnd h = combo.hwnd();
    if (!combo.isDroppedDown())
        click(combo);
    if (ui().window(h) != &combo || !combo.isDroppedDown())
        return false;
    click(centreOf(combo.dropItemRect(index)));
    return true;
}

bool UserSim::selectListItem(ListBox& list, int32_t index)
{
    if (index < 0 || index >= list.getCount())
        return false;
    click(list, centreOf(list.getItemRect(index)));
    return true;
}

bool UserSim::selectListViewItem(ListView& list, int32_t index)
{
    const Rect r = list.getItemRect(index, LVIR_LABEL);
    if (r.isEmpty())
        return false;
    click(list, centreOf(r));
    return true;
}

bool UserSim::beginListDrag(ListView& list, int32_t index, Point screenTo)
{
    const Rect r = list.getItemRect(index, LVIR_LABEL);
    if (r.isEmpty())
        return false;
    const Point from = list.clientToScreen(centreOf(r));
    mouseMove(from);
    mouseDown(from);
    mouseMove({from.x + fixedSystemMetric(SM_CXDRAG) + 1, from.y});
    mouseMove(screenTo);
    return true;
}

bool UserSim::beginTreeDrag(TreeView& tree, TreeItem item, Point screenTo)
{
    Rect r;
    if (!tree.getItemRect(item, r, true))
        return false;
    const Point from = tree.clientToScreen(centreOf(r));
    mouseMove(from);
    mouseDown(from);
    mouseMove({from.x + fixedSystemMetric(SM_CXDRAG) + 1, from.y});
    mouseMove(screenTo);
    return true;
}

bool UserSim::moveTrackbar(Trackbar& bar, int32_t pos)
{
    const Point from = bar.clientToScreen(centreOf(bar.thumbRect()));
    const Point to = bar.clientToScreen(bar.pointForPos(pos));
    drag(from, to, 4);
    return true;
}

void UserSim::trackbarKey(Trackbar& bar, uint8_t vk)
{
    // A person tabs to the control first; the focus moves without a click so that no mouse message mixes in.
    ui().setFocus(bar.hwnd());
    keyPress(vk);
}

void UserSim::spin(UpDown& spin, int32_t clicks)
{
    const Rect arrow = spin.arrowRect(clicks > 0);
    for (int32_t i = 0; i < std::abs(clicks); ++i)
        click(spin, centreOf(arrow));
}

bool UserSim::selectTab(TabControl& tab, int32_t index)
{
    const Rect r = tab.getItemRect(index);
    if (r.isEmpty())
        return false;
    click(tab, centreOf(r));
    return true;
}

bool UserSim::clickTreeItem(TreeView& tree, TreeItem item)
{
    Rect r;
    if (!tree.getItemRect(item, r, true))
        return false;
    click(tree, centreOf(r));
    return true;
}

bool UserSim::clickTreeCheck(TreeView& tree, TreeItem item)
{
    Rect label;
    if (!tree.getItemRect(item, label, true) || tree.getImageList(TVSIL_STATE) == nullptr)
        return false;
    const int32_t stateLeft = label.l - 16 - (tree.getImageList(TVSIL_NORMAL) != nullptr ? 18 : 0);
    click(tree, {stateLeft + 8, label.t + 8});
    return true;
}

bool UserSim::menuCommand(FrameWindow& frame, uint32_t command)
{
    const Menu& bar = frame.menu();
    for (int32_t i = 0; i < bar.itemCount(); ++i) {
        const Menu popup = bar.subMenu(i);
        if (popup.isNull() || !isChoosableCommand(popup.items(), command))
            continue;
        expectMenu(command);
        const Rect item = frame.menuItemRect(i);
        click({frame.windowRect().l + static_cast<int32_t>(item.l + item.width() / 2),
               frame.windowRect().t + static_cast<int32_t>(item.t + item.height() / 2)});
        return true;
    }
    return false;
}

void UserSim::advance(uint32_t ms)
{
    auto* virtualClock = dynamic_cast<VirtualClock*>(&clock());
    if (virtualClock == nullptr) {
        pump();
        return;
    }
    const uint64_t target = static_cast<uint64_t>(virtualClock->nowMsExact()) + ms;
    for (;;) {
        const std::optional<uint64_t> next = virtualClock->nextDueMs();
        const uint64_t now = static_cast<uint64_t>(virtualClock->nowMsExact());
        if (!next || *next > target)
            break;
        virtualClock->advance(static_cast<uint32_t>(*next - now));
        pump();
    }
    const uint64_t now = static_cast<uint64_t>(virtualClock->nowMsExact());
    if (target > now)
        virtualClock->advance(static_cast<uint32_t>(target - now));
    pump();
}

void UserSim::pump()
{
    ui().pump();
}

bool UserSim::screenshot(const std::string& path) const
{
    return screen().writePng(path);
}

void UserSim::expectMessageBox(int32_t answer)
{
    ui().providers().scriptedMessageBox().expect(answer);
}

void UserSim::onModal(int32_t idd, std::function<void(Dialog&)> script)
{
    ui().providers().scriptedModal().onModal(idd, std::move(script));
}

void UserSim::expectFile(std::optional<std::string> path)
{
    if (path)
        ui().providers().scriptedFile().expect(std::vector<std::string>{*path});
    else
        ui().providers().scriptedFile().expect(std::nullopt);
}

void UserSim::expectColor(std::optional<ColorRef> color)
{
    ui().providers().scriptedColor().expect(color);
}

void UserSim::expectFont(std::optional<FontChoice> font)
{
    ui().providers().scriptedFont().expect(font);
}

void UserSim::expectMenu(uint32_t command)
{
    ui().providers().scriptedMenu().expect(command);
}

} // namespace pf
