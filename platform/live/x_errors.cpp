#include "platform/live/x_errors.h"

#include <X11/Xlib.h>

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <thread>

namespace pf {

namespace {

XErrorHandler g_previous = nullptr;

int passClosedWindow(Display* display, XErrorEvent* error)
{
    if (error->error_code == BadWindow || error->error_code == BadDrawable)
        return 0;
    return g_previous != nullptr ? g_previous(display, error) : 0;
}

std::mutex g_workMutex; // guards g_work and g_status against a thread that meets the loss
LostDisplayWork g_work;
int g_status = 1;
std::thread::id g_uiThread;
std::atomic<bool> g_lost{false};
std::atomic<bool> g_ending{false}; // a thread runs the work and ends the process
thread_local bool t_inHandler = false;
constexpr auto kUiThreadWait = std::chrono::seconds(5);

[[noreturn]] void waitForTheEnd()
{
    for (;;)
        ::pause();
}

[[noreturn]] void endProcess(bool onUiThread)
{
    LostDisplayWork work;
    int status = 1;
    {
        const std::lock_guard hold(g_workMutex);
        work = g_work;
        status = g_status;
    }
    if (work)
        work(onUiThread);
    else
        std::fputs("the connection to the X server was lost\n", stderr);
    std::fflush(stderr);
    ::_exit(status);
}

// Never returns: Xlib ends the process when it does.
int onLostConnection(Display*)
{
    g_lost = true;
    // Met again by the work itself: it touched the display after all, and only the end is left.
    if (t_inHandler)
        ::_exit(g_status);
    t_inHandler = true;
    if (std::this_thread::get_id() == g_uiThread) {
        if (g_ending.exchange(true))
            waitForTheEnd();
        endProcess(true);
    }
    // Another thread (the one that wakes the loop, or one that drew) met it first; the user-interface thread soon
    // meets it too, unless it waits for something this thread holds.
    for (const auto until = std::chrono::steady_clock::now() + kUiThreadWait; std::chrono::steady_clock::now() < until;
         std::this_thread::sleep_for(std::chrono::milliseconds(10)))
        if (g_ending)
            waitForTheEnd();
    if (g_ending.exchange(true))
        waitForTheEnd();
    endProcess(false);
}

} // namespace

void passErrorsOnClosedWindows()
{
    const XErrorHandler was = XSetErrorHandler(passClosedWindow);
    if (was != passClosedWindow)
        g_previous = was;
}

void whenDisplayIsLost(LostDisplayWork work, int status)
{
    const std::lock_guard hold(g_workMutex);
    g_work = std::move(work);
    g_status = status;
}

void catchLostDisplay()
{
    g_uiThread = std::this_thread::get_id();
    XSetIOErrorHandler(onLostConnection);
}

bool displayWasLost()
{
    return g_lost.load();
}

} // namespace pf
