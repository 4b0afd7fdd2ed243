#include "designer/eventedit/story_board.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "designer/eventedit/story_board_row.h"
#include "platform/base/gdi_constants.h"
#include "platform/base/user_constants.h"
#include "platform/gfx/dc.h"
#include "platform/ui/controls/control.h"
#include "platform/ui/controls/tip_window.h"
#include "platform/ui/core/paint_dc.h"
#include "platform/ui/core/resources.h"
#include "platform/ui/core/ui.h"

namespace {

// Capitals, a descender and an accented capital: the tallest a label gets.
constexpr int32_t kLabelLeft = 22; // right of the expand box
constexpr const char* kMetricSample = "ABCXYZgjpq\xC3\x89";

const pf::Pen& StockPen(int32_t index)
{
    static const pf::Pen white = std::get<pf::Pen>(pf::getStockObject(pf::WHITE_PEN));
    static const pf::Pen black = std::get<pf::Pen>(pf::getStockObject(pf::BLACK_PEN));
    return index == pf::WHITE_PEN ? white : black;
}

void VerticalLine(pf::Dc& dc, int32_t x, int32_t top, int32_t bottom)
{
    dc.moveTo({x, top});
    dc.lineTo({x, bottom});
}

void HorizontalLine(pf::Dc& dc, int32_t y, int32_t left, int32_t right)
{
    dc.moveTo({left, y});
    dc.lineTo({right, y});
}

// Raised edges: light top and left, dark bottom and right (the last pixel row and column of r).
void DrawEdges(pf::Dc& dc, const pf::Rect& r, const pf::Pen& light, const pf::Pen& dark)
{
    dc.selectPen(light);
    HorizontalLine(dc, r.t, r.l, r.r);
    VerticalLine(dc, r.l, r.t, r.b);
    dc.selectPen(dark);
    HorizontalLine(dc, r.b - 1, r.l, r.r);
    VerticalLine(dc, r.r - 1, r.t, r.b);
}

} // namespace

CStoryBoard::CStoryBoard() = default;

CStoryBoard::~CStoryBoard()
{
    m_hovered = m_dragged = nullptr;
    m_rows.DeleteAll();
}

void CStoryBoard::Initialise()
{
    MeasureLines();
    m_markerCursor = pf::resources().cursor(kMarkerCursor);
    m_splitterCursor = pf::resources().cursor(kSplitterCursor);
    m_backgroundBrush = pf::createSolidBrush(pf::rgb(128, 128, 128));
    m_rowBrush = pf::createSolidBrush(pf::rgb(192, 192, 192));
    m_rowLinePen = pf::createPen(pf::PS_SOLID, 1, pf::rgb(128, 128, 128));
    m_gridPen = pf::createPen(pf::PS_SOLID, 1, pf::rgb(192, 192, 192));
    m_markerPen = pf::createPen(pf::PS_SOLID, 1, pf::rgb(0, 0, 0));
    m_repetitionPen = pf::createPen(pf::PS_SOLID, 1, pf::rgb(128, 128, 128));
    m_dragLinePen = pf::createPen(pf::PS_SOLID, 1, pf::rgb(128, 128, 0));
    SetCurrentTime(0.0);
    m_currentLineX = TrackOrigin();
    AskForRulerLayout();
}

void CStoryBoard::MeasureLines()
{
    int32_t textHeight = 16;
    if (isWindow()) {
        pf::WindowDc dc(*this);
        dc.selectFont(std::get<pf::FontRef>(pf::getStockObject(pf::DEFAULT_GUI_FONT)));
        textHeight = dc.getTextExtent(kMetricSample).cy;
    }
    m_lineHeight = static_cast<int32_t>(static_cast<float>(textHeight + 2) * m_lineHeightFactor);
    m_halfLineHeight = m_lineHeight / 2;
    m_textOffset = (m_lineHeight - textHeight) / 2;
}

void CStoryBoard::Redraw()
{
    if (!isWindow())
        return;
    invalidate(true);
    update();
}

void CStoryBoard::SetCurrentTime(double ms)
{
    if (std::isnan(ms) || ms < 0.0)
        ms = 0.0;
    const int32_t oldX = TimeToX(m_currentMs);
    m_currentMs = ms;
    const int32_t newX = TimeToX(m_currentMs);
    if (!isWindow())
        return;
    pf::WindowDc dc(*this);
    if (oldX >= TrackOrigin())
        DrawCurrentLine(dc, oldX);
    if (newX >= TrackOrigin())
        DrawCurrentLine(dc, newX);
    m_currentLineX = newX;
}

void CStoryBoard::DrawCurrentLine(pf::Dc& dc, int32_t x) const
{
    dc.setROP2(pf::R2_XORPEN);
    dc.selectPen(StockPen(pf::WHITE_PEN));
    VerticalLine(dc, x, 0, clientRect().b);
    dc.setROP2(pf::R2_COPYPEN);
}

// -- Geometry

int32_t CStoryBoard::LabelRoom() const
{
    return m_labelWidth - 3 - kLabelLeft;
}

void CStoryBoard::SetLabelWidth(int32_t width)
{
    m_labelWidth = std::max(0, width);
}

void CStoryBoard::SetStartTime(double ms)
{
    m_startMs = std::isfinite(ms) && ms > 0.0 ? ms : 0.0;
}

void CStoryBoard::SetScale(float scale)
{
    if (std::isfinite(scale))
        m_scale = scale;
}

int32_t CStoryBoard::PixelsPerSecond() const
{
    // The zoom field's whole percentages come back as floats just below them (0.51f x 100 = 50.99999...): a
    // hair's breadth keeps zoom 51 at 51 pixels a second.
    const double pixels = static_cast<double>(m_scale) * 100.0 + 1e-4;
    if (!(pixels >= 1.0))
        return 1; // a zero, negative or NaN scale still yields a pixel a second
    return pixels >= kMaxPixelsPerSecond ? kMaxPixelsPerSecond : static_cast<int32_t>(pixels);
}

int32_t CStoryBoard::TimeToX(double ms) const
{
    // Times reach far past any screen (a zoomed board over a long time line): the x saturates instead of wrapping.
    const double x = std::trunc(PixelsPerSecond() * ((ms - m_startMs) * 0.001)) + TrackOrigin();
    constexpr double kLow = std::numeric_limits<int32_t>::min();
    constexpr double kHigh = std::numeric_limits<int32_t>::max();
    if (std::isnan(x))
        return TrackOrigin();
    return static_cast<int32_t>(std::clamp(x, kLow, kHigh));
}

double CStoryBoard::XToTime(int32_t x) const
{
    return static_cast<double>(x - TrackOrigin()) / PixelsPerSecond() * 1000.0 + m_startMs;
}

int32_t CStoryBoard::WholeSecondsInTrack() const
{
    return std::max(0, TrackWidth()) / PixelsPerSecond();
}

int32_t CStoryBoard::FirstTickOffset() const
{
    const double seconds = m_startMs * 0.001;
    const double fraction = seconds - std::floor(seconds);
    const int32_t pps = PixelsPerSecond();
    return pps - static_cast<int32_t>(pps * fraction);
}

// -- Rows

void CStoryBoard::AddRow(CSBRow* row)
{
    if (row == nullptr)
        return;
    row->SetBoard(this);
    m_rows.AddTail(row);
}

CSBRow* CStoryBoard::FindRowAt(int32_t y) const
{
    for (SWlistnode* n = m_rows.Head(); n != nullptr; n = n->Next()) {
        if (CSBRow* found = static_cast<CSBRow*>(n)->FindRowAt(y))
            return found;
    }
    return nullptr;
}

void CStoryBoard::ForgetMarkersOf(const CSBRow& row)
{
    if (m_hovered != nullptr && m_hovered->Row() == &row)
        m_hovered = nullptr;
    if (m_dragged != nullptr && m_dragged->Row() == &row) {
        DrawDragLine(m_dragLineX); // the line of a drag that loses its marker goes with it
        m_dragged = nullptr;
        m_dragLineX = -5;
    }
}

void CStoryBoard::DrawDragLine(int32_t x)
{
    if (!isWindow())
        return;
    pf::WindowDc dc(*this);
    dc.setROP2(pf::R2_XORPEN);
    dc.selectPen(StockPen(pf::WHITE_PEN));
    VerticalLine(dc, x, 0, clientRect().b);
}

void CStoryBoard::AskForRulerLayout()
{
    if (pf::Window* host = parent())
        host->send(kMsgLayOutRuler, 0, 0);
}

// -- Paint

void CStoryBoard::Paint()
{
    pf::PaintDc dc(*this);
    const pf::Rect client = clientRect();
    m_clientWidth = client.r;
    dc.fillRect(client, m_backgroundBrush);
    dc.selectFont(std::get<pf::FontRef>(pf::getStockObject(pf::DEFAULT_GUI_FONT)));
    int32_t y = kFirstRowY;
    for (SWlistnode* n = m_rows.Head(); n != nullptr; n = n->Next()) {
        auto* row = static_cast<CSBRow*>(n);
        PaintRow(dc, *row, y);
        y += row->TotalHeight() + kRowGap;
    }
    dc.selectClipRgn(nullptr);
    const pf::Rect splitter{m_labelWidth, kFirstRowY, m_labelWidth + kSplitterWidth, client.b};
    dc.fillRect(splitter, m_rowBrush);
    DrawEdges(dc, splitter, StockPen(pf::WHITE_PEN), StockPen(pf::BLACK_PEN));
    const int32_t x = TimeToX(m_currentMs);
    if (x >= TrackOrigin())
        DrawCurrentLine(dc, x);
    m_currentLineX = x;
}

void CStoryBoard::PaintRow(pf::Dc& dc, CSBRow& row, int32_t y)
{
    const int32_t height = row.TotalHeight();
    const int32_t saved = dc.saveDc();
    dc.intersectClipRect(clientRect());
    const pf::Rect box{2, y, kRowFillWidth, y + height};
    dc.fillRect(box, m_rowBrush);
    if (row.IsExpanded()) {
        dc.selectPen(m_rowLinePen);
        for (int32_t line = y + m_lineHeight; line < y + height; line += m_lineHeight)
            HorizontalLine(dc, line, 2, kRowFillWidth);
    }
    // The grid: a line at every whole second the ruler labels, inside the track only.
    dc.selectPen(m_gridPen);
    const int32_t pps = PixelsPerSecond();
    const int32_t trackRight = TrackOrigin() + std::max(0, TrackWidth());
    const int32_t seconds = WholeSecondsInTrack() + 1;
    for (int32_t i = 0, x = TrackOrigin() + FirstTickOffset(); i <= seconds && x < trackRight; ++i, x += pps)
        VerticalLine(dc, x, y + 1, y + height - 1);
    DrawEdges(dc, box, StockPen(pf::WHITE_PEN), StockPen(pf::BLACK_PEN));
    DrawRowContent(dc, row, y);
    dc.restoreDc(saved);
}

void CStoryBoard::DrawRowContent(pf::Dc& dc, CSBRow& row, int32_t y)
{
    row.SetTop(y);
    const int32_t saved = dc.saveDc();
    dc.intersectClipRect(pf::Rect::fromXywh(TrackOrigin(), y, std::max(0, TrackWidth()), row.TotalHeight()));
    for (const SWlistnode* n = row.Markers().Head(); n != nullptr; n = n->Next())
        static_cast<const CSBMarker*>(n)->Draw(dc, y);
    dc.restoreDc(saved);
    if (row.IsExpandable())
        DrawExpandBox(dc, row, y);
    DrawLabel(dc, row, y);
    if (!row.IsExpanded())
        return;
    int32_t childY = y + m_lineHeight;
    for (SWlistnode* n = row.Children().Head(); n != nullptr; n = n->Next()) {
        auto* child = static_cast<CSBRow*>(n);
        DrawRowContent(dc, *child, childY);
        childY += child->TotalHeight();
    }
}

// A 10-pixel square on the row's middle line: raised with a plus when collapsed, sunken with a minus when expanded.
void CStoryBoard::DrawExpandBox(pf::Dc& dc, const CSBRow& row, int32_t y)
{
    const int32_t saved = dc.saveDc();
    dc.intersectClipRect({2, y, m_labelWidth, y + m_lineHeight});
    const int32_t middle = y + m_halfLineHeight;
    const pf::Rect box{7, middle - 5, 17, middle + 5};
    const pf::Pen& white = StockPen(pf::WHITE_PEN);
    if (row.IsExpanded())
        DrawEdges(dc, box, m_rowLinePen, white);
    else
        DrawEdges(dc, box, white, m_rowLinePen);
    dc.selectPen(StockPen(pf::BLACK_PEN));
    HorizontalLine(dc, middle, 10, 15);
    if (!row.IsExpanded())
        VerticalLine(dc, 12, middle - 2, middle + 3);
    dc.restoreDc(saved);
}

void CStoryBoard::DrawLabel(pf::Dc& dc, const CSBRow& row, int32_t y)
{
    const std::string label = row.Label();
    if (label.empty())
        return;
    const int32_t saved = dc.saveDc();
    dc.intersectClipRect({2, y, m_labelWidth, y + m_lineHeight});
    dc.setTextAlign(pf::TA_LEFT | pf::TA_TOP);
    dc.setBkMode(pf::OPAQUE);
    dc.setBkColor(pf::rgb(192, 192, 192));
    dc.setTextColor(pf::rgb(0, 0, 0));
    const std::string shown = pf::fitWithEllipsis(dc, label, LabelRoom());
    const int32_t width = dc.getTextExtent(shown).cx;
    dc.textOut(std::max(kLabelLeft, m_labelWidth - 3 - width), y + m_textOffset, shown);
    dc.restoreDc(saved);
}

// -- Mouse

pf::LResult CStoryBoard::handle(const pf::Msg& msg)
{
    switch (msg.message) {
    case pf::WM_PAINT:
        Paint();
        return 0;
    case pf::WM_ERASEBKGND:
        return 1; // paint fills everything
    case pf::WM_SETCURSOR:
        return 0; // the cursor set on mouse moves stays
    case pf::WM_MOUSEMOVE:
        OnMouseMove(pf::pointFromLParam(msg.lParam));
        return 0;
    case pf::kMsgMouseLeave:
        pf::TipWindow::hide(this);
        return 0;
    case pf::WM_LBUTTONDOWN:
    case pf::WM_LBUTTONDBLCLK:
        OnLeftDown(pf::pointFromLParam(msg.lParam));
        return 0;
    case pf::WM_LBUTTONUP:
        OnLeftUp();
        return 0;
    case pf::WM_RBUTTONDOWN:
        OnRightDown(pf::pointFromLParam(msg.lParam));
        return 0;
    case pf::WM_SIZE:
    case pf::WM_RBUTTONUP:
        return defaultHandle(msg);
    default:
        return pf::StaticControl::handle(msg);
    }
}

void CStoryBoard::OnMouseMove(pf::Point p)
{
    if (m_splitterDrag || m_dragged != nullptr) {
        const int32_t lowest = m_splitterDrag ? 0 : TrackOrigin();
        if (m_dragged != nullptr && !m_dragMoved && p.x > m_dragLineX && m_dragged->Row() != nullptr)
            m_dragged = m_dragged->Row()->MarkerDraggedRight(*m_dragged);
        if (p.x >= lowest && p.x <= clientRect().r)
            MoveDragLine(p.x);
        return;
    }
    if (IsOverSplitter(p.x)) {
        pf::ui().setCursor(m_splitterCursor);
        m_hovered = nullptr;
        m_splitterHover = true;
        return;
    }
    m_splitterHover = false;
    CSBRow* row = FindRowAt(p.y);
    if (row != nullptr && p.x < m_labelWidth)
        pf::offerWholeText(*this, {kLabelLeft, p.y - m_halfLineHeight, m_labelWidth - 3, p.y + m_halfLineHeight},
                           row->Label(), LabelRoom());
    else
        pf::TipWindow::hide(this);
    CSBMarker* marker = row != nullptr ? row->MarkerAt(p.x) : nullptr;
    if (marker != nullptr) {
        m_hovered = marker;
        pf::ui().setCursor(m_markerCursor);
    } else {
        m_hovered = nullptr;
        pf::ui().setCursor(pf::loadCursor(pf::IDC_ARROW));
    }
}

void CStoryBoard::MoveDragLine(int32_t x)
{
    DrawDragLine(m_dragLineX);
    DrawDragLine(x);
    m_dragLineX = x;
    m_dragMoved = true;
}

void CStoryBoard::OnLeftDown(pf::Point p)
{
    pf::ui().setCapture(hwnd());
    m_dragMoved = false;
    if (m_splitterHover && IsOverSplitter(p.x)) {
        m_splitterDrag = true;
        m_dragLineX = p.x;
        DrawDragLine(m_dragLineX);
        return;
    }
    if (m_hovered != nullptr) {
        m_dragged = m_hovered;
        m_dragLineX = std::max(TrackOrigin(), TimeToX(m_dragged->Time()));
        DrawDragLine(m_dragLineX);
        return;
    }
    CSBRow* row = FindRowAt(p.y);
    if (row != nullptr && row->IsExpandable() && row->IsOnExpandBox(p.x, p.y)) {
        row->SetExpanded(!row->IsExpanded());
        Redraw();
    }
}

void CStoryBoard::OnLeftUp()
{
    if (pf::ui().capture() == hwnd())
        pf::ui().releaseCapture();
    if (m_splitterDrag) {
        m_splitterDrag = false;
        DrawDragLine(m_dragLineX);
        if (m_dragMoved)
            SetLabelWidth(m_dragLineX);
        m_dragLineX = -5;
        AskForRulerLayout();
        Redraw();
        return;
    }
    if (m_dragged != nullptr) {
        CSBMarker* const marker = m_dragged;
        m_dragged = nullptr;
        DrawDragLine(m_dragLineX);
        const int32_t x = m_dragLineX;
        m_dragLineX = -5;
        if (m_dragMoved) // a press and release without a move leaves the marker where it was
            marker->SetTime(XToTime(x));
        Redraw();
    }
}

void CStoryBoard::OnRightDown(pf::Point p)
{
    if (m_hovered != nullptr) {
        m_hovered->RightClick();
        return;
    }
    if (IsOverSplitter(p.x))
        return;
    if (CSBRow* row = FindRowAt(p.y))
        row->RightClick(p.x < TrackOrigin(), p.x, p.y);
}
