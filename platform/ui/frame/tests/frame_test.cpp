// Frames, MDI children, menus, accelerators and command routing.
#include <algorithm>
#include <cstdlib>

#include "platform/gfx/gdi_objects.h"
#include "platform/testing/image_check.h"
#include "platform/testing/ui_fixture.h"
#include "platform/ui/controls/tool_bar.h"
#include "platform/ui/core/menu.h"
#include "platform/ui/core/resources.h"
#include "platform/ui/frame/frame_window.h"

namespace pf {
namespace {

constexpr uint32_t kMenuId = 128;
constexpr uint32_t kContextMenu = 164;
constexpr uint32_t kToolBarId = 132;
constexpr uint16_t kCmdSave = 57603;
constexpr uint16_t kCmdDelete = 32771;
constexpr uint16_t kCmdGrayed = 32772;
constexpr uint16_t kCmdFrameOnly = 32773;

void registerResources()
{
    resources().addMenu(
        kMenuId, {
                     {0,
                      "File",
                      0,
                      {{kCmdSave, "Save", 0, {}}, {0, "", MF_SEPARATOR, {}}, {kCmdGrayed, "Export", MF_GRAYED, {}}}},
                     {0, "Edit", 0, {{kCmdDelete, "Delete", 0, {}}, {kCmdFrameOnly, "Options", 0, {}}}},
                 });
    resources().addAccelerators(kMenuId, {{'S', FCONTROL | FVIRTKEY, kCmdSave}, {VK_DELETE, FVIRTKEY, kCmdDelete}});
    resources().addMenu(kContextMenu,
                        {
                            {0, "Event", 0, {{kCmdDelete, "Delete", 0, {}}, {kCmdGrayed, "Rename", 0, {}}}},
                        });
    resources().addToolBar(kToolBarId, {{kCmdSave, 0}, {0, -1}, {kCmdDelete, 1}});
}

// A view that takes the commands it knows and records the ones it was offered.
class View : public Window {
public:
    std::vector<uint32_t> offered;
    std::vector<uint32_t> taken;
    std::vector<WParam> direct; // WM_COMMAND sent or posted to the view itself
    uint16_t handles = kCmdDelete;

    LResult handle(const Msg& msg) override
    {
        if (msg.message == kMsgRouteCommand) {
            offered.push_back(loWord(msg.wParam));
            if (loWord(msg.wParam) == handles) {
                taken.push_back(msg.wParam);
                return 1;
            }
            return 0;
        }
        if (msg.message == WM_COMMAND)
            direct.push_back(msg.wParam);
        return Window::handle(msg);
    }
};

class Frame : public FrameWindow {
public:
    std::vector<std::pair<uint32_t, uint32_t>> commands;

protected:
    bool handleCommand(uint32_t id, uint32_t code) override
    {
        commands.emplace_back(id, code);
        return true;
    }
};

class Frames : public UiFixture {
protected:
    void SetUp() override
    {
        UiFixture::SetUp();
        registerResources();
        ASSERT_TRUE(frame.createFrame("Designer", {0, 0, 800, 600}, kMenuId, WS_VISIBLE));
        ASSERT_TRUE(frame.createToolBar(kToolBarId, ImageList::create(16, 16, ILC_COLOR32, 2, 0)));
        ASSERT_TRUE(frame.createStatusBar({200, 400, -1}));
        child.createChild(frame, "Event map 1", {10, 10, 400, 300});
        view.create({"window", "", WS_CHILD | WS_VISIBLE, 0, child.clientRect(), child.hwnd(), 1});
        child.setView(&view);
        ui().setFocus(view.hwnd());
        sim().pump();
    }
    void TearDown() override
    {
        frame.destroy();
        UiFixture::TearDown();
    }

    Frame frame;
    MdiChild child;
    View view;
};

TEST_F(Frames, AcceleratorReachesTheFrameBeforeTheFocusedView)
{
    sim().keyChord(VK_CONTROL, 'S');
    EXPECT_EQ(frame.commands, (std::vector<std::pair<uint32_t, uint32_t>>{{kCmdSave, 1}}));
    // Delete is the view's: routed to it first, with the accelerator code.
    sim().keyPress(VK_DELETE);
    EXPECT_EQ(view.taken, (std::vector<uint32_t>{static_cast<uint32_t>(makeWParam(kCmdDelete, 1))}));
    EXPECT_EQ(frame.commands.size(), 1u);
}

TEST_F(Frames, CommandsGoToTheViewThenTheChildThenTheFrame)
{
    frame.send(WM_COMMAND, kCmdFrameOnly, 0);
    EXPECT_EQ(view.offered, (std::vector<uint32_t>{kCmdFrameOnly}));
    EXPECT_EQ(frame.commands, (std::vector<std::pair<uint32_t, uint32_t>>{{kCmdFrameOnly, 0}}));
}

TEST_F(Frames, PopupChoiceArrivesAfterTrackPopupReturns)
{
    Menu menu = Menu::load(kContextMenu);
    Menu popup = menu.subMenu(0);
    ASSERT_FALSE(popup.isNull());
    sim().expectMenu(kCmdDelete);
    const uint32_t result = popup.trackPopup(TPM_RIGHTBUTTON, {100, 100}, view);
    EXPECT_EQ(result, 1u);
    EXPECT_TRUE(view.direct.empty()) << "nothing before trackPopup returns";
    sim().pump();
    EXPECT_EQ(view.direct, (std::vector<WParam>{kCmdDelete}));
    const auto& calls = ui().providers().scriptedMenu().calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].owner, view.hwnd());
    EXPECT_EQ(calls[0].items.size(), 2u);
}

TEST_F(Frames, ReturnCmdReturnsTheIdAndPostsNothing)
{
    Menu popup = Menu::load(kContextMenu).subMenu(0);
    sim().expectMenu(kCmdDelete);
    EXPECT_EQ(popup.trackPopup(TPM_RETURNCMD, {0, 0}, frame), kCmdDelete);
    EXPECT_EQ(ui().pendingPostCount(), 0u);
}

TEST_F(Frames, ChoosingADisabledItemFailsAndChoosesNothing)
{
    std::vector<std::string> strict;
    ui().setStrictFailureHandler([&](const std::string& w) { strict.push_back(w); });
    Menu popup = Menu::load(kContextMenu).subMenu(0);
    popup.enableItem(kCmdGrayed, MF_GRAYED);
    sim().expectMenu(kCmdGrayed);
    EXPECT_EQ(popup.trackPopup(TPM_RETURNCMD, {0, 0}, frame), 0u);
    EXPECT_EQ(strict.size(), 1u);
    EXPECT_EQ(popup.checkItem(0, MF_CHECKED | MF_BYPOSITION), 0);
    EXPECT_EQ(popup.itemState(0, MF_BYPOSITION) & MF_CHECKED, MF_CHECKED);
    EXPECT_EQ(Menu::load(kContextMenu).subMenu(0).itemState(0, MF_BYPOSITION) & MF_CHECKED, 0u)
        << "each load is a fresh copy";
}

TEST_F(Frames, MenuBarOpensItsPopupThroughTheChooser)
{
    ASSERT_TRUE(sim().menuCommand(frame, kCmdFrameOnly));
    EXPECT_TRUE(frame.commands.empty());
    sim().pump();
    EXPECT_EQ(frame.commands, (std::vector<std::pair<uint32_t, uint32_t>>{{kCmdFrameOnly, 0}}));
    EXPECT_FALSE(sim().menuCommand(frame, kCmdGrayed)) << "a grayed command cannot be chosen";
}

TEST_F(Frames, ToolBarClickIsACommandForTheFrame)
{
    ToolBar* bar = frame.toolBar();
    ASSERT_NE(bar, nullptr);
    const Rect save = bar->itemRect(bar->commandToIndex(kCmdSave));
    sim().click(*bar, {save.l + 4, save.t + 4});
    EXPECT_EQ(frame.commands, (std::vector<std::pair<uint32_t, uint32_t>>{{kCmdSave, 0}}));
    bar->enableButton(kCmdSave, false);
    sim().click(*bar, {save.l + 4, save.t + 4});
    EXPECT_EQ(frame.commands.size(), 1u);
}

TEST_F(Frames, LayoutPutsBarsAtTheEdgesAndTheClientBetween)
{
    const Rect client = frame.clientRect();
    EXPECT_EQ(frame.toolBar()->windowRect().t, 0);
    EXPECT_EQ(frame.statusBar()->windowRect().b, client.b);
    EXPECT_EQ(frame.mdiClient()->windowRect(), (Rect{0, ToolBar::kHeight, client.r, client.b - StatusBar::kHeight}));
    frame.move({0, 0, 700, 500});
    EXPECT_EQ(frame.statusBar()->windowRect().b, frame.clientRect().b);
    frame.statusBar()->setText(2, "x: 10");
    EXPECT_EQ(frame.statusBar()->paneText(2), "x: 10");
}

// A site that keeps a 100-pixel strip at the left and takes one command the frame leaves.
class LeftStrip : public DockSite {
public:
    Rect strip;
    std::vector<uint32_t> commands;
    Rect layoutDocked(const Rect& area) override
    {
        strip = {area.l, area.t, area.l + 100, area.b};
        return {area.l + 100, area.t, area.r, area.b};
    }
    bool dockCommand(uint32_t id) override
    {
        commands.push_back(id);
        return id == kCmdFrameOnly;
    }
};

class Unhandling : public FrameWindow {};

TEST_F(Frames, DockSiteTakesItsEdgeBeforeTheClientAndTheCommandsLeftOver)
{
    LeftStrip site;
    frame.setDockSite(&site);
    frame.recalcLayout();
    const Rect client = frame.clientRect();
    EXPECT_EQ(site.strip, (Rect{0, ToolBar::kHeight, 100, client.b - StatusBar::kHeight}));
    EXPECT_EQ(frame.mdiClient()->windowRect(), (Rect{100, ToolBar::kHeight, client.r, client.b - StatusBar::kHeight}));
    EXPECT_TRUE(frame.routeCommand(kCmdSave, 0));
    EXPECT_TRUE(site.commands.empty()) << "the frame took it first";
    frame.setDockSite(nullptr);

    Unhandling bare;
    ASSERT_TRUE(bare.createFrame("Bare", {0, 0, 400, 300}, kMenuId, WS_VISIBLE));
    bare.setDockSite(&site);
    EXPECT_TRUE(bare.routeCommand(kCmdFrameOnly, 0));
    EXPECT_FALSE(bare.routeCommand(kCmdGrayed, 0));
    EXPECT_EQ(site.commands, (std::vector<uint32_t>{kCmdFrameOnly, kCmdGrayed}));
    bare.setDockSite(nullptr);
    bare.destroy();
}

TEST_F(Frames, AWindowMadeAgainAsATopLevelKeepsNoParent)
{
    Window bar;
    ASSERT_TRUE(bar.create({"window", "", WS_CHILD, 0, {0, 0, 40, 40}, frame.hwnd(), 7}));
    ASSERT_TRUE(bar.destroy());
    ASSERT_TRUE(bar.create({"window", "", WS_POPUP, 0, {100, 100, 140, 140}, frame.hwnd(), 0}));
    EXPECT_EQ(bar.parent(), nullptr);
    EXPECT_EQ(bar.owner(), &frame);
    EXPECT_EQ(bar.screenRect(), (Rect{100, 100, 140, 140}));
}

TEST_F(Frames, AppendedItemJoinsTheMenuBarPopup)
{
    Menu edit = frame.menu().subMenu(1);
    ASSERT_TRUE(edit.appendItem({kCmdGrayed + 10, "Panel", MF_CHECKED, {}}));
    EXPECT_EQ(frame.menu().subMenu(1).itemCount(), 3);
    EXPECT_EQ(frame.menu().itemState(kCmdGrayed + 10, 0) & MF_CHECKED, MF_CHECKED);
    EXPECT_FALSE(Menu().appendItem({1, "x", 0, {}}));
}

class TrackedChild : public MdiChild {
public:
    std::vector<bool> activations;

protected:
    void onMdiActivate(bool active, MdiChild*) override { activations.push_back(active); }
};

TEST_F(Frames, MdiActivationTellsBothChildrenAndMovesTheFocusToTheView)
{
    TrackedChild second;
    second.createChild(frame, "Event map 2", {50, 50, 450, 350});
    View secondView;
    secondView.create({"window", "", WS_CHILD | WS_VISIBLE, 0, second.clientRect(), second.hwnd(), 1});
    second.setView(&secondView);
    EXPECT_TRUE(second.isActive());
    EXPECT_FALSE(child.isActive());
    sim().click(view.clientToScreen({2, 2})); // pressing the first child's view activates it
    EXPECT_TRUE(child.isActive());
    EXPECT_EQ(second.activations, (std::vector<bool>{true, false}));
    EXPECT_EQ(ui().focus(), view.hwnd());
    second.destroy();
}

// A frame with a least size keeps it however it is sized, by the program or from the window manager's grips, and
// grows to it when the least is set on a smaller frame; its top-left corner stays.
TEST_F(Frames, AFrameIsNeverSizedBelowItsMinimum)
{
    frame.setMinimumSize(640, 480);
    frame.move({10, 20, 210, 170});
    EXPECT_EQ(frame.windowRect(), (Rect{10, 20, 650, 500}));
    EXPECT_GE(frame.clientRect().width(), 600u) << "the client follows the frame";
    frame.move({0, 0, 900, 700});
    EXPECT_EQ(frame.windowRect(), (Rect{0, 0, 900, 700}));
    frame.setMinimumSize(1000, 100);
    EXPECT_EQ(frame.windowRect(), (Rect{0, 0, 1000, 700}));
}

// A docked panel for F6 to reach.
class OnePane final : public DockSite {
public:
    Window* pane = nullptr;
    Rect layoutDocked(const Rect& area) override { return area; }
    bool dockCommand(uint32_t) override { return false; }
    std::vector<Window*> panes() const override { return {pane}; }
};

// Ctrl+F6 and Ctrl+Tab bring the child window at the back forward, into sight, the focus going to its view; with
// Shift they go back round every child; F6 goes from the panes to the active child and on to the panes again, never
// round the children.
TEST_F(Frames, CtrlF6AndCtrlTabMoveToTheNextChildWindow)
{
    MdiChild second;
    second.createChild(frame, "Event map 2", {50, 50, 450, 350});
    View secondView;
    secondView.create({"window", "", WS_CHILD | WS_VISIBLE, 0, second.clientRect(), second.hwnd(), 1});
    second.setView(&secondView);
    MdiChild third;
    third.createChild(frame, "Event map 3", {90, 90, 490, 390});
    ASSERT_TRUE(third.isActive());
    for (const uint8_t key : {uint8_t{VK_F1 + 5}, uint8_t{VK_TAB}}) {
        SCOPED_TRACE(key == VK_TAB ? "Ctrl+Tab" : "Ctrl+F6");
        child.setPos(HWND_TOP, child.windowRect().offsetBy(0, 2000), SWP_NOZORDER); // out of sight
        sim().keyDown(VK_CONTROL);
        sim().keyPress(key);
        EXPECT_TRUE(child.isActive()) << "the one at the back";
        EXPECT_EQ(ui().focus(), view.hwnd());
        const Rect placed = child.windowRect();
        EXPECT_TRUE(frame.mdiClient()->clientRect().containsRect(
            {placed.l, placed.t, placed.r, placed.t + child.clientInsets().t}))
            << "its caption out of sight";
        sim().keyPress(key);
        EXPECT_TRUE(second.isActive());
        EXPECT_EQ(ui().focus(), secondView.hwnd());
        sim().keyDown(VK_SHIFT);
        for (MdiChild* expected : {&child, &third, &second}) {
            sim().keyPress(key);
            EXPECT_TRUE(expected->isActive()) << "back to " << expected->text();
        }
        sim().keyUp(VK_SHIFT);
        sim().keyUp(VK_CONTROL);
        second.activate(); // the first order again: the first child at the back, the third at the front
        third.activate();
    }
    OnePane site;
    Window pane;
    ASSERT_TRUE(pane.create({"window", "", WS_CHILD | WS_VISIBLE, 0, {600, 0, 790, 200}, frame.hwnd(), 7}));
    site.pane = &pane;
    frame.setDockSite(&site);
    ui().setFocus(third.hwnd());
    for (int round = 0; round < 2; ++round) {
        sim().keyPress(VK_F1 + 5);
        EXPECT_EQ(ui().focus(), pane.hwnd()) << "round " << round;
        sim().keyPress(VK_F1 + 5);
        EXPECT_TRUE(third.isActive()) << "round " << round;
        EXPECT_EQ(ui().focus(), third.hwnd()) << "round " << round;
    }
    sim().keyDown(VK_SHIFT);
    sim().keyPress(VK_F1 + 5);
    sim().keyUp(VK_SHIFT);
    EXPECT_EQ(ui().focus(), pane.hwnd());
    // F6 from a bar selected by the keyboard leaves the bar: the next key is the pane's, no menu opens.
    sim().keyPress(VK_F10);
    ASSERT_EQ(frame.menuBarHot(), 0);
    sim().keyPress(VK_F1 + 5);
    EXPECT_EQ(frame.menuBarHot(), -1);
    EXPECT_TRUE(third.isActive());
    sim().keyPress(VK_DOWN);
    EXPECT_EQ(frame.menuBarHot(), -1);
    EXPECT_TRUE(ui().providers().scriptedMenu().calls().empty());
    frame.setDockSite(nullptr);
    third.destroy();
    second.destroy();
}

// A child brought to the front shows its whole frame, the caption another child covered drawn again, and the child
// it replaces shows an inactive caption.
TEST_F(Frames, MdiChildBroughtForwardRedrawsItsCaption)
{
    MdiChild second;
    second.createChild(frame, "Event map 2", {100, 0, 500, 200});
    sim().pump();
    const Point caption = child.clientToScreen({200, -child.clientInsets().t / 2});
    EXPECT_NE(screenPixel(caption), pixelFromColorRef(getSysColor(COLOR_ACTIVECAPTION))) << "covered";
    sim().click(view.clientToScreen({350, 250})); // the first child's view, where the second leaves it in sight
    sim().pump();
    EXPECT_TRUE(child.isActive());
    EXPECT_EQ(screenPixel(caption), pixelFromColorRef(getSysColor(COLOR_ACTIVECAPTION)));
    // Right of the first child, left of the second's caption buttons.
    const Point secondCaption = second.clientToScreen({310, -second.clientInsets().t / 2});
    EXPECT_EQ(screenPixel(secondCaption), pixelFromColorRef(getSysColor(COLOR_INACTIVECAPTION)));
    second.destroy();
}

// A child's caption buttons show what they do: a bar along the bottom, a box with a thick top, a cross whose strokes
// cross in the middle, each several pixels across, not a dot and a stub.
TEST_F(Frames, MdiChildCaptionButtonsDrawReadablePictures)
{
    sim().pump();
    const uint32_t black = pixelFromColorRef(0);
    for (const auto button : {MdiChild::kMinimizeButton, MdiChild::kMaximizeButton, MdiChild::kCloseButton}) {
        SCOPED_TRACE(static_cast<int>(button));
        const Rect r = child.captionButtonRect(button);
        // The face within the button's two-pixel raised edge, whose darkest line is black too.
        const Rect onScreen = r.offsetBy(child.screenRect().l, child.screenRect().t).inflatedBy(-2, -2);
        Rect ink{onScreen.r, onScreen.b, onScreen.l, onScreen.t}; // the black pixels' bounds
        int32_t count = 0;
        bool centre = false;
        for (int32_t y = onScreen.t; y < onScreen.b; ++y)
            for (int32_t x = onScreen.l; x < onScreen.r; ++x)
                if (screenPixel({x, y}) == black) {
                    ++count;
                    ink = {std::min(ink.l, x), std::min(ink.t, y), std::max(ink.r, x + 1), std::max(ink.b, y + 1)};
                    centre = centre || (std::abs(x - (onScreen.l + onScreen.r) / 2) <= 1 &&
                                        std::abs(y - (onScreen.t + onScreen.b) / 2) <= 1);
                }
        ASSERT_GT(count, 0) << r.width() << "x" << r.height();
        EXPECT_GE(ink.width(), 6);
        if (button == MdiChild::kMinimizeButton) {
            EXPECT_LE(ink.height(), 3) << "a bar";
        } else {
            EXPECT_GE(ink.height(), 6);
        }
        if (button == MdiChild::kCloseButton) {
            EXPECT_TRUE(centre) << "the strokes cross in the middle";
        }
        if (button == MdiChild::kMaximizeButton) {
            EXPECT_FALSE(centre) << "a box is hollow";
        }
    }
}

// A child made wider than the client area, or minimised and restored, lies within it: its caption buttons can be
// reached.
TEST_F(Frames, AChildMadeOrRestoredKeepsItsCaptionButtonsInTheClientArea)
{
    const Rect frameRect = frame.windowRect();
    for (const int how : {0, 1, 2}) {
        SCOPED_TRACE(how == 0 ? "made" : how == 1 ? "restored" : "in a frame made narrower");
        MdiChild wide;
        wide.createChild(frame, "Wide", how == 2 ? Rect{100, 40, 500, 300} : Rect{300, 40, 1500, 300});
        if (how == 1) {
            wide.minimize();
            wide.restore();
        }
        if (how == 2)
            frame.setPos(HWND_TOP, Rect::fromXywh(frameRect.l, frameRect.t, 420, frameRect.height()), SWP_NOZORDER);
        sim().pump();
        const Rect area = frame.mdiClient()->clientRect();
        const Rect close =
            wide.captionButtonRect(MdiChild::kCloseButton).offsetBy(wide.windowRect().l, wide.windowRect().t);
        EXPECT_TRUE(area.containsRect(close)) << close.l << "," << close.t << " in " << area.r << "," << area.b;
        EXPECT_TRUE(area.containsRect(wide.windowRect()));
        wide.destroy();
    }
    frame.setPos(HWND_TOP, frameRect, SWP_NOZORDER);
}

// Flat until the pointer is over a button (raised), sunken while it is held or checked.
TEST_F(Frames, ToolBarButtonsRiseUnderThePointerAndSinkWhenDownOrChecked)
{
    ToolBar& bar = *frame.toolBar();
    const Rect save = bar.itemRect(bar.commandToIndex(kCmdSave));
    const Rect del = bar.itemRect(bar.commandToIndex(kCmdDelete));
    const auto corner = [&](const Rect& r) { return screenPixel(bar.clientToScreen({r.l, r.t})); };
    const uint32_t face = pixelFromColorRef(getSysColor(COLOR_BTNFACE));
    const uint32_t highlight = pixelFromColorRef(getSysColor(COLOR_BTNHIGHLIGHT));
    const uint32_t shadow = pixelFromColorRef(getSysColor(COLOR_BTNSHADOW));
    EXPECT_EQ(corner(save), face) << "flat";
    const Point over = bar.clientToScreen({save.l + 8, save.t + 8});
    sim().mouseMove(over);
    sim().pump();
    EXPECT_EQ(corner(save), highlight) << "hot: raised";
    sim().mouseMove(view.clientToScreen({50, 50}));
    sim().pump();
    EXPECT_EQ(corner(save), face) << "flat again once the pointer has left";
    sim().mouseMove(over);
    sim().mouseDown(over);
    sim().pump();
    EXPECT_EQ(corner(save), shadow) << "held: sunken";
    sim().mouseUp(view.clientToScreen({50, 50}));
    frame.toolBar()->checkButton(kCmdDelete, true);
    sim().pump();
    EXPECT_EQ(corner(save), face);
    EXPECT_EQ(corner(del), shadow) << "checked: sunken";
}

} // namespace
} // namespace pf

namespace pf {
namespace {

// The bar from the keyboard: F10 and Alt alone select it, arrows walk it, Alt+letter opens by the title's letter,
// and the popups answer moves along the bar until a command is chosen or Escape steps back to the selected title.
TEST_F(Frames, MenuBarWalkedByKeysAndByItsPopupsMoves)
{
    sim().keyPress(VK_F10);
    EXPECT_EQ(frame.menuBarHot(), 0);
    sim().keyPress(VK_RIGHT);
    EXPECT_EQ(frame.menuBarHot(), 1);
    sim().keyPress(VK_RIGHT);
    EXPECT_EQ(frame.menuBarHot(), 0) << "round the end";
    sim().keyPress(VK_ESCAPE);
    EXPECT_EQ(frame.menuBarHot(), -1);
    sim().keyPress(VK_MENU);
    EXPECT_EQ(frame.menuBarHot(), 0);
    sim().keyPress(VK_MENU);
    EXPECT_EQ(frame.menuBarHot(), -1);
    EXPECT_TRUE(view.direct.empty() && frame.commands.empty());

    // Alt+E: Edit, its first item lit; Left moves to File, where Escape steps back to File's title; Down opens it.
    sim().expectMenu(kMenuBarPrevious);
    sim().expectMenu(kMenuBarBack);
    sim().keyChord(VK_MENU, 'E');
    const auto& calls = ui().providers().scriptedMenu().calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].items.size(), 2u);
    EXPECT_EQ(calls[0].flags & (TPM_MENUBAR | TPM_SELECTFIRST), TPM_MENUBAR | TPM_SELECTFIRST);
    EXPECT_EQ(calls[1].items.size(), 3u);
    EXPECT_EQ(frame.menuBarHot(), 0);
    sim().expectMenu(kMenuBarTitle | 1); // the pointer moved onto Edit
    sim().expectMenu(kCmdFrameOnly);
    sim().keyPress(VK_DOWN);
    EXPECT_EQ(frame.menuBarHot(), -1);
    sim().pump();
    EXPECT_EQ(frame.commands, (std::vector<std::pair<uint32_t, uint32_t>>{{kCmdFrameOnly, 0}}));
}

// A modeless window the frame owns passes the frame's accelerators on, and keeps the keys its controls take.
TEST_F(Frames, AcceleratorsWorkInAModelessWindowTheFrameOwns)
{
    Window* editor = ui().createWindow(
        {"window", "editor", WS_POPUP | WS_CAPTION | WS_VISIBLE, 0, {100, 100, 300, 200}, frame.hwnd()});
    ASSERT_NE(editor, nullptr);
    ui().activate(editor->hwnd());
    ui().setFocus(editor->hwnd());
    sim().keyChord(VK_CONTROL, 'S');
    EXPECT_TRUE(frame.commands.empty()) << "an editor's chords are its own: Ctrl+N there replaced the project";
    sim().keyPress(VK_DELETE);
    EXPECT_TRUE(view.taken.empty()) << "a plain key is the editor's";
    frame.enable(false); // as under a modal dialog: it takes no key
    sim().keyPress(VK_F10);
    EXPECT_EQ(frame.menuBarHot(), -1);
    frame.enable(true);
    sim().keyPress(VK_F10);
    EXPECT_EQ(frame.menuBarHot(), 0) << "F10 leads from the editor to the frame's menu bar";
    // The keyboard taken back by the editor (a window manager's word): the bar goes out, and a Down meant for a list
    // of the frame later opens no menu.
    ui().activate(editor->hwnd());
    EXPECT_EQ(frame.menuBarHot(), -1) << "the bar stayed lit";
    ui().activate(frame.hwnd());
    ui().setFocus(view.hwnd());
    sim().keyPress(VK_DOWN);
    EXPECT_TRUE(ui().providers().scriptedMenu().calls().empty());
    editor->destroy();
}

} // namespace
} // namespace pf
