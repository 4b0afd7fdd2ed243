#include "platform/ui/controls/combo_box.h"

#include "platform/base/user_constants.h"
#include "platform/display/screen.h"
#include "platform/gfx/frame_control.h"
#include "platform/gfx/gdi_objects.h"
#include "platform/gfx/memory_dc.h"
#include "platform/ui/core/paint_dc.h"
#include "platform/ui/core/ui.h"

#include <algorithm>

namespace pf {

// The open list: a popup under the combo box that holds the capture, so a click outside closes it unchosen.
class DropList : public Window {
public:
    explicit DropList(Hwnd combo) : m_combo(combo) {}

    LResult handle(const Msg& msg) override
    {
        auto* combo = dynamic_cast<ComboBox*>(ui().window(m_combo));
        switch (msg.message) {
        case WM_PAINT: {
            PaintDc dc(*this);
            const Rect r = clientRect();
            dc.fillRect(r, createSolidBrush(getSysColor(COLOR_WINDOW)));
            if (combo == nullptr)
                return 0;
            dc.setBkMode(TRANSPARENT);
            for (int32_t i = 0; i < combo->getCount(); ++i) {
                const Rect row{0, i * combo->itemHeight(), r.r, (i + 1) * combo->itemHeight()};
                const bool current = i == combo->getCurSel();
                if (current)
                    dc.fillRect(row, createSolidBrush(getSysColor(COLOR_HIGHLIGHT)));
                dc.setTextColor(getSysColor(current ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
                dc.textOut(2, row.t + 2, combo->getLBText(i));
            }
            return 0;
        }
        case WM_LBUTTONDOWN:
            m_pressed = true;
            return 0;
        case WM_LBUTTONUP: {
            // The release of the click that opened the list lands here too, and keeps it open.
            if (combo == nullptr || !m_pressed)
                return 0;
            const Point p = pointFromLParam(msg.lParam);
            const int32_t index = clientRect().contains(p) ? p.y / combo->itemHeight() : -1;
            if (index >= 0 && index < combo->getCount())
                combo->chooseByUser(index);
            else
                combo->closeUp();
            return 0;
        }
        default:
            return Window::handle(msg);
        }
    }

protected:
    // The classic drop list has a plain dark line round it, not a pop-up's raised ring.
    void paintNonClient(Dc& dc) override
    {
        const ColorRef line = getSysColor(COLOR_WINDOWFRAME);
        dc.draw3dRect({0, 0, static_cast<int32_t>(windowRect().width()), static_cast<int32_t>(windowRect().height())},
                      line, line);
    }

private:
    Hwnd m_combo;
    bool m_pressed = false;
};

void ComboBox::resetContent()
{
    m_items.clear();
    m_images.clear();
    m_curSel = -1;
    invalidate(true);
}

int32_t ComboBox::addString(std::string_view text)
{
    m_items.setSorted((style() & CBS_SORT) != 0);
    const int32_t at = m_items.add(text);
    m_images.insert(m_images.begin() + at, -1);
    if (m_curSel >= at)
        ++m_curSel;
    return at;
}

int32_t ComboBox::insertString(int32_t index, std::string_view text)
{
    const int32_t at = m_items.insert(index, text);
    if (at < 0)
        return CB_ERR;
    m_images.insert(m_images.begin() + at, -1);
    if (m_curSel >= at)
        ++m_curSel;
    return at;
}

int32_t ComboBox::deleteString(int32_t index)
{
    if (!m_items.remove(index))
        return CB_ERR;
    m_images.erase(m_images.begin() + index);
    if (m_curSel == index)
        m_curSel = -1;
    else if (m_curSel > index)
        --m_curSel;
    invalidate(true);
    return m_items.count();
}

int32_t ComboBox::setCurSel(int32_t index)
{
    m_curSel = m_items.isValid(index) ? index : -1;
    setText(m_curSel >= 0 ? m_items.at(m_curSel).text : std::string());
    return m_curSel >= 0 ? m_curSel : CB_ERR;
}

std::string ComboBox::getLBText(int32_t index) const
{
    return m_items.isValid(index) ? m_items.at(index).text : std::string();
}

intptr_t ComboBox::getItemData(int32_t index) const
{
    return m_items.isValid(index) ? m_items.at(index).data : CB_ERR;
}

bool ComboBox::setItemData(int32_t index, intptr_t data)
{
    if (!m_items.isValid(index))
        return false;
    m_items.at(index).data = data;
    return true;
}

int32_t ComboBox::selectString(int32_t start, std::string_view prefix)
{
    const int32_t found = m_items.findPrefix(start, prefix);
    if (found >= 0)
        setCurSel(found);
    return found >= 0 ? found : CB_ERR;
}

ImageListRef ComboBox::setImageList(ImageListRef list)
{
    ImageListRef previous = std::move(m_imageList);
    m_imageList = std::move(list);
    invalidate(true);
    return previous;
}

bool ComboBox::setItemImage(int32_t index, int32_t image)
{
    if (!m_items.isValid(index))
        return false;
    m_images[static_cast<size_t>(index)] = image;
    return true;
}

Rect ComboBox::dropItemRect(int32_t index) const
{
    const Window* list = ui().window(m_dropList);
    if (list == nullptr || !m_items.isValid(index))
        return {};
    const Point origin = list->clientToScreen({0, index * itemHeight()});
    return Rect::fromXywh(origin.x, origin.y, static_cast<int32_t>(list->clientRect().width()), itemHeight());
}

bool ComboBox::showDropDown(bool show)
{
    const Hwnd self = hwnd();
    if (show == isDroppedDown())
        return true;
    if (!show) {
        closeUp();
        return true;
    }
    notifyCommand(CBN_DROPDOWN);
    if (!isAlive(self, this))
        return false;
    const Rect below = screenRect();
    const int32_t rows = std::max(1, std::min(getCount(), 12));
    // As wide as its widest entry where the screen has room, never narrower than the box.
    MemoryDc measure;
    int32_t width = static_cast<int32_t>(below.width());
    for (int32_t i = 0; i < getCount(); ++i)
        width = std::max(width, static_cast<int32_t>(measure.getTextExtent(getLBText(i)).cx) + 8);
    const Rect area = screen().workArea();
    width = std::min(width, std::max(static_cast<int32_t>(below.width()), static_cast<int32_t>(area.width())));
    const int32_t left = std::max(area.l, std::min(below.l, area.r - width));
    auto owned = std::make_unique<DropList>(self);
    Window* raw = owned.get();
    m_dropListObject = std::move(owned);
    if (!raw->create({"combolist", "", WS_POPUP | WS_BORDER, 0,
                      Rect::fromXywh(left, below.b, width, rows * itemHeight() + 2), self, 0}))
        return false;
    m_dropList = raw->hwnd();
    raw->show(SW_SHOWNOACTIVATE);
    ui().setCapture(m_dropList);
    invalidate(false); // the drop button shows pushed while the list is open
    return true;
}

void ComboBox::closeUp()
{
    if (!isDroppedDown())
        return;
    const Hwnd self = hwnd();
    const Hwnd list = m_dropList;
    m_dropList = kNoWindow;
    if (ui().capture() == list)
        ui().releaseCapture();
    if (Window* w = ui().window(list))
        w->destroy();
    m_dropListObject.reset();
    invalidate(false);
    if (isAlive(self, this))
        notifyCommand(CBN_CLOSEUP);
}

void ComboBox::chooseByUser(int32_t index)
{
    const Hwnd self = hwnd();
    const bool changed = index != m_curSel && m_items.isValid(index);
    if (changed)
        setCurSel(index);
    if (changed)
        notifyCommand(CBN_SELCHANGE);
    if (isAlive(self, this))
        closeUp();
}

LResult ComboBox::handle(const Msg& msg)
{
    const Hwnd self = hwnd();
    switch (msg.message) {
    case WM_PAINT:
        paint();
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_LBUTTONDOWN:
        ui().setFocus(self);
        if (isAlive(self, this))
            showDropDown(!isDroppedDown());
        return 0;
    case WM_KEYDOWN: {
        // F4, and Alt with an arrow, open and close the list; the arrows alone step through the choices.
        if (msg.wParam == VK_F4 || ((msg.wParam == VK_DOWN || msg.wParam == VK_UP) && ui().getKeyState(VK_MENU) < 0)) {
            showDropDown(!isDroppedDown());
            return 0;
        }
        const int32_t step = msg.wParam == VK_DOWN ? 1 : (msg.wParam == VK_UP ? -1 : 0);
        if (step == 0 || getCount() == 0)
            return 0;
        const int32_t next = std::clamp(m_curSel + step, 0, getCount() - 1);
        if (next != m_curSel) {
            setCurSel(next);
            if (Window* list = ui().window(m_dropList))
                list->invalidate(false);
            notifyCommand(CBN_SELCHANGE);
        }
        return 0;
    }
    case WM_SETTEXT:
        Window::defaultHandle(msg);
        return 1; // the shown text; no notification
    case WM_DESTROY:
        closeUp();
        return 0;
    case CB_ADDSTRING:
        return addString(msg.lParam != 0 ? reinterpret_cast<const char*>(msg.lParam) : "");
    case CB_INSERTSTRING:
        return insertString(static_cast<int32_t>(msg.wParam),
                            msg.lParam != 0 ? reinterpret_cast<const char*>(msg.lParam) : "");
    case CB_DELETESTRING:
        return deleteString(static_cast<int32_t>(msg.wParam));
    case CB_RESETCONTENT:
        resetContent();
        return 0;
    case CB_GETCOUNT:
        return getCount();
    case CB_GETCURSEL:
        return getCurSel();
    case CB_SETCURSEL:
        return setCurSel(static_cast<int32_t>(msg.wParam));
    case CB_GETITEMDATA:
        return getItemData(static_cast<int32_t>(msg.wParam));
    case CB_SETITEMDATA:
        return setItemData(static_cast<int32_t>(msg.wParam), msg.lParam) ? 0 : CB_ERR;
    case CB_FINDSTRINGEXACT:
        return findStringExact(static_cast<int32_t>(msg.wParam),
                               msg.lParam != 0 ? reinterpret_cast<const char*>(msg.lParam) : "");
    case CB_GETLBTEXT: {
        if (!m_items.isValid(static_cast<int32_t>(msg.wParam)) || msg.lParam == 0)
            return CB_ERR;
        const std::string& t = m_items.at(static_cast<int32_t>(msg.wParam)).text;
        std::copy(t.begin(), t.end(), reinterpret_cast<char*>(msg.lParam));
        reinterpret_cast<char*>(msg.lParam)[t.size()] = '\0';
        return static_cast<LResult>(t.size());
    }
    case CB_SHOWDROPDOWN:
        showDropDown(msg.wParam != 0);
        return 1;
    case CB_GETDROPPEDSTATE:
        return isDroppedDown() ? 1 : 0;
    default:
        return Control::handle(msg);
    }
}

bool ComboBox::preTranslateMessage(const Msg& msg)
{
    if (!isDroppedDown())
        return false;
    if (msg.message == WM_KEYDOWN && (msg.wParam == VK_RETURN || msg.wParam == VK_ESCAPE)) {
        closeUp(); // the choice was made by the arrows already; either key only closes the list
        return true;
    }
    return false;
}

void ComboBox::paint()
{
    PaintDc dc(*this);
    const Rect r = clientRect();
    dc.fillRect(r, createSolidBrush(getSysColor(isEnabled() ? COLOR_WINDOW : COLOR_BTNFACE)));
    const Rect well = drawClientEdge(dc);
    const int32_t buttonWidth = std::min<int32_t>(fixedSystemMetric(SM_CXVSCROLL), static_cast<int32_t>(well.width()));
    const Rect button{well.r - buttonWidth, well.t, well.r, well.b};
    drawArrowButton(dc, button, Glyph::kDropArrow, isDroppedDown(), isEnabled(), true);
    int32_t x = well.l + 1;
    if (m_imageList != nullptr && m_curSel >= 0 && m_images[static_cast<size_t>(m_curSel)] >= 0) {
        m_imageList->draw(dc, m_images[static_cast<size_t>(m_curSel)], {x, (r.b - m_imageList->imageHeight()) / 2},
                          ILD_TRANSPARENT);
        x += m_imageList->imageWidth() + 2;
    }
    const bool focused = ui().focus() == hwnd();
    const Rect textArea{x - 1, well.t + 1, button.l - 1, well.b - 1};
    if (focused)
        dc.fillRect(textArea, createSolidBrush(getSysColor(COLOR_HIGHLIGHT)));
    dc.setBkMode(TRANSPARENT);
    dc.setTextColor(getSysColor(!isEnabled() ? COLOR_GRAYTEXT : (focused ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT)));
    drawText(dc, {x + 1, r.t, button.l - 2, r.b}, m_curSel >= 0 ? m_items.at(m_curSel).text : text(), 0);
    if (focused)
        dc.drawFocusRect(textArea);
}

} // namespace pf
