// vortan-codec mesh ...: the geometry codec from the command line, on OFF meshes.
//   mesh topo IN.off [--timeout-ms N] [--save-stream OUT]: connectivity alone through the codec, checked through
//   the reorder maps; --save-stream keeps the topology stream (the seeds of the topology fuzz target come from it).
//   mesh encode IN.off OUT.px [--pos-bits N] [--tex-bits M]: the whole codec into a stream-set file.
//   mesh decode IN.px OUT.off: back to a mesh.
//   mesh roundtrip IN.off [--pos-bits N]: sizes, position errors through the vertex map, map consistency.
// A stream-set file: "PXST", u32 version 1, u32 mask of the slots present (bit i: slot i), then for each present
// slot in order u32 length and the stream's bytes; integers little-endian.
#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "apps/vortan-codec/command_table.h"
#include "codecs/geometry/connectivity_codec.h"
#include "codecs/geometry/geometry_codec.h"
#include "codecs/geometry/px_result.h"
#include "platform/base/endian.h"
#include "testsupport/mesh/connectivity_check.h"
#include "testsupport/mesh/off_file.h"

namespace {

constexpr uint32_t kDefaultTimeoutMs = 60000;

// Ends the process with a TIMEOUT line if the work is not done in time, so the command ends on any input.
class Watchdog {
public:
    explicit Watchdog(uint32_t timeoutMs)
        : m_thread([this, timeoutMs] {
              std::unique_lock lock(m_mutex);
              if (!m_done.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return m_finished; })) {
                  std::printf("TIMEOUT after %u ms\n", timeoutMs);
                  std::fflush(stdout);
                  std::_Exit(4);
              }
          })
    {
    }
    ~Watchdog()
    {
        {
            std::lock_guard lock(m_mutex);
            m_finished = true;
        }
        m_done.notify_all();
        m_thread.join();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_done;
    bool m_finished = false;
    std::thread m_thread;
};

struct TopoOptions {
    uint32_t timeoutMs = kDefaultTimeoutMs;
    const char* saveStream = nullptr;
};

bool ParseTopoOptions(std::span<char* const> args, size_t first, TopoOptions& out)
{
    for (size_t i = first; i < args.size(); ++i) {
        if (i + 1 >= args.size())
            return false;
        if (std::strcmp(args[i], "--save-stream") == 0) {
            out.saveStream = args[++i];
            continue;
        }
        if (std::strcmp(args[i], "--timeout-ms") != 0)
            return false;
        const char* text = args[++i];
        const auto [end, error] = std::from_chars(text, text + std::strlen(text), out.timeoutMs);
        if (error != std::errc() || *end != '\0' || out.timeoutMs == 0)
            return false;
    }
    return true;
}

bool SaveBytes(const char* path, const std::vector<uint8_t>& bytes)
{
    std::FILE* file = std::fopen(path, "wb");
    if (!file)
        return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

uint64_t TriangleCount(const meshtest::OffMesh& mesh)
{
    uint64_t triangles = 0;
    uint64_t sides = 0;
    for (const int32_t index : mesh.coordIndex) {
        if (index >= 0) {
            ++sides;
            continue;
        }
        triangles += sides >= 3 ? sides - 2 : 0;
        sides = 0;
    }
    return triangles + (sides >= 3 ? sides - 2 : 0);
}

int RunTopo(std::span<char* const> args)
{
    TopoOptions options;
    if (args.empty() || !ParseTopoOptions(args, 1, options)) {
        std::fprintf(stderr, "usage: vortan-codec mesh topo IN.off [--timeout-ms N] [--save-stream OUT]\n");
        return 2;
    }
    const Watchdog watchdog(options.timeoutMs);
    const auto started = std::chrono::steady_clock::now();
    std::string error;
    const std::optional<meshtest::OffMesh> mesh = meshtest::ReadOffFile(args[0], &error);
    if (!mesh) {
        std::printf("FAIL cannot read %s: %s\n", args[0], error.c_str());
        return 1;
    }
    const px::ConnectivityInput input{mesh->coordIndex, mesh->VertexCount()};
    std::vector<uint8_t> stream;
    std::vector<px::ObjectMaps> maps;
    const int encoded = px::EncodeConnectivity({&input, 1}, stream, maps);
    std::vector<px::DecodedConnectivity> decoded;
    const int decodedResult = encoded == px::PX_OK ? px::DecodeConnectivity(stream, decoded) : encoded;
    if (options.saveStream && encoded == px::PX_OK && !SaveBytes(options.saveStream, stream))
        std::fprintf(stderr, "cannot write %s\n", options.saveStream);
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count();
    const uint64_t triangles = TriangleCount(*mesh);
    const double bitsPerTriangle = triangles ? 8.0 * stream.size() / static_cast<double>(triangles) : 0.0;
    std::printf("vertices %u faces %u bytes %zu bits/triangle %.3f ", mesh->VertexCount(), mesh->FaceCount(),
                stream.size(), bitsPerTriangle);
    if (encoded == px::PXERR_INVALIDGEOMETRY) {
        std::printf("REFUSED code %d (%s) ms %.1f\n", encoded, px::PXResultName(encoded), ms);
        return 3;
    }
    if (encoded != px::PX_OK || decodedResult != px::PX_OK || decoded.size() != 1) {
        std::printf("FAIL encode %d decode %d ms %.1f\n", encoded, decodedResult, ms);
        return 1;
    }
    const std::string problem =
        meshtest::CheckConnectivity(mesh->coordIndex, decoded[0].coordIndex, decoded[0].vertexCount,
                                    {maps[0].vertexMap, maps[0].faceMap, maps[0].cornerMap});
    if (!problem.empty()) {
        std::printf("FAIL %s ms %.1f\n", problem.c_str(), ms);
        return 1;
    }
    std::printf("PASS ms %.1f\n", ms);
    return 0;
}

// ---- encode, decode, roundtrip ----

struct CodecOptions {
    uint32_t positionBits = 10;
    uint32_t texCoordBits = 8;
    std::vector<const char*> paths;
};

bool ParseUnsigned(const char* text, uint32_t& out)
{
    const auto [end, error] = std::from_chars(text, text + std::strlen(text), out);
    return error == std::errc() && *end == '\0';
}

bool ParseCodecOptions(std::span<char* const> args, CodecOptions& out)
{
    for (size_t i = 0; i < args.size(); ++i) {
        if (std::strcmp(args[i], "--pos-bits") == 0 || std::strcmp(args[i], "--tex-bits") == 0) {
            if (i + 1 >= args.size())
                return false;
            uint32_t& target = args[i][2] == 'p' ? out.positionBits : out.texCoordBits;
            if (!ParseUnsigned(args[++i], target))
                return false;
        } else {
            out.paths.push_back(args[i]);
        }
    }
    return true;
}

px::PXIndexedFaceSet FaceSetOf(const meshtest::OffMesh& mesh)
{
    px::PXIndexedFaceSet set;
    set.coord = mesh.positions;
    set.coordIndex = mesh.coordIndex;
    return set;
}

int Compress(const meshtest::OffMesh& mesh, const CodecOptions& options, px::PXStreamSet& streams,
             px::PXReorderMaps* maps)
{
    px::PXModel model;
    if (model.SetLists({FaceSetOf(mesh)}) != px::PX_OK)
        return px::PXERR_OUTOFMEMORY;
    model.SetParam(px::kParamPositionBits, options.positionBits);
    model.SetParam(px::kParamTexCoordBits, options.texCoordBits);
    return px::CompressModel(model, streams, maps);
}

std::vector<uint8_t> StreamSetFile(const px::PXStreamSet& streams)
{
    std::vector<uint8_t> file = {'P', 'X', 'S', 'T', 0, 0, 0, 0, 0, 0, 0, 0};
    pf::storeU32le(&file[4], 1);
    uint32_t mask = 0;
    for (uint32_t slot = 0; slot < px::PXStreamSet::kSlotCount; ++slot) {
        const px::PXStream* stream = streams.GetSlot(slot);
        if (!stream)
            continue;
        mask |= 1u << slot;
        uint8_t length[4];
        pf::storeU32le(length, stream->GetLength());
        file.insert(file.end(), length, length + 4);
        file.insert(file.end(), stream->Bytes().begin(), stream->Bytes().end());
    }
    pf::storeU32le(&file[8], mask);
    return file;
}

// Every length is checked against what the file still holds.
bool ReadStreamSetFile(const std::vector<uint8_t>& file, px::PXStreamSet& out)
{
    if (file.size() < 12 || std::memcmp(file.data(), "PXST", 4) != 0 || pf::loadU32le(&file[4]) != 1)
        return false;
    const uint32_t mask = pf::loadU32le(&file[8]);
    size_t at = 12;
    for (uint32_t slot = 0; slot < px::PXStreamSet::kSlotCount; ++slot) {
        if (!(mask & (1u << slot)))
            continue;
        if (file.size() - at < 4)
            return false;
        const uint32_t length = pf::loadU32le(&file[at]);
        at += 4;
        if (length > file.size() - at)
            return false;
        px::PXStream stream;
        stream.Attach(
            std::vector<uint8_t>(file.begin() + static_cast<long>(at), file.begin() + static_cast<long>(at + length)));
        out.SetSlot(slot, std::move(stream));
        at += length;
    }
    return at == file.size();
}

std::optional<std::vector<uint8_t>> LoadBytes(const char* path)
{
    std::FILE* file = std::fopen(path, "rb");
    if (!file)
        return std::nullopt;
    std::vector<uint8_t> bytes;
    uint8_t block[65536];
    for (size_t got; (got = std::fread(block, 1, sizeof block, file)) > 0;)
        bytes.insert(bytes.end(), block, block + got);
    std::fclose(file);
    return bytes;
}

int RunEncode(std::span<char* const> args)
{
    CodecOptions options;
    if (!ParseCodecOptions(args, options) || options.paths.size() != 2) {
        std::fprintf(stderr, "usage: vortan-codec mesh encode IN.off OUT.px [--pos-bits N] [--tex-bits M]\n");
        return 2;
    }
    std::string error;
    const std::optional<meshtest::OffMesh> mesh = meshtest::ReadOffFile(options.paths[0], &error);
    if (!mesh) {
        std::fprintf(stderr, "cannot read %s: %s\n", options.paths[0], error.c_str());
        return 1;
    }
    px::PXStreamSet streams;
    const int result = Compress(*mesh, options, streams, nullptr);
    if (result != px::PX_OK) {
        std::fprintf(stderr, "CompressModel: %d (%s)\n", result, px::PXResultName(result));
        return result == px::PXERR_INVALIDGEOMETRY ? 3 : 1;
    }
    const std::vector<uint8_t> file = StreamSetFile(streams);
    if (!SaveBytes(options.paths[1], file)) {
        std::fprintf(stderr, "cannot write %s\n", options.paths[1]);
        return 1;
    }
    std::printf("%s: %zu bytes\n", options.paths[1], file.size());
    return 0;
}

meshtest::OffMesh OffOf(const px::PXIndexedFaceSet& set)
{
    meshtest::OffMesh mesh;
    mesh.positions = set.coord;
    mesh.coordIndex = set.coordIndex;
    return mesh;
}

int RunDecode(std::span<char* const> args)
{
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: vortan-codec mesh decode IN.px OUT.off\n");
        return 2;
    }
    const std::optional<std::vector<uint8_t>> bytes = LoadBytes(args[0]);
    px::PXStreamSet streams;
    if (!bytes || !ReadStreamSetFile(*bytes, streams)) {
        std::fprintf(stderr, "%s is not a stream-set file\n", args[0]);
        return 1;
    }
    px::PXModel model;
    const int result = px::DecompressModel(streams, model);
    if (result != px::PX_OK || model.Count() == 0) {
        std::fprintf(stderr, "DecompressModel: %d (%s)\n", result, px::PXResultName(result));
        return 1;
    }
    if (!meshtest::WriteOffFile(args[1], OffOf(model.Lists()[0]))) {
        std::fprintf(stderr, "cannot write %s\n", args[1]);
        return 1;
    }
    return 0;
}

struct PositionErrors {
    double maxRelative = 0;
    double rmsRelative = 0;
};

// Through the vertex map, relative to the bounding-box diagonal of the input's referenced vertices.
PositionErrors MeasurePositionErrors(const meshtest::OffMesh& input, const px::PXIndexedFaceSet& decoded,
                                     const std::vector<uint32_t>& vertexMap)
{
    float lo[3] = {INFINITY, INFINITY, INFINITY};
    float hi[3] = {-INFINITY, -INFINITY, -INFINITY};
    for (const uint32_t v : vertexMap)
        for (int axis = 0; axis < 3; ++axis) {
            lo[axis] = std::min(lo[axis], input.positions[3 * v + axis]);
            hi[axis] = std::max(hi[axis], input.positions[3 * v + axis]);
        }
    double diagonal = 0;
    for (int axis = 0; axis < 3; ++axis)
        diagonal += static_cast<double>(hi[axis] - lo[axis]) * (hi[axis] - lo[axis]);
    diagonal = std::sqrt(diagonal);
    PositionErrors errors;
    double sum = 0;
    for (uint32_t v = 0; v < vertexMap.size(); ++v) {
        double squared = 0;
        for (int axis = 0; axis < 3; ++axis) {
            const double d =
                static_cast<double>(decoded.coord[3 * v + axis]) - input.positions[3 * vertexMap[v] + axis];
            squared += d * d;
        }
        errors.maxRelative = std::max(errors.maxRelative, std::sqrt(squared));
        sum += squared;
    }
    if (diagonal > 0 && !vertexMap.empty()) {
        errors.maxRelative /= diagonal;
        errors.rmsRelative = std::sqrt(sum / static_cast<double>(vertexMap.size())) / diagonal;
    }
    return errors;
}

int RunRoundtrip(std::span<char* const> args)
{
    CodecOptions options;
    if (!ParseCodecOptions(args, options) || options.paths.size() != 1) {
        std::fprintf(stderr, "usage: vortan-codec mesh roundtrip IN.off [--pos-bits N]\n");
        return 2;
    }
    const Watchdog watchdog(kDefaultTimeoutMs);
    const auto started = std::chrono::steady_clock::now();
    std::string error;
    const std::optional<meshtest::OffMesh> mesh = meshtest::ReadOffFile(options.paths[0], &error);
    if (!mesh) {
        std::printf("FAIL cannot read %s: %s\n", options.paths[0], error.c_str());
        return 1;
    }
    px::PXStreamSet streams;
    px::PXReorderMaps maps;
    const int compressed = Compress(*mesh, options, streams, &maps);
    px::PXModel model;
    const int decompressed = compressed == px::PX_OK ? px::DecompressModel(streams, model) : compressed;
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count();
    if (compressed != px::PX_OK || decompressed != px::PX_OK || model.Count() != 1) {
        std::printf("vertices %u faces %u %s code %d (%s) ms %.1f\n", mesh->VertexCount(), mesh->FaceCount(),
                    compressed == px::PXERR_INVALIDGEOMETRY ? "REFUSED" : "FAIL", decompressed,
                    px::PXResultName(decompressed), ms);
        return compressed == px::PXERR_INVALIDGEOMETRY ? 3 : 1;
    }
    const px::PXIndexedFaceSet& decoded = model.Lists()[0];
    const px::ObjectMaps& objectMaps = maps.objects[0];
    const std::string problem =
        meshtest::CheckConnectivity(mesh->coordIndex, decoded.coordIndex, decoded.PositionCount(),
                                    {objectMaps.vertexMap, objectMaps.faceMap, objectMaps.cornerMap});
    size_t total = 0;
    for (uint32_t slot = 0; slot < px::PXStreamSet::kSlotCount; ++slot)
        if (const px::PXStream* stream = streams.GetSlot(slot))
            total += stream->GetLength();
    const PositionErrors errors = MeasurePositionErrors(*mesh, decoded, objectMaps.vertexMap);
    const double bitsPerVertex = 8.0 * static_cast<double>(streams.GetSlot(0)->GetLength()) / decoded.PositionCount();
    std::printf("vertices %u faces %u bytes %zu position-bits/vertex %.2f max %.3g rms %.3g maps %s ms %.1f\n",
                mesh->VertexCount(), mesh->FaceCount(), total, bitsPerVertex, errors.maxRelative, errors.rmsRelative,
                problem.empty() ? "OK" : ("FAIL " + problem).c_str(), ms);
    return problem.empty() ? 0 : 1;
}

const bool kEncodeRegistered =
    RegisterCodecToolCommand({"mesh", "encode", "IN.off OUT.px [--pos-bits N] [--tex-bits M]", RunEncode});
const bool kDecodeRegistered = RegisterCodecToolCommand({"mesh", "decode", "IN.px OUT.off", RunDecode});
const bool kRoundtripRegistered =
    RegisterCodecToolCommand({"mesh", "roundtrip", "IN.off [--pos-bits N]", RunRoundtrip});

const bool kTopoRegistered =
    RegisterCodecToolCommand({"mesh", "topo", "IN.off [--timeout-ms N] [--save-stream OUT]", RunTopo});

} // namespace
