#include "platform/live/sdl_backend.h"

#include "platform/base/user_constants.h"
#include "platform/display/screen.h"
#include "platform/live/sdl_keys.h"
#include "platform/live/x_errors.h"
#include "platform/live/x_window.h"
#include "platform/media/audio_out.h"
#include "platform/ui/core/keyboard.h"
#include "platform/ui/core/ui.h"
#include "platform/ui/dialog/dialog.h"

#include <SDL.h>
#include <SDL_syswm.h>

#include <semaphore.h>
#include <signal.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <thread>
#include <vector>

namespace pf {

namespace {

std::mutex g_logMutex;
std::vector<std::string> g_log;
uint32_t g_wakeEvent = 0;
// Termination signals no backend has taken yet; lock-free, so that the signal handler may count them.
std::atomic<uint32_t> g_terminationRequests{0};
std::atomic<int> g_lastSignal{0};
static_assert(std::atomic<uint32_t>::is_always_lock_free && std::atomic<int>::is_always_lock_free);

// An idle loop waits up to a quarter of a second for input, and a signal does not end SDL's wait: ending by SIGTERM
// took as long as that wait had left. The handler posts this semaphore (sem_post is safe there, SDL's event queue is
// not), and one thread for the process hands each post on as a wake to the backend shown now. Made before main, so
// that no signal posts to it unmade; never destroyed, as the thread waits on it until the process ends.
struct SignalSemaphore {
    SignalSemaphore() { sem_init(&value, 0, 0); }
    sem_t value;
};
SignalSemaphore g_signalArrived;
std::mutex g_signalWakerMutex;
SdlBackend* g_wokenBySignals = nullptr; // under the mutex

void wakeOnSignals()
{
    for (;;) {
        while (sem_wait(&g_signalArrived.value) != 0 && errno == EINTR) {
        }
        const std::lock_guard lock(g_signalWakerMutex);
        if (g_wokenBySignals != nullptr)
            g_wokenBySignals->wake();
    }
}

constexpr uint32_t kBeepHz = 750; // what a click on a window behind a modal dialog hears
constexpr uint32_t kBeepMs = 60;
constexpr size_t kMaxLogLines = 256;
constexpr int kFrameExtentsWaitMs = 500; // a window manager answers within milliseconds; one that never does costs this
constexpr uint32_t kKeyboardAskMs = 1000; // how long a window waits to be mapped or given the keyboard
constexpr int kMapWaitMs = 1000;          // how long a window shown waits for the window manager to map it
constexpr int32_t kDragStepMs = 10;       // how often a caption drag reads the pointer, whatever SDL reports

void keepLogLine(void*, int, SDL_LogPriority, const char* message)
{
    const std::lock_guard lock(g_logMutex);
    if (g_log.size() < kMaxLogLines)
        g_log.emplace_back(message != nullptr ? message : "");
}

// SDL's drivers that draw into memory only, or read input without showing anything.
bool isInvisibleVideoDriver(std::string_view driver)
{
    return driver == "offscreen" || driver == "dummy" || driver == "evdev";
}

// SDL stays initialised until the process ends: shutting it down unloads the X client libraries, whose own
// allocations then show up as leaks in modules without names.
bool openVideo(std::string& outReason)
{
    static std::once_flag once;
    static bool opened = false;
    static std::string reason;
    std::call_once(once, [] {
        SDL_LogSetOutputFunction(keepLogLine, nullptr);
        SDL_SetHint(SDL_HINT_VIDEO_X11_NET_WM_BYPASS_COMPOSITOR, "0");
        SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
        // A click that gives a window the focus is a click too, as on any desktop: SDL would drop one that comes
        // within moments of the focus, which a press right after the pointer entered a window does without a
        // window manager.
        SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
        // Our pixels are drawn in software already: the window surface is the X server's own image, never a
        // GL texture, so no GL driver (and none of its threads) is loaded to show them.
        SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
            reason = std::string("SDL video did not open: ") + SDL_GetError();
            return;
        }
        if (SDL_GetNumVideoDisplays() < 1) {
            reason = "SDL video opened without a display";
            return;
        }
        if (std::strcmp(SDL_GetCurrentVideoDriver(), "x11") == 0) {
            passErrorsOnClosedWindows();
            catchLostDisplay();
        }
        g_wakeEvent = SDL_RegisterEvents(1);
        opened = g_wakeEvent != static_cast<uint32_t>(-1);
        if (!opened)
            reason = "SDL has no user event left";
    });
    outReason = reason;
    return opened;
}

uint32_t windowFlagsOf(const TopLevelState& state)
{
    switch (state.kind) {
    case TopLevelKind::kBorderless:
        return SDL_WINDOW_BORDERLESS;
    case TopLevelKind::kPopupMenu:
        return SDL_WINDOW_BORDERLESS | SDL_WINDOW_POPUP_MENU | SDL_WINDOW_SKIP_TASKBAR;
    case TopLevelKind::kTooltip:
        return SDL_WINDOW_BORDERLESS | SDL_WINDOW_TOOLTIP | SDL_WINDOW_SKIP_TASKBAR;
    default:
        // A fixed frame gets no grips: a window manager draws them as a strip along the bottom edge otherwise.
        return state.resizable ? SDL_WINDOW_RESIZABLE : 0;
    }
}

SDL_SystemCursor sdlCursorOf(uint32_t systemId)
{
    switch (systemId) {
    case IDC_IBEAM:
        return SDL_SYSTEM_CURSOR_IBEAM;
    case IDC_WAIT:
        return SDL_SYSTEM_CURSOR_WAIT;
    case IDC_CROSS:
        return SDL_SYSTEM_CURSOR_CROSSHAIR;
    case IDC_SIZENWSE:
        return SDL_SYSTEM_CURSOR_SIZENWSE;
    case IDC_SIZENESW:
        return SDL_SYSTEM_CURSOR_SIZENESW;
    case IDC_SIZEWE:
        return SDL_SYSTEM_CURSOR_SIZEWE;
    case IDC_SIZENS:
        return SDL_SYSTEM_CURSOR_SIZENS;
    case IDC_SIZEALL:
        return SDL_SYSTEM_CURSOR_SIZEALL;
    case IDC_NO:
        return SDL_SYSTEM_CURSOR_NO;
    case IDC_HAND:
        return SDL_SYSTEM_CURSOR_HAND;
    default:
        return SDL_SYSTEM_CURSOR_ARROW;
    }
}

// Asked at the moment of the event: a window is disabled without its top-level list changing, so the state the
// backend was last told can be stale.
bool isEnabledNow(const Ui& target, Hwnd hwnd)
{
    const Window* w = target.window(hwnd);
    return w != nullptr && w->isEnabled();
}

// An icon cursor (a drag cursor) as SDL draws it: its pixels where the mask is opaque, its hot spot kept.
SDL_Cursor* colorCursorOf(const Icon& icon)
{
    std::vector<uint32_t> argb(static_cast<size_t>(icon.width()) * static_cast<size_t>(icon.height()), 0);
    for (int32_t y = 0; y < icon.height(); ++y)
        for (int32_t x = 0; x < icon.width(); ++x)
            if (!icon.isTransparentAt(x, y))
                argb[static_cast<size_t>(y) * icon.width() + x] =
                    icon.hasAlpha() ? icon.pixel(x, y) : (icon.pixel(x, y) | 0xFF000000u);
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(argb.data(), icon.width(), icon.height(), 32,
                                                              icon.width() * 4, SDL_PIXELFORMAT_ARGB8888);
    if (surface == nullptr)
        return nullptr;
    SDL_Cursor* cursor = SDL_CreateColorCursor(surface, icon.hotSpot().x, icon.hotSpot().y);
    SDL_FreeSurface(surface); // SDL keeps its own copy of the pixels
    return cursor;
}

// Where our caption's close box lies, window coordinates; empty for a window without a caption.
Rect captionBand(const Window& w)
{
    if ((w.style() & WS_CAPTION) != WS_CAPTION)
        return {};
    const int32_t edge = w.clientInsets().l;
    return {edge, edge, static_cast<int32_t>(w.windowRect().width()) - edge,
            edge + fixedSystemMetric(SM_CYCAPTION) - 1};
}

Rect closeBoxOf(const Rect& band)
{
    const int32_t side = static_cast<int32_t>(band.height()) - 4;
    return side <= 4 ? Rect{} : Rect::fromXywh(band.r - side - 2, band.t + 2, side, side);
}

// A close box as a raised button face with a cross, drawn over the caption where no window manager draws one.
uint32_t closeBoxPixel(const Rect& box, int32_t x, int32_t y)
{
    if (x == box.l || y == box.t)
        return 0xFFFFFF;
    if (x == box.r - 1 || y == box.b - 1)
        return 0x404040;
    const int32_t inset = 3;
    const int32_t dx = x - box.l - inset;
    const int32_t dy = y - box.t - inset;
    const int32_t side = static_cast<int32_t>(box.width()) - 2 * inset;
    const bool onCross = dx >= 0 && dy >= 0 && dx < side && dy < side &&
                         ((dx - dy <= 1 && dy - dx <= 1) || (dx + dy >= side - 2 && dx + dy <= side));
    return onCross ? 0x000000 : 0xC0C0C0;
}

// A window moved into the work area, and shrunk first where it is larger.
Rect fitInWorkArea(const Rect& r, const Rect& work)
{
    const auto width = static_cast<int32_t>(std::max<int64_t>(1, std::min(r.width(), work.width())));
    const auto height = static_cast<int32_t>(std::max<int64_t>(1, std::min(r.height(), work.height())));
    return Rect::fromXywh(std::clamp(r.l, work.l, work.r - width), std::clamp(r.t, work.t, work.b - height), width,
                          height);
}

// The window's place with the frame round it (widths l, t, r, b) wholly within the work area.
Rect fitFramedInWorkArea(const Rect& client, const Rect& frame, const Rect& work)
{
    const Rect outer =
        fitInWorkArea({client.l - frame.l, client.t - frame.t, client.r + frame.r, client.b + frame.b}, work);
    return {outer.l + frame.l, outer.t + frame.t, outer.r - frame.r, outer.b - frame.b};
}

} // namespace

bool takesKeyboard(TopLevelKind kind)
{
    return kind == TopLevelKind::kFramed || kind == TopLevelKind::kBorderless;
}

std::vector<std::string> sdlLogLines()
{
    const std::lock_guard lock(g_logMutex);
    return g_log;
}

std::unique_ptr<SdlBackend> SdlBackend::open(std::string& outReason)
{
    if (!openVideo(outReason))
        return nullptr;
    SDL_Rect bounds{};
    if (SDL_GetDisplayBounds(0, &bounds) == 0)
        screen().setSize({bounds.w, bounds.h});
    SDL_Rect usable{};
    if (SDL_GetDisplayUsableBounds(0, &usable) == 0)
        screen().setWorkArea(Rect::fromXywh(usable.x - bounds.x, usable.y - bounds.y, usable.w, usable.h));
    auto backend = std::unique_ptr<SdlBackend>(new SdlBackend());
    if (std::strcmp(SDL_GetCurrentVideoDriver(), "x11") == 0) {
        backend->m_x = openConnection();
        backend->m_windowManager = backend->m_x != nullptr && pf::windowManagerRuns(backend->m_x);
        // A window manager that starts later takes our windows over: their reparenting tells us.
        SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);
    }
    return backend;
}

SdlBackend::SdlBackend()
{
    static std::once_flag once;
    std::call_once(once, [] { std::thread(wakeOnSignals).detach(); });
    const std::lock_guard lock(g_signalWakerMutex);
    g_wokenBySignals = this;
}

SdlBackend::~SdlBackend()
{
    {
        const std::lock_guard lock(g_signalWakerMutex);
        if (g_wokenBySignals == this)
            g_wokenBySignals = nullptr;
    }
    closeConnection(m_x);
    for (auto& [hwnd, shown] : m_shown)
        SDL_DestroyWindow(shown.window);
    if (m_sdlCursor != nullptr) {
        SDL_SetCursor(SDL_GetDefaultCursor());
        SDL_FreeCursor(m_sdlCursor);
    }
}

SDL_Window* SdlBackend::sdlWindowOf(Hwnd hwnd) const
{
    const auto it = m_shown.find(hwnd);
    return it == m_shown.end() ? nullptr : it->second.window;
}

void SdlBackend::syncTopLevels(const std::vector<TopLevelState>& topmostFirst)
{
    std::map<Hwnd, const TopLevelState*> wanted;
    std::set<Hwnd> lostAndStillThere;
    for (const TopLevelState& s : topmostFirst) {
        if (m_lost.count(s.hwnd) != 0)
            lostAndStillThere.insert(s.hwnd);
        else if (s.visible && s.surface != nullptr && !s.shownRect.isEmpty())
            wanted[s.hwnd] = &s;
    }
    m_lost = std::move(lostAndStillThere);
    // A window that goes with the keyboard leaves it to no one on the server (RevertToNone): it is handed on.
    std::optional<unsigned long> keyboard; // asked of the server only when a window goes
    bool keyboardClosed = false;
    Hwnd closedOwner = kNoWindow;
    for (auto it = m_shown.begin(); it != m_shown.end();) {
        if (wanted.count(it->first) != 0) {
            ++it;
            continue;
        }
        if (!keyboard)
            keyboard = m_x != nullptr ? inputFocus(m_x) : 0;
        if (*keyboard != 0 && it->second.xWindow == *keyboard) {
            keyboardClosed = true;
            closedOwner = it->second.state.owner;
        }
        SDL_DestroyWindow(it->second.window);
        it = m_shown.erase(it);
    }
    // Bottom first, so that an owner is on the server before the windows that name it.
    std::set<Hwnd> created;
    for (auto s = topmostFirst.rbegin(); s != topmostFirst.rend(); ++s) {
        if (wanted.count(s->hwnd) == 0)
            continue;
        const auto it = m_shown.find(s->hwnd);
        if (it == m_shown.end()) {
            created.insert(s->hwnd);
            Shown& shown = m_shown[s->hwnd];
            shown.state = *s;
            createWindow(shown);
            if (shown.window == nullptr)
                m_shown.erase(s->hwnd);
        } else {
            updateWindow(it->second, *s);
        }
    }
    if (!m_windowManager)
        restackWithoutWindowManager(topmostFirst);
    // The topmost window on the server: a window still listed while it goes (a dialog being destroyed) is not, and
    // taken for the top it would hide the change to the window below it, which would then take the keyboard a step
    // later from the heir it was handed to.
    const auto firstShown = std::find_if(topmostFirst.begin(), topmostFirst.end(),
                                         [&](const TopLevelState& s) { return m_shown.count(s.hwnd) != 0; });
    const Hwnd topmost = firstShown == topmostFirst.end() ? kNoWindow : firstShown->hwnd;
    const auto top = m_shown.find(topmost);
    // Without a window manager the keyboard stays with a closed window, so no key would come in until the user's
    // system gave the focus to some window of ours again: it goes at once to the closed one's heir (see
    // keyboardHeir), and again at the next step should the step have made another window active. A window that only
    // comes to the top because the one above it closed is neither raised nor given the keyboard here: under a window
    // manager a raise asks it to activate the window, and a raise of one window with the keyboard handed to another
    // made the two take it in turn for ever. A menu or a tip never takes it.
    const bool cameForward = !keyboardClosed || created.count(topmost) != 0;
    if (topmost != m_topmost && top != m_shown.end() && cameForward && !m_adoptingFocus) {
        SDL_RaiseWindow(top->second.window);
        if (takesKeyboard(top->second.state.kind))
            giveKeyboard(topmost);
    } else if (keyboardClosed && hasUi()) {
        m_orphanHeir = keyboardHeir(ui(), closedOwner);
        m_orphanedBy = closedOwner;
        giveKeyboard(m_orphanHeir);
    }
    m_topmost = topmost;
    keyboardFollowsActivation(topmost);

    const std::lock_guard lock(m_dirtyMutex);
    m_surfaces.clear();
    for (const auto& [hwnd, shown] : m_shown)
        m_surfaces[shown.state.surface.get()] = hwnd;
    for (auto it = m_dirty.begin(); it != m_dirty.end();)
        it = m_shown.count(it->first) != 0 ? std::next(it) : m_dirty.erase(it);
}

void SdlBackend::markAllDirty(Hwnd hwnd, const Surface32& surface)
{
    const std::lock_guard lock(m_dirtyMutex);
    m_dirty[hwnd] = surface.bounds();
}

// The window manager's grips stop at the window's least size: the server's window is its shown area, so the least
// size loses what of our nominal frame the area leaves out.
void SdlBackend::applyMinimumSize(const Shown& shown)
{
    const TopLevelState& s = shown.state;
    if (s.minWidth <= 0 && s.minHeight <= 0)
        return;
    const int32_t width = s.minWidth - static_cast<int32_t>(s.windowRect.width() - shown.area.width());
    const int32_t height = s.minHeight - static_cast<int32_t>(s.windowRect.height() - shown.area.height());
    SDL_SetWindowMinimumSize(shown.window, std::max(width, 1), std::max(height, 1));
}

Rect SdlBackend::areaOf(const TopLevelState& s, bool ownCaption) const
{
    return ownCaption ? s.windowRect : s.shownRect;
}

void SdlBackend::createWindow(Shown& shown)
{
    shown.ownCaption = m_x != nullptr && !m_windowManager && shown.state.kind == TopLevelKind::kFramed;
    shown.area = areaOf(shown.state, shown.ownCaption);
    const Rect& c = shown.area;
    // Hidden until the window manager has been told whose it is and what kind: it reads both when it maps it.
    shown.window = SDL_CreateWindow(
        shown.state.title.c_str(), c.l, c.t, static_cast<int>(c.width()), static_cast<int>(c.height()),
        windowFlagsOf(shown.state) | SDL_WINDOW_HIDDEN | (shown.state.maximized ? SDL_WINDOW_MAXIMIZED : 0));
    if (shown.window == nullptr)
        return;
    shown.windowId = SDL_GetWindowID(shown.window);
    shown.xWindow = xWindowOf(shown.window).window;
    applyMinimumSize(shown);
    nameOwner(shown);
    fitToWorkArea(shown);
    // Without a window manager SDL gives every window it shows the keyboard: a menu or a tip taking it made SDL let
    // go of the keys held and press them again, so the Alt of Alt+F, pressed again, closed the File menu it had just
    // opened. They are mapped as they are, the keyboard staying where it is.
    // SDL waits for the map without end, and a window manager that hung or answered late held the whole program:
    // the map is waited for here, within a bound, and SDL then finds the window mapped. One mapped later is shown by
    // SDL's own events.
    const XWindowRef x = xWindowOf(shown.window);
    if (!m_windowManager && !takesKeyboard(shown.state.kind) && x.isValid())
        mapWithoutFocus(x);
    else if (!x.isValid() || mapRaisedWithin(x, kMapWaitMs))
        SDL_ShowWindow(shown.window);
    // SDL reads the frame of the window manager's from its events: until then it would take a place asked for as the
    // frame's, after it as the window's.
    if (m_windowManager)
        SDL_PumpEvents();
    markAllDirty(shown.state.hwnd, *shown.state.surface);
}

void SdlBackend::nameOwner(Shown& shown)
{
    const TopLevelKind kind = shown.state.kind;
    if (m_x == nullptr || shown.xWindow == 0 || shown.namedOwner == shown.state.owner ||
        (kind != TopLevelKind::kFramed && kind != TopLevelKind::kBorderless))
        return; // menus and tooltips are not the window manager's to stack
    const auto owner = m_shown.find(shown.state.owner);
    const unsigned long ownerWindow = owner != m_shown.end() ? owner->second.xWindow : 0;
    if (ownerWindow == 0 && shown.namedOwner == kNoWindow)
        return;
    setOwner({m_x, shown.xWindow}, ownerWindow, ownerWindow != 0);
    shown.namedOwner = ownerWindow != 0 ? shown.state.owner : kNoWindow;
}

Rect SdlBackend::usableArea() const
{
    const Rect work = m_windowManager ? workArea(m_x).intersected(screen().bounds()) : Rect{};
    return work.isEmpty() ? screen().bounds() : work;
}

void SdlBackend::fitToWorkArea(Shown& shown)
{
    if (m_x == nullptr || shown.state.kind != TopLevelKind::kFramed)
        return;
    const Rect frame = m_windowManager ? awaitFrameExtents({m_x, shown.xWindow}, kFrameExtentsWaitMs) : Rect{};
    shown.fitAwaitsFrame = m_windowManager && frame == Rect{};
    const Rect& was = shown.area;
    const Rect fitted = fitFramedInWorkArea(was, frame, usableArea());
    // A window manager puts its frame where the window was asked to be (north-west gravity), the window inside it.
    const Point asked{fitted.l - frame.l, fitted.t - frame.t};
    if (asked != was.topLeft())
        SDL_SetWindowPosition(shown.window, asked.x, asked.y);
    if (fitted.width() != was.width() || fitted.height() != was.height())
        SDL_SetWindowSize(shown.window, static_cast<int>(fitted.width()), static_cast<int>(fitted.height()));
    if (fitted == was)
        return;
    // The tree learns the place at the next loop step, as from the window manager; the window shows it meanwhile.
    const auto shift = [&](const Rect& r) {
        return Rect{r.l + fitted.l - was.l, r.t + fitted.t - was.t, r.r + fitted.r - was.r, r.b + fitted.b - was.b};
    };
    shown.state.windowRect = shift(shown.state.windowRect);
    shown.state.shownRect = shift(shown.state.shownRect);
    m_fitted[shown.state.hwnd] = shown.state.windowRect;
    shown.area = fitted;
}

// A window manager that answered late framed the window where it stood: it is fitted again, now with its frame. The
// tree follows from the moves the window manager reports, as for any move it makes.
void SdlBackend::fitWithKnownFrame(Shown& shown)
{
    shown.fitAwaitsFrame = false;
    const Rect frame = frameExtents({m_x, shown.xWindow});
    const Rect client = clientOnRoot({m_x, shown.xWindow});
    if (client.isEmpty() || shown.state.maximized)
        return;
    const Rect fitted = fitFramedInWorkArea(client, frame, usableArea());
    if (fitted.topLeft() != client.topLeft())
        SDL_SetWindowPosition(shown.window, fitted.l, fitted.t);
    if (fitted.width() != client.width() || fitted.height() != client.height())
        SDL_SetWindowSize(shown.window, static_cast<int>(fitted.width()), static_cast<int>(fitted.height()));
}

void SdlBackend::restackWithoutWindowManager(const std::vector<TopLevelState>& topmostFirst)
{
    if (m_x == nullptr)
        return;
    std::vector<unsigned long> order;
    for (auto s = topmostFirst.rbegin(); s != topmostFirst.rend(); ++s)
        if (const auto it = m_shown.find(s->hwnd); it != m_shown.end() && it->second.xWindow != 0)
            order.push_back(it->second.xWindow);
    if (order == m_stackedOrder)
        return;
    m_stackedOrder = order;
    restack(m_x, order);
}

void SdlBackend::updateWindow(Shown& shown, const TopLevelState& told)
{
    TopLevelState next = told;
    if (m_fitted.count(next.hwnd) != 0) {
        // A window placed within the work area stays there until the tree has learnt of it.
        next.windowRect = shown.state.windowRect;
        next.shownRect = shown.state.shownRect;
    }
    const Rect was = shown.area;
    const Rect now = areaOf(next, shown.ownCaption);
    if (now.l != was.l || now.t != was.t)
        SDL_SetWindowPosition(shown.window, now.l, now.t);
    if (now.width() != was.width() || now.height() != was.height())
        SDL_SetWindowSize(shown.window, static_cast<int>(now.width()), static_cast<int>(now.height()));
    if (next.title != shown.state.title)
        SDL_SetWindowTitle(shown.window, next.title.c_str());
    if (next.maximized != shown.state.maximized) {
        if (next.maximized)
            SDL_MaximizeWindow(shown.window);
        else
            SDL_RestoreWindow(shown.window);
    }
    if (next.resizable != shown.state.resizable && next.kind == TopLevelKind::kFramed)
        SDL_SetWindowResizable(shown.window, next.resizable ? SDL_TRUE : SDL_FALSE);
    const bool newSurface = next.surface != shown.state.surface;
    const bool newMinimum = next.minWidth != shown.state.minWidth || next.minHeight != shown.state.minHeight;
    shown.state = next;
    shown.area = now;
    if (newMinimum)
        applyMinimumSize(shown);
    nameOwner(shown);
    if (newSurface || now.width() != was.width() || now.height() != was.height())
        markAllDirty(next.hwnd, *next.surface);
}

void SdlBackend::surfaceChanged(const Surface32* surface, const Rect& surfaceRect)
{
    {
        const std::lock_guard lock(m_dirtyMutex);
        const auto it = m_surfaces.find(surface);
        if (it == m_surfaces.end())
            return;
        Rect& dirty = m_dirty[it->second];
        dirty = dirty.boundsWith(surfaceRect);
    }
    wake();
}

void SdlBackend::wake()
{
    // A wake is an X message to the waiting loop: on a lost display it would only meet the loss again.
    if (displayWasLost() || m_wakePending.exchange(true))
        return;
    SDL_Event event{};
    event.type = g_wakeEvent;
    SDL_PushEvent(&event);
}

void SdlBackend::present()
{
    const bool overlayDirty = !screen().isOverlayClear();
    const bool everything = overlayDirty || m_overlayWasDirty;
    m_overlayWasDirty = overlayDirty;
    for (auto& [hwnd, shown] : m_shown) {
        Rect dirty;
        {
            const std::lock_guard lock(m_dirtyMutex);
            const auto it = m_dirty.find(hwnd);
            dirty = everything ? shown.state.surface->bounds() : (it != m_dirty.end() ? it->second : Rect{});
            m_dirty.erase(hwnd);
        }
        dirty = dirty.intersected(shown.area.offsetBy(-shown.state.windowRect.l, -shown.state.windowRect.t));
        if (!dirty.isEmpty())
            presentWindow(shown, dirty);
    }
}

void SdlBackend::presentWindow(Shown& shown, const Rect& dirty)
{
    SDL_Surface* target = SDL_GetWindowSurface(shown.window);
    if (target == nullptr)
        return;
    const Rect client = shown.area.offsetBy(-shown.state.windowRect.l, -shown.state.windowRect.t);
    const Rect local = dirty.offsetBy(-client.l, -client.t).intersected({0, 0, target->w, target->h});
    if (local.isEmpty())
        return;
    const int32_t width = static_cast<int32_t>(local.width());
    const int32_t height = static_cast<int32_t>(local.height());
    // The 3D views present every timer round, so rows are copied whole rather than pixel by pixel.
    const Surface32& source = *shown.state.surface;
    const Rect inSource = local.offsetBy(client.l, client.t).intersected(source.bounds());
    // One buffer for every present: a fresh one each time cost its page faults again.
    std::vector<uint32_t>& pixels = m_presentPixels;
    pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
    if (inSource.offsetBy(-client.l, -client.t) != local)
        std::fill(pixels.begin(), pixels.end(), 0u); // what the surface does not reach shows black
    {
        const std::lock_guard lock(source.mutex());
        for (int32_t y = inSource.t; y < inSource.b; ++y) {
            const uint32_t* from = source.row(y) + inSource.l;
            uint32_t* to =
                &pixels[static_cast<size_t>(y - client.t - local.t) * width + (inSource.l - client.l - local.l)];
            std::transform(from, from + inSource.width(), to, [](uint32_t p) { return p & 0x00FFFFFFu; });
        }
    }
    if (!screen().isOverlayClear()) {
        const std::shared_ptr<Surface32> overlay = screen().overlay();
        const std::lock_guard lock(overlay->mutex());
        const Rect bounds = overlay->bounds();
        for (int32_t y = 0; y < height; ++y)
            for (int32_t x = 0; x < width; ++x) {
                const Point p{shown.area.l + local.l + x, shown.area.t + local.t + y};
                if (bounds.contains(p))
                    pixels[static_cast<size_t>(y) * width + x] ^= overlay->pixel(p.x, p.y) & 0x00FFFFFFu;
            }
    }
    if (const Window* w = shown.ownCaption && hasUi() ? ui().window(shown.state.hwnd) : nullptr) {
        const Rect box = closeBoxOf(captionBand(*w)).offsetBy(-client.l, -client.t); // in the SDL window
        const Rect drawn = box.intersected(local);
        for (int32_t y = drawn.t; y < drawn.b; ++y)
            for (int32_t x = drawn.l; x < drawn.r; ++x)
                pixels[static_cast<size_t>(y - local.t) * width + (x - local.l)] = closeBoxPixel(box, x, y);
    }
    SDL_LockSurface(target);
    auto* firstRow = static_cast<uint8_t*>(target->pixels) + static_cast<ptrdiff_t>(local.t) * target->pitch +
                     static_cast<ptrdiff_t>(local.l) * target->format->BytesPerPixel;
    const uint32_t format = target->format->format;
    if (format == SDL_PIXELFORMAT_ARGB8888 || format == SDL_PIXELFORMAT_RGB888) {
        for (int32_t y = 0; y < height; ++y)
            std::memcpy(firstRow + static_cast<ptrdiff_t>(y) * target->pitch, &pixels[static_cast<size_t>(y) * width],
                        static_cast<size_t>(width) * 4);
    } else {
        SDL_ConvertPixels(width, height, SDL_PIXELFORMAT_ARGB8888, pixels.data(), width * 4, format, firstRow,
                          target->pitch);
    }
    SDL_UnlockSurface(target);
    const SDL_Rect rect{local.l, local.t, width, height};
    SDL_UpdateWindowSurfaceRects(shown.window, &rect, 1);
    m_presentedFrames.fetch_add(1);
}

void SdlBackend::waitForInput(Ui& target, int32_t timeoutMs)
{
    for (const auto& [hwnd, rect] : std::map<Hwnd, Rect>(std::move(m_fitted)))
        if (Window* w = target.window(hwnd))
            w->move(rect);
    m_fitted.clear();
    if (m_orphanHeir != kNoWindow) {
        if (const Hwnd heir = keyboardHeir(target, m_orphanedBy); heir != m_orphanHeir)
            giveKeyboard(heir);
        m_orphanHeir = kNoWindow;
    }
    if (m_drag)
        timeoutMs = std::min(timeoutMs, kDragStepMs); // the pointer is read at each step
    SDL_Event event;
    bool got = timeoutMs <= 0 ? SDL_PollEvent(&event) != 0 : SDL_WaitEventTimeout(&event, timeoutMs) != 0;
    while (got) {
        translate(target, event);
        // A press, a release or a key may open or end a modal loop (a menu, a dialog) while it is handled; what
        // follows it belongs to whoever holds the input then, so it waits in SDL's queue for the next loop step.
        // Handed on in one batch, a click after a menu's choice reached the closing menu and undid the choice.
        if (event.type == SDL_MOUSEBUTTONDOWN || event.type == SDL_MOUSEBUTTONUP || event.type == SDL_KEYDOWN ||
            event.type == SDL_KEYUP)
            break;
        got = SDL_PollEvent(&event) != 0;
    }
    dragCaption(target);
    askForKeyboard();
    giveFollowedKeyboard();
    if (g_terminationRequests.exchange(0) > 0)
        requestClose();
    if (m_closeRequested)
        deliverCloseRequest(target);
    applyCursor(target);
}

SdlBackend::Shown* SdlBackend::shownById(uint32_t windowId)
{
    for (auto& [hwnd, shown] : m_shown)
        if (shown.windowId == windowId)
            return &shown;
    return nullptr;
}

void SdlBackend::translate(Ui& target, const SDL_Event& e)
{
    if (e.type == g_wakeEvent) {
        m_wakePending.store(false);
        return;
    }
    switch (e.type) {
    case SDL_MOUSEMOTION:
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
        const uint32_t id = e.type == SDL_MOUSEMOTION ? e.motion.windowID : e.button.windowID;
        const Shown* shown = shownById(id);
        if (shown == nullptr)
            return;
        const int32_t x = e.type == SDL_MOUSEMOTION ? e.motion.x : e.button.x;
        const int32_t y = e.type == SDL_MOUSEMOTION ? e.motion.y : e.button.y;
        const Point p{shown->area.l + x, shown->area.t + y};
        if (dragCaption(target))
            return;
        if (e.type == SDL_MOUSEMOTION) {
            if (m_relative)
                target.injectLockedMotion(e.motion.xrel, e.motion.yrel);
            else
                target.inject(InputEvent::mouseMove(p));
            return;
        }
        if (e.button.button != SDL_BUTTON_LEFT && e.button.button != SDL_BUTTON_RIGHT)
            return;
        const auto button = e.button.button == SDL_BUTTON_LEFT ? InputEvent::Button::kLeft : InputEvent::Button::kRight;
        if (e.type == SDL_MOUSEBUTTONDOWN && !isEnabledNow(target, shown->state.hwnd) &&
            target.capture() == kNoWindow) {
            beep(kBeepHz, kBeepMs); // the window waits for its modal dialog
            bringForward(target, shown->state.hwnd);
            return;
        }
        // Where no window manager gives the keyboard to the window clicked, the click does: else a keyboard lost
        // to no window (a focused window closed) never came back.
        if (e.type == SDL_MOUSEBUTTONDOWN && !m_windowManager && m_x != nullptr && inputFocus(m_x) != shown->xWindow &&
            takesKeyboard(shown->state.kind))
            giveKeyboard(shown->state.hwnd);
        if (e.type == SDL_MOUSEBUTTONDOWN && button == InputEvent::Button::kLeft && shown->ownCaption &&
            target.capture() == kNoWindow && pressCaption(target, *shown, p))
            return;
        target.inject(e.type == SDL_MOUSEBUTTONDOWN ? InputEvent::mouseDown(p, button)
                                                    : InputEvent::mouseUp(p, button));
        return;
    }
    case SDL_MOUSEWHEEL: {
        const Shown* shown = shownById(e.wheel.windowID);
        const int32_t notches = e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -e.wheel.y : e.wheel.y;
        if (shown != nullptr && notches != 0 && !m_drag)
            target.inject(InputEvent::mouseWheel({shown->area.l + e.wheel.mouseX, shown->area.t + e.wheel.mouseY},
                                                 notches * WHEEL_DELTA));
        return;
    }
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
        // The modifiers as this key left them, for the text that follows it: the state SDL keeps is the last pumped.
        m_leftAltAlone = (e.key.keysym.mod & (KMOD_LALT | KMOD_CTRL)) == KMOD_LALT;
        const uint8_t vk = vkFromSdlScancode(e.key.keysym.scancode);
        if (vk == 0)
            return;
        InputEvent key = e.type == SDL_KEYDOWN ? InputEvent::keyDown(vk) : InputEvent::keyUp(vk);
        key.scanCode = scanCodeOf(vk);
        key.extended = isExtendedKey(vk);
        target.inject(key);
        // Control characters (Enter, Backspace, Tab, Esc, Ctrl+letter) come as no text event; printable ones do.
        uint16_t ch = 0;
        if (e.type == SDL_KEYDOWN && toAscii(vk, key.scanCode, target.keyboardState(), ch) == 1 &&
            (ch < 0x20 || ch == 0x7F))
            target.inject(InputEvent::character(ch));
        return;
    }
    case SDL_TEXTINPUT: {
        // A letter pressed with the left Alt is a command key (a menu's, a chord), never text: the server still
        // spells it, and an edit that had the focus took it in. The right Alt may be the key that spells a
        // layout's third characters, and keeps them.
        if (m_leftAltAlone)
            return;
        char32_t points[SDL_TEXTINPUTEVENT_TEXT_SIZE];
        const size_t n = utf8CodePoints(e.text.text, points, SDL_TEXTINPUTEVENT_TEXT_SIZE);
        for (size_t i = 0; i < n; ++i)
            target.inject(InputEvent::character(points[i]));
        return;
    }
    case SDL_DROPFILE:
        if (e.drop.file != nullptr) {
            target.dropFilesAtCursor({std::string(e.drop.file)});
            SDL_free(e.drop.file);
        }
        return;
    case SDL_WINDOWEVENT:
        translateWindowEvent(target, e);
        return;
    case SDL_SYSWMEVENT:
        if (e.syswm.msg == nullptr || e.syswm.msg->subsystem != SDL_SYSWM_X11)
            return;
        if (const unsigned long framed = frameExtentsWindow(&e.syswm.msg->msg.x11.event)) {
            checkWindowManager();
            for (auto& [hwnd, shown] : m_shown)
                if (shown.xWindow == framed && shown.fitAwaitsFrame && m_windowManager)
                    fitWithKnownFrame(shown);
        } else if (isReparentEvent(&e.syswm.msg->msg.x11.event))
            checkWindowManager();
        else if (const unsigned long destroyed = destroyedWindow(&e.syswm.msg->msg.x11.event))
            loseWindow(target, destroyed);
        return;
    case SDL_QUIT:
        requestClose(); // SDL's handlers, where ours were not put in first
        return;
    default:
        return;
    }
}

void SdlBackend::translateWindowEvent(Ui& target, const SDL_Event& e)
{
    Shown* shown = shownById(e.window.windowID);
    if (shown == nullptr)
        return;
    const Hwnd hwnd = shown->state.hwnd;
    Window* w = target.window(hwnd);
    if (w == nullptr)
        return;
    const Rect shownArea = shown->area;
    const Rect frame = shown->state.windowRect;
    switch (e.window.event) {
    case SDL_WINDOWEVENT_CLOSE:
        if (w->isEnabled())
            target.post(hwnd, WM_CLOSE);
        else
            beep(kBeepHz, kBeepMs);
        return;
    case SDL_WINDOWEVENT_MOVED:
        // What the window manager gave, not what was asked: the tree follows the real window. The window is known to
        // be there already, so the tree's change is not asked of the server again: echoed, a report that was
        // overtaken by a later move would put the window back.
        if (e.window.data1 != shownArea.l || e.window.data2 != shownArea.t) {
            shown->area = shownArea.offsetBy(e.window.data1 - shownArea.l, e.window.data2 - shownArea.t);
            w->move(frame.offsetBy(e.window.data1 - shownArea.l, e.window.data2 - shownArea.t));
        }
        return;
    case SDL_WINDOWEVENT_SIZE_CHANGED:
        if (e.window.data1 != shownArea.width() || e.window.data2 != shownArea.height()) {
            shown->area = Rect::fromXywh(shownArea.l, shownArea.t, e.window.data1, e.window.data2);
            w->move({frame.l, frame.t, static_cast<int32_t>(frame.r + (e.window.data1 - shownArea.width())),
                     static_cast<int32_t>(frame.b + (e.window.data2 - shownArea.height()))});
        }
        return;
    case SDL_WINDOWEVENT_MAXIMIZED:
    case SDL_WINDOWEVENT_RESTORED:
        // The window manager's state is the window's: the program keeps it with the window's place.
        shown->state.maximized = e.window.event == SDL_WINDOWEVENT_MAXIMIZED;
        w->setStyle(shown->state.maximized ? (w->style() | WS_MAXIMIZE) : (w->style() & ~WS_MAXIMIZE));
        return;
    case SDL_WINDOWEVENT_FOCUS_GAINED:
        if (!w->isEnabled()) {
            bringForward(target, hwnd); // the window manager gave it the focus: its modal dialog takes it
        } else if (const Hwnd modal = modalAbove(target, hwnd); modal != kNoWindow) {
            // A window the modal dialog leaves enabled (a floating panel) kept or took the keyboard: a key meant for
            // the question would act on the window behind it.
            target.activate(modal);
            if (const auto it = m_shown.find(modal); it != m_shown.end())
                SDL_RaiseWindow(it->second.window);
            giveKeyboard(modal);
        } else if (target.activeWindow() != hwnd && (m_x == nullptr || inputFocus(m_x) == shown->xWindow)) {
            // The server's choice, taken as it is: raising or handing the keyboard on from here (to a window the
            // activated one keeps above itself) would answer each late report of focus with a new one, for ever. A
            // report the server has since overtaken (the keyboard given to the frame after F10 while the editor's
            // focus was still on its way) is not taken: it would make the editor active again, unselecting the bar.
            m_adoptingFocus = true;
            target.activate(hwnd);
            m_adoptingFocus = false;
        }
        return;
    case SDL_WINDOWEVENT_EXPOSED:
        markAllDirty(hwnd, *shown->state.surface);
        return;
    default:
        return;
    }
}

// The enabled window that a disabled one waits for, the nearest owned one topmost first, is raised and given the
// keyboard: a click on a window behind its modal dialog brings the dialog forward.
void SdlBackend::bringForward(Ui& target, Hwnd blocked)
{
    for (const Hwnd h : target.topLevels()) {
        const Window* w = target.window(h);
        const auto shown = m_shown.find(h);
        if (w == nullptr || !w->isEnabled() || shown == m_shown.end() || !w->isVisible())
            continue;
        Window* owner = w->owner();
        while (owner != nullptr && owner->topLevel()->hwnd() != blocked)
            owner = owner->topLevel()->owner();
        if (owner == nullptr)
            continue;
        target.activate(h);
        SDL_RaiseWindow(shown->second.window);
        giveKeyboard(h);
        return;
    }
}

// The topmost modal dialog shown here, when `hwnd` is neither it nor a window of its own; else none.
Hwnd SdlBackend::modalAbove(Ui& target, Hwnd hwnd) const
{
    if (target.modalDepth() == 0)
        return kNoWindow;
    for (const Hwnd h : target.topLevels()) {
        const auto* dialog = dynamic_cast<const Dialog*>(target.window(h));
        if (dialog == nullptr || !dialog->isModal() || !dialog->isVisible() || !dialog->isEnabled() ||
            m_shown.count(h) == 0)
            continue;
        for (Window* w = target.window(hwnd); w != nullptr; w = w->topLevel()->owner())
            if (w->topLevel()->hwnd() == h)
                return kNoWindow;
        return h;
    }
    return kNoWindow;
}

void SdlBackend::giveKeyboard(Hwnd hwnd)
{
    const auto it = m_shown.find(hwnd);
    if (it == m_shown.end())
        return;
    m_keyboardWanted = hwnd;
    m_keyboardAskedAt = SDL_GetTicks();
    SDL_SetWindowInputFocus(it->second.window); // refused while the window is not mapped: asked again next step
}

// Asked again only while the window is still the active one: a window shown without activation (a floating panel
// put up beside the active one) takes the keyboard only when it is there at once, and never later.
void SdlBackend::askForKeyboard()
{
    if (m_keyboardWanted == kNoWindow)
        return;
    const auto it = m_shown.find(m_keyboardWanted);
    if (it == m_shown.end() || m_x == nullptr || inputFocus(m_x) == it->second.xWindow || !hasUi() ||
        ui().activeWindow() != m_keyboardWanted || SDL_GetTicks() - m_keyboardAskedAt > kKeyboardAskMs) {
        m_keyboardWanted = kNoWindow;
        return;
    }
    SDL_SetWindowInputFocus(it->second.window);
}

// Who takes the keyboard a closed window had: the window the tree made active in its place, once the loop step has
// settled it (a window that goes may hand activation on more than once); else the closed one's owner, else the
// topmost window of ours that takes input.
Hwnd SdlBackend::keyboardHeir(Ui& target, Hwnd closedOwner) const
{
    const auto takesKeys = [&](Hwnd hwnd, bool evenDisabled) {
        const auto it = m_shown.find(hwnd);
        return it != m_shown.end() && takesKeyboard(it->second.state.kind) &&
               (evenDisabled || isEnabledNow(target, hwnd));
    };
    if (takesKeys(target.activeWindow(), true))
        return target.activeWindow();
    if (takesKeys(closedOwner, false))
        return closedOwner;
    for (const Hwnd hwnd : target.topLevels())
        if (takesKeys(hwnd, false))
            return hwnd;
    return kNoWindow;
}

bool SdlBackend::pressCaption(Ui& target, const Shown& shown, Point screenPoint)
{
    Window* w = target.window(shown.state.hwnd);
    if (w == nullptr)
        return false;
    const Rect frame = w->screenRect();
    const Point p{screenPoint.x - frame.l, screenPoint.y - frame.t};
    const Rect band = captionBand(*w);
    if (!band.contains(p))
        return false;
    if (!w->isEnabled()) {
        beep(kBeepHz, kBeepMs);
        bringForward(target, shown.state.hwnd);
        return true;
    }
    if (closeBoxOf(band).contains(p)) {
        target.post(shown.state.hwnd, WM_CLOSE);
        return true;
    }
    target.activate(shown.state.hwnd);
    beginCaptionDrag(shown, p);
    return true;
}

void SdlBackend::checkWindowManager()
{
    const bool runs = pf::windowManagerRuns(m_x);
    if (runs == m_windowManager)
        return;
    m_windowManager = runs;
    // The frame changes hands: a window manager's frame replaces our caption, or our caption stands in for it.
    for (auto& [hwnd, shown] : m_shown) {
        const bool ownCaption = !m_windowManager && shown.state.kind == TopLevelKind::kFramed;
        if (ownCaption == shown.ownCaption)
            continue;
        shown.ownCaption = ownCaption;
        shown.area = areaOf(shown.state, ownCaption);
        SDL_SetWindowPosition(shown.window, shown.area.l, shown.area.t);
        SDL_SetWindowSize(shown.window, static_cast<int>(shown.area.width()), static_cast<int>(shown.area.height()));
        markAllDirty(hwnd, *shown.state.surface);
    }
    m_stackedOrder.clear();
}

// Another program destroyed one of our windows on the X server (a window manager never does; it asks). SDL's window
// is only a shell now, and every request on it fails. A window with an owner is closed as its close box would close
// it, and shown anew should the program keep it, so that a dialog never waits where no one can see it. The program's
// own main window cannot be shown again without its place and state: every loop is asked to end, and the program
// reads lostApplicationWindow to end as after an end it did not ask about.
void SdlBackend::loseWindow(Ui& target, unsigned long xWindow)
{
    const auto it = std::find_if(m_shown.begin(), m_shown.end(),
                                 [&](const auto& entry) { return entry.second.xWindow == xWindow; });
    if (it == m_shown.end())
        return;
    const Hwnd hwnd = it->first;
    Shown& shown = it->second;
    SDL_DestroyWindow(shown.window);
    if (shown.state.owner != kNoWindow) {
        shown.namedOwner = kNoWindow;
        m_stackedOrder.clear();
        createWindow(shown);
        if (shown.window == nullptr)
            m_shown.erase(it);
        target.post(hwnd, WM_CLOSE);
        return;
    }
    m_shown.erase(it);
    m_lost.insert(hwnd);
    m_lostApplicationWindow = true;
    {
        const std::lock_guard lock(m_dirtyMutex);
        m_dirty.erase(hwnd);
        for (auto s = m_surfaces.begin(); s != m_surfaces.end();)
            s = s->second == hwnd ? m_surfaces.erase(s) : std::next(s);
    }
    target.postQuit(kQuitWindowLost);
}

void SdlBackend::warpPointer(Point screenPoint)
{
    SDL_WarpMouseGlobal(screenPoint.x, screenPoint.y);
}

void SdlBackend::setRelativePointer(bool on)
{
    // A display without relative motion still hands us absolute moves, which route as they always do.
    if (on) {
        m_relative = SDL_SetRelativeMouseMode(SDL_TRUE) == 0;
    } else {
        SDL_SetRelativeMouseMode(SDL_FALSE);
        m_relative = false;
    }
}

void SdlBackend::applyCursor(Ui& target)
{
    const Cursor& c = target.currentCursor();
    if (c.systemId == m_cursorId && c.icon.get() == m_cursorIcon)
        return;
    m_cursorId = c.systemId;
    m_cursorIcon = c.icon.get();
    SDL_Cursor* next = c.systemId == 0 && c.icon != nullptr
                           ? colorCursorOf(*c.icon)
                           : SDL_CreateSystemCursor(sdlCursorOf(c.systemId == 0 ? IDC_ARROW : c.systemId));
    if (next == nullptr)
        return;
    SDL_SetCursor(next);
    if (m_sdlCursor != nullptr)
        SDL_FreeCursor(m_sdlCursor);
    m_sdlCursor = next;
}

namespace {

void onTerminationSignal(int signal)
{
    const int savedErrno = errno;
    g_lastSignal.store(signal);
    g_terminationRequests.fetch_add(1);
    sem_post(&g_signalArrived.value);
    errno = savedErrno;
}

} // namespace

void catchTerminationSignals()
{
    struct sigaction action {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    // SIGHUP too: the terminal the designer was started from closing asks as the close box does.
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signal, &action, nullptr);
    // SDL fills only a slot that holds the default action, so ours stay; said outright, it does not even look.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
}

void releaseTerminationSignals()
{
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        std::signal(signal, SIG_DFL);
    if (g_terminationRequests.exchange(0) > 0)
        std::raise(g_lastSignal.load());
}

DisplayChoice openDisplayBackend()
{
    const char* forced = std::getenv("VORTAN_DISPLAY");
    const std::string choice = forced != nullptr ? forced : "";
    if (choice == "headless")
        return {std::make_unique<HeadlessBackend>(), "VORTAN_DISPLAY=headless"};
    std::string reason;
    if (!openVideo(reason))
        return {std::make_unique<HeadlessBackend>(), reason};
    // Without a display SDL falls back on a driver that draws into memory: a window there is seen by no one, and a
    // program that asks a question in it waits for ever. Only an explicit request takes such a screen.
    const std::string driver = SDL_GetCurrentVideoDriver() != nullptr ? SDL_GetCurrentVideoDriver() : "";
    if (choice != "sdl" && isInvisibleVideoDriver(driver))
        return {std::make_unique<HeadlessBackend>(), "SDL's \"" + driver + "\" video driver shows nothing"};
    std::unique_ptr<SdlBackend> live = SdlBackend::open(reason);
    if (live != nullptr)
        return {std::move(live), choice == "sdl" ? "VORTAN_DISPLAY=sdl" : ""};
    return {std::make_unique<HeadlessBackend>(), reason};
}

} // namespace pf
