#pragma once
// SWspanwriter: the span buffer of a pipeline. The edge walk hands it visible runs with their weights; it cuts them
// into records of at most kMostSpanPixels pixels and, whenever its kRecords records are full, ends the list and
// hands it to the stages. Finish hands over what is pending, and nothing when no record is.
#include <cstdint>

#include "render/software/span_stage.h"

// Barycentric weights of vertices 1 and 2 at a run's first pixel centre, and their change per pixel, in units of 1.
struct SWweightline {
    double s = 0.0;
    double t = 0.0;
    double ds = 0.0;
    double dt = 0.0;
};

class SWspanwriter {
public:
    static constexpr int kRecords = 128;
    using Flush = void (*)(void* context, const SWspan* spans); // spans ends with a record whose pixels are null

    SWspanwriter(Flush flush, void* context) : m_flush(flush), m_context(context) {}
    SWspanwriter(const SWspanwriter&) = delete;
    SWspanwriter& operator=(const SWspanwriter&) = delete;

    void AddRun(uint32_t* pixels, int32_t count, const SWweightline& weights);
    void Finish();

    int PendingCount() const { return m_count; }
    uint64_t RecordsWritten() const { return m_recordsWritten; }

    // The packed span words: s at 2^15 and t at 2^31 scale, each saturated so that 1.0 stays 32767/32768 instead of
    // turning into -1.0.
    static uint32_t PackWeights(double s, double t);

private:
    void HandOver();

    SWspan m_records[kRecords + 1];
    int m_count = 0;
    uint64_t m_recordsWritten = 0;
    Flush m_flush;
    void* m_context; // not owned: the pipeline that owns this writer
};
