#pragma once
// SWdepthbuffer: the software renderer's depth values, larger = nearer, 0 = empty. It is never cleared as a whole:
// each frame marks every row, and a row's blocks are cleared the first time a triangle's columns reach them.
// The edge walk fills the span request and calls the chosen routine once per span; the routine answers whether
// any pixel was visible and leaves the run list (positive counts visible, negative hidden, in pixel order, a 0
// after the last run) for the span routines.
#include <cstdint>
#include <memory>
#include <optional>

class SWdepthbuffer {
public:
    enum class Routine : uint8_t { kTestAndWrite, kTestOnly, kTestNone };

    struct SpanRequest {
        float startDepth = 0.0f; // at the first pixel
        float step = 0.0f;       // per pixel
        int32_t firstPixel = 0;
        int32_t count = 0;
        int32_t row = 0;
    };

    SWdepthbuffer() = default;
    SWdepthbuffer(const SWdepthbuffer&) = delete;
    SWdepthbuffer& operator=(const SWdepthbuffer&) = delete;
    virtual ~SWdepthbuffer() = default;

    // Block shift: the pixel buffer's, so that a triangle's column mask names the same pixels in both buffers.
    // False, with the buffer empty, when the memory cannot be had; a side below 1 leaves it empty and answers true.
    bool SetSize(int32_t width, int32_t height, uint32_t blockShift);
    // This buffer becomes a second tester of owner's values: the same size, rows and lazy-clear marks (not owned:
    // owner outlives the use and is not resized meanwhile), with a span request, routine and run list of its own, so
    // that threads may test different rows at once. False, with the buffer empty, when the run list cannot be had.
    bool ShareValuesOf(SWdepthbuffer& owner);
    void MarkAllRows();                           // every block of every row is cleared before its next use
    void ClearBlocks(int32_t row, uint32_t mask); // values of the masked blocks to 0

    int32_t Width() const { return m_width; }
    int32_t Height() const { return m_height; }
    uint32_t BlockShift() const { return m_blockShift; }
    const int32_t* Row(int32_t y) const { return m_values + static_cast<int64_t>(y) * m_width; }
    int32_t* Row(int32_t y) { return m_values + static_cast<int64_t>(y) * m_width; }
    uint32_t ClearMask(int32_t y) const { return m_clearMasks[y]; }

    Routine GetRoutine() const { return m_routine; }
    void SetRoutine(Routine routine) { m_routine = routine; }
    SpanRequest& Span() { return m_span; }
    void SetColumnMask(uint32_t mask) { m_columnMask = mask; } // the blocks the current triangle covers
    const int32_t* RunList() const { return m_runs.get(); }    // width + 1 entries

    bool Test();         // the chosen routine
    bool TestAndWrite(); // stores the depth of visible pixels
    bool TestOnly();     // stores nothing
    bool TestNone();     // one visible run of the whole span

private:
    template <bool kWrite> bool TestSpan();
    // A span wholly visible (true, depths stored when kWrite) or wholly hidden (false); none: mixed, or saturating.
    template <bool kWrite> std::optional<bool> TestUniformSpan(int32_t* values, int32_t z, int32_t dz) const;
    bool SpanFits() const;
    bool ReserveRuns(int32_t width); // room for width + 1 entries, the first set to 0
    void Release();

    Routine m_routine = Routine::kTestAndWrite;
    SpanRequest m_span;
    std::unique_ptr<int32_t[]> m_runs; // width + 1: a row whose pixels alternate needs one entry per pixel
    int32_t m_runCapacity = 0;
    std::unique_ptr<int32_t[]> m_ownedValues;
    std::unique_ptr<uint32_t[]> m_ownedClearMasks;
    int32_t* m_values = nullptr;      // m_ownedValues, or the owner's when shared
    uint32_t* m_clearMasks = nullptr; // height + 1; m_ownedClearMasks, or the owner's when shared
    int32_t m_width = 0;
    int32_t m_height = 0;
    uint32_t m_blockShift = 0;
    uint32_t m_columnMask = ~0u;
};
