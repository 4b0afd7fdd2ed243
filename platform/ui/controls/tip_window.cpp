#include "platform/ui/controls/tip_window.h"

#include "platform/base/user_constants.h"
#include "platform/display/screen.h"
#include "platform/gfx/gdi_objects.h"
#include "platform/gfx/memory_dc.h"
#include "platform/ui/core/paint_dc.h"
#include "platform/ui/core/ui.h"

#include <algorithm>

namespace pf {

namespace {

constexpr int32_t kPadding = 3;

// The tip of the current Ui and the window it speaks for. Handles are Ui-wide, so the Ui is kept too: another Ui
// (a test's next one) may give the same number to another window.
struct ShownTip {
    const Ui* owner = nullptr;
    Hwnd tip = kNoWindow;
    Hwnd over = kNoWindow;
};
ShownTip g_shown;

TipWindow* currentTip()
{
    if (!hasUi() || g_shown.owner != &ui())
        return nullptr;
    return dynamic_cast<TipWindow*>(ui().window(g_shown.tip));
}

} // namespace

void TipWindow::show(Window& over, const Rect& screenCell, std::string_view text)
{
    MemoryDc measure;
    measure.selectObject(getStockObject(DEFAULT_GUI_FONT));
    const Size extent = measure.getTextExtent(text);
    const int32_t width = static_cast<int32_t>(extent.cx) + 2 * kPadding + 2;
    const int32_t height = static_cast<int32_t>(extent.cy) + 2 * kPadding;
    const Rect area = screen().workArea();
    const int32_t x = std::clamp(screenCell.l, area.l, std::max(area.l, area.r - width));
    const int32_t y = screenCell.b + height + 2 <= area.b ? screenCell.b + 2 : screenCell.t - height - 2;
    TipWindow* tip = currentTip();
    if (tip == nullptr) {
        // The border is drawn in the client: a live screen shows only the client of a top-level window.
        Window* made = ui().createWindow({"tooltip", std::string(text), WS_POPUP, 0,
                                          Rect::fromXywh(x, y, width, height), over.topLevel()->hwnd(), 0});
        tip = dynamic_cast<TipWindow*>(made);
        if (tip == nullptr)
            return;
        g_shown = {&ui(), tip->hwnd(), kNoWindow};
    } else {
        tip->setText(text);
        tip->move(Rect::fromXywh(x, y, width, height));
        tip->invalidate(true);
    }
    g_shown.over = over.hwnd();
    tip->Window::show(SW_SHOWNOACTIVATE);
}

void TipWindow::hide(const Window* over)
{
    TipWindow* tip = currentTip();
    if (tip == nullptr || (over != nullptr && over->hwnd() != g_shown.over))
        return;
    tip->destroy();
    g_shown = {};
}

std::optional<std::string> TipWindow::shownText()
{
    const TipWindow* tip = currentTip();
    return tip != nullptr && tip->isVisible() ? std::optional<std::string>(tip->text()) : std::nullopt;
}

std::optional<Rect> TipWindow::shownRect()
{
    const TipWindow* tip = currentTip();
    return tip != nullptr && tip->isVisible() ? std::optional<Rect>(tip->screenRect()) : std::nullopt;
}

void offerWholeText(Window& over, const Rect& cell, std::string_view text, int32_t room)
{
    MemoryDc measure;
    if (static_cast<int32_t>(measure.getTextExtent(text).cx) <= room) {
        TipWindow::hide(&over);
        return;
    }
    if (TipWindow::shownText() == text)
        return;
    const Point topLeft = over.clientToScreen(cell.topLeft());
    TipWindow::show(over, Rect::fromXywh(topLeft.x, topLeft.y, cell.width(), cell.height()), text);
    ui().trackMouseLeave(over.hwnd());
}

LResult TipWindow::handle(const Msg& msg)
{
    switch (msg.message) {
    case WM_PAINT: {
        PaintDc dc(*this);
        const Rect r = clientRect();
        dc.fillRect(r, createSolidBrush(getSysColor(COLOR_INFOTEXT)));
        dc.fillRect(r.inflatedBy(-1, -1), createSolidBrush(getSysColor(COLOR_INFOBK)));
        dc.selectObject(getStockObject(DEFAULT_GUI_FONT));
        dc.setBkMode(TRANSPARENT);
        dc.setTextColor(getSysColor(COLOR_INFOTEXT));
        dc.textOut(kPadding + 1, kPadding, text());
        return 0;
    }
    case WM_ERASEBKGND:
        return 1;
    default:
        return Window::handle(msg);
    }
}

} // namespace pf
