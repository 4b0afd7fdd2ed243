#include "designer/app/report_sink.h"

#include <algorithm>
#include <utility>

#include "platform/ui/core/ui.h"
#include "platform/ui/providers/providers.h"

void CVTND_ReportSink::Report(const ResourceReport& report)
{
    const std::lock_guard hold(m_lock);
    const bool wasEmpty = m_queue.empty() && m_dropped == 0;
    m_queue.push_back(report);
    if (wasEmpty && m_ui != nullptr && m_target != pf::kNoWindow)
        m_ui->post(m_target, kMsgDrainReports);
}

void CVTND_ReportSink::Take(const KeptResourceReports& kept)
{
    for (const ResourceReport& report : kept.reports)
        Report(report);
    const std::lock_guard hold(m_lock);
    m_dropped += kept.dropped;
}

void CVTND_ReportSink::SetTarget(pf::Ui* ui, pf::Hwnd window)
{
    const std::lock_guard hold(m_lock);
    m_ui = ui;
    m_target = window;
    if (m_ui != nullptr && m_target != pf::kNoWindow && (!m_queue.empty() || m_dropped != 0))
        m_ui->post(m_target, kMsgDrainReports);
}

bool CVTND_ReportSink::TakeBox(std::string& text, std::string& caption)
{
    std::vector<ResourceReport> queue;
    size_t dropped = 0;
    {
        const std::lock_guard hold(m_lock);
        queue.swap(m_queue);
        dropped = std::exchange(m_dropped, 0);
    }
    if (queue.empty() && dropped == 0)
        return false;
    caption = queue.empty() ? std::string("Vortan") : queue.front().caption;
    text.clear();
    const size_t shown = std::min(queue.size(), kTextsPerBox);
    for (size_t i = 0; i < shown; ++i) {
        if (i > 0)
            text += "\n";
        text += queue[i].text;
    }
    const size_t more = queue.size() - shown + dropped;
    if (more > 0)
        text.append(text.empty() ? "" : "\n").append("and ").append(std::to_string(more)).append(" more");
    return true;
}

void CVTND_ReportSink::Drain(pf::Hwnd owner)
{
    std::string text;
    std::string caption;
    if (TakeBox(text, caption))
        pf::messageBox(owner, text, caption, pf::MB_OK | pf::MB_ICONEXCLAMATION);
}

size_t CVTND_ReportSink::Pending() const
{
    const std::lock_guard hold(m_lock);
    return m_queue.size() + m_dropped;
}
