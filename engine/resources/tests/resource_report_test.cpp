#include "engine/resources/resource_report.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

class RecordingSink : public ResourceReportSink {
public:
    void Report(const ResourceReport& report) override { reports.push_back(report); } // under the report lock
    std::vector<ResourceReport> reports;
};

TEST(ResourceReports, ReportsFromFourThreadsAllReachTheSink)
{
    RecordingSink sink;
    SetResourceReportSink(&sink);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([t] {
            for (int i = 0; i < 250; ++i)
                ReportResource({"mesh " + std::to_string(t * 1000 + i), "Compression"});
        });
    for (std::thread& thread : threads)
        thread.join();
    SetResourceReportSink(nullptr);
    ASSERT_EQ(sink.reports.size(), 1000u);
    std::set<std::string> texts;
    for (const ResourceReport& report : sink.reports)
        texts.insert(report.text);
    EXPECT_EQ(texts.size(), 1000u);
    EXPECT_EQ(sink.reports.front().caption, "Compression");
}

TEST(ResourceReports, WithoutASinkTheFirst256AreKeptAndTheRestCounted)
{
    TakeKeptResourceReports();
    for (int i = 0; i < 300; ++i)
        ReportResource({std::to_string(i), "c"});
    const KeptResourceReports kept = TakeKeptResourceReports();
    ASSERT_EQ(kept.reports.size(), kMaxKeptResourceReports);
    EXPECT_EQ(kept.reports.front().text, "0");
    EXPECT_EQ(kept.reports.back().text, "255");
    EXPECT_EQ(kept.dropped, 44u);
    const KeptResourceReports again = TakeKeptResourceReports();
    EXPECT_TRUE(again.reports.empty());
    EXPECT_EQ(again.dropped, 0u);
}

} // namespace
