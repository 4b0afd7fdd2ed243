#pragma once
// CVTND_ReportSink: how resource reports from any thread reach the person at the designer. Report never waits: it
// queues under its own lock and, when the queue was empty, posts one message to the main frame. The queue is shown
// on the user-interface thread, one box per drain, by the operation that caused the reports when it ends, else when
// the posted message arrives. Before the frame exists the reports wait in the queue.
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "engine/resources/resource_report.h"
#include "platform/base/hwnd.h"
#include "platform/base/user_constants.h"

namespace pf {
class Ui;
}

inline constexpr uint32_t kMsgDrainReports = pf::WM_USER + 300;

class CVTND_ReportSink final : public ResourceReportSink {
public:
    static constexpr size_t kTextsPerBox = 20;

    void Report(const ResourceReport& report) override;
    void Take(const KeptResourceReports& kept); // what was kept before the sink was installed
    // Where the message goes (the main frame on ui), or nowhere; a queue already waiting is announced now.
    void SetTarget(pf::Ui* ui, pf::Hwnd window);
    // The box's text and caption for what is queued, the queue emptied; false when it was empty.
    bool TakeBox(std::string& text, std::string& caption);
    void Drain(pf::Hwnd owner); // shows TakeBox's box, if any, through the message-box service
    size_t Pending() const;

private:
    mutable std::mutex m_lock; // guards everything below
    std::vector<ResourceReport> m_queue;
    size_t m_dropped = 0; // counted before the sink was installed, beyond what was kept
    pf::Ui* m_ui = nullptr;
    pf::Hwnd m_target = pf::kNoWindow;
};
