#include "platform/testing/message_spy.h"

#include "platform/base/user_constants.h"
#include "platform/ui/core/ui.h"

#include <algorithm>
#include <cstdio>

namespace pf {

MessageSpy::MessageSpy()
{
    ui().addObserver(this, [this](const Msg& msg) { record(msg); });
}

MessageSpy::~MessageSpy()
{
    if (hasUi())
        ui().removeObserver(this);
}

MessageSpy& MessageSpy::onlyWindows(std::set<Hwnd> windows)
{
    m_windows = std::move(windows);
    return *this;
}

MessageSpy& MessageSpy::onlyMessages(std::set<uint32_t> messages)
{
    m_messages = std::move(messages);
    return *this;
}

MessageSpy& MessageSpy::probe(std::function<std::string(const Msg&)> probe)
{
    m_probe = std::move(probe);
    return *this;
}

void MessageSpy::record(const Msg& msg)
{
    if (!m_windows.empty() && m_windows.count(msg.hwnd) == 0)
        return;
    if (!m_messages.empty() && m_messages.count(msg.message) == 0)
        return;
    SpiedMessage entry{msg.hwnd, msg.message, msg.wParam, msg.lParam, 0, kNoWindow, {}};
    if (msg.message == WM_COMMAND || msg.message == WM_HSCROLL || msg.message == WM_VSCROLL)
        entry.from = static_cast<Hwnd>(msg.lParam);
    if (msg.message == WM_COMMAND)
        entry.code = static_cast<int16_t>(hiWord(msg.wParam));
    else if (msg.message == WM_NOTIFY && msg.lParam != 0) {
        entry.code = notifyRecord<NMHDR>(msg.lParam)->code;
        entry.from = notifyRecord<NMHDR>(msg.lParam)->hwndFrom;
    }
    if (m_probe)
        entry.note = m_probe(msg);
    m_log.push_back(std::move(entry));
}

std::vector<uint32_t> MessageSpy::messages() const
{
    std::vector<uint32_t> out;
    for (const SpiedMessage& m : m_log)
        out.push_back(m.message);
    return out;
}

std::vector<int32_t> MessageSpy::codes(uint32_t message) const
{
    std::vector<int32_t> out;
    for (const SpiedMessage& m : m_log)
        if (m.message == message)
            out.push_back(m.code);
    return out;
}

size_t MessageSpy::count(uint32_t message) const
{
    return static_cast<size_t>(
        std::count_if(m_log.begin(), m_log.end(), [message](const SpiedMessage& m) { return m.message == message; }));
}

std::string messageName(uint32_t message)
{
    switch (message) {
    case WM_CREATE:
        return "WM_CREATE";
    case WM_DESTROY:
        return "WM_DESTROY";
    case WM_MOVE:
        return "WM_MOVE";
    case WM_SIZE:
        return "WM_SIZE";
    case WM_ACTIVATE:
        return "WM_ACTIVATE";
    case WM_SETFOCUS:
        return "WM_SETFOCUS";
    case WM_KILLFOCUS:
        return "WM_KILLFOCUS";
    case WM_ENABLE:
        return "WM_ENABLE";
    case WM_SETTEXT:
        return "WM_SETTEXT";
    case WM_PAINT:
        return "WM_PAINT";
    case WM_ERASEBKGND:
        return "WM_ERASEBKGND";
    case WM_SHOWWINDOW:
        return "WM_SHOWWINDOW";
    case WM_SETCURSOR:
        return "WM_SETCURSOR";
    case WM_NOTIFY:
        return "WM_NOTIFY";
    case WM_NCDESTROY:
        return "WM_NCDESTROY";
    case WM_NCACTIVATE:
        return "WM_NCACTIVATE";
    case WM_KEYDOWN:
        return "WM_KEYDOWN";
    case WM_KEYUP:
        return "WM_KEYUP";
    case WM_CHAR:
        return "WM_CHAR";
    case WM_INITDIALOG:
        return "WM_INITDIALOG";
    case WM_COMMAND:
        return "WM_COMMAND";
    case WM_TIMER:
        return "WM_TIMER";
    case WM_HSCROLL:
        return "WM_HSCROLL";
    case WM_VSCROLL:
        return "WM_VSCROLL";
    case WM_CTLCOLORSTATIC:
        return "WM_CTLCOLORSTATIC";
    case WM_CTLCOLOREDIT:
        return "WM_CTLCOLOREDIT";
    case WM_CTLCOLORDLG:
        return "WM_CTLCOLORDLG";
    case WM_MOUSEMOVE:
        return "WM_MOUSEMOVE";
    case WM_LBUTTONDOWN:
        return "WM_LBUTTONDOWN";
    case WM_LBUTTONUP:
        return "WM_LBUTTONUP";
    case WM_LBUTTONDBLCLK:
        return "WM_LBUTTONDBLCLK";
    case WM_RBUTTONDOWN:
        return "WM_RBUTTONDOWN";
    case WM_RBUTTONUP:
        return "WM_RBUTTONUP";
    case WM_CAPTURECHANGED:
        return "WM_CAPTURECHANGED";
    default:
        break;
    }
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%04X", message);
    return buffer;
}

std::string MessageSpy::format() const
{
    std::string out;
    const auto name = [](Hwnd h) {
        const Window* w = ui().window(h);
        return w == nullptr ? std::string("(gone)") : w->className() + "#" + std::to_string(w->id());
    };
    for (const SpiedMessage& m : m_log) {
        const Hwnd from = m.from;
        char line[320];
        std::snprintf(line, sizeof line, "%-16s %-18s %-16s code %-5d %s\n", name(m.hwnd).c_str(),
                      messageName(m.message).c_str(), from != kNoWindow ? ("from " + name(from)).c_str() : "", m.code,
                      m.note.c_str());
        out += line;
    }
    return out;
}

} // namespace pf
