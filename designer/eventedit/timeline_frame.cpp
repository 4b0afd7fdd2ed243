#include "designer/eventedit/timeline_frame.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>

#include "designer/app/app_registrations.h"
#include "designer/app/designer_app.h"
#include "designer/app/notification.h"
#include "designer/app/registry.h"
#include "designer/eventedit/event_story_board.h"
#include "designer/eventedit/story_board_time.h"
#include "designer/eventedit/storyboard_texts.h"
#include "designer/workspace/editor_fields.h"
#include "engine/behaviour/event.h"
#include "platform/base/user_constants.h"
#include "platform/ui/controls/edit.h"
#include "platform/ui/controls/scroll_bar.h"
#include "platform/ui/controls/up_down.h"
#include "platform/ui/core/ui.h"

namespace {

constexpr pf::Point kFirstFramePlace{10, 10};

pf::Window* OpenTimeline(CVTNDesignerApp& app, const CVTND_FrameRequest& request)
{
    auto* mainFrame = dynamic_cast<pf::FrameWindow*>(request.mainFrame);
    if (mainFrame == nullptr || request.event == nullptr)
        return nullptr;
    return CChildEventTimelineFrame::Open(app, *mainFrame, request.event);
}

const CVTND_FrameRegistration kTimelineFrame(FrameClass::kEventTimeline, &OpenTimeline);
const CVTND_WindowClassRegistration kTimelineClass(&CChildEventTimelineFrame::RegisterWindowClass);

// "%g" of a number: the shortest text that reads back as it, never in a locale's own digits.
std::string ShortestText(double value)
{
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::general);
    return std::string(text, result.ptr);
}

} // namespace

// -- The view

bool CChildEventTimelineView::Create(pf::Window& frame)
{
    return pf::Dialog::create(kTimelineViewId, &frame);
}

bool CChildEventTimelineView::onInitDialog()
{
    m_board = subclass<CEventStoryBoard>(kBoard);
    m_ruler = subclass<CStoryBoardTime>(kRuler);
    const pf::Rect client = clientRect();
    m_width = client.r;
    m_height = client.b;
    return false;
}

void CChildEventTimelineView::FinishInitialUpdate()
{
    const pf::Rect client = clientRect();
    OnSize(client.r, client.b);
    m_initialising = false;
}

void CChildEventTimelineView::SetEvent(SWevent* event)
{
    m_event = event;
    if (pf::Window* frame = parent()) {
        const std::string name = event != nullptr ? event->GetName().value_or(std::string()) : std::string();
        std::string title = StoryBoardTextOf(kIdsTimelineTitle);
        if (const size_t slot = title.find("%s"); slot != std::string::npos)
            title.replace(slot, 2, name);
        frame->setText(title);
    }
    WriteZoom();
    if (auto* spin = item<pf::UpDown>(kSpin)) {
        spin->setBuddy(child(kZoomEdit) != nullptr ? child(kZoomEdit)->hwnd() : pf::kNoWindow);
        spin->setRange32(0, kScrollRange);
    }
    if (auto* bar = item<pf::ScrollBar>(kHorizontalBar)) {
        bar->setRange(0, kScrollRange);
        bar->setPosition(0);
    }
    if (m_board != nullptr)
        m_board->Attach(event);
    WriteZoom();
    if (m_ruler != nullptr) {
        m_ruler->Link(m_board);
        m_ruler->invalidate(true);
    }
}

void CChildEventTimelineView::WriteZoom()
{
    if (m_board != nullptr)
        m_zoom = static_cast<double>(m_board->Scale()) * 100.0;
    if (pf::Window* edit = child(kZoomEdit); edit != nullptr && m_board != nullptr)
        edit->setText(ShortestText(m_zoom));
}

// The ruler spans the track: from the board's track origin to the board's right edge, in the view's client.
void CChildEventTimelineView::LayOutRuler()
{
    if (m_board == nullptr || m_ruler == nullptr || !m_board->isWindow())
        return;
    const pf::Point origin = screenToClient(m_board->clientToScreen({m_board->TrackOrigin(), 0}));
    const pf::Point right = screenToClient(m_board->clientToScreen({m_board->clientRect().r, 0}));
    const pf::Rect now = m_ruler->windowRect();
    m_ruler->move({origin.x, now.t, std::max(origin.x, right.x), now.b}, true);
    m_ruler->invalidate(true);
}

pf::LResult CChildEventTimelineView::handle(const pf::Msg& msg)
{
    switch (msg.message) {
    case kMsgLayOutRuler:
        LayOutRuler();
        return 0;
    case pf::WM_SIZE:
        pf::Dialog::handle(msg);
        if (!m_initialising)
            OnSize(pf::loWord(static_cast<uintptr_t>(msg.lParam)), pf::hiWord(static_cast<uintptr_t>(msg.lParam)));
        return 0;
    case pf::WM_HSCROLL:
        if (const auto* bar = item<pf::ScrollBar>(kHorizontalBar);
            bar != nullptr && static_cast<pf::Hwnd>(msg.lParam) == bar->hwnd()) {
            OnHorizontalScroll(pf::loWord(msg.wParam), pf::hiWord(msg.wParam));
            return 0;
        }
        return pf::Dialog::handle(msg);
    case pf::WM_COMMAND:
        if (pf::loWord(msg.wParam) == kZoomEdit && pf::hiWord(msg.wParam) == pf::EN_CHANGE) {
            OnZoomChanged();
            return 0;
        }
        return pf::Dialog::handle(msg);
    case kMsgDesignerNotify:
        return m_board != nullptr ? m_board->send(msg.message, msg.wParam, msg.lParam) : 0;
    default:
        return pf::Dialog::handle(msg);
    }
}

// The scroll bars move and stretch with the view, the board grows with it, the ruler follows the board.
void CChildEventTimelineView::OnSize(int32_t width, int32_t height)
{
    if (width < 1 || height < 1)
        return;
    const int32_t dx = width - m_width;
    const int32_t dy = height - m_height;
    m_width = width;
    m_height = height;
    if (pf::Window* bar = child(kHorizontalBar)) {
        const pf::Rect r = bar->windowRect();
        bar->move({r.l, r.t + dy, std::max(r.l, r.r + dx), r.b + dy});
    }
    if (pf::Window* bar = child(kVerticalBar)) {
        const pf::Rect r = bar->windowRect();
        bar->move({r.l + dx, r.t, r.r + dx, std::max(r.t, r.b + dy)});
    }
    if (m_board != nullptr) {
        const pf::Rect r = m_board->windowRect();
        m_board->move({r.l, r.t, std::max(r.l, r.r + dx), std::max(r.t, r.b + dy)});
    }
    LayOutRuler();
}

void CChildEventTimelineView::OnHorizontalScroll(int32_t code, int32_t trackPos)
{
    auto* bar = item<pf::ScrollBar>(kHorizontalBar);
    if (bar == nullptr || m_board == nullptr || m_event == nullptr)
        return;
    const std::optional<int32_t> to = bar->requestedPosition(code, trackPos);
    if (!to)
        return;
    const int32_t pos = *to;
    bar->setPosition(pos);
    m_board->SetStartTime(pos * m_event->GetTimeLineLength() * (1.0 / kScrollRange) * m_board->Scale());
    RepaintTrack();
}

// A zoom from 1 to the spin's range; other text ("0", "1e9", "nan") is refused, and the field shows the zoom again.
void CChildEventTimelineView::OnZoomChanged()
{
    pf::Window* edit = child(kZoomEdit);
    if (edit == nullptr || m_board == nullptr || m_showingZoom)
        return;
    const TypedNumber typed = ReadTypedNumber(edit->getText(), 1.0, kLargestZoom);
    const auto zoom = [this](double value) {
        m_zoom = value;
        m_board->SetScale(static_cast<float>(value * 0.01));
        RepaintTrack();
    };
    if (typed.kind != TypedKind::kNumber) {
        RefuseTypedText(
            edit, [this] { return ShortestText(m_zoom); }, m_showingZoom, 1.0, kLargestZoom);
        return;
    }
    BeginTypedEdit(edit, [this, self = hwnd(), zoom, before = m_zoom] {
        if (pf::ui().window(self) == this && m_board != nullptr)
            zoom(before);
    });
    zoom(typed.value);
}

void CChildEventTimelineView::RepaintTrack()
{
    if (m_board != nullptr && m_board->isWindow()) {
        const pf::Rect client = m_board->clientRect();
        m_board->invalidate(pf::Rect{m_board->TrackOrigin(), 0, client.r, client.b}, true);
    }
    if (m_ruler != nullptr && m_ruler->isWindow())
        m_ruler->invalidate(true);
}

// -- The frame

void CChildEventTimelineFrame::RegisterWindowClass(pf::Ui& ui)
{
    ui.registerClass({kTimelineFrameClass, [] { return std::unique_ptr<pf::Window>(new CChildEventTimelineFrame()); },
                      0, pf::Cursor{}, -1});
}

CChildEventTimelineFrame* CChildEventTimelineFrame::Open(CVTNDesignerApp& app, pf::FrameWindow& mainFrame,
                                                         SWevent* event)
{
    pf::MdiClient* client = mainFrame.mdiClient();
    if (client == nullptr || event == nullptr)
        return nullptr;
    if (pf::ui().findClass(kTimelineFrameClass) == nullptr)
        RegisterWindowClass(pf::ui());
    std::unique_ptr<CChildEventTimelineFrame> made(new CChildEventTimelineFrame());
    const uint32_t style = pf::WS_CHILD | pf::WS_CAPTION | pf::WS_CLIPSIBLINGS | pf::WS_CLIPCHILDREN | pf::WS_VISIBLE;
    const auto size = pf::resources().dialog(kTimelineViewId).value_or(pf::DialogTemplate{}).size;
    if (!made->create({kTimelineFrameClass, "", style, 0,
                       pf::Rect::fromXywh(kFirstFramePlace.x, kFirstFramePlace.y, size.cx, size.cy), client->hwnd(),
                       0}))
        return nullptr;
    CChildEventTimelineFrame* const frame = made.release(); // its window owns it from now on
    app.RegisterChildFrame(frame);
    if (!frame->m_view.Create(*frame)) {
        frame->destroy();
        return nullptr;
    }
    // The frame fits the view's layout.
    const pf::Rect insets = frame->clientInsets();
    frame->move(pf::Rect::fromXywh(kFirstFramePlace.x, kFirstFramePlace.y, size.cx + insets.l + insets.r,
                                   size.cy + insets.t + insets.b));
    frame->keepInClient(); // a client narrower than the view's layout would hide the caption's buttons
    frame->m_view.move(frame->clientRect());
    frame->setView(&frame->m_view);
    frame->m_view.show(pf::SW_SHOW);
    frame->SetEvent(event);
    frame->m_view.FinishInitialUpdate();
    frame->activate();
    return frame;
}

void CChildEventTimelineFrame::SetEvent(SWevent* event)
{
    m_event = event;
    m_view.SetEvent(event);
}

pf::LResult CChildEventTimelineFrame::handle(const pf::Msg& msg)
{
    switch (msg.message) {
    case pf::WM_SETFOCUS: {
        const pf::LResult result = pf::MdiChild::handle(msg);
        if (m_view.isWindow())
            pf::ui().setFocus(m_view.hwnd());
        return result;
    }
    case pf::WM_SIZE: {
        const pf::LResult result = pf::MdiChild::handle(msg);
        if (m_view.isWindow())
            m_view.move(clientRect());
        return result;
    }
    case pf::WM_CLOSE:
        m_view.destroy();
        return pf::MdiChild::handle(msg);
    case pf::WM_DESTROY:
        if (CVTNDesignerApp* app = GetDesignerApp())
            app->UnregisterChildFrame(this);
        return pf::MdiChild::handle(msg);
    case kMsgDesignerNotify: {
        const auto* record = reinterpret_cast<const CVTND_Event*>(msg.lParam);
        if (record != nullptr && record->Is(EventCode::kDeleted) &&
            record->subject.GetType() == static_cast<uint16_t>(ObjectType::kEvent) &&
            record->subject.GetObject() == m_event) {
            destroy(); // the window closes with its event
            return 0;
        }
        return m_view.isWindow() ? m_view.send(msg.message, msg.wParam, msg.lParam) : 0;
    }
    default:
        return pf::MdiChild::handle(msg);
    }
}
