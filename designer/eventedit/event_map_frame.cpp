#include "designer/eventedit/event_map_frame.h"

#include <algorithm>
#include <limits>
#include <memory>
#include <string>

#include "designer/app/app_registrations.h"
#include "designer/app/designer_app.h"
#include "designer/app/extended_world.h"
#include "designer/app/registry.h"
#include "designer/editing/editor_engine.h"
#include "designer/editing/editor_images.h"
#include "designer/editing/map_object.h"
#include "designer/eventedit/control_receptor.h"
#include "designer/eventedit/event_map_canvas.h"
#include "designer/eventedit/event_map_texts.h"
#include "designer/eventedit/map_layout.h"
#include "engine/behaviour/events.h"
#include "engine/core/world.h"
#include "platform/base/user_constants.h"
#include "platform/gfx/image_list.h"
#include "platform/ui/controls/list_view.h"
#include "platform/ui/controls/scroll_bar.h"
#include "platform/ui/controls/status_bar.h"
#include "platform/ui/controls/tool_bar.h"
#include "platform/ui/core/ui.h"

namespace {

constexpr uint32_t kListColour = 0xAAAAAA;
constexpr uint32_t kEventTypesShown[] = {0, 1, 2, 4, 5, 7, 6, 16, 17, 19, 20, 3};
constexpr pf::Point kFirstFramePlace{20, 20};

std::string Text(uint32_t id)
{
    return pf::resources().string(id).value_or(std::string());
}

pf::Window* OpenEventMap(CVTNDesignerApp& app, const CVTND_FrameRequest& request)
{
    auto* mainFrame = dynamic_cast<pf::FrameWindow*>(request.mainFrame);
    if (mainFrame == nullptr)
        return nullptr;
    return CChildEventMapFrame::Open(app, *mainFrame, request.number);
}

const CVTND_FrameRegistration kEventMapFrame(FrameClass::kEventMap, &OpenEventMap);
const CVTND_WindowClassRegistration kEventMapClass(&CChildEventMapFrame::RegisterWindowClass);

// The tool bar's pictures: a sheet, a list, two bars to align and two gaps to space.
pf::ImageListRef ToolImages()
{
    pf::ImageListRef images = pf::ImageList::create(16, 15, pf::ILC_COLOR32 | pf::ILC_MASK, 6, 0);
    for (int index = 0; index < 6; ++index) {
        std::vector<uint32_t> argb(16 * 15, 0);
        std::vector<uint8_t> mask(16 * 15, 1);
        const auto put = [&](int x, int y) {
            argb[static_cast<size_t>(y * 16 + x)] = 0xFF203040;
            mask[static_cast<size_t>(y * 16 + x)] = 0;
        };
        for (int y = 1; y < 14; ++y)
            for (int x = 1; x < 15; ++x) {
                const bool on = index == 0   ? (x == 3 || x == 12 || y == 2 || y == 12)
                                : index == 1 ? (x == 3 && y % 3 == 0) || (x > 5 && y % 3 == 0)
                                : index == 2 ? (x == 3 || (y % 4 == 1 && x < 4 + y))
                                : index == 3 ? (y == 3 || (x % 4 == 1 && y < 4 + x / 2))
                                : index == 4 ? ((x == 2 || x == 7 || x == 12) && y > 3 && y < 11)
                                             : ((y == 2 || y == 7 || y == 12) && x > 3 && x < 12);
                if (on)
                    put(x, y);
            }
        if (pf::IconRef icon = pf::Icon::create(16, 15, std::move(argb), std::move(mask)))
            images->addIcon(*icon);
    }
    return images;
}

} // namespace

// -- The hidden edit

pf::LResult CVTND_HiddenEventMapEdit::handle(const pf::Msg& msg)
{
    if (msg.message == pf::WM_KEYUP) {
        if (auto* view = dynamic_cast<CChildEventMapView*>(parent()); view != nullptr && view->Canvas() != nullptr)
            view->Canvas()->OnKeyReleased(static_cast<uint32_t>(msg.wParam));
        return 0;
    }
    return pf::Edit::handle(msg);
}

// -- The view

bool CChildEventMapView::Create(pf::Window& frame)
{
    return pf::Dialog::create(kIddEventMapView, &frame);
}

bool CChildEventMapView::onInitDialog()
{
    m_hiddenEdit = subclass<CVTND_HiddenEventMapEdit>(EventMapControl::kHiddenEdit);
    m_canvas = subclass<CVTND_EventMap>(EventMapControl::kCanvas);
    const pf::Rect client = clientRect();
    m_width = client.r;
    m_height = client.b;
    return false;
}

pf::ListView* CChildEventMapView::EventList() const
{
    return item<pf::ListView>(EventMapControl::kEventList);
}

pf::ScrollBar* CChildEventMapView::Bar(bool vertical) const
{
    return item<pf::ScrollBar>(vertical ? EventMapControl::kVerticalBar : EventMapControl::kHorizontalBar);
}

pf::StatusBar* CChildEventMapView::Status() const
{
    auto* frame = dynamic_cast<CChildEventMapFrame*>(parent());
    return frame != nullptr ? frame->Status() : nullptr;
}

void CChildEventMapView::InitialUpdate()
{
    CVTNDesignerApp* app = GetDesignerApp();
    if (pf::ListView* list = EventList()) {
        list->setBkColor(kListColour);
        list->setTextBkColor(kListColour);
        list->setTextColor(0);
        if (const CVTND_EditorImages* images = GetEditorImages())
            list->setImageList(images->List(EditorImageList::kEvents), pf::LVSIL_NORMAL);
        const SWworld* world = app != nullptr ? app->GetWorld() : nullptr;
        for (const uint32_t type : kEventTypesShown) {
            const char* name = world != nullptr ? world->GetEventTypeName(type) : nullptr;
            const int32_t index = list->insertItem(list->getItemCount(), name != nullptr ? name : std::to_string(type),
                                                   CEditorEngine::EventTypeIcon(type));
            list->setItemData(index, static_cast<pf::LParam>(type));
        }
    }
    m_firstSize = false;
    for (const bool vertical : {true, false}) {
        if (pf::ScrollBar* bar = Bar(vertical)) {
            bar->setRange(0, kEventMapScrollRange);
            bar->setPosition(0);
        }
    }
    if (pf::StatusBar* status = Status()) {
        status->setText(0, Text(kIdsOffsetLabel) + "X: 0");
        status->setText(1, Text(kIdsOffsetLabel) + "Y: 0");
        status->setText(2, "X: 0");
        status->setText(3, "Y: 0");
    }
}

void CChildEventMapView::ScrollTo(pf::Point origin)
{
    // A stored origin was within reach when it was left, perhaps of a map not yet drawn here to widen the bars.
    if (m_canvas != nullptr) {
        const pf::Rect client = m_canvas->clientRect();
        FitRanges({origin.x + static_cast<int32_t>(client.width()), origin.y + static_cast<int32_t>(client.height())});
    }
    // As the bars' own thumb tracking, with the whole position: the message's 16 bits do not reach a large map.
    OnScroll(false, pf::SB_THUMBTRACK, origin.x, Bar(false));
    OnScroll(true, pf::SB_THUMBTRACK, origin.y, Bar(true));
}

// A map larger than the bars' first range would leave the objects past it out of reach: the ranges grow until the
// furthest object can be scrolled into view, with a margin to drop more beyond it. They never go below the first
// range, nor below where the bars stand.
void CChildEventMapView::FitRanges(pf::Point extent)
{
    constexpr int32_t kMargin = 64;
    if (m_canvas == nullptr || m_firstSize)
        return;
    const pf::Rect client = m_canvas->clientRect();
    for (const bool vertical : {true, false}) {
        pf::ScrollBar* bar = Bar(vertical);
        if (bar == nullptr)
            continue;
        const int32_t beyond = vertical ? extent.y - static_cast<int32_t>(client.height())
                                        : extent.x - static_cast<int32_t>(client.width());
        const int32_t wanted = std::max({kEventMapScrollRange, beyond + kMargin, bar->position()});
        if (bar->scrollInfo().nMax != wanted)
            bar->setRange(0, wanted);
    }
}

void CChildEventMapView::ShowMapPoint(pf::Point map)
{
    if (pf::StatusBar* status = Status()) {
        status->setText(2, "X: " + std::to_string(map.x));
        status->setText(3, "Y: " + std::to_string(map.y));
    }
}

void CChildEventMapView::FocusHiddenEdit()
{
    if (m_hiddenEdit != nullptr)
        pf::ui().setFocus(m_hiddenEdit->hwnd());
}

bool CChildEventMapView::IsListShown() const
{
    const pf::ListView* list = EventList();
    return list != nullptr && list->isVisible();
}

void CChildEventMapView::ToggleEventList()
{
    pf::ListView* list = EventList();
    pf::ScrollBar* bar = Bar(false);
    if (list == nullptr || bar == nullptr || m_canvas == nullptr)
        return;
    const int32_t width = static_cast<int32_t>(list->windowRect().width());
    const int32_t shift = list->isVisible() ? -width : width;
    list->show(list->isVisible() ? pf::SW_HIDE : pf::SW_SHOW);
    for (pf::Window* w : {static_cast<pf::Window*>(bar), static_cast<pf::Window*>(m_canvas)}) {
        const pf::Rect r = w->windowRect();
        w->move({r.l + shift, r.t, r.r, r.b});
    }
}

void CChildEventMapView::OnSize(int32_t width, int32_t height)
{
    if (width <= 0 || height <= 0 || m_firstSize)
        return;
    const int32_t dx = width - m_width;
    const int32_t dy = height - m_height;
    m_width = width;
    m_height = height;
    const auto grow = [](pf::Window* w, int32_t moveX, int32_t moveY, int32_t wider, int32_t taller) {
        if (w == nullptr)
            return;
        const pf::Rect r = w->windowRect();
        w->move({r.l + moveX, r.t + moveY, r.r + moveX + wider, r.b + moveY + taller});
    };
    grow(Bar(false), 0, dy, dx, 0);
    grow(Bar(true), dx, 0, 0, dy);
    grow(EventList(), 0, 0, 0, dy);
    grow(m_canvas, 0, 0, dx, dy);
}

void CChildEventMapView::OnScroll(bool vertical, int32_t code, int32_t trackPos, pf::Window* from)
{
    pf::ScrollBar* bar = Bar(vertical);
    if (bar == nullptr || m_canvas == nullptr || from != bar)
        return;
    const std::optional<int32_t> to = bar->requestedPosition(code, trackPos);
    if (!to)
        return;
    const int32_t pos = *to;
    bar->setPosition(pos);
    if (pf::StatusBar* status = Status())
        status->setText(vertical ? 1 : 0, Text(kIdsOffsetLabel) + (vertical ? "Y: " : "X: ") + std::to_string(pos));
    pf::Point origin = m_canvas->GetScrollOrigin();
    (vertical ? origin.y : origin.x) = pos;
    m_canvas->SetScrollOrigin(origin);
}

// A notch of the wheel moves the map by about a row of objects. The bars' line is one map pixel, so the three lines
// a notch turns elsewhere moved a map of thousands of rows by three pixels.
bool CChildEventMapView::OnWheel(int32_t delta)
{
    constexpr int32_t kPixelsPerNotch = 48;
    pf::ScrollBar* bar = Bar(true);
    if (bar == nullptr || m_canvas == nullptr || delta == 0)
        return false;
    const int64_t to = int64_t{m_canvas->GetScrollOrigin().y} - int64_t{delta} * kPixelsPerNotch / pf::WHEEL_DELTA;
    OnScroll(true, pf::SB_THUMBTRACK,
             static_cast<int32_t>(std::clamp<int64_t>(to, 0, std::numeric_limits<int32_t>::max())), bar);
    return true;
}

void CChildEventMapView::BeginEventTypeDrag(int32_t index)
{
    pf::ListView* list = EventList();
    CEditorEngine* engine = GetEditorEngine();
    if (list == nullptr || engine == nullptr || index < 0)
        return;
    const auto type = static_cast<uint32_t>(list->getItemData(index));
    UIObject* item = engine->MakePaletteObject(
        CVTND_Object(static_cast<uint16_t>(ObjectType::kEventType), reinterpret_cast<void*>(uintptr_t{type})));
    if (item == nullptr)
        return;
    item->SetEventType(type);
    engine->DragList().clear();
    engine->DragList().push_back(item);
    engine->BeginDrag(pf::ui().messagePos(), nullptr);
}

pf::LResult CChildEventMapView::handle(const pf::Msg& msg)
{
    switch (msg.message) {
    case pf::WM_SIZE:
        OnSize(static_cast<int32_t>(msg.lParam & 0xFFFF), static_cast<int32_t>((msg.lParam >> 16) & 0xFFFF));
        return 0;
    case pf::WM_HSCROLL:
    case pf::WM_VSCROLL: {
        const auto code = static_cast<int32_t>(msg.wParam & 0xFFFF);
        pf::Window* from = pf::ui().window(static_cast<pf::Hwnd>(msg.lParam));
        // A dragged thumb's position past 32767 does not fit the message: the bar holds it whole.
        const auto* bar = dynamic_cast<const pf::ScrollBar*>(from);
        const bool tracked = bar != nullptr && (code == pf::SB_THUMBTRACK || code == pf::SB_THUMBPOSITION);
        OnScroll(msg.message == pf::WM_VSCROLL, code,
                 tracked ? bar->trackPosition() : static_cast<int16_t>((msg.wParam >> 16) & 0xFFFF), from);
        return 0;
    }
    case pf::WM_MOUSEWHEEL:
        return OnWheel(static_cast<int16_t>(pf::hiWord(msg.wParam))) ? 1 : 0;
    case pf::WM_NOTIFY: {
        const auto* header = pf::notifyRecord<pf::NMHDR>(msg.lParam);
        if (header != nullptr && header->code == pf::LVN_BEGINDRAG &&
            header->idFrom == static_cast<uintptr_t>(EventMapControl::kEventList)) {
            BeginEventTypeDrag(pf::notifyRecord<pf::NMLISTVIEW>(msg.lParam)->iItem);
            return 0;
        }
        return pf::Dialog::handle(msg);
    }
    case pf::kMsgRouteCommand: {
        const auto id = static_cast<uint32_t>(msg.wParam & 0xFFFF);
        if (id == EventMapCommand::kShowList) {
            ToggleEventList();
            return 1;
        }
        return m_canvas != nullptr && m_canvas->RunCommand(id) ? 1 : 0;
    }
    default:
        return pf::Dialog::handle(msg);
    }
}

// -- The frame

void CChildEventMapFrame::RegisterWindowClass(pf::Ui& ui)
{
    ui.registerClass({kEventMapFrameClass, [] { return std::unique_ptr<pf::Window>(new CChildEventMapFrame()); }, 0,
                      pf::Cursor{}, -1});
}

CChildEventMapFrame* CChildEventMapFrame::Open(CVTNDesignerApp& app, pf::FrameWindow& mainFrame, uint32_t number)
{
    pf::MdiClient* client = mainFrame.mdiClient();
    CEditorEngine* engine = GetEditorEngine();
    if (client == nullptr || engine == nullptr)
        return nullptr;
    if (pf::ui().findClass(kEventMapFrameClass) == nullptr)
        RegisterWindowClass(pf::ui());
    const uint32_t style =
        pf::WS_CHILD | pf::WS_CAPTION | pf::WS_CLIPSIBLINGS | pf::WS_CLIPCHILDREN | pf::WS_VISIBLE | pf::WS_THICKFRAME;
    const auto size = pf::resources().dialog(kIddEventMapView).value_or(pf::DialogTemplate{}).size;
    const std::string title = Text(kIdsEventMapTitle) + " " + std::to_string(number);
    // The first window stands at the client's bottom right, where the first 3D view (top left) leaves it in sight;
    // later ones cascade up from there.
    const int32_t offset = static_cast<int32_t>((number > 0 ? number - 1 : 0) % 8) * 24;
    const pf::Rect area = client->clientRect();
    const pf::Point place{std::max<int32_t>(0, area.r - size.cx - 80 - kFirstFramePlace.x - offset),
                          std::max<int32_t>(0, area.b - size.cy - 120 - kFirstFramePlace.y - offset)};
    std::unique_ptr<CChildEventMapFrame> made(new CChildEventMapFrame());
    if (!made->create({kEventMapFrameClass, title, style, 0,
                       pf::Rect::fromXywh(place.x, place.y, size.cx, size.cy + 80), client->hwnd(), 0}))
        return nullptr;
    CChildEventMapFrame* const frame = made.release(); // its window owns it from now on
    frame->m_toolBar = dynamic_cast<pf::ToolBar*>(
        pf::ui().createWindow({"toolbar", "", pf::WS_CHILD | pf::WS_VISIBLE, 0, {}, frame->hwnd(), 0}));
    frame->m_statusBar = dynamic_cast<pf::StatusBar*>(
        pf::ui().createWindow({"statusbar", "", pf::WS_CHILD | pf::WS_VISIBLE, 0, {}, frame->hwnd(), 0}));
    if (frame->m_toolBar != nullptr) {
        frame->m_toolBar->setImageList(ToolImages());
        frame->m_toolBar->loadToolBar(kEventMapToolBar);
        frame->m_toolBar->checkButton(EventMapCommand::kShowList, true);
    }
    if (frame->m_statusBar != nullptr)
        frame->m_statusBar->setParts({130, 260, 340, -1});
    if (!frame->m_view.Create(*frame)) {
        frame->destroy();
        return nullptr;
    }
    const pf::Rect insets = frame->clientInsets();
    const int32_t bars =
        (frame->m_toolBar != nullptr ? static_cast<int32_t>(frame->m_toolBar->windowRect().height()) : 0) +
        (frame->m_statusBar != nullptr ? 22 : 0);
    frame->move(
        pf::Rect::fromXywh(place.x, place.y, size.cx + insets.l + insets.r, size.cy + bars + insets.t + insets.b));
    frame->keepInClient();
    frame->Layout();
    frame->setView(&frame->m_view);
    frame->m_view.show(pf::SW_SHOW);
    CVTND_EventMap* canvas = frame->GetEventMap();
    app.RegisterChildFrame(frame, canvas);
    if (canvas != nullptr) {
        for (MapObject* o = engine->FirstMapObject(); o != nullptr; o = engine->NextMapObject(o))
            engine->AddMapOwners(*o);
        auto* receptor = new ControlReceptor(canvas);
        receptor->AddOwner(canvas);
        frame->m_receptor = engine->AddControlReceptor(receptor);
    }
    frame->m_view.InitialUpdate();
    frame->Layout();
    // The first map of a workspace shows the layout the project brought.
    if (app.GetFirstEventMap() == canvas)
        ApplyProjectLayout(app);
    frame->activate();
    return frame;
}

void CChildEventMapFrame::Layout()
{
    if (isMinimized()) {
        // Minimised, the frame is its caption: bars placed round an empty client would lie over the caption and
        // take its clicks.
        for (pf::Window* w : {static_cast<pf::Window*>(m_toolBar), static_cast<pf::Window*>(m_statusBar),
                              static_cast<pf::Window*>(&m_view)})
            if (w != nullptr && w->isWindow())
                w->move({});
        return;
    }
    pf::Rect client = clientRect();
    if (m_toolBar != nullptr) {
        m_toolBar->placeAtTopOf(client);
        client.t += static_cast<int32_t>(m_toolBar->windowRect().height());
    }
    if (m_statusBar != nullptr) {
        m_statusBar->placeAtBottomOf(clientRect());
        client.b -= static_cast<int32_t>(m_statusBar->windowRect().height());
    }
    if (m_view.isWindow())
        m_view.move(client);
}

void CChildEventMapFrame::RedrawMap()
{
    if (CVTND_EventMap* canvas = GetEventMap())
        canvas->RedrawMap();
}

// The canvas leaves every map object's owners and its receptor goes, while the canvas still lives.
void CChildEventMapFrame::Closing()
{
    if (m_closed)
        return;
    m_closed = true;
    CEditorEngine* engine = GetEditorEngine();
    CVTND_EventMap* canvas = GetEventMap();
    if (engine != nullptr) {
        for (MapObject* o = engine->FirstMapObject(); o != nullptr; o = engine->NextMapObject(o))
            while (o->OwnsWindow(canvas))
                o->RemoveOwner(canvas);
        engine->RemoveControlReceptor(m_receptor);
    }
    if (CVTNDesignerApp* app = GetDesignerApp())
        app->UnregisterChildFrame(this);
}

bool CChildEventMapFrame::handleCommand(uint32_t id, uint32_t code)
{
    if (m_view.isWindow() && m_view.send(pf::kMsgRouteCommand, pf::makeWParam(static_cast<int32_t>(id), 0), 0) != 0) {
        if (id == EventMapCommand::kShowList && m_toolBar != nullptr)
            m_toolBar->checkButton(id, m_view.IsListShown());
        return true;
    }
    if (id == EventMapCommand::kNewWindow) {
        if (CVTNDesignerApp* app = GetDesignerApp())
            app->OpenEventMapWindow();
        return true;
    }
    return pf::MdiChild::handleCommand(id, code);
}

pf::LResult CChildEventMapFrame::handle(const pf::Msg& msg)
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
        Layout();
        return result;
    }
    case pf::WM_COMMAND:
        if (handleCommand(static_cast<uint32_t>(msg.wParam & 0xFFFF), static_cast<uint32_t>(msg.wParam >> 16)))
            return 0;
        return pf::MdiChild::handle(msg);
    case pf::WM_CLOSE:
        Closing();
        m_view.destroy();
        return pf::MdiChild::handle(msg);
    case pf::WM_DESTROY:
        Closing();
        return pf::MdiChild::handle(msg);
    default:
        return pf::MdiChild::handle(msg);
    }
}
