#include "platform/ui/controls/progress_bar.h"

#include "platform/base/user_constants.h"
#include "platform/gfx/edge.h"
#include "platform/gfx/gdi_objects.h"
#include "platform/ui/core/paint_dc.h"

#include <algorithm>

namespace pf {

namespace {

constexpr int32_t kBlockWidth = 8; // a block and the gap after it
constexpr int32_t kGap = 2;

} // namespace

void ProgressBar::setRange(int32_t minPos, int32_t maxPos)
{
    m_min = minPos;
    m_max = std::max(minPos, maxPos);
    m_pos = std::clamp(m_pos, m_min, m_max);
    invalidate(true);
}

int32_t ProgressBar::setPos(int32_t pos)
{
    const int32_t old = m_pos;
    m_pos = std::clamp(pos, m_min, m_max);
    if (m_pos != old)
        invalidate(true);
    return old;
}

Rect ProgressBar::inside() const
{
    Rect r = clientRect();
    const int32_t edge = edgeWidth(EdgeKind::kSunken);
    return Rect{r.l + edge + 1, r.t + edge + 1, std::max(r.l + edge + 1, r.r - edge - 1),
                std::max(r.t + edge + 1, r.b - edge - 1)};
}

int32_t ProgressBar::filledWidth() const
{
    const int64_t span = int64_t{m_max} - m_min;
    if (span <= 0)
        return 0;
    const int64_t width = inside().width();
    return static_cast<int32_t>((int64_t{m_pos} - m_min) * width / span);
}

void ProgressBar::paint()
{
    PaintDc dc(*this);
    const Rect r = clientRect();
    dc.fillRect(r, createSolidBrush(getSysColor(COLOR_BTNFACE)));
    drawEdge(dc, r, EdgeKind::kSunken);
    const Rect well = inside();
    const int32_t end = well.l + filledWidth();
    const Brush fill = createSolidBrush(getSysColor(COLOR_HIGHLIGHT));
    // Whole blocks only, as the classic bar draws them, except that a full bar is full to its end.
    for (int32_t x = well.l; x < end; x += kBlockWidth) {
        const int32_t right = std::min(x + kBlockWidth - kGap, end);
        if (right - x < kBlockWidth - kGap && end != well.r)
            break;
        dc.fillRect(Rect{x, well.t, right, well.b}, fill);
    }
}

LResult ProgressBar::handle(const Msg& msg)
{
    switch (msg.message) {
    case WM_PAINT:
        paint();
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case PBM_SETRANGE32: {
        const LResult old = makeLParam(m_min, m_max);
        setRange(static_cast<int32_t>(msg.wParam), static_cast<int32_t>(msg.lParam));
        return old;
    }
    case PBM_SETPOS:
        return setPos(static_cast<int32_t>(msg.wParam));
    case PBM_GETPOS:
        return m_pos;
    default:
        return Control::handle(msg);
    }
}

} // namespace pf
