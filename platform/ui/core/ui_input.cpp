// Ui: input routing (hit testing, capture, double clicks, keys and the key table), cursors.
#include "platform/ui/core/ui.h"

#include "platform/base/user_constants.h"
#include "platform/gfx/frame_control.h"
#include "platform/time/clock.h"
#include "platform/ui/core/keyboard.h"

#include <cstdlib>

namespace pf {

namespace {

// Statics without SS_NOTIFY and group boxes let the mouse through to what lies under them.
bool isTransparentToHits(const Window& w)
{
    if (w.className() == "static")
        return (w.style() & SS_NOTIFY) == 0;
    return w.className() == "button" && (w.style() & 0xF) == BS_GROUPBOX;
}

} // namespace

// ---- input

Hwnd Ui::childFromPoint(const Window& parent, Point clientPoint) const
{
    for (auto it = parent.m_children.rbegin(); it != parent.m_children.rend(); ++it) {
        const Window* c = window(*it);
        if (c == nullptr || (c->m_style & WS_VISIBLE) == 0 || !c->isEnabled() || !c->m_rect.contains(clientPoint))
            continue;
        if (isTransparentToHits(*c))
            continue; // the next sibling below, then the parent
        const Rect insets = c->clientInsets();
        const Point inner{clientPoint.x - c->m_rect.l - insets.l, clientPoint.y - c->m_rect.t - insets.t};
        const Hwnd deeper = childFromPoint(*c, inner);
        return deeper != kNoWindow ? deeper : c->m_hwnd;
    }
    return kNoWindow;
}

Hwnd Ui::windowFromPoint(Point p) const
{
    for (const Hwnd h : m_topLevels) {
        const Window* w = window(h);
        if (w == nullptr || (w->m_style & WS_VISIBLE) == 0 || !w->m_rect.contains(p))
            continue;
        const Hwnd child = childFromPoint(*w, w->screenToClient(p));
        return child != kNoWindow ? child : h;
    }
    return kNoWindow;
}

int16_t Ui::getKeyState(uint8_t vk) const
{
    const uint8_t k = m_keys[vk];
    return static_cast<int16_t>(((k & 0x80) != 0 ? 0xFF80 : 0) | (k & 1));
}

void Ui::updateKeyTable(const InputEvent& e)
{
    const auto press = [this](uint8_t vk) {
        if ((m_keys[vk] & 0x80) == 0)
            m_keys[vk] ^= 1; // toggled on each fresh press, as Caps Lock and Num Lock are
        m_keys[vk] |= 0x80;
    };
    const uint8_t button = e.button == InputEvent::Button::kLeft ? VK_LBUTTON : VK_RBUTTON;
    switch (e.kind) {
    case InputEvent::Kind::kKeyDown:
        press(e.vk);
        break;
    case InputEvent::Kind::kKeyUp:
        m_keys[e.vk] &= 0x7F;
        break;
    case InputEvent::Kind::kMouseDown:
        press(button);
        break;
    case InputEvent::Kind::kMouseUp:
        m_keys[button] &= 0x7F;
        break;
    default:
        break;
    }
}

void Ui::inject(const InputEvent& event)
{
    assertUiThread();
    const bool wasDown = (m_keys[event.vk] & 0x80) != 0;
    updateKeyTable(event);
    switch (event.kind) {
    case InputEvent::Kind::kWheel:
        routeWheel(event);
        break;
    case InputEvent::Kind::kKeyDown:
    case InputEvent::Kind::kKeyUp:
    case InputEvent::Kind::kCharacter:
        routeKey(event, wasDown);
        break;
    default:
        routeMouse(event);
        break;
    }
}

bool Ui::sendSetCursor(Window& target, uint32_t mouseMessage)
{
    return send(target.m_hwnd, WM_SETCURSOR, target.m_hwnd, makeLParam(HTCLIENT, static_cast<int32_t>(mouseMessage))) !=
           0;
}

void Ui::trackMouseLeave(Hwnd hwnd)
{
    m_mouseLeaveWatch = hwnd;
}

void Ui::routeMouse(const InputEvent& e)
{
    const uint32_t now = e.timeMs != 0 ? e.timeMs : clock().nowMs();
    m_cursorPos = e.screenPoint;
    m_messagePos = e.screenPoint;
    if (m_mouseLeaveWatch != kNoWindow && windowFromPoint(e.screenPoint) != m_mouseLeaveWatch) {
        const Hwnd left = m_mouseLeaveWatch;
        m_mouseLeaveWatch = kNoWindow;
        send(left, kMsgMouseLeave);
    }
    if (m_barTrack) {
        trackOwnScrollBar(e);
        return;
    }
    const bool captured = window(m_capture) != nullptr;
    Window* target = captured ? window(m_capture) : window(windowFromPoint(e.screenPoint));
    if (target == nullptr)
        return;
    const Hwnd h = target->m_hwnd;
    if (!captured && !topLevelOf(*target)->isEnabled())
        return; // a window under a modal dialog takes no input
    const bool left = e.button == InputEvent::Button::kLeft;
    uint32_t message = WM_MOUSEMOVE;
    if (e.kind == InputEvent::Kind::kMouseDown)
        message = left ? WM_LBUTTONDOWN : WM_RBUTTONDOWN;
    else if (e.kind == InputEvent::Kind::kMouseUp)
        message = left ? WM_LBUTTONUP : WM_RBUTTONUP;

    if (e.kind == InputEvent::Kind::kMouseDown) {
        const int button = left ? 0 : 1;
        const bool isDouble =
            (target->m_classStyle & CS_DBLCLKS) != 0 && m_lastClick.valid && m_lastClick.hwnd == h &&
            m_lastClick.button == button && now - m_lastClick.timeMs <= kDoubleClickTimeMs &&
            std::abs(e.screenPoint.x - m_lastClick.screen.x) <= fixedSystemMetric(SM_CXDOUBLECLK) / 2 &&
            std::abs(e.screenPoint.y - m_lastClick.screen.y) <= fixedSystemMetric(SM_CYDOUBLECLK) / 2;
        if (isDouble) {
            message = left ? WM_LBUTTONDBLCLK : WM_RBUTTONDBLCLK;
            m_lastClick = {}; // a third press starts over
        } else {
            m_lastClick = {h, now, e.screenPoint, button, true};
        }
        if (!captured && topLevelOf(*target)->m_hwnd != m_active)
            activate(h);
        for (Window* w = target; w != nullptr && window(h) == target; w = w->parent())
            send(w->m_hwnd, kMsgMouseActivate, h, 0); // an MDI child activates itself
        if (window(h) != target)
            return;
    }
    const Point client = target->screenToClient(e.screenPoint);
    if (!captured) {
        if (!target->clientRect().contains(client)) {
            if (e.kind == InputEvent::Kind::kMouseDown && left && pressOwnScrollBar(*target, e.screenPoint))
                return;
            // The frame takes no client message; a frame window opens its menu bar from this, a child frame moves.
            if (e.kind == InputEvent::Kind::kMouseDown && left)
                send(h, kMsgNonClientClick, static_cast<WParam>(e.screenPoint.x - target->screenRect().l),
                     e.screenPoint.y - target->screenRect().t);
            return;
        }
        sendSetCursor(*target, message);
        if (window(h) != target)
            return;
    }
    WParam flags = 0;
    if ((m_keys[VK_LBUTTON] & 0x80) != 0)
        flags |= MK_LBUTTON;
    if ((m_keys[VK_RBUTTON] & 0x80) != 0)
        flags |= MK_RBUTTON;
    if ((m_keys[VK_SHIFT] & 0x80) != 0)
        flags |= MK_SHIFT;
    if ((m_keys[VK_CONTROL] & 0x80) != 0)
        flags |= MK_CONTROL;
    send(h, message, flags, makeLParam(client.x, client.y));
}

namespace {

uint32_t ScrollMessage(int32_t bar)
{
    return bar == SB_VERT ? WM_VSCROLL : WM_HSCROLL;
}

} // namespace

bool Ui::pressOwnScrollBar(Window& w, Point screen)
{
    const Rect frame = w.screenRect();
    const Point p{screen.x - frame.l, screen.y - frame.t};
    for (const int32_t bar : {SB_VERT, SB_HORZ}) {
        const Rect r = w.ownScrollBarRect(bar);
        if (r.isEmpty() || !r.contains(p))
            continue;
        const bool vertical = bar == SB_VERT;
        const Rect thumb = w.ownScrollThumbRect(bar);
        const int32_t along = vertical ? p.y : p.x;
        int32_t code = -1;
        if (scrollArrowRect(r, vertical, true).contains(p))
            code = SB_LINEUP;
        else if (scrollArrowRect(r, vertical, false).contains(p))
            code = SB_LINEDOWN;
        else if (!thumb.isEmpty() && thumb.contains(p))
            code = SB_THUMBTRACK;
        else if (!thumb.isEmpty())
            code = along < (vertical ? thumb.t : thumb.l) ? SB_PAGEUP : SB_PAGEDOWN;
        if (code < 0)
            return true; // a bar with nothing to scroll takes the press and does nothing
        m_barTrack = BarTrack{w.hwnd(), bar, code == SB_THUMBTRACK, along - (vertical ? thumb.t : thumb.l),
                              w.getScrollInfo(bar).nPos};
        if (code != SB_THUMBTRACK)
            send(w.hwnd(), ScrollMessage(bar), makeWParam(code, 0), 0);
        return true;
    }
    return false;
}

void Ui::trackOwnScrollBar(const InputEvent& e)
{
    BarTrack& track = *m_barTrack;
    Window* w = window(track.hwnd);
    if (w == nullptr) {
        m_barTrack.reset();
        return;
    }
    const uint32_t message = ScrollMessage(track.bar);
    if (e.kind == InputEvent::Kind::kMouseUp) {
        const BarTrack done = track;
        m_barTrack.reset();
        if (done.thumb)
            send(done.hwnd, message, makeWParam(SB_THUMBPOSITION, done.pos), 0);
        if (window(done.hwnd) != nullptr)
            send(done.hwnd, message, makeWParam(SB_ENDSCROLL, 0), 0);
        return;
    }
    if (!track.thumb || e.kind != InputEvent::Kind::kMouseMove)
        return;
    const bool vertical = track.bar == SB_VERT;
    const Rect r = w->ownScrollBarRect(track.bar);
    const Rect thumb = w->ownScrollThumbRect(track.bar);
    if (r.isEmpty() || thumb.isEmpty())
        return;
    const Rect frame = w->screenRect();
    const int32_t along = vertical ? e.screenPoint.y - frame.t : e.screenPoint.x - frame.l;
    const int32_t start = vertical ? scrollArrowRect(r, true, true).b : scrollArrowRect(r, false, true).r;
    const int32_t end = vertical ? scrollArrowRect(r, true, false).t : scrollArrowRect(r, false, false).l;
    const int64_t room = int64_t{end} - start - (vertical ? thumb.height() : thumb.width());
    if (room <= 0)
        return;
    const int32_t pos = scrollPosAtOffset(w->getScrollInfo(track.bar), int64_t{along} - track.grab - start, room);
    if (pos == track.pos)
        return;
    track.pos = pos;
    send(track.hwnd, message, makeWParam(SB_THUMBTRACK, pos), 0);
}

void Ui::routeKey(const InputEvent& e, bool wasDown)
{
    Hwnd target = window(m_focus) != nullptr ? m_focus : m_active;
    if (window(target) == nullptr)
        return;
    // A window that waits for its modal dialog takes no key, accelerator or menu, as it takes no click: the keys go
    // to the dialog, which a live screen may not yet have handed the keyboard to.
    if (Window* top = topLevelOf(*window(target)); !top->isEnabled()) {
        Window* blocking = blockingWindowOf(*top);
        if (blocking == nullptr)
            return;
        const auto it = m_lastFocus.find(blocking->m_hwnd);
        const Window* remembered = it == m_lastFocus.end() ? nullptr : window(it->second);
        target = remembered != nullptr && remembered->isDescendantOf(blocking) ? it->second : blocking->m_hwnd;
    }
    Msg msg{target, WM_CHAR, static_cast<WParam>(e.codePoint), 1};
    if (e.kind != InputEvent::Kind::kCharacter) {
        const uint16_t scan = e.scanCode != 0 ? e.scanCode : scanCodeOf(e.vk);
        const bool extended = e.extended || isExtendedKey(e.vk);
        const bool up = e.kind == InputEvent::Kind::kKeyUp;
        const uint32_t bits = 1u | (static_cast<uint32_t>(scan & 0xFF) << 16) | (extended ? 1u << 24 : 0u) |
                              ((up || wasDown) ? 1u << 30 : 0u) | (up ? 1u << 31 : 0u);
        msg = {target, up ? WM_KEYUP : WM_KEYDOWN, e.vk, static_cast<LParam>(static_cast<int32_t>(bits))};
    }
    // From the focus window up to its top-level window: frames translate accelerators, dialogs their keys.
    for (Window* w = window(target); w != nullptr; w = w->parent()) {
        const Hwnd h = w->m_hwnd;
        if (w->preTranslateMessage(msg))
            return;
        if (window(h) != w || window(target) == nullptr)
            return;
    }
    // The accelerators of the window that owns a modeless one work in it too: function keys in any (the preview's,
    // F6 out to the panes), chords too in one without a caption of its own (a floating panel), as plain keys
    // (Delete, letters) are the window's own. An editor's chords stay in it: Ctrl+N there replaced the project under
    // the editor.
    Window* top = topLevelOf(*window(target));
    const bool functionKey = e.vk >= VK_F1 && e.vk <= VK_F24;
    const bool captioned = (top->m_style & WS_CAPTION) == WS_CAPTION;
    const bool chord =
        functionKey || (!captioned && ((m_keys[VK_CONTROL] & 0x80) != 0 || (m_keys[VK_MENU] & 0x80) != 0));
    for (Window* owner = top->owner(); msg.message == WM_KEYDOWN && chord && owner != nullptr && top->isEnabled() &&
                                       owner->isEnabled() && !isModifierKey(e.vk);
         owner = owner->topLevel()->owner())
        if (owner->topLevel()->translateAccelerator(msg))
            return;
    if (window(target) == nullptr)
        return;
    // Alt+F4 that nothing took asks the window's top-level window to close, as its close box does.
    if (msg.message == WM_KEYDOWN && e.vk == VK_F4 && (m_keys[VK_MENU] & 0x80) != 0 &&
        (m_keys[VK_CONTROL] & 0x80) == 0) {
        top = topLevelOf(*window(target));
        if (top->isEnabled() && top->className() != "popupmenu" && top->className() != "combolist")
            post(top->m_hwnd, WM_CLOSE);
        return;
    }
    send(target, msg.message, msg.wParam, msg.lParam);
}

// The wheel turns the window under the pointer, as the mouse's own window: the default processing of WM_MOUSEWHEEL
// (Window::defaultHandle) scrolls it or hands the turn on to its parent.
void Ui::routeWheel(const InputEvent& e)
{
    m_cursorPos = e.screenPoint;
    Window* target = window(windowFromPoint(e.screenPoint));
    if (target == nullptr || !topLevelOf(*target)->isEnabled() || m_capture != kNoWindow)
        return;
    const auto keys = static_cast<uint32_t>(((m_keys[VK_SHIFT] & 0x80) != 0 ? MK_SHIFT : 0) |
                                            ((m_keys[VK_CONTROL] & 0x80) != 0 ? MK_CONTROL : 0));
    send(target->m_hwnd, WM_MOUSEWHEEL, keys | (static_cast<uint32_t>(e.wheelDelta & 0xFFFF) << 16),
         makeLParam(e.screenPoint.x, e.screenPoint.y));
}

bool Ui::dropFiles(Point screenPoint, const std::vector<std::string>& paths)
{
    const Hwnd h = windowFromPoint(screenPoint);
    if (h == kNoWindow)
        return false;
    send(h, kMsgDropFiles, 0, reinterpret_cast<LParam>(&paths));
    return true;
}

// ---- cursors

Cursor Ui::setCursor(const Cursor& cursor)
{
    Cursor previous = m_cursor;
    m_cursor = cursor;
    return previous;
}

// The work that follows holds the UI thread, whose loop would show the cursor only once the work is done: the
// screen is told now, and again when the work ends.
WaitCursor::WaitCursor() : m_previous(ui().setCursor(loadCursor(IDC_WAIT)))
{
    ui().backend().showCursor(ui());
}

WaitCursor::~WaitCursor()
{
    if (!hasUi())
        return;
    ui().setCursor(m_previous);
    ui().backend().showCursor(ui());
}

} // namespace pf
