#pragma once
// SWrasterbands: one draw's triangles filed under horizontal bands of the target, so that several lanes can draw
// different bands at once and still give the picture of one lane drawing everything in frame order.
//
// The runs are listed in frame order by one thread; Bin then files chunk c of the triangles (as many chunks as
// lanes, or chunks of whole runs, each taken by whichever lane comes first) under every band that the triangle's
// rows reach. A band hands its
// triangles out chunk after chunk, so in frame order: pixels where triangles overlap see them in the order one lane
// would, which is what blending and the depth test's "first one drawn stays" rule need. Bins keep their memory between
// draws.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "render/format_record.h"

class SWvertexwork;
struct SWdirectdraw;
struct SWtexturestages;

// One run of triangles of one format record: an indexed record's triangles, or queue nodes that follow each other.
struct SWrasterrun {
    const SWtexturestages* format = nullptr; // not owned: lives for the draw
    int pipeline = -1;
    bool depthTest = false;
    bool depthWrite = false;
    uint32_t count = 0;              // triangles
    uint32_t first = 0;              // the draw's number of the run's first triangle
    const uint32_t* words = nullptr; // an indexed record's vertex words (not owned)
    const uint16_t* indices = nullptr;
    uint32_t stride = 0;                // words per vertex
    uint32_t usableVertices = 0;        // vertices that lie wholly within the buffer
    size_t firstListed = 0;             // queue runs: where the run's first vertices are listed
    const SWvertexwork* work = nullptr; // an indexed record's vertex work, when it has one (not owned)

    // An indexed record's run: its triangles and buffers as far as the buffers really hold them.
    static SWrasterrun OfRecord(const SWdirectdraw& record, int pipeline, bool depthTest, bool depthWrite);
    // Triangle i of an indexed run; false when an index is past the usable vertices.
    bool IndexedCorners(uint32_t i, const uint32_t* (&out)[3]) const;
};

class SWrasterbands {
public:
    // Empties the runs and bins for a target of height rows cut into bands of bandRows, binned in chunks pieces.
    void Reset(int32_t height, int32_t bandRows, int chunks);
    // Runs in frame order; a queue run is opened with no triangles and then given its triangles' first vertices.
    // False when the draw holds more triangles than bands can number or memory ran out: nothing was added.
    bool AddRun(const SWrasterrun& run);
    bool AddListed(const uint32_t* firstVertex); // to the last run, a queue run
    uint64_t TriangleCount() const { return m_total; }
    // The vertex work of a run's record: its parts are numbered after those of the works added before.
    bool AddWork(const SWvertexwork& work);
    // Parts left to hand out before binning: none once the chunks are cut at runs, as each chunk runs its runs' work.
    uint32_t WorkParts() const { return m_chunkStarts.empty() ? m_workParts : 0; }
    void RunWorkPart(uint32_t part) const; // safe to call for different parts at once

    // Fewer chunks than Reset was given, at least one; before any is binned.
    void LimitChunks(int chunks) { m_chunks = std::clamp(chunks, 1, m_chunks); }
    int Chunks() const { return m_chunks; }
    // Chunks cut between runs, each of at least `least` triangles or the draw's last runs, when that gives at least
    // as many chunks as there are now: a chunk's lane then runs the vertex work of its runs and bins their triangles
    // while the vertices are still in its cache. Before any is binned; false when it kept the chunks as they were.
    bool CutAtRuns(uint64_t least);
    // Files chunk `chunk` of the triangles; a triangle with an index past its buffer or a vertex that is not finite
    // is left out and counted. Safe to call for different chunks at once. False when memory ran out.
    bool Bin(int chunk);
    uint64_t Skipped(int chunk) const { return m_skipped[static_cast<size_t>(chunk)]; }

    int BandCount() const { return m_bandCount; }
    size_t BandTriangles(int band) const; // filed under the band, every chunk's
    size_t BinTriangles(int chunk, int band) const
    {
        return m_bins[static_cast<size_t>(chunk) * m_bandCount + band].size();
    }
    size_t Bytes() const; // kept for the next draws: the runs, listed vertices and bins
    int32_t BandRows() const { return m_bandRows; }
    int32_t Height() const { return m_height; }
    // draw(run, corners) for every triangle filed under the band, in frame order.
    template <typename Draw> void ForEachInBand(int band, Draw&& draw) const;

private:
    bool Corners(const SWrasterrun& run, uint32_t i, const uint32_t* (&out)[3]) const;
    void File(std::vector<uint32_t>* bins, uint32_t triangle, const uint32_t* const (&corners)[3]); // chunk's bins
    // row / band rows without a division: exact for rows and band heights below 2^16, as targets' sides are.
    int BandOf(int32_t row) const
    {
        return static_cast<int>((uint64_t{static_cast<uint32_t>(row)} * m_bandScale) >> 32);
    }

    struct Work {
        const SWvertexwork* work;
        uint32_t firstPart;
    };

    std::vector<SWrasterrun> m_runs;
    std::vector<const uint32_t*> m_listed;
    std::vector<Work> m_works;
    uint32_t m_workParts = 0;
    std::vector<std::vector<uint32_t>> m_bins; // chunk-major: chunk x band count + band
    std::vector<uint64_t> m_skipped;           // per chunk
    std::vector<uint32_t> m_chunkStarts;       // cut at runs: each chunk's first run, then the run count
    uint64_t m_total = 0;
    int32_t m_height = 0;
    int32_t m_bandRows = 1;
    uint64_t m_bandScale = 0; // 2^32 / band rows, rounded up
    int m_bandCount = 0;
    int m_chunks = 1;
};

inline bool SWrasterrun::IndexedCorners(uint32_t i, const uint32_t* (&out)[3]) const
{
    const uint16_t* corner = indices + 3 * size_t{i};
    if (corner[0] >= usableVertices || corner[1] >= usableVertices || corner[2] >= usableVertices)
        return false;
    for (int c = 0; c < 3; ++c)
        out[c] = words + size_t{corner[c]} * stride;
    return true;
}

inline bool SWrasterbands::Corners(const SWrasterrun& run, uint32_t i, const uint32_t* (&out)[3]) const
{
    if (run.indices != nullptr)
        return run.IndexedCorners(i, out);
    const uint32_t* first = m_listed[run.firstListed + i];
    for (int c = 0; c < 3; ++c)
        out[c] = first + static_cast<size_t>(c) * run.format->vertexStride;
    return true;
}

template <typename Draw> void SWrasterbands::ForEachInBand(int band, Draw&& draw) const
{
    size_t r = 0;
    for (int chunk = 0; chunk < m_chunks; ++chunk) {
        for (const uint32_t triangle : m_bins[static_cast<size_t>(chunk) * m_bandCount + band]) {
            while (triangle - m_runs[r].first >= m_runs[r].count)
                ++r;
            const SWrasterrun& run = m_runs[r];
            const uint32_t* corners[3];
            if (Corners(run, triangle - run.first, corners))
                draw(run, corners);
        }
    }
}
