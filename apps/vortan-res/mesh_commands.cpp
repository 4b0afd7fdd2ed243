// vortan-res mesh IN.off: the OFF mesh through an array-block chain into a mesh object, normals and bounds
// computed as loading does, and what came of it: counts, dropped polygons, faces without area, the bounds (checked
// against a plain pass over the file's positions), the geometry stamp and the time taken.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "apps/vortan-res/command_table.h"
#include "engine/resources/array_block.h"
#include "engine/resources/mesh_object.h"
#include "testsupport/mesh/off_file.h"
#include "testsupport/mesh/polygon_chain.h"
#include "testsupport/tools/tool_input.h"

namespace {

bool BoundsExact(const SWbbox& box, const std::vector<float>& positions)
{
    float lo[3], hi[3];
    std::fill(lo, lo + 3, std::numeric_limits<float>::infinity());
    std::fill(hi, hi + 3, -std::numeric_limits<float>::infinity());
    for (size_t i = 0; i < positions.size(); ++i) {
        lo[i % 3] = std::min(lo[i % 3], positions[i]);
        hi[i % 3] = std::max(hi[i % 3], positions[i]);
    }
    const auto& e = box.Extents();
    for (int axis = 0; axis < 3; ++axis)
        if (e[2 * axis] != lo[axis] || e[2 * axis + 1] != hi[axis])
            return false;
    return true;
}

int RunMesh(std::span<char* const> args)
{
    if (args.size() != 1)
        return ReportToolError(kExitUsage, "usage: vortan-res mesh IN.off");
    std::string error;
    const std::optional<meshtest::OffMesh> off = tooltest::ReadOffInput(args[0], error);
    if (!off)
        return ReportToolError(kExitRefused, error);

    const auto start = std::chrono::steady_clock::now();
    SWmeshobject mesh;
    mesh.SetFilling(true);
    mesh.SetVertices(std::vector<float>(off->positions));
    const std::unique_ptr<SWarrayblock> chain = meshtest::PolygonChainOf(*off);
    const SWpolygonbuild built = mesh.BuildPolygonIndices(chain.get());
    mesh.SetFilling(false);
    mesh.Prepare();
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();

    uint32_t degenerate = 0;
    bool finite = true;
    for (uint32_t i = 0; i < mesh.GetPolygonCount(); ++i) {
        float n[3];
        mesh.GetFaceNormal(i, n);
        finite = finite && std::isfinite(n[0]) && std::isfinite(n[1]) && std::isfinite(n[2]);
        degenerate += n[0] == 0.0f && n[1] == 0.0f && n[2] == 0.0f;
    }
    uint32_t zeroKeys = 0;
    for (uint32_t i = 0; i < 3 * mesh.GetCornerKeyCount(); i += 3) {
        const float* n = mesh.GetNormals() + i;
        finite = finite && std::isfinite(n[0]) && std::isfinite(n[1]) && std::isfinite(n[2]);
        zeroKeys += n[0] == 0.0f && n[1] == 0.0f && n[2] == 0.0f;
    }
    const SWbbox* box = mesh.GetBoundingBox();
    std::printf("vertices=%u polygons=%u triangles=%u corner_keys=%u dropped=%u dropped_short=%u "
                "dropped_out_of_range=%u degenerate=%u zero_key_normals=%u finite=%d loaded=%d\n",
                mesh.GetVertexCount(), built.polygons, built.triangles, mesh.GetCornerKeyCount(), built.Dropped(),
                built.droppedShort, built.droppedOutOfRange, degenerate, zeroKeys, finite ? 1 : 0,
                mesh.IsLoaded() ? 1 : 0);
    if (box != nullptr) {
        const auto& e = box->Extents();
        std::printf("bbox=%.9g,%.9g,%.9g,%.9g,%.9g,%.9g bounds_exact=%d\n", e[0], e[1], e[2], e[3], e[4], e[5],
                    BoundsExact(*box, off->positions) ? 1 : 0);
    }
    std::printf("stamp=%u ms=%.3f\n", mesh.GetGeometryStamp(), ms);
    return finite ? kExitDone : kExitFailed;
}

const bool kRegistered = RegisterResToolCommand({"mesh", "", "IN.off", &RunMesh});

} // namespace
