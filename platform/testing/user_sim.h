#pragma once
// A user at the keyboard and mouse of the headless screen. It acts only through Ui::inject, as a person does, and
// never calls a handler; what the controls do with the input is theirs. Scripts for the modal services (message
// boxes, modal dialogs, menus, file, colour and font dialogs) are queued here before the action that opens them.
#include "platform/base/rect.h"
#include "platform/ui/controls/tree_view.h"
#include "platform/ui/core/input.h"
#include "platform/ui/providers/providers.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace pf {

class ComboBox;
class Dialog;
class FrameWindow;
class ListBox;
class ListView;
class TabControl;
class Trackbar;
class UpDown;
class Window;

class UserSim {
public:
    using Button = InputEvent::Button;

    // ---- the mouse, in screen coordinates
    void mouseMove(Point screen);
    void mouseDown(Point screen, Button button = Button::kLeft);
    void mouseUp(Point screen, Button button = Button::kLeft);
    void click(Point screen, Button button = Button::kLeft);
    void click(Window& window); // the centre of its client area
    void click(Window& window, Point client, Button button = Button::kLeft);
    void doubleClick(Point screen);
    void drag(Point from, Point to, int steps, Button button = Button::kLeft);
    void wheel(Point screen, int32_t notches); // positive: away from the user

    // ---- the keyboard
    void keyDown(uint8_t vk);
    void keyUp(uint8_t vk);
    void keyPress(uint8_t vk);                             // down, the character it makes (if any), up
    void keyChord(uint8_t modifier, uint8_t vk);           // e.g. Ctrl+S
    void typeChars(std::string_view utf8);                 // WM_CHAR for each code point, to the focus
    void typeText(Window& control, std::string_view utf8); // click into it, then type
    void typeText(Window& dialog, int32_t id, std::string_view utf8);
    void replaceText(Window& control, std::string_view utf8); // Ctrl+A, then type

    // ---- controls
    bool chooseCombo(ComboBox& combo, int32_t index);
    bool selectListItem(ListBox& list, int32_t index);
    bool selectListViewItem(ListView& list, int32_t index);
    bool beginListDrag(ListView& list, int32_t index, Point screenTo); // press, move past the drag distance
    void toggleCheck(Window& button) { click(button); }
    bool moveTrackbar(Trackbar& bar, int32_t pos);
    void trackbarKey(Trackbar& bar, uint8_t vk);
    void spin(UpDown& spin, int32_t clicks); // up for positive counts, down for negative
    bool selectTab(TabControl& tab, int32_t index);
    bool clickTreeItem(TreeView& tree, TreeItem item);
    bool clickTreeCheck(TreeView& tree, TreeItem item);
    bool beginTreeDrag(TreeView& tree, TreeItem item, Point screenTo); // press, move past the drag distance
    bool menuCommand(FrameWindow& frame, uint32_t command); // through the menu bar; the command arrives after a pump

    // ---- time and the screen
    void advance(uint32_t ms); // due time by due time, pumping after each
    void pump();
    bool screenshot(const std::string& path) const;

    // ---- scripts for the modal services
    void expectMessageBox(int32_t answer);
    void onModal(int32_t idd, std::function<void(Dialog&)> script);
    void expectFile(std::optional<std::string> path); // nullopt: the user cancels
    void expectColor(std::optional<ColorRef> color);
    void expectFont(std::optional<FontChoice> font);
    void expectMenu(uint32_t command); // 0: the user dismisses the menu

private:
    void inject(InputEvent event);
};

} // namespace pf
