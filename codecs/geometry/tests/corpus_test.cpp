// Every mesh of the public corpus (fetched by scripts/fetch-test-data; skipped when absent, except in CI where
// its absence fails) through the whole
// codec at position bits 10, 14 and 18: connectivity exact through the maps, every position within e/(2S) plus
// 1e-6 e per axis, and a second encoding byte for byte the same.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>

#include "codecs/geometry/geometry_codec.h"
#include "codecs/geometry/px_result.h"
#include "codecs/geometry/quantisation.h"
#include "testsupport/mesh/connectivity_check.h"
#include "testsupport/mesh/face_set.h"
#include "testsupport/mesh/mesh_corpus.h"
#include "testsupport/mesh/off_file.h"

namespace {

std::vector<std::vector<uint8_t>> Streams(const px::PXStreamSet& set)
{
    std::vector<std::vector<uint8_t>> out;
    for (uint32_t slot = 0; slot < px::PXStreamSet::kSlotCount; ++slot) {
        const px::PXStream* stream = set.GetSlot(slot);
        out.emplace_back(stream ? std::vector<uint8_t>(stream->Bytes().begin(), stream->Bytes().end())
                                : std::vector<uint8_t>());
    }
    return out;
}

// Empty when the mesh passes at this width.
std::string CheckMesh(const meshtest::OffMesh& mesh, uint32_t bits)
{
    px::PXModel model;
    if (model.SetLists({meshtest::FaceSetOf(mesh)}) != px::PX_OK)
        return "SetLists";
    model.SetParam(px::kParamPositionBits, bits);
    px::PXStreamSet streams;
    px::PXReorderMaps maps;
    const int result = px::CompressModel(model, streams, &maps);
    if (result != px::PX_OK)
        return "CompressModel " + std::to_string(result);
    px::PXStreamSet again;
    if (px::CompressModel(model, again, nullptr) != px::PX_OK || Streams(again) != Streams(streams))
        return "a second encoding differs";
    px::PXModel decoded;
    if (px::DecompressModel(streams, decoded) != px::PX_OK || decoded.Count() != 1)
        return "DecompressModel";
    const px::PXIndexedFaceSet& out = decoded.Lists()[0];
    const px::ObjectMaps& map = maps.objects[0];
    const std::string problem = meshtest::CheckConnectivity(mesh.coordIndex, out.coordIndex, out.PositionCount(),
                                                            {map.vertexMap, map.faceMap, map.cornerMap});
    if (!problem.empty())
        return problem;
    float lo[3] = {INFINITY, INFINITY, INFINITY}, hi[3] = {-INFINITY, -INFINITY, -INFINITY};
    for (const uint32_t v : map.vertexMap)
        for (int axis = 0; axis < 3; ++axis) {
            lo[axis] = std::min(lo[axis], mesh.positions[3 * v + axis]);
            hi[axis] = std::max(hi[axis], mesh.positions[3 * v + axis]);
        }
    const double e = std::max({hi[0] - lo[0], hi[1] - lo[1], hi[2] - lo[2]});
    const double bound = e / (2.0 * static_cast<double>(px::QuantisationScale(bits, 10))) + 1e-6 * e;
    for (uint32_t v = 0; v < out.PositionCount(); ++v)
        for (int axis = 0; axis < 3; ++axis)
            if (std::fabs(out.coord[3 * v + axis] - mesh.positions[3 * map.vertexMap[v] + axis]) > bound)
                return "vertex " + std::to_string(v) + " beyond the error bound";
    return {};
}

TEST(GeometryCodecCorpus, EveryMeshAtPositionBits10And14And18)
{
    const std::vector<std::filesystem::path> meshes = meshtest::MeshCorpusFiles();
    if (meshes.empty()) {
        if (meshtest::IsCiRun())
            FAIL() << "mesh corpus absent from " << meshtest::MeshCorpusFolder() << " in a CI run";
        GTEST_SKIP() << "mesh corpus absent: run scripts/fetch-test-data";
    }
    std::atomic<size_t> next{0};
    std::mutex lock;
    std::vector<std::string> failures;
    const auto work = [&] {
        for (size_t i; (i = next++) < meshes.size();) {
            const std::optional<meshtest::OffMesh> mesh = meshtest::ReadOffFile(meshes[i].string());
            for (const uint32_t bits : {10u, 14u, 18u}) {
                const std::string problem = mesh ? CheckMesh(*mesh, bits) : "unreadable";
                if (!problem.empty()) {
                    const std::lock_guard guard(lock);
                    failures.push_back(meshes[i].filename().string() + " at " + std::to_string(bits) + ": " + problem);
                }
            }
        }
    };
    std::vector<std::thread> threads(std::max(2u, std::thread::hardware_concurrency()));
    for (std::thread& thread : threads)
        thread = std::thread(work);
    for (std::thread& thread : threads)
        thread.join();
    for (const std::string& failure : failures)
        ADD_FAILURE() << failure;
    RecordProperty("meshes", static_cast<int>(meshes.size()));
}

} // namespace
