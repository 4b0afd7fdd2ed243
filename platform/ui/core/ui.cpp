#include "platform/ui/core/ui.h"

#include "platform/base/assertion.h"
#include "platform/base/gdi_constants.h"
#include "platform/base/user_constants.h"
#include "platform/display/screen.h"
#include "platform/time/clock.h"
#include "platform/time/virtual_clock.h"
#include "platform/ui/controls/standard_classes.h"
#include "platform/ui/providers/providers.h"

#include <algorithm>
#include <cstdlib>

namespace pf {

namespace {

Ui* g_current = nullptr;
constexpr int32_t kMaxSurfaceSide = 8192; // a window larger than this is drawn only in part

// Sends go through a depth counter; the guard keeps it right whatever the handler does.
class DepthGuard {
public:
    explicit DepthGuard(int& depth) : m_depth(depth) { ++m_depth; }
    ~DepthGuard() { --m_depth; }
    DepthGuard(const DepthGuard&) = delete;
    DepthGuard& operator=(const DepthGuard&) = delete;

private:
    int& m_depth;
};

} // namespace

Ui& ui()
{
    PF_ASSERT(g_current != nullptr, "no Ui: the window system is used before one was made or after it went");
    return *g_current;
}

bool hasUi()
{
    return g_current != nullptr;
}

int32_t getSystemMetrics(int32_t index)
{
    if (index == SM_CXSCREEN)
        return screen().size().cx;
    if (index == SM_CYSCREEN)
        return screen().size().cy;
    return fixedSystemMetric(index);
}

// ---- handles and classes

Ui::Ui() : m_thread(std::this_thread::get_id()), m_cursor(loadCursor(IDC_ARROW))
{
    PF_ASSERT(g_current == nullptr, "one Ui at a time");
    g_current = this;
    m_providers = std::make_unique<Providers>();
    m_backend = &headlessBackend();
    registerClass({"window", [] { return std::make_unique<Window>(); }, 0, loadCursor(IDC_ARROW), COLOR_WINDOW});
    registerStandardClasses(*this);
}

Ui::~Ui()
{
    // Owned windows first: an owner's destruction would take them anyway, but in its own order.
    for (;;) {
        Window* victim = nullptr;
        for (const Hwnd h : m_topLevels) {
            Window* w = window(h);
            const bool ownsOthers = std::any_of(m_topLevels.begin(), m_topLevels.end(), [h, this](Hwnd o) {
                const Window* ow = window(o);
                return ow != nullptr && ow->m_owner == h;
            });
            if (w != nullptr && !ownsOthers) {
                victim = w;
                break;
            }
        }
        if (victim == nullptr)
            break;
        destroyWindow(*victim);
    }
    m_topLevels.clear();
    syncScreen();
    setBackend(nullptr);
    if (g_current == this)
        g_current = nullptr;
}

void Ui::assertUiThread() const
{
    PF_ASSERT(std::this_thread::get_id() == m_thread, "windows belong to the user-interface thread");
}

Window* Ui::window(Hwnd hwnd) const
{
    const auto it = m_windows.find(hwnd);
    return it == m_windows.end() ? nullptr : it->second;
}

bool Ui::registerClass(WindowClass windowClass)
{
    if (windowClass.name.empty() || m_classes.count(windowClass.name) != 0)
        return false;
    std::string name = windowClass.name;
    m_classes.emplace(std::move(name), std::make_unique<WindowClass>(std::move(windowClass)));
    return true;
}

const WindowClass* Ui::findClass(const std::string& name) const
{
    const auto it = m_classes.find(name.empty() ? std::string("window") : name);
    return it == m_classes.end() ? nullptr : it->second.get();
}

Hwnd Ui::allocateHandle()
{
    return m_nextHandle++;
}

Window* Ui::createWindow(const CreateParams& params)
{
    const WindowClass* cls = findClass(params.className);
    if (cls == nullptr || !cls->factory)
        return nullptr;
    std::unique_ptr<Window> object = cls->factory();
    if (object == nullptr)
        return nullptr;
    Window* raw = object.get();
    raw->m_layerOwned = true;
    m_pendingOwned = std::move(object);
    if (!createWindowObject(*raw, params))
        return nullptr; // destroyed and deleted on the way
    return raw;
}

Window* Ui::replaceObject(Window& old, std::unique_ptr<Window> replacement)
{
    assertUiThread();
    const Hwnd h = old.m_hwnd;
    if (h == kNoWindow || replacement == nullptr || replacement->m_hwnd != kNoWindow)
        return nullptr;
    Window* fresh = replacement.get();
    fresh->m_hwnd = h;
    fresh->m_parent = old.m_parent;
    fresh->m_owner = old.m_owner;
    fresh->m_id = old.m_id;
    fresh->m_style = old.m_style;
    fresh->m_exStyle = old.m_exStyle;
    fresh->m_classStyle = old.m_classStyle;
    fresh->m_className = old.m_className;
    fresh->m_text = old.m_text;
    fresh->m_rect = old.m_rect;
    fresh->m_update = old.m_update;
    fresh->m_erase = old.m_erase;
    fresh->m_ncDirty = old.m_ncDirty;
    fresh->m_children = old.m_children;
    fresh->m_class = old.m_class;
    fresh->m_scroll[0] = old.m_scroll[0];
    fresh->m_scroll[1] = old.m_scroll[1];
    fresh->m_layerOwned = true;
    {
        const std::unique_lock lock(m_treeLock);
        m_windows[h] = fresh;
    }
    old.m_hwnd = kNoWindow; // the old object goes without a message
    const auto it = m_owned.find(h);
    if (it != m_owned.end()) {
        m_retired.push_back(std::move(it->second));
        it->second = std::move(replacement);
    } else {
        m_owned.emplace(h, std::move(replacement));
    }
    return fresh;
}

// ---- creation and destruction

bool Ui::createWindowObject(Window& w, const CreateParams& params)
{
    assertUiThread();
    std::unique_ptr<Window> owned = std::move(m_pendingOwned);
    if (w.m_hwnd != kNoWindow) {
        PF_ASSERT(false, "a window object is created once");
        return false;
    }
    const WindowClass* cls = findClass(params.className);
    const bool child = (params.style & WS_CHILD) != 0;
    Window* parent = window(params.parent);
    if (cls == nullptr || (child && parent == nullptr))
        return false;

    const Hwnd h = allocateHandle();
    w.m_hwnd = h;
    w.m_class = cls;
    w.m_className = cls->name;
    w.m_classStyle = cls->style;
    w.m_style = params.style & ~WS_VISIBLE;
    w.m_exStyle = params.exStyle;
    w.m_id = child ? params.id : 0;
    w.m_text = params.text;
    w.m_rect = params.rect;
    w.m_destroying = false;
    {
        const std::unique_lock lock(m_treeLock);
        m_windows[h] = &w;
        // An object made into a window again (a docking bar that floats) keeps nothing of its last tree place.
        w.m_parent = kNoWindow;
        w.m_owner = kNoWindow;
        w.m_children.clear();
        w.m_update = Region();
        w.m_erase = false;
        if (child) {
            w.m_parent = parent->m_hwnd;
            parent->m_children.push_back(h);
        } else {
            w.m_owner = parent != nullptr ? topLevelOf(*parent)->m_hwnd : kNoWindow;
            m_topLevels.insert(m_topLevels.begin(), h);
        }
    }
    if (owned != nullptr)
        m_owned.emplace(h, std::move(owned));
    if (!child)
        ensureSurface(w);

    CreateParams copy = params;
    if (send(h, WM_CREATE, 0, reinterpret_cast<LParam>(&copy)) == -1) {
        if (window(h) == &w)
            destroyWindow(w);
        return false;
    }
    if (window(h) != &w)
        return false;
    const Rect client = w.clientRect();
    const Point origin =
        child ? Point{w.m_rect.l + w.clientInsets().l, w.m_rect.t + w.clientInsets().t} : w.clientToScreen({0, 0});
    send(h, WM_SIZE, 0, makeLParam(client.r, client.b));
    send(h, WM_MOVE, 0, makeLParam(origin.x, origin.y));
    if (window(h) != &w)
        return false;
    if ((params.style & WS_VISIBLE) != 0)
        showWindow(w, SW_SHOW);
    syncScreen();
    return window(h) == &w;
}

bool Ui::destroyWindow(Window& w)
{
    assertUiThread();
    if (w.m_hwnd == kNoWindow || w.m_destroying)
        return false;
    w.m_destroying = true;
    const Hwnd self = w.m_hwnd;
    if ((w.m_style & WS_VISIBLE) != 0)
        hideWindow(w);
    const std::vector<Hwnd> tops = m_topLevels;
    for (const Hwnd t : tops) {
        Window* owned = window(t);
        if (owned != nullptr && owned->m_owner == self && !owned->m_destroying)
            destroyWindow(*owned);
    }
    if (window(self) != &w)
        return true;
    w.m_destroying = false; // destroyTree marks it again; the flag above only kept a second destroy out
    destroyTree(w);
    return true;
}

void Ui::destroyTree(Window& w)
{
    w.m_destroying = true;
    const Hwnd self = w.m_hwnd;
    send(self, WM_DESTROY);
    if (window(self) != &w)
        return;
    const std::vector<Hwnd> children = w.m_children;
    for (const Hwnd c : children) {
        Window* cw = window(c);
        if (cw != nullptr && !cw->m_destroying)
            destroyTree(*cw);
    }
    finishWindow(w);
}

void Ui::finishWindow(Window& w)
{
    const Hwnd self = w.m_hwnd;
    killTimersOf(self);
    if (m_pointerLock == self)
        unlockPointer();
    if (m_capture == self) {
        m_capture = kNoWindow;
        send(self, WM_CAPTURECHANGED, 0, 0);
    }
    if (m_focus != kNoWindow &&
        (m_focus == self || (window(m_focus) != nullptr && window(m_focus)->isDescendantOf(&w)))) {
        Window* heir = w.parent();
        while (heir != nullptr && heir->m_destroying)
            heir = heir->parent();
        setFocus(heir != nullptr ? heir->m_hwnd : kNoWindow);
    }
    {
        const std::lock_guard lock(m_postMutex);
        m_posts.erase(std::remove_if(m_posts.begin(), m_posts.end(), [self](const Msg& m) { return m.hwnd == self; }),
                      m_posts.end());
    }
    if (window(self) != &w)
        return;
    send(self, WM_NCDESTROY);
    const bool wasActive = m_active == self;
    const Hwnd owner = w.m_owner;
    {
        const std::unique_lock lock(m_treeLock);
        removeFromParent(w);
        m_surfaces.erase(self);
        m_windows.erase(self);
        w.m_hwnd = kNoWindow;
    }
    if (m_lastClick.hwnd == self)
        m_lastClick = {};
    m_lastFocus.erase(self);
    if (wasActive) {
        m_active = kNoWindow;
        if (Window* next = activationHeir(self, owner))
            activate(next->m_hwnd);
    }
    m_activatedFrom.erase(self);
    if (w.m_parent == kNoWindow)
        syncScreen();
    std::unique_ptr<Window> owned;
    if (const auto it = m_owned.find(self); it != m_owned.end()) {
        owned = std::move(it->second);
        m_owned.erase(it);
    }
    w.postNcDestroy(); // may delete the object; nothing below touches it
    owned.reset();
}

void Ui::removeFromParent(Window& w)
{
    if (Window* p = window(w.m_parent)) {
        auto& list = p->m_children;
        list.erase(std::remove(list.begin(), list.end(), w.m_hwnd), list.end());
    } else {
        m_topLevels.erase(std::remove(m_topLevels.begin(), m_topLevels.end(), w.m_hwnd), m_topLevels.end());
    }
}

Window* Ui::topLevelOf(Window& w) const
{
    Window* t = &w;
    while (Window* p = window(t->m_parent))
        t = p;
    return t;
}

// ---- sending and posting

LResult Ui::send(Hwnd hwnd, uint32_t message, WParam w, LParam l)
{
    assertUiThread();
    Window* target = window(hwnd);
    if (target == nullptr)
        return 0;
    if (m_depth >= kMaxSendDepth) {
        PF_ASSERT(false, "messages nested deeper than 256 sends: a handler keeps sending to itself");
        return 0;
    }
    return dispatch(*target, {hwnd, message, w, l});
}

LResult Ui::dispatch(Window& w, const Msg& msg)
{
    const DepthGuard guard(m_depth);
    notifyObservers(msg);
    // A control sees its own notification first (reflection) and may keep it from its parent.
    Hwnd from = kNoWindow;
    if (msg.message == WM_COMMAND && msg.lParam != 0)
        from = static_cast<Hwnd>(msg.lParam);
    else if (msg.message == WM_NOTIFY && msg.lParam != 0)
        from = notifyRecord<NMHDR>(msg.lParam)->hwndFrom;
    Window* control = window(from);
    if (control != nullptr && control->m_parent == msg.hwnd) {
        LResult result = 0;
        if (control->reflect(msg, result))
            return result;
        if (window(msg.hwnd) != &w)
            return 0; // the parent died in the reflected handler
    }
    return w.handle(msg);
}

void Ui::notifyObservers(const Msg& msg)
{
    const auto observers = m_observers; // an observer may remove itself
    for (const auto& [key, observer] : observers)
        observer(msg);
}

void Ui::addObserver(const void* key, DispatchObserver observer)
{
    m_observers.emplace_back(key, std::move(observer));
}

void Ui::removeObserver(const void* key)
{
    m_observers.erase(
        std::remove_if(m_observers.begin(), m_observers.end(), [key](const auto& e) { return e.first == key; }),
        m_observers.end());
}

bool Ui::post(Hwnd hwnd, uint32_t message, WParam w, LParam l)
{
    // Liveness is known only to the user-interface thread; elsewhere a dead target is dropped on delivery.
    if (std::this_thread::get_id() == m_thread && window(hwnd) == nullptr)
        return false;
    {
        const std::lock_guard lock(m_postMutex);
        m_posts.push_back({hwnd, message, w, l});
    }
    m_backend.load()->wake();
    return true;
}

size_t Ui::pendingPostCount() const
{
    const std::lock_guard lock(m_postMutex);
    return m_posts.size();
}

void Ui::pump()
{
    assertUiThread();
    // Only what was posted before the pump began: a handler that posts to itself cannot keep the pump running.
    size_t remaining = pendingPostCount();
    while (remaining-- > 0) {
        Msg msg;
        {
            const std::lock_guard lock(m_postMutex);
            if (m_posts.empty())
                break;
            msg = m_posts.front();
            m_posts.pop_front();
        }
        send(msg.hwnd, msg.message, msg.wParam, msg.lParam);
    }
    deliverTimers();
    paintAll();
}

// ---- timers

uint32_t Ui::setTimer(Hwnd hwnd, uint32_t id, uint32_t periodMs)
{
    assertUiThread();
    if (window(hwnd) == nullptr)
        return 0;
    killTimer(hwnd, id);
    constexpr uint32_t kMinimum = USER_TIMER_MINIMUM;
    Timer t{hwnd, id, std::max(periodMs, kMinimum)};
    t.serial = m_nextTimerSerial++;
    t.clock = dynamic_cast<VirtualClock*>(&clock());
    if (t.clock != nullptr) {
        const uint64_t serial = t.serial;
        t.dueId = t.clock->addDue(t.periodMs, t.periodMs, [this, serial] { markTimerDue(serial); });
    } else {
        t.dueAtMs = clock().nowMsExact() + t.periodMs;
    }
    m_timers.emplace(t.serial, t);
    return id;
}

bool Ui::killTimer(Hwnd hwnd, uint32_t id)
{
    for (auto it = m_timers.begin(); it != m_timers.end(); ++it) {
        if (it->second.hwnd == hwnd && it->second.id == id) {
            cancelTimerEntry(it->second);
            m_timers.erase(it);
            return true;
        }
    }
    return false;
}

void Ui::killTimersOf(Hwnd hwnd)
{
    for (auto it = m_timers.begin(); it != m_timers.end();) {
        if (it->second.hwnd == hwnd) {
            cancelTimerEntry(it->second);
            it = m_timers.erase(it);
        } else {
            ++it;
        }
    }
}

void Ui::cancelTimerEntry(Timer& t)
{
    if (t.clock != nullptr && t.dueId != 0)
        t.clock->cancelDue(t.dueId);
    const std::lock_guard lock(m_dueMutex);
    m_dueTimers.erase(std::remove(m_dueTimers.begin(), m_dueTimers.end(), t.serial), m_dueTimers.end());
}

void Ui::markTimerDue(uint64_t serial)
{
    const std::lock_guard lock(m_dueMutex);
    if (std::find(m_dueTimers.begin(), m_dueTimers.end(), serial) == m_dueTimers.end())
        m_dueTimers.push_back(serial); // marked twice before a pump: one WM_TIMER, as a late pump coalesces
}

void Ui::deliverTimers()
{
    std::vector<uint64_t> due;
    {
        const std::lock_guard lock(m_dueMutex);
        due.swap(m_dueTimers);
    }
    const double now = clock().nowMsExact();
    std::vector<std::pair<double, uint64_t>> live;
    for (const auto& [serial, t] : m_timers)
        if (t.clock == nullptr && t.dueAtMs <= now)
            live.emplace_back(t.dueAtMs, serial);
    std::sort(live.begin(), live.end());
    for (const auto& entry : live)
        due.push_back(entry.second);
    for (const uint64_t serial : due) {
        const auto it = m_timers.find(serial);
        if (it == m_timers.end())
            continue; // killed by an earlier handler
        if (it->second.clock == nullptr)
            it->second.dueAtMs = now + it->second.periodMs; // a late pump coalesces into one WM_TIMER
        send(it->second.hwnd, WM_TIMER, it->second.id, 0);
    }
}

// ---- geometry and z-order

void Ui::raise(Window& w)
{
    if (w.m_parent == kNoWindow) {
        // The screen learns the new order once: each step of it shown on its way would raise the owned windows one by
        // one on the server, each asking for the keyboard, and a window manager would settle on whichever it heard
        // last rather than on the window made active.
        raiseWithOwned(w);
        syncScreen();
        return;
    }
    {
        const std::unique_lock lock(m_treeLock);
        if (Window* p = window(w.m_parent)) {
            auto& list = p->m_children;
            list.erase(std::remove(list.begin(), list.end(), w.m_hwnd), list.end());
            list.push_back(w.m_hwnd);
        }
    }
    w.m_ncDirty = true; // its frame too: a sibling that was above may have covered the caption
    w.invalidate(true);
}

void Ui::raiseWithOwned(Window& top)
{
    {
        const std::unique_lock lock(m_treeLock);
        m_topLevels.erase(std::remove(m_topLevels.begin(), m_topLevels.end(), top.m_hwnd), m_topLevels.end());
        m_topLevels.insert(m_topLevels.begin(), top.m_hwnd);
    }
    // Owned windows stay above their owner, in their order.
    const std::vector<Hwnd> tops = m_topLevels;
    for (auto it = tops.rbegin(); it != tops.rend(); ++it) {
        Window* o = window(*it);
        if (o != nullptr && o->m_owner == top.m_hwnd)
            raiseWithOwned(*o);
    }
}

bool Ui::setWindowRect(Window& w, const Rect& rect, uint32_t flags)
{
    const Hwnd self = w.m_hwnd;
    const Rect oldClient = w.clientRect();
    const Point oldOrigin = w.m_parent != kNoWindow ? Point{w.m_rect.l, w.m_rect.t} : w.clientToScreen({0, 0});
    const Rect oldRect = w.m_rect;
    Rect next = rect;
    if ((flags & SWP_NOMOVE) != 0)
        next = next.offsetBy(oldRect.l - next.l, oldRect.t - next.t);
    if ((flags & SWP_NOSIZE) != 0) {
        next.r = next.l + static_cast<int32_t>(oldRect.width());
        next.b = next.t + static_cast<int32_t>(oldRect.height());
    }
    // Squeezed below its least size a window's panes turn to unreadable strips: it keeps the least and its corner.
    if (w.m_parent == kNoWindow) {
        next.r = std::max(next.r, next.l + w.m_minWidth);
        next.b = std::max(next.b, next.t + w.m_minHeight);
    }
    {
        const std::unique_lock lock(m_treeLock);
        w.m_rect = next;
    }
    if (w.m_parent == kNoWindow) {
        ensureSurface(w);
        syncScreen();
    } else if (Window* p = w.parent(); p != nullptr && (w.m_style & WS_VISIBLE) != 0) {
        p->invalidate(oldRect, true);
    }
    w.m_ncDirty = true;
    w.invalidate(true);
    const Rect client = w.clientRect();
    const Point origin = w.m_parent != kNoWindow ? Point{w.m_rect.l, w.m_rect.t} : w.clientToScreen({0, 0});
    if (origin != oldOrigin)
        send(self, WM_MOVE, 0,
             makeLParam(origin.x + (w.m_parent != kNoWindow ? w.clientInsets().l : 0),
                        origin.y + (w.m_parent != kNoWindow ? w.clientInsets().t : 0)));
    if (window(self) == &w && client != oldClient)
        send(self, WM_SIZE, SIZE_RESTORED, makeLParam(client.r, client.b));
    return window(self) == &w;
}

void Ui::ensureSurface(Window& top)
{
    const int32_t width = static_cast<int32_t>(std::clamp<int64_t>(top.m_rect.width(), 0, kMaxSurfaceSide));
    const int32_t height = static_cast<int32_t>(std::clamp<int64_t>(top.m_rect.height(), 0, kMaxSurfaceSide));
    const auto it = m_surfaces.find(top.m_hwnd);
    if (it != m_surfaces.end() && it->second->width() == width && it->second->height() == height)
        return;
    auto surface = std::make_shared<Surface32>(width, height);
    const std::unique_lock lock(m_treeLock);
    m_surfaces[top.m_hwnd] = std::move(surface); // DCs still drawing keep the old one alive
}

void Ui::syncScreen()
{
    std::vector<TopLevelView> views;
    for (const Hwnd h : m_topLevels) {
        Window* w = window(h);
        if (w == nullptr)
            continue;
        const auto it = m_surfaces.find(h);
        views.push_back({h, w->m_rect, it == m_surfaces.end() ? nullptr : it->second, (w->m_style & WS_VISIBLE) != 0});
    }
    screen().setTopLevels(std::move(views));
    syncBackend();
}

void Ui::showWindow(Window& w, int32_t cmd)
{
    const Hwnd self = w.m_hwnd;
    if (cmd == SW_HIDE) {
        hideWindow(w);
        return;
    }
    // Maximised, a top-level window covers the work area; a live screen's window manager then says what it gave.
    if (cmd == SW_SHOWMAXIMIZED && w.m_parent == kNoWindow) {
        {
            const std::unique_lock lock(m_treeLock);
            w.m_style |= WS_MAXIMIZE;
        }
        w.move(screen().workArea());
        if (window(self) != &w)
            return;
    }
    if ((w.m_style & WS_VISIBLE) == 0) {
        send(self, WM_SHOWWINDOW, 1, 0);
        if (window(self) != &w)
            return;
        {
            const std::unique_lock lock(m_treeLock);
            w.m_style |= WS_VISIBLE;
        }
        w.m_ncDirty = true;
        w.invalidate(true);
        if (w.m_parent == kNoWindow)
            syncScreen();
    }
    if (w.m_parent == kNoWindow && cmd != SW_SHOWNOACTIVATE && w.isEnabled())
        activate(self);
}

void Ui::hideWindow(Window& w)
{
    const Hwnd self = w.m_hwnd;
    if ((w.m_style & WS_VISIBLE) == 0)
        return;
    send(self, WM_SHOWWINDOW, 0, 0);
    if (window(self) != &w)
        return;
    {
        const std::unique_lock lock(m_treeLock);
        w.m_style &= ~WS_VISIBLE;
    }
    // The heir is activated before a live screen hears that the window went, so that the screen hands the keyboard
    // the window had straight to it: keys typed in between were lost.
    if (m_active == self) {
        m_active = kNoWindow;
        send(self, WM_NCACTIVATE, 0, 0);
        send(self, WM_ACTIVATE, WA_INACTIVE, 0);
        if (Window* next = window(self) == &w ? activationHeir(self, w.m_owner) : nullptr;
            next != nullptr && next != &w)
            activate(next->m_hwnd);
    }
    if (window(self) != &w)
        return;
    if (Window* p = w.parent())
        p->invalidate(w.m_rect, true); // what was under it shows again
    else
        syncScreen();
}

// ---- activation and focus

void Ui::activate(Hwnd hwnd)
{
    assertUiThread();
    Window* w = window(hwnd);
    if (w == nullptr)
        return;
    Window* top = topLevelOf(*w);
    const Hwnd next = top->m_hwnd;
    if (next == m_active) {
        raise(*top);
        return;
    }
    const Hwnd previous = m_active;
    m_active = next;
    if (window(previous) != nullptr)
        m_activatedFrom[next] = previous;
    if (Window* old = window(previous)) {
        old->m_ncDirty = true;
        send(previous, WM_NCACTIVATE, 0, 0);
        send(previous, WM_ACTIVATE, WA_INACTIVE, static_cast<LParam>(next));
    }
    if (window(next) != top || m_active != next)
        return;
    top->m_ncDirty = true;
    send(next, WM_NCACTIVATE, 1, 0);
    send(next, WM_ACTIVATE, WA_ACTIVE, static_cast<LParam>(previous));
    if (window(next) != top || m_active != next)
        return;
    raise(*top);
    Window* focus = window(m_focus);
    if (focus == nullptr || topLevelOf(*focus) != top) {
        const auto it = m_lastFocus.find(next);
        Window* remembered = it == m_lastFocus.end() ? nullptr : window(it->second);
        setFocus(remembered != nullptr && remembered->isDescendantOf(top) ? remembered->m_hwnd : next);
    }
}

Hwnd Ui::setFocus(Hwnd hwnd)
{
    assertUiThread();
    const Hwnd previous = m_focus;
    Window* w = window(hwnd);
    if (hwnd != kNoWindow && w == nullptr)
        return previous;
    if (hwnd == previous)
        return previous;
    if (w != nullptr) {
        Window* top = topLevelOf(*w);
        m_lastFocus[top->m_hwnd] = hwnd;
        if (top->m_hwnd != m_active && m_active != kNoWindow && top->isVisible())
            activate(top->m_hwnd);
    }
    const Hwnd old = m_focus;
    m_focus = hwnd;
    if (old != kNoWindow && old != hwnd)
        send(old, WM_KILLFOCUS, hwnd, 0);
    if (hwnd != kNoWindow && m_focus == hwnd)
        send(hwnd, WM_SETFOCUS, old, 0);
    return previous;
}

Hwnd Ui::setCapture(Hwnd hwnd)
{
    assertUiThread();
    const Hwnd previous = m_capture;
    if (hwnd != kNoWindow && window(hwnd) == nullptr)
        return previous;
    m_capture = hwnd;
    if (m_pointerLock != kNoWindow && m_pointerLock != hwnd)
        unlockPointer();
    if (previous != kNoWindow && previous != hwnd)
        send(previous, WM_CAPTURECHANGED, 0, static_cast<LParam>(hwnd));
    return previous;
}

bool Ui::lockPointer(Hwnd hwnd)
{
    assertUiThread();
    Window* w = window(hwnd);
    if (w == nullptr)
        return false;
    if (m_capture != hwnd)
        setCapture(hwnd);
    if (window(hwnd) == nullptr)
        return false; // died of the capture's change
    const Rect client = w->clientRect();
    m_lockedPos =
        w->clientToScreen({static_cast<int32_t>(client.width() / 2), static_cast<int32_t>(client.height() / 2)});
    if (m_pointerLock == hwnd)
        return true;
    m_pointerLock = hwnd;
    backend().setRelativePointer(true);
    return true;
}

void Ui::unlockPointer()
{
    assertUiThread();
    if (m_pointerLock == kNoWindow)
        return;
    m_pointerLock = kNoWindow;
    backend().setRelativePointer(false);
}

void Ui::injectLockedMotion(int32_t dx, int32_t dy)
{
    if (m_pointerLock == kNoWindow || (dx == 0 && dy == 0))
        return;
    // Client coordinates travel as 16-bit halves: far out, the virtual position starts again from the centre,
    // which costs one odd delta every 20,000 pixels of motion.
    constexpr int32_t kReach = 20000;
    Point next{m_lockedPos.x + dx, m_lockedPos.y + dy};
    if (Window* w = window(m_pointerLock)) {
        const Point client = w->screenToClient(next);
        if (std::abs(client.x) > kReach || std::abs(client.y) > kReach) {
            const Rect r = w->clientRect();
            next = w->clientToScreen({static_cast<int32_t>(r.width() / 2), static_cast<int32_t>(r.height() / 2)});
        }
    }
    m_lockedPos = next;
    inject(InputEvent::mouseMove(next));
}

bool Ui::releaseCapture()
{
    setCapture(kNoWindow);
    return true;
}

ModalScope::ModalScope() : m_ui(ui())
{
    m_ui.assertUiThread();
    // A copy: the handler may replace itself while it runs.
    if (m_ui.m_modalDepth++ == 0 && m_ui.m_modalStateHandler) {
        const Ui::ModalStateHandler handler = m_ui.m_modalStateHandler;
        handler(true);
    }
}

ModalScope::~ModalScope()
{
    if (--m_ui.m_modalDepth == 0 && m_ui.m_modalStateHandler) {
        const Ui::ModalStateHandler handler = m_ui.m_modalStateHandler;
        handler(false);
    }
}

void Ui::reportStrictFailure(const std::string& what)
{
    m_strictFailures.push_back(what);
    if (m_strictFailure)
        m_strictFailure(what);
}

} // namespace pf
