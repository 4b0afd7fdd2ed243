#include "designer/app/skipped_records.h"

#include "engine/core/type_tag.h"
#include "engine/resources/resource_report.h"

namespace {

constexpr const char* kInsideSkipped = "its parent was skipped";
constexpr size_t kMostNamed = 12; // a box names at most these; the rest are counted

} // namespace

std::string SkippedRecordsText(const std::string& path, const std::vector<SkippedRecord>& skipped)
{
    if (skipped.empty())
        return {};
    std::string lines;
    size_t named = 0;
    size_t unnamed = 0;
    size_t inside = 0;
    for (const SkippedRecord& record : skipped) {
        if (record.reason == kInsideSkipped) {
            ++inside;
        } else if (named == kMostNamed) {
            ++unnamed;
        } else {
            ++named;
            lines += "\nrecord " + std::to_string(record.index) + " \"" + TagText(record.tag) +
                     "\": " + (record.reason.empty() ? std::string("it does not read") : record.reason);
        }
    }
    const size_t count = skipped.size() - inside;
    std::string text = path + ": " + (count == 1 ? std::string("a record") : std::to_string(count) + " records") +
                       " could not be read and " + (count == 1 ? "was" : "were") + " left out:" + lines;
    if (unnamed != 0)
        text += "\nand " + std::to_string(unnamed) + " more";
    if (inside != 0)
        text += "\nwith " + std::to_string(inside) + (inside == 1 ? " record" : " records") + " inside them";
    return text;
}

void ReportSkippedRecords(const std::string& path, const std::vector<SkippedRecord>& skipped)
{
    if (!skipped.empty())
        ReportResource({SkippedRecordsText(path, skipped), "Damaged file"});
}
