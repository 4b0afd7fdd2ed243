#include "engine/resources/resource_report.h"

#include <mutex>
#include <new>
#include <utility>

namespace {

struct ReportState {
    std::mutex mutex;
    ResourceReportSink* sink = nullptr; // the host's
    KeptResourceReports kept;
};

ReportState& State()
{
    static ReportState state;
    return state;
}

} // namespace

void ReportResource(const ResourceReport& report)
{
    ReportState& state = State();
    const std::lock_guard<std::mutex> lock(state.mutex);
    if (state.sink != nullptr) {
        state.sink->Report(report);
        return;
    }
    if (state.kept.reports.size() < kMaxKeptResourceReports) {
        try {
            state.kept.reports.push_back(report);
            return;
        } catch (const std::bad_alloc&) {
            // counted below: a report lost to memory is still a report
        }
    }
    ++state.kept.dropped;
}

void SetResourceReportSink(ResourceReportSink* sink)
{
    ReportState& state = State();
    const std::lock_guard<std::mutex> lock(state.mutex);
    state.sink = sink;
}

KeptResourceReports TakeKeptResourceReports()
{
    ReportState& state = State();
    const std::lock_guard<std::mutex> lock(state.mutex);
    return std::exchange(state.kept, KeptResourceReports{});
}
