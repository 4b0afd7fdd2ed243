#pragma once
// Windows for tests: each records the messages it handles and runs an optional hook first.
#include "platform/base/user_constants.h"
#include "platform/ui/core/ui.h"
#include "platform/ui/core/window.h"

#include <algorithm>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace pf::test {

struct Event {
    Hwnd hwnd;
    uint32_t message;
    WParam wParam;
    LParam lParam;
};

// A log shared by the windows of one test, so the order across windows shows.
using EventLog = std::vector<Event>;

class TestWindow : public Window {
public:
    explicit TestWindow(EventLog* log = nullptr) : m_log(log) {}
    std::function<std::optional<LResult>(const Msg&)> hook; // a value answers the message instead of the base
    std::vector<uint32_t> seen;
    bool* deletedFlag = nullptr; // set in the destructor
    bool deleteInPostNcDestroy = false;

    ~TestWindow() override
    {
        if (deletedFlag != nullptr)
            *deletedFlag = true;
    }

    LResult handle(const Msg& msg) override
    {
        seen.push_back(msg.message);
        if (m_log != nullptr)
            m_log->push_back({msg.hwnd, msg.message, msg.wParam, msg.lParam});
        if (hook) {
            const Hwnd self = hwnd();
            const std::optional<LResult> answer = hook(msg);
            if (answer)
                return *answer;
            if (!ui().isWindow(self))
                return 0;
        }
        return Window::handle(msg);
    }

    size_t count(uint32_t message) const { return static_cast<size_t>(std::count(seen.begin(), seen.end(), message)); }

protected:
    void postNcDestroy() override
    {
        if (deleteInPostNcDestroy)
            delete this;
    }

private:
    EventLog* m_log;
};

inline CreateParams topLevel(const Rect& r, uint32_t style = WS_VISIBLE, Hwnd owner = kNoWindow)
{
    return {"window", "top", style, 0, r, owner, 0};
}

inline CreateParams childOf(const Window& parent, const Rect& r, int32_t id = 0, uint32_t style = WS_VISIBLE)
{
    return {"window", "", WS_CHILD | style, 0, r, parent.hwnd(), id};
}

} // namespace pf::test
