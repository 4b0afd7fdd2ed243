#include "designer/app/child_render_view.h"

#include <algorithm>
#include <array>
#include <memory>
#include <utility>

#include "designer/app/app_registrations.h"
#include "designer/app/designer_app.h"
#include "designer/app/extended_world.h"
#include "designer/app/main_frame.h"
#include "designer/app/notification.h"
#include "engine/behaviour/input_queue.h"
#include "engine/behaviour/key_table.h"
#include "engine/core/camera_node.h"
#include "engine/core/cursor_list.h"
#include "engine/core/list.h"
#include "engine/core/root_object.h"
#include "engine/core/window.h"
#include "platform/ui/core/keyboard.h"
#include "platform/ui/core/paint_dc.h"
#include "platform/ui/core/ui.h"

namespace {

// Characters of a key in the layer's current keyboard state, for the world's key table.
class LayerKeyboard final : public SWkeyboardsource {
public:
    int TranslateToCharacters(uint32_t virtualKey, uint32_t scanCode, std::array<char, 2>& out) override
    {
        if (!pf::hasUi())
            return 0;
        uint16_t chars = 0;
        const int count = pf::toAscii(static_cast<uint8_t>(virtualKey), static_cast<uint16_t>(scanCode),
                                      pf::ui().keyboardState(), chars);
        out[0] = static_cast<char>(chars & 0xFF);
        out[1] = static_cast<char>(chars >> 8);
        return count;
    }
};

LayerKeyboard g_keyboard;

SWcameranode* LastCamera(const SWworld& world)
{
    for (SWlistnode* node = world.GetCameraList().Tail(); node != nullptr; node = node->Prev())
        if (auto* entry = dynamic_cast<SWcameraentry*>(node); entry != nullptr && entry->node != nullptr)
            return entry->node;
    return nullptr;
}

pf::StatusBar* MainStatusBar()
{
    CVTNDesignerApp* app = GetDesignerApp();
    auto* frame = app != nullptr ? dynamic_cast<pf::FrameWindow*>(app->GetMainFrame()) : nullptr;
    return frame != nullptr ? frame->statusBar() : nullptr;
}

} // namespace

CChildRenderView::~CChildRenderView()
{
    Detach();
}

void CChildRenderView::Attach()
{
    const SWworldlock hold(m_world);
    m_world.GetKeyTable().SetKeyboardSource(&g_keyboard);
    m_window = m_world.AddWindow(std::make_unique<SWwindow>(static_cast<uint32_t>(hwnd()), 1u, false));
    if (m_window == nullptr)
        return;
    if (SWcameranode* camera = LastCamera(m_world))
        m_window->SetCamera(camera);
    if (SWwindowrenderer* renderer = m_window->GetRenderer())
        renderer->SetBackground(m_world.GetRootObject()->GetBackground());
}

void CChildRenderView::Detach()
{
    if (m_window == nullptr)
        return;
    DropPointer();
    const SWworldlock hold(m_world);
    if (auto* designerWorld = dynamic_cast<CVTND_ExtendedWorld*>(&m_world);
        designerWorld != nullptr && designerWorld->GetHost() == this)
        designerWorld->SetHost(nullptr);
    m_world.RemoveWindow(m_window); // the renderer goes with it, before the window handle dies
    m_window = nullptr;
}

void CChildRenderView::Resize()
{
    if (m_window == nullptr)
        return;
    const pf::Rect client = clientRect();
    {
        const SWworldlock hold(m_world);
        if (SWwindowrenderer* renderer = m_window->GetRenderer()) {
            renderer->SetSize(static_cast<uint32_t>(std::max<int64_t>(client.width(), 1)),
                              static_cast<uint32_t>(std::max<int64_t>(client.height(), 1)));
            renderer->SetBackground(m_world.GetRootObject()->GetBackground());
        }
        m_world.Invalidate(true);
    }
    if (CVTNDesignerApp* app = GetDesignerApp();
        app != nullptr && &m_world == static_cast<SWworld*>(app->GetWorld()) && m_world.GetCurrentView() == m_window)
        app->SetReferenceSize(static_cast<float>(client.width()));
}

void CChildRenderView::MakeActive()
{
    if (m_window == nullptr)
        return;
    {
        const SWworldlock hold(m_world);
        m_world.SetCurrentView(m_window);
        if (auto* designerWorld = dynamic_cast<CVTND_ExtendedWorld*>(&m_world))
            designerWorld->SetHost(this);
    }
    if (CVTNDesignerApp* app = GetDesignerApp(); app != nullptr && &m_world == static_cast<SWworld*>(app->GetWorld()))
        app->SetReferenceSize(static_cast<float>(clientRect().width()));
}

void CChildRenderView::RefreshBackground()
{
    if (m_window == nullptr)
        return;
    const SWworldlock hold(m_world);
    if (SWwindowrenderer* renderer = m_window->GetRenderer())
        renderer->SetBackground(m_world.GetRootObject()->GetBackground());
    m_world.Invalidate(true);
}

void CChildRenderView::TakeLastCamera()
{
    if (m_window == nullptr)
        return;
    const SWworldlock hold(m_world);
    if (SWcameranode* camera = LastCamera(m_world))
        m_window->SetCamera(camera);
}

void CChildRenderView::RedrawWhole()
{
    if (m_window == nullptr)
        return;
    {
        const SWworldlock hold(m_world);
        m_window->Invalidate();
    }
    m_world.GetRedrawEvent().Set();
}

void CChildRenderView::DropPointer()
{
    if (!m_locked)
        return;
    m_locked = false;
    if (!pf::hasUi())
        return;
    if (pf::ui().pointerLock() == hwnd())
        pf::ui().unlockPointer();
    if (pf::ui().capture() == hwnd())
        pf::ui().releaseCapture();
}

// -- Host callbacks: render thread, under the world's lock; nothing here touches a window.

void CChildRenderView::PostWork()
{
    if (pf::hasUi())
        pf::ui().post(hwnd(), kMsgViewHostWork);
}

void CChildRenderView::JavaCallback(SWevent*, const char* text1, const char* text2, const char* dataText)
{
    std::string text = text1 != nullptr ? text1 : "";
    for (const char* more : {text2, dataText})
        if (more != nullptr && *more != '\0')
            text += std::string(text.empty() ? "" : " ") + more;
    HostMessage(text.c_str());
}

void CChildRenderView::SetCursor(const SWcursor* cursor)
{
    {
        // The entry is read here, under the world's lock; the user-interface thread reads its file later.
        const std::lock_guard hold(m_workLock);
        m_cursorChanged = true;
        if (cursor != nullptr)
            m_cursorEntry = CVTND_CursorEntry{cursor->imageFile, cursor->hotSpotX, cursor->hotSpotY};
        else
            m_cursorEntry.reset();
    }
    PostWork();
}

void CChildRenderView::HostMessage(const char* text)
{
    {
        const std::lock_guard hold(m_workLock);
        m_status = text != nullptr ? text : "";
    }
    PostWork();
}

bool CChildRenderView::BeginMouseLook()
{
    if (!m_world.IsRunning() || !m_focused.load())
        return false;
    {
        const std::lock_guard hold(m_workLock);
        m_mouseLook = true;
    }
    PostWork();
    return true;
}

void CChildRenderView::EndMouseLook()
{
    {
        const std::lock_guard hold(m_workLock);
        m_mouseLook = false;
    }
    PostWork();
}

void CChildRenderView::DoHostWork()
{
    std::optional<std::string> status;
    bool cursorChanged = false;
    std::optional<CVTND_CursorEntry> entry;
    std::optional<bool> mouseLook;
    {
        const std::lock_guard hold(m_workLock);
        status = std::exchange(m_status, std::nullopt);
        cursorChanged = std::exchange(m_cursorChanged, false);
        entry = m_cursorEntry;
        mouseLook = std::exchange(m_mouseLook, std::nullopt);
    }
    if (status)
        if (pf::StatusBar* bar = MainStatusBar())
            bar->setText(0, *status);
    if (cursorChanged) {
        const CVTND_ViewCursorCreator creator = CVTND_AppRegistry::FindViewCursorCreator();
        m_shownCursor = creator != nullptr ? creator(entry ? &*entry : nullptr) : pf::loadCursor(pf::IDC_ARROW);
        pf::ui().setCursor(m_shownCursor);
    }
    if (mouseLook) {
        if (*mouseLook && !m_locked)
            m_locked = pf::ui().lockPointer(hwnd()); // the capture with it; a live screen hides the pointer
        else if (!*mouseLook)
            DropPointer();
    }
}

// -- Input while the preview runs

void CChildRenderView::PostMouse(uint32_t message, pf::LParam lParam)
{
    uint8_t bit = 0;
    InputKind kind = InputKind::kMouseMove;
    switch (message) {
    case pf::WM_LBUTTONDOWN:
        bit = 2;
        kind = InputKind::kMousePressed;
        break;
    case pf::WM_LBUTTONUP:
        bit = 2;
        kind = InputKind::kMouseReleased;
        break;
    case pf::WM_RBUTTONDOWN:
        bit = 1;
        kind = InputKind::kMousePressed;
        break;
    case pf::WM_RBUTTONUP:
        bit = 1;
        kind = InputKind::kMouseReleased;
        break;
    default:
        break;
    }
    if (kind == InputKind::kMousePressed)
        m_buttons |= bit;
    else if (kind == InputKind::kMouseReleased)
        m_buttons &= static_cast<uint8_t>(~bit);
    if (!m_world.IsRunning())
        return;
    const pf::Point p = pf::pointFromLParam(lParam);
    const auto clamp = [](int32_t v) { return static_cast<uint16_t>(std::clamp(v, 0, 0xFFFF)); };
    const uint8_t button = kind == InputKind::kMouseMove ? m_buttons : bit;
    m_world.PostInputEvent(kind, SWmousepoint{button, clamp(p.x), clamp(p.y)});
}

void CChildRenderView::PostKey(bool down, pf::WParam vk, pf::LParam keyData)
{
    if (!m_world.IsRunning())
        return;
    const SWkeyentry* key =
        m_world.GetKeyTable().TranslateKey(static_cast<uint32_t>(keyData), static_cast<uint32_t>(vk));
    if (key == nullptr)
        return;
    if (down)
        m_world.PostKeyDown(*key);
    else
        m_world.PostKeyUp(*key);
}

pf::LResult CChildRenderView::handle(const pf::Msg& msg)
{
    switch (msg.message) {
    case pf::WM_SIZE:
        Resize();
        return 0;
    case pf::WM_ERASEBKGND:
        return 1; // the renderer covers every pixel
    case pf::WM_PAINT: {
        const pf::PaintDc dc(*this); // validates; the render thread presents the frame
        // A long holder of the world (the publish worker) must not stall the loop: the surface keeps the last
        // frame meanwhile, and the next frame after it is drawn whole.
        if (m_window != nullptr && m_world.TryLock()) {
            m_window->Invalidate();
            m_world.Unlock();
        }
        m_world.GetRedrawEvent().Set();
        return 0;
    }
    case pf::WM_SETCURSOR:
        if (m_shownCursor.isNone())
            if (const CVTND_ViewCursorCreator creator = CVTND_AppRegistry::FindViewCursorCreator())
                m_shownCursor = creator(nullptr);
        if (m_shownCursor.isNone())
            return pf::Window::handle(msg);
        pf::ui().setCursor(m_shownCursor);
        return 1;
    case pf::WM_SETFOCUS:
        m_focused = true;
        return 0;
    case pf::WM_KILLFOCUS:
        m_focused = false;
        return 0;
    case pf::WM_LBUTTONDOWN:
    case pf::WM_RBUTTONDOWN:
        pf::ui().setFocus(hwnd());
        PostMouse(msg.message, msg.lParam);
        return 0;
    case pf::WM_LBUTTONUP:
    case pf::WM_RBUTTONUP:
    case pf::WM_MOUSEMOVE:
        PostMouse(msg.message, msg.lParam);
        return 0;
    case pf::WM_KEYDOWN:
    case pf::WM_KEYUP:
        PostKey(msg.message == pf::WM_KEYDOWN, msg.wParam, msg.lParam);
        return 0;
    case pf::WM_CAPTURECHANGED:
        m_locked = false;
        return 0;
    case kMsgViewHostWork:
        DoHostWork();
        return 0;
    case kMsgViewRedraw:
        RedrawWhole();
        return 0;
    case pf::WM_DESTROY:
        Detach();
        return 0;
    default:
        return pf::Window::handle(msg);
    }
}

// -- The frame

CChildRenderFrame* CChildRenderFrame::Place(std::unique_ptr<CChildRenderFrame> frame, pf::FrameWindow& mainFrame,
                                            const std::string& title, const pf::Rect& rect)
{
    if (!frame->create({"mdichild", title,
                        pf::WS_CHILD | pf::WS_CAPTION | pf::WS_CLIPSIBLINGS | pf::WS_CLIPCHILDREN | pf::WS_VISIBLE, 0,
                        rect, mainFrame.mdiClient()->hwnd(), 0}))
        return nullptr;
    CChildRenderFrame* placed = frame.release(); // its window owns it from now on
    placed->keepInClient();
    CChildRenderView& view = placed->m_view;
    if (!view.create({"window", "", pf::WS_CHILD | pf::WS_VISIBLE, 0, placed->clientRect(), placed->hwnd(), 1})) {
        placed->destroy();
        return nullptr;
    }
    view.Attach();
    placed->setView(&view);
    view.Resize();
    return placed;
}

CChildRenderFrame* CChildRenderFrame::Open(pf::FrameWindow& mainFrame, SWworld& world, const std::string& title,
                                           const pf::Rect& rect, bool player)
{
    CChildRenderFrame* placed =
        Place(std::unique_ptr<CChildRenderFrame>(new CChildRenderFrame(world, player)), mainFrame, title, rect);
    if (placed == nullptr)
        return nullptr;
    if (CVTNDesignerApp* app = GetDesignerApp(); app != nullptr && !player)
        app->RegisterChildFrame(placed);
    placed->activate();
    return placed;
}

CChildRenderFrame* CChildRenderFrame::OpenPlayer(pf::FrameWindow& mainFrame, std::unique_ptr<SWworld> world,
                                                 const std::string& title, const pf::Rect& rect,
                                                 std::function<void(SWworld&)> onClose)
{
    SWworld& shown = *world;
    auto frame = std::unique_ptr<CChildRenderFrame>(new CChildRenderFrame(shown, true, std::move(world)));
    frame->m_onClose = std::move(onClose);
    CChildRenderFrame* placed = Place(std::move(frame), mainFrame, title, rect);
    if (placed != nullptr)
        placed->activate();
    return placed;
}

void CChildRenderFrame::onMdiActivate(bool active, pf::MdiChild*)
{
    if (active)
        m_view.MakeActive();
    // Start and Stop follow the active frame's world.
    if (CVTNDesignerApp* app = GetDesignerApp(); app != nullptr && app->GetMainFrame() != nullptr && pf::hasUi())
        pf::ui().post(app->GetMainFrame()->hwnd(), kMsgUpdateCommands);
}

pf::LResult CChildRenderFrame::handle(const pf::Msg& msg)
{
    // Whatever a notice reports may change what the view draws, now and when its sender has finished (an object
    // announced deleted goes after the notice): the whole view is drawn afresh at both times.
    if (msg.message == kMsgDesignerNotify) {
        m_view.RedrawWhole();
        pf::ui().post(m_view.hwnd(), kMsgViewRedraw);
        return 1;
    }
    if (msg.message == pf::WM_DESTROY) {
        if (CVTNDesignerApp* app = GetDesignerApp()) {
            app->UnregisterChildFrame(this);
            // Close 3D View follows the views that are left, however this one was closed.
            if (app->GetMainFrame() != nullptr && pf::hasUi())
                pf::ui().post(app->GetMainFrame()->hwnd(), kMsgUpdateCommands);
        }
        if (const auto onClose = std::exchange(m_onClose, {}))
            onClose(m_view.GetWorld());
    }
    return pf::MdiChild::handle(msg);
}
