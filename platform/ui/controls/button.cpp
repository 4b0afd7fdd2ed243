#include "platform/ui/controls/button.h"

#include "platform/base/user_constants.h"
#include "platform/gfx/gdi_objects.h"
#include "platform/ui/core/paint_dc.h"
#include "platform/ui/core/ui.h"

namespace pf {

bool Button::isRadio() const
{
    return buttonType() == BS_RADIOBUTTON || buttonType() == BS_AUTORADIOBUTTON;
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

void Button::paint()
{
    PaintDc dc(*this);
    const Rect r = clientRect();
    const uint32_t t = buttonType();
    const bool focused = ui().focus() == hwnd();
    if (t == BS_GROUPBOX) {
        fillBackground(dc, r, WM_CTLCOLORSTATIC, getSysColor(COLOR_BTNFACE));
        const int32_t mid = 6;
        dc.draw3dRect({r.l, r.t + mid, r.r, r.b}, getSysColor(COLOR_BTNSHADOW), getSysColor(COLOR_BTNHIGHLIGHT));
        const Size extent = dc.getTextExtent(text());
        dc.fillRect({r.l + 6, r.t, r.l + 10 + extent.cx, r.t + extent.cy},
                    createSolidBrush(getSysColor(COLOR_BTNFACE)));
        dc.setBkMode(TRANSPARENT);
        dc.textOut(r.l + 8, r.t, text());
        return;
    }
    if (isCheckBox() || isRadio()) {
        fillBackground(dc, r, WM_CTLCOLORSTATIC, getSysColor(COLOR_BTNFACE));
        const int32_t box = 13;
        const Rect b{r.l, r.t + static_cast<int32_t>((r.height() - box) / 2), r.l + box, 0};
        const Rect mark{b.l, b.t, b.l + box, b.t + box};
        dc.fillRect(mark, createSolidBrush(getSysColor(m_pushed || !isEnabled() ? COLOR_BTNFACE : COLOR_WINDOW)));
        dc.draw3dRect(mark, getSysColor(COLOR_BTNSHADOW), getSysColor(COLOR_BTNHIGHLIGHT));
        if (m_check != BST_UNCHECKED) {
            const Rect inner = mark.inflatedBy(-3, -3);
            dc.fillRect(inner, createSolidBrush(getSysColor(m_check == BST_CHECKED
                                                                ? (isEnabled() ? COLOR_BTNTEXT : COLOR_GRAYTEXT)
                                                                : COLOR_BTNSHADOW)));
        }
        dc.setBkMode(TRANSPARENT);
        drawText(dc, {r.l + box + 4, r.t, r.r, r.b}, text(), 0);
        if (focused)
            dc.drawFocusRect({r.l + box + 2, r.t, r.r, r.b});
        return;
    }
    dc.fillRect(r, createSolidBrush(getSysColor(COLOR_BTNFACE)));
    const bool sunken = m_pushed || ((style() & BS_PUSHLIKE) != 0 && m_check == BST_CHECKED);
    if (sunken)
        dc.draw3dRect(r, getSysColor(COLOR_BTNSHADOW), getSysColor(COLOR_BTNHIGHLIGHT));
    else
        dc.draw3dRect(r, getSysColor(COLOR_BTNHIGHLIGHT), getSysColor(COLOR_3DDKSHADOW));
    if (t == BS_DEFPUSHBUTTON || focused)
        dc.draw3dRect(r.inflatedBy(-1, -1), getSysColor(COLOR_WINDOWFRAME), getSysColor(COLOR_WINDOWFRAME));
    dc.setTextColor(textColor());
    dc.setBkMode(TRANSPARENT);
    const Rect face = sunken ? r.offsetBy(1, 1) : r;
    if (m_icon != nullptr)
        drawIcon(dc,
                 {face.l + static_cast<int32_t>((face.width() - m_icon->width()) / 2),
                  face.t + static_cast<int32_t>((face.height() - m_icon->height()) / 2)},
                 *m_icon);
    else
        drawText(dc, face, text(), 1);
    if (focused)
        dc.drawFocusRect(r.inflatedBy(-4, -4));
}

} // namespace pf
