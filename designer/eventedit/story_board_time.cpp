#include "designer/eventedit/story_board_time.h"

#include <cstdlib>
#include <string>

#include "designer/eventedit/story_board.h"
#include "platform/base/gdi_constants.h"
#include "platform/base/user_constants.h"
#include "platform/gfx/dc.h"
#include "platform/ui/core/paint_dc.h"
#include "platform/ui/core/resources.h"
#include "platform/ui/core/ui.h"

namespace {

void Line(pf::Dc& dc, pf::Point from, pf::Point to)
{
    dc.moveTo(from);
    dc.lineTo(to);
}

} // namespace

void CStoryBoardTime::Link(CStoryBoard* board)
{
    m_board = board;
    m_handleCursor = pf::resources().cursor(kMarkerCursor);
    m_shadowPen = pf::createPen(pf::PS_SOLID, 1, pf::getSysColor(pf::COLOR_BTNSHADOW));
    m_highlightPen = pf::createPen(pf::PS_SOLID, 1, pf::getSysColor(pf::COLOR_BTNHIGHLIGHT));
}

int32_t CStoryBoardTime::HandleX() const
{
    return m_board != nullptr ? m_board->TimeToX(m_board->CurrentTime()) - m_board->TrackOrigin() : 0;
}

pf::LResult CStoryBoardTime::handle(const pf::Msg& msg)
{
    switch (msg.message) {
    case pf::WM_PAINT:
        Paint();
        return 0;
    case pf::WM_ERASEBKGND:
        return 1;
    case pf::WM_SETCURSOR:
        return 0;
    case pf::WM_MOUSEMOVE:
        OnMouseMove(pf::pointFromLParam(msg.lParam));
        return 0;
    case pf::WM_LBUTTONDOWN:
    case pf::WM_LBUTTONDBLCLK:
        OnLeftDown();
        return 0;
    case pf::WM_LBUTTONUP:
        OnLeftUp();
        return 0;
    default:
        return pf::StaticControl::handle(msg);
    }
}

// A 3D frame (black outside at the bottom and right, shadow inside it, highlight at the top and left), a label and
// a 10-pixel tick at every whole second, and the raised handle at the current time.
void CStoryBoardTime::Paint()
{
    pf::PaintDc dc(*this);
    const pf::Rect r = clientRect();
    dc.intersectClipRect(r);
    dc.fillRect(r, pf::createSolidBrush(pf::getSysColor(pf::COLOR_BTNFACE)));
    const pf::Pen black = pf::createPen(pf::PS_SOLID, 1, pf::rgb(0, 0, 0));
    const auto frame = [&](const pf::Rect& box) {
        dc.selectPen(black);
        Line(dc, {box.l, box.b - 1}, {box.r, box.b - 1});
        Line(dc, {box.r - 1, box.t}, {box.r - 1, box.b});
        dc.selectPen(m_shadowPen);
        Line(dc, {box.l + 1, box.b - 2}, {box.r - 1, box.b - 2});
        Line(dc, {box.r - 2, box.t + 1}, {box.r - 2, box.b - 1});
        dc.selectPen(m_highlightPen);
        Line(dc, {box.l, box.t}, {box.r - 1, box.t});
        Line(dc, {box.l, box.t}, {box.l, box.b - 1});
    };
    frame(r);
    if (m_board == nullptr)
        return;
    dc.selectFont(std::get<pf::FontRef>(pf::getStockObject(pf::DEFAULT_GUI_FONT)));
    dc.setTextAlign(pf::TA_LEFT | pf::TA_TOP);
    dc.setBkColor(pf::getSysColor(pf::COLOR_BTNFACE));
    dc.setTextColor(pf::rgb(0, 0, 0));
    dc.selectPen(black);
    const int32_t pps = m_board->PixelsPerSecond();
    const int32_t seconds = m_board->WholeSecondsInTrack() + 1;
    const int32_t origin = m_board->TrackOrigin();
    for (int32_t i = 0, x = m_board->FirstTickOffset(); i <= seconds && x < r.r; ++i, x += pps) {
        if (x < 0)
            continue;
        const double label = m_board->XToTime(origin + x) * 0.001;
        dc.textOut(x + 2, 1, std::to_string(static_cast<long long>(label)));
        Line(dc, {x, r.b - 10}, {x, r.b});
    }
    const int32_t hx = HandleX();
    const pf::Rect handle{hx - 2, r.t - 2, hx + 3, r.b - 2};
    dc.fillRect(handle, pf::createSolidBrush(pf::getSysColor(pf::COLOR_BTNFACE)));
    frame(handle);
}

void CStoryBoardTime::OnMouseMove(pf::Point p)
{
    if (m_board == nullptr)
        return;
    if (m_drag) {
        const double t = m_board->XToTime(m_board->TrackOrigin() + p.x);
        DrawLine(m_lineX);
        m_lineX = m_board->TimeToX(t < 0.0 ? 0.0 : t) - m_board->TrackOrigin();
        DrawLine(m_lineX);
        m_board->SetCurrentTime(t);
        return;
    }
    const int32_t distance = std::abs(p.x - HandleX());
    if (!m_hover && distance < 4) {
        m_hover = true;
        pf::ui().setCursor(m_handleCursor);
    } else if (m_hover && distance > 3) {
        m_hover = false;
        pf::ui().setCursor(pf::loadCursor(pf::IDC_ARROW));
    }
}

void CStoryBoardTime::OnLeftDown()
{
    if (!m_hover || m_board == nullptr)
        return;
    m_hover = false;
    m_drag = true;
    m_lineX = -1;
    pf::ui().setCapture(hwnd());
}

void CStoryBoardTime::OnLeftUp()
{
    if (!m_drag)
        return;
    m_drag = false;
    m_lineX = -1;
    if (pf::ui().capture() == hwnd())
        pf::ui().releaseCapture();
    invalidate(true); // the repaint drops the line and moves the handle
}

void CStoryBoardTime::DrawLine(int32_t x)
{
    if (x < 0 || !isWindow())
        return;
    pf::WindowDc dc(*this);
    dc.setROP2(pf::R2_XORPEN);
    dc.selectPen(std::get<pf::Pen>(pf::getStockObject(pf::WHITE_PEN)));
    Line(dc, {x, 0}, {x, clientRect().b});
}
