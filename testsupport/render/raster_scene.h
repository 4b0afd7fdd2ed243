#pragma once
// The fixed screen-space test scene of the rasteriser: a 4 x 4 grid of cells, each drawn from format records and
// vertices made by hand, so that every configured kind of pipeline, filter, blend and walk shows in one picture.
// The tool draws it for a person to look at; the tests compare its cells with references.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/resources/image32.h"
#include "render/format_record.h"
#include "render/software/raster_pipeline.h"
#include "testsupport/render/raster_host.h"

class SWrasteriser;

namespace testsupport {

// One run of triangles of one format record inside a cell.
struct RasterDraw {
    SWtexturestages format;
    std::vector<ScreenVertex> vertices; // three per triangle
    int expectedPipeline = -1;
};

struct RasterCell {
    std::string name;
    int column = 0;
    int row = 0;
    std::vector<RasterDraw> draws;
};

// What one draw did, as `vortan-render raster --list` prints it.
struct RasterDrawReport {
    std::string cell;
    int drawIndex = 0;
    int pipeline = -1;
    int expectedPipeline = -1;
    uint32_t blendMode = 0;
    const char* depthRoutine = "";
    const char* walk = "";
    uint64_t pixels = 0;
};

class RasterScene {
public:
    explicit RasterScene(int32_t size); // the buffer side; cells are size / 4 pixels wide

    const std::vector<RasterCell>& Cells() const { return m_cells; }
    const RasterCell* CellNamed(const std::string& name) const;
    int32_t CellSide() const { return m_cellSide; }
    const SWimage32& Checker() const { return *m_checker; }
    const SWtexture& Falloff() const { return *m_falloff; }

    // Draws every cell (or the one named) into the host's buffer, cleared to the background first.
    std::vector<RasterDrawReport> Draw(SWrasteriser& rasteriser, RasterTestHost& host,
                                       const std::string& onlyCell = "") const;

    static constexpr uint32_t kBackground = 0x202020;

private:
    void AddCells();
    RasterCell& NewCell(const std::string& name);
    ScreenVertex At(const RasterCell& cell, double fx, double fy) const; // fx, fy in [0, 1] of the cell

    int32_t m_cellSide;
    std::unique_ptr<SWimage32> m_checker; // 8 x 8 texels of two colours with a distinct alpha each
    std::unique_ptr<SWimage32> m_ramp;    // 16 x 16 colour ramp
    std::unique_ptr<SWimage32> m_normals; // 16 x 16 normal map
    std::unique_ptr<SWtexture> m_falloff;
    std::vector<RasterCell> m_cells;
};

} // namespace testsupport
