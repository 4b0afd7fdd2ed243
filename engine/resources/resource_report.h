#pragma once
// One route for every failure a resource meets where the user should hear of it (a damaged record, a mesh that
// could not be compressed, a sound stored raw instead). Resources show no windows: the host installs a sink that
// decides how a report reaches a person (the designer's message-box queue, a tool's stderr, a test's list).
//
// Reports come from any thread. Calls are serialised under one lock, so a sink sees one report at a time and must
// not wait for another thread that reports. Without a sink the first kMaxKeptReports are kept, and the rest counted.
#include <cstddef>
#include <string>
#include <vector>

struct ResourceReport {
    std::string text;    // what the message box would say
    std::string caption; // its title
    bool operator==(const ResourceReport&) const = default;
};

class ResourceReportSink {
public:
    virtual ~ResourceReportSink() = default;
    virtual void Report(const ResourceReport& report) = 0; // called under the report lock
};

inline constexpr size_t kMaxKeptResourceReports = 256;

void ReportResource(const ResourceReport& report);
void SetResourceReportSink(ResourceReportSink* sink); // not owned, must outlive its installation; null uninstalls

struct KeptResourceReports {
    std::vector<ResourceReport> reports; // the first kMaxKeptResourceReports, in order
    size_t dropped = 0;                  // how many came after the list was full
};
KeptResourceReports TakeKeptResourceReports(); // hands them over and starts a new list
