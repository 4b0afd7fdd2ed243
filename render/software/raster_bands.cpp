#include "render/software/raster_bands.h"

#include <algorithm>
#include <bit>
#include <limits>
#include <new>

#include "render/format_record.h"
#include "render/software/direct_draw.h"
#include "render/software/raster_pipeline.h"

namespace {

// Words 0, 1 and 3 (x, y and the reciprocal w) of all three corners finite: a float is not finite exactly when its
// exponent bits are all set. Tested without a branch a word, as binning asks it of every triangle of a draw.
bool AreFinite(const uint32_t* const (&corners)[3])
{
    constexpr uint32_t kExponent = 0x7f800000;
    bool isInfiniteOrNaN = false;
    for (const uint32_t* vertex : corners)
        isInfiniteOrNaN |= ((vertex[0] & kExponent) == kExponent) | ((vertex[1] & kExponent) == kExponent) |
                           ((vertex[3] & kExponent) == kExponent);
    return !isInfiniteOrNaN;
}

} // namespace

SWrasterrun SWrasterrun::OfRecord(const SWdirectdraw& record, int pipeline, bool depthTest, bool depthWrite)
{
    SWrasterrun run;
    run.format = record.format;
    run.pipeline = pipeline;
    run.depthTest = depthTest;
    run.depthWrite = depthWrite;
    run.words = record.vertices->Data();
    run.indices = record.indices->Data();
    run.stride = record.format->vertexStride;
    // The record's counts are claims: vertices must lie within the buffer, triangles within the indices.
    run.usableVertices =
        std::min<uint32_t>(static_cast<uint32_t>(record.vertexCount), record.vertices->WordCount() / run.stride);
    run.count = std::min<uint32_t>(static_cast<uint32_t>(record.triangleCount), record.indices->IndexCount() / 3);
    return run;
}

void SWrasterbands::Reset(int32_t height, int32_t bandRows, int chunks)
{
    m_runs.clear();
    m_listed.clear();
    m_works.clear();
    m_workParts = 0;
    m_total = 0;
    m_height = std::max(height, 1);
    m_bandRows = std::max(bandRows, 1);
    m_bandCount = static_cast<int>((m_height + m_bandRows - 1) / m_bandRows);
    m_bandScale = (uint64_t{1} << 32) / static_cast<uint64_t>(m_bandRows) + 1;
    m_chunks = std::max(chunks, 1);
    const size_t bins = static_cast<size_t>(m_chunks) * static_cast<size_t>(m_bandCount);
    if (m_bins.size() < bins)
        m_bins.resize(bins);
    for (std::vector<uint32_t>& bin : m_bins)
        bin.clear();
    m_skipped.assign(static_cast<size_t>(m_chunks), 0);
    m_chunkStarts.clear();
}

bool SWrasterbands::AddRun(const SWrasterrun& run)
{
    if (run.count > std::numeric_limits<uint32_t>::max() - m_total)
        return false;
    try {
        m_runs.push_back(run);
    } catch (const std::bad_alloc&) {
        return false;
    }
    m_runs.back().first = static_cast<uint32_t>(m_total);
    m_runs.back().firstListed = m_listed.size();
    m_total += run.count;
    return true;
}

bool SWrasterbands::AddListed(const uint32_t* firstVertex)
{
    if (m_runs.empty() || m_total == std::numeric_limits<uint32_t>::max())
        return false;
    try {
        m_listed.push_back(firstVertex);
    } catch (const std::bad_alloc&) {
        return false;
    }
    ++m_runs.back().count;
    ++m_total;
    return true;
}

bool SWrasterbands::AddWork(const SWvertexwork& work)
{
    const uint32_t parts = work.PartCount();
    if (parts == 0)
        return true;
    if (parts > std::numeric_limits<uint32_t>::max() - m_workParts)
        return false;
    try {
        m_works.push_back({&work, m_workParts});
    } catch (const std::bad_alloc&) {
        return false;
    }
    m_workParts += parts;
    if (!m_runs.empty())
        m_runs.back().work = &work;
    return true;
}

bool SWrasterbands::CutAtRuns(uint64_t least)
{
    std::vector<uint32_t> starts;
    try {
        uint64_t inChunk = 0;
        for (size_t r = 0; r < m_runs.size(); ++r) {
            if (inChunk == 0)
                starts.push_back(static_cast<uint32_t>(r));
            inChunk += m_runs[r].count;
            if (inChunk >= least)
                inChunk = 0;
        }
        const int chunks = static_cast<int>(starts.size());
        if (chunks < m_chunks || chunks > std::numeric_limits<int>::max() / std::max(m_bandCount, 1))
            return false;
        starts.push_back(static_cast<uint32_t>(m_runs.size()));
        const size_t bins = static_cast<size_t>(chunks) * static_cast<size_t>(m_bandCount);
        if (m_bins.size() < bins)
            m_bins.resize(bins);
        m_skipped.assign(static_cast<size_t>(chunks), 0);
        m_chunkStarts = std::move(starts);
        m_chunks = chunks;
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

void SWrasterbands::RunWorkPart(uint32_t part) const
{
    const auto w = std::upper_bound(m_works.begin(), m_works.end(), part,
                                    [](uint32_t p, const Work& w) { return p < w.firstPart; }) -
                   1;
    w->work->RunPart(part - w->firstPart);
}

// Under every band the walk's rows reach; a triangle that covers no row's centre still goes to the band of its home
// row, where the pipeline counts it as one lane would. Worked inline in the binning loop: most triangles of a large
// draw are small and go to one band.
inline void SWrasterbands::File(std::vector<uint32_t>* bins, uint32_t triangle, const uint32_t* const (&corners)[3])
{
    const float y0 = std::bit_cast<float>(corners[0][1]);
    const float y1 = std::bit_cast<float>(corners[1][1]);
    const float y2 = std::bit_cast<float>(corners[2][1]);
    const SWrasterrows rows = RowsCovered(std::min({y0, y1, y2}), std::max({y0, y1, y2}), m_height);
    const int first = BandOf(rows.first < rows.end ? rows.first : rows.Home(m_height));
    const int last = rows.first < rows.end ? BandOf(rows.end - 1) : first;
    bins[first].push_back(triangle);
    for (int band = first + 1; band <= last; ++band)
        bins[band].push_back(triangle);
}

bool SWrasterbands::Bin(int chunk)
{
    uint64_t begin = m_total * static_cast<uint64_t>(chunk) / static_cast<uint64_t>(m_chunks);
    uint64_t end = m_total * static_cast<uint64_t>(chunk + 1) / static_cast<uint64_t>(m_chunks);
    if (!m_chunkStarts.empty()) {
        const size_t firstRun = m_chunkStarts[static_cast<size_t>(chunk)];
        const size_t endRun = m_chunkStarts[static_cast<size_t>(chunk) + 1];
        for (size_t r = firstRun; r < endRun; ++r) {
            if (const SWvertexwork* work = m_runs[r].work; work != nullptr) {
                for (uint32_t part = 0; part < work->PartCount(); ++part)
                    work->RunPart(part);
            }
        }
        begin = m_runs[firstRun].first;
        end = endRun < m_runs.size() ? m_runs[endRun].first : m_total;
    }
    if (begin >= end)
        return true;
    // The run that holds the chunk's first triangle: the last one that starts at or before it.
    auto r = std::upper_bound(m_runs.begin(), m_runs.end(), begin,
                              [](uint64_t t, const SWrasterrun& run) { return t < run.first; }) -
             1;
    uint64_t skipped = 0;
    std::vector<uint32_t>* const bins = &m_bins[static_cast<size_t>(chunk) * m_bandCount];
    try {
        for (uint64_t t = begin; t < end;) {
            while (t - r->first >= r->count)
                ++r;
            const SWrasterrun& run = *r;
            const uint64_t runEnd = std::min<uint64_t>(end, uint64_t{run.first} + run.count);
            for (; t < runEnd; ++t) {
                const uint32_t* corners[3];
                if (!Corners(run, static_cast<uint32_t>(t - run.first), corners) || !AreFinite(corners)) {
                    ++skipped;
                    continue;
                }
                File(bins, static_cast<uint32_t>(t), corners);
            }
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    m_skipped[static_cast<size_t>(chunk)] = skipped;
    return true;
}

size_t SWrasterbands::BandTriangles(int band) const
{
    size_t triangles = 0;
    for (int chunk = 0; chunk < m_chunks; ++chunk)
        triangles += m_bins[static_cast<size_t>(chunk) * m_bandCount + band].size();
    return triangles;
}

size_t SWrasterbands::Bytes() const
{
    size_t bytes = m_runs.capacity() * sizeof(SWrasterrun) + m_listed.capacity() * sizeof(const uint32_t*) +
                   m_bins.capacity() * sizeof(std::vector<uint32_t>);
    for (const std::vector<uint32_t>& bin : m_bins)
        bytes += bin.capacity() * sizeof(uint32_t);
    return bytes;
}
