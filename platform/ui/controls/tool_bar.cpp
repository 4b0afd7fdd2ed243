#include "platform/ui/controls/tool_bar.h"

#include "platform/base/user_constants.h"
#include "platform/gfx/edge.h"
#include "platform/gfx/frame_control.h"
#include "platform/gfx/gdi_objects.h"
#include "platform/ui/core/paint_dc.h"
#include "platform/ui/core/ui.h"

namespace pf {

bool ToolBar::loadToolBar(uint32_t resourceId)
{
    const std::vector<ToolBarButton> layout = resources().toolBar(resourceId);
    if (layout.empty())
        return false;
    setButtons(layout);
    return true;
}

void ToolBar::setButtons(const std::vector<ToolBarButton>& buttons)
{
    m_buttons.clear();
    for (const ToolBarButton& b : buttons)
        m_buttons.push_back({b});
    invalidate(true);
}

ImageListRef ToolBar::setImageList(ImageListRef list)
{
    ImageListRef previous = std::move(m_images);
    m_images = std::move(list);
    invalidate(true);
    return previous;
}

int32_t ToolBar::commandToIndex(uint32_t command) const
{
    for (size_t i = 0; i < m_buttons.size(); ++i)
        if (m_buttons[i].button.command == command && command != 0)
            return static_cast<int32_t>(i);
    return -1;
}

Rect ToolBar::itemRect(int32_t index) const
{
    int32_t x = 4;
    for (int32_t i = 0; i < buttonCount(); ++i) {
        const int32_t width = m_buttons[static_cast<size_t>(i)].button.command == 0 ? kSeparatorWidth : kButtonWidth;
        if (i == index)
            return {x, 2, x + width, 2 + kButtonWidth - 2};
        x += width;
    }
    return {};
}

bool ToolBar::checkButton(uint32_t command, bool checked)
{
    const int32_t i = commandToIndex(command);
    if (i < 0)
        return false;
    m_buttons[static_cast<size_t>(i)].checked = checked;
    invalidate(itemRect(i), true);
    return true;
}

bool ToolBar::enableButton(uint32_t command, bool enabled)
{
    const int32_t i = commandToIndex(command);
    if (i < 0)
        return false;
    m_buttons[static_cast<size_t>(i)].enabled = enabled;
    invalidate(itemRect(i), true);
    return true;
}

bool ToolBar::isButtonChecked(uint32_t command) const
{
    const int32_t i = commandToIndex(command);
    return i >= 0 && m_buttons[static_cast<size_t>(i)].checked;
}

bool ToolBar::isButtonEnabled(uint32_t command) const
{
    const int32_t i = commandToIndex(command);
    return i >= 0 && m_buttons[static_cast<size_t>(i)].enabled;
}

void ToolBar::placeAtTopOf(const Rect& parentClient)
{
    setPos(HWND_TOP, {parentClient.l, parentClient.t, parentClient.r, parentClient.t + kHeight}, SWP_NOZORDER);
}

int32_t ToolBar::hitTest(Point p) const
{
    for (int32_t i = 0; i < buttonCount(); ++i)
        if (m_buttons[static_cast<size_t>(i)].button.command != 0 && itemRect(i).contains(p))
            return i;
    return -1;
}

LResult ToolBar::handle(const Msg& msg)
{
    const Hwnd self = hwnd();
    switch (msg.message) {
    case WM_PAINT:
        paint();
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_LBUTTONDOWN: {
        const int32_t i = hitTest(pointFromLParam(msg.lParam));
        if (i < 0 || !m_buttons[static_cast<size_t>(i)].enabled)
            return 0;
        m_pressed = i;
        m_hot = i;
        ui().setCapture(self);
        invalidate(itemRect(i), true);
        return 0;
    }
    case WM_MOUSEMOVE: {
        const int32_t under = hitTest(pointFromLParam(msg.lParam));
        setHot(under >= 0 && m_buttons[static_cast<size_t>(under)].enabled ? under : -1);
        if (m_hot >= 0)
            ui().trackMouseLeave(self);
        return 0;
    }
    case kMsgMouseLeave:
        setHot(-1);
        return 0;
    case WM_LBUTTONUP: {
        const int32_t pressed = m_pressed;
        m_pressed = -1;
        if (ui().capture() == self)
            ui().releaseCapture();
        if (pressed < 0 || !isAlive(self, this))
            return 0;
        invalidate(itemRect(pressed), true);
        if (hitTest(pointFromLParam(msg.lParam)) != pressed)
            return 0;
        if (Window* p = parent())
            p->send(WM_COMMAND, m_buttons[static_cast<size_t>(pressed)].button.command, 0);
        return 0;
    }
    default:
        return Control::handle(msg);
    }
}

void ToolBar::setHot(int32_t index)
{
    if (index == m_hot)
        return;
    if (m_hot >= 0)
        invalidate(itemRect(m_hot), true);
    m_hot = index;
    if (m_hot >= 0)
        invalidate(itemRect(m_hot), true);
}

void ToolBar::paint()
{
    PaintDc dc(*this);
    const Rect r = clientRect();
    dc.fillRect(r, createSolidBrush(getSysColor(COLOR_BTNFACE)));
    drawEtchedLine(dc, {r.l, r.t}, static_cast<int32_t>(r.width()), false); // parts the bar from the menu
    for (int32_t i = 0; i < buttonCount(); ++i) {
        const Item& item = m_buttons[static_cast<size_t>(i)];
        const Rect b = itemRect(i);
        if (item.button.command == 0) {
            drawEtchedLine(dc, {b.l + 3, b.t + 1}, static_cast<int32_t>(b.height()) - 2, true);
            continue;
        }
        const bool down = i == m_pressed && m_hot == i;
        const bool sunken = item.checked || down;
        if (item.checked && !down)
            drawDitheredTrack(dc, b.inflatedBy(-1, -1));
        if (sunken)
            drawEdge(dc, b, EdgeKind::kSunkenOuter);
        else if (i == m_hot || i == m_pressed)
            drawEdge(dc, b, EdgeKind::kRaisedInner);
        if (m_images != nullptr && item.button.image >= 0)
            m_images->draw(dc, item.button.image,
                           {b.l + static_cast<int32_t>((b.width() - m_images->imageWidth()) / 2) + (sunken ? 1 : 0),
                            b.t + static_cast<int32_t>((b.height() - m_images->imageHeight()) / 2) + (sunken ? 1 : 0)},
                           item.enabled ? ILD_TRANSPARENT : ILD_TRANSPARENT | ILD_BLEND50);
    }
}

} // namespace pf
