#include "platform/ui/providers/live_menu.h"

#include "platform/base/user_constants.h"
#include "platform/gfx/edge.h"
#include "platform/gfx/gdi_objects.h"
#include "platform/gfx/glyph.h"
#include "platform/ui/core/message_loop.h"
#include "platform/ui/core/paint_dc.h"
#include "platform/ui/core/ui.h"

#include <algorithm>
#include <memory>

namespace pf {

namespace {

constexpr int32_t kTextLeft = 20;
constexpr int32_t kMinMenuWidth = 120;
constexpr int32_t kCharWidth = 7; // a generous average: the menu is sized before a font is measured

class MenuSession;

// One level of an open menu. The session owns it; its window holds the capture while it is the deepest level.
class MenuLevel final : public Window {
public:
    MenuLevel(MenuSession& session, const std::vector<MenuItem>& items) : m_session(session), m_items(items) {}

    const std::vector<MenuItem>& items() const { return m_items; }
    int32_t highlight() const { return m_highlight; }
    void setHighlight(int32_t index);
    int32_t itemAt(Point client) const;
    bool isSelectable(int32_t index) const
    {
        return index >= 0 && index < static_cast<int32_t>(m_items.size()) &&
               (m_items[index].isChoosable() ||
                (m_items[index].isPopup() && (m_items[index].flags & (MF_GRAYED | MF_DISABLED)) == 0));
    }

    LResult handle(const Msg& msg) override;

private:
    void paint();

    MenuSession& m_session;
    std::vector<MenuItem> m_items;
    int32_t m_highlight = -1;
};

class MenuSession {
public:
    MenuSession(Hwnd owner, uint32_t flags) : m_owner(owner), m_flags(flags) {}
    ~MenuSession() { closeFrom(0); }

    bool open(const std::vector<MenuItem>& items, Point at);
    uint32_t run();

    // From the levels' window procedures.
    void mouse(uint32_t message, Point screen);
    void key(uint8_t vk);
    bool isDone() const { return m_done; }

private:
    MenuLevel* deepest() const { return m_levels.empty() ? nullptr : m_levels.back().get(); }
    int32_t levelAt(Point screen) const;
    void openSubMenu(size_t level, int32_t index);
    void closeFrom(size_t level);
    void finish(uint32_t command);
    void moveHighlight(MenuLevel& level, int step);

    Hwnd m_owner;
    uint32_t m_flags;
    std::vector<std::unique_ptr<MenuLevel>> m_levels;
    bool fromBar() const { return (m_flags & TPM_MENUBAR) != 0; }
    int32_t barTitleAt(Point screen) const; // another title of the owner's menu bar; -1 for none

    Hwnd m_previousFocus = kNoWindow;
    bool m_pressed = false;       // a press came since the menu opened: its release chooses
    bool m_openingPress = false;  // the menu opened with a button held down, whose release is still to come
    bool m_draggedOnMenu = false; // that button has been dragged onto the menu
    bool m_done = false;
    uint32_t m_chosen = 0;
};

Size menuSize(const std::vector<MenuItem>& items)
{
    size_t widest = 0;
    for (const MenuItem& item : items)
        widest = std::max(widest, item.text.size());
    const std::vector<Rect> rects = menuItemRects(items, 0);
    const int32_t height = rects.empty() ? kMenuItemHeight : rects.back().b;
    return {std::max(kMinMenuWidth, kTextLeft * 2 + static_cast<int32_t>(widest) * kCharWidth), height + 2 + 4};
}

// Keeps a menu on the screen: it opens leftwards or upwards when the point is too near the right or bottom edge.
Rect placeOnScreen(Point at, Size size, int32_t leftAlternative)
{
    const Size screenSize{getSystemMetrics(SM_CXSCREEN), getSystemMetrics(SM_CYSCREEN)};
    int32_t x = at.x;
    int32_t y = at.y;
    if (x + size.cx > screenSize.cx)
        x = std::max(0, leftAlternative - size.cx);
    if (y + size.cy > screenSize.cy)
        y = std::max(0, screenSize.cy - size.cy);
    return Rect::fromXywh(x, y, size.cx, size.cy);
}

} // namespace

std::vector<Rect> menuItemRects(const std::vector<MenuItem>& items, int32_t width)
{
    std::vector<Rect> rects;
    int32_t y = 2;
    for (const MenuItem& item : items) {
        const int32_t h = (item.flags & MF_SEPARATOR) != 0 ? kMenuSeparatorHeight : kMenuItemHeight;
        rects.push_back({0, y, width, y + h});
        y += h;
    }
    return rects;
}

namespace {

// The mark left of a checked item's text and the arrow right of a sub-menu's, in the text's colour.
void drawMenuMarks(Dc& dc, const MenuItem& item, const Rect& r, int32_t width, ColorRef color, bool etched)
{
    const auto draw = [&](const Rect& box, Glyph glyph) {
        if (etched)
            drawEtchedGlyph(dc, box, glyph);
        else
            drawGlyph(dc, box, glyph, color);
    };
    const int32_t middle = r.t + static_cast<int32_t>(r.height() / 2);
    if ((item.flags & MF_CHECKED) != 0) {
        const bool radio = (item.flags & MFT_RADIOCHECK) != 0;
        const int32_t side = radio ? 6 : 7;
        draw(Rect::fromXywh(kTextLeft / 2 - side / 2, middle - side / 2, side, side),
             radio ? Glyph::kDot : Glyph::kTick);
    }
    if (item.isPopup())
        draw(Rect::fromXywh(width - 16, middle - 7, 14, 14), Glyph::kArrowRight);
}

} // namespace

void drawMenuLevel(Dc& dc, const Rect& client, const std::vector<MenuItem>& items, int32_t highlight)
{
    dc.fillRect(client, createSolidBrush(getSysColor(COLOR_MENU)));
    drawEdge(dc, client, EdgeKind::kRaisedInner); // the frame's outer ring is the window's border
    dc.setBkMode(TRANSPARENT);
    const std::vector<Rect> rects = menuItemRects(items, client.r);
    for (size_t i = 0; i < items.size(); ++i) {
        const MenuItem& item = items[i];
        const Rect& r = rects[i];
        if ((item.flags & MF_SEPARATOR) != 0) {
            drawEtchedLine(dc, {2, r.t + 3}, client.r - 4, false);
            continue;
        }
        const bool lit = static_cast<int32_t>(i) == highlight;
        const bool grayed = (item.flags & (MF_GRAYED | MF_DISABLED)) != 0;
        if (lit)
            dc.fillRect({2, r.t, client.r - 2, r.b}, createSolidBrush(getSysColor(COLOR_HIGHLIGHT)));
        // Grayed text is etched on the menu's face; on the lit bar it is plain grey, as an etch would vanish there.
        const bool etched = grayed && !lit;
        const ColorRef color = getSysColor(grayed ? COLOR_GRAYTEXT : lit ? COLOR_HIGHLIGHTTEXT : COLOR_MENUTEXT);
        dc.setTextColor(color);
        std::string text;
        for (const char c : item.text)
            if (c != '&')
                text += c; // mnemonics are not underlined
        const size_t tab = text.find('\t');
        const auto out = [&](int32_t x, std::string_view s) {
            if (etched)
                drawEtchedText(dc, x, r.t + 3, s);
            else
                dc.textOut(x, r.t + 3, s);
        };
        out(kTextLeft, std::string_view(text).substr(0, tab));
        if (tab != std::string::npos)
            out(client.r - kTextLeft - static_cast<int32_t>(dc.getTextExtent(text.substr(tab + 1)).cx),
                std::string_view(text).substr(tab + 1));
        drawMenuMarks(dc, item, r, client.r, color, etched);
    }
}

namespace {

void MenuLevel::setHighlight(int32_t index)
{
    if (index == m_highlight)
        return;
    m_highlight = index;
    invalidate(false);
}

int32_t MenuLevel::itemAt(Point client) const
{
    if (!clientRect().contains(client))
        return -1;
    const std::vector<Rect> rects = menuItemRects(m_items, clientRect().r);
    for (size_t i = 0; i < rects.size(); ++i)
        if (rects[i].contains(client))
            return static_cast<int32_t>(i);
    return -1;
}

LResult MenuLevel::handle(const Msg& msg)
{
    switch (msg.message) {
    case WM_PAINT:
        paint();
        return 0;
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
        m_session.mouse(msg.message, clientToScreen(pointFromLParam(msg.lParam)));
        return 0;
    case WM_KEYDOWN:
        m_session.key(static_cast<uint8_t>(msg.wParam));
        return 0;
    case WM_CHAR:
        return 0;
    default:
        return Window::handle(msg);
    }
}

void MenuLevel::paint()
{
    PaintDc dc(*this);
    drawMenuLevel(dc, clientRect(), m_items, m_highlight);
}

bool MenuSession::open(const std::vector<MenuItem>& items, Point at)
{
    auto level = std::make_unique<MenuLevel>(*this, items);
    if (!level->create(
            {"popupmenu", "", WS_POPUP | WS_BORDER, 0, placeOnScreen(at, menuSize(items), at.x), m_owner, 0}))
        return false;
    level->show(SW_SHOWNOACTIVATE);
    m_levels.push_back(std::move(level));
    ui().setCapture(deepest()->hwnd());
    return true;
}

uint32_t MenuSession::run()
{
    Ui& u = ui();
    if ((m_flags & TPM_SELECTFIRST) != 0)
        moveHighlight(*deepest(), 1);
    if (MenuLevel& level = *deepest(); (m_flags & TPM_SELECTCHECKED) != 0)
        for (size_t i = 0; i < level.items().size(); ++i)
            if ((level.items()[i].flags & MF_CHECKED) != 0 && level.isSelectable(static_cast<int32_t>(i)))
                level.setHighlight(static_cast<int32_t>(i));
    m_previousFocus = u.setFocus(deepest()->hwnd()); // keys go to the menu while it is open
    m_openingPress = u.getKeyState(VK_LBUTTON) < 0 || u.getKeyState(VK_RBUTTON) < 0;
    runModalLoop(u, [&] { return m_done || m_levels.empty() || !u.isWindow(m_levels.front()->hwnd()); });
    closeFrom(0);
    if (u.isWindow(m_previousFocus))
        u.setFocus(m_previousFocus);
    return m_chosen;
}

int32_t MenuSession::levelAt(Point screen) const
{
    for (size_t i = m_levels.size(); i-- > 0;)
        if (m_levels[i]->screenRect().contains(screen))
            return static_cast<int32_t>(i);
    return -1;
}

void MenuSession::mouse(uint32_t message, Point screen)
{
    if (m_done)
        return;
    const int32_t levelIndex = levelAt(screen);
    const bool press = message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN;
    const bool release = message == WM_LBUTTONUP || message == WM_RBUTTONUP;
    if (press)
        m_openingPress = false;
    if (release && !m_pressed && m_openingPress) {
        // The release of the press that opened the menu, as a person presses on a title, drags and lets go: over an
        // item it chooses; over the menu, a title of the bar, or anywhere before the pointer has been on the menu (a
        // click on the title, whose own title the bar does not report) it leaves the menu open; elsewhere it closes it.
        m_openingPress = false;
        if (levelIndex < 0) {
            if (barTitleAt(screen) < 0 && m_draggedOnMenu)
                finish(0);
            return;
        }
        MenuLevel& level = *m_levels[static_cast<size_t>(levelIndex)];
        const int32_t index = level.itemAt(level.screenToClient(screen));
        const bool rightAllowed = (m_flags & TPM_RIGHTBUTTON) != 0 || message == WM_LBUTTONUP;
        if (rightAllowed && level.isSelectable(index) && level.items()[static_cast<size_t>(index)].isChoosable())
            finish(level.items()[static_cast<size_t>(index)].id);
        return;
    }
    if (message == WM_MOUSEMOVE && m_openingPress && levelIndex >= 0)
        m_draggedOnMenu = true;
    if (levelIndex < 0) {
        // Over another title of the bar the menu came from, that title's menu takes over, as when pressed there.
        if (const int32_t title = barTitleAt(screen); title >= 0 && (press || message == WM_MOUSEMOVE))
            finish(kMenuBarTitle | static_cast<uint32_t>(title));
        else if (press)
            finish(0); // a click outside every level dismisses the menu
        return;
    }
    MenuLevel& level = *m_levels[static_cast<size_t>(levelIndex)];
    const int32_t index = level.itemAt(level.screenToClient(screen));
    const bool selectable = level.isSelectable(index);
    if (message == WM_MOUSEMOVE) {
        level.setHighlight(selectable ? index : -1);
        if (selectable && level.items()[static_cast<size_t>(index)].isPopup())
            openSubMenu(static_cast<size_t>(levelIndex), index);
        else
            closeFrom(static_cast<size_t>(levelIndex) + 1);
        return;
    }
    if (press) {
        m_pressed = true;
        if (selectable && level.items()[static_cast<size_t>(index)].isPopup())
            openSubMenu(static_cast<size_t>(levelIndex), index);
        return;
    }
    const bool rightAllowed = (m_flags & TPM_RIGHTBUTTON) != 0 || message == WM_LBUTTONUP;
    if (m_pressed && rightAllowed && selectable && level.items()[static_cast<size_t>(index)].isChoosable())
        finish(level.items()[static_cast<size_t>(index)].id);
}

void MenuSession::moveHighlight(MenuLevel& level, int step)
{
    const auto count = static_cast<int32_t>(level.items().size());
    int32_t index = level.highlight();
    for (int32_t tried = 0; tried < count; ++tried) {
        index = index < 0 ? (step > 0 ? 0 : count - 1) : (index + step + count) % count;
        if (level.isSelectable(index)) {
            level.setHighlight(index);
            return;
        }
    }
}

void MenuSession::key(uint8_t vk)
{
    if (m_done)
        return;
    MenuLevel* level = deepest();
    if (level == nullptr)
        return;
    const int32_t index = level->highlight();
    const bool selectable = level->isSelectable(index);
    switch (vk) {
    case VK_DOWN:
    case VK_UP:
        moveHighlight(*level, vk == VK_DOWN ? 1 : -1);
        return;
    case VK_RIGHT:
        if (selectable && level->items()[static_cast<size_t>(index)].isPopup()) {
            openSubMenu(m_levels.size() - 1, index);
            moveHighlight(*deepest(), 1);
        } else if (fromBar()) {
            finish(kMenuBarNext);
        }
        return;
    case VK_LEFT:
    case VK_ESCAPE:
        if (m_levels.size() > 1)
            closeFrom(m_levels.size() - 1);
        else if (fromBar())
            finish(vk == VK_LEFT ? kMenuBarPrevious : kMenuBarBack);
        else if (vk == VK_ESCAPE)
            finish(0);
        return;
    case VK_RETURN:
        if (!selectable)
            return;
        if (level->items()[static_cast<size_t>(index)].isPopup()) {
            openSubMenu(m_levels.size() - 1, index);
            moveHighlight(*deepest(), 1);
        } else {
            finish(level->items()[static_cast<size_t>(index)].id);
        }
        return;
    case VK_MENU:
    case VK_F10:
        finish(0);
        return;
    default:
        return;
    }
}

int32_t MenuSession::barTitleAt(Point screen) const
{
    if (!fromBar() || !hasUi())
        return -1;
    return static_cast<int32_t>(ui().send(m_owner, kMsgMenuBarHitTest, static_cast<WParam>(screen.x), screen.y)) - 1;
}

void MenuSession::openSubMenu(size_t levelIndex, int32_t index)
{
    MenuLevel& level = *m_levels[levelIndex];
    if (m_levels.size() > levelIndex + 1) {
        if (m_levels[levelIndex + 1]->items().size() == level.items()[static_cast<size_t>(index)].popup.size() &&
            level.highlight() == index)
            return; // already open
        closeFrom(levelIndex + 1);
    }
    level.setHighlight(index);
    const Rect item = menuItemRects(level.items(), level.clientRect().r)[static_cast<size_t>(index)];
    const Rect onScreen = level.screenRect();
    const Point at = level.clientToScreen({level.clientRect().r, item.t});
    const std::vector<MenuItem>& items = level.items()[static_cast<size_t>(index)].popup;
    auto sub = std::make_unique<MenuLevel>(*this, items);
    if (!sub->create(
            {"popupmenu", "", WS_POPUP | WS_BORDER, 0, placeOnScreen(at, menuSize(items), onScreen.l), m_owner, 0}))
        return;
    sub->show(SW_SHOWNOACTIVATE);
    m_levels.push_back(std::move(sub));
    ui().setCapture(deepest()->hwnd());
    ui().setFocus(deepest()->hwnd());
}

void MenuSession::closeFrom(size_t levelIndex)
{
    while (m_levels.size() > levelIndex) {
        m_levels.back()->destroy();
        m_levels.pop_back();
    }
    if (!hasUi())
        return;
    if (MenuLevel* level = deepest()) {
        ui().setCapture(level->hwnd());
        ui().setFocus(level->hwnd());
    } else if (ui().capture() != kNoWindow && ui().window(ui().capture()) == nullptr) {
        ui().releaseCapture();
    }
}

void MenuSession::finish(uint32_t command)
{
    if (m_done)
        return; // the first choice stands: input that follows it is not the menu's
    m_chosen = command;
    m_done = true;
}

} // namespace

uint32_t LiveMenuChooser::choose(Hwnd owner, const std::vector<MenuItem>& items, Point point, uint32_t flags)
{
    if (items.empty())
        return 0;
    MenuSession session(owner, flags);
    if (!session.open(items, point))
        return 0;
    return session.run();
}

} // namespace pf
