#pragma once
// Records every dispatch (handle, message, wParam, lParam) while it lives, optionally only some windows or messages,
// and lets a test read the state a handler saw through a probe run at dispatch time.
#include "platform/ui/core/msg.h"

#include <functional>
#include <set>
#include <string>
#include <vector>

namespace pf {

struct SpiedMessage {
    Hwnd hwnd = kNoWindow;
    uint32_t message = 0;
    WParam wParam = 0;
    LParam lParam = 0;
    int32_t code = 0;      // WM_NOTIFY: the NMHDR code; WM_COMMAND: the notification code
    Hwnd from = kNoWindow; // the control that notified or scrolled, when there is one
    std::string note;      // what the probe read when the message arrived
};

class MessageSpy {
public:
    MessageSpy(); // starts recording on the current Ui
    ~MessageSpy();
    MessageSpy(const MessageSpy&) = delete;
    MessageSpy& operator=(const MessageSpy&) = delete;

    MessageSpy& onlyWindows(std::set<Hwnd> windows);
    MessageSpy& onlyMessages(std::set<uint32_t> messages);
    // Runs as each recorded message arrives, before its handler; its text lands in the record's note.
    MessageSpy& probe(std::function<std::string(const Msg&)> probe);

    const std::vector<SpiedMessage>& log() const { return m_log; }
    std::vector<uint32_t> messages() const;
    std::vector<int32_t> codes(uint32_t message) const; // WM_COMMAND or WM_NOTIFY codes in order
    size_t count(uint32_t message) const;
    void clear() { m_log.clear(); }
    std::string format() const; // one line per message: window, message, code, note

private:
    void record(const Msg& msg);

    std::set<Hwnd> m_windows;
    std::set<uint32_t> m_messages;
    std::function<std::string(const Msg&)> m_probe;
    std::vector<SpiedMessage> m_log;
};

std::string messageName(uint32_t message);

} // namespace pf
