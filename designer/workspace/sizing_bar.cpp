#include "designer/workspace/sizing_bar.h"

#include <algorithm>
#include <utility>

#include "designer/workspace/panel_dlg.h"
#include "platform/base/gdi_constants.h"
#include "platform/base/user_constants.h"
#include "platform/gfx/gdi_objects.h"
#include "platform/ui/core/cursor.h"
#include "platform/ui/core/paint_dc.h"
#include "platform/ui/core/ui.h"
#include "platform/ui/frame/frame_window.h"

CVTND_SizingBar::CVTND_SizingBar(std::string name, int32_t index, std::string title,
                                 std::unique_ptr<CVTND_PanelDlg> content, CVTND_DockHost& host)
    : m_name(std::move(name)), m_index(index), m_title(std::move(title)), m_content(std::move(content)), m_host(host)
{
}

CVTND_SizingBar::~CVTND_SizingBar()
{
    // The content's window is a child of ours: it must go while its object still exists.
    if (m_content != nullptr && m_content->isWindow())
        m_content->destroy();
    if (isWindow())
        destroy();
}

void CVTND_SizingBar::RegisterClass(pf::Ui& ui)
{
    ui.registerClass({kClassName, [] { return std::unique_ptr<pf::Window>(); }, pf::CS_DBLCLKS,
                      pf::loadCursor(pf::IDC_ARROW), pf::COLOR_BTNFACE});
}

bool CVTND_SizingBar::Build(pf::FrameWindow& frame, const CVTND_DockState& state)
{
    m_frame = &frame;
    m_state = state;
    return MakeWindow();
}

bool CVTND_SizingBar::MakeWindow()
{
    pf::CreateParams params;
    params.className = pf::ui().findClass(kClassName) != nullptr ? kClassName : "";
    params.text = m_title;
    if (m_state.floating) {
        params.style = pf::WS_POPUP | pf::WS_BORDER | pf::WS_CLIPCHILDREN;
        params.rect = m_state.floatRect;
        params.parent = m_frame->hwnd(); // the owner: the bar stays above the frame and goes with it
    } else {
        params.style = pf::WS_CHILD | pf::WS_CLIPCHILDREN;
        params.rect = {0, 0, 0, 0}; // the site places it at the next layout
        params.parent = m_frame->hwnd();
    }
    if (!create(params))
        return false;
    m_content->CreateIn(*this, pf::Rect{0, kCaptionHeight, 10, kCaptionHeight + 10});
    LayoutContent();
    if (m_state.visible && m_state.floating)
        show(pf::SW_SHOW);
    return true;
}

CVTND_DockState CVTND_SizingBar::GetState() const
{
    CVTND_DockState state = m_state;
    if (state.floating && isWindow())
        state.floatRect = screenRect();
    return state;
}

void CVTND_SizingBar::SetVisible(bool visible)
{
    if (m_state.visible == visible)
        return;
    m_state.visible = visible;
    if (m_state.floating)
        show(visible ? pf::SW_SHOW : pf::SW_HIDE);
    m_host.BarChanged();
}

void CVTND_SizingBar::SetFloating(bool floating)
{
    if (m_state.floating == floating || m_frame == nullptr)
        return;
    if (!floating && isWindow())
        RememberFloatRect();
    if (floating && m_state.floatRect.isEmpty()) {
        const pf::Rect here = screenRect();
        m_state.floatRect = pf::Rect::fromXywh(here.l + 20, here.t + 20, FloatSize().cx, FloatSize().cy);
    }
    m_rebuilding = true;
    if (m_content->isWindow())
        m_content->destroy();
    destroy();
    m_rebuilding = false;
    m_state.floating = floating;
    m_state.visible = true;
    MakeWindow();
    m_host.BarChanged();
}

void CVTND_SizingBar::SetDockedSize(int32_t size)
{
    m_state.size = std::clamp(size, kMinDockSize, kMaxDockSize);
}

void CVTND_SizingBar::SetShare(int32_t share)
{
    m_state.share = std::clamp(share, 0, kMaxDockSize);
}

void CVTND_SizingBar::PlaceDocked(const pf::Rect& rect, bool splitter)
{
    if (!isWindow() || m_state.floating)
        return;
    if (m_splitter != splitter) {
        m_splitter = splitter;
        invalidate();
    }
    if (rect.isEmpty()) {
        show(pf::SW_HIDE);
        return;
    }
    setPos(pf::HWND_TOP, rect, pf::SWP_NOZORDER);
    LayoutContent();
    show(pf::SW_SHOW);
}

pf::Rect CVTND_SizingBar::GripRect() const
{
    const pf::Rect c = clientRect();
    if (m_state.floating)
        return {c.l, c.b - kGripWidth, c.r, c.b};
    switch (m_state.side) {
    case DockSide::kLeft:
        return {c.r - kGripWidth, c.t, c.r, c.b};
    case DockSide::kRight:
        return {c.l, c.t, c.l + kGripWidth, c.b};
    case DockSide::kBottom:
        return {c.l, c.t, c.r, c.t + kGripWidth};
    case DockSide::kTop:
        return {c.l, c.b - kGripWidth, c.r, c.b};
    }
    return {};
}

int32_t CVTND_SizingBar::DockedLength() const
{
    const pf::Rect r = windowRect();
    return static_cast<int32_t>(IsRow(m_state.side) ? r.width() : r.height());
}

pf::Rect CVTND_SizingBar::SplitterRect() const
{
    if (!m_splitter || m_state.floating)
        return {};
    const pf::Rect c = clientRect();
    const pf::Rect grip = GripRect();
    if (IsRow(m_state.side)) // beside the grip, which runs along the whole row
        return {c.r - kGripWidth, m_state.side == DockSide::kBottom ? grip.b : c.t, c.r,
                m_state.side == DockSide::kBottom ? c.b : grip.t};
    return {m_state.side == DockSide::kLeft ? c.l : grip.r, c.b - kGripWidth,
            m_state.side == DockSide::kLeft ? grip.l : c.r, c.b};
}

pf::Rect CVTND_SizingBar::Inner() const
{
    pf::Rect c = clientRect();
    if (m_state.floating) {
        c.b -= kGripWidth;
        return c;
    }
    if (m_state.side == DockSide::kLeft)
        c.r -= kGripWidth;
    else if (m_state.side == DockSide::kRight)
        c.l += kGripWidth;
    else if (m_state.side == DockSide::kBottom)
        c.t += kGripWidth;
    else
        c.b -= kGripWidth;
    if (m_splitter) {
        if (IsRow(m_state.side))
            c.r -= kGripWidth;
        else
            c.b -= kGripWidth;
    }
    return c;
}

pf::Rect CVTND_SizingBar::CaptionRect() const
{
    const pf::Rect c = Inner();
    return {c.l, c.t, c.r, c.t + kCaptionHeight};
}

pf::Rect CVTND_SizingBar::CloseBoxRect() const
{
    const pf::Rect caption = CaptionRect();
    return {caption.r - 16, caption.t + 3, caption.r - 4, caption.t + 15};
}

void CVTND_SizingBar::LayoutContent()
{
    if (!m_content->isWindow())
        return;
    const pf::Rect caption = CaptionRect();
    pf::Rect area{caption.l, caption.b, caption.r, Inner().b};
    if (area.b < area.t)
        area.b = area.t;
    m_content->move(area);
}

void CVTND_SizingBar::RememberFloatRect()
{
    if (m_state.floating && isWindow())
        m_state.floatRect = screenRect();
}

pf::LResult CVTND_SizingBar::handle(const pf::Msg& msg)
{
    switch (msg.message) {
    case pf::WM_PAINT:
        Paint();
        return 0;
    case pf::WM_ERASEBKGND:
        return 1;
    case pf::WM_SIZE:
        LayoutContent();
        RememberFloatRect();
        invalidate();
        return 0;
    case pf::WM_LBUTTONDOWN:
        OnPress(pf::pointFromLParam(msg.lParam));
        return 0;
    case pf::WM_LBUTTONDBLCLK:
        if (CaptionRect().contains(pf::pointFromLParam(msg.lParam)) &&
            !CloseBoxRect().contains(pf::pointFromLParam(msg.lParam)))
            SetFloating(!m_state.floating); // the window is new after this
        return 0;
    case pf::WM_MOUSEMOVE:
        OnMove(pf::pointFromLParam(msg.lParam));
        return 0;
    case pf::WM_LBUTTONUP:
        if (m_track == Track::kCaption)
            EndCaptionDrag(true); // the window may be new after this
        else
            EndTrack();
        return 0;
    case pf::WM_RBUTTONDOWN:
    case pf::WM_KILLFOCUS:
    case pf::WM_KEYDOWN:
        if (m_track == Track::kCaption && (msg.message != pf::WM_KEYDOWN || msg.wParam == pf::VK_ESCAPE)) {
            EndCaptionDrag(false);
            return 0;
        }
        return pf::Window::handle(msg);
    case pf::WM_CAPTURECHANGED:
        if (m_track == Track::kCaption)
            EndCaptionDrag(false);
        m_track = Track::kNone;
        return 0;
    case pf::WM_SETCURSOR: {
        const pf::Point at = screenToClient(pf::ui().cursorPos());
        const bool columnSide = !m_state.floating && !IsRow(m_state.side);
        if (GripRect().contains(at)) {
            pf::ui().setCursor(pf::loadCursor(columnSide ? pf::IDC_SIZEWE : pf::IDC_SIZENS));
            return 1;
        }
        if (SplitterRect().contains(at)) {
            pf::ui().setCursor(pf::loadCursor(columnSide ? pf::IDC_SIZENS : pf::IDC_SIZEWE));
            return 1;
        }
        return pf::Window::handle(msg);
    }
    case pf::WM_CLOSE:
        // A floating bar has no frame of the window manager's; a close asked from outside is the session ending,
        // which asks every top-level window. Hiding then would store the bar hidden: only our close box hides.
        return 0;
    default:
        return pf::Window::handle(msg);
    }
}

void CVTND_SizingBar::OnPress(pf::Point p)
{
    if (CloseBoxRect().contains(p)) {
        SetVisible(false);
        return;
    }
    m_trackStart = clientToScreen(p);
    m_trackState = m_state;
    m_trackRect = screenRect();
    if (GripRect().contains(p))
        m_track = m_state.floating ? Track::kFloatSize : Track::kSize;
    else if (SplitterRect().contains(p))
        m_track = Track::kSplit;
    else if (CaptionRect().contains(p)) {
        m_track = Track::kCaption;
        m_drag.Begin(m_trackStart, FloatShapeAt(m_trackStart));
    } else
        return;
    pf::ui().setCapture(hwnd());
}

void CVTND_SizingBar::OnMove(pf::Point p)
{
    if (m_track == Track::kNone)
        return;
    const pf::Point now = clientToScreen(p);
    const int32_t dx = now.x - m_trackStart.x;
    const int32_t dy = now.y - m_trackStart.y;
    switch (m_track) {
    case Track::kSize: {
        const int32_t grow = m_state.side == DockSide::kLeft    ? dx
                             : m_state.side == DockSide::kRight ? -dx
                             : m_state.side == DockSide::kTop   ? dy
                                                                : -dy;
        m_host.ResizeSide(*this, m_trackState.size + grow);
        break;
    }
    case Track::kSplit: {
        const bool across = IsRow(m_state.side);
        const int64_t start = across ? m_trackRect.width() : m_trackRect.height();
        m_host.MoveSplitter(*this, static_cast<int32_t>(start + (across ? dx : dy)));
        break;
    }
    case Track::kCaption:
        DragCaption(now);
        break;
    case Track::kFloatSize: {
        const pf::Rect r = m_trackRect;
        const auto width = static_cast<int32_t>(std::clamp<int64_t>(r.width() + dx, kMinFloatSide, kMaxFloatSide));
        const auto height = static_cast<int32_t>(std::clamp<int64_t>(r.height() + dy, kMinFloatSide, kMaxFloatSide));
        move(pf::Rect::fromXywh(r.l, r.t, width, height));
        break;
    }
    case Track::kNone:
        break;
    }
}

void CVTND_SizingBar::EndTrack()
{
    if (m_track == Track::kNone)
        return;
    m_track = Track::kNone;
    RememberFloatRect();
    if (pf::ui().capture() == hwnd())
        pf::ui().releaseCapture();
}

void CVTND_SizingBar::Paint()
{
    pf::PaintDc dc(*this);
    const pf::Rect client = clientRect();
    dc.fillRect(client, pf::createSolidBrush(pf::getSysColor(pf::COLOR_BTNFACE)));
    for (const pf::Rect& edge : {GripRect(), SplitterRect()})
        if (!edge.isEmpty())
            dc.draw3dRect(edge, pf::getSysColor(pf::COLOR_BTNHIGHLIGHT), pf::getSysColor(pf::COLOR_BTNSHADOW));
    const pf::Rect caption = CaptionRect();
    const bool active = IsCaptionActive();
    m_drawnActive = active;
    dc.fillRect(caption.inflatedBy(-1, -1),
                pf::createSolidBrush(pf::getSysColor(active ? pf::COLOR_ACTIVECAPTION : pf::COLOR_INACTIVECAPTION)));
    dc.setBkMode(pf::TRANSPARENT);
    dc.setTextColor(pf::getSysColor(active ? pf::COLOR_CAPTIONTEXT : pf::COLOR_INACTIVECAPTIONTEXT));
    dc.textOut(caption.l + 5, caption.t + 2, m_title);
    const pf::Rect box = CloseBoxRect();
    dc.fillRect(box, pf::createSolidBrush(pf::getSysColor(pf::COLOR_BTNFACE)));
    dc.draw3dRect(box, pf::getSysColor(pf::COLOR_BTNHIGHLIGHT), pf::getSysColor(pf::COLOR_BTNSHADOW));
    const pf::Pen pen = pf::createPen(0, 1, pf::getSysColor(pf::COLOR_BTNTEXT));
    dc.selectPen(pen);
    for (int32_t i = 0; i < 2; ++i) { // the cross, two pixels thick
        dc.moveTo({box.l + 3 + i, box.t + 3});
        dc.lineTo({box.r - 3 + i, box.b - 3});
        dc.moveTo({box.r - 4 + i, box.t + 3});
        dc.lineTo({box.l + 2 + i, box.b - 3});
    }
}

bool CVTND_SizingBar::IsCaptionActive() const
{
    const pf::Window* focus = pf::ui().window(pf::ui().focus());
    return m_state.floating || (m_content->isWindow() && focus != nullptr && focus->isDescendantOf(this));
}

void CVTND_SizingBar::ShowFocus()
{
    if (isWindow() && IsCaptionActive() != m_drawnActive)
        invalidate(CaptionRect(), false);
}

pf::Size CVTND_SizingBar::FloatSize() const
{
    if (m_state.floatRect.isEmpty())
        return {std::max<int32_t>(kMinFloatSide, 240), std::max<int32_t>(kMinFloatSide, 320)};
    return {static_cast<int32_t>(m_state.floatRect.width()), static_cast<int32_t>(m_state.floatRect.height())};
}

// A docked caption may be longer than the floating one: the press keeps its place from the caption's start as far
// as the floating caption reaches, short of its close box.
pf::Rect CVTND_SizingBar::FloatShapeAt(pf::Point press) const
{
    if (m_state.floating)
        return screenRect();
    const pf::Size size = FloatSize();
    const pf::Rect caption = CaptionRect();
    const pf::Point onCaption = screenToClient(press);
    const int32_t border = pf::getSystemMetrics(pf::SM_CXBORDER); // a floating bar's WS_BORDER
    const int32_t across = std::clamp(onCaption.x - caption.l, 0, std::max(0, size.cx - 2 * border - 24));
    const int32_t down = std::clamp(onCaption.y - caption.t, 0, kCaptionHeight - 1);
    return pf::Rect::fromXywh(press.x - across - border, press.y - down - border, size.cx, size.cy);
}

void CVTND_SizingBar::DragCaption(pf::Point screen)
{
    if (!m_drag.IsDragging()) {
        if (!m_drag.IsBeyondDragDistance(screen))
            return;
        // Escape must reach us while the pointer is ours; the keyboard goes back when the drag ends.
        m_focusBefore = pf::ui().setFocus(hwnd());
        if (m_track != Track::kCaption)
            return; // the old focus window took the capture as it lost the keyboard
    }
    m_drag.Show(m_host.DockTargetAt(*this, screen).value_or(m_drag.FloatingAt(screen)));
}

void CVTND_SizingBar::EndCaptionDrag(bool drop)
{
    const std::optional<CVTND_DockTarget> target = m_drag.End();
    m_track = Track::kNone;
    if (pf::ui().capture() == hwnd())
        pf::ui().releaseCapture();
    if (target && pf::ui().focus() == hwnd()) // back where it was: the bar has no use for keys of its own
        pf::ui().setFocus(pf::ui().isWindow(m_focusBefore) ? m_focusBefore : pf::kNoWindow);
    m_focusBefore = pf::kNoWindow;
    if (drop && target)
        DropAt(*target);
}

void CVTND_SizingBar::DropAt(const CVTND_DockTarget& target)
{
    if (!target.side) {
        if (!m_state.floating) {
            m_state.floatRect = target.rect;
            SetFloating(true); // the window is new after this
            return;
        }
        move(target.rect);
        RememberFloatRect();
        return;
    }
    if (!m_state.floating && *target.side == m_state.side)
        return; // let go over its own edge: it stays where it was
    if (*target.side != m_state.side)
        m_state.share = 0; // a length along the other side means nothing here
    m_state.side = *target.side;
    m_state.size = target.size;
    if (m_state.floating) {
        SetFloating(false); // the window is new after this
        return;
    }
    invalidate();
    m_host.BarChanged();
}
