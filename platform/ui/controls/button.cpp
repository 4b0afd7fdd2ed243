#include "platform/ui/controls/button.h"

#include <algorithm>

#include "platform/base/user_constants.h"
#include "platform/gfx/edge.h"
#include "platform/gfx/frame_control.h"
#include "platform/gfx/gdi_objects.h"
#include "platform/ui/core/paint_dc.h"
#include "platform/ui/core/ui.h"

namespace pf {

bool Button::isRadio() const
{
    return buttonType() == BS_RADIOBUTTON || buttonType() == BS_AUTORADIOBUTTON;
}

bool Button::isPushButton() const
{
    return buttonType() == BS_PUSHBUTTON || buttonType() == BS_DEFPUSHBUTTON;
}

bool Button::isCheckBox() const
{
    const uint32_t t = buttonType();
    return t == BS_CHECKBOX || t == BS_AUTOCHECKBOX || t == BS_3STATE || t == BS_AUTO3STATE;
}

void Button::setCheck(int32_t state)
{
    if (m_check == state)
        return;
    m_check = state;
    invalidate(true);
}

IconRef Button::setIcon(IconRef icon)
{
    IconRef previous = std::move(m_icon);
    m_icon = std::move(icon);
    invalidate(true);
    return previous;
}

void Button::uncheckGroupSiblings()
{
    for (Window* w : groupOf(*this)) {
        auto* radio = dynamic_cast<Button*>(w);
        if (radio != nullptr && radio != this && radio->buttonType() == BS_AUTORADIOBUTTON)
            radio->setCheck(BST_UNCHECKED);
    }
}

void Button::moveInGroup(int32_t step)
{
    if (step == 0)
        return;
    std::vector<Button*> radios;
    for (Window* w : groupOf(*this))
        if (auto* radio = dynamic_cast<Button*>(w);
            radio != nullptr && radio->isRadio() && (radio->style() & WS_VISIBLE) != 0 && radio->isEnabled())
            radios.push_back(radio);
    const auto self = std::find(radios.begin(), radios.end(), this);
    if (self == radios.end())
        return;
    const auto count = static_cast<int32_t>(radios.size());
    Button* next = radios[static_cast<size_t>((static_cast<int32_t>(self - radios.begin()) + step + count) % count)];
    const Hwnd nextHwnd = next->hwnd();
    ui().setFocus(nextHwnd);
    if (isAlive(nextHwnd, next))
        next->click();
}

void Button::click()
{
    const Hwnd self = hwnd();
    const uint32_t t = buttonType();
    if (t == BS_AUTOCHECKBOX)
        setCheck(m_check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED);
    else if (t == BS_AUTO3STATE)
        setCheck((m_check + 1) % 3);
    else if (t == BS_AUTORADIOBUTTON) {
        uncheckGroupSiblings();
        setCheck(BST_CHECKED);
    }
    notifyCommand(BN_CLICKED);
    if (isAlive(self, this))
        invalidate(true);
}

LResult Button::handle(const Msg& msg)
{
    const Hwnd self = hwnd();
    switch (msg.message) {
    case WM_PAINT:
        paint();
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        if (!isEnabled() || buttonType() == BS_GROUPBOX)
            return 0;
        ui().setFocus(self);
        if (!isAlive(self, this))
            return 0;
        ui().setCapture(self);
        m_tracking = true;
        m_pushed = true;
        invalidate(true);
        return 0;
    case WM_MOUSEMOVE:
        if (m_tracking) {
            const bool inside = clientRect().contains(pointFromLParam(msg.lParam));
            if (inside != m_pushed) {
                m_pushed = inside;
                invalidate(true);
            }
        }
        return 0;
    case WM_LBUTTONUP: {
        if (!m_tracking)
            return 0;
        m_tracking = false;
        const bool inside = clientRect().contains(pointFromLParam(msg.lParam));
        m_pushed = false;
        if (ui().capture() == self)
            ui().releaseCapture();
        if (isAlive(self, this) && !inside)
            invalidate(true); // released elsewhere: it rises without a click
        if (isAlive(self, this) && inside)
            click();
        return 0;
    }
    case WM_CAPTURECHANGED:
        if (m_tracking && static_cast<Hwnd>(msg.lParam) != self) {
            m_tracking = false;
            m_pushed = false;
            invalidate(true);
        }
        return 0;
    case WM_KEYUP:
        if (msg.wParam == VK_SPACE && isEnabled())
            click();
        return 0;
    case WM_KEYDOWN:
        if (isRadio())
            moveInGroup(msg.wParam == VK_UP || msg.wParam == VK_LEFT      ? -1
                        : msg.wParam == VK_DOWN || msg.wParam == VK_RIGHT ? 1
                                                                          : 0);
        return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        invalidateDefaultSiblings();
        return Control::handle(msg);
    case BM_GETCHECK:
        return m_check;
    case BM_SETCHECK:
        setCheck(static_cast<int32_t>(msg.wParam));
        return 0;
    case BM_CLICK:
        if (isEnabled())
            click();
        return 0;
    case BM_SETIMAGE:
        if (msg.wParam != IMAGE_ICON)
            return 0;
        return reinterpret_cast<LResult>(
            setIcon(msg.lParam != 0 ? *reinterpret_cast<const IconRef*>(msg.lParam) : nullptr).get());
    default:
        return Control::handle(msg);
    }
}

bool Button::showsDefaultOutline() const
{
    if (isCheckBox() || isRadio() || buttonType() == BS_GROUPBOX || !isEnabled())
        return false;
    const Hwnd focus = ui().focus();
    if (focus == hwnd())
        return true;
    if (buttonType() != BS_DEFPUSHBUTTON)
        return false;
    // A focused push button of the same dialog is the default while it holds the focus.
    const auto* focused = dynamic_cast<const Button*>(ui().window(focus));
    return focused == nullptr || focused->parent() != parent() || focused->isCheckBox() || focused->isRadio() ||
           focused->buttonType() == BS_GROUPBOX;
}

void Button::invalidateDefaultSiblings()
{
    const Window* p = parent();
    if (p == nullptr || isCheckBox() || isRadio())
        return;
    for (const Hwnd h : p->children()) {
        auto* sibling = dynamic_cast<Button*>(ui().window(h));
        if (sibling != nullptr && sibling != this && sibling->buttonType() == BS_DEFPUSHBUTTON)
            sibling->invalidate(true);
    }
}

void Button::paintGroupBox(Dc& dc)
{
    const Rect r = clientRect();
    fillBackground(dc, r, WM_CTLCOLORSTATIC, getSysColor(COLOR_BTNFACE));
    const Size extent = dc.getTextExtent(text());
    const int32_t mid = extent.cy / 2;
    drawEdge(dc, {r.l, r.t + mid, r.r, r.b}, EdgeKind::kEtched);
    if (text().empty())
        return;
    dc.fillRect({r.l + 6, r.t, r.l + 10 + extent.cx, r.t + extent.cy + 1},
                createSolidBrush(getSysColor(COLOR_BTNFACE)));
    dc.setBkMode(TRANSPARENT);
    drawFaceText(dc, {r.l + 8, r.t, r.l + 8 + extent.cx, r.t + extent.cy}, text(), 0);
}

void Button::paintMark(Dc& dc)
{
    const Rect r = clientRect();
    fillBackground(dc, r, WM_CTLCOLORSTATIC, getSysColor(COLOR_BTNFACE));
    const int32_t side = checkMarkSide(static_cast<int32_t>(r.height()));
    const Rect box = Rect::fromXywh(r.l, r.t + static_cast<int32_t>((r.height() - side) / 2), side, side);
    const bool grey = m_pushed || !isEnabled();
    if (isRadio())
        drawRadioButton(dc, box, m_check == BST_CHECKED, grey, isEnabled());
    else
        drawCheckBox(dc, box, m_check, grey, isEnabled());
    dc.setBkMode(TRANSPARENT);
    const Rect label{box.r + 4, r.t, r.r, r.b};
    drawFaceText(dc, label, text(), 0);
    if (ui().focus() != hwnd() || text().empty())
        return;
    // The focus mark rings the caption itself, one pixel clear of it.
    const Size extent = dc.getTextExtent(text());
    const int32_t top = label.t + static_cast<int32_t>((label.height() - extent.cy) / 2);
    dc.drawFocusRect(Rect{label.l - 1, top - 1, label.l + extent.cx + 1, top + extent.cy + 1}.intersected(r));
}

void Button::paint()
{
    PaintDc dc(*this);
    if (buttonType() == BS_GROUPBOX) {
        paintGroupBox(dc);
        return;
    }
    if (isCheckBox() || isRadio()) {
        paintMark(dc);
        return;
    }
    const Rect r = clientRect();
    const bool sunken = m_pushed || ((style() & BS_PUSHLIKE) != 0 && m_check == BST_CHECKED);
    const Rect inside = drawPushButtonFrame(dc, r, showsDefaultOutline(), sunken);
    dc.setTextColor(textColor());
    dc.setBkMode(TRANSPARENT);
    const Rect face = sunken ? inside.offsetBy(1, 1) : inside;
    if (m_icon != nullptr)
        drawIcon(dc,
                 {face.l + static_cast<int32_t>((face.width() - m_icon->width()) / 2),
                  face.t + static_cast<int32_t>((face.height() - m_icon->height()) / 2)},
                 *m_icon);
    else
        drawFaceText(dc, face, text(), 1);
    if (ui().focus() == hwnd())
        dc.drawFocusRect(r.inflatedBy(-4, -4));
}

} // namespace pf
